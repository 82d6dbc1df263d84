#include "corvane/firmware/CFirmwarednDlg.h"

#include "corvane/firmware/FirmwareIds.h"
#include "corvane/shell/ShellCommon.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/JobProgressView.h"

#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace corvane {

using platform::qt::SetControlId;

CFirmwarednDlg::CFirmwarednDlg(const PortSettings& settings, platform::qt::Prompter& prompter, platform::Clock& clock,
                               platform::Devices& devices, QWidget* parent)
    : QDialog(parent), port_(clock, devices), prompter_(prompter)
{
    setWindowTitle(QStringLiteral("Firmware Download Manager"));
    setWindowIcon(ProgramIcon());
    port_.settings = settings;

    auto* group = new QGroupBox(QStringLiteral("Download progress"), this);
    progress_ = new QProgressBar(group);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setMinimumWidth(360);
    SetControlId(progress_, firmware_id::kProgress);

    auto* statusLabel = new QLabel(QStringLiteral("Status : "), group);
    status_ = new QLabel(group);
    status_->setMinimumWidth(320);
    SetControlId(status_, firmware_id::kStatus);

    auto* groupLayout = new QGridLayout(group);
    groupLayout->addWidget(progress_, 0, 0, 1, 2);
    groupLayout->addWidget(statusLabel, 1, 0);
    groupLayout->addWidget(status_, 1, 1);
    groupLayout->setColumnStretch(1, 1);

    start_ = new QPushButton(QStringLiteral("Start Download"), this);
    SetControlId(start_, firmware_id::kStartDownload);
    exit_ = new QPushButton(QStringLiteral("Exit"), this);
    SetControlId(exit_, firmware_id::kExit);
    start_->setAutoDefault(false);
    exit_->setAutoDefault(false);
    connect(start_, &QPushButton::clicked, this, &CFirmwarednDlg::OnStartDownload);
    connect(exit_, &QPushButton::clicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(start_);
    buttons->addWidget(exit_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    setStatus(QString::fromUtf8(firmware_text::kSelectFile));
}

CFirmwarednDlg::~CFirmwarednDlg()
{
    if (port_.IsOpen())
        port_.Close();
}

void CFirmwarednDlg::setStatus(const QString& text)
{
    status_->setText(text);
}

void CFirmwarednDlg::OnStartDownload()
{
    if (busy_)
        return;
    // No caption of our own: the file dialog's usual "Open" title.
    const QString chosen = prompter_.getOpenFileName(this, QString(), filePath_,
                                                     QString::fromUtf8(firmware_text::kFileFilter));
    if (chosen.isEmpty())
        return;
    filePath_ = chosen;

    // From here to the end of the transfer the window must stay.
    busy_ = true;
    FirmwareEvents events;
    events.sending = [this](bool on) {
        sending_ = on;
        exit_->setEnabled(!on);
    };
    events.message = [this](const FirmwareResult& soFar) { showOutcome(soFar); };
    FirmwareJob job(port_, QFile::encodeName(filePath_).toStdString(), events);
    platform::qt::JobProgressView outputs(progress_, [this](const QString& text) { setStatus(text); });
    job.setObserver(&outputs);
    driver_.run(job, this);
    busy_ = false;
}

void CFirmwarednDlg::showOutcome(const FirmwareResult& result)
{
    const FirmwareOutcome outcome = result.outcome;
    const QString caption = QString::fromUtf8(firmware_text::kCaption);
    const QString text = QString::fromUtf8(FirmwareMessage(outcome));
    switch (outcome) {
    case FirmwareOutcome::Success:
        prompter_.information(this, caption, text, QString());
        break;
    case FirmwareOutcome::FileOpenError:
        prompter_.warning(this, caption, text,
                          result.fileError.isSet() ? QString::fromStdString(result.fileError.describe())
                                                   : QString());
        break;
    case FirmwareOutcome::PortOpenError:
    case FirmwareOutcome::SendFailed:
    case FirmwareOutcome::LastPieceSendFailed: {
        QString details;
        if (result.portError.isSet()) {
            details = QString::fromStdString(result.portError.describe());
            const std::string hint = platform::osErrorHint(result.portError, port_.LastDeviceKind());
            if (!hint.empty())
                details += QLatin1Char('\n') + QString::fromStdString(hint);
        }
        prompter_.warning(this, caption, text, details);
        break;
    }
    }
}

void CFirmwarednDlg::reject()
{
    if (busy_)
        return;
    QDialog::reject();
}

void CFirmwarednDlg::closeEvent(QCloseEvent* event)
{
    if (busy_) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace corvane
