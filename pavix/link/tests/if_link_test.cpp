#include "pavix/link/IfLink.h"
#include "pavix/link/tests/board_fakes.h"
#include "platform/testing/tcp_peer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

using namespace pavix;
using namespace pavix::testing;

namespace {

// The frame as a board's request must look on the wire, written out by hand.
Bytes handFrame(std::string_view hex)
{
    Bytes frame{0x1F, 0x57, 0x43};
    frame.insert(frame.end(), hex.begin(), hex.end());
    frame.push_back(0x03);
    return frame;
}

SystemInfo sampleInfo()
{
    return SystemInfo{"V1.2.3", "2024-05-06", {0x00, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F}};
}

IfConfigRecord sampleRecord()
{
    IfConfigRecord r;
    r.printerName = std::string(64, 'P'); // full width, no terminator
    r.networkMode = 2;
    r.ipAssignment = 1;
    r.ipAddress = {192, 168, 1, 50};
    r.ssid = "lab-net";
    r.authentication = 3;
    r.cryptograph = 4;
    r.pskKey = "secret-key";
    r.printerPort = 9100;
    r.https = 1;
    r.trapAddress = {10, 0, 0, 9};
    r.inactivityTime = 3600;
    return r;
}

Bytes sysRspFrame()
{
    return framed(*BuildSysRsp(sampleInfo()));
}

Bytes ifCurFrame()
{
    return framed(*BuildIfCur(sampleRecord()));
}

Bytes bssRsp(const std::vector<BssEntry>& entries)
{
    const Bytes body = EncodeBssBody(entries);
    return BuildMessage(kTagBssRsp, body);
}

std::vector<BssEntry> sampleEntries()
{
    return {BssEntry{"office", {1, 2, 3, 4, 5, 6}, 0, -40, kBssWpa | kBssWpa2},
            BssEntry{"adhoc", {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}, 1, -81, 0}};
}

struct IfLinkTest : ::testing::Test {
    platform::ManualClock clock{1000};
    FakePrinter printer{clock};
    FakeUsbTree tree;
    BoardDevices devices{printer, tree.roots};
    PrinterPort port{clock, devices};
    IfLink link{port};
    std::vector<int> progress;
    ProgressSink sink = [this](int p) { progress.push_back(p); };

