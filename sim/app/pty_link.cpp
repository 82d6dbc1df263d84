#include "pty_link.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace simapp {

namespace fs = std::filesystem;

namespace {

std::string osMessage(const char* what, int err)
{
    return std::string(what) + ": " + std::strerror(err);
}

// Points `linkPath` at `target`, replacing an existing symlink (never another
// kind of file) in one rename.
bool placeLink(const std::string& linkPath, const std::string& target, std::string& error)
{
    const fs::path link(linkPath);
    std::error_code ec;
    if (link.has_parent_path()) {
        fs::create_directories(link.parent_path(), ec);
        if (ec) {
            error = "cannot create " + link.parent_path().string() + ": " + ec.message();
            return false;
        }
    }
    const fs::file_status st = fs::symlink_status(link, ec);
    if (fs::exists(st) && !fs::is_symlink(st)) {
        error = linkPath + " exists and is not a symlink; not replacing it";
        return false;
    }
    const std::string temp = linkPath + ".tmp" + std::to_string(::getpid());
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0) {
        error = osMessage(("cannot create symlink " + temp).c_str(), errno);
        return false;
    }
    if (::rename(temp.c_str(), linkPath.c_str()) != 0) {
        error = osMessage(("cannot place symlink " + linkPath).c_str(), errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

} // namespace

PtyLink::~PtyLink()
{
    removeLink();
}

bool PtyLink::open(const std::string& linkPath, std::string& error)
{
    master_.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master_.valid()) {
        error = osMessage("posix_openpt", errno);
        return false;
    }
    if (::grantpt(master_.get()) != 0) {
        error = osMessage("grantpt", errno);
        return false;
    }
    if (::unlockpt(master_.get()) != 0) {
        error = osMessage("unlockpt", errno);
        return false;
    }
    char name[256];
    if (const int err = ::ptsname_r(master_.get(), name, sizeof name); err != 0) {
        error = osMessage("ptsname_r", err);
        return false;
    }
    slavePath_ = name;

    slave_.reset(::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave_.valid()) {
        error = osMessage(("cannot open " + slavePath_).c_str(), errno);
        return false;
    }
    termios tio{};
    if (::tcgetattr(slave_.get(), &tio) != 0) {
        error = osMessage("tcgetattr", errno);
        return false;
    }
    ::cfmakeraw(&tio);
    if (::tcsetattr(slave_.get(), TCSANOW, &tio) != 0) {
        error = osMessage("tcsetattr", errno);
        return false;
    }

    const int flags = ::fcntl(master_.get(), F_GETFL);
    if (flags < 0 || ::fcntl(master_.get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        error = osMessage("fcntl O_NONBLOCK", errno);
        return false;
    }

    if (!linkPath.empty()) {
        if (!placeLink(linkPath, slavePath_, error))
            return false;
        linkPath_ = linkPath;
    }
    return true;
}

namespace {

IoResult fromSyscall(ssize_t n)
{
    if (n >= 0)
        return IoResult::ok(static_cast<std::size_t>(n));
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return IoResult::wouldBlock();
    return IoResult::failed(errno);
}

} // namespace

IoResult PtyLink::read(char* buffer, std::size_t size)
{
    // We hold the slave open ourselves, so the master should never read end
    // of file; if it does, the terminal is broken.
    const ssize_t n = ::read(master_.get(), buffer, size);
    return n == 0 ? IoResult::closed() : fromSyscall(n);
}

IoResult PtyLink::write(std::string_view bytes)
{
    return fromSyscall(::write(master_.get(), bytes.data(), bytes.size()));
}

std::optional<std::size_t> PtyLink::unreadReplies() const
{
    int count = 0;
    if (!slave_.valid() || ::ioctl(slave_.get(), TIOCINQ, &count) != 0 || count < 0)
        return 0;
    return static_cast<std::size_t>(count);
}

void PtyLink::discardUnread()
{
    if (slave_.valid())
        ::tcflush(slave_.get(), TCIFLUSH);
}

void PtyLink::removeLink()
{
    if (linkPath_.empty())
        return;
    std::error_code ec;
    const fs::path target = fs::read_symlink(linkPath_, ec);
    if (!ec && target == fs::path(slavePath_))
        ::unlink(linkPath_.c_str());
    linkPath_.clear();
}

} // namespace simapp
