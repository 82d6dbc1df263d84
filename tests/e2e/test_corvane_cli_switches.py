"""corvane-cli switches get / set / default against printer-sim's memory
switches: what a get prints, that a set of get's output writes back exactly
what was read (in the printer's own dialect), that --set changes only its
setting, that default restores the factory state, and that refused input
reaches no printer."""

import json
import time

import pytest

from conftest import EXIT_FAILED, EXIT_OK, EXIT_USAGE, expect_error

MEMORY_PREFIXES = ("switch.", "serial.", "sentinel.", "bt.")
SET_DONE = "Success to set TLVR configuration!\nPlease reset printer power.\n"

# Printers: a current GS printer, an old GS printer and a BS printer whose
# MSR mode "P" has no switch 7.
PRINTERS = [
    ("gs-z600-v0100", "pty", ["--model", "KMP-Z600"], "gs"),
    ("gs-z400-v104", "tcp", ["--model", "KMP-Z400"], "gs"),
    ("bs-z400-b0100", "pty", ["--model", "KMP-Z400", "--version", "_B01.00", "--msr-mode", "0x50"], "bs"),
]

# A memory that is not the factory state, so a write-back that loses a
# value shows.
CHANGED = ["--switch", "1=00010101", "--switch", "3=00001010", "--switch", "5=00000011",
           "--switch", "8=00010100", "--switch", "0x51=00000010", "--serial", "9600,2,1,7",
           "--sentinel", "1=AB,C", "--sentinel", "2=\\x0a2,", "--bt-name", "Bench 7", "--bt-pin", "0000"]

FACTORY = {
    "switch.1": "00001100", "switch.2": "00000000", "switch.5": "00001111", "switch.6": "00001010",
    "switch.7": "01110000", "switch.8": "00000000", "serial.baud": "115200", "serial.parity": "0",
    "serial.flow": "0", "serial.databits": "8", "bt.mode": "1", "bt.security": "1", "bt.pin": "9274",
}


def report_lines(sim) -> dict:
    text = sim.report.read_text() if sim.report.exists() else ""
    out = {}
    for line in text.splitlines():
        if ": " in line:
            key, value = line.split(": ", 1)
            out[key] = value
    return out


def settled_report(sim, timeout=10.0) -> dict:
    """The report once the simulator has taken everything sent: the command
    count has stood still for a moment and the setting mode is off."""
    deadline = time.monotonic() + timeout
    last, since = None, time.monotonic()
    while True:
        lines = report_lines(sim)
        stamp = (sim.read_report(), lines.get("setting-mode"))
        if stamp != last:
            last, since = stamp, time.monotonic()
        elif time.monotonic() - since > 0.3 and lines.get("setting-mode") == "off":
            return lines
        if time.monotonic() > deadline:
            pytest.fail(f"simulator report did not settle: {lines}")
        time.sleep(0.05)


def memory(lines: dict) -> dict:
    return {k: v for k, v in lines.items() if k.startswith(MEMORY_PREFIXES)}


def settings_of(get_output: str) -> dict:
    lines = get_output.splitlines()
    start = lines.index("command form: gs" if "command form: gs" in lines else "command form: bs") + 1
    return dict(line.split(": ", 1) for line in lines[start:])


class TestSwitchRoundTrip:
    @pytest.mark.parametrize("transport,sim_args,form", [p[1:] for p in PRINTERS], ids=[p[0] for p in PRINTERS])
    def test_get_set_and_default(self, corvane_cli, transports, tmp_path, transport, sim_args, form):
        printer = transports[transport](*sim_args, *CHANGED, capture=True)
        before = settled_report(printer.sim)

        got = corvane_cli("switches", "get", via=printer)
        assert got.rc == EXIT_OK, got.describe()
        assert f"command form: {form}\n" in got.out
        settings = settings_of(got.out)
        assert settings["Density"] == "5" and settings["Speed"] == "1"
        assert settings["Baudrate"] == "9600" and settings["Parity"] == "2" and settings["Databit"] == "7"
        assert ("Msr" in settings) == (form == "gs"), "MSR mode P has no switch 7 in the BS form"
        if "Track2Start" in settings:
            assert settings["Track1Start"] == '"AB"' and settings["Track2Start"] == '"\\x0a2"'
        assert memory(settled_report(printer.sim)) == memory(before), "a get changes nothing"

        saved = tmp_path / "settings.txt"
        saved.write_text(got.out)
        done = corvane_cli("switches", "set", saved, via=printer)
        assert done.rc == EXIT_OK, done.describe()
        assert done.out == SET_DONE
        after = settled_report(printer.sim)
        assert memory(after) == memory(before), "get's output written back is what was read"
        assert after["rejected"] == "0" and after["ignored"] == "0", "every command in the printer's dialect"
        assert after["dialect"] == form

        changed = corvane_cli("switches", "set", saved, "--set", "density=6", via=printer)
        assert changed.rc == EXIT_OK, changed.describe()
        expected = dict(memory(before))
        expected["switch.1"] = before["switch.1"][:5] + "110"
        assert memory(settled_report(printer.sim)) == expected, "only the density bits change"

        reset = corvane_cli("switches", "default", via=printer)
        assert reset.rc == EXIT_OK, reset.describe()
        assert reset.out == SET_DONE
        restored = memory(settled_report(printer.sim))
        for key, value in FACTORY.items():
            assert restored[key] == value, key
        assert restored["switch.3"] == before["switch.3"][:4] + "0001", "factory 22220001 keeps d1..d4"
        assert restored["bt.name"] == "KMP-Z400" if "Z400" in sim_args[1] else "KMP-Z600"


