// Pavix's start window "QUELLIX Pavix V2.0.4": Ethernet or WLAN
// configuration open the device list window of that mode; the Serial/USB
// button calls whatever the program installed (the Serial/USB configuration
// window); "Exit" ends the program.
#pragma once

#include "pavix/gui/PavixCommon.h"

#include <QDialog>

#include <functional>

namespace pavix::gui {

using SerialUsbOpener = std::function<void(QWidget* parent)>;

class CPavixMainDlg final : public QDialog {
    Q_OBJECT
public:
    explicit CPavixMainDlg(const PavixServices& services, QWidget* parent = nullptr);

    // Called by the Serial/USB button with this window as the parent; by
    // default nothing happens.
    void setSerialUsbOpener(SerialUsbOpener opener) { serialUsb_ = std::move(opener); }

    void OnEthernet();
    void OnWlan();
    void OnSerialUsb();

private:
    void openList(search::SearchMode mode);

    PavixServices services_;
    SerialUsbOpener serialUsb_;
};

} // namespace pavix::gui
