// The network board byte by byte: strict request decoding, the answers it
// builds, each fault knob, and its options. Replies are checked against the
// host's protocol library as a second, independent implementation, and
// against checksums worked out by hand.
#include "sim/network_board.h"
#include "sim/options.h"
#include "sim/printer.h"
#include "sim/reply_shaper.h"

#include "pavix/protocol/BssTable.h"
#include "pavix/protocol/IfMessage.h"
#include "pavix/protocol/IfRecords.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

const std::string kOpener = "\x1f\x57\x43\x7f\x1d\x1f\x03"s;
const std::string kNak = "\x1f\x57\x4d\x15\x03"s;
const std::string kSysReq = "__[I_F]__[SYS_REQ]\xde\xfa"s;  // checksums worked out by hand
const std::string kBssReq = "__[I_F]__[BSS_REQ]\xf0\x00"s;
const std::string kIfGet = sim::boardMessage("__[I_F]__[IF__GET]");

std::string frame(std::string_view message)
{
    return "\x1f\x57\x43"s + sim::hexOf(message) + "\x03";
}

pavix::ByteView view(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// The message inside a reply frame, decoded as the host decodes it.
std::optional<pavix::Bytes> unframe(const std::string& reply)
{
    return pavix::DecodeReply(view(reply));
}

sim::PrinterConfig boardConfig()
{
    return sim::networkBoardPersonality.configFor(sim::networkBoardPersonality.models[0]);
}

struct Board {
    explicit Board(sim::PrinterConfig config = boardConfig()) : printer(sim::networkBoardPersonality, std::move(config)) {}

    // The one reply `bytes` cause (empty when none).
    std::string send(std::string_view bytes)
    {
        const auto replies = printer.receive(bytes);
        EXPECT_LE(replies.size(), 1u);
        return replies.empty() ? std::string() : replies[0];
    }
    sim::NetworkBoard& board() { return *sim::networkBoardOf(printer); }

    sim::Printer printer;
};

TEST(BoardChecksum, WorkedExamples)
{
    EXPECT_EQ(sim::boardMessage("__[I_F]__[BSS_REQ]"), kBssReq);
    EXPECT_EQ(sim::boardMessage("__[I_F]__[IF__SUC]"), "__[I_F]__[IF__SUC]\xe9\xfd"s);
    // An odd payload gets its pad byte before the checksum, and stays valid.
    const std::string odd = sim::boardMessage("__[I_F]__[BSS_RSP]", "x");
    ASSERT_EQ(odd.size(), 18u + 1 + 1 + 2);
    EXPECT_EQ(odd[19], '\0');
    EXPECT_TRUE(sim::checksumValid(odd));
    EXPECT_TRUE(pavix::IsValidMessage(view(odd)));
    std::string broken = odd;
    broken[3] ^= 0x10;
    EXPECT_FALSE(sim::checksumValid(broken));
    EXPECT_EQ(frame(kBssReq), "\x1f\x57\x43" "5f5f5b495f465d5f5f5b4253535f5245515df000\x03"s);
}

TEST(BoardFrames, OpenerAndQueriesAreAnswered)
{
    Board b;
    EXPECT_EQ(b.send(kOpener), "\x1f\x57\x4d\x7f\x1d\x1f\x03"s);
    // Any chunking: the frame waits for its 03.
    const std::string f = frame(kSysReq);
    EXPECT_EQ(b.send(f.substr(0, 10)), "");
    const std::string reply = b.send(f.substr(10));
    ASSERT_TRUE(reply.starts_with("\x1f\x57\x4d"));
    const auto message = unframe(reply);
    ASSERT_TRUE(message);
    const auto info = pavix::ParseSysRsp(*message);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->firmwareVersion, "IFB-W1 V2.10");
    EXPECT_EQ(info->updateDate, "2025/06/14 09:30");
    EXPECT_EQ(pavix::FormatMac(info->mac), "00-19-7B-2A-41-0C");
    EXPECT_EQ(message->size(), 74u);
    EXPECT_EQ(b.board().openers(), 1u);
    EXPECT_EQ(b.board().frames(sim::BoardExchange::SysReq), 1u);
    EXPECT_EQ(b.board().errors(), 0u);
}

