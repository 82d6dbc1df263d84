// The colour preview of an NV image: the bitmap stretched to the preview
// box and lightened by the brightness slider.
//
// The box stands for the narrow printers' paper (384 dots): a bitmap at
// least as wide as the box fills its width, a narrower one takes the share
// of the box its width takes of 384 dots, so a box wider than 384 pixels
// enlarges small bitmaps. Shrinking is the conversion's AND stretch (a thin
// dark line stays visible, as it will print); enlarging repeats pixels.
//
// The stretched picture is kept so that a brightness change only redoes the
// lightening; the file is decoded once per Load, streamed row by row, so a
// huge bitmap shrunk to the box is never held whole.
#pragma once

#include "platform/bitmap.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace corvane::nv {

struct PreviewSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// p = box width when W >= box width, else trunc(W * box width / 384);
// q = trunc(H * p / W). A zero-width bitmap previews as 0 x 0. A height
// beyond 32 bits saturates (Load refuses it anyway).
PreviewSize PreviewScale(std::uint32_t sourceWidth, std::uint32_t sourceHeight, std::uint32_t boxWidth);

// The lightening of the slider: every channel + brightness * 255 / 100,
// at most 255. Brightness is clamped to the slider's 0..100.
double PreviewAdd(int brightness);

class PreviewPicture {
public:
    // Either side of a stretched picture at most; a bigger one is refused
    // before anything is allocated for it.
    static constexpr std::uint32_t kMaxSide = 4096;

    // Decodes `path` once and stretches it for a box `boxWidth` pixels
    // wide. On failure the picture is empty and `reason` (if given) says
    // why. A bitmap that scales to nothing (a zero height or width) loads
    // as an empty picture.
    bool Load(const std::string& path, std::uint32_t boxWidth, std::string* reason);
    // The same from a file's bytes in memory.
    bool LoadBytes(std::span<const std::uint8_t> file, std::uint32_t boxWidth, std::string* reason);
    void Clear();

    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    std::uint32_t sourceWidth() const { return sourceWidth_; }
    std::uint32_t sourceHeight() const { return sourceHeight_; }

    // The stretched pixels, width() x height(), top row first.
    const std::vector<platform::Rgb>& pixels() const { return pixels_; }

    // The stretched pixels lightened for a slider position.
    std::vector<platform::Rgb> Lightened(int brightness) const;

private:
    bool load(std::uint32_t boxWidth, std::string* reason,
              const std::function<platform::BitmapStatus(platform::BitmapSink&)>& decode);

    std::uint32_t width_ = 0, height_ = 0;
    std::uint32_t sourceWidth_ = 0, sourceHeight_ = 0;
    std::vector<platform::Rgb> pixels_;
};

} // namespace corvane::nv
