// The manual clock, except that one pause, once armed, also lasts in real
// time, waiting the way every pause of the program waits (in slices, with
// the thread's wait hook between them): how window tests keep a phase busy
// long enough to press a key or close the window during it.
#pragma once

#include "platform/clock.h"
#include "platform/wait_hook.h"

#include <cstdint>
#include <functional>

namespace platform::testing {

class StallingClock final : public platform::Clock {
public:
    explicit StallingClock(platform::ManualClock& manual) : manual_(manual) {}
    std::uint64_t tickMs() override { return manual_.tickMs(); }
    void pauseMs(std::uint32_t ms) override
    {
        manual_.pauseMs(ms);
        if (stallMs_ == 0)
            return;
        const std::uint32_t stall = stallMs_;
        stallMs_ = 0;
        if (before)
            before();
        platform::sleepSliced(stall);
        if (after)
            after();
    }
    void stallNextPause(std::uint32_t ms) { stallMs_ = ms; }

    std::function<void()> before;
    std::function<void()> after;

private:
    platform::ManualClock& manual_;
    std::uint32_t stallMs_ = 0;
};

} // namespace platform::testing
