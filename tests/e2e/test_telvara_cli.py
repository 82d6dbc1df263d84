"""telvara-cli against printer-sim's POS personality over every transport:
the connection check and the self test byte-exact, the printers it must
refuse, a silent printer within its bound, split and late replies, and the
USB port list."""

import signal
import time

import pytest

from conftest import EXIT_FAILED, EXIT_OK, EXIT_USAGE, expect_error, make_usb_tree
from telvara_fixtures import CHECK_STREAM, POS_VENDOR, SELF_TEST

TRANSPORTS = ("pty", "tcp", "usb", "parallel")


class TestTelvaraCheck:
    @pytest.mark.parametrize("via", TRANSPORTS)
    def test_check_sends_the_exact_stream_and_names_the_printer(self, telvara_cli, pos_printer, via):
        printer = pos_printer(via)
        r = telvara_cli("check", via=printer)
        assert r.rc == EXIT_OK, r.describe()
        assert r.out == "maker: QUELLIX\nmodel: KTP-M880\n"
        assert r.err == "status: Printer is connected.\n"
        printer.sim.wait_report(len(CHECK_STREAM))
        printer.sim.assert_received(CHECK_STREAM)

    @pytest.mark.parametrize("via", ("pty", "usb"))
    def test_selftest_sends_the_status_sheet_command_after_the_check(self, telvara_cli, pos_printer, via):
        printer = pos_printer(via, model="KTP-M882")
        started = time.monotonic()
        r = telvara_cli("selftest", via=printer)
        elapsed = time.monotonic() - started
        assert r.rc == EXIT_OK, r.describe()
        assert r.out == "maker: QUELLIX\nmodel: KTP-M882\nselftest: sent\n"
        printer.sim.wait_report(len(CHECK_STREAM) + len(SELF_TEST))
        printer.sim.assert_received(CHECK_STREAM + SELF_TEST)
        assert printer.sim.wait_field("pos.selftests", "1")
        assert elapsed >= 4.3  # the sheet's wait is kept

    def test_json_form(self, telvara_cli, pos_printer):
        printer = pos_printer("tcp")
        r = telvara_cli("--json", "check", via=printer)
        assert r.rc == EXIT_OK, r.describe()
        assert r.out == ('{"ok": true, "status": ["Printer is connected."], "maker": "QUELLIX", '
                         '"model": "KTP-M880"}\n')


class TestTelvaraRefusals:
    @pytest.mark.parametrize("via", ("pty", "tcp"))
    def test_wrong_maker(self, telvara_cli, pos_printer, via):
        printer = pos_printer(via, "--maker", "_QUELLIY")
        expect_error(telvara_cli("check", via=printer), EXIT_FAILED,
                     "error maker: This printer don't match our company name.")

    @pytest.mark.parametrize("via", ("parallel", "usb"))
    def test_wrong_model(self, telvara_cli, pos_printer, via):
        printer = pos_printer(via, "--model-reply", "_KTP-M881")
        r = telvara_cli("check", via=printer)
        expect_error(r, EXIT_FAILED, "error model: The connected printer has different Model name.")
        assert 'the printer gave the model name "KTP-M881"' in r.err

    @pytest.mark.parametrize("via", ("pty", "tcp"))
    def test_no_c_to_the_id_query(self, telvara_cli, pos_printer, via):
        printer = pos_printer(via, "--mute", "1d4903")
        expect_error(telvara_cli("check", via=printer), EXIT_FAILED,
                     "error printer-id: Fail to get printer ID. Please retry connect")

    @pytest.mark.parametrize("via,bound_s", (("pty", 20.0), ("tcp", 10.0)))
    def test_a_silent_printer_ends_within_its_bound(self, telvara_cli, pos_printer, via, bound_s):
        # Serial: about 4.5 s of drain, discards and retries; TCP: 2.2 s of
        # reads. The bound is several times that, so a busy machine passes.
        printer = pos_printer(via, "--silent")
        started = time.monotonic()
        r = telvara_cli("check", via=printer, timeout=60)
        elapsed = time.monotonic() - started
        expect_error(r, EXIT_FAILED, "error printer-id: Fail to get printer ID. Please retry connect")
        assert elapsed < bound_s

    def test_a_maker_name_without_its_nul_still_compares(self, telvara_cli, pos_printer):
        printer = pos_printer("pty", "--pos-raw", "1d4942=5f5155454c4c4958")
        r = telvara_cli("check", via=printer)
        assert r.rc == EXIT_OK, r.describe()

    def test_a_short_packet_reply_shows_nothing_of_the_one_before(self, telvara_cli, pos_printer):
        printer = pos_printer("tcp", "--pos-raw", "1d4943=5f")
        r = telvara_cli("check", via=printer)
        expect_error(r, EXIT_FAILED, "error model: The connected printer has different Model name.")
        assert 'the printer gave the model name ""' in r.err

    def test_a_dropped_tcp_client_fails_the_check(self, telvara_cli, pos_printer):
        printer = pos_printer("tcp", "--drop-client-after", "8")
        r = telvara_cli("check", via=printer, timeout=30)
        assert r.rc == EXIT_FAILED, r.describe()
        assert r.last_err_line().startswith(("error printer-id:", "error port:")), r.describe()

    def test_refused_port_name_and_usage(self, telvara_cli):
        expect_error(telvara_cli("--port", "printer.local", "check"), EXIT_FAILED,
                     "error config: Port Configuration Set Error!")
        # A printer no spooler knows: the defaults, and a status line saying why.
        r = telvara_cli("--printer", "Office", "connection")
        assert r.rc == EXIT_OK, r.describe()
        assert "interface: serial\n" in r.out
        assert r.err.startswith("status: ") and "Office" in r.err and "defaults" in r.err, r.describe()

    def test_one_and_a_half_stop_bits_are_refused_with_the_reason(self, telvara_cli, pos_printer):
        printer = pos_printer("pty", capture=False)
        r = telvara_cli("--stop-bits", "1.5", "check", via=printer)
        expect_error(r, EXIT_FAILED, "error open: Can't open port and Printer is disconnected")
        assert "one and a half stop bits" in r.err


