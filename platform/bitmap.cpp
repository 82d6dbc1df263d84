// The strict BMP decoder. Every header field is checked against the file
// before a pixel is read or a row buffer allocated; the row decoder is chosen
// once per file, so the inner loops are plain loops over bytes.
//
// Choices where files in the wild differ:
// - RLE: a run or absolute run that passes the row end is clipped (the bytes
//   are consumed, nothing is written past the row); a delta that moves past
//   the row end or below the last row, an end of line after the last row and
//   a stream that ends without its end-of-bitmap mark are refused (BadRle).
//   Pixels the stream skips take palette entry 0.
// - The colour table must lie inside the file and before the pixel data; a
//   colour count above 2^bpp is refused. 16/24/32-bit files have no palette
//   (a colour count there is an optimisation hint and is ignored).
// - Bitfield masks must be contiguous and must not overlap; a zero mask reads
//   as 0. Channels narrower than 8 bits are widened by bit replication,
//   wider ones keep their top 8 bits.
#include "platform/bitmap.h"

#include "platform/atomic_file.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

namespace platform {

namespace {

std::uint32_t le16(const std::uint8_t* p) { return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8); }
std::uint32_t le32(const std::uint8_t* p) { return le16(p) | (le16(p + 2) << 16); }

BitmapStatus fail(BitmapError error, std::string reason) { return BitmapStatus{error, std::move(reason), {}}; }

// One channel of a bitfield pixel: (pixel >> shift) & mask indexes `expand`.
struct Channel {
    int shift = 0;
    std::uint32_t mask = 0;
    std::array<std::uint8_t, 256> expand{};
};

bool makeChannel(std::uint32_t bits, Channel& c)
{
    if (bits == 0)
        return true;   // all-zero table, mask 0: reads 0
    const int low = std::countr_zero(bits);
    const std::uint32_t run = bits >> low;
    if ((run & (run + 1)) != 0)
        return false;   // not contiguous
    const int width = std::popcount(bits);
    const int kept = std::min(width, 8);
    c.shift = low + (width - kept);
    c.mask = (1u << kept) - 1u;
    for (std::uint32_t v = 0; v <= c.mask; ++v) {
        std::uint32_t out = 0;
        int filled = 0;
        while (filled < 8) {
            out = (out << kept) | v;
            filled += kept;
        }
        c.expand[v] = std::uint8_t(out >> (filled - 8));
    }
    return true;
}

enum class Kind { Indexed1, Indexed4, Indexed8, Bitfields16, Rgb24, Rgb32, Bitfields32, Rle8, Rle4 };

struct Layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    bool topDown = false;
    Kind kind = Kind::Rgb24;
    std::uint64_t offset = 0;
    std::uint64_t stride = 0;      // uncompressed
    std::uint64_t dataEnd = 0;     // end of the pixel data (RLE: of the stream)
    std::array<Rgb, 256> palette{};   // beyond the file's entries: black
    Channel channel[3];
};

