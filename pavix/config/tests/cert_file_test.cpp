#include "pavix/config/CertFile.h"
#include "pavix/config/ConfigTexts.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace pavix {
namespace {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = ::testing::TempDir() + "pavix-cert-XXXXXX";
        if (::mkdtemp(pattern.data()))
            path_ = pattern;
    }
    ~TempDir()
    {
        if (!path_.empty())
            std::system(("rm -rf '" + path_ + "'").c_str());
    }
    const std::string& path() const { return path_; }

    std::string write(const std::string& name, const std::string& content) const
    {
        const std::string file = path_ + "/" + name;
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        EXPECT_GE(fd, 0);
        if (fd >= 0) {
            EXPECT_EQ(::write(fd, content.data(), content.size()), static_cast<ssize_t>(content.size()));
            ::close(fd);
        }
        return file;
    }

private:
    std::string path_;
};

// A PEM-looking text of exactly `size` bytes.
std::string Pem(std::size_t size)
{
    std::string text = "-----BEGIN CERTIFICATE-----\n";
    const std::string end = "-----END CERTIFICATE-----\n";
    text += std::string(size - text.size() - end.size(), 'A');
    return text + end;
}

std::string Text(ByteView bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

TEST(CertificateFile, AcceptsMarkedFilesBelow3072Bytes)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const std::string smallest = "-----BEGIN -----END";
    ASSERT_EQ(smallest.size(), 19u);
    for (const std::string& content : {smallest, Pem(3071), Pem(500)}) {
        const auto file = ReadCertificateFile(dir.write("ok.pem", content));
        EXPECT_EQ(file.check, CertificateCheck::Selected) << content.size();
        EXPECT_EQ(Text(file.buffer.bytes()), content);
    }
    EXPECT_EQ(CertificateCheckMessage(CertificateCheck::Selected), "Selected a certificate file.");
}

TEST(CertificateFile, RefusesWhatFailsAStepWithItsMessage)
{
    TempDir dir;
    struct Case {
        const char* name;
        std::string content;
        CertificateCheck check;
    };
    const Case cases[] = {
        {"3072", Pem(3072), CertificateCheck::TooLarge},
        {"one-byte", "-", CertificateCheck::Invalid},
        {"empty", "", CertificateCheck::Invalid},
        {"prefix-without-space", "-----BEGIN", CertificateCheck::Invalid},   // 10 bytes: shorter than the prefix
        {"prefix-only", "-----BEGIN ", CertificateCheck::Invalid},
        {"no-end", "-----BEGIN CERTIFICATE-----\nAAAA\n", CertificateCheck::Invalid},
        {"end-first", "-----END x -----BEGIN ", CertificateCheck::Invalid},
        {"end-cut", "-----BEGIN x -----EN", CertificateCheck::Invalid},
        {"der", std::string("\x30\x82\x01\x0a-----END", 12), CertificateCheck::Invalid},
    };
    for (const Case& c : cases) {
        const auto file = ReadCertificateFile(dir.write(c.name, c.content));
        EXPECT_EQ(file.check, c.check) << c.name;
        EXPECT_TRUE(file.buffer.empty()) << c.name;
    }
    EXPECT_EQ(CertificateCheckMessage(CertificateCheck::TooLarge), "Certificate file size is max 3K.");
    EXPECT_EQ(CertificateCheckMessage(CertificateCheck::Invalid), "Invalid certificate file.");
    EXPECT_EQ(CertificateCheckMessage(CertificateCheck::ReadError), "Error certificate file to read.");
}

TEST(CertificateFile, HugeFileIsRefusedBySizeWithoutReadingIt)
{
    TempDir dir;
    const std::string path = dir.path() + "/huge.pem";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    // Sparse: 4 GiB claimed, nothing stored. Reading it whole would not end soon.
    ASSERT_EQ(::ftruncate(fd, off_t{1} << 32), 0);
    ::close(fd);
    EXPECT_EQ(ReadCertificateFile(path).check, CertificateCheck::TooLarge);
}

