// What the NV manager reads from outside besides the printer: the stored
// image texts of the registry file and the bitmaps it previews. The first
// input byte chooses which; the rest is the input.
//
// Stored text: the path is always a prefix of the text, the brightness is
// within 0..100, and a parsed entry formats back to a text that parses the
// same. Preview: a picture is never larger than its bound, holds exactly
// width x height pixels, and lightening keeps every pixel within 24 bits.
#include "corvane/nv/NvImageList.h"
#include "corvane/nv/NvPreview.h"
#include "platform/bitmap.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t mode = data[0];
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    if (mode & 1) {
        const std::string_view text(reinterpret_cast<const char*>(rest.data()), rest.size());
        const corvane::StoredImage parsed = corvane::ParseStoredImage(text);
        if (parsed.brightness < 0 || parsed.brightness > 100 || text.substr(0, parsed.path.size()) != parsed.path)
            std::abort();
        corvane::NvImage image;
        image.path = parsed.path;
        image.brightness = parsed.brightness;
        const corvane::StoredImage again = corvane::ParseStoredImage(corvane::FormatStoredImage(image));
        if (again.path != parsed.path || again.brightness != parsed.brightness)
            std::abort();
        return 0;
    }
    // Box widths around the 384 the box stands for, including an enlarging one.
    const std::uint32_t box = 1u + (mode >> 1) * 8u;
    // A 200-byte RLE file may describe a hundred million blank pixels; the
    // preview handles it correctly but takes seconds under the sanitizers,
    // which reads as a hang. The stretching logic is the same at any size.
    platform::BitmapSize header;
    if (platform::probeBmp(rest, header).ok() && std::uint64_t(header.width) * header.height > (1u << 22))
        return 0;
    corvane::nv::PreviewPicture picture;
    std::string reason;
    if (!picture.LoadBytes(rest, box, &reason)) {
        if (reason.empty() || picture.width() != 0 || !picture.pixels().empty())
            std::abort();
        return 0;
    }
    if (picture.width() > corvane::nv::PreviewPicture::kMaxSide
        || picture.height() > corvane::nv::PreviewPicture::kMaxSide
        || picture.pixels().size() != std::size_t(picture.width()) * picture.height())
        std::abort();
    for (const platform::Rgb pixel : picture.Lightened(mode % 101))
        if (pixel > 0xFFFFFFu)
            std::abort();
    return 0;
}
