#include "telvara/gui/CTelvaraDlg.h"

#include "telvara/gui/CAboutDlg.h"
#include "telvara/gui/DialogIds.h"
#include "telvara/gui/GuiTexts.h"
#include "telvara/link/LinkTexts.h"
#include "telvara/link/PortDiscovery.h"

#include "platform/qt/ControlIds.h"
#include "platform/qt/Ipv4AddressEdit.h"
#include "platform/qt/PaintingWaitHook.h"
#include "platform/qt/UserInputHold.h"

#include <QAction>
#include <QButtonGroup>
#include <QComboBox>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

namespace telvara {
namespace {

using platform::qt::SetControlId;

template <std::size_t N>
QComboBox* makeCombo(QWidget* parent, int id, const char* const (&items)[N])
{
    auto* combo = new QComboBox(parent);
    SetControlId(combo, id);
    for (const char* item : items)
        combo->addItem(QString::fromLatin1(item));
    return combo;
}

QPushButton* makeButton(QWidget* parent, int id, const char* text)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    SetControlId(button, id);
    button->setAutoDefault(false);
    return button;
}

QString fromLocal(const std::string& text)
{
    return QFile::decodeName(QByteArray::fromStdString(text));
}

std::string toLocal(const QString& text)
{
    return QFile::encodeName(text).toStdString();
}

void selectText(QComboBox* combo, const QString& text)
{
    const int index = combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index >= 0)
        combo->setCurrentIndex(index);
}

void selectIndex(QComboBox* combo, int index)
{
    if (index >= 0 && index < combo->count())
        combo->setCurrentIndex(index);
}

