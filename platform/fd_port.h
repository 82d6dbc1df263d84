// What every transport that talks through one file descriptor keeps: the
// descriptor, the device path or address it is on, the last error, and the
// small steps a call takes to refuse or to record a failure. Each transport
// still opens, reads, writes and closes in its own way.
#pragma once

#include "platform/port.h"
#include "platform/stall_write.h"

#include <algorithm>
#include <cerrno>
#include <string>

namespace platform::detail {

// Base is Port, or SerialPort for the serial line.
template <class Base>
class FdPort : public Base {
public:
    bool isOpen() const override { return fd_ >= 0; }
    OsError lastError() const override { return error_; }

protected:
    // `notOpenCode` is what a call on a closed port reports: EBADF for a
    // device node, ENOTCONN for a socket, as the OS itself would.
    explicit FdPort(int notOpenCode) : notOpenCode_(notOpenCode) {}

    bool requireOpen(const char* operation)
    {
        if (fd_ >= 0)
            return true;
        error_ = OsError{notOpenCode_, operation, target_};
        return false;
    }

    // A call that moved nothing, ending with the error already kept.
    IoResult failed() const { return IoResult{0, IoEnd::Error, error_}; }

    // Keeps the reason of a call that did not complete.
    IoResult keep(IoResult result)
    {
        if (!result.complete())
            error_ = result.error;
        return result;
    }

    // Keeps `code` for `operation` and ends the call with nothing moved:
    // ETIMEDOUT as a time-out, anything else as an error.
    IoResult fail(const char* operation, int code)
    {
        error_ = OsError{code, operation, target_};
        return IoResult{0, code == ETIMEDOUT ? IoEnd::Timeout : IoEnd::Error, error_};
    }

    // Writes all of `data` under the stall rule with the transport's own
    // system call, queue probe and pending-error probe (either may be null),
    // and keeps the reason if it did not complete.
    IoResult writeUnderStall(const std::uint8_t* data, int length,
                             decltype(StallWrite::call) call, decltype(StallWrite::queued) queued = nullptr,
                             decltype(StallWrite::pendingError) pendingError = nullptr)
    {
        StallWrite how;
        how.fd = fd_;
        how.target = target_;
        how.stallTimeoutMs = this->stallTimeoutMs();
        how.call = call;
        how.queued = queued;
        how.pendingError = pendingError;
        return keep(writeUnderStallRule(how, data, length));
    }

    int fd_ = -1;
    std::string target_;
    OsError error_{};

private:
    int notOpenCode_;
};

// A descriptor port whose reads wait one plain bound (TCP, USB); the serial
// line has its own interval/total model instead.
class PlainFdPort : public FdPort<Port> {
public:
    void setReadTimeoutMs(int ms) override { readTimeoutMs_ = std::max(ms, 0); }

protected:
    using FdPort::FdPort;

    int readTimeoutMs_ = kDefaultReadTimeoutMs;
};

} // namespace platform::detail
