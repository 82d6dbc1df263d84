"""corvane-cli nv convert / nv preview without a printer: the command bytes
are checked against a reference written here from the printer's command
tables (shrink by AND, threshold, brightness mask, MSB-first packing), for
both command families, and every refusal leaves the output file alone."""

import struct
import zlib

import pytest

from conftest import EXIT_FAILED, EXIT_OK, EXIT_USAGE, expect_error

THRESHOLDS = [16, 8, 14, 6, 12, 4, 10, 2, 13, 5, 15, 7, 9, 1, 11, 3]


def bmp24(pixels, top_down=False) -> bytes:
    """A 24-bit bitmap of rows of (r, g, b), top row first."""
    h, w = len(pixels), len(pixels[0])
    stride = (w * 3 + 3) & ~3
    data = bytearray()
    rows = pixels if top_down else list(reversed(pixels))
    for row in rows:
        line = bytearray()
        for r, g, b in row:
            line += bytes((b, g, r))
        data += line + bytes(stride - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, -h if top_down else h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + bytes(data)


def bmp8(pixels, palette) -> bytes:
    """An 8-bit palette bitmap of rows of indices, top row first."""
    h, w = len(pixels), len(pixels[0])
    stride = (w + 3) & ~3
    data = b"".join(bytes(row) + bytes(stride - w) for row in reversed(pixels))
    pal = b"".join(bytes((b, g, r, 0)) for r, g, b in palette)
    offset = 54 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, len(data), 0, 0, len(palette), 0)
    return header + info + pal + data


