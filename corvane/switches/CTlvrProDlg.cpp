#include "corvane/switches/CTlvrProDlg.h"

#include "platform/qt/UserInputHold.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace corvane {

CTlvrProDlg::CTlvrProDlg(CCommonTlvr& record, int mode, QWidget* parent)
    : QDialog(parent), ownJob_(std::make_unique<TlvrJob>(record, mode)), job_(*ownJob_), mode_(mode),
      isTlvrJob_(true)
{
    build();
}

CTlvrProDlg::CTlvrProDlg(platform::Job& job, QWidget* parent) : QDialog(parent), job_(job)
{
    if (const auto* tlvr = dynamic_cast<const TlvrJob*>(&job)) {
        mode_ = tlvr->mode();
        isTlvrJob_ = true;
    }
    build();
}

CTlvrProDlg::~CTlvrProDlg()
{
    job_.setObserver(nullptr);
}

void CTlvrProDlg::build()
{
    // The template's caption; the job's start replaces it.
    setWindowTitle(QStringLiteral("Get Status"));
    setModal(true);

    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("progressBar"));
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    progress_->setMinimumWidth(280);

    status_ = new QLabel(QStringLiteral("0 %"), this);
    status_->setObjectName(QStringLiteral("statusText"));
    status_->setMinimumWidth(280);

    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    cancel_->setObjectName(QStringLiteral("cancelButton"));
    cancel_->setAutoDefault(false);
    connect(cancel_, &QPushButton::clicked, this, &CTlvrProDlg::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cancel_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(progress_);
    layout->addWidget(status_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    view_ = std::make_unique<platform::qt::JobProgressView>(progress_, [this](const QString& text) {
        status_->setText(text);
        // Shown at once, not at the next pass of the event loop: the phase
        // that reported it may block for a while now.
        status_->repaint();
        progress_->repaint();
    });
    job_.setObserver(view_.get());
    heldPhases_ = std::make_unique<platform::qt::InputHeldJob>(job_, this);
    connect(&driver_, &platform::qt::QtJobDriver::finished, this, &CTlvrProDlg::onFinished);
}

void CTlvrProDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (started_)
        return;
    started_ = true;
    // From the event loop, once the window is up: a job that ends at its
    // start (no mode) must not end the window inside its own show.
    QTimer::singleShot(0, this, &CTlvrProDlg::startJob);
}

void CTlvrProDlg::startJob()
{
    // A memory switch job without a mode ends at once under the template's
    // caption; every other run shows the program's.
    if (!isTlvrJob_ || mode_ != kTlvrModeNone)
        setWindowTitle(QString::fromUtf8(tlvr_text::kCaption));
    progress_->setValue(0);
    driver_.start(*heldPhases_);
    if (cancelPending_ && driver_.isRunning())
        driver_.requestCancel();
}

void CTlvrProDlg::onFinished(const platform::JobResult& result)
{
    result_ = result;
    ended_ = true;
    cancel_->setEnabled(true);
    emit jobFinished(result);
    done(result.end == platform::JobEnd::Ok ? QDialog::Accepted : QDialog::Rejected);
}

void CTlvrProDlg::reject()
{
    if (driver_.isRunning()) {
        // Taken: the job ends at the next phase boundary.
        cancel_->setEnabled(false);
        driver_.requestCancel();
        return;
    }
    if (ended_)
        return;   // ended by the job: its result stands
    if (started_) {
        // The start is queued: cancel it as soon as it has begun.
        cancel_->setEnabled(false);
        cancelPending_ = true;
        return;
    }
    QDialog::reject();
}

void CTlvrProDlg::closeEvent(QCloseEvent* event)
{
    if (driver_.isRunning() || (started_ && !ended_)) {
        event->ignore();
        reject();
        return;
    }
    QDialog::closeEvent(event);
}

platform::JobResult CTlvrProDlg::RunTlvrJob(platform::Job& job, QWidget* parent)
{
    CTlvrProDlg dlg(job, parent);
    dlg.exec();
    return dlg.Result();
}

platform::JobResult CTlvrProDlg::RunTlvrJob(CCommonTlvr& record, int mode, QWidget* parent)
{
    CTlvrProDlg dlg(record, mode, parent);
    dlg.exec();
    return dlg.Result();
}

} // namespace corvane
