// The settings pages' models: what each page shows for a record and a
// printer, and what goes back into the record on Save and Default.
#include "corvane/switches/TlvrPages.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

struct Pages : ::testing::Test {
    CCommonUtil util;
    CCommonTlvr record{util};

    void printer(std::uint32_t version, int model = kModelZ400, std::uint8_t msrMode = '0')
    {
        util.g_Getver = version;
        util.g_Model = model;
        util.msrMode = msrMode;
    }
};

// ---- page 1 ----

TEST_F(Pages, DensityCodeMapsToItsPercentageAndBackByVersion)
{
    printer(1040);
    record.Density = 4;
    TlvrPage1Model page;
    page.load(record);
    ASSERT_EQ(page.density.selected, 5);
    EXPECT_EQ(*page.density.selectedText(), " 100%");
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.Density, 4);

    // Below 1040 the list position itself is the code.
    printer(1000);
    record.Density = 4;
    page.load(record);
    EXPECT_EQ(page.density.selected, 5);
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.Density, 5);

    // Every code survives a round trip from 1040 on.
    printer(1040);
    for (int code = 0; code < 8; ++code) {
        record.Density = code;
        page.load(record);
        page.store(record, PagesChoice::Save);
        EXPECT_EQ(record.Density, code);
    }
    EXPECT_EQ(DensityCodeForIndex(0, 1040), 3);
    EXPECT_EQ(DensityCodeForIndex(8, 1040), -1);
    EXPECT_EQ(DensityCodeForIndex(-1, 1000), -1);
}

TEST_F(Pages, SpeedFirstItemByModelAndVersion)
{
    EXPECT_EQ(SpeedFirstItem(kModelZ400II, 101000), "90mm/s");
    EXPECT_EQ(SpeedFirstItem(kModelZ400W, 101000), "90mm/s");
    EXPECT_EQ(SpeedFirstItem(kModelZ800, 101000), "80mm/s");
    EXPECT_EQ(SpeedFirstItem(kModelZ400, 101000), "100mm/s");
    EXPECT_EQ(SpeedFirstItem(kModelZ400II, 100999), "80mm/s");
    printer(101000, kModelZ600);
    TlvrPage1Model page;
    page.load(record);
    EXPECT_EQ(page.speed.items, (std::vector<std::string>{"100mm/s", "50mm/s"}));
}

TEST_F(Pages, CodePageListLengthAndTextsByVersion)
{
    const auto old = CodePageItems(20999);
    ASSERT_EQ(old.size(), 32u);
    EXPECT_EQ(old[0], "PC437 - USA, Standard Europe");
    EXPECT_EQ(old[21], "Reserved");
    EXPECT_EQ(old[30], "Reserved");
    EXPECT_EQ(old[31], "Reserved");
    const auto mid = CodePageItems(21000);
    ASSERT_EQ(mid.size(), 32u);
    EXPECT_EQ(mid[30], "WPC1258 - Vietnamese");
    EXPECT_EQ(mid[31], "WPC1258 - Vietnamese");
    const auto current = CodePageItems(101000);
    ASSERT_EQ(current.size(), 36u);
    EXPECT_EQ(current[31], "KHMER");
    EXPECT_EQ(current[34], "Reserved");
    EXPECT_EQ(current[35], "WPC1250 - Latin 2");
}

TEST_F(Pages, FontRadiosAreRelabelledAndShiftedBelow101000)
{
    printer(100999);
    record.FontType = 0;
    TlvrPage1Model page;
    page.load(record);
    EXPECT_FALSE(page.fontAVisible);
    EXPECT_EQ(page.fontTexts[1], "A font(12x24)");
    EXPECT_EQ(page.fontTexts[2], "B font(9x24)");
    EXPECT_EQ(page.fontRadio(), 1);
    EXPECT_TRUE(page.barcodeChecksEnabled);
    record.FontType = 7;
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.FontType, 0);
    page.setFontIndex(2);
    page.store(record, PagesChoice::Default);
    EXPECT_EQ(record.FontType, 1);

    printer(101000);
    record.FontType = 2;
    page.load(record);
    EXPECT_TRUE(page.fontAVisible);
    EXPECT_EQ(page.fontTexts, (std::array<std::string, 3>{"Font A ( 12 x 24 )", "Font B ( 9 x 17 ) ",
                                                           "Font C ( 9 x 24 )"}));
    EXPECT_EQ(page.fontRadio(), 2);
    EXPECT_FALSE(page.barcodeChecksEnabled);
    page.setFontIndex(0);
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.FontType, 0);
}

