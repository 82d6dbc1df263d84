#include "platform/qt/QtJobDriver.h"

#include "platform/qt/PaintingWaitHook.h"
#include "platform/qt/UserInputHold.h"

#include <QEventLoop>
#include <QPointer>

#include <algorithm>
#include <limits>

namespace platform::qt {

QtJobDriver::QtJobDriver(QObject* parent) : QObject(parent)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &QtJobDriver::onTimer);
}

QtJobDriver::~QtJobDriver() = default;

bool QtJobDriver::start(platform::Job& job)
{
    if (job_ != nullptr)
        return false;
    job_ = &job;
    cancelRequested_ = false;
    result_.reset();
    platform::JobNext next = [&] {
        ScopedPaintingWaitHook painting;
        inPhase_ = true;
        platform::JobNext first = job.start();
        inPhase_ = false;
        return first;
    }();
    follow(next);
    return true;
}

platform::JobResult QtJobDriver::run(platform::Job& job, QWidget* window)
{
    if (job_ != nullptr)
        return platform::JobResult{platform::JobEnd::Cancel, "a job is running already", -1};
    UserInputHold hold(window);
    start(job);
    QEventLoop loop;
    while (job_ != nullptr)
        loop.processEvents(QEventLoop::ExcludeUserInputEvents | QEventLoop::WaitForMoreEvents);
    return *result_;
}

void QtJobDriver::requestCancel()
{
    if (job_ == nullptr)
        return;
    cancelRequested_ = true;
    // Waiting for a timer: end from the event loop now rather than after
    // the step's delay.
    if (!inPhase_ && timer_.isActive())
        timer_.start(0);
}

void QtJobDriver::follow(const platform::JobNext& next)
{
    if (next.isEnd()) {
        end(next.result());
        return;
    }
    pendingId_ = next.timerId();
    const std::uint32_t delay = cancelRequested_ ? 0u : next.delayMs();
    timer_.start(static_cast<int>(std::min<std::uint32_t>(delay, std::numeric_limits<int>::max())));
}

void QtJobDriver::onTimer()
{
    if (job_ == nullptr)
        return;
    if (cancelRequested_) {
        ScopedPaintingWaitHook painting;
        end(job_->cancelled());
        return;
    }
    platform::JobNext next = [&] {
        ScopedPaintingWaitHook painting;
        inPhase_ = true;
        platform::JobNext after = job_->fire(pendingId_);
        inPhase_ = false;
        return after;
    }();
    follow(next);
}

void QtJobDriver::end(platform::JobResult result)
{
    job_ = nullptr;
    timer_.stop();
    result_ = result;
    emit finished(result);
}

} // namespace platform::qt
