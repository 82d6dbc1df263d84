"""telvara-cli's memory switch commands against printer-sim's POS
personality over a pty, TCP and the fake USB node: get, set with settings
into the simulator's switches, a status file carried to a second printer,
refused files that send nothing, a switch that never answers, and the two
print commands."""

import struct

import pytest

from conftest import EXIT_FAILED, EXIT_OK, EXIT_USAGE, expect_error

TRANSPORTS = ("pty", "tcp", "usb")
ALL_OFF = {n: "00000000" for n in (1, 2, 3, 4, 5, 6, 11, 12)}


def msw_args(switches: dict) -> list:
    args = []
    for n, pins in switches.items():
        args += ["--msw", f"{n}={pins}"]
    return args


def shown_switches(out: str) -> dict:
    """The MSWn lines of get: {n: pins}."""
    found = {}
    for line in out.splitlines():
        if line.startswith("MSW"):
            name, pins = line.split(" ")
            found[int(name[3:])] = pins
    return found


def sim_switches(sim) -> dict:
    fields = sim.report_fields()
    return {n: fields.get(f"pos.msw.{n}") for n in (1, 2, 3, 4, 5, 6, 11, 12)}


class TestGet:
    @pytest.mark.parametrize("via", TRANSPORTS)
    def test_get_shows_the_simulators_switches_and_settings(self, telvara_cli, pos_printer, via):
        switches = {**ALL_OFF, 1: "00000011", 2: "00011100", 5: "10000001", 12: "00000010"}
        printer = pos_printer(via, *msw_args(switches), "--version", "_V1.31")
        r = telvara_cli("get", via=printer, timeout=60)
        assert r.rc == EXIT_OK, r.describe()
        lines = r.out.splitlines()
        assert lines[:4] == ["model: KTP-M880", "firmware: V1.31", "language: ENGLISH", "firmware-old: yes"]
        assert shown_switches(r.out) == switches
        assert "print-speed: 1" in lines
        assert "code-page: 35 PC866 (DTK)" in lines
        assert r.err.endswith("status: Success to get status of printer.\n")
        fields = printer.sim.report_fields()
        assert fields["pos.switch-reads"] == "8"
        assert fields["pos.switch-writes"] == "0"

    @pytest.mark.parametrize("via", ("pty", "tcp"))
    def test_a_muted_switch_fails_the_get_and_writes_no_file(self, telvara_cli, pos_printer, via, tmp_path):
        printer = pos_printer(via, "--mute-switch", "11")
        saved = tmp_path / "out.sts"
        r = telvara_cli("get", "--save", saved, via=printer, timeout=60)
        expect_error(r, EXIT_FAILED, "error incomplete: Can't connect printer. Please restart printer.")
        assert "MSW11" in r.err
        assert r.out == ""
        assert not saved.exists()

    def test_a_stray_byte_before_a_switch_reply_does_not_shift_the_pins(self, telvara_cli, pos_printer):
        switches = {**ALL_OFF, 1: "10000001", 2: "01000010"}
        printer = pos_printer("pty", *msw_args(switches), "--stray-before", "1d284502000401=00")
        r = telvara_cli("get", via=printer, timeout=60)
        assert r.rc == EXIT_OK, r.describe()
        assert shown_switches(r.out) == switches


