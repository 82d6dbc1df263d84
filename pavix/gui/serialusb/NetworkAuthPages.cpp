// The "Network" and "Authentication" pages.
#include "pavix/gui/serialusb/ConfigPages.h"
#include "pavix/gui/serialusb/PageInputs.h"
#include "pavix/protocol/IfTables.h"
#include "platform/qt/Ipv4AddressEdit.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace pavix::gui {

namespace {

QRadioButton* Radio(const QString& text, const QString& name, QWidget* parent)
{
    auto* radio = new QRadioButton(text, parent);
    radio->setObjectName(name);
    return radio;
}

ConfigTextEdit* TextInput(ConfigInput input, const char* name, std::function<void(const std::string&)> store,
                          QWidget* parent)
{
    auto* edit = new ConfigTextEdit(input, std::move(store), parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

// Checks the button of `index` in an exclusive group, or none when the
// index has no button (a code the page does not know).
template <std::size_t N>
void Mark(QButtonGroup* group, const std::array<QRadioButton*, N>& buttons, std::optional<std::size_t> index)
{
    if (index && *index < N) {
        buttons[*index]->setChecked(true);
        return;
    }
    group->setExclusive(false);
    for (QRadioButton* b : buttons)
        b->setChecked(false);
    group->setExclusive(true);
}

} // namespace

// ---- Network ---------------------------------------------------------------------------

CNetworkPage::CNetworkPage(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter, QWidget* parent)
    : ConfigPageWidget(copy, prompter, parent)
{
    auto* modeBox = new QGroupBox(this);
    infra_ = Radio(QStringLiteral("Infra Network"), QStringLiteral("infraRadio"), modeBox);
    adhoc_ = Radio(QStringLiteral("Adhoc"), QStringLiteral("adhocRadio"), modeBox);
    auto* modeLayout = new QHBoxLayout(modeBox);
    modeLayout->addWidget(infra_);
    modeLayout->addWidget(adhoc_);
    infra_->setChecked(true);

    channel_ = new DigitsEdit(2, [this](std::uint32_t typed) {
        if (const auto refused = EditAdhocChannel(copy_, typed))
            refuse(*refused);
        return std::uint32_t{copy_.values.adhocChannel};
    }, this);
    channel_->setObjectName(QStringLiteral("adhocChannel"));

    auto* ipBox = new QGroupBox(this);
    dhcp_ = Radio(QStringLiteral("Automatic Allocation(DHCP)"), QStringLiteral("dhcpRadio"), ipBox);
    manual_ = Radio(QStringLiteral("Manual Allocation"), QStringLiteral("manualRadio"), ipBox);
    auto* ipLayout = new QHBoxLayout(ipBox);
    ipLayout->addWidget(dhcp_);
    ipLayout->addWidget(manual_);
    manual_->setChecked(true);

    ssid_ = TextInput(ConfigInput::Ssid, "ssid", [this](const std::string& s) { copy_.values.ssid = s; }, this);
    inactivity_ = new DigitsEdit(4, [this](std::uint32_t typed) {
        if (const auto refused = EditInactivityTime(copy_, typed))
            refuse(*refused);
        return std::uint32_t{copy_.values.inactivityTime};
    }, this);
    inactivity_->setObjectName(QStringLiteral("inactivityTime"));
    auto* inactivityRow = new QHBoxLayout;
    inactivityRow->addWidget(inactivity_);
    inactivityRow->addWidget(new QLabel(QStringLiteral("Sec (Default: 0)"), this));

    static constexpr const char* kNames[] = {"ipAddress", "subnetMask", "gateway"};
    for (std::size_t i = 0; i < addresses_.size(); ++i) {
        auto* edit = new platform::qt::Ipv4AddressEdit(this);
        edit->setObjectName(QString::fromLatin1(kNames[i]));
        connect(edit, &QLineEdit::textEdited, this, [this, i, edit] {
            Ipv4* fields[] = {&copy_.values.ipAddress, &copy_.values.subnetMask, &copy_.values.gateway};
            *fields[i] = edit->octets().value_or(Ipv4{});
        });
        addresses_[i] = edit;
    }

    connect(infra_, &QRadioButton::clicked, this, [this] { onInfra(); });
    connect(adhoc_, &QRadioButton::clicked, this, [this] { onAdhoc(); });
    connect(dhcp_, &QRadioButton::clicked, this, [this] { onDhcp(); });
    connect(manual_, &QRadioButton::clicked, this, [this] { onManual(); });

    auto* form = new QFormLayout(this);
    form->addRow(modeBox);
    form->addRow(QStringLiteral("Ad Hoc Channel"), channel_);
    form->addRow(ipBox);
    form->addRow(QStringLiteral("SSID"), ssid_);
    form->addRow(QStringLiteral("Inactivity Time (0~3600)"), inactivityRow);
    form->addRow(QStringLiteral("IP Address"), addresses_[0]);
    form->addRow(QStringLiteral("Subnet Mask"), addresses_[1]);
    form->addRow(QStringLiteral("Gateway"), addresses_[2]);
    setInputsEnabled(false);
}

void CNetworkPage::load()
{
    const auto& v = copy_.values;
    (copy_.adHoc() ? adhoc_ : infra_)->setChecked(true);
    (copy_.dhcp() ? dhcp_ : manual_)->setChecked(true);
    channel_->showValue(v.adhocChannel);
    ssid_->showValue(v.ssid);
    inactivity_->showValue(v.inactivityTime);
    showAddresses();
}

void CNetworkPage::setInputsEnabled(bool on)
{
    enabled_ = on;
    for (QWidget* w : std::initializer_list<QWidget*>{infra_, adhoc_, channel_, dhcp_, manual_, ssid_, inactivity_})
        w->setEnabled(on);
    showAddresses();
}

QWidget* CNetworkPage::inputFor(ConfigInput input) const
{
    switch (input) {
    case ConfigInput::InfraNetwork: return infra_;
    case ConfigInput::AdhocChannel: return channel_;
    case ConfigInput::ManualAllocation: return manual_;
    case ConfigInput::Ssid: return ssid_;
    case ConfigInput::InactivityTime: return inactivity_;
    default: return nullptr;
    }
}

void CNetworkPage::onAdhoc()
{
    if (const auto refused = ChooseAdhoc(copy_)) {
        infra_->setChecked(true);
        refuse(*refused);
        return;
    }
    manual_->setChecked(true);
    showAddresses();
}

void CNetworkPage::onInfra()
{
    ChooseInfraNetwork(copy_);
}

void CNetworkPage::onDhcp()
{
    if (const auto refused = ChooseDhcp(copy_)) {
        manual_->setChecked(true);
        refuse(*refused);
        return;
    }
    showAddresses();
}

void CNetworkPage::onManual()
{
    ChooseManualAllocation(copy_);
    showAddresses();
}

// DHCP shows the addresses as 0 and locks them; the copy keeps what the
// board sent, so choosing manual allocation again brings them back.
void CNetworkPage::showAddresses()
{
    const Ipv4* fields[] = {&copy_.values.ipAddress, &copy_.values.subnetMask, &copy_.values.gateway};
    for (std::size_t i = 0; i < addresses_.size(); ++i) {
        addresses_[i]->setOctets(copy_.dhcp() ? Ipv4{} : *fields[i]);
        addresses_[i]->setEnabled(enabled_ && !copy_.dhcp());
    }
}

// ---- Authentication ----------------------------------------------------------------------

CAuthenticationPage::CAuthenticationPage(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter,
                                         QWidget* parent)
    : ConfigPageWidget(copy, prompter, parent)
{
    auto* authBox = new QGroupBox(QStringLiteral("Authentication"), this);
    auto* authLayout = new QVBoxLayout(authBox);
    authGroup_ = new QButtonGroup(this);
    static constexpr const char* kAuths[] = {"Open System", "Shared Key", "WPA-PSK", "WPA2-PSK", "WPA", "WPA2"};
    for (std::size_t i = 0; i < auths_.size(); ++i) {
        auths_[i] = Radio(QString::fromLatin1(kAuths[i]), QStringLiteral("auth%1").arg(i), authBox);
        authGroup_->addButton(auths_[i], static_cast<int>(i));
        authLayout->addWidget(auths_[i]);
    }

    auto* cryptBox = new QGroupBox(QStringLiteral("Cryptograph"), this);
    auto* cryptLayout = new QVBoxLayout(cryptBox);
    cryptGroup_ = new QButtonGroup(this);
    static constexpr const char* kCrypts[] = {"NONE", "WEP64/128", "TKIP", "AES", "AES + TKIP"};
    for (std::size_t i = 0; i < crypts_.size(); ++i) {
        crypts_[i] = Radio(QString::fromLatin1(kCrypts[i]), QStringLiteral("crypt%1").arg(i), cryptBox);
        cryptGroup_->addButton(crypts_[i], static_cast<int>(i));
        cryptLayout->addWidget(crypts_[i]);
    }

    eapBox_ = new QGroupBox(QStringLiteral("EAP"), this);
    auto* eapLayout = new QVBoxLayout(eapBox_);
    eapGroup_ = new QButtonGroup(this);
    static constexpr const char* kEaps[] = {"EAP-PEAP", "EAP-TTLS", "EAP-TLS", "EAP-LEAP", "EAP-FAST"};
    for (std::size_t i = 0; i < eaps_.size(); ++i) {
        eaps_[i] = Radio(QString::fromLatin1(kEaps[i]), QStringLiteral("eap%1").arg(i), eapBox_);
        eapGroup_->addButton(eaps_[i], static_cast<int>(i));
        eapLayout->addWidget(eaps_[i]);
    }

    auto& v = copy_.values;
    wepLabel_ = new QLabel(QStringLiteral("WEP Key"), this);
    wepKey_ = TextInput(ConfigInput::WepKey, "wepKey", [this](const std::string& s) {
        EditWepKey(copy_, s);
    }, this);
    pskLabel_ = new QLabel(QStringLiteral("PSK Key"), this);
    pskKey_ = TextInput(ConfigInput::PskKey, "pskKey", [&v](const std::string& s) { v.pskKey = s; }, this);
    idLabel_ = new QLabel(QStringLiteral("Authentication ID"), this);
    authId_ = TextInput(ConfigInput::AuthId, "authId", [&v](const std::string& s) { v.authId = s; }, this);
    passwordLabel_ = new QLabel(QStringLiteral("Authentication Password"), this);
    passwordLabel_->setObjectName(QStringLiteral("authPasswordLabel"));
    authPassword_ = TextInput(ConfigInput::AuthPassword, "authPassword",
                              [&v](const std::string& s) { v.authPassword = s; }, this);

    connect(authGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        ChooseAuthentication(copy_, static_cast<std::uint8_t>(id));
        follow();
    });
    connect(cryptGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        ChooseCryptograph(copy_, static_cast<CryptographChoice>(id));
        follow();
    });
    connect(eapGroup_, &QButtonGroup::idClicked, this, [this](int id) {
        copy_.values.eapMode = static_cast<std::uint8_t>(id);
        follow();
    });