class TestSwitchOutput:
    def test_json_nests_identity_and_settings(self, corvane_cli, pty_printer):
        printer = pty_printer("--model", "KMP-Z600", "--bt-name", 'a"b\\c', "--switch", "0x51=00000001")
        got = corvane_cli("switches", "get", "--json", via=printer)
        assert got.rc == EXIT_OK, got.describe()
        obj = json.loads(got.out)
        assert obj["ok"] is True
        assert obj["identity"]["model"] == "KMP-Z600"
        assert obj["identity"]["command_form"] == "gs"
        assert obj["settings"]["Density"] == 4
        assert obj["settings"]["BlackMarkSensor"] == "01"
        assert obj["settings"]["BtDeviceName"] == 'a"b\\c'
        lines = corvane_cli("switches", "get", via=printer)
        assert 'BtDeviceName: "a\\"b\\\\c"\n' in lines.out

    def test_set_saves_the_record_and_warns_when_it_cannot(self, corvane_cli, pty_printer, registry, tmp_path):
        printer = pty_printer("--model", "KMP-Z600")
        done = corvane_cli("switches", "set", "--set", "Density=2", "--set", "LCharMode=0", via=printer)
        assert done.rc == EXIT_OK, done.describe()
        text = registry.read_text()
        assert '"Density"=dword:00000002' in text
        assert '"CharMode"=dword:00000000' in text
        assert '"Fwver"="V01.00"' in text
        blocked = tmp_path / "a-directory"
        blocked.mkdir()
        again = corvane_cli("switches", "set", "--set", "Density=3", via=printer,
                            env={"QUELLIX_REGISTRY": str(blocked)})
        assert again.rc == EXIT_OK, again.describe()
        assert again.out == SET_DONE
        assert f"warning: settings not saved in {blocked}:" in again.err

    def test_bluetooth_only_with_its_option(self, corvane_cli, pty_printer):
        printer = pty_printer("--model", "KMP-Z600", capture=True)
        plain = corvane_cli("switches", "set", "--set", "BtDeviceName=Bench 9", via=printer)
        assert plain.rc == EXIT_OK, plain.describe()
        assert "ignored, Bluetooth settings are written only with --bluetooth: BtDeviceName" in plain.err
        assert settled_report(printer.sim)["bt.name"] == "KMP-Z600"
        bt = corvane_cli("switches", "set", "--bluetooth", "--set", "BtDeviceName=Bench 9", via=printer)
        assert bt.rc == EXIT_OK, bt.describe()
        lines = settled_report(printer.sim)
        assert lines["bt.name"] == "Bench 9"
        assert lines["bt.pin"] == "9274", "the PIN read is written back"


class TestSwitchRefusals:
    def test_static_refusals_open_no_port(self, corvane_cli, pty_printer, tmp_path):
        printer = pty_printer("--model", "KMP-Z600", capture=True)
        bad = tmp_path / "bad.txt"
        for text, message in [
            ("Density: 9\n", "line 1: Density 9 is out of range 0..7"),
            ("Colour: 1\n", "line 1: unknown key 'Colour'"),
            ("Track1Start: 12345678901\n",
             "line 1: Track1Start: Invalid value! Sentinel length is over 10 ( length range : 1~10 )"),
        ]:
            bad.write_text(text)
            result = corvane_cli("switches", "set", bad, via=printer)
            expect_error(result, EXIT_USAGE, f"error usage: {bad}: {message}")
        result = corvane_cli("switches", "set", "--set", "Msr=16", via=printer)
        expect_error(result, EXIT_USAGE, "error usage: --set Msr 16 is out of range -1..15")
        result = corvane_cli("switches", "set", tmp_path / "missing.txt", via=printer)
        assert result.rc == EXIT_USAGE, result.describe()
        assert result.last_err_line().startswith("error file: cannot read the settings file")
        time.sleep(0.3)
        report = printer.sim.read_report()
        assert report is None or report.bytes == 0, "nothing reached the printer"

    def test_value_the_firmware_cannot_carry_is_refused_before_any_write(self, corvane_cli, tcp_printer):
        printer = tcp_printer("--model", "KMP-Z400", capture=True)  # V1.04: no code page bit 5
        result = corvane_cli("switches", "set", "--set", "CodePage=40", via=printer)
        expect_error(result, EXIT_FAILED, "error 107: CodePage 40 is not supported by this printer")
        settled_report(printer.sim)
        received = printer.sim.received()
        assert b"\x1d\x28\x45\x02\x00\x04\x01" in received, "the get ran"
        assert b"\x1d\x28\x45\x03\x00\x01IN" not in received, "the setting mode was never entered"

    def test_wrong_dialect_shows_as_a_failed_read(self, corvane_cli, pty_printer):
        printer = pty_printer("--model", "KMP-Z600", "--dialect", "bs")
        result = corvane_cli("switches", "get", via=printer)
        expect_error(result, EXIT_FAILED, "error 301: Failed to read SW1 data!")

    def test_silent_printer_fails_within_its_bounds(self, corvane_cli, pty_printer):
        printer = pty_printer("--model", "KMP-Z600", "--silent")
        started = time.monotonic()
        result = corvane_cli("switches", "default", via=printer)
        expect_error(result, EXIT_FAILED, "error 301: Printer model is not matched!")
        assert time.monotonic() - started < 15
