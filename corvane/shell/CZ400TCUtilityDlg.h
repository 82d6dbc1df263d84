// Corvane's main window: picks the connection (serial port, USB printer or
// TCP/IP address) and its line settings, remembers them in the registry, and
// starts the managers.
//
// The registry is read once when the window is built and written only by
// "Exit"; closing the window any other way keeps what was stored before.
#pragma once

#include "corvane/link/CCommonUtil.h"
#include "corvane/nv/CCommonNv.h"
#include "corvane/switches/CCommonTlvr.h"
#include "corvane/shell/ShellCommon.h"
#include "corvane/shell/StoredConnection.h"

#include <QDialog>
#include <QString>

#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace platform::qt {
class Ipv4AddressEdit;
}

namespace corvane {

class CZ400TCUtilityDlg : public QDialog {
    Q_OBJECT
public:
    explicit CZ400TCUtilityDlg(const ShellServices& services, QWidget* parent = nullptr);
    ~CZ400TCUtilityDlg() override;

    // Puts a connection given on the command line into the controls, over
    // the restored one: "NET<address>" selects TCP/IP (tcpPort > 0 replaces
    // the TCP port), a USB printer path selects USB, anything else is a
    // serial port name or path.
    void PreselectConnection(const QString& portName, int tcpPort);

    // Reads the controls into the current settings (what every button does
    // first).
    void ReadControls();
    const PortSettings& CurrentSettings() const { return settings_; }
    int InterfaceIndex() const;
    const std::vector<std::string>& UsbPaths() const { return usbPaths_; }

    // The interface switch: shows, fills and enables the controls for
    // interface 0 (serial), 1 (USB) or 2 (TCP/IP).
    void SwitchInterface(int index);

    void OnExit();
    // "Telvara": the memory switch editor (get, pages, set or default, save).
    void OnTelvara();
    // "NV Image Manager": reads the printer's addresses, then opens the
    // manager on them; the port is closed when it ends.
    void OnNvImageManager();
    void OnFirmwareManager();
    void OnAbout();

public slots:
    // Close box and Escape: close the port, end without saving.
    void reject() override;

private:
    void buildControls();
    void fillFixedCombos();
    void restoreSelections(const StoredConnection& stored);
    void selectInterfaceQuietly(int index);
    void selectSerialPort(const QString& name);

    ShellServices services_;
    std::vector<std::string> usbPaths_;
    CCommonUtil util_;
    // The memory switch record of this run, kept between editor sessions.
    CCommonTlvr tlvr_;
    // The NV images of this run: the image list outlives each manager
    // session (it is restored from the registry when the manager opens).
    CCommonNv nv_{util_};
    PortSettings settings_;

    QLabel* portLabel_ = nullptr;
    QLabel* baudLabel_ = nullptr;
    QLineEdit* tcpPort_ = nullptr;
    platform::qt::Ipv4AddressEdit* ipAddress_ = nullptr;
    QComboBox* baudRate_ = nullptr;
    QComboBox* dataBits_ = nullptr;
    QComboBox* parity_ = nullptr;
    QComboBox* flowControl_ = nullptr;
    QComboBox* stopBits_ = nullptr;
    QComboBox* port_ = nullptr;
    QComboBox* interface_ = nullptr;
    QLabel* description_ = nullptr;
    QPushButton* telvara_ = nullptr;
    QPushButton* nvImage_ = nullptr;
    QPushButton* firmware_ = nullptr;
    QPushButton* exit_ = nullptr;
};

// "a.b.c.d" with each part 0..255, missing parts as 0 (as an IP address
// control reads); an empty string when the text is no IPv4 address.
QString NormalizeIpv4(const QString& text);

} // namespace corvane
