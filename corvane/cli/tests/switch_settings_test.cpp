// The memory switch record as command-line text: printing, reading back,
// the static checks and the printer's own.
#include "corvane/cli/cli_options.h"
#include "corvane/cli/switch_settings.h"

#include <gtest/gtest.h>

namespace corvane::cli {
namespace {

struct SwitchText : ::testing::Test {
    CCommonUtil util;
    CCommonTlvr record{util};

    void printer(std::uint32_t version, std::uint8_t msr = '0')
    {
        util.g_Getver = version;
        util.msrMode = msr;
    }
    std::vector<std::string> keys() const
    {
        std::vector<std::string> out;
        const std::string lines = SwitchSettingsRecord(record).lines();
        for (std::size_t at = 0; at < lines.size();) {
            const std::size_t nl = lines.find('\n', at);
            out.push_back(lines.substr(at, lines.find(':', at) - at));
            at = nl + 1;
        }
        return out;
    }
    bool parse(const std::string& text, std::vector<SwitchAssignment>& out, std::string& problem)
    {
        return ParseSwitchInput(text, out, problem);
    }
    std::string problemWith(const std::string& text)
    {
        std::vector<SwitchAssignment> out;
        std::string problem;
        EXPECT_FALSE(parse(text, out, problem)) << text;
        return problem;
    }
};

TEST_F(SwitchText, PrintsWhatThisPrinterHasInSetOrder)
{
    printer(101000);
    record.BlackMarkSensor = PackBlackMark('0', '1');
    const std::vector<std::string> all{
        "Density", "Speed", "LCharMode", "CodePage", "QrCode", "MaxiCode", "DataMatrix", "Pdf417", "TimeOff",
        "TimeSave", "Msr", "Sentinel", "Service", "BeepLowBat", "BeepPaper", "FontType", "MFI", "BlackMarkSensor",
        "Baudrate", "Parity", "Flowcontrol", "Databit", "Track1Start", "Track1End", "Track2Start", "Track2End",
        "Track3Start", "Track3End", "RfInterface", "BtConnectionMode", "BtDeviceName", "BtPinCode", "BtSecurity"};
    EXPECT_EQ(keys(), all);

    printer(21001, 'P'); // BS, no switch 7, no sentinels below 21021
    const std::vector<std::string> bs{"Density", "Speed", "LCharMode", "CodePage", "QrCode", "MaxiCode",
                                      "DataMatrix", "Pdf417", "TimeOff", "TimeSave", "Service", "BeepLowBat",
                                      "BeepPaper", "FontType", "Baudrate", "Parity", "Flowcontrol", "Databit"};
    EXPECT_EQ(keys(), bs);

    printer(1030); // old GS: no switch 3
    const auto old = keys();
    EXPECT_EQ(std::count(old.begin(), old.end(), "QrCode"), 0);
    EXPECT_EQ(std::count(old.begin(), old.end(), "MFI"), 1);
    EXPECT_EQ(std::count(old.begin(), old.end(), "Msr"), 1);
}

TEST_F(SwitchText, GetOutputReadsBackToTheSameRecord)
{
    printer(101000, '9'); // high-nibble MSR: -1 is a value it reads
    record.Density = 7;
    record.Msr = -1;
    record.BlackMarkSensor = PackBlackMark('1', '0');
    record.Baudrate = 9600;
    record.Databit = 7;
    record.Track1Start = std::string("\x0A\x1F\"\\x", 5);
    record.Track1End = "";
    record.Track2Start = "S2";
    record.Track3Start = "S3";
    record.BtDeviceName = "Name \"1\"";
    record.BtPinCode = "0000";
    const std::string lines = "model: KMP-Z600\ncommand form: gs\n" + SwitchSettingsRecord(record).lines();
    EXPECT_NE(lines.find("Track1Start: \"\\x0a\\x1f\\\"\\\\x\"\n"), std::string::npos) << lines;
    EXPECT_NE(lines.find("BlackMarkSensor: 10\n"), std::string::npos);

    std::vector<SwitchAssignment> parsed;
    std::string problem;
    ASSERT_TRUE(parse(lines, parsed, problem)) << problem;
    CCommonTlvr back{util};
    back.BlackMarkSensor = PackBlackMark('0', '0');
    const ApplyReport report = ApplySwitchAssignments(back, parsed, true);
    EXPECT_FALSE(report.refusal);
    EXPECT_TRUE(report.warnings.empty()) << report.warnings.front();
    EXPECT_EQ(SwitchSettingsRecord(back).lines(), SwitchSettingsRecord(record).lines());
    EXPECT_EQ(back.Track1Start, record.Track1Start);
}

TEST_F(SwitchText, InputFormsCommentsAndKeysInAnyCase)
{
    std::vector<SwitchAssignment> out;
    std::string problem;
    ASSERT_TRUE(parse("# comment\n\n  density: 3\nTRACK1START: hex:0A 1F 10 4C\nbtdevicename:  bare name  \n"
                      "model code: 600\n",
                      out, problem))
        << problem;
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0].number, 3);
    EXPECT_EQ(out[1].text, std::string("\x0A\x1F\x10\x4C"));
    EXPECT_EQ(out[2].text, "bare name");
    SwitchAssignment a;
    ASSERT_TRUE(ParseSwitchOption("Msr=-1", a, problem)) << problem;
    EXPECT_EQ(a.number, -1);
    EXPECT_FALSE(ParseSwitchOption("Msr", a, problem));
}