BitmapStatus parse(std::span<const std::uint8_t> file, const BitmapLimits& limits, Layout& L)
{
    const std::uint64_t size = file.size();
    const std::uint8_t* f = file.data();
    if (size < 2 || f[0] != 'B' || f[1] != 'M')
        return fail(BitmapError::NotBitmap, "no BM signature");
    if (size < 18)
        return fail(BitmapError::Truncated, "file has " + std::to_string(size) + " bytes, too short for a header");
    const std::uint32_t headerSize = le32(f + 14);
    switch (headerSize) {
    case 12: case 40: case 52: case 56: case 108: case 124: break;
    default: return fail(BitmapError::NotBitmap, "unknown header size " + std::to_string(headerSize));
    }
    if (size < 14u + headerSize)
        return fail(BitmapError::Truncated, "file has " + std::to_string(size) + " bytes, header needs " +
                                                std::to_string(14 + headerSize));
    const std::uint8_t* h = f + 14;
    std::int64_t width, height;
    std::uint32_t planes, bpp, compression = 0, colours = 0;
    if (headerSize == 12) {
        width = le16(h + 4);
        height = le16(h + 6);
        planes = le16(h + 8);
        bpp = le16(h + 10);
    } else {
        width = std::int32_t(le32(h + 4));
        height = std::int32_t(le32(h + 8));
        planes = le16(h + 12);
        bpp = le16(h + 14);
        compression = le32(h + 16);
        colours = le32(h + 32);
    }
    if (planes != 1)
        return fail(BitmapError::BadHeader, "plane count " + std::to_string(planes) + ", must be 1");
    if (width <= 0 || height == 0)
        return fail(BitmapError::BadHeader, "size " + std::to_string(width) + " x " + std::to_string(height));
    L.topDown = height < 0;
    if (L.topDown)
        height = -height;
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
        return fail(BitmapError::Unsupported, std::to_string(bpp) + " bits per pixel");
    const bool ok = compression == 0 || (compression == 1 && bpp == 8) || (compression == 2 && bpp == 4) ||
                    (compression == 3 && (bpp == 16 || bpp == 32));
    if (!ok)
        return fail(BitmapError::Unsupported,
                    "compression " + std::to_string(compression) + " with " + std::to_string(bpp) + " bits per pixel");
    const bool rle = compression == 1 || compression == 2;
    if (rle && L.topDown)
        return fail(BitmapError::BadHeader, "a compressed bitmap cannot be top-down");
    if (std::uint64_t(width) > limits.maxDimension || std::uint64_t(height) > limits.maxDimension ||
        std::uint64_t(width) * std::uint64_t(height) > limits.maxPixels)
        return fail(BitmapError::TooLarge, "size " + std::to_string(width) + " x " + std::to_string(height) +
                                               " is beyond the limits");
    L.width = std::uint32_t(width);
    L.height = std::uint32_t(height);

    std::uint64_t tableAt = 14 + headerSize;
    if (bpp == 16 || bpp == 32) {
        std::uint32_t masks[3];
        if (compression == 3) {
            const std::uint8_t* m = h + 40;
            if (headerSize == 40) {
                if (size < tableAt + 12)
                    return fail(BitmapError::Truncated, "file ends inside the colour masks");
                m = f + tableAt;
                tableAt += 12;
            }
            masks[0] = le32(m);
            masks[1] = le32(m + 4);
            masks[2] = le32(m + 8);
            if (bpp == 16 && ((masks[0] | masks[1] | masks[2]) >> 16) != 0)
                return fail(BitmapError::BadHeader, "a colour mask is wider than a 16-bit pixel");
        } else if (bpp == 16) {
            masks[0] = 0x7c00u; masks[1] = 0x03e0u; masks[2] = 0x001fu;
        } else {
            masks[0] = 0x00ff0000u; masks[1] = 0x0000ff00u; masks[2] = 0x000000ffu;
        }
        if ((masks[0] & masks[1]) || (masks[0] & masks[2]) || (masks[1] & masks[2]))
            return fail(BitmapError::BadHeader, "colour masks overlap");
        for (int i = 0; i < 3; ++i)
            if (!makeChannel(masks[i], L.channel[i]))
                return fail(BitmapError::BadHeader, "colour mask " + std::to_string(masks[i]) + " is not contiguous");
        L.kind = bpp == 16 ? Kind::Bitfields16 : (compression == 3 ? Kind::Bitfields32 : Kind::Rgb32);
    } else if (bpp == 24) {
        L.kind = Kind::Rgb24;
    } else {
        const std::uint64_t capacity = 1ull << bpp;
        const std::uint64_t entries = colours == 0 ? capacity : colours;
        if (entries > capacity)
            return fail(BitmapError::BadHeader, std::to_string(colours) + " palette entries for " +
                                                    std::to_string(bpp) + " bits per pixel");
        const std::uint64_t entrySize = headerSize == 12 ? 3 : 4;
        if (size < tableAt + entries * entrySize)
            return fail(BitmapError::Truncated, "file ends inside the palette");
        for (std::uint64_t i = 0; i < entries; ++i) {
            const std::uint8_t* e = f + tableAt + i * entrySize;
            L.palette[i] = makeRgb(e[2], e[1], e[0]);
        }
        tableAt += entries * entrySize;
        L.kind = compression == 1 ? Kind::Rle8
                 : compression == 2 ? Kind::Rle4
                 : bpp == 1 ? Kind::Indexed1
                 : bpp == 4 ? Kind::Indexed4 : Kind::Indexed8;
    }

    L.offset = le32(f + 10);
    if (L.offset >= size)
        return fail(BitmapError::BadOffset, "pixel data offset " + std::to_string(L.offset) +
                                                " is outside the file of " + std::to_string(size) + " bytes");
    if (L.offset < tableAt)
        return fail(BitmapError::BadOffset, "pixel data offset " + std::to_string(L.offset) +
                                                " is inside the headers, which end at " + std::to_string(tableAt));
    if (rle) {
        const std::uint64_t imageSize = le32(h + 20);
        L.dataEnd = imageSize == 0 ? size : L.offset + imageSize;
        if (L.dataEnd > size)
            return fail(BitmapError::Truncated, "file has " + std::to_string(size) + " bytes, header needs " +
                                                    std::to_string(L.dataEnd));
    } else {
        L.stride = ((std::uint64_t(L.width) * bpp + 31) / 32) * 4;
        L.dataEnd = L.offset + L.stride * L.height;
        if (L.dataEnd > size)
            return fail(BitmapError::Truncated, "file has " + std::to_string(size) + " bytes, header needs " +
                                                    std::to_string(L.dataEnd));
    }
    return {};
}

