// libFuzzer target for the BMP decoder: a picture file comes from the user's
// disk and may be anything.
//
// Invariants checked for every input:
// - decoding never crashes or reads outside the input (ASan);
// - probe and decode agree on acceptance of the header and on the size;
// - a successful decode delivers every row exactly once, in file order, and
//   every colour has bits 24-31 clear.
#include "platform/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

class CheckingSink : public platform::BitmapSink {
public:
    bool begin(std::uint32_t width, std::uint32_t height) override
    {
        check(!begun_);
        begun_ = true;
        width_ = width;
        height_ = height;
        seen_.assign(height, false);
        return true;
    }
    void row(std::uint32_t y, const platform::Rgb* pixels) override
    {
        check(begun_ && y < height_ && !seen_[y]);
        seen_[y] = true;
        ++rows_;
        for (std::uint32_t x = 0; x < width_; ++x)
            check((pixels[x] >> 24) == 0);
    }
    bool begun_ = false;
    std::uint32_t width_ = 0;
    std::uint32_t height_ = 0;
    std::uint32_t rows_ = 0;
    std::vector<bool> seen_;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    platform::BitmapLimits limits;
    limits.maxDimension = 1u << 14;
    limits.maxPixels = 1ull << 20;
    const std::span<const std::uint8_t> file(data, size);

    platform::BitmapSize probed;
    const platform::BitmapStatus probe = platform::probeBmp(file, probed, limits);
    CheckingSink sink;
    const platform::BitmapStatus decoded = platform::decodeBmp(file, sink, limits);
    check(probe.ok() == sink.begun_);
    if (probe.ok()) {
        check(sink.width_ == probed.width && sink.height_ == probed.height);
        check(decoded.ok() || decoded.error == platform::BitmapError::BadRle);
    } else {
        check(decoded.error == probe.error);
    }
    if (decoded.ok())
        check(sink.rows_ == sink.height_);
    return 0;
}
