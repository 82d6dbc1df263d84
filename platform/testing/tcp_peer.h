// A printer on the loopback interface for TCP tests: a listener on
// 127.0.0.1 at a free port, and one accepted connection served in a thread.
#pragma once

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace platform::testing {

class TcpPeer {
public:
    // `receiveBuffer` > 0 shrinks the accepted socket's receive buffer, so
    // the client's data waits on this end rather than in kernel buffers.
    explicit TcpPeer(int receiveBuffer = 0)
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener_ < 0) {
            ADD_FAILURE() << "socket failed";
            return;
        }
        if (receiveBuffer > 0)
            ::setsockopt(listener_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
            || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0
            || ::listen(listener_, 4) != 0) {
            ADD_FAILURE() << "cannot listen on loopback";
            return;
        }
        port_ = ntohs(address.sin_port);
    }
    ~TcpPeer()
    {
        join();
        if (listener_ >= 0)
            ::close(listener_);
    }
    TcpPeer(const TcpPeer&) = delete;
    TcpPeer& operator=(const TcpPeer&) = delete;

    std::uint16_t port() const { return port_; }

    // Accepts one connection in a thread, runs `serve` on it, then closes it.
    void serve(std::function<void(int fd)> serve)
    {
        join();
        thread_ = std::thread([this, serve = std::move(serve)] {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 10000) != 1)
                return;
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                return;
            serve(fd);
            ::close(fd);
        });
    }

    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

} // namespace platform::testing
