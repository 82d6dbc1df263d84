#include "platform/qt/JobProgressView.h"

#include <QProgressBar>

#include <utility>

namespace platform::qt {

JobProgressView::JobProgressView(QProgressBar* bar, std::function<void(const QString&)> showStatus)
    : bar_(bar), showStatus_(std::move(showStatus))
{
}

void JobProgressView::progressChanged(const platform::JobProgress& progress)
{
    if (bar_ == nullptr)
        return;
    if (bar_->minimum() != progress.minimum || bar_->maximum() != progress.maximum)
        bar_->setRange(progress.minimum, progress.maximum);
    // A bar ignores values outside its range; a job counting past its
    // maximum shows full.
    bar_->setValue(progress.shown());
}

void JobProgressView::statusChanged(const std::string& status)
{
    if (showStatus_)
        showStatus_(QString::fromStdString(status));
}

} // namespace platform::qt
