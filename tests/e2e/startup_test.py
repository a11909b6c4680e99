"""Start-up and the end of the program, on the real program under Xvfb."""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import PROGRAM, DesktopTest, Image  # noqa: E402


class StartUp(DesktopTest):
    def test_opens_the_editor_and_settles_the_folders(self):
        program = self.start()
        _, _, width, height = program.geometry()
        self.assertEqual((width, height), (800, 620))
        hints = self.display.run("xprop", "-id", program.window, "WM_NORMAL_HINTS")
        self.assertIn("program specified minimum size: 800 by 620", hints)
        self.assertIn("program specified maximum size: 800 by 620", hints)
        windows = self.display.run("xdotool", "search", "--onlyvisible", "--name", ".").split()
        self.assertEqual(windows.count(program.window), 1)
        self.assertTrue(os.path.isdir(self.path("SAVE")))
        for k in range(1, 5):
            blank = Image.load(self.path("TEMP", f"{k}.jpg"))
            self.assertEqual((blank.width, blank.height), (5, 5))
            self.assertTrue(all(v >= 250 for v in blank.data), "blank diagrams are white")

    def test_close_request_ends_the_program_with_status_zero(self):
        program = self.start()
        program.request_close()
        started = time.time()
        status = program.wait_exit(timeout=2)
        self.assertEqual(status, 0, "exits with 0 within 2 s of the close request")
        self.assertLess(time.time() - started, 2)

    def test_data_images_are_never_overwritten(self):
        before = {n: open(self.path("DATA", f"{n}.jpg"), "rb").read() for n in range(1, 5)}
        program = self.start()
        program.request_close()
        program.wait_exit(timeout=2)
        for n, content in before.items():
            self.assertEqual(open(self.path("DATA", f"{n}.jpg"), "rb").read(), content)


class RefusesToStart(DesktopTest):
    def run_program(self):
        result = subprocess.run([PROGRAM], cwd=self.folder, env=self.display.env, capture_output=True,
                                text=True, timeout=10)
        return result.returncode, result.stderr

    def test_when_temp_cannot_be_made(self):
        with open(self.path("TEMP"), "w") as blocker:
            blocker.write("not a folder")
        status, errors = self.run_program()
        self.assertEqual(status, 1)
        self.assertEqual(len(errors.strip().splitlines()), 1, errors)
        self.assertIn("TEMP", errors)
        self.assertFalse(os.path.exists(self.path("DATA", "1.jpg.tmp")))

    def test_when_a_square_image_is_missing(self):
        os.remove(self.path("DATA", "7.jpg"))
        status, errors = self.run_program()
        self.assertEqual(status, 1)
        self.assertEqual(len(errors.strip().splitlines()), 1, errors)
        self.assertIn("DATA/7.jpg", errors)

    def test_when_a_square_image_is_not_an_image(self):
        with open(self.path("DATA", "12.jpg"), "wb") as broken:
            broken.write(b"\xff\xd8 this is no picture")
        status, errors = self.run_program()
        self.assertEqual(status, 1)
        self.assertIn("DATA/12.jpg", errors)


if __name__ == "__main__":
    unittest.main()
