#include "pavix/search/SearchJob.h"

#include "platform/wait_hook.h"

#include <array>
#include <utility>

namespace pavix::search {

SearchJob::SearchJob(SearchMode mode, DeviceList& list, Sender sender)
    : mode_(mode), list_(list), sender_(std::move(sender))
{
}

platform::JobNext SearchJob::start()
{
    list_.clear();
    report_ = {};
    status_ = std::string(kSearchingStatus);
    setStatus(status_);
    setProgressRange(0, kSearchCountdownMs);
    position_ = 0;
    setProgress(position_);
    started_ = true;

    report_.send = sender_ ? sender_(SearchRequest(mode_)) : SendResult{false, "no sender", {}};
    if (!report_.send.sent) {
        platform::JobResult result{platform::JobEnd::Cancel, report_.send.error, kSearchNotSent};
        endWith(result);
        return platform::JobNext::end(result);
    }
    countdown_ = kSearchCountdownMs;
    return platform::JobNext::step(kTick, kSearchTickMs);
}

platform::JobNext SearchJob::fire(int timerId)
{
    if (ended())
        return platform::JobNext::end(endResult());
    if (timerId != kTick)
        return platform::JobNext::step(kTick, kSearchTickMs);
    countdown_ -= kSearchTickMs;
    position_ += kSearchTickMs;
    setProgress(position_);
    status_ += '.';
    if (countdown_ % kSearchCountdownMs == 0)
        status_ = std::string(kSearchingStatus);
    setStatus(status_);
    if (countdown_ < 0) {
        platform::JobResult result{platform::JobEnd::Ok, {}, kSearchDone};
        endWith(result);
        return platform::JobNext::end(result);
    }
    return platform::JobNext::step(kTick, kSearchTickMs);
}

platform::JobResult SearchJob::cancelled()
{
    // Cancel keeps what arrived: the list is shown either way.
    platform::JobResult result{platform::JobEnd::Cancel, {}, kSearchDone};
    if (!ended())
        endWith(result);
    return result;
}

bool SearchJob::offer(ByteView datagram, bool truncated)
{
    if (ended() || !started_)
        return !ended();
    if (truncated)
        ++report_.truncated;
    const SearchAnswer answer = ParseSearchAnswer(mode_, datagram);
    switch (answer.kind) {
    case AnswerKind::Device:
        list_.append(answer.record);
        ++report_.answers;
        if (answer.shortRecord)
            ++report_.shortAnswers;
        return true;
    case AnswerKind::Ignored:
        ++report_.ignored;
        return true;
    case AnswerKind::EndsSearch:
        report_.endedEarly = true;
        endWith(platform::JobResult{platform::JobEnd::Ok, {}, kSearchDone});
        return false;
    }
    return true;
}

platform::JobResult RunDatagramJob(DatagramJob& job, platform::Clock& clock, const Receiver& receive,
                                   const platform::JobCancel* cancel)
{
    std::array<std::uint8_t, kMaxDatagram> buffer{};
    platform::JobNext next = job.start();
    while (!next.isEnd()) {
        const std::uint64_t due = clock.tickMs() + next.delayMs();
        for (;;) {
            if (job.ended())
                return job.endResult();
            if ((cancel != nullptr && cancel->requested()) || platform::interruptRequested())
                return job.cancelled();
            const std::uint64_t now = clock.tickMs();
            if (now >= due)
                break;
            const auto got = receive(buffer.data(), static_cast<int>(buffer.size()), static_cast<int>(due - now));
            if (got.io.complete()) {
                job.offer(ByteView(buffer.data(), static_cast<std::size_t>(got.io.bytes)), got.truncated);
            } else if (got.io.end != platform::IoEnd::Timeout) {
                job.cancelled();
                return platform::JobResult{platform::JobEnd::Cancel, got.io.error.describe(), -1};
            }
        }
        next = job.fire(next.timerId());
    }
    return next.result();
}

} // namespace pavix::search
