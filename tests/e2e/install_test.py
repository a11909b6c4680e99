"""Installing as a desktop program: make install into a temporary root, the
installed program started as a desktop menu starts it, and the Debian package
built, linted, installed with apt, started from its desktop entry and purged.
The package part needs root (CI runs as root) and leaves the machine's
packages as it found them."""

import itertools
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(__file__))
from desktop import BUILD, Display, Image, Program, wait_until  # noqa: E402
import save_dialog  # noqa: E402
from startup_test import folder_bytes, run_to_refusal  # noqa: E402

SOURCE = os.environ.get("CHESS_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "../.."))
APP_ID = "org.chess_diagram.ChessDiagram"
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)
SQUARES = [f"{n}.jpg" for n in range(1, 33)]
LOCK = ".chess-diagram.lock"  # what keeps a second editor out of a working folder
APT = ["apt-get", "-y", "-q", "-o", "DPkg::Lock::Timeout=300"]


PROGRAMS = ("chess-diagram", "chess-diagram-render", "chess-diagram-solve")


def install_libdir():
    """The library folder below the prefix, as the build was configured."""
    with open(os.path.join(BUILD, "CMakeCache.txt")) as cache:
        return next((line.split("=", 1)[1].strip() for line in cache if line.startswith("CMAKE_INSTALL_LIBDIR:")),
                    "lib")


def expected_files(prefix):
    share = prefix + "/share"
    files = {prefix + "/bin/chess-diagram", share + "/man/man1/chess-diagram.1.gz",
             prefix + "/bin/chess-diagram-render", share + "/man/man1/chess-diagram-render.1.gz",
             prefix + "/bin/chess-diagram-solve", share + "/man/man1/chess-diagram-solve.1.gz",
             share + "/doc/chess-diagram/copyright", share + "/doc/chess-diagram/changelog.gz",
             f"{share}/applications/{APP_ID}.desktop", f"{share}/metainfo/{APP_ID}.metainfo.xml",
             f"{share}/icons/hicolor/scalable/apps/{APP_ID}.svg"}
    files |= {f"{share}/icons/hicolor/{n}x{n}/apps/{APP_ID}.png" for n in ICON_SIZES}
    files |= {f"{share}/chess-diagram/DATA/{name}" for name in SQUARES}
    files |= {f"{share}/man/ru/man1/{name}.1.gz" for name in PROGRAMS}
    # The solver's diagram reader, loaded only for --read: a private module.
    files.add(f"{prefix}/{install_libdir()}/chess-diagram/modules/chess-diagram-read.so")
    return files


def files_under(root):
    """Every file below root, as an absolute path inside it."""
    found = set()
    for folder, _, names in os.walk(root):
        found |= {os.path.join(folder, name)[len(root):] for name in names}
    return found


def tree_bytes(root):
    content = {}
    for path in files_under(root):
        with open(root + path, "rb") as f:
            content[path] = f.read()
    return content


def desktop_entry(path):
    entry, group = {}, None
    with open(path, encoding="utf-8") as f:
        lines = f.read().splitlines()
    for line in lines:
        line = line.strip()
        if line.startswith("["):
            group = line
        elif group == "[Desktop Entry]" and "=" in line:
            key, _, value = line.partition("=")
            entry[key] = value
    return entry


def run(*command, **options):
    result = subprocess.run(list(command), capture_output=True, text=True, **options)
    if result.returncode != 0:
        raise AssertionError(f"{command} failed: {result.stdout}{result.stderr}")
    return result.stdout


def make_flat_set(data, s):
    """A square set of size s whose images are flat colours, one per file."""
    os.makedirs(data)
    for n in range(1, 33):
        size = {27: f"{9 * s}x{s // 2}", 28: f"{s // 2}x{8 * s}"}.get(n, f"{s}x{s}")
        colour = f"rgb({n * 53 % 200 + 30},{n * 97 % 200 + 30},{n * 31 % 200 + 30})"
        run("convert", "-size", size, "xc:" + colour, "-quality", "95", os.path.join(data, f"{n}.jpg"))


