// The command line's text form of a switch set and its SETTINGS arguments.
#include "telvara/status/StatusCli.h"

#include <gtest/gtest.h>

namespace telvara {
namespace {

std::vector<std::string> settingLines(const StatusMatrix& m)
{
    const auto all = DescribeStatus(m);
    return {all.begin() + kSwitchCount, all.end()};
}

SettingsRequest parsed(std::vector<std::string> args)
{
    const SettingsParse p = ParseSettings(args);
    EXPECT_FALSE(p.error) << *p.error;
    return p.request;
}

TEST(DescribeStatus, SwitchLinesAndDecodedSettings)
{
    StatusModel model;
    model.matrix.initialize();
    ApplySettings(parsed({"--speed", "1", "--density", "2", "--emulation", "4", "--code-page", "35",
                          "--single-byte-font", "C", "--double-byte-font", "SHIFT-JIS"}),
                  model);
    const auto lines = DescribeStatus(model.matrix);
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], "MSW1 00100011");
    EXPECT_EQ(lines[1], "MSW2 00011101");
    EXPECT_EQ(lines[2], "MSW3 00000011");
    EXPECT_EQ(lines[3], "MSW4 00011000");
    EXPECT_EQ(lines[6], "MSW11 00000000");
    EXPECT_EQ(lines[7], "MSW12 ------11"); // what the matrix holds, not what a write sends
    EXPECT_EQ(settingLines(model.matrix),
              (std::vector<std::string>{"print-speed: 1", "print-density: 2", "emulation: 4",
                                        "code-page: 35 PC866 (DTK)", "single-byte-font: C",
                                        "double-byte-font: SHIFT-JIS"}));
}

TEST(DescribeStatus, UnchangedAndUnknown)
{
    StatusMatrix m;
    const auto lines = DescribeStatus(m);
    EXPECT_EQ(lines[0], "MSW1 --------");
    EXPECT_EQ(settingLines(m), (std::vector<std::string>{"print-speed: unchanged", "print-density: unchanged",
                                                         "emulation: unchanged", "code-page: unchanged",
                                                         "single-byte-font: unchanged",
                                                         "double-byte-font: unchanged"}));
    m.initialize();
    m.set(1, 3, kOn);
    m.set(1, 6, kOn), m.set(1, 7, kOn);
    m.set(2, 8, kOn), m.set(2, 3, kOn); // code page 48
    m.set(4, 3, kOn), m.set(4, 4, kOn);
    m.set(2, 1, kOn), m.set(4, 5, kOn), m.set(4, 7, kOn);
    EXPECT_EQ(settingLines(m), (std::vector<std::string>{"print-speed: unknown", "print-density: unknown",
                                                         "emulation: 1", "code-page: unknown",
                                                         "single-byte-font: unknown", "double-byte-font: unknown"}));
    m.initialize();
    m.set(2, 1, kOn);
    EXPECT_EQ(settingLines(m).back(), "double-byte-font: KS5601");
    EXPECT_EQ(settingLines(m)[3], "code-page: 0 PC437 (USA: Standard Europe)");
}

TEST(SettingsArguments, NamedSettingsApplyInTheirOrderThenPinsAsGiven)
{
    StatusModel model;
    model.matrix.initialize();
    // --pin comes first on the line but after --speed in effect.
    ApplySettings(parsed({"--pin", "1.1=off", "--speed=1", "--switch", "12=-------1", "--double-byte-font",
                          "BIG5", "--pin", "5.3=on", "--pin", "5.3=keep"}),
                  model);
    EXPECT_EQ(SwitchWriteText(model.matrix, 1), "00000010");
    // "-" is the no change entry: pin 2 set by BIG5 goes back to it.
    EXPECT_EQ(SwitchWriteText(model.matrix, 12), "00000001");
    EXPECT_EQ(SwitchWriteText(model.matrix, 5), "00000200");
    EXPECT_EQ(model.settingPage.selected(Setting::DoubleByteFont), 3);
}

TEST(SettingsArguments, KeepChoosesNoChange)
{
    StatusModel model;
    model.matrix.initialize();
    ApplySettings(parsed({"--speed", "keep", "--code-page", "keep", "--double-byte-font", "keep",
                          "--density", "keep"}),
                  model);
    EXPECT_EQ(SwitchWriteText(model.matrix, 1), "00000222");
    EXPECT_EQ(SwitchWriteText(model.matrix, 2), "22222202");
    EXPECT_EQ(SwitchWriteText(model.matrix, 4), "02220000");
    EXPECT_EQ(SwitchWriteText(model.matrix, 12), "00000000");
    EXPECT_EQ(SettingsRequest{}.empty(), true);
}

TEST(SettingsArguments, SwitchPatternsPinEightFirst)
{
    const SettingsRequest r = parsed({"--switch", "11=10-----0"});
    ASSERT_EQ(r.pinEdits.size(), 8u);
    EXPECT_EQ(r.pinEdits[0].pin, 8);
    EXPECT_EQ(r.pinEdits[0].entry, kOn);
    EXPECT_EQ(r.pinEdits[1].entry, kOff);
    EXPECT_EQ(r.pinEdits[2].entry, kNoChange);
    EXPECT_EQ(r.pinEdits[7].pin, 1);
    EXPECT_EQ(r.pinEdits[7].entry, kOff);
}

TEST(SettingsArguments, BadValuesAreRefused)
{
    const std::vector<std::vector<std::string>> bad{
        {"--speed", "5"},
        {"--speed", "0"},
        {"--density", "4"},
        {"--emulation", "1x"},
        {"--code-page", "37"},
        {"--code-page", "-1"},
        {"--single-byte-font", "a"},
        {"--double-byte-font", "ks5601"},
        {"--switch", "7=11111111"},
        {"--switch", "1=1111111"},
        {"--switch", "1=1111111x"},
        {"--switch", "11111111"},
        {"--pin", "1.9=on"},
        {"--pin", "1.1=yes"},
        {"--pin", "13.1=on"},
        {"--pin", "1=on"},
        {"--colour", "red"},
        {"--speed"},
    };
    for (const auto& args : bad) {
        const SettingsParse p = ParseSettings(args);
        EXPECT_TRUE(p.error) << args[0] << " " << (args.size() > 1 ? args[1] : "");
    }
    EXPECT_EQ(*ParseSettings(std::vector<std::string>{"--speed", "5"}).error,
              "--speed: expected 1..4 or keep, got '5'");
    EXPECT_TRUE(IsSettingOption("--pin"));
    EXPECT_FALSE(IsSettingOption("--from"));
}

} // namespace
} // namespace telvara
