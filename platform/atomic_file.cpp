#include "platform/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {
namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void reset(int fd = -1)
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = fd;
    }
    int release()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

private:
    int fd_;
};

std::string parentDirectory(const std::string& path)
{
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    if (slash == 0)
        return "/";
    return path.substr(0, slash);
}

bool makeDirectories(const std::string& dir, OsError& error)
{
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/')
            continue;
        const std::string prefix = dir.substr(0, pos);
        if (::mkdir(prefix.c_str(), 0755) != 0 && errno != EEXIST) {
            error = lastOsError("mkdir", prefix);
            return false;
        }
    }
    return true;
}

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Takes the lock, polling so that the wait is bounded.
bool lockExclusive(int fd, const std::string& lockPath, int timeoutMs, OsError& error)
{
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(timeoutMs);
    auto pause = microseconds(100);
    while (true) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return true;
        if (errno == EINTR)
            continue;
        if (errno != EWOULDBLOCK || steady_clock::now() >= deadline) {
            error = lastOsError("lock", lockPath);
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min<microseconds>(pause * 2, milliseconds(10));
    }
}

} // namespace

bool writeFileAtomically(const std::string& path, std::string_view bytes, OsError& error,
                         const AtomicWriteOptions& options)
{
    mode_t mode = static_cast<mode_t>(options.mode & 07777);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;

    std::string temp = path + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd.valid() && errno == ENOENT && options.createDirectories) {
        if (!makeDirectories(parentDirectory(path), error))
            return false;
        temp = path + ".XXXXXX";
        fd.reset(::mkostemp(temp.data(), O_CLOEXEC));
    }
    if (!fd.valid()) {
        error = lastOsError("create", path + ".XXXXXX");
        return false;
    }
    const auto fail = [&](const char* operation) {
        error = lastOsError(operation, temp);
        fd.reset();
        ::unlink(temp.c_str());
        return false;
    };
    if (::fchmod(fd.get(), mode) != 0)
        return fail("chmod");
    if (!writeAll(fd.get(), bytes))
        return fail("write");
    if (::fsync(fd.get()) != 0)
        return fail("fsync");
    if (::close(fd.release()) != 0)
        return fail("close");

    if (options.beforeRename)
        options.beforeRename(temp);

    if (::rename(temp.c_str(), path.c_str()) != 0) {
        error = lastOsError("rename", path);
        ::unlink(temp.c_str());
        return false;
    }
    const std::string dir = parentDirectory(path);
    FileDescriptor dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    // Some file systems cannot sync a directory; the rename has happened,
    // so only a real I/O error is worth reporting.
    if (dirFd.valid() && ::fsync(dirFd.get()) != 0 && errno != EINVAL) {
        error = lastOsError("fsync", dir);
        return false;
    }
    return true;
}

ReadResult readFileBounded(const std::string& path, std::size_t maxSize, std::string& content,
                           OsError& error)
{
    content.clear();
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) {
        if (errno == ENOENT)
            return ReadResult::Missing;
        error = lastOsError("open", path);
        return ReadResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = lastOsError("stat", path);
        return ReadResult::Failed;
    }
    if (S_ISDIR(st.st_mode)) {
        error = OsError{EISDIR, "read", path};
        return ReadResult::Failed;
    }
    if (!S_ISREG(st.st_mode)) {
        error = OsError{EINVAL, "read", path};
        return ReadResult::Failed;
    }
    if (static_cast<std::uint64_t>(st.st_size) > maxSize) {
        error = OsError{EFBIG, "read", path};
        return ReadResult::Failed;
    }
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            error = lastOsError("read", path);
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        // The file may grow while we read it.
        if (content.size() + static_cast<std::size_t>(n) > maxSize) {
            content.clear();
            error = OsError{EFBIG, "read", path};
            return ReadResult::Failed;
        }
        content.append(buffer, static_cast<std::size_t>(n));
    }
    return ReadResult::Loaded;
}

bool updateFileLocked(const std::string& path, std::size_t maxSize, const FileChange& change,
                      OsError& error, const AtomicWriteOptions& options, int lockTimeoutMs)
{
    const std::string lockPath = path + ".lock";
    FileDescriptor lock(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!lock.valid() && errno == ENOENT && options.createDirectories) {
        if (!makeDirectories(parentDirectory(path), error))
            return false;
        lock.reset(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    }
    if (!lock.valid()) {
        error = lastOsError("open", lockPath);
        return false;
    }
    // The lock goes with the descriptor, also when the process dies.
    if (!lockExclusive(lock.get(), lockPath, lockTimeoutMs, error))
        return false;

    std::string content;
    if (readFileBounded(path, maxSize, content, error) == ReadResult::Failed)
        return false;
    if (!change(content, error))
        return false;
    if (content.size() > maxSize) {
        error = OsError{EFBIG, "write", path};
        return false;
    }
    return writeFileAtomically(path, content, error, options);
}

} // namespace platform
