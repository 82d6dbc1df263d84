#include "corvane/shell/CZ400TCUtilityDlg.h"

#include "corvane/link/ConnectionName.h"
#include "corvane/shell/CAboutDlg.h"
#include "corvane/firmware/CFirmwarednDlg.h"
#include "corvane/nv/NvJob.h"
#include "corvane/nv/gui/CNVDlg.h"
#include "corvane/nv/gui/CNvProDlg.h"
#include "corvane/switches/CDlgTLVR.h"
#include "corvane/switches/CDlg_MsrAdvance.h"
#include "corvane/switches/CTlvrProDlg.h"
#include "corvane/switches/TlvrEditor.h"
#include "corvane/shell/MainDialogIds.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/Ipv4AddressEdit.h"
#include "platform/serial_port.h"
#include "platform/usb_printers.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace corvane {
namespace {

using platform::qt::SetControlId;

const char* const kBaudRates[] = {"2400", "4800", "9600", "19200", "38400", "57600", "115200"};
const char* const kParities[] = {"NONE", "ODD", "EVEN"};
const char* const kStopBits[] = {"1", "2"};
const char* const kFlowControls[] = {"NONE", "DTR/DSR"};

template <std::size_t N>
void addItems(QComboBox* combo, const char* const (&items)[N])
{
    for (const char* item : items)
        combo->addItem(QString::fromLatin1(item));
}

QComboBox* makeCombo(QWidget* parent, int id)
{
    auto* combo = new QComboBox(parent);
    SetControlId(combo, id);
    combo->setMinimumContentsLength(14);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    return combo;
}

QString fromLocal(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string toLocal(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

QString NormalizeIpv4(const QString& text)
{
    const QString normal = platform::qt::Ipv4AddressEdit::normalize(text);
    if (!normal.isEmpty())
        return normal;
    // No field filled in at all reads as 0.0.0.0, as the system's address
    // control reads an empty address.
    const QString trimmed = text.trimmed();
    if (trimmed.count(QLatin1Char('.')) <= 3 && QString(trimmed).remove(QLatin1Char('.')).isEmpty())
        return QString::fromUtf8(shell_text::kDefaultIp);
    return {};
}

CZ400TCUtilityDlg::CZ400TCUtilityDlg(const ShellServices& services, QWidget* parent)
    : QDialog(parent), services_(services), util_(services.clock, services.devices), tlvr_(util_, services.clock)
{
    setWindowIcon(ProgramIcon());
    buildControls();
    fillFixedCombos();

    interface_->addItem(QString::fromUtf8(shell_text::kInterfaceSerial));
    interface_->addItem(QString::fromUtf8(shell_text::kInterfaceUsb));
    interface_->addItem(QString::fromUtf8(shell_text::kInterfaceTcp));
    selectInterfaceQuietly(kInterfaceSerial);

    StoredConnection stored;
    if (LoadStoredConnection(services_.registry, stored))
        selectInterfaceQuietly(stored.interfaceIndex);
    settings_ = stored.settings;

    SwitchInterface(InterfaceIndex());
    restoreSelections(stored);

    description_->setText(DisplayText(shell_text::kDescription));
    setWindowTitle(QString::fromUtf8(shell_text::kWindowTitle));

    connect(interface_, &QComboBox::currentIndexChanged, this, &CZ400TCUtilityDlg::SwitchInterface);
}

CZ400TCUtilityDlg::~CZ400TCUtilityDlg() = default;

void CZ400TCUtilityDlg::buildControls()
{
    auto* settingsBox = new QGroupBox(this);
    auto* grid = new QGridLayout(settingsBox);

    interface_ = makeCombo(settingsBox, main_id::kInterface);
    port_ = makeCombo(settingsBox, main_id::kPort);
    baudRate_ = makeCombo(settingsBox, main_id::kBaudRate);
    dataBits_ = makeCombo(settingsBox, main_id::kDataBits);
    parity_ = makeCombo(settingsBox, main_id::kParity);
    stopBits_ = makeCombo(settingsBox, main_id::kStopBits);
    flowControl_ = makeCombo(settingsBox, main_id::kFlowControl);
    port_->setInsertPolicy(QComboBox::NoInsert);

    portLabel_ = new QLabel(QString::fromUtf8(shell_text::kPortLabel), settingsBox);
    SetControlId(portLabel_, main_id::kPortLabel);
    baudLabel_ = new QLabel(settingsBox);

    ipAddress_ = new platform::qt::Ipv4AddressEdit(settingsBox);
    ipAddress_->setAddress(QString::fromUtf8(shell_text::kDefaultIp));
    SetControlId(ipAddress_, main_id::kIpAddress);

    tcpPort_ = new QLineEdit(QString::fromUtf8(shell_text::kDefaultTcpPort), settingsBox);
    SetControlId(tcpPort_, main_id::kTcpPort);
    tcpPort_->setValidator(new QIntValidator(0, 65535, tcpPort_));

    int row = 0;
    grid->addWidget(new QLabel(QStringLiteral("Interface :"), settingsBox), row, 0);
    grid->addWidget(interface_, row++, 1);
    grid->addWidget(portLabel_, row, 0);
    grid->addWidget(port_, row, 1);
    grid->addWidget(ipAddress_, row++, 1);
    grid->addWidget(baudLabel_, row, 0);
    grid->addWidget(baudRate_, row, 1);
    grid->addWidget(tcpPort_, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("Data bits :"), settingsBox), row, 0);
    grid->addWidget(dataBits_, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("Parity :"), settingsBox), row, 0);
    grid->addWidget(parity_, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("Stop bits :"), settingsBox), row, 0);
    grid->addWidget(stopBits_, row++, 1);
    grid->addWidget(new QLabel(QStringLiteral("Flow control :"), settingsBox), row, 0);
    grid->addWidget(flowControl_, row++, 1);
    grid->setColumnStretch(1, 1);

