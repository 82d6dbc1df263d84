// Status files: the byte layout both ways, the name check, refused and
// unreadable files leaving the matrix alone, and atomic saving.
#include "telvara/status/StatusFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace telvara {
namespace {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = "/tmp/telvara_sts_XXXXXX";
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempDir()
    {
        if (!path_.empty())
            std::system(("rm -rf '" + path_ + "'").c_str());
    }
    std::string file(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

void writeRaw(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string readRaw(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Little-endian int32 at a byte offset, written by hand.
void putLe(std::string& b, std::size_t at, std::uint32_t v)
{
    b[at] = static_cast<char>(v & 0xFF);
    b[at + 1] = static_cast<char>((v >> 8) & 0xFF);
    b[at + 2] = static_cast<char>((v >> 16) & 0xFF);
    b[at + 3] = static_cast<char>((v >> 24) & 0xFF);
}

std::span<const std::uint8_t> view(const std::string& s)
{
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

TEST(StatusFileLayout, EncodeOffsets)
{
    StatusMatrix m;
    m.initialize(); // switches 3-6 are filled but must not be written
    m.set(1, 1, kOn);
    m.set(2, 8, kNoChange);
    m.set(11, 3, kOn);
    m.set(12, 8, kOn);
    const std::string b = EncodeStatusFile(m, 0x01020304);
    ASSERT_EQ(b.size(), 292u);

    std::string expected(292, '\0');
    // Switch 1 at slot 0, 2 at slot 1, 11 at slot 6, 12 at slot 7: pin p of
    // slot k at 36k + 4p, spares (36k) zero.
    for (std::size_t slot : {0u, 1u, 6u, 7u})
        for (std::size_t pin = 1; pin <= 8; ++pin)
            putLe(expected, 36 * slot + 4 * pin, 2);
    putLe(expected, 4, 1);        // switch 1 pin 1 on
    putLe(expected, 36 + 32, 0);  // switch 2 pin 8 no change
    putLe(expected, 216 + 12, 1); // switch 11 pin 3 on
    putLe(expected, 252 + 32, 1); // switch 12 pin 8 on
    putLe(expected, 288, 0x01020304);
    EXPECT_EQ(b, expected);
}

TEST(StatusFileLayout, DecodeOffsets)
{
    std::string b(292, '\0');
    putLe(b, 8, 1);         // switch 1 pin 2 on
    putLe(b, 36 + 4, 2);    // switch 2 pin 1 off
    putLe(b, 216 + 32, 1);  // switch 11 pin 8 on
    putLe(b, 252 + 20, 2);  // switch 12 pin 5 off
    putLe(b, 72 + 4, 1);    // switch 3: not carried
    putLe(b, 288, 7);
    const auto c = DecodeStatusFile(view(b));
    ASSERT_TRUE(c);
    EXPECT_EQ(SwitchShownText(c->matrix, 1), "------1-");
    EXPECT_EQ(SwitchShownText(c->matrix, 2), "-------0");
    EXPECT_EQ(SwitchShownText(c->matrix, 11), "1-------");
    EXPECT_EQ(SwitchShownText(c->matrix, 12), "---0----");
    EXPECT_EQ(SwitchShownText(c->matrix, 3), "--------");
    EXPECT_EQ(c->flag, 7);
}

TEST(StatusFileLayout, ShortFilesReadAsZeros)
{
    std::string b(8, '\0');
    putLe(b, 4, 1);
    const auto c = DecodeStatusFile(view(b));
    ASSERT_TRUE(c);
    EXPECT_EQ(SwitchShownText(c->matrix, 1), "-------1");
    EXPECT_EQ(SwitchShownText(c->matrix, 12), "--------");
    EXPECT_EQ(c->flag, 0);
    EXPECT_TRUE(DecodeStatusFile({}));
}

// Raw integers used to reach the wire as undefined characters.
TEST(StatusFileLayout, CarriedPinsOutsideZeroToTwoAreRefused)
{
    for (std::size_t at : {4u, 36u + 32u, 216u + 4u, 252u + 32u}) {
        for (std::uint32_t bad : {3u, 0xFFFFFFFFu, 0x100u}) {
            std::string b(292, '\0');
            putLe(b, at, bad);
            EXPECT_FALSE(DecodeStatusFile(view(b))) << at << " " << bad;
        }
    }
    // Spares, switches 3-6 and the flag are not checked: old files load.
    std::string b(292, '\0');
    putLe(b, 0, 99);
    putLe(b, 72 + 8, 42);
    putLe(b, 180 + 32, 0xFFFFFFFF);
    putLe(b, 288, 0xFFFFFFFF);
    const auto c = DecodeStatusFile(view(b));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->flag, -1);
}

TEST(StatusFileName, TheLastThreeCharactersMustBeLowerCaseSts)
{
    EXPECT_TRUE(HasStatusFileName("/x/status.sts"));
    EXPECT_TRUE(HasStatusFileName("sts"));
    EXPECT_FALSE(HasStatusFileName("status.STS"));
    EXPECT_FALSE(HasStatusFileName("status.sts "));
    EXPECT_FALSE(HasStatusFileName("ts"));
    EXPECT_FALSE(HasStatusFileName(""));
}

class StatusFileDisk : public ::testing::Test {
protected:
    TempDir dir;
    StatusMatrix matrix;
    std::int32_t flag = 5;

    void SetUp() override
    {
        matrix.initialize();
        matrix.set(3, 2, kOn);
    }
};

TEST_F(StatusFileDisk, SaveThenLoadReproducesTheCarriedSwitches)
{
    StatusMatrix got;
    got.initialize();
    got.set(1, 4, kOn), got.set(2, 2, kNoChange), got.set(11, 8, kOn), got.set(12, 1, kOn);
    const std::string path = dir.file("set.sts");
    ASSERT_EQ(SaveStatusFile(path, got, 1).result, StatusFileResult::Done);
    EXPECT_EQ(readRaw(path).size(), 292u);

    matrix.set(1, 4, kNoChange);
    const auto out = LoadStatusFile(path, matrix, flag);
    ASSERT_EQ(out.result, StatusFileResult::Done);
    EXPECT_FALSE(out.message);
    for (int sw : kFileSwitches)
        EXPECT_EQ(matrix.pins(SlotOfSwitch(sw)), got.pins(SlotOfSwitch(sw))) << sw;
    EXPECT_EQ(matrix.get(3, 2), kOn); // switches 3-6 keep their values
    EXPECT_EQ(flag, 1);
}

TEST_F(StatusFileDisk, RefusedNamesAreNotEvenOpened)
{
    const std::string path = dir.file("status.STS");
    writeRaw(path, std::string(292, '\0'));
    const StatusMatrix before = matrix;
    const auto out = LoadStatusFile(path, matrix, flag);
    EXPECT_EQ(out.result, StatusFileResult::BadName);
    ASSERT_TRUE(out.message);
    EXPECT_EQ(out.message->text, "Wrong format files loaded.");
    EXPECT_EQ(out.message->caption, "Warning");
    EXPECT_EQ(matrix, before);
    EXPECT_EQ(flag, 5);
}

// An unreadable file used to wipe switches 1, 2, 11 and 12.
TEST_F(StatusFileDisk, UnreadableFilesChangeNothing)
{
    const StatusMatrix before = matrix;
    ::mkdir(dir.file("folder.sts").c_str(), 0755);
    const auto out = LoadStatusFile(dir.file("folder.sts"), matrix, flag);
    EXPECT_EQ(out.result, StatusFileResult::Unreadable);
    ASSERT_TRUE(out.message);
    EXPECT_EQ(out.message->text, "Can't read the status file.");
    EXPECT_EQ(LoadStatusFile(dir.file("missing.sts"), matrix, flag).result, StatusFileResult::Unreadable);
    EXPECT_EQ(matrix, before);
    EXPECT_EQ(flag, 5);
}

TEST_F(StatusFileDisk, WrongFormatChangesNothing)
{
    std::string b = EncodeStatusFile(StatusMatrix{}, 1);
    putLe(b, 252 + 16, 3); // switch 12 pin 4
    const std::string path = dir.file("bad.sts");
    writeRaw(path, b);
    const StatusMatrix before = matrix;
    const auto out = LoadStatusFile(path, matrix, flag);
    EXPECT_EQ(out.result, StatusFileResult::WrongFormat);
    ASSERT_TRUE(out.message);
    EXPECT_EQ(out.message->text, "Wrong format files loaded.");
    EXPECT_EQ(matrix, before);
    EXPECT_EQ(flag, 5);
}

TEST_F(StatusFileDisk, LongerFilesLoadTheirFirstBytes)
{
    std::string b = EncodeStatusFile(matrix, 9) + std::string(100, '\x7F');
    const std::string path = dir.file("long.sts");
    writeRaw(path, b);
    StatusMatrix m;
    std::int32_t f = 0;
    ASSERT_EQ(LoadStatusFile(path, m, f).result, StatusFileResult::Done);
    EXPECT_EQ(f, 9);
    EXPECT_EQ(SwitchShownText(m, 12), "00000000");
}

// Saving used to truncate the old file before writing the new one.
TEST_F(StatusFileDisk, AFailedSaveKeepsTheOldFile)
{
    const std::string path = dir.file("keep.sts");
    const std::string old = EncodeStatusFile(StatusMatrix{}, 3);
    writeRaw(path, old);
    platform::AtomicWriteOptions options;
    bool oldWholeBeforeReplace = false;
    options.beforeRename = [&](const std::string& temporary) {
        oldWholeBeforeReplace = readRaw(path) == old;
        ::unlink(temporary.c_str()); // the replace now fails
    };
    const auto out = SaveStatusFile(path, matrix, 1, options);
    EXPECT_TRUE(oldWholeBeforeReplace);
    EXPECT_EQ(out.result, StatusFileResult::NotSaved);
    ASSERT_TRUE(out.message);
    EXPECT_EQ(out.message->text, "Can't save the status file.");
    EXPECT_TRUE(out.error.isSet());
    EXPECT_EQ(readRaw(path), old);

    EXPECT_EQ(SaveStatusFile(dir.file("no/such/dir.sts"), matrix, 1).result, StatusFileResult::NotSaved);
}

} // namespace
} // namespace telvara
