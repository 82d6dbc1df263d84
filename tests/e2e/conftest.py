"""Fixtures for the end-to-end suites: the real command lines against
printer-sim over real links (a pseudo-terminal for the serial path, loopback
TCP, and a USB printer node in a fake device tree).

The binaries come from the environment (ctest sets them):
  CORVANE_CLI   corvane-cli
  PRINTER_SIM   printer-sim

Every test gets its own registry store file and no device-root override, so
nothing a test does reaches the user's settings or another test.
"""

import dataclasses
import fcntl
import os
import pathlib
import selectors
import signal
import subprocess
import time
import typing
import zlib

import pytest

# Exit codes shared by every command line of the suite.
EXIT_OK = 0
EXIT_FAILED = 1
EXIT_USAGE = 2

# Bounds: nothing in this suite may wait forever.
SIM_READY_TIMEOUT_S = 10.0
SIM_STOP_TIMEOUT_S = 10.0
CLI_TIMEOUT_S = 60.0
REPORT_TIMEOUT_S = 10.0


def binary(variable: str) -> str:
    path = os.environ.get(variable)
    if not path:
        pytest.fail(f"{variable} is not set: run the suite through ctest, or set it to the built program")
    if not os.access(path, os.X_OK):
        pytest.fail(f"{variable}={path} is not an executable")
    return path


# --- the command line ------------------------------------------------------


class CliResult(typing.NamedTuple):
    rc: int
    out: typing.Union[str, bytes]
    err: typing.Union[str, bytes]

    def last_err_line(self) -> str:
        lines = self.err.rstrip("\n").split("\n")
        return lines[-1]

    def describe(self) -> str:
        return f"exit {self.rc}\n--- stdout\n{self.out}\n--- stderr\n{self.err}"


class Cli:
    """Runs one program with a bound on its run time."""

    def __init__(self, path: str):
        self.path = path

    def _env(self, via, env):
        merged = dict(os.environ)
        if via is not None:
            merged.update(via.env)
        if env:
            merged.update(env)
        return merged

    def __call__(self, *args, via=None, env=None, timeout=CLI_TIMEOUT_S, text=True, stdin=None) -> CliResult:
        """Runs the program; `via` (a Connection) puts its port options
        first and adds its environment. Fails the test if the run exceeds
        `timeout` seconds (the program is killed)."""
        argv = [self.path] + (list(via.args) if via is not None else []) + [str(a) for a in args]
        try:
            done = subprocess.run(argv, input=stdin, capture_output=True, timeout=timeout,
                                  env=self._env(via, env))
        except subprocess.TimeoutExpired as e:
            pytest.fail(f"{' '.join(argv)} ran longer than {timeout} s; stderr so far: {e.stderr!r}")
        if text:
            return CliResult(done.returncode, done.stdout.decode("utf-8", "surrogateescape"),
                             done.stderr.decode("utf-8", "surrogateescape"))
        return CliResult(done.returncode, done.stdout, done.stderr)

    def spawn(self, *args, via=None, env=None) -> subprocess.Popen:
        """Starts the program without waiting (for tests that signal it);
        the caller bounds the wait with communicate(timeout=...)."""
        argv = [self.path] + (list(via.args) if via is not None else []) + [str(a) for a in args]
        return subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=self._env(via, env))


@pytest.fixture
def corvane_cli() -> Cli:
    return Cli(binary("CORVANE_CLI"))


def expect_error(result: CliResult, rc: int, last_line: str):
    """The program failed with `rc` and its stderr ends with `last_line`."""
    assert result.rc == rc, result.describe()
    assert result.last_err_line() == last_line, result.describe()


# --- the simulator ---------------------------------------------------------


@dataclasses.dataclass
class Report:
    bytes: int
    crc32: int
    commands: int