class MenuProgram(Program):
    """The installed program started the way a desktop menu starts it: the
    command of its desktop entry's Exec line, in the given folder."""

    def __init__(self, display, entry, folder, size=60, process=None):
        self.display = display
        self.folder = folder
        self.process = process or subprocess.Popen(shlex.split(entry["Exec"]), cwd=folder, env=display.env,
                                                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        self.window = self.wait_for_window("Chess diagram")
        self.s = size

    def close(self, test):
        self.request_close()
        test.assertEqual(self.wait_exit(timeout=5), 0, "a close request ends the program with status 0")
        self.process.stderr.close()


class InstalledCase(unittest.TestCase):
    def assert_squares_from(self, program, data, shot):
        """The editor shows the given set: the empty top-left square and the
        first palette piece, against the files decoded by ImageMagick."""
        screen = program.client_pixels(shot)
        s = program.s
        x, y = program.palette_point(69)
        for (left, top), number in (((s, s), 25), ((x - s // 2, y - s // 2), 1)):
            shown = screen.region(left, top, s, s)
            self.assertLessEqual(shown.max_difference(Image.load(os.path.join(data, f"{number}.jpg"))), 2,
                                 f"the editor shows {data}/{number}.jpg")

    def assert_users_folder_made(self, home, data):
        folder = os.path.join(home, "chess-diagram")
        self.assertEqual(sorted(os.listdir(folder)), [LOCK, "DATA", "SAVE", "TEMP"], "nothing half made")
        self.assertEqual(folder_bytes(os.path.join(folder, "DATA")), folder_bytes(data),
                         "DATA/ is the installed set, file for file")
        modes = {name: os.stat(os.path.join(folder, name)).st_mode & 0o777 for name in ("DATA", "SAVE", "TEMP")}
        self.assertEqual(len(set(modes.values())), 1, f"every folder follows the umask: {modes}")
        self.assertEqual(os.listdir(os.path.join(folder, "SAVE")), [])
        self.assertEqual(sorted(os.listdir(os.path.join(folder, "TEMP"))), ["1.jpg", "2.jpg", "3.jpg", "4.jpg"])


class MakeInstall(InstalledCase):
    """make install into a temporary root, and the program installed there;
    it finds its default set from its own place, so it runs from that root."""

    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="chess-install-")
        cls.list = cls.root + ".list"
        make_install(cls.root, cls.list)
        cls.prefix = cls.root + "/usr/local"
        cls.set = cls.prefix + "/share/chess-diagram/DATA"
        cls.installed = tree_bytes(cls.root)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)
        if os.path.exists(cls.list):
            os.remove(cls.list)

    def setUp(self):
        self.display = Display()
        self.home = tempfile.mkdtemp(prefix="chess-home-")
        self.display.env["HOME"] = self.home
        self.display.env["PATH"] = self.prefix + "/bin:" + os.environ["PATH"]
        self.entry = desktop_entry(f"{self.prefix}/share/applications/{APP_ID}.desktop")
        self.program = None

    def tearDown(self):
        if self.program:
            self.program.stop()
        self.display.close()
        shutil.rmtree(self.home, ignore_errors=True)
        self.assertTrue(tree_bytes(self.root) == self.installed, "nothing is written into the installed files")

    def start(self, folder, size=60, from_shell=False):
        entry = {"Exec": "chess-diagram"} if from_shell else self.entry
        self.program = MenuProgram(self.display, entry, folder, size)
        return self.program

    def test_installs_the_expected_files_under_the_prefix_only(self):
        self.assertEqual(files_under(self.root), expected_files("/usr/local"))
        for size in ICON_SIZES:
            png = Image.load(f"{self.prefix}/share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png")
            self.assertEqual((png.width, png.height), (size, size))
        self.assertEqual(Image.load(self.set + "/1.jpg").width, 60, "the default set is drawn at s = 60")
        run("desktop-file-validate", f"{self.prefix}/share/applications/{APP_ID}.desktop")
        run("appstreamcli", "validate", f"{self.prefix}/share/metainfo/{APP_ID}.metainfo.xml")
        self.assertEqual(self.entry["Icon"], APP_ID)
        self.assertEqual(self.entry["Terminal"], "false")
        self.assertTrue(self.entry.get("Name[ru]") and self.entry.get("Comment[ru]"))
        for name, folder in itertools.product(PROGRAMS, ("man1", "ru/man1")):
            page = subprocess.run(["man", "--warnings", "-l", f"{self.prefix}/share/man/{folder}/{name}.1.gz"],
                                  capture_output=True, text=True,
                                  env=dict(os.environ, MANWIDTH="80", LC_ALL="C.UTF-8"))
            self.assertEqual(page.stderr, "", f"the manual page {folder}/{name} formats without warnings")
            self.assertIn({"chess-diagram": "~/chess-diagram", "chess-diagram-render": "--read"}.get(name, "--stipulation"),
                          page.stdout)

    def test_the_installed_renderer_draws_with_the_installed_set_then_the_users_own(self):
        # No DATA/ here, none in ~/chess-diagram and none named: the installed set is used.
        fen = "7k/6pp/8/8/8/5N2/8/3Q3K"
        render = [f"{self.prefix}/bin/chess-diagram-render"]
        env = dict(os.environ, HOME=self.home)
        subprocess.run(render + ["--fen", fen, "--cross", "f7", "-o", "mate.jpg"], cwd=self.home, env=env, check=True)
        self.assertEqual(Image.load(self.home + "/mate.jpg").width, 9 * 60)
        read = subprocess.run(render + ["--read", "mate.jpg"], cwd=self.home, env=env, capture_output=True, text=True)
        self.assertEqual(read.stdout, fen + "\ncross: f7\n", read.stderr)
        # The installed solver finds its reader module from its own place.
        solve = subprocess.run([f"{self.prefix}/bin/chess-diagram-solve", "--read", "mate.jpg", "--stipulation", "#1"],
                               cwd=self.home, env=env, capture_output=True, text=True)
        self.assertEqual(solve.stdout, "1.Фd8#!\nкорректна: одно решение\n", solve.stderr)

        # Once the editor made ~/chess-diagram, the renderer draws with the
        # pieces the user put there, as the editor does.
        self.start(self.home).close(self)
        own = os.path.join(self.home, "chess-diagram", "DATA")
        run("convert", "-size", "60x60", "xc:rgb(40,120,200)", "-quality", "95", os.path.join(own, "25.jpg"))
        subprocess.run(render + ["--fen", fen, "-o", "own.jpg"], cwd=self.home, env=env, check=True)
        a8 = Image.load(self.home + "/own.jpg").pixel(60, 60)
        self.assertLessEqual(max(abs(a - b) for a, b in zip(a8, (40, 120, 200))), 12, "a8 shows the user's square")
        read = subprocess.run(render + ["--read", "own.jpg"], cwd=self.home, env=env, capture_output=True, text=True)
        self.assertEqual(read.stdout, fen + "\n", read.stderr)

    def test_the_first_start_outside_a_working_folder_makes_the_users_folder(self):
        program = self.start(self.home)
        self.assert_squares_from(program, self.set, "installed-first-start")
        program.close(self)
        self.assert_users_folder_made(self.home, self.set)

        # The user's own square is used as it is, never replaced by the default.
        own = os.path.join(self.home, "chess-diagram", "DATA")
        run("convert", "-size", "60x60", "xc:rgb(40,120,200)", "-quality", "95", os.path.join(own, "25.jpg"))
        before = folder_bytes(own)
        program = self.start(self.home)
        self.assert_squares_from(program, own, "installed-own-square")
        program.close(self)
        self.assertEqual(folder_bytes(own), before)

        # Without DATA/, the folder gets the default set back.
        shutil.rmtree(own)
        program = self.start(self.home)
        program.close(self)
        self.assertEqual(folder_bytes(own), folder_bytes(self.set))

    def test_a_menu_start_leaves_a_data_folder_of_the_users_own_alone(self):
        own = os.path.join(self.home, "DATA")
        os.mkdir(own)
        with open(os.path.join(own, "1.jpg"), "w") as photo:
            photo.write("a holiday photo, not a square")
        with open(os.path.join(own, "notes.txt"), "w") as notes:
            notes.write("mine")
        before = folder_bytes(own)
        program = self.start(self.home)
        self.assert_squares_from(program, self.set, "installed-menu-beside-own-data")
        program.close(self)
        self.assertEqual(folder_bytes(own), before)
        self.assertEqual(sorted(os.listdir(self.home)), ["DATA", "chess-diagram"], "no SAVE/ or TEMP/ in the home")
        self.assert_users_folder_made(self.home, self.set)

    def test_two_first_starts_at_once_end_with_one_whole_set(self):
        command = shlex.split(self.entry["Exec"])
        starts = [subprocess.Popen(command, cwd=self.home, env=self.display.env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.PIPE, encoding="utf-8") for _ in range(2)]
        try:
            save_dialog.find_window(self.display, save_dialog.ERROR_TITLE)
            self.display.run(os.path.join(BUILD, "tools", "send-close"), save_dialog.ERROR_TITLE)
            refused = wait_until(lambda: [p for p in starts if p.poll() is not None])
            self.assertEqual([p.returncode for p in refused], [1], "one of them refuses")
            self.assertIn("уже работает с папкой " + self.home + "/chess-diagram", refused[0].stderr.read())
            running = next(p for p in starts if p is not refused[0])
            MenuProgram(self.display, self.entry, self.home, process=running).close(self)
        finally:
            for process in starts:
                if process.poll() is None:
                    process.kill()
                process.wait()
                process.stderr.close()
        self.assert_users_folder_made(self.home, self.set)

    def test_started_from_a_shell_in_a_folder_with_its_own_data_it_uses_that_folder(self):
        folder = os.path.join(self.home, "problems")
        make_flat_set(os.path.join(folder, "DATA"), 40)
        program = self.start(folder, size=40, from_shell=True)
        self.assert_squares_from(program, os.path.join(folder, "DATA"), "installed-own-folder")
        program.close(self)
        self.assertTrue(os.path.isfile(os.path.join(folder, "TEMP", "4.jpg")))
        self.assertFalse(os.path.exists(os.path.join(self.home, "chess-diagram")))

    def test_a_users_folder_that_cannot_be_made_is_reported(self):
        blocker = os.path.join(self.home, "not-a-folder")
        open(blocker, "w").close()
        self.display.env["HOME"] = blocker
        status, error, shown = run_to_refusal(self.display, shlex.split(self.entry["Exec"]), self.home,
                                              "installed-no-users-folder")
        self.assertEqual(status, 1)
        self.assertEqual(error.strip(), "chess-diagram: " + (shown or ""))
        self.assertIn(blocker + "/chess-diagram", error)

    def test_a_first_start_that_cannot_copy_the_whole_set_leaves_no_half_set(self):
        missing = self.set + "/7.jpg"
        os.rename(missing, missing + ".away")
        try:
            status, error, _ = run_to_refusal(self.display, shlex.split(self.entry["Exec"]), self.home,
                                              "installed-half-set")
        finally:
            os.rename(missing + ".away", missing)
        self.assertEqual(status, 1)
        self.assertRegex(error, re.escape(missing) + " в .*/DATA/: .", "the reason follows the file")
        self.assertEqual(os.listdir(os.path.join(self.home, "chess-diagram")), [LOCK],
                         "no DATA/ and no partial copy are left behind, only the lock")
        program = self.start(self.home)
        program.close(self)
        self.assert_users_folder_made(self.home, self.set)


def make_install(root, installed):
    run("make", "-C", SOURCE, "install", "BUILD=" + os.path.abspath(BUILD), "DESTDIR=" + root,
        "INSTALLED=" + installed)


class MakeUninstall(unittest.TestCase):
    def test_uninstall_removes_every_installed_file_and_our_folders(self):
        root = tempfile.mkdtemp(prefix="chess-uninstall-")
        try:
            make_install(root, root + ".list")
            self.assertEqual(len(files_under(root)), len(expected_files("/usr/local")))
            run("make", "-C", SOURCE, "uninstall", "DESTDIR=" + root, "INSTALLED=" + root + ".list")
            self.assertEqual(files_under(root), set())
            self.assertFalse(os.path.exists(root + "/usr/local/share/chess-diagram"))
            self.assertFalse(os.path.exists(root + "/usr/local/share/doc/chess-diagram"))
        finally:
            shutil.rmtree(root, ignore_errors=True)
            if os.path.exists(root + ".list"):
                os.remove(root + ".list")


def package_installed():
    result = subprocess.run(["dpkg-query", "-W", "-f", "${Status}", "chess-diagram"], capture_output=True,
                            text=True)
    return "install ok installed" in result.stdout or "config-files" in result.stdout


@unittest.skipUnless(os.geteuid() == 0, "the package test installs with apt, so it runs as root only (as CI does)")
class DebianPackage(InstalledCase):
    def setUp(self):
        if package_installed():
            self.skipTest("chess-diagram is installed on this machine already; the test would not leave it so")
        self.work = tempfile.mkdtemp(prefix="chess-deb-")
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)

    def purge(self):
        if package_installed():
            run(*APT, "purge", "chess-diagram", env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))

    def build_package(self):
        run("cpack", "--config", os.path.join(BUILD, "CPackConfig.cmake"), "-B", self.work)
        with open(os.path.join(BUILD, "CMakeCache.txt")) as cache:
            version = next(line.split("=", 1)[1] for line in cache if line.startswith("CMAKE_PROJECT_VERSION:"))
        architecture = run("dpkg", "--print-architecture").strip()
        deb = os.path.join(self.work, f"chess-diagram_{version.strip()}_{architecture}.deb")
        self.assertTrue(os.path.isfile(deb), f"{deb} is made")
        lint = subprocess.run(["lintian", deb], capture_output=True, text=True)
        print(lint.stdout, end="")
        self.assertEqual([line for line in lint.stdout.splitlines() if line.startswith("E:")], [])
        depends = run("dpkg-deb", "-f", deb, "Depends")
        for package in ("libgtk2.0-0", "libjpeg62-turbo", "fonts-dejavu-core"):
            self.assertIn(package, depends)
        self.assertIn("<", run("dpkg-deb", "-f", deb, "Maintainer"))
        return deb

    def test_the_package_installs_starts_from_its_menu_entry_and_purges_clean(self):
        deb = self.build_package()
        self.addCleanup(self.purge)
        run(*APT, "install", deb, env=dict(os.environ, DEBIAN_FRONTEND="noninteractive"))
        installed = [path for path in run("dpkg", "-L", "chess-diagram").splitlines() if os.path.isfile(path)]
        self.assertEqual(set(installed), expected_files("/usr"))
        entry_path = f"/usr/share/applications/{APP_ID}.desktop"
        run("desktop-file-validate", entry_path)

        display = Display()
        home = tempfile.mkdtemp(prefix="chess-home-")
        self.addCleanup(shutil.rmtree, home, ignore_errors=True)
        display.env["HOME"] = home
        program = MenuProgram(display, desktop_entry(entry_path), home)
        try:
            self.assert_squares_from(program, "/usr/share/chess-diagram/DATA", "package-from-menu")
            program.close(self)
        finally:
            program.stop()
            display.close()
        self.assert_users_folder_made(home, "/usr/share/chess-diagram/DATA")
        self.assertEqual(run("dpkg", "--verify", "chess-diagram"), "", "the installed files are as packaged")

        self.purge()
        self.assertFalse(package_installed())
        self.assertEqual([path for path in installed if os.path.lexists(path)], [], "purge removes every file")
        self.assertTrue(os.path.isdir(os.path.join(home, "chess-diagram", "DATA")), "the user's folder stays")


if __name__ == "__main__":
    unittest.main()
