#include "pavix/protocol/BssTable.h"

#include <algorithm>

namespace pavix {

namespace {

constexpr std::uint8_t kSsidElement = 0x00;
constexpr std::uint8_t kBssidElement = 0x01;
constexpr std::size_t kFixedSize = 4;

struct SecurityName {
    std::uint8_t bit;
    std::string_view name;
};

constexpr SecurityName kSecurityNames[] = {
    {kBssWep64, "WEP64"}, {kBssWep128, "WEP128"}, {kBssWpa, "WPA"},
    {kBssWpa2, "WPA2"},   {kBssRsn1, "RSN1"},     {kBssRsn2, "RSN2"},
};

} // namespace

BssTable ParseBssBody(ByteView body)
{
    BssTable table;
    // Reads stop before the checksum; entries start only below length - 7
    // (a signed comparison: a body shorter than 7 has no entry).
    const std::size_t limit = body.size() >= kChecksumSize ? body.size() - kChecksumSize : 0;
    const std::ptrdiff_t startBound = static_cast<std::ptrdiff_t>(body.size()) - 7;
    std::size_t off = 0;
    while (static_cast<std::ptrdiff_t>(off) < startBound && table.entries.size() < kMaxBssEntries) {
        BssEntry entry;
        if (off < limit && body[off] == kSsidElement) {
            if (off + 2 > limit)
                break;
            const std::size_t len = body[off + 1];
            if (len > kMaxBssSsidLength || off + 2 + len > limit)
                break;
            entry.ssid.assign(body.begin() + static_cast<std::ptrdiff_t>(off + 2),
                              body.begin() + static_cast<std::ptrdiff_t>(off + 2 + len));
            off += 2 + len;
        }
        if (off < limit && body[off] == kBssidElement) {
            if (off + 2 > limit)
                break;
            const std::size_t len = body[off + 1];
            if (off + 2 + len > limit)
                break;
            std::copy_n(body.begin() + static_cast<std::ptrdiff_t>(off + 2), std::min(len, entry.bssid.size()),
                        entry.bssid.begin());
            off += 2 + len;
        }
        if (off + kFixedSize > limit)
            break;
        entry.mode = body[off];
        entry.rssi = static_cast<std::int16_t>(static_cast<std::uint16_t>(body[off + 1] << 8 | body[off + 2]));
        entry.security = body[off + 3];
        off += kFixedSize;
        table.entries.push_back(std::move(entry));
    }
    return table;
}

std::optional<BssTable> ParseBssRsp(ByteView message)
{
    if (!IsValidReply(message, kTagBssRsp))
        return std::nullopt;
    return ParseBssBody(message.subspan(kTagSize));
}

std::vector<std::string_view> BssSecurityNames(std::uint8_t flags)
{
    std::vector<std::string_view> names;
    for (const auto& s : kSecurityNames)
        if (flags & s.bit)
            names.push_back(s.name);
    return names;
}

std::string BssSecurityText(std::uint8_t flags, std::string_view separator, std::string_view noneText)
{
    std::string text;
    for (std::string_view name : BssSecurityNames(flags)) {
        if (!text.empty())
            text += separator;
        text += name;
    }
    return text.empty() ? std::string(noneText) : text;
}

Bytes EncodeBssBody(std::span<const BssEntry> entries)
{
    Bytes out;
    for (const BssEntry& e : entries) {
        const std::size_t len = std::min(e.ssid.size(), kMaxBssSsidLength);
        out.push_back(kSsidElement);
        out.push_back(static_cast<std::uint8_t>(len));
        out.insert(out.end(), e.ssid.begin(), e.ssid.begin() + static_cast<std::ptrdiff_t>(len));
        out.push_back(kBssidElement);
        out.push_back(static_cast<std::uint8_t>(e.bssid.size()));
        out.insert(out.end(), e.bssid.begin(), e.bssid.end());
        out.push_back(e.mode);
        out.push_back(static_cast<std::uint8_t>(static_cast<std::uint16_t>(e.rssi) >> 8));
        out.push_back(static_cast<std::uint8_t>(e.rssi));
        out.push_back(e.security);
    }
    return out;
}

} // namespace pavix
