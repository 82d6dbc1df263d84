// Telvara's main window and about box, offscreen, as the user sees them:
// the controls and their ids, the interface switch with its port lists, the
// preset of an installed printer, "Check Communication" against printer-sim
// on a pseudo-terminal and on loopback TCP with every failure it reports,
// "Self Test" as the simulator counts it, and the about box. Screenshots of
// each interface and of the about box go to TELVARA_SCREENSHOT_DIR.
#include "telvara/gui/CAboutDlg.h"
#include "telvara/gui/CTelvaraApp.h"
#include "telvara/gui/CTelvaraDlg.h"
#include "telvara/gui/DialogIds.h"
#include "telvara/link/LinkTexts.h"

#include "platform/qt/ControlIds.h"
#include "platform/qt/Ipv4AddressEdit.h"
#include "platform/qt/RecordingPrompter.h"
#include "platform/qt/WindowProbes.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <map>
#include <memory>

using namespace telvara;
using platform::qt::FindControl;
using platform::qt::testing::RecordingPrompter;

namespace {

// What "Check Communication" sends, in order.
const QByteArray kCheckStream = QByteArray::fromHex("1b40" "1b3d01" "1d6100" "1d4903" "1d4942" "1d4943");
const QByteArray kSelfTestBytes = QByteArray::fromHex("1d28410200" "0102");

// printer-sim as a KTP-M880 on a pseudo-terminal (or TCP), its report read
// back as key: value lines and what it received from its capture file.
class Simulator {
public:
    Simulator(const QString& dir, const QStringList& transport, const QStringList& args)
        : report_(dir + "/report"), capture_(dir + "/capture")
    {
        QFile::remove(report_);
        QFile::remove(capture_);
        process_.setProgram(QStringLiteral(PRINTER_SIM_PATH));
        process_.setArguments(transport
                              + QStringList{"--personality", "pos", "--model", "KTP-M880", "--report", report_,
                                            "--capture", capture_}
                              + args);
        process_.start();
        if (process_.waitForReadyRead(10000))
            endpoint_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Simulator()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    // The pty's path, or the TCP port.
    const QString& endpoint() const { return endpoint_; }

    std::map<QString, QString> report() const
    {
        QFile file(report_);
        std::map<QString, QString> out;
        if (!file.open(QIODevice::ReadOnly))
            return out;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const qsizetype at = line.indexOf(": ");
            if (at > 0)
                out[QString::fromUtf8(line.left(at))] = QString::fromUtf8(line.mid(at + 2));
        }
        return out;
    }
    QByteArray received() const
    {
        QFile file(capture_);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QProcess process_;
    QString report_;
    QString capture_;
    QString endpoint_;
};

// The machine's transports with the sysfs and /dev roots of a fake tree.
class RootedDevices final : public platform::Devices {
public:
    explicit RootedDevices(const QString& root)
    {
        roots_.sysRoot = QFile::encodeName(root + "/sys").toStdString();
        roots_.devRoot = QFile::encodeName(root + "/dev").toStdString();
    }
    std::unique_ptr<platform::Port> makePort(platform::DeviceKind kind) override
    {
        return platform::systemDevices().makePort(kind);
    }
    platform::DeviceRoots roots() override { return roots_; }

private:
    platform::DeviceRoots roots_;
};

// One USB printer-class interface bound to lp<minor> in a fake tree, with
// its device's vendor and product ids; returns the node's path.
QString addUsbPrinter(const QString& root, int minor, const char* vendor, const char* product)
{
    const QString device = root + QStringLiteral("/sys/devices/usb1/1-%1").arg(minor + 1);
    const QString interface = device + QStringLiteral("/1-%1:1.0").arg(minor + 1);
    QDir().mkpath(interface);
    const auto write = [](const QString& path, const char* text) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(text) + "\n");
    };
    write(device + "/idVendor", vendor);
    write(device + "/idProduct", product);
    const QString cls = root + QStringLiteral("/sys/class/usbmisc/lp%1").arg(minor);
    QDir().mkpath(cls);
    QFile::link(interface, cls + "/device");
    QDir().mkpath(root + "/dev/usb");
    const QString node = root + QStringLiteral("/dev/usb/lp%1").arg(minor);
    QFile file(node);
    if (file.open(QIODevice::WriteOnly))
        file.close();
    return node;
}

template <typename T>
T* control(QWidget* window, int id)
{
    return qobject_cast<T*>(FindControl(window, id));
}

