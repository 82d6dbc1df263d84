// The BMP decoder against pictures written in every layout it reads, and
// against damaged files: it must refuse them without reading outside them.
#include "platform/bitmap.h"
#include "platform/testing/bmp_writer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace platform;
using platform::testing::BmpLayout;
using platform::testing::BmpWriteOptions;
using platform::testing::putLe16;
using platform::testing::putLe32;
using platform::testing::writeBmp;

namespace {

using Bytes = std::vector<std::uint8_t>;

struct Picture {
    std::uint32_t width;
    std::uint32_t height;
    std::vector<Rgb> pixels;
};

// Channels 0 and 255 only, so every layout (16-bit included) keeps them.
Picture testPicture(std::uint32_t width, std::uint32_t height, unsigned colours)
{
    Picture p{width, height, {}};
    for (std::uint32_t y = 0; y < height; ++y)
        for (std::uint32_t x = 0; x < width; ++x) {
            const unsigned c = (x * 7 + y * 3 + (x / 3) * y) % colours;
            const std::uint8_t r = (c & 1) ? 255 : 0, g = (c & 2) ? 255 : 0, b = (c & 4) ? 255 : 0;
            p.pixels.push_back(makeRgb(r, g, b));
        }
    return p;
}

Bytes write(const Picture& p, BmpWriteOptions o) { return writeBmp(p.width, p.height, p.pixels, o); }

BitmapStatus load(const Bytes& file, DecodedBitmap& out, const BitmapLimits& limits = {})
{
    return loadBmp(std::span<const std::uint8_t>(file), out, limits);
}

std::vector<Rgb> decodeAll(const Bytes& file)
{
    DecodedBitmap out;
    const BitmapStatus status = load(file, out);
    EXPECT_TRUE(status.ok()) << status.reason;
    return out.pixels;
}

struct RecordingSink : BitmapSink {
    std::vector<std::uint32_t> order;
    bool begin(std::uint32_t, std::uint32_t) override { return true; }
    void row(std::uint32_t y, const Rgb*) override { order.push_back(y); }
};

} // namespace

// ---- one picture, every layout ----

TEST(BitmapLayouts, SamePictureDecodesToSamePixelsInEveryLayout)
{
    struct Case {
        BmpLayout layout;
        unsigned colours;
        std::vector<std::uint32_t> headers;
    };
    const std::vector<Case> cases = {
        {BmpLayout::Indexed1, 2, {12, 40, 124}},     {BmpLayout::Indexed1Reversed, 2, {40}},
        {BmpLayout::Indexed4, 8, {12, 40, 108}},     {BmpLayout::Indexed8, 8, {12, 40, 124}},
        {BmpLayout::Rle8, 8, {40, 108}},             {BmpLayout::Rle4, 8, {40, 124}},
        {BmpLayout::Rgb555, 8, {12, 40}},            {BmpLayout::Bitfields555, 8, {40, 108}},
        {BmpLayout::Bitfields565, 8, {40, 124}},     {BmpLayout::Rgb24, 8, {12, 40, 108, 124}},
        {BmpLayout::Rgb32, 8, {40, 124}},            {BmpLayout::Bitfields32, 8, {40, 108}},
    };
    // Odd widths exercise row padding and partial bytes.
    for (std::uint32_t width : {1u, 7u, 13u, 33u}) {
        for (const Case& c : cases) {
            const Picture p = testPicture(width, 5, c.colours);
            for (std::uint32_t header : c.headers) {
                for (bool absolute : {true, false}) {
                    for (bool topDown : {false, true}) {
                        BmpWriteOptions o;
                        o.layout = c.layout;
                        o.headerSize = header;
                        o.rleAbsolute = absolute;
                        o.topDown = topDown;
                        SCOPED_TRACE("layout " + std::to_string(int(c.layout)) + " header " + std::to_string(header) +
                                     " width " + std::to_string(width) + (topDown ? " top-down" : "") +
                                     (absolute ? " absolute" : ""));
                        EXPECT_EQ(decodeAll(write(p, o)), p.pixels);
                    }
                }
            }
        }
    }
}

TEST(BitmapLayouts, MasksInsideFiftyTwoAndFiftySixByteHeaders)
{
    // The 52- and 56-byte headers are the 108-byte one cut after its masks;
    // the pixel data offset still points past the full header.
    const Picture p = testPicture(5, 3, 8);
    for (BmpLayout layout : {BmpLayout::Bitfields565, BmpLayout::Bitfields32}) {
        for (std::uint32_t header : {52u, 56u}) {
            Bytes file = write(p, {layout, 108});
            putLe32(file, 14, header);
            EXPECT_EQ(decodeAll(file), p.pixels) << "header " << header;
        }
    }
}

