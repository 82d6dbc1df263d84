// The one contract every transport to a printer keeps: serial tty, USB
// printer device, TCP (and, as they come, parallel and UDP).
//
// A read or write returns an IoResult: how many bytes moved, and how the call
// ended: complete, time-out, the peer closed, or an error, with the OS reason.
//
// Writes follow one stall rule on every transport: a write goes on as long as
// the device keeps accepting data, and fails once it has accepted nothing for
// the stall bound (bytes taken by write(), or the kernel's output queue
// getting shorter, both count as progress). A write reports its bytes only
// once they have left this machine (the output queue has drained), so closing
// right after a transfer never throws away its tail.
//
// Reads wait at most the port's read time-out (the serial port refines this
// with its interval/total model).
#pragma once

#include "platform/os_error.h"

#include <cstdint>
#include <string>

namespace platform {

// Printers may hold flow control off for tens of seconds while they erase
// flash; a minute without progress means they have stopped.
inline constexpr int kDefaultStallTimeoutMs = 60000;
// What a TCP or USB read waits when nobody set a read time-out.
inline constexpr int kDefaultReadTimeoutMs = 1000;

enum class IoEnd {
    Complete, // a write: every byte left; a read: bytes arrived
    Timeout,  // the bound passed (a write: the stall bound)
    Closed,   // the peer closed its side
    Error,    // the device or the call failed
};

struct IoResult {
    int bytes = 0;
    IoEnd end = IoEnd::Complete;
    OsError error; // set unless end == Complete

    bool complete() const { return end == IoEnd::Complete; }
};

// Where a port is opened: a device path or port name (serial, USB), or a
// dotted IPv4 address with a port number (TCP).
struct Endpoint {
    std::string address;
    std::uint16_t port = 0;
    int connectTimeoutMs = 10000;
};

class SerialPort;

class Port {
public:
    virtual ~Port() = default;

    virtual DeviceKind kind() const = 0;
    virtual bool open(const Endpoint& where) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // Writes all of `data` under the stall rule.
    virtual IoResult write(const std::uint8_t* data, int length) = 0;
    // Reads what arrives, up to `capacity`, within the read time-out.
    virtual IoResult read(std::uint8_t* buffer, int capacity) = 0;

    virtual void setReadTimeoutMs(int ms) = 0;
    // Non-positive values mean the default bound.
    void setStallTimeoutMs(int ms) { stallTimeoutMs_ = ms > 0 ? ms : kDefaultStallTimeoutMs; }
    int stallTimeoutMs() const { return stallTimeoutMs_; }

    // The reason of the last failed call.
    virtual OsError lastError() const = 0;

    // The serial line operations, when this port is a serial line.
    virtual SerialPort* asSerial() { return nullptr; }

private:
    int stallTimeoutMs_ = kDefaultStallTimeoutMs;
};

// "the printer stopped accepting data for 60 s" (sub-second bounds as
// "0.3 s").
std::string stallReason(int stallTimeoutMs);
// The error a write ends with when the stall bound passes.
OsError stallError(const std::string& operation, const std::string& target, int stallTimeoutMs);

} // namespace platform
