#include "tcp_link.h"

#include <poll.h>

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace simapp {

bool TcpLink::listen(const std::string& address, std::uint16_t port, int receiveBuffer, std::string& error)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int rc = ::getaddrinfo(address.c_str(), service.c_str(), &hints, &found); rc != 0) {
        error = "bad bind address '" + address + "': " + ::gai_strerror(rc);
        return false;
    }
    int lastErr = 0;
    const char* lastStep = "socket";
    for (addrinfo* ai = found; ai != nullptr; ai = ai->ai_next) {
        Fd fd(::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol));
        if (!fd.valid()) {
            lastErr = errno;
            lastStep = "socket";
            continue;
        }
        const int on = 1;
        ::setsockopt(fd.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (receiveBuffer > 0 &&
            ::setsockopt(fd.get(), SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer) != 0) {
            lastErr = errno;
            lastStep = "SO_RCVBUF";
            continue;
        }
        if (::bind(fd.get(), ai->ai_addr, ai->ai_addrlen) != 0) {
            lastErr = errno;
            lastStep = "bind";
            continue;
        }
        if (::listen(fd.get(), 8) != 0) {
            lastErr = errno;
            lastStep = "listen";
            continue;
        }
        sockaddr_storage bound{};
        socklen_t len = sizeof bound;
        if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&bound), &len) != 0) {
            lastErr = errno;
            lastStep = "getsockname";
            continue;
        }
        in_port_t netPort = 0;
        if (bound.ss_family == AF_INET6)
            netPort = reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port;
        else
            netPort = reinterpret_cast<const sockaddr_in*>(&bound)->sin_port;
        port_ = ntohs(netPort);
        listener_ = std::move(fd);
        ::freeaddrinfo(found);
        return true;
    }
    ::freeaddrinfo(found);
    error = std::string(lastStep) + " " + address + " port " + service + ": " + std::strerror(lastErr);
    return false;
}

IoResult TcpLink::acceptHost()
{
    Fd client(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!client.valid()) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED)
            return IoResult::wouldBlock();
        return IoResult::failed(errno);
    }
    // Replies are small and a host waits for each; do not hold them back.
    const int on = 1;
    ::setsockopt(client.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    client_ = std::move(client);
    return IoResult::ok(0);
}

IoResult TcpLink::read(char* buffer, std::size_t size)
{
    const ssize_t n = ::recv(client_.get(), buffer, size, 0);
    if (n > 0)
        return IoResult::ok(static_cast<std::size_t>(n));
    if (n == 0)
        return IoResult::closed();
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return IoResult::wouldBlock();
    return errno == ECONNRESET ? IoResult::closed() : IoResult::failed(errno);
}

IoResult TcpLink::write(std::string_view bytes)
{
    const ssize_t n = ::send(client_.get(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n >= 0)
        return IoResult::ok(static_cast<std::size_t>(n));
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return IoResult::wouldBlock();
    return (errno == EPIPE || errno == ECONNRESET) ? IoResult::closed() : IoResult::failed(errno);
}

short TcpLink::hangupEvents() const
{
    // Reported once the host has shut its side down, even with its last
    // bytes still unread in our receive buffer.
    return POLLRDHUP;
}

} // namespace simapp
