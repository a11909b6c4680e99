"""A CUPS print server of a test's own: cupsd with its configuration, spool,
cache, state and logs in a fresh folder, listening only on a socket there,
and a "capture" backend that writes each job's document into that folder
for the test to read back. Programs reach it through CUPS_SERVER (see env).

cupsd needs root to run its backends as the lp user: without root or
cupsd the constructor raises RuntimeError (a test may skip); a server that
does not start raises AssertionError."""

import glob
import os
import shutil
import signal
import subprocess
import tempfile
import time

SYSTEM_SERVER_BIN = "/usr/lib/cups"

CAPTURE_BACKEND = """#!/bin/sh
# With no arguments CUPS asks which devices this backend offers. Otherwise
# the job's document (the file named, or standard input) goes whole into the
# folder of the device URI as <job id>.job, its options beside it.
[ $# -eq 0 ] && { echo 'file capture "Unknown" "Job capture"'; exit 0; }
folder=${DEVICE_URI#capture:}
if [ -n "$6" ]; then cat "$6" > "$folder/.$1"; else cat > "$folder/.$1"; fi
printf '%s\\n' "$5" > "$folder/$1.options"
mv "$folder/.$1" "$folder/$1.job"
"""


class PrintServer:
    """A running private cupsd; stop() ends it and removes its folder."""

    def __init__(self, timeout=10):
        if os.geteuid() != 0 or not shutil.which("cupsd"):
            raise RuntimeError("a private cupsd needs root and cups-daemon")
        self.folder = tempfile.mkdtemp(prefix="chess-cups-")
        # Backends and filters run as lp: they must reach their folders.
        os.chmod(self.folder, 0o755)
        self.jobs = self._folder("jobs", 0o777)
        self.socket = os.path.join(self.folder, "cups.sock")
        # CUPS's own tools report in English, whatever the test's locale.
        self.env = dict(os.environ, CUPS_SERVER=self.socket, LC_ALL="C")
        self.process = None
        try:
            self._configure()
            log = open(os.path.join(self.folder, "logs", "cupsd.out"), "wb")
            # A session of its own, so stop() ends the filters and backends too.
            self.process = subprocess.Popen(
                ["cupsd", "-f", "-c", self._path("conf", "cupsd.conf"), "-s", self._path("conf", "cups-files.conf")],
                stdout=log, stderr=log, start_new_session=True)
            log.close()
            deadline = time.time() + timeout
            while not self._answers():
                if self.process.poll() is not None or time.time() > deadline:
                    raise AssertionError("cupsd did not start: " + self.log())
                time.sleep(0.1)
        except BaseException:
            self.stop()
            raise

    def _path(self, *parts):
        return os.path.join(self.folder, *parts)

    def _folder(self, name, mode=0o755):
        path = self._path(name)
        os.makedirs(path, exist_ok=True)
        os.chmod(path, mode)
        return path

    def _configure(self):
        for name in ("conf", "conf/ppd", "spool", "spool/tmp", "cache", "state", "logs", "bin", "bin/backend"):
            self._folder(name)
        # The system's filters and helpers, but backends of our own only.
        for name in os.listdir(SYSTEM_SERVER_BIN):
            if name != "backend":
                os.symlink(os.path.join(SYSTEM_SERVER_BIN, name), self._path("bin", name))
        backend = self._path("bin", "backend", "capture")
        with open(backend, "w") as out:
            out.write(CAPTURE_BACKEND)
        os.chmod(backend, 0o755)
        with open(self._path("conf", "cupsd.conf"), "w") as out:
            out.write(f"""Listen {self.socket}
LogLevel debug
Browsing Off
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
""")
        with open(self._path("conf", "cups-files.conf"), "w") as out:
            out.write(f"""ServerRoot {self._path("conf")}
ServerBin {self._path("bin")}
RequestRoot {self._path("spool")}
TempDir {self._path("spool", "tmp")}
CacheDir {self._path("cache")}
StateDir {self._path("state")}
AccessLog {self._path("logs", "access_log")}
ErrorLog {self._path("logs", "error_log")}
PageLog {self._path("logs", "page_log")}
User lp
Group lp
SystemGroup root
""")

    def _answers(self):
        return os.path.exists(self.socket) and subprocess.run(
            ["lpstat", "-r"], env=self.env, capture_output=True, text=True).stdout.startswith("scheduler is running")

    def run(self, *command):
        """Runs a CUPS command (lpadmin, cupsreject, ...) against this server."""
        result = subprocess.run(list(command), env=self.env, capture_output=True, text=True)
        if result.returncode != 0:
            raise AssertionError(f"{command} failed: {result.stderr.strip()}")
        return result.stdout

    def add_queue(self, name, ppd=None, *options):
        """An accepting queue on the capture backend: raw (documents pass
        untouched) or driven by the PPD file ppd through the system's filters.
        options are lpadmin's -o values, as "PageSize=A5"."""
        command = ["lpadmin", "-p", name, "-v", "capture:" + self.jobs, "-E"]
        command += ["-P", ppd] if ppd else ["-m", "raw"]
        for option in options:
            command += ["-o", option]
        self.run(*command)

    def refuse_jobs(self, name):
        """Makes the queue refuse every further job while it still reports
        itself accepting, as a queue does whose user has printed the most
        the server allows: a one-kilobyte quota, spent by a job held in the
        queue. (GTK+'s dialog will not print to a queue that says it rejects
        jobs, as after cupsreject, so a refusal meets the program only when
        it sends the job.)"""
        self.run("lpadmin", "-p", name, "-o", "job-quota-period=86400", "-o", "job-k-limit=1")
        held = subprocess.run(["lp", "-d", name, "-H", "hold", "-t", "quota"], input=b"x" * 1024, env=self.env,
                              capture_output=True)
        if held.returncode != 0:
            raise AssertionError("could not hold a job: " + held.stderr.decode(errors="replace"))

    def wait_for_job(self, count=1, timeout=30):
        """Waits until count jobs in all have been captured and returns the
        path of the newest document; raises AssertionError after timeout seconds."""
        deadline = time.time() + timeout
        while time.time() < deadline:
            jobs = sorted(glob.glob(os.path.join(self.jobs, "*.job")), key=lambda p: int(os.path.basename(p)[:-4]))
            if len(jobs) >= count:
                return jobs[-1]
            time.sleep(0.1)
        raise AssertionError(f"no job {count} within {timeout} s: {self.log()}")

    def captured(self):
        """Names of the documents captured so far."""
        return sorted(name for name in os.listdir(self.jobs) if name.endswith(".job"))

    def log(self):
        """The tail of the server's error log, for failure messages."""
        try:
            with open(self._path("logs", "error_log"), errors="replace") as log:
                return "".join(log.readlines()[-30:])
        except OSError:
            return ""

    def stop(self):
        """Ends cupsd and everything it started, and removes its folder."""
        if self.process:
            try:
                if self.process.poll() is None:
                    os.killpg(self.process.pid, signal.SIGTERM)
                    self.process.wait(timeout=5)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                pass
            # Whatever is left in its session: cupsd itself if it would not
            # stop, filters and backends if it went first.
            try:
                os.killpg(self.process.pid, signal.SIGKILL)
            except ProcessLookupError:
                pass
            self.process.wait()
        shutil.rmtree(self.folder, ignore_errors=True)