    telvara_ = new QPushButton(QStringLiteral("Telvara"), this);
    SetControlId(telvara_, main_id::kTelvara);
    nvImage_ = new QPushButton(QStringLiteral("NV Image Manager"), this);
    SetControlId(nvImage_, main_id::kNvImageManager);
    firmware_ = new QPushButton(QStringLiteral("Firmware Manager"), this);
    SetControlId(firmware_, main_id::kFirmwareManager);
    exit_ = new QPushButton(QStringLiteral("Exit"), this);
    SetControlId(exit_, main_id::kExit);
    for (QPushButton* button : {telvara_, nvImage_, firmware_})
        button->setAutoDefault(false);
    // Enter ends the window like "Exit", as the dialog's OK command does.
    exit_->setDefault(true);

    connect(telvara_, &QPushButton::clicked, this, &CZ400TCUtilityDlg::OnTelvara);
    connect(nvImage_, &QPushButton::clicked, this, &CZ400TCUtilityDlg::OnNvImageManager);
    connect(firmware_, &QPushButton::clicked, this, &CZ400TCUtilityDlg::OnFirmwareManager);
    connect(exit_, &QPushButton::clicked, this, &CZ400TCUtilityDlg::OnExit);

    // There is no system menu to extend: "About" is a small button and the
    // window's context menu (and F1).
    auto* about = new QAction(QString::fromUtf8(shell_text::kAboutMenuItem), this);
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, &CZ400TCUtilityDlg::OnAbout);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* aboutButton = new QToolButton(this);
    aboutButton->setDefaultAction(about);
    aboutButton->setAutoRaise(true);

    auto* buttons = new QVBoxLayout;
    buttons->addWidget(telvara_);
    buttons->addWidget(nvImage_);
    buttons->addWidget(firmware_);
    buttons->addStretch(1);
    buttons->addWidget(aboutButton, 0, Qt::AlignRight);
    buttons->addWidget(exit_);

    auto* top = new QHBoxLayout;
    top->addWidget(settingsBox, 1);
    top->addLayout(buttons);

    description_ = new QLabel(this);
    SetControlId(description_, main_id::kDescription);
    description_->setWordWrap(true);
    description_->setFrameShape(QFrame::StyledPanel);
    description_->setMargin(6);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(description_);
    layout->addLayout(top);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    description_->setFixedWidth(440);
}

