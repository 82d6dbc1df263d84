// The network board's certificate store and its write knobs, byte by byte.
// Chunks are built with the host's protocol library and checked by the
// board's own CRC, so the two implementations check each other.
#include "sim/board_certificates.h"
#include "sim/network_board.h"
#include "sim/options.h"
#include "sim/printer.h"

#include "pavix/protocol/IfMessage.h"
#include "pavix/protocol/IfRecords.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

const std::string kOpener = "\x1f\x57\x43\x7f\x1d\x1f\x03"s;
const std::string kNak = "\x1f\x57\x4d\x15\x03"s;
const std::string kStrt = "\x1f\x57\x4d" "STRT"s;
const std::string kSuc = "\x1f\x57\x4d" "__[I_F]__[IF__SUC]"s;

std::string start(std::uint8_t code)
{
    return std::string("\x1f\x57\x43", 3) + static_cast<char>(code) + "\x1d\x1f\x03";
}

std::string chunkFrame(bool last, std::uint32_t offset, std::string_view data)
{
    const pavix::Bytes bytes(data.begin(), data.end());
    const pavix::Bytes frame = pavix::EncodeFrame(pavix::BuildCertificateChunk(last, offset, bytes));
    return std::string(frame.begin(), frame.end());
}

std::string chunkMessage(bool last, std::uint32_t offset, std::string_view data)
{
    const pavix::Bytes bytes(data.begin(), data.end());
    const pavix::Bytes m = pavix::BuildCertificateChunk(last, offset, bytes);
    return std::string(m.begin(), m.end());
}

struct Board {
    explicit Board(sim::NetworkBoardConfig tweak = {})
        : printer(sim::networkBoardPersonality, [&] {
              auto c = sim::networkBoardPersonality.configFor(sim::networkBoardPersonality.models[0]);
              c.board.setFails = tweak.setFails;
              c.board.certNoStart = tweak.certNoStart;
              c.board.certGarbage = tweak.certGarbage;
              return c;
          }())
    {
    }
    std::string send(std::string_view bytes)
    {
        const auto replies = printer.receive(bytes);
        EXPECT_LE(replies.size(), 1u);
        return replies.empty() ? std::string() : replies[0];
    }
    sim::NetworkBoard& board() { return *sim::networkBoardOf(printer); }
    sim::Printer printer;
};

const std::string kPem = "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n";

TEST(BoardCertificateCrc, MatchesTheHostAndTheCheckValue)
{
    EXPECT_EQ(sim::certificateCrc32("123456789"), 0x89A1897Fu);
    const std::string sample = "__[I_F]__[CERTEND]\x01\x02\x03"s;
    EXPECT_EQ(sim::certificateCrc32(sample),
              pavix::CertificateCrc32(pavix::ByteView(reinterpret_cast<const std::uint8_t*>(sample.data()),
                                                      sample.size())));
}

TEST(BoardCertificates, EachTypeIsStoredByteExactOnCertEnd)
{
    Board b;
    std::vector<std::pair<std::size_t, std::string>> sunk;
    b.board().setCertificateSink([&](std::size_t t, const std::string& f) { sunk.emplace_back(t, f); });
    for (const int code : {0x81, 0x82, 0x83}) {
        const std::string file = kPem + std::string(static_cast<std::size_t>(code - 0x80), '#');
        EXPECT_EQ(b.send(start(static_cast<std::uint8_t>(code))), kStrt);
        // As the host splits it: N / 2 below 500 bytes, the rest last.
        const std::size_t c = file.size() / 2;
        for (std::size_t done = 0; done < file.size(); done += c) {
            const bool last = file.size() - done <= c;
            EXPECT_FALSE(b.board().certificates().stored(static_cast<std::size_t>(code - 0x81)))
                << "not before CERTEND";
            EXPECT_EQ(b.send(chunkFrame(last, static_cast<std::uint32_t>(done), file.substr(done, c))), kSuc);
        }
        ASSERT_TRUE(b.board().certificates().stored(static_cast<std::size_t>(code - 0x81)));
        EXPECT_EQ(*b.board().certificates().stored(static_cast<std::size_t>(code - 0x81)), file);
    }
    ASSERT_EQ(sunk.size(), 3u);
    EXPECT_EQ(sunk[1].first, 1u);
    EXPECT_NE(b.board().report().find("board.cert.client-pem: " + std::to_string(kPem.size() + 3) + " crc32 "),
              std::string::npos);
    EXPECT_EQ(b.board().certificates().refused(), 0u);
}

