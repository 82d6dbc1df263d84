// The judgement of one key-list reply block, as collected by one pass of
// the key-list read: pure, no printer.
//
// Block layout: 37 72 s k1 k2 k1 k2 ... 00, where s is 41 (more blocks
// follow; the printer waits for ACK) or 40 (the last block). Stray bytes may
// come before the "7r".
//
// The collected bytes are read as if followed by NULs (the collection buffer
// starts cleared), so a block cut short reads its missing bytes as 0:
//   - header position: the first 0x37 or NUL among the first 250 bytes,
//     250 if there is none;
//   - malformed: fewer than 4 bytes collected, or no "7r" at that position;
//   - empty: the byte after the status byte is NUL (the printer holds no
//     image);
//   - keys: complete byte pairs after the status byte that end before the
//     terminating NUL (or before the end of the collected bytes when the
//     pass ended without one); an odd byte before the NUL is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::nv {

inline constexpr std::size_t kKeyHeaderSearchBytes = 250;
inline constexpr std::uint8_t kKeyBlockMore = 0x41;

enum class KeyBlockVerdict { Malformed, Empty, Keys };

struct KeyBlock {
    KeyBlockVerdict verdict = KeyBlockVerdict::Malformed;
    bool more = false;               // status 0x41: another block follows
    std::vector<std::string> keys;   // two characters each
};

KeyBlock ParseKeyBlock(const std::uint8_t* data, std::size_t length);

} // namespace corvane::nv
