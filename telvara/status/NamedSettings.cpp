#include "telvara/status/NamedSettings.h"

#include <initializer_list>

namespace telvara {

namespace {

constexpr std::string_view kNoChangeText = "No Change";

constexpr std::array<std::string_view, 38> kCodePageItems{
    kNoChangeText,
    "PC437 (USA: Standard Europe)",
    "Katakana",
    "PC850 (Multilingual)",
    "PC860 (Portugues)",
    "PC863 (Canadian-French)",
    "PC865 (Nordic)",
    "WPC1252 (Lantin 1)",
    "PC866 (Cyrillic #2)",
    "PC852 (Latin 2)",
    "PC858 (Euro)",
    "PC862 (Hebrew DOS code)",
    "PC864 (Arabic)",
    "Thai character code 42",
    "WPC1253 (Greek)",
    "WPC1254 (Turkish)",
    "WPC1257 (Baltic)",
    "Farsi",
    "WPC1251 (Cyrillic)",
    "PC737 (Greek)",
    "PC775 (Baltic)",
    "Thai character code 14",
    "Hebrew Old code",
    "WPC1255 (Hebrew)",
    "Thai character code 11",
    "Thai character code 18",
    "PC855 (Cyrillic)",
    "PC857 (Turkish)",
    "PC928 (Greek)",
    "Thai character code 16",
    "WPC1256 (ARB)",
    "WPC1258 (Vietnam)",
    "Khmer (Cambodia)",
    "PC852 (MSAN)",
    "PC864 (CASIO)",
    "PC865/PC1252 (ADC)",
    "PC866 (DTK)",
    "WPC1250 (Czech)",
};
constexpr std::array<std::string_view, 5> kSpeedItems{kNoChangeText, "Print speed 4 [Default]", "Print speed 3",
                                                      "Print speed 2", "Print speed 1"};
constexpr std::array<std::string_view, 4> kDensityItems{kNoChangeText, "Density Level 3", "Density Level 2",
                                                        "Density Level 1"};
constexpr std::array<std::string_view, 6> kEmulationItems{kNoChangeText, "Emulation 1 [Default]", "Emulation 2",
                                                          "Emulation 3",   "Emulation 4",           "Emulation 5"};
constexpr std::array<std::string_view, 7> kDoubleByteItems{kNoChangeText, "KS5601",  "SHIFT-JIS",
                                                           "BIG5",        "GB2312",  "GB18030",
                                                           "[Single Byte Font]"};
constexpr std::array<std::string_view, 4> kSingleByteItems{"No Chnage", "Font A (12x24)", "Font B (9x17)",
                                                           "Font C (9x24)"};

// Code page bit b lands on this pin of switch 2.
constexpr std::array<int, 6> kCodePageBitPin{4, 5, 6, 7, 8, 3};

int onOff(bool on)
{
    return on ? kOn : kOff;
}

bool isOn(const StatusMatrix& m, int sw, int pin)
{
    return m.get(sw, pin) == kOn;
}

bool allAre(const StatusMatrix& m, int sw, std::initializer_list<int> pins, int entry)
{
    for (int p : pins)
        if (m.get(sw, p) != entry)
            return false;
    return true;
}

void setPins(StatusMatrix& m, int sw, std::initializer_list<int> pins, int entry)
{
    for (int p : pins)
        m.set(sw, p, entry);
}

Decoded listed(int index, std::size_t count)
{
    if (index < 1 || static_cast<std::size_t>(index) >= count)
        return {DecodeKind::Unknown, -1};
    return {DecodeKind::Listed, index};
}

void chooseSpeed(StatusMatrix& m, int index)
{
    if (index == 0) {
        setPins(m, 1, {1, 2, 3}, kNoChange);
        return;
    }
    const int bits = index - 1; // speed 4 is all off, speed 1 pins 1 and 2 on
    m.set(1, 1, onOff(bits & 1));
    m.set(1, 2, onOff(bits & 2));
    m.set(1, 3, kOff);
}

Decoded decodeSpeed(const StatusMatrix& m)
{
    if (allAre(m, 1, {1, 2, 3}, kNoChange))
        return {DecodeKind::Unchanged, kKeepPrevious};
    if (allAre(m, 1, {1, 2, 3}, kOff))
        return {DecodeKind::Listed, 1};
    const int bits = (isOn(m, 1, 1) ? 1 : 0) + (isOn(m, 1, 2) ? 2 : 0) + (isOn(m, 1, 3) ? 4 : 0);
    if (bits == 0) // some pins off, others unchanged: no speed of the list
        return {DecodeKind::Unknown, -1};
    return listed(1 + bits, kSpeedItems.size());
}

void chooseDensity(StatusMatrix& m, int index)
{
    switch (index) {
    case 1: m.set(1, 6, kOff), m.set(1, 7, kOn); break;
    case 2: m.set(1, 6, kOn), m.set(1, 7, kOff); break;
    case 3: m.set(1, 6, kOff), m.set(1, 7, kOff); break;
    default: break; // "No Change" leaves the pins as they are
    }
}

Decoded decodeDensity(const StatusMatrix& m)
{
    const int p6 = m.get(1, 6), p7 = m.get(1, 7);
    if (p6 == kNoChange && p7 == kNoChange)
        return {DecodeKind::Unchanged, kKeepPrevious};
    if (p6 == kOff && p7 == kOn)
        return {DecodeKind::Listed, 1};
    if (p6 == kOn && p7 == kOff)
        return {DecodeKind::Listed, 2};
    if (p6 == kOff && p7 == kOff)
        return {DecodeKind::Listed, 3};
    return {DecodeKind::Unknown, -1};
}

void chooseEmulation(StatusMatrix& m, int index)
{
    if (index == 0) {
        setPins(m, 3, {1, 2, 3}, kNoChange);
        return;
    }
    static constexpr std::array<std::array<bool, 3>, 5> kPins{{
        {false, false, false}, {true, false, false}, {false, true, false}, {true, true, false}, {false, false, true},
    }};
    const auto& p = kPins[static_cast<std::size_t>(index - 1)];
    for (int pin = 1; pin <= 3; ++pin)
        m.set(3, pin, onOff(p[static_cast<std::size_t>(pin - 1)]));
}

Decoded decodeEmulation(const StatusMatrix& m)
{
    if (allAre(m, 3, {1, 2, 3}, kNoChange))
        return {DecodeKind::Unchanged, 1}; // shows "Emulation 1 [Default]"
    if (isOn(m, 3, 1))
        return {DecodeKind::Listed, isOn(m, 3, 2) ? 4 : 2};
    if (isOn(m, 3, 2))
        return {DecodeKind::Listed, 3};
    if (isOn(m, 3, 3))
        return {DecodeKind::Listed, 5};
    return {DecodeKind::Listed, 1};
}

void chooseCodePage(StatusMatrix& m, int index)
{
    if (index == 0) {
        setPins(m, 2, {3, 4, 5, 6, 7, 8}, kNoChange);
        return;
    }
    const int n = index - 1;
    for (std::size_t bit = 0; bit < kCodePageBitPin.size(); ++bit)
        m.set(2, kCodePageBitPin[bit], onOff((n >> bit) & 1));
}

Decoded decodeCodePage(const StatusMatrix& m)
{
    if (allAre(m, 2, {3, 4, 5, 6, 7, 8}, kNoChange))
        return {DecodeKind::Unchanged, kKeepPrevious};
    int n = 0;
    for (std::size_t bit = 0; bit < kCodePageBitPin.size(); ++bit)
        if (isOn(m, 2, kCodePageBitPin[bit]))
            n |= 1 << bit;
    return listed(n + 1, kCodePageItems.size());
}

void chooseSingleByte(StatusMatrix& m, int index)
{
    switch (index) {
    case 1: m.set(4, 3, kOff), m.set(4, 4, kOff); break;
    case 2: m.set(4, 3, kOn), m.set(4, 4, kOff); break;
    case 3: m.set(4, 3, kOff), m.set(4, 4, kOn); break;
    default: setPins(m, 4, {3, 4}, kNoChange); break;
    }
}

Decoded decodeSingleByte(const StatusMatrix& m)
{
    const int p3 = m.get(4, 3), p4 = m.get(4, 4);
    if (p3 == kNoChange && p4 == kNoChange)
        return {DecodeKind::Unchanged, 0}; // shows "No Chnage"
    if (p3 == kOff && p4 == kOff)
        return {DecodeKind::Listed, 1};
    if (p3 == kOn && p4 == kOff)
        return {DecodeKind::Listed, 2};
    if (p3 == kOff && p4 == kOn)
        return {DecodeKind::Listed, 3};
    return {DecodeKind::Unknown, 0};
}

void chooseDoubleByte(StatusMatrix& m, int index)
{
    // Switch 12 carries only the font flags: start it from nothing so no
    // flag of an earlier font is left behind.
    setPins(m, 12, {1, 2, 3, 4, 5, 6, 7, 8}, kNoChange);
    if (index == 0) {
        setPins(m, 4, {5, 6, 7}, kNoChange);
        m.set(2, 1, kNoChange);
        return;
    }
    if (index == kFontSingleByte) {
        setPins(m, 4, {5, 6, 7}, kNoChange);
        m.set(2, 1, kOff);
        return;
    }
    const int bits = index - 1; // KS5601 0, SHIFT-JIS 1, BIG5 2, GB2312 3, GB18030 4
    m.set(4, 5, onOff(bits & 1));
    m.set(4, 6, onOff(bits & 2));
    m.set(4, 7, onOff(bits & 4));
    m.set(2, 1, kOn);
    if (index == kFontKs5601)
        m.set(12, 1, kOn);
    else if (index == 2)
        m.set(12, 1, kOn), m.set(12, 2, kOn);
    else
        m.set(12, 2, kOn);
}

Decoded decodeDoubleByte(const StatusMatrix& m)
{
    const int destination = m.get(2, 1);
    const bool fontPinsUnchanged = allAre(m, 4, {5, 6, 7}, kNoChange);
    if (destination == kNoChange)
        return fontPinsUnchanged ? Decoded{DecodeKind::Unchanged, kKeepPrevious} : Decoded{DecodeKind::Unknown, -1};
    if (destination == kOff)
        return {DecodeKind::Listed, kFontSingleByte};
    const int bits = (isOn(m, 4, 5) ? 1 : 0) + (isOn(m, 4, 6) ? 2 : 0) + (isOn(m, 4, 7) ? 4 : 0);
    if (bits == 0)
        return allAre(m, 4, {5, 6, 7}, kOff) ? Decoded{DecodeKind::Listed, kFontKs5601} : Decoded{DecodeKind::Unknown, -1};
    // Patterns past GB18030 (the sixth entry would read as the single byte
    // entry) name no font.
    if (1 + bits > kFontGb18030)
        return {DecodeKind::Unknown, -1};
    return {DecodeKind::Listed, 1 + bits};
}

} // namespace

std::span<const std::string_view> SettingItems(Setting setting)
{
    switch (setting) {
    case Setting::Speed: return kSpeedItems;
    case Setting::Density: return kDensityItems;
    case Setting::Emulation: return kEmulationItems;
    case Setting::CodePage: return kCodePageItems;
    case Setting::SingleByteFont: return kSingleByteItems;
    case Setting::DoubleByteFont: return kDoubleByteItems;
    }
    return {};
}

bool ChooseSetting(StatusMatrix& matrix, Setting setting, int index)
{
    if (index < 0 || static_cast<std::size_t>(index) >= SettingItems(setting).size())
        return false;
    switch (setting) {
    case Setting::Speed: chooseSpeed(matrix, index); break;
    case Setting::Density: chooseDensity(matrix, index); break;
    case Setting::Emulation: chooseEmulation(matrix, index); break;
    case Setting::CodePage: chooseCodePage(matrix, index); break;
    case Setting::SingleByteFont: chooseSingleByte(matrix, index); break;
    case Setting::DoubleByteFont: chooseDoubleByte(matrix, index); break;
    }
    return true;
}

Decoded DecodeSetting(const StatusMatrix& matrix, Setting setting)
{
    switch (setting) {
    case Setting::Speed: return decodeSpeed(matrix);
    case Setting::Density: return decodeDensity(matrix);
    case Setting::Emulation: return decodeEmulation(matrix);
    case Setting::CodePage: return decodeCodePage(matrix);
    case Setting::SingleByteFont: return decodeSingleByte(matrix);
    case Setting::DoubleByteFont: return decodeDoubleByte(matrix);
    }
    return {};
}

} // namespace telvara
