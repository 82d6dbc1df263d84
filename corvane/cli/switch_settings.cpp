#include "corvane/cli/switch_settings.h"

#include "corvane/switches/SentinelCodes.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace corvane::cli {

enum class FieldKind { Integer, Text, BlackMark };

// Which printers a field exists on: its get reads it or its set writes it.
enum class Presence {
    Always,
    Switch3,        // GS from 1040, every BS printer
    Switch7,        // GS except 11060; BS unless the MSR mode is "P"
    Sentinels,      // 21021 and above
    GsOnly,         // switch 0x49
    BlackMark,      // GS 101000 and above, with a pair read or stored
    Current,        // GS 101000 and above (RF interface)
    Bluetooth,      // read from 101000 on
};

struct SwitchField {
    const char* key;
    FieldKind kind;
    Presence presence;
    int CCommonTlvr::*number = nullptr;
    std::string CCommonTlvr::*text = nullptr;
    int min = 0;
    int max = 0;
    bool startCode = false;   // a sentinel start code (1..10 bytes)
    bool endCode = false;     // a sentinel end code (0..10 bytes)
};

namespace {

using T = CCommonTlvr;
using K = FieldKind;
using P = Presence;

constexpr int kMaxInt = 2147483647;

// In the order the set writes them.
const SwitchField kFields[] = {
    {"Density", K::Integer, P::Always, &T::Density, nullptr, 0, 7},
    {"Speed", K::Integer, P::Always, &T::Speed, nullptr, 0, 1},
    {"LCharMode", K::Integer, P::Always, &T::LCharMode, nullptr, 0, 1},
    {"CodePage", K::Integer, P::Always, &T::CodePage, nullptr, 0, 63},
    {"QrCode", K::Integer, P::Switch3, &T::QrCode, nullptr, 0, 1},
    {"MaxiCode", K::Integer, P::Switch3, &T::MaxiCode, nullptr, 0, 1},
    {"DataMatrix", K::Integer, P::Switch3, &T::DataMatrix, nullptr, 0, 1},
    {"Pdf417", K::Integer, P::Switch3, &T::Pdf417, nullptr, 0, 1},
    {"TimeOff", K::Integer, P::Always, &T::TimeOff, nullptr, 0, 127},
    {"TimeSave", K::Integer, P::Always, &T::TimeSave, nullptr, 0, 255},
    // A high-nibble read of 0000 gives -1.
    {"Msr", K::Integer, P::Switch7, &T::Msr, nullptr, -1, 15},
    {"Sentinel", K::Integer, P::Sentinels, &T::Sentinel, nullptr, 0, 2},
    {"Service", K::Integer, P::Always, &T::Service, nullptr, 0, 1},
    {"BeepLowBat", K::Integer, P::Always, &T::BeepLowBat, nullptr, 0, 1},
    {"BeepPaper", K::Integer, P::Always, &T::BeepPaper, nullptr, 0, 1},
    {"FontType", K::Integer, P::Always, &T::FontType, nullptr, 0, 3},
    {"MFI", K::Integer, P::GsOnly, &T::MFI, nullptr, 0, 1},
    {"BlackMarkSensor", K::BlackMark, P::BlackMark, &T::BlackMarkSensor},
    {"Baudrate", K::Integer, P::Always, &T::Baudrate, nullptr, 1, kMaxInt},
    {"Parity", K::Integer, P::Always, &T::Parity, nullptr, 0, 2},
    {"Flowcontrol", K::Integer, P::Always, &T::Flowcontrol, nullptr, 0, 1},
    {"Databit", K::Integer, P::Always, &T::Databit, nullptr, 7, 8},
    {"Track1Start", K::Text, P::Sentinels, nullptr, &T::Track1Start, 0, 0, true},
    {"Track1End", K::Text, P::Sentinels, nullptr, &T::Track1End, 0, 0, false, true},
    {"Track2Start", K::Text, P::Sentinels, nullptr, &T::Track2Start, 0, 0, true},
    {"Track2End", K::Text, P::Sentinels, nullptr, &T::Track2End, 0, 0, false, true},
    {"Track3Start", K::Text, P::Sentinels, nullptr, &T::Track3Start, 0, 0, true},
    {"Track3End", K::Text, P::Sentinels, nullptr, &T::Track3End, 0, 0, false, true},
    {"RfInterface", K::Integer, P::Current, &T::RfInterface, nullptr, 0, 2},
    {"BtConnectionMode", K::Integer, P::Bluetooth, &T::BtConnectionMode, nullptr, 0, 2},
    {"BtDeviceName", K::Text, P::Bluetooth, nullptr, &T::BtDeviceName},
    {"BtPinCode", K::Text, P::Bluetooth, nullptr, &T::BtPinCode},
    {"BtSecurity", K::Integer, P::Bluetooth, &T::BtSecurity, nullptr, 0, 1},
};

// What `identify` prints, and the form line: skipped on input.
constexpr std::string_view kIdentityKeys[] = {"model", "model code", "firmware", "version number",
                                              "code page", "msr mode", "command form"};

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    return s;
}

