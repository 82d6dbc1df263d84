"""A private CUPS scheduler for the end-to-end suites.

The scheduler gets its own configuration, spool, cache, state, logs and a
Unix socket in the test's temporary directory: no TCP listener, no browsing,
nothing under /etc/cups or /var, so the machine's own scheduler is never
touched. CUPS_SERVER points the programs (and lpadmin, lpstat, ...) at it.

The queues' backends are owner-only scripts of our own: the test machine
need not have the real serial/parallel backends (the scheduler refuses a
device URI whose scheme has no backend, though it never opens the device
when a queue is added). A job swallows its data and keeps the queue
"printing" for `hold_seconds`, so a test can make a queue busy for a bounded
time; cancel_jobs ends it.

Runs as root (the scheduler then drops to the "lp" account) and as a normal
user. Tests that use it skip only where /usr/sbin/cupsd is absent.

  cupsd            function fixture: the suite's scheduler, CUPS_SERVER set
                   for this test, the queues it added deleted afterwards
"""

import grp
import os
import pathlib
import pwd
import shutil
import signal
import subprocess
import tempfile
import time

import pytest

CUPSD = "/usr/sbin/cupsd"
START_TIMEOUT_S = 15.0
STOP_TIMEOUT_S = 10.0
TOOL_TIMEOUT_S = 10.0
# The kernel's limit for a Unix socket path, less a margin.
MAX_SOCKET_PATH = 100

BACKEND = """#!/bin/sh
# Device discovery: nothing to report.
[ $# -eq 0 ] && exit 0
if [ $# -ge 6 ]; then cat "$6" >/dev/null; else cat >/dev/null; fi
exec sleep {hold}
"""


def _accounts():
    if os.geteuid() == 0:
        def has_user(name):
            try:
                pwd.getpwnam(name)
                return True
            except KeyError:
                return False

        def has_group(name):
            try:
                grp.getgrnam(name)
                return True
            except KeyError:
                return False
        user = "lp" if has_user("lp") else "nobody"
        group = "lp" if has_group("lp") else ("nogroup" if has_group("nogroup") else "nobody")
        return user, group, "root"
    user = pwd.getpwuid(os.geteuid()).pw_name
    group = grp.getgrgid(os.getegid()).gr_name
    return user, group, group


