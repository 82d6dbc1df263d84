"""corvane-cli against printers that do not behave like the quiet, fast
simulator of the other suite: printers that answer with odd text, chat
during a transfer, read slowly, pause, or stop reading altogether."""

import json
import os

import pytest

from conftest import EXIT_FAILED, EXIT_OK, expect_error, write_file


class TestPrinterText:
    """Text from a printer reaches the terminal escaped, so a reply cannot
    forge an output line or move the cursor."""

    FORGED = "_KMP-Z400\nmodel code: 999\x1b[2J"

    def test_forged_lines_and_escape_sequences_are_escaped(self, corvane_cli, pty_printer):
        printer = pty_printer("--model", "KMP-Z400", "--model-reply", self.FORGED)
        result = corvane_cli("identify", via=printer)
        assert result.rc == EXIT_OK, result.describe()
        lines = result.out.splitlines()
        assert [line for line in lines if line.startswith("model code:")] == ["model code: 400"]
        assert lines[0] == r"model: KMP-Z400\x0amodel code: 999\x1b[2J"
        assert "\x1b" not in result.out

    def test_json_carries_the_text_unchanged_and_valid(self, corvane_cli, pty_printer):
        printer = pty_printer("--model", "KMP-Z400", "--model-reply", self.FORGED)
        result = corvane_cli("--json", "identify", via=printer)
        assert result.rc == EXIT_OK, result.describe()
        record = json.loads(result.out)
        assert record["model"] == self.FORGED[1:]
        assert record["model_code"] == 400
        assert "\x1b" not in result.out and result.out.count("\n") == 1


class TestExactFitReplies:
    """Replies that fill the reply buffers exactly (29 characters + NUL for
    the model, 39 + NUL for the version) are read whole: the NUL must not stay
    behind and shift every later answer."""

    def test_every_answer_stays_in_place(self, corvane_cli, transports):
        model = "_KMP-Z400" + "x" * (29 - len("_KMP-Z400"))
        version = "_VER V1.04" + "y" * (39 - len("_VER V1.04"))
        for transport in ("pty", "tcp"):
            printer = transports[transport]("--model", "KMP-Z400", "--model-reply", model,
                                            "--version", version, "--code-page", "_PC850")
            result = corvane_cli("identify", via=printer)
            assert result.rc == EXIT_OK, result.describe()
            assert result.out == (f"model: {model[1:]}\nmodel code: 400\nfirmware: {version[1:]}\n"
                                  "version number: 1040\ncode page: _PC850\nmsr mode: 0x00\n"), transport


class TestTransfersThatArrive:
    """A firmware download reports success only when the printer has every
    byte."""

    def test_chatty_pausing_tcp_printer_gets_every_byte(self, corvane_cli, tcp_printer, tmp_path):
        # Status bytes during the transfer used to stay unread; the close then
        # reset the connection and the kernel dropped what was still queued.
        firmware = os.urandom(1 << 20)
        path = write_file(tmp_path / "fw.fls", firmware)
        printer = tcp_printer("--chatter", "1000", "--chatter-every", "4096",
                              "--pause-after", "262144", "--pause-ms", "300",
                              "--rcvbuf", "8192", capture=True)
        result = corvane_cli("firmware", path, via=printer)
        assert result.rc == EXIT_OK, result.describe()
        assert result.out == "Success to download firmware!\n"
        printer.sim.assert_received(firmware)

    def test_slow_tcp_printer_gets_every_byte(self, corvane_cli, tcp_printer, tmp_path):
        # A printer reading slower than the socket buffer fills used to turn
        # a partial send into "Error : Send Failed!".
        firmware = os.urandom(600_000)
        path = write_file(tmp_path / "fw.fls", firmware)
        printer = tcp_printer("--read-rate", "400000", "--rcvbuf", "4096", capture=True)
        result = corvane_cli("firmware", path, via=printer)
        assert result.rc == EXIT_OK, result.describe()
        printer.sim.assert_received(firmware)


class TestStalledPrinters:
    """A printer that stops accepting data fails the transfer after the stall
    bound, with the reason, instead of blocking for minutes."""

    @pytest.mark.parametrize("transport,extra", [("pty", []), ("tcp", ["--rcvbuf", "4096"])],
                             ids=["serial", "tcp"])
    def test_stall_fails_after_the_bound(self, corvane_cli, transports, tmp_path, transport, extra):
        firmware = os.urandom(4 << 20)
        path = write_file(tmp_path / "fw.fls", firmware)
        printer = transports[transport]("--stall-after", "20000", *extra)
        result = corvane_cli("--stall-timeout", "1", "firmware", path, via=printer, timeout=30)
        expect_error(result, EXIT_FAILED, "error send: Error : Send Failed!")
        assert "the printer stopped accepting data for 1 s" in result.err, result.describe()
