// What the three memory switch settings pages show and what they give back,
// without a window: each model loads its page from the settings record and
// the printer's identity (list texts, selections, enable states), takes the
// user's changes, and stores them back into the record.
//
// Lists are read only when the pages close with "Save"; after "Default" the
// list-backed fields go back as they were loaded, while check boxes, radio
// buttons, edit boxes and the sentinel settings carry the user's changes.
//
// A selection of -1 means "no selection". It is what a list shows for a
// value it has no item for (a density of 9, a code page beyond the list,
// an MSR trigger beyond the list) and it never indexes a table: a field
// whose list or radio group has no selection keeps the value it was loaded
// with, so what was read goes back as read. A disabled MSR or black mark
// list likewise leaves its field as read.
#pragma once

#include "corvane/switches/CCommonTlvr.h"
#include "corvane/switches/TlvrEditor.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

namespace tlvr_page_text {
inline constexpr const char* kCaption = "Telvara";
inline constexpr const char* kTwoDBarcodeWarning =
    "If you choose more than 2 types of 2D barcodes,\r\n it may take longer to boot the printer.";
// The standard range message; %1 and %2 are the bounds.
inline constexpr const char* kIntegerRange = "Enter an integer between %1 and %2.";
inline constexpr const char* kOnlyEncryptionMsr = "Only Encription MSR";
inline constexpr const char* kIcCardMode = "IC card mode";
inline constexpr const char* kDefaultPin = "9274";
} // namespace tlvr_page_text

// The MSR mode bytes that replace the trigger list by one placeholder.
inline constexpr std::uint8_t kMsrModeEncryptedOnly = 'P';
inline constexpr std::uint8_t kMsrModeIcCard = 0x60;

// Bounds of the two time edits of page 2.
inline constexpr int kPowerOffMin = 0;
inline constexpr int kPowerOffMax = 90;
inline constexpr int kPowerSavingMin = 0;
inline constexpr int kPowerSavingMax = 255;

// One drop-down list: its items in order, the selected index (-1 none) and
// whether the user can change it.
struct PageList {
    std::vector<std::string> items;
    int selected = -1;
    bool enabled = true;

    // Selects `index` when it names an item, else nothing (-1).
    void selectIfValid(int index);
    // The selected item's text, or nullptr.
    const std::string* selectedText() const;
};

// The density list position of a switch code (0..7), -1 for any other code.
int DensityIndexForCode(int code);
// The switch code of a density list position: through the inverse table
// from version 1040, the position itself below. -1 for a position outside
// the list.
int DensityCodeForIndex(int index, std::uint32_t version);

std::string SpeedFirstItem(int modelCode, std::uint32_t version);
// 32 items up to version 100999, 36 above.
std::vector<std::string> CodePageItems(std::uint32_t version);
// 9 items for an MSR mode byte below "9" or a version below 11061, else 8.
std::vector<std::string> MsrTriggerItems(std::uint8_t msrMode, std::uint32_t version);

// "Enter an integer between <min> and <max>."
std::string IntegerRangeMessage(int min, int max);
// The value of an edit's text when it is an integer in [min, max]
// (surrounding blanks allowed), else nothing.
std::optional<int> ParseBoundedInteger(std::string_view text, int min, int max);

// Page 1, "Printer Setting 1".
class TlvrPage1Model {
public:
    enum Barcode { kPdf417 = 0, kDataMatrix = 1, kMaxiCode = 2, kQrCode = 3 };

    void load(const CCommonTlvr& record);

    // A click on a barcode check box. True when the 2D barcode warning is
    // to be shown: the flag became set and the set flags went from exactly
    // one to more. Clearing a flag leaves the remembered count.
    bool setBarcode(Barcode which, bool on);
    bool barcode(Barcode which) const;
    // A radio button of the font group (its index 0..2).
    void setFontIndex(int index);
    // A radio button of the double byte font mode (0 "Off", 1 "On").
    void setDoubleByte(int value);

    // Save: lists read; Default: lists as loaded; Cancel: nothing.
    void store(CCommonTlvr& record, PagesChoice how) const;

    PageList density, speed, codePage;
    // The three font radio texts; the first is hidden below 101000.
    std::array<std::string, 3> fontTexts;
    bool fontAVisible = true;
    bool barcodeChecksEnabled = true;
    // The checked font radio (-1 none) and double byte radio (-1 none).
    int fontRadio() const;
    int doubleByteRadio() const;
    std::string codePageText;
    int barcodeCount() const { return barcodeCount_; }

private:
    std::uint32_t version_ = 0;
    int densityCode_ = 0, speed_ = 0, codePage_ = 0;
    std::array<int, 4> flags_{};
    int barcodeCount_ = 0;
    int fontIndex_ = 0;
    int lCharMode_ = 0;
};

// Page 2, "Printer Setting 2".
class TlvrPage2Model {
public:
    void load(const CCommonTlvr& record);

    // An edit box's text after the user changed it: nothing when accepted
    // (the member takes the value), else the message to show; the member
    // then keeps its last valid value.
    std::optional<std::string> setPowerOffText(std::string_view text);
    std::optional<std::string> setPowerSavingText(std::string_view text);
    int powerOff() const { return timeOff_; }
    int powerSaving() const { return timeSave_; }

    // The sentinel option and six codes in a copy of the loaded record (for
    // the sentinel dialog), and taking back what it returned with "OK".
    void sentinelsInto(CCommonTlvr& scratch) const;
    void takeSentinels(const CCommonTlvr& scratch);
    int sentinelOption() const { return sentinel_; }

    void store(CCommonTlvr& record, PagesChoice how) const;

    PageList service, beepPaper, beepLowBattery, blackMark, mfi, msr;
    bool advanceEnabled = true;
    std::string powerOffText, powerSavingText;   // as first shown

private:
    int service_ = 0, beepPaper_ = 0, beepLowBat_ = 0, mfi_ = 0, msr_ = 0;
    int blackMarkPacked_ = 0;
    int timeOff_ = 0, timeSave_ = 0;
    int sentinel_ = 0;
    std::array<std::string, 3> starts_, ends_;
};

// Page 3, "Interface Setting".
class TlvrPage3Model {
public:
    void load(const CCommonTlvr& record);

    // "Enable Bluetooth Setting": flips the disabled flag.
    void toggleBluetooth() { bluetoothDisabled_ = !bluetoothDisabled_; }
    bool bluetoothDisabled() const { return bluetoothDisabled_; }
    void setPinCode(std::string text) { pinCode = std::move(text); }
    void setPrinterName(std::string text) { printerName = std::move(text); }

    void store(CCommonTlvr& record, PagesChoice how) const;

    PageList baudRate, dataBits, parity, flowControl, rfInterface, connectionMode, security;
    std::string pinCode, printerName;

private:
    std::uint32_t version_ = 0;
    int baudrate_ = 0, databit_ = 0, parity_ = 0, flow_ = 0, rf_ = 0;
    int connectionMode_ = 0, security_ = 0;
    bool bluetoothDisabled_ = true;
};

} // namespace corvane