TEST_F(Pages, TwoDBarcodeWarningOnlyWhenGoingFromOneToMore)
{
    printer(100000);
    record.Pdf417 = 1;
    TlvrPage1Model page;
    page.load(record);
    EXPECT_EQ(page.barcodeCount(), 1);
    EXPECT_TRUE(page.setBarcode(TlvrPage1Model::kQrCode, true));
    EXPECT_FALSE(page.setBarcode(TlvrPage1Model::kQrCode, false));
    EXPECT_FALSE(page.setBarcode(TlvrPage1Model::kQrCode, true));
    EXPECT_FALSE(page.setBarcode(TlvrPage1Model::kMaxiCode, true));

    // From none: the first flag makes one, the second warns.
    record.Pdf417 = 0;
    page.load(record);
    EXPECT_FALSE(page.setBarcode(TlvrPage1Model::kDataMatrix, true));
    EXPECT_TRUE(page.setBarcode(TlvrPage1Model::kMaxiCode, true));
    page.store(record, PagesChoice::Default);
    EXPECT_EQ(record.DataMatrix, 1);
    EXPECT_EQ(record.MaxiCode, 1);
    EXPECT_EQ(record.Pdf417, 0);
}

// ---- page 2 ----

TEST_F(Pages, BlackMarkPairsSelectFrontOrRearOthersDisableTheList)
{
    printer(101000);
    TlvrPage2Model page;
    record.BlackMarkSensor = PackBlackMark('0', '1');
    page.load(record);
    EXPECT_EQ(page.blackMark.selected, 0);
    EXPECT_TRUE(page.blackMark.enabled);
    page.blackMark.selected = 1;
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.BlackMarkSensor, PackBlackMark('1', '0'));

    record.BlackMarkSensor = PackBlackMark('0', '0');
    page.load(record);
    EXPECT_FALSE(page.blackMark.enabled);
    EXPECT_EQ(page.blackMark.selected, -1);
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.BlackMarkSensor, PackBlackMark('0', '0'));
}

TEST_F(Pages, MsrListByModeByteAndVersion)
{
    TlvrPage2Model page;
    printer(101000, kModelZ400, '0');
    page.load(record);
    EXPECT_EQ(page.msr.items.size(), 9u);
    EXPECT_EQ(page.msr.items[5], "Track 2 read mode AUTO trigger");
    printer(11061, kModelZ400, '9');
    page.load(record);
    ASSERT_EQ(page.msr.items.size(), 8u);
    EXPECT_EQ(page.msr.items[0], "Track 1/2/3 read mode command");
    printer(11060, kModelZ400, '9');
    page.load(record);
    EXPECT_EQ(page.msr.items, std::vector<std::string>{"Only Encription MSR"});
    EXPECT_FALSE(page.msr.enabled);
}

TEST_F(Pages, MsrModePShowsOnlyThePlaceholderAndKeepsMsr)
{
    printer(101000, kModelZ400, 'P');
    record.Msr = 6;
    TlvrPage2Model page;
    page.load(record);
    EXPECT_EQ(page.msr.items, std::vector<std::string>{"Only Encription MSR"});
    EXPECT_EQ(page.msr.selected, 0);
    EXPECT_FALSE(page.msr.enabled);
    EXPECT_TRUE(page.advanceEnabled);
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.Msr, 6);
}

TEST_F(Pages, IcCardModeAndOldFirmwareDisableAdvanceAndClearTheSentinel)
{
    record.Sentinel = 2;
    record.Msr = 3;
    TlvrPage2Model page;
    printer(101000, kModelZ400, 0x60);
    page.load(record);
    EXPECT_EQ(page.msr.items, std::vector<std::string>{"IC card mode"});
    EXPECT_FALSE(page.advanceEnabled);
    EXPECT_EQ(page.sentinelOption(), 0);
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.Msr, 3);
    EXPECT_EQ(record.Sentinel, 0);

    record.Sentinel = 1;
    printer(21020);
    page.load(record);
    EXPECT_FALSE(page.advanceEnabled);
    EXPECT_TRUE(page.msr.enabled);
    printer(21021);
    page.load(record);
    EXPECT_TRUE(page.advanceEnabled);
    EXPECT_EQ(page.sentinelOption(), 1);
}

