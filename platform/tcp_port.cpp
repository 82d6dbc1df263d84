// IPv4 TCP client. The socket stays non-blocking for its whole life: every
// wait (connect, send, receive, the closing drain) is a sliced poll with a
// bound.
#include "platform/tcp_port.h"

#include "platform/fd_port.h"
#include "platform/stall_write.h"
#include "platform/wait_hook.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>

#include <arpa/inet.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

using SteadyTime = std::chrono::steady_clock;

SteadyTime::time_point deadlineAfter(int timeoutMs)
{
    return SteadyTime::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
}

// Polls until `events` or the deadline; 1 ready, 0 time-out, -1 error or
// stop request (errno set).
int pollUntil(int fd, short events, SteadyTime::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = pollSliced(&p, 1, msUntil(deadline));
        if (rc < 0)
            return -1;
        if (rc == 0) {
            if (msUntil(deadline) > 0)
                continue;
            return 0;
        }
        return 1;
    }
}

ssize_t sendCall(int fd, const void* data, std::size_t length)
{
    return ::send(fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
}

// Bytes sent but not yet acknowledged by the peer.
int sendQueued(int fd)
{
    int queued = 0;
    return ::ioctl(fd, SIOCOUTQ, &queued) == 0 ? queued : -1;
}

int socketError(int fd)
{
    int code = 0;
    socklen_t size = sizeof code;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &code, &size) != 0)
        return errno;
    return code;
}

class TcpPort final : public detail::PlainFdPort {
public:
    TcpPort() : PlainFdPort(ENOTCONN) {}
    ~TcpPort() override { close(); }

    DeviceKind kind() const override { return DeviceKind::Tcp; }

    bool open(const Endpoint& where) override
    {
        close();
        target_ = where.address + ":" + std::to_string(where.port);

        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(where.port);
        if (::inet_pton(AF_INET, where.address.c_str(), &address.sin_addr) != 1) {
            error_ = OsError{EINVAL, "connect", target_};
            return false;
        }

        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error_ = lastOsError("socket", target_);
            return false;
        }
        const auto deadline = deadlineAfter(where.connectTimeoutMs);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (errno != EINPROGRESS && errno != EINTR) {
                error_ = lastOsError("connect", target_);
                ::close(fd);
                return false;
            }
            const int rc = pollUntil(fd, POLLOUT, deadline);
            if (rc <= 0) {
                if (rc == 0)
                    errno = ETIMEDOUT;
                error_ = lastOsError("connect", target_);
                ::close(fd);
                return false;
            }
            if (const int soError = socketError(fd); soError != 0) {
                error_ = OsError{soError, "connect", target_};
                ::close(fd);
                return false;
            }
        }
        fd_ = fd;
        error_ = {};
        return true;
    }

    IoResult write(const std::uint8_t* data, int length) override
    {
        if (!requireOpen("write"))
            return failed();
        if (length < 0 || (length > 0 && data == nullptr))
            return fail("write", EINVAL);
        return writeUnderStall(data, length, sendCall, sendQueued, socketError);
    }

    IoResult read(std::uint8_t* buffer, int capacity) override
    {
        if (!requireOpen("read"))
            return failed();
        if (capacity <= 0 || buffer == nullptr)
            return fail("read", EINVAL);
        const auto deadline = deadlineAfter(readTimeoutMs_);
        for (;;) {
            const ssize_t r = ::recv(fd_, buffer, static_cast<std::size_t>(capacity), MSG_DONTWAIT);
            if (r > 0)
                return IoResult{static_cast<int>(r), IoEnd::Complete, {}};
            if (r == 0) {
                error_ = OsError{ECONNRESET, "read", target_, "the printer closed the connection"};
                return IoResult{0, IoEnd::Closed, error_};
            }
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                error_ = lastOsError("read", target_);
                return failed();
            }
            const int rc = pollUntil(fd_, POLLIN, deadline);
            if (rc == 0)
                return fail("read", ETIMEDOUT);
            if (rc < 0) {
                error_ = lastOsError("read", target_);
                return failed();
            }
        }
    }

    void close() override
    {
        if (fd_ < 0)
            return;
        // Our FIN goes after everything queued; the printer answers with its
        // own once it has read it all. Whatever it sends meanwhile is read
        // and dropped, so the receive queue is empty when we close.
        if (::shutdown(fd_, SHUT_WR) == 0) {
            const auto deadline = deadlineAfter(kCloseLingerMs);
            std::uint8_t sink[4096];
            for (;;) {
                const ssize_t r = ::recv(fd_, sink, sizeof sink, MSG_DONTWAIT);
                if (r > 0)
                    continue;
                if (r == 0)
                    break;
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK)
                    break;
                if (pollUntil(fd_, POLLIN, deadline) <= 0)
                    break;
            }
        }
        ::close(fd_);
        fd_ = -1;
    }
};

} // namespace

std::unique_ptr<Port> makeTcpPort()
{
    return std::make_unique<TcpPort>();
}

} // namespace platform
