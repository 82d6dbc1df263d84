// The memory switch progress window: runs one get, set or default job
// against the printer with a progress bar and the job's status text
// ("Get status : 45 %", "Completed....: 100 %"), caption "Telvara".
//
// The job starts once the window is shown and runs on the Qt job driver,
// one timer phase at a time. The window keeps painting through every pause
// and blocking read (the driver's painting wait hook); user input to it
// waits while a phase runs and is delivered between phases, so "Cancel"
// (or Escape, or closing the window) requests a cancel that is honoured
// between phases: a phase that has begun runs to its end.
//
// The window ends with Accepted when the job ended OK, Rejected when it
// failed or was cancelled; Result() then holds the job's message (empty
// after a cancel) and result code.
//
// Object names of the controls, for tests:
//   "progressBar"   the progress bar, 0..100
//   "statusText"    the status text, "0 %" until the job reports
//   "cancelButton"  "Cancel"
#pragma once

#include "corvane/switches/CCommonTlvr.h"
#include "corvane/switches/TlvrJob.h"
#include "platform/job.h"
#include "platform/qt/JobProgressView.h"
#include "platform/qt/QtJobDriver.h"

#include <QDialog>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace corvane {

class CTlvrProDlg : public QDialog {
    Q_OBJECT
public:
    // Runs a TlvrJob on `record` (not owned; it must outlive the window) in
    // `mode` (kTlvrModeGet, kTlvrModeSet, kTlvrModeDefault; kTlvrModeNone
    // ends with Rejected at once).
    CTlvrProDlg(CCommonTlvr& record, int mode, QWidget* parent = nullptr);
    // Runs any job (not owned; it must outlive the window).
    explicit CTlvrProDlg(platform::Job& job, QWidget* parent = nullptr);
    ~CTlvrProDlg() override;

    // The mode of the TlvrJob run (kTlvrModeNone for another job).
    int Mode() const { return mode_; }
    bool IsRunning() const { return driver_.isRunning(); }
    bool HasEnded() const { return ended_; }
    // The job's end; Cancel with an empty message until it has ended.
    const platform::JobResult& Result() const { return result_; }
    const std::string& Message() const { return result_.message; }

    // Shows the window modally over `parent`, runs `job` and returns its
    // end: the runner of the editor flow (TlvrEditorHooks::runJob).
    static platform::JobResult RunTlvrJob(platform::Job& job, QWidget* parent = nullptr);
    static platform::JobResult RunTlvrJob(CCommonTlvr& record, int mode, QWidget* parent = nullptr);

signals:
    void jobFinished(const platform::JobResult& result);

public slots:
    // While the job runs: requests a cancel. Afterwards: closes.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void build();
    void startJob();
    void onFinished(const platform::JobResult& result);

    std::unique_ptr<TlvrJob> ownJob_;
    platform::Job& job_;
    int mode_ = kTlvrModeNone;
    bool isTlvrJob_ = false;
    platform::qt::QtJobDriver driver_;
    std::unique_ptr<platform::Job> heldPhases_;
    std::unique_ptr<platform::qt::JobProgressView> view_;
    platform::JobResult result_{platform::JobEnd::Cancel, {}, 0};
    bool started_ = false;
    bool ended_ = false;
    bool cancelPending_ = false;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

} // namespace corvane
