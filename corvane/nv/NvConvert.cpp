#include "corvane/nv/NvConvert.h"

#include <algorithm>
#include <cmath>

namespace corvane::nv {

namespace {

// Dither thresholds, entry (y mod 4) + 4 * (x mod 4).
constexpr std::uint8_t kThresholds[16] = {16, 8, 14, 6, 12, 4, 10, 2, 13, 5, 15, 7, 9, 1, 11, 3};

struct WidthRow {
    WidthUse use;
    std::uint32_t narrow;   // model code <= 440
    std::uint32_t wide;     // model code > 440
};

// One row per use; the two wide models share their numbers.
constexpr WidthRow kWidths[] = {
    {WidthUse::Estimate, 384, 576},
    {WidthUse::KeyCode, 384, 832},
    {WidthUse::Indexed, 384, 384},
    {WidthUse::Preview, 384, 384},
};

} // namespace

std::uint32_t WidthLimit(int modelCode, WidthUse use)
{
    for (const WidthRow& row : kWidths)
        if (row.use == use)
            return modelCode > 440 ? row.wide : row.narrow;
    return 384;
}

bool IsDark(platform::Rgb colour)
{
    const unsigned r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return !(r > 225 && g > 225 && b > 225);
}

std::uint16_t BrightnessMask(int brightness)
{
    if (brightness <= 0)
        return 0;
    // threshold < brightness * 16 / 100, exactly, in integers.
    std::uint16_t mask = 0;
    for (int i = 0; i < 16; ++i)
        if (int(kThresholds[i]) * 100 < 16 * brightness)
            mask = std::uint16_t(mask | (1u << i));
    return mask;
}

ScaledSize ScaleToWidth(std::uint32_t sourceWidth, std::uint32_t sourceHeight, std::uint32_t limit)
{
    ScaledSize size;
    if (sourceWidth == 0)
        return size;
    size.width = std::min(sourceWidth, limit);
    size.height = std::uint64_t(sourceHeight) * size.width / sourceWidth;
    return size;
}

RasterBuilder::RasterBuilder(std::uint32_t widthLimit, int brightness, std::uint64_t maxRasterBytes)
    : limit_(widthLimit), mask_(BrightnessMask(brightness)), maxRasterBytes_(maxRasterBytes)
{
}

bool RasterBuilder::begin(std::uint32_t width, std::uint32_t height)
{
    sourceWidth_ = width;
    sourceHeight_ = height;
    const ScaledSize scaled = ScaleToWidth(width, height, limit_);
    if (scaled.width == 0 || scaled.width > 0xFFFF || scaled.height > 0xFFFF) {
        refusal_ = std::to_string(width) + "x" + std::to_string(height) + " converts to "
                   + std::to_string(scaled.width) + "x" + std::to_string(scaled.height)
                   + " dots, at most 65535 either way";
        return false;
    }
    const std::uint64_t rasterBytes = RowBytes(scaled.width) * scaled.height;
    if (maxRasterBytes_ != 0 && rasterBytes > maxRasterBytes_) {
        refusal_ = std::to_string(width) + "x" + std::to_string(height) + " converts to "
                   + std::to_string(scaled.width) + "x" + std::to_string(scaled.height) + " dots: raster "
                   + std::to_string(rasterBytes) + " bytes, at most " + std::to_string(maxRasterBytes_);
        return false;
    }
    width_ = scaled.width;
    height_ = std::uint32_t(scaled.height);
    rowBytes_ = std::size_t(RowBytes(width_));
    columnTarget_.resize(width);
    for (std::uint32_t s = 0; s < width; ++s)
        columnTarget_[s] = ShrinkTarget(s, width, width_);
    accumulator_.assign(width_, 0xFFFFFFFFu);
    raster_ = Raster{width_, height_, std::vector<std::uint8_t>(std::size_t(rasterBytes), 0)};
    currentRow_ = -1;
    return true;
}

void RasterBuilder::row(std::uint32_t y, const platform::Rgb* pixels)
{
    if (height_ == 0 || y >= sourceHeight_)
        return;
    if (width_ == sourceWidth_ && height_ == sourceHeight_) {
        // Nothing to shrink: each pixel is its own dot.
        packRow(y, pixels);
        return;
    }
    const std::int64_t target = ShrinkTarget(y, sourceHeight_, height_);
    if (target != currentRow_) {
        flush();
        currentRow_ = target;
    }
    platform::Rgb* acc = accumulator_.data();
    if (width_ == sourceWidth_) {
        for (std::uint32_t x = 0; x < width_; ++x)
            acc[x] &= pixels[x];
    } else {
        const std::uint32_t* map = columnTarget_.data();
        for (std::uint32_t s = 0; s < sourceWidth_; ++s)
            acc[map[s]] &= pixels[s];
    }
}

void RasterBuilder::flush()
{
    if (currentRow_ < 0)
        return;
    packRow(std::uint32_t(currentRow_), accumulator_.data());
    std::fill(accumulator_.begin(), accumulator_.end(), 0xFFFFFFFFu);
    currentRow_ = -1;
}

namespace {

// 1 when any channel is 225 or less; no branch, so the compiler can keep
// eight dots in flight.
inline std::uint32_t darkBit(platform::Rgb c)
{
    return std::uint32_t((c & 0xFF) <= 225) | std::uint32_t(((c >> 8) & 0xFF) <= 225)
           | std::uint32_t(((c >> 16) & 0xFF) <= 225);
}

} // namespace

void RasterBuilder::packRow(std::uint32_t y, const platform::Rgb* pixels)
{
    // A byte holds two whole mask periods, so the forced-white dots of a
    // row are one byte pattern.
    std::uint32_t white = 0;
    for (unsigned k = 0; k < 8; ++k)
        if ((mask_ >> ((y & 3) + 4 * (k & 3))) & 1u)
            white |= 0x80u >> k;
    std::uint8_t* out = raster_.bytes.data() + std::size_t(y) * rowBytes_;
    const std::uint32_t whole = width_ / 8;
    for (std::uint32_t i = 0; i < whole; ++i) {
        const platform::Rgb* p = pixels + std::size_t(i) * 8;
        std::uint32_t bits = 0;
        for (unsigned k = 0; k < 8; ++k)
            bits = (bits << 1) | darkBit(p[k]);
        out[i] = std::uint8_t(bits & ~white);
    }
    if (const std::uint32_t rest = width_ % 8; rest != 0) {
        const platform::Rgb* p = pixels + std::size_t(whole) * 8;
        std::uint32_t bits = 0;
        for (unsigned k = 0; k < rest; ++k)
            bits |= darkBit(p[k]) << (7 - k);
        out[whole] = std::uint8_t(bits & ~white);
    }
}

Raster RasterBuilder::finish()
{
    flush();
    return std::move(raster_);
}

platform::Rgb Lighten(platform::Rgb colour, double add)
{
    auto channel = [&](unsigned shift) {
        const double value = double((colour >> shift) & 0xFF) + add;
        return std::uint32_t(std::min(255.0, std::trunc(value)));
    };
    return channel(0) | (channel(8) << 8) | (channel(16) << 16);
}

} // namespace corvane::nv
