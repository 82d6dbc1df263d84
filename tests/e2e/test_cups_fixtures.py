"""The private scheduler itself: it answers only on its own socket, takes
serial and parallel queues on any device path, keeps a state message while
a queue is stopped, and can hold a queue busy."""

import os
import pty

from cups_fixtures import MAX_SOCKET_PATH


class TestPrivateCupsd:
    def test_listens_only_on_its_own_socket(self, cupsd):
        assert os.environ["CUPS_SERVER"] == cupsd.socket
        assert len(cupsd.socket) <= MAX_SOCKET_PATH
        conf = (cupsd.root / "cupsd.conf").read_text()
        listens = [line for line in conf.splitlines() if line.startswith(("Listen", "Port"))]
        assert listens == [f"Listen {cupsd.socket}"]
        files = (cupsd.root / "cups-files.conf").read_text()
        assert "/etc/cups" not in files and "/var/" not in files

    def test_queues_on_a_pty_and_a_parallel_node_keep_their_uris(self, cupsd):
        master, slave = pty.openpty()
        try:
            path = os.ttyname(slave)
            cupsd.add_queue("Fixture_Serial", f"serial:{path}?baud=9600+bits=8")
            cupsd.add_queue("Fixture_Parallel", "parallel:/dev/lp0")
            assert cupsd.device_uri("Fixture_Serial") == f"serial:{path}?baud=9600+bits=8"
            assert cupsd.device_uri("Fixture_Parallel") == "parallel:/dev/lp0"
            assert cupsd.queue_state("Fixture_Serial")[0] == "idle"
        finally:
            os.close(master)
            os.close(slave)

    def test_a_stopped_queue_keeps_its_message_and_a_job_keeps_a_queue_printing(self, cupsd):
        cupsd.add_queue("Fixture_Stop", "serial:/dev/ttyS0")
        cupsd.pause("Fixture_Stop", "Port in use by Telvara (pid 1 on here)")
        assert cupsd.queue_state("Fixture_Stop") == ("stopped", "Port in use by Telvara (pid 1 on here)")
        cupsd.resume("Fixture_Stop")
        assert cupsd.queue_state("Fixture_Stop")[0] == "idle"

        cupsd.add_queue("Fixture_Busy", "serial:/dev/ttyS1")
        cupsd.submit_job("Fixture_Busy")
        assert cupsd.wait_for_state("Fixture_Busy", "printing")
        cupsd.cancel_jobs("Fixture_Busy")
        assert cupsd.wait_for_state("Fixture_Busy", "idle")
