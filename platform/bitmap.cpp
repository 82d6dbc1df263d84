// Placeholder until the decoder lands: every call refuses the file.
#include "platform/bitmap.h"

namespace platform {

namespace {
BitmapStatus notYet()
{
    return BitmapStatus{BitmapError::Unsupported, "bitmap decoding is not built yet", {}};
}
} // namespace

BitmapStatus decodeBmp(std::span<const std::uint8_t>, BitmapSink&, const BitmapLimits&) { return notYet(); }
BitmapStatus probeBmp(std::span<const std::uint8_t>, BitmapSize&, const BitmapLimits&) { return notYet(); }
BitmapStatus decodeBmpFile(const std::string&, BitmapSink&, const BitmapLimits&) { return notYet(); }
BitmapStatus loadBmp(std::span<const std::uint8_t>, DecodedBitmap&, const BitmapLimits&) { return notYet(); }
BitmapStatus loadBmpFile(const std::string&, DecodedBitmap&, const BitmapLimits&) { return notYet(); }
bool replayBitmap(const DecodedBitmap&, BitmapSink&) { return false; }

} // namespace platform