QStringList items(QComboBox* combo)
{
    QStringList out;
    for (int i = 0; i < combo->count(); ++i)
        out << combo->itemText(i);
    return out;
}

QString str(std::string_view text)
{
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

void screenshot(QWidget* window, const QString& name)
{
    QDir().mkpath(QStringLiteral(TELVARA_SCREENSHOT_DIR));
    window->grab().save(QStringLiteral(TELVARA_SCREENSHOT_DIR "/") + name);
}

} // namespace

class TelvaraGuiTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<platform::RegistryStore> store_;
    std::unique_ptr<RecordingPrompter> prompter_;
    std::unique_ptr<RootedDevices> devices_;

    TelvaraServices services(platform::Devices& devices)
    {
        return TelvaraServices{*prompter_, platform::systemClock(), devices, *store_};
    }
    TelvaraServices services() { return services(platform::systemDevices()); }

    // The serial interface on the simulator's pseudo-terminal.
    static void useSerial(CTelvaraDlg& window, const Simulator& sim)
    {
        auto* port = control<QComboBox>(&window, main_id::kPort);
        QVERIFY(port && port->isEditable());
        port->setEditText(sim.endpoint());
    }

    static void useEthernet(CTelvaraDlg& window, const QString& address, const QString& tcpPort)
    {
        control<QRadioButton>(&window, main_id::kEthernet)->click();
        control<platform::qt::Ipv4AddressEdit>(&window, main_id::kIpAddress)->setAddress(address);
        control<QLineEdit>(&window, main_id::kTcpPort)->setText(tcpPort);
    }

    static void verifyButtons(CTelvaraDlg& window, bool connected)
    {
        QCOMPARE(control<QPushButton>(&window, main_id::kCheckCommunication)->isEnabled(), !connected);
        for (int id : {main_id::kSelfTest, main_id::kRunManager, main_id::kCommandTestEditor})
            QCOMPARE(control<QPushButton>(&window, id)->isEnabled(), connected);
        QCOMPARE(window.IsConnected(), connected);
    }

    void verifyOneMessage(const char* kind, std::string_view caption, std::string_view text)
    {
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].kind, QString::fromLatin1(kind));
        QCOMPARE(prompter_->messages[0].caption, str(caption));
        QCOMPARE(prompter_->messages[0].text, str(text));
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        store_ = std::make_unique<platform::RegistryStore>(
            QFile::encodeName(dir_->filePath(QStringLiteral("registry.reg"))).toStdString());
        prompter_ = std::make_unique<RecordingPrompter>();
        devices_ = std::make_unique<RootedDevices>(dir_->filePath(QStringLiteral("root")));
    }

    void cleanup()
    {
        devices_.reset();
        store_.reset();
        prompter_.reset();
        dir_.reset();
    }

    // ---- Controls, start-up and interface switching --------------------------

    void controlsCarryTheirIdsAndStartOnSerial()
    {
        CTelvaraDlg window(services());
        QVERIFY(platform::qt::DuplicateControlIds(&window).isEmpty());
        const std::map<int, const char*> radios = {{main_id::kSerial, "SERIAL"},
                                                   {main_id::kParallel, "PARALLEL"},
                                                   {main_id::kUsb, "USB"},
                                                   {main_id::kEthernet, "Ethernet"}};
        for (const auto& [id, text] : radios) {
            auto* radio = control<QRadioButton>(&window, id);
            QVERIFY2(radio, text);
            QCOMPARE(radio->text(), QString::fromLatin1(text));
        }
        const std::map<int, const char*> buttons = {{main_id::kCheckCommunication, "Check Communication"},
                                                    {main_id::kSelfTest, "Self Test"},
                                                    {main_id::kRunManager, "Run Manager"},
                                                    {main_id::kCommandTestEditor, "Command Test Editor"},
                                                    {main_id::kExit, "Exit"}};
        for (const auto& [id, text] : buttons) {
            auto* button = control<QPushButton>(&window, id);
            QVERIFY2(button, text);
            QCOMPARE(button->text(), QString::fromLatin1(text));
        }
        QCOMPARE(items(control<QComboBox>(&window, main_id::kBaudRate)),
                 (QStringList{"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
        QCOMPARE(items(control<QComboBox>(&window, main_id::kDataBits)), (QStringList{"8", "7"}));
        QCOMPARE(items(control<QComboBox>(&window, main_id::kParity)),
                 (QStringList{"None", "Odd", "Even", "Mark", "Space"}));
        QCOMPARE(items(control<QComboBox>(&window, main_id::kStopBits)), (QStringList{"1", "1.5", "2"}));
        QCOMPARE(items(control<QComboBox>(&window, main_id::kFlowControl)),
                 (QStringList{"Hardware", "Xon/Xoff", "None"}));
        QVERIFY(control<platform::qt::Ipv4AddressEdit>(&window, main_id::kIpAddress));
        QVERIFY(control<QLineEdit>(&window, main_id::kTcpPort));

        // Start-up: serial on the first port, 9600 8 N 1, hardware flow.
        QVERIFY(control<QRadioButton>(&window, main_id::kSerial)->isChecked());
        QCOMPARE(window.Interface(), LinkKind::Serial);
        auto* port = control<QComboBox>(&window, main_id::kPort);
        QVERIFY(port->count() > 0);
        QCOMPARE(port->currentIndex(), 0);
        QVERIFY(items(port).contains(QStringLiteral("COM1")));
        QVERIFY(items(port).contains(QStringLiteral("\\\\.\\COM14")));
        const LinkConfig c = window.ReadControls();
        QCOMPARE(c.baudRate, 9600);
        QCOMPARE(c.dataBits, 8);
        QCOMPARE(c.parity, 0);
        QCOMPARE(c.stopBits, 0);
        QCOMPARE(c.flowControl, 0);
        QCOMPARE(control<platform::qt::Ipv4AddressEdit>(&window, main_id::kIpAddress)->address(),
                 QStringLiteral("192.168.192.123"));
        QCOMPARE(control<QLineEdit>(&window, main_id::kTcpPort)->text(), QStringLiteral("9100"));
        QVERIFY(!control<QLineEdit>(&window, main_id::kTcpPort)->isEnabled());
        verifyButtons(window, false);
        QVERIFY(prompter_->messages.isEmpty());
        window.show();
        screenshot(&window, QStringLiteral("telvara-serial.png"));
    }

    void switchingFillsTheListsForEachInterface()
    {
        CTelvaraDlg window(services());
        window.show();
        auto* port = control<QComboBox>(&window, main_id::kPort);
        auto* baud = control<QComboBox>(&window, main_id::kBaudRate);
        auto* parity = control<QComboBox>(&window, main_id::kParity);

        control<QRadioButton>(&window, main_id::kParallel)->click();
        QCOMPARE(window.Interface(), LinkKind::Parallel);
        QCOMPARE(items(port), (QStringList{"LPT1", "LPT2", "LPT3"}));
        QCOMPARE(port->currentText(), QStringLiteral("LPT1"));
        QVERIFY(port->isEnabled() && !baud->isEnabled() && !parity->isEnabled());
        QCOMPARE(QString::fromStdString(window.ReadControls().portName), QStringLiteral("LPT1"));
        screenshot(&window, QStringLiteral("telvara-parallel.png"));

        useEthernet(window, QStringLiteral("10.0.0.7"), QStringLiteral("9101"));
        QVERIFY(!port->isEnabled());
        QVERIFY(control<platform::qt::Ipv4AddressEdit>(&window, main_id::kIpAddress)->isEnabled());
        QVERIFY(control<QLineEdit>(&window, main_id::kTcpPort)->isEnabled());
        const LinkConfig ethernet = window.ReadControls();
        QCOMPARE(QString::fromStdString(ethernet.portName), QStringLiteral("10.0.0.7"));
        QCOMPARE(ethernet.tcpPort, 9101);
        screenshot(&window, QStringLiteral("telvara-ethernet.png"));

        // Back to serial: its own defaults, not the start-up baud rate.
        parity->setCurrentIndex(2);
        control<QRadioButton>(&window, main_id::kSerial)->click();
        QVERIFY(port->isEnabled() && baud->isEnabled() && parity->isEnabled());
        QCOMPARE(port->currentIndex(), 0);
        QCOMPARE(baud->currentText(), QStringLiteral("19200"));
        QCOMPARE(control<QComboBox>(&window, main_id::kDataBits)->currentText(), QStringLiteral("8"));
        QCOMPARE(window.ReadControls().tcpPort, 0);
        QVERIFY(prompter_->messages.isEmpty());
    }

    void usbListsOnlyTheTwoModelsOrFallsBackToSerial()
    {
        const QString root = dir_->filePath(QStringLiteral("root"));
        {
            // Nothing plugged in: the notice, then serial with its defaults.
            CTelvaraDlg window(services(*devices_));
            control<QRadioButton>(&window, main_id::kUsb)->click();
            verifyOneMessage("information", texts::kInformation, texts::kNoUsbPrinter);
            QCOMPARE(window.Interface(), LinkKind::Serial);
            QVERIFY(control<QRadioButton>(&window, main_id::kSerial)->isChecked());
            QCOMPARE(control<QComboBox>(&window, main_id::kPort)->currentText(), QStringLiteral("COM1"));
            QCOMPARE(control<QComboBox>(&window, main_id::kBaudRate)->currentText(), QStringLiteral("19200"));
        }
        prompter_->messages.clear();
        const QString m882 = addUsbPrinter(root, 0, "2e1a", "0b23");
        addUsbPrinter(root, 1, "2e1a", "0b99");  // the maker's, another product: not listed
        const QString m880 = addUsbPrinter(root, 2, "2e1a", "0b16");
        CTelvaraDlg window(services(*devices_));
        window.show();
        control<QRadioButton>(&window, main_id::kUsb)->click();
        QVERIFY(prompter_->messages.isEmpty());
        QCOMPARE(window.Interface(), LinkKind::Usb);
        auto* port = control<QComboBox>(&window, main_id::kPort);
        QCOMPARE(items(port), (QStringList{"M882:" + m882, "M880:" + m880}));
        QCOMPARE(port->currentIndex(), 0);
        QVERIFY(!port->isEditable());
        QVERIFY(!control<QComboBox>(&window, main_id::kBaudRate)->isEnabled());
        screenshot(&window, QStringLiteral("telvara-usb.png"));
    }

    // ---- Preset from an installed printer -------------------------------------

    void theCommandLineNamesOnePrinterAtMost()
    {
        LaunchOptions options;
        QCOMPARE(ParseLaunchOptions({"telvara"}, options), std::nullopt);
        QVERIFY(options.printerName.isEmpty());
        QCOMPARE(ParseLaunchOptions({"telvara", "Custom_KTP-M880"}, options), std::nullopt);
        QCOMPARE(options.printerName, QStringLiteral("Custom_KTP-M880"));
        // A queue whose name starts with a dash, after "--".
        QCOMPARE(ParseLaunchOptions({"telvara", "--", "-odd"}, options), std::nullopt);
        QCOMPARE(options.printerName, QStringLiteral("-odd"));
        QCOMPARE(ParseLaunchOptions({"telvara", "a", "b"}, options), std::optional<int>(2));
        QCOMPARE(ParseLaunchOptions({"telvara", "--port", "COM1"}, options), std::optional<int>(2));
    }

    void presetFromTheRegistryStore()
    {
        const std::string key = "SOFTWARE\\QUELLIX\\KTP-M882\\PSP\\Custom";
        QVERIFY(store_->writeString(key, "Port", "COM3:"));
        QVERIFY(store_->writeNumber(key, "BaudRate", 38400));
        QVERIFY(store_->writeNumber(key, "DataBits", 7));
        QVERIFY(store_->writeNumber(key, "Parity", 3));
        QVERIFY(store_->writeNumber(key, "StopBits", 2));
        QVERIFY(store_->writeNumber(key, "FlowControl", 1));
        CTelvaraDlg window(services());
        window.PresetFromPrinter(QStringLiteral("Custom_KTP-M882"));
        QVERIFY(prompter_->messages.isEmpty());
        QCOMPARE(window.Interface(), LinkKind::Serial);
        QCOMPARE(control<QComboBox>(&window, main_id::kPort)->currentText(), QStringLiteral("COM3"));
        QCOMPARE(control<QComboBox>(&window, main_id::kBaudRate)->currentText(), QStringLiteral("38400"));
        QCOMPARE(control<QComboBox>(&window, main_id::kDataBits)->currentText(), QStringLiteral("7"));
        QCOMPARE(control<QComboBox>(&window, main_id::kParity)->currentText(), QStringLiteral("Mark"));
        QCOMPARE(control<QComboBox>(&window, main_id::kStopBits)->currentText(), QStringLiteral("2"));
        QCOMPARE(control<QComboBox>(&window, main_id::kFlowControl)->currentText(), QStringLiteral("Xon/Xoff"));
        // Mark is what the check uses, not the parity shown before it.
        const LinkConfig c = window.ReadControls();
        QCOMPARE(QString::fromStdString(c.portName), QStringLiteral("COM3"));
        QCOMPARE(c.baudRate, 38400);
        QCOMPARE(c.dataBits, 7);
        QCOMPARE(c.parity, 3);
        QCOMPARE(c.stopBits, 2);
        QCOMPARE(c.flowControl, 1);
        control<QComboBox>(&window, main_id::kParity)->setCurrentIndex(4);
        QCOMPARE(window.ReadControls().parity, 4);
    }

    void presetOfAnEthernetPrinterAndOfAnUnknownOne()
    {
        const std::string key = "SOFTWARE\\QUELLIX\\KTP-M880\\PSP\\Custom";
        QVERIFY(store_->writeString(key, "Port", "NET"));
        QVERIFY(store_->writeString(key, "TcpIp", "172.16.5.9"));
        QVERIFY(store_->writeNumber(key, "TcpPort", 9200));
        {
            CTelvaraDlg window(services());
            window.PresetFromPrinter(QStringLiteral("Custom_KTP-M880"));
            QVERIFY(prompter_->messages.isEmpty());
            QCOMPARE(window.Interface(), LinkKind::Ethernet);
            QVERIFY(control<QRadioButton>(&window, main_id::kEthernet)->isChecked());
            const LinkConfig c = window.ReadControls();
            QCOMPARE(QString::fromStdString(c.portName), QStringLiteral("172.16.5.9"));
            QCOMPARE(c.tcpPort, 9200);
        }
        // The other custom printer has no key: the defaults, and why.
        CTelvaraDlg window(services());
        window.PresetFromPrinter(QStringLiteral("Custom_KTP-M882"));
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Information"));
        QVERIFY(prompter_->messages[0].text.contains(QStringLiteral("Custom_KTP-M882")));
        QCOMPARE(window.Interface(), LinkKind::Serial);
        QCOMPARE(window.ReadControls().baudRate, 9600);
    }

    // ---- Check Communication ---------------------------------------------------

    void checkOverSerialEnablesTheThreeButtons()
    {
        Simulator sim(dir_->path(), {"--pty"}, {});
        QVERIFY(!sim.endpoint().isEmpty());
        std::vector<std::string> takenOver;
        int managers = 0;
        int editors = 0;
        int givenBack = 0;
        TelvaraHooks hooks;
        hooks.takeOver = [&](auto) {
            return [&](const KindChoice& choice, CheckResult&) {
                takenOver.push_back(choice.device);
                return true;
            };
        };
        hooks.giveBack = [&] { ++givenBack; };
        hooks.runManager = [&](PortLink& link, LinkKind kind) {
            QVERIFY(link.isOpen());
            QCOMPARE(kind, LinkKind::Serial);
            ++managers;
        };
        hooks.commandTestEditor = [&](PortLink& link, LinkKind) {
            QVERIFY(link.isOpen());
            ++editors;
        };
        CTelvaraDlg window(services(), hooks);
        window.show();
        useSerial(window, sim);
        control<QPushButton>(&window, main_id::kCheckCommunication)->click();
        verifyOneMessage("information", texts::kInformation, texts::kConnected);
        verifyButtons(window, true);
        QVERIFY(window.Link().isOpen());
        QCOMPARE(takenOver.size(), std::size_t{1});
        QCOMPARE(QString::fromStdString(takenOver[0]), sim.endpoint());
        QTRY_COMPARE(sim.received(), kCheckStream);
        screenshot(&window, QStringLiteral("telvara-connected.png"));

        // A second press while connected does nothing.
        control<QPushButton>(&window, main_id::kCheckCommunication)->click();
        QCOMPARE(prompter_->messages.size(), 1);

        control<QPushButton>(&window, main_id::kRunManager)->click();
        control<QPushButton>(&window, main_id::kCommandTestEditor)->click();
        QCOMPARE(managers, 1);
        QCOMPARE(editors, 1);

        // Another baud rate is another connection.
        control<QComboBox>(&window, main_id::kBaudRate)->setCurrentIndex(0);
        verifyButtons(window, false);
        QVERIFY(!window.Link().isOpen());
        control<QPushButton>(&window, main_id::kRunManager)->click();
        QCOMPARE(managers, 1);

        // Exit closes the window and gives the spooler its queues back.
        QCOMPARE(givenBack, 0);
        control<QPushButton>(&window, main_id::kExit)->click();
        QVERIFY(!window.isVisible());
        QCOMPARE(givenBack, 1);
    }

    void eachRefusalWithItsMessageAndCaption_data()
    {
        QTest::addColumn<QStringList>("transport");
        QTest::addColumn<QStringList>("simArgs");
        QTest::addColumn<QString>("text");
        QTest::newRow("wrong maker") << QStringList{"--tcp", "0"} << QStringList{"--maker", "_QUELLIY"}
                                     << str(texts::kWrongMaker);
        QTest::newRow("wrong model") << QStringList{"--pty"} << QStringList{"--model-reply", "_KTP-M881"}
                                     << str(texts::kWrongModel);
        QTest::newRow("silent") << QStringList{"--tcp", "0"} << QStringList{"--silent"} << str(texts::kNoPrinterId);
    }

    void eachRefusalWithItsMessageAndCaption()
    {
        QFETCH(QStringList, transport);
        QFETCH(QStringList, simArgs);
        QFETCH(QString, text);
        Simulator sim(dir_->path(), transport, simArgs);
        QVERIFY(!sim.endpoint().isEmpty());
        CTelvaraDlg window(services());
        if (transport.contains(QStringLiteral("--pty")))
            useSerial(window, sim);
        else
            useEthernet(window, QStringLiteral("127.0.0.1"), sim.endpoint());
        control<QPushButton>(&window, main_id::kCheckCommunication)->click();
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].kind, QStringLiteral("warning"));
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Warning"));
        QCOMPARE(prompter_->messages[0].text, text);
        verifyButtons(window, false);
        QVERIFY(!window.Link().isOpen());
    }

    void refusalsBeforeAnyByteIsSent()
    {
        CTelvaraDlg window(services());
        // No port name at all.
        control<QComboBox>(&window, main_id::kPort)->setEditText(QString());
        control<QPushButton>(&window, main_id::kCheckCommunication)->click();
        verifyOneMessage("warning", texts::kWarning, texts::kConfigRefused);

        // A port that does not exist.
        prompter_->messages.clear();
        control<QComboBox>(&window, main_id::kPort)->setEditText(dir_->filePath(QStringLiteral("no-such-tty")));
        control<QPushButton>(&window, main_id::kCheckCommunication)->click();
        verifyOneMessage("warning", texts::kWarning, texts::kOpenFailed);
        QVERIFY(!prompter_->messages[0].details.isEmpty());

        // Nobody listening on the TCP port: an error box.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        const quint16 closed = server.serverPort();
        server.close();
        prompter_->messages.clear();
        useEthernet(window, QStringLiteral("127.0.0.1"), QString::number(closed));
        control<QPushButton>(&window, main_id::kCheckCommunication)->click();
        verifyOneMessage("critical", texts::kError, texts::kSocketNotConnected);
        verifyButtons(window, false);
    }

    void aSpoolerRefusalStopsTheCheck()
    {
        Simulator sim(dir_->path(), {"--pty"}, {});
        QVERIFY(!sim.endpoint().isEmpty());
        TelvaraHooks hooks;
        hooks.takeOver = [](auto warn) {
            return [warn](const KindChoice&, CheckResult& failed) {
                warn("the scheduler asks for a password");
                failed.errorKey = "open";
                failed.message = texts::kOpenFailed;
                failed.caption = texts::kWarning;
                failed.detail = "the queue pos1 is printing";
                return false;
            };
        };
        CTelvaraDlg window(services(), hooks);
        useSerial(window, sim);
        control<QPushButton>(&window, main_id::kCheckCommunication)->click();
        verifyOneMessage("warning", texts::kWarning, texts::kOpenFailed);
        QCOMPARE(prompter_->messages[0].details,
                 QStringLiteral("the scheduler asks for a password\nthe queue pos1 is printing"));
        verifyButtons(window, false);
        QTest::qWait(100);
        QVERIFY(sim.received().isEmpty());
    }

    void checkOverEthernetSkipsTheSpoolerAndASwitchDisconnects()
    {
        Simulator sim(dir_->path(), {"--tcp", "0"}, {});
        QVERIFY(!sim.endpoint().isEmpty());
        int takeOvers = 0;
        TelvaraHooks hooks;
        hooks.takeOver = [&](auto) {
            return [&](const KindChoice&, CheckResult&) {
                ++takeOvers;
                return true;
            };
        };
        CTelvaraDlg window(services(), hooks);
        useEthernet(window, QStringLiteral("127.0.0.1"), sim.endpoint());
        control<QPushButton>(&window, main_id::kCheckCommunication)->click();
        verifyOneMessage("information", texts::kInformation, texts::kConnected);
        verifyButtons(window, true);
        QCOMPARE(window.Link().kind(), LinkKind::Ethernet);
        QCOMPARE(takeOvers, 0);
        QTRY_COMPARE(sim.received(), kCheckStream);

        // Another interface closes the checked connection.
        control<QRadioButton>(&window, main_id::kSerial)->click();
        verifyButtons(window, false);
        QVERIFY(!window.Link().isOpen());
    }

    // ---- Self Test ---------------------------------------------------------------

    void selfTestPrintsOnceWhileTheWindowPaints()
    {
        Simulator sim(dir_->path(), {"--pty"}, {});
        QVERIFY(!sim.endpoint().isEmpty());
        CTelvaraDlg window(services());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        useSerial(window, sim);
        control<QPushButton>(&window, main_id::kCheckCommunication)->click();
        verifyButtons(window, true);
        QTRY_COMPARE(sim.received(), kCheckStream);

        // Halfway through the 4300 ms, the two buttons are off and the window
        // still repaints.
        platform::qt::testing::PaintCounter paints(&window);
        bool sampled = false;
        bool managerOffDuring = false;
        bool editorOffDuring = false;
        bool selfTestOnDuring = false;
        int paintsBefore = -1;
        QTimer repaint;
        repaint.setInterval(50);
        connect(&repaint, &QTimer::timeout, &window, [&] { window.update(); });
        QTimer::singleShot(2000, &window, [&] {
            sampled = true;
            managerOffDuring = !control<QPushButton>(&window, main_id::kRunManager)->isEnabled();
            editorOffDuring = !control<QPushButton>(&window, main_id::kCommandTestEditor)->isEnabled();
            selfTestOnDuring = control<QPushButton>(&window, main_id::kSelfTest)->isEnabled();
            paintsBefore = paints.count;
        });
        repaint.start();
        QElapsedTimer elapsed;
        elapsed.start();
        control<QPushButton>(&window, main_id::kSelfTest)->click();
        const qint64 took = elapsed.elapsed();
        repaint.stop();
        QVERIFY(took >= 4300);
        QVERIFY(sampled);
        QVERIFY(managerOffDuring);
        QVERIFY(editorOffDuring);
        QVERIFY(selfTestOnDuring);
        QVERIFY(paintsBefore > 0);
        QVERIFY(paints.count > paintsBefore);
        verifyButtons(window, true);
        QCOMPARE(prompter_->messages.size(), 1);  // only "Printer is connected."
        QTRY_COMPARE(sim.received(), kCheckStream + kSelfTestBytes);
        QTRY_COMPARE(sim.report()[QStringLiteral("pos.selftests")], QStringLiteral("1"));
    }

    // ---- About box -----------------------------------------------------------------

    void aboutBoxFromTheContextMenuAndTheHelpButton()
    {
        CTelvaraDlg window(services());
        window.show();
        QCOMPARE(window.contextMenuPolicy(), Qt::ActionsContextMenu);
        QAction* about = nullptr;
        for (QAction* action : window.actions())
            if (action->text() == QStringLiteral("&About TLVR..."))
                about = action;
        QVERIFY(about);
        auto* helpButton = window.findChild<QToolButton*>(QStringLiteral("aboutButton"));
        QVERIFY(helpButton && helpButton->defaultAction() == about);

        QString title;
        QString name;
        bool okFound = false;
        QTimer::singleShot(0, &window, [&] {
            auto* box = window.findChild<CAboutDlg*>();
            if (!box)
                return;
            title = box->windowTitle();
            if (auto* label = box->findChild<QLabel*>(QStringLiteral("programName")))
                name = label->text();
            screenshot(box, QStringLiteral("telvara-about.png"));
            if (auto* ok = control<QPushButton>(box, about_id::kOk)) {
                okFound = true;
                ok->click();
            } else {
                box->reject();
            }
        });
        helpButton->click();
        QCOMPARE(title, QStringLiteral("About TLVR"));
        QVERIFY(name.startsWith(QStringLiteral("Telvara Version ")));
        QVERIFY(okFound);
        QVERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TelvaraGuiTest)
#include "telvara_gui_test.moc"
