#include "pavix/gui/serialusb/CSerialUsbDlg.h"

#include "pavix/config/ConfigTexts.h"
#include "pavix/gui/serialusb/CInfoDlg.h"
#include "pavix/gui/serialusb/ConfigPages.h"
#include "pavix/gui/serialusb/LinkPages.h"
#include "pavix/gui/serialusb/PageInputs.h"
#include "pavix/gui/serialusb/SerialUsbIds.h"
#include "pavix/link/IfLink.h"
#include "platform/serial_port.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace pavix::gui {

namespace {

constexpr const char* kPortOpenFailed = "Failed a port open!";
constexpr const char* kNoUsbDevice = "Not Connect USB Device and Power off!";
constexpr const char* kConnected = "Succeeded to a printer connection.";

QString Caption() { return QString::fromLatin1(kCaption); }

QString ResultAndReset(std::string_view result)
{
    return ToQString(result) + ToQString(texts::kWindowLineBreak) + ToQString(texts::kResetPrinter);
}

template <typename W>
W* Named(W* widget, const char* name, int id)
{
    widget->setObjectName(QString::fromLatin1(name));
    platform::qt::SetControlId(widget, id);
    return widget;
}

} // namespace

CSerialUsbDlg::CSerialUsbDlg(PrinterPort& port, platform::qt::Prompter& prompter, platform::DeviceRoots roots,
                             QWidget* parent)
    : QDialog(parent), port_(port), prompter_(prompter), roots_(std::move(roots))
{
    setWindowTitle(QStringLiteral("QUELLIX Pavix V" PAVIX_VERSION_TEXT));

    tabs_ = Named(new QTabWidget(this), "pagesTab", serialusb_id::kTabs);
    system_ = new CSystemPage(copy_, prompter_, tabs_);
    protocol_ = new CProtocolPage(copy_, prompter_, tabs_);
    bss_ = new CBssPage(port_, prompter_, tabs_);
    network_ = new CNetworkPage(copy_, prompter_, tabs_);
    authentication_ = new CAuthenticationPage(copy_, prompter_, tabs_);
    certificate_ = new CCertificatePage(port_, prompter_, tabs_);
    // The tab control shows "&&" as one "&", as the system's tab control did.
    tabs_->addTab(system_, QStringLiteral("System && Information"));
    tabs_->addTab(protocol_, QStringLiteral("Protocol"));
    tabs_->addTab(bss_, QStringLiteral("BSS Information"));
    tabs_->addTab(network_, QStringLiteral("Network"));
    tabs_->addTab(authentication_, QStringLiteral("Authentication"));
    tabs_->addTab(certificate_, QStringLiteral("Certificate"));
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { onTabChanged(index); });

    auto* group = new QGroupBox(QStringLiteral("Communication"), this);
    serial_ = Named(new QRadioButton(QStringLiteral("SERIAL"), group), "serialRadio", serialusb_id::kSerial);
    usbRadio_ = Named(new QRadioButton(QStringLiteral("USB"), group), "usbRadio", serialusb_id::kUsb);
    ports_ = Named(new QComboBox(group), "portList", serialusb_id::kPortList);
    // Any device path may be typed: a pseudo-terminal or an adapter the
    // list does not show.
    ports_->setEditable(true);
    ports_->setMinimumWidth(160);
    connect_ = Named(new QPushButton(QStringLiteral("Connect"), group), "connectButton", serialusb_id::kConnect);
    disconnect_ = Named(new QPushButton(QStringLiteral("Disconnect"), group), "disconnectButton",
                        serialusb_id::kDisconnect);
    update_ = Named(new QPushButton(QStringLiteral("Update"), group), "updateButton", serialusb_id::kUpdate);
    quit_ = Named(new QPushButton(QStringLiteral("Quit"), this), "quitButton", serialusb_id::kQuit);
    auto* groupLayout = new QHBoxLayout(group);
    groupLayout->addWidget(serial_);
    groupLayout->addWidget(usbRadio_);
    groupLayout->addWidget(ports_, 1);
    groupLayout->addWidget(connect_);
    groupLayout->addWidget(disconnect_);
    groupLayout->addWidget(update_);

    connect(serial_, &QRadioButton::clicked, this, [this] { OnSerial(); });
    connect(usbRadio_, &QRadioButton::clicked, this, [this] { OnUsb(); });
    connect(connect_, &QPushButton::clicked, this, [this] { OnConnect(); });
    connect(disconnect_, &QPushButton::clicked, this, [this] { OnDisconnect(); });
    connect(update_, &QPushButton::clicked, this, [this] { OnUpdate(); });
    connect(quit_, &QPushButton::clicked, this, &QDialog::reject);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(group, 1);
    bottom->addWidget(quit_, 0, Qt::AlignBottom);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_, 1);
    layout->addLayout(bottom);
    resize(720, 560);

    serial_->setChecked(true);
    OnSerial();
    setConnectedState(false);
}

CSerialUsbDlg::~CSerialUsbDlg()
{
    if (connected_ || port_.isOpen())
        port_.close();
}

ConfigPageWidget* CSerialUsbDlg::Page(ConfigPage page) const
{
    switch (page) {
    case ConfigPage::System: return system_;
    case ConfigPage::Protocol: return protocol_;
    case ConfigPage::Network: return network_;
    case ConfigPage::Authentication: return authentication_;
    default: return nullptr;
    }
}