    void SetUp() override
    {
        tree.add("lp0", "1-1", "1a2b", "0c28");
        port.portName = "COM1";
        ASSERT_EQ(port.open(), OpenResult::Ok);
    }
    void useUsb()
    {
        port.portName = "USB001";
        ASSERT_EQ(port.open(), OpenResult::Ok);
    }
};

TEST_F(IfLinkTest, RequestFramesAreByteExact)
{
    EXPECT_EQ(RequestFrame(kTagBssReq), handFrame("5f5f5b495f465d5f5f5b4253535f5245515df000"));
    EXPECT_EQ(RequestFrame(kTagBssReq).size(), 44u);
    EXPECT_EQ(RequestFrame(kTagSysReq).size(), 44u);
}

TEST_F(IfLinkTest, ReadConfigurationSendsOpenerSysReqOpenerIfGet)
{
    scriptBoard(printer, {whole(openerAnswer()), whole(sysRspFrame(), 20), whole(openerAnswer()),
                          whole(ifCurFrame(), 30)});
    SystemInfo info;
    IfConfigRecord record;
    const LinkResult r = link.ReadConfiguration(info, record);
    ASSERT_TRUE(r.ok()) << DescribeLinkResult(r, 5000);
    ASSERT_EQ(printer.writes.size(), 4u);
    const Bytes opener{0x1F, 0x57, 0x43, 0x7F, 0x1D, 0x1F, 0x03};
    EXPECT_EQ(printer.writes[0], opener);
    EXPECT_EQ(printer.writes[1], handFrame("5f5f5b495f465d5f5f5b5359535f5245515ddefa"));
    EXPECT_EQ(printer.writes[2], opener);
    EXPECT_EQ(printer.writes[3], handFrame("5f5f5b495f465d5f5f5b49465f5f4745545de50d"));
    EXPECT_EQ(info, sampleInfo());
    EXPECT_EQ(record, sampleRecord());
    EXPECT_EQ(record.networkMode, 2) << "kept as the board sent it";
}

TEST_F(IfLinkTest, ConfigurationReplySplit1024Plus228OverUsbIsRead)
{
    useUsb();
    const Bytes cur = ifCurFrame();
    ASSERT_EQ(cur.size(), 1252u);
    scriptBoard(printer, {whole(openerAnswer()), whole(sysRspFrame()), whole(openerAnswer()),
                          {Piece{Bytes(cur.begin(), cur.begin() + 1024), 10},
                           Piece{Bytes(cur.begin() + 1024, cur.end()), 5}}});
    SystemInfo info;
    IfConfigRecord record;
    const LinkResult r = link.ReadConfiguration(info, record);
    ASSERT_TRUE(r.ok()) << DescribeLinkResult(r, 5000);
    EXPECT_EQ(record, sampleRecord());
}

TEST_F(IfLinkTest, WrongOpenerAnswerFailsBeforeTheRequestIsSent)
{
    for (const Bytes& answer : {Bytes{0x1F, 0x57, 0x4D, 0x7E, 0x03}, Bytes{0x1F, 0x57, 0x43, 0x7F, 0x03},
                                Bytes{0x1F, 0x57, 0x4D}}) {
        printer.writes.clear();
        printer.pending.clear();
        scriptBoard(printer, {whole(answer), whole(sysRspFrame())});
        SystemInfo info;
        const LinkResult r = link.ReadSystemInfo(info);
        EXPECT_EQ(r.status, LinkStatus::BadOpenerAnswer);
        EXPECT_EQ(r.stage, "opener");
        EXPECT_EQ(printer.writes.size(), 1u) << "only the opener went out";
    }
}

TEST_F(IfLinkTest, UpperCaseHexReplyFails)
{
    Bytes upper = sysRspFrame();
    for (std::uint8_t& b : upper) {
        if (b >= 'a' && b <= 'f')
            b = static_cast<std::uint8_t>(b - 'a' + 'A');
    }
    scriptBoard(printer, {whole(openerAnswer()), whole(upper)});
    SystemInfo info;
    const LinkResult r = link.ReadSystemInfo(info);
    EXPECT_EQ(r.status, LinkStatus::BadReply);
    EXPECT_EQ(r.stage, "SYS_REQ");
}

TEST_F(IfLinkTest, ShortOrWronglyTaggedSystemInformationFails)
{
    // A valid checksum after 52 block bytes: 72 bytes, which would pass a
    // length rule that forgot the checksum.
    const Bytes shortMessage = BuildMessage(kTagSysRsp, Bytes(kSystemInfoSize - 2, 'x'));
    ASSERT_EQ(shortMessage.size(), 72u);
    ASSERT_LT(shortMessage.size(), kSysRspMinSize);
    const Bytes wrongTag = BuildMessage(kTagIfCur, Bytes(kSystemInfoSize, 'x'));
    Bytes badSum = *BuildSysRsp(sampleInfo());
    badSum.back() ^= 0x01;
    for (const Bytes& message : {shortMessage, wrongTag, badSum}) {
        printer.pending.clear();
        scriptBoard(printer, {whole(openerAnswer()), whole(framed(message))});
        SystemInfo info;
        EXPECT_EQ(link.ReadSystemInfo(info).status, LinkStatus::BadReply);
    }
}

TEST_F(IfLinkTest, ShortConfigurationReplyFails)
{
    const Bytes block(kIfConfigRecordSize - 1, 0);
    scriptBoard(printer, {whole(openerAnswer()), whole(sysRspFrame()), whole(openerAnswer()),
                          whole(framed(BuildMessage(kTagIfCur, block)))});
    SystemInfo info;
    IfConfigRecord record;
    record.printerName = "untouched";
    const LinkResult r = link.ReadConfiguration(info, record);
    EXPECT_EQ(r.status, LinkStatus::BadReply);
    EXPECT_EQ(r.stage, "IF__GET");
    EXPECT_EQ(record.printerName, "untouched");
    EXPECT_EQ(info, SystemInfo{}) << "nothing is handed out from a failed read";
}

TEST_F(IfLinkTest, SilentBoardFailsWithinTheFirstByteBound)
{
    port.firstByteTimeoutMs = 700;
    const auto start = clock.tickMs();
    SystemInfo info;
    const LinkResult r = link.ReadSystemInfo(info);
    EXPECT_EQ(r.status, LinkStatus::NoReply);
    EXPECT_EQ(r.stage, "opener");
    EXPECT_LE(clock.tickMs() - start, 700u);
    EXPECT_NE(DescribeLinkResult(r, 700).find("700 ms"), std::string::npos);
}

TEST_F(IfLinkTest, FailedWritesAndReadsEndTheProcedure)
{
    printer.writeLimit = 2;
    SystemInfo info;
    EXPECT_EQ(link.ReadSystemInfo(info).status, LinkStatus::WriteFailed);

    printer.writeLimit = -1;
    devices.knobs.readErrno = EIO;
    const LinkResult r = link.ReadSystemInfo(info);
    EXPECT_EQ(r.status, LinkStatus::ReadFailed);
    EXPECT_EQ(r.error.code, EIO);

    port.close();
    EXPECT_EQ(link.ReadSystemInfo(info).status, LinkStatus::NotOpen);
}

TEST_F(IfLinkTest, BssOverTheLinkReportsProgressAndParsesTheTable)
{
    scriptBoard(printer, {whole(openerAnswer()), whole(framed(bssRsp(sampleEntries())))});
    BssTable table;
    const LinkResult r = link.ReadBss(sink, table);
    ASSERT_TRUE(r.ok()) << DescribeLinkResult(r, 5000);
    EXPECT_EQ(progress, (std::vector<int>{25, 100}));
    ASSERT_EQ(printer.writes.size(), 2u);
    EXPECT_EQ(printer.writes[1], handFrame("5f5f5b495f465d5f5f5b4253535f5245515df000"));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.entries[0].ssid, "office");
    EXPECT_EQ(table.entries[1].rssi, -81);
}

