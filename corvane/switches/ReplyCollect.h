// The collect pattern of every command with a reply: after the command is
// written, pause; then read, append, wait 10 ms, until the reply is judged
// complete (or invalid), the buffer is full, or more than the limit has
// passed since the pause ended. Each read asks only for the room left in the
// fixed buffer (or, for a fixed-size reply, for the bytes still missing), so
// a printer that sends too much can never overrun anything.
#pragma once

#include "corvane/link/CDev.h"
#include "corvane/switches/TlvrReplies.h"
#include "platform/clock.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace corvane {

struct CollectPlan {
    std::uint32_t pauseMs = 0;
    std::size_t capacity = 0;       // the fixed buffer
    std::size_t readSize = 0;       // most bytes asked for by one read
    bool exact = false;             // a fixed-size reply of `capacity` bytes
    bool stopOnSilence = false;     // a read that brings nothing ends it
    std::uint64_t limitMs = 2000;
    std::uint32_t betweenReadsMs = 10;
};

struct Collected {
    std::vector<std::uint8_t> bytes;
    bool judged = false;            // the judge said Complete or Invalid
};

Collected CollectReply(CDev& port, platform::Clock& clock, const CollectPlan& plan,
                       const std::function<ReplyStatus(ReplyBytes)>& judge);

} // namespace corvane
