// The "System && Information" and "Protocol" pages.
#include "pavix/config/IfInfoRows.h"
#include "pavix/gui/serialusb/ConfigPages.h"
#include "pavix/gui/serialusb/PageInputs.h"
#include "pavix/protocol/IfTables.h"
#include "platform/qt/Ipv4AddressEdit.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

namespace pavix::gui {

ConfigPageWidget::ConfigPageWidget(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter, QWidget* parent)
    : QWidget(parent), copy_(copy), prompter_(prompter)
{
}

void ConfigPageWidget::refuse(const ConfigRefusal& refusal)
{
    prompter_.warning(this, QString::fromLatin1(kCaption), ToQString(refusal.message), QString());
    if (QWidget* input = inputFor(refusal.focus))
        input->setFocus(Qt::OtherFocusReason);
}

namespace {

QLineEdit* ReadOnlyLine(const char* name, QWidget* parent)
{
    auto* line = new QLineEdit(parent);
    line->setObjectName(QString::fromLatin1(name));
    line->setReadOnly(true);
    return line;
}

ConfigTextEdit* TextInput(ConfigInput input, const char* name, std::function<void(const std::string&)> store,
                          QWidget* parent)
{
    auto* edit = new ConfigTextEdit(input, std::move(store), parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

// ---- System --------------------------------------------------------------------------

CSystemPage::CSystemPage(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter, QWidget* parent)
    : ConfigPageWidget(copy, prompter, parent)
{
    auto& v = copy_.values;
    name_ = TextInput(ConfigInput::PrinterName, "printerName", [&v](const std::string& s) { v.printerName = s; }, this);
    port_ = new DigitsEdit(5, [this](std::uint32_t typed) {
        if (const auto refused = EditPrinterPort(copy_, typed))
            refuse(*refused);
        return std::uint32_t{copy_.values.printerPort};
    }, this);
    port_->setObjectName(QStringLiteral("printerPort"));
    port_->showValue(kDefaultPrinterPort);
    userId_ = TextInput(ConfigInput::UserId, "userId", [&v](const std::string& s) { v.userId = s; }, this);
    password_ = TextInput(ConfigInput::UserPassword, "userPassword",
                          [&v](const std::string& s) { v.userPassword = s; }, this);
    password_->setEchoMode(QLineEdit::Password);
    confirm_ = TextInput(ConfigInput::ConfirmPassword, "confirmPassword",
                         [this](const std::string& s) { copy_.confirmPassword = s; }, this);
    confirm_->setEchoMode(QLineEdit::Password);
    firmware_ = ReadOnlyLine("firmwareVersion", this);
    date_ = ReadOnlyLine("updateDate", this);
    mac_ = ReadOnlyLine("macAddress", this);

    auto* form = new QFormLayout(this);
    form->addRow(QStringLiteral("Printer Name"), name_);
    form->addRow(QStringLiteral("Printer Port Num (0 ~ 32767)"), port_);
    form->addRow(QStringLiteral("User ID"), userId_);
    form->addRow(QStringLiteral("User Password"), password_);
    form->addRow(QStringLiteral("Confirm Password"), confirm_);
    form->addRow(QStringLiteral("Firmware Version"), firmware_);
    form->addRow(QStringLiteral("Update Date"), date_);
    form->addRow(QStringLiteral("Mac Address"), mac_);
    setInputsEnabled(false);
}

void CSystemPage::load()
{
    const auto& v = copy_.values;
    name_->showValue(v.printerName);
    port_->showValue(v.printerPort);
    userId_->showValue(v.userId);
    password_->showValue(v.userPassword);
    confirm_->showValue(copy_.confirmPassword);
}

void CSystemPage::setInputsEnabled(bool on)
{
    enabled_ = on;
    for (QWidget* w : std::initializer_list<QWidget*>{name_, port_, userId_, password_, confirm_, firmware_, date_, mac_})
        w->setEnabled(on);
}

QWidget* CSystemPage::inputFor(ConfigInput input) const
{
    switch (input) {
    case ConfigInput::PrinterName: return name_;
    case ConfigInput::PrinterPort: return port_;
    case ConfigInput::UserId: return userId_;
    case ConfigInput::UserPassword: return password_;
    case ConfigInput::ConfirmPassword: return confirm_;
    default: return nullptr;
    }
}

void CSystemPage::showSystemInfo(const SystemInfo& info)
{
    firmware_->setText(BoardText(info.firmwareVersion.substr(0, 16)));
    date_->setText(BoardText(info.updateDate.substr(0, 32)));
    mac_->setText(ToQString(FormatMac(info.mac)));
}

// ---- Protocol ------------------------------------------------------------------------

CProtocolPage::CProtocolPage(ConfigWorkingCopy& copy, platform::qt::Prompter& prompter, QWidget* parent)
    : ConfigPageWidget(copy, prompter, parent)
{
    auto* form = new QFormLayout(this);
    static constexpr const char* kNames[] = {"httpsList", "telnetList", "ftpList", "snmpList"};
    static constexpr const char* kLabels[] = {"HTTPS", "TELNET", "FTP", "SNMP"};
    for (std::size_t i = 0; i < switches_.size(); ++i) {
        auto* list = new QComboBox(this);
        list->setObjectName(QString::fromLatin1(kNames[i]));
        list->addItems({QStringLiteral("Disable"), QStringLiteral("Enable")});
        connect(list, &QComboBox::activated, this, [this, i](int index) {
            std::uint8_t* codes[] = {&copy_.values.https, &copy_.values.telnet, &copy_.values.ftp,
                                     &copy_.values.snmp};
            *codes[i] = static_cast<std::uint8_t>(index);
        });
        switches_[i] = list;
        form->addRow(QString::fromLatin1(kLabels[i]), list);
    }
    auto& v = copy_.values;
    readCommunity_ = TextInput(ConfigInput::ReadCommunity, "readCommunity",
                               [&v](const std::string& s) { v.getCommunity = s; }, this);
    writeCommunity_ = TextInput(ConfigInput::WriteCommunity, "writeCommunity",
                                [&v](const std::string& s) { v.setCommunity = s; }, this);
    trapAddress_ = new platform::qt::Ipv4AddressEdit(this);
    trapAddress_->setObjectName(QStringLiteral("trapAddress"));
    connect(trapAddress_, &QLineEdit::textEdited, this,
            [this] { copy_.values.trapAddress = trapAddress_->octets().value_or(Ipv4{}); });
    trapCommunity_ = TextInput(ConfigInput::TrapCommunity, "trapCommunity",
                               [&v](const std::string& s) { v.trapCommunity = s; }, this);
    form->addRow(QStringLiteral("Community Name (Read):"), readCommunity_);
    form->addRow(QStringLiteral("Community Name (Write):"), writeCommunity_);
    form->addRow(QStringLiteral("Trap IP Address"), trapAddress_);
    form->addRow(QStringLiteral("Trap Community"), trapCommunity_);
    setInputsEnabled(false);
}

void CProtocolPage::load()
{
    const auto& v = copy_.values;
    const std::uint8_t codes[] = {v.https, v.telnet, v.ftp, v.snmp};
    // A code the list does not know shows no choice and is kept as read.
    for (std::size_t i = 0; i < switches_.size(); ++i)
        switches_[i]->setCurrentIndex(codes[i] <= 1 ? codes[i] : -1);
    readCommunity_->showValue(v.getCommunity);
    writeCommunity_->showValue(v.setCommunity);
    trapAddress_->setOctets(v.trapAddress);
    trapCommunity_->showValue(v.trapCommunity);
}

void CProtocolPage::setInputsEnabled(bool on)
{
    enabled_ = on;
    for (QComboBox* list : switches_)
        list->setEnabled(on);
    for (QWidget* w : std::initializer_list<QWidget*>{readCommunity_, writeCommunity_, trapAddress_, trapCommunity_})
        w->setEnabled(on);
}

QWidget* CProtocolPage::inputFor(ConfigInput input) const
{
    switch (input) {
    case ConfigInput::ReadCommunity: return readCommunity_;
    case ConfigInput::WriteCommunity: return writeCommunity_;
    case ConfigInput::TrapCommunity: return trapCommunity_;
    default: return nullptr;
    }
}

} // namespace pavix::gui