TEST(BitmapLayouts, RowsArriveInFileOrderCountedFromTheTop)
{
    const Picture p = testPicture(4, 3, 8);
    BmpWriteOptions o;
    RecordingSink bottomUp;
    const Bytes a = write(p, o);
    ASSERT_TRUE(decodeBmp(a, bottomUp).ok());
    EXPECT_EQ(bottomUp.order, (std::vector<std::uint32_t>{2, 1, 0}));
    o.topDown = true;
    RecordingSink topDown;
    const Bytes b = write(p, o);
    ASSERT_TRUE(decodeBmp(b, topDown).ok());
    EXPECT_EQ(topDown.order, (std::vector<std::uint32_t>{0, 1, 2}));
    // The two files differ but hold the same picture.
    EXPECT_NE(a, b);
    EXPECT_EQ(decodeAll(a), decodeAll(b));
}

TEST(BitmapLayouts, ProbeReportsTheSizeWithoutDecodingAndReplayFeedsTopDown)
{
    const Picture p = testPicture(9, 4, 8);
    const Bytes file = write(p, {});
    BitmapSize size;
    ASSERT_TRUE(probeBmp(file, size).ok());
    EXPECT_EQ(size.width, 9u);
    EXPECT_EQ(size.height, 4u);

    DecodedBitmap picture;
    ASSERT_TRUE(load(file, picture).ok());
    RecordingSink sink;
    EXPECT_TRUE(replayBitmap(picture, sink));
    EXPECT_EQ(sink.order, (std::vector<std::uint32_t>{0, 1, 2, 3}));

    struct Refusing : BitmapSink {
        bool begin(std::uint32_t, std::uint32_t) override { return false; }
        void row(std::uint32_t, const Rgb*) override { ADD_FAILURE() << "row after a refused begin"; }
    } refusing;
    EXPECT_EQ(decodeBmp(file, refusing).error, BitmapError::Refused);
}

// ---- channel widening ----

TEST(BitmapChannels, FiveAndSixBitChannelsWidenByBitReplication)
{
    // One pixel: red 28 (5 bits), green 0b101010 = 42 (6 bits), blue 1.
    Bytes file = write({1, 1, {0}}, {BmpLayout::Bitfields565});
    const std::uint32_t at = platform::testing::bmpPixelOffset(file);
    putLe16(file, at, std::uint16_t((28u << 11) | (42u << 5) | 1u));
    EXPECT_EQ(decodeAll(file), std::vector<Rgb>{makeRgb(231, (42 << 2) | (42 >> 4), 8)});

    Bytes file555 = write({1, 1, {0}}, {BmpLayout::Rgb555});
    putLe16(file555, platform::testing::bmpPixelOffset(file555), std::uint16_t((28u << 10) | (31u << 5)));
    EXPECT_EQ(decodeAll(file555), std::vector<Rgb>{makeRgb(231, 255, 0)});
}

TEST(BitmapChannels, WideMasksKeepTheirTopBitsAndZeroMasksReadZero)
{
    const Picture p{2, 1, {makeRgb(200, 17, 255), makeRgb(1, 128, 90)}};
    BmpWriteOptions o{BmpLayout::Bitfields32};
    o.masks[0] = 0x3ff00000u;   // 10 bits each: must not come out black
    o.masks[1] = 0x000ffc00u;
    o.masks[2] = 0x000003ffu;
    EXPECT_EQ(decodeAll(write(p, o)), p.pixels);

    o.masks[1] = 0;   // no green channel
    EXPECT_EQ(decodeAll(write(p, o)), (std::vector<Rgb>{makeRgb(200, 0, 255), makeRgb(1, 0, 90)}));
}

TEST(BitmapChannels, NonContiguousOrOverlappingMasksAreBadHeaders)
{
    const Picture p = testPicture(2, 2, 8);
    BmpWriteOptions o{BmpLayout::Bitfields32};
    o.masks[0] = 0x00ff00f0u;   // a hole
    DecodedBitmap out;
    EXPECT_EQ(load(write(p, o), out).error, BitmapError::BadHeader);
    o.masks[0] = 0x0000ff00u;   // same as green
    EXPECT_EQ(load(write(p, o), out).error, BitmapError::BadHeader);
    o.masks[0] = 0x00ff0000u;
    EXPECT_TRUE(load(write(p, o), out).ok());
}

// ---- palettes and RLE ----

