// The named settings: the pins each entry writes (the printer manual's
// examples), decoding them back, and the patterns that name no entry.
#include "telvara/status/NamedSettings.h"

#include <gtest/gtest.h>

namespace telvara {
namespace {

StatusMatrix chosen(Setting s, int index)
{
    StatusMatrix m;
    EXPECT_TRUE(ChooseSetting(m, s, index));
    return m;
}

TEST(NamedSettingLists, TextsAndSizesAreTheDocumentedOnes)
{
    EXPECT_EQ(SettingItems(Setting::CodePage).size(), 38u);
    EXPECT_EQ(SettingItems(Setting::Speed).size(), 5u);
    EXPECT_EQ(SettingItems(Setting::Density).size(), 4u);
    EXPECT_EQ(SettingItems(Setting::Emulation).size(), 6u);
    EXPECT_EQ(SettingItems(Setting::DoubleByteFont).size(), 7u);
    EXPECT_EQ(SettingItems(Setting::SingleByteFont).size(), 4u);
    for (Setting s : kSettingsInOrder)
        EXPECT_EQ(SettingItems(s)[0], s == Setting::SingleByteFont ? "No Chnage" : "No Change");
    EXPECT_EQ(SettingItems(Setting::CodePage)[7], "WPC1252 (Lantin 1)");
    EXPECT_EQ(SettingItems(Setting::CodePage)[36], "PC866 (DTK)");
    EXPECT_EQ(SettingItems(Setting::CodePage)[37], "WPC1250 (Czech)");
    EXPECT_EQ(SettingItems(Setting::Speed)[1], "Print speed 4 [Default]");
    EXPECT_EQ(SettingItems(Setting::DoubleByteFont)[6], "[Single Byte Font]");
    EXPECT_EQ(SettingItems(Setting::SingleByteFont)[2], "Font B (9x17)");
}

TEST(NamedSettingEncode, SpeedOnSwitchOnePinsOneToThree)
{
    EXPECT_EQ(SwitchWriteText(chosen(Setting::Speed, 4), 1), "22222011"); // speed 1
    EXPECT_EQ(SwitchWriteText(chosen(Setting::Speed, 3), 1), "22222010"); // speed 2
    EXPECT_EQ(SwitchWriteText(chosen(Setting::Speed, 2), 1), "22222001"); // speed 3
    EXPECT_EQ(SwitchWriteText(chosen(Setting::Speed, 1), 1), "22222000"); // speed 4
    StatusMatrix m = chosen(Setting::Speed, 4);
    ChooseSetting(m, Setting::Speed, 0);
    EXPECT_EQ(SwitchWriteText(m, 1), "22222222");
}

TEST(NamedSettingEncode, DensityNoChangeLeavesItsPins)
{
    EXPECT_EQ(SwitchWriteText(chosen(Setting::Density, 1), 1), "21022222"); // level 3
    EXPECT_EQ(SwitchWriteText(chosen(Setting::Density, 2), 1), "20122222"); // level 2
    EXPECT_EQ(SwitchWriteText(chosen(Setting::Density, 3), 1), "20022222"); // level 1
    StatusMatrix m = chosen(Setting::Density, 2);
    ChooseSetting(m, Setting::Density, 0);
    EXPECT_EQ(SwitchWriteText(m, 1), "20122222");
}

TEST(NamedSettingEncode, EmulationOnSwitchThree)
{
    const char* expected[] = {"22222222", "22222000", "22222001", "22222010", "22222011", "22222100"};
    for (int i = 0; i <= 5; ++i)
        EXPECT_EQ(SwitchWriteText(chosen(Setting::Emulation, i), 3), expected[i]) << i;
}

TEST(NamedSettingEncode, CodePageBitsOnSwitchTwo)
{
    EXPECT_EQ(SwitchWriteText(chosen(Setting::CodePage, 36), 2), "00011122"); // PC866 (DTK), n = 35
    EXPECT_EQ(SwitchWriteText(chosen(Setting::CodePage, 37), 2), "00100122"); // WPC1250, n = 36
    EXPECT_EQ(SwitchWriteText(chosen(Setting::CodePage, 1), 2), "00000022");  // PC437
    EXPECT_EQ(SwitchWriteText(chosen(Setting::CodePage, 17), 2), "10000022"); // n = 16: bit 4 on pin 8
}

TEST(NamedSettingEncode, SingleByteFontOnSwitchFour)
{
    EXPECT_EQ(SwitchWriteText(chosen(Setting::SingleByteFont, 1), 4), "22220022");
    EXPECT_EQ(SwitchWriteText(chosen(Setting::SingleByteFont, 2), 4), "22220122");
    EXPECT_EQ(SwitchWriteText(chosen(Setting::SingleByteFont, 3), 4), "22221022");
}

TEST(NamedSettingEncode, DoubleByteFontsAndSwitchTwelve)
{
    const StatusMatrix sjis = chosen(Setting::DoubleByteFont, 2);
    EXPECT_EQ(SwitchWriteText(sjis, 2), "22222221");
    EXPECT_EQ(SwitchWriteText(sjis, 4), "20012222");
    EXPECT_EQ(SwitchWriteText(sjis, 12), "00000011");
    const StatusMatrix ks = chosen(Setting::DoubleByteFont, 1);
    EXPECT_EQ(SwitchWriteText(ks, 4), "20002222");
    EXPECT_EQ(SwitchWriteText(ks, 12), "00000001");
    EXPECT_EQ(SwitchWriteText(chosen(Setting::DoubleByteFont, 3), 4), "20102222");
    EXPECT_EQ(SwitchWriteText(chosen(Setting::DoubleByteFont, 4), 4), "20112222");
    EXPECT_EQ(SwitchWriteText(chosen(Setting::DoubleByteFont, 5), 4), "21002222");
    EXPECT_EQ(SwitchWriteText(chosen(Setting::DoubleByteFont, 5), 12), "00000010");
    const StatusMatrix single = chosen(Setting::DoubleByteFont, 6);
    EXPECT_EQ(SwitchWriteText(single, 2), "22222220");
    EXPECT_EQ(SwitchWriteText(single, 4), "22222222");
    EXPECT_EQ(SwitchWriteText(single, 12), "00000000");
}

TEST(NamedSettingEncode, AFontChoiceLeavesNoFlagOfAnEarlierOne)
{
    StatusMatrix m;
    m.set(12, 8, kOn);
    ChooseSetting(m, Setting::DoubleByteFont, 2); // SHIFT-JIS: pins 1 and 2
    ChooseSetting(m, Setting::DoubleByteFont, 3); // BIG5: pin 2 only
    EXPECT_EQ(SwitchWriteText(m, 12), "00000010");
}

TEST(NamedSettingEncode, IndexesOutsideAListChangeNothing)
{
    for (Setting s : kSettingsInOrder) {
        StatusMatrix m;
        m.set(1, 1, kOn);
        const StatusMatrix before = m;
        EXPECT_FALSE(ChooseSetting(m, s, -1));
        EXPECT_FALSE(ChooseSetting(m, s, static_cast<int>(SettingItems(s).size())));
        EXPECT_EQ(m, before);
    }
}

TEST(NamedSettingDecode, EveryEntryReadsBackAsChosen)
{
    for (Setting s : kSettingsInOrder) {
        for (int i = 1; i < static_cast<int>(SettingItems(s).size()); ++i) {
            StatusMatrix m;
            m.initialize(); // as after a Get: every pin known
            ChooseSetting(m, s, i);
            const Decoded d = DecodeSetting(m, s);
            EXPECT_EQ(d.kind, DecodeKind::Listed) << static_cast<int>(s) << " " << i;
            EXPECT_EQ(d.index, i) << static_cast<int>(s);
        }
    }
}

TEST(NamedSettingDecode, AllPinsUnchangedKeepsOrShowsTheDefault)
{
    const StatusMatrix m;
    for (Setting s : {Setting::Speed, Setting::Density, Setting::CodePage, Setting::DoubleByteFont}) {
        EXPECT_EQ(DecodeSetting(m, s).kind, DecodeKind::Unchanged);
        EXPECT_EQ(DecodeSetting(m, s).index, kKeepPrevious);
    }
    EXPECT_EQ(DecodeSetting(m, Setting::Emulation).kind, DecodeKind::Unchanged);
    EXPECT_EQ(DecodeSetting(m, Setting::Emulation).index, 1);
    EXPECT_EQ(DecodeSetting(m, Setting::SingleByteFont).kind, DecodeKind::Unchanged);
    EXPECT_EQ(DecodeSetting(m, Setting::SingleByteFont).index, 0);
}

// Pins that would index past a list used to select a stale or wrong entry.
TEST(NamedSettingDecode, PatternsBeyondTheListsAreUnknown)
{
    StatusMatrix m;
    m.initialize();
    m.set(1, 3, kOn); // speed "5".."8"
    EXPECT_EQ(DecodeSetting(m, Setting::Speed).kind, DecodeKind::Unknown);
    EXPECT_EQ(DecodeSetting(m, Setting::Speed).index, -1);

    m.initialize();
    m.set(2, 3, kOn); // bit 5: n = 32 is listed
    EXPECT_EQ(DecodeSetting(m, Setting::CodePage).index, 33);
    m.set(2, 8, kOn); // n = 48: beyond the 37 code pages
    EXPECT_EQ(DecodeSetting(m, Setting::CodePage).kind, DecodeKind::Unknown);

    for (auto pins : {std::array<int, 3>{kOff, kOn, kOn}, std::array<int, 3>{kOn, kOn, kOn},
                      std::array<int, 3>{kOn, kOff, kOn}}) {
        m.initialize();
        m.set(2, 1, kOn);
        for (int p = 0; p < 3; ++p)
            m.set(4, 5 + p, pins[static_cast<std::size_t>(p)]);
        EXPECT_EQ(DecodeSetting(m, Setting::DoubleByteFont).kind, DecodeKind::Unknown);
        EXPECT_EQ(DecodeSetting(m, Setting::DoubleByteFont).index, -1);
    }

    m.initialize();
    m.set(1, 6, kOn), m.set(1, 7, kOn);
    EXPECT_EQ(DecodeSetting(m, Setting::Density).kind, DecodeKind::Unknown);
    m.set(4, 3, kOn), m.set(4, 4, kOn);
    EXPECT_EQ(DecodeSetting(m, Setting::SingleByteFont).kind, DecodeKind::Unknown);
    EXPECT_EQ(DecodeSetting(m, Setting::SingleByteFont).index, 0); // shows "No Chnage"
}

TEST(NamedSettingDecode, DoubleByteFontFromTheDestinationPin)
{
    StatusMatrix m;
    m.initialize();
    EXPECT_EQ(DecodeSetting(m, Setting::DoubleByteFont).index, kFontSingleByte);
    m.set(2, 1, kOn); // switch 4 pins 5-7 all off
    EXPECT_EQ(DecodeSetting(m, Setting::DoubleByteFont).kind, DecodeKind::Listed);
    EXPECT_EQ(DecodeSetting(m, Setting::DoubleByteFont).index, kFontKs5601);
    m.set(4, 6, kNoChange); // off/unchanged/off names no font
    EXPECT_EQ(DecodeSetting(m, Setting::DoubleByteFont).kind, DecodeKind::Unknown);
    StatusMatrix unset;
    unset.set(4, 5, kOn); // destination unknown, font pins set
    EXPECT_EQ(DecodeSetting(unset, Setting::DoubleByteFont).kind, DecodeKind::Unknown);
}

TEST(NamedSettingDecode, EmulationFollowsTheFirstPinThatIsOn)
{
    StatusMatrix m;
    m.initialize();
    m.set(3, 1, kOn), m.set(3, 3, kOn);
    EXPECT_EQ(DecodeSetting(m, Setting::Emulation).index, 2);
    m.set(3, 2, kOn);
    EXPECT_EQ(DecodeSetting(m, Setting::Emulation).index, 4);
}

} // namespace
} // namespace telvara
