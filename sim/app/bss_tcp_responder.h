// The network board's access-point query over TCP, served beside the
// board's serial/USB link from the same loop. Loopback only (127.0.0.1): it
// exists for tests, and nothing outside this machine should reach it.
//
// One host at a time: it sends the bare 20-byte BSS_REQ message; once 20
// bytes are in, the board's answer (the raw BSS_RSP message) goes out and
// the connection is closed, or kept open with keepOpen until the host
// closes it, so the host has to end its receive on silence. A board silent
// on the query holds the connection without a byte. A request that stays
// incomplete for kRequestTimeoutMs, or a refused one, is closed unanswered.
#pragma once

#include "clock.h"
#include "server.h"
#include "tcp_link.h"

#include "sim/network_board.h"

#include <cstdint>
#include <string>

namespace simapp {

class BssTcpResponder final : public SideService {
public:
    static constexpr std::size_t kRequestSize = 20;
    static constexpr std::uint64_t kRequestTimeoutMs = 2000;

    BssTcpResponder(sim::NetworkBoard& board, bool keepOpen, const Clock& clock)
        : board_(board), keepOpen_(keepOpen), clock_(clock)
    {
    }

    // Listens on 127.0.0.1 `port` (0 picks a free one).
    bool listen(std::uint16_t port, std::string& error);
    std::uint16_t port() const { return link_.port(); }

    int pollFd() const override { return link_.pollFd(); }
    short pollEvents() const override;
    int timeoutMs() const override;
    bool service(short revents) override;

    bool hostAttached() const { return link_.hostAttached(); }

private:
    enum class Phase { Receiving, Sending, Holding };

    void drop();
    // False when the host is gone.
    bool readSome(bool& changed);
    bool sendPending();

    sim::NetworkBoard& board_;
    bool keepOpen_;
    const Clock& clock_;
    TcpLink link_;
    Phase phase_ = Phase::Receiving;
    std::string request_;
    std::string pending_;
    std::uint64_t acceptedMs_ = 0;
};

} // namespace simapp
