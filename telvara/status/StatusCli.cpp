#include "telvara/status/StatusCli.h"

#include <charconv>

namespace telvara {

namespace {

constexpr std::string_view kKeep = "keep";

struct OptionName {
    std::string_view name;
    Setting setting;
};

constexpr OptionName kNamedOptions[] = {
    {"--speed", Setting::Speed},
    {"--density", Setting::Density},
    {"--emulation", Setting::Emulation},
    {"--code-page", Setting::CodePage},
    {"--single-byte-font", Setting::SingleByteFont},
    {"--double-byte-font", Setting::DoubleByteFont},
};

constexpr std::string_view kSwitchOption = "--switch";
constexpr std::string_view kPinOption = "--pin";

constexpr std::array<std::string_view, 4> kSingleFontNames{"", "A", "B", "C"};
constexpr std::array<std::string_view, 7> kDoubleFontNames{"", "KS5601", "SHIFT-JIS", "BIG5",
                                                           "GB2312", "GB18030", "single"};

std::string_view settingLabel(Setting s)
{
    switch (s) {
    case Setting::Speed: return "print-speed";
    case Setting::Density: return "print-density";
    case Setting::Emulation: return "emulation";
    case Setting::CodePage: return "code-page";
    case Setting::SingleByteFont: return "single-byte-font";
    case Setting::DoubleByteFont: return "double-byte-font";
    }
    return {};
}

std::optional<int> parseNumber(std::string_view text, int min, int max)
{
    if (text.empty() || text.size() > 3)
        return std::nullopt;
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || value < min || value > max)
        return std::nullopt;
    return value;
}

// The entry's value as the command line names it.
std::string entryName(Setting s, int index)
{
    switch (s) {
    case Setting::Speed: return std::to_string(5 - index);   // "Print speed 4" first
    case Setting::Density: return std::to_string(4 - index); // "Density Level 3" first
    case Setting::Emulation: return std::to_string(index);
    case Setting::CodePage:
        return std::to_string(index - 1) + " " + std::string(SettingItems(s)[static_cast<std::size_t>(index)]);
    case Setting::SingleByteFont: return std::string(kSingleFontNames[static_cast<std::size_t>(index)]);
    case Setting::DoubleByteFont: return std::string(kDoubleFontNames[static_cast<std::size_t>(index)]);
    }
    return {};
}

// The combo index of a named setting's command-line value.
std::optional<int> entryIndex(Setting s, std::string_view value)
{
    if (value == kKeep)
        return 0;
    switch (s) {
    case Setting::Speed:
        if (auto n = parseNumber(value, 1, 4))
            return 5 - *n;
        return std::nullopt;
    case Setting::Density:
        if (auto n = parseNumber(value, 1, 3))
            return 4 - *n;
        return std::nullopt;
    case Setting::Emulation: return parseNumber(value, 1, 5);
    case Setting::CodePage:
        if (auto n = parseNumber(value, 0, kCodePageCount - 1))
            return *n + 1;
        return std::nullopt;
    case Setting::SingleByteFont:
        for (std::size_t i = 1; i < kSingleFontNames.size(); ++i)
            if (value == kSingleFontNames[i])
                return static_cast<int>(i);
        return std::nullopt;
    case Setting::DoubleByteFont:
        for (std::size_t i = 1; i < kDoubleFontNames.size(); ++i)
            if (value == kDoubleFontNames[i])
                return static_cast<int>(i);
        return std::nullopt;
    }
    return std::nullopt;
}

std::string_view allowedValues(Setting s)
{
    switch (s) {
    case Setting::Speed: return "1..4 or keep";
    case Setting::Density: return "1..3 or keep";
    case Setting::Emulation: return "1..5 or keep";
    case Setting::CodePage: return "0..36 or keep";
    case Setting::SingleByteFont: return "A, B, C or keep";
    case Setting::DoubleByteFont: return "KS5601, SHIFT-JIS, BIG5, GB2312, GB18030, single or keep";
    }
    return {};
}

std::optional<int> switchNumberOf(std::string_view text)
{
    const auto n = parseNumber(text, 1, 12);
    if (!n || SlotOfSwitch(*n) < 0)
        return std::nullopt;
    return n;
}

std::string bad(std::string_view option, std::string_view value, std::string_view expected)
{
    return std::string(option) + ": expected " + std::string(expected) + ", got '" + std::string(value) + "'";
}

std::optional<std::string> addSwitch(SettingsRequest& r, std::string_view value)
{
    constexpr std::string_view kExpected = "SW=PPPPPPPP (SW one of 1-6, 11, 12; pins 8 to 1 as 1, 0 or -)";
    const auto eq = value.find('=');
    if (eq == std::string_view::npos)
        return bad(kSwitchOption, value, kExpected);
    const auto sw = switchNumberOf(value.substr(0, eq));
    const std::string_view pins = value.substr(eq + 1);
    if (!sw || pins.size() != static_cast<std::size_t>(kPinCount))
        return bad(kSwitchOption, value, kExpected);
    std::vector<PinEdit> edits;
    for (std::size_t i = 0; i < pins.size(); ++i) {
        const char c = pins[i];
        const int entry = c == '1' ? kOn : c == '0' ? kOff : c == '-' ? kNoChange : -1;
        if (entry < 0)
            return bad(kSwitchOption, value, kExpected);
        edits.push_back({*sw, kPinCount - static_cast<int>(i), entry});
    }
    r.pinEdits.insert(r.pinEdits.end(), edits.begin(), edits.end());
    return std::nullopt;
}

std::optional<std::string> addPin(SettingsRequest& r, std::string_view value)
{
    constexpr std::string_view kExpected = "SW.P=on|off|keep (SW one of 1-6, 11, 12; P 1..8)";
    const auto dot = value.find('.');
    const auto eq = value.find('=');
    if (dot == std::string_view::npos || eq == std::string_view::npos || eq < dot)
        return bad(kPinOption, value, kExpected);
    const auto sw = switchNumberOf(value.substr(0, dot));
    const auto pin = parseNumber(value.substr(dot + 1, eq - dot - 1), 1, kPinCount);
    const std::string_view state = value.substr(eq + 1);
    const int entry = state == "on" ? kOn : state == "off" ? kOff : state == kKeep ? kNoChange : -1;
    if (!sw || !pin || entry < 0)
        return bad(kPinOption, value, kExpected);
    r.pinEdits.push_back({*sw, *pin, entry});
    return std::nullopt;
}

} // namespace