TEST_F(SwitchText, StaticChecksRefuseBadInput)
{
    EXPECT_EQ(problemWith("Colour: 1\n"), "line 1: unknown key 'Colour'");
    EXPECT_EQ(problemWith("Density: 3\ndensity: 4\n"), "line 2: Density is given twice");
    EXPECT_EQ(problemWith("Density: 8\n"), "line 1: Density 8 is out of range 0..7");
    EXPECT_EQ(problemWith("Msr: -2\n"), "line 1: Msr -2 is out of range -1..15");
    EXPECT_EQ(problemWith("Databit: 6\n"), "line 1: Databit 6 is out of range 7..8");
    EXPECT_EQ(problemWith("Baudrate: 0\n"), "line 1: Baudrate 0 must be a positive whole number");
    EXPECT_EQ(problemWith("TimeOff: 12x\n"), "line 1: TimeOff: '12x' is not a whole number");
    EXPECT_EQ(problemWith("BlackMarkSensor: 11\n"), "line 1: BlackMarkSensor: '11' must be 00, 01 or 10");
    EXPECT_EQ(problemWith("Track1Start: \"\"\n"),
              "line 1: Track1Start: Invalid value! Sentinel length is over 10 ( length range : 1~10 )");
    EXPECT_EQ(problemWith("Track2End: 12345678901\n"),
              "line 1: Track2End: Invalid value! Sentinel length is over 10 ( length range : 1~10 )");
    EXPECT_EQ(problemWith("Track1Start: hex:0G\n"), "line 1: Track1Start: Invalid HEXA Format!!");
    EXPECT_EQ(problemWith("BtPinCode: \"12\\x0d\"\n"), "line 1: BtPinCode: a carriage return or NUL cannot be sent");
    EXPECT_EQ(problemWith("BtPinCode: \"12\n"), "line 1: BtPinCode: the quoted text has no closing quote");
    EXPECT_EQ(problemWith("BtPinCode: \"1\\q\"\n"),
              "line 1: BtPinCode: unknown escape in a quoted text (use \\\\, \\\" or \\xHH)");
    EXPECT_EQ(problemWith("Density 3\n"), "line 1: expected 'Key: value'");
    // Every value get can print passes: Msr -1, FontType 3, an empty end code.
    std::vector<SwitchAssignment> out;
    std::string problem;
    EXPECT_TRUE(parse("Msr: -1\nFontType: 3\nTrack1End: \"\"\nBaudrate: 1200\n", out, problem)) << problem;
}

