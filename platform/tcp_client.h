// IPv4 TCP client connection.
#pragma once

#include "platform/os_error.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

class TcpIo {
public:
    virtual ~TcpIo() = default;
    // Connects to a dotted IPv4 address; gives up after timeoutMs.
    virtual bool connect(const std::string& ipv4, std::uint16_t port, int timeoutMs) = 0;
    // Result of one send: bytes sent, -1 on error.
    virtual int send(const std::uint8_t* data, int length) = 0;
    // Bytes received (> 0), 0 when the peer closed, -1 on error or when
    // nothing arrived within timeoutMs.
    virtual int receive(std::uint8_t* buffer, int capacity, int timeoutMs) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual OsError lastError() const = 0;
};

std::unique_ptr<TcpIo> makeTcpClient();

} // namespace platform