void CZ400TCUtilityDlg::fillFixedCombos()
{
    addItems(baudRate_, kBaudRates);
    dataBits_->addItem(QStringLiteral("8"));
    addItems(parity_, kParities);
    addItems(stopBits_, kStopBits);
    addItems(flowControl_, kFlowControls);
}

int CZ400TCUtilityDlg::InterfaceIndex() const
{
    return interface_->currentIndex();
}

void CZ400TCUtilityDlg::selectInterfaceQuietly(int index)
{
    const QSignalBlocker block(interface_);
    interface_->setCurrentIndex(index);
}

void CZ400TCUtilityDlg::selectSerialPort(const QString& name)
{
    if (name.isEmpty())
        return;
    int index = port_->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index < 0) {
        // Not among the devices present (unplugged, or a classic COMn name):
        // still offered, so it is not lost at the next "Exit".
        port_->insertItem(0, name);
        index = 0;
    }
    port_->setCurrentIndex(index);
}

void CZ400TCUtilityDlg::SwitchInterface(int index)
{
    port_->hide();
    baudRate_->hide();
    tcpPort_->hide();
    ipAddress_->hide();

    if (index == kInterfaceSerial) {
        port_->show();
        baudRate_->show();
        portLabel_->setText(QString::fromUtf8(shell_text::kPortLabel));
        baudLabel_->setText(QStringLiteral("Baud rate :"));
        port_->clear();
        port_->setEditable(true);
        port_->setInsertPolicy(QComboBox::NoInsert);
        for (const std::string& path : platform::listSerialPorts(services_.devices.roots()))
            port_->addItem(fromLocal(path));
        selectSerialPort(QString::fromUtf8(shell_text::kSerialDefaultPort));
        baudRate_->setCurrentIndex(baudRate_->findText(QStringLiteral("115200")));
        dataBits_->setCurrentIndex(0);
        parity_->setCurrentIndex(0);
        stopBits_->setCurrentIndex(0);
        flowControl_->setCurrentIndex(1);
        for (QComboBox* combo : {baudRate_, dataBits_, parity_, stopBits_, flowControl_})
            combo->setEnabled(true);
    } else if (index == kInterfaceUsb) {
        port_->show();
        baudRate_->show();
        portLabel_->setText(QString::fromUtf8(shell_text::kPortLabel));
        baudLabel_->setText(QStringLiteral("Baud rate :"));
        port_->clear();
        port_->setEditable(false);
        usbPaths_.clear();
        for (const platform::UsbPrinterInfo& printer : platform::listUsbPrinters(services_.devices.roots())) {
            usbPaths_.push_back(printer.devicePath);
            port_->addItem(QStringLiteral("USB%1").arg(usbPaths_.size(), 2, 10, QLatin1Char('0')));
        }
        if (usbPaths_.empty()) {
            services_.prompter.information(this, QString::fromUtf8(shell_text::kProgramCaption),
                                           QString::fromUtf8(shell_text::kNoUsbPrinter), QString());
            selectInterfaceQuietly(kInterfaceSerial);
            SwitchInterface(kInterfaceSerial);
            return;
        }
        port_->setCurrentIndex(0);
        for (QComboBox* combo : {baudRate_, dataBits_, parity_, stopBits_, flowControl_})
            combo->setEnabled(false);
    } else if (index == kInterfaceTcp) {
        tcpPort_->show();
        ipAddress_->show();
        portLabel_->setText(QString::fromUtf8(shell_text::kIpLabel));
        baudLabel_->setText(QStringLiteral("TCP Port :"));
        ipAddress_->setText(QString::fromUtf8(shell_text::kDefaultIp));
        tcpPort_->setText(QString::fromUtf8(shell_text::kDefaultTcpPort));
        for (QComboBox* combo : {dataBits_, parity_, stopBits_, flowControl_})
            combo->setEnabled(false);
    }
}