    auto* choices = new QHBoxLayout;
    choices->addWidget(authBox);
    choices->addWidget(cryptBox);
    choices->addWidget(eapBox_);
    auto* keys = new QFormLayout;
    keys->addRow(wepLabel_, wepKey_);
    keys->addRow(pskLabel_, pskKey_);
    keys->addRow(idLabel_, authId_);
    keys->addRow(passwordLabel_, authPassword_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(choices);
    layout->addLayout(keys);
    layout->addStretch();
    setInputsEnabled(false);
}

void CAuthenticationPage::load()
{
    const auto& v = copy_.values;
    wepKey_->showValue(v.wepKey);
    pskKey_->showValue(v.pskKey);
    authId_->showValue(v.authId);
    authPassword_->showValue(v.authPassword);
    follow();
}

void CAuthenticationPage::setInputsEnabled(bool on)
{
    enabled_ = on;
    follow();
}

QWidget* CAuthenticationPage::inputFor(ConfigInput input) const
{
    switch (input) {
    case ConfigInput::WepKey: return wepKey_;
    case ConfigInput::PskKey: return pskKey_;
    case ConfigInput::AuthId: return authId_;
    case ConfigInput::AuthPassword: return authPassword_;
    case ConfigInput::Authentication: return auths_[std::min<std::size_t>(copy_.values.authentication, 5)];
    case ConfigInput::Cryptograph: {
        const auto choice = CryptographChoiceOf(copy_.values.cryptograph);
        return crypts_[choice ? static_cast<std::size_t>(*choice) : 0];
    }
    default: return nullptr;
    }
}

void CAuthenticationPage::follow()
{
    const std::uint8_t a = copy_.values.authentication;
    const std::uint8_t c = copy_.values.cryptograph;
    for (std::size_t i = 0; i < auths_.size(); ++i)
        auths_[i]->setEnabled(enabled_ && AuthenticationEnabled(copy_, static_cast<std::uint8_t>(i)));
    Mark(authGroup_, auths_, a < auths_.size() ? std::optional<std::size_t>(a) : std::nullopt);
    for (std::size_t i = 0; i < crypts_.size(); ++i)
        crypts_[i]->setEnabled(enabled_ && CryptographEnabled(a, static_cast<CryptographChoice>(i)));
    const auto choice = CryptographChoiceOf(c);
    Mark(cryptGroup_, crypts_, choice ? std::optional<std::size_t>(static_cast<std::size_t>(*choice)) : std::nullopt);
    const std::uint8_t e = copy_.values.eapMode;
    Mark(eapGroup_, eaps_, e < eaps_.size() ? std::optional<std::size_t>(e) : std::nullopt);

    const bool wep = a == auth::kOpenSystem || a == auth::kSharedKey;
    const bool psk = a == auth::kWpaPsk || a == auth::kWpa2Psk;
    const bool eap = a == auth::kWpa || a == auth::kWpa2;
    wepLabel_->setVisible(wep);
    wepKey_->setVisible(wep);
    wepKey_->setEnabled(enabled_ && (c == crypt::kWep64 || c == crypt::kWep128));
    pskLabel_->setVisible(psk);
    pskKey_->setVisible(psk);
    pskKey_->setEnabled(enabled_);
    eapBox_->setVisible(eap);
    for (QRadioButton* b : eaps_)
        b->setEnabled(enabled_);
    for (QWidget* w : std::initializer_list<QWidget*>{idLabel_, authId_, passwordLabel_, authPassword_})
        w->setVisible(eap);
    authId_->setEnabled(enabled_);
    authPassword_->setEnabled(enabled_);
    passwordLabel_->setText(e == 2 ? QStringLiteral("Certification Password")
                                   : QStringLiteral("Authentication Password"));
}

} // namespace pavix::gui
