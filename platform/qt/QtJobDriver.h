// Runs a platform::Job on the GUI thread with single-shot QTimers.
//
// Each step's timer id fires after its delay from the event loop; each phase
// runs with the painting wait hook installed, so waits inside it keep the
// windows painting while user input waits. A Cancel request is honoured
// between phases: at once when the driver is waiting for a timer, after the
// running phase otherwise.
//
// start() returns at once and emits finished() at the end (a progress window
// with a Cancel button). run() returns only at the end, with user input to
// the given window held back meanwhile (a window whose command must not be
// interrupted, as a firmware transfer).
#pragma once

#include "platform/job.h"

#include <QObject>
#include <QTimer>

#include <optional>

class QWidget;

namespace platform::qt {

class QtJobDriver final : public QObject {
    Q_OBJECT
public:
    explicit QtJobDriver(QObject* parent = nullptr);
    ~QtJobDriver() override;

    // Starts `job` (it must outlive the run). False when a job is running
    // already. A job that ends at its start emits finished() before this
    // returns.
    bool start(platform::Job& job);
    // Runs `job` to its end; user input to `window` (may be nullptr) waits
    // until then and is delivered afterwards.
    platform::JobResult run(platform::Job& job, QWidget* window);

    void requestCancel();
    bool isRunning() const { return job_ != nullptr; }
    // The end of the last run, once there is one.
    const std::optional<platform::JobResult>& lastResult() const { return result_; }

signals:
    void finished(const platform::JobResult& result);

private:
    void follow(const platform::JobNext& next);
    void onTimer();
    void end(platform::JobResult result);

    QTimer timer_;
    platform::Job* job_ = nullptr;
    int pendingId_ = 0;
    bool inPhase_ = false;
    bool cancelRequested_ = false;
    std::optional<platform::JobResult> result_;
};

} // namespace platform::qt
