#include "platform/testing/bmp_writer.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <stdexcept>

namespace platform::testing {

namespace {

std::uint8_t red(Rgb c) { return std::uint8_t(c); }
std::uint8_t green(Rgb c) { return std::uint8_t(c >> 8); }
std::uint8_t blue(Rgb c) { return std::uint8_t(c >> 16); }

void add16(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}

void add32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    add16(out, v & 0xffffu);
    add16(out, v >> 16);
}

// The channel's 8 bits spread over the mask, MSB first, repeated to fill it.
std::uint32_t fillMask(std::uint8_t value, std::uint32_t mask)
{
    if (mask == 0)
        return 0;
    const int shift = std::countr_zero(mask);
    const int width = std::popcount(mask);
    std::uint64_t bits = 0;
    for (int i = 0; i < width; ++i) {
        const int bit = 7 - (i % 8);
        bits = (bits << 1) | ((value >> bit) & 1u);
    }
    return std::uint32_t(bits << shift) & mask;
}

struct Format {
    std::uint16_t bpp = 24;
    std::uint32_t compression = 0;
    bool masks = false;
    std::uint32_t mask[3] = {};
};

Format formatOf(const BmpWriteOptions& o)
{
    Format f;
    switch (o.layout) {
    case BmpLayout::Indexed1:
    case BmpLayout::Indexed1Reversed: f.bpp = 1; break;
    case BmpLayout::Indexed4: f.bpp = 4; break;
    case BmpLayout::Indexed8: f.bpp = 8; break;
    case BmpLayout::Rle8: f.bpp = 8; f.compression = 1; break;
    case BmpLayout::Rle4: f.bpp = 4; f.compression = 2; break;
    case BmpLayout::Rgb555: f.bpp = 16; break;
    case BmpLayout::Bitfields555:
        f = {16, 3, true, {0x7c00u, 0x03e0u, 0x001fu}};
        break;
    case BmpLayout::Bitfields565:
        f = {16, 3, true, {0xf800u, 0x07e0u, 0x001fu}};
        break;
    case BmpLayout::Rgb24: f.bpp = 24; break;
    case BmpLayout::Rgb32: f.bpp = 32; break;
    case BmpLayout::Bitfields32:
        f = {32, 3, true, {o.masks[0], o.masks[1], o.masks[2]}};
        break;
    }
    return f;
}

void encodeRle(std::vector<std::uint8_t>& out, const std::vector<std::uint8_t>& row, bool four,
               bool absolute)
{
    std::size_t x = 0;
    const std::size_t w = row.size();
    while (x < w) {
        std::size_t run = 1;
        while (x + run < w && run < 255 && row[x + run] == row[x])
            ++run;
        if (absolute && run == 1) {
            // Gather pixels up to the next repeat for one absolute run.
            std::size_t n = 1;
            while (x + n < w && n < 255 && (x + n + 1 >= w || row[x + n] != row[x + n + 1]))
                ++n;
            if (n >= 3) {
                out.push_back(0);
                out.push_back(std::uint8_t(n));
                std::size_t bytes = 0;
                if (four) {
                    for (std::size_t i = 0; i < n; i += 2) {
                        const std::uint8_t hi = row[x + i];
                        const std::uint8_t lo = i + 1 < n ? row[x + i + 1] : 0;
                        out.push_back(std::uint8_t((hi << 4) | (lo & 0x0f)));
                        ++bytes;
                    }
                } else {
                    for (std::size_t i = 0; i < n; ++i)
                        out.push_back(row[x + i]);
                    bytes = n;
                }
                if (bytes % 2)
                    out.push_back(0);
                x += n;
                continue;
            }
        }
        out.push_back(std::uint8_t(run));
        out.push_back(four ? std::uint8_t((row[x] << 4) | row[x]) : row[x]);
        x += run;
    }
    out.push_back(0);
    out.push_back(0);   // end of line
}

} // namespace

