#include "telvara/status/StatusPages.h"

#include <algorithm>

namespace telvara {

namespace {

constexpr std::string_view kNoChangeText = "No Change";
constexpr std::string_view kEnable = "Enable";
constexpr std::string_view kDisable = "Disable";

struct NamedPin {
    int switchNumber;
    int firstPin, lastPin;
    std::string_view label;
    std::string_view on, off;
    bool editable;
};

// The pins the "Memory switch" pages name; every other pin is reserved.
constexpr NamedPin kNamedPins[] = {
    {1, 1, 3, "Print Speed (Set in Printer Setting Tab)", kEnable, kDisable, false},
    {1, 6, 8, "Print Density (Set in Printer Setting Tab)", kEnable, kDisable, false},
    {2, 1, 1, "[PIN 1] Specification for Destination", "Double byte Country", "Single byte Country", true},
    {2, 3, 8, "Codepage(Set in Printer Setting Tab)", kEnable, kDisable, false},
    {3, 1, 3, "Select Emulation (Set in Printer Setting Tab)", kEnable, kDisable, false},
    {4, 1, 1, "[PIN 1]ASCII font selection", "Customized font", "Resident font", true},
    {4, 2, 2, "[PIN 2]Extended font selection", "Customized font", "Resident font", true},
    {4, 3, 4, "B font Size Selection(Set in Printer Setting Tab)", kEnable, kDisable, false},
    {4, 5, 7, "Double byte Font selection(Set in Printer Setting Tab)", kEnable, kDisable, false},
    {5, 1, 1, "[PIN 1] Auto Cutter Function", "Full Cutting", "Partial Cutting", true},
    {5, 3, 3, "[PIN 3] Two-Color Support", kEnable, kDisable, true},
    {5, 4, 4, "[PIN 4] Auto Line Feed", kEnable, kDisable, true},
    {5, 5, 5, "[PIN 5] Near End Sensor Disable", kEnable, kDisable, true},
    {6, 1, 1, "[PIN 1] Auto generate pulse to internal Buzzer", kEnable, kDisable, true},
    {6, 2, 2, "[PIN 2] Internal buzzer control", kDisable, kEnable, true},
    {6, 3, 3, "[PIN 3] Internal buzzer with cash drawer pulse", kEnable, kDisable, true},
    {6, 5, 5, "[PIN 5] Offline Status Condition", "Step Mode", "Pulse Mode", true},
    {6, 6, 6, "[PIN 6] Select watermark printing fucntion", kEnable, kDisable, true},
    {6, 8, 8, "[PIN 8] Near End sensor detect signal", kEnable, kDisable, true},
};

constexpr std::array<std::string_view, kPinCount> kReservedLabels{
    "[PIN 1] Reserved", "[PIN 2] Reserved", "[PIN 3] Reserved", "[PIN 4] Reserved",
    "[PIN 5] Reserved", "[PIN 6] Reserved", "[PIN 7] Reserved", "[PIN 8] Reserved",
};

// The value of up to two characters as the printer's tools read numbers:
// leading blanks skipped, then decimal digits until the first other
// character.
int twoCharValue(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    int value = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i)
        value = value * 10 + (s[i] - '0');
    return value;
}

} // namespace

bool FirmwareIsOld(std::string_view versionText)
{
    if (versionText.size() < 2)
        return false;
    const std::string_view window = versionText.substr(1, 5);
    if (window.find('.') == std::string_view::npos)
        return false;
    // Two characters for each number; fewer means the rule cannot be met.
    if (window.size() < 4)
        return false;
    const int major = twoCharValue(window.substr(0, 2));
    const int minor = twoCharValue(window.substr(window.size() - 2));
    return major * 100 + minor <= 131;
}