TEST(BoardFrames, RefusedRequestsAreNakedAndCounted)
{
    std::string upper = frame(kSysReq);
    for (std::size_t i = 3; i + 1 < upper.size(); ++i)
        upper[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(upper[i])));
    std::string badSum = kSysReq;
    badSum.back() ^= 0x01;
    const std::string longSysReq = sim::boardMessage("__[I_F]__[SYS_REQ]", "ab");  // valid, 22 bytes
    const std::string shortSet = sim::boardMessage("__[I_F]__[IF__SET]", std::string(601, 'r'));
    const struct {
        const char* what;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"upper-case hex", upper, "not lower-case hex"},
        {"bad checksum", frame(badSum), "bad checksum"},
        {"query with a body", frame(longSysReq), "sys-req of 22 bytes, want 20"},
        {"IF__SET two bytes short", frame(shortSet), "if-set of 622 bytes, want 624"},
        {"odd digit count", "\x1f\x57\x43" "5f5\x03"s, "odd number of hex digits"},
        {"shorter than a tag", frame("abc"), "message of 3 bytes"},
        {"unknown tag", frame(sim::boardMessage("__[I_F]__[NOT_ME]_")), "unknown tag"},
        {"not quite the opener", "\x1f\x57\x43\x7f\x1d\x03"s, "not lower-case hex"},
        {"start request of no type", "\x1f\x57\x43\x84\x1d\x1f\x03"s, "odd number of hex digits"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Board b;
        EXPECT_EQ(b.send(c.bytes), kNak);
        EXPECT_EQ(b.board().errors(), 1u);
        for (std::size_t e = 0; e < sim::kBoardExchanges; ++e)
            EXPECT_EQ(b.board().frames(static_cast<sim::BoardExchange>(e)), 0u);
        EXPECT_NE(b.printer.report().find("board.error.1: "s + c.reason), std::string::npos) << b.printer.report();
        // The board is back in step: the next good request is answered.
        EXPECT_TRUE(unframe(b.send(frame(kBssReq))));
    }
}

TEST(BoardFrames, UnterminatedFrameIsGivenUpAtItsBound)
{
    Board b;
    const std::string junk = "\x1f\x57\x43"s + std::string(sim::kMaxRequestFrame, 'a');
    EXPECT_EQ(b.send(junk), kNak);
    EXPECT_EQ(b.board().errors(), 1u);
    // The bytes past the bound are not a command.
    EXPECT_EQ(b.printer.commands().pendingBytes(), 0u);
}

TEST(BoardAnswers, RecordIsServedByteExactAndReplacedBySet)
{
    sim::PrinterConfig config = boardConfig();
    std::string record(603, '\0');
    for (std::size_t i = 0; i < record.size(); ++i)
        record[i] = static_cast<char>(i * 7 + 3);
    config.board.record = record;
    Board b(config);
    const auto cur = unframe(b.send(frame(kIfGet)));
    ASSERT_TRUE(cur);
    ASSERT_EQ(cur->size(), 624u);  // tag, record, pad, checksum: a 1252-byte frame
    EXPECT_TRUE(pavix::IsValidReply(*cur, pavix::kTagIfCur, pavix::kIfCurMinSize));
    EXPECT_EQ(std::string(cur->begin() + 18, cur->begin() + 621), record);

    std::string next(603, '\0');
    next.replace(0, 5, "hello");
    const std::string set = sim::boardMessage("__[I_F]__[IF__SET]", next);
    ASSERT_EQ(frame(set).size(), 1252u);
    const auto suc = unframe(b.send(frame(set)));
    ASSERT_TRUE(suc);
    EXPECT_EQ(std::string(suc->begin(), suc->end()), "__[I_F]__[IF__SUC]\xe9\xfd"s);
    EXPECT_EQ(b.board().record(), next);
    EXPECT_NE(b.printer.report().find("board.record: " + sim::hexOf(next) + "\n"), std::string::npos);
    const auto again = unframe(b.send(frame(kIfGet)));
    ASSERT_TRUE(again);
    EXPECT_EQ(std::string(again->begin() + 18, again->begin() + 621), next);
}

TEST(BoardAnswers, DefaultsDecodeAsTheHostReadsThem)
{
    Board b;
    const auto cur = unframe(b.send(frame(kIfGet)));
    ASSERT_TRUE(cur);
    const auto record = pavix::ParseIfCur(*cur);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->printerName, "QX Mobile Printer");
    EXPECT_EQ(record->networkMode, 0);
    EXPECT_EQ(record->ipAssignment, 0);
    EXPECT_EQ(record->ipAddress, (pavix::Ipv4{192, 168, 0, 100}));
    EXPECT_EQ(record->subnetMask, (pavix::Ipv4{255, 255, 255, 0}));
    EXPECT_EQ(record->gateway, (pavix::Ipv4{192, 168, 0, 1}));
    EXPECT_EQ(record->ssid, "quellix-lab");
    EXPECT_EQ(record->authentication, 3);
    EXPECT_EQ(record->cryptograph, 4);
    EXPECT_EQ(record->pskKey, "printer-psk-2025");
    EXPECT_EQ(record->printerPort, 9100);
    EXPECT_EQ(record->inactivityTime, 300);

    const auto rsp = unframe(b.send(frame(kBssReq)));
    ASSERT_TRUE(rsp);
    const auto table = pavix::ParseBssRsp(*rsp);
    ASSERT_TRUE(table);
    ASSERT_EQ(table->size(), 3u);
    const auto& e = table->entries;
    EXPECT_EQ(e[0].ssid, "quellix-lab");
    EXPECT_EQ(e[0].bssid, (std::array<std::uint8_t, 6>{0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e}));
    EXPECT_EQ(e[0].rssi, -48);
    EXPECT_EQ(pavix::BssSecurityText(e[0].security), "WPA2");
    EXPECT_EQ(pavix::BssSecurityText(e[1].security), "WEP64");
    EXPECT_EQ(e[1].bssid[0], 0x02);
    EXPECT_FALSE(e[1].adHoc());
    EXPECT_TRUE(e[2].adHoc());
    EXPECT_EQ(pavix::BssSecurityText(e[2].security), "No");
}

