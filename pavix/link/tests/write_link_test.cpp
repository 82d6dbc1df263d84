// Writing a configuration and the certificate exchange over the link, on a
// manual clock against the scripted fake board.
#include "pavix/link/IfLink.h"
#include "pavix/link/tests/board_fakes.h"

#include <gtest/gtest.h>

#include <string>

using namespace pavix;
using namespace pavix::testing;

namespace {

IfConfigRecord writtenRecord()
{
    IfConfigRecord r;
    r.printerName = "Counter 3";
    r.ipAddress = {10, 1, 2, 3};
    r.subnetMask = {255, 255, 0, 0};
    r.ssid = "store-wlan";
    r.authentication = 3;
    r.cryptograph = 4;
    r.pskKey = "correct horse";
    r.userId = "admin";
    r.userPassword = "pw";
    r.printerPort = 9100;
    r.inactivityTime = 0x0E10;
    return r;
}

Bytes sucFrame()
{
    return framed(BuildMessage(kTagIfSuc));
}

struct WriteLinkTest : ::testing::Test {
    platform::ManualClock clock{1000};
    FakePrinter printer{clock};
    FakeUsbTree tree;
    BoardDevices devices{printer, tree.roots};
    PrinterPort port{clock, devices};
    IfLink link{port};

    void SetUp() override
    {
        port.portName = "COM1";
        ASSERT_EQ(port.open(), OpenResult::Ok);
    }
};

TEST_F(WriteLinkTest, WriteSendsOpenerThenTheWholeIfSetFrame)
{
    scriptBoard(printer, {whole(openerAnswer()), whole(sucFrame(), 40)});
    const LinkResult r = link.WriteConfiguration(writtenRecord());
    ASSERT_TRUE(r.ok()) << DescribeLinkResult(r, 5000);
    ASSERT_EQ(printer.writes.size(), 2u);
    EXPECT_EQ(printer.writes[0], Bytes(kLinkOpener.begin(), kLinkOpener.end()));

    // The frame built by hand: header, hex of tag + 603 bytes + pad + sum, 03.
    const Bytes& frame = printer.writes[1];
    ASSERT_EQ(frame.size(), 1252u);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 3), (Bytes{0x1F, 0x57, 0x43}));
    EXPECT_EQ(frame.back(), 0x03);
    const std::string hex(frame.begin() + 3, frame.end() - 1);
    EXPECT_EQ(hex.substr(0, 36), "5f5f5b495f465d5f5f5b49465f5f5345545d");
    // Name at 0, then the port number 9100 = 23 8c at record offset 411.
    EXPECT_EQ(hex.substr(36, 18), "436f756e7465722033");
    EXPECT_EQ(hex.substr(2 * (18 + 411), 4), "238c");
    EXPECT_EQ(hex.substr(2 * (18 + 601), 4), "0e10");
    EXPECT_EQ(hex.substr(2 * (18 + 603), 2), "00") << "the pad byte";
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);

    const std::optional<Bytes> message = DecodeReply(frame);
    ASSERT_TRUE(message);
    ASSERT_EQ(message->size(), 624u);
    EXPECT_TRUE(IsValidMessage(*message));
    // Unlisted bytes are zero: 64 (between name and mode), 413..543, 548.
    EXPECT_EQ((*message)[18 + 64], 0);
    for (std::size_t i = 413; i < 544; ++i)
        ASSERT_EQ((*message)[18 + i], 0) << i;
    EXPECT_EQ((*message)[18 + 548], 0);
}

TEST_F(WriteLinkTest, WriteFailsOnAnythingButAValidSuc)
{
    Bytes badSum = BuildMessage(kTagIfSuc);
    badSum.back() ^= 0x01;
    const Bytes cases[] = {
        framed(BuildMessage(kTagIfCur)),               // wrong tag
        framed(badSum),                                // checksum
        Bytes{0x1F, 0x57, 0x4D, 0x15, 0x03},           // a NAK
        Bytes{0x1F, 0x57, 0x4D, 'S', 'T', 'R', 'T'},   // a raw answer
    };
    for (const Bytes& answer : cases) {
        printer.writes.clear();
        printer.pending.clear();
        scriptBoard(printer, {whole(openerAnswer()), whole(answer)});
        const LinkResult r = link.WriteConfiguration(writtenRecord());
        EXPECT_EQ(r.status, LinkStatus::BadReply);
        EXPECT_EQ(r.stage, "IF__SET");
    }
}

