// The simulated network boards on UDP: one socket on a loopback address (or
// 0.0.0.0 when asked for explicitly, so a broadcast to 127.255.255.255
// reaches it), every answer sent unicast to the request's source after its
// delay. Served in its own loop until a terminating signal.
#pragma once

#include "clock.h"
#include "fd.h"
#include "recorder.h"

#include "sim/udp_printers.h"

#include <netinet/in.h>

#include <cstdint>
#include <string>
#include <vector>

namespace simapp {

class UdpResponder {
public:
    // Datagrams are read up to this many bytes; longer ones are cut.
    static constexpr std::size_t kReadSize = 4096;
    // Answers waiting for their delay beyond this many are dropped.
    static constexpr std::size_t kMaxPending = 4096;

    UdpResponder(sim::UdpPrinters& printers, Recorder& recorder, const Clock& clock)
        : printers_(printers), recorder_(recorder), clock_(clock)
    {
    }

    // Binds `address` (127.0.0.0/8, or exactly 0.0.0.0) and `port` (0: a
    // free one).
    bool bind(const std::string& address, std::uint16_t port, std::string& error);
    std::uint16_t port() const { return port_; }

    // Serves until SIGTERM, SIGINT or SIGHUP arrives on `signalFd`. Returns
    // the exit status.
    int run(int signalFd);

    // One received datagram: records it and queues the answers.
    void take(const std::string& datagram, const sockaddr_in& from);
    // Sends what is due; returns the wait until the next one (-1: none).
    int sendDue();

private:
    struct Pending {
        std::uint64_t dueMs;
        std::uint64_t order;
        sockaddr_in to;
        std::string bytes;
    };

    sim::UdpPrinters& printers_;
    Recorder& recorder_;
    const Clock& clock_;
    Fd socket_;
    std::uint16_t port_ = 0;
    std::vector<Pending> pending_;
    std::uint64_t order_ = 0;
    bool sendWarned_ = false;
};

// True for a dotted address in 127.0.0.0/8 or exactly "0.0.0.0".
bool udpBindAllowed(const std::string& address);

} // namespace simapp
