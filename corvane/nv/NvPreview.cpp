#include "corvane/nv/NvPreview.h"

#include "corvane/nv/NvConvert.h"

#include <algorithm>
#include <array>
#include <functional>

namespace corvane::nv {

namespace {

// The box stands for this many dots of paper, on every model.
std::uint64_t paperDots() { return WidthLimit(0, WidthUse::Preview); }

// Receives the decoder's rows and stretches each into the output as it
// arrives; only the output and one stretched row are held.
class Stretcher final : public platform::BitmapSink {
public:
    explicit Stretcher(std::uint32_t boxWidth) : box_(boxWidth) {}

    bool begin(std::uint32_t width, std::uint32_t height) override
    {
        W_ = width;
        H_ = height;
        const PreviewSize size = PreviewScale(width, height, box_);
        if (size.width > PreviewPicture::kMaxSide || size.height > PreviewPicture::kMaxSide) {
            refusal_ = std::to_string(width) + " x " + std::to_string(height) + " previews at "
                       + std::to_string(size.width) + " x " + std::to_string(size.height)
                       + " in a box " + std::to_string(box_) + " wide, at most "
                       + std::to_string(PreviewPicture::kMaxSide) + " either way";
            return false;
        }
        p_ = size.width;
        q_ = size.height;
        if (p_ == 0 || q_ == 0)
            return true;   // nothing to show; the rows are ignored
        if (p_ <= W_) {
            columnTarget_.resize(W_);
            for (std::uint32_t s = 0; s < W_; ++s)
                columnTarget_[s] = ShrinkTarget(s, W_, p_);
        } else {
            columnSource_.resize(p_);
            for (std::uint32_t x = 0; x < p_; ++x)
                columnSource_[x] = std::uint32_t(std::uint64_t(x) * W_ / p_);
        }
        line_.resize(p_);
        // All ones: a shrunk pixel is the AND of every source pixel on it.
        pixels_.assign(std::size_t(p_) * q_, 0xFFFFFFFFu);
        return true;
    }

    void row(std::uint32_t y, const platform::Rgb* pixels) override
    {
        if (q_ == 0 || y >= H_)
            return;
        stretchLine(pixels);
        if (q_ <= H_) {
            platform::Rgb* out = pixels_.data() + std::size_t(ShrinkTarget(y, H_, q_)) * p_;
            for (std::uint32_t x = 0; x < p_; ++x)
                out[x] &= line_[x];
        } else {
            // Destination rows d with floor(d * H / q) == y.
            const std::uint64_t first = (std::uint64_t(y) * q_ + H_ - 1) / H_;
            const std::uint64_t end = std::min<std::uint64_t>(q_, (std::uint64_t(y + 1) * q_ + H_ - 1) / H_);
            for (std::uint64_t d = first; d < end; ++d)
                std::copy(line_.begin(), line_.end(), pixels_.begin() + std::ptrdiff_t(d * p_));
        }
    }

    std::uint32_t W_ = 0, H_ = 0, p_ = 0, q_ = 0;
    std::vector<platform::Rgb> pixels_;
    std::string refusal_;

private:
    void stretchLine(const platform::Rgb* pixels)
    {
        if (p_ == W_) {
            std::copy(pixels, pixels + W_, line_.begin());
        } else if (p_ < W_) {
            std::fill(line_.begin(), line_.end(), 0xFFFFFFFFu);
            for (std::uint32_t s = 0; s < W_; ++s)
                line_[columnTarget_[s]] &= pixels[s];
        } else {
            for (std::uint32_t x = 0; x < p_; ++x)
                line_[x] = pixels[columnSource_[x]];
        }
    }

    std::uint32_t box_;
    std::vector<std::uint32_t> columnTarget_;   // shrink: source column -> destination
    std::vector<std::uint32_t> columnSource_;   // enlarge: destination column -> source
    std::vector<platform::Rgb> line_;
};

} // namespace

PreviewSize PreviewScale(std::uint32_t sourceWidth, std::uint32_t sourceHeight, std::uint32_t boxWidth)
{
    if (sourceWidth == 0)
        return {};
    const std::uint64_t p = sourceWidth >= boxWidth ? boxWidth : std::uint64_t(sourceWidth) * boxWidth / paperDots();
    const std::uint64_t q = std::uint64_t(sourceHeight) * p / sourceWidth;
    const std::uint64_t most = 0xFFFFFFFFu;
    return {std::uint32_t(std::min(p, most)), std::uint32_t(std::min(q, most))};
}

double PreviewAdd(int brightness)
{
    return double(std::clamp(brightness, 0, 100)) * 255.0 / 100.0;
}

bool PreviewPicture::Load(const std::string& path, std::uint32_t boxWidth, std::string* reason)
{
    return load(boxWidth, reason,
                [&path](platform::BitmapSink& sink) { return platform::decodeBmpFile(path, sink); });
}

bool PreviewPicture::LoadBytes(std::span<const std::uint8_t> file, std::uint32_t boxWidth, std::string* reason)
{
    return load(boxWidth, reason, [file](platform::BitmapSink& sink) { return platform::decodeBmp(file, sink); });
}

bool PreviewPicture::load(std::uint32_t boxWidth, std::string* reason,
                          const std::function<platform::BitmapStatus(platform::BitmapSink&)>& decode)
{
    Clear();
    Stretcher stretcher(boxWidth);
    const platform::BitmapStatus status = decode(stretcher);
    if (!status.ok()) {
        if (reason)
            *reason = status.error == platform::BitmapError::Refused && !stretcher.refusal_.empty()
                          ? stretcher.refusal_
                          : status.reason;
        return false;
    }
    // Every destination pixel has had at least one source pixel ANDed in;
    // the mask keeps the colour's unused top byte zero regardless.
    for (platform::Rgb& pixel : stretcher.pixels_)
        pixel &= 0x00FFFFFFu;
    width_ = stretcher.p_;
    height_ = stretcher.q_;
    sourceWidth_ = stretcher.W_;
    sourceHeight_ = stretcher.H_;
    pixels_ = std::move(stretcher.pixels_);
    return true;
}

void PreviewPicture::Clear()
{
    width_ = height_ = sourceWidth_ = sourceHeight_ = 0;
    pixels_.clear();
}

std::vector<platform::Rgb> PreviewPicture::Lightened(int brightness) const
{
    // The lightening acts on each channel alone, so one table of 256
    // entries does every pixel.
    const double add = PreviewAdd(brightness);
    std::array<platform::Rgb, 256> channel{};
    for (std::uint32_t c = 0; c < 256; ++c)
        channel[c] = Lighten(platform::makeRgb(std::uint8_t(c), 0, 0), add) & 0xFFu;
    std::vector<platform::Rgb> out(pixels_.size());
    for (std::size_t i = 0; i < pixels_.size(); ++i) {
        const platform::Rgb c = pixels_[i];
        out[i] = channel[c & 0xFF] | (channel[(c >> 8) & 0xFF] << 8) | (channel[(c >> 16) & 0xFF] << 16);
    }
    return out;
}

} // namespace corvane::nv
