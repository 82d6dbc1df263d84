"""pavix-cli's search, show, set and web against printer-sim's simulated
network boards on loopback UDP: the request and store datagrams byte for
byte, answers in arrival order with duplicates, stray, cut and oversized
answers, answers too late for the wait, both store acknowledgements, a
refusal that sends nothing, the time-out, and the broadcast path itself.

Every datagram stays in 127.0.0.0/8: each run is given --target (and the
environment's PAVIX_UDP_TARGET points at loopback as well), and answers
come back to a free local port."""

import json
import struct

import pytest

from conftest import EXIT_FAILED, EXIT_OK, EXIT_USAGE, expect_error

FIND = b"FIND"
PRT_REG = b"__[I_F]__[PRT_REG]"
PRT_SET = b"__[I_F]__[PRT_SET]"

STORED = "Setting just have finished! Please research devices if lists were not refreshed."
WLAN_STORED = "WLAN Setting just have finished! Please research devices if lists were not refreshed."
STORE_FAILED = "Fail to save your setting. Please, configure one more again."


@pytest.fixture(autouse=True)
def loopback_only(monkeypatch):
    for name in ("PAVIX_UDP_BIND", "PAVIX_UDP_LOCAL_PORT", "PAVIX_UDP_REMOTE_PORT"):
        monkeypatch.delenv(name, raising=False)
    monkeypatch.setenv("PAVIX_UDP_TARGET", "127.0.0.1")


@pytest.fixture
def boards(printer_sim):
    """Factory: boards(*descriptions, strays=(), bind=None) starts
    printer-sim --udp with one --udp-printer per description and its report."""

    def start(*descriptions, strays=(), bind=None):
        args = ["--udp", "0"]
        for description in descriptions:
            args += ["--udp-printer", description]
        for stray in strays:
            args += ["--udp-stray", stray]
        if bind:
            args += ["--udp-bind", bind]
        return printer_sim(*args, capture=True)

    return start


def udp(sim, target="127.0.0.1"):
    return ["--target", target, "--remote-port", sim.port, "--local-port", "0"]


def rows(result):
    assert result.rc == EXIT_OK, result.describe()
    return [line.split("\t") for line in result.out.splitlines()]


def record(mac, ip, subnet, gateway, port, baud, fw, dhcp, inactivity, https, cap=None, reserved=None):
    """A device record as the boards send it (big-endian numbers)."""
    data = bytes(mac) + bytes(ip) + bytes(subnet) + bytes(gateway) + struct.pack(">HB", port, baud)
    data += bytes(fw) + struct.pack(">BHB", dhcp, inactivity, https)
    if cap is not None:
        data += bytes([cap, reserved])
    return data


def stores(sim, count):
    fields = sim.wait_field("udp.stores", str(count))
    return [bytes.fromhex(fields[f"udp.store.{i}"].split(" ", 1)[1]) for i in range(1, count + 1)]


