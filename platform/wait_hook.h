// Waiting without freezing a window.
//
// Every blocking wait of the platform layer (a device poll, a Clock pause)
// goes through pollSliced() or sleepSliced(). On a thread without a wait
// hook they wait in one piece. On a thread with one (a GUI thread: the Qt
// front end installs a hook that paints but delivers no user input) they
// wait in slices of at most kWaitSliceMs and run the hook between slices, so
// the window keeps painting through a 60 s stall while a click still waits
// for the running phase to end.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

#include <poll.h>

namespace platform {

inline constexpr int kWaitSliceMs = 50;

// Milliseconds from now until `deadline`, rounded up, 0 once it has passed:
// what a bounded poll() is given.
int msUntil(std::chrono::steady_clock::time_point deadline);

using WaitHook = std::function<void()>;

// Installs `hook` for the calling thread (empty removes it); returns the
// previous one so a scope can restore it.
WaitHook setWaitHook(WaitHook hook);
bool hasWaitHook();
// Runs the calling thread's hook, if any.
void runWaitHook();

// poll() on `fds` for at most `timeoutMs` (negative counts as 0: every wait
// is bounded). Restarts after signals with the time that is left, unless
// interruptRequested() says the program is being stopped, in which case it
// returns -1 with errno EINTR. Otherwise returns what poll() returns.
int pollSliced(pollfd* fds, nfds_t count, int timeoutMs);

// Sleeps `ms` milliseconds in the same slices.
void sleepSliced(std::uint32_t ms);

// Set by a front end's signal handling when the program is to stop: blocking
// waits then end early so the port can be released.
void requestInterrupt();
bool interruptRequested();

// Scoped hook: installs on construction, restores the previous on exit.
class ScopedWaitHook {
public:
    explicit ScopedWaitHook(WaitHook hook) : previous_(setWaitHook(std::move(hook))) {}
    ~ScopedWaitHook() { setWaitHook(std::move(previous_)); }
    ScopedWaitHook(const ScopedWaitHook&) = delete;
    ScopedWaitHook& operator=(const ScopedWaitHook&) = delete;

private:
    WaitHook previous_;
};

} // namespace platform
