// The text form of a board's system information and configuration, as
// `pavix-cli sysinfo` and `config read` print them and as `--output` writes
// the configuration file.
//
// Configuration file format: exactly 27 lines "Name: Value", named and
// ordered as the information window's rows (kConfigFieldNames). Texts are
// escaped (bytes outside 0x20..0x7E as \xHH, '\' as \\), enumerations are
// their table texts or "Unknown (N)" for a code the tables lack, numbers
// decimal, IPv4 addresses dotted. The configuration writer reads this form
// back, so the names and their order are part of the format.
#pragma once

#include "pavix/protocol/IfRecords.h"
#include "platform/cli/output.h"

#include <array>
#include <string>
#include <string_view>

namespace pavix::cli {

inline constexpr std::array<std::string_view, 27> kConfigFieldNames = {
    "Printer Name",   "Printer Port Num", "User ID",         "User Password",        "Https",
    "Telnet",         "Ftp",              "Snmp",            "Set Community",        "Get Community",
    "Trap IP Address", "Trap Community",  "Network Mode",    "Adhoc Channel",        "SSID",
    "Inactivity Time", "IP Assignment method", "IP Address", "Subnet Mask",          "Gateway",
    "Authentication", "Cryptograph",      "WEP Key",         "PSK Key",              "EAP Mode",
    "Auth ID",        "Auth Password/Certification Key(EAP-TLS)",
};

// "192.168.1.50"
std::string DottedIpv4(const Ipv4& address);

// Firmware Version, Update Date, Mac Address.
platform::cli::Record SystemInfoRecord(const SystemInfo& info);

// The 27 fields in kConfigFieldNames order.
platform::cli::Record ConfigRecord(const IfConfigRecord& record);

// The configuration file: ConfigRecord as lines.
std::string ConfigText(const IfConfigRecord& record);

} // namespace pavix::cli
