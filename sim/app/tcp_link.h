// A listening TCP socket the simulator serves on, one host at a time: the
// next one waits in the backlog until the current one has gone.
#pragma once

#include "fd.h"
#include "link.h"

#include <cstdint>
#include <string>

namespace simapp {

class TcpLink final : public Link {
public:
    // Binds `address` (numeric IPv4 or IPv6) and listens. `receiveBuffer`
    // (bytes, 0 for the default) is set before listening, so accepted
    // connections inherit it and advertise a window that small. On failure
    // returns false with a message in `error`.
    bool listen(const std::string& address, std::uint16_t port, int receiveBuffer, std::string& error);

    std::uint16_t port() const { return port_; }

    const char* name() const override { return "the client"; }
    int pollFd() const override { return client_.valid() ? client_.get() : listener_.get(); }
    bool hostAttached() const override { return client_.valid(); }
    IoResult acceptHost() override;
    IoResult read(char* buffer, std::size_t size) override;
    IoResult write(std::string_view bytes) override;
    short hangupEvents() const override;
    bool hostsComeAndGo() const override { return true; }
    void dropHost() override { client_.reset(); }

private:
    Fd listener_;
    Fd client_;
    std::uint16_t port_ = 0;
};

} // namespace simapp
