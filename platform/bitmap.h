// Windows bitmap (BMP) files, decoded row by row.
//
// The printer prints exactly the dots we compute from these pixels, so the
// decoder is ours and strict: every header field is checked against the
// file's size before any pixel is read, nothing is ever left undefined
// (pixels an RLE stream skips take palette entry 0, an index beyond the
// palette is black), and 16-bit channels are widened by bit replication.
//
// Supported: headers of 12, 40, 52, 56, 108 and 124 bytes; 1, 4, 8, 16, 24
// and 32 bits per pixel; uncompressed (bottom-up or top-down), RLE8, RLE4
// and bitfields. Anything else is refused with a reason.
//
// Rows are streamed to a sink, one row buffer at a time: no whole decoded
// image is held unless the caller keeps one (DecodedBitmap).
#pragma once

#include "platform/os_error.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace platform {

// A colour as the conversions read it: red in bits 0-7, green in 8-15, blue
// in 16-23, bits 24-31 zero.
using Rgb = std::uint32_t;

constexpr Rgb makeRgb(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return Rgb(r) | (Rgb(g) << 8) | (Rgb(b) << 16);
}

// What the decoder accepts at most; a bigger picture is refused before
// anything is allocated for it.
struct BitmapLimits {
    std::uint32_t maxDimension = 1u << 20;      // width and height each
    std::uint64_t maxPixels = 1ull << 28;       // width x height
    std::uint64_t maxFileBytes = 1ull << 30;    // file reads only
};

// Receives a picture's rows.
class BitmapSink {
public:
    virtual ~BitmapSink() = default;
    // Once, before any row. Returning false stops decoding (BitmapError::Refused).
    virtual bool begin(std::uint32_t width, std::uint32_t height) = 0;
    // Every row exactly once; `y` counts from the top row (0). Rows arrive
    // in file order: y = height-1 down to 0 for bottom-up files, 0 up for
    // top-down ones. `pixels` holds `width` colours and is valid only during
    // the call.
    virtual void row(std::uint32_t y, const Rgb* pixels) = 0;
};

enum class BitmapError {
    None,
    Open,          // the file could not be opened or read (see os)
    NotBitmap,     // no "BM" signature or an unknown header size
    Unsupported,   // a bit depth / compression this decoder does not take
    BadHeader,     // inconsistent header fields (zero size, bad masks, ...)
    Truncated,     // the file ends before the data the header describes
    BadOffset,     // the pixel data offset points outside the file
    BadRle,        // a run or delta leaves the picture, or the stream ends early
    TooLarge,      // beyond BitmapLimits
    Refused,       // the sink's begin() returned false
};

struct BitmapStatus {
    BitmapError error = BitmapError::None;
    std::string reason;   // for the technician, e.g. "file has 1200 bytes, header needs 30054"
    OsError os;           // BitmapError::Open only
    bool ok() const { return error == BitmapError::None; }
};

// The width and height a file's header gives, after the same checks as a
// decode (size against the file, supported format); no pixel is read.
struct BitmapSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

BitmapStatus decodeBmp(std::span<const std::uint8_t> file, BitmapSink& sink,
                       const BitmapLimits& limits = {});
BitmapStatus probeBmp(std::span<const std::uint8_t> file, BitmapSize& size,
                      const BitmapLimits& limits = {});

// The same on a file (read whole, within limits.maxFileBytes).
BitmapStatus decodeBmpFile(const std::string& path, BitmapSink& sink,
                           const BitmapLimits& limits = {});

// A whole decoded picture, top row first, for previews and benchmarks.
struct DecodedBitmap {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<Rgb> pixels;   // width * height, row-major from the top
    const Rgb* rowAt(std::uint32_t y) const { return pixels.data() + std::size_t(y) * width; }
};

BitmapStatus loadBmp(std::span<const std::uint8_t> file, DecodedBitmap& out,
                     const BitmapLimits& limits = {});
BitmapStatus loadBmpFile(const std::string& path, DecodedBitmap& out,
                         const BitmapLimits& limits = {});

// Feeds a decoded picture to a sink top row first (begin() included).
bool replayBitmap(const DecodedBitmap& picture, BitmapSink& sink);

} // namespace platform
