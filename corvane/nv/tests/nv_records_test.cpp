// The image list, the command list built from files, the command file and
// the stored count.
#include "corvane/nv/CCommonNv.h"
#include "corvane/nv/NvCommands.h"
#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace corvane {
namespace {

namespace fs = std::filesystem;

TEST(NvFamily, IndexedOnlyFrom21000Below101000)
{
    EXPECT_FALSE(IsIndexedFamily(20999));
    EXPECT_TRUE(IsIndexedFamily(21000));
    EXPECT_TRUE(IsIndexedFamily(100999));
    EXPECT_FALSE(IsIndexedFamily(101000));
    EXPECT_FALSE(IsIndexedFamily(1040));
}

NvImage image(std::uint8_t number, std::int32_t size, std::string name = "a.bmp")
{
    return NvImage{number, size, name, "/tmp/" + name, 0};
}

TEST(NvImageList, CapacityIsExactAndRefusalLeavesTheListAlone)
{
    CCommonUtil util;
    CCommonNv nv(util);
    ASSERT_EQ(nv.AddImage(image(1, 262144 - 100)), kOk);
    EXPECT_EQ(nv.AddImage(image(2, 101)), kNvCapacity);
    EXPECT_EQ(nv.images.size(), 1u);
    EXPECT_EQ(nv.AddImage(image(2, 100)), kOk);
    EXPECT_EQ(nv.TotalImageSize(), 262144u);
    // A negative size reads as a huge unsigned one, as the capacity rule compares.
    EXPECT_EQ(nv.AddImage(image(3, -1)), kNvCapacity);
    EXPECT_EQ(nv.AddImage(image(3, 0)), kOk);
}

TEST(NvImageList, NumbersStayDenseAndTheListStopsAt254)
{
    CCommonUtil util;
    CCommonNv nv(util);
    for (std::uint8_t n = 1; n <= 5; ++n)
        ASSERT_EQ(nv.AddImage(image(n, 10, "i" + std::to_string(n))), kOk);
    nv.RemoveImage(2);
    nv.RemoveImage(9);   // no such number: only renumbers
    std::vector<std::string> names;
    std::uint8_t expected = 1;
    for (const NvImage& i : nv.images) {
        EXPECT_EQ(i.number, expected++);
        names.push_back(i.name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{"i1", "i3", "i4", "i5"}));
    nv.ClearImages();
    EXPECT_TRUE(nv.images.empty());

    for (std::size_t n = 1; n <= kNvMaxImages; ++n)
        ASSERT_EQ(nv.AddImage(image(std::uint8_t(n), 1)), kOk);
    EXPECT_EQ(nv.AddImage(image(255, 1)), kNvTooMany);
    EXPECT_EQ(nv.images.size(), kNvMaxImages);
}

class NvFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir_ = fs::temp_directory_path() / ("nv_records_" + std::to_string(::getpid()) + "_"
                                            + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A 24-bit bottom-up bitmap, black where `dark(x, y)`.
    template <class Dark>
    std::string bmp(const std::string& name, std::uint32_t w, std::uint32_t h, Dark dark)
    {
        const std::uint32_t stride = (w * 3 + 3) & ~3u;
        std::string file(54 + std::size_t(stride) * h, '\0');
        auto put32 = [&](std::size_t at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                file[at + i] = char((v >> (8 * i)) & 0xFF);
        };
        file[0] = 'B';
        file[1] = 'M';
        put32(2, std::uint32_t(file.size()));
        put32(10, 54);
        put32(14, 40);
        put32(18, w);
        put32(22, h);
        file[26] = 1;
        file[28] = 24;
        for (std::uint32_t y = 0; y < h; ++y)
            for (std::uint32_t x = 0; x < w; ++x) {
                const char v = dark(x, y) ? char(0) : char(0xFF);
                const std::size_t at = 54 + std::size_t(h - 1 - y) * stride + x * 3;
                file[at] = file[at + 1] = file[at + 2] = v;
            }
        const std::string path = (dir_ / name).string();
        std::ofstream(path, std::ios::binary) << file;
        return path;
    }

    std::string read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    static NvImage loaded(CCommonNv& nv, std::uint8_t number, const std::string& path)
    {
        int error = 0;
        auto item = nv.LoadImageItem(number, path, 0, error);
        if (!item) {
            ADD_FAILURE() << path << " did not load";
            return NvImage{number, 0, "", path, 0};
        }
        return *item;
    }

    fs::path dir_;
};

TEST_F(NvFiles, LoadImageItemEstimatesFromTheSourceHeight)
{
    CCommonUtil util;
    util.g_Model = kModelZ400;
    CCommonNv nv(util);
    const std::string path = bmp("big.bmp", 1000, 500, [](auto, auto) { return false; });
    int error = 0;
    auto item = nv.LoadImageItem(3, path, 40, error);
    ASSERT_TRUE(item) << error;
    EXPECT_EQ(item->size, 24000);   // 48 bytes x 500 source rows
    EXPECT_EQ(item->name, "big.bmp");
    EXPECT_EQ(item->number, 3);
    EXPECT_EQ(item->brightness, 40);
    util.g_Model = kModelZ800;
    auto wide = nv.LoadImageItem(1, path, 0, error);
    ASSERT_TRUE(wide);
    EXPECT_EQ(wide->size, 72 * 500);

    std::string reason;
    EXPECT_FALSE(nv.LoadImageItem(1, (dir_ / "missing.bmp").string(), 0, error, &reason));
    EXPECT_EQ(error, kNvLoadFailed);
    EXPECT_FALSE(reason.empty());
    std::ofstream(dir_ / "text.bmp") << "not a bitmap";
    EXPECT_FALSE(nv.LoadImageItem(1, (dir_ / "text.bmp").string(), 0, error));
}

TEST_F(NvFiles, KeyCodeBuildAndCommandFileHoldTheDefineCommands)
{
    CCommonUtil util;
    util.g_Model = kModelZ400;
    util.g_Getver = 1040;
    CCommonNv nv(util);
    const std::string a = bmp("a.bmp", 384, 100, [](auto x, auto) { return x < 8; });
    const std::string b = bmp("b.bmp", 10, 2, [](auto x, auto y) { return x == 9 && y == 1; });
    ASSERT_EQ(nv.AddImage(loaded(nv, 1, a)), kOk);
    ASSERT_EQ(nv.AddImage(loaded(nv, 2, b)), kOk);
    ASSERT_EQ(nv.BuildCommands({"10", "11"}), kOk);
    ASSERT_EQ(nv.commands.size(), 2u);
    EXPECT_EQ(nv.commands[0].length(), 4816);
    EXPECT_EQ(nv.commands[0].data[3], 0xCB);
    EXPECT_EQ(nv.commands[0].data[4], 0x12);
    EXPECT_EQ(nv.commands[0].data[16], 0xFF);   // the first 8 dots are black
    EXPECT_EQ(nv.commands[0].data[17], 0x00);
    const std::vector<std::uint8_t> second{0x1D, 0x28, 0x4C, 15, 0, 0x30, 0x43, 0x30, '1', '1', 1, 10, 0, 2, 0, 0x31,
                                           0x00, 0x00, 0x00, 0x40};
    EXPECT_EQ(nv.commands[1].data, second);
    EXPECT_EQ(nv.commands[1].name, "b.bmp");
    EXPECT_FALSE(nv.commandsTarget.indexed);

    const std::string prn = (dir_ / "out.prn").string();
    ASSERT_TRUE(nv.SaveCommandFile(prn));
    std::string expected(nv.commands[0].data.begin(), nv.commands[0].data.end());
    expected.append(second.begin(), second.end());
    EXPECT_EQ(read(prn), expected);
}

TEST_F(NvFiles, IndexedBuildPutsTheDefineAllHeaderFirstInTheFile)
{
    CCommonUtil util;
    util.g_Model = kModelZ800;   // indexed images stay 384 dots even on wide models
    util.g_Getver = 21000;
    CCommonNv nv(util);
    const std::string a = bmp("a.bmp", 1000, 10, [](auto, auto) { return true; });
    ASSERT_EQ(nv.AddImage(loaded(nv, 1, a)), kOk);
    ASSERT_EQ(nv.BuildCommands({}), kOk);
    ASSERT_EQ(nv.commands.size(), 1u);
    const auto& block = nv.commands[0].data;
    EXPECT_EQ(std::vector<std::uint8_t>(block.begin(), block.begin() + 6),
              (std::vector<std::uint8_t>{0x01, 0x80, 0x01, 3, 0, 0x31}));   // 384 x floor(10*384/1000)=3
    EXPECT_EQ(block.size(), 6u + 48 * 3);
    const std::string prn = (dir_ / "out.prn").string();
    ASSERT_TRUE(nv.SaveCommandFile(prn));
    const std::string file = read(prn);
    const auto header = nv::DefineAllHeader(1, std::uint32_t(block.size()));
    EXPECT_EQ(file.substr(0, 9), std::string(header.begin(), header.end()));
    EXPECT_EQ(file.substr(9), std::string(block.begin(), block.end()));
}

TEST_F(NvFiles, ABuildStopsWholeWhenAFileIsGoneOrTooLarge)
{
    CCommonUtil util;
    util.g_Model = kModelZ400;
    util.g_Getver = 1040;
    CCommonNv nv(util);
    const std::string a = bmp("a.bmp", 16, 4, [](auto, auto) { return true; });
    const std::string gone = bmp("gone.bmp", 16, 4, [](auto, auto) { return true; });
    const std::string tall = bmp("tall.bmp", 384, 1366, [](auto, auto) { return false; });
    ASSERT_EQ(nv.AddImage(loaded(nv, 1, a)), kOk);
    ASSERT_EQ(nv.AddImage(loaded(nv, 2, gone)), kOk);
    fs::remove(gone);
    std::string detail;
    EXPECT_EQ(nv.BuildCommands({"10", "11"}, &detail), kNvLoadFailed);
    EXPECT_NE(detail.find("gone.bmp"), std::string::npos);
    EXPECT_TRUE(nv.commands.empty());

    nv.RemoveImage(2);
    ASSERT_EQ(nv.AddImage(loaded(nv, 2, tall)), kOk);
    EXPECT_EQ(nv.BuildCommands({"10", "11"}, &detail), kNvTooLarge);
    EXPECT_NE(detail.find("65524"), std::string::npos);
    EXPECT_TRUE(nv.commands.empty());

    // A file that grew past the capacity since it was added is caught from the file itself.
    nv.ClearImages();
    const std::string grows = bmp("grows.bmp", 384, 10, [](auto, auto) { return false; });
    ASSERT_EQ(nv.AddImage(loaded(nv, 1, grows)), kOk);
    bmp("grows.bmp", 384, 6000, [](auto, auto) { return false; });
    EXPECT_EQ(nv.BuildCommands({"10"}, &detail), kNvCapacity);
    EXPECT_TRUE(nv.commands.empty());
}

TEST_F(NvFiles, AFailedCommandFileWriteLeavesTheOldFile)
{
    CCommonUtil util;
    CCommonNv nv(util);
    nv.commands.push_back(NvCommand{"x", {1, 2, 3}});
    const std::string prn = (dir_ / "old.prn").string();
    std::ofstream(prn) << "previous";
    // A directory in the way of the temporary file's rename target.
    const std::string blocked = (dir_ / "sub").string();
    fs::create_directories(dir_ / "sub" / "inner");
    platform::OsError err;
    EXPECT_FALSE(nv.SaveCommandFile(blocked, err));
    EXPECT_TRUE(err.isSet());
    EXPECT_FALSE(nv.SaveCommandFile((dir_ / "nodir" / "x.prn").string()));
    EXPECT_EQ(read(prn), "previous");
    ASSERT_TRUE(nv.SaveCommandFile(prn));
    EXPECT_EQ(read(prn), std::string("\x01\x02\x03", 3));
}

TEST_F(NvFiles, StoredCountReadsZeroUnlessAFourByteNumber)
{
    platform::RegistryStore store((dir_ / "registry.reg").string());
    CCommonUtil util;
    CCommonNv nv(util);
    EXPECT_EQ(nv.ReadStoredCount(store, kNvRegistryKey), 0u);
    ASSERT_TRUE(nv.WriteStoredCount(store, kNvRegistryKey, 7));
    EXPECT_EQ(nv.ReadStoredCount(store, kNvRegistryKey), 7u);
    ASSERT_TRUE(store.writeString(kNvRegistryKey, "Count", "7"));
    EXPECT_EQ(nv.ReadStoredCount(store, kNvRegistryKey), 0u);
}

} // namespace
} // namespace corvane