class TestSet:
    @pytest.mark.parametrize("via", TRANSPORTS)
    def test_set_with_settings_reaches_the_simulators_switches(self, telvara_cli, pos_printer, via):
        printer = pos_printer(via, *msw_args({1: "11000000", 5: "00000001"}))
        r = telvara_cli("set", "--speed", "1", "--code-page", "35", "--pin", "5.4=on", "--switch", "6=1-------",
                        via=printer, timeout=90)
        assert r.rc == EXIT_OK, r.describe()
        sent = [line for line in r.out.splitlines() if line.startswith("sent ")]
        assert sent[0] == "sent MSW1 11000011"
        assert sent[1] == "sent MSW2 00011100"
        assert sent[5] == "sent MSW6 12222222"
        assert len(sent) == 8
        switches = sim_switches(printer.sim)
        assert switches[1] == "11000011"
        assert switches[2] == "00011100"
        assert switches[5] == "00001001"
        assert switches[6] == "10000000"
        fields = printer.sim.report_fields()
        assert fields["pos.switch-writes"] == "8"
        assert fields["pos.ignored-switch-writes"] == "0"
        assert fields["pos.setting-mode"] == "out"

    def test_initialize_then_set_writes_all_off(self, telvara_cli, pos_printer):
        printer = pos_printer("tcp", *msw_args({1: "11111111", 12: "00000011"}))
        r = telvara_cli("set", "--initialize", "--no-get", via=printer, timeout=90)
        assert r.rc == EXIT_OK, r.describe()
        assert [line for line in r.out.splitlines() if line.startswith("sent ")] == [
            f"sent MSW{n} 00000000" for n in (1, 2, 3, 4, 5, 6, 11, 12)]
        assert sim_switches(printer.sim) == ALL_OFF

    def test_the_switches_survive_in_the_simulators_state_file(self, telvara_cli, pos_printer, tmp_path):
        state = tmp_path / "pos.state"
        state.write_text("# left by an earlier run\npos.msw.2: 00000001\n")
        printer = pos_printer("tcp", "--state", state)
        r = telvara_cli("set", "--no-get", "--pin", "1.3=on", via=printer, timeout=90)
        assert r.rc == EXIT_OK, r.describe()
        lines = state.read_text().splitlines()
        assert "pos.msw.1: 00000100" in lines
        assert "pos.msw.2: 00000001" in lines

    @pytest.mark.parametrize("via", ("pty", "usb"))
    def test_get_save_then_set_from_on_a_second_printer(self, telvara_cli, pos_printer, via, tmp_path):
        source = {**ALL_OFF, 1: "00100011", 2: "00011101", 4: "00010000", 11: "11110000", 12: "00000011"}
        first = pos_printer(via, *msw_args(source))
        saved = tmp_path / "printer1.sts"
        r = telvara_cli("get", "--save", saved, via=first, timeout=60)
        assert r.rc == EXIT_OK, r.describe()
        data = saved.read_bytes()
        assert len(data) == 292
        assert struct.unpack_from("<i", data, 288)[0] == 1
        # Switch 1 pin 1 is on (1), pin 8 off (2); slots 3-6 are zeros.
        assert struct.unpack_from("<i", data, 4)[0] == 1
        assert struct.unpack_from("<i", data, 32)[0] == 2
        assert data[72:216] == bytes(144)

        second = pos_printer(via, *msw_args({3: "01010101", 4: "00000001"}))
        r = telvara_cli("set", "--from", saved, via=second, timeout=90)
        assert r.rc == EXIT_OK, r.describe()
        got = sim_switches(second.sim)
        for n in (1, 2, 11, 12):
            assert got[n] == source[n], n
        # The file does not carry switches 3-6: the second printer's stay.
        assert got[3] == "01010101"
        assert got[4] == "00000001"

    @pytest.mark.parametrize("content,name", (
        (struct.pack("<73i", *([0, 3] + [0] * 71)), "pin-out-of-range.sts"),
        (struct.pack("<73i", *([0] * 73)), "upper.STS"),
    ))
    def test_a_refused_file_sends_nothing(self, telvara_cli, pos_printer, tmp_path, content, name):
        path = tmp_path / name
        path.write_bytes(content)
        printer = pos_printer("pty")
        r = telvara_cli("set", "--from", path, via=printer, timeout=60)
        expect_error(r, EXIT_USAGE, "error format: Wrong format files loaded.")
        printer.sim.assert_received(b"")
        expect_error(telvara_cli("sts", "show", path), EXIT_USAGE, "error format: Wrong format files loaded.")


class TestStatusFilesAndPrints:
    def test_sts_make_then_show(self, telvara_cli, tmp_path):
        path = tmp_path / "made.sts"
        r = telvara_cli("sts", "make", path, "--initialize", "--speed", "3", "--code-page", "36")
        assert r.rc == EXIT_OK, r.describe()
        assert path.stat().st_size == 292
        shown = telvara_cli("sts", "show", path)
        assert shown.rc == EXIT_OK, shown.describe()
        lines = shown.out.splitlines()
        assert "flag: 1" in lines
        assert "MSW1 00000001" in lines
        assert "MSW2 00100100" in lines
        assert "MSW3 --------" in lines
        assert "code-page: 36 WPC1250 (Czech)" in lines
        assert "print-speed: 3" in lines

    @pytest.mark.parametrize("via", ("pty", "tcp"))
    def test_print_status_and_codepage_are_counted(self, telvara_cli, pos_printer, via):
        printer = pos_printer(via)
        r = telvara_cli("print-status", via=printer, timeout=60)
        assert r.rc == EXIT_OK, r.describe()
        assert r.out == "printed: status\n"
        r = telvara_cli("print-codepage", via=printer, timeout=60)
        assert r.rc == EXIT_OK, r.describe()
        assert r.out == "printed: codepage\n"
        printer.sim.wait_field("pos.codepage-prints", "1")
        assert printer.sim.report_fields()["pos.status-prints"] == "1"
        assert printer.sim.received().endswith(bytes.fromhex("1b3905"))