TEST(BitmapPalette, IndexBeyondThePaletteIsBlack)
{
    const Picture p{4, 1, {makeRgb(255, 255, 255), makeRgb(255, 0, 0), makeRgb(255, 255, 255), makeRgb(255, 0, 0)}};
    Bytes file = write(p, {BmpLayout::Indexed8});   // two palette entries
    const std::uint32_t at = platform::testing::bmpPixelOffset(file);
    file[at + 2] = 2;
    file[at + 3] = 255;
    EXPECT_EQ(decodeAll(file), (std::vector<Rgb>{makeRgb(255, 255, 255), makeRgb(255, 0, 0), 0, 0}));
}

TEST(BitmapPalette, PaletteMustLieInsideTheFileAndFitTheDepth)
{
    const Picture p = testPicture(3, 2, 2);
    Bytes file = write(p, {BmpLayout::Indexed8});
    DecodedBitmap out;
    Bytes many = file;
    putLe32(many, 14 + 32, 257);   // more colours than 8 bits index
    EXPECT_EQ(load(many, out).error, BitmapError::BadHeader);
    Bytes beyond = file;
    putLe32(beyond, 14 + 32, 256);   // the table would run past the file
    EXPECT_NE(load(beyond, out).error, BitmapError::None);
}

// An RLE8 picture 4 x 3 with palette {red, green, blue}; rows in file order.
Bytes rleFile(const Bytes& stream)
{
    Bytes f = writeBmp(1, 1, {makeRgb(255, 0, 0)}, {BmpLayout::Rle8});
    putLe32(f, 18, 4);
    putLe32(f, 22, 3);
    putLe32(f, 14 + 32, 3);
    const std::uint32_t at = platform::testing::bmpPixelOffset(f);
    f.resize(at);
    const Rgb extra[2] = {makeRgb(0, 255, 0), makeRgb(0, 0, 255)};
    for (Rgb c : extra) {
        f.insert(f.end() - 0, {std::uint8_t(c >> 16), std::uint8_t(c >> 8), std::uint8_t(c), 0});
    }
    putLe32(f, 10, at + 8);
    f.insert(f.end(), stream.begin(), stream.end());
    putLe32(f, 14 + 20, std::uint32_t(stream.size()));
    putLe32(f, 2, std::uint32_t(f.size()));
    return f;
}

TEST(BitmapRle, SkippedPixelsTakePaletteEntryZero)
{
    const Rgb R = makeRgb(255, 0, 0), G = makeRgb(0, 255, 0), B = makeRgb(0, 0, 255);
    // Bottom row: one green, then a delta of (2, 1) to the middle row, x=3;
    // one blue; end of line; top row: end of bitmap at once.
    const Bytes f = rleFile({1, 1, 0, 2, 2, 1, 1, 2, 0, 0, 0, 1});
    EXPECT_EQ(decodeAll(f), (std::vector<Rgb>{R, R, R, R,  R, R, R, B,  G, R, R, R}));
}

TEST(BitmapRle, RunsPastTheRowEndAreClippedAndBadStreamsRefused)
{
    const Rgb R = makeRgb(255, 0, 0), G = makeRgb(0, 255, 0), B = makeRgb(0, 0, 255);
    // An encoded run of 9 and an absolute run of 5 on 4-pixel rows.
    EXPECT_EQ(decodeAll(rleFile({9, 1, 0, 0, 0, 5, 2, 1, 2, 1, 2, 0, 0, 1})),
              (std::vector<Rgb>{R, R, R, R,  B, G, B, G,  G, G, G, G}));
    DecodedBitmap out;
    EXPECT_EQ(load(rleFile({1, 1, 0, 0}), out).error, BitmapError::BadRle);            // no end of bitmap
    EXPECT_EQ(load(rleFile({0, 2, 5, 0, 0, 1}), out).error, BitmapError::BadRle);      // delta past the row
    EXPECT_EQ(load(rleFile({0, 2, 0, 4, 0, 1}), out).error, BitmapError::BadRle);      // delta below the picture
    EXPECT_EQ(load(rleFile({0, 0, 0, 0, 0, 0, 0, 0, 0, 1}), out).error, BitmapError::BadRle);   // 4 lines of 3
    EXPECT_EQ(load(rleFile({0, 5, 1, 1}), out).error, BitmapError::BadRle);            // absolute run cut off
    // A delta to the very end is fine: the rest is palette entry 0.
    EXPECT_TRUE(load(rleFile({0, 2, 0, 3, 0, 1}), out).ok());
}

