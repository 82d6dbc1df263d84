#include "pavix/cli/config_file.h"

#include "pavix/cli/config_text.h"
#include "pavix/protocol/IfTables.h"
#include "platform/cli/output.h"

#include <algorithm>
#include <arpa/inet.h>
#include <array>
#include <optional>
#include <type_traits>

namespace pavix::cli {
namespace {

using Parser = bool (*)(std::string_view value, IfConfigRecord& into, std::string& problem);
using Copier = void (*)(const IfConfigRecord& from, IfConfigRecord& to);

template <auto Member>
void copyField(const IfConfigRecord& from, IfConfigRecord& to)
{
    to.*Member = from.*Member;
}

template <auto Member, std::size_t Width>
bool parseText(std::string_view value, IfConfigRecord& into, std::string& problem)
{
    std::optional<std::string> bytes = platform::cli::unescapeText(value);
    if (!bytes) {
        problem = "a '\\' that is not \\xHH or \\\\";
        return false;
    }
    if (bytes->size() > Width) {
        problem = "the value has " + std::to_string(bytes->size()) + " bytes, the field holds " + std::to_string(Width);
        return false;
    }
    if (bytes->find('\0') != std::string::npos) {
        problem = "a zero byte (\\x00) would end the field early";
        return false;
    }
    into.*Member = std::move(*bytes);
    return true;
}

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameText(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return lower(x) == lower(y);
           });
}

// Decimal digits only, no sign, at most `max`.
std::optional<unsigned long> decimal(std::string_view text, unsigned long max)
{
    if (text.empty() || text.size() > 10)
        return std::nullopt;
    unsigned long v = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        v = v * 10 + static_cast<unsigned long>(c - '0');
    }
    if (v > max)
        return std::nullopt;
    return v;
}

std::optional<std::uint8_t> enumCode(const EnumTable& table, std::string_view value)
{
    for (std::size_t code = 0; code < table.texts.size(); ++code) {
        if (sameText(table.texts[code], value))
            return static_cast<std::uint8_t>(code);
    }
    // What `config read` shows for a code the tables lack reads back to it.
    constexpr std::string_view kUnknown = "Unknown (";
    if (value.size() > kUnknown.size() + 1 && sameText(value.substr(0, kUnknown.size()), kUnknown)
        && value.back() == ')') {
        if (const auto n = decimal(value.substr(kUnknown.size(), value.size() - kUnknown.size() - 1), 255))
            return static_cast<std::uint8_t>(*n);
    }
    return std::nullopt;
}

std::string choicesOf(const EnumTable& table)
{
    std::string out;
    for (std::size_t i = 0; i < table.texts.size(); ++i)
        out += (i > 0 ? ", '" : "'") + std::string(table.texts[i]) + "'";
    return out;
}

template <auto Member, const EnumTable& Table>
bool parseEnum(std::string_view value, IfConfigRecord& into, std::string& problem)
{
    const std::optional<std::uint8_t> code = enumCode(Table, value);
    if (!code) {
        problem = "not one of " + choicesOf(Table);
        return false;
    }
    into.*Member = *code;
    return true;
}

template <auto Member, unsigned long Max>
bool parseNumber(std::string_view value, IfConfigRecord& into, std::string& problem)
{
    const auto n = decimal(value, Max);
    if (!n) {
        problem = "not a decimal number from 0 to " + std::to_string(Max);
        return false;
    }
    into.*Member = static_cast<std::remove_reference_t<decltype(into.*Member)>>(*n);
    return true;
}

bool parseNetworkMode(std::string_view value, IfConfigRecord& into, std::string& problem)
{
    // Two-valued by meaning: any nonzero code is ad hoc, as the board reads it.
    if (!parseEnum<&IfConfigRecord::networkMode, kNetworkModeTable>(value, into, problem))
        return false;
    into.networkMode = NetworkModeChoice(into.networkMode);
    return true;
}

bool parseChannel(std::string_view value, IfConfigRecord& into, std::string& problem)
{
    // The information rows show channel 0 as "-".
    if (value == "-") {
        into.adhocChannel = 0;
        return true;
    }
    return parseNumber<&IfConfigRecord::adhocChannel, 14>(value, into, problem);
}

template <auto Member>
bool parseIpv4(std::string_view value, IfConfigRecord& into, std::string& problem)
{
    in_addr address{};
    if (value.size() > 15 || ::inet_pton(AF_INET, std::string(value).c_str(), &address) != 1) {
        problem = "not a dotted IPv4 address";
        return false;
    }
    const auto* b = reinterpret_cast<const std::uint8_t*>(&address.s_addr);
    into.*Member = Ipv4{b[0], b[1], b[2], b[3]};
    return true;
}

struct FieldRow {
    Parser parse;
    Copier copy;
};

