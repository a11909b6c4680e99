"""chess-diagram-render as people who publish chess problems use it: a
position set up in the editor and collected, read back from TEMP/1.jpg and
drawn again from its FEN; a flat-colour square set of another size; PDF
sheets of a list; and every malformed input refused with one line, status 1
and no file. Pictures are decoded by ImageMagick, PDFs read by poppler."""

import os
import pty
import random
import re
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import BUILD, DesktopTest, Image, bind_keys, wait_until  # noqa: E402
from diagram_test import DiagramCase  # noqa: E402

RENDER = os.path.join(BUILD, "chess-diagram-render")
TASK_TEXT = "Мат в 2 хода"
# Square (col, row) from the top-left, as the editor numbers them, and its name.
SQUARE_NAMES = {(c, r): "abcdefgh"[c - 1] + str(9 - r) for c in range(1, 9) for r in range(1, 9)}


def render(*arguments, display=None, cwd=None, home=None, locale=None):
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    if display:
        env.update(display.env)
    if home:
        env["HOME"] = home
    if locale:
        env["LC_ALL"] = locale
    return subprocess.run([RENDER, *arguments], capture_output=True, text=True, env=env, cwd=cwd)


class RoundTrip(DiagramCase):
    def test_a_collected_diagram_reads_back_and_renders_again_identically(self):
        bind_keys(self.display, TASK_TEXT)
        program = self.start()
        # White: Kh1, Qd1, Nf3; black: Kh8, pawns g7 h7; a cross on f7.
        position = {(8, 8): 1, (4, 8): 3, (6, 6): 9, (8, 1): 13, (7, 2): 23, (8, 2): 23, (6, 2): 29}
        for palette, odd in ((69, 1), (70, 3), (73, 9), (75, 13), (80, 23), (88, 29)):
            program.place(palette, *[square for square, image in position.items() if image == odd])
        self.board_once_square_shows(program, 6, 2, 29, "render-board")
        self.type_task_text(program, TASK_TEXT)
        collected = self.collect(program, 1)
        self.assert_diagram_shows(collected, position)

        read = render("--read", collected, "--data", self.path("DATA"))
        self.assertEqual(read.returncode, 0, read.stderr)
        fen = "7k/6pp/8/8/8/5N2/8/3Q3K"
        self.assertEqual(read.stdout, f"{fen}\ncross: f7\n")

        again = os.path.join(self.folder, "again.jpg")
        drawn = render("--fen", fen, "--text", TASK_TEXT, "--cross", "f7", "--data", self.path("DATA"),
                       "-o", again, display=self.display)
        self.assertEqual(drawn.returncode, 0, drawn.stderr)
        with open(collected, "rb") as a, open(again, "rb") as b:
            self.assertEqual(a.read(), b.read(), "the renderer's file differs from the editor's")

        # Without a display the text goes through Pango and cairo directly:
        # only the band under the board may differ, by antialiasing.
        headless = os.path.join(self.folder, "headless.jpg")
        drawn = render("--fen", fen, "--text", TASK_TEXT, "--cross", "f7", "--data", self.path("DATA"),
                       "-o", headless)
        self.assertEqual(drawn.returncode, 0, drawn.stderr)
        s = self.square_size
        board_rows = 9 * s + 2 - 8  # JPEG blocks next to the text band may change too
        editor, alone = Image.load(collected), Image.load(headless)
        self.assertEqual(editor.region(0, 0, 9 * s, board_rows).data, alone.region(0, 0, 9 * s, board_rows).data)
        band = (0, 9 * s + 2, 9 * s, s // 2 - 2)
        self.assertLess(editor.region(*band).mean_difference(alone.region(*band)), 2.0)
        self.assertEqual(self.text_ink(headless), self.text_ink(collected))


class FlatColours(unittest.TestCase):
    """A square set of another size whose every image is one flat colour, so
    each square of the diagram says which image was drawn there."""

    size = 50

    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="chess-render-")
        self.data = os.path.join(self.folder, "DATA")
        os.mkdir(self.data)
        self.colours = {}
        for n in range(1, 33):
            width, height = {27: (9 * self.size, self.size // 2), 28: (self.size // 2, 8 * self.size)}.get(
                n, (self.size, self.size))
            colour = ((n * 53) % 256, (n * 97 + 40) % 256, (n * 151 + 90) % 256)
            self.colours[n] = colour
            subprocess.run(["convert", "-size", f"{width}x{height}", f"xc:rgb{colour}", "-quality", "95",
                            os.path.join(self.data, f"{n}.jpg")], check=True)

    def tearDown(self):
        subprocess.run(["rm", "-rf", self.folder])

    def out(self, name):
        return os.path.join(self.folder, name)

    def test_squares_land_where_the_fen_puts_them_and_read_back(self):
        fen = "r3k2r/1b4bq/8/8/8/8/7B/R3K2R"
        made = render("--fen", fen + " w KQkq - 0 1", "--ring", "e4,d5", "--cross", "a1", "--data", self.data,
                      "-o", self.out("d.jpg"))
        # a1 holds a rook: a marker cannot go there.
        self.assertEqual(made.returncode, 1)
        self.assertFalse(os.path.exists(self.out("d.jpg")))
        made = render("--fen", fen + " w KQkq - 0 1", "--ring", "e4,d5", "--cross", "b1", "--data", self.data,
                      "-o", self.out("d.jpg"))
        self.assertEqual(made.returncode, 0, made.stderr)
        s = self.size
        diagram = Image.load(self.out("d.jpg"))
        self.assertEqual((diagram.width, diagram.height), (450, 475))
        pieces = {"r": 17, "k": 13, "b": 19, "q": 15, "R": 5, "K": 1, "B": 7}
        placed = {(1, 1): "r", (5, 1): "k", (8, 1): "r", (2, 2): "b", (7, 2): "b", (8, 2): "q", (8, 7): "B",
                  (1, 8): "R", (5, 8): "K", (8, 8): "R"}
        for (col, row), name in SQUARE_NAMES.items():
            odd = pieces[placed[(col, row)]] if (col, row) in placed else 25
            odd = {"e4": 31, "d5": 31, "b1": 29}.get(name, odd)
            expected = self.colours[odd if (col + row) % 2 == 0 else odd + 1]
            got = diagram.pixel(col * s - s // 2 + s // 2, row * s - s // 2 + s // 2)
            self.assertLessEqual(max(abs(a - b) for a, b in zip(got, expected)), 12, (name, got, expected))
        read = render("--read", self.out("d.jpg"), "--data", self.data)
        self.assertEqual(read.stdout, f"{fen}\ncross: b1\nring: d5,e4\n", read.stderr)

        # A diagram of another square size is named by its size.
        other = os.path.join(self.folder, "other")
        os.mkdir(other)
        subprocess.run([os.path.join(BUILD, "tools", "make-squares"), other, "60"], check=True)
        read = render("--read", self.out("d.jpg"), "--data", other)
        self.assertEqual(read.returncode, 1)
        self.assertIn("450 × 475", read.stderr)

    def set_with_first_square(self, name, size):
        """A copy of the set in a folder beside it, whose 1.jpg is size wide."""
        folder = os.path.join(os.path.dirname(self.folder), os.path.basename(self.folder) + "-" + name)
        os.mkdir(folder)
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        for n in range(2, 33):
            os.link(os.path.join(self.data, f"{n}.jpg"), os.path.join(folder, f"{n}.jpg"))
        subprocess.run(["convert", "-size", f"{size}x{size}", "xc:white", os.path.join(folder, "1.jpg")], check=True)
        return folder

    def test_without_data_the_set_comes_from_here_then_the_users_folder_then_the_build(self):
        fen = "8/8/8/8/8/8/8/K6k"
        home = os.path.join(self.folder, "home")
        elsewhere = os.path.join(self.folder, "elsewhere")
        os.makedirs(elsewhere)
        os.makedirs(os.path.join(home, "chess-diagram"))
        os.symlink(self.data, os.path.join(home, "chess-diagram", "DATA"))
        # Here: ./DATA (s = 50); elsewhere: ~/chess-diagram/DATA (s = 50);
        # with neither, the set the build drew beside the program (s = 60).
        for cwd, own_home, width in ((self.folder, self.folder, 450), (elsewhere, home, 450),
                                     (elsewhere, elsewhere, 540)):
            made = render("--fen", fen, "-o", "d.jpg", cwd=cwd, home=own_home)
            self.assertEqual(made.returncode, 0, made.stderr)
            self.assertEqual(Image.load(os.path.join(cwd, "d.jpg")).width, width, (cwd, own_home))

    def test_names_the_user_chose_keep_their_links_and_a_full_disk_is_named(self):
        fen = "8/8/8/8/8/8/8/K6k"
        real = self.out("real.jpg")
        with open(real, "wb") as old:
            old.write(b"old")
        os.chmod(real, 0o640)
        os.symlink("real.jpg", self.out("link.jpg"))
        made = render("--fen", fen, "--data", self.data, "-o", self.out("link.jpg"))
        self.assertEqual(made.returncode, 0, made.stderr)
        self.assertTrue(os.path.islink(self.out("link.jpg")), "the link stays")
        self.assertEqual(Image.load(real).width, 450, "the file it names is replaced")
        self.assertEqual(os.stat(real).st_mode & 0o777, 0o640)

        with open(self.out("list.txt"), "w") as listing:
            listing.write(fen + "\n")
        full = render("--list", self.out("list.txt"), "--data", self.data, "--sheets", "/dev/full", locale="C")
        self.assertEqual(full.returncode, 1)
        self.assertEqual(full.stderr, "chess-diagram-render: не удалось записать «/dev/full»: No space left on device\n")
        self.assertTrue(stat.S_ISCHR(os.stat("/dev/full").st_mode))
        self.assertEqual(sorted(os.listdir(self.folder)), ["DATA", "link.jpg", "list.txt", "real.jpg"])

    def shifted_set(self):
        """A set of the same size whose every colour is 40 away from this one's
        in each channel: its diagrams are no diagrams of this set."""
        folder = os.path.join(os.path.dirname(self.folder), os.path.basename(self.folder) + "-shifted")
        os.mkdir(folder)
        self.addCleanup(subprocess.run, ["rm", "-rf", folder])
        for n in range(1, 33):
            width, height = Image.load(os.path.join(self.data, f"{n}.jpg")).width, Image.load(
                os.path.join(self.data, f"{n}.jpg")).height
            colour = tuple(c + 40 if c < 216 else c - 40 for c in self.colours[n])
            subprocess.run(["convert", "-size", f"{width}x{height}", f"xc:rgb{colour}", "-quality", "95",
                            os.path.join(folder, f"{n}.jpg")], check=True)
        return folder

    def test_malformed_input_gives_one_line_status_1_and_no_file(self):
        broken = os.path.join(self.folder, "broken")
        os.mkdir(broken)
        for n in range(1, 33):
            os.link(os.path.join(self.data, f"{n}.jpg"), os.path.join(broken, f"{n}.jpg"))
        os.unlink(os.path.join(broken, "7.jpg"))
        with open(os.path.join(broken, "7.jpg"), "wb") as garbage:
            garbage.write(b"\xff\xd8 not really a JPEG")
        # Squares of 3500: the diagram, 31500 x 33250, would not fit an image.
        huge = self.set_with_first_square("huge", 3500)
        tiny = self.set_with_first_square("tiny", 1)
        empty = "8/8/8/8/8/8/8/8"
        # A diagram drawn with another set of the same size, a JPEG whose
        # header claims 32767 x 32767, and a list of comments only.
        other = os.path.join(os.path.dirname(self.folder), os.path.basename(self.folder) + "-other.jpg")
        self.addCleanup(os.unlink, other)
        drawn = render("--fen", "4k3/8/8/8/8/8/8/4K3", "--data", self.shifted_set(), "-o", other)
        self.assertEqual(drawn.returncode, 0, drawn.stderr)
        claims_huge = os.path.join(os.path.dirname(self.folder), os.path.basename(self.folder) + "-huge.jpg")
        self.addCleanup(os.unlink, claims_huge)
        with open(os.path.join(self.data, "1.jpg"), "rb") as small:
            header = bytearray(small.read())
        start_of_frame = header.find(b"\xff\xc0")
        header[start_of_frame + 5:start_of_frame + 9] = b"\x7f\xff\x7f\xff"
        with open(claims_huge, "wb") as huge_header:
            huge_header.write(header)
        comments = os.path.join(broken, "comments.txt")
        with open(comments, "w") as listing:
            listing.write("# nothing but comments\n\n# and blank lines\n")
        # A list of two whose second diagram cannot be written: a folder has its name.
        two = os.path.join(broken, "two.txt")
        with open(two, "w") as listing:
            listing.write(empty + "\n" + empty + "\n")
        partial = os.path.join(broken, "partial")
        os.makedirs(os.path.join(partial, "002.jpg"))
        # Each case: its arguments (with -o and --data added), and what its one line must name.
        cases = [
            (["--fen", "8/8/8/8/8/8/8"], "рядов"),
            (["--fen", "8/8/8/8/8/8/8/8/8"], "рядов"),
            (["--fen", "rnbqkbnr/ppppppp/8/8/8/8/8/8"], "ряд 7"),
            (["--fen", "rnbqkbnrp/8/8/8/8/8/8/8"], "ряд 8"),
            (["--fen", "9/8/8/8/8/8/8/8"], "«9»"),
            (["--fen", "8/8/8/8/8/8/8/7X"], "«X»"),
            (["--fen", "8/8/8/8/8/8/8/7Ж"], "ряду 1"),
            (["--fen", ""], "FEN"),
            (["--fen", empty, "--cross", "i9"], "«i9»"),
            (["--fen", empty, "--cross", "e9"], "«e9»"),
            (["--fen", empty, "--cross", "e4,"], "пустой элемент"),
            (["--fen", "44/8/8/8/8/8/8/8"], "две цифры"),
            (["--fen", empty + " W - - 0 1"], "«W»"),
            (["--fen", empty + " w - e5 0 1"], "«e5»"),
            (["--fen", "x" * 100000], "…"),
            (["--fen", empty, "--text", "\udcff\udcfe"], "\\xff"),
            (["--fen", empty, "--text", "две\nстроки"], "\\n"),
            (["--fen", empty, "--data", self.data, "-o", self.out("bad.gif")], ".png"),
            (["--list", comments], "нет ни одной позиции"),
            (["--list", comments, "--sheets", self.out("bad.pdf")], "нет ни одной позиции"),
            (["--read", other], "не похожа"),
            (["--read", claims_huge], "32767 × 32767"),
            (["--read", self.out("nowhere.jpg")], "«" + self.out("nowhere.jpg") + "»"),
            (["--read", comments], "не JPEG"),
            (["--read", other, "--sheets", self.out("bad.pdf")], "только --data"),
            (["--list", two, "-o", partial + "/"], "строка 2"),
            (["--fen", empty, "--ring", "e4,e0"], "«e0»"),
            (["--fen", empty, "--cross", "e4", "--ring", "e4"], "e4"),
            (["--fen", empty, "--bogus"], "--bogus"),
            (["--fen", empty, "--read", "x.jpg"], "--read"),
            (["--fen", empty, "--data", self.out("nowhere")], "1.jpg"),
            (["--fen", empty, "--data", broken], "7.jpg"),
            (["--fen", empty, "--data", huge], "3500"),
            (["--fen", empty, "--data", tiny], "1.jpg"),
            (["--fen", "White: Kh1 Black: Kh8 (2+1)"], "(2+1)"),
            (["--fen", "Weiß: Kh1 Qd1"], "«Qd1»"),
            (["--fen", empty, "--twin", "b) e4→e5"], "на клетке e4 нет фигуры"),
            (["--list", comments, "--twin", "b) 90°"], "--twin"),
            (["--problem", self.out("nowhere.txt")], "«" + self.out("nowhere.txt") + "»"),
            (["--problem", comments], "нет ни одной задачи"),
            (["--read", comments, "--as", "svg"], "fen, pieces, popeye или yaml"),
            (["--read", comments, "--as", "yaml"], "--stipulation"),
            (["--read", comments, "--as", "fen", "--author", "X"], "popeye"),
        ]
        before = sorted(os.listdir(self.folder))
        target = self.out("bad.jpg")
        for arguments, named in cases:
            data = [] if "--data" in arguments else ["--data", self.data]
            output = [] if "-o" in arguments or arguments[0] == "--read" else ["-o", target]
            result = render(*arguments, *data, *output)
            self.assertEqual(result.returncode, 1, arguments)
            self.assertEqual(len(result.stderr.splitlines()), 1, (arguments, result.stderr))
            self.assertLess(len(result.stderr), 600, arguments)
            self.assertIn(named, result.stderr, arguments)
            self.assertEqual(sorted(os.listdir(self.folder)), before, arguments)
        result = render("--fen", empty, "--data", self.data)
        self.assertEqual((result.returncode, len(result.stderr.splitlines())), (1, 1))
        self.assertIn("-o", result.stderr)
        # No descriptor left for a worker's pipe: one line, and no file. Its own
        # session, so that a stray signal to "the group" cannot reach the test.
        os.mkdir(os.path.join(broken, "none"))
        result = subprocess.run(["prlimit", "--nofile=4", RENDER, "--list", two, "--data", self.data, "-o",
                                 os.path.join(broken, "none") + "/"], capture_output=True, text=True,
                                start_new_session=True, env={k: v for k, v in os.environ.items() if k != "DISPLAY"})
        self.assertEqual((result.returncode, len(result.stderr.splitlines())), (1, 1), result.stderr)
        self.assertIn("не удалось запустить обработчик", result.stderr)
        self.assertEqual(os.listdir(os.path.join(broken, "none")), [])

    def test_text_as_people_paste_it_is_drawn_and_read_back(self):
        fen = "r3k2r/8/8/8/8/8/8/R3K2R"
        os.mkdir(self.out("out"))
        # Each row: the arguments (-o added unless given), the file written, what reads back from it.
        rows = [
            (["--fen", fen + "\n"], "d1.jpg", fen),
            (["--fen", fen + " w KQkq -\r\n"], "d2.jpg", fen),
            (["--fen", "\ufeff" + fen + "\u00a0b\u00a0-\u00a0-"], "d3.jpg", fen),
            (["--fen", "r3k2r/8/8/8/8/8/8/R~3K2R w Qk - 0 1"], "d4.jpg", fen),
            (["--fen", fen + ' w - - bm Ra8; id "suite.1";'], "d5.jpg", fen),
            (["--fen", fen, "--cross", "e4, f5", "--ring", "d4"], "d6.jpg", fen + "\ncross: e4,f5\nring: d4"),
            (["--fen", fen, "-o", self.out("out") + "/"], "out/001.jpg", fen),
            (["--fen", fen, "-o", self.out("out")], "out/001.jpg", fen),
            (["--fen", fen, "-o", self.out("d7.PNG")], "d7.PNG", fen),
            (["--fen", fen + " w KQkq - 0 1 ;D1 48 ;D2 2039; c0 \"open"], "d8.jpg", fen),
        ]
        for arguments, written, expected in rows:
            output = [] if "-o" in arguments else ["-o", self.out(written)]
            made = render(*arguments, "--data", self.data, *output)
            self.assertEqual((made.returncode, made.stderr), (0, ""), arguments)
            read = render("--read", self.out(written), "--data", self.data)
            self.assertEqual(read.stdout, expected + "\n", (arguments, read.stderr))
        with open(self.out("d7.PNG"), "rb") as png:
            self.assertEqual(png.read(8), b"\x89PNG\r\n\x1a\n")

        # A list saved on Windows: a byte-order mark, CRLF, an EPD line whose
        # id is its task text, and a task text too wide for the band, which
        # is drawn cut and warned about with its line number.
        lines = ["# contest", fen + "\tЗадача 1", fen + ' w - - bm Ra8; id "Задача 2";',
                 fen + "\t" + "Кооперативный мат в два хода, " * 3,
                 fen + " w - -; am Nxb6 + ? ; c1 diff=10"]  # what follows a position never refuses it
        with open(self.out("list.txt"), "wb") as listing:
            listing.write(("\ufeff" + "\r\n".join(lines) + "\r\n").encode())
        made = render("--list", self.out("list.txt"), "--data", self.data, "-o", self.out("out/"))
        self.assertEqual(made.returncode, 0, made.stderr)
        self.assertEqual(len(made.stderr.splitlines()), 1, made.stderr)
        self.assertIn("строка 4: текст задания шире диаграммы", made.stderr)
        self.assertEqual(sorted(os.listdir(self.out("out"))), ["001.jpg", "002.jpg", "003.jpg", "004.jpg"])
        self.assertEqual(render("--read", self.out("out/004.jpg"), "--data", self.data).stdout, fen + "\n")
        diagram = Image.load(self.out("out/003.jpg"))
        for x in (0, 9 * self.size - 12):
            edge = diagram.region(x, 9 * self.size + 2, 12, self.size // 2 - 2)
            self.assertLess(min(edge.data), 100, f"the text runs over the edge at x = {x}")

    def test_problems_as_composers_write_them_are_drawn_and_written_back_out(self):
        # A piece list with its twins and count draws what the same words as a text draw.
        listed = "Белые: Крd5 Кf3 Лa1 Чёрные: Крe7 b7"
        pairs = [
            (["--fen", listed, "--text", TASK_TEXT, "--count"], ["--text", TASK_TEXT + " (3+2)"]),
            (["--fen", listed, "--text", "h#2", "--twin", "b) Kd5->e5", "--twin", "+c) -Sf3"],
             ["--text", "h#2, b) Крd5→e5, +c) −Кf3"]),
        ]
        fen = "8/1p2k3/8/3K4/8/5N2/8/R7"
        for n, (given, written) in enumerate(pairs):
            made = render(*given, "--data", self.data, "-o", self.out(f"given{n}.jpg"))
            self.assertEqual((made.returncode, made.stderr), (0, ""), given)
            made = render("--fen", fen, *written, "--data", self.data, "-o", self.out(f"written{n}.jpg"))
            self.assertEqual(made.returncode, 0, made.stderr)
            with open(self.out(f"given{n}.jpg"), "rb") as a, open(self.out(f"written{n}.jpg"), "rb") as b:
                self.assertEqual(a.read(), b.read(), given)
        bad_twin = render("--fen", listed, "--twin", "b) Qd5->e5", "--data", self.data, "-o", self.out("bad.jpg"))
        self.assertEqual(bad_twin.returncode, 1)
        self.assertIn("стоит не та фигура", bad_twin.stderr)
        self.assertFalse(os.path.exists(self.out("bad.jpg")))

        # Read back out as a solver file and as a YAML record, each drawn again from its file.
        for form in ("popeye", "yaml"):
            out = render("--read", self.out("given0.jpg"), "--data", self.data, "--as", form,
                         "--stipulation", "h#2", "--author", "Иванов, Иван")
            self.assertEqual(out.returncode, 0, out.stderr)
            self.assertIn("Иванов, Иван", out.stdout)
            with open(self.out(f"problem.{form}"), "w") as f:
                f.write(out.stdout)
            os.mkdir(self.out(form))
            made = render("--problem", self.out(f"problem.{form}"), "--data", self.data, "-o", self.out(form) + "/")
            self.assertEqual((made.returncode, made.stderr), (0, ""), out.stdout)
            read = render("--read", self.out(form + "/001.jpg"), "--data", self.data)
            self.assertEqual(read.stdout, fen + "\n")
        pieces = render("--read", self.out("given0.jpg"), "--data", self.data, "--as", "pieces")
        self.assertEqual(pieces.stdout, "White: Kd5 Ra1 Sf3 Black: Ke7 Pb7 (3+2)\n"
                                        "Белые: Крd5 Лa1 Кf3 Чёрные: Крe7 b7 (3+2)\n")

        # A file with a fairy problem among orthodox ones: the others are drawn, the fairy one named.
        with open(self.out("mixed.txt"), "w") as f:
            f.write("begin\npieces white kd5 black ke7\nstip #2\nnext\ncondition madrasi\n"
                    "pieces white kd5 black ke7\nstip #2\nnext\npieces white ka1 black kh8\nstip h#2\nend\n")
        os.mkdir(self.out("mixed"))
        made = render("--problem", self.out("mixed.txt"), "--data", self.data, "-o", self.out("mixed") + "/")
        self.assertEqual(made.returncode, 1)
        self.assertEqual(made.stderr.count("\n"), 1, made.stderr)
        self.assertIn("задача 2", made.stderr)
        self.assertIn("madrasi", made.stderr)
        self.assertEqual(sorted(os.listdir(self.out("mixed"))), ["001.jpg", "003.jpg"])

    def test_a_list_becomes_files_and_a4_sheets_four_to_a_page(self):
        fens = ["8/8/8/8/8/8/8/K6k", "8/8/8/3Q4/8/8/8/K6k", "8/8/8/3R4/8/8/8/K6k", "8/8/8/3B4/8/8/8/K6k",
                "8/8/8/3N4/8/8/8/K6k", "8/8/8/3P4/8/8/8/K6k", "8/8/8/3q4/8/8/8/K6k", "8/8/8/3r4/8/8/8/K6k",
                "8/8/8/3b4/8/8/8/K6k"]
        lines = ["# a solving contest", ""] + [f"{fen} w - - 0 1\tЗадача {i + 1}" for i, fen in enumerate(fens)]
        lines.insert(4, "8/8/8/8/8/8/8/K6kk\tbad")
        with open(self.out("list.txt"), "w") as listing:
            listing.write("\n".join(lines) + "\n")
        result = render("--list", self.out("list.txt"), "--data", self.data, "-o", self.out("p.jpg"),
                        "--sheets", self.out("sheets.pdf"))
        self.assertEqual(result.returncode, 1)
        self.assertEqual(result.stderr.splitlines(), [result.stderr.splitlines()[0]])
        self.assertIn("строка 5", result.stderr)
        written = sorted(name for name in os.listdir(self.folder) if name.startswith("p-"))
        self.assertEqual(written, [f"p-{n:03}.jpg" for n in (1, 2, 4, 5, 6, 7, 8, 9, 10)])
        read = render("--read", self.out("p-004.jpg"), "--data", self.data)
        self.assertEqual(read.stdout, fens[2] + "\n")

        info = subprocess.run(["pdfinfo", self.out("sheets.pdf")], capture_output=True, text=True).stdout
        self.assertIn("Pages:           3", info)
        self.assertIn("595.276 x 841.89 pts (A4)", info)
        images = subprocess.run(["pdfimages", "-list", self.out("sheets.pdf")], capture_output=True,
                                text=True).stdout.splitlines()[2:]
        self.assertEqual([line.split()[3:5] for line in images], [["1180", "1628"]] * 3)
        # At the sheet's own width the page is as high as A4 is, and the sheet
        # stands in the middle of it, its squares square.
        subprocess.run(["pdftoppm", "-scale-to-x", "1180", "-scale-to-y", "-1", "-png", self.out("sheets.pdf"),
                        self.out("page")], check=True)
        # Page 1 is full: each cell's d5 shows that diagram's piece.
        page = Image.load(self.out("page-1.png"))
        self.assertEqual(page.height, 1669)
        with open(self.out("sheets.pdf"), "rb") as pdf:
            w, _, _, h, x, y = map(float, re.search(rb"q ([-\d. ]+) cm /Sheet Do", pdf.read()).group(1).split())
        self.assertAlmostEqual(w / h, 1180 / 1628, places=5)
        self.assertAlmostEqual(x, 0, delta=0.01)
        self.assertAlmostEqual(y, (841.89 - h) / 2, delta=0.01)
        top = (page.height - 1628) // 2
        cells = ((40, top + 40), (40 + 450 + 20, top + 40), (40, top + 40 + 475 + 20), (40 + 450 + 20, top + 40 + 475 + 20))
        d5 = (4 * self.size, 4 * self.size)  # the centre of d5, light
        for (x, y), odd in zip(cells, (25, 3, 5, 7)):
            got = page.pixel(x + d5[0], y + d5[1])
            self.assertLessEqual(max(abs(a - b) for a, b in zip(got, self.colours[odd])), 12, (x, y, got))
        # Page 3 holds one diagram, at the top left.
        page = Image.load(self.out("page-3.png"))
        first_square = self.colours[25]
        got = page.pixel(40 + self.size, top + 40 + self.size)
        self.assertLessEqual(max(abs(a - b) for a, b in zip(got, first_square)), 12)
        self.assertEqual(page.pixel(40 + self.size, top // 2), (255, 255, 255))
        for x, y in ((40 + 450 + 20 + self.size, top + 40 + self.size), (40 + self.size, top + 40 + 475 + 20 + self.size)):
            self.assertEqual(page.pixel(x, y), (255, 255, 255))


    def long_list(self, count, too_wide=()):
        """A list of count positions, one a line and nothing else, so line n is
        position n; the lines too_wide names have a task text wider than the band."""
        pieces, chosen = "QRBNqrbn", random.Random(19)
        with open(self.out("long.txt"), "w") as listing:
            for number in range(1, count + 1):
                squares = ["."] * 64
                for man in "Kk" + "".join(chosen.choice(pieces) for _ in range(6)):
                    squares[chosen.choice([i for i in range(64) if squares[i] == "."])] = man
                ranks = ["".join(squares[r * 8:r * 8 + 8]) for r in range(8)]
                fen = "/".join(re.sub(r"\.+", lambda m: str(len(m.group())), rank) for rank in ranks)
                text = "Кооперативный мат в два хода, " * 3 if number in too_wide else "Мат в 2 хода"
                listing.write(fen + "\t" + text + "\n")
        return self.out("long.txt")

    def test_on_a_terminal_progress_and_warnings_never_share_a_line(self):
        wide = (300, 600, 900)
        listing = self.long_list(1000, too_wide=wide)
        os.mkdir(self.out("out"))
        leader, follower = pty.openpty()
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        program = subprocess.Popen([RENDER, "--list", listing, "--data", self.data, "-o", self.out("out/")],
                                   stderr=follower, env=env)
        os.close(follower)
        shown = b""
        while True:
            try:
                chunk = os.read(leader, 65536)
            except OSError:  # the terminal closed with the program
                break
            if not chunk:
                break
            shown += chunk
        os.close(leader)
        self.assertEqual(program.wait(), 0)
        # What the terminal shows: each carriage return starts its line over.
        screen = []
        for line in shown.decode().replace("\r\n", "\n").split("\n"):
            cells = []
            for part in line.split("\r"):
                cells[:len(part)] = part
            screen.append("".join(cells).rstrip())
        screen = [line for line in screen if line]
        warnings = [line for line in screen if "текст задания шире" in line]
        self.assertEqual(sorted(int(re.search(r"строка (\d+)", line).group(1)) for line in warnings), list(wide), shown)
        for line in screen:
            self.assertRegex(line, r"^chess-diagram-render: (строка \d+: текст задания шире.*|\d+ из 1000)$")
        self.assertEqual(screen[-1], "chess-diagram-render: 1000 из 1000")

    def start_list(self, *arguments, count=3000, **options):
        env = dict(os.environ)
        env.pop("DISPLAY", None)
        return subprocess.Popen([RENDER, "--list", self.long_list(count), "--data", self.data, *arguments],
                                stderr=subprocess.PIPE, text=True, env=env, **options)

    def workers_once_drawing(self, program, folder, files=40):
        """The worker processes, once the first diagrams are written."""
        wait_until(lambda: len(os.listdir(folder)) >= files, timeout=60)
        workers = subprocess.run(["pgrep", "-P", str(program.pid)], capture_output=True, text=True).stdout.split()
        self.assertTrue(workers)
        return [int(pid) for pid in workers]

    @staticmethod
    def process_state(pid):
        """The state letter /proc gives (R, S, T, Z...), or "X" once the process is gone."""
        try:
            with open(f"/proc/{pid}/stat") as status:
                return status.read().rsplit(")", 1)[1].split()[0]
        except (FileNotFoundError, ProcessLookupError):
            return "X"

    def assert_all_ended(self, pids):
        # Only a zombie (or nothing) may be left: a worker that still runs writes on.
        for pid in pids:
            self.assertIn(self.process_state(pid), "ZX", pid)

    def stop_while_writing(self, pid, folder):
        """Stops the worker at a moment it holds a diagram's hidden temporary in
        folder open: it is inside its chunk, and that diagram has not been
        renamed into place, since the temporary is closed before the rename.
        Elsewhere it is let go on and stopped again."""
        folder = os.path.realpath(folder)
        deadline = time.time() + 120
        while time.time() < deadline:
            os.kill(pid, signal.SIGSTOP)
            self.assertTrue(wait_until(lambda: self.process_state(pid) in "TZX", timeout=30), pid)
            if self.process_state(pid) != "T":
                break
            try:
                targets = [os.readlink(f"/proc/{pid}/fd/{fd}") for fd in os.listdir(f"/proc/{pid}/fd")]
            except FileNotFoundError:
                targets = []  # a descriptor closed between listing and reading: look again
            if any(os.path.dirname(target) == folder and os.path.basename(target).startswith(".")
                   for target in targets):
                return
            os.kill(pid, signal.SIGCONT)
        self.fail(f"worker {pid} was never seen writing a diagram")

    def assert_only_diagrams_in(self, folder):
        self.assertEqual([name for name in os.listdir(folder) if not re.fullmatch(r"\d{4}\.jpg", name)], [])

    def test_a_killed_worker_is_named_with_the_lines_it_left_unwritten(self):
        # Started with SIGCHLD ignored, as some shells and daemons start
        # programs: the workers' ends must still be seen.
        out = self.out("out")
        os.mkdir(out)
        program = self.start_list("-o", out + "/",
                                  preexec_fn=lambda: signal.signal(signal.SIGCHLD, signal.SIG_IGN))
        # Caught from the first file on: a test starved of the processor for
        # long must still find the list unfinished.
        workers = self.workers_once_drawing(program, out, files=1)
        self.stop_while_writing(workers[0], out)
        os.kill(workers[0], signal.SIGKILL)
        errors = program.communicate()[1]
        self.assertEqual(program.returncode, 1)
        self.assertEqual(len(errors.splitlines()), 1, errors)
        self.assertIn("убит сигналом 9", errors)
        named = set()
        for first, last in re.findall(r"(\d+)(?:–(\d+))?", errors.split("строк")[1]):
            named.update(range(int(first), int(last or first) + 1))
        self.assert_only_diagrams_in(out)
        written = {int(name[:4]) for name in os.listdir(out)}
        self.assertTrue(named, errors)
        self.assertEqual(set(range(1, 3001)) - written, named, "the line names exactly what is missing")
        self.assert_all_ended(workers)

    def test_an_interrupted_list_leaves_nothing_half_written_and_no_worker(self):
        for sent, to_group, status, said in ((signal.SIGINT, True, 130, "прервано"),
                                             (signal.SIGTERM, False, 143, "остановлено"),
                                             (signal.SIGKILL, False, -9, "")):
            out = self.out(f"out-{sent}")
            os.mkdir(out)
            # Started as from a terminal: a test run in the background has SIGINT
            # ignored, which the program rightly keeps.
            program = self.start_list("-o", out + "/", "--sheets", os.path.join(out, "sheets.pdf"),
                                      start_new_session=True,
                                      preexec_fn=lambda: signal.signal(signal.SIGINT, signal.SIG_DFL))
            workers = self.workers_once_drawing(program, out)
            time.sleep(0.2)
            if to_group:
                os.killpg(program.pid, sent)  # as Ctrl-C reaches every process of the terminal's group
            else:
                os.kill(program.pid, sent)
            errors = program.communicate()[1]
            self.assertEqual(program.returncode, status, errors)
            self.assertEqual(len(errors.splitlines()), 1 if said else 0, errors)
            self.assertIn(said, errors)
            # Workers of a killed parent end on their own, once they next report.
            wait_until(lambda: all(self.process_state(pid) in "ZX" for pid in workers), timeout=60)
            self.assert_all_ended(workers)
            self.assert_only_diagrams_in(out)


if __name__ == "__main__":
    unittest.main()
