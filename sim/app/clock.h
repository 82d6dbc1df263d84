// Where the serving logic reads the time. The program uses the steady clock;
// tests use a manual clock, so delays and time-outs cost no real time.
#pragma once

#include <cstdint>

namespace simapp {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary start; never goes back.
    virtual std::uint64_t nowMs() const = 0;
};

class SteadyClock final : public Clock {
public:
    std::uint64_t nowMs() const override;
};

} // namespace simapp