TEST_F(SwitchText, PrinterChecksRefuseChangedValuesItCannotCarry)
{
    const auto apply = [this](const std::string& text, bool bluetooth = false) {
        std::vector<SwitchAssignment> out;
        std::string problem;
        EXPECT_TRUE(ParseSwitchInput(text, out, problem)) << problem;
        return ApplySwitchAssignments(record, out, bluetooth);
    };
    printer(20999);
    record.CodePage = 3;
    ApplyReport r = apply("CodePage: 40\nDensity: 2\n");
    ASSERT_TRUE(r.refusal);
    EXPECT_EQ(*r.refusal, "CodePage 40 is not supported by this printer");
    EXPECT_EQ(record.Density, 0) << "nothing applied after a refusal";
    printer(21000);
    EXPECT_FALSE(apply("CodePage: 40\n").refusal);
    EXPECT_EQ(record.CodePage, 40);

    printer(11061, '9'); // high nibble: -1..14
    r = apply("Msr: 15\n");
    ASSERT_TRUE(r.refusal);
    EXPECT_EQ(*r.refusal, "Msr 15 is not supported by this printer");
    EXPECT_FALSE(apply("Msr: -1\n").refusal);
    printer(11060, '9'); // no switch 7 at all
    r = apply("Msr: 3\n");
    EXPECT_FALSE(r.refusal);
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "ignored, this printer does not have: Msr");
    printer(1040, '0'); // low nibble: 0..15
    record.Msr = 4;
    r = apply("Msr: -1\n");
    ASSERT_TRUE(r.refusal);
    EXPECT_EQ(*r.refusal, "Msr -1 is not supported by this printer");

    printer(21020);
    r = apply("Track1Start: AB\nSentinel: 1\n");
    ASSERT_EQ(r.warnings.size(), 1u);
    EXPECT_EQ(r.warnings[0], "ignored, this printer does not have: Track1Start, Sentinel");
    EXPECT_NE(record.Track1Start, "AB");

    printer(101000);
    r = apply("BtPinCode: 1234\nBaudrate: 1200\n");
    ASSERT_EQ(r.warnings.size(), 2u);
    EXPECT_EQ(r.warnings[0], "Baudrate 1200 is not one the printer takes: 115200 is sent");
    EXPECT_EQ(r.warnings[1], "ignored, Bluetooth settings are written only with --bluetooth: BtPinCode");
    EXPECT_EQ(record.Baudrate, 1200);
    apply("BtPinCode: 1234\n", true);
    EXPECT_EQ(record.BtPinCode, "1234");
    record.FontType = 0;
    EXPECT_TRUE(apply("FontType: 3\n").refusal);
    record.FontType = 3;
    EXPECT_FALSE(apply("FontType: 3\n").refusal) << "the value read is written back unchanged";
}

TEST(SwitchOptions, SetOptionsBelongToSetAndTheFileIsOptional)
{
    Options o;
    std::string problem;
    ASSERT_TRUE(parseOptions({"--port", "COM2", "switches", "set", "--set", "Density=3", "--set", "Speed=1",
                              "--bluetooth"},
                             o, problem))
        << problem;
    EXPECT_EQ(o.command, "switches set");
    EXPECT_TRUE(o.arguments.empty());
    EXPECT_EQ(o.sets, (std::vector<std::string>{"Density=3", "Speed=1"}));
    EXPECT_TRUE(o.bluetooth);
    Options f;
    ASSERT_TRUE(parseOptions({"switches", "set", "-"}, f, problem)) << problem;
    EXPECT_EQ(f.arguments, std::vector<std::string>{"-"});
    EXPECT_FALSE(parseOptions({"switches", "set", "a", "b"}, f, problem));
    EXPECT_EQ(problem, "switches set takes at most 1 argument: [FILE]");
    Options g;
    EXPECT_FALSE(parseOptions({"switches", "get", "--set", "Density=3"}, g, problem));
    EXPECT_NE(helpText().find("switches set [FILE]"), std::string::npos);
}

} // namespace
} // namespace corvane::cli