TEST(BoardCertificates, BadChunksAreRefusedAndLeaveTheUploadAsItWas)
{
    sim::CertificateStore store;
    EXPECT_NE(store.chunk(chunkMessage(true, 0, "ab")), "") << "no start request";
    store.start(0);
    std::string badCrc = chunkMessage(false, 0, "abcd");
    badCrc.back() ^= 0x01;
    std::string badLength = chunkMessage(false, 0, "abcd");
    badLength[22] = 5;
    const struct {
        std::string message;
        const char* reason;
    } cases[] = {
        {badCrc, "CRC-32"},
        {badLength, "says 5 bytes"},
        {chunkMessage(false, 4, "abcd"), "offset 4, want 0"},
        {chunkMessage(false, 0, std::string(501, 'x')), "501 file bytes"},
        {chunkMessage(false, 0, ""), "0 file bytes"},
        {chunkMessage(false, 0, "x").substr(0, 20), "chunk of 20 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason);
        const std::string why = store.chunk(c.message);
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
    // The upload goes on from where it was: nothing of the refused chunks stuck.
    EXPECT_EQ(store.chunk(chunkMessage(false, 0, "abcd")), "");
    EXPECT_NE(store.chunk(chunkMessage(false, 4, "abc")).find("after chunks of 4"), std::string::npos);
    EXPECT_NE(store.chunk(chunkMessage(true, 4, "abcde")).find("after chunks of 4"), std::string::npos);
    EXPECT_EQ(store.chunk(chunkMessage(true, 4, "ef")), "");
    ASSERT_TRUE(store.stored(0));
    EXPECT_EQ(*store.stored(0), "abcdef");
    EXPECT_EQ(store.refused(), 9u);
}

TEST(BoardCertificates, FilesOf3072BytesAreRefused)
{
    sim::CertificateStore store;
    store.start(2);
    std::uint32_t offset = 0;
    for (int i = 0; i < 6; ++i, offset += 500)
        ASSERT_EQ(store.chunk(chunkMessage(false, offset, std::string(500, 'k'))), "");
    EXPECT_NE(store.chunk(chunkMessage(true, offset, std::string(72, 'k'))), "");
    EXPECT_EQ(store.chunk(chunkMessage(true, offset, std::string(71, 'k'))), "");
    EXPECT_EQ(store.stored(2)->size(), 3071u);
}

TEST(BoardCertificateKnobs, GarbageComesFirstThenTheChunkIsTaken)
{
    sim::NetworkBoardConfig k;
    k.certGarbage = 2;
    Board b(k);
    EXPECT_EQ(b.send(start(0x81)), kStrt);
    const std::string first = chunkFrame(false, 0, "ab");
    for (int i = 0; i < 2; ++i) {
        const std::string got = b.send(first);
        EXPECT_NE(got, kSuc);
        EXPECT_FALSE(pavix::IsCertificateChunkAnswer(
            pavix::ByteView(reinterpret_cast<const std::uint8_t*>(got.data()), got.size())));
        EXPECT_EQ(got.find('\x03'), std::string::npos) << "no frame end in a raw answer";
    }
    EXPECT_EQ(b.send(first), kSuc);
    // Every chunk gets its own garbage.
    EXPECT_NE(b.send(chunkFrame(true, 2, "c")), kSuc);
    EXPECT_NE(b.send(chunkFrame(true, 2, "c")), kSuc);
    EXPECT_EQ(b.send(chunkFrame(true, 2, "c")), kSuc);
    EXPECT_EQ(*b.board().certificates().stored(0), "abc");
    EXPECT_EQ(b.board().certificates().chunks(), 6u);
    EXPECT_EQ(b.board().certificates().garbage(), 4u);
}

TEST(BoardCertificateKnobs, NoStartNaksTheStartRequest)
{
    sim::NetworkBoardConfig k;
    k.certNoStart = true;
    Board b(k);
    EXPECT_EQ(b.send(start(0x82)), kNak);
    EXPECT_EQ(b.send(chunkFrame(true, 0, "ab")), kNak) << "no upload was started";
}

TEST(BoardSet, RecordIsSunkAndSetFailsStoresNothing)
{
    pavix::IfConfigRecord record;
    record.printerName = "written";
    record.ssid = "new-ssid";
    const pavix::Bytes set = pavix::EncodeFrame(*pavix::BuildIfSet(record));
    const std::string setFrame(set.begin(), set.end());
    {
        Board b;
        std::string sunk;
        b.board().setRecordSink([&](const std::string& r) { sunk = r; });
        const std::string reply = b.send(setFrame);
        const auto message = pavix::DecodeReply(pavix::ByteView(reinterpret_cast<const std::uint8_t*>(reply.data()),
                                                                reply.size()));
        ASSERT_TRUE(message);
        EXPECT_TRUE(pavix::IsIfSuc(*message));
        ASSERT_EQ(sunk.size(), 603u);
        EXPECT_EQ(sunk, b.board().record());
        EXPECT_EQ(sunk.substr(0, 8), "written"s + '\0');
    }
    {
        sim::NetworkBoardConfig k;
        k.setFails = true;
        Board b(k);
        const std::string before = b.board().record();
        bool sunk = false;
        b.board().setRecordSink([&](const std::string&) { sunk = true; });
        const std::string reply = b.send(setFrame);
        const auto message = pavix::DecodeReply(pavix::ByteView(reinterpret_cast<const std::uint8_t*>(reply.data()),
                                                                reply.size()));
        ASSERT_TRUE(message) << "a well-formed message";
        EXPECT_TRUE(pavix::IsValidMessage(*message));
        EXPECT_FALSE(pavix::IsIfSuc(*message));
        EXPECT_EQ(b.board().record(), before);
        EXPECT_FALSE(sunk);
    }
}

TEST(BoardCertificateOptions, KnobsAndPathsReachTheOptions)
{
    const std::vector<std::string_view> args = {"--pty", "--personality", "network-board", "--cert-garbage", "3",
                                                "--cert-no-start", "--set-fails", "--record-out", "rec.out",
                                                "--cert-dir", "certs"};
    const auto r = sim::parseOptions(args);
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.printer.board.certGarbage, 3u);
    EXPECT_TRUE(r.options.printer.board.certNoStart);
    EXPECT_TRUE(r.options.printer.board.setFails);
    EXPECT_EQ(r.options.recordOutPath, "rec.out");
    EXPECT_EQ(r.options.certDir, "certs");

    const std::vector<std::string_view> mobile = {"--pty", "--cert-garbage", "1"};
    const auto refused = sim::parseOptions(mobile);
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(refused.error.find("only with --personality network-board"), std::string::npos) << refused.error;
}

} // namespace