class PrivateCupsd:
    def __init__(self, root: pathlib.Path, hold_seconds: int = 30):
        self.root = root
        self.hold_seconds = hold_seconds
        self.process = None
        self._socket_dir = None
        socket = root / "cups.sock"
        if len(str(socket)) > MAX_SOCKET_PATH:
            # A deep pytest directory: the socket alone goes to a short one.
            self._socket_dir = tempfile.mkdtemp(prefix="qx-cups-", dir="/tmp")
            socket = pathlib.Path(self._socket_dir) / "cups.sock"
        self.socket = str(socket)
        self.env = {"CUPS_SERVER": self.socket}

    # --- life cycle -------------------------------------------------------

    def _write_files(self):
        root = self.root
        for sub in ("conf", "spool", "spool/tmp", "cache", "state", "log", "bin/backend"):
            (root / sub).mkdir(parents=True, exist_ok=True)
        root.chmod(0o755)  # the scheduler's own account reaches its spool through here
        for sub in ("daemon", "filter", "notifier", "cgi-bin", "driver", "monitor"):
            installed = pathlib.Path("/usr/lib/cups") / sub
            if installed.exists():
                (root / "bin" / sub).symlink_to(installed)
        for scheme in ("serial", "parallel", "usb", "socket"):
            backend = root / "bin/backend" / scheme
            backend.write_text(BACKEND.format(hold=int(self.hold_seconds)))
            backend.chmod(0o700)  # owner-only: run as its owner
        user, group, system_group = _accounts()
        (root / "cupsd.conf").write_text(
            f"Listen {self.socket}\n"
            "Browsing No\nWebInterface No\nLogLevel info\nDefaultAuthType None\nMaxJobs 100\n"
            "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n")
        (root / "cups-files.conf").write_text(
            f"ServerRoot {root / 'conf'}\nRequestRoot {root / 'spool'}\nTempDir {root / 'spool/tmp'}\n"
            f"CacheDir {root / 'cache'}\nStateDir {root / 'state'}\nServerBin {root / 'bin'}\n"
            f"AccessLog {root / 'log/access_log'}\nErrorLog {root / 'log/error_log'}\n"
            f"PageLog {root / 'log/page_log'}\nPrintcap {root / 'state/printcap'}\n"
            f"User {user}\nGroup {group}\nSystemGroup {system_group}\nSandboxing relaxed\n")

    def start(self):
        self._write_files()
        out = open(self.root / "log/daemon.out", "wb")
        self.process = subprocess.Popen(
            [CUPSD, "-f", "-c", str(self.root / "cupsd.conf"), "-s", str(self.root / "cups-files.conf")],
            stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT)
        out.close()
        deadline = time.monotonic() + START_TIMEOUT_S
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                raise RuntimeError(f"cupsd ended at start: {self.log_tail()}")
            if os.path.exists(self.socket):
                done = self.tool("lpstat", "-r", check=False)
                if done.returncode == 0 and "is running" in done.stdout:
                    return self
            time.sleep(0.05)
        self.stop()
        raise RuntimeError(f"cupsd did not answer within {START_TIMEOUT_S} s: {self.log_tail()}")

    def stop(self):
        if self.process is not None and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(timeout=STOP_TIMEOUT_S)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait(timeout=STOP_TIMEOUT_S)
        self.process = None
        if self._socket_dir is not None:
            shutil.rmtree(self._socket_dir, ignore_errors=True)
            self._socket_dir = None

    def log_tail(self, size=2000) -> str:
        text = ""
        for name in ("log/daemon.out", "log/error_log"):
            path = self.root / name
            if path.exists():
                text += path.read_text(errors="replace")[-size:]
        return text

    # --- the client tools, pointed at this scheduler ----------------------

    def tool(self, *argv, check=True) -> subprocess.CompletedProcess:
        env = dict(os.environ)
        env.update(self.env)
        try:
            done = subprocess.run([str(a) for a in argv], capture_output=True, text=True,
                                  timeout=TOOL_TIMEOUT_S, env=env)
        except subprocess.TimeoutExpired:
            pytest.fail(f"{' '.join(map(str, argv))} ran longer than {TOOL_TIMEOUT_S} s")
        if check and done.returncode != 0:
            pytest.fail(f"{' '.join(map(str, argv))} failed ({done.returncode}): {done.stderr}")
        return done

    def add_queue(self, name: str, device_uri: str):
        self.tool("lpadmin", "-p", name, "-v", device_uri, "-E")

    def delete_queue(self, name: str):
        self.tool("lpadmin", "-x", name, check=False)

    def pause(self, name: str, message: str):
        self.tool("cupsdisable", "-r", message, name)

    def resume(self, name: str):
        self.tool("cupsenable", name)

    def submit_job(self, name: str):
        document = self.root / "job.txt"
        document.write_text("test page\n")
        self.tool("lp", "-d", name, "-o", "raw", str(document))

    def cancel_jobs(self, name: str):
        self.tool("cancel", "-a", name)

    def device_uri(self, name: str) -> str:
        out = self.tool("lpstat", "-v", name).stdout
        # "device for Q: serial:/dev/pts/3"
        return out.split(": ", 1)[1].strip() if ": " in out else ""

    def queue_state(self, name: str):
        """("idle" | "printing" | "stopped", state message)."""
        lines = self.tool("lpstat", "-p", name).stdout.splitlines()
        first = lines[0] if lines else ""
        message = lines[1].strip() if len(lines) > 1 else ""
        if " disabled " in first:
            return "stopped", message
        if " now printing " in first:
            return "printing", message
        return "idle", message

    def wait_for_state(self, name: str, state: str, timeout=10.0) -> bool:
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if self.queue_state(name)[0] == state:
                return True
            time.sleep(0.05)
        return False


@pytest.fixture(scope="module")
def private_cupsd_server(tmp_path_factory):
    """One scheduler for a whole suite file (start-up costs a little)."""
    if not os.access(CUPSD, os.X_OK):
        pytest.skip(f"{CUPSD} is not installed")
    server = PrivateCupsd(tmp_path_factory.mktemp("cupsd"))
    server.start()
    yield server
    server.stop()


class _TestCupsd:
    """The suite's scheduler as one test sees it: the queues the test adds
    are deleted when it ends."""

    def __init__(self, server: PrivateCupsd):
        self._server = server
        self.added = []

    def __getattr__(self, name):
        return getattr(self._server, name)

    def add_queue(self, name: str, device_uri: str):
        self._server.add_queue(name, device_uri)
        self.added.append(name)


@pytest.fixture
def cupsd(private_cupsd_server, monkeypatch):
    monkeypatch.setenv("CUPS_SERVER", private_cupsd_server.socket)
    view = _TestCupsd(private_cupsd_server)
    yield view
    for name in view.added:
        private_cupsd_server.tool("cancel", "-a", name, check=False)
        private_cupsd_server.delete_queue(name)
