"""Helpers for the program's dialogs as a user meets them: waiting for a
window by its title, typing a name into the save dialog and answering it,
reading the text of a message dialog, and waiting for a file to be written.

Texts are read back through the X PRIMARY selection, which a GTK+ label or
entry takes over when its text is selected; the selection is read with
libX11 through ctypes, so no tool beyond the X libraries is needed."""

import ctypes
import os
import subprocess
import time

from desktop import SHOTS, wait_until

SAVE_TITLE = "Save image"
ERROR_TITLE = "Ошибка"


def find_window(display, name, timeout=10):
    """Id of the visible window titled exactly name, waiting up to timeout."""
    found = wait_until(lambda: display.run("xdotool", "search", "--onlyvisible", "--name", "^" + name + "$",
                                           check=False).split(), timeout)
    if not found:
        raise AssertionError(f"no window named {name!r} within {timeout} s")
    return found[0]


def window_shown(display, window):
    info = display.run("xwininfo", "-id", window, check=False)
    return "IsViewable" in info


def wait_gone(display, window, timeout=10):
    if not wait_until(lambda: not window_shown(display, window), timeout):
        raise AssertionError(f"window {window} still shown after {timeout} s")


def window_box(display, window):
    """(x, y, width, height) of a window on the screen."""
    values = {}
    for line in display.run("xwininfo", "-id", window).splitlines():
        key, _, value = line.strip().partition(":")
        values[key] = value.strip()
    return (int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
            int(values["Width"]), int(values["Height"]))


def focus(display, window):
    """Gives a dialog the keyboard, as a window manager would on mapping it."""
    display.run("xdotool", "windowfocus", window, check=False)
    time.sleep(0.1)


def open_save_dialog(program):
    """Presses "Сохранить изображение" and returns the save dialog's window."""
    program.press(84)
    dialog = find_window(program.display, SAVE_TITLE)
    # The chooser loads its folder after mapping; keys typed earlier may be lost.
    time.sleep(0.4)
    return dialog


def type_name(program, dialog, name):
    """Types a name into the dialog's name field, which has the focus on opening."""
    focus(program.display, dialog)
    program.display.type(name, 40)
    time.sleep(0.2)


def accept(program, dialog):
    """Return: the dialog's default answer, Save."""
    program.display.run("xdotool", "key", "Return")
    wait_gone(program.display, dialog)


def _pixels(path):
    """(width, height, rgb bytes) of an image file, decoded by ImageMagick."""
    width, height = image_size(path)
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], capture_output=True, check=True).stdout
    return width, height, data


