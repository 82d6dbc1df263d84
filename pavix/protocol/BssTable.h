// The access-point (BSS) answer and the table it fills.
//
// Body of "__[I_F]__[BSS_RSP]" (everything after the tag, pad and checksum
// included): a run of entries, each
//   00 L <L bytes>    optional SSID element; L above 30 ends the whole answer
//   01 N <N bytes>    optional BSSID element; its first 6 bytes are the BSSID
//   mode rssi:2 flags four fixed bytes: mode (0 infrastructure, other ad hoc),
//                     signal strength signed 16-bit big-endian, security flags
// Entries are read while the next entry's offset is below the body length
// minus 7.
//
// Quirks a reader must know
//   - Elements are recognised by their first byte, so an entry without an
//     SSID whose mode is 0 reads as an SSID element; that is the board's
//     format, not a parser choice.
//   - Every read is bounded by the body without its two checksum bytes: an
//     element or fixed part running past that ends parsing, keeping the
//     entries before it. A BSSID element shorter than 6 bytes is zero-filled.
//   - At most 100 entries are kept; the rest are dropped.
#pragma once

#include "pavix/protocol/IfMessage.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pavix {

inline constexpr std::size_t kMaxBssEntries = 100;
inline constexpr std::size_t kMaxBssSsidLength = 30;

// Security flag bits of an entry.
inline constexpr std::uint8_t kBssWep64 = 0x01;
inline constexpr std::uint8_t kBssWep128 = 0x02;
inline constexpr std::uint8_t kBssWpa = 0x04;
inline constexpr std::uint8_t kBssWpa2 = 0x08;
inline constexpr std::uint8_t kBssRsn1 = 0x10;
inline constexpr std::uint8_t kBssRsn2 = 0x20;

struct BssEntry {
    std::string ssid;                      // at most 30 bytes as received
    std::array<std::uint8_t, 6> bssid{};   // zero when absent or short
    std::uint8_t mode = 0;                 // 0 infrastructure, other ad hoc
    std::int16_t rssi = 0;
    std::uint8_t security = 0;

    bool adHoc() const { return mode != 0; }
    bool operator==(const BssEntry&) const = default;
};

// At most kMaxBssEntries entries, in the order received.
struct BssTable {
    std::vector<BssEntry> entries;

    void clear() { entries.clear(); }
    std::size_t size() const { return entries.size(); }
};

// Parses a BSS body into a cleared table. Never reads past body.
BssTable ParseBssBody(ByteView body);

// A whole BSS_RSP message: valid checksum and tag, then its body parsed.
// A message holding only the tag and checksum is an empty table.
std::optional<BssTable> ParseBssRsp(ByteView message);

// The names of the set security flags in bit order ("WEP64", "WEP128",
// "WPA", "WPA2", "RSN1", "RSN2"); unknown bits are not named.
std::vector<std::string_view> BssSecurityNames(std::uint8_t flags);

// The names joined by separator, or noneText when no known flag is set.
std::string BssSecurityText(std::uint8_t flags, std::string_view separator = "/",
                            std::string_view noneText = "No");

// The body builder the simulator and tests use: every entry with its SSID
// element (cut to 30 bytes), its 6-byte BSSID element and the fixed bytes,
// so each parses back whatever its mode. No tag, pad or checksum.
Bytes EncodeBssBody(std::span<const BssEntry> entries);

} // namespace pavix
