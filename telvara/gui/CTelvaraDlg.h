// Telvara's main window: the interface (serial, parallel, USB, Ethernet)
// and its line settings, "Check Communication" over the one PortLink, and
// what a checked connection allows: "Self Test", "Run Manager" and
// "Command Test Editor".
//
// States: disconnected (only "Check Communication") -> a check that the
// printer passes -> connected (the port stays open) -> an interface switch,
// a change in any combo, a failed self test or the end of the window ->
// disconnected. Checks and the self test run on the GUI thread: their
// pauses keep the window painting and hold user input back until they end.
#pragma once

#include "telvara/link/ConnectionCheck.h"
#include "telvara/link/CustomPreset.h"
#include "telvara/link/PortLink.h"

#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/qt/Prompter.h"
#include "platform/registry_store.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string>
#include <vector>

class QButtonGroup;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace platform::qt {
class Ipv4AddressEdit;
}

namespace telvara {

struct TelvaraServices {
    platform::qt::Prompter& prompter;
    platform::Clock& clock;
    platform::Devices& devices;
    const platform::RegistryStore& registry;
};

// What the application plugs in; every hook may be left empty.
struct TelvaraHooks {
    // "Run Manager" and "Command Test Editor", on the open link.
    std::function<void(PortLink& link, LinkKind kind)> runManager;
    std::function<void(PortLink& link, LinkKind kind)> commandTestEditor;
    // Before a serial or parallel port is opened, the print spooler gives it
    // up: the hook this makes (false fails the check with the result it
    // filled in). What it only warns about goes to `warn` and is shown with
    // the check's result.
    std::function<BeforeOpen(std::function<void(const std::string& warning)> warn)> takeOver;
    // When the window ends: the spooler gets back what takeOver borrowed.
    std::function<void()> giveBack;
    // An installed printer's settings; empty: the registry store's custom
    // printers only.
    std::function<Preset(const std::string& printerName, const LinkConfig& defaults)> preset;
};

class CTelvaraDlg : public QDialog {
    Q_OBJECT
public:
    explicit CTelvaraDlg(const TelvaraServices& services, TelvaraHooks hooks = {}, QWidget* parent = nullptr);
    ~CTelvaraDlg() override;

    // The settings of the installed printer `printerName` into the controls;
    // a printer without settings keeps the defaults and says why.
    void PresetFromPrinter(const QString& printerName);
    void ApplyPreset(const Preset& preset);

    // The interface radio buttons: disconnect, then fill and enable the
    // controls for `kind` (USB without a printer: the notice and serial).
    void SwitchInterface(LinkKind kind);
    LinkKind Interface() const;

    // The settings the controls stand for, as a check takes them.
    LinkConfig ReadControls() const;

    void OnCheckCommunication();
    void OnSelfTest();
    void OnRunManager();
    void OnCommandTestEditor();
    void OnAbout();
    // Closes an open connection: only "Check Communication" usable again.
    void Disconnect();

    bool IsConnected() const { return connected_; }
    PortLink& Link() { return link_; }

public slots:
    // Every way the window ends (Exit, close box, Escape, a stop signal):
    // the port is closed and the spooler's queues given back first.
    void done(int result) override;

private:
    void buildControls();
    void fillSerial(const char* baudRate);
    void fillPorts(const std::vector<std::string>& ports);
    void enableFor(LinkKind kind);
    void setConnectedButtons(bool connected);
    void showResult(const CheckResult& result, const std::vector<std::string>& warnings = {});
    void selectPort(const QString& name);
    void release();

    TelvaraServices services_;
    TelvaraHooks hooks_;
    PortLink link_;
    bool connected_ = false;
    bool released_ = false;

    QButtonGroup* interface_ = nullptr;
    QRadioButton* radios_[4] = {};
    QComboBox* port_ = nullptr;
    QComboBox* baudRate_ = nullptr;
    QComboBox* dataBits_ = nullptr;
    QComboBox* parity_ = nullptr;
    QComboBox* stopBits_ = nullptr;
    QComboBox* flowControl_ = nullptr;
    platform::qt::Ipv4AddressEdit* ipAddress_ = nullptr;
    QLineEdit* tcpPort_ = nullptr;
    QPushButton* check_ = nullptr;
    QPushButton* selfTest_ = nullptr;
    QPushButton* runManager_ = nullptr;
    QPushButton* commandTest_ = nullptr;
    QPushButton* exit_ = nullptr;
};

} // namespace telvara
