#include "udp_responder.h"

#include <arpa/inet.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace simapp {

bool udpBindAllowed(const std::string& address)
{
    in_addr a{};
    if (::inet_pton(AF_INET, address.c_str(), &a) != 1)
        return false;
    const std::uint32_t host = ntohl(a.s_addr);
    return (host >> 24) == 127 || address == "0.0.0.0";
}

bool UdpResponder::bind(const std::string& address, std::uint16_t port, std::string& error)
{
    if (!udpBindAllowed(address)) {
        error = "--udp-bind " + address + ": only 127.0.0.0/8 or 0.0.0.0";
        return false;
    }
    Fd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd.valid()) {
        error = std::string("socket: ") + std::strerror(errno);
        return false;
    }
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    ::inet_pton(AF_INET, address.c_str(), &local.sin_addr);
    if (::bind(fd.get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        error = "bind " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        return false;
    }
    socklen_t length = sizeof local;
    if (::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&local), &length) != 0) {
        error = std::string("getsockname: ") + std::strerror(errno);
        return false;
    }
    port_ = ntohs(local.sin_port);
    socket_ = std::move(fd);
    return true;
}

void UdpResponder::take(const std::string& datagram, const sockaddr_in& from)
{
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    const std::string source = std::string(text) + ":" + std::to_string(ntohs(from.sin_port));
    const std::uint64_t now = clock_.nowMs();
    for (sim::UdpSend& send : printers_.handle(datagram, source)) {
        if (pending_.size() >= kMaxPending)
            break;
        pending_.push_back({now + send.delayMs, order_++, from, std::move(send.bytes)});
    }
    recorder_.record(datagram, printers_.report());
}

int UdpResponder::sendDue()
{
    // Due time first; answers due together keep the order they were queued in.
    std::sort(pending_.begin(), pending_.end(), [](const Pending& a, const Pending& b) {
        return a.dueMs != b.dueMs ? a.dueMs < b.dueMs : a.order < b.order;
    });
    const std::uint64_t now = clock_.nowMs();
    std::size_t sent = 0;
    for (; sent < pending_.size() && pending_[sent].dueMs <= now; ++sent) {
        const Pending& p = pending_[sent];
        const ssize_t rc = ::sendto(socket_.get(), p.bytes.data(), p.bytes.size(), 0,
                                    reinterpret_cast<const sockaddr*>(&p.to), sizeof p.to);
        if (rc < 0 && !sendWarned_) {
            sendWarned_ = true;  // once: a gone host should not flood the log
            std::fprintf(stderr, "printer-sim: udp send: %s\n", std::strerror(errno));
        }
    }
    pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(sent));
    if (pending_.empty())
        return -1;
    return static_cast<int>(std::min<std::uint64_t>(pending_.front().dueMs - now, 1000));
}

int UdpResponder::run(int signalFd)
{
    std::string buffer(kReadSize, '\0');
    for (;;) {
        const int wait = sendDue();
        pollfd fds[2] = {{socket_.get(), POLLIN, 0}, {signalFd, POLLIN, 0}};
        const int rc = ::poll(fds, 2, wait < 0 ? 1000 : wait);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "printer-sim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if (fds[1].revents & POLLIN) {
            signalfd_siginfo info{};
            while (::read(signalFd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
                if (info.ssi_signo == SIGUSR1)
                    std::fputs(printers_.report().c_str(), stderr);
                else
                    return 0;
            }
        }
        if (fds[0].revents & POLLIN) {
            // A bounded number per wake-up, so a flood cannot starve the sends.
            for (int i = 0; i < 64; ++i) {
                sockaddr_in from{};
                socklen_t length = sizeof from;
                const ssize_t got = ::recvfrom(socket_.get(), buffer.data(), buffer.size(), 0,
                                               reinterpret_cast<sockaddr*>(&from), &length);
                if (got < 0)
                    break;
                take(buffer.substr(0, static_cast<std::size_t>(got)), from);
            }
        }
    }
}

} // namespace simapp
