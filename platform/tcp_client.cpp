// IPv4 TCP client. The socket stays non-blocking for its whole life: every
// wait (connect, send, receive) is a poll() with a bound.
#include "platform/tcp_client.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

using SteadyTime = std::chrono::steady_clock;

// How long send() waits for room in the socket buffer before it gives up:
// the peer has stopped reading for far longer than any printer pauses.
constexpr int kSendWaitMs = 10000;

int msUntil(SteadyTime::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyTime::now());
    if (left.count() <= 0)
        return 0;
    return static_cast<int>(std::min<long long>(left.count(), INT_MAX));
}

// Polls until `events` or the deadline; 1 ready, 0 time-out, -1 error
// (errno set). Restarts after signals with the time that is left.
int pollUntil(int fd, short events, SteadyTime::time_point deadline, short& revents)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = ::poll(&p, 1, msUntil(deadline));
        if (rc < 0 && errno == EINTR)
            continue;
        if (rc < 0)
            return -1;
        if (rc == 0) {
            if (msUntil(deadline) > 0)
                continue;
            return 0;
        }
        revents = p.revents;
        return 1;
    }
}

SteadyTime::time_point deadlineAfter(int timeoutMs)
{
    return SteadyTime::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
}

class TcpClient final : public TcpIo {
public:
    ~TcpClient() override { close(); }

    bool connect(const std::string& ipv4, std::uint16_t port, int timeoutMs) override
    {
        close();
        target_ = ipv4 + ":" + std::to_string(port);

        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        if (::inet_pton(AF_INET, ipv4.c_str(), &address.sin_addr) != 1) {
            error_ = OsError{EINVAL, "connect", target_};
            return false;
        }

        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            error_ = lastOsError("socket", target_);
            return false;
        }
        const auto deadline = deadlineAfter(timeoutMs);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            if (errno != EINPROGRESS && errno != EINTR) {
                error_ = lastOsError("connect", target_);
                ::close(fd);
                return false;
            }
            short revents = 0;
            const int rc = pollUntil(fd, POLLOUT, deadline, revents);
            if (rc <= 0) {
                if (rc == 0)
                    errno = ETIMEDOUT;
                error_ = lastOsError("connect", target_);
                ::close(fd);
                return false;
            }
            int soError = 0;
            socklen_t size = sizeof soError;
            if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &size) != 0) {
                error_ = lastOsError("connect", target_);
                ::close(fd);
                return false;
            }
            if (soError != 0) {
                error_ = OsError{soError, "connect", target_};
                ::close(fd);
                return false;
            }
        }
        fd_ = fd;
        error_ = {};
        return true;
    }

    int send(const std::uint8_t* data, int length) override
    {
        if (!requireOpen("send"))
            return -1;
        if (length < 0 || (length > 0 && data == nullptr)) {
            error_ = OsError{EINVAL, "send", target_};
            return -1;
        }
        if (length == 0)
            return 0;
        const auto deadline = deadlineAfter(kSendWaitMs);
        for (;;) {
            const ssize_t r = ::send(fd_, data, static_cast<std::size_t>(length),
                                     MSG_NOSIGNAL | MSG_DONTWAIT);
            if (r >= 0)
                return static_cast<int>(r);
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                error_ = lastOsError("send", target_);
                return -1;
            }
            short revents = 0;
            const int rc = pollUntil(fd_, POLLOUT, deadline, revents);
            if (rc <= 0) {
                if (rc == 0)
                    errno = ETIMEDOUT;
                error_ = lastOsError("send", target_);
                return -1;
            }
            // Readiness or an error condition: the next send() tells which.
        }
    }

    int receive(std::uint8_t* buffer, int capacity, int timeoutMs) override
    {
        if (!requireOpen("receive"))
            return -1;
        if (capacity <= 0 || buffer == nullptr) {
            error_ = OsError{EINVAL, "receive", target_};
            return -1;
        }
        const auto deadline = deadlineAfter(timeoutMs);
        for (;;) {
            const ssize_t r = ::recv(fd_, buffer, static_cast<std::size_t>(capacity), MSG_DONTWAIT);
            if (r >= 0)
                return static_cast<int>(r); // 0: the peer closed its side
            if (errno == EINTR)
                continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) {
                error_ = lastOsError("receive", target_);
                return -1;
            }
            short revents = 0;
            const int rc = pollUntil(fd_, POLLIN, deadline, revents);
            if (rc <= 0) {
                if (rc == 0)
                    errno = ETIMEDOUT;
                error_ = lastOsError("receive", target_);
                return -1;
            }
        }
    }

    void close() override
    {
        if (fd_ < 0)
            return;
        ::close(fd_);
        fd_ = -1;
    }

    bool isOpen() const override { return fd_ >= 0; }
    OsError lastError() const override { return error_; }

private:
    bool requireOpen(const char* operation)
    {
        if (fd_ >= 0)
            return true;
        error_ = OsError{ENOTCONN, operation, target_};
        return false;
    }

    int fd_ = -1;
    std::string target_;
    OsError error_{};
};

} // namespace

std::unique_ptr<TcpIo> makeTcpClient()
{
    return std::make_unique<TcpClient>();
}

} // namespace platform