void CZ400TCUtilityDlg::restoreSelections(const StoredConnection& stored)
{
    const PortSettings& s = stored.settings;
    switch (stored.interfaceIndex) {
    case kInterfaceSerial: {
        selectSerialPort(QString::fromStdString(s.portName).trimmed());
        const int baud = baudRate_->findText(QString::number(s.baudRate));
        if (baud >= 0)
            baudRate_->setCurrentIndex(baud);
        if (s.parity >= 0 && s.parity < parity_->count())
            parity_->setCurrentIndex(s.parity);
        const int stop = s.stopBits == 2 ? 1 : s.stopBits;
        if (stop >= 0 && stop < stopBits_->count())
            stopBits_->setCurrentIndex(stop);
        if (s.flowControl >= 0 && s.flowControl < flowControl_->count())
            flowControl_->setCurrentIndex(s.flowControl);
        // Data bits have one choice only and are not restored.
        break;
    }
    case kInterfaceUsb:
        for (std::size_t i = 0; i < usbPaths_.size(); ++i) {
            if (usbPaths_[i] == s.portName) {
                port_->setCurrentIndex(static_cast<int>(i));
                break;
            }
        }
        break;
    case kInterfaceTcp: {
        // "NET192.168.1.50" -> "192.168.1.50". The TCP port edit keeps its
        // 9100: the stored TCP port is not shown.
        const QString address = NormalizeIpv4(QString::fromStdString(TcpAddressOf(s.portName)));
        if (!address.isEmpty())
            ipAddress_->setText(address);
        break;
    }
    default:
        break;
    }
}

void CZ400TCUtilityDlg::PreselectConnection(const QString& portName, int tcpPort)
{
    const QString name = portName.trimmed();
    if (name.isEmpty())
        return;
    // The same rules as the port object's, so a name the command line
    // accepts ("NETE192.168.0.20") is taken here too.
    const ConnectionName parsed = ParseConnectionName(toLocal(name), services_.devices.roots());
    if (parsed.kind == PortKind::Tcp) {
        if (InterfaceIndex() != kInterfaceTcp)
            interface_->setCurrentIndex(kInterfaceTcp);
        const QString address = NormalizeIpv4(QString::fromStdString(parsed.address));
        if (!address.isEmpty())
            ipAddress_->setText(address);
        if (tcpPort > 0)
            tcpPort_->setText(QString::number(tcpPort));
        return;
    }
    if (parsed.kind == PortKind::Usb) {
        if (InterfaceIndex() != kInterfaceUsb)
            interface_->setCurrentIndex(kInterfaceUsb);
        for (std::size_t i = 0; i < usbPaths_.size(); ++i) {
            if (usbPaths_[i] == toLocal(name))
                port_->setCurrentIndex(static_cast<int>(i));
        }
        if (InterfaceIndex() == kInterfaceUsb)
            return;
    }
    if (InterfaceIndex() != kInterfaceSerial)
        interface_->setCurrentIndex(kInterfaceSerial);
    selectSerialPort(name);
}

