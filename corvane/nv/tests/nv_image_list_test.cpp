// The manager window's image list in the registry: parsing the stored
// texts, restoring (dense values, unloadable files, capacity) and saving in
// one replace.
#include "corvane/nv/NvImageList.h"
#include "platform/registry_store.h"
#include "platform/testing/bmp_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(StoredImageText, BrightnessComesFromAfterTheLastCommaOnlyWhenOneToThreeDigitsFollow)
{
    struct Case {
        const char* text;
        const char* path;
        int brightness;
    };
    const Case cases[] = {
        {"/home/a/logo.bmp,050", "/home/a/logo.bmp", 50},
        {"/home/a,b/logo.bmp,050", "/home/a,b/logo.bmp", 50},   // a comma in the path survives
        {"/home/a,b/logo.bmp", "/home/a,b/logo.bmp", 0},        // no digits after the last comma
        {"/x/logo.bmp", "/x/logo.bmp", 0},
        {"/x/logo.bmp,7", "/x/logo.bmp", 7},
        {"/x/logo.bmp,1000", "/x/logo.bmp,1000", 0},            // four digits are part of the name
        {"/x/logo.bmp,", "/x/logo.bmp,", 0},
        {"/x/logo.bmp,-5", "/x/logo.bmp,-5", 0},
        {"/x/logo.bmp,999", "/x/logo.bmp", 100},                // clamped: above 100 all dots turn white
        {"/x/logo.bmp,100", "/x/logo.bmp", 100},
    };
    for (const Case& c : cases) {
        const StoredImage s = ParseStoredImage(c.text);
        EXPECT_EQ(s.path, c.path) << c.text;
        EXPECT_EQ(s.brightness, c.brightness) << c.text;
    }
}

TEST(StoredImageText, FormatIsPathCommaThreeDigits)
{
    NvImage image;
    image.path = "/home/a,b/L\xC3\xB6go.bmp";
    image.brightness = 5;
    EXPECT_EQ(FormatStoredImage(image), "/home/a,b/L\xC3\xB6go.bmp,005");
    image.brightness = 100;
    EXPECT_EQ(ParseStoredImage(FormatStoredImage(image)).brightness, 100);
    EXPECT_EQ(ParseStoredImage(FormatStoredImage(image)).path, image.path);
    EXPECT_EQ(StoredImageValueName(1), "image001");
    EXPECT_EQ(StoredImageValueName(254), "image254");
}

class StoredImageListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path()
               / ("nv-image-list-" + std::to_string(::getpid()) + "-"
                  + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        store_ = std::make_unique<platform::RegistryStore>((dir_ / "registry.reg").string());
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A w x h black bitmap in the test folder; its estimate is ceil(w/8) * h.
    std::string bitmap(const std::string& name, std::uint32_t w, std::uint32_t h)
    {
        const fs::path path = dir_ / name;
        fs::create_directories(path.parent_path());
        const std::vector<platform::Rgb> pixels(std::size_t(w) * h, 0);
        const auto bytes = platform::testing::writeBmp(w, h, pixels, {});
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                    std::streamsize(bytes.size()));
        return path.string();
    }

    void store(std::size_t number, const std::string& text)
    {
        ASSERT_TRUE(store_->writeString(kNvRegistryKey, StoredImageValueName(number), text));
    }

    fs::path dir_;
    std::unique_ptr<platform::RegistryStore> store_;
    CCommonUtil util_;
    CCommonNv nv_{util_};
};

TEST_F(StoredImageListTest, RestoreStopsAtTheFirstGapAndSkipsUnloadableFiles)
{
    const std::string a = bitmap("a.bmp", 16, 2);
    const std::string c = bitmap("c.bmp", 8, 1);
    store(1, a + ",020");
    store(2, (dir_ / "gone.bmp").string() + ",010");
    store(3, c);
    store(5, a + ",030");   // after the gap at image004: never read
    nv_.AddImage(NvImage{1, 1, "old", "/old", 0, 1, 1});

    const RestoreOutcome outcome = RestoreImageList(nv_, *store_);
    EXPECT_EQ(outcome.restored, 2);
    EXPECT_EQ(outcome.unloadable, 1);
    EXPECT_EQ(outcome.overCapacity, 0);
    ASSERT_EQ(nv_.images.size(), 2u);   // the old list is replaced
    EXPECT_EQ(nv_.images.front().path, a);
    EXPECT_EQ(nv_.images.front().brightness, 20);
    EXPECT_EQ(nv_.images.front().size, 4);
    EXPECT_EQ(nv_.images.back().path, c);
    EXPECT_EQ(nv_.images.back().number, 2);   // numbered densely past the skipped file
    EXPECT_EQ(nv_.images.back().brightness, 0);
}

