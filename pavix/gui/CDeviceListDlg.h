// The device list window of one mode: the boards the last search found,
// and from the selected one the network setting window, the board's web
// page and (WLAN) the access-point window.
//
// The list itself, the button rules and what each button leads to are the
// core's DeviceListModel; this window shows them. The mode's device list
// belongs to the program (PavixServices::lists) and outlives the window,
// but a newly opened window shows an empty list until "Search".
#pragma once

#include "pavix/gui/PavixCommon.h"
#include "pavix/search/DeviceListModel.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

namespace pavix::gui {

class CDeviceListDlg final : public QDialog {
    Q_OBJECT
public:
    CDeviceListDlg(const PavixServices& services, search::SearchMode mode, QWidget* parent = nullptr);

    search::SearchMode mode() const { return model_.mode(); }
    const search::DeviceListModel& model() const { return model_; }

    // "Search": runs the search window, then refills the list.
    void OnSearch();
    // Rebuilds the list from the mode's device list.
    void FillList();

    // The wait before the search that follows a setting closed with OK.
    std::uint32_t researchDelayMs() const { return search::ResearchDelayMs(model_.mode()); }

private:
    void OnSetting();
    void OnWeb();
    void OnBssInfo();
    void OnCertificate();
    void selectionChanged(int row);
    void applyButtons();
    void message(const std::string& text);
    // Waits `ms` with the window painting and its input held back.
    void pause(std::uint32_t ms);

    PavixServices services_;
    search::DeviceListModel model_;
    QTableWidget* list_;
    QPushButton* search_;
    QPushButton* setting_;
    QPushButton* web_;
    QPushButton* bssInfo_;
    QPushButton* certificate_;
    QPushButton* exit_;
};

} // namespace pavix::gui