std::vector<std::string> DescribeStatus(const StatusMatrix& matrix)
{
    std::vector<std::string> lines;
    for (int sw : kSwitchNumbers)
        lines.push_back("MSW" + std::to_string(sw) + " " + SwitchShownText(matrix, sw));
    for (Setting s : kSettingsInOrder) {
        const Decoded d = DecodeSetting(matrix, s);
        std::string value;
        if (d.kind == DecodeKind::Unchanged)
            value = "unchanged";
        else if (d.kind == DecodeKind::Unknown || d.index < 1 ||
                 static_cast<std::size_t>(d.index) >= SettingItems(s).size())
            value = "unknown";
        else
            value = entryName(s, d.index);
        lines.push_back(std::string(settingLabel(s)) + ": " + value);
    }
    return lines;
}

bool SettingsRequest::empty() const
{
    for (const auto& c : choices)
        if (c)
            return false;
    return pinEdits.empty();
}

bool IsSettingOption(std::string_view name)
{
    for (const OptionName& o : kNamedOptions)
        if (o.name == name)
            return true;
    return name == kSwitchOption || name == kPinOption;
}

std::optional<std::string> AddSettingOption(SettingsRequest& request, std::string_view name, std::string_view value)
{
    if (name == kSwitchOption)
        return addSwitch(request, value);
    if (name == kPinOption)
        return addPin(request, value);
    for (const OptionName& o : kNamedOptions) {
        if (o.name != name)
            continue;
        const auto index = entryIndex(o.setting, value);
        if (!index)
            return bad(name, value, allowedValues(o.setting));
        request.choices[static_cast<std::size_t>(o.setting)] = *index;
        return std::nullopt;
    }
    return "unknown setting option '" + std::string(name) + "'";
}

SettingsParse ParseSettings(std::span<const std::string> args)
{
    SettingsParse out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        std::string_view value;
        const auto eq = name.find('=');
        if (name.starts_with("--") && eq != std::string_view::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            out.error = IsSettingOption(name) ? std::string(name) + ": needs a value"
                                              : "unknown setting option '" + std::string(name) + "'";
            return out;
        }
        if (auto error = AddSettingOption(out.request, name, value)) {
            out.error = std::move(error);
            return out;
        }
    }
    return out;
}

void ApplySettings(const SettingsRequest& request, StatusModel& model)
{
    for (Setting s : kSettingsInOrder)
        if (const auto& index = request.choices[static_cast<std::size_t>(s)])
            model.chooseSetting(s, *index);
    for (const PinEdit& e : request.pinEdits)
        model.matrix.set(e.switchNumber, e.pin, e.entry);
    model.pinPage.refresh(model.matrix);
}

} // namespace telvara
