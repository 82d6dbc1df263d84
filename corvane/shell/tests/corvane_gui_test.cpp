// Corvane's windows, offscreen, each test with its own registry file and fake
// device tree, messages and file dialogs answered by a recording prompter.
#include "corvane/shell/CAboutDlg.h"
#include "corvane/firmware/CFirmwarednDlg.h"
#include "corvane/firmware/FirmwareIds.h"
#include "corvane/shell/AboutDialogIds.h"
#include "corvane/shell/MainDialogIds.h"
#include "corvane/shell/CZ400TCUtilityDlg.h"
#include "corvane/shell/CorvaneRegistry.h"
#include "corvane/shell/ShellCommon.h"
#include "corvane/shell/StoredConnection.h"
#include "platform/testing/fake_devices.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/RecordingPrompter.h"
#include "platform/qt/WindowProbes.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

using namespace corvane;
using platform::qt::testing::RecordingPrompter;

namespace {

template <typename T>
T* control(QWidget* root, int id)
{
    return qobject_cast<T*>(platform::qt::FindControl(root, id));
}

QStringList itemsOf(QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

bool writeText(const QString& path, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

using platform::qt::testing::PaintCounter;

using platform::qt::testing::postClick;

bool link(const QString& target, const QString& linkPath)
{
    QDir().mkpath(QFileInfo(linkPath).absolutePath());
    return QFile::link(target, linkPath);
}

} // namespace

class CorvaneGuiTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString root_;
    std::unique_ptr<platform::RegistryStore> store_;
    std::unique_ptr<RecordingPrompter> prompter_;

    ShellServices services()
    {
        return ShellServices{*store_, *prompter_, platform::systemClock(), platform::systemDevices()};
    }

    void storeConnection(int interfaceIndex, const PortSettings& settings)
    {
        QVERIFY(SaveStoredConnection(*store_, StoredConnection{interfaceIndex, settings}));
    }

    // A USB printer as the kernel's sysfs shows it: the class entry links to
    // the lp node below the interface, whose parent USB device has the ids.
    void addUsbPrinter(int lp, const QString& usbPort)
    {
        const QString device = root_ + "/sys/devices/pci0000:00/0000:00:14.0/usb1/" + usbPort;
        const QString iface = device + "/" + usbPort + ":1.0";
        const QString node = iface + "/usbmisc/lp" + QString::number(lp);
        QVERIFY(QDir().mkpath(node));
        QVERIFY(writeText(device + "/idVendor", "0a5f\n"));
        QVERIFY(writeText(device + "/idProduct", "0151\n"));
        QVERIFY(link("../../../" + usbPort + ":1.0", node + "/device"));
        QVERIFY(link(node, root_ + "/sys/class/usbmisc/lp" + QString::number(lp)));
        QVERIFY(writeText(root_ + "/dev/usb/lp" + QString::number(lp), QByteArray()));
    }

    void addSerialDevice(const QString& name, const QByteArray& uartType)
    {
        const QString entry = root_ + "/sys/class/tty/" + name;
        QVERIFY(QDir().mkpath(entry + "/device"));
        if (!uartType.isEmpty())
            QVERIFY(writeText(entry + "/type", uartType));
        QVERIFY(writeText(root_ + "/dev/" + name, QByteArray()));
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        root_ = dir_->filePath(QStringLiteral("root"));
        QVERIFY(QDir().mkpath(root_ + "/sys/class/tty"));
        QVERIFY(QDir().mkpath(root_ + "/dev"));
        qputenv("QUELLIX_REGISTRY", QFile::encodeName(dir_->filePath(QStringLiteral("registry.reg"))));
        qputenv("QUELLIX_DEVICE_ROOT", QFile::encodeName(root_));
        store_ = std::make_unique<platform::RegistryStore>();
        QCOMPARE(QString::fromStdString(store_->path()), dir_->filePath(QStringLiteral("registry.reg")));
        prompter_ = std::make_unique<RecordingPrompter>();
    }

    void cleanup()
    {
        store_.reset();
        prompter_.reset();
        dir_.reset();
    }

    void firstStartShowsTheSerialDefaults()
    {
        CZ400TCUtilityDlg dlg(services());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Corvane for PC V3.0.2"));
        auto* iface = control<QComboBox>(&dlg, main_id::kInterface);
        QCOMPARE(itemsOf(iface), (QStringList{"Serial / RS232C", "USB", "TCP/IP"}));
        QCOMPARE(iface->currentText(), QStringLiteral("Serial / RS232C"));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kPort)->currentText(), QStringLiteral("COM1"));
        QVERIFY(control<QComboBox>(&dlg, main_id::kPort)->isEditable());
        auto* baud = control<QComboBox>(&dlg, main_id::kBaudRate);
        QCOMPARE(itemsOf(baud), (QStringList{"2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
        QCOMPARE(baud->currentText(), QStringLiteral("115200"));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kDataBits)->currentText(), QStringLiteral("8"));
        QCOMPARE(itemsOf(control<QComboBox>(&dlg, main_id::kParity)), (QStringList{"NONE", "ODD", "EVEN"}));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kParity)->currentText(), QStringLiteral("NONE"));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kStopBits)->currentText(), QStringLiteral("1"));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kFlowControl)->currentText(), QStringLiteral("DTR/DSR"));
        QCOMPARE(control<QLabel>(&dlg, main_id::kPortLabel)->text(), QStringLiteral("Port :"));
        QCOMPARE(control<QLabel>(&dlg, main_id::kDescription)->text(),
                 QStringLiteral(" * Select Menu \n This application is Corvane. You can change communication "
                                "setting, code page and download NV image, etc."));
        QVERIFY(control<QPushButton>(&dlg, main_id::kFirmwareManager)->isEnabled());
        QVERIFY(control<QPushButton>(&dlg, main_id::kTelvara)->isEnabled()); // the memory switch editor
        QVERIFY(control<QPushButton>(&dlg, main_id::kNvImageManager)->isEnabled()); // the NV image manager
        QCOMPARE(control<QPushButton>(&dlg, main_id::kExit)->text(), QStringLiteral("Exit"));
        QVERIFY(prompter_->messages.isEmpty());

        // Exit stores the first-start connection.
        control<QPushButton>(&dlg, main_id::kExit)->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        StoredConnection stored;
        QVERIFY(LoadStoredConnection(*store_, stored));
        QCOMPARE(stored.interfaceIndex, int(kInterfaceSerial));
        QCOMPARE(stored.settings.portName, std::string("COM1"));
        QCOMPARE(stored.settings.baudRate, 115200);
        QCOMPARE(stored.settings.dataBits, 8);
        QCOMPARE(stored.settings.parity, 0);
        QCOMPARE(stored.settings.stopBits, 0);
        QCOMPARE(stored.settings.flowControl, 1);
    }

    void storedSerialPortAndLineSettingsAreRestored()
    {
        addSerialDevice("ttyS6", "4\n");
        addSerialDevice("ttyS0", "0\n");   // a UART that is not there
        addSerialDevice("ttyUSB0", QByteArray());
        storeConnection(kInterfaceSerial, PortSettings{"COM7", 9600, 2, 8, 2, 0});

        CZ400TCUtilityDlg dlg(services());
        auto* port = control<QComboBox>(&dlg, main_id::kPort);
        // The present devices, and the stored name although it is not one of them.
        QVERIFY(itemsOf(port).contains(root_ + "/dev/ttyS6"));
        QVERIFY(itemsOf(port).contains(root_ + "/dev/ttyUSB0"));
        QVERIFY(!itemsOf(port).contains(root_ + "/dev/ttyS0"));
        QCOMPARE(port->currentText(), QStringLiteral("COM7"));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kBaudRate)->currentText(), QStringLiteral("9600"));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kParity)->currentText(), QStringLiteral("EVEN"));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kStopBits)->currentText(), QStringLiteral("2"));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kFlowControl)->currentText(), QStringLiteral("NONE"));

        // A present device picked from the list, then a typed path, is what Exit stores.
        port->setCurrentIndex(port->findText(root_ + "/dev/ttyS6"));
        dlg.ReadControls();
        QCOMPARE(QString::fromStdString(dlg.CurrentSettings().portName), root_ + "/dev/ttyS6");
        port->setEditText(QStringLiteral("/dev/rfcomm3"));
        control<QPushButton>(&dlg, main_id::kExit)->click();
        StoredConnection stored;
        QVERIFY(LoadStoredConnection(*store_, stored));
        QCOMPARE(stored.settings.portName, std::string("/dev/rfcomm3"));
        QCOMPARE(stored.settings.baudRate, 9600);
        QCOMPARE(stored.settings.parity, 2);
        QCOMPARE(stored.settings.stopBits, 2);
        QCOMPARE(stored.settings.flowControl, 0);
    }

    void storedTcpAddressIsShownWithTheDefaultTcpPort()
    {
        storeConnection(kInterfaceTcp, PortSettings{"NET192.168.1.50", 6101, 1, 8, 0, 1});

        CZ400TCUtilityDlg dlg(services());
        QCOMPARE(dlg.InterfaceIndex(), int(kInterfaceTcp));
        auto* ip = control<QLineEdit>(&dlg, main_id::kIpAddress);
        auto* tcpPort = control<QLineEdit>(&dlg, main_id::kTcpPort);
        QCOMPARE(ip->text(), QStringLiteral("192.168.1.50"));
        QCOMPARE(tcpPort->text(), QStringLiteral("9100"));
        QCOMPARE(control<QLabel>(&dlg, main_id::kPortLabel)->text(), QStringLiteral("IP : "));
        QVERIFY(ip->isVisibleTo(&dlg));
        QVERIFY(!control<QComboBox>(&dlg, main_id::kPort)->isVisibleTo(&dlg));
        QVERIFY(!control<QComboBox>(&dlg, main_id::kParity)->isEnabled());

        control<QPushButton>(&dlg, main_id::kExit)->click();
        StoredConnection stored;
        QVERIFY(LoadStoredConnection(*store_, stored));
        QCOMPARE(stored.interfaceIndex, int(kInterfaceTcp));
        QCOMPARE(stored.settings.portName, std::string("NET192.168.1.50"));
        QCOMPARE(stored.settings.baudRate, 9100);
        // What the TCP/IP controls do not show is stored as it was.
        QCOMPARE(stored.settings.parity, 1);
    }

    void closeBoxKeepsTheStoredSettings()
    {
        storeConnection(kInterfaceSerial, PortSettings{"COM3", 19200, 0, 8, 0, 0});
        {
            CZ400TCUtilityDlg dlg(services());
            dlg.show();
            control<QComboBox>(&dlg, main_id::kInterface)->setCurrentIndex(kInterfaceTcp);
            control<QLineEdit>(&dlg, main_id::kIpAddress)->setText(QStringLiteral("10.0.0.9"));
            QVERIFY(dlg.close());
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
        }
        StoredConnection stored;
        QVERIFY(LoadStoredConnection(*store_, stored));
        QCOMPARE(stored.interfaceIndex, int(kInterfaceSerial));
        QCOMPARE(stored.settings.portName, std::string("COM3"));
        QCOMPARE(stored.settings.baudRate, 19200);
    }

    void usbWithoutPrinterFallsBackToSerial()
    {
        CZ400TCUtilityDlg dlg(services());
        auto* iface = control<QComboBox>(&dlg, main_id::kInterface);
        iface->setCurrentIndex(kInterfaceTcp);
        iface->setCurrentIndex(kInterfaceUsb);

        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Corvane"));
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Not connected USB printer!"));
        QCOMPARE(iface->currentText(), QStringLiteral("Serial / RS232C"));
        auto* port = control<QComboBox>(&dlg, main_id::kPort);
        QCOMPARE(port->currentText(), QStringLiteral("COM1"));
        QVERIFY(port->isVisibleTo(&dlg));
        QVERIFY(control<QComboBox>(&dlg, main_id::kBaudRate)->isEnabled());
        QVERIFY(control<QComboBox>(&dlg, main_id::kParity)->isEnabled());
        QVERIFY(!control<QLineEdit>(&dlg, main_id::kIpAddress)->isVisibleTo(&dlg));
        QCOMPARE(control<QLabel>(&dlg, main_id::kPortLabel)->text(), QStringLiteral("Port :"));
    }

    void storedUsbWithoutPrinterFallsBackAtStart()
    {
        storeConnection(kInterfaceUsb, PortSettings{(root_ + "/dev/usb/lp0").toStdString(), 115200, 0, 8, 0, 1});
        CZ400TCUtilityDlg dlg(services());
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Not connected USB printer!"));
        QCOMPARE(dlg.InterfaceIndex(), int(kInterfaceSerial));
        QCOMPARE(control<QComboBox>(&dlg, main_id::kPort)->currentText(), QStringLiteral("COM1"));
    }

    void usbPrintersAreListedAndTheStoredOneIsSelected()
    {
        addUsbPrinter(0, QStringLiteral("1-1"));
        addUsbPrinter(1, QStringLiteral("1-2"));
        const QString second = root_ + "/dev/usb/lp1";
        storeConnection(kInterfaceUsb, PortSettings{second.toStdString(), 115200, 0, 8, 0, 1});

        CZ400TCUtilityDlg dlg(services());
        QVERIFY(prompter_->messages.isEmpty());
        auto* port = control<QComboBox>(&dlg, main_id::kPort);
        QCOMPARE(itemsOf(port), (QStringList{"USB01", "USB02"}));
        QCOMPARE(port->currentText(), QStringLiteral("USB02"));
        QCOMPARE(dlg.UsbPaths().size(), std::size_t(2));
        QCOMPARE(QString::fromStdString(dlg.UsbPaths()[0]), root_ + "/dev/usb/lp0");
        auto* baud = control<QComboBox>(&dlg, main_id::kBaudRate);
        QVERIFY(baud->isVisibleTo(&dlg));
        QVERIFY(!baud->isEnabled());
        QVERIFY(!control<QComboBox>(&dlg, main_id::kFlowControl)->isEnabled());

        port->setCurrentIndex(0);
        control<QPushButton>(&dlg, main_id::kExit)->click();
        StoredConnection stored;
        QVERIFY(LoadStoredConnection(*store_, stored));
        QCOMPARE(stored.interfaceIndex, int(kInterfaceUsb));
        QCOMPARE(QString::fromStdString(stored.settings.portName), root_ + "/dev/usb/lp0");
    }

    void commandLinePreselectionOverridesTheStoredConnection()
    {
        storeConnection(kInterfaceSerial, PortSettings{"COM3", 19200, 0, 8, 0, 0});
        CZ400TCUtilityDlg dlg(services());
        dlg.PreselectConnection(QStringLiteral("NET127.0.0.1"), 9107);
        dlg.ReadControls();
        QCOMPARE(dlg.InterfaceIndex(), int(kInterfaceTcp));
        QCOMPARE(dlg.CurrentSettings().portName, std::string("NET127.0.0.1"));
        QCOMPARE(dlg.CurrentSettings().baudRate, 9107);

        // The window reads a TCP name by the same rules as the port object:
        // every leading N, E and T goes, not just three characters.
        dlg.PreselectConnection(QStringLiteral("NETE127.0.0.2"), 9100);
        dlg.ReadControls();
        QCOMPARE(dlg.InterfaceIndex(), int(kInterfaceTcp));
        QCOMPARE(dlg.CurrentSettings().portName, std::string("NET127.0.0.2"));

        dlg.PreselectConnection(QStringLiteral("/dev/pts/7"), 0);
        dlg.ReadControls();
        QCOMPARE(dlg.InterfaceIndex(), int(kInterfaceSerial));
        QCOMPARE(dlg.CurrentSettings().portName, std::string("/dev/pts/7"));
    }

    void firmwareManagerGetsTheConnectionFromTheControls()
    {
        storeConnection(kInterfaceSerial, PortSettings{"COM2", 38400, 1, 8, 2, 0});
        CZ400TCUtilityDlg dlg(services());
        dlg.show();
        PortSettings handedOver;
        QString title;
        QString status;
        QTimer::singleShot(0, this, [&] {
            auto* fw = qobject_cast<CFirmwarednDlg*>(QApplication::activeModalWidget());
            if (fw == nullptr)
                return;
            handedOver = fw->Port().settings;
            title = fw->windowTitle();
            status = control<QLabel>(fw, firmware_id::kStatus)->text();
            fw->reject();
        });
        control<QPushButton>(&dlg, main_id::kFirmwareManager)->click();
        QCOMPARE(title, QStringLiteral("Firmware Download Manager"));
        QCOMPARE(status, QStringLiteral("Select Firmware File(*.fls). "));
        QCOMPARE(handedOver.portName, std::string("COM2"));
        QCOMPARE(handedOver.baudRate, 38400);
        QCOMPARE(handedOver.parity, 1);
        QCOMPARE(handedOver.stopBits, 2);
        QCOMPARE(handedOver.flowControl, 0);
        QVERIFY(dlg.isVisible());
    }

    void firmwareDownloadShowsProgressStatusAndMessages()
    {
        platform::ManualClock clock;
        platform::testing::FakePrinter printer(clock);
        platform::testing::FakeDevices devices(printer);
        CFirmwarednDlg fw(PortSettings{"NET10.0.0.5", 9100, 0, 8, 0, 0}, *prompter_, clock, devices);
        fw.show();

        auto* progress = control<QProgressBar>(&fw, firmware_id::kProgress);
        auto* status = control<QLabel>(&fw, firmware_id::kStatus);
        auto* start = control<QPushButton>(&fw, firmware_id::kStartDownload);
        auto* exitButton = control<QPushButton>(&fw, firmware_id::kExit);
        QCOMPARE(progress->minimum(), 0);
        QCOMPARE(progress->maximum(), 100);
        QCOMPARE(progress->value(), 0);
        QCOMPARE(start->text(), QStringLiteral("Start Download"));
        QCOMPARE(exitButton->text(), QStringLiteral("Exit"));
        QVERIFY(fw.findChild<QLabel*>() != nullptr);

        const QString path = dir_->filePath(QStringLiteral("fw.fls"));
        QVERIFY(writeText(path, QByteArray(9000, 'F')));

        // While sending: Exit is disabled, closing is refused, and queued
        // (non-input) events are handled between pieces.
        QList<bool> exitEnabled;
        QList<int> progressSeen;
        bool timerFired = false;
        bool closeRefused = false;
        QTimer::singleShot(0, this, [&] { timerFired = true; });
        printer.onWrite = [&](const platform::testing::Bytes&) {
            exitEnabled << exitButton->isEnabled();
            progressSeen << progress->value();
            if (printer.writes.size() == 2)
                closeRefused = timerFired && !fw.close() && fw.isVisible();
        };

        prompter_->fileAnswers << path;
        start->click();

        QCOMPARE(printer.written.size(), std::size_t(9000));
        QCOMPARE(exitEnabled, (QList<bool>{false, false, false}));
        QCOMPARE(progressSeen, (QList<int>{0, 45, 91}));
        QVERIFY(closeRefused);
        QCOMPARE(progress->value(), 100);
        QCOMPARE(status->text(), QStringLiteral("Finished to download firmware and Reset the printer!"));
        QVERIFY(exitButton->isEnabled());
        QCOMPARE(prompter_->fileDialogs.size(), 1);
        QCOMPARE(prompter_->fileDialogs[0].filter, QStringLiteral("Firmware File(*.fls)"));
        QCOMPARE(prompter_->fileDialogs[0].initialPath, QString());
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].kind, QStringLiteral("information"));
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Corvane"));
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Success to download firmware!"));
        QVERIFY(!fw.Port().IsOpen());

        // The last file is offered again; cancelling the file dialog does nothing.
        prompter_->fileAnswers << QString();
        start->click();
        QCOMPARE(prompter_->fileDialogs.size(), 2);
        QCOMPARE(prompter_->fileDialogs[1].initialPath, path);
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(fw.FilePath(), path);

        // A file that cannot be opened: the message and its reason.
        printer.onWrite = nullptr;
        const QString missing = dir_->filePath(QStringLiteral("missing.fls"));
        prompter_->fileAnswers << missing;
        start->click();
        QCOMPARE(prompter_->messages.size(), 2);
        QCOMPARE(prompter_->messages[1].kind, QStringLiteral("warning"));
        QCOMPARE(prompter_->messages[1].caption, QStringLiteral("Corvane"));
        QCOMPARE(prompter_->messages[1].text, QStringLiteral("Error : File Open Error!"));
        QVERIFY(prompter_->messages[1].details.contains(missing));
        QCOMPARE(status->text(), QStringLiteral("Ready firmware download."));

        // A piece the printer does not take whole.
        printer.writeLimit = 10;
        prompter_->fileAnswers << path;
        start->click();
        QCOMPARE(prompter_->messages.size(), 3);
        QCOMPARE(prompter_->messages[2].text, QStringLiteral("Error : Send Failed!"));
        QCOMPARE(status->text(), QStringLiteral("Firmware is downloading...Don't turn off the printer!!!"));
        QVERIFY(exitButton->isEnabled());
        QVERIFY(!fw.Port().IsOpen());

        // A port that does not open.
        printer.connectFails = true;
        prompter_->fileAnswers << path;
        start->click();
        QCOMPARE(prompter_->messages.size(), 4);
        QCOMPARE(prompter_->messages[3].caption, QStringLiteral("Corvane"));
        QCOMPARE(prompter_->messages[3].text, QStringLiteral("Error : OpenPort! Please check printer"));
        QVERIFY(!prompter_->messages[3].details.isEmpty());
    }

    void noTwoControlsOfAWindowShareAnId()
    {
        CZ400TCUtilityDlg dlg(services());
        QCOMPARE(platform::qt::DuplicateControlIds(&dlg), QList<int>());
        CFirmwarednDlg fw(PortSettings{}, *prompter_, platform::systemClock(), platform::systemDevices(), &dlg);
        QCOMPARE(platform::qt::DuplicateControlIds(&fw), QList<int>());
        // The description (main window) and the status (firmware window)
        // both are 1003: each is found in its own window only.
        QCOMPARE(control<QLabel>(&dlg, main_id::kDescription)->text().startsWith(QStringLiteral(" * Select")), true);
        QCOMPARE(control<QLabel>(&fw, firmware_id::kStatus)->text(), QStringLiteral("Select Firmware File(*.fls). "));
        CAboutDlg about(&dlg);
        QCOMPARE(platform::qt::DuplicateControlIds(&about), QList<int>());
    }

    void firmwareWindowPaintsWhileASlowPrinterTakesAPiece()
    {
        platform::ManualClock printerClock;
        platform::testing::FakePrinter printer(printerClock);
        platform::testing::FakeDevices devices(printer);
        // The port waits on the real clock: its pauses go through the wait hook.
        CFirmwarednDlg fw(PortSettings{"NET10.0.0.5", 9100, 0, 8, 0, 0}, *prompter_, platform::systemClock(),
                          devices);
        fw.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fw));
        PaintCounter paints(&fw);
        QTimer repaint;
        connect(&repaint, &QTimer::timeout, &fw, [&fw] { fw.update(); });
        repaint.start(20);

        QList<int> paintsDuringWrite;
        printer.onWrite = [&](const platform::testing::Bytes&) {
            // A printer that takes 400 ms per piece.
            const int before = paints.count;
            platform::systemClock().pauseMs(400);
            paintsDuringWrite << paints.count - before;
        };
        const QString path = dir_->filePath(QStringLiteral("fw.fls"));
        QVERIFY(writeText(path, QByteArray(8192, 'F')));
        prompter_->fileAnswers << path;
        control<QPushButton>(&fw, firmware_id::kStartDownload)->click();

        QCOMPARE(paintsDuringWrite.size(), 2);
        for (int n : paintsDuringWrite)
            QVERIFY2(n >= 3, qPrintable(QString::number(n)));
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Success to download firmware!"));
    }

    void exitClickedDuringTheTransferWaitsUntilItHasEnded()
    {
        platform::ManualClock clock;
        platform::testing::FakePrinter printer(clock);
        platform::testing::FakeDevices devices(printer);
        CFirmwarednDlg fw(PortSettings{"NET10.0.0.5", 9100, 0, 8, 0, 0}, *prompter_, clock, devices);
        fw.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fw));
        auto* exitButton = control<QPushButton>(&fw, firmware_id::kExit);
        int exitClicks = 0;
        connect(exitButton, &QPushButton::clicked, [&] { ++exitClicks; });

        QList<int> clicksSeen;
        int messagesAtExit = -1;
        connect(exitButton, &QPushButton::clicked, [&] { messagesAtExit = int(prompter_->messages.size()); });
        printer.onWrite = [&](const platform::testing::Bytes&) {
            if (printer.writes.size() == 1)
                postClick(exitButton);
            // Time for the event loop between and inside the phases.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
            clicksSeen << exitClicks;
        };
        const QString path = dir_->filePath(QStringLiteral("fw.fls"));
        QVERIFY(writeText(path, QByteArray(4 * 4096, 'F')));
        prompter_->fileAnswers << path;
        control<QPushButton>(&fw, firmware_id::kStartDownload)->click();

        QCOMPARE(printer.written.size(), std::size_t(4 * 4096));
        QCOMPARE(clicksSeen, (QList<int>{0, 0, 0, 0}));
        QCOMPARE(exitClicks, 0);
        // Not lost either: once the transfer has ended the click reaches the
        // enabled Exit, after the success message.
        QTRY_COMPARE_WITH_TIMEOUT(exitClicks, 1, 2000);
        QCOMPARE(messagesAtExit, 1);
        QCOMPARE(fw.result(), int(QDialog::Accepted));
    }

    void aboutBoxNamesTheProgram()
    {
        CZ400TCUtilityDlg dlg(services());
        auto* action = dlg.findChild<QAction*>(QStringLiteral("aboutAction"));
        QVERIFY(action != nullptr);
        QCOMPARE(action->text(), QStringLiteral("&About Corvane"));
        QVERIFY(dlg.actions().contains(action));

        QString title;
        QString name;
        QTimer::singleShot(0, this, [&] {
            auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
            if (about == nullptr)
                return;
            title = about->windowTitle();
            name = about->findChild<QLabel*>(QStringLiteral("programName"))->text();
            control<QPushButton>(about, about_id::kOk)->click();
        });
        action->trigger();
        QCOMPARE(title, QStringLiteral("About Corvane"));
        QCOMPARE(name, QStringLiteral("Corvane for PC V3.0.2"));
    }

    void screenshotsOfTheWindows()
    {
        QVERIFY(QDir().mkpath(QStringLiteral(CORVANE_SCREENSHOT_DIR)));
        addSerialDevice("ttyUSB0", QByteArray());
        CZ400TCUtilityDlg dlg(services());
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        const QString mainPath = QStringLiteral(CORVANE_SCREENSHOT_DIR "/corvane-main.png");
        QVERIFY(dlg.grab().save(mainPath));

        platform::ManualClock clock;
        platform::testing::FakePrinter printer(clock);
        platform::testing::FakeDevices devices(printer);
        CFirmwarednDlg fw(PortSettings{"NET10.0.0.5", 9100, 0, 8, 0, 0}, *prompter_, clock, devices, &dlg);
        const QString path = dir_->filePath(QStringLiteral("fw.fls"));
        QVERIFY(writeText(path, QByteArray(8192, 'F')));
        // The second piece fails: the picture shows a transfer half done.
        printer.onWrite = [&](const platform::testing::Bytes&) { printer.writeLimit = 10; };
        fw.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fw));
        prompter_->fileAnswers << path;
        control<QPushButton>(&fw, firmware_id::kStartDownload)->click();
        const QString fwPath = QStringLiteral(CORVANE_SCREENSHOT_DIR "/corvane-firmware.png");
        QCOMPARE(control<QProgressBar>(&fw, firmware_id::kProgress)->value(), 50);
        QVERIFY(fw.grab().save(fwPath));

        for (const QString& file : {mainPath, fwPath}) {
            const QImage image(file);
            QVERIFY2(!image.isNull(), qPrintable(file));
            QVERIFY(image.width() > 200 && image.height() > 80);
            // Not a blank picture: the window's texts and frames are in it.
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); y += 3)
                for (int x = 0; x < image.width(); x += 3)
                    colours.insert(image.pixel(x, y));
            QVERIFY(colours.size() > 4);
        }
    }
};

QTEST_MAIN(CorvaneGuiTest)
#include "corvane_gui_test.moc"
