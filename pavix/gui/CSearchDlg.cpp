#include "pavix/gui/CSearchDlg.h"

#include "pavix/gui/PavixIds.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace pavix::gui {

using platform::qt::SetControlId;

CSearchDlg::CSearchDlg(const PavixServices& services, search::SearchMode mode, QWidget* parent)
    : QDialog(parent), services_(services), mode_(mode)
{
    setWindowTitle(DisplayText(search::kSearchWindowTitle));
    progress_ = new QProgressBar(this);
    progress_->setRange(0, search::kSearchCountdownMs);
    progress_->setValue(0);
    progress_->setTextVisible(false);
    SetControlId(progress_, search_id::kProgress);
    status_ = new QLabel(DisplayText(search::kSearchingStatus), this);
    SetControlId(status_, search_id::kStatus);
    cancel_ = new QPushButton(QString::fromUtf8(text::kCancel), this);
    SetControlId(cancel_, search_id::kCancel);
    connect(cancel_, &QPushButton::clicked, this, &CSearchDlg::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(status_);
    layout->addWidget(progress_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    layout->addLayout(buttons);
    setMinimumWidth(320);

    view_ = std::make_unique<platform::qt::JobProgressView>(
        progress_, [this](const QString& status) { status_->setText(status); });
    connect(&runner_, &DatagramRunner::finished, this, &CSearchDlg::finished);
}

int CSearchDlg::exec()
{
    if (!runner_.open(services_.udpSettings(mode_))) {
        // The list is emptied as by any search, so what is shown matches.
        services_.lists.of(mode_).clear();
        services_.prompter.warning(parentWidget(), QString::fromUtf8(text::kCaption),
                                   QString::fromUtf8(text::kUdpOpenFailed), QString::fromStdString(runner_.error()));
        return Rejected;
    }
    job_ = std::make_unique<search::SearchJob>(mode_, services_.lists.of(mode_), runner_.sender());
    job_->setObserver(view_.get());
    done_ = false;
    // The request leaves once the window is up, so the countdown is what
    // the user sees.
    QTimer::singleShot(0, this, [this] {
        if (!done_)
            runner_.start(*job_);
    });
    return QDialog::exec();
}

void CSearchDlg::reject()
{
    if (runner_.isRunning()) {
        runner_.cancel();
        return;
    }
    if (!done_) {
        done_ = true;
        QDialog::reject();
    }
}

const search::SearchReport& CSearchDlg::report() const
{
    static const search::SearchReport none;
    return job_ ? job_->report() : none;
}

void CSearchDlg::finished(const platform::JobResult& result)
{
    done_ = true;
    if (result.code == search::kSearchNotSent) {
        services_.prompter.warning(this, QString::fromUtf8(text::kCaption), QString::fromUtf8(text::kSendFailed),
                                   QString::fromStdString(result.message));
        done(Rejected);
        return;
    }
    done(result.end == platform::JobEnd::Ok ? Accepted : Rejected);
}

} // namespace pavix::gui