class TestSearch:
    """Searches of both modes: request bytes, order, duplicates and the answers that are not listed."""

    def test_ethernet_search_lists_every_answer_in_arrival_order(self, pavix_cli, boards):
        sim = boards("ethernet,mac=00:19:7b:00:00:01,ip=192.168.0.10,https=1,repeat=2",
                     "ethernet,mac=00:19:7b:00:00:02,ip=0.0.0.0,gateway=0.0.0.0,fw=0.0,port=9101,delay=200",
                     "wlan,mac=00:19:7b:00:00:03")
        result = pavix_cli("search", "ethernet", *udp(sim))
        assert rows(result) == [
            ["1", "00:19:7b:00:00:01", "192.168.0.10", "255.255.255.0", "192.168.0.1", "9100", "1.5"],
            ["2", "00:19:7b:00:00:01", "192.168.0.10", "255.255.255.0", "192.168.0.1", "9100", "1.5"],
            ["3", "00:19:7b:00:00:02", "Not Configuration", "255.255.255.0", "Not Configuration", "9101", "N/A"],
        ]
        fields = sim.wait_field("udp.requests", "1")
        mode, source, request = fields["udp.request.1"].split(" ")
        assert (mode, bytes.fromhex(request)) == ("ethernet", FIND)
        assert source.startswith("127.0.0.1:")

        as_json = json.loads(pavix_cli("search", "ethernet", "--json", *udp(sim)).out)
        assert as_json["ok"] is True and as_json["mode"] == "ethernet"
        assert [d["Mac_Address"] for d in as_json["devices"]] == ["00:19:7b:00:00:01"] * 2 + ["00:19:7b:00:00:02"]


    def test_wlan_search_sends_prt_reg_and_lists_the_capability(self, pavix_cli, boards):
        sim = boards("wlan,mac=00:19:7b:00:00:0a,ip=10.0.0.20,cap=31",
                     "wlan,mac=00:19:7b:00:00:0b,ip=10.0.0.21,cap=4,delay=100",
                     "ethernet,mac=00:19:7b:00:00:0c")
        result = pavix_cli("search", "wlan", *udp(sim))
        assert rows(result) == [
            ["1", "00:19:7b:00:00:0a", "10.0.0.20", "255.255.255.0", "192.168.0.1", "9100", "1.5", "31"],
            ["2", "00:19:7b:00:00:0b", "10.0.0.21", "255.255.255.0", "192.168.0.1", "9100", "1.5", "4"],
        ]
        request = sim.wait_field("udp.requests", "1")["udp.request.1"].split(" ")
        assert request[0] == "wlan" and bytes.fromhex(request[2]) == PRT_REG


    def test_no_answer_is_an_empty_list(self, pavix_cli, boards):
        sim = boards("wlan")
        result = pavix_cli("search", "ethernet", *udp(sim))
        assert (result.rc, result.out) == (EXIT_OK, ""), result.describe()


    def test_stray_cut_and_oversized_answers(self, pavix_cli, boards):
        # 3 bytes and a bare "IMIN" are too short; "XXXXX" is no answer; an answer
        # cut after the MAC reads as zeros; a 631-byte one is read from its start.
        sim = boards("ethernet,mac=00:19:7b:00:00:01,cut=10,delay=50",
                     "ethernet,mac=00:19:7b:00:00:02,pad=600,delay=100",
                     strays=["414243", "494d494e", "5858585858"])
        result = pavix_cli("search", "ethernet", *udp(sim))
        assert rows(result) == [
            ["1", "00:19:7b:00:00:01", "Not Configuration", "Not Configuration", "Not Configuration", "0", "N/A"],
            ["2", "00:19:7b:00:00:02", "192.168.0.102", "255.255.255.0", "192.168.0.1", "9100", "1.5"],
        ]
        assert "longer than 512 bytes" in result.err, result.describe()
        assert "cut short" in result.err, result.describe()


    def test_a_short_wlan_datagram_ends_the_search_with_the_answers_so_far(self, pavix_cli, boards):
        sim = boards("wlan,mac=00:19:7b:00:00:01", "wlan,mac=00:19:7b:00:00:02,delay=600",
                     strays=["5f5f5b495f465d5f5f5b5052545f5245@300"])
        result = pavix_cli("search", "wlan", *udp(sim))
        assert [r[1] for r in rows(result)] == ["00:19:7b:00:00:01"]
        assert "ended the search early" in result.err


    def test_answers_after_the_wait_are_not_listed(self, pavix_cli, boards):
        sim = boards("ethernet,mac=00:19:7b:00:00:01", "ethernet,mac=00:19:7b:00:00:02,delay=1600")
        assert [r[1] for r in rows(pavix_cli("search", "ethernet", *udp(sim)))] == ["00:19:7b:00:00:01"]
        longer = pavix_cli("search", "ethernet", "--wait", "2500", *udp(sim))
        assert [r[1] for r in rows(longer)] == ["00:19:7b:00:00:01", "00:19:7b:00:00:02"]


