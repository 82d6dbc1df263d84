// The NV image progress window: runs one NvJob (read the addresses, delete
// one or all stored images, download the command list, print one or all)
// with a progress bar and a status line, caption "NV Image Manager".
//
// The job starts once the window is shown and runs on the Qt job driver,
// one timer phase at a time. The window keeps painting through every pause
// and blocking read (the driver's painting wait hook); user input to it
// waits while a phase runs and is delivered between phases. The window has
// no button: its close box and Escape request a cancel, honoured between
// phases, so a command being sent always finishes first. The job then ends
// with its preset message "Download process is stoped...", except inside an
// indexed download's set, where the job sends the remaining blocks first
// (the status line says so) and finishes.
//
// The window ends with Accepted when the job ended OK and Rejected when it
// failed or was cancelled; Result() and Message() then hold the job's end.
//
// Controls, for tests (object name, control id):
//   "progressBar"   kProgress      0..100; a job counting past 100 shows full
//   "statusBox"     kStatusGroup   group box around the bar; its title is the
//                                  status line, "Progressing..." until the job
//                                  reports
#pragma once

#include "corvane/nv/CCommonNv.h"
#include "corvane/nv/NvJob.h"
#include "platform/clock.h"
#include "platform/job.h"
#include "platform/qt/JobProgressView.h"
#include "platform/qt/QtJobDriver.h"
#include "platform/registry_store.h"

#include <QDialog>

#include <memory>
#include <string>

class QGroupBox;
class QProgressBar;

namespace corvane {

class CNvProDlg : public QDialog {
    Q_OBJECT
public:
    // Runs NvJob `job` (an NvJobCode) on `nv` (not owned). `store` is the
    // registry store of the indexed family's stored count.
    CNvProDlg(CCommonNv& nv, int job, platform::RegistryStore& store, QWidget* parent = nullptr,
              platform::Clock& clock = platform::systemClock());
    ~CNvProDlg() override;

    void SetSelection(const std::string& keyCode, int index);   // jobs 1001, 1005
    bool IsRunning() const { return driver_.isRunning(); }
    bool HasEnded() const { return ended_; }
    // Cancel with the preset message until the job has ended.
    const platform::JobResult& Result() const { return result_; }
    // The text to show after a Cancel end.
    const std::string& Message() const { return result_.message; }
    NvJob& Job() { return job_; }

    // Shows the window modally over `parent`, runs the job, returns its end.
    static platform::JobResult RunNvJob(CCommonNv& nv, int job, platform::RegistryStore& store, QWidget* parent,
                                        const std::string& keyCode = {}, int index = 0,
                                        platform::Clock& clock = platform::systemClock());

signals:
    void jobFinished(const platform::JobResult& result);

public slots:
    // Close box / Escape: while the job runs, requests a cancel. Before it
    // starts, closes with the preset result. After its end, nothing.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void startJob();
    void onFinished(const platform::JobResult& result);

    NvJob job_;
    platform::qt::QtJobDriver driver_;
    std::unique_ptr<platform::Job> heldPhases_;
    std::unique_ptr<platform::qt::JobProgressView> view_;
    platform::JobResult result_;
    bool started_ = false;
    bool ended_ = false;
    bool cancelPending_ = false;
    QProgressBar* progress_ = nullptr;
    QGroupBox* status_ = nullptr;
};

} // namespace corvane
