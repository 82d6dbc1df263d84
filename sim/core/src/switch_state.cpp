#include "sim/switch_state.h"

#include <algorithm>
#include <charconv>
#include <functional>
#include <initializer_list>
#include <vector>

namespace sim {

namespace {

std::optional<std::size_t> switchIndex(unsigned n)
{
    for (std::size_t i = 0; i < kSwitchNumbers.size(); ++i) {
        if (kSwitchNumbers[i] == n)
            return i;
    }
    return std::nullopt;
}

std::string switchKey(std::uint8_t n)
{
    if (n < 0x10)
        return "switch." + std::to_string(n);
    static constexpr char kHex[] = "0123456789abcdef";
    return std::string("switch.0x") + kHex[n >> 4] + kHex[n & 0x0F];
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A whole decimal number of at most `maxDigits` digits.
std::optional<long> parseDecimal(std::string_view text, std::size_t maxDigits)
{
    if (text.empty() || text.size() > maxDigits || !std::all_of(text.begin(), text.end(), isDigit))
        return std::nullopt;
    long v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One key of the text form: how to read its value into the state.
struct StateKey {
    std::string name;
    std::function<bool(std::string_view value, SwitchState& s)> read;
};

std::vector<StateKey> stateKeys()
{
    std::vector<StateKey> keys;
    for (std::uint8_t n : kSwitchNumbers) {
        keys.push_back({switchKey(n), [n](std::string_view v, SwitchState& s) {
                            const auto bits = parseBits(v);
                            if (bits)
                                *s.switchByNumber(n) = *bits;
                            return bits.has_value();
                        }});
    }
    auto number = [](std::string_view v, std::size_t digits, bool (*valid)(int), int& out) {
        const auto n = parseDecimal(v, digits);
        if (!n || !valid(static_cast<int>(*n)))
            return false;
        out = static_cast<int>(*n);
        return true;
    };
    keys.push_back({"serial.baud", [](std::string_view v, SwitchState& s) {
                        const auto n = parseDecimal(v, 7);
                        if (!n || *n == 0)
                            return false;
                        s.serial.baud = static_cast<std::uint32_t>(*n);
                        return true;
                    }});
    keys.push_back({"serial.parity", [number](std::string_view v, SwitchState& s) {
                        return number(v, 1, validParity, s.serial.parity);
                    }});
    keys.push_back({"serial.flow", [number](std::string_view v, SwitchState& s) {
                        return number(v, 1, validFlow, s.serial.flow);
                    }});
    keys.push_back({"serial.databits", [number](std::string_view v, SwitchState& s) {
                        return number(v, 1, validDataBits, s.serial.dataBits);
                    }});
    for (std::size_t t = 0; t < 3; ++t) {
        const std::string base = "sentinel." + std::to_string(t + 1);
        for (bool start : {true, false}) {
            keys.push_back({base + (start ? ".start" : ".end"), [t, start](std::string_view v, SwitchState& s) {
                                auto bytes = unescapeBytes(v);
                                if (!bytes || bytes->size() > kMaxSentinelBytes)
                                    return false;
                                (start ? s.sentinels[t].start : s.sentinels[t].end) = std::move(*bytes);
                                return true;
                            }});
        }
    }
    keys.push_back({"bt.mode", [number](std::string_view v, SwitchState& s) {
                        return number(v, 1, validBluetoothMode, s.bluetooth.mode);
                    }});
    keys.push_back({"bt.security", [number](std::string_view v, SwitchState& s) {
                        return number(v, 1, validBluetoothSecurity, s.bluetooth.security);
                    }});
    for (bool pin : {true, false}) {
        keys.push_back({pin ? "bt.pin" : "bt.name", [pin](std::string_view v, SwitchState& s) {
                            auto bytes = unescapeBytes(v);
                            // The printer ends these with CR on the way in and NUL on the way out.
                            if (!bytes || bytes->find_first_of(std::string_view("\r\0", 2)) != std::string::npos)
                                return false;
                            (pin ? s.bluetooth.pin : s.bluetooth.name) = std::move(*bytes);
                            return true;
                        }});
    }
    return keys;
}

} // namespace

std::uint8_t* SwitchState::switchByNumber(unsigned n)
{
    const auto i = switchIndex(n);
    return i ? &switches[*i] : nullptr;
}

const std::uint8_t* SwitchState::switchByNumber(unsigned n) const
{
    const auto i = switchIndex(n);
    return i ? &switches[*i] : nullptr;
}

SwitchState factoryState(std::string_view modelName)
{
    SwitchState s;
    s.bluetooth.name = std::string(modelName);
    return s;
}

std::string bitsText(std::uint8_t bits)
{
    std::string out(8, '0');
    for (int i = 0; i < 8; ++i) {
        if ((bits & (0x80 >> i)) != 0)
            out[static_cast<std::size_t>(i)] = '1';
    }
    return out;
}

std::optional<std::uint8_t> parseBits(std::string_view text)
{
    if (text.size() != 8)
        return std::nullopt;
    std::uint8_t bits = 0;
    for (char c : text) {
        if (c != '0' && c != '1')
            return std::nullopt;
        bits = static_cast<std::uint8_t>((bits << 1) | (c == '1' ? 1 : 0));
    }
    return bits;
}

bool validParity(int v)
{
    return v >= 0 && v <= 2;
}

bool validFlow(int v)
{
    return v == 0 || v == 1;
}

bool validDataBits(int v)
{
    return v == 7 || v == 8;
}

bool validBluetoothMode(int v)
{
    return v >= 0 && v <= 2;
}

bool validBluetoothSecurity(int v)
{
    return v == 0 || v == 1;
}

std::string escapeBytes(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '\\') {
            out += "\\\\";
        } else if (c >= 0x20 && c <= 0x7E) {
            out.push_back(ch);
        } else {
            out += "\\x";
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0x0F]);
        }
    }
    return out;
}

