#include "platform/exclusive_device.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace platform::detail {

int openExclusive(const std::string& path, OsError& error)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = lastOsError("open", path);
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            errno = EBUSY;
        error = lastOsError("open", path);
        ::close(fd);
        return -1;
    }
    return fd;
}

void closeExclusive(int fd)
{
    if (fd < 0)
        return;
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

} // namespace platform::detail
