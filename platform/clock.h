// Time source for everything that waits or measures elapsed time.
//
// Production code uses SteadyClock. Unit tests use ManualClock, whose pauses
// advance virtual time at once, so fixed waits cost no real time.
#pragma once

#include <cstdint>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes backwards.
    virtual std::uint64_t tickMs() = 0;
    // Blocks the caller for `ms` milliseconds (virtual time on a manual clock).
    virtual void pauseMs(std::uint32_t ms) = 0;
};

class SteadyClock final : public Clock {
public:
    std::uint64_t tickMs() override;
    void pauseMs(std::uint32_t ms) override;
};

class ManualClock final : public Clock {
public:
    explicit ManualClock(std::uint64_t startMs = 0) : now_(startMs) {}
    std::uint64_t tickMs() override { return now_; }
    void pauseMs(std::uint32_t ms) override { now_ += ms; }
    void advance(std::uint64_t ms) { now_ += ms; }

private:
    std::uint64_t now_;
};

// The process-wide steady clock.
Clock& systemClock();

} // namespace platform