TEST_F(Pages, TimeEditsAcceptOnlyIntegersInRangeAndKeepTheLastValid)
{
    printer(101000);
    record.TimeOff = 30;
    record.TimeSave = 100;
    TlvrPage2Model page;
    page.load(record);
    EXPECT_EQ(page.powerOffText, "30");
    EXPECT_EQ(page.setPowerOffText("45"), std::nullopt);
    EXPECT_EQ(page.setPowerOffText("91"), "Enter an integer between 0 and 90.");
    EXPECT_EQ(page.setPowerOffText("x"), "Enter an integer between 0 and 90.");
    EXPECT_EQ(page.setPowerOffText(""), "Enter an integer between 0 and 90.");
    EXPECT_EQ(page.setPowerOffText("-1"), "Enter an integer between 0 and 90.");
    EXPECT_EQ(page.setPowerOffText("99999999999999999999"), "Enter an integer between 0 and 90.");
    EXPECT_EQ(page.powerOff(), 45);
    EXPECT_EQ(page.setPowerSavingText(" 255 "), std::nullopt);
    EXPECT_EQ(page.setPowerSavingText("256"), "Enter an integer between 0 and 255.");
    EXPECT_EQ(page.setPowerSavingText("0"), std::nullopt);
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.TimeOff, 45);
    EXPECT_EQ(record.TimeSave, 0);
}

TEST_F(Pages, SentinelsComeBackFromTheSentinelDialog)
{
    printer(101000);
    record.Sentinel = 1;
    record.Track2Start.assign(1, ';'); // not = ";": GCC 12 -O3 -Wrestrict false positive
    TlvrPage2Model page;
    page.load(record);
    CCommonTlvr scratch(record);
    page.sentinelsInto(scratch);
    EXPECT_EQ(scratch.Track2Start, ";");
    scratch.Sentinel = 2;
    scratch.Track1Start.assign(1, '%'); // not = "%": GCC 12 -O3 -Wrestrict false positive
    scratch.Track3End = "?\x01";
    page.takeSentinels(scratch);
    page.store(record, PagesChoice::Default);
    EXPECT_EQ(record.Sentinel, 2);
    EXPECT_EQ(record.Track1Start, "%");
    EXPECT_EQ(record.Track2Start, ";");
    EXPECT_EQ(record.Track3End, std::string("?\x01"));
}

// ---- page 3 ----

TEST_F(Pages, SerialListsMapTheRecordAndSaveTheItemValues)
{
    printer(101000);
    record.Baudrate = 57600;
    record.Databit = 7;
    record.Parity = 2;
    record.Flowcontrol = 1;
    record.RfInterface = 2;
    TlvrPage3Model page;
    page.load(record);
    EXPECT_EQ(page.baudRate.selected, 5);
    EXPECT_EQ(page.dataBits.selected, 0);
    EXPECT_EQ(page.parity.selected, 2);
    EXPECT_EQ(page.flowControl.selected, 1);
    EXPECT_TRUE(page.rfInterface.enabled);
    EXPECT_EQ(page.rfInterface.selected, 2);
    page.baudRate.selected = 6;
    page.dataBits.selected = 1;
    page.parity.selected = 0;
    page.rfInterface.selected = 1;
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.Baudrate, 115200);
    EXPECT_EQ(record.Databit, 8);
    EXPECT_EQ(record.Parity, 0);
    EXPECT_EQ(record.RfInterface, 1);

    // Values the lists do not have: the fallbacks.
    record.Baudrate = 1200;
    record.Databit = 5;
    record.Parity = 9;
    page.load(record);
    EXPECT_EQ(page.baudRate.selected, 3);
    EXPECT_EQ(page.dataBits.selected, 1);
    EXPECT_EQ(page.parity.selected, 2);
}

TEST_F(Pages, Version100000ShowsTheBluetoothDefaultsDisabledUntilEnabled)
{
    printer(100000);
    util.modelName = "KMP-Z400";
    record.BtConnectionMode = 0;
    record.BtSecurity = 0;
    record.BtPinCode = "0000";
    record.BtDeviceName = "old";
    record.RfInterface = 2;
    TlvrPage3Model page;
    page.load(record);
    EXPECT_EQ(page.printerName, "KMP-Z400");
    EXPECT_EQ(page.pinCode, "9274");
    EXPECT_EQ(page.connectionMode.selected, 1);
    EXPECT_EQ(page.security.selected, 1);
    EXPECT_TRUE(page.bluetoothDisabled());
    EXPECT_FALSE(page.rfInterface.enabled);

    // Still disabled: nothing Bluetooth goes back, and it is skipped.
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.SkipBluetooth, 1);
    EXPECT_EQ(record.BtPinCode, "0000");
    EXPECT_EQ(record.RfInterface, 2);

    page.toggleBluetooth();
    EXPECT_FALSE(page.bluetoothDisabled());
    page.setPinCode("1234");
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.SkipBluetooth, 0);
    EXPECT_EQ(record.BtPinCode, "1234");
    EXPECT_EQ(record.BtDeviceName, "KMP-Z400");
    EXPECT_EQ(record.BtConnectionMode, 1);
    EXPECT_EQ(record.BtSecurity, 1);
    EXPECT_EQ(record.RfInterface, 2);
    page.toggleBluetooth();
    EXPECT_TRUE(page.bluetoothDisabled());
}

