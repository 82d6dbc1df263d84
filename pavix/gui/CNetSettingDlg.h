// The network setting window ("WLAN Configuration" / "Ethernet
// Configuration") over one found device: addresses, ports, DHCP, baud rate,
// the read-only firmware version, and Save, which stores them in the board
// by one UDP datagram and waits for its answer with the wait cursor.
//
// The form and every rule are the core's NetworkSettingModel; the store is
// its StoreJob, run here by a DatagramRunner. Both ends of a sent store
// close the window with OK (the device list then searches again).
#pragma once

#include "pavix/gui/DatagramRunner.h"
#include "pavix/gui/PavixCommon.h"
#include "pavix/search/NetworkSetting.h"

#include <QDialog>

#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace platform::qt {
class Ipv4AddressEdit;
}

namespace pavix::gui {

class CNetSettingDlg final : public QDialog {
    Q_OBJECT
public:
    CNetSettingDlg(const PavixServices& services, search::SearchMode mode, int number, QWidget* parent = nullptr);
    ~CNetSettingDlg() override;

    // A device that is gone shows "Error : Fail to read Infomation list!"
    // and returns Rejected without showing the window.
    int exec() override;
    void reject() override;

    // The store is out and its answer awaited.
    bool waiting() const { return runner_.isRunning(); }

    void OnSave();

private:
    void showModel();
    void dhcpToggled(bool on);
    void portEdited(const QString& text);
    void inactivityEdited(const QString& text);
    void storeFinished(const platform::JobResult& result);
    void message(std::string_view text, const QString& details = {});
    void endWait();

    PavixServices services_;
    search::SearchMode mode_;
    int number_;
    search::SettingOpening opening_;
    platform::qt::Ipv4AddressEdit* ip_;
    platform::qt::Ipv4AddressEdit* subnet_;
    platform::qt::Ipv4AddressEdit* gateway_;
    QLineEdit* port_;
    QLineEdit* inactivity_;
    QCheckBox* dhcp_;
    QComboBox* baud_;
    QLineEdit* firmware_;
    QPushButton* save_;
    QPushButton* cancel_;
    DatagramRunner runner_;
    std::unique_ptr<search::StoreJob> store_;
    bool cursorShown_ = false;
};

} // namespace pavix::gui
