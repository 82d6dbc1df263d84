#include "sim/options.h"
#include "sim/reply_shaper.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

sim::ParseResult parse(std::initializer_list<std::string_view> args)
{
    const std::vector<std::string_view> v(args);
    return sim::parseOptions(v);
}

TEST(Options, PtyDefaults)
{
    const auto r = parse({"--pty"});
    ASSERT_TRUE(r.ok()) << r.error;
    const auto& o = r.options;
    EXPECT_EQ(o.transport, sim::Transport::Pty);
    EXPECT_EQ(o.model, "KMP-Z400");
    EXPECT_EQ(o.printer.modelReply, "_KMP-Z400");
    EXPECT_EQ(o.printer.versionReply, "_VER V1.04");
    EXPECT_EQ(o.printer.codePageReply, "_PC437");
    EXPECT_EQ(o.printer.msrMode, 0);
    EXPECT_TRUE(o.linkPath.empty());
    EXPECT_FALSE(o.shaping.silent);
    EXPECT_EQ(o.shaping.chunkSize, 0u);
    EXPECT_TRUE(o.capturePath.empty());
    EXPECT_TRUE(o.reportPath.empty());
    EXPECT_EQ(o.dropAfterMs, 2000u);
}

TEST(Options, EverythingGiven)
{
    const auto r = parse({"--tcp", "9100", "--bind", "::1", "--model", "vx-440", "--model-reply", "_Other",
                          "--version=_B01.00", "--code-page", "_PC850", "--msr-mode", "0x2A", "--chunk", "3",
                          "--chunk-delay", "20", "--reply-delay=150", "--stray", "41ff", "--silent",
                          "--capture", "/tmp/c", "--report", "/tmp/r", "--drop-after", "250"});
    ASSERT_TRUE(r.ok()) << r.error;
    const auto& o = r.options;
    EXPECT_EQ(o.transport, sim::Transport::Tcp);
    EXPECT_EQ(o.port, 9100);
    EXPECT_EQ(o.bindAddress, "::1");
    EXPECT_EQ(o.model, "VX 440");
    EXPECT_EQ(o.printer.modelReply, "_Other");
    EXPECT_EQ(o.printer.versionReply, "_B01.00");
    EXPECT_EQ(o.printer.codePageReply, "_PC850");
    EXPECT_EQ(o.printer.msrMode, 42);
    EXPECT_EQ(o.shaping.chunkSize, 3u);
    EXPECT_EQ(o.shaping.chunkDelayMs, 20u);
    EXPECT_EQ(o.shaping.replyDelayMs, 150u);
    EXPECT_EQ(o.shaping.stray, "\x41\xff"s);
    EXPECT_TRUE(o.shaping.silent);
    EXPECT_EQ(o.capturePath, "/tmp/c");
    EXPECT_EQ(o.reportPath, "/tmp/r");
    EXPECT_EQ(o.dropAfterMs, 250u);
}

