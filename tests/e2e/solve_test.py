"""chess-diagram-solve on a check that takes long, as a composer waits on it:
the progress line on a terminal and nowhere else, wiped before the result;
Ctrl-C and SIGTERM print what was proven with the verdict "прервано" and
the usual status; an interrupted list names the lines it did not check, and
an interrupted problem file the problems it did not check."""

import os
import pty
import re
import signal
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import BUILD, wait_until  # noqa: E402

SOLVE = os.path.join(BUILD, "chess-diagram-solve")
# A published eight-mover that takes the solver minutes: always still running
# when the test interrupts it.
LONG = ("6k1/8/4NBB1/8/p7/8/8/K7 w - - 0 1", "#8")
QUICK = ("4kb1r/p2n1ppp/4q3/4p1B1/4P3/1Q6/PPP2PPP/2KR4 w k - 0 16", "#2")


def screen_of(shown):
    """What a terminal shows: each carriage return starts its line over."""
    screen = []
    for line in shown.decode().replace("\r\n", "\n").split("\n"):
        cells = []
        for part in line.split("\r"):
            cells[:len(part)] = part
        screen.append("".join(cells).rstrip())
    return [line for line in screen if line]


class LongCheck(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.mkdtemp(prefix="chess-solve-")

    def start(self, *arguments, **options):
        return subprocess.Popen([SOLVE, *arguments], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                **options)

    def test_interrupted_check_prints_what_was_proven_and_says_so(self):
        for sent, to_group, status in ((signal.SIGINT, True, 130), (signal.SIGTERM, False, 143)):
            with self.subTest(signal=sent):
                program = self.start("--fen", LONG[0], "--stipulation", LONG[1], "--jobs", "2",
                                     start_new_session=True)
                time.sleep(1.5)
                if to_group:
                    os.killpg(program.pid, sent)  # as Ctrl-C reaches every process of the terminal's group
                else:
                    os.kill(program.pid, sent)
                out, errors = program.communicate(timeout=30)
                self.assertEqual(program.returncode, status, errors)
                self.assertEqual(out.splitlines()[-1], "прервано", out)
                self.assertEqual(errors, "")  # nothing on a pipe but what went wrong

    def test_progress_shows_on_a_terminal_only_and_is_wiped_before_the_result(self):
        leader, follower = pty.openpty()
        program = subprocess.Popen([SOLVE, "--fen", LONG[0], "--stipulation", LONG[1], "--notation", "en"],
                                   stdout=subprocess.PIPE, stderr=follower, text=True)
        os.close(follower)
        shown = b""
        deadline = time.monotonic() + 30
        while b"first move" not in shown and time.monotonic() < deadline:
            shown += os.read(leader, 65536)
        program.send_signal(signal.SIGINT)
        out = program.communicate(timeout=30)[0]
        while True:
            try:
                chunk = os.read(leader, 65536)
            except OSError:  # the terminal closed with the program
                break
            if not chunk:
                break
            shown += chunk
        os.close(leader)
        self.assertEqual(program.returncode, 130)
        self.assertRegex(shown.decode(), r"chess-diagram-solve: length \d+: first move \d+ of \d+, found \d+, \d+ s")
        self.assertEqual(screen_of(shown), [], "the progress line is wiped")
        self.assertEqual(out.splitlines()[-1], "interrupted")

    def test_an_interrupted_list_names_the_lines_not_checked(self):
        listing = os.path.join(self.folder, "list.txt")
        with open(listing, "w") as out:
            out.write("# two quick problems, then a long one and two more\n")
            for fen, stipulation in (QUICK, QUICK, LONG, QUICK, LONG):
                out.write(f"{fen}\t{stipulation}\n")
        program = self.start("--list", listing, "--jobs", "1", start_new_session=True)
        wait_until(lambda: os.path.exists(f"/proc/{program.pid}") and
                   subprocess.run(["pgrep", "-P", str(program.pid)], capture_output=True).stdout, timeout=10)
        time.sleep(1.5)
        workers = subprocess.run(["pgrep", "-P", str(program.pid)], capture_output=True, text=True).stdout.split()
        os.killpg(program.pid, signal.SIGINT)
        out, errors = program.communicate(timeout=30)
        self.assertEqual(program.returncode, 130, errors)
        self.assertEqual([line.split(":")[0] + ":" + line.split(":")[1] for line in out.splitlines()],
                         ["строка 2: корректна", "строка 3: корректна"])
        self.assertEqual(errors, "chess-diagram-solve: прервано; строки 4–6 не проверены\n")
        time.sleep(0.5)
        for pid in workers:
            self.assertFalse(os.path.exists(f"/proc/{pid}") and
                             open(f"/proc/{pid}/stat").read().split()[2] not in "ZX", pid)

    def test_an_interrupted_problem_file_prints_the_problem_cut_short_and_names_the_rest(self):
        problems = os.path.join(self.folder, "problems.txt")
        with open(problems, "w") as out:
            out.write("begin\nforsyth 6k1/8/4SBB1/8/p7/8/8/K7\nstipulation #8\n"
                      "next\nforsyth " + QUICK[0].split()[0].replace("n", "s").replace("N", "S") +
                      "\nstipulation #2\nend\n")
        program = self.start("--problem", problems, "--jobs", "1", start_new_session=True)
        time.sleep(1.5)
        os.kill(program.pid, signal.SIGTERM)
        out, errors = program.communicate(timeout=30)
        self.assertEqual(program.returncode, 143, errors)
        self.assertEqual(out.splitlines()[0], "Задача 1", out)
        self.assertEqual(out.splitlines()[-1], "прервано", out)
        self.assertEqual(errors, "chess-diagram-solve: проверка прервана на задаче 1; следующие задачи файла не проверены\n")


if __name__ == "__main__":
    unittest.main()