bool present(const SwitchField& f, const CCommonTlvr& r)
{
    const CCommonUtil& u = r.util();
    const std::uint32_t v = u.g_Getver;
    const bool gs = r.form() == CommandForm::Gs;
    switch (f.presence) {
    case P::Always:
        return true;
    case P::Switch3:
        return !gs || v > 1039;
    case P::Switch7:
        return gs ? v != kVersionNoSwitch7 : u.msrMode != 'P';
    case P::Sentinels:
        return v >= kVersionSentinels;
    case P::GsOnly:
        return gs;
    case P::BlackMark:
        return gs && v >= kVersionBluetooth && IsValidBlackMarkPair(r.BlackMarkSensor);
    case P::Current:
        return gs && v >= kVersionBluetooth;
    case P::Bluetooth:
        return v >= kVersionBluetooth;
    }
    return false;
}

// "quoted", hex:.., or bare.
bool parseText(std::string_view value, std::string& out, std::string& problem)
{
    if (value.size() >= 4 && equalsNoCase(value.substr(0, 4), "hex:")) {
        out = HexToSentinelCode(value.substr(4));
        if (out == sentinel_text::kErrorMarker) {
            problem = sentinel_text::kInvalidHex;
            return false;
        }
        return true;
    }
    if (value.empty() || value.front() != '"') {
        out.assign(value);
        return true;
    }
    out.clear();
    for (std::size_t k = 1; k < value.size(); ++k) {
        const char c = value[k];
        if (c == '"') {
            if (k + 1 != value.size()) {
                problem = "text after the closing quote";
                return false;
            }
            return true;
        }
        if (c != '\\') {
            out.push_back(c);
            continue;
        }
        if (k + 1 >= value.size())
            break;
        const char e = value[++k];
        if (e == '\\' || e == '"') {
            out.push_back(e);
        } else if (e == 'x' && k + 2 < value.size() && HexDigitValue(value[k + 1]) >= 0 && HexDigitValue(value[k + 2]) >= 0) {
            out.push_back(static_cast<char>(HexDigitValue(value[k + 1]) * 16 + HexDigitValue(value[k + 2])));
            k += 2;
        } else {
            problem = "unknown escape in a quoted text (use \\\\, \\\" or \\xHH)";
            return false;
        }
    }
    problem = "the quoted text has no closing quote";
    return false;
}

