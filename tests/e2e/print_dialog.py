"""Helpers for the preview window and printing as a user meets them: finding
the untitled preview window, answering the print dialog (its file printer
with an output path, or a print-server queue by name, and the orientation),
waiting for the PDF it writes, and the sheet a print should look like,
composed by ImageMagick from the collected diagrams (never by the program).

The dialog is driven by the positions of its rows and by its keyboard focus
order, never by GTK+'s labels or mnemonics, which change with the locale."""

import os
import subprocess
import time

from desktop import SHOTS, DesktopTest, Image, wait_until

PREVIEW_SIZE = (1000, 730)
PRINT_TITLE = "Print"
ERROR_TITLE = "Ошибка"
SHEET_SIZE = (1180, 1628)
SHEET_MARGIN = 40
SHEET_GAP = 20
# Where the sheet's top-left corner sits in the preview window, unscrolled.
SHEET_OFFSET = 5
PRINT_BUTTON = (425 + 75, 695 + 12)
A4_POINTS = (595, 841)
A4_LANDSCAPE_POINTS = (841, 595)
# The dialog's orientation list, in its order.
ORIENTATIONS = ("portrait", "landscape", "reverse portrait", "reverse landscape")
# Rows of the file printer's paper list, which is GTK+'s own paper table in
# the order of the papers' standard names, whatever the locale.
FILE_PRINTER_PAPERS = {"iso_a4": 19, "iso_a5": 29, "na_letter": 128}


def _visible_windows(display, pid):
    return display.run("xdotool", "search", "--onlyvisible", "--pid", str(pid), check=False).split()


def _size(display, window):
    values = {}
    for line in display.run("xwininfo", "-id", window, check=False).splitlines():
        key, _, value = line.strip().partition(":")
        values[key] = value.strip()
    try:
        return int(values["Width"]), int(values["Height"])
    except (KeyError, ValueError):
        return None


def _name(display, window):
    return display.run("xdotool", "getwindowname", window, check=False).rstrip("\n")


def _shot(display, name, then=None):
    """Takes a screenshot into SHOTS/name.png (kept for a failure's reader)
    and returns its path, or then(path) applied to the picture before it is
    put there: tests running side by side may take shots of the same name,
    and each must read its own."""
    os.makedirs(SHOTS, exist_ok=True)
    path = os.path.join(SHOTS, name + ".png")
    own = f"{path}.{os.getpid()}.png"
    display.run("import", "-window", "root", own, check=False)
    result = then(own) if then else path
    if os.path.exists(own):
        os.replace(own, path)
    return result


def find_preview(program, timeout=10):
    """Id of the program's shown preview window: untitled and 1000 x 730.
    Waits up to timeout seconds; raises AssertionError when none shows."""
    deadline = time.time() + timeout
    while time.time() < deadline:
        for window in _visible_windows(program.display, program.process.pid):
            if _size(program.display, window) == PREVIEW_SIZE and _name(program.display, window) == "":
                time.sleep(0.3)  # let the sheet be painted
                return window
        time.sleep(0.05)
    raise AssertionError(f"no preview window within {timeout} s")


def preview_shown(program):
    """True while the program shows a preview window (no waiting)."""
    return any(_size(program.display, w) == PREVIEW_SIZE and _name(program.display, w) == ""
               for w in _visible_windows(program.display, program.process.pid))


def find_window(program, title, timeout=10):
    """Id of the program's shown window titled exactly title, or None after timeout seconds."""
    return wait_until(lambda: next((w for w in _visible_windows(program.display, program.process.pid)
                                    if _name(program.display, w) == title), None), timeout)


def wait_gone(program, window, timeout=10):
    """True once window is no longer shown, False if it still is after timeout seconds."""
    return bool(wait_until(lambda: window not in _visible_windows(program.display, program.process.pid), timeout))


def preview_sheet(program, preview, name):
    """A screenshot of the preview's scroll area (990 x 680, scroll bars
    included) as an Image whose (x, y) is the window's (x, y)."""
    left, top, _, _ = program.geometry(preview)
    return _shot(program.display, name, lambda shot: Image.load(shot, crop=(left, top, 990, 680)))


def open_print_dialog(program, preview, timeout=10):
    """Presses "Печать диаграмм" in the preview and returns the print dialog's id."""
    program.click(*PRINT_BUTTON, window=preview)
    dialog = find_window(program, PRINT_TITLE, timeout)
    if not dialog:
        raise AssertionError(f"no print dialog within {timeout} s; see {_shot(program.display, 'print-no-dialog')}")
    # Printers are listed from the main loop once the dialog is up.
    time.sleep(0.5)
    program.display.run("xdotool", "windowfocus", "--sync", dialog, check=False)
    return dialog


