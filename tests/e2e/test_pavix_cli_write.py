"""pavix-cli writing to printer-sim's network board over a pseudo-terminal:
a configuration edited from `config read --output` lands as the exact
603-byte record, refused files send nothing, and certificates of each type
arrive byte-exact in checksummed chunks, within the retry budget or failing
after exactly the sends the budget allows."""

import stat
import os

import pytest

from conftest import (BOARD_OPENER, EXIT_FAILED, EXIT_OK, EXIT_USAGE, board_frame, board_message,
                      expect_error)

SYS_REQ = board_frame(board_message("__[I_F]__[SYS_REQ]"))
IF_GET = board_frame(board_message("__[I_F]__[IF__GET]"))
READ = BOARD_OPENER + SYS_REQ + BOARD_OPENER + IF_GET


def field(r: bytearray, offset: int, width: int, value: bytes):
    assert len(value) <= width
    r[offset:offset + width] = value.ljust(width, b"\0")


def expected_default_record(ssid: bytes, psk: bytes) -> bytes:
    """The simulator's default board with a new SSID and PSK, laid out by
    hand from the field table; every byte not listed is zero."""
    r = bytearray(603)
    field(r, 0, 64, b"QX Mobile Printer")
    r[65] = 0
    r[66] = 0
    r[67:71] = bytes([192, 168, 0, 100])
    r[71:75] = bytes([255, 255, 255, 0])
    r[75:79] = bytes([192, 168, 0, 1])
    field(r, 79, 32, ssid)
    r[111] = 3
    r[112] = 4
    field(r, 217, 64, psk)
    r[281] = 11
    r[282] = 5
    field(r, 347, 32, b"admin")
    field(r, 379, 32, b"admin123")
    r[411:413] = (9100).to_bytes(2, "big")
    r[544:548] = bytes([1, 0, 1, 1])
    field(r, 549, 16, b"private")
    field(r, 565, 16, b"public")
    field(r, 581, 16, b"public")
    r[597:601] = bytes([192, 168, 0, 10])
    r[601:603] = (300).to_bytes(2, "big")
    return bytes(r)


def cert_crc32(data: bytes) -> int:
    """Polynomial 04C11DB7, MSB first, initial 0, no final XOR."""
    crc = 0
    for b in data:
        crc ^= b << 24
        for _ in range(8):
            crc = ((crc << 1) ^ 0x04C11DB7) if crc & 0x80000000 else crc << 1
            crc &= 0xFFFFFFFF
    return crc


def chunk_frame(last: bool, offset: int, data: bytes) -> bytes:
    tag = b"__[I_F]__[CERTEND]" if last else b"__[I_F]__[FW_CERT]"
    m = tag + offset.to_bytes(4, "little") + len(data).to_bytes(4, "little") + data
    return board_frame(m + cert_crc32(m).to_bytes(4, "big"))


def start_request(code: int) -> bytes:
    return bytes([0x1F, 0x57, 0x43, code, 0x1D, 0x1F, 0x03])


def pem(size: int, fill: bytes = b"A") -> bytes:
    head, tail = b"-----BEGIN ", b"-----END\n"
    assert size >= len(head) + len(tail) - 1
    body = fill * max(0, size - len(head) - len(tail))
    return (head + body + tail)[:size]


def out_lines(result):
    return result.out.rstrip("\n").split("\n") if result.out else []


@pytest.fixture
def board_with_outputs(network_board, tmp_path):
    """A board writing its stored record to record.out and certificates
    into certs/."""
    def start(*args, **kwargs):
        certs = tmp_path / "certs"
        certs.mkdir(exist_ok=True)
        board = network_board("--record-out", str(tmp_path / "record.out"), "--cert-dir", str(certs), *args,
                              **kwargs)
        return board, tmp_path / "record.out", certs
    return start


