"""Fixtures for the end-to-end suites: the real command lines against
printer-sim over real links (a pseudo-terminal for the serial path, loopback
TCP, and a USB printer node in a fake device tree).

The binaries come from the environment (ctest sets them):
  CORVANE_CLI   corvane-cli
  PAVIX_CLI     pavix-cli
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

from cups_fixtures import cupsd, private_cupsd_server  # noqa: F401  (the private scheduler)

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


@pytest.fixture
def pavix_cli() -> Cli:
    return Cli(binary("PAVIX_CLI"))


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

    def __init__(self, path: str, args, workdir: pathlib.Path, capture: bool, announce_lines: int = 1):
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
        self.announced = self._wait_ready(announce_lines)
        self.endpoint = self.announced[0]

    def stderr(self) -> str:
        return self.stderr_path.read_text(errors="replace")

    def _wait_ready(self, lines: int) -> typing.List[str]:
        """The first `lines` lines printer-sim prints once ready (the link,
        then the access-point port with --bss-tcp-port)."""
        deadline = time.monotonic() + SIM_READY_TIMEOUT_S
        line = b""
        with selectors.DefaultSelector() as sel:
            sel.register(self.proc.stdout, selectors.EVENT_READ)
            while line.count(b"\n") < lines:
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
        return [part.decode() for part in line.split(b"\n")[:lines]]

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

    def report_fields(self) -> dict:
        """The 'key: value' lines of the report (a personality's own lines,
        e.g. board.frames.sys-req), as strings; {} before the first report."""
        try:
            text = self.report.read_text(errors="surrogateescape")
        except FileNotFoundError:
            return {}
        return dict(line.split(": ", 1) for line in text.splitlines() if ": " in line)

    def wait_field(self, key: str, value: str, timeout=REPORT_TIMEOUT_S) -> dict:
        """Waits (bounded) until report line `key` reads `value`; returns
        all the fields then, fails with the last ones otherwise."""
        assert self.report is not None, "start the simulator with capture=True"
        deadline = time.monotonic() + timeout
        while True:
            fields = self.report_fields()
            if fields.get(key) == value:
                return fields
            if time.monotonic() >= deadline:
                pytest.fail(f"simulator report {key}: {fields.get(key)!r}, want {value!r}; all: {fields}")
            time.sleep(0.05)

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

    def start(*args, capture=False, announce_lines=1) -> Sim:
        workdir = tmp_path / f"sim{len(sims)}"
        workdir.mkdir()
        sim = Sim(path, args, workdir, capture, announce_lines)
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
    bss_port: typing.Optional[int] = None  # a network board's access-point TCP port

    @property
    def bss_tcp_args(self) -> list:
        """pavix-cli's options for the access-point query over TCP."""
        assert self.bss_port is not None, "start the board with bss_tcp=True"
        return ["--tcp", "127.0.0.1", "--tcp-port", str(self.bss_port)]


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
    whose dev/usb/lp0 is a symlink to the simulator's pseudo-terminal, with
    the USB device's `vendor` and `product` ids (four hex digits each)."""
    def connect(*sim_args, capture=False, vendor="0dd4", product="0205") -> Connection:
        root = tmp_path / "root"
        node = make_usb_tree(root, vendor=vendor, product=product)
        sim = printer_sim("--pty", *sim_args, "--link", node, capture=capture)
        return Connection(sim, ["--port", str(node)], {"QUELLIX_DEVICE_ROOT": str(root)})
    return connect


# --- the network board ------------------------------------------------------
#
# printer-sim --personality network-board: the interface configuration link
# (hex frames over the pty or a fake USB node) and, with bss_tcp, the
# access-point query on a loopback TCP port.

# The product ids of the boards Pavix accepts on USB.
PAVIX_USB_PRODUCTS = ("0c21", "0c28", "0c29")
BOARD_OPENER = bytes.fromhex("1f57437f1d1f03")
BOARD_OPENER_ANSWER = bytes.fromhex("1f574d7f1d1f03")
BOARD_NAK = bytes.fromhex("1f574d1503")
BOARD_RECORD_SIZE = 603


def internet_checksum(data: bytes) -> int:
    """Ones' complement of the folded sum of big-endian 16-bit words (an odd
    last byte is a high byte)."""
    if len(data) % 2:
        data += b"\0"
    total = sum((data[i] << 8) | data[i + 1] for i in range(0, len(data), 2))
    while total >> 16:
        total = (total & 0xFFFF) + (total >> 16)
    return ~total & 0xFFFF


def board_message(tag: str, body: bytes = b"") -> bytes:
    """Tag, body, pad byte when odd, checksum: a message as it travels."""
    payload = tag.encode("ascii") + body
    if len(payload) % 2:
        payload += b"\0"
    return payload + internet_checksum(payload + b"\0\0").to_bytes(2, "big")


def board_frame(message: bytes, header: bytes = b"\x1f\x57\x43") -> bytes:
    """The link frame of a message: header, lower-case hex, 03. The
    requests Pavix must send are board_frame(board_message(TAG))."""
    return header + message.hex().encode("ascii") + b"\x03"


def board_reply(message: bytes) -> bytes:
    """A reply frame as the board sends it."""
    return board_frame(message, b"\x1f\x57\x4d")


@pytest.fixture
def network_board(printer_sim, tmp_path):
    """Factory: network_board(*sim_args, via="pty"|"usb", product="0c21",
    bss_tcp=False, keep_open=False, record=None, bss_body=None, capture=True)
    starts a network board and returns its Connection: over the pseudo-
    terminal, or behind a fake USB node carrying `product` (vendor `vendor`);
    with bss_tcp its access-point port is Connection.bss_port. `record` (603
    bytes) and `bss_body` (raw body bytes) replace the board's defaults. The
    rest of sim_args are printer-sim options, e.g. "--silent-on", "if-get" or
    "--chunk", "1024", "--chunk-delay", "50". Report fields: board.openers,
    board.frames.{sys-req,if-get,bss-req,if-set}, board.errors,
    board.tcp.queries, board.tcp.errors, board.tcp.last, board.record."""
    count = [0]

    def start(*sim_args, via="pty", vendor="0dd4", product="0c21", bss_tcp=False, keep_open=False,
              record=None, bss_body=None, capture=True) -> Connection:
        count[0] += 1
        files = tmp_path / f"board{count[0]}"
        files.mkdir()
        args = ["--pty", "--personality", "network-board"]
        if record is not None:
            assert len(record) == BOARD_RECORD_SIZE, "a record is 603 bytes"
            args += ["--if-record", write_file(files / "record.bin", bytes(record))]
        if bss_body is not None:
            args += ["--bss-body", write_file(files / "bss.bin", bytes(bss_body))]
        if bss_tcp:
            args += ["--bss-tcp-port", "0"]
            if keep_open:
                args.append("--bss-tcp-keep-open")
        env = {}
        if via == "usb":
            root = files / "root"
            node = make_usb_tree(root, vendor=vendor, product=product)
            args += ["--link", node]
            env = {"QUELLIX_DEVICE_ROOT": str(root)}
        elif via != "pty":
            raise ValueError(f"via must be pty or usb, not {via!r}")
        sim = printer_sim(*args, *sim_args, capture=capture, announce_lines=2 if bss_tcp else 1)
        port = str(node) if via == "usb" else sim.endpoint
        return Connection(sim, ["--port", port], env, int(sim.announced[1]) if bss_tcp else None)

    return start


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

from telvara_fixtures import *  # noqa: E402,F401,F403  (telvara-cli's fixtures)
