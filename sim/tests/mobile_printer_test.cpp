#include "sim/mobile_printer.h"
#include "sim/models.h"
#include "sim/setting_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Table-free CRC-32 (reflected, polynomial 0xEDB88320), written out bit by
// bit so it does not share code with what it checks.
std::uint32_t referenceCrc32(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

const std::string kGsIC = "\x1d\x49\x43"s;
const std::string kGsIA = "\x1d\x49\x41"s;
const std::string kGsIE = "\x1d\x49\x45"s;
const std::string kEscMI = "\x1b\x4d\x49"s;

// A printer whose data sink collects everything it is given.
struct Rig {
    sim::MobilePrinter printer;
    std::string data;

    explicit Rig(sim::PrinterConfig config = {}) : printer(std::move(config))
    {
        printer.setDataSink([this](std::string_view d) { data.append(d); });
    }

    std::string feedAll(const std::string& bytes)
    {
        std::string out;
        for (const auto& r : printer.receive(bytes))
            out += r;
        return out;
    }
};

struct ModelCase {
    const char* asGiven;
    std::string modelReply;
    std::string versionReply;
};

TEST(MobilePrinterReplies, EachQueryPerModel)
{
    const ModelCase cases[] = {
        {"KMP-Z400", "_KMP-Z400\0"s, "_VER V1.04\0"s},
        {"kmp-z400w", "_KMP-Z400W\0"s, "_VER V1.04\0"s},
        {"KMP-Z400ii", "_KMP-Z400II\0"s, "_VER V1.04\0"s},
        {"VX 440", "_VX 440\0"s, "_VER V1.04\0"s},
        {"vx440", "_VX 440\0"s, "_VER V1.04\0"s},
        {"Vx-440", "_VX 440\0"s, "_VER V1.04\0"s},
        {"KMP-Z600", "_KMP-Z600\0"s, "_V01.00\0"s},
        {"kmp-Z800", "_KMP-Z800\0"s, "_V01.00\0"s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.asGiven);
        const sim::ModelInfo* model = sim::findModel(c.asGiven);
        ASSERT_NE(model, nullptr);
        Rig rig(sim::configForModel(*model));
        EXPECT_EQ(rig.feedAll(kGsIC), c.modelReply);
        EXPECT_EQ(rig.feedAll(kGsIA), c.versionReply);
        EXPECT_EQ(rig.feedAll(kGsIE), "_PC437\0"s);
        EXPECT_EQ(rig.feedAll(kEscMI), "\x37\x80\x00\x00"s);
        EXPECT_EQ(rig.printer.stats().commands, 4u);
        EXPECT_TRUE(rig.data.empty());
    }
}

TEST(MobilePrinterReplies, UnknownModelNamesAreRefused)
{
    EXPECT_EQ(sim::findModel("KMP-Z500"), nullptr);
    EXPECT_EQ(sim::findModel("KMP-Z40"), nullptr);
    EXPECT_EQ(sim::findModel("VX 4400"), nullptr);
    EXPECT_EQ(sim::findModel(""), nullptr);
}

TEST(MobilePrinterReplies, ConfiguredTextsAndMsrMode)
{
    sim::PrinterConfig config;
    config.modelReply = "_Custom";
    config.versionReply = "_B01.00";
    config.codePageReply = "_PC850";
    config.msrMode = 0xA5;
    Rig rig(config);
    EXPECT_EQ(rig.feedAll(kGsIC + kGsIA + kGsIE + kEscMI),
              "_Custom\0_B01.00\0_PC850\0\x37\x80\xa5\x00"s);
}

TEST(MobilePrinterReplies, OneReplyPerCommandInOrder)
{
    Rig rig;
    const auto replies = rig.printer.receive(kEscMI + kGsIC + kGsIC);
    ASSERT_EQ(replies.size(), 3u);
    EXPECT_EQ(replies[0], "\x37\x80\x00\x00"s);
    EXPECT_EQ(replies[1], "_KMP-Z400\0"s);
    EXPECT_EQ(replies[2], "_KMP-Z400\0"s);
}

// Any chunking of the same stream gives the same replies and data.
TEST(MobilePrinterParsing, SplitAnywhereGivesTheSameResult)
{
    const std::string stream = "xy"s + kGsIC + "\x1d"s + "z"s + kEscMI + "\x1b\x4d"s + kGsIA;
    const std::string expectedReplies = "_KMP-Z400\0\x37\x80\x00\x00_VER V1.04\0"s;
    const std::string expectedData = "xy\x1dz\x1b\x4d"s;

    for (std::size_t a = 0; a <= stream.size(); ++a) {
        for (std::size_t b = a; b <= stream.size(); ++b) {
            Rig rig;
            std::string replies = rig.feedAll(stream.substr(0, a));
            replies += rig.feedAll(stream.substr(a, b - a));
            replies += rig.feedAll(stream.substr(b));
            ASSERT_EQ(replies, expectedReplies) << "cuts at " << a << ", " << b;
            ASSERT_EQ(rig.data, expectedData) << "cuts at " << a << ", " << b;
            ASSERT_EQ(rig.printer.stats().commands, 3u);
        }
    }
}

TEST(MobilePrinterParsing, ByteByByteReplyComesWithTheLastByte)
{
    Rig rig;
    EXPECT_TRUE(rig.printer.receive("\x1d"s).empty());
    EXPECT_TRUE(rig.printer.receive("\x49"s).empty());
    EXPECT_EQ(rig.printer.commands().pendingBytes(), 2u);
    const auto replies = rig.printer.receive("\x45"s);
    ASSERT_EQ(replies.size(), 1u);
    EXPECT_EQ(replies[0], "_PC437\0"s);
    EXPECT_EQ(rig.printer.commands().pendingBytes(), 0u);
}

TEST(MobilePrinterParsing, UnknownBytesAreDataAndDoNotDerailTheNextCommand)
{
    Rig rig;
    // GS I followed by GS I C: the first GS I is no command.
    EXPECT_EQ(rig.feedAll("\x1d\x49"s + kGsIC), "_KMP-Z400\0"s);
    EXPECT_EQ(rig.data, "\x1d\x49"s);
    // An unknown GS I query and plain text, then a query.
    rig.data.clear();
    EXPECT_EQ(rig.feedAll("\x1d\x49\x5a" "AB\x1b"s + kGsIA), "_VER V1.04\0"s);
    EXPECT_EQ(rig.data, "\x1d\x49\x5a" "AB\x1b"s);
    EXPECT_EQ(rig.printer.stats().commands, 2u);
}

TEST(MobilePrinterParsing, DataRunsReachTheSinkInOrder)
{
    sim::MobilePrinter printer;
    std::vector<std::string> runs;
    printer.setDataSink([&](std::string_view d) { runs.emplace_back(d); });
    printer.receive("abc"s + kGsIC + "def"s);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_EQ(runs[0], "abc");
    EXPECT_EQ(runs[1], "def");
}

TEST(MobilePrinterParsing, OpenProbeIsIgnored)
{
    Rig rig;
    EXPECT_EQ(rig.feedAll("\x00"s), "");
    EXPECT_EQ(rig.feedAll("\x00"s + kGsIA), "_VER V1.04\0"s);
    EXPECT_TRUE(rig.data.empty());
    const sim::ReceiveStats stats = rig.printer.stats();
    EXPECT_EQ(stats.commands, 1u);  // the probe is not a command
    EXPECT_EQ(stats.bytes, 5u);     // but it was received
}

TEST(MobilePrinterParsing, EndOfStreamTurnsAPartialCommandIntoData)
{
    Rig rig;
    EXPECT_EQ(rig.feedAll("\x1b\x4d"s), "");
    EXPECT_TRUE(rig.data.empty());
    EXPECT_TRUE(rig.printer.endOfStream().empty());
    EXPECT_EQ(rig.data, "\x1b\x4d"s);
    // The next host starts clean.
    EXPECT_EQ(rig.feedAll(kEscMI), "\x37\x80\x00\x00"s);
}

// A stateful command with a length byte, as later handlers will have.
TEST(CommandTable, HandlerCanAskForMoreBytes)
{
    Rig rig;
    std::string stored;
    rig.printer.commands().addCommand("\x1c\x70"s, [&](std::string_view in) {
        if (in.size() < 3)
            return sim::HandlerResult::needMore();
        const std::size_t n = static_cast<unsigned char>(in[2]);
        if (in.size() < 3 + n)
            return sim::HandlerResult::needMore();
        stored = std::string(in.substr(3, n));
        return sim::HandlerResult::done(3 + n, "ok");
    });
    EXPECT_EQ(rig.feedAll("\x1c\x70\x04" "ab"s), "");
    EXPECT_EQ(rig.feedAll("c"s), "");
    EXPECT_EQ(rig.feedAll("d"s + kGsIC), "ok_KMP-Z400\0"s);
    EXPECT_EQ(stored, "abcd");
    EXPECT_TRUE(rig.data.empty());
    EXPECT_EQ(rig.printer.stats().commands, 2u);
}

TEST(CommandTable, LongestPrefixWinsAndShorterWaitsUntilDecided)
{
    Rig rig;
    rig.printer.commands().addCommand("\x1d\x49"s, [](std::string_view in) {
        if (in.size() < 3)
            return sim::HandlerResult::needMore();
        return sim::HandlerResult::done(3, "short:" + std::string(1, in[2]));
    });
    EXPECT_EQ(rig.feedAll(kGsIC), "_KMP-Z400\0"s);
    EXPECT_EQ(rig.feedAll("\x1d\x49\x58"s), "short:X");
    rig.printer.commands().addCommand(std::string(sim::kQueryModel), [](std::string_view) {
        return sim::HandlerResult::done(3, "replaced");
    });
    EXPECT_EQ(rig.feedAll(kGsIC), "replaced");
    EXPECT_THROW(rig.printer.commands().addCommand("", {}), std::invalid_argument);
}

TEST(CommandTable, HandlerThatNeverCompletesCannotWedgeTheParser)
{
    Rig rig;
    rig.printer.commands().addCommand("\x1c\x71"s,
                                      [](std::string_view) { return sim::HandlerResult::needMore(); });
    const std::string head = "\x1c\x71"s;
    EXPECT_EQ(rig.feedAll(head + std::string(1000, 'x')), "");
    EXPECT_EQ(rig.printer.commands().pendingBytes(), 1002u);
    // Past the bound the head is given up as data, and parsing goes on.
    std::string filler(sim::CommandParser::kMaxPending, 'y');
    EXPECT_EQ(rig.feedAll(filler + kGsIC), "_KMP-Z400\0"s);
    EXPECT_EQ(rig.printer.commands().pendingBytes(), 0u);
    EXPECT_EQ(rig.data.size(), 2u + 1000u + filler.size());
    EXPECT_EQ(rig.data.substr(0, 2), head);
}

// A command with a body too long to buffer: the body reaches its reader in
// the pieces it arrived in, is never searched for commands, and the parser
// keeps the count of body bytes due across reads.
TEST(CommandTable, StreamedBodiesArriveInPiecesAndAreNotParsed)
{
    Rig rig;
    std::vector<std::string> pieces;
    std::vector<std::uint64_t> cuts;
    rig.printer.commands().addCommand("\x1c\x72"s, [&](std::string_view in) {
        if (in.size() < 3)
            return sim::HandlerResult::needMore();
        sim::BodyReader reader;
        reader.piece = [&](std::string_view p) { pieces.emplace_back(p); };
        reader.end = [&] { return "end" + std::to_string(pieces.size()); };
        reader.cut = [&](std::uint64_t missing) { cuts.push_back(missing); };
        return sim::HandlerResult::streamed(3, static_cast<unsigned char>(in[2]), std::move(reader));
    });
    // The body holds a model query, which is not answered.
    EXPECT_EQ(rig.feedAll("\x1c\x72\x06" "ab"s), "");
    EXPECT_EQ(rig.printer.commands().bodyBytesDue(), 4u);
    EXPECT_EQ(rig.printer.commands().pendingBytes(), 0u);
    EXPECT_EQ(rig.feedAll(kGsIC), "");
    EXPECT_EQ(rig.feedAll("z" + kGsIC), "end3_KMP-Z400\0"s);
    EXPECT_EQ(pieces, (std::vector<std::string>{"ab", kGsIC, "z"}));
    EXPECT_TRUE(rig.data.empty());
    EXPECT_EQ(rig.printer.stats().commands, 2u);

    // An empty body ends at once; a body cut by the end of the stream is told so.
    pieces.clear();
    EXPECT_EQ(rig.feedAll("\x1c\x72\x00"s), "end0");
    EXPECT_EQ(rig.feedAll("\x1c\x72\x05xy"s), "");
    EXPECT_TRUE(rig.printer.endOfStream().empty());
    EXPECT_EQ(cuts, std::vector<std::uint64_t>{3});
    EXPECT_EQ(rig.printer.commands().bodyBytesDue(), 0u);
    EXPECT_EQ(rig.feedAll(kGsIC), "_KMP-Z400\0"s);
}

TEST(CommandTable, AHandlerCanDeclineItsPrefixAsData)
{
    Rig rig;
    bool awaited = false;
    rig.printer.commands().addCommand("\x07"s, [&](std::string_view) {
        return awaited ? sim::HandlerResult::done(1, "taken") : sim::HandlerResult::notCommand();
    });
    EXPECT_EQ(rig.feedAll("\x07" + kGsIC), "_KMP-Z400\0"s);
    EXPECT_EQ(rig.data, "\x07");
    awaited = true;
    EXPECT_EQ(rig.feedAll("\x07"s), "taken");
    EXPECT_EQ(rig.data, "\x07");
}

TEST(ReceiveReport, KnownVector)
{
    sim::MobilePrinter printer;
    // The receive statistics lead; the printer's memory follows them.
    const std::string memory = sim::settingMemoryOf(printer)->report() + sim::nvMemoryOf(printer)->report();
    EXPECT_EQ(printer.report(), "bytes 0\ncrc32 00000000\ncommands 0\n" + memory);
    printer.receive("1234");
    printer.receive("56789");
    EXPECT_EQ(printer.stats().crc32, 0xCBF43926u);
    EXPECT_EQ(printer.report(), "bytes 9\ncrc32 cbf43926\ncommands 0\n" + memory);
}

TEST(ReceiveReport, CountsEveryByteInAnyChunking)
{
    std::mt19937 rng(12345);
    std::string all;
    for (int i = 0; i < 5000; ++i)
        all.push_back(static_cast<char>(rng() & 0xFF));
    all += kGsIC + "\x00"s + kEscMI;

    sim::MobilePrinter printer;
    for (std::size_t pos = 0; pos < all.size();) {
        const std::size_t n = std::min<std::size_t>(1 + rng() % 97, all.size() - pos);
        printer.receive(std::string_view(all).substr(pos, n));
        pos += n;
    }
    const sim::ReceiveStats stats = printer.stats();
    EXPECT_EQ(stats.bytes, all.size());
    EXPECT_EQ(stats.crc32, referenceCrc32(all));
    EXPECT_GE(stats.commands, 2u);  // the random part may hold queries of its own

    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", referenceCrc32(all));
    EXPECT_EQ(printer.report(), "bytes " + std::to_string(all.size()) + "\ncrc32 " + hex +
                                    "\ncommands " + std::to_string(stats.commands) + "\n"
                                    + sim::settingMemoryOf(printer)->report() + sim::nvMemoryOf(printer)->report());
}

} // namespace