class Sim:
    """One running printer-sim. `endpoint` is its announce line (the pty
    slave path, or the TCP port number)."""

    def __init__(self, path: str, args, workdir: pathlib.Path, capture: bool):
        self.workdir = workdir
        self.capture = workdir / "capture" if capture else None
        self.report = workdir / "report" if capture else None
        argv = [path] + [str(a) for a in args]
        if capture:
            argv += ["--capture", str(self.capture), "--report", str(self.report)]
        self.argv = argv
        self.stderr_path = workdir / "sim.err"
        self._stderr = open(self.stderr_path, "wb")
        self.proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                     stderr=self._stderr)
        self.endpoint = self._wait_ready()

    def stderr(self) -> str:
        return self.stderr_path.read_text(errors="replace")

    def _wait_ready(self) -> str:
        deadline = time.monotonic() + SIM_READY_TIMEOUT_S
        line = b""
        with selectors.DefaultSelector() as sel:
            sel.register(self.proc.stdout, selectors.EVENT_READ)
            while not line.endswith(b"\n"):
                left = deadline - time.monotonic()
                if left <= 0:
                    self.stop(check=False)
                    pytest.fail(f"printer-sim did not get ready within {SIM_READY_TIMEOUT_S} s: {self.stderr()}")
                if not sel.select(timeout=left):
                    continue
                chunk = os.read(self.proc.stdout.fileno(), 256)
                if not chunk:
                    self.stop(check=False)
                    pytest.fail(f"printer-sim exited before it was ready: {self.stderr()}")
                line += chunk
        return line.split(b"\n", 1)[0].decode()

    @property
    def port(self) -> int:
        return int(self.endpoint)

    def running(self) -> bool:
        return self.proc.poll() is None

    def stop(self, check=True):
        """Stops the simulator with SIGTERM and reaps it. With `check`, a
        simulator that did not end cleanly (a crash, a sanitizer report)
        fails the test."""
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGTERM)
            try:
                self.proc.wait(timeout=SIM_STOP_TIMEOUT_S)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
                if check:
                    pytest.fail("printer-sim ignored SIGTERM")
        self.proc.stdout.close()
        self._stderr.close()
        if check and self.proc.returncode != 0:
            pytest.fail(f"printer-sim ended with {self.proc.returncode}: {self.stderr()}")

    def read_report(self) -> typing.Optional[Report]:
        try:
            text = self.report.read_text()
        except FileNotFoundError:
            return None
        fields = dict(line.split(" ", 1) for line in text.splitlines() if " " in line)
        try:
            return Report(int(fields["bytes"]), int(fields["crc32"], 16), int(fields["commands"]))
        except (KeyError, ValueError):
            return None

    def wait_report(self, byte_count: int, timeout=REPORT_TIMEOUT_S) -> Report:
        """Waits (bounded) until the simulator has received `byte_count`
        bytes; fails with the last report otherwise."""
        assert self.report is not None, "start the simulator with capture=True"
        deadline = time.monotonic() + timeout
        while True:
            report = self.read_report()
            if report is not None and report.bytes == byte_count:
                return report
            if time.monotonic() >= deadline:
                pytest.fail(f"simulator report {report}, want bytes {byte_count}")
            time.sleep(0.05)

    def received(self) -> bytes:
        assert self.capture is not None, "start the simulator with capture=True"
        return self.capture.read_bytes()

    def assert_received(self, expected: bytes):
        """The printer received exactly `expected`: the report counts its
        bytes and its CRC-32, and the capture holds the same bytes."""
        report = self.wait_report(len(expected))
        want_crc = zlib.crc32(expected)
        if report.crc32 != want_crc:
            pytest.fail(f"simulator's crc32 {report.crc32:08x}, want {want_crc:08x}")
        got = self.received()
        if got != expected:
            first = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b),
                         min(len(got), len(expected)))
            pytest.fail(f"capture differs from what was sent at byte {first} "
                        f"(capture {len(got)} bytes, want {len(expected)})")


@pytest.fixture
def printer_sim(tmp_path):
    """Factory: printer_sim(*args, capture=False) starts printer-sim with
    `args`, waits for its announce line, and stops and reaps it (checking
    that it ended cleanly) after the test."""
    path = binary("PRINTER_SIM")
    sims = []

    def start(*args, capture=False) -> Sim:
        workdir = tmp_path / f"sim{len(sims)}"
        workdir.mkdir()
        sim = Sim(path, args, workdir, capture)
        sims.append(sim)
        return sim

    yield start
    for sim in sims:
        if not sim.proc.stdout.closed:
            sim.stop()


# --- transports ------------------------------------------------------------


@dataclasses.dataclass
class Connection:
    """A simulated printer and how a command line reaches it."""
    sim: Sim
    args: list                  # port options for the command line
    env: dict = dataclasses.field(default_factory=dict)