QString fromView(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CTelvaraDlg::CTelvaraDlg(const TelvaraServices& services, TelvaraHooks hooks, QWidget* parent)
    : QDialog(parent), services_(services), hooks_(std::move(hooks)), link_(services.clock, services.devices)
{
    setWindowTitle(QString::fromLatin1(gui_text::kWindowTitle));
    buildControls();

    // Start-up: the serial interface on its first port, 9600 baud, 8 data
    // bits, no parity, one stop bit, hardware flow; the printer's factory
    // address for Ethernet.
    radios_[static_cast<int>(LinkKind::Serial)]->setChecked(true);
    fillSerial(gui_text::kStartBaudRate);
    selectIndex(parity_, 0);
    selectIndex(stopBits_, 0);
    selectIndex(flowControl_, 0);
    ipAddress_->setAddress(fromView(kDefaultAddress));
    tcpPort_->setText(QString::number(kDefaultTcpPort));
    enableFor(LinkKind::Serial);
    setConnectedButtons(false);

    connect(interface_, &QButtonGroup::idClicked, this,
            [this](int id) { SwitchInterface(static_cast<LinkKind>(id)); });
    // Any other line setting or port is another connection: the checked one
    // no longer holds.
    for (QComboBox* combo : {baudRate_, dataBits_, parity_, stopBits_, flowControl_})
        connect(combo, &QComboBox::currentIndexChanged, this, &CTelvaraDlg::Disconnect);
    connect(port_, &QComboBox::currentTextChanged, this, &CTelvaraDlg::Disconnect);
}

CTelvaraDlg::~CTelvaraDlg()
{
    release();
}

void CTelvaraDlg::buildControls()
{
    auto* interfaceBox = new QGroupBox(QStringLiteral("Interface"), this);
    auto* radioRow = new QHBoxLayout(interfaceBox);
    interface_ = new QButtonGroup(this);
    const struct {
        LinkKind kind;
        int id;
        const char* text;
    } radios[] = {{LinkKind::Serial, main_id::kSerial, gui_text::kSerial},
                  {LinkKind::Parallel, main_id::kParallel, gui_text::kParallel},
                  {LinkKind::Usb, main_id::kUsb, gui_text::kUsb},
                  {LinkKind::Ethernet, main_id::kEthernet, gui_text::kEthernet}};
    for (const auto& r : radios) {
        auto* radio = new QRadioButton(QString::fromLatin1(r.text), interfaceBox);
        SetControlId(radio, r.id);
        interface_->addButton(radio, static_cast<int>(r.kind));
        radios_[static_cast<int>(r.kind)] = radio;
        radioRow->addWidget(radio);
    }

    auto* settingsBox = new QGroupBox(QStringLiteral("Settings"), this);
    auto* grid = new QGridLayout(settingsBox);
    port_ = new QComboBox(settingsBox);
    SetControlId(port_, main_id::kPort);
    port_->setInsertPolicy(QComboBox::NoInsert);
    port_->setMinimumContentsLength(18);
    port_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    baudRate_ = makeCombo(settingsBox, main_id::kBaudRate, gui_text::kBaudRates);
    dataBits_ = makeCombo(settingsBox, main_id::kDataBits, gui_text::kDataBits);
    parity_ = makeCombo(settingsBox, main_id::kParity, gui_text::kParities);
    stopBits_ = makeCombo(settingsBox, main_id::kStopBits, gui_text::kStopBits);
    flowControl_ = makeCombo(settingsBox, main_id::kFlowControl, gui_text::kFlowControls);
    ipAddress_ = new platform::qt::Ipv4AddressEdit(settingsBox);
    SetControlId(ipAddress_, main_id::kIpAddress);
    tcpPort_ = new QLineEdit(settingsBox);
    SetControlId(tcpPort_, main_id::kTcpPort);
    tcpPort_->setValidator(new QIntValidator(1, 65535, tcpPort_));

    int row = 0;
    const auto addRow = [&](const char* label, QWidget* control) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), settingsBox), row, 0);
        grid->addWidget(control, row++, 1);
    };
    addRow("Port :", port_);
    addRow("Baud rate :", baudRate_);
    addRow("Data bits :", dataBits_);
    addRow("Parity :", parity_);
    addRow("Stop bits :", stopBits_);
    addRow("Flow control :", flowControl_);
    addRow("IP address :", ipAddress_);
    addRow("TCP port :", tcpPort_);
    grid->setColumnStretch(1, 1);

    check_ = makeButton(this, main_id::kCheckCommunication, gui_text::kCheckCommunication);
    selfTest_ = makeButton(this, main_id::kSelfTest, gui_text::kSelfTest);
    runManager_ = makeButton(this, main_id::kRunManager, gui_text::kRunManager);
    commandTest_ = makeButton(this, main_id::kCommandTestEditor, gui_text::kCommandTestEditor);
    exit_ = makeButton(this, main_id::kExit, gui_text::kExit);
    connect(check_, &QPushButton::clicked, this, &CTelvaraDlg::OnCheckCommunication);
    connect(selfTest_, &QPushButton::clicked, this, &CTelvaraDlg::OnSelfTest);
    connect(runManager_, &QPushButton::clicked, this, &CTelvaraDlg::OnRunManager);
    connect(commandTest_, &QPushButton::clicked, this, &CTelvaraDlg::OnCommandTestEditor);
    connect(exit_, &QPushButton::clicked, this, &QDialog::accept);

    // Not every window manager shows a system menu to extend, so "About" is
    // the window's context menu, F1 and a small help button.
    auto* about = new QAction(QString::fromLatin1(gui_text::kAboutMenuItem), this);
    about->setObjectName(QStringLiteral("aboutAction"));
    about->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, &CTelvaraDlg::OnAbout);
    addAction(about);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    auto* aboutButton = new QToolButton(this);
    aboutButton->setObjectName(QStringLiteral("aboutButton"));
    aboutButton->setDefaultAction(about);
    aboutButton->setText(QStringLiteral("?"));
    aboutButton->setToolTip(QString::fromLatin1(gui_text::kAboutMenuItem).remove(QLatin1Char('&')));
    aboutButton->setAutoRaise(true);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {check_, selfTest_, runManager_, commandTest_})
        buttons->addWidget(button);
    buttons->addStretch(1);
    buttons->addWidget(aboutButton, 0, Qt::AlignRight);
    buttons->addWidget(exit_);

    auto* left = new QVBoxLayout;
    left->addWidget(interfaceBox);
    left->addWidget(settingsBox, 1);
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

LinkKind CTelvaraDlg::Interface() const
{
    const int id = interface_->checkedId();
    return id >= 0 && id <= 3 ? static_cast<LinkKind>(id) : LinkKind::Serial;
}

void CTelvaraDlg::fillPorts(const std::vector<std::string>& ports)
{
    port_->clear();
    for (const std::string& name : ports)
        port_->addItem(fromLocal(name));
    if (port_->count() > 0)
        port_->setCurrentIndex(0);
}