using RowDecoder = void (*)(const std::uint8_t* src, Rgb* out, std::uint32_t width, const Layout& L);

void rowIndexed1(const std::uint8_t* src, Rgb* out, std::uint32_t width, const Layout& L)
{
    for (std::uint32_t x = 0; x < width; ++x)
        out[x] = L.palette[(src[x >> 3] >> (7 - (x & 7))) & 1u];
}

void rowIndexed4(const std::uint8_t* src, Rgb* out, std::uint32_t width, const Layout& L)
{
    for (std::uint32_t x = 0; x < width; ++x)
        out[x] = L.palette[(src[x >> 1] >> ((x & 1) ? 0 : 4)) & 15u];
}

void rowIndexed8(const std::uint8_t* src, Rgb* out, std::uint32_t width, const Layout& L)
{
    for (std::uint32_t x = 0; x < width; ++x)
        out[x] = L.palette[src[x]];
}

void rowRgb24(const std::uint8_t* src, Rgb* out, std::uint32_t width, const Layout&)
{
    for (std::uint32_t x = 0; x < width; ++x, src += 3)
        out[x] = makeRgb(src[2], src[1], src[0]);
}

void rowRgb32(const std::uint8_t* src, Rgb* out, std::uint32_t width, const Layout&)
{
    for (std::uint32_t x = 0; x < width; ++x, src += 4)
        out[x] = makeRgb(src[2], src[1], src[0]);
}

inline Rgb fromBitfields(std::uint32_t v, const Layout& L)
{
    const Channel& r = L.channel[0];
    const Channel& g = L.channel[1];
    const Channel& b = L.channel[2];
    return makeRgb(r.expand[(v >> r.shift) & r.mask], g.expand[(v >> g.shift) & g.mask],
                   b.expand[(v >> b.shift) & b.mask]);
}

void rowBitfields16(const std::uint8_t* src, Rgb* out, std::uint32_t width, const Layout& L)
{
    for (std::uint32_t x = 0; x < width; ++x, src += 2)
        out[x] = fromBitfields(le16(src), L);
}

void rowBitfields32(const std::uint8_t* src, Rgb* out, std::uint32_t width, const Layout& L)
{
    for (std::uint32_t x = 0; x < width; ++x, src += 4)
        out[x] = fromBitfields(le32(src), L);
}

