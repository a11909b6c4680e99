"""One whole session as a problem composer has it, on the real program under
Xvfb with a window manager: a two-mover set up square by square, four
diagrams collected, one saved through the save dialog, the sheet previewed
and printed to a PDF, the collection cleared, and the program closed with the
window manager's close button. Every file the program writes is checked at
the step that writes it, and nothing else in the working folder may change.

With CHESS_UPDATE_DOCS=1 the run also refreshes the README's pictures in
docs/: the editor, the preview window and the printed page."""

import hashlib
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import SHOTS, DesktopTest, Image, bind_keys, wait_until  # noqa: E402
import print_dialog  # noqa: E402
import save_dialog  # noqa: E402

SOURCE = os.environ.get("CHESS_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))
DOCS = os.path.join(SOURCE, "docs")

TASK_TEXT = "Мат в 2 хода"
SAVE_NAME = "двухходовка"

# White to move. The white bishop on a2 pins the black rook against the king.
WHITE = "Kh2 Qa1 Rc8 Rf5 Ba2 Ng3 Nd3 Pe3"
BLACK = "Kd5 Qa7 Rb3 Bg8 Nf2 Pd6 Pe5 Pc5 Pb4 Pg5"
PIECES = "KQRBNP"
EMPTY, CROSS, RING = 81, 88, 89
WHITE_PAWN = 74


def square(name):
    """Board (col, row) of an algebraic square: a8 is (1, 1), h1 is (8, 8)."""
    return ord(name[0]) - ord("a") + 1, 9 - int(name[1])


def palette_gadget(colour, piece):
    return 69 + PIECES.index(piece) + (6 if colour == "black" else 0)


def odd_image(gadget):
    """The light-square image a palette gadget places."""
    return {CROSS: 29, RING: 31}.get(gadget, 2 * gadget - 137)


def shown_image(position, col, row):
    odd = position.get((col, row), 25)
    return odd if (col + row) % 2 == 0 else odd + 1


def mean_difference(a, b):
    return sum(abs(x - y) for x, y in zip(a.data, b.data)) / len(a.data)


def dark_pixels(image):
    return sum(1 for i in range(0, len(image.data), 3) if max(image.data[i:i + 3]) < 80)


def digest(path):
    with open(path, "rb") as f:
        return hashlib.sha256(f.read()).hexdigest()


class Workflow(DesktopTest):
    window_manager = True

    def setUp(self):
        super().setUp()
        # The test's own files (PDF, pages, references, recent-files list)
        # live apart, so the working folder holds only what the program wrote.
        self.scratch = tempfile.mkdtemp(prefix="chess-e2e-workflow-")
        self.display.env["XDG_DATA_HOME"] = self.scratch
        bind_keys(self.display, TASK_TEXT + SAVE_NAME)
        self.data_images = {}
        self.position = {}
        self.files = self.snapshot()

    def tearDown(self):
        super().tearDown()
        if self.program:
            self.program.process.stdout.close()
            self.program.process.stderr.close()
        shutil.rmtree(self.scratch, ignore_errors=True)

    # The working folder, file by file.

    def snapshot(self):
        files = {}
        for folder, _, names in os.walk(self.folder):
            for name in names:
                path = os.path.join(folder, name)
                files[os.path.relpath(path, self.folder)] = digest(path)
        return files

    def assert_only_changed(self, *expected, step):
        """Compares the working folder with the last snapshot: exactly the
        files named changed or appeared, and none disappeared."""
        now = self.snapshot()
        changed = sorted(name for name in now if self.files.get(name) != now[name])
        gone = sorted(name for name in self.files if name not in now)
        self.assertEqual((changed, gone), (sorted(expected), []), f"files written by step {step}")
        self.files = now

    # Pictures.

    def data_image(self, number):
        if number not in self.data_images:
            self.data_images[number] = Image.load(self.path("DATA", f"{number}.jpg"))
        return self.data_images[number]

    def shot(self, name):
        return self.program.screenshot("workflow-" + name)

    def screen(self, name):
        """The editor's client area, kept as a screenshot of the step."""
        return self.program.client_pixels("workflow-" + name)

    def frame_box(self, window):
        """(x, y, width, height) of a window with the window manager's frame,
        and the frame's top extent, the titlebar's height."""
        x, y, w, h = self.program.geometry(window)
        extents = self.display.run("xprop", "-id", window, "_NET_FRAME_EXTENTS").split("=")[1]
        left, right, top, bottom = (int(v) for v in extents.split(","))
        return (x - left, y - top, w + left + right, h + top + bottom), top

    def click_close_button(self, window):
        """A real click on the close button at the titlebar's right end."""
        (x, y, w, _), top = self.frame_box(window)
        self.display.run("xdotool", "mousemove", str(x + w - 1 - top // 2), str(y + top // 2), "click", "1")

    def keep_for_docs(self, shot, name, crop=None):
        if os.environ.get("CHESS_UPDATE_DOCS") != "1":
            return
        os.makedirs(DOCS, exist_ok=True)
        command = ["convert", shot]
        if crop:
            x, y, w, h = crop
            command += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        subprocess.run(command + [os.path.join(DOCS, name)], check=True)

    # The editor.

    def set_up(self, gadget, *names):
        self.program.place(gadget, *(square(n) for n in names))
        for name in names:
            if gadget == EMPTY:
                self.position.pop(square(name), None)
            else:
                self.position[square(name)] = odd_image(gadget)

    def assert_board_shows_position(self, screen):
        s = self.square_size
        for col in range(1, 9):
            for row in range(1, 9):
                shown = screen.region(col * s, row * s, s, s)
                expected = self.data_image(shown_image(self.position, col, row))
                self.assertLessEqual(shown.max_difference(expected), 2, f"board square {col},{row}")

    def assert_diagram_shows_position(self, path, screen):
        """The diagram frames the board as the screen shows it, each square the
        DATA image the position asks for, with the task text centred below."""
        s = self.square_size
        diagram = Image.load(path)
        self.assertEqual((diagram.width, diagram.height), (9 * s, 9 * s + s // 2), path)
        # The framed board is the on-screen one moved s/2 up and left.
        framed = diagram.region(0, 0, 9 * s, 9 * s)
        self.assertLess(mean_difference(framed, screen.region(s // 2, s // 2, 9 * s, 9 * s)), 4,
                        f"{path}: the board on the screen")
        strips = [(27, 0, 0), (27, 0, 8 * s + s // 2), (28, 0, s // 2), (28, 8 * s + s // 2, s // 2)]
        for number, x, y in strips:
            strip = self.data_image(number)
            self.assertLess(mean_difference(diagram.region(x, y, strip.width, strip.height), strip), 3,
                            f"{path}: strip {number} at {x},{y}")
        for col in range(1, 9):
            for row in range(1, 9):
                got = diagram.region(col * s - s // 2, row * s - s // 2, s, s)
                expected = shown_image(self.position, col, row)
                # JPEG loss stays under 8; any two square images of one shade differ by over 20.
                self.assertLess(mean_difference(got, self.data_image(expected)), 8,
                                f"{path}: square {col},{row} shows image {expected}")
        band = diagram.region(0, 9 * s + 1, diagram.width, s // 2 - 1)
        columns = [x for x in range(band.width) if any(band.pixel(x, y)[0] < 128 for y in range(band.height))]
        self.assertTrue(columns, f"{path}: the task text under the board")
        self.assertLessEqual(abs(columns[0] - (diagram.width - 1 - columns[-1])), 4, f"{path}: centred text")
        self.assertLess(columns[-1] - columns[0], 150, f"{path}: the short task text, not the placeholder")

    def field_point(self):
        s = self.square_size
        return s // 2 + 20, 10 * s - s // 2 + 5 + 12

    def field_text(self):
        """The task field's text. Under the window manager a triple click is
        now and then taken for a single one, which selects nothing."""
        for _ in range(3):
            text = save_dialog.field_text(self.program, *self.field_point())
            if text is not None:
                return text
        return None

    def collect(self, k):
        """Presses "Добавить к печати", waits for TEMP/k.jpg and checks it against the board."""
        s = self.square_size
        path = self.path("TEMP", f"{k}.jpg")
        screen = self.screen(f"b-board-{k}")
        with open(path, "rb") as f:
            before = f.read()
        self.program.press(85)
        save_dialog.wait_for_file(path, size=(9 * s, 9 * s + s // 2), differs_from=before)
        self.assert_diagram_shows_position(path, screen)
        self.assert_only_changed(f"TEMP/{k}.jpg", step=f"b, diagram {k}")
        return path

    def collect_button_ink(self, name):
        s = self.square_size
        shot = self.screen(name)
        return dark_pixels(shot.region(10 * s + 4, 7 * s + 14, 790 - 10 * s - 8, 17))

    # The session.

    def test_a_two_mover_from_the_empty_board_to_the_printed_page(self):
        program = self.start()
        self.step_start()
        self.step_a_compose(program)
        self.step_b_collect(program)
        self.step_c_save(program)
        self.step_d_preview_and_print(program)
        self.step_e_clear_and_close(program)

    def step_start(self):
        self.assertTrue(os.path.isdir(self.path("SAVE")))
        self.assertEqual(os.listdir(self.path("SAVE")), [])
        blanks = {digest(self.path("TEMP", f"{k}.jpg")) for k in range(1, 5)}
        self.assertEqual(len(blanks), 1, "four identical blanks")
        blank = Image.load(self.path("TEMP", "1.jpg"))
        self.assertEqual((blank.width, blank.height), (5, 5))
        self.assertTrue(all(v >= 250 for v in blank.data))
        # Besides the blanks, the empty file whose lock keeps a second editor out.
        self.assert_only_changed(".chess-diagram.lock", *(f"TEMP/{k}.jpg" for k in range(1, 5)), step="start-up")

    def step_a_compose(self, program):
        for colour, pieces in (("white", WHITE), ("black", BLACK)):
            by_piece = {}
            for unit in pieces.split():
                by_piece.setdefault(unit[0], []).append(unit[1:])
            for piece, names in by_piece.items():
                self.set_up(palette_gadget(colour, piece), *names)
        self.set_up(CROSS, "e4")
        self.assertEqual(len(self.position), 19)
        program.click(*self.field_point())
        program.type_text(TASK_TEXT)
        self.shot("a-typed")
        self.assertEqual(self.field_text(), TASK_TEXT)
        program.key("End", "Tab")  # drops the selection the check made and leaves the field
        screen = self.screen("a-position")
        self.assert_board_shows_position(screen)
        self.assert_only_changed(step="a")

    def step_b_collect(self, program):
        first = self.collect(1)
        # The docs show the editor as a user leaves it: the problem set up,
        # the first diagram collected, the focus back on the button.
        self.display.run("xdotool", "mousemove", "2", "2")  # no hover highlight in the picture
        shot = self.shot("b-editor")
        box, _ = self.frame_box(program.window)
        self.keep_for_docs(shot, "editor.png", crop=box)

        self.set_up(WHITE_PAWN, "g2")
        second = self.collect(2)
        self.assertNotEqual(digest(first), digest(second))
        self.set_up(EMPTY, "e4")
        self.set_up(RING, "d4")  # a dark square: the ring's dark variant
        self.collect(3)
        self.set_up(EMPTY, "g5")
        self.collect(4)

        # The button follows the count at the next event: a click on the frame.
        program.click(self.square_size, self.square_size // 2 + 5)
        self.assertTrue(wait_until(lambda: self.collect_button_ink("b-four-collected") == 0),
                        "the button is disabled after four diagrams")
        program.press(85)  # a fifth press; the save below shows it was handled
        self.shot("b-fifth-press")

    def step_c_save(self, program):
        save_dialog.save_as(program, SAVE_NAME)
        saved = self.path("SAVE", SAVE_NAME + ".jpg")
        s = self.square_size
        save_dialog.wait_for_file(saved, size=(9 * s, 9 * s + s // 2))
        self.shot("c-saved")
        # The board has not changed since the fourth diagram: the same render, the same file.
        with open(saved, "rb") as f, open(self.path("TEMP", "4.jpg"), "rb") as g:
            self.assertEqual(f.read(), g.read(), "the saved file is the rendered diagram")
        self.assert_diagram_shows_position(saved, self.screen("c-board"))
        self.assert_only_changed(f"SAVE/{SAVE_NAME}.jpg", step="c (and the fifth press)")

    def step_d_preview_and_print(self, program):
        s = self.square_size
        program.press(83)
        preview = print_dialog.find_preview(program)
        self.assertEqual(program.geometry(preview)[2:], print_dialog.PREVIEW_SIZE)
        shot = self.shot("d-preview")
        box, _ = self.frame_box(preview)
        self.keep_for_docs(shot, "preview.png", crop=box)
        view = print_dialog.preview_sheet(program, preview, "workflow-d-preview-sheet")
        w, h = 9 * s, 9 * s + s // 2
        # What the scroll area shows of each cell, left of and above its scroll bars.
        for k in range(1, 5):
            x, y = (v + print_dialog.SHEET_OFFSET for v in print_dialog.cell_origin(k, w, h))
            shown_w, shown_h = min(w, 960 - x), min(h, 650 - y)
            diagram = Image.load(self.path("TEMP", f"{k}.jpg")).region(0, 0, shown_w, shown_h)
            self.assertLess(mean_difference(view.region(x, y, shown_w, shown_h), diagram), 2,
                            f"the preview shows diagram {k} in its cell")
        self.assertEqual(view.pixel(print_dialog.SHEET_OFFSET + 20, print_dialog.SHEET_OFFSET + 20),
                         (255, 255, 255), "the sheet's margin")

        pdf = os.path.join(self.scratch, "sheet.pdf")
        dialog = print_dialog.open_print_dialog(program, preview)
        self.shot("d-print-dialog")
        print_dialog.print_to_file(program, dialog, pdf)
        fields = print_dialog.wait_for_pdf(pdf)
        self.assertEqual(fields["Pages"], "1")
        self.assertIn(print_dialog.page_points(fields), (print_dialog.A4_POINTS, (595, 842)))
        page = print_dialog.pdf_page(pdf, self.scratch)
        shutil.copy(os.path.join(self.scratch, "sheet-page.png"), os.path.join(SHOTS, "workflow-d-printed.png"))
        self.assert_page_is_the_sheet(os.path.join(self.scratch, "sheet-page.png"))
        self.assertGreater(dark_pixels(page), 10000, "more ink than two diagrams hold")
        self.keep_printed_page_for_docs(program, preview, pdf)
        self.assertTrue(print_dialog.preview_shown(program), "printing leaves the preview open")

        self.click_close_button(preview)
        self.assertTrue(print_dialog.wait_gone(program, preview), "the close button closes the preview")
        self.assertIsNone(program.process.poll(), "the program keeps running")
        self.assertIsNotNone(print_dialog.find_window(program, "Chess diagram", timeout=2))
        self.shot("d-preview-closed")
        self.assert_only_changed(step="d")

    def assert_page_is_the_sheet(self, page_path):
        """The printed page against the sheet ImageMagick composes from the
        four collected diagrams. Both are averaged over blocks of about five
        points first: the hatched squares, halved in size, alias differently
        under each scaler, while a piece more or less still shows."""
        size = "119x163!"
        print_dialog.reference_sheet(self.path("TEMP"), 4, os.path.join(self.scratch, "sheet.png"),
                                     size=print_dialog.A4_POINTS)
        subprocess.run(["convert", os.path.join(self.scratch, "sheet.png"), "-scale", size,
                        os.path.join(self.scratch, "sheet-blocks.png")], check=True)
        width, height = print_dialog.A4_POINTS
        subprocess.run(["convert", page_path, "-crop", f"{width}x{height}+0+0", "+repage", "-scale", size,
                        os.path.join(self.scratch, "page-blocks.png")], check=True)
        reference = Image.load(os.path.join(self.scratch, "sheet-blocks.png"))
        page = Image.load(os.path.join(self.scratch, "page-blocks.png"))
        self.assertLess(mean_difference(page, reference), 6, "the page is the sheet scaled to A4")
        # One pawn taken off a diagram makes a block differ by over 180.
        self.assertLess(page.max_difference(reference), 120, "every block of the page as on the sheet")

    def keep_printed_page_for_docs(self, program, preview, pdf):
        """The printed page in portrait beside the same sheet printed in landscape."""
        if os.environ.get("CHESS_UPDATE_DOCS") != "1":
            return
        os.makedirs(DOCS, exist_ok=True)
        landscape = os.path.join(self.scratch, "sheet-landscape.pdf")
        dialog = print_dialog.open_print_dialog(program, preview)
        print_dialog.print_to_file(program, dialog, landscape, orientation="landscape")
        print_dialog.wait_for_pdf(landscape)
        pages = []
        for document in (pdf, landscape):
            # A grey edge so the white paper shows on a white page.
            stem = os.path.splitext(document)[0] + "-docs"
            subprocess.run(["pdftoppm", "-r", "90", "-singlefile", "-png", document, stem], check=True)
            subprocess.run(["convert", stem + ".png", "-bordercolor", "#b0b0b0", "-border", "1", stem + ".png"],
                           check=True)
            pages.append(stem + ".png")
        subprocess.run(["convert", pages[0], "(", "-size", "30x1", "xc:white", ")", pages[1], "-background", "white",
                        "-gravity", "center", "+append", "+repage", os.path.join(DOCS, "printed.png")], check=True)

    def step_e_clear_and_close(self, program):
        collected = [self.path("TEMP", f"{k}.jpg") for k in range(1, 5)]
        program.press(87)
        self.assertTrue(wait_until(lambda: all(save_dialog.image_size(p) == (5, 5) for p in collected)),
                        "clearing blanks the four diagrams")
        self.assertEqual(len({digest(p) for p in collected}), 1, "four identical blanks")
        blank = Image.load(collected[0])
        self.assertTrue(all(v >= 250 for v in blank.data), "white")
        self.shot("e-cleared")
        self.assertGreater(self.collect_button_ink("e-button"), 100, "the button is enabled again")
        self.assert_only_changed(*(f"TEMP/{k}.jpg" for k in range(1, 5)), step="e")

        self.click_close_button(program.window)
        started = time.time()
        self.assertEqual(program.wait_exit(timeout=5), 0, "the close button ends the program with status 0")
        self.assertLess(time.time() - started, 5)
        self.assert_only_changed(step="the end")


if __name__ == "__main__":
    unittest.main()