def _keys(program, *names):
    for name in names:
        program.display.run("xdotool", "key", name)
        time.sleep(0.15)


def _steps(program, key, count):
    """Presses key count times in one control: the focus stays where it is,
    so the presses need no pause between them beyond xdotool's own."""
    if count:
        program.display.run("xdotool", "key", "--delay", "30", *[key] * count)
        time.sleep(0.15)


def choose_printer(program, dialog, queue=None):
    """Selects a printer in the open print dialog's list and leaves the focus
    there: GTK+'s file printer, always the first row (GTK+ lists its virtual
    printers first), or a print-server queue, found by typing its name (ours,
    never translated) into the list's search."""
    program.display.run("xdotool", "mousemove", "--window", dialog, "80", "94", "click", "1")
    time.sleep(0.2)
    if queue is None:
        _keys(program, "Home")
    else:
        program.display.type(queue, 20)
        time.sleep(0.3)
        _keys(program, "Escape")  # closes the search box only
    time.sleep(0.3)  # the printer's own options are shown from the main loop


def finish_print(program, dialog, button="print", orientation=None, paper_row=None, timeout=10):
    """From the General tab, with the focus in it but not in the printer list:
    goes to the Page Setup tab,
    chooses row paper_row of the paper list and the orientation (one of
    ORIENTATIONS) when given, presses Print (button="print") or Print Preview
    (button="preview") and waits until the dialog has gone. All by the focus
    order: backward from the Page Setup tab's first control come the tab
    itself, then the dialog's buttons Print, Cancel and Print Preview, then
    Orientation, the tab's last control, and Paper size just before it.
    Raises AssertionError, with a screenshot, when the dialog does not take
    the answer."""
    _keys(program, "ctrl+Page_Down", *["shift+Tab"] * 5)
    if paper_row is not None:
        _keys(program, "shift+Tab", "Home")
        _steps(program, "Down", paper_row)
        _keys(program, "Tab")
    if orientation is not None:
        _keys(program, "Home")
        _steps(program, "Down", ORIENTATIONS.index(orientation))
    time.sleep(0.2)
    _shot(program.display, "print-dialog-page-setup")
    _keys(program, *["Tab"] * {"preview": 1, "print": 3}[button], "Return")
    if not wait_gone(program, dialog, timeout):
        raise AssertionError(f"print dialog did not print; see {_shot(program.display, 'print-dialog-stuck')}")


def print_to_file(program, dialog, pdf_path, button="print", timeout=10, orientation=None, paper="iso_a4"):
    """Chooses the file printer in the open print dialog, makes it write to
    pdf_path (absolute, not yet existing) on the paper named (a key of
    FILE_PRINTER_PAPERS, A4 unless told, whatever the machine's default),
    sets the orientation when given, presses Print (button="print") or Print
    Preview (button="preview") and waits until the dialog has gone."""
    choose_printer(program, dialog)
    # The file printer's name field follows the list.
    _keys(program, "Tab", "ctrl+a")
    program.display.type(pdf_path, 10)
    time.sleep(0.2)
    _shot(program.display, "print-dialog-filled")
    finish_print(program, dialog, button, orientation, FILE_PRINTER_PAPERS[paper], timeout)


def print_to_queue(program, dialog, queue, button="print", timeout=10, orientation=None):
    """Chooses the print-server queue named queue in the open print dialog,
    sets the orientation when given, and prints on the queue's paper (see
    finish_print)."""
    choose_printer(program, dialog, queue)
    # Out of the list, which keeps ctrl+Page_Down for itself.
    _keys(program, "Tab")
    _shot(program.display, "print-dialog-queue")
    finish_print(program, dialog, button, orientation, None, timeout)


def cancel_print(program, dialog, timeout=10):
    """Closes the open print dialog with Escape, as Cancel does, and waits until it has gone."""
    program.display.run("xdotool", "key", "Escape")
    if not wait_gone(program, dialog, timeout):
        raise AssertionError(f"print dialog did not cancel; see {_shot(program.display, 'print-dialog-stuck')}")


def wait_for_pdf(pdf_path, timeout=20):
    """Waits until pdf_path is a whole PDF (pdfinfo reads it) and returns
    pdfinfo's fields as a dict; raises AssertionError after timeout seconds."""
    deadline = time.time() + timeout
    report = ""
    while time.time() < deadline:
        if os.path.exists(pdf_path):
            result = subprocess.run(["pdfinfo", pdf_path], capture_output=True, text=True)
            report = result.stderr
            if result.returncode == 0:
                fields = {}
                for line in result.stdout.splitlines():
                    key, _, value = line.partition(":")
                    fields[key.strip()] = value.strip()
                return fields
        time.sleep(0.1)
    raise AssertionError(f"no readable PDF at {pdf_path} within {timeout} s {report}")


