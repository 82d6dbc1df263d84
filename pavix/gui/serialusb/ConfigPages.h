// The four pages of the Serial/USB configuration window that edit the
// board's configuration: "System && Information", "Protocol", "Network" and
// "Authentication".
//
// Each page is a thin view over the window's one ConfigWorkingCopy: every
// change goes to the copy at once through the model's edit rules, and
// load() shows the copy again (the window calls it after a read and
// whenever a page is brought up, since the Network page's mode decides what
// the Authentication page offers). Messages the rules return are shown with
// the caption "Pavix" and the input they name gets the focus.
//
// Object names of the inputs, for tests:
//   System          printerName, printerPort, userId, userPassword,
//                   confirmPassword, firmwareVersion, updateDate, macAddress
//   Protocol        httpsList, telnetList, ftpList, snmpList, readCommunity,
//                   writeCommunity, trapAddress, trapCommunity
//   Network         infraRadio, adhocRadio, adhocChannel, dhcpRadio,
//                   manualRadio, ssid, inactivityTime, ipAddress,
//                   subnetMask, gateway
//   Authentication  auth0..auth5 (the authentication radios in table
//                   order), crypt0..crypt4 (NONE, WEP64/128, TKIP, AES,
//                   AES + TKIP), eap0..eap4, wepKey, pskKey, authId,
//                   authPassword, authPasswordLabel
#pragma once

#include "pavix/config/IfConfigModel.h"
#include "pavix/protocol/IfRecords.h"
#include "platform/qt/Prompter.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace platform::qt {
class Ipv4AddressEdit;
}

namespace pavix::gui {

class ConfigTextEdit;
class DigitsEdit;

inline constexpr const char* kCaption = "Pavix";

class ConfigPageWidget : public QWidget {
public:
    ConfigPageWidget(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter, QWidget* parent);

    // Shows the working copy.
    virtual void load() = 0;
    // Connected pages enable their inputs, subject to the page's rules.
    virtual void setInputsEnabled(bool on) = 0;
    // The input a refusal names, when it is on this page.
    virtual QWidget* inputFor(ConfigInput input) const = 0;

    // Shows the refusal's message and focuses the input it names.
    void refuse(const ConfigRefusal& refusal);

protected:
    ConfigWorkingCopy& copy_;
    platform::qt::Prompter& prompter_;
    bool enabled_ = false;
};

class CSystemPage final : public ConfigPageWidget {
public:
    CSystemPage(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter, QWidget* parent = nullptr);
    void load() override;
    void setInputsEnabled(bool on) override;
    QWidget* inputFor(ConfigInput input) const override;
    // The read-only lines: firmware version (16), update date (32), MAC.
    void showSystemInfo(const SystemInfo& info);

private:
    ConfigTextEdit* name_;
    DigitsEdit* port_;
    ConfigTextEdit* userId_;
    ConfigTextEdit* password_;
    ConfigTextEdit* confirm_;
    QLineEdit* firmware_;
    QLineEdit* date_;
    QLineEdit* mac_;
};

class CProtocolPage final : public ConfigPageWidget {
public:
    CProtocolPage(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter, QWidget* parent = nullptr);
    void load() override;
    void setInputsEnabled(bool on) override;
    QWidget* inputFor(ConfigInput input) const override;

private:
    std::array<QComboBox*, 4> switches_{}; // HTTPS, TELNET, FTP, SNMP
    ConfigTextEdit* readCommunity_;
    ConfigTextEdit* writeCommunity_;
    platform::qt::Ipv4AddressEdit* trapAddress_;
    ConfigTextEdit* trapCommunity_;
};

class CNetworkPage final : public ConfigPageWidget {
public:
    CNetworkPage(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter, QWidget* parent = nullptr);
    void load() override;
    void setInputsEnabled(bool on) override;
    QWidget* inputFor(ConfigInput input) const override;

private:
    void onAdhoc();
    void onInfra();
    void onDhcp();
    void onManual();
    void showAddresses();

    QRadioButton* infra_;
    QRadioButton* adhoc_;
    DigitsEdit* channel_;
    QRadioButton* dhcp_;
    QRadioButton* manual_;
    ConfigTextEdit* ssid_;
    DigitsEdit* inactivity_;
    std::array<platform::qt::Ipv4AddressEdit*, 3> addresses_{}; // IP, mask, gateway
};

class CAuthenticationPage final : public ConfigPageWidget {
public:
    CAuthenticationPage(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter, QWidget* parent = nullptr);
    void load() override;
    void setInputsEnabled(bool on) override;
    QWidget* inputFor(ConfigInput input) const override;

private:
    // Marks, enablement and which key inputs show, from the copy.
    void follow();

    std::array<QRadioButton*, 6> auths_{};
    std::array<QRadioButton*, 5> crypts_{};
    std::array<QRadioButton*, 5> eaps_{};
    QButtonGroup* authGroup_;
    QButtonGroup* cryptGroup_;
    QButtonGroup* eapGroup_;
    QWidget* eapBox_;
    QLabel* wepLabel_;
    ConfigTextEdit* wepKey_;
    QLabel* pskLabel_;
    ConfigTextEdit* pskKey_;
    QLabel* idLabel_;
    ConfigTextEdit* authId_;
    QLabel* passwordLabel_;
    ConfigTextEdit* authPassword_;
};

} // namespace pavix::gui
