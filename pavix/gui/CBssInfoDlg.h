// The access-point window "BSS Information" for one board found by the
// WLAN search: 300 ms after it opens it asks the board over TCP for the
// access points it sees; "Get BSS information" asks again. The query blocks
// the GUI thread as the board's tools do, but the window keeps painting and
// user input waits until it is over.
#pragma once

#include "pavix/gui/PavixCommon.h"

#include <QDialog>

class QProgressBar;
class QPushButton;
class QTableWidget;

namespace pavix::gui {

class CBssInfoDlg final : public QDialog {
    Q_OBJECT
public:
    CBssInfoDlg(const PavixServices& services, const QString& address, QWidget* parent = nullptr);

    const QString& address() const { return address_; }
    // Runs the query once and shows its outcome.
    void OnGetBss();
    // Queries run so far (the one 300 ms after opening included).
    int queries() const { return queries_; }

private:
    PavixServices services_;
    QString address_;
    QTableWidget* list_;
    QProgressBar* progress_;
    QPushButton* get_;
    QPushButton* cancel_;
    bool querying_ = false;
    int queries_ = 0;
};

} // namespace pavix::gui