BitmapStatus decodeUncompressed(std::span<const std::uint8_t> file, const Layout& L, BitmapSink& sink,
                                std::vector<Rgb>& row)
{
    RowDecoder decode = nullptr;
    switch (L.kind) {
    case Kind::Indexed1: decode = rowIndexed1; break;
    case Kind::Indexed4: decode = rowIndexed4; break;
    case Kind::Indexed8: decode = rowIndexed8; break;
    case Kind::Bitfields16: decode = rowBitfields16; break;
    case Kind::Rgb24: decode = rowRgb24; break;
    case Kind::Rgb32: decode = rowRgb32; break;
    case Kind::Bitfields32: decode = rowBitfields32; break;
    case Kind::Rle8: case Kind::Rle4: return fail(BitmapError::Unsupported, "internal: RLE as uncompressed");
    }
    for (std::uint32_t i = 0; i < L.height; ++i) {
        decode(file.data() + L.offset + std::uint64_t(i) * L.stride, row.data(), L.width, L);
        sink.row(L.topDown ? i : L.height - 1 - i, row.data());
    }
    return {};
}

// RLE rows are always bottom-up: file row r is picture row height-1-r.
BitmapStatus decodeRle(std::span<const std::uint8_t> file, const Layout& L, BitmapSink& sink, std::vector<Rgb>& row)
{
    const bool four = L.kind == Kind::Rle4;
    const std::uint8_t* p = file.data() + L.offset;
    const std::uint8_t* const end = file.data() + L.dataEnd;
    const Rgb background = L.palette[0];
    const std::uint64_t width = L.width;
    std::uint32_t r = 0;   // file row being filled
    std::uint64_t x = 0;
    std::fill(row.begin(), row.end(), background);
    auto emit = [&] {
        sink.row(L.height - 1 - r, row.data());
        ++r;
        x = 0;
        std::fill(row.begin(), row.end(), background);
    };
    auto at = [&] { return " at byte " + std::to_string(p - file.data()); };
    while (true) {
        if (end - p < 2)
            return fail(BitmapError::BadRle, "the stream ends without an end-of-bitmap mark");
        const std::uint8_t count = p[0];
        const std::uint8_t value = p[1];
        if (count > 0) {
            if (r >= L.height)
                return fail(BitmapError::BadRle, "a run after the last row" + at());
            const std::uint64_t stop = std::min<std::uint64_t>(x + count, width);
            const Rgb hi = L.palette[four ? value >> 4 : value];
            const Rgb lo = L.palette[four ? value & 15u : value];
            for (std::uint64_t i = x; i < stop; ++i)
                row[i] = ((i - x) & 1u) ? lo : hi;
            x += count;
            p += 2;
            continue;
        }
        if (value == 0) {   // end of line
            if (r >= L.height)
                return fail(BitmapError::BadRle, "an end of line after the last row" + at());
            emit();
            p += 2;
        } else if (value == 1) {   // end of bitmap: rows not reached keep palette entry 0
            while (r < L.height)
                emit();
            return {};
        } else if (value == 2) {   // delta
            if (end - p < 4)
                return fail(BitmapError::BadRle, "the stream ends inside a delta");
            const std::uint8_t dx = p[2];
            const std::uint8_t dy = p[3];
            if (x + dx > width || std::uint64_t(r) + dy > L.height || (dy == 0 && r >= L.height))
                return fail(BitmapError::BadRle, "a delta leaves the picture" + at());
            const std::uint64_t nx = x + dx;
            for (std::uint8_t i = 0; i < dy; ++i)
                emit();
            x = nx;
            p += 4;
        } else {   // absolute run of `value` pixels, padded to 16 bits
            const std::uint64_t bytes = four ? (value + 1u) / 2 : value;
            const std::uint64_t padded = (bytes + 1) & ~std::uint64_t(1);
            if (std::uint64_t(end - p - 2) < padded)
                return fail(BitmapError::BadRle, "the stream ends inside an absolute run" + at());
            if (r >= L.height)
                return fail(BitmapError::BadRle, "a run after the last row" + at());
            const std::uint8_t* src = p + 2;
            for (std::uint64_t i = 0; i < value && x + i < width; ++i) {
                const std::uint32_t index = four ? (src[i >> 1] >> ((i & 1) ? 0 : 4)) & 15u : src[i];
                row[x + i] = L.palette[index];
            }
            x += value;
            p += 2 + padded;
        }
    }
}

