"""The print sheet as a user meets it on the real program under Xvfb: the
preview window, printing through the print dialog's file printer in either
orientation (the PDF read back with pdfinfo and pdftoppm), cancelling,
closing, and clearing the collected diagrams."""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import Image  # noqa: E402
import print_dialog  # noqa: E402
from save_dialog import message_text, wait_for_file  # noqa: E402
from print_dialog import A4_LANDSCAPE_POINTS, A4_POINTS, SHEET_OFFSET, cell_origin  # noqa: E402

# The part of the unscrolled preview that the scroll bars never cover.
VIEW_WIDTH, VIEW_HEIGHT = 960, 650
WHITE = (255, 255, 255)


class PrintSheet(print_dialog.CollectingTest):
    def print_sheet(self, preview, name, button="print", orientation=None):
        pdf = os.path.join(self.folder, name + ".pdf")
        dialog = print_dialog.open_print_dialog(self.program, preview)
        print_dialog.print_to_file(self.program, dialog, pdf, button, orientation=orientation)
        return pdf, print_dialog.wait_for_pdf(pdf)

    def assert_prints_the_sheet(self, pdf, fields, count, size=A4_POINTS):
        """The PDF is one page of size (whole points, upright) holding the
        sheet of count diagrams as large as the page holds it with its shape
        kept, centred; returns the page."""
        self.assertEqual(fields["Pages"], "1")
        self.assertEqual(print_dialog.page_points(fields), size)
        page = print_dialog.pdf_page(pdf, self.folder)
        self.assertEqual((page.width, page.height), (size[0] + 1, size[1] + 1), "A4 is a part of a point larger")
        page = page.region(0, 0, *size)
        expected = print_dialog.reference_sheet(self.path("TEMP"), count, self.path("expected-page.png"),
                                                size=size)
        mean, most = print_dialog.coarse_difference(page, expected)
        self.assertLess(mean, 2.5, "the page is the sheet fitted to the paper")
        self.assertLess(most, 60, "nothing on the page differs from the sheet")
        return page

    def assert_preview_cell(self, view, k, filled):
        """Compares cell k of the unscrolled preview with TEMP/k.jpg, or with white."""
        s = self.square_size
        w, h = 9 * s, 9 * s + s // 2
        x, y = cell_origin(k, w, h)
        x, y = x + SHEET_OFFSET, y + SHEET_OFFSET
        shown_w, shown_h = min(w, VIEW_WIDTH - x), min(h, VIEW_HEIGHT - y)
        self.assertGreater(shown_w * shown_h, 0)
        shown = view.region(x, y, shown_w, shown_h)
        if filled:
            diagram = Image.load(self.path("TEMP", f"{k}.jpg")).region(0, 0, shown_w, shown_h)
            self.assertLessEqual(shown.max_difference(diagram), 8, f"cell {k} shows diagram {k}")
        else:
            blank = Image(shown_w, shown_h, bytes(WHITE) * (shown_w * shown_h))
            self.assertEqual(shown.max_difference(blank), 0, f"cell {k} is blank")

    def test_three_diagrams_are_previewed_and_printed_on_one_a4_page(self):
        program = self.start()
        self.collect((69, (1, 1)), (70, (2, 2)), (71, (3, 3)))
        preview = self.open_preview()
        _, _, width, height = program.geometry(preview)
        self.assertEqual((width, height), (1000, 730))
        view = print_dialog.preview_sheet(program, preview, "print-preview-three")
        for k in (1, 2, 3):
            self.assert_preview_cell(view, k, filled=True)
        self.assert_preview_cell(view, 4, filled=False)
        # The sheet's white margin around the first cell.
        self.assertEqual(view.pixel(SHEET_OFFSET + 20, SHEET_OFFSET + 20), WHITE)

        pdf, fields = self.print_sheet(preview, "three")
        page = self.assert_prints_the_sheet(pdf, fields, 3)
        # The bottom-right quarter of the page stays paper white.
        left, top, scale = print_dialog.sheet_on_page(A4_POINTS)
        x4, y4 = (int(offset + v * scale) + 2 for offset, v in zip((left, top), cell_origin(4, 540, 570)))
        corner = page.region(x4, y4, 595 - x4 - 2, 841 - y4 - 2)
        self.assertTrue(all(v == 255 for v in corner.data), "no fourth diagram on the page")
        self.assertTrue(print_dialog.preview_shown(program), "printing leaves the preview open")
        # The print scaled the sheet image to the page; the preview, repainted
        # where the dialog covered it, still shows the sheet at full size.
        after = print_dialog.preview_sheet(program, preview, "print-preview-after-print")
        self.assertEqual(after.region(0, 0, VIEW_WIDTH, VIEW_HEIGHT).data,
                         view.region(0, 0, VIEW_WIDTH, VIEW_HEIGHT).data)

        # The same preview prints the same page again, also when the dialog
        # is answered with its preview button.
        again_pdf, again = self.print_sheet(preview, "three-again", button="preview")
        self.assertEqual(again["Pages"], "1")
        self.assertEqual(print_dialog.pdf_page(again_pdf, self.folder).data,
                         print_dialog.pdf_page(pdf, self.folder).data)

    def test_landscape_prints_the_sheet_upright_in_the_middle_and_the_next_dialog_keeps_it(self):
        program = self.start()
        self.collect((69, (1, 1)), (70, (2, 2)))
        preview = self.open_preview()
        pdf, fields = self.print_sheet(preview, "landscape", orientation="landscape")
        page = self.assert_prints_the_sheet(pdf, fields, 2, size=A4_LANDSCAPE_POINTS)
        # The sheet keeps its shape, full height, with as much white paper on either side.
        left, _, scale = print_dialog.sheet_on_page(A4_LANDSCAPE_POINTS)
        width = round(print_dialog.SHEET_SIZE[0] * scale)
        for x in (0, round(left) + width + 2):
            side = page.region(x, 0, round(left) - 2, 595)
            self.assertTrue(all(v == 255 for v in side.data), f"paper white beside the sheet at x = {x}")
        # Two diagrams in the sheet's top half, white below them.
        top = page.region(round(left) + 20, 20, width - 40, 595 // 2 - 30)
        self.assertLess(min(top.data), 40, "the diagrams' lines are on the top half")
        bottom = page.region(round(left), 595 // 2 + 4, width, 595 // 2 - 8)
        self.assertTrue(all(v == 255 for v in bottom.data), "the bottom half of the sheet is paper white")

        # The next dialog starts from the last printed choices: nothing chosen, landscape again.
        again_pdf, again = self.print_sheet(preview, "landscape-again")
        self.assertEqual(print_dialog.page_points(again), A4_LANDSCAPE_POINTS)
        self.assertEqual(print_dialog.pdf_page(again_pdf, self.folder).data,
                         print_dialog.pdf_page(pdf, self.folder).data)

        # Portrait again gives today's A4 page.
        portrait_pdf, portrait = self.print_sheet(preview, "portrait", orientation="portrait")
        self.assert_prints_the_sheet(portrait_pdf, portrait, 2)

    def test_close_requests_while_previewing_end_the_preview_then_the_program(self):
        program = self.start()
        self.collect((69, (1, 1)))
        preview = self.open_preview()
        program.request_close("Chess diagram")
        self.assertTrue(print_dialog.wait_gone(program, preview), "the preview closes")
        self.assertIsNone(program.wait_exit(timeout=1), "the program keeps running")
        self.assertIsNotNone(print_dialog.find_window(program, "Chess diagram", timeout=1))
        program.request_close("Chess diagram")
        self.assertEqual(program.wait_exit(timeout=5), 0)

    def test_closing_both_windows_right_after_printing_ends_with_the_page_whole(self):
        program = self.start()
        self.collect((72, (4, 4)))
        preview = self.open_preview()
        pdf = os.path.join(self.folder, "last.pdf")
        dialog = print_dialog.open_print_dialog(program, preview)
        print_dialog.print_to_file(program, dialog, pdf)
        # Both close requests are made before the print can have been looked at.
        program.request_close("Chess diagram")
        program.request_close("Chess diagram")
        self.assertEqual(program.wait_exit(timeout=10), 0)
        fields = print_dialog.wait_for_pdf(pdf, timeout=1)
        self.assert_prints_the_sheet(pdf, fields, 1)

    def test_cancel_prints_nothing_and_a_failed_print_is_told_in_russian(self):
        program = self.start()
        self.collect((69, (1, 1)))
        preview = self.open_preview()
        before = set(os.listdir(self.folder)) | set(os.listdir(self.path("TEMP")))
        dialog = print_dialog.open_print_dialog(program, preview)
        print_dialog.cancel_print(program, dialog)
        time.sleep(0.5)
        self.assertTrue(print_dialog.preview_shown(program), "cancel leaves the preview open")
        self.assertEqual(set(os.listdir(self.folder)) | set(os.listdir(self.path("TEMP"))), before,
                         "nothing printed")
        self.assertIsNone(print_dialog.find_window(program, print_dialog.ERROR_TITLE, timeout=0))

        # A folder that does not exist: the print fails and the user is told.
        missing = os.path.join(self.folder, "no-such-folder", "sheet.pdf")
        dialog = print_dialog.open_print_dialog(program, preview)
        print_dialog.print_to_file(program, dialog, missing)
        message = print_dialog.find_window(program, print_dialog.ERROR_TITLE, timeout=10)
        self.assertIsNotNone(message, "a failed print is reported")
        text = message_text(self.display, message, self.path("message.png"))
        self.assertTrue(text.startswith("Не удалось напечатать диаграммы"), text)
        self.assertIn(missing, text, "the message names the file")
        program.screenshot("print-failure-message")
        self.assertFalse(os.path.exists(missing))
        program.display.run("xdotool", "windowfocus", "--sync", message, check=False)
        program.display.run("xdotool", "key", "Escape")  # closes it as OK does, in any locale
        self.assertTrue(print_dialog.wait_gone(program, message))
        self.assertTrue(print_dialog.preview_shown(program), "the preview stays after a failed print")

    def test_no_diagram_gives_a_blank_sheet_and_one_fills_only_the_top_left_cell(self):
        program = self.start()
        preview = self.open_preview()
        view = print_dialog.preview_sheet(program, preview, "print-preview-none")
        for k in (1, 2, 3, 4):
            self.assert_preview_cell(view, k, filled=False)
        pdf, fields = self.print_sheet(preview, "none")
        page = self.assert_prints_the_sheet(pdf, fields, 0)
        self.assertTrue(all(v == 255 for v in page.data), "a blank page")
        program.request_close("Chess diagram")
        self.assertTrue(print_dialog.wait_gone(program, preview))

        self.collect((73, (5, 5)))
        preview = self.open_preview()
        view = print_dialog.preview_sheet(program, preview, "print-preview-one")
        self.assert_preview_cell(view, 1, filled=True)
        for k in (2, 3, 4):
            self.assert_preview_cell(view, k, filled=False)
        pdf, fields = self.print_sheet(preview, "one")
        self.assert_prints_the_sheet(pdf, fields, 1)

    def test_clearing_resets_the_collection_to_blanks(self):
        program = self.start()
        self.collect((69, (1, 1)), (70, (2, 2)), (71, (3, 3)), (72, (4, 4)))
        program.press(85)  # a fifth press: the button is disabled at four
        time.sleep(0.3)
        self.assertFalse(os.path.exists(self.path("TEMP", "5.jpg")))
        program.press(87)
        for k in range(1, 5):
            wait_for_file(self.path("TEMP", f"{k}.jpg"), size=(5, 5))
        blanks = [open(self.path("TEMP", f"{k}.jpg"), "rb").read() for k in range(1, 5)]
        self.assertEqual(len(set(blanks)), 1, "four identical files")
        for k in range(1, 5):
            blank = Image.load(self.path("TEMP", f"{k}.jpg"))
            self.assertEqual((blank.width, blank.height), (5, 5))
            self.assertTrue(all(v >= 250 for v in blank.data), "white")
        program.press(85)
        self.wait_for_diagram(1)
        for k in range(2, 5):
            self.assertEqual(open(self.path("TEMP", f"{k}.jpg"), "rb").read(), blanks[0])


if __name__ == "__main__":
    unittest.main()
