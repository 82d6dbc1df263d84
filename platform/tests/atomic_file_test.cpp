// The atomic writer and the locked read-modify-write on a real directory.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::AtomicWriteOptions;
using platform::OsError;
using platform::ReadResult;

namespace {

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

unsigned modeOf(const fs::path& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0u;
}

// Exit status of a child, or -1 if it did not exit normally.
int waitForChild(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

class AtomicFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = ::testing::TempDir() + "atomic-file-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        file_ = dir_ / "status.dat";
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    // Everything in the directory but the file itself and its lock.
    std::vector<std::string> strayFiles() const
    {
        std::vector<std::string> names;
        for (const auto& item : fs::directory_iterator(dir_)) {
            const std::string name = item.path().filename().string();
            if (name != file_.filename().string() && name != file_.filename().string() + ".lock")
                names.push_back(name);
        }
        return names;
    }

    fs::path dir_;
    fs::path file_;
};

TEST_F(AtomicFileTest, WritesNewFilesAndReplacesOldOnesKeepingTheirMode)
{
    OsError error;
    const std::string bytes("binary\0data\n", 12);
    ASSERT_TRUE(platform::writeFileAtomically(file_, bytes, error)) << error.describe();
    EXPECT_EQ(readText(file_), bytes);
    EXPECT_EQ(modeOf(file_), 0644u);

    ::chmod(file_.c_str(), 0600);
    ASSERT_TRUE(platform::writeFileAtomically(file_, "second", error));
    EXPECT_EQ(readText(file_), "second");
    EXPECT_EQ(modeOf(file_), 0600u);

    AtomicWriteOptions options;
    options.mode = 0640;
    const fs::path other = dir_ / "other.dat";
    ASSERT_TRUE(platform::writeFileAtomically(other, "", error, options));
    EXPECT_EQ(readText(other), "");
    EXPECT_EQ(modeOf(other), 0640u);
    fs::remove(other);
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(AtomicFileTest, MissingDirectoriesAreCreatedOnlyWhenAsked)
{
    const fs::path nested = dir_ / "a" / "b" / "file.dat";
    OsError error;
    EXPECT_FALSE(platform::writeFileAtomically(nested, "x", error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_FALSE(fs::exists(dir_ / "a"));

    AtomicWriteOptions options;
    options.createDirectories = true;
    ASSERT_TRUE(platform::writeFileAtomically(nested, "x", error, options)) << error.describe();
    EXPECT_EQ(readText(nested), "x");
}

TEST_F(AtomicFileTest, FailedRenameKeepsTheTargetAndLeavesNoTemporaryFile)
{
    // A directory cannot be replaced by a file.
    fs::create_directory(file_);
    writeText(file_ / "inside", "kept");
    OsError error;
    EXPECT_FALSE(platform::writeFileAtomically(file_, "new", error));
    EXPECT_EQ(error.code, EISDIR);
    EXPECT_EQ(error.operation, "rename");
    EXPECT_EQ(readText(file_ / "inside"), "kept");
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(AtomicFileTest, FailedWriteKeepsTheOldFileAndLeavesNoTemporaryFile)
{
    writeText(file_, "old contents");
    // A child whose file size limit is too small for the new contents: the
    // write fails with EFBIG half-way through.
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
            ::_exit(2);
        OsError error;
        const bool ok = platform::writeFileAtomically(file_, std::string(100000, 'n'), error);
        ::_exit(!ok && error.code == EFBIG && error.operation == "write" ? 0 : 1);
    }
    EXPECT_EQ(waitForChild(pid), 0);
    EXPECT_EQ(readText(file_), "old contents");
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(AtomicFileTest, ReadOnlyDirectoryFailsWithTheReason)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root is not refused by directory permissions";
    writeText(file_, "old");
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    OsError error;
    EXPECT_FALSE(platform::writeFileAtomically(file_, "new", error));
    EXPECT_EQ(error.code, EACCES);
    EXPECT_EQ(readText(file_), "old");
    fs::permissions(dir_, fs::perms::owner_all);
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(AtomicFileTest, CrashBeforeTheRenameLeavesTheOldFileWhole)
{
    writeText(file_, "old contents");
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        AtomicWriteOptions options;
        options.beforeRename = [](const std::string&) { ::_exit(0); };
        OsError error;
        platform::writeFileAtomically(file_, "new contents", error, options);
        ::_exit(1);  // the hook was not reached
    }
    ASSERT_EQ(waitForChild(pid), 0);
    EXPECT_EQ(readText(file_), "old contents");
    // The new contents were complete on disk, only not yet in place.
    const auto stray = strayFiles();
    ASSERT_EQ(stray.size(), 1u);
    EXPECT_EQ(readText(dir_ / stray[0]), "new contents");
}

TEST_F(AtomicFileTest, BoundedReadRefusesWhatIsNotASmallRegularFile)
{
    std::string content = "stale";
    OsError error;
    EXPECT_EQ(platform::readFileBounded(file_, 10, content, error), ReadResult::Missing);
    EXPECT_FALSE(error.isSet());
    EXPECT_EQ(content, "");

    writeText(file_, "0123456789");
    EXPECT_EQ(platform::readFileBounded(file_, 10, content, error), ReadResult::Loaded);
    EXPECT_EQ(content, "0123456789");
    EXPECT_EQ(platform::readFileBounded(file_, 9, content, error), ReadResult::Failed);
    EXPECT_EQ(error.code, EFBIG);
    EXPECT_EQ(content, "");

    EXPECT_EQ(platform::readFileBounded(dir_, 10, content, error), ReadResult::Failed);
    EXPECT_EQ(error.code, EISDIR);

    // A FIFO without a writer would block a plain open and read.
    const fs::path fifo = dir_ / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(platform::readFileBounded(fifo, 10, content, error), ReadResult::Failed);
    EXPECT_EQ(error.code, EINVAL);
}

TEST_F(AtomicFileTest, LockedUpdatesFromManyWritersLoseNothing)
{
    constexpr int kThreads = 4;
    constexpr int kEach = 50;
    const auto increment = [](std::string& content, OsError&) {
        content = std::to_string(content.empty() ? 1 : std::stoi(content) + 1);
        return true;
    };
    std::atomic<int> failures{0};
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([&] {
            for (int i = 0; i < kEach; ++i) {
                OsError error;
                if (!platform::updateFileLocked(file_, 64, increment, error))
                    ++failures;
            }
        });
    }
    for (auto& w : writers)
        w.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(readText(file_), std::to_string(kThreads * kEach));
    EXPECT_TRUE(strayFiles().empty());
}

TEST_F(AtomicFileTest, LockedUpdateThatDoesNotGoThroughLeavesTheFile)
{
    writeText(file_, "old");
    OsError error;
    // The change declines, with its own reason.
    EXPECT_FALSE(platform::updateFileLocked(
        file_, 64,
        [](std::string& content, OsError& err) {
            content = "changed";
            err = OsError{ENOENT, "delete", "x"};
            return false;
        },
        error));
    EXPECT_EQ(error.code, ENOENT);
    EXPECT_EQ(readText(file_), "old");

    // The result would be too big to read back.
    EXPECT_FALSE(platform::updateFileLocked(
        file_, 64,
        [](std::string& content, OsError&) {
            content.assign(65, 'x');
            return true;
        },
        error));
    EXPECT_EQ(error.code, EFBIG);
    EXPECT_EQ(readText(file_), "old");

    // A writer that holds the lock too long makes the update give up.
    const int holder = ::open((file_.string() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    bool called = false;
    EXPECT_FALSE(platform::updateFileLocked(
        file_, 64,
        [&](std::string&, OsError&) {
            called = true;
            return true;
        },
        error, {}, 50));
    EXPECT_EQ(error.code, EWOULDBLOCK);
    EXPECT_EQ(error.operation, "lock");
    EXPECT_FALSE(called);
    ::close(holder);
    EXPECT_TRUE(platform::updateFileLocked(
        file_, 64,
        [](std::string& content, OsError&) {
            content += "+";
            return true;
        },
        error));
    EXPECT_EQ(readText(file_), "old+");
    EXPECT_TRUE(strayFiles().empty());
}

} // namespace