TEST(BoardKnobs, FaultsHitOnlyTheirExchange)
{
    {
        sim::PrinterConfig c = boardConfig();
        c.board.upperHex = true;
        Board b(c);
        const std::string reply = b.send(frame(kSysReq));
        EXPECT_EQ(reply.find_first_of("abcdef", 3), std::string::npos);
        EXPECT_NE(reply.find_first_of("ABCDEF", 3), std::string::npos);
        EXPECT_FALSE(unframe(reply));
    }
    {
        sim::PrinterConfig c = boardConfig();
        c.board.badChecksum[static_cast<std::size_t>(sim::BoardExchange::IfGet)] = true;
        Board b(c);
        const auto cur = unframe(b.send(frame(kIfGet)));
        ASSERT_TRUE(cur);  // well-formed frame, wrong sum
        EXPECT_FALSE(pavix::IsValidMessage(*cur));
        const auto sys = unframe(b.send(frame(kSysReq)));
        ASSERT_TRUE(sys);
        EXPECT_TRUE(pavix::ParseSysRsp(*sys));
    }
    {
        // Two bytes short with a valid checksum: the old "at least 72" rule
        // would take the checksum for the MAC's last bytes.
        sim::PrinterConfig c = boardConfig();
        c.board.shortReply[static_cast<std::size_t>(sim::BoardExchange::SysReq)] = true;
        c.board.shortReply[static_cast<std::size_t>(sim::BoardExchange::IfGet)] = true;
        Board b(c);
        const auto sys = unframe(b.send(frame(kSysReq)));
        ASSERT_TRUE(sys);
        EXPECT_EQ(sys->size(), 72u);
        EXPECT_TRUE(pavix::IsValidMessage(*sys));
        EXPECT_FALSE(pavix::ParseSysRsp(*sys));
        const auto cur = unframe(b.send(frame(kIfGet)));
        ASSERT_TRUE(cur);
        EXPECT_EQ(cur->size(), 622u);
        EXPECT_TRUE(pavix::IsValidMessage(*cur));
        EXPECT_FALSE(pavix::ParseIfCur(*cur));
    }
    {
        sim::PrinterConfig c = boardConfig();
        c.board.silentOn[static_cast<std::size_t>(sim::BoardExchange::Opener)] = true;
        c.board.silentOn[static_cast<std::size_t>(sim::BoardExchange::BssReq)] = true;
        Board b(c);
        EXPECT_EQ(b.send(kOpener), "");
        EXPECT_EQ(b.send(frame(kBssReq)), "");
        EXPECT_EQ(b.board().frames(sim::BoardExchange::BssReq), 1u);  // heard, not answered
        EXPECT_TRUE(unframe(b.send(frame(kSysReq))));
    }
    {
        sim::PrinterConfig c = boardConfig();
        c.board.openerAnswer = "\x1f\x57\x4d\x7e"s;
        Board b(c);
        EXPECT_EQ(b.send(kOpener), "\x1f\x57\x4d\x7e"s);
    }
}

TEST(BoardKnobs, SplitDeliversTheConfigurationReplyIn1024And228)
{
    Board b;
    const std::string reply = b.send(frame(kIfGet));
    sim::ReplyShaping shaping;
    shaping.chunkSize = 1024;
    shaping.chunkDelayMs = 50;
    const auto pieces = sim::shapeReply(reply, shaping);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].bytes.size(), 1024u);
    EXPECT_EQ(pieces[1].bytes.size(), 228u);
    EXPECT_EQ(pieces[1].delayMs, 50u);
}

