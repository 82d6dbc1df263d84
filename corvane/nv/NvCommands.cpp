#include "corvane/nv/NvCommands.h"

#include <algorithm>

namespace corvane::nv {

namespace {

// Header and raster in one buffer sized up front: copying into a sized
// buffer rather than inserting after reserve(), which GCC 12 at -O3 reports
// as an overflow that cannot happen.
template <std::size_t N>
std::vector<std::uint8_t> joined(const std::uint8_t (&header)[N], const std::vector<std::uint8_t>& raster)
{
    std::vector<std::uint8_t> out(N + raster.size());
    std::copy(std::begin(header), std::end(header), out.begin());
    std::copy(raster.begin(), raster.end(), out.begin() + N);
    return out;
}

} // namespace

std::array<std::uint8_t, 9> ReadKeyListCommand()
{
    return {0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x40, 0x4B, 0x43};
}

std::array<std::uint8_t, 10> DeleteAllKeyedCommand()
{
    return {0x1D, 0x28, 0x4C, 0x05, 0x00, 0x30, 0x41, 0x43, 0x4C, 0x52};
}

std::array<std::uint8_t, 9> DeleteKeyCommand(std::uint8_t k1, std::uint8_t k2)
{
    return {0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x42, k1, k2};
}

std::array<std::uint8_t, 11> PrintKeyCommand(std::uint8_t k1, std::uint8_t k2)
{
    return {0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x45, k1, k2, 0x01, 0x01};
}

std::vector<std::uint8_t> DefineKeyedCommand(std::uint8_t k1, std::uint8_t k2, std::uint16_t width,
                                             std::uint16_t height, const std::vector<std::uint8_t>& raster)
{
    const std::size_t total = 16 + raster.size();
    const std::size_t field = total - 5;
    const std::uint8_t header[16] = {
        0x1D, 0x28, 0x4C,
        std::uint8_t(field & 0xFF), std::uint8_t((field >> 8) & 0xFF),
        0x30, 0x43, 0x30, k1, k2, 0x01,
        std::uint8_t(width & 0xFF), std::uint8_t(width >> 8),
        std::uint8_t(height & 0xFF), std::uint8_t(height >> 8),
        0x31,
    };
    return joined(header, raster);
}

std::array<std::uint8_t, 9> DefineAllHeader(std::uint8_t count, std::uint32_t totalBlockBytes)
{
    const std::uint32_t length = totalBlockBytes + 2;
    return {0x08, 0x5E, 0x37,
            std::uint8_t(length & 0xFF), std::uint8_t((length >> 8) & 0xFF),
            std::uint8_t((length >> 16) & 0xFF), std::uint8_t((length >> 24) & 0xFF),
            0x43, count};
}

std::vector<std::uint8_t> IndexedImageBlock(std::uint16_t width, std::uint16_t height,
                                            const std::vector<std::uint8_t>& raster)
{
    const std::uint8_t header[6] = {0x01, std::uint8_t(width & 0xFF), std::uint8_t(width >> 8),
                                    std::uint8_t(height & 0xFF), std::uint8_t(height >> 8), 0x31};
    return joined(header, raster);
}

std::array<std::uint8_t, 9> PrintIndexCommand(std::uint8_t index)
{
    return {0x08, 0x5E, 0x4C, 0x04, 0x00, 0x45, index, 0x01, 0x01};
}

std::array<std::uint8_t, 6> DeleteAllIndexedCommand()
{
    return {0x08, 0x5E, 0x4C, 0x01, 0x00, 0x41};
}

} // namespace corvane::nv
