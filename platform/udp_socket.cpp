// IPv4 UDP socket: bind without sharing, send out of a chosen interface,
// bounded receive of whole datagrams.
#include "platform/udp_socket.h"

#include "platform/wait_hook.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform {
namespace {

using SteadyTime = std::chrono::steady_clock;

sockaddr_in toSockaddr(const UdpEndpoint& endpoint)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(endpoint.port);
    address.sin_addr.s_addr = htonl(endpoint.address.value());
    return address;
}

UdpEndpoint fromSockaddr(const sockaddr_in& address)
{
    return UdpEndpoint{Ipv4Address::fromValue(ntohl(address.sin_addr.s_addr)), ntohs(address.sin_port)};
}

// 1 ready, 0 time-out, -1 error or stop request (errno set).
int waitFor(int fd, short events, SteadyTime::time_point deadline)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int rc = pollSliced(&p, 1, msUntil(deadline));
        if (rc < 0)
            return -1;
        if (rc > 0)
            return 1;
        if (msUntil(deadline) <= 0)
            return 0;
    }
}

} // namespace

std::optional<Ipv4Address> Ipv4Address::parse(std::string_view text)
{
    Ipv4Address result;
    std::size_t at = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (at >= text.size() || text[at] != '.')
                return std::nullopt;
            ++at;
        }
        int value = 0;
        std::size_t digits = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 4) {
            value = value * 10 + (text[at] - '0');
            ++at;
            ++digits;
        }
        if (digits == 0 || digits > 3 || value > 255)
            return std::nullopt;
        result.octets[static_cast<std::size_t>(part)] = static_cast<std::uint8_t>(value);
    }
    if (at != text.size())
        return std::nullopt;
    return result;
}

std::string Ipv4Address::text() const
{
    return std::to_string(octets[0]) + "." + std::to_string(octets[1]) + "." + std::to_string(octets[2]) + "." +
           std::to_string(octets[3]);
}

std::uint32_t Ipv4Address::value() const
{
    return (std::uint32_t{octets[0]} << 24) | (std::uint32_t{octets[1]} << 16) | (std::uint32_t{octets[2]} << 8) |
           std::uint32_t{octets[3]};
}

Ipv4Address Ipv4Address::fromValue(std::uint32_t v)
{
    return Ipv4Address{{static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                        static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)}};
}

std::string UdpEndpoint::text() const
{
    return address.text() + ":" + std::to_string(port);
}

UdpSocket::~UdpSocket()
{
    close();
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), local_(other.local_), error_(std::move(other.error_))
{
}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept
{
    if (this != &other) {
        close();
        fd_ = std::exchange(other.fd_, -1);
        local_ = other.local_;
        error_ = std::move(other.error_);
    }
    return *this;
}

IoResult UdpSocket::fail(const char* operation, const std::string& target, int code)
{
    error_ = OsError{code, operation, target};
    return IoResult{0, code == ETIMEDOUT ? IoEnd::Timeout : IoEnd::Error, error_};
}

bool UdpSocket::bind(const UdpEndpoint& local)
{
    close();
    const std::string target = local.text();
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error_ = lastOsError("socket", target);
        return false;
    }
    // Broadcast must be allowed explicitly; address sharing stays off on
    // purpose, so a held port is an error the technician sees.
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
        error_ = lastOsError("setsockopt SO_BROADCAST", target);
        ::close(fd);
        return false;
    }
    const sockaddr_in address = toSockaddr(local);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        error_ = lastOsError("bind", target);
        ::close(fd);
        return false;
    }
    sockaddr_in bound{};
    socklen_t size = sizeof bound;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size) != 0) {
        error_ = lastOsError("getsockname", target);
        ::close(fd);
        return false;
    }
    fd_ = fd;
    local_ = fromSockaddr(bound);
    error_ = {};
    return true;
}

void UdpSocket::close()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

IoResult UdpSocket::send(const UdpEndpoint& to, const std::uint8_t* data, int length, unsigned interfaceIndex)
{
    const std::string target = to.text();
    if (fd_ < 0)
        return fail("send", target, ENOTCONN);
    if (length < 0 || (length > 0 && data == nullptr))
        return fail("send", target, EINVAL);

    sockaddr_in address = toSockaddr(to);
    iovec piece{const_cast<std::uint8_t*>(data), static_cast<std::size_t>(length)};
    msghdr message{};
    message.msg_name = &address;
    message.msg_namelen = sizeof address;
    message.msg_iov = &piece;
    message.msg_iovlen = 1;

    alignas(cmsghdr) unsigned char control[CMSG_SPACE(sizeof(in_pktinfo))] = {};
    if (interfaceIndex != 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* header = CMSG_FIRSTHDR(&message);
        header->cmsg_level = IPPROTO_IP;
        header->cmsg_type = IP_PKTINFO;
        header->cmsg_len = CMSG_LEN(sizeof(in_pktinfo));
        in_pktinfo info{};
        info.ipi_ifindex = static_cast<int>(interfaceIndex);
        std::memcpy(CMSG_DATA(header), &info, sizeof info);
    }

    const auto deadline = SteadyTime::now() + std::chrono::milliseconds(kUdpSendTimeoutMs);
    for (;;) {
        const ssize_t sent = ::sendmsg(fd_, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent >= 0) {
            error_ = {};
            return IoResult{static_cast<int>(sent), IoEnd::Complete, {}};
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            return fail("send", target, errno);
        const int rc = waitFor(fd_, POLLOUT, deadline);
        if (rc == 0)
            return fail("send", target, ETIMEDOUT);
        if (rc < 0)
            return fail("send", target, errno);
    }
}

UdpReceived UdpSocket::receive(std::uint8_t* buffer, int capacity, int timeoutMs)
{
    UdpReceived result;
    const std::string target = local_.text();
    if (fd_ < 0) {
        result.io = fail("receive", target, ENOTCONN);
        return result;
    }
    if (capacity <= 0 || buffer == nullptr) {
        result.io = fail("receive", target, EINVAL);
        return result;
    }
    const auto deadline = SteadyTime::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        sockaddr_in source{};
        socklen_t size = sizeof source;
        // MSG_TRUNC makes the call return the datagram's full length even
        // though only `capacity` bytes are copied.
        const ssize_t got = ::recvfrom(fd_, buffer, static_cast<std::size_t>(capacity), MSG_DONTWAIT | MSG_TRUNC,
                                       reinterpret_cast<sockaddr*>(&source), &size);
        if (got >= 0) {
            result.fullLength = static_cast<int>(got);
            result.truncated = got > capacity;
            result.io = IoResult{static_cast<int>(std::min<ssize_t>(got, capacity)), IoEnd::Complete, {}};
            result.from = fromSockaddr(source);
            error_ = {};
            return result;
        }
        if (errno == EINTR)
            continue;
        // A refused earlier send (ICMP port unreachable) is reported on the
        // next call; it says nothing about the datagrams still to come.
        if (errno == ECONNREFUSED)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            result.io = fail("receive", target, errno);
            return result;
        }
        const int rc = waitFor(fd_, POLLIN, deadline);
        if (rc == 0) {
            result.io = fail("receive", target, ETIMEDOUT);
            return result;
        }
        if (rc < 0) {
            result.io = fail("receive", target, errno);
            return result;
        }
    }
}

} // namespace platform
