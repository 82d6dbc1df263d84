#include "sim/mobile_printer.h"
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

TEST(Options, ReceiveKnobs)
{
    auto r = parse({"--tcp", "0", "--chatter", "1200", "--chatter-every", "512", "--read-rate", "150000",
                    "--stall-after", "0", "--pause-after=1000", "--pause-ms", "300", "--rcvbuf", "4096"});
    ASSERT_TRUE(r.ok()) << r.error;
    const auto& o = r.options;
    EXPECT_EQ(o.chatter.bytes, "\x12\x00"s);
    EXPECT_EQ(o.chatter.every, 512u);
    EXPECT_EQ(o.pacing.bytesPerSecond, 150000u);
    ASSERT_TRUE(o.pacing.stallAfter.has_value());
    EXPECT_EQ(*o.pacing.stallAfter, 0u);
    EXPECT_EQ(o.pacing.pauseAfter, 1000u);
    EXPECT_EQ(o.pacing.pauseMs, 300u);
    EXPECT_EQ(o.receiveBuffer, 4096);

    // None of them unless asked for.
    r = parse({"--pty"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_TRUE(r.options.chatter.bytes.empty());
    EXPECT_EQ(r.options.chatter.every, 0u);
    EXPECT_EQ(r.options.pacing.bytesPerSecond, 0u);
    EXPECT_FALSE(r.options.pacing.stallAfter.has_value());
    EXPECT_EQ(r.options.pacing.pauseAfter, 0u);
    EXPECT_EQ(r.options.receiveBuffer, 0);
}

TEST(Options, PersonalityIsGivenOrImpliedByTheModel)
{
    auto r = parse({"--pty"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.personality, &sim::defaultPersonality());
    EXPECT_EQ(r.options.personality->name, "mobile");

    r = parse({"--pty", "--model", "kmp-z800"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.personality, &sim::mobilePersonality);

    // Given after the model, the personality still picks the model's table.
    r = parse({"--pty", "--model", "VX440", "--personality", "mobile"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.model, "VX 440");
    EXPECT_EQ(r.options.personality, &sim::mobilePersonality);

    r = parse({"--pty", "--personality", "mobile"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.model, sim::mobilePersonality.defaultModel);
    EXPECT_EQ(r.options.printer.modelReply, "_KMP-Z400");
}

TEST(Options, HelpNeedsNoTransport)
{
    EXPECT_TRUE(parse({"--help"}).options.help);
    EXPECT_TRUE(parse({"-h"}).options.help);
    EXPECT_TRUE(parse({"--help"}).ok());
    const std::string usage = sim::helpText();
    for (const char* word : {"--pty", "--link", "--tcp", "--bind", "--model", "--model-reply", "--version",
                             "--code-page", "--msr-mode", "--chunk", "--chunk-delay", "--silent", "--stray",
                             "--reply-delay", "--drop-after", "--capture", "--report", "KMP-Z400II", "VX 440",
                             "--personality", "mobile", "--chatter", "--chatter-every", "--read-rate",
                             "--stall-after", "--pause-after", "--pause-ms", "--rcvbuf"})
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
        {"--pty", "--chatter", "12"},
        {"--pty", "--chatter-every", "10"},
        {"--pty", "--chatter", "1", "--chatter-every", "10"},
        {"--pty", "--chatter", "12", "--chatter-every", "0"},
        {"--pty", "--read-rate", "0"},
        {"--pty", "--read-rate", "1000000001"},
        {"--pty", "--stall-after", "-1"},
        {"--pty", "--stall-after", ""},
        {"--pty", "--pause-after", "100"},
        {"--pty", "--pause-ms", "100"},
        {"--pty", "--pause-after", "0", "--pause-ms", "100"},
        {"--pty", "--pause-after", "10", "--pause-ms", "0"},
        {"--pty", "--rcvbuf", "4096"},
        {"--tcp", "0", "--rcvbuf", "255"},
        {"--tcp", "0", "--rcvbuf", "16777217"},
        {"--pty", "--personality", "kiosk"},
        {"--pty", "--personality", "Mobile"},
        {"--pty", "--personality"},
        {"--pty", "--pty"},
        {"--tcp", "0", "--tcp", "1"},
        {"--pty", "--", "--silent"},
        {"--pty", "--model-reply", ""},
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

TEST(Options, ProblemsNameTheRuleBroken)
{
    const std::vector<std::pair<std::vector<std::string_view>, std::string>> cases = {
        {{}, "give a transport: --pty, --tcp PORT or --udp PORT"},
        {{"--pty", "--tcp", "0"}, "give either --pty or --tcp, not both"},
        {{"--tcp", "0", "--link", "/tmp/l"}, "--link works only with --pty"},
        {{"--pty", "--bind", "::1"}, "--bind works only with --tcp"},
        {{"--pty", "--rcvbuf", "4096"}, "--rcvbuf works only with --tcp"},
        {{"--pty", "--chatter-every", "10"}, "--chatter and --chatter-every go together"},
        {{"--pty", "--pause-ms", "100"}, "--pause-after and --pause-ms go together"},
        {{"--pty", "--msr-mode", "0x100"}, "--msr-mode: '0x100' is not a number from 0 to 255"},
        {{"--pty", "--stray", "4G"}, "--stray needs hex byte pairs such as 4142 (up to 4096 bytes)"},
        {{"--pty", "--chatter", "1", "--chatter-every", "10"},
         "--chatter needs hex byte pairs such as 1200 (up to 4096 bytes)"},
        {{"--pty", "--model", "KMP-Z500"}, "unknown model 'KMP-Z500'"},
        {{"--pty", "--chunk", "0"}, "bad value '0' for --chunk (1..65536)"},
        {{"--pty", "--drop-after=9"}, "bad value '9' for --drop-after (10..600000)"},
        {{"--pty", "--personality", "kiosk"}, "bad value 'kiosk' for --personality (mobile, network-board or pos)"},
        {{"--pty", "extra"}, "unexpected argument 'extra'"},
        {{"--udp", "0", "--pty"}, "--udp serves the boards' datagrams alone: no --pty or --tcp with it"},
        {{"--tcp", "0", "--udp-printer", "wlan"}, "--udp-bind, --udp-printer and --udp-stray work only with --udp"},
        {{"--udp", "0", "--udp-printer", "wlan,cap=x"}, "--udp-printer: bad value 'x' for cap"},
    };
    for (const auto& [args, problem] : cases) {
        const auto r = sim::parseOptions(args);
        EXPECT_EQ(r.error, problem) << ::testing::PrintToString(args);
    }
    // The largest stray string is taken; one byte more is refused.
    const std::string longest(2 * 4096, 'a');
    auto r = parse({"--pty", "--stray", longest});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.shaping.stray.size(), 4096u);
    const std::string tooLong = longest + "aa";
    EXPECT_FALSE(parse({"--pty", "--stray", tooLong}).ok());
}

TEST(Options, MemoryStartsAtTheModelsFactoryStateWithTheGivenChanges)
{
    auto r = parse({"--pty", "--model", "VX 440"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(r.options.printer.switches, sim::factoryState("VX 440"));
    EXPECT_FALSE(r.options.printer.dialect.has_value());
    EXPECT_TRUE(r.options.statePath.empty());

    r = parse({"--pty", "--model", "KMP-Z600", "--switch", "1=11110000", "--switch=0x51=00000010", "--switch",
               "1=00000001", "--serial", "9600,2,1,7", "--sentinel", "2=%B\\x2c,?", "--sentinel", "3=,",
               "--bt-mode", "2", "--bt-security", "0", "--bt-pin", "0000", "--bt-name", "Till 4", "--dialect", "bs",
               "--state", "/tmp/state"});
    ASSERT_TRUE(r.ok()) << r.error;
    const sim::SwitchState& s = r.options.printer.switches;
    EXPECT_EQ(*s.switchByNumber(1), 0x01);  // the last one given wins
    EXPECT_EQ(*s.switchByNumber(0x51), 0x02);
    EXPECT_EQ(*s.switchByNumber(2), 0x00);
    EXPECT_EQ(s.serial, (sim::SerialSettings{9600, 2, 1, 7}));
    EXPECT_EQ(s.sentinels[0], (sim::SentinelCodes{"START1", "END1"}));
    EXPECT_EQ(s.sentinels[1], (sim::SentinelCodes{"%B,", "?"}));
    EXPECT_EQ(s.sentinels[2], (sim::SentinelCodes{"", ""}));
    EXPECT_EQ(s.bluetooth, (sim::BluetoothSettings{2, 0, "0000", "Till 4"}));
    EXPECT_EQ(r.options.printer.dialect, sim::Dialect::Bs);
    EXPECT_EQ(r.options.statePath, "/tmp/state");

    const std::vector<std::vector<std::string_view>> bad = {
        {"--pty", "--switch", "4=00000000"},       {"--pty", "--switch", "1=0000000"},
        {"--pty", "--switch", "1=00000002"},       {"--pty", "--switch", "0x52=00000000"},
        {"--pty", "--switch", "00000000"},         {"--pty", "--serial", "9600,0,0"},
        {"--pty", "--serial", "0,0,0,8"},          {"--pty", "--serial", "9600,3,0,8"},
        {"--pty", "--serial", "9600,0,2,8"},       {"--pty", "--serial", "9600,0,0,9"},
        {"--pty", "--serial", "96x0,0,0,8"},       {"--pty", "--sentinel", "4=A,B"},
        {"--pty", "--sentinel", "1=A"},            {"--pty", "--sentinel", "1=12345678901,B"},
        {"--pty", "--sentinel", "1=\\x4,B"},     {"--pty", "--bt-mode", "3"},
        {"--pty", "--bt-security", "2"},           {"--pty", "--dialect", "xx"},
        {"--pty", "--bt-name", std::string_view("a\rb")},
    };
    for (const auto& args : bad)
        EXPECT_FALSE(sim::parseOptions(args).ok()) << ::testing::PrintToString(args);
    EXPECT_EQ(parse({"--pty", "--serial", "9600"}).error,
              "--serial: '9600' is not BAUD,PARITY,FLOW,DATABITS (e.g. 115200,0,0,8; parity 0..2, flow 0..1, "
              "data bits 7 or 8)");
}

TEST(Options, NvFamilyFollowsTheVersionUnlessForcedAndPreloadsMatchIt)
{
    auto r = parse({"--pty"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(sim::nvFamilyOf(r.options.printer), sim::NvFamily::KeyCode);
    EXPECT_EQ(r.options.printer.nv.keysPerBlock, 16u);
    EXPECT_TRUE(r.options.nvPrintDir.empty());

    r = parse({"--pty", "--version", "_B01.00", "--nv-image", "384x100", "--nv-image=0x0"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(sim::nvFamilyOf(r.options.printer), sim::NvFamily::Indexed);
    ASSERT_EQ(r.options.printer.nv.images.size(), 2u);
    EXPECT_EQ(r.options.printer.nv.images[0].width, 384);
    EXPECT_EQ(r.options.printer.nv.images[0].height, 100);
    EXPECT_TRUE(r.options.printer.nv.images[0].key.empty());

    r = parse({"--pty", "--version", "_B01.00", "--nv-family", "key-code", "--nv-key", "A1=16x2", "--nv-key",
               "===8x1", "--nv-keys-per-block", "3", "--nv-print-dir", "/tmp/p"});
    ASSERT_TRUE(r.ok()) << r.error;
    EXPECT_EQ(sim::nvFamilyOf(r.options.printer), sim::NvFamily::KeyCode);
    ASSERT_EQ(r.options.printer.nv.images.size(), 2u);
    EXPECT_EQ(r.options.printer.nv.images[1].key, "==");
    EXPECT_EQ(r.options.printer.nv.keysPerBlock, 3u);
    EXPECT_EQ(r.options.nvPrintDir, "/tmp/p");

    const std::vector<std::vector<std::string_view>> bad = {
        {"--pty", "--nv-family", "both"},
        {"--pty", "--nv-keys-per-block", "0"},
        {"--pty", "--nv-keys-per-block", "1001"},
        {"--pty", "--nv-key", "A=8x1"},
        {"--pty", "--nv-key", "A1=8"},
        {"--pty", "--nv-key", "A1=65536x1"},
        {"--pty", "--nv-key", std::string_view("A\x01=8x1")},
        {"--pty", "--nv-image", "8x1"},                           // a key-code printer
        {"--pty", "--nv-family", "indexed", "--nv-key", "A1=8x1"},  // an indexed one
        {"--pty", "--nv-key", "A1=65535x65535"},                  // beyond the memory
    };
    for (const auto& args : bad)
        EXPECT_FALSE(sim::parseOptions(args).ok()) << ::testing::PrintToString(args);
    EXPECT_EQ(parse({"--pty", "--nv-image", "8x1"}).error,
              "--nv-image works only with an indexed printer; give --nv-key KK=WxH for a key-code one");
}

TEST(Options, UsageIsShortAndNamesNoCommand)
{
    const std::string usage = sim::usageText();
    EXPECT_EQ(usage.rfind("usage: printer-sim [--pty] [--link PATH] [--tcp PORT]", 0), 0u) << usage;
    EXPECT_EQ(usage.find("COMMAND"), std::string::npos) << usage;
    EXPECT_NE(usage.find("Try 'printer-sim --help' for more."), std::string::npos) << usage;
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
