// The NV image commands as bytes: pure builders, no printer.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace corvane::nv {

// Key-code family (GS ( L).
std::array<std::uint8_t, 9> ReadKeyListCommand();
std::array<std::uint8_t, 10> DeleteAllKeyedCommand();
std::array<std::uint8_t, 9> DeleteKeyCommand(std::uint8_t k1, std::uint8_t k2);
std::array<std::uint8_t, 11> PrintKeyCommand(std::uint8_t k1, std::uint8_t k2);
// The 16-byte define header followed by the raster; the caller has checked
// that 16 + raster fits the 16-bit length field.
std::vector<std::uint8_t> DefineKeyedCommand(std::uint8_t k1, std::uint8_t k2, std::uint16_t width,
                                             std::uint16_t height, const std::vector<std::uint8_t>& raster);

// Indexed family.
std::array<std::uint8_t, 9> DefineAllHeader(std::uint8_t count, std::uint32_t totalBlockBytes);
std::vector<std::uint8_t> IndexedImageBlock(std::uint16_t width, std::uint16_t height,
                                            const std::vector<std::uint8_t>& raster);
std::array<std::uint8_t, 9> PrintIndexCommand(std::uint8_t index);
std::array<std::uint8_t, 6> DeleteAllIndexedCommand();

inline constexpr std::uint8_t kAck = 0x06;
inline constexpr std::uint8_t kCan = 0x18;

} // namespace corvane::nv
