// IPv4 UDP socket for discovery and for datagram exchanges with network
// boards.
//
// - bind(): an address and local port, with SO_BROADCAST on and NO address
//   sharing (neither SO_REUSEADDR nor SO_REUSEPORT): a local port that another
//   program holds fails with the OS reason (EADDRINUSE) instead of silently
//   splitting the answers between two sockets.
// - send(): one datagram to an address and port; with an interface index the
//   datagram leaves through that interface (IP_PKTINFO on sendmsg), which is
//   how a limited broadcast (255.255.255.255) reaches every interface rather
//   than only the one the routing table picks. No privileges are needed.
// - receive(): one whole datagram with its source, waiting at most the given
//   time. A datagram longer than the buffer is cut to the buffer and reported
//   as truncated, with its full length (MSG_TRUNC).
// - fd(): pollable for reading, for a GUI socket notifier; receive(…, 0) then
//   takes what is ready without waiting.
//
// The socket is non-blocking for its whole life; every wait is a sliced poll
// with a bound (platform/wait_hook.h).
#pragma once

#include "platform/os_error.h"
#include "platform/port.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// An IPv4 address, first octet first (as written "a.b.c.d").
struct Ipv4Address {
    std::array<std::uint8_t, 4> octets{};

    static constexpr Ipv4Address any() { return {}; }
    static constexpr Ipv4Address broadcast() { return {{255, 255, 255, 255}}; }
    static constexpr Ipv4Address loopback() { return {{127, 0, 0, 1}}; }

    // Strict dotted quad: four decimal numbers 0..255, nothing else.
    static std::optional<Ipv4Address> parse(std::string_view text);
    std::string text() const;

    // Host-order value, for mask arithmetic.
    std::uint32_t value() const;
    static Ipv4Address fromValue(std::uint32_t hostOrder);

    bool isAny() const { return value() == 0; }
    bool isLoopbackNet() const { return octets[0] == 127; }

    friend bool operator==(const Ipv4Address&, const Ipv4Address&) = default;
};

struct UdpEndpoint {
    Ipv4Address address;
    std::uint16_t port = 0;

    std::string text() const; // "a.b.c.d:port"
    friend bool operator==(const UdpEndpoint&, const UdpEndpoint&) = default;
};

// What one receive() gave.
struct UdpReceived {
    IoResult io;           // bytes copied into the buffer; Timeout when none came
    UdpEndpoint from;      // the sender, when io.complete()
    bool truncated = false; // the datagram was longer than the buffer
    int fullLength = 0;     // its length on the wire
};

// A send's wait for room in the socket's queue before it gives up.
inline constexpr int kUdpSendTimeoutMs = 1000;

class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;

    // Closes any previous socket first. Port 0 takes a free port.
    bool bind(const UdpEndpoint& local);
    void close();
    bool isOpen() const { return fd_ >= 0; }

    // -1 when closed.
    int fd() const { return fd_; }
    // The bound address and port (the chosen one after binding port 0).
    UdpEndpoint local() const { return local_; }

    // One datagram. interfaceIndex 0 leaves the choice to the routing table.
    IoResult send(const UdpEndpoint& to, const std::uint8_t* data, int length, unsigned interfaceIndex = 0);

    // Waits up to timeoutMs (0: only what is ready now) for one datagram and
    // copies at most `capacity` bytes of it.
    UdpReceived receive(std::uint8_t* buffer, int capacity, int timeoutMs);

    OsError lastError() const { return error_; }

private:
    IoResult fail(const char* operation, const std::string& target, int code);

    int fd_ = -1;
    UdpEndpoint local_;
    OsError error_;
};

} // namespace platform