// ---- no selection, out of range, Default ----

TEST_F(Pages, OutOfRangeValuesShowNoSelectionAndGoBackAsRead)
{
    printer(20999, kModelZ400, '9');
    record.Density = 9;
    record.CodePage = 50;
    record.Speed = 3;
    record.FontType = 3;   // no radio below 101000 for index 4
    record.LCharMode = 2;
    record.Msr = 12;
    record.Service = -1;
    record.MFI = 5;
    TlvrPage1Model one;
    one.load(record);
    EXPECT_EQ(one.density.selected, -1);
    EXPECT_EQ(one.codePage.items.size(), 32u);
    EXPECT_EQ(one.codePage.selected, -1);
    EXPECT_EQ(one.speed.selected, -1);
    EXPECT_EQ(one.fontRadio(), -1);
    EXPECT_EQ(one.doubleByteRadio(), -1);
    one.store(record, PagesChoice::Save);
    EXPECT_EQ(record.Density, 9);
    EXPECT_EQ(record.CodePage, 50);
    EXPECT_EQ(record.Speed, 3);
    EXPECT_EQ(record.FontType, 3);
    EXPECT_EQ(record.LCharMode, 2);

    printer(101000, kModelZ400, '9');
    TlvrPage2Model two;
    two.load(record);
    ASSERT_EQ(two.msr.items.size(), 8u);
    EXPECT_EQ(two.msr.selected, -1);
    EXPECT_TRUE(two.msr.enabled);
    EXPECT_EQ(two.service.selected, -1);
    EXPECT_EQ(two.mfi.selected, -1);
    two.store(record, PagesChoice::Save);
    EXPECT_EQ(record.Msr, 12);
    EXPECT_EQ(record.Service, -1);
    EXPECT_EQ(record.MFI, 5);
}

TEST_F(Pages, HiddenFontAButtonIsNoSelection)
{
    printer(100999);
    record.FontType = -1;   // index 0: the hidden button
    TlvrPage1Model page;
    page.load(record);
    EXPECT_EQ(page.fontRadio(), -1);
    page.store(record, PagesChoice::Save);
    EXPECT_EQ(record.FontType, -1);
}

TEST_F(Pages, DefaultKeepsListsAsLoadedButCarriesTheOtherControls)
{
    printer(101000);
    record.Density = 4;
    record.CodePage = 5;
    record.Service = 1;
    record.TimeOff = 30;
    record.LCharMode = 0;
    record.Baudrate = 9600;
    TlvrPage1Model one;
    TlvrPage2Model two;
    TlvrPage3Model three;
    one.load(record);
    two.load(record);
    three.load(record);
    one.density.selected = 0;
    one.codePage.selected = 35;
    one.setDoubleByte(1);
    two.service.selected = 0;
    ASSERT_EQ(two.setPowerOffText("60"), std::nullopt);
    three.baudRate.selected = 6;
    three.toggleBluetooth();
    three.setPrinterName("desk");

    CCommonTlvr defaulted(record);
    one.store(defaulted, PagesChoice::Default);
    two.store(defaulted, PagesChoice::Default);
    three.store(defaulted, PagesChoice::Default);
    EXPECT_EQ(defaulted.Density, 4);
    EXPECT_EQ(defaulted.CodePage, 5);
    EXPECT_EQ(defaulted.Service, 1);
    EXPECT_EQ(defaulted.Baudrate, 9600);
    EXPECT_EQ(defaulted.LCharMode, 1);
    EXPECT_EQ(defaulted.TimeOff, 60);
    EXPECT_EQ(defaulted.SkipBluetooth, 0);
    EXPECT_EQ(defaulted.BtDeviceName, "desk");

    CCommonTlvr saved(record);
    one.store(saved, PagesChoice::Save);
    two.store(saved, PagesChoice::Save);
    three.store(saved, PagesChoice::Save);
    EXPECT_EQ(saved.Density, 3);
    EXPECT_EQ(saved.CodePage, 35);
    EXPECT_EQ(saved.Service, 0);
    EXPECT_EQ(saved.Baudrate, 115200);

    CCommonTlvr cancelled(record);
    one.store(cancelled, PagesChoice::Cancel);
    two.store(cancelled, PagesChoice::Cancel);
    three.store(cancelled, PagesChoice::Cancel);
    EXPECT_EQ(cancelled.LCharMode, 0);
    EXPECT_EQ(cancelled.TimeOff, 30);
    EXPECT_EQ(cancelled.SkipBluetooth, 0);
}

} // namespace
