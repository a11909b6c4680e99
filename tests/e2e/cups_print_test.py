"""Printing through a real print server: a private CUPS daemon (see
print_server.py) handed to the program through CUPS_SERVER, its queues
chosen in the print dialog, and what reached the queue's backend read back
with pdfinfo and pdftoppm: a queue driven by a PPD through the system's
filters, a queue that refuses jobs, and a raw queue that keeps the very
document the program sent."""

import hashlib
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from print_server import PrintServer  # noqa: E402
from save_dialog import message_text  # noqa: E402
import print_dialog  # noqa: E402

GENERIC_PDF_PPD = "/usr/share/ppd/cupsfilters/Generic-PDF_Printer-PDF.ppd"
A5_POINTS = (419, 595)
A5_LANDSCAPE_POINTS = (595, 419)


def folder_digest(folder):
    """A digest of every file's name and bytes in folder."""
    digest = hashlib.sha256()
    for name in sorted(os.listdir(folder)):
        digest.update(name.encode())
        with open(os.path.join(folder, name), "rb") as data:
            digest.update(data.read())
    return digest.hexdigest()


class PrintServerQueues(print_dialog.CollectingTest):
    def setUp(self):
        # The server first: a test skipped without one has started nothing.
        try:
            self.server = PrintServer()
        except RuntimeError as reason:
            self.skipTest(str(reason))
        # Whatever happens in the test, the daemon is stopped.
        self.addCleanup(self.server.stop)
        super().setUp()
        # The PPD queue's own paper, A5, is neither locale's default, so a
        # first dialog that ignored the printer's default would show.
        self.server.add_queue("chess_filtered", GENERIC_PDF_PPD, "PageSize=A5")
        self.server.add_queue("chess_raw")
        self.server.add_queue("chess_closed")
        self.server.refuse_jobs("chess_closed")
        self.display.env["CUPS_SERVER"] = self.server.socket

    def print_to_queue(self, preview, queue, orientation=None):
        dialog = print_dialog.open_print_dialog(self.program, preview)
        print_dialog.print_to_queue(self.program, dialog, queue, orientation=orientation)

    def assert_captured_sheet(self, document, size):
        """The captured document is a one-page PDF of size (whole points,
        upright; a PPD may round a paper to the next point) with the sheet of
        two diagrams scaled to fill it."""
        fields = print_dialog.wait_for_pdf(document)
        self.assertEqual(fields["Pages"], "1")
        points = print_dialog.page_points(fields)
        self.assertTrue(all(0 <= got - want <= 1 for got, want in zip(points, size)), f"{points} is not {size}")
        page = print_dialog.pdf_page(document, self.folder)
        size = points
        page = page.region(0, 0, *size)
        expected = print_dialog.reference_sheet(self.path("TEMP"), 2, self.path("expected-page.png"), size=size)
        mean, most = print_dialog.coarse_difference(page, expected)
        self.assertLess(mean, 2.5, "the page is the sheet scaled to the paper")
        self.assertLess(most, 60, "nothing on the page differs from the sheet")

    def test_queues_print_the_sheet_on_their_paper_and_a_refusal_is_told_in_russian(self):
        program = self.start()
        self.collect((69, (1, 1)), (70, (2, 2)))
        preview = self.open_preview()

        # The first dialog of the run takes the queue's own paper.
        self.print_to_queue(preview, "chess_filtered")
        self.assert_captured_sheet(self.server.wait_for_job(1), A5_POINTS)

        # A queue that refuses the job: the user is told, nothing is lost.
        temp_before = folder_digest(self.path("TEMP"))
        self.print_to_queue(preview, "chess_closed")
        message = print_dialog.find_window(program, print_dialog.ERROR_TITLE, timeout=20)
        self.assertIsNotNone(message, "the refused print is reported")
        text = message_text(self.display, message, self.path("message.png"))
        self.assertTrue(text.startswith("Не удалось напечатать диаграммы"), text)
        program.screenshot("print-queue-refused-message")
        program.display.run("xdotool", "windowfocus", "--sync", message, check=False)
        program.display.run("xdotool", "key", "Escape")
        self.assertTrue(print_dialog.wait_gone(program, message))
        self.assertTrue(print_dialog.preview_shown(program), "the preview stays after a failed print")
        self.assertEqual(folder_digest(self.path("TEMP")), temp_before, "the collected diagrams are untouched")
        self.assertEqual(len(self.server.captured()), 1)

        # Printing again, on a queue that takes it, in landscape: the raw queue
        # keeps what the program sent, a page wider than high on the paper
        # chosen last (A5), the sheet upright on it.
        self.print_to_queue(preview, "chess_raw", orientation="landscape")
        self.assert_captured_sheet(self.server.wait_for_job(2), A5_LANDSCAPE_POINTS)
        self.assertTrue(print_dialog.preview_shown(program), "printing leaves the preview open")


if __name__ == "__main__":
    unittest.main()