std::vector<std::uint8_t> writeBmp(std::uint32_t width, std::uint32_t height,
                                   const std::vector<Rgb>& pixels, const BmpWriteOptions& options)
{
    if (pixels.size() != std::size_t(width) * height)
        throw std::invalid_argument("writeBmp: pixel count does not match the size");
    const Format f = formatOf(options);
    const bool core = options.headerSize == 12;
    const bool rle = f.compression == 1 || f.compression == 2;
    const bool topDown = options.topDown && !rle && !core;

    std::vector<Rgb> palette;
    std::vector<std::uint8_t> index(pixels.size(), 0);
    if (f.bpp <= 8) {
        const std::size_t capacity = std::size_t(1) << f.bpp;
        for (std::size_t i = 0; i < pixels.size(); ++i) {
            auto it = std::find(palette.begin(), palette.end(), pixels[i]);
            if (it == palette.end() && palette.size() < capacity) {
                palette.push_back(pixels[i]);
                it = palette.end() - 1;
            }
            index[i] = it == palette.end() ? 0 : std::uint8_t(it - palette.begin());
        }
        if (palette.empty())
            palette.push_back(0);
        if (options.layout == BmpLayout::Indexed1Reversed) {
            if (palette.size() == 1)
                palette.push_back(makeRgb(1, 2, 3));
            std::swap(palette[0], palette[1]);
            for (auto& i : index)
                i ^= 1u;
        }
        if (core)
            palette.resize(capacity, 0);   // a core header has no colour count
    }

    // Pixel data first, so the header can carry its size.
    std::vector<std::uint8_t> data;
    const std::size_t stride = ((std::size_t(width) * f.bpp + 31) / 32) * 4;
    for (std::uint32_t fileRow = 0; fileRow < height; ++fileRow) {
        const std::uint32_t y = topDown ? fileRow : height - 1 - fileRow;
        const std::size_t base = std::size_t(y) * width;
        if (rle) {
            std::vector<std::uint8_t> row(index.begin() + std::ptrdiff_t(base),
                                          index.begin() + std::ptrdiff_t(base + width));
            encodeRle(data, row, f.bpp == 4, options.rleAbsolute);
            continue;
        }
        std::vector<std::uint8_t> row(stride, 0);
        for (std::uint32_t x = 0; x < width; ++x) {
            const Rgb c = pixels[base + x];
            switch (f.bpp) {
            case 1: row[x / 8] |= std::uint8_t((index[base + x] & 1u) << (7 - x % 8)); break;
            case 4: row[x / 2] |= std::uint8_t((index[base + x] & 15u) << (x % 2 ? 0 : 4)); break;
            case 8: row[x] = index[base + x]; break;
            case 16: {
                std::uint32_t v;
                if (f.masks && f.mask[1] == 0x07e0u)
                    v = (std::uint32_t(red(c) >> 3) << 11) | (std::uint32_t(green(c) >> 2) << 5) |
                        (blue(c) >> 3);
                else
                    v = (std::uint32_t(red(c) >> 3) << 10) | (std::uint32_t(green(c) >> 3) << 5) |
                        (blue(c) >> 3);
                row[2 * x] = std::uint8_t(v);
                row[2 * x + 1] = std::uint8_t(v >> 8);
                break;
            }
            case 24:
                row[3 * x] = blue(c);
                row[3 * x + 1] = green(c);
                row[3 * x + 2] = red(c);
                break;
            case 32: {
                std::uint32_t v;
                if (f.masks)
                    v = fillMask(red(c), f.mask[0]) | fillMask(green(c), f.mask[1]) |
                        fillMask(blue(c), f.mask[2]);
                else
                    v = blue(c) | (std::uint32_t(green(c)) << 8) | (std::uint32_t(red(c)) << 16);
                for (int b = 0; b < 4; ++b)
                    row[4 * x + std::size_t(b)] = std::uint8_t(v >> (8 * b));
                break;
            }
            }
        }
        data.insert(data.end(), row.begin(), row.end());
    }
    if (rle) {
        data.push_back(0);
        data.push_back(1);   // end of bitmap
    }

    const std::size_t entry = core ? 3 : 4;
    const std::size_t masksAfter = (f.masks && options.headerSize == 40) ? 12 : 0;
    const std::size_t offset = 14 + options.headerSize + masksAfter + palette.size() * entry;
    std::vector<std::uint8_t> out;
    out.reserve(offset + data.size());
    out.push_back('B');
    out.push_back('M');
    add32(out, std::uint32_t(offset + data.size()));
    add32(out, 0);
    add32(out, std::uint32_t(offset));
    add32(out, options.headerSize);
    if (core) {
        add16(out, width);
        add16(out, height);
        add16(out, 1);
        add16(out, f.bpp);
    } else {
        add32(out, width);
        add32(out, topDown ? std::uint32_t(-std::int32_t(height)) : height);
        add16(out, 1);
        add16(out, f.bpp);
        add32(out, f.compression);
        add32(out, std::uint32_t(data.size()));
        add32(out, 2835);
        add32(out, 2835);
        add32(out, std::uint32_t(palette.size()));
        add32(out, 0);
        if (options.headerSize > 40) {
            for (std::uint32_t m : f.mask)
                add32(out, f.masks ? m : 0);
            add32(out, 0);                         // alpha mask
            add32(out, 0x73524742u);               // colour space "sRGB"
            out.resize(14 + options.headerSize, 0); // end points, gamma, intent, profile
        } else if (masksAfter) {
            for (std::uint32_t m : f.mask)
                add32(out, m);
        }
    }
    for (Rgb c : palette) {
        out.push_back(blue(c));
        out.push_back(green(c));
        out.push_back(red(c));
        if (!core)
            out.push_back(0);
    }
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::uint32_t bmpPixelOffset(const std::vector<std::uint8_t>& file)
{
    return std::uint32_t(file.at(10)) | (std::uint32_t(file.at(11)) << 8) |
           (std::uint32_t(file.at(12)) << 16) | (std::uint32_t(file.at(13)) << 24);
}

void putLe16(std::vector<std::uint8_t>& file, std::size_t at, std::uint16_t value)
{
    file.at(at) = std::uint8_t(value);
    file.at(at + 1) = std::uint8_t(value >> 8);
}

void putLe32(std::vector<std::uint8_t>& file, std::size_t at, std::uint32_t value)
{
    putLe16(file, at, std::uint16_t(value));
    putLe16(file, at + 2, std::uint16_t(value >> 16));
}

} // namespace platform::testing