bool parseValue(const SwitchField& f, std::string_view value, SwitchAssignment& a, std::string& problem)
{
    a.field = &f;
    switch (f.kind) {
    case K::Integer: {
        long long n = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
        if (ec != std::errc() || end != value.data() + value.size() || value.empty()) {
            problem = std::string(f.key) + ": '" + std::string(value) + "' is not a whole number";
            return false;
        }
        if (n < f.min || n > f.max) {
            problem = std::string(f.key) + " " + std::string(value) + " is out of range " + std::to_string(f.min)
                      + ".." + std::to_string(f.max);
            if (f.min == 1 && f.max == kMaxInt)
                problem = std::string(f.key) + " " + std::string(value) + " must be a positive whole number";
            return false;
        }
        a.number = static_cast<int>(n);
        return true;
    }
    case K::BlackMark: {
        if (value.size() != 2 || !IsValidBlackMarkPair(PackBlackMark(value[0], value[1]))) {
            problem = std::string(f.key) + ": '" + std::string(value) + "' must be 00, 01 or 10";
            return false;
        }
        a.number = PackBlackMark(value[0], value[1]);
        return true;
    }
    case K::Text: {
        std::string reason;
        if (!parseText(value, a.text, reason)) {
            problem = std::string(f.key) + ": " + reason;
            return false;
        }
        if (f.startCode || f.endCode) {
            if (const auto bad = SentinelCodeProblem(a.text, f.startCode)) {
                problem = std::string(f.key) + ": " + sentinel_text::kInvalidValue + " " + *bad;
                return false;
            }
        } else if (a.text.find('\r') != std::string::npos || a.text.find('\0') != std::string::npos) {
            problem = std::string(f.key) + ": a carriage return or NUL cannot be sent";
            return false;
        } else if (a.text.size() + 7 > kMaxBluetoothCommand) {
            problem = std::string(f.key) + ": too long for the printer's Bluetooth command ("
                      + std::to_string(kMaxBluetoothCommand) + " bytes with the PIN and the name)";
            return false;
        }
        return true;
    }
    }
    return false;
}

bool parseAssignment(std::string_view key, std::string_view value, SwitchAssignment& a, std::string& problem)
{
    const SwitchField* f = FindSwitchField(trim(key));
    if (!f) {
        problem = "unknown key '" + std::string(trim(key)) + "'";
        return false;
    }
    return parseValue(*f, trim(value), a, problem);
}

bool isIdentityKey(std::string_view key)
{
    return std::any_of(std::begin(kIdentityKeys), std::end(kIdentityKeys),
                       [&](std::string_view k) { return equalsNoCase(k, key); });
}

int currentValue(const SwitchAssignment& a, const CCommonTlvr& r)
{
    return a.field->number ? r.*(a.field->number) : 0;
}

// The refusal for a changed value this printer cannot carry.
std::optional<std::string> unsupported(const SwitchAssignment& a, const CCommonTlvr& r)
{
    const std::string key = a.field->key;
    const std::uint32_t v = r.util().g_Getver;
    const auto refuse = [&] { return key + " " + std::to_string(a.number) + " is not supported by this printer"; };
    if (a.field->number == &T::CodePage && a.number > 31 && v < kVersionCodePageBit5)
        return refuse();
    if (a.field->number == &T::Msr) {
        const bool high = MsrHighNibble(SwitchContext{r.form(), v, r.util().msrMode}, false);
        if ((high && a.number > 14) || (!high && a.number < 0))
            return refuse();
    }
    // Only 0..2 have a two-bit code: 3 would go out as "00".
    if (a.field->number == &T::FontType && v >= kVersionBluetooth && a.number > 2)
        return refuse();
    return std::nullopt;
}

} // namespace

const SwitchField* FindSwitchField(std::string_view key)
{
    for (const SwitchField& f : kFields) {
        if (equalsNoCase(f.key, key))
            return &f;
    }
    return nullptr;
}

const char* SwitchFieldKey(const SwitchField& field)
{
    return field.key;
}

bool ReadsBluetooth(const CCommonTlvr& record)
{
    return record.util().g_Getver >= kVersionBluetooth;
}

platform::cli::Record SwitchSettingsRecord(const CCommonTlvr& r)
{
    platform::cli::Record out;
    for (const SwitchField& f : kFields) {
        if (!present(f, r))
            continue;
        switch (f.kind) {
        case K::Integer:
            out.number(f.key, r.*f.number);
            break;
        case K::BlackMark: {
            const int packed = r.*f.number;
            out.text(f.key, std::string{static_cast<char>(packed & 0xFF), static_cast<char>((packed >> 8) & 0xFF)});
            break;
        }
        case K::Text:
            out.quoted(f.key, r.*f.text);
            break;
        }
    }
    return out;
}

