#include "pavix/cli/bss_text.h"

#include "platform/cli/output.h"

#include <algorithm>
#include <cstdio>

namespace pavix::cli {
namespace {

const char* modeText(const BssEntry& entry)
{
    return entry.adHoc() ? "Ad hoc" : "Infrastructure";
}

} // namespace

std::string FormatBssid(const std::array<std::uint8_t, 6>& b)
{
    char text[24];
    std::snprintf(text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", b[0], b[1], b[2], b[3], b[4], b[5]);
    return text;
}

std::span<const BssEntry> ShownBssEntries(const BssTable& table)
{
    const std::size_t limit = std::min(table.entries.size(), kMaxBssRows);
    std::size_t n = 0;
    while (n < limit) {
        const auto& bssid = table.entries[n].bssid;
        if (std::all_of(bssid.begin(), bssid.end(), [](std::uint8_t b) { return b == 0; }))
            break;
        ++n;
    }
    return std::span<const BssEntry>(table.entries.data(), n);
}

std::string BssRows(const BssTable& table)
{
    std::string out = "No\tSSID\tBSSID\tMode\tRSSI\tSecurity\n";
    int number = 0;
    for (const BssEntry& e : ShownBssEntries(table)) {
        out += std::to_string(++number) + "\t" + platform::cli::escapeText(e.ssid) + "\t" + FormatBssid(e.bssid)
               + "\t" + modeText(e) + "\t" + std::to_string(e.rssi) + "\t" + BssSecurityText(e.security) + "\n";
    }
    return out;
}

std::string BssJsonMembers(const BssTable& table)
{
    const std::span<const BssEntry> shown = ShownBssEntries(table);
    std::string out = "\"count\": " + std::to_string(shown.size()) + ", \"access_points\": [";
    int number = 0;
    for (const BssEntry& e : shown) {
        platform::cli::Record r;
        r.number("no", ++number)
            .text("ssid", e.ssid)
            .text("bssid", FormatBssid(e.bssid))
            .text("mode", modeText(e))
            .number("rssi", e.rssi)
            .text("security", BssSecurityText(e.security));
        std::string json = r.json();
        json.pop_back();
        out += (number > 1 ? ", " : "") + json;
    }
    return out + "]";
}

} // namespace pavix::cli