// ---- damaged files ----

TEST(BitmapDamage, EveryTruncationOfASmallFileIsRefused)
{
    const Picture p = testPicture(5, 3, 8);
    for (BmpLayout layout : {BmpLayout::Indexed4, BmpLayout::Rle8, BmpLayout::Rle4, BmpLayout::Bitfields565,
                             BmpLayout::Rgb24}) {
        for (std::uint32_t header : {40u, 124u}) {
            const Bytes full = write(p, {layout, header});
            for (std::size_t cut = 0; cut < full.size(); ++cut) {
                // A heap copy of exactly `cut` bytes, so ASan sees any read past it.
                std::vector<std::uint8_t> part(full.begin(), full.begin() + std::ptrdiff_t(cut));
                part.shrink_to_fit();
                DecodedBitmap out;
                EXPECT_FALSE(load(part, out).ok()) << "layout " << int(layout) << " cut at " << cut;
                EXPECT_TRUE(out.pixels.empty());
            }
        }
    }
}

TEST(BitmapDamage, BadOffsetNonBitmapAndHugeDimensions)
{
    const Picture p = testPicture(4, 4, 8);
    const Bytes good = write(p, {});
    DecodedBitmap out;

    Bytes offset = good;
    putLe32(offset, 10, std::uint32_t(good.size()));
    EXPECT_EQ(load(offset, out).error, BitmapError::BadOffset);
    putLe32(offset, 10, 20);   // inside the header
    EXPECT_EQ(load(offset, out).error, BitmapError::BadOffset);

    Bytes notBmp = good;
    notBmp[0] = 'P';
    EXPECT_EQ(load(notBmp, out).error, BitmapError::NotBitmap);
    Bytes header = good;
    putLe32(header, 14, 64);
    EXPECT_EQ(load(header, out).error, BitmapError::NotBitmap);
    EXPECT_EQ(load(Bytes{}, out).error, BitmapError::NotBitmap);

    Bytes zero = good;
    putLe32(zero, 18, 0);
    EXPECT_EQ(load(zero, out).error, BitmapError::BadHeader);

    Bytes huge = good;   // 60 000 x 60 000 in a file of a few dozen bytes
    putLe32(huge, 18, 60000);
    putLe32(huge, 22, 60000);
    EXPECT_EQ(load(huge, out).error, BitmapError::TooLarge);
    BitmapLimits roomy;
    roomy.maxPixels = 1ull << 40;
    EXPECT_EQ(load(huge, out, roomy).error, BitmapError::Truncated);
    putLe32(huge, 22, 0x80000000u);   // the most negative height
    EXPECT_NE(load(huge, out, roomy).error, BitmapError::None);

    Bytes rleTopDown = write(p, {BmpLayout::Rle8});
    putLe32(rleTopDown, 22, std::uint32_t(-4));
    EXPECT_EQ(load(rleTopDown, out).error, BitmapError::BadHeader);
}

TEST(BitmapFiles, FileErrorsCarryTheOsReason)
{
    DecodedBitmap out;
    const BitmapStatus missing = loadBmpFile("/nonexistent-dir/none.bmp", out);
    EXPECT_EQ(missing.error, BitmapError::Open);
    EXPECT_TRUE(missing.os.isSet());

    const std::string path = ::testing::TempDir() + "bitmap_test.bmp";
    const Picture p = testPicture(6, 2, 8);
    const Bytes file = write(p, {});
    {
        std::ofstream os(path, std::ios::binary);
        os.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    ASSERT_TRUE(loadBmpFile(path, out).ok());
    EXPECT_EQ(out.pixels, p.pixels);
    BitmapLimits tight;
    tight.maxFileBytes = 16;
    EXPECT_EQ(loadBmpFile(path, out, tight).error, BitmapError::Open);
    std::remove(path.c_str());
}

// Informal: a receipt-printer-wide 24-bit picture, decoded row by row.
TEST(BitmapSpeed, Wide24BitPicture)
{
    const Picture p = testPicture(832, 2400, 8);
    const Bytes file = write(p, {});
    struct Sum : BitmapSink {
        std::uint64_t sum = 0;
        bool begin(std::uint32_t, std::uint32_t) override { return true; }
        void row(std::uint32_t, const Rgb* px) override { sum += px[0] + px[831]; }
    } sink;
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(decodeBmp(file, sink).ok());
    const auto ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    RecordProperty("decode_ms", std::to_string(ms));
    std::printf("832x2400 24-bit decode: %.2f ms\n", ms);
    EXPECT_NE(sink.sum, 0u);
}