TEST_F(IfLinkTest, BssAnswerOnTheThirdReadMovesThroughEveryStep)
{
    // Two first-byte bounds of silence, then the answer.
    scriptBoard(printer, {whole(openerAnswer()), whole(framed(bssRsp(sampleEntries())), 2 * 5000 + 10)});
    BssTable table;
    ASSERT_TRUE(link.ReadBss(sink, table).ok());
    EXPECT_EQ(progress, (std::vector<int>{25, 50, 75, 100}));
    EXPECT_EQ(table.size(), 2u);
}

TEST_F(IfLinkTest, BssWithoutAnyAnswerFailsAfterThreeReads)
{
    scriptBoard(printer, {whole(openerAnswer())});
    BssTable table;
    table.entries.push_back(BssEntry{});
    const auto start = clock.tickMs();
    const LinkResult r = link.ReadBss(sink, table);
    EXPECT_EQ(r.status, LinkStatus::NoReply);
    EXPECT_EQ(progress, (std::vector<int>{25, 50, 75, 100}));
    // The opener's answer ends 100 ms after its burst on a serial line.
    EXPECT_EQ(clock.tickMs() - start, 100u + 3u * 5000u);
    EXPECT_EQ(table.size(), 1u) << "a failed query leaves the table alone";
}

TEST_F(IfLinkTest, BssReadErrorAndBadAnswerFail)
{
    scriptBoard(printer, {whole(openerAnswer())});
    BssTable table;
    printer.onWrite = [this](const Bytes& w) {
        if (w.size() == 7)
            printer.reply(openerAnswer());
        else
            devices.knobs.readErrno = ENODEV;
    };
    EXPECT_EQ(link.ReadBss(sink, table).status, LinkStatus::ReadFailed);
    EXPECT_EQ(progress, (std::vector<int>{25}));

    devices.knobs.readErrno = 0;
    scriptBoard(printer, {whole(openerAnswer()), whole(framed(BuildMessage(kTagSysRsp)))});
    EXPECT_EQ(link.ReadBss(sink, table).status, LinkStatus::BadReply);
}

TEST_F(IfLinkTest, BssOverTcpSendsTheBareMessageToPort3318)
{
    printer.onWrite = [this](const Bytes&) { printer.reply(bssRsp(sampleEntries()), 30); };
    printer.peerClosed = true;
    BssTable table;
    const LinkResult r = link.ReadBssOverTcp("10.1.2.3", sink, table);
    ASSERT_TRUE(r.ok()) << DescribeLinkResult(r, 5000);
    EXPECT_EQ(printer.tcpHost, "10.1.2.3");
    EXPECT_EQ(printer.tcpPort, 3318);
    EXPECT_EQ(printer.tcpConnectTimeoutMs, 3000);
    ASSERT_EQ(printer.writes.size(), 1u);
    EXPECT_EQ(printer.writes.back(), (Bytes{'_', '_', '[', 'I', '_', 'F', ']', '_', '_', '[', 'B', 'S', 'S', '_',
                                            'R', 'E', 'Q', ']', 0xF0, 0x00}));
    EXPECT_EQ(progress, (std::vector<int>{0, 12, 100}));
    EXPECT_EQ(table.size(), 2u);
    EXPECT_FALSE(printer.isOpen) << "the socket is closed";
}

struct TcpFakeTest : IfLinkTest {
    void SetUp() override {} // no serial port: only the TCP query
};

