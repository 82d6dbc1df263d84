#include "pavix/protocol/IfTables.h"

namespace pavix {

namespace {

constexpr std::string_view kAuthentication[] = {"Open System", "Shared Key", "WPA-PSK",
                                                "WPA2-PSK",    "WPA",        "WPA2"};
constexpr std::string_view kCryptograph[] = {"NONE", "WEP64", "WEP128", "TKIP", "AES", "AES + TKIP"};
constexpr std::string_view kNetworkMode[] = {"Infra Network", "Adhoc"};
constexpr std::string_view kIpAssignment[] = {"Manual allocation", "Automatic Allocation(DHCP)"};
constexpr std::string_view kEapMode[] = {"EAP-PEAP", "EAP-TTLS", "EAP-TLS", "EAP-LEAP", "EAP-FAST", "NONE"};
constexpr std::string_view kSwitch[] = {"Disable", "Enable"};

} // namespace

const EnumTable kAuthenticationTable{"authentication", kAuthentication};
const EnumTable kCryptographTable{"cryptograph", kCryptograph};
const EnumTable kNetworkModeTable{"network mode", kNetworkMode};
const EnumTable kIpAssignmentTable{"IP assignment", kIpAssignment};
const EnumTable kEapModeTable{"EAP mode", kEapMode};
const EnumTable kSwitchTable{"switch", kSwitch};

std::optional<std::string_view> KnownEnumText(const EnumTable& table, unsigned code)
{
    if (code >= table.texts.size())
        return std::nullopt;
    return table.texts[code];
}

std::string EnumText(const EnumTable& table, unsigned code)
{
    if (const auto known = KnownEnumText(table, code))
        return std::string(*known);
    return "Unknown (" + std::to_string(code) + ")";
}

std::optional<std::uint8_t> EnumCode(const EnumTable& table, std::string_view text)
{
    for (std::size_t i = 0; i < table.texts.size(); ++i)
        if (table.texts[i] == text)
            return static_cast<std::uint8_t>(i);
    return std::nullopt;
}

std::string NetworkModeText(std::uint8_t code)
{
    return std::string(kNetworkMode[NetworkModeChoice(code)]);
}

} // namespace pavix
