"""pavix-cli against printer-sim's network board: system information,
configuration and access points over a pseudo-terminal, a fake USB node and
loopback TCP, with the request frames checked byte for byte, and boards that
are silent or answer wrongly failing within their bounds."""

import json
import struct
import time

import pytest

from conftest import (BOARD_OPENER, EXIT_FAILED, EXIT_OK, EXIT_USAGE, PAVIX_USB_PRODUCTS, board_frame,
                      board_message, expect_error, make_usb_tree)

SYS_REQ = board_frame(board_message("__[I_F]__[SYS_REQ]"))
IF_GET = board_frame(board_message("__[I_F]__[IF__GET]"))
BSS_REQ = board_frame(board_message("__[I_F]__[BSS_REQ]"))
BSS_REQ_RAW = board_message("__[I_F]__[BSS_REQ]")

SYSINFO_LINES = [
    "Firmware Version: IFB-W1 V2.10",
    "Update Date: 2025/06/14 09:30",
    "Mac Address: 00-19-7B-2A-41-0C",
]

# The simulator's default record as the 27 rows name it.
DEFAULT_ROWS = [
    "Printer Name: QX Mobile Printer",
    "Printer Port Num: 9100",
    "User ID: admin",
    "User Password: admin123",
    "Https: Enable",
    "Telnet: Disable",
    "Ftp: Enable",
    "Snmp: Enable",
    "Set Community: private",
    "Get Community: public",
    "Trap IP Address: 192.168.0.10",
    "Trap Community: public",
    "Network Mode: Infra Network",
    "Adhoc Channel: 11",
    "SSID: quellix-lab",
    "Inactivity Time: 300",
    "IP Assignment method: Manual allocation",
    "IP Address: 192.168.0.100",
    "Subnet Mask: 255.255.255.0",
    "Gateway: 192.168.0.1",
    "Authentication: WPA2-PSK",
    "Cryptograph: AES",
    "WEP Key: ",
    "PSK Key: printer-psk-2025",
    "EAP Mode: NONE",
    "Auth ID: ",
    "Auth Password/Certification Key(EAP-TLS): ",
]

DEFAULT_BSS_ROWS = [
    "No\tSSID\tBSSID\tMode\tRSSI\tSecurity",
    "1\tquellix-lab\t00-1A-2B-3C-4D-5E\tInfrastructure\t-48\tWPA2",
    "2\tguest-wep\t02-11-22-33-44-55\tInfrastructure\t-71\tWEP64",
    "3\tadhoc-cell\t06-AA-BB-CC-DD-EE\tAd hoc\t-80\tNo",
]


def record(**fields) -> bytearray:
    """A 603-byte record with the given text/number fields at their offsets."""
    r = bytearray(603)
    layout = {"name": (0, 64), "ssid": (79, 32), "psk": (217, 64), "user": (347, 32)}
    for key, value in fields.items():
        offset, width = layout[key]
        r[offset:offset + width] = value.ljust(width, b"\0")[:width]
    return r


def bss_entry(ssid: bytes, bssid: bytes, mode: int, rssi: int, flags: int) -> bytes:
    return (b"\x00" + bytes([len(ssid)]) + ssid + b"\x01" + bytes([len(bssid)]) + bssid
            + bytes([mode]) + struct.pack(">h", rssi) + bytes([flags]))


def out_lines(result):
    return result.out.rstrip("\n").split("\n") if result.out else []