TEST(Options, ModelDefaultsDoNotOverrideExplicitTexts)
{
    // The override comes first on the command line; the model must not undo it.
    auto r = parse({"--version", "_Mine", "--model", "KMP-Z600", "--pty"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.printer.versionReply, "_Mine");
    EXPECT_EQ(r.options.printer.modelReply, "_KMP-Z600");

    r = parse({"--model", "kmp-z800", "--pty", "--link", "/tmp/x/printer", "--msr-mode=255"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.printer.versionReply, "_V01.00");
    EXPECT_EQ(r.options.printer.msrMode, 255);
    EXPECT_EQ(r.options.linkPath, "/tmp/x/printer");
}

TEST(Options, HelpNeedsNoTransport)
{
    EXPECT_TRUE(parse({"--help"}).options.help);
    EXPECT_TRUE(parse({"-h"}).options.help);
    EXPECT_TRUE(parse({"--help"}).ok());
    const std::string usage = sim::usageText("printer-sim");
    for (const char* word : {"--pty", "--link", "--tcp", "--bind", "--model", "--model-reply", "--version",
                             "--code-page", "--msr-mode", "--chunk", "--chunk-delay", "--silent", "--stray",
                             "--reply-delay", "--drop-after", "--capture", "--report", "KMP-Z400II", "VX 440"})
        EXPECT_NE(usage.find(word), std::string::npos) << word;
}

TEST(Options, BadCommandLinesAreRefused)
{
    const std::vector<std::vector<std::string_view>> bad = {
        {},
        {"--pty", "--tcp", "0"},
        {"--tcp", "0", "--link", "/tmp/l"},
        {"--pty", "--bind", "127.0.0.1"},
        {"--pty", "--msr-mode", "256"},
        {"--pty", "--msr-mode", "0x"},
        {"--pty", "--msr-mode", "-1"},
        {"--pty", "--msr-mode", "12abc"},
        {"--pty", "--chunk", "0"},
        {"--pty", "--drop-after", "0"},
        {"--pty", "--chunk-delay", "x"},
        {"--tcp", "65536"},
        {"--tcp", "0x50"},
        {"--pty", "--stray", "414"},
        {"--pty", "--stray", "4G"},
        {"--pty", "--stray", ""},
        {"--pty", "--model", "KMP-Z500"},
        {"--pty", "--model"},
        {"--pty=1"},
        {"--pty", "--frobnicate"},
        {"--pty", "extra"},
    };
    for (const auto& args : bad) {
        std::string joined;
        for (auto a : args)
            joined += std::string(a) + " ";
        const auto r = sim::parseOptions(args);
        EXPECT_FALSE(r.ok()) << joined;
        EXPECT_FALSE(r.options.help) << joined;
    }
}

TEST(Options, HexBytes)
{
    std::string out;
    EXPECT_TRUE(sim::parseHexBytes("00aBFf", out));
    EXPECT_EQ(out, "\x00\xab\xff"s);
    EXPECT_FALSE(sim::parseHexBytes("0", out));
    EXPECT_FALSE(sim::parseHexBytes("0g", out));
}

TEST(ReplyShaping, WholeReplyByDefault)
{
    const auto pieces = sim::shapeReply("_PC437\0"s, {});
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_EQ(pieces[0], (sim::ReplyPiece{0, "_PC437\0"s}));
}

TEST(ReplyShaping, ChunksWithDelays)
{
    sim::ReplyShaping shaping;
    shaping.chunkSize = 4;
    shaping.chunkDelayMs = 30;
    shaping.replyDelayMs = 100;
    const std::vector<sim::ReplyPiece> expected = {
        {100, "_KMP"}, {30, "-Z40"}, {30, "0\0"s}};
    EXPECT_EQ(sim::shapeReply("_KMP-Z400\0"s, shaping), expected);

    shaping.chunkSize = 1;
    const auto single = sim::shapeReply("\x37\x80\x00\x00"s, shaping);
    ASSERT_EQ(single.size(), 4u);
    std::string joined;
    for (const auto& p : single)
        joined += p.bytes;
    EXPECT_EQ(joined, "\x37\x80\x00\x00"s);
}

TEST(ReplyShaping, StrayBytesComeFirstOnTheirOwn)
{
    sim::ReplyShaping shaping;
    shaping.stray = "AB";
    shaping.chunkSize = 8;
    shaping.chunkDelayMs = 5;
    const std::vector<sim::ReplyPiece> expected = {{0, "AB"}, {5, "_VER V1."}, {5, "04\0"s}};
    EXPECT_EQ(sim::shapeReply("_VER V1.04\0"s, shaping), expected);
}

TEST(ReplyShaping, SilentAndEmptySendNothing)
{
    sim::ReplyShaping shaping;
    shaping.stray = "AB";
    EXPECT_TRUE(sim::shapeReply("", shaping).empty());
    shaping.silent = true;
    EXPECT_TRUE(sim::shapeReply("_KMP-Z400\0"s, shaping).empty());
}

} // namespace