void CZ400TCUtilityDlg::ReadControls()
{
    switch (InterfaceIndex()) {
    case kInterfaceSerial:
        settings_.portName = toLocal(port_->currentText().trimmed());
        settings_.baudRate = baudRate_->currentText().toInt();
        settings_.dataBits = dataBits_->currentText().toInt();
        settings_.parity = parity_->currentIndex();
        settings_.stopBits = stopBits_->currentIndex() == 1 ? 2 : 0;
        settings_.flowControl = flowControl_->currentIndex();
        break;
    case kInterfaceUsb: {
        const int index = port_->currentIndex();
        if (index >= 0 && static_cast<std::size_t>(index) < usbPaths_.size())
            settings_.portName = usbPaths_[static_cast<std::size_t>(index)];
        break;
    }
    case kInterfaceTcp: {
        QString address = NormalizeIpv4(ipAddress_->text());
        if (address.isEmpty())
            address = QString::fromUtf8(shell_text::kDefaultIp);
        settings_.portName = TcpConnectionName(address.toStdString());
        settings_.baudRate = tcpPort_->text().toInt();
        break;
    }
    default:
        break;
    }
}

void CZ400TCUtilityDlg::OnExit()
{
    ReadControls();
    StoredConnection connection;
    connection.interfaceIndex = InterfaceIndex();
    connection.settings = settings_;
    // Write failures are silent here: there is nothing the user could do
    // about them at this point, and the window must still close.
    SaveStoredConnection(services_.registry, connection);
    if (util_.port.IsOpen())
        util_.port.Close();
    accept();
}

void CZ400TCUtilityDlg::OnTelvara()
{
    ReadControls();
    util_.settings = settings_;
    util_.ApplyPortSettings();
    TlvrEditorHooks hooks;
    hooks.runJob = [this](platform::Job& job) { return CTlvrProDlg::RunTlvrJob(job, this); };
    hooks.showPages = [this](CCommonTlvr& record) {
        // Page 2's "Advance": the sentinel dialog on the page's option and codes.
        const TlvrAdvanceHook advance = [this](CCommonTlvr& s) {
            std::string codes[6] = {s.Track1Start, s.Track2Start, s.Track3Start,
                                    s.Track1End,   s.Track2End,   s.Track3End};
            int option = s.Sentinel;
            if (!CDlg_MsrAdvance::EditSentinels(option, codes, services_.prompter, this))
                return false;
            s.Sentinel = option;
            s.Track1Start = codes[0];
            s.Track2Start = codes[1];
            s.Track3Start = codes[2];
            s.Track1End = codes[3];
            s.Track2End = codes[4];
            s.Track3End = codes[5];
            return true;
        };
        return ShowTlvrPages(record, services_.prompter, this, advance);
    };
    hooks.showMessage = [this](const std::string& text, const std::string& caption) {
        services_.prompter.information(this, QString::fromStdString(caption), QString::fromLatin1(text.c_str()), {});
    };
    RunTlvrEditor(tlvr_, services_.registry, hooks);
}

void CZ400TCUtilityDlg::OnNvImageManager()
{
    ReadControls();
    util_.settings = settings_;
    util_.ApplyPortSettings();
    nv_.printerIdentified = 0;
    const platform::JobResult opened =
        CNvProDlg::RunNvJob(nv_, kNvJobAddresses, services_.registry, this, {}, 0, services_.clock);
    if (opened.end != platform::JobEnd::Ok) {
        if (util_.port.IsOpen())
            util_.port.Close();
        QString text = QString::fromStdString(opened.message);
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        services_.prompter.warning(this, QString::fromUtf8(shell_text::kProgramCaption), text, QString());
        return;
    }
    {
        CNVDlg manager(nv_, services_.registry, services_.prompter, this, services_.clock);
        manager.exec();
    }
    if (util_.port.IsOpen())
        util_.port.Close();
}

void CZ400TCUtilityDlg::OnFirmwareManager()
{
    ReadControls();
    // The firmware window has its own port object; ours stays untouched.
    CFirmwarednDlg dialog(settings_, services_.prompter, services_.clock, services_.devices, this);
    dialog.exec();
}

void CZ400TCUtilityDlg::OnAbout()
{
    CAboutDlg dialog(this);
    dialog.exec();
}

void CZ400TCUtilityDlg::reject()
{
    if (util_.port.IsOpen())
        util_.port.Close();
    QDialog::reject();
}

} // namespace corvane