class TestSystemInformationAndConfiguration:
    @pytest.mark.parametrize("via", ["pty", "usb"])
    def test_sysinfo_sends_the_opener_and_one_request(self, pavix_cli, network_board, via):
        board = network_board(via=via, product="0c28")
        result = pavix_cli("sysinfo", via=board)
        assert result.rc == EXIT_OK, result.describe()
        assert out_lines(result) == SYSINFO_LINES
        board.sim.assert_received(BOARD_OPENER + SYS_REQ)

    def test_config_read_prints_every_row_and_sends_exact_frames(self, pavix_cli, network_board, tmp_path):
        board = network_board()
        saved = tmp_path / "board.conf"
        result = pavix_cli("config", "read", "--output", saved, via=board)
        assert result.rc == EXIT_OK, result.describe()
        assert out_lines(result) == SYSINFO_LINES + DEFAULT_ROWS
        assert saved.read_text().rstrip("\n").split("\n") == DEFAULT_ROWS
        board.sim.assert_received(BOARD_OPENER + SYS_REQ + BOARD_OPENER + IF_GET)

    def test_a_usb_reply_split_1024_plus_228_is_reassembled(self, pavix_cli, network_board):
        # The kernel's USB printer driver hands over at most 1024 bytes per
        # read; the 1252-byte configuration reply comes in two.
        board = network_board("--chunk", "1024", "--chunk-delay", "50", via="usb", product="0c29")
        result = pavix_cli("config", "read", "--json", via=board)
        assert result.rc == EXIT_OK, result.describe()
        data = json.loads(result.out)
        assert data["ok"] is True
        assert data["SSID"] == "quellix-lab"
        assert data["Mac_Address"] == "00-19-7B-2A-41-0C"

    def test_full_width_unterminated_texts_are_shown_whole_and_escaped(self, pavix_cli, network_board):
        rec = record(name=b"N" * 63 + b"\\", ssid=b"S" * 31 + b"\xe9", user=b"u" * 32)
        board = network_board(record=rec)
        result = pavix_cli("config", "read", via=board)
        assert result.rc == EXIT_OK, result.describe()
        lines = out_lines(result)
        assert "Printer Name: " + "N" * 63 + "\\\\" in lines
        assert "SSID: " + "S" * 31 + "\\xe9" in lines
        assert "User ID: " + "u" * 32 in lines

    def test_unknown_codes_show_as_unknown(self, pavix_cli, network_board):
        rec = record(name=b"x")
        rec[65] = 2      # network mode 2 reads as ad hoc
        rec[111] = 9     # no such authentication
        rec[282] = 7     # no such EAP mode
        rec[544] = 3     # no such switch
        board = network_board(record=rec)
        result = pavix_cli("config", "read", via=board)
        assert result.rc == EXIT_OK, result.describe()
        lines = out_lines(result)
        assert "Network Mode: Adhoc" in lines
        assert "Authentication: Unknown (9)" in lines
        assert "EAP Mode: Unknown (7)" in lines
        assert "Https: Unknown (3)" in lines


class TestAccessPoints:
    def test_bss_over_the_link(self, pavix_cli, network_board):
        board = network_board()
        result = pavix_cli("bss", via=board)
        assert result.rc == EXIT_OK, result.describe()
        assert out_lines(result) == DEFAULT_BSS_ROWS
        board.sim.assert_received(BOARD_OPENER + BSS_REQ)

    def test_bss_over_tcp_sends_the_bare_message(self, pavix_cli, network_board):
        board = network_board(bss_tcp=True)
        result = pavix_cli("bss", *board.bss_tcp_args)
        assert result.rc == EXIT_OK, result.describe()
        assert out_lines(result) == DEFAULT_BSS_ROWS
        fields = board.sim.wait_field("board.tcp.queries", "1")
        assert fields["board.tcp.errors"] == "0"

    def test_bss_over_tcp_with_the_peer_holding_the_connection(self, pavix_cli, network_board):
        # The answer ends 300 ms after its last byte when the board keeps
        # the connection open.
        board = network_board(bss_tcp=True, keep_open=True)
        started = time.monotonic()
        result = pavix_cli("bss", "--json", *board.bss_tcp_args)
        assert result.rc == EXIT_OK, result.describe()
        assert time.monotonic() - started < 5
        data = json.loads(result.out)
        assert [e["ssid"] for e in data["access_points"]] == ["quellix-lab", "guest-wep", "adhoc-cell"]

    def test_rows_stop_at_the_first_all_zero_bssid(self, pavix_cli, network_board):
        body = (bss_entry(b"one", bytes.fromhex("020000000001"), 0, -40, 0x0C)
                + bss_entry(b"zero", bytes(6), 0, -50, 0)
                + bss_entry(b"after", bytes.fromhex("020000000003"), 0, -60, 0))
        board = network_board(bss_body=body)
        result = pavix_cli("bss", via=board)
        assert result.rc == EXIT_OK, result.describe()
        assert out_lines(result)[1:] == ["1\tone\t02-00-00-00-00-01\tInfrastructure\t-40\tWPA/WPA2"]

    def test_a_closed_tcp_port_fails_with_the_bss_message(self, pavix_cli, network_board):
        board = network_board(bss_tcp=True)
        port = board.bss_port
        board.sim.stop()
        result = pavix_cli("bss", "--tcp", "127.0.0.1", "--tcp-port", port)
        assert result.rc == EXIT_FAILED, result.describe()
        assert "Failed in BSS information acquisitions" in result.err


