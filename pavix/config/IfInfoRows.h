// The information window shown after a successful write: 27 rows (number,
// name, value) describing the record just sent. The names are also the
// keys of the command line's `Name: Value` configuration files, so they are
// fixed texts, not labels to tidy up.
//
// Conditional rows are empty when their condition does not hold: the WEP key
// only for WEP codes, the PSK key only for a WPA cipher under WPA-PSK or
// WPA2-PSK, the EAP rows only under WPA or WPA2 (the EAP mode reads "NONE"
// otherwise). Codes outside the tables read "Unknown (N)".
#pragma once

#include "pavix/protocol/IfRecords.h"

#include <array>
#include <string>
#include <string_view>

namespace pavix {

inline constexpr std::size_t kInfoRowCount = 27;

struct InfoRow {
    unsigned number = 0; // 1..27
    std::string_view name;
    std::string value;

    bool operator==(const InfoRow&) const = default;
};

// The row names in order, row 1 first.
extern const std::array<std::string_view, kInfoRowCount> kInfoRowNames;

std::array<InfoRow, kInfoRowCount> InformationRows(const IfConfigRecord& record);

// "%d.%d.%d.%d".
std::string FormatIpv4(const Ipv4& address);

} // namespace pavix