@pytest.fixture
def pty_printer(printer_sim):
    """Factory: a printer on a pseudo-terminal (the serial path)."""
    def connect(*sim_args, capture=False) -> Connection:
        sim = printer_sim("--pty", *sim_args, capture=capture)
        return Connection(sim, ["--port", sim.endpoint])
    return connect


@pytest.fixture
def tcp_printer(printer_sim):
    """Factory: a printer on a free TCP port of 127.0.0.1."""
    def connect(*sim_args, capture=False) -> Connection:
        sim = printer_sim("--tcp", "0", *sim_args, capture=capture)
        return Connection(sim, ["--port", "NET127.0.0.1", "--tcp-port", sim.endpoint])
    return connect


def make_usb_tree(root: pathlib.Path, vendor="0dd4", product="0205", minor=0) -> pathlib.Path:
    """A fake device tree with one USB printer-class interface bound to
    lp<minor>: sys/class/usbmisc/lpN/device points at the interface, whose
    parent USB device carries idVendor and idProduct. Returns the node path
    (dev/usb/lpN) for the caller to create."""
    device = root / "sys/devices/usb1/1-1"
    interface = device / "1-1:1.0"
    interface.mkdir(parents=True)
    (device / "idVendor").write_text(vendor + "\n")
    (device / "idProduct").write_text(product + "\n")
    cls = root / f"sys/class/usbmisc/lp{minor}"
    cls.mkdir(parents=True)
    (cls / "device").symlink_to(interface)
    (root / "dev/usb").mkdir(parents=True)
    return root / f"dev/usb/lp{minor}"


@pytest.fixture
def usb_printer(printer_sim, tmp_path):
    """Factory: a USB printer node in a fake device tree (QUELLIX_DEVICE_ROOT)
    whose dev/usb/lp0 is a symlink to the simulator's pseudo-terminal."""
    def connect(*sim_args, capture=False) -> Connection:
        root = tmp_path / "root"
        node = make_usb_tree(root)
        sim = printer_sim("--pty", *sim_args, "--link", node, capture=capture)
        return Connection(sim, ["--port", str(node)], {"QUELLIX_DEVICE_ROOT": str(root)})
    return connect


@pytest.fixture
def transports(pty_printer, tcp_printer, usb_printer):
    """The transport factories by name, for tests parametrized over links."""
    return {"pty": pty_printer, "tcp": tcp_printer, "usb": usb_printer}


# --- isolation and files ---------------------------------------------------


@pytest.fixture(autouse=True)
def isolated_environment(tmp_path, monkeypatch):
    """Each test has its own (absent) registry store and config directory,
    and sees the machine's real device roots."""
    registry = tmp_path / "registry.reg"
    monkeypatch.setenv("QUELLIX_REGISTRY", str(registry))
    monkeypatch.setenv("XDG_CONFIG_HOME", str(tmp_path / "config"))
    monkeypatch.delenv("QUELLIX_DEVICE_ROOT", raising=False)
    return registry


@pytest.fixture
def registry(isolated_environment) -> pathlib.Path:
    """This test's registry store file (not created yet)."""
    return isolated_environment


def reg_text(key: str, values: dict) -> str:
    """A registry store file in the .reg export format with one key;
    ints become dwords, strs quoted strings."""
    lines = ["Windows Registry Editor Version 5.00", "", f"[{key}]"]
    for name, value in values.items():
        if isinstance(value, int):
            lines.append(f'"{name}"=dword:{value:08x}')
        else:
            escaped = value.replace("\\", "\\\\").replace('"', '\\"')
            lines.append(f'"{name}"="{escaped}"')
    return "\n".join(lines) + "\n"


def write_file(path: pathlib.Path, data: bytes, mode=0o644) -> pathlib.Path:
    path.write_bytes(data)
    path.chmod(mode)
    return path


def hold_lock(path) -> int:
    """Opens `path` and takes an exclusive flock on it, as another program
    holding the port would; returns the descriptor (close it to release)."""
    fd = os.open(str(path), os.O_RDWR | os.O_NOCTTY | os.O_CLOEXEC)
    try:
        fcntl.flock(fd, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        os.close(fd)
        raise
    return fd
