#include "corvane/nv/NvCommands.h"

// Temporary bodies of the builders the printer exchanges use, so this
// branch links on its own; the full set replaces them.
namespace corvane::nv {

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

std::array<std::uint8_t, 9> DefineAllHeader(std::uint8_t count, std::uint32_t totalBlockBytes)
{
    const std::uint32_t l = totalBlockBytes + 2;
    return {0x08,
            0x5E,
            0x37,
            std::uint8_t(l),
            std::uint8_t(l >> 8),
            std::uint8_t(l >> 16),
            std::uint8_t(l >> 24),
            0x43,
            count};
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
