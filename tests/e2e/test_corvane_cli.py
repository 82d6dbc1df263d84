"""corvane-cli against printer-sim over a pseudo-terminal, loopback TCP and a
USB printer node in a fake device tree."""

import os
import time

import pytest

from conftest import EXIT_FAILED, EXIT_OK, EXIT_USAGE, expect_error, hold_lock, reg_text, write_file

CORVANE_KEY = r"HKEY_LOCAL_MACHINE\Software\Quellix\Corvane"


def identity(model, code, firmware, number, code_page, msr):
    return (f"model: {model}\nmodel code: {code}\nfirmware: {firmware}\n"
            f"version number: {number}\ncode page: {code_page}\nmsr mode: {msr}\n")


class TestIdentification:
    # (case, transport, simulator options, extra CLI options, expected identity)
    CASES = [
        ("serial-z400", "pty",
         ["--model", "KMP-Z400", "--code-page", "_PC850", "--msr-mode", "5"], [],
         identity("KMP-Z400", 400, "VER V1.04", 1040, "_PC850", "0x05")),
        ("serial-z400ii-beta-firmware", "pty",
         ["--model", "KMP-Z400II", "--version", "_B01.00", "--msr-mode", "0x1a"],
         ["--baud", "9600", "--parity", "even", "--stop-bits", "2"],
         identity("KMP-Z400II", 402, "B01.00", 101000, "_PC437", "0x1a")),
        # Replies in 3-byte pieces 20 ms apart: longer than the serial
        # link's 10 ms gap, so the reply loops must join them.
        ("serial-vx440-in-pieces", "pty",
         ["--model", "VX 440", "--version", "_B02.10", "--chunk", "3", "--chunk-delay", "20"], [],
         identity("VX 440", 440, "B02.10", 22101, "_PC437", "0x00")),
        ("tcp-z600", "tcp",
         ["--model", "KMP-Z600", "--msr-mode", "255"], [],
         identity("KMP-Z600", 600, "V01.00", 101000, "_PC437", "0xff")),
        ("tcp-z800-in-pieces", "tcp",
         ["--model", "KMP-Z800", "--chunk", "2", "--chunk-delay", "30", "--code-page", "_PC858"], [],
         identity("KMP-Z800", 800, "V01.00", 101000, "_PC858", "0x00")),
        ("usb-z400w", "usb",
         ["--model", "KMP-Z400W", "--version", "_V01.04"], [],
         identity("KMP-Z400W", 401, "V01.04", 101040, "_PC437", "0x00")),
    ]

    @pytest.mark.parametrize("transport,sim_args,cli_args,expected",
                             [c[1:] for c in CASES], ids=[c[0] for c in CASES])
    def test_identify(self, corvane_cli, transports, transport, sim_args, cli_args, expected):
        printer = transports[transport](*sim_args)
        result = corvane_cli(*cli_args, "identify", via=printer)
        assert result.rc == EXIT_OK, result.describe()
        assert result.out == expected


class TestFirmware:
    FIRMWARE_SIZE = 10000

    @pytest.mark.parametrize("transport,prefix", [
        ("pty", b"\x00"),   # the serial open probes with one 0x00 byte first
        ("tcp", b""),
    ], ids=["firmware-serial", "firmware-tcp"])
    def test_download(self, corvane_cli, transports, tmp_path, transport, prefix):
        firmware = os.urandom(self.FIRMWARE_SIZE)
        # Read-only: the download must not need to open the file for writing.
        path = write_file(tmp_path / "fw.fls", firmware, mode=0o444)
        printer = transports[transport](capture=True)

        result = corvane_cli("firmware", path, via=printer)

        assert result.rc == EXIT_OK, result.describe()
        assert result.out == "Success to download firmware!\n"
        # stderr is not a terminal here: progress is for people watching.
        assert "progress:" not in result.err
        assert "status: Finished to download firmware and Reset the printer!" in result.err
        printer.sim.assert_received(prefix + firmware)

    def test_missing_file(self, corvane_cli, pty_printer, tmp_path):
        printer = pty_printer()
        result = corvane_cli("firmware", tmp_path / "none.fls", via=printer)
        # Refused before anything was sent: a usage-class failure.
        expect_error(result, EXIT_USAGE, "error file: Error : File Open Error!")


class TestConnectionErrors:
    def test_missing_port(self, corvane_cli, tmp_path):
        result = corvane_cli("--port", tmp_path / "no-such-tty", "identify")
        expect_error(result, EXIT_FAILED, "error open: Port open error!")
        assert "No such file or directory" in result.err, "OS reason missing"
        assert "check the cable" in result.err, "hint missing"

    def test_busy_port(self, corvane_cli, pty_printer):
        printer = pty_printer()
        fd = hold_lock(printer.sim.endpoint)
        try:
            result = corvane_cli("identify", via=printer)
        finally:
            os.close(fd)
        expect_error(result, EXIT_FAILED, "error open: Port open error!")
        assert "Another program holds the port" in result.err, "busy hint missing"

    def test_silent_printer(self, corvane_cli, pty_printer):
        printer = pty_printer("--silent")
        start = time.monotonic()
        result = corvane_cli("identify", via=printer)
        took_ms = (time.monotonic() - start) * 1000
        expect_error(result, EXIT_FAILED, "error 301: Printer model is not matched!")
        # The model reply is awaited for 3000 ms, not much longer.
        assert 3000 <= took_ms < 8000, f"silent printer took {took_ms:.0f} ms"

    def test_unknown_model(self, corvane_cli, tcp_printer):
        printer = tcp_printer("--model-reply", "_XYZ-100")
        result = corvane_cli("identify", via=printer)
        expect_error(result, EXIT_FAILED, "error 107: Printer model is not matched!")

    def test_refused_tcp(self, corvane_cli, tcp_printer):
        printer = tcp_printer()
        printer.sim.stop()
        result = corvane_cli("identify", via=printer)
        expect_error(result, EXIT_FAILED, "error open: Port open error!")
        assert "refused" in result.err, "OS reason missing"


class TestUsage:
    def test_unknown_command(self, corvane_cli):
        result = corvane_cli("--port", "COM1", "frobnicate")
        assert result.rc == EXIT_USAGE, result.describe()
        assert "usage:" in result.err

    def test_bad_parity(self, corvane_cli):
        result = corvane_cli("--port", "COM1", "--parity", "mark", "identify")
        assert result.rc == EXIT_USAGE, result.describe()

    def test_help(self, corvane_cli):
        result = corvane_cli("--help")
        assert result.rc == EXIT_OK, result.describe()
        assert "identify" in result.out
        assert "--tcp-port" in result.out


class TestStoredConnection:
    def test_no_connection_asks_for_port(self, corvane_cli, registry):
        assert not registry.exists()
        result = corvane_cli("identify")
        assert result.rc == EXIT_USAGE, result.describe()
        assert "--port" in result.err, "no advice to use --port"

    def test_identify_over_stored_tcp_connection(self, corvane_cli, tcp_printer, registry):
        printer = tcp_printer("--model", "KMP-Z400")
        # A TCP/IP connection keeps its port number where a serial one keeps the baud rate.
        registry.write_text(reg_text(CORVANE_KEY, {
            "uPortType": 2, "uPort": "NET127.0.0.1", "uBaudrate": printer.sim.port,
            "uDatabit": 8, "uParity": 0, "uStopbit": 0, "uFlowcontrol": 1,
        }))
        result = corvane_cli("identify")
        assert result.rc == EXIT_OK, result.describe()
        assert result.out == identity("KMP-Z400", 400, "VER V1.04", 1040, "_PC437", "0x00")