def page_points(fields):
    """The (width, height) of a pdfinfo report's page size, in whole points."""
    width, _, rest = fields["Page size"].partition(" x ")
    return int(float(width)), int(float(rest.split()[0]))


def pdf_page(pdf_path, folder):
    """The PDF's first page rasterised by pdftoppm at 72 dpi (a pixel a
    point) as an Image; the PNG stays in folder as <pdf name>-page.png."""
    stem = os.path.join(folder, os.path.splitext(os.path.basename(pdf_path))[0] + "-page")
    subprocess.run(["pdftoppm", "-r", "72", "-singlefile", "-png", pdf_path, stem], check=True)
    return Image.load(stem + ".png")


def coarse_difference(image, reference, block=7):
    """(mean, max) channel difference between two Images of one size, each
    averaged over block x block squares first. Averaging keeps pieces,
    frames and text but not the moire that fine hatching makes when two
    different filters scale it, which swamps a pixel-by-pixel mean."""
    assert (image.width, image.height) == (reference.width, reference.height), "sizes differ"
    columns, rows = image.width // block, image.height // block

    def averaged(picture):
        sums = [0] * (columns * rows * 3)
        for y in range(rows * block):
            line = picture.data[y * picture.width * 3:(y * picture.width + columns * block) * 3]
            base = (y // block) * columns * 3
            for x in range(columns * block):
                i, j = x * 3, base + (x // block) * 3
                sums[j] += line[i]
                sums[j + 1] += line[i + 1]
                sums[j + 2] += line[i + 2]
        return [v / (block * block) for v in sums]

    differences = [abs(a - b) for a, b in zip(averaged(image), averaged(reference))]
    return sum(differences) / len(differences), max(differences)


def cell_origin(k, width, height):
    """Top-left corner of diagram k (1..4) on the sheet, for diagrams of width x height."""
    x = SHEET_MARGIN if k % 2 == 1 else SHEET_MARGIN + width + SHEET_GAP
    y = SHEET_MARGIN if k <= 2 else SHEET_MARGIN + height + SHEET_GAP
    return x, y


def sheet_on_page(size):
    """(x, y, scale) of the sheet printed on a page of size (whole points):
    one scale for both axes, the largest that keeps the sheet on the page,
    and the sheet centred."""
    scale = min(size[0] / SHEET_SIZE[0], size[1] / SHEET_SIZE[1])
    return (size[0] - SHEET_SIZE[0] * scale) / 2, (size[1] - SHEET_SIZE[1] * scale) / 2, scale


def reference_sheet(temp_folder, count, path, size=SHEET_SIZE):
    """The sheet that count collected diagrams (temp_folder/1.jpg ...) make,
    composed by ImageMagick, on a white page of size as large as it holds the
    sheet with its shape kept, centred; written to path and returned as an Image."""
    command = ["convert", "-size", f"{SHEET_SIZE[0]}x{SHEET_SIZE[1]}", "xc:white"]
    for k in range(1, count + 1):
        diagram = os.path.join(temp_folder, f"{k}.jpg")
        width, height = map(int, subprocess.run(["identify", "-format", "%w %h", diagram], capture_output=True,
                                                text=True, check=True).stdout.split())
        x, y = cell_origin(k, width, height)
        command += [diagram, "-geometry", f"+{x}+{y}", "-composite"]
    if size != SHEET_SIZE:
        command += ["-resize", f"{size[0]}x{size[1]}", "-background", "white", "-gravity", "center",
                    "-extent", f"{size[0]}x{size[1]}"]
    command += [path]
    subprocess.run(command, check=True)
    return Image.load(path)


class CollectingTest(DesktopTest):
    """A desktop test that collects diagrams and opens the preview."""

    def collect(self, *placements):
        """Collects one diagram per (palette gadget, square), each adding a piece to the board."""
        program = self.program
        for count, (gadget, square) in enumerate(placements, start=1):
            program.place(gadget, square)
            program.press(85)
            self.wait_for_diagram(count)

    def wait_for_diagram(self, k, timeout=10):
        """Waits until TEMP/k.jpg holds a full-size diagram."""
        s = self.square_size
        path = self.path("TEMP", f"{k}.jpg")
        deadline = time.time() + timeout
        while time.time() < deadline:
            size = subprocess.run(["identify", "-format", "%w %h", path], capture_output=True, text=True).stdout
            if size == f"{9 * s} {9 * s + s // 2}":
                return
            time.sleep(0.05)
        self.fail(f"TEMP/{k}.jpg is not a collected diagram")

    def open_preview(self):
        self.program.press(83)
        return find_preview(self.program)
