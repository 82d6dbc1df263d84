#include "platform/port.h"

#include <cerrno>
#include <cstdio>

namespace platform {

std::string stallReason(int stallTimeoutMs)
{
    const int ms = stallTimeoutMs > 0 ? stallTimeoutMs : kDefaultStallTimeoutMs;
    std::string seconds;
    if (ms % 1000 == 0) {
        seconds = std::to_string(ms / 1000);
    } else {
        // Short bounds (tests, impatient scripts) keep their fraction: "0.3".
        char text[32];
        std::snprintf(text, sizeof text, "%d.%03d", ms / 1000, ms % 1000);
        seconds = text;
        while (seconds.back() == '0')
            seconds.pop_back();
    }
    return "the printer stopped accepting data for " + seconds + " s";
}

OsError stallError(const std::string& operation, const std::string& target, int stallTimeoutMs)
{
    return OsError{ETIMEDOUT, operation, target, stallReason(stallTimeoutMs)};
}

} // namespace platform