def cancel_button_point(display, dialog, shot_path):
    """A point on the dialog's Cancel button, relative to the dialog, found
    by its place rather than its label, which follows the desktop's language:
    GTK+ puts Cancel just left of the default answer, the two at the right
    end of the bottom row. Read from a screenshot: the default button's top
    and bottom borders under its right end, then the button faces along a row
    just inside the top border, from the right."""
    screenshot_of(display, dialog, shot_path)
    width, height, data = _pixels(shot_path)

    def dark(x, y):
        i = (y * width + x) * 3
        return max(data[i:i + 3]) < 170

    def dark_run_end(y):
        """Right end of the first dark run of 40 pixels or more on row y, from the right."""
        run = 0
        for x in range(width - 1, width // 2, -1):
            run = run + 1 if dark(x, y) else 0
            if run >= 40:
                return x + 39
        return None

    bottom = next((y for y in range(height - 1, height - 80, -1) if dark_run_end(y) is not None), None)
    if bottom is None:
        raise AssertionError(f"no button at the dialog's bottom right; see {shot_path}")
    inside = dark_run_end(bottom) - 3  # a column of the default button's face, clear of its label
    top = next((y for y in range(bottom - 12, bottom - 80, -1) if dark(inside, y)), None)
    if top is None:
        raise AssertionError(f"no top border on the default button; see {shot_path}")
    row = top + 3
    faces = []  # light runs wider than a border or a gap, right to left
    run_end = None
    for x in range(width - 1, -1, -1):
        if not dark(x, row):
            run_end = x if run_end is None else run_end
            continue
        if run_end is not None and run_end - x > 40:
            faces.append((x + 1, run_end))
        run_end = None
    if run_end is not None and run_end > 40:  # a face whose left edge is a light highlight
        faces.append((0, run_end))
    if len(faces) < 2:
        raise AssertionError(f"no button left of the default one; see {shot_path}")
    return faces[1][1] - 15, (top + bottom) // 2


def cancel(program, dialog):
    """Clicks the dialog's Cancel button."""
    os.makedirs(SHOTS, exist_ok=True)
    shot = os.path.join(SHOTS, "save-dialog-cancel.png")
    x, y = cancel_button_point(program.display, dialog, shot)
    program.display.run("xdotool", "mousemove", "--window", dialog, str(x), str(y), "click", "1")
    wait_gone(program.display, dialog)


def save_as(program, name):
    """The whole save: open the dialog, type the name, accept."""
    dialog = open_save_dialog(program)
    type_name(program, dialog, name)
    accept(program, dialog)


def image_size(path):
    """(width, height) as ImageMagick reads the file, or None while it cannot."""
    result = subprocess.run(["identify", "-format", "%w %h\n", path], capture_output=True, text=True)
    if result.returncode != 0 or not result.stdout.split():
        return None
    width, height = result.stdout.split()[:2]
    return int(width), int(height)


def wait_for_file(path, size=None, differs_from=None, timeout=10):
    """Waits until path holds a decodable image (of size, when given, and with
    bytes other than differs_from, when given) and returns its bytes."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        if os.path.isfile(path):
            with open(path, "rb") as f:
                content = f.read()
            if content != differs_from:
                got = image_size(path)
                if got is not None and (size is None or got == tuple(size)):
                    return content
        time.sleep(0.05)
    raise AssertionError(f"{path} not written as expected within {timeout} s "
                         f"(size now {image_size(path) if os.path.exists(path) else 'no file'})")


def screenshot_of(display, window, path):
    display.run("import", "-window", window, path)


def dialog_text_point(display, window, shot_path):
    """A point on the first line of a message dialog's text, relative to the
    dialog: the first black pixel right of the icon, found in a screenshot."""
    screenshot_of(display, window, shot_path)
    _, _, width, height = window_box(display, window)
    data = subprocess.run(["convert", shot_path, "-depth", "8", "rgb:-"], capture_output=True,
                          check=True).stdout
    for y in range(4, height // 2):
        for x in range(64, width - 8):
            i = (y * width + x) * 3
            if max(data[i:i + 3]) < 60:
                return x + 2, y + 3
    raise AssertionError("no text in the dialog")


def selected_by_triple_click(display, move, timeout):
    """Triple-clicks after the pointer motion move (xdotool arguments) and
    returns the text the click selected, or None when nothing was selected
    within timeout. A selection left from before cannot be mistaken for it:
    the selection is taken away from its owner first."""
    _drop_primary(display)
    for _ in range(2):  # a triple click stretched apart by a busy machine is no triple click
        display.run("xdotool", *move, "click", "--repeat", "3", "--delay", "50", "1")
        deadline = time.time() + timeout / 2
        while time.time() < deadline:
            text = primary_selection(display)
            if text is not None:
                return text
            time.sleep(0.05)
    return None


def message_text(display, window, shot_path, timeout=6):
    """The text of a message dialog: a triple click selects all of its label."""
    x, y = dialog_text_point(display, window, shot_path)
    return selected_by_triple_click(display, ["mousemove", "--window", window, str(x), str(y)], timeout)


def field_text(program, x, y, timeout=6):
    """The text of an entry at (x, y) of the editor, None when it is empty: a
    triple click selects all of it. Pass a short timeout when expecting None."""
    left, top, _, _ = program.geometry()
    return selected_by_triple_click(program.display, ["mousemove", str(left + x), str(top + y)], timeout)


class _SelectionEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("requestor", ctypes.c_ulong),
                ("selection", ctypes.c_ulong), ("target", ctypes.c_ulong),
                ("property", ctypes.c_ulong), ("time", ctypes.c_ulong)]


class _Event(ctypes.Union):
    _fields_ = [("selection", _SelectionEvent), ("pad", ctypes.c_long * 24)]


def _xlib():
    x = ctypes.CDLL("libX11.so.6")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XCreateSimpleWindow.restype = ctypes.c_ulong
    x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XConvertSelection.argtypes = [ctypes.c_void_p] + [ctypes.c_ulong] * 5
    x.XCheckTypedWindowEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int,
                                         ctypes.POINTER(_Event)]
    x.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long,
                                     ctypes.c_long, ctypes.c_int, ctypes.c_ulong,
                                     ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
                                     ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                     ctypes.POINTER(ctypes.c_void_p)]
    x.XSetSelectionOwner.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_ulong]
    x.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    x.XFree.argtypes = [ctypes.c_void_p]
    x.XFlush.argtypes = [ctypes.c_void_p]
    x.XDestroyWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
    x.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x


XA_PRIMARY = 1


def _drop_primary(display):
    """Takes PRIMARY and lets it go with the connection, so no one owns it."""
    x = _xlib()
    connection = x.XOpenDisplay(display.env["DISPLAY"].encode())
    if not connection:
        raise AssertionError("cannot open the display")
    window = x.XCreateSimpleWindow(connection, x.XDefaultRootWindow(connection), 0, 0, 1, 1, 0, 0, 0)
    x.XSetSelectionOwner(connection, XA_PRIMARY, window, 0)
    x.XSync(connection, 0)
    x.XCloseDisplay(connection)


def primary_selection(display, timeout=5):
    """The PRIMARY selection as UTF-8 text, asked of its owner the way a
    pasting client asks; None when no one owns it."""
    x = _xlib()
    connection = x.XOpenDisplay(display.env["DISPLAY"].encode())
    if not connection:
        raise AssertionError("cannot open the display")
    try:
        window = x.XCreateSimpleWindow(connection, x.XDefaultRootWindow(connection), 0, 0, 1, 1, 0, 0, 0)
        utf8 = x.XInternAtom(connection, b"UTF8_STRING", 0)
        target = x.XInternAtom(connection, b"CHESS_TEST_SELECTION", 0)
        x.XConvertSelection(connection, XA_PRIMARY, utf8, target, window, 0)
        x.XFlush(connection)
        event = _Event()
        selection_notify = 31
        deadline = time.time() + timeout
        while not x.XCheckTypedWindowEvent(connection, window, selection_notify, ctypes.byref(event)):
            if time.time() > deadline:
                raise AssertionError("the selection owner did not answer")
            time.sleep(0.02)
        if event.selection.property == 0:
            return None
        kind, format_, count, after = ctypes.c_ulong(), ctypes.c_int(), ctypes.c_ulong(), ctypes.c_ulong()
        data = ctypes.c_void_p()
        x.XGetWindowProperty(connection, window, target, 0, 1 << 20, 1, 0, ctypes.byref(kind),
                             ctypes.byref(format_), ctypes.byref(count), ctypes.byref(after),
                             ctypes.byref(data))
        if not data.value:
            return ""
        text = ctypes.string_at(data.value, count.value).decode("utf-8")
        x.XFree(data)
        x.XDestroyWindow(connection, window)
        return text
    finally:
        x.XCloseDisplay(connection)