TEST(CertificateFile, OnlyRegularFilesAreRead)
{
    TempDir dir;
    const std::string fifo = dir.path() + "/fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // No writer: a blocking open or read would hang here.
    EXPECT_EQ(ReadCertificateFile(fifo).check, CertificateCheck::ReadError);
    EXPECT_EQ(ReadCertificateFile("/dev/zero").check, CertificateCheck::ReadError);
    EXPECT_EQ(ReadCertificateFile(dir.path()).check, CertificateCheck::ReadError);
    EXPECT_EQ(ReadCertificateFile(dir.path() + "/missing.pem").check, CertificateCheck::ReadError);
}

TEST(CertificateFile, MarkerCheckIsBoundedByTheLength)
{
    const std::string text = "-----BEGIN -----END";
    const Bytes bytes(text.begin(), text.end());
    EXPECT_TRUE(HasCertificateMarkers(bytes));
    // The view ends one byte before the end marker is complete.
    EXPECT_FALSE(HasCertificateMarkers(ByteView(bytes).first(18)));
    EXPECT_FALSE(HasCertificateMarkers(ByteView(bytes).first(10)));
    EXPECT_FALSE(HasCertificateMarkers({}));
}

TEST(CertificateBuffer, MovesLeaveNoCopyBehind)
{
    const std::string key = "-----BEGIN KEY-----END";
    CertificateBuffer a;
    ASSERT_TRUE(a.assign(Bytes(key.begin(), key.end())));
    CertificateBuffer b(std::move(a));
    EXPECT_TRUE(a.empty()); // NOLINT(bugprone-use-after-move): the moved-from state is the point
    EXPECT_EQ(Text(b.bytes()), key);
    CertificateBuffer c;
    c = std::move(b);
    EXPECT_TRUE(b.empty()); // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(Text(c.bytes()), key);
    c.clear();
    EXPECT_TRUE(c.empty());
    EXPECT_FALSE(c.assign(Bytes(kCertificateSizeLimit + 1, 'x')));
    EXPECT_TRUE(c.empty());
}

TEST(CertificateSelection, TypeChangeDropsTheFileAndAFailedOpenLeavesItUnready)
{
    TempDir dir;
    const std::string good = dir.write("good.pem", Pem(100));
    CertificateSelection page;
    EXPECT_EQ(page.type(), CertificateType::Ca);
    EXPECT_EQ(page.open(good), CertificateCheck::Selected);
    EXPECT_TRUE(page.ready());
    EXPECT_EQ(page.path(), good);
    EXPECT_EQ(page.bytes().size(), 100u);

    page.chooseType(CertificateType::ClientKey);
    EXPECT_EQ(page.type(), CertificateType::ClientKey);
    EXPECT_FALSE(page.ready());
    EXPECT_TRUE(page.path().empty());
    EXPECT_TRUE(page.bytes().empty());

    ASSERT_EQ(page.open(good), CertificateCheck::Selected);
    const std::string bad = dir.write("bad.pem", "not a certificate");
    EXPECT_EQ(page.open(bad), CertificateCheck::Invalid);
    EXPECT_FALSE(page.ready());
    EXPECT_EQ(page.path(), bad);
    EXPECT_TRUE(page.bytes().empty());

    ASSERT_EQ(page.open(good), CertificateCheck::Selected);
    page.clear();
    EXPECT_FALSE(page.ready());
    EXPECT_TRUE(page.path().empty());
}

TEST(CertificateType, TextsAndStartCodes)
{
    EXPECT_EQ(CertificateTypeText(CertificateType::Ca), "CA");
    EXPECT_EQ(CertificateTypeText(CertificateType::ClientKey), "Client Key");
    EXPECT_EQ(CertificateTypeText(CertificateType::ClientPem), "Client PEM");
    EXPECT_EQ(CertificateKindOf(CertificateType::Ca), CertificateKind::Ca);
    EXPECT_EQ(CertificateKindOf(CertificateType::ClientKey), CertificateKind::ClientKey);
    EXPECT_EQ(CertificateKindOf(CertificateType::ClientPem), CertificateKind::ClientPem);
}

} // namespace
} // namespace pavix
