// The conversion from decoded rows to the printer's raster.
#include "corvane/nv/NvConvert.h"

#include <gtest/gtest.h>

#include <vector>

namespace corvane::nv {
namespace {

using platform::makeRgb;
using platform::Rgb;

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kWhite = 0xFFFFFF;

struct Picture {
    std::uint32_t width, height;
    std::vector<Rgb> pixels;   // top row first
    Rgb at(std::uint32_t x, std::uint32_t y) const { return pixels[std::size_t(y) * width + x]; }
};

Picture filled(std::uint32_t w, std::uint32_t h, Rgb colour) { return {w, h, std::vector<Rgb>(std::size_t(w) * h, colour)}; }

// Feeds the picture as a decoder would: top-down or bottom-up.
Raster convert(const Picture& picture, std::uint32_t limit, int brightness, bool bottomUp = false,
               std::uint64_t maxRaster = 0, bool* refused = nullptr)
{
    RasterBuilder builder(limit, brightness, maxRaster);
    const bool ok = builder.begin(picture.width, picture.height);
    if (refused)
        *refused = !ok;
    if (!ok)
        return {};
    for (std::uint32_t i = 0; i < picture.height; ++i) {
        const std::uint32_t y = bottomUp ? picture.height - 1 - i : i;
        builder.row(y, picture.pixels.data() + std::size_t(y) * picture.width);
    }
    return builder.finish();
}

bool dot(const Raster& raster, std::uint32_t x, std::uint32_t y)
{
    const std::size_t rowBytes = (raster.width + 7) / 8;
    return (raster.bytes[y * rowBytes + x / 8] >> (7 - x % 8)) & 1;
}

// The shrink written the slow way: for each destination dot, AND every
// source pixel whose own mapping lands on it.
Picture bruteForceShrink(const Picture& source, std::uint32_t w, std::uint32_t h)
{
    Picture out = filled(w, h, 0xFFFFFFFFu);
    for (std::uint32_t sy = 0; sy < source.height; ++sy)
        for (std::uint32_t sx = 0; sx < source.width; ++sx) {
            // ceil((2s+1)w / 2W) - 1, in real numbers.
            std::uint32_t dx = 0, dy = 0;
            while ((dx + 1) * 2 * source.width < (2 * sx + 1) * w)
                ++dx;
            while ((dy + 1) * 2ull * source.height < (2ull * sy + 1) * h)
                ++dy;
            out.pixels[dy * w + dx] &= source.at(sx, sy);
        }
    return out;
}

Picture noise(std::uint32_t w, std::uint32_t h, std::uint32_t seed)
{
    Picture p = filled(w, h, 0);
    std::uint32_t state = seed;
    for (Rgb& px : p.pixels) {
        state = state * 1664525u + 1013904223u;
        // Mostly light, so the AND of a few pixels crosses the threshold both ways.
        px = makeRgb(std::uint8_t(200 + (state >> 24) % 56), std::uint8_t(200 + (state >> 16) % 56),
                     std::uint8_t(200 + (state >> 8) % 56));
    }
    return p;
}

TEST(NvShrink, MappingMatchesBruteForceForIdentityIntegerAndOddRatios)
{
    struct Case { std::uint32_t W, H, limit; } cases[] = {{40, 7, 384}, {80, 30, 40}, {23, 17, 10}, {1000, 13, 384}};
    for (const Case& c : cases) {
        const Picture source = noise(c.W, c.H, c.W * 31 + c.H);
        const ScaledSize size = ScaleToWidth(c.W, c.H, c.limit);
        const Picture expected = bruteForceShrink(source, size.width, std::uint32_t(size.height));
        for (bool bottomUp : {false, true}) {
            const Raster raster = convert(source, c.limit, 0, bottomUp);
            ASSERT_EQ(raster.width, size.width);
            ASSERT_EQ(raster.height, size.height);
            for (std::uint32_t y = 0; y < raster.height; ++y)
                for (std::uint32_t x = 0; x < raster.width; ++x)
                    ASSERT_EQ(dot(raster, x, y), IsDark(expected.at(x, y)))
                        << c.W << "x" << c.H << " dot " << x << "," << y << (bottomUp ? " bottom-up" : "");
        }
    }
    // Every source index maps inside the destination, and identity is identity.
    for (std::uint32_t s = 0; s < 40; ++s)
        EXPECT_EQ(ShrinkTarget(s, 40, 40), s);
    EXPECT_EQ(ShrinkTarget(0, 80, 40), 0u);
    EXPECT_EQ(ShrinkTarget(1, 80, 40), 0u);
    EXPECT_EQ(ShrinkTarget(2, 80, 40), 1u);
    EXPECT_EQ(ShrinkTarget(22, 23, 10), 9u);
}

TEST(NvShrink, ThinBlackLineSurvivesAndLightPixelsCanAndToDark)
{
    Picture p = filled(1000, 50, kWhite);
    for (std::uint32_t y = 0; y < 50; ++y)
        p.pixels[y * 1000 + 517] = kBlack;
    const Raster line = convert(p, 384, 0);
    int dark = 0;
    for (std::uint32_t x = 0; x < line.width; ++x)
        dark += dot(line, x, 5);
    EXPECT_EQ(dark, 1);

    // 226 and 240 are both white alone; ANDed into one dot they make 224.
    Picture pair = filled(2, 1, makeRgb(226, 226, 226));
    pair.pixels[1] = makeRgb(240, 240, 240);
    const Raster shrunk = convert(pair, 1, 0);
    ASSERT_EQ(shrunk.width, 1u);
    ASSERT_EQ(shrunk.height, 0u);   // floor(1 * 1 / 2)
    Picture tall = filled(2, 2, makeRgb(226, 226, 226));
    tall.pixels[1] = tall.pixels[3] = makeRgb(240, 240, 240);
    const Raster one = convert(tall, 1, 0);
    ASSERT_EQ(one.height, 1u);
    EXPECT_TRUE(dot(one, 0, 0));
}

TEST(NvThreshold, WhiteOnlyWhenEveryChannelIsAbove225)
{
    EXPECT_FALSE(IsDark(makeRgb(255, 255, 255)));
    EXPECT_FALSE(IsDark(makeRgb(226, 226, 226)));
    EXPECT_TRUE(IsDark(makeRgb(226, 226, 225)));
    EXPECT_TRUE(IsDark(makeRgb(225, 255, 255)));
    EXPECT_TRUE(IsDark(makeRgb(255, 225, 255)));
}

TEST(NvBrightness, MaskCountsMatchTheTableAndBlackPrintsAccordingly)
{
    const std::pair<int, int> forced[] = {{0, 0}, {-5, 0}, {1, 0}, {6, 0}, {7, 1}, {25, 3}, {50, 7}, {51, 8}, {75, 11}, {100, 15}};
    for (auto [b, count] : forced)
        EXPECT_EQ(__builtin_popcount(BrightnessMask(b)), count) << "brightness " << b;

    const Picture black = filled(8, 8, kBlack);
    const Raster full = convert(black, 384, 0);
    for (std::uint8_t byte : full.bytes)
        EXPECT_EQ(byte, 0xFF);
    const Raster lightest = convert(black, 384, 100);
    for (std::uint32_t y = 0; y < 8; ++y)
        for (std::uint32_t x = 0; x < 8; ++x)
            EXPECT_EQ(dot(lightest, x, y), x % 4 == 0 && y % 4 == 0) << x << "," << y;
    // Brightness 7 whitens only the threshold-1 position: x mod 4 = 3, y mod 4 = 1.
    const Raster seven = convert(black, 384, 7);
    for (std::uint32_t y = 0; y < 8; ++y)
        for (std::uint32_t x = 0; x < 8; ++x)
            EXPECT_EQ(dot(seven, x, y), !(x % 4 == 3 && y % 4 == 1)) << x << "," << y;
}

TEST(NvRaster, SizesWidthsAndPacking)
{
    // 384 x 100 at 384 dots: 48 bytes a row.
    const Raster wide = convert(filled(384, 100, kBlack), 384, 0);
    EXPECT_EQ(wide.width, 384u);
    EXPECT_EQ(wide.height, 100u);
    EXPECT_EQ(wide.bytes.size(), 4800u);

    // 1000 x 500 shrinks to 384 x 192.
    const ScaledSize big = ScaleToWidth(1000, 500, WidthLimit(400, WidthUse::KeyCode));
    EXPECT_EQ(big.width, 384u);
    EXPECT_EQ(big.height, 192u);

    // 10 dots: two bytes a row; dots 8 and 9 are bits 7 and 6 of the second byte.
    Picture ten = filled(10, 1, kWhite);
    ten.pixels[8] = kBlack;
    ten.pixels[9] = kBlack;
    ten.pixels[0] = kBlack;
    const Raster packed = convert(ten, 384, 0);
    EXPECT_EQ(packed.width, 10u);
    ASSERT_EQ(packed.bytes.size(), 2u);
    EXPECT_EQ(packed.bytes[0], 0x80);
    EXPECT_EQ(packed.bytes[1], 0xC0);

    // 2000 x 3: height 0, no raster.
    const Raster flat = convert(filled(2000, 3, kBlack), 384, 0);
    EXPECT_EQ(flat.width, 384u);
    EXPECT_EQ(flat.height, 0u);
    EXPECT_TRUE(flat.bytes.empty());

    // Widths per model and use.
    EXPECT_EQ(WidthLimit(800, WidthUse::KeyCode), 832u);
    EXPECT_EQ(WidthLimit(800, WidthUse::Indexed), 384u);
    EXPECT_EQ(WidthLimit(800, WidthUse::Estimate), 576u);
    EXPECT_EQ(WidthLimit(600, WidthUse::KeyCode), 832u);
    EXPECT_EQ(WidthLimit(440, WidthUse::KeyCode), 384u);
    EXPECT_EQ(WidthLimit(440, WidthUse::Estimate), 384u);
}

TEST(NvRaster, RefusesWhatTheHeadersCannotCarry)
{
    // The 16-bit height field: 8 x 70000 stays 70000 rows high.
    bool refused = false;
    RasterBuilder tall(384, 0);
    EXPECT_FALSE(tall.begin(8, 70000));
    EXPECT_NE(tall.refusal().find("65535"), std::string::npos);

    // The key-code length field: 384 x 1365 fits, 384 x 1366 does not.
    convert(filled(384, 1365, kWhite), 384, 0, false, 65524, &refused);
    EXPECT_FALSE(refused);
    convert(filled(384, 1366, kWhite), 384, 0, false, 65524, &refused);
    EXPECT_TRUE(refused);
    // 832 x 630 fits, 832 x 631 does not.
    RasterBuilder fits(832, 0, 65524), over(832, 0, 65524);
    EXPECT_TRUE(fits.begin(832, 630));
    EXPECT_FALSE(over.begin(832, 631));
    EXPECT_NE(over.refusal().find("65624"), std::string::npos);
}

TEST(NvPreview, LightenClampsEachChannel)
{
    EXPECT_EQ(Lighten(makeRgb(10, 100, 250), 127.5), makeRgb(137, 227, 255));
    EXPECT_EQ(Lighten(makeRgb(0, 0, 0), 0.0), makeRgb(0, 0, 0));
}

} // namespace
} // namespace corvane::nv
