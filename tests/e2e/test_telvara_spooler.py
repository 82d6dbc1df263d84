"""telvara-cli and the print spooler, against a private scheduler and the
POS simulator on a pty: the queue on the checked port is stopped while the
check runs and resumed after it, a queue on another device and a queue
already stopped are left alone, a printing queue refuses the check, a run
killed mid-check leaves a marker the next start (or restore-queues) acts on,
and --printer presets from device URIs and the registry store."""

import os
import signal
import time

import pytest

from conftest import EXIT_FAILED, EXIT_OK, expect_error, reg_text
from telvara_fixtures import CHECK_STREAM

MARKER = "Port in use by Telvara (pid {pid} on "
# A slow printer keeps the check running long enough to watch the queue.
SLOW = ("--reply-delay", "300")
WATCH_TIMEOUT_S = 10.0


@pytest.fixture
def cli(telvara_cli, cupsd):
    """telvara-cli pointed at the private scheduler (the cupsd fixture sets
    CUPS_SERVER after telvara_cli has hidden the machine's own)."""
    assert os.environ["CUPS_SERVER"] == cupsd.socket
    return telvara_cli


def wait_until_stopped(cupsd, queue, process):
    """The queue's state while `process` runs: stopped, with its message."""
    deadline = time.monotonic() + WATCH_TIMEOUT_S
    while time.monotonic() < deadline and process.poll() is None:
        state, message = cupsd.queue_state(queue)
        if state == "stopped":
            return state, message
        time.sleep(0.05)
    return cupsd.queue_state(queue)


def finish(process, timeout=30):
    out, err = process.communicate(timeout=timeout)
    return process.returncode, out.decode(), err.decode()


class TestTelvaraSpoolerTakeover:
    def test_the_queue_on_the_port_is_stopped_during_the_check_and_resumed_after(self, cli, cupsd, pos_printer,
                                                                                  tmp_path):
        printer = pos_printer("pty", *SLOW, takeover=True)
        device = printer.sim.endpoint
        # Through a symlink, and a neighbour whose name has the device's as
        # its prefix (as COM10 has COM1's): only the real device counts.
        link = tmp_path / "printer-port"
        link.symlink_to(device)
        cupsd.add_queue("Counter", f"serial:{link}?baud=9600+bits=8")
        cupsd.add_queue("Neighbour", f"serial:{device}0")
        process = cli.spawn("check", via=printer)
        state, message = wait_until_stopped(cupsd, "Counter", process)
        neighbour = cupsd.queue_state("Neighbour")
        rc, out, err = finish(process)
        assert rc == EXIT_OK, err
        assert state == "stopped"
        assert message.startswith(MARKER.format(pid=process.pid)), message
        assert neighbour[0] == "idle"
        assert out == "maker: QUELLIX\nmodel: KTP-M880\n"
        assert err == "status: Printer is connected.\n"
        assert cupsd.queue_state("Counter")[0] == "idle"
        assert cupsd.queue_state("Neighbour")[0] == "idle"
        printer.sim.wait_report(len(CHECK_STREAM))
        printer.sim.assert_received(CHECK_STREAM)

    def test_a_queue_already_stopped_is_left_as_it_was(self, cli, cupsd, pos_printer):
        printer = pos_printer("pty", takeover=True)
        cupsd.add_queue("Held", f"serial:{printer.sim.endpoint}")
        cupsd.pause("Held", "Paper jam, ask Anna")
        r = cli("check", via=printer)
        assert r.rc == EXIT_OK, r.describe()
        assert cupsd.queue_state("Held") == ("stopped", "Paper jam, ask Anna")

    def test_a_printing_queue_refuses_the_check(self, cli, cupsd, pos_printer):
        printer = pos_printer("pty", takeover=True)
        cupsd.add_queue("Busy", f"serial:{printer.sim.endpoint}")
        cupsd.submit_job("Busy")
        assert cupsd.wait_for_state("Busy", "printing"), cupsd.log_tail()
        r = cli("check", via=printer)
        expect_error(r, EXIT_FAILED, "error open: Can't open port and Printer is disconnected")
        lines = r.err.splitlines()
        assert lines[-2] == f"printer queue Busy is printing on {printer.sim.endpoint}", r.describe()
        assert cupsd.queue_state("Busy")[0] == "printing"
        assert printer.sim.received() == b""  # the port was never opened

    @pytest.mark.parametrize("next_command", ("connection", "restore-queues"))
    def test_a_killed_check_leaves_the_queue_to_the_next_start(self, cli, cupsd, pos_printer, next_command):
        printer = pos_printer("pty", *SLOW, takeover=True)
        cupsd.add_queue("Orphan", f"serial:{printer.sim.endpoint}")
        process = cli.spawn("check", via=printer)
        state, message = wait_until_stopped(cupsd, "Orphan", process)
        process.send_signal(signal.SIGKILL)
        process.communicate(timeout=10)
        assert state == "stopped"
        assert cupsd.queue_state("Orphan") == ("stopped", message)  # nobody gave it back
        args = ("--port", "COM2", "connection") if next_command == "connection" else ("restore-queues",)
        r = cli(*args)
        assert r.rc == EXIT_OK, r.describe()
        if next_command == "restore-queues":
            assert r.out == "resumed Orphan\n"
        else:
            assert "status: printer queue Orphan resumed: an earlier run had stopped it and ended\n" in r.err
        assert cupsd.queue_state("Orphan")[0] == "idle"
        # Done once: the next start has nothing left to resume.
        assert cli("restore-queues").out == ""

    def test_a_stop_signal_mid_check_gives_the_queue_back(self, cli, cupsd, pos_printer):
        printer = pos_printer("pty", *SLOW, takeover=True)
        cupsd.add_queue("Interrupted", f"serial:{printer.sim.endpoint}")
        process = cli.spawn("check", via=printer)
        state, _ = wait_until_stopped(cupsd, "Interrupted", process)
        process.send_signal(signal.SIGTERM)
        rc, _, err = finish(process)
        assert state == "stopped"
        assert rc == 128 + signal.SIGTERM, err
        assert cupsd.queue_state("Interrupted")[0] == "idle"

    def test_no_takeover_and_no_scheduler(self, telvara_cli, cli, cupsd, pos_printer, tmp_path):
        printer = pos_printer("pty", takeover=True)
        cupsd.add_queue("Untouched", f"serial:{printer.sim.endpoint}")
        process = cli.spawn("--no-takeover", "check", via=printer)
        # No watching needed: the queue must never leave idle.
        states = set()
        while process.poll() is None:
            states.add(cupsd.queue_state("Untouched")[0])
            time.sleep(0.05)
        rc, _, err = finish(process)
        assert rc == EXIT_OK, err
        assert states <= {"idle"}
        r = telvara_cli("check", via=printer, env={"CUPS_SERVER": str(tmp_path / "gone.sock")})
        assert r.rc == EXIT_OK, r.describe()
        warnings = [line for line in r.err.splitlines() if line != "status: Printer is connected."]
        assert len(warnings) == 1 and warnings[0].startswith("status: "), r.describe()
        assert "going on" in warnings[0]


