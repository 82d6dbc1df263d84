// Shows a job's outputs in a progress window's controls: the progress bar
// takes the job's range and shown value, the status goes to whatever the
// window uses as its status line (a label, a group box caption).
#pragma once

#include "platform/job.h"

#include <QString>

#include <functional>

class QProgressBar;

namespace platform::qt {

class JobProgressView final : public platform::JobObserver {
public:
    // Either may be empty / nullptr: that output is not shown.
    JobProgressView(QProgressBar* bar, std::function<void(const QString&)> showStatus);

    void progressChanged(const platform::JobProgress& progress) override;
    void statusChanged(const std::string& status) override;

private:
    QProgressBar* bar_;
    std::function<void(const QString&)> showStatus_;
};

} // namespace platform::qt
