#include "corvane/switches/TlvrPages.h"

#include <limits>

namespace corvane {

namespace {

// Density list position by switch code, and the code by position.
constexpr std::array<int, 8> kDensityIndexOfCode{2, 3, 4, 0, 5, 1, 6, 7};
constexpr std::array<int, 8> kDensityCodeOfIndex{3, 5, 0, 1, 2, 4, 6, 7};

const std::vector<std::string> kDensityItems{" 150%", " 140%", " 130%", " 120%",
                                             " 110%", " 100%", "  90%", "  80%"};

const std::array<int, 7> kBaudRates{2400, 4800, 9600, 19200, 38400, 57600, 115200};
constexpr int kBaudFallbackIndex = 3;

// The Bluetooth settings below 101000 cannot be read; these are what the
// printer is set to from the page.
constexpr int kDefaultConnectionMode = 1; // "Mode 2"
constexpr int kDefaultSecurity = 1;       // "Enable"

PageList makeList(std::vector<std::string> items, int value)
{
    PageList list;
    list.items = std::move(items);
    list.selectIfValid(value);
    return list;
}

// What a list gives back on Save: its selection, or `loaded` when it has
// none; after Default it is always `loaded`.
int listValue(const PageList& list, PagesChoice how, int loaded)
{
    if (how != PagesChoice::Save || list.selected < 0)
        return loaded;
    return list.selected;
}

bool blank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

void PageList::selectIfValid(int index)
{
    selected = index >= 0 && static_cast<std::size_t>(index) < items.size() ? index : -1;
}

const std::string* PageList::selectedText() const
{
    if (selected < 0 || static_cast<std::size_t>(selected) >= items.size())
        return nullptr;
    return &items[static_cast<std::size_t>(selected)];
}

int DensityIndexForCode(int code)
{
    if (code < 0 || code >= static_cast<int>(kDensityIndexOfCode.size()))
        return -1;
    return kDensityIndexOfCode[static_cast<std::size_t>(code)];
}

int DensityCodeForIndex(int index, std::uint32_t version)
{
    if (index < 0 || index >= static_cast<int>(kDensityCodeOfIndex.size()))
        return -1;
    return version >= kVersionSwitch3 ? kDensityCodeOfIndex[static_cast<std::size_t>(index)] : index;
}

std::string SpeedFirstItem(int modelCode, std::uint32_t version)
{
    if (version < kVersionBluetooth)
        return "80mm/s";
    if (modelCode == kModelZ400II || modelCode == kModelZ400W)
        return "90mm/s";
    if (modelCode == kModelZ800)
        return "80mm/s";
    return "100mm/s";
}

std::vector<std::string> CodePageItems(std::uint32_t version)
{
    std::vector<std::string> items{
        "PC437 - USA, Standard Europe",
        "Katakana",
        "PC850 - Multilingual",
        "PC860 - Portuguese",
        "PC863 - Canadian-French",
        "PC865 - Nordic",
        "WPC1252 - Latin I",
        "PC866 - Cyrillic #2",
        "PC852 - Latin 2",
        "PC858 - Euro",
        "PC862 - Hebrew DOS code",
        "PC864 - Arabic",
        "Thai character code 42",
        "WPC1253 - Greek",
        "WPC1254 - Turkish",
        "WPC1257 - Baltic",
        "Farsi",
        "WPC1251 - Cyrillic",
        "PC737 - Greek",
        "PC775 - Baltic",
        "Thai character code 14",
        "Reserved",
        "WPC1255 - Hebrew new code",
        "Thai character code 11",
        "Thai character code 18",
        "PC855 - Cyrillic",
        "PC857 - Turkish",
        "PC928 - Greek",
        "Thai character code 16",
        "WPC1256 - Arabic",
    };
    items.emplace_back(version >= kVersionCodePageBit5 ? "WPC1258 - Vietnamese" : "Reserved");
    if (version >= kVersionBluetooth) {
        items.emplace_back("KHMER");
        items.emplace_back("Reserved");
        items.emplace_back("Reserved");
        items.emplace_back("Reserved");
        items.emplace_back("WPC1250 - Latin 2");
    } else {
        // Older firmware has a 32nd position without a table of its own.
        const std::string last = items.back();
        items.push_back(last);
    }
    return items;
}

std::vector<std::string> MsrTriggerItems(std::uint8_t msrMode, std::uint32_t version)
{
    if (msrMode < '9' || version < kVersionMsrHighNibble) {
        return {
            "Track 1/2 read mode command",
            "Track 2/3 read mode command",
            "Track 1 read mode AUTO trigger",
            "Track 2 read mode AUTO trigger",
            "Track 1/2 read mode AUTO trigger",
            "Track 2 read mode AUTO trigger",
            "Track 3 read mode AUTO trigger",
            "Track 2/3 read mode AUTO trigger",
            "Not used MSR trigger",
        };
    }
    return {
        "Track 1/2/3 read mode command",
        "Track 1 read mode AUTO trigger",
        "Track 2 read mode AUTO trigger",
        "Track 3 read mode AUTO trigger",
        "Track 1/2 read mode AUTO trigger",
        "Track 2/3 read mode AUTO trigger",
        "Track 1/2/3 read mode AUTO trigger",
        "Not used MSR trigger",
    };
}

std::string IntegerRangeMessage(int min, int max)
{
    std::string text = tlvr_page_text::kIntegerRange;
    const auto replace = [&text](std::string_view marker, int value) {
        const std::size_t at = text.find(marker);
        if (at != std::string::npos)
            text.replace(at, marker.size(), std::to_string(value));
    };
    replace("%1", min);
    replace("%2", max);
    return text;
}

std::optional<int> ParseBoundedInteger(std::string_view text, int min, int max)
{
    std::size_t i = 0;
    while (i < text.size() && blank(text[i]))
        ++i;
    std::size_t end = text.size();
    while (end > i && blank(text[end - 1]))
        --end;
    bool negative = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == end)
        return std::nullopt;
    long long value = 0;
    for (; i < end; ++i) {
        const char c = text[i];
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        // Far beyond any bound: stop before the number can overflow.
        if (value > std::numeric_limits<int>::max())
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < min || value > max)
        return std::nullopt;
    return static_cast<int>(value);
}

// ---- page 1 ----

void TlvrPage1Model::load(const CCommonTlvr& record)
{
    const CCommonUtil& util = record.util();
    version_ = util.g_Getver;
    densityCode_ = record.Density;
    speed_ = record.Speed;
    codePage_ = record.CodePage;
    flags_ = {record.Pdf417, record.DataMatrix, record.MaxiCode, record.QrCode};
    barcodeCount_ = 0;
    for (int f : flags_)
        barcodeCount_ += f != 0 ? 1 : 0;
    lCharMode_ = record.LCharMode;
    codePageText = util.codePage;

    density = makeList(kDensityItems, DensityIndexForCode(record.Density));
    speed = makeList({SpeedFirstItem(util.g_Model, version_), "50mm/s"}, record.Speed);
    codePage = makeList(CodePageItems(version_), record.CodePage);

    if (version_ >= kVersionBluetooth) {
        fontIndex_ = record.FontType;
        fontTexts = {"Font A ( 12 x 24 )", "Font B ( 9 x 17 ) ", "Font C ( 9 x 24 )"};
        fontAVisible = true;
        barcodeChecksEnabled = false;
    } else {
        // Two fonts only: the second and third buttons carry them, so the
        // index is one above the stored font.
        fontIndex_ = record.FontType + 1;
        fontTexts = {"Font A ( 12 x 24 )", "A font(12x24)", "B font(9x24)"};
        fontAVisible = false;
        barcodeChecksEnabled = true;
    }
}

bool TlvrPage1Model::setBarcode(Barcode which, bool on)
{
    flags_[static_cast<std::size_t>(which)] = on ? 1 : 0;
    if (!on)
        return false;
    int count = 0;
    for (int f : flags_)
        count += f != 0 ? 1 : 0;
    const bool warn = barcodeCount_ == 1 && count > 1;
    barcodeCount_ = count;
    return warn;
}

bool TlvrPage1Model::barcode(Barcode which) const
{
    return flags_[static_cast<std::size_t>(which)] != 0;
}

void TlvrPage1Model::setFontIndex(int index)
{
    fontIndex_ = index;
}

void TlvrPage1Model::setDoubleByte(int value)
{
    lCharMode_ = value;
}

int TlvrPage1Model::fontRadio() const
{
    if (fontIndex_ < 0 || fontIndex_ > 2 || (fontIndex_ == 0 && !fontAVisible))
        return -1;
    return fontIndex_;
}

int TlvrPage1Model::doubleByteRadio() const
{
    return lCharMode_ == 0 || lCharMode_ == 1 ? lCharMode_ : -1;
}

void TlvrPage1Model::store(CCommonTlvr& record, PagesChoice how) const
{
    if (how == PagesChoice::Cancel)
        return;
    if (how == PagesChoice::Save && density.selected >= 0)
        record.Density = DensityCodeForIndex(density.selected, version_);
    else
        record.Density = densityCode_;
    record.Speed = listValue(speed, how, speed_);
    record.CodePage = listValue(codePage, how, codePage_);

    record.Pdf417 = flags_[kPdf417];
    record.DataMatrix = flags_[kDataMatrix];
    record.MaxiCode = flags_[kMaxiCode];
    record.QrCode = flags_[kQrCode];

    if (const int radio = fontRadio(); radio >= 0)
        record.FontType = version_ >= kVersionBluetooth ? radio : radio - 1;
    if (const int radio = doubleByteRadio(); radio >= 0)
        record.LCharMode = radio;
    record.util().codePage = codePageText;
}

// ---- page 2 ----

void TlvrPage2Model::load(const CCommonTlvr& record)
{
    const CCommonUtil& util = record.util();
    const std::uint32_t version = util.g_Getver;
    const std::uint8_t msrMode = util.msrMode;

    service_ = record.Service;
    beepPaper_ = record.BeepPaper;
    beepLowBat_ = record.BeepLowBat;
    mfi_ = record.MFI;
    msr_ = record.Msr;
    blackMarkPacked_ = record.BlackMarkSensor;
    timeOff_ = record.TimeOff;
    timeSave_ = record.TimeSave;
    sentinel_ = record.Sentinel;
    starts_ = {record.Track1Start, record.Track2Start, record.Track3Start};
    ends_ = {record.Track1End, record.Track2End, record.Track3End};

    service = makeList({"Receipt", "Label"}, record.Service);
    beepPaper = makeList({"Off", "On"}, record.BeepPaper);
    beepLowBattery = makeList({"On", "Off"}, record.BeepLowBat);
    mfi = makeList({"Disable", "Enable"}, record.MFI);
    blackMark = makeList({"Front", "Rear"}, -1);
    if (record.BlackMarkSensor == PackBlackMark('0', '1'))
        blackMark.selected = 0;
    else if (record.BlackMarkSensor == PackBlackMark('1', '0'))
        blackMark.selected = 1;
    else
        blackMark.enabled = false;

    powerOffText = std::to_string(record.TimeOff);
    powerSavingText = std::to_string(record.TimeSave);

    msr = makeList(MsrTriggerItems(msrMode, version), record.Msr);
    advanceEnabled = true;
    if (msrMode == kMsrModeEncryptedOnly || version == kVersionNoSwitch7)
        msr = PageList{{tlvr_page_text::kOnlyEncryptionMsr}, 0, false};
    if (version < kVersionSentinels) {
        advanceEnabled = false;
        sentinel_ = 0;
    }
    if (msrMode == kMsrModeIcCard) {
        msr = PageList{{tlvr_page_text::kIcCardMode}, 0, false};
        advanceEnabled = false;
        sentinel_ = 0;
    }
}

std::optional<std::string> TlvrPage2Model::setPowerOffText(std::string_view text)
{
    const std::optional<int> value = ParseBoundedInteger(text, kPowerOffMin, kPowerOffMax);
    if (!value)
        return IntegerRangeMessage(kPowerOffMin, kPowerOffMax);
    timeOff_ = *value;
    return std::nullopt;
}

std::optional<std::string> TlvrPage2Model::setPowerSavingText(std::string_view text)
{
    const std::optional<int> value = ParseBoundedInteger(text, kPowerSavingMin, kPowerSavingMax);
    if (!value)
        return IntegerRangeMessage(kPowerSavingMin, kPowerSavingMax);
    timeSave_ = *value;
    return std::nullopt;
}

void TlvrPage2Model::sentinelsInto(CCommonTlvr& scratch) const
{
    scratch.Sentinel = sentinel_;
    scratch.Track1Start = starts_[0];
    scratch.Track2Start = starts_[1];
    scratch.Track3Start = starts_[2];
    scratch.Track1End = ends_[0];
    scratch.Track2End = ends_[1];
    scratch.Track3End = ends_[2];
}

void TlvrPage2Model::takeSentinels(const CCommonTlvr& scratch)
{
    sentinel_ = scratch.Sentinel;
    starts_ = {scratch.Track1Start, scratch.Track2Start, scratch.Track3Start};
    ends_ = {scratch.Track1End, scratch.Track2End, scratch.Track3End};
}

void TlvrPage2Model::store(CCommonTlvr& record, PagesChoice how) const
{
    if (how == PagesChoice::Cancel)
        return;
    record.Service = listValue(service, how, service_);
    record.BeepPaper = listValue(beepPaper, how, beepPaper_);
    record.BeepLowBat = listValue(beepLowBattery, how, beepLowBat_);
    record.MFI = listValue(mfi, how, mfi_);
    // A disabled list shows a placeholder (or nothing): the field stays.
    record.Msr = msr.enabled ? listValue(msr, how, msr_) : msr_;
    const int mark = blackMark.enabled ? listValue(blackMark, how, -1) : -1;
    if (mark == 0)
        record.BlackMarkSensor = PackBlackMark('0', '1');
    else if (mark == 1)
        record.BlackMarkSensor = PackBlackMark('1', '0');
    else
        record.BlackMarkSensor = blackMarkPacked_;

    record.TimeOff = timeOff_;
    record.TimeSave = timeSave_;
    sentinelsInto(record);
}

// ---- page 3 ----

void TlvrPage3Model::load(const CCommonTlvr& record)
{
    const CCommonUtil& util = record.util();
    version_ = util.g_Getver;
    baudrate_ = record.Baudrate;
    databit_ = record.Databit;
    parity_ = record.Parity;
    flow_ = record.Flowcontrol;
    rf_ = record.RfInterface;

    int baudIndex = kBaudFallbackIndex;
    for (std::size_t i = 0; i < kBaudRates.size(); ++i) {
        if (kBaudRates[i] == record.Baudrate)
            baudIndex = static_cast<int>(i);
    }
    std::vector<std::string> baudItems;
    for (int rate : kBaudRates)
        baudItems.push_back(std::to_string(rate));
    baudRate = makeList(std::move(baudItems), baudIndex);
    dataBits = makeList({"7", "8"}, record.Databit == 7 ? 0 : 1);
    parity = makeList({"None", "Odd", "Even"}, record.Parity == 0 || record.Parity == 1 ? record.Parity : 2);
    flowControl = makeList({"DTR/DSR", "Xon/Xoff"}, record.Flowcontrol);

    rfInterface = makeList({"Disable All", "Bluetooth", "WLAN"}, -1);
    rfInterface.enabled = version_ >= kVersionBluetooth;
    if (rfInterface.enabled)
        rfInterface.selectIfValid(record.RfInterface);

    if (version_ < kVersionBluetooth) {
        connectionMode_ = kDefaultConnectionMode;
        security_ = kDefaultSecurity;
        printerName = util.modelName;
        pinCode = tlvr_page_text::kDefaultPin;
    } else {
        connectionMode_ = record.BtConnectionMode;
        security_ = record.BtSecurity;
        printerName = record.BtDeviceName;
        pinCode = record.BtPinCode;
    }
    connectionMode = makeList({"Mode 1", "Mode 2", "Mode 3"}, connectionMode_);
    security = makeList({"Disable", "Enable"}, security_);
    bluetoothDisabled_ = true;
}

void TlvrPage3Model::store(CCommonTlvr& record, PagesChoice how) const
{
    if (how == PagesChoice::Cancel)
        return;
    const auto textValue = [how](const PageList& list, int loaded) {
        const std::string* text = how == PagesChoice::Save ? list.selectedText() : nullptr;
        return text != nullptr ? std::stoi(*text) : loaded;
    };
    record.Baudrate = textValue(baudRate, baudrate_);
    record.Databit = textValue(dataBits, databit_);
    record.Parity = listValue(parity, how, parity_);
    record.Flowcontrol = listValue(flowControl, how, flow_);
    if (version_ >= kVersionBluetooth)
        record.RfInterface = rfInterface.enabled ? listValue(rfInterface, how, rf_) : rf_;

    record.SkipBluetooth = bluetoothDisabled_ ? 1 : 0;
    if (!bluetoothDisabled_) {
        record.BtConnectionMode = listValue(connectionMode, how, connectionMode_);
        record.BtSecurity = listValue(security, how, security_);
        record.BtPinCode = pinCode;
        record.BtDeviceName = printerName;
    }
}

} // namespace corvane