def raster(pixels, limit, brightness):
    """(w, h, bytes) as the printer stores the picture."""
    H, W = len(pixels), len(pixels[0])
    w = min(W, limit)
    h = H * w // W
    acc = [[0xFFFFFF] * w for _ in range(h)]

    def target(s, src, dst):
        return -(-((2 * s + 1) * dst) // (2 * src)) - 1

    for sy in range(H):
        if h == 0:
            break
        dy = target(sy, H, h)
        for sx in range(W):
            r, g, b = pixels[sy][sx]
            acc[dy][target(sx, W, w)] &= r | (g << 8) | (b << 16)
    out = bytearray()
    row_bytes = (w + 7) // 8
    for y in range(h):
        row = bytearray(row_bytes)
        for x in range(w):
            c = acc[y][x]
            dark = not ((c & 0xFF) > 225 and ((c >> 8) & 0xFF) > 225 and ((c >> 16) & 0xFF) > 225)
            if brightness > 0 and THRESHOLDS[(y % 4) + 4 * (x % 4)] * 100 < 16 * brightness:
                dark = False
            if dark:
                row[x // 8] |= 0x80 >> (x % 8)
        out += row
    return w, h, bytes(out)


def define_keyed(key: bytes, w, h, data) -> bytes:
    total = 16 + len(data)
    return (b"\x1d\x28\x4c" + struct.pack("<H", total - 5) + b"\x30\x43\x30" + key + b"\x01"
            + struct.pack("<HH", w, h) + b"\x31" + data)


def block_indexed(w, h, data) -> bytes:
    return b"\x01" + struct.pack("<HH", w, h) + b"\x31" + data


def logo(w, h):
    """A picture with edges, a thin line, grey levels and a light area."""
    pix = []
    for y in range(h):
        row = []
        for x in range(w):
            if x == w // 3:
                row.append((0, 0, 0))
            elif (x // 7 + y // 5) % 2:
                row.append((120, 200, 240))
            elif y > h * 2 // 3:
                row.append((230, 240, 226))
            else:
                row.append((255, 255, 255))
        pix.append(row)
    return pix


@pytest.fixture
def files(tmp_path):
    def write(name, data: bytes):
        path = tmp_path / name
        path.write_bytes(data)
        return path
    return write


class TestConvert:
    def test_key_code_commands_with_auto_keys_and_per_file_brightness(self, corvane_cli, files, tmp_path):
        a, b = logo(500, 120), logo(40, 9)
        pa, pb = files("a.bmp", bmp24(a)), files("b.bmp", bmp24(b, top_down=True))
        out = tmp_path / "logos.prn"
        r = corvane_cli("nv", "convert", "--brightness", "30", "--brightness", "0", "--out", out, pa, pb)
        assert r.rc == EXIT_OK, r.describe()
        wa, ha, da = raster(a, 384, 30)
        wb, hb, db = raster(b, 384, 0)
        expected = define_keyed(b"10", wa, ha, da) + define_keyed(b"11", wb, hb, db)
        assert out.read_bytes() == expected
        assert r.out.splitlines() == [
            f"image 1: a.bmp 500x120 -> {wa}x{ha} key 10 {len(da)} bytes, estimate {48 * 120}",
            f"image 2: b.bmp 40x9 -> 40x9 key 11 {len(db)} bytes, estimate {5 * 9}",
            f"saved: {out} {len(expected)} bytes",
        ]

    def test_typed_keys_with_escapes_and_a_wide_model(self, corvane_cli, files, tmp_path):
        pic = logo(1000, 30)
        p = files("wide.bmp", bmp24(pic))
        out = tmp_path / "wide.prn"
        r = corvane_cli("nv", "convert", "--model", "KMP-Z800", "--key", "\\x41\\\\", "--out", out, p)
        assert r.rc == EXIT_OK, r.describe()
        w, h, data = raster(pic, 832, 0)
        assert (w, h) == (832, 24)
        assert out.read_bytes() == define_keyed(b"A\\", w, h, data)
        assert "key A\\\\ " in r.out   # the key escaped as all printer text is

    def test_indexed_family_is_one_define_all_with_384_dots_even_on_wide_models(self, corvane_cli, files, tmp_path):
        a, b = logo(1000, 50), logo(17, 3)
        palette = [(0, 0, 0), (255, 255, 255), (226, 226, 225), (227, 227, 227)]
        idx = [[(x * 3 + y) % 4 for x in range(17)] for y in range(3)]
        pb = files("pal.bmp", bmp8(idx, palette))
        pa = files("a.bmp", bmp24(a))
        out = tmp_path / "set.prn"
        r = corvane_cli("nv", "convert", "--model", "800", "--family", "indexed", "--out", out, pa, pb)
        assert r.rc == EXIT_OK, r.describe()
        wa, ha, da = raster(a, 384, 0)
        wb, hb, db = raster([[palette[i] for i in row] for row in idx], 384, 0)
        blocks = block_indexed(wa, ha, da) + block_indexed(wb, hb, db)
        assert out.read_bytes() == b"\x08\x5e\x37" + struct.pack("<I", len(blocks) + 2) + b"\x43\x02" + blocks
        assert "index 0" in r.out.splitlines()[0] and "index 1" in r.out.splitlines()[1]

    def test_a_bitmap_too_flat_for_one_row_still_makes_a_header(self, corvane_cli, files, tmp_path):
        p = files("flat.bmp", bmp24([[(0, 0, 0)] * 2000] * 3))
        out = tmp_path / "flat.prn"
        r = corvane_cli("nv", "convert", "--out", out, p)
        assert r.rc == EXIT_OK, r.describe()
        assert out.read_bytes() == define_keyed(b"10", 384, 0, b"")

    def test_json(self, corvane_cli, files, tmp_path):
        import json
        p = files("a.bmp", bmp24(logo(20, 4)))
        r = corvane_cli("--json", "nv", "convert", "--out", tmp_path / "x.prn", p)
        assert r.rc == EXIT_OK, r.describe()
        doc = json.loads(r.out)
        assert doc["ok"] is True and doc["image_1"].startswith("a.bmp 20x4 -> 20x4 key 10")


class TestPreview:
    def test_pbm_is_the_raster_and_png_the_same_dots(self, corvane_cli, files, tmp_path):
        pic = logo(400, 41)
        p = files("p.bmp", bmp24(pic))
        w, h, data = raster(pic, 384, 50)
        r = corvane_cli("nv", "preview", "--brightness", "50", "--out", tmp_path / "p.pbm", p)
        assert r.rc == EXIT_OK, r.describe()
        assert (tmp_path / "p.pbm").read_bytes() == f"P4\n{w} {h}\n".encode() + data

        r = corvane_cli("nv", "preview", "--brightness", "50", "--out", tmp_path / "p.png", p)
        assert r.rc == EXIT_OK, r.describe()
        png = (tmp_path / "p.png").read_bytes()
        assert png[:8] == b"\x89PNG\r\n\x1a\n"
        pos, idat, ihdr = 8, b"", None
        while pos < len(png):
            length, kind = struct.unpack(">I4s", png[pos:pos + 8])
            body = png[pos + 8:pos + 8 + length]
            assert zlib.crc32(kind + body) == struct.unpack(">I", png[pos + 8 + length:pos + 12 + length])[0]
            if kind == b"IHDR":
                ihdr = struct.unpack(">IIBBBBB", body)
            elif kind == b"IDAT":
                idat += body
            pos += 12 + length
        assert ihdr == (w, h, 1, 0, 0, 0, 0)
        rows = zlib.decompress(idat)
        rb = (w + 7) // 8
        for y in range(h):
            assert rows[y * (rb + 1)] == 0
            line = rows[y * (rb + 1) + 1:(y + 1) * (rb + 1)]
            assert bytes(~c & 0xFF for c in line) == data[y * rb:(y + 1) * rb]


class TestRefusals:
    def test_unloadable_files_and_limits_leave_the_output_alone(self, corvane_cli, files, tmp_path):
        out = tmp_path / "keep.prn"
        out.write_bytes(b"previous")
        good = files("good.bmp", bmp24(logo(16, 4)))
        text = files("notes.bmp", b"this is not a bitmap at all, just text" * 3)
        cut = files("cut.bmp", bmp24(logo(64, 64))[:500])

        for bad in (text, cut, tmp_path / "missing.bmp"):
            r = corvane_cli("nv", "convert", "--out", out, good, bad)
            expect_error(r, EXIT_FAILED, "error file: Failed to load image file!")
            assert str(bad) in r.err
        # 384 x 5462 is 262176 estimated bytes: over the 262144 capacity.
        big = files("big.bmp", bmp24([[(255, 255, 255)] * 384] * 5462))
        expect_error(corvane_cli("nv", "convert", "--out", out, big), EXIT_FAILED,
                     "error 401: NV image area too small!")
        # One key-code image carries at most 65524 raster bytes: 384 x 1366 is 65568.
        tall = files("tall.bmp", bmp24([[(255, 255, 255)] * 384] * 1366))
        r = corvane_cli("nv", "convert", "--out", out, tall)
        expect_error(r, EXIT_FAILED, "error too-large: Image is too large for one NV image!")
        assert "65524" in r.err
        # The indexed family has no such limit.
        assert corvane_cli("nv", "convert", "--family", "indexed", "--out", tmp_path / "ok.prn", tall).rc == EXIT_OK
        assert out.read_bytes() == b"previous"

    @pytest.mark.parametrize("args,problem", [
        (["--brightness", "1", "--brightness", "2"], "--brightness given 2 times for 3 files"),
        (["--key", "AA"], "--key given 1 times for 3 files"),
        (["--key", "AA", "--key", "BB", "--key", "AA"], "given twice"),
        (["--key", "A", "--key", "BB", "--key", "CC"], "exactly two"),
        (["--key", "\\x00A", "--key", "BB", "--key", "CC"], "NUL"),
        (["--key", "\\xZZ", "--key", "BB", "--key", "CC"], "backslash"),
        (["--model", "KMP-Z999"], "unknown model"),
        (["--brightness", "101"], "brightness"),
    ])
    def test_bad_values_are_usage_errors(self, corvane_cli, files, tmp_path, args, problem):
        paths = [files(f"{n}.bmp", bmp24(logo(8, 2))) for n in "abc"]
        out = tmp_path / "x.prn"
        r = corvane_cli("nv", "convert", *args, "--out", out, *paths)
        assert r.rc == EXIT_USAGE, r.describe()
        assert problem in r.err
        assert not out.exists()

    def test_preview_needs_a_known_picture_format(self, corvane_cli, files, tmp_path):
        p = files("a.bmp", bmp24(logo(8, 2)))
        r = corvane_cli("nv", "preview", "--out", tmp_path / "a.gif", p)
        assert r.rc == EXIT_USAGE and ".pbm or .png" in r.err
