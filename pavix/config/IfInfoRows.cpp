#include "pavix/config/IfInfoRows.h"

#include "pavix/config/IfConfigModel.h"
#include "pavix/protocol/IfTables.h"

namespace pavix {

const std::array<std::string_view, kInfoRowCount> kInfoRowNames = {
    "Printer Name",
    "Printer Port Num",
    "User ID",
    "User Password",
    "Https",
    "Telnet",
    "Ftp",
    "Snmp",
    "Set Community",
    "Get Community",
    "Trap IP Address",
    "Trap Community",
    "Network Mode",
    "Adhoc Channel",
    "SSID",
    "Inactivity Time",
    "IP Assignment method",
    "IP Address",
    "Subnet Mask",
    "Gateway",
    "Authentication",
    "Cryptograph",
    "WEP Key",
    "PSK Key",
    "EAP Mode",
    "Auth ID",
    "Auth Password/Certification Key(EAP-TLS)",
};

std::string FormatIpv4(const Ipv4& a)
{
    return std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + "." +
           std::to_string(a[3]);
}

std::array<InfoRow, kInfoRowCount> InformationRows(const IfConfigRecord& r)
{
    const bool wep = r.cryptograph == crypt::kWep64 || r.cryptograph == crypt::kWep128;
    const bool psk = r.cryptograph >= crypt::kTkip && r.cryptograph <= crypt::kAesTkip &&
                     (r.authentication == auth::kWpaPsk || r.authentication == auth::kWpa2Psk);
    const bool eap = r.authentication == auth::kWpa || r.authentication == auth::kWpa2;

    const std::array<std::string, kInfoRowCount> values = {
        r.printerName,
        std::to_string(r.printerPort),
        r.userId,
        r.userPassword,
        EnumText(kSwitchTable, r.https),
        EnumText(kSwitchTable, r.telnet),
        EnumText(kSwitchTable, r.ftp),
        EnumText(kSwitchTable, r.snmp),
        r.setCommunity,
        r.getCommunity,
        FormatIpv4(r.trapAddress),
        r.trapCommunity,
        NetworkModeText(r.networkMode),
        r.adhocChannel == 0 ? std::string("-") : std::to_string(r.adhocChannel),
        r.ssid,
        std::to_string(r.inactivityTime),
        EnumText(kIpAssignmentTable, r.ipAssignment),
        FormatIpv4(r.ipAddress),
        FormatIpv4(r.subnetMask),
        FormatIpv4(r.gateway),
        EnumText(kAuthenticationTable, r.authentication),
        EnumText(kCryptographTable, r.cryptograph),
        wep ? r.wepKey : std::string(),
        psk ? r.pskKey : std::string(),
        eap ? EnumText(kEapModeTable, r.eapMode) : std::string("NONE"),
        eap ? r.authId : std::string(),
        eap ? r.authPassword : std::string(),
    };

    std::array<InfoRow, kInfoRowCount> rows;
    for (std::size_t i = 0; i < kInfoRowCount; ++i)
        rows[i] = InfoRow{static_cast<unsigned>(i + 1), kInfoRowNames[i], values[i]};
    return rows;
}

} // namespace pavix
