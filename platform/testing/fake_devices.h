// A scripted fake printer that can stand behind any port kind.
//
// Written bytes are recorded; replies are queued as chunks that become
// readable at a virtual time. A read that finds nothing ready advances the
// manual clock by the time the real device would have waited (the serial
// total time-out, or the read time-out for TCP/IP and USB), so silent-printer
// timings can be checked without real waiting. A stalled printer advances it
// by the port's stall bound, as the real write would have waited.
#pragma once

#include "platform/clock.h"
#include "platform/devices.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace platform::testing {

using Bytes = std::vector<std::uint8_t>;

Bytes bytesOf(const std::string& text, bool withNul = false);

struct Chunk {
    std::uint64_t readyAtMs = 0;
    Bytes data;
};

struct FakePrinter {
    explicit FakePrinter(platform::ManualClock& c) : clock(c) {}

    platform::ManualClock& clock;

    // Queues a reply chunk readable `delayMs` after now.
    void reply(const Bytes& data, std::uint64_t delayMs = 0);
    // Called with every write's bytes (after recording); may queue replies.
    std::function<void(const Bytes&)> onWrite;

    // What happened.
    Bytes written;
    std::vector<Bytes> writes;         // one entry per write call
    std::vector<std::uint64_t> writeTimes;
    std::vector<int> readCapacities;
    int boundedWrites = 0;             // serial writes under the line's write time-outs
    int openAttempts = 0;
    int opens = 0;                     // successful
    int closes = 0;
    int purges = 0;
    std::string openedName;
    platform::SerialLine line;
    platform::SerialTimeouts timeouts;
    std::vector<platform::SerialTimeouts> timeoutHistory;
    int readTimeoutMs = platform::kDefaultReadTimeoutMs; // TCP/IP and USB
    int stallTimeoutMs = 0;            // the port's stall bound at the last write
    std::string tcpHost;
    std::uint16_t tcpPort = 0;
    int tcpConnectTimeoutMs = 0;

    // Knobs.
    int failOpens = 0;                 // this many opens fail first
    int openErrno = 2;                 // ENOENT
    bool configureFails = false;
    bool modemStatusFails = false;
    bool dsr = true;
    bool probeFails = false;           // the serial probe byte fails
    int writeLimit = -1;               // >= 0: at most this many bytes per write, then EIO
    bool stalled = false;              // takes no byte: writes fail after the stall bound
    bool connectFails = false;
    bool peerClosed = false;           // TCP: once the replies are read, the peer has closed
    std::uint8_t parallelStatus = 0x80; // parallel: the status byte the port reports
    bool statusFails = false;          // parallel: the status request fails
    // USB: the device node is gone (unplugged): reads and writes fail with
    // ENODEV and opens with ENOENT until it is cleared.
    bool deviceGone = false;
    int tcpAccept = -1;                // TCP: >= 0: at most this many bytes per write, the rest refused

    std::deque<Chunk> pending;
    bool isOpen = false;

    // Takes ready bytes (up to cap) after the device waited at most waitMs;
    // advances the clock as the device would have.
    int take(std::uint8_t* buffer, int capacity, std::uint64_t waitMs, std::uint64_t afterDataMs);
};

class FakeDevices final : public platform::Devices {
public:
    explicit FakeDevices(FakePrinter& printer, std::string devRoot = "/dev")
        : printer_(printer), devRoot_(std::move(devRoot)) {}
    std::unique_ptr<platform::Port> makePort(platform::DeviceKind kind) override;
    platform::DeviceRoots roots() override { return {"/sys", devRoot_}; }

private:
    FakePrinter& printer_;
    std::string devRoot_;
};

} // namespace platform::testing