class TestShowAndWeb:
    """One device by number or MAC."""

    def test_show_and_web_name_one_device_by_number_or_mac(self, pavix_cli, boards):
        sim = boards("wlan,mac=00:19:7b:00:00:01,ip=192.168.0.10,https=1,cap=25,baud=42,dhcp=1,inactivity=300",
                     "wlan,mac=00:19:7b:00:00:02,ip=192.168.0.11")
        shown = pavix_cli("show", "wlan", "00:19:7B:00:00:01", *udp(sim))
        assert shown.rc == EXIT_OK, shown.describe()
        lines = shown.out.splitlines()
        for line in ("No: 1", "Mac Address: 00:19:7b:00:00:01", "IP Address: 192.168.0.10", "Port: 9100",
                     "Baud Rate: Unknown (0x42)", "DHCP: on", "Inactivity Time: 300", "HTTPS: on", "Capability: 25",
                     "Web Address: https://192.168.0.10"):
            assert line in lines, shown.describe()
        expected = record([0, 0x19, 0x7b, 0, 0, 1], [192, 168, 0, 10], [255, 255, 255, 0], [192, 168, 0, 1], 9100,
                          0x42, [1, 5], 1, 300, 1, 25, 0)
        assert f"Record: {expected.hex()}" in lines

        web = pavix_cli("web", "wlan", "2", *udp(sim))
        assert (web.rc, web.out) == (EXIT_OK, "http://192.168.0.11\n"), web.describe()
        assert pavix_cli("web", "wlan", "1", *udp(sim)).out == "https://192.168.0.10\n"


    def test_an_unknown_device_fails_with_the_device_error(self, pavix_cli, boards):
        sim = boards("ethernet")
        expect_error(pavix_cli("show", "ethernet", "2", *udp(sim)), EXIT_FAILED,
                     "error device: no device 2 in the ethernet search (1 found)")
        missing = pavix_cli("set", "ethernet", "00:00:00:00:00:09", "--ip", "10.0.0.1", *udp(sim))
        assert missing.rc == EXIT_FAILED and missing.last_err_line().startswith("error device: "), missing.describe()
        assert sim.report_fields()["udp.stores"] == "0"


