// The page models: pin pages, the "Printer Setting" page, the version rule
// and how a Set ends.
#include "telvara/status/StatusPages.h"

#include <gtest/gtest.h>

namespace telvara {
namespace {

TEST(FirmwareVersionRule, OldUpToOneThirtyOne)
{
    EXPECT_TRUE(FirmwareIsOld("V1.31"));
    EXPECT_FALSE(FirmwareIsOld("V1.32"));
    EXPECT_TRUE(FirmwareIsOld("V1.05"));
    EXPECT_TRUE(FirmwareIsOld("V0.99 KR"));
    EXPECT_FALSE(FirmwareIsOld("V10.05"));
    EXPECT_FALSE(FirmwareIsOld("V2.00"));
    EXPECT_FALSE(FirmwareIsOld("V131")); // no "."
}

// Short texts used to be cut past their end.
TEST(FirmwareVersionRule, ShortTextsAreNotOld)
{
    for (std::string_view t : {"", "V", ".", "V.", "V1.", "V1.3", "V.31"})
        EXPECT_FALSE(FirmwareIsOld(t)) << t;
}

TEST(PinPages, SevenPagesWithTheirSwitchesAndButtons)
{
    PinPageModel page;
    StatusMatrix m;
    EXPECT_FALSE(page.backEnabled());
    EXPECT_FALSE(page.back(m));
    std::vector<int> switches{page.switchNumber()};
    while (page.next(m))
        switches.push_back(page.switchNumber());
    EXPECT_EQ(switches, (std::vector<int>{1, 2, 3, 4, 5, 6, 11}));
    EXPECT_FALSE(page.nextEnabled());
    EXPECT_TRUE(page.backEnabled());
}

TEST(PinPages, NamedPinsAndTheirEntries)
{
    const PinCombo speed = DescribePin(1, 2);
    EXPECT_EQ(speed.label, "Print Speed (Set in Printer Setting Tab)");
    EXPECT_FALSE(speed.editable);
    const PinCombo buzzer = DescribePin(6, 2);
    EXPECT_EQ(buzzer.label, "[PIN 2] Internal buzzer control");
    EXPECT_EQ(buzzer.items[1], "Disable");
    EXPECT_EQ(buzzer.items[2], "Enable");
    EXPECT_EQ(DescribePin(6, 6).label, "[PIN 6] Select watermark printing fucntion");
    EXPECT_EQ(DescribePin(2, 1).items[1], "Double byte Country");
    EXPECT_EQ(DescribePin(4, 1).label, "[PIN 1]ASCII font selection");
    const PinCombo reserved = DescribePin(5, 2);
    EXPECT_EQ(reserved.label, "[PIN 2] Reserved");
    EXPECT_TRUE(reserved.editable);
    EXPECT_EQ(reserved.items[0], "No Change");
    EXPECT_EQ(reserved.items[1], "Enable");
    EXPECT_EQ(DescribePin(11, 7).label, "[PIN 7] Reserved");
}

TEST(PinPages, AChoiceStoresAtOnceAndFixedPinsRefuse)
{
    StatusModel model;
    model.pinPage.next(model.matrix); // switch 2
    EXPECT_TRUE(model.choosePin(1, kOn));
    EXPECT_EQ(model.matrix.get(2, 1), kOn);
    EXPECT_FALSE(model.choosePin(4, kOn)); // the code page pins are set by name
    EXPECT_FALSE(model.choosePin(2, 3));
    EXPECT_EQ(model.matrix.get(2, 4), kNoChange);
    model.matrix.set(2, 5, kOff);
    model.pinPage.refresh(model.matrix);
    EXPECT_EQ(model.pinPage.combo(5).selected, kOff);
    EXPECT_EQ(model.pinPage.combo(1).selected, kOn);
}

TEST(SettingPage, RefreshOnlyReadsTheMatrix)
{
    StatusModel model;
    model.matrix.initialize();
    model.matrix.set(1, 3, kOn); // an unknown speed
    model.matrix.set(2, 1, kOn);
    model.matrix.set(4, 5, kOn); // SHIFT-JIS pins, but switch 12 all off
    const StatusMatrix before = model.matrix;
    model.refresh();
    EXPECT_EQ(model.matrix, before);
    EXPECT_EQ(model.settingPage.selected(Setting::Speed), -1);
    EXPECT_EQ(model.settingPage.selected(Setting::DoubleByteFont), 2);
}

TEST(SettingPage, UnchangedPinsKeepTheSelectionUnknownOnesClearIt)
{
    StatusModel model;
    model.chooseSetting(Setting::CodePage, 5);
    model.chooseSetting(Setting::DoubleByteFont, 2);
    model.chooseSetting(Setting::Emulation, 3);
    model.chooseSetting(Setting::SingleByteFont, 2);
    model.matrix.clear();
    model.refresh();
    EXPECT_EQ(model.settingPage.selected(Setting::CodePage), 5);
    EXPECT_EQ(model.settingPage.selected(Setting::DoubleByteFont), 2);
    EXPECT_EQ(model.settingPage.selected(Setting::Emulation), 1);
    EXPECT_EQ(model.settingPage.selected(Setting::SingleByteFont), 0);

    // A font pattern past the list no longer leaves the old font selected,
    // so the Set that follows downloads nothing.
    model.matrix.set(2, 1, kOn);
    model.matrix.set(4, 6, kOn), model.matrix.set(4, 7, kOn);
    model.refresh();
    EXPECT_EQ(model.settingPage.selected(Setting::DoubleByteFont), -1);
    EXPECT_EQ(DecideSetEnding(true, model.settingPage.selected(Setting::DoubleByteFont), false).fontDownload, 0);
}

TEST(SettingPage, ChoosingWritesTheMatrixAndShowsOnThePinPage)
{
    StatusModel model;
    EXPECT_TRUE(model.chooseSetting(Setting::Speed, 4));
    EXPECT_EQ(SwitchWriteText(model.matrix, 1), "22222011");
    EXPECT_EQ(model.settingPage.selected(Setting::Speed), 4);
    EXPECT_EQ(model.pinPage.combo(1).selected, kOn);
    EXPECT_FALSE(model.chooseSetting(Setting::Speed, 5));
    EXPECT_EQ(model.settingPage.selected(Setting::Speed), 4);
}

TEST(StatusModelGet, AMissingSwitchReadsAsNoChangeAndLeavesTheFlag)
{
    StatusModel model;
    model.matrix.initialize();
    std::array<std::optional<SwitchPins>, kSwitchCount> reads;
    for (auto& r : reads)
        r = SwitchPins{kOn, kOn, kOn, kOn, kOff, kOff, kOff, kOff};
    reads[3].reset(); // switch 4 did not answer
    EXPECT_FALSE(model.takeGet(reads));
    EXPECT_EQ(model.initialisedFlag, 0);
    EXPECT_EQ(SwitchShownText(model.matrix, 4), "--------");
    EXPECT_EQ(SwitchShownText(model.matrix, 12), "00001111");

    reads[3] = SwitchPins{};
    EXPECT_TRUE(model.takeGet(reads));
    EXPECT_EQ(model.initialisedFlag, 1);
}

TEST(StatusModelInitialize, EverySwitchWritesAllZeros)
{
    StatusModel model;
    model.chooseSetting(Setting::DoubleByteFont, 2);
    model.initialize();
    EXPECT_EQ(model.initialisedFlag, 1);
    for (int sw : kSwitchNumbers)
        EXPECT_EQ(SwitchWriteText(model.matrix, sw), "00000000") << sw;
    EXPECT_EQ(model.settingPage.selected(Setting::Speed), 1);
    EXPECT_EQ(model.settingPage.selected(Setting::DoubleByteFont), kFontSingleByte);
}

TEST(SetEndingChoice, ByFontAndFirmwareAge)
{
    const SetEnding lost = DecideSetEnding(false, 2, false);
    EXPECT_EQ(lost.message.text, "Can't connect printer. Please restart printer.");
    EXPECT_EQ(lost.message.caption, "Warning");
    EXPECT_EQ(lost.fontDownload, 0);
    EXPECT_FALSE(lost.rereadIdentity);

    const SetEnding download = DecideSetEnding(true, 2, false);
    EXPECT_EQ(download.message.text, "Success to Change the Firmware,\n And Now Start Font Download!");
    EXPECT_EQ(download.message.icon, texts::Icon::Exclamation);
    EXPECT_EQ(download.fontDownload, 2);

    const SetEnding old = DecideSetEnding(true, 5, true);
    EXPECT_EQ(old.message.text, "Success to set status of printer");
    EXPECT_EQ(old.fontDownload, 0);
    EXPECT_FALSE(old.rereadIdentity);

    for (int single : {kFontSingleByte, 0, -1}) {
        const SetEnding e = DecideSetEnding(true, single, false);
        EXPECT_EQ(e.message.text, "Success to set status of printer");
        EXPECT_EQ(e.message.icon, texts::Icon::Information);
        EXPECT_EQ(e.fontDownload, 0);
        EXPECT_TRUE(e.rereadIdentity);
    }
}

} // namespace
} // namespace telvara