void CTelvaraDlg::fillSerial(const char* baudRate)
{
    port_->setEditable(true);
    port_->setInsertPolicy(QComboBox::NoInsert);
    fillPorts(SerialPortNames(services_.devices.roots()));
    selectText(baudRate_, QString::fromLatin1(baudRate));
    selectIndex(dataBits_, 0);
}

void CTelvaraDlg::selectPort(const QString& name)
{
    if (name.isEmpty())
        return;
    int index = port_->findText(name, Qt::MatchFixedString | Qt::MatchCaseSensitive);
    if (index < 0) {
        // Not among the ports found (unplugged, a link, a path typed once):
        // still offered, so the preset is what a check uses.
        port_->insertItem(0, name);
        index = 0;
    }
    port_->setCurrentIndex(index);
}

void CTelvaraDlg::enableFor(LinkKind kind)
{
    const bool serial = kind == LinkKind::Serial;
    const bool ethernet = kind == LinkKind::Ethernet;
    port_->setEnabled(!ethernet);
    for (QComboBox* combo : {baudRate_, dataBits_, parity_, stopBits_, flowControl_})
        combo->setEnabled(serial);
    ipAddress_->setEnabled(ethernet);
    tcpPort_->setEnabled(ethernet);
}

void CTelvaraDlg::setConnectedButtons(bool connected)
{
    check_->setEnabled(!connected);
    selfTest_->setEnabled(connected);
    runManager_->setEnabled(connected);
    commandTest_->setEnabled(connected);
}

void CTelvaraDlg::Disconnect()
{
    if (link_.isOpen() || link_.configured())
        link_.Close();
    connected_ = false;
    setConnectedButtons(false);
}

void CTelvaraDlg::SwitchInterface(LinkKind kind)
{
    Disconnect();
    {
        const QSignalBlocker block(interface_);
        radios_[static_cast<int>(kind)]->setChecked(true);
    }
    switch (kind) {
    case LinkKind::Serial:
        fillSerial(gui_text::kSerialSwitchBaudRate);
        break;
    case LinkKind::Parallel:
        port_->setEditable(false);
        fillPorts(ParallelPortNames());
        break;
    case LinkKind::Usb: {
        const PortList list = ListPorts(LinkKind::Usb, services_.devices.roots());
        if (list.fellBack) {
            services_.prompter.information(this, fromView(texts::kInformation), fromView(list.notice), {});
            SwitchInterface(LinkKind::Serial);
            return;
        }
        port_->setEditable(false);
        fillPorts(list.ports);
        break;
    }
    case LinkKind::Ethernet:
        if (ipAddress_->isBlank())
            ipAddress_->setAddress(fromView(kDefaultAddress));
        if (tcpPort_->text().isEmpty())
            tcpPort_->setText(QString::number(kDefaultTcpPort));
        break;
    }
    enableFor(kind);
    // Filling the combos may not have changed any of them: the connection
    // is gone all the same.
    Disconnect();
}

void CTelvaraDlg::PresetFromPrinter(const QString& printerName)
{
    const std::string name = printerName.toStdString();
    LinkConfig defaults = ReadControls();
    defaults.tcpPort = kDefaultTcpPort;
    const Preset preset =
        hooks_.preset ? hooks_.preset(name, defaults) : ReadCustomPreset(services_.registry, name, defaults);
    if (!preset.found) {
        if (!preset.notice.empty())
            services_.prompter.information(this, fromView(texts::kInformation),
                                           QString::fromStdString(preset.notice), {});
        return;
    }
    ApplyPreset(preset);
}

void CTelvaraDlg::ApplyPreset(const Preset& preset)
{
    SwitchInterface(preset.kind);
    if (Interface() != preset.kind)
        return;  // USB without a printer: the serial defaults, as the notice said
    const LinkConfig& c = preset.config;
    switch (preset.kind) {
    case LinkKind::Serial:
        selectPort(fromLocal(c.portName));
        selectText(baudRate_, QString::number(c.baudRate));
        selectIndex(dataBits_, c.dataBits == 8 ? 0 : 1);
        selectIndex(parity_, c.parity);
        selectIndex(stopBits_, c.stopBits);
        selectIndex(flowControl_, c.flowControl);
        break;
    case LinkKind::Parallel:
        selectPort(fromLocal(c.portName));
        break;
    case LinkKind::Usb:
        // The printer's own node when the preset names one, else the first
        // listed.
        if (!c.portName.empty()) {
            const int index = port_->findText(fromLocal(c.portName));
            if (index >= 0)
                port_->setCurrentIndex(index);
        }
        break;
    case LinkKind::Ethernet:
        if (!c.portName.empty())
            ipAddress_->setAddress(fromLocal(c.portName));
        if (c.tcpPort > 0)
            tcpPort_->setText(QString::number(c.tcpPort));
        break;
    }
    Disconnect();
}

