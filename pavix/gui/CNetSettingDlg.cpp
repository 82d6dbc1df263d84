#include "pavix/gui/CNetSettingDlg.h"

#include "pavix/gui/PavixIds.h"
#include "platform/qt/Ipv4AddressEdit.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace pavix::gui {

using platform::qt::Ipv4AddressEdit;
using platform::qt::SetControlId;
using search::SaveDecision;

namespace {

search::Ipv4 octetsOf(const Ipv4AddressEdit* edit)
{
    // A blank input reads as 0.0.0.0, as the system's address control does.
    return edit->octets().value_or(search::Ipv4{});
}

QLineEdit* digitsEdit(QWidget* parent, int maxLength, int id)
{
    auto* edit = new QLineEdit(parent);
    edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    edit->setMaxLength(maxLength);
    SetControlId(edit, id);
    return edit;
}

} // namespace

CNetSettingDlg::CNetSettingDlg(const PavixServices& services, search::SearchMode mode, int number, QWidget* parent)
    : QDialog(parent), services_(services), mode_(mode), number_(number),
      opening_(search::NetworkSettingModel::open(services.lists.of(mode), mode, number))
{
    setWindowTitle(DisplayText(search::SettingTitle(mode)));
    ip_ = new Ipv4AddressEdit(this);
    SetControlId(ip_, setting_id::kIp);
    subnet_ = new Ipv4AddressEdit(this);
    SetControlId(subnet_, setting_id::kSubnet);
    gateway_ = new Ipv4AddressEdit(this);
    SetControlId(gateway_, setting_id::kGateway);
    port_ = digitsEdit(this, 5, setting_id::kLocalPort);
    inactivity_ = digitsEdit(this, 4, setting_id::kInactivity);
    dhcp_ = new QCheckBox(QStringLiteral("DHCP Mode"), this);
    SetControlId(dhcp_, setting_id::kDhcp);
    baud_ = new QComboBox(this);
    SetControlId(baud_, setting_id::kBaud);
    for (const search::BaudEntry& entry : search::BaudTable())
        baud_->addItem(DisplayText(entry.text));
    firmware_ = new QLineEdit(this);
    firmware_->setReadOnly(true);
    SetControlId(firmware_, setting_id::kFirmware);
    save_ = new QPushButton(QStringLiteral("Save"), this);
    SetControlId(save_, setting_id::kSave);
    cancel_ = new QPushButton(QString::fromUtf8(text::kCancel), this);
    cancel_->setAutoDefault(false);
    SetControlId(cancel_, setting_id::kCancel);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("IP Address :"), ip_);
    form->addRow(QStringLiteral("Subnet Mask :"), subnet_);
    form->addRow(QStringLiteral("Gateway :"), gateway_);
    form->addRow(QString(), dhcp_);
    form->addRow(QStringLiteral("Local Port :"), port_);
    auto* inactivityRow = new QHBoxLayout;
    inactivityRow->addWidget(inactivity_);
    inactivityRow->addWidget(new QLabel(QStringLiteral("sec (Default: 0)"), this));
    form->addRow(QStringLiteral("Inactivity time :"), inactivityRow);
    form->addRow(QStringLiteral("Device Baudrate :"), baud_);
    form->addRow(QStringLiteral("Fimware Version :"), firmware_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(save_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(dhcp_, &QCheckBox::toggled, this, &CNetSettingDlg::dhcpToggled);
    connect(port_, &QLineEdit::textChanged, this, &CNetSettingDlg::portEdited);
    connect(inactivity_, &QLineEdit::textChanged, this, &CNetSettingDlg::inactivityEdited);
    connect(save_, &QPushButton::clicked, this, &CNetSettingDlg::OnSave);
    connect(cancel_, &QPushButton::clicked, this, &CNetSettingDlg::reject);
    connect(&runner_, &DatagramRunner::finished, this, &CNetSettingDlg::storeFinished);

    if (opening_.model)
        showModel();
}

CNetSettingDlg::~CNetSettingDlg()
{
    endWait();
}

void CNetSettingDlg::showModel()
{
    const search::NetworkSettingModel& m = *opening_.model;
    const QSignalBlocker blockPort(port_);
    const QSignalBlocker blockTime(inactivity_);
    const QSignalBlocker blockDhcp(dhcp_);
    ip_->setOctets(m.ip);
    subnet_->setOctets(m.subnet);
    gateway_->setOctets(m.gateway);
    port_->setText(QString::fromStdString(m.portText));
    inactivity_->setText(QString::fromStdString(m.inactivityText));
    firmware_->setText(QString::fromStdString(m.firmwareText));
    dhcp_->setChecked(m.dhcp());
    baud_->setCurrentIndex(m.baudSelection().value_or(-1));
    baud_->setEnabled(m.baudListEnabled());
    for (QWidget* w : {static_cast<QWidget*>(ip_), static_cast<QWidget*>(subnet_), static_cast<QWidget*>(gateway_)})
        w->setEnabled(m.addressInputsEnabled());
}

int CNetSettingDlg::exec()
{
    if (!opening_.model) {
        message(opening_.message);
        return Rejected;
    }
    if (!opening_.message.empty() || ip_->filledFields() == 0)
        message(search::kConfirmMessage);
    return QDialog::exec();
}

void CNetSettingDlg::reject()
{
    // One store at a time: the window stays until its answer or time-out.
    if (runner_.isRunning())
        return;
    QDialog::reject();
}

void CNetSettingDlg::message(std::string_view text, const QString& details)
{
    services_.prompter.information(this, QString::fromUtf8(text::kCaption), DisplayText(text), details);
}

void CNetSettingDlg::dhcpToggled(bool on)
{
    if (!opening_.model)
        return;
    opening_.model->setDhcp(on);
    for (QWidget* w : {static_cast<QWidget*>(ip_), static_cast<QWidget*>(subnet_), static_cast<QWidget*>(gateway_)})
        w->setEnabled(opening_.model->addressInputsEnabled());
}

void CNetSettingDlg::portEdited(const QString& text)
{
    if (!opening_.model)
        return;
    const search::EditCheck check = opening_.model->editPort(text.toStdString());
    if (check.message.empty())
        return;
    message(check.message);
    const QSignalBlocker block(port_);
    port_->setText(QString::fromStdString(check.text));
}

void CNetSettingDlg::inactivityEdited(const QString& text)
{
    if (!opening_.model)
        return;
    const search::EditCheck check = opening_.model->editInactivity(text.toStdString());
    if (check.message.empty())
        return;
    message(check.message);
    const QSignalBlocker block(inactivity_);
    inactivity_->setText(QString::fromStdString(check.text));
}

void CNetSettingDlg::OnSave()
{
    if (!opening_.model || runner_.isRunning())
        return;
    search::NetworkSettingModel& m = *opening_.model;
    m.ip = octetsOf(ip_);
    m.subnet = octetsOf(subnet_);
    m.gateway = octetsOf(gateway_);
    m.portText = port_->text().toStdString();
    m.inactivityText = inactivity_->text().toStdString();
    m.setDhcp(dhcp_->isChecked());
    if (baud_->isEnabled())
        m.selectBaud(baud_->currentIndex() >= 0 ? std::optional<int>(baud_->currentIndex()) : std::nullopt);

    SaveDecision decision = m.save();
    if (decision.kind == SaveDecision::Nothing)
        return;
    if (decision.kind == SaveDecision::Refused) {
        message(decision.message);
        const QSignalBlocker blockPort(port_);
        const QSignalBlocker blockTime(inactivity_);
        port_->setText(QString::fromStdString(m.portText));
        inactivity_->setText(QString::fromStdString(m.inactivityText));
        if (decision.focusPort)
            port_->setFocus();
        return;
    }

    if (!runner_.open(services_.udpSettings(mode_))) {
        services_.prompter.warning(this, QString::fromUtf8(text::kCaption), QString::fromUtf8(text::kUdpOpenFailed),
                                   QString::fromStdString(runner_.error()));
        return;
    }
    store_ = std::make_unique<search::StoreJob>(mode_, services_.lists.of(mode_), number_, decision.datagram,
                                                decision.pending, runner_.sender());
    QApplication::setOverrideCursor(Qt::WaitCursor);
    cursorShown_ = true;
    runner_.start(*store_);
}

void CNetSettingDlg::endWait()
{
    if (cursorShown_) {
        QApplication::restoreOverrideCursor();
        cursorShown_ = false;
    }
}

void CNetSettingDlg::storeFinished(const platform::JobResult& result)
{
    endWait();
    QString details;
    if (store_ && result.code == search::kStoreNotSent)
        details = QString::fromStdString(store_->sendResult().error);
    // A receive that failed ends the job without a text of its own; the user
    // is told as for an unanswered store.
    message(result.message.empty() ? std::string(search::kStoreFailedMessage) : result.message, details);
    done(Accepted);
}

} // namespace pavix::gui
