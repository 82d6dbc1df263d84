// The Serial/USB configuration window "QUELLIX Pavix V2.0.4": the port
// choice (SERIAL or USB), "Connect", "Disconnect", "Update", "Quit" and six
// tab pages over one working copy of the board's configuration.
//
// Connect opens the program's PrinterPort, reads the system information and
// the configuration, and fills the pages; Update validates the page shown,
// applies the WEP length rule and the combination checks, writes the record
// and shows the information window. Leaving a page validates it first: a
// refused page stays shown with its message and the offending input
// focused. Every exchange keeps the window painting while its input waits.
// The port is closed by Disconnect, by a failed read and when the window
// goes while connected.
//
// Object names: serialRadio, usbRadio, portList, connectButton,
// disconnectButton, updateButton, quitButton, pagesTab; the pages name
// their inputs (ConfigPages.h, LinkPages.h).
#pragma once

#include "pavix/config/IfConfigModel.h"
#include "pavix/link/PrinterPort.h"
#include "platform/device_roots.h"
#include "platform/qt/Prompter.h"

#include <QDialog>

#include <functional>
#include <vector>

class QComboBox;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace pavix::gui {

class CAuthenticationPage;
class CBssPage;
class CCertificatePage;
class CNetworkPage;
class CProtocolPage;
class CSystemPage;
class ConfigPageWidget;

class CSerialUsbDlg final : public QDialog {
public:
    CSerialUsbDlg(PrinterPort& port, platform::qt::Prompter& prompter, platform::DeviceRoots roots,
                  QWidget* parent = nullptr);
    ~CSerialUsbDlg() override;

    void OnSerial();
    void OnUsb();
    void OnConnect();
    void OnDisconnect();
    void OnUpdate();

    // Fills the pages and the working copy from what the board sent.
    void Fill(const SystemInfo& info, const IfConfigRecord& record);

    bool Connected() const { return connected_; }
    QTabWidget* Tabs() const { return tabs_; }
    // The configuration pages (nullptr for "BSS Information" and
    // "Certificate").
    ConfigPageWidget* Page(ConfigPage page) const;
    const ConfigWorkingCopy& WorkingCopy() const { return copy_; }
    // The record built for the last write.
    const IfConfigRecord& LastRecord() const { return lastRecord_; }

    // Shows the information window for a record written; replaceable so a
    // caller can look at it instead of a modal loop.
    std::function<void(const IfConfigRecord&)> showInformation;

private:
    void onTabChanged(int index);
    void setConnectedState(bool on);
    // Shows a refusal on its page, bringing that page up first.
    void showRefusal(const ConfigRefusal& refusal);
    void bringUp(ConfigPage page);

    PrinterPort& port_;
    platform::qt::Prompter& prompter_;
    platform::DeviceRoots roots_;
    ConfigWorkingCopy copy_;
    IfConfigRecord lastRecord_;
    bool connected_ = false;
    bool bringingUp_ = false;
    ConfigPage shown_ = ConfigPage::System;
    std::vector<UsbDevice> usb_;

    QRadioButton* serial_;
    QRadioButton* usbRadio_;
    QComboBox* ports_;
    QPushButton* connect_;
    QPushButton* disconnect_;
    QPushButton* update_;
    QPushButton* quit_;
    QTabWidget* tabs_;
    CSystemPage* system_;
    CProtocolPage* protocol_;
    CBssPage* bss_;
    CNetworkPage* network_;
    CAuthenticationPage* authentication_;
    CCertificatePage* certificate_;
};

} // namespace pavix::gui