LinkConfig CTelvaraDlg::ReadControls() const
{
    LinkConfig c;
    if (Interface() == LinkKind::Ethernet) {
        const auto octets = ipAddress_->octets();
        if (octets) {
            c.portName = QStringLiteral("%1.%2.%3.%4")
                             .arg((*octets)[0])
                             .arg((*octets)[1])
                             .arg((*octets)[2])
                             .arg((*octets)[3])
                             .toStdString();
        }
        c.tcpPort = tcpPort_->text().toInt();
        return c;
    }
    c.portName = toLocal(port_->currentText().trimmed());
    c.baudRate = baudRate_->currentText().toInt();
    c.dataBits = dataBits_->currentText().toInt();
    // All five parities as the list shows them, Mark and Space included.
    c.parity = parity_->currentIndex();
    c.stopBits = stopBits_->currentIndex();
    c.flowControl = flowControl_->currentIndex();
    // No TCP port: a name that looks like an address is not an Ethernet
    // connection on these interfaces.
    c.tcpPort = 0;
    return c;
}

void CTelvaraDlg::showResult(const CheckResult& result, const std::vector<std::string>& warnings)
{
    const QString caption = fromView(result.caption);
    const QString text = fromView(result.message);
    QStringList details;
    for (const std::string& warning : warnings)
        details << QString::fromStdString(warning);
    if (!result.detail.empty())
        details << QString::fromStdString(result.detail);
    if (result.error.isSet())
        details << QString::fromStdString(result.error.describe());
    const QString detailText = details.join(QLatin1Char('\n'));
    if (result.caption == texts::kInformation)
        services_.prompter.information(this, caption, text, detailText);
    else if (result.caption == texts::kError)
        services_.prompter.critical(this, caption, text, detailText);
    else
        services_.prompter.warning(this, caption, text, detailText);
}

void CTelvaraDlg::OnCheckCommunication()
{
    if (connected_)
        return;
    const LinkConfig config = ReadControls();
    released_ = false;  // what this check borrows is given back at the end
    std::vector<std::string> warnings;
    const BeforeOpen beforeOpen =
        hooks_.takeOver ? hooks_.takeOver([&warnings](const std::string& w) { warnings.push_back(w); })
                        : BeforeOpen{};
    CheckResult result;
    {
        platform::qt::ScopedPaintingWaitHook painting;
        platform::qt::UserInputHold hold(this);
        ConnectionCheck check(link_, services_.clock);
        result = check.run(config, beforeOpen);
    }
    connected_ = result.ok && link_.isOpen();
    setConnectedButtons(connected_);
    showResult(result, warnings);
}

void CTelvaraDlg::OnSelfTest()
{
    if (!connected_)
        return;
    runManager_->setEnabled(false);
    commandTest_->setEnabled(false);
    CheckResult result;
    {
        platform::qt::ScopedPaintingWaitHook painting;
        platform::qt::UserInputHold hold(this);
        ConnectionCheck check(link_, services_.clock);
        result = check.selfTest();
    }
    if (!result.ok) {
        // The self test closed the port: the printer must be checked again.
        Disconnect();
        showResult(result);
        return;
    }
    runManager_->setEnabled(true);
    commandTest_->setEnabled(true);
}

void CTelvaraDlg::OnRunManager()
{
    if (connected_ && hooks_.runManager)
        hooks_.runManager(link_, link_.kind());
}

void CTelvaraDlg::OnCommandTestEditor()
{
    if (connected_ && hooks_.commandTestEditor)
        hooks_.commandTestEditor(link_, link_.kind());
}

void CTelvaraDlg::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}

void CTelvaraDlg::release()
{
    if (released_)
        return;
    released_ = true;
    link_.Close();
    connected_ = false;
    if (hooks_.giveBack)
        hooks_.giveBack();
}

void CTelvaraDlg::done(int result)
{
    release();
    QDialog::done(result);
}

} // namespace telvara