class TestTelvaraSpoolerPresets:
    @pytest.mark.parametrize("uri, expected", [
        ("serial:/dev/ttyUSB0?baud=19200+bits=7+parity=even+flow=soft+stop=2",
         "interface: serial\nport: /dev/ttyUSB0\ndevice: /dev/ttyUSB0\nbaud: 19200\ndata-bits: 7\n"
         "parity: even\nstop-bits: 2\nflow: xonxoff\n"),
        ("parallel:/dev/lp0",
         "interface: parallel\nport: /dev/lp0\ndevice: /dev/lp0\nbaud: 9600\ndata-bits: 8\n"
         "parity: none\nstop-bits: 1\nflow: hardware\n"),
        ("socket://127.0.0.1:9101",
         "interface: ethernet\nport: 127.0.0.1\naddress: 127.0.0.1\ntcp-port: 9101\n"),
        ("socket://127.0.0.2",
         "interface: ethernet\nport: 127.0.0.2\naddress: 127.0.0.2\ntcp-port: 9100\n"),
    ])
    def test_a_queue_presets_the_connection(self, cli, cupsd, uri, expected):
        cupsd.add_queue("Preset_Queue", uri)
        r = cli("--printer", "preset_queue", "connection")  # the scheduler's names ignore case
        assert r.rc == EXIT_OK, r.describe()
        assert r.out == expected
        assert r.err == ""

    def test_the_custom_entry_reads_the_registry_store(self, cli, cupsd, registry):
        registry.write_text(reg_text("HKEY_LOCAL_MACHINE\\SOFTWARE\\QUELLIX\\KTP-M880\\PSP\\Custom",
                                     {"Port": "COM3:", "BaudRate": 38400, "DataBits": 7, "Parity": 1,
                                      "StopBits": 2, "FlowControl": 2}))
        # A queue of the same name does not count.
        cupsd.add_queue("Custom_KTP-M880", "parallel:/dev/lp0")
        r = cli("--printer", "Custom_KTP-M880", "connection")
        assert r.rc == EXIT_OK, r.describe()
        assert r.out == ("interface: serial\nport: COM3\ndevice: /dev/ttyS2\nbaud: 38400\ndata-bits: 7\n"
                         "parity: odd\nstop-bits: 2\nflow: none\n")

    def test_unusable_queues_keep_the_defaults_with_a_notice(self, cli, cupsd):
        # A serial URI without a device: the scheduler takes it, nothing can use it.
        cupsd.add_queue("Pathless_Queue", "serial:?baud=9600")
        for name in ("Pathless_Queue", "No_Such_Queue"):
            r = cli("--interface", "ethernet", "--printer", name, "connection")
            assert r.rc == EXIT_OK, r.describe()
            assert r.out == "interface: ethernet\nport: 192.168.192.123\naddress: 192.168.192.123\ntcp-port: 9100\n"
            assert r.err.startswith("status: ") and name in r.err and "defaults" in r.err, r.describe()
