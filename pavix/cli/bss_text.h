// The access-point list as `pavix-cli bss` prints it: a heading, then one
// tab-separated row per access point, as the access-point window lists them.
//
//   No  SSID  BSSID (AA-BB-CC-DD-EE-FF)  Infrastructure|Ad hoc  RSSI  flags|No
//
// The list ends at the first entry whose BSSID is all zero (the board's end
// marker) or after 100 rows. SSIDs are escaped, so a tab or newline in one
// cannot break the columns.
#pragma once

#include "pavix/protocol/BssTable.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace pavix::cli {

inline constexpr std::size_t kMaxBssRows = 100;

// "01-02-0A-0B-0C-FF"
std::string FormatBssid(const std::array<std::uint8_t, 6>& bssid);

// The entries that are shown.
std::span<const BssEntry> ShownBssEntries(const BssTable& table);

// Heading and rows, each line ending in '\n'.
std::string BssRows(const BssTable& table);

// JSON members (no braces): "count": N, "access_points": [{...}, ...]
std::string BssJsonMembers(const BssTable& table);

} // namespace pavix::cli