class TestConfigWrite:
    def test_edited_file_lands_as_the_exact_record(self, pavix_cli, board_with_outputs, tmp_path):
        board, record_out, _ = board_with_outputs()
        conf = tmp_path / "board.conf"
        assert pavix_cli("config", "read", "--output", conf, via=board).rc == EXIT_OK
        text = conf.read_text()
        text = text.replace("SSID: quellix-lab", "SSID: store-12 wlan")
        text = text.replace("PSK Key: printer-psk-2025", "PSK Key: new\\x20secret\\\\2026")
        conf.write_text("# edited for store 12\n\n" + text)

        result = pavix_cli("config", "write", conf, via=board)
        assert result.rc == EXIT_OK, result.describe()
        want = expected_default_record(b"store-12 wlan", b"new secret\\2026")
        board.sim.wait_field("board.frames.if-set", "1")
        assert record_out.read_bytes() == want
        assert board.sim.report_fields()["board.record"] == want.hex()
        set_frame = board_frame(board_message("__[I_F]__[IF__SET]", want))
        assert len(set_frame) == 1252
        board.sim.assert_received(READ + READ + BOARD_OPENER + set_frame)

        lines = out_lines(result)
        assert lines[:3] == ["Completed a configuration.", "Reset the printer.", "No\tName\tValue"]
        rows = lines[3:]
        assert len(rows) == 27
        assert rows[14] == "15\tSSID\tstore-12 wlan"
        assert rows[13] == "14\tAdhoc Channel\t11"
        assert rows[22] == "23\tWEP Key\t" and rows[23] == "24\tPSK Key\tnew secret\\\\2026"
        assert rows[24] == "25\tEAP Mode\tNONE"

    def test_unlisted_bytes_go_out_as_zero(self, pavix_cli, board_with_outputs, tmp_path):
        # A board whose record has junk where no field is: the write clears it.
        junk = bytearray(expected_default_record(b"quellix-lab", b"printer-psk-2025"))
        for i in [64] + list(range(413, 544)) + [548]:
            junk[i] = 0xEE
        board, record_out, _ = board_with_outputs(record=junk)
        conf = tmp_path / "only-ssid.conf"
        conf.write_text("SSID: fresh\n")
        result = pavix_cli("config", "write", conf, via=board)
        assert result.rc == EXIT_OK, result.describe()
        board.sim.wait_field("board.frames.if-set", "1")
        assert record_out.read_bytes() == expected_default_record(b"fresh", b"printer-psk-2025")

    @pytest.mark.parametrize("content, lines", [
        ("SSID: \n", ["Incorrect SSID. ", "Please insert SSID"]),
        ("User Password: \n", ["Incorrect User password. ", "Please insert user password !"]),
        ("Authentication: WPA2-PSK\nCryptograph: AES + TKIP\nPSK Key: \n",
         ["Incorrect PSK Key. ", "Please insert PSK Key"]),
        ("Authentication: Open System\nCryptograph: AES + TKIP\n",
         ["Cryptograph AES + TKIP cannot be used with authentication Open System."]),
        ("Authentication: Shared Key\nCryptograph: WEP128\nWEP Key: 123456\n",
         ["WEP Key is incorrect! WEP Key must be entered as 5, 13 characters or 10, 26 hexadecimal number."]),
    ])
    def test_refused_configuration_writes_nothing(self, pavix_cli, network_board, tmp_path, content, lines):
        board = network_board()
        conf = tmp_path / "bad.conf"
        conf.write_text(content)
        result = pavix_cli("config", "write", conf, via=board)
        assert result.rc == EXIT_USAGE, result.describe()
        err = result.err.split("\n")
        start = err.index(lines[0])
        assert err[start:start + len(lines)] == lines, result.describe()
        assert result.last_err_line().startswith("error refused: "), result.describe()
        board.sim.assert_received(READ)
        assert board.sim.report_fields()["board.frames.if-set"] == "0"

    @pytest.mark.parametrize("content, line", [
        ("SSID: a\nSsid: b\n", "line 2: unknown name 'Ssid'"),
        ("# x\nSSID: a\nSSID: b\n", "line 3: 'SSID' is given twice"),
    ])
    def test_bad_file_sends_nothing_at_all(self, pavix_cli, network_board, tmp_path, content, line):
        board = network_board()
        conf = tmp_path / "bad.conf"
        conf.write_text(content)
        result = pavix_cli("config", "write", conf, via=board)
        expect_error(result, EXIT_USAGE, f"error file: {conf}: {line}")
        board.sim.assert_received(b"")

    def test_dry_run_prints_the_rows_and_writes_nothing(self, pavix_cli, board_with_outputs, tmp_path):
        board, record_out, _ = board_with_outputs()
        conf = tmp_path / "adhoc.conf"
        conf.write_text("Network Mode: adhoc\nAuthentication: Open System\nCryptograph: NONE\n"
                        "Adhoc Channel: -\n")
        # Channel 0 in ad hoc mode is refused like the window refuses it...
        refused = pavix_cli("config", "write", conf, "--dry-run", via=board)
        assert refused.rc == EXIT_USAGE, refused.describe()
        assert "Incorrect Adhoc Number. " in refused.err.split("\n")
        # ... and channel 6 passes, printed but not written.
        conf.write_text(conf.read_text().replace("Adhoc Channel: -", "Adhoc Channel: 6"))
        result = pavix_cli("config", "write", conf, "--dry-run", via=board)
        assert result.rc == EXIT_OK, result.describe()
        lines = out_lines(result)
        assert lines[0] == "No\tName\tValue" and len(lines) == 28
        assert lines[13] == "13\tNetwork Mode\tAdhoc"
        assert lines[14] == "14\tAdhoc Channel\t6"
        assert lines[22] == "22\tCryptograph\tNONE"
        assert "Completed a configuration." not in result.out
        board.sim.assert_received(READ + READ)
        assert not record_out.exists()

    def test_board_refusing_the_write_is_a_failure(self, pavix_cli, network_board, tmp_path):
        board = network_board("--set-fails")
        conf = tmp_path / "same.conf"
        conf.write_text("SSID: other\n")
        result = pavix_cli("config", "write", conf, via=board)
        expect_error(result, EXIT_FAILED, "error write: Failed a configuration.")