std::optional<std::string> unescapeBytes(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            out.push_back('\\');
            ++i;
            continue;
        }
        if (i + 3 >= text.size() || text[i + 1] != 'x')
            return std::nullopt;
        const int hi = hexValue(text[i + 2]);
        const int lo = hexValue(text[i + 3]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        out.push_back(static_cast<char>(hi * 16 + lo));
        i += 3;
    }
    return out;
}

std::string formatState(const SwitchState& s)
{
    std::string out;
    auto line = [&](const std::string& key, const std::string& value) { out += key + ": " + value + "\n"; };
    for (std::size_t i = 0; i < kSwitchNumbers.size(); ++i)
        line(switchKey(kSwitchNumbers[i]), bitsText(s.switches[i]));
    line("serial.baud", std::to_string(s.serial.baud));
    line("serial.parity", std::to_string(s.serial.parity));
    line("serial.flow", std::to_string(s.serial.flow));
    line("serial.databits", std::to_string(s.serial.dataBits));
    for (std::size_t t = 0; t < 3; ++t) {
        const std::string base = "sentinel." + std::to_string(t + 1);
        line(base + ".start", escapeBytes(s.sentinels[t].start));
        line(base + ".end", escapeBytes(s.sentinels[t].end));
    }
    line("bt.mode", std::to_string(s.bluetooth.mode));
    line("bt.security", std::to_string(s.bluetooth.security));
    line("bt.pin", escapeBytes(s.bluetooth.pin));
    line("bt.name", escapeBytes(s.bluetooth.name));
    return out;
}

bool applyStateText(std::string_view text, SwitchState& state, std::string& error)
{
    static const std::vector<StateKey> keys = stateKeys();
    SwitchState next = state;
    std::size_t lineNo = 0;
    while (!text.empty()) {
        ++lineNo;
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        const std::size_t colon = line.find(':');
        const std::string_view key = line.substr(0, colon);
        const auto row = std::find_if(keys.begin(), keys.end(), [&](const StateKey& k) { return k.name == key; });
        if (colon == std::string_view::npos || row == keys.end()) {
            error = "line " + std::to_string(lineNo) + ": not a known 'key: value' line";
            return false;
        }
        // One space after the colon; an editor may have dropped it from an empty value.
        std::string_view value = line.substr(colon + 1);
        if (value.starts_with(' '))
            value.remove_prefix(1);
        if (!row->read(value, next)) {
            error = "line " + std::to_string(lineNo) + ": bad value for " + row->name;
            return false;
        }
    }
    state = std::move(next);
    return true;
}

int modelCodeOf(std::string_view reply)
{
    reply = reply.substr(0, reply.find('\0'));
    const std::size_t underscore = reply.substr(0, 16).find('_');
    if (underscore == std::string_view::npos)
        return 0;
    const std::string_view r = reply.substr(underscore);  // position 0 is the underscore
    auto at = [&](std::size_t i) { return i < r.size() ? r[i] : '\0'; };
    if (r.substr(1, 3) == "KMP") {
        if (at(5) != 'Z')
            return 0;
        switch (at(6)) {
        case '4':
            if (reply.size() == 11 && r.substr(9, 2) == "II")
                return 402;
            if (reply.size() == 10 && at(9) == 'W')
                return 401;
            return 400;
        case '6':
            return 600;
        case '8':
            return 800;
        default:
            return 0;
        }
    }
    if (r.substr(1, 2) == "VX" && r.substr(4, 2) == "44")
        return 440;
    return 0;
}

std::uint32_t versionNumberOf(int modelCode, std::string_view r)
{
    // The characters at `positions` read as one decimal number up to the
    // first non-digit (a position past the end counts as a non-digit).
    auto value = [&](std::initializer_list<std::size_t> positions) {
        std::uint32_t v = 0;
        for (std::size_t p : positions) {
            if (p >= r.size() || !isDigit(r[p]))
                break;
            v = v * 10 + static_cast<std::uint32_t>(r[p] - '0');
        }
        return v;
    };
    if (modelCode != 400 && modelCode != 440)
        return (value({2, 3, 5, 6}) + 10000) * 10;
    if (r.starts_with("_VER V"))
        return value({6, 8, 9}) * 10;
    if (r.starts_with("_VER "))
        return (value({11, 13, 14}) + 1000) * 10 + (r.substr(6, 3) == "TMS" ? 1 : 0);
    return (value({2, 3, 5, 6}) + 2000) * 10 + (r.starts_with("_B") ? 1 : 0);
}

Dialect dialectFor(std::uint32_t versionNumber)
{
    return versionNumber >= 21000 && versionNumber <= 100999 ? Dialect::Bs : Dialect::Gs;
}

} // namespace sim