PinCombo DescribePin(int switchNumber, int pin)
{
    PinCombo c;
    const std::size_t p = static_cast<std::size_t>(std::clamp(pin, 1, kPinCount) - 1);
    c.label = kReservedLabels[p];
    c.items = {kNoChangeText, kEnable, kDisable};
    for (const NamedPin& n : kNamedPins) {
        if (n.switchNumber == switchNumber && pin >= n.firstPin && pin <= n.lastPin) {
            c.label = n.label;
            c.items = {kNoChangeText, n.on, n.off};
            c.editable = n.editable;
        }
    }
    return c;
}

PinPageModel::PinPageModel()
{
    load();
}

int PinPageModel::switchNumber() const
{
    return kSwitchNumbers[static_cast<std::size_t>(page_ - 1)];
}

void PinPageModel::load()
{
    for (int pin = 1; pin <= kPinCount; ++pin)
        combos_[static_cast<std::size_t>(pin - 1)] = DescribePin(switchNumber(), pin);
}

bool PinPageModel::back(const StatusMatrix& matrix)
{
    if (!backEnabled())
        return false;
    --page_;
    refresh(matrix);
    return true;
}

bool PinPageModel::next(const StatusMatrix& matrix)
{
    if (!nextEnabled())
        return false;
    ++page_;
    refresh(matrix);
    return true;
}

void PinPageModel::refresh(const StatusMatrix& matrix)
{
    load();
    for (int pin = 1; pin <= kPinCount; ++pin)
        combos_[static_cast<std::size_t>(pin - 1)].selected = matrix.get(switchNumber(), pin);
}

bool PinPageModel::choose(StatusMatrix& matrix, int pin, int index)
{
    if (pin < 1 || pin > kPinCount)
        return false;
    PinCombo& c = combos_[static_cast<std::size_t>(pin - 1)];
    if (!c.editable || !matrix.set(switchNumber(), pin, index))
        return false;
    c.selected = index;
    return true;
}

void SettingPageModel::refresh(const StatusMatrix& matrix)
{
    for (Setting s : kSettingsInOrder) {
        const Decoded d = DecodeSetting(matrix, s);
        if (d.index != kKeepPrevious)
            selected_[static_cast<std::size_t>(s)] = d.index;
    }
}

bool SettingPageModel::choose(StatusMatrix& matrix, Setting setting, int index)
{
    if (!ChooseSetting(matrix, setting, index))
        return false;
    selected_[static_cast<std::size_t>(setting)] = index;
    return true;
}

void StatusModel::setIdentity(std::string model, std::string firmware, std::string language)
{
    firmwareOld = FirmwareIsOld(firmware);
    settingPage.modelText = std::move(model);
    settingPage.firmwareText = std::move(firmware);
    settingPage.languageText = std::move(language);
}

bool StatusModel::takeGet(const std::array<std::optional<SwitchPins>, kSwitchCount>& reads)
{
    bool complete = true;
    for (std::size_t slot = 0; slot < reads.size(); ++slot) {
        const int sw = kSwitchNumbers[slot];
        if (!reads[slot] || !matrix.setSwitch(sw, *reads[slot])) {
            matrix.setSwitch(sw, SwitchPins{});
            complete = false;
        }
    }
    if (complete)
        initialisedFlag = 1;
    refresh();
    return complete;
}

void StatusModel::initialize()
{
    matrix.initialize();
    initialisedFlag = 1;
    refresh();
}

void StatusModel::refresh()
{
    pinPage.refresh(matrix);
    settingPage.refresh(matrix);
}

bool StatusModel::chooseSetting(Setting setting, int index)
{
    if (!settingPage.choose(matrix, setting, index))
        return false;
    pinPage.refresh(matrix);
    return true;
}

SetEnding DecideSetEnding(bool writesWhole, int doubleByteSelection, bool firmwareOld)
{
    if (!writesWhole)
        return {texts::kSetLinkLost, 0, false};
    const bool doubleByteFont = doubleByteSelection >= kFontKs5601 && doubleByteSelection <= kFontGb18030;
    if (!doubleByteFont)
        return {texts::kSetDone, 0, true};
    if (firmwareOld)
        return {texts::kSetDone, 0, false};
    return {texts::kSetStartsFontDownload, doubleByteSelection, false};
}

} // namespace telvara
