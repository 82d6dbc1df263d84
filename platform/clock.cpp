#include "platform/clock.h"

#include "platform/wait_hook.h"

#include <chrono>
#include <thread>

namespace platform {

std::uint64_t SteadyClock::tickMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SteadyClock::pauseMs(std::uint32_t ms)
{
    // A window waiting on this pause keeps painting.
    sleepSliced(ms);
}

Clock& systemClock()
{
    static SteadyClock clock;
    return clock;
}

} // namespace platform
