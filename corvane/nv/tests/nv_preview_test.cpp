// The preview picture: the box's scale rule, the stretch both ways, the
// lightening, on BMP files written for each case.
#include "corvane/nv/NvPreview.h"

#include "platform/testing/bmp_writer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace corvane::nv {
namespace {

namespace fs = std::filesystem;
using platform::makeRgb;
using platform::Rgb;
using platform::testing::BmpLayout;
using platform::testing::BmpWriteOptions;

constexpr Rgb kBlack = 0x000000;
constexpr Rgb kWhite = 0xFFFFFF;

class NvPreviewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path()
               / ("nv_preview_" + std::to_string(::getpid()) + "_"
                  + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string write(const std::string& name, std::uint32_t w, std::uint32_t h, const std::vector<Rgb>& pixels,
                      BmpWriteOptions options = {})
    {
        return writeBytes(name, platform::testing::writeBmp(w, h, pixels, options));
    }
    std::string writeBytes(const std::string& name, const std::vector<std::uint8_t>& bytes)
    {
        const fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return path.string();
    }

    fs::path dir_;
};

Rgb at(const PreviewPicture& picture, std::uint32_t x, std::uint32_t y)
{
    return picture.pixels().at(std::size_t(y) * picture.width() + x);
}

// Light noise, so that ANDs of neighbours differ from any single pixel.
std::vector<Rgb> noise(std::uint32_t w, std::uint32_t h, std::uint32_t seed)
{
    std::vector<Rgb> p(std::size_t(w) * h);
    std::uint32_t state = seed;
    for (Rgb& px : p) {
        state = state * 1664525u + 1013904223u;
        px = makeRgb(std::uint8_t(150 + (state >> 24) % 106), std::uint8_t(150 + (state >> 16) % 106),
                     std::uint8_t(150 + (state >> 8) % 106));
    }
    return p;
}

TEST(NvPreviewScale, BoxStandsFor384DotsAndHeightFollowsTheWidth)
{
    // Wider than the box: fill it.
    EXPECT_EQ(PreviewScale(1000, 500, 200).width, 200u);
    EXPECT_EQ(PreviewScale(1000, 500, 200).height, 100u);
    EXPECT_EQ(PreviewScale(200, 33, 200).width, 200u);   // W == box
    EXPECT_EQ(PreviewScale(200, 33, 200).height, 33u);
    // Narrower: its share of 384 dots. 192 * 200 / 384 = 100; 100 * 100 / 192 = 52.08.
    EXPECT_EQ(PreviewScale(192, 100, 200).width, 100u);
    EXPECT_EQ(PreviewScale(192, 100, 200).height, 52u);
    EXPECT_EQ(PreviewScale(199, 7, 200).width, 103u);    // 103.6 truncated
    EXPECT_EQ(PreviewScale(199, 7, 200).height, 3u);     // 7 * 103 / 199 = 3.6
    // A box wider than 384 enlarges: 384 dots fill a 768 box.
    EXPECT_EQ(PreviewScale(384, 10, 768).width, 768u);
    EXPECT_EQ(PreviewScale(384, 10, 768).height, 20u);
    EXPECT_EQ(PreviewScale(3, 2, 768).width, 6u);
    EXPECT_EQ(PreviewScale(3, 2, 768).height, 4u);
    // Degenerate sizes.
    EXPECT_EQ(PreviewScale(0, 50, 200).width, 0u);
    EXPECT_EQ(PreviewScale(0, 50, 200).height, 0u);
    EXPECT_EQ(PreviewScale(1, 50, 200).width, 0u);       // 200 / 384 truncates to 0
    EXPECT_EQ(PreviewScale(1, 50, 200).height, 0u);
    // H * p exceeds 32 bits: 1048576 * 3125 / 300.
    EXPECT_EQ(PreviewScale(300, 1u << 20, 4000).width, 3125u);
    EXPECT_EQ(PreviewScale(300, 1u << 20, 4000).height, 10922666u);
}

TEST_F(NvPreviewTest, ShrinkKeepsOnePixelLinesAndAndsLightPixels)
{
    // 400 x 40 white with a one-pixel black column at 201 and row at 17, into
    // a 100-pixel box: 4:1 both ways. Sampling would lose both lines.
    std::vector<Rgb> pixels(400 * 40, kWhite);
    for (std::uint32_t y = 0; y < 40; ++y)
        pixels[y * 400 + 201] = kBlack;
    for (std::uint32_t x = 0; x < 400; ++x)
        pixels[17 * 400 + x] = kBlack;
    PreviewPicture picture;
    std::string reason;
    ASSERT_TRUE(picture.Load(write("lines.bmp", 400, 40, pixels), 100, &reason)) << reason;
    ASSERT_EQ(picture.width(), 100u);
    ASSERT_EQ(picture.height(), 10u);
    EXPECT_EQ(picture.sourceWidth(), 400u);
    EXPECT_EQ(picture.sourceHeight(), 40u);
    // Column 201 lands on ceil(403 * 100 / 800) - 1 = 50, row 17 on ceil(35 * 10 / 80) - 1 = 4.
    for (std::uint32_t y = 0; y < 10; ++y)
        for (std::uint32_t x = 0; x < 100; ++x)
            ASSERT_EQ(at(picture, x, y), (x == 50 || y == 4) ? kBlack : kWhite) << x << "," << y;

    // Two light greys AND to a darker one than either: 226 & 240 = 224.
    std::vector<Rgb> pair{makeRgb(226, 226, 226), makeRgb(240, 240, 240), makeRgb(226, 226, 226),
                          makeRgb(240, 240, 240)};
    ASSERT_TRUE(picture.Load(write("pair.bmp", 2, 2, pair), 1, &reason)) << reason;
    ASSERT_EQ(picture.width(), 1u);
    ASSERT_EQ(picture.height(), 1u);
    EXPECT_EQ(at(picture, 0, 0), makeRgb(224, 224, 224));
}

TEST_F(NvPreviewTest, EnlargementRepeatsPixels)
{
    // 3 x 3 in a 512 box: 3 * 512 / 384 = 4 wide, 4 high; destination x
    // takes source floor(x * 3 / 4) = 0, 0, 1, 2.
    std::vector<Rgb> pixels;
    for (std::uint32_t i = 0; i < 9; ++i)
        pixels.push_back(makeRgb(std::uint8_t(10 * i), std::uint8_t(255 - 10 * i), std::uint8_t(i)));
    PreviewPicture picture;
    std::string reason;
    ASSERT_TRUE(picture.Load(write("small.bmp", 3, 3, pixels), 512, &reason)) << reason;
    ASSERT_EQ(picture.width(), 4u);
    ASSERT_EQ(picture.height(), 4u);
    const std::uint32_t from[4] = {0, 0, 1, 2};
    for (std::uint32_t y = 0; y < 4; ++y)
        for (std::uint32_t x = 0; x < 4; ++x)
            EXPECT_EQ(at(picture, x, y), pixels[from[y] * 3 + from[x]]) << x << "," << y;

    // Whole doubling: each pixel becomes a 2 x 2 block.
    ASSERT_TRUE(picture.Load(write("double.bmp", 3, 3, pixels), 768, &reason)) << reason;
    ASSERT_EQ(picture.width(), 6u);
    ASSERT_EQ(picture.height(), 6u);
    for (std::uint32_t y = 0; y < 6; ++y)
        for (std::uint32_t x = 0; x < 6; ++x)
            EXPECT_EQ(at(picture, x, y), pixels[(y / 2) * 3 + x / 2]) << x << "," << y;
}

TEST_F(NvPreviewTest, LighteningAddsSliderTimes255Over100PerChannel)
{
    const std::vector<Rgb> pixels{makeRgb(0, 100, 128), makeRgb(127, 128, 255), kBlack, kWhite};
    PreviewPicture picture;
    std::string reason;
    ASSERT_TRUE(picture.Load(write("colours.bmp", 2, 2, pixels), 2, &reason)) << reason;
    ASSERT_EQ(picture.pixels(), pixels);

    EXPECT_EQ(picture.Lightened(0), pixels);
    // +127.5, truncated after the addition: 0 -> 127, 100 -> 227, 127 -> 254, 128 -> 255.
    const std::vector<Rgb> half{makeRgb(127, 227, 255), makeRgb(254, 255, 255), makeRgb(127, 127, 127), kWhite};
    EXPECT_EQ(picture.Lightened(50), half);
    // +2.55: 0 -> 2, 100 -> 102, 128 -> 130.
    EXPECT_EQ(picture.Lightened(1)[0], makeRgb(2, 102, 130));
    EXPECT_EQ(picture.Lightened(100), std::vector<Rgb>(4, kWhite));
    // Outside the slider's range: clamped, never below the picture or past white.
    EXPECT_EQ(picture.Lightened(-40), pixels);
    EXPECT_EQ(picture.Lightened(999), std::vector<Rgb>(4, kWhite));
    // The stretched picture itself is untouched by lightening.
    EXPECT_EQ(picture.pixels(), pixels);
}

TEST_F(NvPreviewTest, FileLayoutsAndRowOrderGiveTheSamePicture)
{
    // 37 x 23 into a 16 box (odd ratios both ways); and 5 x 4 enlarged into
    // a 600 box (7 x 5). Each layout and row order must agree with the
    // plain bottom-up 24-bit file, and the shrink with the AND of its
    // source pixels computed the slow way.
    struct Case { std::uint32_t w, h, box; } cases[] = {{37, 23, 16}, {5, 4, 600}};
    for (const Case& c : cases) {
        const std::vector<Rgb> pixels = noise(c.w, c.h, c.w * 7 + c.h);
        PreviewPicture reference;
        std::string reason;
        ASSERT_TRUE(reference.Load(write("ref.bmp", c.w, c.h, pixels), c.box, &reason)) << reason;
        const PreviewSize size = PreviewScale(c.w, c.h, c.box);
        ASSERT_EQ(reference.width(), size.width);
        ASSERT_EQ(reference.height(), size.height);
        ASSERT_GT(size.height, 0u);

        if (size.width < c.w) {
            std::vector<Rgb> slow(std::size_t(size.width) * size.height, 0xFFFFFFFFu);
            for (std::uint32_t sy = 0; sy < c.h; ++sy)
                for (std::uint32_t sx = 0; sx < c.w; ++sx) {
                    // The destination whose span holds the source pixel's centre
                    // (rounding a centre on a boundary down).
                    std::uint32_t dx = 0, dy = 0;
                    while ((dx + 1) * 2 * c.w < (2 * sx + 1) * size.width)
                        ++dx;
                    while ((dy + 1) * 2 * c.h < (2 * sy + 1) * size.height)
                        ++dy;
                    slow[dy * size.width + dx] &= pixels[sy * c.w + sx];
                }
            EXPECT_EQ(reference.pixels(), slow);
        }

        BmpWriteOptions topDown;
        topDown.topDown = true;
        BmpWriteOptions rgb32;
        rgb32.layout = BmpLayout::Rgb32;
        rgb32.topDown = true;
        for (const BmpWriteOptions& options : {topDown, rgb32}) {
            PreviewPicture other;
            ASSERT_TRUE(other.Load(write("other.bmp", c.w, c.h, pixels, options), c.box, &reason)) << reason;
            EXPECT_EQ(other.pixels(), reference.pixels()) << c.w << "x" << c.h << " top-down: " << options.topDown;
        }
    }

    // An RLE file (bottom-up by nature) of few colours against its top-down twin.
    std::vector<Rgb> stripes(60 * 30);
    for (std::uint32_t y = 0; y < 30; ++y)
        for (std::uint32_t x = 0; x < 60; ++x)
            stripes[y * 60 + x] = (x / 3 + y) % 4 == 0 ? kBlack : makeRgb(230, std::uint8_t(200 + y), 240);
    BmpWriteOptions rle;
    rle.layout = BmpLayout::Rle8;
    BmpWriteOptions topDown;
    topDown.topDown = true;
    PreviewPicture a, b;
    std::string reason;
    ASSERT_TRUE(a.Load(write("rle.bmp", 60, 30, stripes, rle), 25, &reason)) << reason;
    ASSERT_TRUE(b.Load(write("td.bmp", 60, 30, stripes, topDown), 25, &reason)) << reason;
    EXPECT_EQ(a.width(), 25u);
    EXPECT_EQ(a.height(), 12u);
    EXPECT_EQ(a.pixels(), b.pixels());
}

TEST_F(NvPreviewTest, UnloadableOrOversizedFilesFailWithAReasonAndLeaveNoPicture)
{
    PreviewPicture picture;
    std::string reason;
    ASSERT_TRUE(picture.Load(write("ok.bmp", 4, 4, std::vector<Rgb>(16, kBlack)), 4, &reason));
    ASSERT_EQ(picture.width(), 4u);

    EXPECT_FALSE(picture.Load((dir_ / "missing.bmp").string(), 200, &reason));
    EXPECT_NE(reason.find("missing.bmp"), std::string::npos) << reason;
    EXPECT_EQ(picture.width(), 0u);
    EXPECT_TRUE(picture.pixels().empty());

    reason.clear();
    EXPECT_FALSE(picture.Load(writeBytes("text.bmp", {'h', 'e', 'l', 'l', 'o'}), 200, &reason));
    EXPECT_FALSE(reason.empty());

    // Cut off inside the pixel data.
    std::vector<std::uint8_t> cut = platform::testing::writeBmp(40, 40, std::vector<Rgb>(1600, kBlack), {});
    cut.resize(cut.size() / 2);
    reason.clear();
    EXPECT_FALSE(picture.Load(writeBytes("cut.bmp", cut), 200, &reason));
    EXPECT_FALSE(reason.empty());

    // A stretch beyond the limit is refused before it is allocated: 384 dots
    // in a 5000 box would be 5000 wide; 1 x 5000 in a 384 box, 5000 high.
    reason.clear();
    EXPECT_FALSE(picture.Load(write("wide.bmp", 384, 1, std::vector<Rgb>(384, kWhite)), 5000, &reason));
    EXPECT_NE(reason.find("4096"), std::string::npos) << reason;
    EXPECT_FALSE(picture.Load(write("tall.bmp", 384, 5000, std::vector<Rgb>(384 * 5000, kWhite)), 384, &reason));
    EXPECT_NE(reason.find("4096"), std::string::npos) << reason;
    EXPECT_EQ(picture.width(), 0u);

    // Scaling to nothing is no failure: an empty picture.
    EXPECT_TRUE(picture.Load(write("thin.bmp", 2000, 3, std::vector<Rgb>(6000, kBlack)), 384, &reason));
    EXPECT_EQ(picture.width(), 384u);
    EXPECT_EQ(picture.height(), 0u);
    EXPECT_TRUE(picture.Lightened(50).empty());
}

} // namespace
} // namespace corvane::nv
