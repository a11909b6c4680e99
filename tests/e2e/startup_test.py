"""Start-up and the end of the program, on the real program under Xvfb."""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import PROGRAM, SHOTS, TOOLS, DesktopTest, Image, wait_until  # noqa: E402
import save_dialog  # noqa: E402


def folder_bytes(folder):
    """Every file of a folder by name, with its bytes."""
    content = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            content[name] = f.read()
    return content


def run_to_refusal(display, command, folder, shot):
    """Runs the program in folder to its refusal to start: a reason on
    standard error and in the error dialog, which the program waits on until
    it is closed (as a window manager closes it). Returns the exit status,
    standard error and the dialog's text."""
    os.makedirs(SHOTS, exist_ok=True)
    process = subprocess.Popen(command, cwd=folder, env=display.env, stdout=subprocess.DEVNULL,
                               stderr=subprocess.PIPE, encoding="utf-8")
    try:
        dialog = save_dialog.find_window(display, save_dialog.ERROR_TITLE)
        shown = save_dialog.message_text(display, dialog, os.path.join(SHOTS, shot + ".png"))
        if process.poll() is not None:
            raise AssertionError("the program ended before its message was closed")
        display.run(os.path.join(TOOLS, "send-close"), save_dialog.ERROR_TITLE)
        status = process.wait(timeout=10)
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
    with process.stderr:
        return status, process.stderr.read(), shown


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

    def test_a_second_editor_in_the_folder_is_refused_and_the_first_keeps_its_diagrams(self):
        first = self.start()
        first.press(85)
        collected = self.path("TEMP", "1.jpg")
        self.assertEqual(wait_until(lambda: Image.load(collected).width == 540), True, "the first collects")
        before = folder_bytes(self.path("TEMP"))
        status, error, shown = run_to_refusal(self.display, [PROGRAM], self.folder, "refused-second-editor")
        self.assertEqual(status, 1)
        self.assertEqual(error.strip(), "chess-diagram: " + (shown or ""))
        self.assertIn("уже работает с папкой " + self.folder, error)
        self.assertEqual(folder_bytes(self.path("TEMP")), before, "the second start leaves TEMP/ alone")
        self.assertIsNone(first.process.poll(), "the first editor goes on")
        # The lock dies with its editor, however it ends.
        first.process.kill()
        first.process.wait()
        self.start()

    def test_a_link_at_a_collected_diagram_is_replaced_not_followed(self):
        elsewhere = os.path.join(self.folder, "private.txt")
        with open(elsewhere, "w") as private:
            private.write("not a diagram")
        os.chmod(elsewhere, 0o600)
        os.mkdir(self.path("TEMP"))
        os.symlink(elsewhere, self.path("TEMP", "1.jpg"))
        os.symlink(elsewhere, self.path("TEMP", "3.jpg"))
        self.start()
        for k in (1, 3):
            self.assertFalse(os.path.islink(self.path("TEMP", f"{k}.jpg")))
            self.assertEqual(Image.load(self.path("TEMP", f"{k}.jpg")).width, 5)
        with open(elsewhere) as private:
            self.assertEqual(private.read(), "not a diagram")
        self.assertEqual(os.stat(elsewhere).st_mode & 0o777, 0o600)

    def test_data_images_are_never_overwritten(self):
        before = {n: open(self.path("DATA", f"{n}.jpg"), "rb").read() for n in range(1, 5)}
        program = self.start()
        program.request_close()
        program.wait_exit(timeout=2)
        for n, content in before.items():
            self.assertEqual(open(self.path("DATA", f"{n}.jpg"), "rb").read(), content)


class RefusesToStart(DesktopTest):
    def setUp(self):
        super().setUp()
        # A home of the test's own: a refusal must make nothing in it.
        self.home = tempfile.mkdtemp(prefix="chess-e2e-home-")
        self.display.env["HOME"] = self.home

    def tearDown(self):
        super().tearDown()
        shutil.rmtree(self.home, ignore_errors=True)

    def run_program(self, shot):
        status, error, shown = run_to_refusal(self.display, [PROGRAM], self.folder, shot)
        self.assertEqual(len(error.strip().splitlines()), 1, error)
        self.assertEqual(error.strip(), "chess-diagram: " + (shown or ""), "the dialog shows the same reason")
        return status, error.strip()

    def test_when_temp_cannot_be_made(self):
        with open(self.path("TEMP"), "w") as blocker:
            blocker.write("not a folder")
        before = folder_bytes(self.path("DATA"))
        status, error = self.run_program("refused-temp")
        self.assertEqual(status, 1)
        self.assertIn(self.path("TEMP"), error)
        after = folder_bytes(self.path("DATA"))
        changed = sorted(name for name in set(before) | set(after) if before.get(name) != after.get(name))
        self.assertEqual(changed, [], "DATA/ stays byte for byte as it was")

    def test_when_a_square_image_is_missing(self):
        os.remove(self.path("DATA", "7.jpg"))
        status, error = self.run_program("refused-missing-square")
        self.assertEqual(status, 1)
        self.assertIn("DATA/7.jpg", error)

    def test_when_a_square_image_is_not_an_image(self):
        with open(self.path("DATA", "12.jpg"), "wb") as broken:
            broken.write(b"\xff\xd8 this is no picture")
        status, error = self.run_program("refused-broken-square")
        self.assertEqual(status, 1)
        self.assertIn("DATA/12.jpg", error)

    def test_when_the_squares_are_too_large_to_draw(self):
        # s = 3500: the diagram would be 31500 x 33250, over an image's 32767.
        subprocess.run(["convert", "-size", "3500x3500", "xc:white", self.path("DATA", "1.jpg")], check=True)
        status, error = self.run_program("refused-large-squares")
        self.assertEqual(status, 1)
        self.assertIn("DATA/1.jpg", error)
        self.assertIn("3500", error)
        self.assertFalse(os.path.exists(self.path("TEMP", "1.jpg")))

    def test_when_there_is_no_data_here_and_no_installed_set(self):
        # A copy of the program with no set beside it, as an install whose
        # set was removed.
        shutil.rmtree(self.path("DATA"))
        alone = tempfile.mkdtemp(prefix="chess-e2e-program-")
        self.addCleanup(shutil.rmtree, alone, ignore_errors=True)
        program = shutil.copy(PROGRAM, alone)
        status, error, shown = run_to_refusal(self.display, [program], self.folder, "refused-no-data")
        self.assertEqual(error.strip(), "chess-diagram: " + (shown or ""))
        error = error.strip()
        self.assertEqual(status, 1)
        self.assertIn(self.folder, error)
        self.assertIn("DATA/", error)
        self.assertEqual(os.listdir(self.home), [], "no folder is made in the home folder")
        self.assertEqual(os.listdir(self.folder), [])


if __name__ == "__main__":
    unittest.main()