bool ParseSwitchInput(std::string_view text, std::vector<SwitchAssignment>& out, std::string& problem)
{
    std::vector<const SwitchField*> seen;
    int lineNumber = 0;
    while (!text.empty()) {
        const std::size_t nl = text.find('\n');
        std::string_view line = text.substr(0, nl);
        text = nl == std::string_view::npos ? std::string_view() : text.substr(nl + 1);
        ++lineNumber;
        const std::string where = "line " + std::to_string(lineNumber);
        const std::string_view body = trim(line);
        if (body.empty() || body.front() == '#')
            continue;
        const std::size_t colon = body.find(':');
        if (colon == std::string_view::npos) {
            problem = where + ": expected 'Key: value'";
            return false;
        }
        if (isIdentityKey(trim(body.substr(0, colon))))
            continue;
        SwitchAssignment a;
        a.origin = where;
        if (!parseAssignment(body.substr(0, colon), body.substr(colon + 1), a, problem)) {
            problem = where + ": " + problem;
            return false;
        }
        if (std::find(seen.begin(), seen.end(), a.field) != seen.end()) {
            problem = where + ": " + a.field->key + " is given twice";
            return false;
        }
        seen.push_back(a.field);
        out.push_back(std::move(a));
    }
    return true;
}

bool ParseSwitchOption(std::string_view option, SwitchAssignment& out, std::string& problem)
{
    const std::size_t eq = option.find('=');
    if (eq == std::string_view::npos) {
        problem = "--set needs KEY=VALUE, not '" + std::string(option) + "'";
        return false;
    }
    out.origin = "--set";
    if (!parseAssignment(option.substr(0, eq), option.substr(eq + 1), out, problem)) {
        problem = "--set " + problem;
        return false;
    }
    return true;
}

ApplyReport ApplySwitchAssignments(CCommonTlvr& record, const std::vector<SwitchAssignment>& assignments,
                                   bool bluetooth)
{
    ApplyReport report;
    std::vector<const SwitchAssignment*> applied;
    std::string notBluetooth;
    std::string notHere;
    const auto add = [](std::string& list, const char* key) { list += (list.empty() ? "" : ", ") + std::string(key); };
    for (const SwitchAssignment& a : assignments) {
        const SwitchField& f = *a.field;
        if (f.presence == P::Bluetooth && !bluetooth) {
            add(notBluetooth, f.key);
            continue;
        }
        // A black mark pair given here makes the switch present.
        const bool blackMarkPossible = f.presence == P::BlackMark && record.form() == CommandForm::Gs
                                       && record.util().g_Getver >= kVersionBluetooth;
        if (!present(f, record) && !blackMarkPossible) {
            add(notHere, f.key);
            continue;
        }
        if (f.kind != K::Text && a.number != currentValue(a, record)) {
            if (auto refusal = unsupported(a, record)) {
                report.refusal = std::move(refusal);
                return report;
            }
        }
        if (f.number == &T::Baudrate && !IsSentBaudRate(a.number))
            report.warnings.push_back("Baudrate " + std::to_string(a.number)
                                      + " is not one the printer takes: 115200 is sent");
        applied.push_back(&a);
    }
    // One line per reason, so that feeding one printer's settings to another
    // says what was left out without a line per key.
    if (!notHere.empty())
        report.warnings.push_back("ignored, this printer does not have: " + notHere);
    if (!notBluetooth.empty())
        report.warnings.push_back("ignored, Bluetooth settings are written only with --bluetooth: " + notBluetooth);
    for (const SwitchAssignment* a : applied) {
        if (a->field->kind == K::Text)
            record.*(a->field->text) = a->text;
        else
            record.*(a->field->number) = a->number;
    }
    return report;
}

} // namespace corvane::cli
