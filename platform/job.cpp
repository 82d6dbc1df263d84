#include "platform/job.h"

#include "platform/wait_hook.h"

#include <utility>

namespace platform {

void Job::setProgressRange(int minimum, int maximum)
{
    if (maximum < minimum)
        std::swap(minimum, maximum);
    progress_.minimum = minimum;
    progress_.maximum = maximum;
    if (observer_ != nullptr)
        observer_->progressChanged(progress_);
}

void Job::setProgress(int value)
{
    progress_.value = value;
    if (observer_ != nullptr)
        observer_->progressChanged(progress_);
}

void Job::setStatus(std::string text)
{
    status_ = std::move(text);
    if (observer_ != nullptr)
        observer_->statusChanged(status_);
}

JobResult runJob(Job& job, Clock& clock, const JobCancel* cancel, std::uint64_t maxPhases)
{
    JobNext next = job.start();
    for (std::uint64_t phases = 0; !next.isEnd(); ++phases) {
        if (phases >= maxPhases)
            return JobResult{JobEnd::Cancel, "job did not end", -1};
        clock.pauseMs(next.delayMs());
        // A program being stopped by a signal ends its job the same way, so
        // the job releases its port before the program exits.
        if ((cancel != nullptr && cancel->requested()) || interruptRequested())
            return job.cancelled();
        next = job.fire(next.timerId());
    }
    return next.result();
}

} // namespace platform