class TestBoardsThatFail:
    def test_a_silent_board_fails_within_the_first_byte_bound(self, pavix_cli, network_board):
        board = network_board("--silent-on", "sys-req")
        started = time.monotonic()
        result = pavix_cli("--read-timeout", "600", "sysinfo", via=board)
        elapsed = time.monotonic() - started
        expect_error(result, EXIT_FAILED, result.last_err_line())
        assert result.last_err_line().endswith("Is not connected with the printer."), result.describe()
        assert elapsed < 5, elapsed

    @pytest.mark.parametrize("knobs", [["--upper-hex"], ["--bad-checksum", "if-get"],
                                       ["--short-reply", "if-get"], ["--short-reply", "sys-req"]])
    def test_corrupt_replies_fail_the_read(self, pavix_cli, network_board, knobs):
        board = network_board(*knobs)
        result = pavix_cli("config", "read", via=board)
        assert result.rc == EXIT_FAILED, result.describe()
        assert result.last_err_line().endswith("Is not connected with the printer."), result.describe()
        assert result.out == ""

    def test_a_wrong_opener_answer_fails_before_the_request(self, pavix_cli, network_board):
        board = network_board("--opener-answer", "1f574d7e1d1f03")
        result = pavix_cli("sysinfo", via=board)
        assert result.rc == EXIT_FAILED, result.describe()
        # Only the opener went out; the request never did.
        board.sim.assert_received(BOARD_OPENER)

    def test_json_failure_object(self, pavix_cli, network_board):
        board = network_board("--silent-on", "bss-req")
        result = pavix_cli("--read-timeout", "300", "bss", "--json", via=board)
        assert result.rc == EXIT_FAILED, result.describe()
        data = json.loads(result.out)
        assert data["ok"] is False
        assert "Failed in BSS information acquisitions" in data["message"]

    def test_a_missing_port_fails_to_open(self, pavix_cli, tmp_path):
        result = pavix_cli("--port", tmp_path / "no-such-tty", "sysinfo")
        assert result.rc == EXIT_FAILED, result.describe()
        assert result.last_err_line().endswith("Failed a port open!"), result.describe()


class TestPortsAndUsage:
    def test_ports_lists_usb_boards_by_position_with_their_ids(self, pavix_cli, tmp_path):
        root = tmp_path / "root"
        node = make_usb_tree(root, vendor="0dd4", product=PAVIX_USB_PRODUCTS[0])
        node.write_bytes(b"")
        result = pavix_cli("ports", env={"QUELLIX_DEVICE_ROOT": str(root)})
        assert result.rc == EXIT_OK, result.describe()
        assert f"usb\tUSB001\t{node}\t0dd4:0c21\taccepted" in out_lines(result)

    def test_a_usb_name_without_an_accepted_board(self, pavix_cli, network_board):
        board = network_board(via="usb", product="0205")
        result = pavix_cli("--port", "USB001", "sysinfo", env=board.env)
        assert result.rc == EXIT_FAILED, result.describe()
        assert "Not Connect USB Device and Power off!" in result.err

    def test_usb_names_reach_the_board(self, pavix_cli, network_board):
        board = network_board(via="usb", product="0c21")
        result = pavix_cli("--port", "USB001", "sysinfo", env=board.env)
        assert result.rc == EXIT_OK, result.describe()
        assert out_lines(result) == SYSINFO_LINES

    @pytest.mark.parametrize("args", [["sysinfo"], ["--port", "x", "frobnicate"],
                                      ["--port", "x", "--read-timeout", "abc", "sysinfo"],
                                      ["--port", "x", "config", "read", "extra"]])
    def test_usage_errors(self, pavix_cli, args):
        result = pavix_cli(*args)
        assert result.rc == EXIT_USAGE, result.describe()

    def test_help_names_every_command(self, pavix_cli):
        result = pavix_cli("--help")
        assert result.rc == EXIT_OK
        for word in ("ports", "sysinfo", "config read", "bss", "--read-timeout", "--tcp-port", "--json"):
            assert word in result.out