void CSerialUsbDlg::OnSerial()
{
    serial_->setChecked(true);
    ports_->clear();
    for (const std::string& name : platform::listSerialPorts(roots_))
        ports_->addItem(QString::fromStdString(name));
    ports_->setCurrentIndex(ports_->count() > 0 ? 0 : -1);
}

void CSerialUsbDlg::OnUsb()
{
    usb_.clear();
    for (UsbDevice& device : ListUsbDevices(roots_))
        if (device.accepted)
            usb_.push_back(std::move(device));
    if (usb_.empty()) {
        prompter_.warning(this, Caption(), QString::fromLatin1(kNoUsbDevice), QString());
        OnSerial();
        return;
    }
    usbRadio_->setChecked(true);
    ports_->clear();
    for (const UsbDevice& device : usb_)
        ports_->addItem(QString::fromStdString(device.name));
    ports_->setCurrentIndex(0);
}

void CSerialUsbDlg::OnConnect()
{
    const std::string chosen = ports_->currentText().trimmed().toStdString();
    std::string path = chosen;
    if (usbRadio_->isChecked()) {
        path.clear();
        for (const UsbDevice& device : usb_)
            if (device.name == chosen)
                path = device.devicePath;
    }
    OpenResult opened = OpenResult::OpenFailed;
    LinkResult got;
    SystemInfo info;
    IfConfigRecord record;
    if (!path.empty()) {
        ExchangeScope scope(this);
        port_.portName = path;
        opened = port_.open();
        if (opened == OpenResult::Ok) {
            IfLink link{port_};
            got = link.ReadConfiguration(info, record);
        }
    }
    if (opened != OpenResult::Ok) {
        prompter_.warning(this, Caption(), QString::fromLatin1(kPortOpenFailed),
                          port_.lastError().isSet() ? QString::fromStdString(port_.lastError().describe())
                                                    : QString());
        return;
    }
    if (!got.ok()) {
        port_.close();
        prompter_.warning(this, Caption(), ToQString(texts::kNotConnected),
                          ToQString(DescribeLinkResult(got, port_.firstByteTimeoutMs)));
        return;
    }
    Fill(info, record);
    prompter_.information(this, Caption(), QString::fromLatin1(kConnected), QString());
    setConnectedState(true);
}

void CSerialUsbDlg::OnDisconnect()
{
    port_.close();
    setConnectedState(false);
}

void CSerialUsbDlg::OnUpdate()
{
    if (!connected_ || !port_.isOpen()) {
        prompter_.warning(this, Caption(), ToQString(texts::kNotConnected), QString());
        return;
    }
    if (const auto refused = CheckBeforeWrite(copy_, shown_)) {
        showRefusal(*refused);
        return;
    }
    // The WEP rule may have chosen the code by the key's length.
    authentication_->load();
    lastRecord_ = BuildRecord(copy_);
    LinkResult wrote;
    {
        ExchangeScope scope(this);
        IfLink link{port_};
        wrote = link.WriteConfiguration(lastRecord_);
    }
    if (!wrote.ok()) {
        prompter_.warning(this, Caption(), ToQString(texts::kConfigFailed),
                          ToQString(DescribeLinkResult(wrote, port_.firstByteTimeoutMs)));
        return;
    }
    prompter_.information(this, Caption(), ResultAndReset(texts::kConfigCompleted), QString());
    if (showInformation) {
        showInformation(lastRecord_);
    } else {
        CInfoDlg information(lastRecord_, this);
        information.exec();
    }
}

void CSerialUsbDlg::Fill(const SystemInfo& info, const IfConfigRecord& record)
{
    copy_ = WorkingCopyFromRecord(record);
    system_->showSystemInfo(info);
    for (ConfigPageWidget* page : std::initializer_list<ConfigPageWidget*>{system_, protocol_, network_,
                                                                          authentication_})
        page->load();
}

void CSerialUsbDlg::onTabChanged(int index)
{
    if (bringingUp_)
        return;
    if (const auto refused = ValidatePage(copy_, shown_)) {
        bringUp(shown_);
        Page(shown_)->refuse(*refused);
        return;
    }
    shown_ = static_cast<ConfigPage>(index);
    // The Network page's mode decides what the Authentication page offers,
    // so a page is shown afresh from the copy whenever it comes up.
    if (ConfigPageWidget* page = Page(shown_))
        page->load();
}

void CSerialUsbDlg::bringUp(ConfigPage page)
{
    bringingUp_ = true;
    tabs_->setCurrentIndex(static_cast<int>(page));
    bringingUp_ = false;
    shown_ = page;
    if (ConfigPageWidget* widget = Page(page))
        widget->load();
}

void CSerialUsbDlg::showRefusal(const ConfigRefusal& refusal)
{
    ConfigPageWidget* page = Page(refusal.page);
    if (page == nullptr) {
        prompter_.warning(this, Caption(), ToQString(refusal.message), QString());
        return;
    }
    if (refusal.page != shown_)
        bringUp(refusal.page);
    page->refuse(refusal);
}

void CSerialUsbDlg::setConnectedState(bool on)
{
    connected_ = on;
    tabs_->setEnabled(on);
    connect_->setEnabled(!on);
    disconnect_->setEnabled(on);
    update_->setEnabled(on);
    // The port cannot change under an open link.
    serial_->setEnabled(!on);
    usbRadio_->setEnabled(!on);
    ports_->setEnabled(!on);
    for (ConfigPageWidget* page : std::initializer_list<ConfigPageWidget*>{system_, protocol_, network_,
                                                                          authentication_})
        page->setInputsEnabled(on);
    bss_->setConnected(on);
    certificate_->setConnected(on);
}

} // namespace pavix::gui
