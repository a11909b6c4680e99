"""Drives the real chess-diagram as a user would: a private X server, the
program started in a fresh working folder, clicks and keys through xdotool,
screenshots through ImageMagick, and pixel checks against images decoded by
ImageMagick (never by the program's own decoder)."""

import os
import shutil
import subprocess
import tempfile
import time
import unittest

BUILD = os.environ.get("CHESS_BUILD_DIR", os.path.join(os.path.dirname(__file__), "../../build"))
PROGRAM = os.path.join(BUILD, "chess-diagram")
TOOLS = os.path.join(BUILD, "tools")
SHOTS = os.path.join(BUILD, "e2e-shots")


class Display:
    """An Xvfb server of the test's own, optionally with a window manager."""

    def __init__(self, window_manager=False, size="1280x1024x24"):
        read_fd, write_fd = os.pipe()
        # -noreset: without it the server resets whenever its last client
        # leaves, and a program connecting in that moment (while a poll by
        # xdotool has just ended) cannot open the display.
        self.server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-screen", "0", size, "-nolisten", "tcp", "-noreset"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        self.env = dict(os.environ, DISPLAY=":" + number)
        self.env.pop("XAUTHORITY", None)
        self.manager = None
        self.bound_letters = set()  # letters bind_keys gave keys of their own
        if window_manager:
            self.manager = subprocess.Popen(["openbox", "--sm-disable"], env=self.env,
                                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            time.sleep(0.5)

    def type(self, text, delay):
        """Types text with xdotool, each non-ASCII letter on a key of its own."""
        bind_keys(self, text)
        self.run("xdotool", "type", "--delay", str(delay), text)

    def run(self, *command, check=True):
        result = subprocess.run(list(command), env=self.env, capture_output=True, text=True)
        if check and result.returncode != 0:
            raise AssertionError(f"{command} failed: {result.stderr.strip()}")
        return result.stdout

    def close(self):
        for process in (self.manager, self.server):
            if process:
                process.terminate()
                process.wait()


class Program:
    """chess-diagram running in its own working folder on a Display."""

    def __init__(self, display, folder, size=60):
        self.display = display
        self.folder = folder
        self.process = subprocess.Popen([PROGRAM], cwd=folder, env=display.env,
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.window = self.wait_for_window("Chess diagram")
        self.s = size

    def wait_for_window(self, name, timeout=10):
        deadline = time.time() + timeout
        while time.time() < deadline:
            if self.process.poll() is not None:
                raise AssertionError("program ended: " + self.process.stderr.read().decode())
            out = self.display.run("xdotool", "search", "--onlyvisible", "--name", "^" + name + "$",
                                   check=False).split()
            if out:
                time.sleep(0.3)
                return out[0]
            time.sleep(0.05)
        raise AssertionError(f"no window named {name!r}")

    def geometry(self, window=None):
        """(x, y, width, height) of the window's client area on the screen."""
        info = self.display.run("xwininfo", "-id", window or self.window)
        values = {}
        for line in info.splitlines():
            line = line.strip()
            for key in ("Absolute upper-left X:", "Absolute upper-left Y:", "Width:", "Height:"):
                if line.startswith(key):
                    values[key] = int(line.split(":")[1])
        return (values["Absolute upper-left X:"], values["Absolute upper-left Y:"],
                values["Width:"], values["Height:"])

    def click(self, x, y, button=1, window=None):
        """Clicks at (x, y) of the window's client area and lets the program answer."""
        left, top, _, _ = self.geometry(window)
        self.display.run("xdotool", "mousemove", str(left + x), str(top + y))
        time.sleep(0.05)
        self.display.run("xdotool", "click", str(button))
        time.sleep(0.15)

    def type_text(self, value):
        self.display.type(value, 30)
        time.sleep(0.2)

    def key(self, *names):
        self.display.run("xdotool", "key", *names)
        time.sleep(0.2)

    def square_point(self, col, row):
        """Centre of board square (col, row), both 1-based from the top-left."""
        return col * self.s + self.s // 2, row * self.s + self.s // 2

    def palette_point(self, gadget):
        """Centre of palette gadget 69..81, 88 or 89."""
        s = self.s
        def row_y(i):
            return i * s + 3 * i - s // 2
        if 69 <= gadget <= 74:
            x, y = 10 * s, row_y(gadget - 68)
        elif 75 <= gadget <= 80:
            x, y = 11 * s + 5, row_y(gadget - 74)
        else:
            x, y = 12 * s + 10, row_y({81: 1, 88: 2, 89: 3}[gadget])
        return x + s // 2, y + s // 2

    def button_point(self, gadget):
        s = self.s
        y = {85: 7 * s + 10, 83: 7 * s + 40, 84: 7 * s + 70, 86: 7 * s + 100, 87: 7 * s + 130}[gadget]
        return 10 * s + (790 - 10 * s) // 2, y + 12

    def press(self, gadget):
        self.click(*self.button_point(gadget))

    def place(self, palette_gadget, *squares):
        self.click(*self.palette_point(palette_gadget))
        for col, row in squares:
            self.click(*self.square_point(col, row))

    def screenshot(self, name):
        os.makedirs(SHOTS, exist_ok=True)
        path = os.path.join(SHOTS, name + ".png")
        self.display.run("import", "-window", "root", path)
        return path

    def client_pixels(self, name):
        """A screenshot of the editor's client area as an Image."""
        shot = self.screenshot(name)
        x, y, w, h = self.geometry()
        return Image.load(shot, crop=(x, y, w, h))

    def request_close(self, title="Chess diagram"):
        self.display.run(os.path.join(TOOLS, "send-close"), title)

    def wait_exit(self, timeout):
        try:
            return self.process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            return None

    def stop(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


class Image:
    """RGB pixels decoded by ImageMagick."""

    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    @staticmethod
    def load(path, crop=None):
        command = ["convert", path]
        if crop:
            x, y, w, h = crop
            command += ["-crop", f"{w}x{h}+{x}+{y}", "+repage"]
        command += ["-depth", "8", "rgb:-"]
        data = subprocess.run(command, capture_output=True, check=True).stdout
        size = subprocess.run(["identify", "-format", "%w %h\n", path], capture_output=True, text=True,
                              check=True).stdout.split()
        width, height = (crop[2], crop[3]) if crop else (int(size[0]), int(size[1]))
        assert len(data) == width * height * 3, (path, len(data), width, height)
        return Image(width, height, data)

    def pixel(self, x, y):
        i = (y * self.width + x) * 3
        return tuple(self.data[i:i + 3])

    def region(self, x, y, w, h):
        rows = [self.data[((y + r) * self.width + x) * 3:((y + r) * self.width + x + w) * 3] for r in range(h)]
        return Image(w, h, b"".join(rows))

    def max_difference(self, other):
        assert (self.width, self.height) == (other.width, other.height), "sizes differ"
        return max(abs(a - b) for a, b in zip(self.data, other.data))

    def mean_difference(self, other):
        assert (self.width, self.height) == (other.width, other.height), "sizes differ"
        return sum(abs(a - b) for a, b in zip(self.data, other.data)) / len(self.data)


def wait_until(condition, timeout=10, interval=0.05):
    """Polls condition until it gives a true value, which is returned; None
    once timeout seconds have passed without one."""
    deadline = time.time() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.time() >= deadline:
            return None
        time.sleep(interval)


def make_working_folder(size=60):
    """A fresh folder holding only DATA/ with a square set of size s."""
    folder = tempfile.mkdtemp(prefix="chess-e2e-")
    data = os.path.join(folder, "DATA")
    os.mkdir(data)
    subprocess.run([os.path.join(TOOLS, "make-squares"), data, str(size)], check=True)
    return folder


class DesktopTest(unittest.TestCase):
    """Each test gets its own X server and working folder."""

    window_manager = False
    square_size = 60

    def setUp(self):
        self.display = Display(window_manager=self.window_manager)
        self.folder = make_working_folder(self.square_size)
        self.program = None

    def start(self):
        self.program = Program(self.display, self.folder, self.square_size)
        return self.program

    def tearDown(self):
        if self.program:
            self.program.stop()
        self.display.close()
        shutil.rmtree(self.folder, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.folder, *parts)


def bind_keys(display, text):
    """Gives every non-ASCII letter of text a key of its own in the display's
    keymap. Without one, xdotool remaps a spare key for each such letter while
    typing, and a busy client that reads the keymap late gets the wrong letter
    or none; with one, typing is plain key presses."""
    import re
    letters = sorted({c.lower() for c in text if ord(c) > 127} - display.bound_letters)
    if not letters:
        return
    keymap = display.run("xkbcomp", "-xkb", display.env["DISPLAY"], "-")
    keycodes, _, rest = keymap.partition("xkb_types")
    symbols_head, _, symbols_tail = rest.partition("xkb_symbols")
    symbols, end, after = symbols_tail.partition("\n};")
    taken = set(re.findall(r"key <(\w+)>\s*\{", symbols))
    spare = [k for k in re.findall(r"<(I\d+)>\s*=\s*\d+;", keycodes) if k not in taken]
    if len(spare) < len(letters):
        raise AssertionError(f"{len(letters)} letters, {len(spare)} spare keys")
    keys = "".join(f"\n    key <{key}> {{ [ U{ord(c):04X}, U{ord(c.upper()):04X} ] }};"
                   for key, c in zip(spare, letters))
    changed = keycodes + "xkb_types" + symbols_head + "xkb_symbols" + symbols + keys + end + after
    result = subprocess.run(["xkbcomp", "-w", "0", "-", display.env["DISPLAY"]], input=changed, text=True,
                            env=display.env, capture_output=True)
    if result.returncode != 0:
        raise AssertionError("xkbcomp: " + result.stderr.strip())
    display.bound_letters.update(letters)
