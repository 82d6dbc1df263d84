// The enumeration texts of the record's codes, in code order, as every
// window and the command line show and offer them.
//
// Boards send codes outside these tables (newer firmware, corrupt
// records): a lookup never indexes with an unchecked code. An unknown code
// reads "Unknown (N)" and is kept in the record as it came, so writing the
// record back leaves it unchanged unless the user picks a value.
// The network mode is two-valued by meaning: any nonzero code is ad hoc.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace pavix {

struct EnumTable {
    std::string_view name;
    std::span<const std::string_view> texts; // index = code
};

extern const EnumTable kAuthenticationTable; // "Open System" .. "WPA2"
extern const EnumTable kCryptographTable;    // "NONE" .. "AES + TKIP"
extern const EnumTable kNetworkModeTable;    // "Infra Network", "Adhoc"
extern const EnumTable kIpAssignmentTable;   // "Manual allocation", "Automatic Allocation(DHCP)"
extern const EnumTable kEapModeTable;        // "EAP-PEAP" .. "NONE"
extern const EnumTable kSwitchTable;         // "Disable", "Enable"

// The table's text for code, or "Unknown (N)".
std::string EnumText(const EnumTable& table, unsigned code);

// The text when the code is in the table.
std::optional<std::string_view> KnownEnumText(const EnumTable& table, unsigned code);

// The code whose text is exactly text.
std::optional<std::uint8_t> EnumCode(const EnumTable& table, std::string_view text);

// Network mode: 0 infrastructure; every other code (a board may send 2)
// is ad hoc, shown as "Adhoc" and chosen as 1.
inline bool IsAdHocMode(std::uint8_t code) { return code != 0; }
inline std::uint8_t NetworkModeChoice(std::uint8_t code) { return code != 0 ? 1 : 0; }
std::string NetworkModeText(std::uint8_t code);

} // namespace pavix