TEST_F(TcpFakeTest, SilentBoardGoesThroughSevenReceives)
{
    BssTable table;
    const auto start = clock.tickMs();
    const LinkResult r = link.ReadBssOverTcp("10.1.2.3", sink, table);
    EXPECT_EQ(r.status, LinkStatus::NoReply);
    EXPECT_EQ(progress, (std::vector<int>{0, 12, 24, 36, 48, 60, 72, 84, 96, 100}));
    EXPECT_EQ(clock.tickMs() - start, 7u * 1500u);
    EXPECT_EQ(printer.readTimeoutMs, 1500);
    EXPECT_FALSE(printer.isOpen);
}

TEST_F(TcpFakeTest, AnswerInSegmentsIsCollectedUntilTheBoardGoesQuiet)
{
    const Bytes answer = bssRsp(sampleEntries());
    printer.onWrite = [&](const Bytes&) {
        printer.reply(Bytes(answer.begin(), answer.begin() + 5), 1600);
        printer.reply(Bytes(answer.begin() + 5, answer.end()), 1600 + 250);
    };
    BssTable table;
    const LinkResult r = link.ReadBssOverTcp("10.1.2.3", sink, table);
    ASSERT_TRUE(r.ok()) << DescribeLinkResult(r, 5000);
    EXPECT_EQ(progress, (std::vector<int>{0, 12, 24, 100}));
    EXPECT_EQ(table.size(), 2u);

    // A gap above 300 ms cuts the answer short: its checksum fails.
    progress.clear();
    printer.onWrite = [&](const Bytes&) {
        printer.reply(Bytes(answer.begin(), answer.begin() + 5), 10);
        printer.reply(Bytes(answer.begin() + 5, answer.end()), 10 + 301);
    };
    EXPECT_EQ(link.ReadBssOverTcp("10.1.2.3", sink, table).status, LinkStatus::BadReply);
}

TEST_F(TcpFakeTest, FailedConnectOrSendFailsAtOnce)
{
    printer.connectFails = true;
    BssTable table;
    LinkResult r = link.ReadBssOverTcp("10.1.2.3", sink, table);
    EXPECT_EQ(r.status, LinkStatus::ConnectFailed);
    EXPECT_EQ(r.error.code, ECONNREFUSED);
    EXPECT_TRUE(progress.empty());

    printer.connectFails = false;
    printer.writeLimit = 10;
    r = link.ReadBssOverTcp("10.1.2.3", sink, table);
    EXPECT_EQ(r.status, LinkStatus::SendFailed);
    EXPECT_TRUE(progress.empty());
    EXPECT_TRUE(printer.readCapacities.empty()) << "nothing is received after a short send";
    EXPECT_FALSE(printer.isOpen);
    EXPECT_EQ(printer.closes, 1);
}

// The real TCP transport against a board on the loopback interface.
TEST(IfLinkLoopback, BssAnswerArrivingInTwoSegmentsIsRead)
{
    platform::testing::TcpPeer peer;
    Bytes request;
    const Bytes answer = bssRsp(sampleEntries());
    peer.serve([&](int fd) {
        std::uint8_t buffer[64];
        std::size_t got = 0;
        while (got < 20) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 3000) != 1)
                return;
            const ssize_t n = ::read(fd, buffer + got, sizeof buffer - got);
            if (n <= 0)
                return;
            got += static_cast<std::size_t>(n);
        }
        request.assign(buffer, buffer + got);
        ::write(fd, answer.data(), 7);
        ::usleep(50 * 1000);
        ::write(fd, answer.data() + 7, answer.size() - 7);
    });
    PrinterPort port;
    IfLink link{port};
    BssTable table;
    const LinkResult r = link.ReadBssOverTcp("127.0.0.1", {}, table, peer.port());
    peer.join();
    ASSERT_TRUE(r.ok()) << DescribeLinkResult(r, 5000) << " " << r.error.describe();
    EXPECT_EQ(request, BuildMessage(kTagBssReq));
    ASSERT_EQ(table.size(), 2u);
    EXPECT_EQ(table.entries[1].ssid, "adhoc");
}

TEST(IfLinkLoopback, RefusedConnectionFails)
{
    std::uint16_t unused = 0;
    {
        platform::testing::TcpPeer peer; // bound, then closed: nobody listens there
        unused = peer.port();
    }
    PrinterPort port;
    IfLink link{port};
    BssTable table;
    const LinkResult r = link.ReadBssOverTcp("127.0.0.1", {}, table, unused);
    EXPECT_EQ(r.status, LinkStatus::ConnectFailed);
    EXPECT_TRUE(r.error.isSet());
}

} // namespace
