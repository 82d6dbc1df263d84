#include "sim/pos_switches.h"

#include <charconv>

namespace sim {
namespace {

constexpr int kTelvaraSwitches[] = {1, 2, 3, 4, 5, 6, 11, 12};
// A GS ( E command longer than this is no command of the printer's: its
// header is taken and the rest becomes data.
constexpr std::size_t kMaxUserSettingBody = 64;
constexpr std::string_view kKey = "pos.msw.";

bool listed(const PosSwitchValues& values, int sw)
{
    for (int t : kTelvaraSwitches)
        if (t == sw)
            return true;
    return values[static_cast<std::size_t>(sw)] != 0;
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<std::uint8_t> parsePosPins(std::string_view text)
{
    if (text.size() != 8)
        return std::nullopt;
    std::uint8_t v = 0;
    for (char c : text) {
        if (c != '0' && c != '1')
            return std::nullopt;
        v = static_cast<std::uint8_t>((v << 1) | (c == '1' ? 1 : 0));
    }
    return v;
}

std::string posPinsText(std::uint8_t value)
{
    std::string s;
    for (int bit = 7; bit >= 0; --bit)
        s.push_back(((value >> bit) & 1) != 0 ? '1' : '0');
    return s;
}

std::string formatPosSwitches(const PosSwitchValues& values)
{
    std::string out;
    for (int sw = 1; sw < 256; ++sw)
        if (listed(values, sw))
            out += std::string(kKey) + std::to_string(sw) + ": " + posPinsText(values[static_cast<std::size_t>(sw)])
                   + "\n";
    return out;
}

bool applyPosSwitchText(std::string_view text, PosSwitchValues& values, std::string& error)
{
    PosSwitchValues next = values;
    int lineNo = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        const std::string_view line = trim(text.substr(0, nl));
        text = nl == std::string_view::npos ? std::string_view{} : text.substr(nl + 1);
        ++lineNo;
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t colon = line.find(':');
        const std::string_view key = colon == std::string_view::npos ? line : line.substr(0, colon);
        int sw = 0;
        bool ok = key.starts_with(kKey) && colon != std::string_view::npos;
        if (ok) {
            const std::string_view n = key.substr(kKey.size());
            const auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), sw);
            ok = ec == std::errc{} && end == n.data() + n.size() && sw >= 1 && sw <= 255;
        }
        const auto pins = ok ? parsePosPins(trim(line.substr(colon + 1))) : std::nullopt;
        if (!pins) {
            error = "line " + std::to_string(lineNo) + ": not 'pos.msw.N: PPPPPPPP' (N 1..255, eight 0/1)";
            return false;
        }
        next[static_cast<std::size_t>(sw)] = *pins;
    }
    values = next;
    return true;
}

PosSwitches::Taken PosSwitches::userSetting(std::string_view input)
{
    Taken t;
    if (input.size() < 5)
        return t;
    const std::size_t body = static_cast<unsigned char>(input[3]) + 256u * static_cast<unsigned char>(input[4]);
    t.complete = true;
    if (body > kMaxUserSettingBody || body == 0) {
        t.length = 5;
        return t;
    }
    if (input.size() < 5 + body) {
        t.complete = false;
        return t;
    }
    t.length = 5 + body;
    const std::string_view data = input.substr(5, body);
    const auto fn = static_cast<unsigned char>(data[0]);
    if (fn == 1 && data.substr(1) == "IN") {
        inMode_ = true;
        t.reply = std::string("\x37\x20\x00", 3);
    } else if (fn == 2 && data.substr(1) == "OUT") {
        inMode_ = false;
    } else if (fn == 3 && data.size() == 10) {
        const int sw = static_cast<unsigned char>(data[1]);
        if (!inMode_ || sw == 0) {
            ++ignoredWrites_;
            return t;
        }
        ++writes_;
        std::uint8_t& v = values_[static_cast<std::size_t>(sw)];
        const std::uint8_t before = v;
        for (std::size_t i = 0; i < 8; ++i) {
            const std::uint8_t bit = static_cast<std::uint8_t>(1u << (7 - i)); // pin 8 first
            if (data[2 + i] == '1')
                v = static_cast<std::uint8_t>(v | bit);
            else if (data[2 + i] == '0')
                v = static_cast<std::uint8_t>(v & ~bit);
        }
        if (v != before)
            ++changes_;
    } else if (fn == 4 && data.size() == 2) {
        const int sw = static_cast<unsigned char>(data[1]);
        ++reads_;
        if (muted_.count(sw) != 0)
            return t;
        t.reply = std::string("\x37\x21", 2) + posPinsText(value(sw)) + std::string(1, '\0');
    }
    return t;
}

void PosSwitches::printSheet(std::uint8_t n)
{
    if (n == 5)
        ++codepagePrints_;
    else if (n == 6)
        ++statusPrints_;
}

std::string PosSwitches::report() const
{
    std::string out = "pos.setting-mode: " + std::string(inMode_ ? "in" : "out") + "\n";
    out += "pos.switch-writes: " + std::to_string(writes_) + "\n";
    out += "pos.ignored-switch-writes: " + std::to_string(ignoredWrites_) + "\n";
    out += "pos.switch-reads: " + std::to_string(reads_) + "\n";
    out += "pos.status-prints: " + std::to_string(statusPrints_) + "\n";
    out += "pos.codepage-prints: " + std::to_string(codepagePrints_) + "\n";
    return out + formatPosSwitches(values_);
}

} // namespace sim
