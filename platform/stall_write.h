// The stall rule, shared by the transports that write to a descriptor.
#pragma once

#include "platform/port.h"

#include <cstddef>
#include <string>

#include <sys/types.h>

namespace platform::detail {

struct StallWrite {
    int fd = -1;
    const char* operation = "write";
    std::string target;
    int stallTimeoutMs = kDefaultStallTimeoutMs;
    // Hands bytes to the kernel: ::write, ::send, ...; returns what write() does.
    ssize_t (*call)(int fd, const void* data, std::size_t length) = nullptr;
    // Bytes the kernel still holds for sending (TIOCOUTQ, SIOCOUTQ), or -1
    // when the device cannot tell; null when it never can.
    int (*queued)(int fd) = nullptr;
    // The error a descriptor reports through POLLERR (a socket's SO_ERROR);
    // null: EIO.
    int (*pendingError)(int fd) = nullptr;
};

// Writes all of `data`, then waits for the output queue to drain, failing
// once nothing moved for the stall bound. The result counts the bytes that
// left (written less what is still queued). Every wait goes through the
// wait hook; a stop request ends it with EINTR.
IoResult writeUnderStallRule(const StallWrite& how, const std::uint8_t* data, int length);

} // namespace platform::detail
