"""Diagrams as a user makes them on the real program: collecting up to four
into TEMP/, saving one through the save dialog into SAVE/, and saves that
fail. Each diagram is checked square by square against the square images in
DATA/ and against what the board showed on the screen."""

import operator
import os
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import SHOTS, DesktopTest, Image  # noqa: E402
import save_dialog  # noqa: E402

TASK_TEXT = "Мат в 2 хода"


def mean_difference(a, b, step=1):
    """Mean absolute difference of two byte strings of pixels, every step-th byte."""
    a, b = a[::step], b[::step]
    return sum(map(abs, map(operator.sub, a, b))) / len(a)


def dark_pixels(image):
    return sum(1 for i in range(0, len(image.data), 3) if max(image.data[i:i + 3]) < 80)


class DiagramCase(DesktopTest):
    """Checks shared by the cases below."""

    def setUp(self):
        super().setUp()
        # An accepted save dialog notes the file in the user's recent files.
        self.display.env["XDG_DATA_HOME"] = self.folder
        self.data_images = {}

    def data_image(self, number):
        if number not in self.data_images:
            self.data_images[number] = Image.load(self.path("DATA", f"{number}.jpg"))
        return self.data_images[number]

    def shown_image(self, position, col, row):
        """The image square (col, row) shows for a position: placed pieces by
        their odd image, the rest empty; the variant follows the shade."""
        light = (col + row) % 2 == 0
        odd = position.get((col, row), 25)
        return odd if light else odd + 1

    def candidates(self, col, row):
        odd = list(range(1, 26, 2)) + [29, 31]
        return [n if (col + row) % 2 == 0 else n + 1 for n in odd]

    def assert_diagram_shows(self, path, position, screen=None):
        """The diagram at path frames the board of position: each square is the
        DATA image nearest to it, within JPEG loss, and matches the screen."""
        s = self.square_size
        diagram = Image.load(path)
        self.assertEqual((diagram.width, diagram.height), (9 * s, 9 * s + s // 2), path)
        strips = [(27, 0, 0), (27, 0, 8 * s + s // 2), (28, 0, s // 2), (28, 8 * s + s // 2, s // 2)]
        for number, x, y in strips:
            strip = self.data_image(number)
            got = diagram.region(x, y, strip.width, strip.height)
            self.assertLess(mean_difference(got.data, strip.data), 4.0, f"strip {number} at {x},{y}")
        for col in range(1, 9):
            for row in range(1, 9):
                square = diagram.region(col * s - s // 2, row * s - s // 2, s, s)
                expected = self.shown_image(position, col, row)
                nearest = min(self.candidates(col, row),
                              key=lambda n: mean_difference(square.data, self.data_image(n).data, 2))
                self.assertEqual(nearest, expected, f"square {col},{row} of {path}")
                self.assertLess(mean_difference(square.data, self.data_image(expected).data), 6.0,
                                f"square {col},{row} of {path}")
                if screen:
                    on_screen = screen.region(col * s, row * s, s, s)
                    self.assertLess(mean_difference(square.data, on_screen.data), 6.0,
                                    f"square {col},{row}: diagram and board differ")

    def text_ink(self, path):
        """First and last column with ink in the band under the bottom strip."""
        s = self.square_size
        diagram = Image.load(path)
        band = diagram.region(0, 9 * s + 1, diagram.width, s // 2 - 1)
        columns = [x for x in range(band.width)
                   if any(band.pixel(x, y)[0] < 128 for y in range(band.height))]
        self.assertTrue(columns, f"no text under the board in {path}")
        return columns[0], columns[-1]

    def assert_text_centred(self, path):
        first, last = self.text_ink(path)
        width = Image.load(path).width
        self.assertLessEqual(abs(first - (width - 1 - last)), 4,
                             f"ink from {first} to {last} is not centred in {width}")

    def field_point(self):
        s = self.square_size
        return s // 2 + 20, 10 * s - s // 2 + 5 + 12

    def type_task_text(self, program, value):
        program.click(*self.field_point())
        program.type_text(value)
        self.assertEqual(save_dialog.field_text(program, *self.field_point()), value,
                         "the typed text arrives in the field")

    def collect(self, program, k):
        """Presses "Добавить к печати" and waits for TEMP/k.jpg to be the diagram."""
        s = self.square_size
        path = self.path("TEMP", f"{k}.jpg")
        with open(path, "rb") as before:
            old = before.read()
        program.press(85)
        save_dialog.wait_for_file(path, size=(9 * s, 9 * s + s // 2), differs_from=old)
        return path

    def button_dark_pixels(self, program, shot_name):
        """Dark pixels on the label of button 85: none once it is insensitive."""
        s = self.square_size
        shot = program.client_pixels(shot_name)
        return dark_pixels(shot.region(10 * s + 4, 7 * s + 14, 790 - 10 * s - 8, 17))

    def board_once_square_shows(self, program, col, row, number, shot_name, timeout=10):
        """A screenshot taken once square (col, row) shows image number: the
        program handles clicks in order, so the earlier ones are done too."""
        s = self.square_size
        deadline = time.time() + timeout
        while True:
            shot = program.client_pixels(shot_name)
            if shot.region(col * s, row * s, s, s).max_difference(self.data_image(number)) <= 2:
                return shot
            if time.time() > deadline:
                self.fail(f"square {col},{row} never showed image {number}")
            time.sleep(0.1)


class Collecting(DiagramCase):
    def test_four_diagrams_fill_temp_in_order_then_the_button_goes_insensitive(self):
        program = self.start()
        blanks = {k: open(self.path("TEMP", f"{k}.jpg"), "rb").read() for k in range(1, 5)}
        position = {(1, 1): 1, (1, 2): 1, (5, 4): 23, (4, 4): 13, (2, 7): 29, (3, 7): 29, (7, 2): 31,
                    (7, 3): 31}
        program.place(69, (1, 1), (1, 2))
        program.place(80, (5, 4))
        program.place(75, (4, 4))
        program.place(88, (2, 7), (3, 7))
        program.place(89, (7, 2), (7, 3))
        screen = self.board_once_square_shows(program, 7, 3, 31, "collect-board")
        self.assertGreater(self.button_dark_pixels(program, "collect-button-on"), 100)

        # Nothing typed yet: the placeholder is drawn under the board.
        first = self.collect(program, 1)
        self.assert_diagram_shows(first, position, screen)
        for k in (2, 3, 4):
            self.assertEqual(open(self.path("TEMP", f"{k}.jpg"), "rb").read(), blanks[k])
        placeholder_first, placeholder_last = self.text_ink(first)

        self.type_task_text(program, TASK_TEXT)
        second = self.collect(program, 2)
        self.assert_diagram_shows(second, position)
        self.assert_text_centred(second)
        text_first, text_last = self.text_ink(second)
        self.assertLess(text_last - text_first, placeholder_last - placeholder_first,
                        "the task text, shorter than the placeholder")
        self.assertEqual(open(self.path("TEMP", "3.jpg"), "rb").read(), blanks[3])

        program.place(71, (8, 8))
        position[(8, 8)] = 5
        third = self.collect(program, 3)
        self.assert_diagram_shows(third, position)
        fourth = self.collect(program, 4)
        self.assert_diagram_shows(fourth, position)
        self.assert_text_centred(fourth)

        # The button follows the count at the next event: a click on the frame.
        program.click(self.square_size, self.square_size // 2 + 5)
        deadline = time.time() + 10
        while self.button_dark_pixels(program, "collect-button-off") and time.time() < deadline:
            time.sleep(0.1)
        self.assertEqual(self.button_dark_pixels(program, "collect-button-off"), 0, "insensitive")
        collected = {k: open(self.path("TEMP", f"{k}.jpg"), "rb").read() for k in range(1, 5)}
        program.press(85)
        # Once this square shows its piece, any fifth diagram would have been written.
        program.place(69, (8, 7))
        self.board_once_square_shows(program, 8, 7, 2, "collect-after-fifth")
        self.assertFalse(os.path.exists(self.path("TEMP", "5.jpg")))
        for k in range(1, 5):
            self.assertEqual(open(self.path("TEMP", f"{k}.jpg"), "rb").read(), collected[k], k)


class CollectingAtFifty(DiagramCase):
    square_size = 50

    def test_the_diagram_follows_the_square_size(self):
        program = self.start()
        program.place(70, (3, 5), (3, 6))
        program.place(81, (3, 6))
        screen = self.board_once_square_shows(program, 3, 6, 26, "collect-50")
        self.type_task_text(program, TASK_TEXT)
        path = self.collect(program, 1)
        self.assertEqual(save_dialog.image_size(path), (450, 475))
        self.assert_diagram_shows(path, {(3, 5): 3}, screen)
        self.assert_text_centred(path)


class Saving(DiagramCase):
    def test_the_chosen_name_gets_jpg_appended_and_cancel_writes_nothing(self):
        program = self.start()
        program.place(72, (2, 2), (2, 3))
        position = {(2, 2): 7, (2, 3): 7}
        save_dialog.save_as(program, "mate")
        saved = self.path("SAVE", "mate.jpg")
        save_dialog.wait_for_file(saved, size=(540, 570))
        self.assert_diagram_shows(saved, position)

        # ".jpg" is appended whatever the name ends with.
        save_dialog.save_as(program, "x.jpg")
        save_dialog.wait_for_file(self.path("SAVE", "x.jpg.jpg"), size=(540, 570))
        save_dialog.save_as(program, "задача 1")
        save_dialog.wait_for_file(self.path("SAVE", "задача 1.jpg"), size=(540, 570))

        # The same name again replaces the file with the board as it is now.
        with open(saved, "rb") as f:
            first = f.read()
        program.place(81, (2, 3))
        del position[(2, 3)]
        save_dialog.save_as(program, "mate")
        save_dialog.wait_for_file(saved, size=(540, 570), differs_from=first)
        self.assert_diagram_shows(saved, position)

        dialog = save_dialog.open_save_dialog(program)
        save_dialog.type_name(program, dialog, "never")
        save_dialog.cancel(program, dialog)
        dialog = save_dialog.open_save_dialog(program)
        save_dialog.type_name(program, dialog, "escaped")
        program.key("Escape")
        save_dialog.wait_gone(self.display, dialog)
        # Collecting after the cancelled saves: when TEMP/1.jpg is written,
        # whatever they did has been done.
        self.collect(program, 1)
        self.assertEqual(sorted(os.listdir(self.path("SAVE"))),
                         ["mate.jpg", "x.jpg.jpg", "задача 1.jpg"])


class FailingSave(DiagramCase):
    def setUp(self):
        super().setUp()
        self.scratch = tempfile.mkdtemp(prefix="chess-e2e-tmp-")
        self.display.env["TMPDIR"] = self.scratch
        os.mkdir(self.path("SAVE"))

    def tearDown(self):
        super().tearDown()
        shutil.rmtree(self.scratch, ignore_errors=True)

    def fail_to_save(self, program, name, shot):
        """Saves under name and returns the text of the error dialog, once dismissed."""
        save_dialog.save_as(program, name)
        error = save_dialog.find_window(self.display, save_dialog.ERROR_TITLE)
        program.screenshot(shot)
        text = save_dialog.message_text(self.display, error, os.path.join(SHOTS, shot + "-dialog.png"))
        program.key("Escape")
        save_dialog.wait_gone(self.display, error)
        return text

    def assert_still_works(self, program):
        save_dialog.save_as(program, "afterwards")
        save_dialog.wait_for_file(self.path("SAVE", "afterwards.jpg"), size=(540, 570))
        self.collect(program, 1)

    def test_a_folder_no_one_may_write_to(self):
        # Even root may not make files in sysfs, so this fails on any Linux.
        try:
            open("/sys/chess-diagram-probe", "w").close()
            os.remove("/sys/chess-diagram-probe")
            self.skipTest("/sys takes new files here")
        except OSError:
            pass
        os.symlink("/sys", self.path("SAVE", "locked"))
        program = self.start()
        text = self.fail_to_save(program, "locked/diagram", "save-failed-folder")
        self.assertIn("Не удалось сохранить изображение", text or "")
        self.assertIn("SAVE/locked/diagram.jpg", text or "")
        self.assertFalse(os.path.exists("/sys/diagram.jpg"))
        self.assertEqual(os.listdir(self.path("SAVE")), ["locked"])
        self.assert_still_works(program)

    def test_a_full_disk_leaves_no_partial_file(self):
        if not os.path.exists("/dev/full"):
            self.skipTest("no /dev/full")
        os.symlink("/dev/full", self.path("SAVE", "full.jpg"))
        program = self.start()
        text = self.fail_to_save(program, "full", "save-failed-full")
        self.assertIn("SAVE/full.jpg", text or "")
        self.assertIn("нет места", text or "")
        self.assertEqual(os.listdir(self.path("SAVE")), ["full.jpg"])
        self.assertEqual(os.readlink(self.path("SAVE", "full.jpg")), "/dev/full")
        self.assertEqual(os.listdir(self.scratch), [], "the temporary file is gone")
        self.assert_still_works(program)


if __name__ == "__main__":
    unittest.main()