class TestTelvaraAwkwardPrinters:
    @pytest.mark.parametrize("via", TRANSPORTS)
    def test_split_replies(self, telvara_cli, pos_printer, via):
        printer = pos_printer(via, "--chunk", "3", "--chunk-delay", "20")
        r = telvara_cli("check", via=printer)
        assert r.rc == EXIT_OK, r.describe()
        assert r.out == "maker: QUELLIX\nmodel: KTP-M880\n"

    @pytest.mark.parametrize("via", ("pty", "parallel"))
    def test_late_replies_within_the_retries(self, telvara_cli, pos_printer, via):
        printer = pos_printer(via, "--reply-delay", "400")
        r = telvara_cli("check", via=printer)
        assert r.rc == EXIT_OK, r.describe()

    def test_stray_bytes_before_one_reply_spoil_only_that_reply(self, telvara_cli, pos_printer):
        # Stray bytes before the maker's reply are part of the text read, so
        # the maker no longer compares; the id before it was read cleanly.
        printer = pos_printer("pty", "--stray-before", "1d4942=4142")
        expect_error(telvara_cli("check", via=printer), EXIT_FAILED,
                     "error maker: This printer don't match our company name.")


class TestTelvaraPorts:
    def test_usb_lists_only_the_two_products_of_the_maker(self, telvara_cli, tmp_path):
        root = tmp_path / "root"
        devices = (("1-1", "lp0", POS_VENDOR, "0b16"), ("1-2", "lp1", POS_VENDOR, "0c21"),
                   ("1-3", "lp2", "04b8", "0b23"), ("1-4", "lp3", POS_VENDOR, "0b23"))
        for bus, lp, vendor, product in devices:
            device = root / "sys/devices/usb1" / bus
            (device / f"{bus}:1.0").mkdir(parents=True)
            (device / "idVendor").write_text(vendor + "\n")
            (device / "idProduct").write_text(product + "\n")
            cls = root / "sys/class/usbmisc" / lp
            cls.mkdir(parents=True)
            (cls / "device").symlink_to(device / f"{bus}:1.0")
            (root / "dev/usb").mkdir(parents=True, exist_ok=True)
            (root / "dev/usb" / lp).write_bytes(b"")
        r = telvara_cli("--interface", "usb", "ports", env={"QUELLIX_DEVICE_ROOT": str(root)})
        assert r.rc == EXIT_OK, r.describe()
        usb = root / "dev/usb"
        assert r.out == f"M880:{usb}/lp0\nM882:{usb}/lp3\n"

    def test_no_usb_printer_gives_the_notice(self, telvara_cli, tmp_path):
        node = make_usb_tree(tmp_path / "root", vendor=POS_VENDOR, product="0c21")
        node.write_bytes(b"")
        r = telvara_cli("--interface", "usb", "ports", env={"QUELLIX_DEVICE_ROOT": str(tmp_path / "root")})
        assert "status: Printer is not connected by USB. Please, turn on the printer!!\n" in r.err
        expect_error(r, EXIT_FAILED, "error usb: Printer is not connected by USB. Please, turn on the printer!!")

    def test_parallel_and_connection(self, telvara_cli):
        r = telvara_cli("--interface", "parallel", "ports")
        assert r.out == "LPT1\nLPT2\nLPT3\n"
        r = telvara_cli("--port", "COM12", "--parity", "mark", "--flow", "xonxoff", "connection")
        assert r.rc == EXIT_OK, r.describe()
        assert r.out == ("interface: serial\nport: COM12\ndevice: /dev/ttyS11\nbaud: 9600\ndata-bits: 8\n"
                         "parity: mark\nstop-bits: 1\nflow: xonxoff\n")

    def test_version(self, telvara_cli):
        assert telvara_cli("--version").out == "telvara-cli 1.0.0\n"


class TestTelvaraStop:
    def test_sigterm_mid_check_releases_the_port(self, telvara_cli, pos_printer):
        printer = pos_printer("pty", "--silent", capture=False)
        proc = telvara_cli.spawn("check", via=printer)
        time.sleep(1.0)
        proc.send_signal(signal.SIGTERM)
        out, err = proc.communicate(timeout=30)
        assert proc.returncode == 128 + signal.SIGTERM, err
        assert err.decode().rstrip("\n").split("\n")[-1] == \
            "error signal: stopped by SIGTERM; the port was released"
        # The port is free again: the next check gets as far as the printer.
        r = telvara_cli("check", via=printer)
        expect_error(r, EXIT_FAILED, "error printer-id: Fail to get printer ID. Please retry connect")
