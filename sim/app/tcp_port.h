// A listening TCP socket the simulator serves on.
#pragma once

#include "fd.h"

#include <cstdint>
#include <string>

namespace simapp {

class TcpPort {
public:
    // Binds `address` (numeric IPv4 or IPv6) and listens. On failure returns
    // false with a message in `error`.
    bool listen(const std::string& address, std::uint16_t port, std::string& error);

    int listenFd() const { return listener_.get(); }
    std::uint16_t port() const { return port_; }

    // A pending client, non-blocking; an invalid Fd if none is waiting.
    Fd accept();

private:
    Fd listener_;
    std::uint16_t port_ = 0;
};

} // namespace simapp
