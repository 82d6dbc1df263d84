// Writes pictures as BMP files in the layouts the decoder must read, so the
// tests (ours and the conversions') can build any variant from one picture
// instead of carrying binary fixtures.
#pragma once

#include "platform/bitmap.h"

#include <cstdint>
#include <vector>

namespace platform::testing {

enum class BmpLayout {
    Indexed1,          // 1 bit, palette in order of first appearance
    Indexed1Reversed,  // 1 bit, the same two colours in the other order
    Indexed4,
    Indexed8,
    Rle8,
    Rle4,
    Rgb555,            // 16 bits, no masks (the default layout)
    Bitfields555,      // 16 bits, explicit 5-5-5 masks
    Bitfields565,      // 16 bits, 5-6-5 masks
    Rgb24,
    Rgb32,             // B, G, R, unused byte
    Bitfields32,       // 32 bits with BmpWriteOptions::masks
};

struct BmpWriteOptions {
    BmpLayout layout = BmpLayout::Rgb24;
    // 12 (16-bit sizes, 3-byte palette entries; uncompressed layouts without
    // masks only), 40, 108 or 124. With 40
    // the bitfield masks follow the header; with 108/124 they are inside it.
    std::uint32_t headerSize = 40;
    bool topDown = false;          // uncompressed layouts with 40+ byte headers only
    // RLE: runs of three or more different pixels in absolute mode; false
    // writes every pixel as an encoded run.
    bool rleAbsolute = true;
    // Bitfields32: red, green, blue masks (any widths, contiguous or not).
    std::uint32_t masks[3] = {0x00ff0000u, 0x0000ff00u, 0x000000ffu};
};

// `pixels` is `width` x `height`, top row first. Indexed layouts build their
// palette from the picture's colours (it must have no more than the layout
// holds; extra colours map to entry 0). 16-bit layouts keep each channel's
// top bits; Bitfields32 fills each mask by repeating the channel's bits.
std::vector<std::uint8_t> writeBmp(std::uint32_t width, std::uint32_t height,
                                   const std::vector<Rgb>& pixels, const BmpWriteOptions& options);

// Field access for tests that damage a written file.
std::uint32_t bmpPixelOffset(const std::vector<std::uint8_t>& file);   // bytes 10-13
void putLe16(std::vector<std::uint8_t>& file, std::size_t at, std::uint16_t value);
void putLe32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value);

} // namespace platform::testing