class TestSet:
    """Stores: exact datagrams, both acknowledgements, refusals and the time-out."""

    def test_ethernet_set_sends_the_30_byte_store_and_the_board_keeps_it(self, pavix_cli, boards):
        sim = boards("ethernet,mac=00:19:7b:00:00:01,ip=192.168.0.10,https=1,baud=f4")
        result = pavix_cli("set", "ethernet", "1", "--ip", "10.0.0.5", "--subnet", "255.255.0.0", "--gateway",
                           "10.0.0.1", "--printer-port", "9101", "--inactivity", "300", "--baud", "230400",
                           "--dhcp", "off", *udp(sim))
        assert (result.rc, result.out) == (EXIT_OK, STORED + "\n"), result.describe()
        expected = b"SETT" + record([0, 0x19, 0x7b, 0, 0, 1], [10, 0, 0, 5], [255, 255, 0, 0], [10, 0, 0, 1], 9101,
                                    0xBB, [1, 5], 0, 300, 1)[:26]
        assert len(expected) == 30
        assert stores(sim, 1) == [expected]
        again = rows(pavix_cli("search", "ethernet", *udp(sim)))
        assert again == [["1", "00:19:7b:00:00:01", "10.0.0.5", "255.255.0.0", "10.0.0.1", "9101", "1.5"]]


    def test_wlan_set_sends_the_47_byte_store_and_an_18_byte_set_rsp_succeeds(self, pavix_cli, boards):
        sim = boards("wlan,mac=00:19:7b:00:00:01,ip=10.0.0.20,cap=31,reserved=7,store=setrsp")
        result = pavix_cli("set", "wlan", "1", "--dhcp", "on", "--json", *udp(sim))
        answer = json.loads(result.out)
        assert result.rc == EXIT_OK and answer["ok"] is True, result.describe()
        assert answer["message"] == ("WLAN Setting just have finished!\r\n"
                                     "Please research devices if lists were not refreshed.")
        expected = PRT_SET + record([0, 0x19, 0x7b, 0, 0, 1], [10, 0, 0, 20], [255, 255, 255, 0], [192, 168, 0, 1],
                                    9100, 0xFF, [1, 5], 1, 0, 0, 31, 7)
        assert len(expected) == 47
        assert stores(sim, 1) == [expected]
        assert answer["sent"] == expected.hex()


    def test_a_bare_setc_acknowledges_a_wlan_store_in_the_ethernet_wording(self, pavix_cli, boards):
        sim = boards("wlan,mac=00:19:7b:00:00:01,store=setc")
        result = pavix_cli("set", "wlan", "1", "--printer-port", "9102", *udp(sim))
        assert (result.rc, result.out) == (EXIT_OK, STORED + "\n"), result.describe()


    def test_an_unknown_baud_code_is_sent_back_unchanged(self, pavix_cli, boards):
        sim = boards("ethernet,mac=00:19:7b:00:00:01,baud=42")
        result = pavix_cli("set", "ethernet", "1", "--printer-port", "9200", *udp(sim))
        assert (result.rc, result.out) == (EXIT_OK, STORED + "\n"), result.describe()
        (sent,) = stores(sim, 1)
        assert sent[4 + 20] == 0x42 and sent[4 + 18:4 + 20] == struct.pack(">H", 9200)


    @pytest.mark.parametrize("options, message", [
        (["--printer-port", "80"], "Don't use the port. Please, retype port number."),
        (["--printer-port", "3318"], "Don't use the port. Please, retype port number."),
        (["--printer-port", "40000"], "Cannot set the port. Please, retype port number. (0~32767)"),
        (["--inactivity", "3601"], "Cannot set the time. Please, retype time number. (0~3600)"),
        (["--ip", "0.0.0.0", "--dhcp", "on"], "Cannot set IP! Please, retype IP."),
    ])
    def test_a_refused_setting_sends_nothing(self, pavix_cli, boards, options, message):
        sim = boards("wlan,mac=00:19:7b:00:00:01")
        result = pavix_cli("set", "wlan", "1", *options, *udp(sim))
        expect_error(result, EXIT_USAGE, f"error refused: {message}")
        fields = sim.wait_field("udp.requests", "1")
        assert fields["udp.stores"] == "0" and fields["udp.ignored"] == "0"


    def test_an_unanswered_store_fails_with_the_windows_message(self, pavix_cli, boards):
        sim = boards("wlan,mac=00:19:7b:00:00:01,store=none")
        result = pavix_cli("set", "wlan", "1", "--ip", "10.0.0.9", *udp(sim))
        expect_error(result, EXIT_FAILED, f"error store: {STORE_FAILED}")
        assert len(stores(sim, 1)[0]) == 47
        as_json = json.loads(pavix_cli("set", "wlan", "1", "--json", *udp(sim)).out)
        assert as_json["message"] == "Fail to save your setting.\r\nPlease, configure one more again."


class TestBroadcast:
    """The broadcast send itself, on loopback."""

    def test_a_broadcast_reaches_a_board_bound_to_any_address(self, pavix_cli, boards):
        sim = boards("ethernet,mac=00:19:7b:00:00:01,ip=192.168.0.10", bind="0.0.0.0")
        result = pavix_cli("search", "ethernet", *udp(sim, target="127.255.255.255"))
        if result.rc == EXIT_FAILED and result.last_err_line().startswith("error udp:"):
            pytest.skip(f"the system refused the loopback broadcast: {result.err.strip()}")
        assert [r[1] for r in rows(result)] == ["00:19:7b:00:00:01"]
        assert sim.wait_field("udp.requests", "1")["udp.request.1"].endswith(FIND.hex())
