// The NV image commands, byte for byte.
#include "corvane/nv/NvCommands.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvane::nv {
namespace {

template <std::size_t N>
std::vector<std::uint8_t> bytes(const std::array<std::uint8_t, N>& a) { return {a.begin(), a.end()}; }

using V = std::vector<std::uint8_t>;

TEST(NvCommandBytes, KeyCodeFamily)
{
    EXPECT_EQ(bytes(ReadKeyListCommand()), (V{0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x40, 0x4B, 0x43}));
    EXPECT_EQ(bytes(DeleteAllKeyedCommand()), (V{0x1D, 0x28, 0x4C, 0x05, 0x00, 0x30, 0x41, 0x43, 0x4C, 0x52}));
    EXPECT_EQ(bytes(DeleteKeyCommand('A', '1')), (V{0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x42, 'A', '1'}));
    EXPECT_EQ(bytes(PrintKeyCommand('1', '0')),
              (V{0x1D, 0x28, 0x4C, 0x06, 0x00, 0x30, 0x45, '1', '0', 0x01, 0x01}));

    // 384 x 100: 4800 raster bytes, 4816 in all, length field 4811 = CB 12.
    const V raster(4800, 0x5A);
    const V define = DefineKeyedCommand('1', '0', 384, 100, raster);
    ASSERT_EQ(define.size(), 4816u);
    EXPECT_EQ(V(define.begin(), define.begin() + 16),
              (V{0x1D, 0x28, 0x4C, 0xCB, 0x12, 0x30, 0x43, 0x30, '1', '0', 0x01, 0x80, 0x01, 0x64, 0x00, 0x31}));
    EXPECT_EQ(V(define.begin() + 16, define.end()), raster);

    // Height 0: the header alone, length 11.
    const V empty = DefineKeyedCommand('A', 'B', 384, 0, {});
    EXPECT_EQ(empty, (V{0x1D, 0x28, 0x4C, 0x0B, 0x00, 0x30, 0x43, 0x30, 'A', 'B', 0x01, 0x80, 0x01, 0x00, 0x00, 0x31}));
    // The largest raster that fits: FB FF... = 65535 in the field.
    const V largest = DefineKeyedCommand('A', 'B', 384, 1365, V(65520, 0));
    EXPECT_EQ(largest[3], 0xFB);
    EXPECT_EQ(largest[4], 0xFF);
}

TEST(NvCommandBytes, IndexedFamily)
{
    // The length counts the blocks plus 2, low byte first.
    EXPECT_EQ(bytes(DefineAllHeader(3, 0x01020304)), (V{0x08, 0x5E, 0x37, 0x06, 0x03, 0x02, 0x01, 0x43, 0x03}));
    EXPECT_EQ(bytes(DefineAllHeader(0, 0)), (V{0x08, 0x5E, 0x37, 0x02, 0x00, 0x00, 0x00, 0x43, 0x00}));
    const V block = IndexedImageBlock(10, 0x0102, V{0xAA, 0xBB});
    EXPECT_EQ(block, (V{0x01, 0x0A, 0x00, 0x02, 0x01, 0x31, 0xAA, 0xBB}));
    EXPECT_EQ(bytes(PrintIndexCommand(77)), (V{0x08, 0x5E, 0x4C, 0x04, 0x00, 0x45, 77, 0x01, 0x01}));
    EXPECT_EQ(bytes(DeleteAllIndexedCommand()), (V{0x08, 0x5E, 0x4C, 0x01, 0x00, 0x41}));
}

} // namespace
} // namespace corvane::nv