TEST_F(StoredImageListTest, RestoreDropsWhatWouldOverflowTheCapacityAndGoesOn)
{
    // 256 x 4096 estimates 131072 bytes: two fill the memory exactly.
    const std::string big = bitmap("big.bmp", 256, 4096);
    const std::string small = bitmap("small.bmp", 8, 1);
    store(1, big);
    store(2, big);
    store(3, small);   // over by one byte
    store(4, big);
    const RestoreOutcome outcome = RestoreImageList(nv_, *store_);
    EXPECT_EQ(outcome.restored, 2);
    EXPECT_EQ(outcome.overCapacity, 2);
    EXPECT_EQ(nv_.TotalImageSize(), kNvCapacityBytes);
}

TEST_F(StoredImageListTest, SaveReplacesTheWholeListInOneWriteAndRoundTripsCommasAndUtf8)
{
    // A longer list saved before: its tail must not survive a shorter one.
    for (std::size_t i = 1; i <= 4; ++i)
        store(i, "/stale/" + std::to_string(i) + ".bmp,000");

    const std::string odd = bitmap("a,b/L\xC3\xB6go,1.bmp", 8, 1);
    const std::string plain = bitmap("plain.bmp", 8, 1);
    int error = 0;
    auto first = nv_.LoadImageItem(1, odd, 55, error);
    auto second = nv_.LoadImageItem(2, plain, 100, error);
    ASSERT_TRUE(first && second);
    nv_.AddImage(*first);
    nv_.AddImage(*second);
    nv_.storedCount = 7;

    static std::atomic<int> replaces{0};
    replaces = 0;
    platform::RegistryStore::setBeforeReplaceHook([](const std::string&) { ++replaces; });
    const bool saved = SaveImageList(*store_, nv_);
    platform::RegistryStore::setBeforeReplaceHook(nullptr);
    ASSERT_TRUE(saved);
    EXPECT_EQ(replaces.load(), 1);

    EXPECT_EQ(ReadStoredImageTexts(*store_), (std::vector<std::string>{odd + ",055", plain + ",100"}));
    std::string gone;
    EXPECT_FALSE(store_->readString(kNvRegistryKey, "image003", gone));
    EXPECT_FALSE(store_->readString(kNvRegistryKey, "image004", gone));
    EXPECT_EQ(nv_.ReadStoredCount(*store_, kNvRegistryKey), 7u);

    // Read back by a fresh store from the file: the same list.
    platform::RegistryStore again(store_->path());
    CCommonNv restored(util_);
    EXPECT_EQ(RestoreImageList(restored, again).restored, 2);
    ASSERT_EQ(restored.images.size(), 2u);
    EXPECT_EQ(restored.images.front().path, odd);
    EXPECT_EQ(restored.images.front().brightness, 55);
    EXPECT_EQ(restored.images.back().brightness, 100);
}

TEST_F(StoredImageListTest, AFailedSaveKeepsTheOldListAndTellsWhy)
{
    store(1, "/kept.bmp,010");
    store(2, "/kept2.bmp,020");
    // The new contents vanish before they replace the file: the replace fails.
    platform::RegistryStore::setBeforeReplaceHook([](const std::string& temporary) { fs::remove(temporary); });
    const bool saved = SaveImageList(*store_, nv_);
    platform::RegistryStore::setBeforeReplaceHook(nullptr);
    EXPECT_FALSE(saved);
    EXPECT_TRUE(store_->lastError().isSet());
    EXPECT_EQ(ReadStoredImageTexts(*store_), (std::vector<std::string>{"/kept.bmp,010", "/kept2.bmp,020"}));
}

} // namespace
} // namespace corvane