class TestCertificateUpload:
    def test_each_type_lands_byte_exact(self, pavix_cli, board_with_outputs, tmp_path):
        board, _, certs = board_with_outputs()
        files = {"ca": pem(19), "client-key": pem(501, b"k"), "client-pem": pem(3071, b"p")}
        for kind, data in files.items():
            path = tmp_path / f"{kind}.pem"
            path.write_bytes(data)
            result = pavix_cli("cert", "upload", "--type", kind, path, via=board)
            assert result.rc == EXIT_OK, result.describe()
            assert out_lines(result) == ["Completed to upload the certification document.", "Reset the printer."]
            assert "progress" not in result.err, "no progress lines when stderr is not a terminal"
        for kind, data in files.items():
            assert (certs / f"{kind}.pem").read_bytes() == data
        fields = board.sim.report_fields()
        assert fields["board.cert.refused"] == "0"
        assert fields["board.cert.starts"] == "3"
        # 3 + 2 + 7 chunks (3071 = 6 x 500 + 71).
        assert fields["board.cert.chunks"] == "12"

    def test_nineteen_bytes_go_as_nine_nine_and_one(self, pavix_cli, network_board, tmp_path):
        board = network_board()
        data = b"-----BEGIN -----END"
        path = tmp_path / "tiny.pem"
        path.write_bytes(data)
        result = pavix_cli("cert", "upload", "--type", "client-pem", path, via=board)
        assert result.rc == EXIT_OK, result.describe()
        board.sim.assert_received(READ + start_request(0x83) + chunk_frame(False, 0, data[:9])
                                  + chunk_frame(False, 9, data[9:18]) + chunk_frame(True, 18, data[18:]))

    def test_garbage_within_the_budget_is_recovered(self, pavix_cli, board_with_outputs, tmp_path):
        board, _, certs = board_with_outputs("--cert-garbage", "19")
        data = pem(20)
        path = tmp_path / "ca.pem"
        path.write_bytes(data)
        result = pavix_cli("cert", "upload", path, via=board)
        assert result.rc == EXIT_OK, result.describe()
        assert (certs / "ca.pem").read_bytes() == data
        # "STRT" counts as a non-success, so the first chunk has 20 sends
        # left, the second (budget reset) 21: 19 garbage answers and the
        # accepted send, twice.
        fields = board.sim.report_fields()
        assert fields["board.cert.chunks"] == "40"
        assert fields["board.cert.garbage"] == "38"

    def test_persistent_garbage_fails_after_exactly_the_budget(self, pavix_cli, network_board, tmp_path):
        board = network_board("--cert-garbage", "1000")
        path = tmp_path / "ca.pem"
        path.write_bytes(pem(20))
        result = pavix_cli("cert", "upload", path, via=board)
        expect_error(result, EXIT_FAILED, "error upload: Failed to upload the certification document.")
        fields = board.sim.report_fields()
        # One start request, then the first chunk 20 times: 21 requests.
        assert fields["board.cert.starts"] == "1"
        assert fields["board.cert.chunks"] == "20"
        assert fields["board.cert.garbage"] == "20"
        assert "(21 requests sent, 0 bytes accepted)" in result.err
        chunk = chunk_frame(False, 0, pem(20)[:10])
        board.sim.assert_received(READ + start_request(0x81) + chunk * 20)

    def test_board_never_starting_gets_twenty_one_start_requests(self, pavix_cli, network_board, tmp_path):
        board = network_board("--cert-no-start")
        path = tmp_path / "key.pem"
        path.write_bytes(pem(40))
        result = pavix_cli("cert", "upload", "--type", "client-key", path, via=board)
        expect_error(result, EXIT_FAILED, "error upload: Failed to upload the certification document.")
        board.sim.assert_received(READ + start_request(0x82) * 21)

    def test_file_checks_refuse_before_anything_is_sent(self, pavix_cli, network_board, tmp_path):
        board = network_board()
        big = tmp_path / "big.pem"
        big.write_bytes(pem(3072))
        invalid = tmp_path / "invalid.pem"
        invalid.write_bytes(b"-----BEGIN-----END no space after BEGIN")
        fifo = tmp_path / "fifo"
        os.mkfifo(fifo)
        cases = [(big, "Certificate file size is max 3K."), (invalid, "Invalid certificate file."),
                 (fifo, "Error certificate file to read."), (tmp_path, "Error certificate file to read."),
                 (tmp_path / "missing.pem", "Error certificate file to read.")]
        for path, message in cases:
            result = pavix_cli("cert", "upload", "--type", "client-key", path, via=board)
            expect_error(result, EXIT_USAGE, f"error certificate: {message}")
        assert stat.S_ISFIFO(os.stat(fifo).st_mode)
        board.sim.assert_received(b"")
