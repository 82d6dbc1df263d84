#include "clock.h"

#include <chrono>

namespace simapp {

std::uint64_t SteadyClock::nowMs() const
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace simapp
