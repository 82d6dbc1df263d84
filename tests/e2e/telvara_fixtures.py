"""Fixtures for the telvara-cli suites: a POS printer (printer-sim
--personality pos) over a pseudo-terminal, loopback TCP, a USB printer node
in a fake device tree and a parallel node (dev/lpN) in a fake device tree.

The binary comes from the environment (ctest sets it):
  TELVARA_CLI   telvara-cli
"""

import pathlib

import pytest

from conftest import Cli, Connection, binary, make_usb_tree

# The USB ids the program lists: the maker's vendor and its two models.
POS_VENDOR = "2e1a"
POS_PRODUCTS = {"KTP-M880": "0b16", "KTP-M882": "0b23"}

# What the connection check sends, in order.
CHECK_STREAM = bytes.fromhex("1b40" "1b3d01" "1d6100" "1d4903" "1d4942" "1d4943")
SELF_TEST = bytes.fromhex("1d28410200" "0102")


@pytest.fixture
def telvara_cli(tmp_path, monkeypatch) -> Cli:
    # Never the machine's own print spooler: a scheduler socket that does not
    # exist, unless a suite's private scheduler (requested after this) points
    # CUPS_SERVER at itself.
    monkeypatch.setenv("CUPS_SERVER", str(tmp_path / "no-scheduler.sock"))
    return Cli(binary("TELVARA_CLI"))


def make_parallel_tree(root: pathlib.Path, minor=0) -> pathlib.Path:
    """A fake device tree whose dev/lp<minor> the caller points at the
    simulator; LPT<minor+1> names it."""
    (root / "dev").mkdir(parents=True, exist_ok=True)
    (root / "sys").mkdir(parents=True, exist_ok=True)
    return root / f"dev/lp{minor}"


@pytest.fixture
def pos_printer(printer_sim, tmp_path):
    """Factory: pos_printer(via, *sim_args, model="KTP-M880", capture=True,
    takeover=False) starts a POS printer reached over `via` ("pty", "tcp",
    "usb" or "parallel") and returns the Connection telvara-cli needs. Serial
    and parallel connections leave the print spooler alone (--no-takeover)
    unless `takeover`: the spooler suite covers the takeover against its own
    scheduler, and there is none here to stop queues on."""
    count = [0]

    def connect(via, *sim_args, model="KTP-M880", capture=True, product=None, takeover=False) -> Connection:
        pos = ["--personality", "pos", "--model", model]
        spooler = [] if takeover else ["--no-takeover"]
        count[0] += 1
        if via == "pty":
            sim = printer_sim("--pty", *pos, *sim_args, capture=capture)
            return Connection(sim, [*spooler, "--port", sim.endpoint])
        if via == "tcp":
            sim = printer_sim("--tcp", "0", *pos, *sim_args, capture=capture)
            return Connection(sim, ["--interface", "ethernet", "--port", "127.0.0.1", "--tcp-port", sim.endpoint])
        root = tmp_path / f"root{count[0]}"
        if via == "usb":
            node = make_usb_tree(root, vendor=POS_VENDOR, product=product or POS_PRODUCTS[model])
            sim = printer_sim("--pty", *pos, *sim_args, "--link", node, capture=capture)
            prefix = "M882:" if model == "KTP-M882" else "M880:"
            return Connection(sim, ["--interface", "usb", "--port", prefix + str(node)],
                              {"QUELLIX_DEVICE_ROOT": str(root)})
        if via == "parallel":
            node = make_parallel_tree(root)
            sim = printer_sim("--pty", *pos, *sim_args, "--link", node, capture=capture)
            return Connection(sim, [*spooler, "--interface", "parallel", "--port", "LPT1"],
                              {"QUELLIX_DEVICE_ROOT": str(root)})
        raise ValueError(via)

    return connect
