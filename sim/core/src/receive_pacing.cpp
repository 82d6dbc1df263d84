#include "sim/receive_pacing.h"

#include <algorithm>

namespace sim {

std::uint64_t chatterDue(std::uint64_t before, std::uint64_t after, std::uint64_t every)
{
    if (every == 0 || after <= before)
        return 0;
    return after / every - before / every;
}

ReadPacer::ReadPacer(const ReadPacing& pacing, std::size_t maxRead, std::uint64_t nowMs)
    : pacing_(pacing), maxRead_(std::max<std::size_t>(maxRead, 1)), refilledMs_(nowMs)
{
    if (pacing_.bytesPerSecond > 0) {
        const std::uint64_t bucket = std::max<std::uint64_t>(pacing_.bytesPerSecond / 20, 1);
        capacityMilli_ = bucket * 1000;
        thresholdMilli_ = std::min<std::uint64_t>(bucket, maxRead_) * 1000;
        tokensMilli_ = capacityMilli_;  // a printer takes its first bytes at once
    }
}

void ReadPacer::refill(std::uint64_t nowMs)
{
    if (nowMs <= refilledMs_)
        return;
    const std::uint64_t elapsed = nowMs - refilledMs_;
    refilledMs_ = nowMs;
    if (capacityMilli_ == 0)
        return;
    const std::uint64_t room = capacityMilli_ - tokensMilli_;
    // bytes/s * ms = 1/1000 bytes; guard the product against overflow.
    if (elapsed >= room / pacing_.bytesPerSecond + 1)
        tokensMilli_ = capacityMilli_;
    else
        tokensMilli_ += std::min(room, pacing_.bytesPerSecond * elapsed);
}

std::size_t ReadPacer::allowance(std::uint64_t nowMs)
{
    if (stalled() || nowMs < pauseUntilMs_)
        return 0;
    std::uint64_t limit = maxRead_;
    if (pacing_.stallAfter)
        limit = std::min(limit, *pacing_.stallAfter - total_);
    if (pacing_.pauseAfter > 0)
        limit = std::min(limit, pacing_.pauseAfter - total_ % pacing_.pauseAfter);
    if (capacityMilli_ > 0) {
        refill(nowMs);
        if (tokensMilli_ < thresholdMilli_)
            return 0;
        limit = std::min(limit, tokensMilli_ / 1000);
    }
    return static_cast<std::size_t>(limit);
}

std::uint64_t ReadPacer::nextReadMs(std::uint64_t nowMs)
{
    if (stalled())
        return kNever;
    std::uint64_t at = std::max(nowMs, pauseUntilMs_);
    if (capacityMilli_ > 0) {
        refill(nowMs);
        const std::uint64_t rate = pacing_.bytesPerSecond;
        const std::uint64_t waited = at - nowMs;
        const std::uint64_t missing = thresholdMilli_ - std::min(thresholdMilli_, tokensMilli_);
        const std::uint64_t gained = waited >= missing / rate + 1 ? missing : std::min(missing, rate * waited);
        at += (missing - gained + rate - 1) / rate;
    }
    return at;
}

void ReadPacer::consumed(std::size_t n, std::uint64_t nowMs)
{
    if (n == 0)
        return;
    refill(nowMs);
    if (capacityMilli_ > 0) {
        tokensMilli_ -= std::min<std::uint64_t>(std::uint64_t{n} * 1000, tokensMilli_);
    }
    total_ += n;
    if (pacing_.pauseAfter > 0 && total_ % pacing_.pauseAfter == 0)
        pauseUntilMs_ = nowMs + pacing_.pauseMs;
}

} // namespace sim
