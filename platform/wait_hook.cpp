#include "platform/wait_hook.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace platform {
namespace {

thread_local WaitHook t_hook;
std::atomic<bool> g_interrupt{false};

using SteadyTime = std::chrono::steady_clock;

} // namespace

int msUntil(SteadyTime::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyTime::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, 1 << 30));
}

WaitHook setWaitHook(WaitHook hook)
{
    WaitHook previous = std::move(t_hook);
    t_hook = std::move(hook);
    return previous;
}

bool hasWaitHook()
{
    return static_cast<bool>(t_hook);
}

void runWaitHook()
{
    if (t_hook)
        t_hook();
}

void requestInterrupt()
{
    g_interrupt.store(true, std::memory_order_relaxed);
}

bool interruptRequested()
{
    return g_interrupt.load(std::memory_order_relaxed);
}

int pollSliced(pollfd* fds, nfds_t count, int timeoutMs)
{
    const auto deadline = SteadyTime::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    for (;;) {
        // A stop that arrived between two waits must not sit out this one.
        if (interruptRequested()) {
            errno = EINTR;
            return -1;
        }
        const int left = msUntil(deadline);
        const bool sliced = hasWaitHook();
        const int wait = sliced ? std::min(left, kWaitSliceMs) : left;
        const int rc = ::poll(fds, count, wait);
        if (rc < 0 && errno == EINTR) {
            if (interruptRequested())
                return -1;
            continue;
        }
        if (rc != 0 || left <= wait)
            return rc;
        runWaitHook();
        if (interruptRequested()) {
            errno = EINTR;
            return -1;
        }
    }
}

void sleepSliced(std::uint32_t ms)
{
    const auto deadline = SteadyTime::now() + std::chrono::milliseconds(ms);
    for (;;) {
        const int left = msUntil(deadline);
        if (left <= 0)
            return;
        const int wait = hasWaitHook() ? std::min(left, kWaitSliceMs) : left;
        std::this_thread::sleep_for(std::chrono::milliseconds(wait));
        if (left > wait)
            runWaitHook();
    }
}

} // namespace platform
