"""corvane-cli nv list / download / print / delete against printer-sim's NV
memory, for a key-code printer over a pseudo-terminal and an indexed printer
over TCP: what the simulator stores equals what nv convert writes for the
same files, and refusals reach no printer."""

import struct
import time
import zlib

import pytest

from conftest import EXIT_FAILED, EXIT_OK, EXIT_USAGE, expect_error
from test_corvane_cli_nv import bmp24, logo

KEYED = ("--model", "KMP-Z400", "--version", "_VER V1.04")
INDEXED = ("--model", "KMP-Z400", "--version", "_B01.00")


def report_pairs(sim):
    text = sim.report.read_text() if sim.report.exists() else ""
    return [tuple(line.split(": ", 1)) for line in text.splitlines() if ": " in line]


def settled(sim, timeout=10.0):
    """The report once it has stood still for a moment."""
    deadline = time.monotonic() + timeout
    last, since = None, time.monotonic()
    while True:
        pairs = report_pairs(sim)
        if pairs != last:
            last, since = pairs, time.monotonic()
        elif time.monotonic() - since > 0.3:
            return pairs
        if time.monotonic() > deadline:
            pytest.fail("the simulator's report kept changing")
        time.sleep(0.05)


def nv_images(pairs):
    return [(k[len("nv.image."):], v) for k, v in pairs if k.startswith("nv.image.")]


def prints(pairs):
    return [v for k, v in pairs if k == "nv.print"]


def rasters_from_prn(data: bytes, indexed: bool):
    """(w, h, crc32) of every image in a command file."""
    out = []
    if indexed:
        assert data[:3] == b"\x08\x5e\x37"
        pos = 9
        while pos < len(data):
            w, h = struct.unpack("<HH", data[pos + 1:pos + 5])
            n = (w + 7) // 8 * h
            out.append((w, h, zlib.crc32(data[pos + 6:pos + 6 + n])))
            pos += 6 + n
    else:
        pos = 0
        while pos < len(data):
            total = struct.unpack("<H", data[pos + 3:pos + 5])[0] + 5
            w, h = struct.unpack("<HH", data[pos + 11:pos + 15])
            out.append((w, h, zlib.crc32(data[pos + 16:pos + total])))
            pos += total
    return out


def stored(pairs):
    out = []
    for _, v in nv_images(pairs):
        size, _, crc = v.split(" ")
        w, h = size.split("x")
        out.append((int(w), int(h), int(crc, 16)))
    return out


@pytest.fixture
def logos(tmp_path):
    a = tmp_path / "shop.bmp"
    a.write_bytes(bmp24(logo(500, 60)))
    b = tmp_path / "footer.bmp"
    b.write_bytes(bmp24(logo(120, 17)))
    return a, b


@pytest.mark.parametrize("family,link,sim_args", [("key-code", "pty", KEYED), ("indexed", "tcp", INDEXED)])
class TestRoundTrip:
    def test_list_download_print_delete(self, corvane_cli, transports, logos, tmp_path, family, link, sim_args):
        indexed = family == "indexed"
        p = transports[link](*sim_args, capture=True)
        r = corvane_cli("nv", "list", via=p)
        assert r.rc == EXIT_OK, r.describe()
        assert r.out.splitlines() == [f"family: {family}", "count: 0"]

        r = corvane_cli("nv", "download", "--brightness", "20", "--brightness", "0", *logos, via=p, timeout=120)
        assert r.rc == EXIT_OK, r.describe()
        lines = r.out.splitlines()
        assert lines[0].startswith("image 1: shop.bmp 500x60 -> 384x46 ")
        assert ("index 0" if indexed else "key 10") in lines[0]
        assert ("index 1" if indexed else "key 11") in lines[1]
        assert lines[2].startswith("download: 2 images, ")
        addresses = ["00", "01"] if indexed else ["10", "11"]
        assert lines[3:] == [f"family: {family}", "count: 2"] + [f"address: {a}" for a in addresses]

        prn = tmp_path / "same.prn"
        c = corvane_cli("nv", "convert", "--family", family, "--brightness", "20", "--brightness", "0",
                        "--out", prn, *logos)
        assert c.rc == EXIT_OK, c.describe()
        pairs = settled(p.sim)
        assert stored(pairs) == rasters_from_prn(prn.read_bytes(), indexed)
        if not indexed:
            assert [label for label, _ in nv_images(pairs)] == ["10", "11"]

        r = corvane_cli("nv", "print", *(["--index", "1"] if indexed else ["11"]), via=p)
        assert r.rc == EXIT_OK, r.describe()
        r = corvane_cli("nv", "print", "--all", via=p)
        assert r.rc == EXIT_OK, r.describe()
        assert len(prints(settled(p.sim))) == 3

        if not indexed:
            r = corvane_cli("nv", "delete", "10", via=p)
            assert r.rc == EXIT_OK, r.describe()
            assert r.out.splitlines() == ["family: key-code", "count: 1", "address: 11"]
        r = corvane_cli("nv", "delete", "--all", via=p)
        assert r.rc == EXIT_OK, r.describe()
        assert r.out.splitlines() == [f"family: {family}", "count: 0"]
        assert nv_images(settled(p.sim)) == []


class TestRefusals:
    def test_a_key_the_printer_holds_is_refused_before_any_image_is_sent(self, corvane_cli, pty_printer, logos):
        p = pty_printer(*KEYED, "--nv-key", "10=8x1", capture=True)
        r = corvane_cli("nv", "download", "--key", "10", "--key", "20", *logos, via=p)
        expect_error(r, EXIT_FAILED, "error key: Exists address!")
        assert [label for label, _ in nv_images(settled(p.sim))] == ["10"]
        # Automatic keys go around it.
        r = corvane_cli("nv", "download", logos[0], via=p, timeout=120)
        assert r.rc == EXIT_OK, r.describe()
        assert "key 11" in r.out.splitlines()[0]

    def test_operations_of_the_other_family(self, corvane_cli, pty_printer):
        keyed = pty_printer(*KEYED, capture=True)
        expect_error(corvane_cli("nv", "print", "--index", "0", via=keyed), EXIT_FAILED,
                     "error unsupported: Not supported operation!")
        indexed = pty_printer(*INDEXED, capture=True)
        expect_error(corvane_cli("nv", "delete", "AB", via=indexed), EXIT_FAILED,
                     "error unsupported: Not supported operation!")
        expect_error(corvane_cli("nv", "print", "AB", via=indexed), EXIT_FAILED,
                     "error unsupported: Not supported operation!")
        assert prints(settled(keyed.sim)) == [] and prints(settled(indexed.sim)) == []

    def test_usage(self, corvane_cli, pty_printer, logos):
        assert corvane_cli("nv", "print", "--port", "/dev/null").rc == EXIT_USAGE
        assert corvane_cli("nv", "delete", "--index", "1", "--port", "/dev/null").rc == EXIT_USAGE
        assert corvane_cli("nv", "download", "--family", "indexed", "--port", "/dev/null", logos[0]).rc == EXIT_USAGE

    def test_a_silent_port_fails_with_the_job_message(self, corvane_cli, tmp_path):
        r = corvane_cli("nv", "list", "--port", tmp_path / "no-such-tty")
        expect_error(r, EXIT_FAILED, "error open: Port open error!")