class CollectSink : public BitmapSink {
public:
    explicit CollectSink(DecodedBitmap& out) : out_(out) {}
    bool begin(std::uint32_t width, std::uint32_t height) override
    {
        out_.width = width;
        out_.height = height;
        out_.pixels.assign(std::size_t(width) * height, 0);
        return true;
    }
    void row(std::uint32_t y, const Rgb* pixels) override
    {
        std::memcpy(out_.pixels.data() + std::size_t(y) * out_.width, pixels, std::size_t(out_.width) * sizeof(Rgb));
    }

private:
    DecodedBitmap& out_;
};

BitmapStatus readFile(const std::string& path, const BitmapLimits& limits, std::string& content)
{
    OsError error;
    const std::size_t cap = std::size_t(std::min<std::uint64_t>(limits.maxFileBytes, std::numeric_limits<std::size_t>::max()));
    switch (readFileBounded(path, cap, content, error)) {
    case ReadResult::Loaded: return {};
    case ReadResult::Missing: error = OsError(ENOENT, "open", path); break;
    case ReadResult::Failed: break;
    }
    BitmapStatus status{BitmapError::Open, error.describe(), error};
    return status;
}

std::span<const std::uint8_t> bytesOf(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

} // namespace

BitmapStatus probeBmp(std::span<const std::uint8_t> file, BitmapSize& size, const BitmapLimits& limits)
{
    Layout layout;
    BitmapStatus status = parse(file, limits, layout);
    if (status.ok())
        size = {layout.width, layout.height};
    return status;
}

BitmapStatus decodeBmp(std::span<const std::uint8_t> file, BitmapSink& sink, const BitmapLimits& limits)
{
    Layout layout;
    BitmapStatus status = parse(file, limits, layout);
    if (!status.ok())
        return status;
    if (!sink.begin(layout.width, layout.height))
        return fail(BitmapError::Refused, "the receiver refused a " + std::to_string(layout.width) + " x " +
                                              std::to_string(layout.height) + " picture");
    std::vector<Rgb> row(layout.width);
    if (layout.kind == Kind::Rle8 || layout.kind == Kind::Rle4)
        return decodeRle(file, layout, sink, row);
    return decodeUncompressed(file, layout, sink, row);
}

BitmapStatus decodeBmpFile(const std::string& path, BitmapSink& sink, const BitmapLimits& limits)
{
    std::string content;
    BitmapStatus status = readFile(path, limits, content);
    return status.ok() ? decodeBmp(bytesOf(content), sink, limits) : status;
}

BitmapStatus loadBmp(std::span<const std::uint8_t> file, DecodedBitmap& out, const BitmapLimits& limits)
{
    CollectSink sink(out);
    BitmapStatus status = decodeBmp(file, sink, limits);
    if (!status.ok())
        out = DecodedBitmap{};
    return status;
}

BitmapStatus loadBmpFile(const std::string& path, DecodedBitmap& out, const BitmapLimits& limits)
{
    std::string content;
    BitmapStatus status = readFile(path, limits, content);
    if (!status.ok()) {
        out = DecodedBitmap{};
        return status;
    }
    return loadBmp(bytesOf(content), out, limits);
}

bool replayBitmap(const DecodedBitmap& picture, BitmapSink& sink)
{
    if (picture.pixels.size() != std::size_t(picture.width) * picture.height)
        return false;
    if (!sink.begin(picture.width, picture.height))
        return false;
    for (std::uint32_t y = 0; y < picture.height; ++y)
        sink.row(y, picture.rowAt(y));
    return true;
}

} // namespace platform
