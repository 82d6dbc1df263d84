// Bitmap to printer raster: shrink to the printer's width, threshold on
// colour, lighten by the brightness mask, pack eight dots per byte.
//
// The shrink is the classic default stretch: every destination dot starts
// as all ones and is ANDed with every source pixel that maps onto it, so a
// one-pixel black line survives any shrink and light pixels can AND to a
// dark one (226 & 240 = 224). Source column s maps to dot column
// ceil((2s+1) * w / (2W)) - 1, rows likewise.
//
// RasterBuilder does shrink, threshold, mask and packing in one pass over
// the decoded rows as the decoder streams them (top-down or bottom-up); no
// whole picture is held.
#pragma once

#include "platform/bitmap.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvane::nv {

enum class WidthUse { Estimate, KeyCode, Indexed, Preview };

// Dots across for a model code (codes above 440 are the wide models).
std::uint32_t WidthLimit(int modelCode, WidthUse use);

// White only when red, green and blue are all above 225.
bool IsDark(platform::Rgb colour);

// The destination index of source index s when `from` pixels shrink to `to`
// (0 < to <= from).
inline std::uint32_t ShrinkTarget(std::uint64_t s, std::uint64_t from, std::uint64_t to)
{
    const std::uint64_t numerator = (2 * s + 1) * to;
    const std::uint64_t denominator = 2 * from;
    return std::uint32_t((numerator + denominator - 1) / denominator - 1);
}

// Bit i set: mask entry i ((y mod 4) + 4 * (x mod 4)) is forced white.
// Brightness 0 or less uses no mask.
std::uint16_t BrightnessMask(int brightness);

// Scaled size: w = min(W, limit), h = floor(H * w / W).
struct ScaledSize {
    std::uint32_t width = 0;
    std::uint64_t height = 0;
};
ScaledSize ScaleToWidth(std::uint32_t sourceWidth, std::uint32_t sourceHeight, std::uint32_t limit);

inline std::uint64_t RowBytes(std::uint64_t width) { return (width + 7) / 8; }

struct Raster {
    std::uint32_t width = 0;    // dots
    std::uint32_t height = 0;   // dots
    std::vector<std::uint8_t> bytes;   // RowBytes(width) * height
};

class RasterBuilder final : public platform::BitmapSink {
public:
    // `maxRasterBytes`: a bigger raster is refused in begin() (0: no limit
    // besides the 16-bit width and height fields).
    RasterBuilder(std::uint32_t widthLimit, int brightness, std::uint64_t maxRasterBytes = 0);

    bool begin(std::uint32_t width, std::uint32_t height) override;
    void row(std::uint32_t y, const platform::Rgb* pixels) override;

    // Flushes the last row; call once after a successful decode.
    Raster finish();

    // Why begin() refused, for the technician.
    const std::string& refusal() const { return refusal_; }
    std::uint32_t sourceWidth() const { return sourceWidth_; }
    std::uint32_t sourceHeight() const { return sourceHeight_; }

private:
    void flush();
    void packRow(std::uint32_t y, const platform::Rgb* pixels);

    std::uint32_t limit_;
    std::uint16_t mask_;
    std::uint64_t maxRasterBytes_;
    std::uint32_t sourceWidth_ = 0, sourceHeight_ = 0;
    std::uint32_t width_ = 0, height_ = 0;
    std::size_t rowBytes_ = 0;
    std::vector<std::uint32_t> columnTarget_;
    std::vector<platform::Rgb> accumulator_;
    std::int64_t currentRow_ = -1;
    Raster raster_;
    std::string refusal_;
};

// Lightens a colour by `add` on every channel (the preview).
platform::Rgb Lighten(platform::Rgb colour, double add);

} // namespace corvane::nv
