// One write under the stall rule. Progress is any byte the kernel takes from
// us and any shrinking of its output queue; the stall timer restarts on
// either. Waits are short polls (the queue has no readiness event of its
// own) that back off while nothing moves, with the wait hook run at least
// every slice so a window keeps painting through a long stall.
#include "platform/stall_write.h"

#include "platform/wait_hook.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>

#include <poll.h>

namespace platform::detail {
namespace {

using SteadyTime = std::chrono::steady_clock;

// Queue checks start this often after progress and back off to the cap.
constexpr int kFirstCheckMs = 1;
constexpr int kCheckCapMs = 20;
constexpr int kUnknownQueue = INT_MAX;

class StallTimer {
public:
    explicit StallTimer(int boundMs) : boundMs_(boundMs) {}

    void progress()
    {
        last_ = SteadyTime::now();
        checkMs_ = kFirstCheckMs;
    }
    // Milliseconds left before the stall bound passes (0: stalled).
    int leftMs() const
    {
        const auto idle = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyTime::now() - last_);
        const long long left = static_cast<long long>(boundMs_) - idle.count();
        return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
    }
    // The next wait: short while the queue may move, longer when it does not.
    int nextCheckMs()
    {
        const int wait = std::min(checkMs_, leftMs());
        checkMs_ = std::min(checkMs_ * 2, kCheckCapMs);
        return wait;
    }
    // Runs the wait hook once a slice has passed since the last run; false
    // when the program is being stopped.
    bool keepPainting()
    {
        const auto now = SteadyTime::now();
        if (now - lastHook_ >= std::chrono::milliseconds(kWaitSliceMs)) {
            lastHook_ = now;
            runWaitHook();
        }
        return !interruptRequested();
    }

private:
    int boundMs_;
    int checkMs_ = kFirstCheckMs;
    SteadyTime::time_point last_ = SteadyTime::now();
    SteadyTime::time_point lastHook_ = SteadyTime::now();
};

class Writer {
public:
    explicit Writer(const StallWrite& how) : how_(how), timer_(how.stallTimeoutMs) {}

    IoResult run(const std::uint8_t* data, int length)
    {
        int written = 0;
        while (written < length) {
            if (interruptRequested())
                return fail(written, EINTR);
            const ssize_t r = how_.call(how_.fd, data + written, static_cast<std::size_t>(length - written));
            if (r > 0) {
                written += static_cast<int>(r);
                timer_.progress();
                lastQueue_ = kUnknownQueue;
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return fail(written, errno);
            if (const int wait = waitForRoom(); wait != 0) {
                if (wait == ETIMEDOUT)
                    return stalled(written);
                if (wait == EINTR)
                    return fail(written - queuedNow(), EINTR);
                // Hang-up or error without room: one more write names the reason.
                const ssize_t again = how_.call(how_.fd, data + written, static_cast<std::size_t>(length - written));
                if (again > 0) {
                    written += static_cast<int>(again);
                    timer_.progress();
                    continue;
                }
                const int code = again < 0 && errno != EAGAIN && errno != EWOULDBLOCK ? errno : wait;
                return fail(written, code);
            }
        }
        return drain(written);
    }

private:
    // Bytes still queued, or 0 when the device cannot tell.
    int queuedNow() const
    {
        if (how_.queued == nullptr)
            return 0;
        return std::max(how_.queued(how_.fd), 0);
    }

    // Notes a shorter queue as progress.
    void checkQueue()
    {
        if (how_.queued == nullptr)
            return;
        const int q = how_.queued(how_.fd);
        if (q < 0)
            return;
        if (lastQueue_ != kUnknownQueue && q < lastQueue_)
            timer_.progress();
        lastQueue_ = q;
    }

    int descriptorError() const
    {
        if (how_.pendingError != nullptr) {
            const int code = how_.pendingError(how_.fd);
            if (code != 0)
                return code;
        }
        return EIO;
    }

    // 0 when there is room to write; ETIMEDOUT at the stall bound; another
    // errno when the device failed or the wait was stopped.
    int waitForRoom()
    {
        for (;;) {
            if (!timer_.keepPainting())
                return EINTR;
            const int left = timer_.leftMs();
            if (left <= 0)
                return ETIMEDOUT;
            const int wait = how_.queued != nullptr ? timer_.nextCheckMs() : std::min(left, kWaitSliceMs);
            pollfd p{how_.fd, POLLOUT, 0};
            const int rc = pollSliced(&p, 1, wait);
            if (rc < 0)
                return errno == EINTR ? EINTR : errno;
            if (rc > 0) {
                if ((p.revents & POLLOUT) != 0)
                    return 0;
                return descriptorError();
            }
            checkQueue();
        }
    }

    // Waits until the output queue is empty.
    IoResult drain(int written)
    {
        if (how_.queued == nullptr)
            return IoResult{written, IoEnd::Complete, {}};
        timer_.progress();
        lastQueue_ = kUnknownQueue;
        for (;;) {
            const int q = how_.queued(how_.fd);
            if (q <= 0)
                return IoResult{written, IoEnd::Complete, {}};
            if (lastQueue_ != kUnknownQueue && q < lastQueue_)
                timer_.progress();
            lastQueue_ = q;
            if (!timer_.keepPainting())
                return fail(written - q, EINTR);
            if (timer_.leftMs() <= 0)
                return stalled(written);
            // No wanted events: only a hang-up or an error wakes this early.
            pollfd p{how_.fd, 0, 0};
            const int rc = pollSliced(&p, 1, timer_.nextCheckMs());
            if (rc < 0)
                return fail(written - queuedNow(), errno == EINTR ? EINTR : errno);
            if (rc > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
                return fail(written - queuedNow(), descriptorError());
        }
    }

    IoResult fail(int written, int code) const
    {
        return IoResult{std::max(written, 0), code == ETIMEDOUT ? IoEnd::Timeout : IoEnd::Error,
                        OsError{code, how_.operation, how_.target}};
    }

    IoResult stalled(int written) const
    {
        return IoResult{std::max(written - queuedNow(), 0), IoEnd::Timeout,
                        stallError(how_.operation, how_.target, how_.stallTimeoutMs)};
    }

    const StallWrite& how_;
    StallTimer timer_;
    int lastQueue_ = kUnknownQueue;
};

} // namespace

IoResult writeUnderStallRule(const StallWrite& how, const std::uint8_t* data, int length)
{
    if (length <= 0 || data == nullptr)
        return IoResult{0, IoEnd::Complete, {}};
    return Writer(how).run(data, length);
}

} // namespace platform::detail
