// The rows of an access-point list, as the access-point window (and the
// configuration window's BSS page) show them:
//   "No"        1-based row number
//   "SSID"      the SSID bytes unchanged ("%" and all), empty when absent
//   "BSSID"     "%02X-%02X-%02X-%02X-%02X-%02X"
//   "Mode"      "Ad hoc" for a nonzero mode byte, else "Infrastructure"
//   "RSSI"      "%d" of the signed signal strength
//   "Security"  the set flags' names joined by "/", "No" when none is set
// The rows stop at the first entry whose BSSID is all zero (the board's end
// marker) or after 100 rows.
#pragma once

#include "pavix/protocol/BssTable.h"

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace pavix::gui {

inline constexpr std::size_t kMaxBssRows = 100;

inline constexpr std::string_view kBssSucceeded = "Succeeded to BSS information acquisitions";
inline constexpr std::string_view kBssFailed =
    "Failed in BSS information acquisitions \nPrinter all the member and connection IP or confirm Port.";

struct BssRow {
    std::string no, ssid, bssid, mode, rssi, security;

    std::array<std::string, 6> columns() const { return {no, ssid, bssid, mode, rssi, security}; }
};

std::vector<BssRow> MakeBssRows(const BssTable& table);

} // namespace pavix::gui
