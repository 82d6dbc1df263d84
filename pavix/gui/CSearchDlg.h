// The search window "Search...": a progress bar 0..1000, the status text
// "Now Searching." growing a dot per 100 ms tick, and "Cancel". It runs the
// search job of its mode on the mode's device list and closes at the end of
// the countdown, on Cancel, or when a WLAN search is ended by a short
// datagram; whatever arrived until then stays in the list.
#pragma once

#include "pavix/gui/DatagramRunner.h"
#include "pavix/gui/PavixCommon.h"
#include "platform/qt/JobProgressView.h"

#include <QDialog>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace pavix::gui {

class CSearchDlg final : public QDialog {
    Q_OBJECT
public:
    CSearchDlg(const PavixServices& services, search::SearchMode mode, QWidget* parent = nullptr);

    // Sends the request and runs until the search ends; Accepted at the end
    // of the countdown, Rejected on Cancel or when nothing could be sent.
    int exec() override;
    void reject() override;

    const search::SearchReport& report() const;

private:
    void finished(const platform::JobResult& result);

    PavixServices services_;
    search::SearchMode mode_;
    QProgressBar* progress_;
    QLabel* status_;
    QPushButton* cancel_;
    DatagramRunner runner_;
    std::unique_ptr<search::SearchJob> job_;
    std::unique_ptr<platform::qt::JobProgressView> view_;
    bool done_ = false;
};

} // namespace pavix::gui