TEST(BoardTcp, BareQueryGetsTheBareAnswer)
{
    Board b;
    const auto answer = b.board().answerTcp(kBssReq);
    ASSERT_TRUE(answer);
    ASSERT_TRUE(answer->starts_with("__[I_F]__[BSS_RSP]"));
    EXPECT_TRUE(pavix::ParseBssRsp(view(*answer)));
    // A framed request, a short one or one with a bad sum is refused.
    for (const std::string& bad : {frame(kBssReq), kBssReq.substr(0, 19), kSysReq, "__[I_F]__[BSS_REQ]\xf0\x01"s}) {
        const auto refused = b.board().answerTcp(bad);
        ASSERT_TRUE(refused);
        EXPECT_TRUE(refused->empty());
    }
    EXPECT_EQ(b.board().tcpQueries(), 5u);
    EXPECT_EQ(b.board().tcpErrors(), 4u);
    EXPECT_NE(b.printer.report().find("board.tcp.last: 5f5f5b495f465d5f5f5b4253535f5245515df001\n"), std::string::npos);

    sim::PrinterConfig c = boardConfig();
    c.board.silentOn[static_cast<std::size_t>(sim::BoardExchange::BssReq)] = true;
    Board silent(c);
    EXPECT_FALSE(silent.board().answerTcp(kBssReq));
}

sim::ParseResult parse(std::initializer_list<std::string_view> args)
{
    const std::vector<std::string_view> v(args);
    return sim::parseOptions(v);
}

TEST(BoardOptions, KnobsReachTheConfiguration)
{
    const auto r = parse({"--pty", "--personality", "network-board", "--firmware", "FW 9", "--update-date", "today",
                          "--mac", "aa:bb:cc:dd:ee:0f", "--opener-answer", "1f574d7e", "--upper-hex",
                          "--bad-checksum", "if-get", "--short-reply", "sys-req", "--silent-on", "opener",
                          "--silent-on", "bss-req", "--bss-tcp-port", "0", "--bss-tcp-keep-open", "--if-record",
                          "rec.bin", "--bss-body", "bss.bin"});
    ASSERT_TRUE(r.ok()) << r.error;
    const auto& board = r.options.printer.board;
    EXPECT_EQ(r.options.personality, &sim::networkBoardPersonality);
    EXPECT_EQ(board.firmware, "FW 9");
    EXPECT_EQ(board.updateDate, "today");
    EXPECT_EQ(board.mac, (std::array<std::uint8_t, 6>{0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0x0f}));
    EXPECT_EQ(board.openerAnswer, "\x1f\x57\x4d\x7e"s);
    EXPECT_TRUE(board.upperHex);
    EXPECT_EQ(board.badChecksum, (std::array<bool, 5>{false, false, true, false, false}));
    EXPECT_EQ(board.shortReply, (std::array<bool, 5>{false, true, false, false, false}));
    EXPECT_EQ(board.silentOn, (std::array<bool, 5>{true, false, false, true, false}));
    EXPECT_EQ(r.options.bssTcpPort, std::optional<std::uint16_t>(0));
    EXPECT_TRUE(r.options.bssTcpKeepOpen);
    EXPECT_EQ(r.options.ifRecordPath, "rec.bin");
    EXPECT_EQ(r.options.bssBodyPath, "bss.bin");
    EXPECT_EQ(board.record.size(), 603u);

    // The model implies the personality.
    const auto byModel = parse({"--pty", "--model", "ifb-w1"});
    ASSERT_TRUE(byModel.ok()) << byModel.error;
    EXPECT_EQ(byModel.options.personality, &sim::networkBoardPersonality);
    EXPECT_FALSE(byModel.options.bssTcpPort);
}

TEST(BoardOptions, MisfitsAreRefused)
{
    const struct {
        std::initializer_list<std::string_view> args;
        const char* error;
    } cases[] = {
        {{"--pty", "--firmware", "x"}, "--firmware works only with --personality network-board"},
        {{"--pty", "--bss-tcp-port", "0"}, "--bss-tcp-port works only with --personality network-board"},
        {{"--pty", "--personality", "network-board", "--switch", "1=00000000"}, "memory options"},
        {{"--pty", "--personality", "network-board", "--firmware", "12345678901234567"}, "up to 16 bytes"},
        {{"--pty", "--personality", "network-board", "--mac", "00-11-22-33-44"}, "--mac"},
        {{"--pty", "--personality", "network-board", "--mac", "00-11-22-33-44-5g"}, "--mac"},
        {{"--pty", "--personality", "network-board", "--bss-tcp-keep-open"}, "only with --bss-tcp-port"},
        {{"--pty", "--personality", "network-board", "--silent-on", "if-cur"}, "silent-on"},
        {{"--pty", "--personality", "network-board", "--bad-checksum", "opener"}, "bad-checksum"},
    };
    for (const auto& c : cases) {
        const auto r = parse(c.args);
        SCOPED_TRACE(c.error);
        EXPECT_FALSE(r.ok());
        EXPECT_NE(r.error.find(c.error), std::string::npos) << r.error;
    }
}

} // namespace