using R = IfConfigRecord;

// In kConfigFieldNames order.
constexpr std::array<FieldRow, kConfigFieldCount> kFields = {{
    {parseText<&R::printerName, kPrinterNameWidth>, copyField<&R::printerName>},
    {parseNumber<&R::printerPort, 32767>, copyField<&R::printerPort>},
    {parseText<&R::userId, kUserTextWidth>, copyField<&R::userId>},
    {parseText<&R::userPassword, kUserTextWidth>, copyField<&R::userPassword>},
    {parseEnum<&R::https, kSwitchTable>, copyField<&R::https>},
    {parseEnum<&R::telnet, kSwitchTable>, copyField<&R::telnet>},
    {parseEnum<&R::ftp, kSwitchTable>, copyField<&R::ftp>},
    {parseEnum<&R::snmp, kSwitchTable>, copyField<&R::snmp>},
    {parseText<&R::setCommunity, kCommunityWidth>, copyField<&R::setCommunity>},
    {parseText<&R::getCommunity, kCommunityWidth>, copyField<&R::getCommunity>},
    {parseIpv4<&R::trapAddress>, copyField<&R::trapAddress>},
    {parseText<&R::trapCommunity, kCommunityWidth>, copyField<&R::trapCommunity>},
    {parseNetworkMode, copyField<&R::networkMode>},
    {parseChannel, copyField<&R::adhocChannel>},
    {parseText<&R::ssid, kSsidWidth>, copyField<&R::ssid>},
    {parseNumber<&R::inactivityTime, 3600>, copyField<&R::inactivityTime>},
    {parseEnum<&R::ipAssignment, kIpAssignmentTable>, copyField<&R::ipAssignment>},
    {parseIpv4<&R::ipAddress>, copyField<&R::ipAddress>},
    {parseIpv4<&R::subnetMask>, copyField<&R::subnetMask>},
    {parseIpv4<&R::gateway>, copyField<&R::gateway>},
    {parseEnum<&R::authentication, kAuthenticationTable>, copyField<&R::authentication>},
    {parseEnum<&R::cryptograph, kCryptographTable>, copyField<&R::cryptograph>},
    {parseText<&R::wepKey, kWepKeyWidth>, copyField<&R::wepKey>},
    {parseText<&R::pskKey, kPskKeyWidth>, copyField<&R::pskKey>},
    {parseEnum<&R::eapMode, kEapModeTable>, copyField<&R::eapMode>},
    {parseText<&R::authId, kAuthTextWidth>, copyField<&R::authId>},
    {parseText<&R::authPassword, kAuthTextWidth>, copyField<&R::authPassword>},
}};

bool blank(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

std::string ConfigFileError::describe() const
{
    return line == 0 ? problem : "line " + std::to_string(line) + ": " + problem;
}

bool ParseConfigFile(std::string_view text, ConfigFileValues& parsed, ConfigFileError& error)
{
    parsed = {};
    const auto fail = [&](std::size_t line, std::string problem) {
        error.line = line;
        error.problem = std::move(problem);
        return false;
    };
    if (text.size() > kMaxConfigFileBytes)
        return fail(0, "the file is larger than " + std::to_string(kMaxConfigFileBytes) + " bytes");

    std::size_t number = 0;
    std::size_t at = 0;
    while (at < text.size()) {
        ++number;
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line = text.substr(at, end - at);
        at = end + 1;
        if (line.size() > kMaxConfigLineBytes)
            return fail(number, "longer than " + std::to_string(kMaxConfigLineBytes) + " bytes");
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (blank(line))
            continue;
        if (line[line.find_first_not_of(" \t")] == '#')
            continue;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            return fail(number, "not a 'Name: Value' line");
        const std::string_view name = line.substr(0, colon);
        std::string_view value = line.substr(colon + 1);
        if (!value.empty() && value.front() == ' ')
            value.remove_prefix(1);
        const auto found = std::find(kConfigFieldNames.begin(), kConfigFieldNames.end(), name);
        if (found == kConfigFieldNames.end())
            return fail(number, "unknown name '" + platform::cli::escapeText(name) + "'");
        const auto index = static_cast<std::size_t>(found - kConfigFieldNames.begin());
        if (parsed.present.test(index))
            return fail(number, "'" + std::string(name) + "' is given twice");
        std::string problem;
        if (!kFields[index].parse(value, parsed.values, problem))
            return fail(number, std::string(name) + ": " + problem);
        parsed.present.set(index);
    }
    return true;
}

void ApplyConfigFile(const ConfigFileValues& parsed, IfConfigRecord& record)
{
    for (std::size_t i = 0; i < kConfigFieldCount; ++i) {
        if (parsed.present.test(i))
            kFields[i].copy(parsed.values, record);
    }
}

} // namespace pavix::cli