TEST_F(WriteLinkTest, WrongOpenerOrSilenceStopsTheWrite)
{
    scriptBoard(printer, {whole(Bytes{0x1F, 0x57, 0x4D, 0x7E, 0x03})});
    EXPECT_EQ(link.WriteConfiguration(writtenRecord()).status, LinkStatus::BadOpenerAnswer);
    EXPECT_EQ(printer.writes.size(), 1u) << "the record never went out";

    printer.writes.clear();
    port.firstByteTimeoutMs = 300;
    scriptBoard(printer, {whole(openerAnswer())});
    const auto start = clock.tickMs();
    const LinkResult r = link.WriteConfiguration(writtenRecord());
    EXPECT_EQ(r.status, LinkStatus::NoReply);
    EXPECT_EQ(r.stage, "IF__SET");
    EXPECT_LE(clock.tickMs() - start, 300u + 200u);
}

TEST_F(WriteLinkTest, RecordThatDoesNotEncodeSendsNothing)
{
    IfConfigRecord r = writtenRecord();
    r.ssid = std::string(33, 's');
    EXPECT_EQ(link.WriteConfiguration(r).status, LinkStatus::BadRecord);
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(WriteLinkTest, CertificateAnswersAreTakenWholeEvenInPieces)
{
    const Bytes strt{0x1F, 0x57, 0x4D, 'S', 'T', 'R', 'T'};
    Bytes suc{0x1F, 0x57, 0x4D};
    suc.insert(suc.end(), kTagIfSuc.begin(), kTagIfSuc.end());
    // The header alone, then the rest 30 ms later: the reply ends at the
    // silence after it, not at the first piece.
    scriptBoard(printer, {{Piece{Bytes(strt.begin(), strt.begin() + 3), 5}, Piece{Bytes(strt.begin() + 3, strt.end()), 30}},
                          {Piece{Bytes(suc.begin(), suc.begin() + 10), 5}, Piece{Bytes(suc.begin() + 10, suc.end()), 60}}});
    const auto start = CertificateStartRequest(CertificateKind::ClientKey);
    const std::optional<Bytes> first = link.ExchangeCertificate(start);
    ASSERT_TRUE(first);
    EXPECT_EQ(*first, strt);
    EXPECT_TRUE(IsCertificateStartAnswer(*first));
    EXPECT_EQ(printer.writes.at(0), (Bytes{0x1F, 0x57, 0x43, 0x82, 0x1D, 0x1F, 0x03}));

    const Bytes chunk = EncodeFrame(BuildCertificateChunk(true, 0, Bytes{'a', 'b'}));
    const std::optional<Bytes> second = link.ExchangeCertificate(chunk);
    ASSERT_TRUE(second);
    EXPECT_EQ(*second, suc);
    EXPECT_TRUE(IsCertificateChunkAnswer(*second));
    EXPECT_EQ(printer.writes.at(1), chunk);
}

TEST_F(WriteLinkTest, CertificateSilenceIsAnEmptyAnswerAndAClosedPortAFailure)
{
    port.firstByteTimeoutMs = 200;
    LinkResult why;
    const std::optional<Bytes> silent = link.ExchangeCertificate(CertificateStartRequest(CertificateKind::Ca), &why);
    ASSERT_TRUE(silent) << "a read that timed out did not fail";
    EXPECT_TRUE(silent->empty());
    EXPECT_EQ(printer.writes.size(), 1u);

    port.close();
    EXPECT_FALSE(link.ExchangeCertificate(CertificateStartRequest(CertificateKind::Ca), &why));
    EXPECT_EQ(why.status, LinkStatus::NotOpen);
}

} // namespace
