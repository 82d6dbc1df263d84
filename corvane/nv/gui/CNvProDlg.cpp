#include "corvane/nv/gui/CNvProDlg.h"

#include "corvane/nv/gui/NvDialogIds.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/UserInputHold.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QProgressBar>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace corvane {

using platform::qt::SetControlId;

CNvProDlg::CNvProDlg(CCommonNv& nv, int job, platform::RegistryStore& store, QWidget* parent,
                     platform::Clock& clock)
    : QDialog(parent), job_(nv, job, clock),
      // Closed before the job could end: the user stopped it.
      result_{platform::JobEnd::Cancel, nv_text::kStopped, kNvJobStopped}
{
    job_.setCountStore(store);
    build();
}

CNvProDlg::~CNvProDlg()
{
    job_.setObserver(nullptr);
}

void CNvProDlg::SetSelection(const std::string& keyCode, int index)
{
    job_.setSelection(keyCode, index);
}

void CNvProDlg::build()
{
    setWindowTitle(QString::fromUtf8(nv_text::kCaption));
    setModal(true);

    status_ = new QGroupBox(QString::fromUtf8(nv_text::kProgressing), this);
    status_->setObjectName(QStringLiteral("statusBox"));
    SetControlId(status_, nv_id::kStatusGroup);
    status_->setMinimumWidth(320);

    progress_ = new QProgressBar(status_);
    progress_->setObjectName(QStringLiteral("progressBar"));
    SetControlId(progress_, nv_id::kProgress);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);

    auto* inner = new QVBoxLayout(status_);
    inner->addWidget(progress_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    view_ = std::make_unique<platform::qt::JobProgressView>(progress_, [this](const QString& text) {
        status_->setTitle(text);
        // Shown at once, not at the next pass of the event loop: the phase
        // that reported it may block for a while now (one image's data).
        status_->repaint();
        progress_->repaint();
    });
    job_.setObserver(view_.get());
    heldPhases_ = std::make_unique<platform::qt::InputHeldJob>(job_, this);
    connect(&driver_, &platform::qt::QtJobDriver::finished, this, &CNvProDlg::onFinished);
}

void CNvProDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // From the event loop, once the window is up: a job that ends at its
    // start must not end the window inside its own show.
    QTimer::singleShot(0, this, &CNvProDlg::startJob);
}

void CNvProDlg::startJob()
{
    if (ended_ || driver_.isRunning())
        return;
    progress_->setValue(0);
    driver_.start(*heldPhases_);
    if (cancelPending_ && driver_.isRunning())
        driver_.requestCancel();
}

void CNvProDlg::onFinished(const platform::JobResult& result)
{
    result_ = result;
    ended_ = true;
    emit jobFinished(result);
    done(result.end == platform::JobEnd::Ok ? QDialog::Accepted : QDialog::Rejected);
}

void CNvProDlg::reject()
{
    if (driver_.isRunning()) {
        // Taken: the job ends at the next phase boundary.
        driver_.requestCancel();
        return;
    }
    if (ended_)
        return;   // ended by the job: its result stands
    if (started_) {
        // The start is queued: cancel it as soon as it has begun.
        cancelPending_ = true;
        return;
    }
    QDialog::reject();
}

void CNvProDlg::closeEvent(QCloseEvent* event)
{
    if (driver_.isRunning() || (started_ && !ended_)) {
        // The job owns the window until it ends; it closes it then.
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}

platform::JobResult CNvProDlg::RunNvJob(CCommonNv& nv, int job, platform::RegistryStore& store, QWidget* parent,
                                        const std::string& keyCode, int index, platform::Clock& clock)
{
    CNvProDlg dlg(nv, job, store, parent, clock);
    dlg.SetSelection(keyCode, index);
    dlg.exec();
    return dlg.Result();
}

} // namespace corvane
