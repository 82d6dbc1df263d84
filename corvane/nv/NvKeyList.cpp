#include "corvane/nv/NvKeyList.h"

#include <algorithm>

namespace corvane::nv {

KeyBlock ParseKeyBlock(const std::uint8_t* data, std::size_t length)
{
    // The bytes past the collected ones read as 0, as in the cleared buffer.
    const auto at = [&](std::size_t i) -> std::uint8_t { return i < length ? data[i] : 0; };

    KeyBlock block;
    std::size_t header = kKeyHeaderSearchBytes;
    for (std::size_t i = 0; i < kKeyHeaderSearchBytes; ++i) {
        if (at(i) == 0x37 || at(i) == 0x00) {
            header = i;
            break;
        }
    }
    if (length < 4 || at(header) != 0x37 || at(header + 1) != 0x72)
        return block;

    block.more = at(header + 2) == kKeyBlockMore;
    const std::size_t first = header + 3;
    if (at(first) == 0x00) {
        block.verdict = KeyBlockVerdict::Empty;
        return block;
    }
    block.verdict = KeyBlockVerdict::Keys;
    // The key bytes end at the first NUL after the status byte, or with the
    // collected bytes.
    std::size_t end = first;
    while (end < length && data[end] != 0x00)
        ++end;
    for (std::size_t i = first; i + 2 <= end; i += 2)
        block.keys.push_back(std::string{static_cast<char>(data[i]), static_cast<char>(data[i + 1])});
    return block;
}

} // namespace corvane::nv
