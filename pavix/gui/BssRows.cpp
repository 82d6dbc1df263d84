#include "pavix/gui/BssRows.h"

#include <algorithm>
#include <cstdio>

namespace pavix::gui {

std::vector<BssRow> MakeBssRows(const BssTable& table)
{
    std::vector<BssRow> rows;
    for (const BssEntry& entry : table.entries) {
        if (rows.size() >= kMaxBssRows)
            break;
        if (std::all_of(entry.bssid.begin(), entry.bssid.end(), [](std::uint8_t b) { return b == 0; }))
            break;
        BssRow row;
        row.no = std::to_string(rows.size() + 1);
        row.ssid = entry.ssid;
        char bssid[18];
        std::snprintf(bssid, sizeof bssid, "%02X-%02X-%02X-%02X-%02X-%02X", entry.bssid[0], entry.bssid[1],
                      entry.bssid[2], entry.bssid[3], entry.bssid[4], entry.bssid[5]);
        row.bssid = bssid;
        row.mode = entry.adHoc() ? "Ad hoc" : "Infrastructure";
        row.rssi = std::to_string(entry.rssi);
        row.security = BssSecurityText(entry.security);
        rows.push_back(std::move(row));
    }
    return rows;
}

} // namespace pavix::gui
