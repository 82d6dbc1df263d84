// The Serial/USB configuration window, offscreen, against printer-sim's
// network board on a pseudo-terminal (or behind a fake USB tree): what
// Connect shows, what each validation row refuses, the exact record an
// Update stores, Disconnect, a certificate upload and the USB fallback.
#include "pavix/config/ConfigTexts.h"
#include "pavix/gui/serialusb/CInfoDlg.h"
#include "pavix/gui/serialusb/CSerialUsbDlg.h"
#include "pavix/gui/serialusb/ConfigPages.h"
#include "pavix/gui/serialusb/LinkPages.h"
#include "pavix/gui/serialusb/PageInputs.h"
#include "platform/qt/RecordingPrompter.h"
#include "platform/qt/WindowProbes.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>

#include <functional>
#include <memory>

using namespace pavix;
using namespace pavix::gui;
using platform::qt::testing::RecordingPrompter;

namespace {

// printer-sim's network board on a pseudo-terminal, storing what it is
// sent in `dir`: record.out after each write, certs/ for certificates.
class Board {
public:
    Board(const QString& dir, const QStringList& extra = {})
        : recordOut_(dir + "/record.out"), certDir_(dir + "/certs")
    {
        QDir().mkpath(certDir_);
        process_.setProgram(QStringLiteral(PRINTER_SIM_PATH));
        process_.setArguments(QStringList{"--pty", "--personality", "network-board", "--record-out", recordOut_,
                                          "--cert-dir", certDir_} +
                              extra);
        process_.start();
        if (process_.waitForReadyRead(10000))
            port_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Board()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    const QString& port() const { return port_; }
    QByteArray storedRecord() const { return read(recordOut_); }
    QByteArray certificate(const QString& name) const { return read(certDir_ + "/" + name); }

private:
    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QProcess process_;
    QString recordOut_;
    QString certDir_;
    QString port_;
};

void PutText(QByteArray& r, int offset, int width, const QByteArray& text)
{
    QVERIFY(text.size() <= width);
    for (int i = 0; i < width; ++i)
        r[offset + i] = i < text.size() ? text[i] : '\0';
}

void PutBytes(QByteArray& r, int offset, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        r[offset++] = static_cast<char>(b);
}

// The board's default record as it would be stored with a new SSID and PSK
// key, laid out by hand from the field offsets; unlisted bytes are 0.
QByteArray ExpectedRecord(const QByteArray& ssid, const QByteArray& psk)
{
    QByteArray r(603, '\0');
    PutText(r, 0, 64, "QX Mobile Printer");
    PutBytes(r, 67, {192, 168, 0, 100, 255, 255, 255, 0, 192, 168, 0, 1});
    PutText(r, 79, 32, ssid);
    PutBytes(r, 111, {3, 4});
    PutText(r, 217, 64, psk);
    PutBytes(r, 281, {11, 5});
    PutText(r, 347, 32, "admin");
    PutText(r, 379, 32, "admin123");
    PutBytes(r, 411, {9100 >> 8, 9100 & 0xFF});
    PutBytes(r, 544, {1, 0, 1, 1});
    PutText(r, 549, 16, "private");
    PutText(r, 565, 16, "public");
    PutText(r, 581, 16, "public");
    PutBytes(r, 597, {192, 168, 0, 10, 300 >> 8, 300 & 0xFF});
    return r;
}

void SaveShot(QWidget* widget, const QString& name)
{
    QDir().mkpath(QStringLiteral(PAVIX_SCREENSHOT_DIR));
    QVERIFY(widget->grab().save(QStringLiteral(PAVIX_SCREENSHOT_DIR) + "/pavix-serialusb-" + name + ".png"));
}

// What a user does to a text input: select all, delete, type.
void Retype(QLineEdit* edit, const QString& text)
{
    QVERIFY(edit);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    if (!text.isEmpty())
        QTest::keyClicks(edit, text);
}

// A fake device tree holding one USB printer interface bound to lp0 with
// the product id given; returns the node path (dev/usb/lp0) to be made.
QString MakeUsbTree(const QString& root, const QString& product)
{
    const QString device = root + "/sys/devices/usb1/1-1";
    QDir().mkpath(device + "/1-1:1.0");
    auto put = [](const QString& path, const QByteArray& text) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(text);
    };
    put(device + "/idVendor", "0dd4\n");
    put(device + "/idProduct", product.toLatin1() + "\n");
    QDir().mkpath(root + "/sys/class/usbmisc/lp0");
    QFile::link(device + "/1-1:1.0", root + "/sys/class/usbmisc/lp0/device");
    QDir().mkpath(root + "/dev/usb");
    return root + "/dev/usb/lp0";
}

} // namespace

class SerialUsbGuiTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<RecordingPrompter> prompter_;
    std::unique_ptr<PrinterPort> port_;
    std::unique_ptr<CSerialUsbDlg> window_;

    // An empty device tree: no real serial ports or USB devices are listed.
    platform::DeviceRoots EmptyRoots()
    {
        platform::DeviceRoots roots;
        roots.sysRoot = dir_->filePath("empty/sys").toStdString();
        roots.devRoot = dir_->filePath("empty/dev").toStdString();
        return roots;
    }

    CSerialUsbDlg& OpenWindow(const platform::DeviceRoots& roots)
    {
        window_ = std::make_unique<CSerialUsbDlg>(*port_, *prompter_, roots);
        window_->show();
        window_->activateWindow();
        (void)QTest::qWaitForWindowActive(window_.get());
        return *window_;
    }

    template <typename W>
    W* Find(const char* name)
    {
        return window_->findChild<W*>(QString::fromLatin1(name));
    }

    void Click(const char* name)
    {
        auto* button = Find<QAbstractButton>(name);
        QVERIFY2(button, name);
        QVERIFY2(button->isEnabled(), name);
        button->click();
    }

    void ConnectTo(const Board& board)
    {
        QVERIFY(!board.port().isEmpty());
        Find<QComboBox>("portList")->setEditText(board.port());
        Click("connectButton");
        QVERIFY(!prompter_->messages.isEmpty());
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Succeeded to a printer connection."));
        QVERIFY(window_->Connected());
        prompter_->messages.clear();
    }

    QString Text(const char* name)
    {
        auto* edit = Find<QLineEdit>(name);
        return edit ? edit->text() : QStringLiteral("<missing %1>").arg(QString::fromLatin1(name));
    }

    bool Checked(const char* name)
    {
        auto* radio = Find<QRadioButton>(name);
        return radio && radio->isChecked();
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        prompter_ = std::make_unique<RecordingPrompter>();
        port_ = std::make_unique<PrinterPort>();
        port_->firstByteTimeoutMs = 2000;
    }

    void cleanup()
    {
        window_.reset();
        port_.reset();
        prompter_.reset();
        dir_.reset();
        qunsetenv("QUELLIX_DEVICE_ROOT");
    }

    void opensDisconnectedWithEverythingOff()
    {
        CSerialUsbDlg& w = OpenWindow(EmptyRoots());
        QCOMPARE(w.windowTitle(), QStringLiteral("QUELLIX Pavix V2.0.4"));
        QStringList tabs;
        for (int i = 0; i < w.Tabs()->count(); ++i)
            tabs << w.Tabs()->tabText(i);
        QCOMPARE(tabs, (QStringList{"System && Information", "Protocol", "BSS Information", "Network",
                                    "Authentication", "Certificate"}));
        QVERIFY(!w.Tabs()->isEnabled());
        QVERIFY(Checked("serialRadio"));
        QVERIFY(Find<QPushButton>("connectButton")->isEnabled());
        QVERIFY(!Find<QPushButton>("disconnectButton")->isEnabled());
        QVERIFY(!Find<QPushButton>("updateButton")->isEnabled());
        QCOMPARE(Text("printerPort"), QStringLiteral("9100"));
        QCOMPARE(Find<QLineEdit>("userPassword")->echoMode(), QLineEdit::Password);
        QCOMPARE(Find<QLineEdit>("confirmPassword")->echoMode(), QLineEdit::Password);
    }

    void connectFillsAllPages()
    {
        Board board(dir_->path());
        OpenWindow(EmptyRoots());
        ConnectTo(board);
        QVERIFY(window_->Tabs()->isEnabled());
        QVERIFY(!Find<QPushButton>("connectButton")->isEnabled());
        QVERIFY(Find<QPushButton>("disconnectButton")->isEnabled());
        QVERIFY(Find<QPushButton>("updateButton")->isEnabled());
        QVERIFY(port_->isOpen());

        // System
        QCOMPARE(Text("printerName"), QStringLiteral("QX Mobile Printer"));
        QCOMPARE(Text("printerPort"), QStringLiteral("9100"));
        QCOMPARE(Text("userId"), QStringLiteral("admin"));
        QCOMPARE(Text("userPassword"), QStringLiteral("admin123"));
        QCOMPARE(Text("confirmPassword"), QStringLiteral("admin123"));
        QCOMPARE(Text("firmwareVersion"), QStringLiteral("IFB-W1 V2.10"));
        QCOMPARE(Text("updateDate"), QStringLiteral("2025/06/14 09:30"));
        QCOMPARE(Text("macAddress"), QStringLiteral("00-19-7B-2A-41-0C"));
        QVERIFY(Find<QLineEdit>("firmwareVersion")->isReadOnly());
        // Protocol
        QCOMPARE(Find<QComboBox>("httpsList")->currentText(), QStringLiteral("Enable"));
        QCOMPARE(Find<QComboBox>("telnetList")->currentText(), QStringLiteral("Disable"));
        QCOMPARE(Find<QComboBox>("ftpList")->currentText(), QStringLiteral("Enable"));
        QCOMPARE(Find<QComboBox>("snmpList")->currentText(), QStringLiteral("Enable"));
        QCOMPARE(Text("readCommunity"), QStringLiteral("public"));
        QCOMPARE(Text("writeCommunity"), QStringLiteral("private"));
        QCOMPARE(Text("trapAddress"), QStringLiteral("192.168.0.10"));
        QCOMPARE(Text("trapCommunity"), QStringLiteral("public"));
        // Network
        QVERIFY(Checked("infraRadio"));
        QVERIFY(Checked("manualRadio"));
        QCOMPARE(Text("adhocChannel"), QStringLiteral("11"));
        QCOMPARE(Text("ssid"), QStringLiteral("quellix-lab"));
        QCOMPARE(Text("inactivityTime"), QStringLiteral("300"));
        QCOMPARE(Text("ipAddress"), QStringLiteral("192.168.0.100"));
        QCOMPARE(Text("subnetMask"), QStringLiteral("255.255.255.0"));
        QCOMPARE(Text("gateway"), QStringLiteral("192.168.0.1"));
        QVERIFY(Find<QLineEdit>("ipAddress")->isEnabled());
        // Authentication: WPA2-PSK with AES; the PSK key shows, WEP and EAP
        // do not; the EAP code 5 marks no EAP choice.
        QVERIFY(Checked("auth3"));
        QVERIFY(Checked("crypt3"));
        QCOMPARE(Text("pskKey"), QStringLiteral("printer-psk-2025"));
        QVERIFY(!Find<QLineEdit>("pskKey")->isHidden());
        QVERIFY(Find<QLineEdit>("wepKey")->isHidden());
        QVERIFY(Find<QLineEdit>("authId")->isHidden());
        for (const char* name : {"eap0", "eap1", "eap2", "eap3", "eap4"})
            QVERIFY2(!Checked(name), name);
        QVERIFY(!Find<QRadioButton>("crypt0")->isEnabled());
        QVERIFY(!Find<QRadioButton>("crypt1")->isEnabled());
        QVERIFY(Find<QRadioButton>("crypt4")->isEnabled());
        QVERIFY(Find<QRadioButton>("auth5")->isEnabled());

        // One screenshot per page; the board's values pass every page.
        static constexpr const char* kShots[] = {"system", "protocol", "bss", "network", "authentication",
                                                 "certificate"};
        for (int i = 0; i < 6; ++i) {
            window_->Tabs()->setCurrentIndex(i);
            QCOMPARE(window_->Tabs()->currentIndex(), i);
            SaveShot(window_.get(), QString::fromLatin1(kShots[i]));
        }
        QVERIFY(prompter_->messages.isEmpty());
    }

    void eachValidationRowKeepsItsPage()
    {
        Board board(dir_->path());
        OpenWindow(EmptyRoots());
        ConnectTo(board);
        SystemInfo info;
        info.firmwareVersion = "IFB-W1 V2.10";

        IfConfigRecord base;
        base.printerName = "Board";
        base.userId = "admin";
        base.userPassword = "pw";
        base.printerPort = 9100;
        base.setCommunity = base.getCommunity = base.trapCommunity = "public";
        base.ssid = "lab";
        base.adhocChannel = 3;

        struct Row {
            const char* what;
            ConfigPage page;
            std::function<void(IfConfigRecord&)> record;
            const char* input; // retyped with `typed`
            const char* typed;
            std::string_view message; // empty: the page may be left
            const char* focus;
        };
        auto wep = [](IfConfigRecord& r) { r.authentication = 0; r.cryptograph = 2; r.wepKey = "12345"; };
        const std::vector<Row> rows = {
            {"empty name", ConfigPage::System, {}, "printerName", "", texts::kSystemName, "printerName"},
            {"reserved port", ConfigPage::System, {}, "printerPort", "443", texts::kPortNumber, "printerPort"},
            {"empty user", ConfigPage::System, {}, "userId", "", texts::kUserName, "userId"},
            {"confirmation differs", ConfigPage::System, {}, "confirmPassword", "px", texts::kUserPassword,
             "userPassword"},
            {"empty password", ConfigPage::System, [](IfConfigRecord& r) { r.userPassword.clear(); },
             "confirmPassword", "", texts::kUserPassword, "userPassword"},
            {"free port", ConfigPage::System, {}, "printerPort", "8080", {}, nullptr},
            {"empty write community", ConfigPage::Protocol, {}, "writeCommunity", "", texts::kCommunity,
             "writeCommunity"},
            {"empty read community", ConfigPage::Protocol, {}, "readCommunity", "", texts::kCommunity,
             "readCommunity"},
            {"empty trap community", ConfigPage::Protocol, {}, "trapCommunity", "", texts::kTrapCommunity,
             "trapCommunity"},
            {"ad hoc channel 0", ConfigPage::Network, [](IfConfigRecord& r) { r.networkMode = 1; },
             "adhocChannel", "0", texts::kAdhocNumber, "adhocChannel"},
            {"ad hoc needs no SSID", ConfigPage::Network,
             [](IfConfigRecord& r) { r.networkMode = 1; r.ssid.clear(); }, "adhocChannel", "7", {}, nullptr},
            {"empty SSID", ConfigPage::Network, {}, "ssid", "", texts::kSsid, "ssid"},
            {"WEP key of 6", ConfigPage::Authentication, wep, "wepKey", "123456", texts::kWepKey, "wepKey"},
            {"WEP key of 10", ConfigPage::Authentication, wep, "wepKey", "0123456789", {}, nullptr},
            {"empty PSK key", ConfigPage::Authentication,
             [](IfConfigRecord& r) { r.authentication = 2; r.cryptograph = 3; r.pskKey = "k"; }, "pskKey", "",
             texts::kPskKey, "pskKey"},
            // The model counts "AES + TKIP" with the WPA ciphers, as the
            // command line does.
            {"AES + TKIP empty PSK key", ConfigPage::Authentication,
             [](IfConfigRecord& r) { r.authentication = 2; r.cryptograph = 5; r.pskKey = "k"; }, "pskKey", "",
             texts::kPskKey, "pskKey"},
            {"Open System without a key", ConfigPage::Authentication,
             [](IfConfigRecord& r) { r.authentication = 0; r.cryptograph = 0; }, "wepKey", "", {}, nullptr},
            {"empty certification ID", ConfigPage::Authentication,
             [](IfConfigRecord& r) { r.authentication = 4; r.cryptograph = 3; r.authId = "i"; r.authPassword = "p"; },
             "authId", "", texts::kCertificationId, "authId"},
            {"empty certification password", ConfigPage::Authentication,
             [](IfConfigRecord& r) { r.authentication = 5; r.cryptograph = 4; r.authId = "i"; r.authPassword = "p"; },
             "authPassword", "", texts::kCertificationPassword, "authPassword"},
        };

        for (const Row& row : rows) {
            const QByteArray what = row.what;
            IfConfigRecord record = base;
            if (row.record)
                row.record(record);
            // Bring the row's page up from a page that passes.
            window_->Tabs()->setCurrentIndex(int(ConfigPage::Certificate));
            window_->Fill(info, record);
            window_->Tabs()->setCurrentIndex(int(row.page));
            QVERIFY2(window_->Tabs()->currentIndex() == int(row.page), what);
            Retype(Find<QLineEdit>(row.input), QString::fromLatin1(row.typed));
            prompter_->messages.clear();

            window_->Tabs()->setCurrentIndex(int(ConfigPage::BssInformation));
            if (row.message.empty()) {
                QVERIFY2(prompter_->messages.isEmpty(), what);
                QVERIFY2(window_->Tabs()->currentIndex() == int(ConfigPage::BssInformation), what);
                continue;
            }
            QVERIFY2(window_->Tabs()->currentIndex() == int(row.page), what);
            QVERIFY2(prompter_->messages.size() == 1, what);
            QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Pavix"));
            QCOMPARE(prompter_->messages[0].text, QString::fromLatin1(row.message.data(), row.message.size()));
            QWidget* focus = Find<QWidget>(row.focus);
            QVERIFY2(focus && QApplication::focusWidget() == focus, what);
        }
    }

    void editingRulesCorrectAndRefuse()
    {
        Board board(dir_->path());
        OpenWindow(EmptyRoots());
        ConnectTo(board);
        Retype(Find<QLineEdit>("printerPort"), "40000");
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, ToQString(texts::kPortRange));
        QCOMPARE(Text("printerPort"), QStringLiteral("9100"));
        QCOMPARE(window_->WorkingCopy().values.printerPort, 9100);
        QTest::keyClicks(Find<QLineEdit>("printerPort"), "x");
        QCOMPARE(Text("printerPort"), QStringLiteral("9100")); // digits only

        window_->Tabs()->setCurrentIndex(int(ConfigPage::Network));
        prompter_->messages.clear();
        // WPA2-PSK is chosen: ad hoc is refused and Infra Network keeps the focus.
        Find<QRadioButton>("adhocRadio")->click();
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, ToQString(texts::kAdhocNeedsOpenAuth));
        QVERIFY(Checked("infraRadio"));
        QCOMPARE(QApplication::focusWidget(), Find<QWidget>("infraRadio"));
        QVERIFY(!window_->WorkingCopy().adHoc());

        // DHCP shows the addresses as 0 and locks them; manual brings them back.
        Find<QRadioButton>("dhcpRadio")->click();
        QCOMPARE(Text("ipAddress"), QStringLiteral("0.0.0.0"));
        QVERIFY(!Find<QLineEdit>("ipAddress")->isEnabled());
        Find<QRadioButton>("manualRadio")->click();
        QCOMPARE(Text("ipAddress"), QStringLiteral("192.168.0.100"));
        QVERIFY(Find<QLineEdit>("ipAddress")->isEnabled());

        Retype(Find<QLineEdit>("inactivityTime"), "3700");
        QCOMPARE(prompter_->messages.last().text, ToQString(texts::kTimeRange));
        QCOMPARE(Text("inactivityTime"), QStringLiteral("3600"));

        // Open System then ad hoc: the WPA choices go off.
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Authentication));
        Find<QRadioButton>("auth0")->click();
        QVERIFY(Checked("crypt0")); // AES turned into NONE
        QVERIFY(!Find<QLineEdit>("wepKey")->isHidden());
        QVERIFY(!Find<QLineEdit>("wepKey")->isEnabled());
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Network));
        prompter_->messages.clear();
        Find<QRadioButton>("adhocRadio")->click();
        QVERIFY(prompter_->messages.isEmpty());
        QVERIFY(Checked("adhocRadio"));
        QVERIFY(Checked("manualRadio"));
        Retype(Find<QLineEdit>("adhocChannel"), "15");
        QCOMPARE(prompter_->messages.last().text, ToQString(texts::kChannelRange));
        QCOMPARE(Text("adhocChannel"), QStringLiteral("14"));
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Authentication));
        QCOMPARE(window_->Tabs()->currentIndex(), int(ConfigPage::Authentication));
        for (const char* name : {"auth2", "auth3", "auth4", "auth5"})
            QVERIFY2(!Find<QRadioButton>(name)->isEnabled(), name);
        QVERIFY(Find<QRadioButton>("auth1")->isEnabled());

        Find<QRadioButton>("auth1")->click();
        QVERIFY(Checked("crypt1")); // NONE turned into WEP128
        QCOMPARE(window_->WorkingCopy().values.cryptograph, crypt::kWep128);
        QVERIFY(Find<QLineEdit>("wepKey")->isEnabled());

        // Back in infrastructure mode WPA shows the EAP inputs, and the
        // password label follows EAP-TLS. Shared Key needs a WEP key before
        // the page can be left.
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Network));
        QCOMPARE(window_->Tabs()->currentIndex(), int(ConfigPage::Authentication));
        QCOMPARE(prompter_->messages.last().text, ToQString(texts::kWepKey));
        Retype(Find<QLineEdit>("wepKey"), "12345");
        QCOMPARE(window_->WorkingCopy().values.cryptograph, crypt::kWep64);
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Network));
        QCOMPARE(window_->Tabs()->currentIndex(), int(ConfigPage::Network));
        Find<QRadioButton>("infraRadio")->click();
        Retype(Find<QLineEdit>("ssid"), "lab");
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Authentication));
        QCOMPARE(window_->Tabs()->currentIndex(), int(ConfigPage::Authentication));
        Find<QRadioButton>("auth4")->click();
        QVERIFY(Checked("crypt2")); // WEP128 turned into TKIP
        QVERIFY(!Find<QLineEdit>("authId")->isHidden());
        QVERIFY(Find<QLineEdit>("wepKey")->isHidden());
        Find<QRadioButton>("eap2")->click();
        QCOMPARE(Find<QLabel>("authPasswordLabel")->text(), QStringLiteral("Certification Password"));
        Find<QRadioButton>("eap0")->click();
        QCOMPARE(Find<QLabel>("authPasswordLabel")->text(), QStringLiteral("Authentication Password"));
    }

    void typingLimitsHoldForTypingOnly()
    {
        Board board(dir_->path());
        OpenWindow(EmptyRoots());
        ConnectTo(board);
        Retype(Find<QLineEdit>("printerName"), QString(40, QLatin1Char('n')));
        QCOMPARE(Text("printerName"), QString(32, QLatin1Char('n')));
        Retype(Find<QLineEdit>("readCommunity"), QString(20, QLatin1Char('c')));
        QCOMPARE(Text("readCommunity"), QString(16, QLatin1Char('c')));
        QCOMPARE(window_->WorkingCopy().values.getCommunity, std::string(16, 'c'));

        // A 64-character name from the board is shown whole and survives
        // an edit elsewhere; typing cannot make it longer.
        IfConfigRecord record = window_->WorkingCopy().values;
        record.printerName = std::string(64, 'N');
        window_->Fill(SystemInfo{}, record);
        QCOMPARE(Text("printerName"), QString(64, QLatin1Char('N')));
        auto* name = Find<QLineEdit>("printerName");
        name->end(false);
        QTest::keyClicks(name, "x");
        QCOMPARE(Text("printerName"), QString(64, QLatin1Char('N')));
        QTest::keyClick(name, Qt::Key_Backspace);
        QCOMPARE(window_->WorkingCopy().values.printerName, std::string(63, 'N'));
    }

    void updateWritesTheExactRecordAndShowsTheInformation()
    {
        Board board(dir_->path());
        OpenWindow(EmptyRoots());
        ConnectTo(board);
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Network));
        Retype(Find<QLineEdit>("ssid"), "store-12 wlan");
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Authentication));
        Retype(Find<QLineEdit>("pskKey"), "new secret 2026");

        QStringList rows;
        QString title;
        QStringList headers;
        QTimer watch;
        watch.setInterval(20);
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* info = dynamic_cast<CInfoDlg*>(QApplication::activeModalWidget());
            if (!info)
                return;
            watch.stop();
            title = info->windowTitle();
            for (int c = 0; c < 3; ++c)
                headers << info->List()->headerItem()->text(c);
            for (int i = 0; i < info->List()->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* item = info->List()->topLevelItem(i);
                rows << item->text(0) + "|" + item->text(1) + "|" + item->text(2);
            }
            SaveShot(info, QStringLiteral("information"));
            info->findChild<QPushButton*>(QStringLiteral("okButton"))->click();
        });
        watch.start();
        QTimer bail; // a modal window left open would hang the test
        bail.setSingleShot(true);
        connect(&bail, &QTimer::timeout, this, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        bail.start(15000);
        Click("updateButton");

        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Pavix"));
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Completed a configuration. \nReset the printer."));
        const QByteArray want = ExpectedRecord("store-12 wlan", "new secret 2026");
        QTRY_COMPARE_WITH_TIMEOUT(board.storedRecord().size(), 603, 3000);
        QCOMPARE(board.storedRecord().toHex(), want.toHex());

        QCOMPARE(title, QStringLiteral("Pavix"));
        QCOMPARE(headers, (QStringList{"No", "Name", "Value"}));
        QCOMPARE(rows.size(), 27);
        QCOMPARE(rows[0], QStringLiteral("1|Printer Name|QX Mobile Printer"));
        QCOMPARE(rows[14], QStringLiteral("15|SSID|store-12 wlan"));
        QCOMPARE(rows[22], QStringLiteral("23|WEP Key|"));
        QCOMPARE(rows[23], QStringLiteral("24|PSK Key|new secret 2026"));
        QCOMPARE(rows[26], QStringLiteral("27|Auth Password/Certification Key(EAP-TLS)|"));

        // From the Certificate page only the WEP length rule applies: Open
        // System with a 10-character key goes out as WEP64, a 7-character
        // key is refused and nothing is written.
        window_->showInformation = [](const IfConfigRecord&) {};
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Authentication));
        Find<QRadioButton>("auth0")->click();
        Find<QRadioButton>("crypt1")->click();
        Retype(Find<QLineEdit>("wepKey"), "0123456");
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Certificate));
        QCOMPARE(window_->Tabs()->currentIndex(), int(ConfigPage::Authentication)); // refused by the page
        window_->Fill(SystemInfo{}, window_->LastRecord());
        // Leave the Authentication page legally, then break the key behind it.
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Authentication));
        Find<QRadioButton>("auth0")->click();
        Find<QRadioButton>("crypt1")->click();
        Retype(Find<QLineEdit>("wepKey"), "0123456789");
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Certificate));
        QCOMPARE(window_->Tabs()->currentIndex(), int(ConfigPage::Certificate));
        prompter_->messages.clear();
        Click("updateButton");
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Completed a configuration. \nReset the printer."));
        QTRY_VERIFY_WITH_TIMEOUT(board.storedRecord().mid(111, 2) == QByteArray::fromHex("0001"), 3000);
        QCOMPARE(board.storedRecord().mid(113, 10), QByteArray("0123456789"));
    }

    void disconnectDisablesEverything()
    {
        Board board(dir_->path());
        OpenWindow(EmptyRoots());
        ConnectTo(board);
        Click("disconnectButton");
        QVERIFY(!window_->Connected());
        QVERIFY(!port_->isOpen());
        QVERIFY(!window_->Tabs()->isEnabled());
        QVERIFY(Find<QPushButton>("connectButton")->isEnabled());
        QVERIFY(!Find<QPushButton>("disconnectButton")->isEnabled());
        QVERIFY(!Find<QPushButton>("updateButton")->isEnabled());
        // Each input is off by itself, not only through the disabled tabs.
        int inputs = 0;
        QList<QWidget*> widgets;
        for (int i = 0; i < window_->Tabs()->count(); ++i)
            widgets += window_->Tabs()->widget(i)->findChildren<QWidget*>();
        for (QWidget* w : widgets) {
            if (!qobject_cast<QLineEdit*>(w) && !qobject_cast<QAbstractButton*>(w) && !qobject_cast<QComboBox*>(w)
                && !qobject_cast<QTreeWidget*>(w))
                continue;
            if (w->objectName().isEmpty() || w->parentWidget() == nullptr)
                continue;
            ++inputs;
            QVERIFY2(!w->isEnabledTo(window_->Tabs()), qPrintable(w->objectName()));
        }
        QVERIFY(inputs >= 40);
        QVERIFY(prompter_->messages.isEmpty());

        // Connected again, closing the window releases the port.
        ConnectTo(board);
        QVERIFY(port_->isOpen());
        window_.reset();
        QVERIFY(!port_->isOpen());
    }

    void theWindowPaintsWhileConnectingAndHoldsInputBack()
    {
        // Each of the four replies comes 150 ms late: the exchange takes a
        // while, during which timers and repaints go on but a click on
        // "Quit" waits for the exchange to end.
        Board board(dir_->path(), {"--reply-delay", "150"});
        OpenWindow(EmptyRoots());
        platform::qt::testing::PaintCounter paints(window_.get());
        QTimer repaint;
        connect(&repaint, &QTimer::timeout, window_.get(), [this] { window_->update(); });
        repaint.start(30);
        bool connectedWhenQuitArrived = false;
        QTimer::singleShot(100, this, [this] { platform::qt::testing::postClick(Find<QPushButton>("quitButton")); });
        connect(window_.get(), &QDialog::rejected, this, [&] { connectedWhenQuitArrived = window_->Connected(); });
        Find<QComboBox>("portList")->setEditText(board.port());
        const int before = paints.count;
        Click("connectButton");
        const int during = paints.count - before;
        QVERIFY(window_->Connected());
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Succeeded to a printer connection."));
        QVERIFY2(during >= 5, qPrintable(QString::number(during)));
        QVERIFY(window_->isVisible()); // the click has not been delivered yet
        QTRY_VERIFY_WITH_TIMEOUT(!window_->isVisible(), 2000);
        QVERIFY(connectedWhenQuitArrived);
    }

    void aFailedReadClosesThePort()
    {
        Board board(dir_->path(), {"--silent-on", "if-get"});
        OpenWindow(EmptyRoots());
        port_->firstByteTimeoutMs = 300;
        Find<QComboBox>("portList")->setEditText(board.port());
        Click("connectButton");
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Is not connected with the printer."));
        QVERIFY(!port_->isOpen());
        QVERIFY(!window_->Connected());
        QVERIFY(!window_->Tabs()->isEnabled());

        prompter_->messages.clear();
        Find<QComboBox>("portList")->setEditText(dir_->filePath("no-such-tty"));
        Click("connectButton");
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Failed a port open!"));
    }

    void certificateUploadOfACaWithProgress()
    {
        Board board(dir_->path());
        OpenWindow(EmptyRoots());
        ConnectTo(board);
        window_->Tabs()->setCurrentIndex(int(ConfigPage::Certificate));
        QByteArray pem = "-----BEGIN CERTIFICATE-----\n" + QByteArray(1150, 'Q') + "\n-----END CERTIFICATE-----\n";
        const QString path = dir_->filePath("ca.crt");
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(pem);
        }
        Click("certCa");
        prompter_->fileListAnswers.append(QStringList{dir_->filePath("ignored"), path});
        Click("openFileButton");
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Selected a certificate file."));
        QCOMPARE(Text("certPath"), path);

        QList<int> progress;
        connect(Find<QProgressBar>("certProgress"), &QProgressBar::valueChanged, this,
                [&progress](int v) { progress << v; });
        Click("uploadButton");
        QCOMPARE(prompter_->messages.size(), 2);
        QCOMPARE(prompter_->messages[1].text,
                 QStringLiteral("Completed to upload the certification document. \nReset the printer."));
        QTRY_COMPARE_WITH_TIMEOUT(board.certificate("ca.pem"), pem, 3000);
        // Chunks of 500 bytes: the position after each is done * 100 / size.
        const int n = static_cast<int>(pem.size());
        QCOMPARE(progress, (QList<int>{500 * 100 / n, 1000 * 100 / n, 100}));

        // A file without the markers is refused and cannot be uploaded.
        const QString bad = dir_->filePath("bad.crt");
        {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
        prompter_->fileListAnswers.append(QStringList{bad});
        Click("openFileButton");
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Invalid certificate file."));
        Click("uploadButton");
        QCOMPARE(prompter_->messages.last().text,
                 QStringLiteral("The certificate file was not selected or invalid file."));
    }

    void bssPageListsTheBoardsAccessPoints()
    {
        Board board(dir_->path());
        OpenWindow(EmptyRoots());
        ConnectTo(board);
        window_->Tabs()->setCurrentIndex(int(ConfigPage::BssInformation));
        Click("getBssButton");
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, QString::fromLatin1(kBssSucceeded));
        auto* list = Find<QTreeWidget>("bssList");
        QVERIFY(list->topLevelItemCount() > 0);
        const QTreeWidgetItem* first = list->topLevelItem(0);
        QCOMPARE(first->text(0), QStringLiteral("1"));
        QVERIFY(QRegularExpression("^([0-9A-F]{2}-){5}[0-9A-F]{2}$").match(first->text(2)).hasMatch());
        QCOMPARE(list->headerItem()->text(3), QStringLiteral("MODE"));
        QCOMPARE(Find<QProgressBar>("bssProgress")->value(), 0);
    }

    void usbWithoutAnAcceptedBoardFallsBackToSerial()
    {
        const QString root = dir_->filePath("root");
        const QString node = MakeUsbTree(root, "0205");
        Board board(dir_->path(), {"--link", node});
        platform::DeviceRoots roots{(root + "/sys").toStdString(), (root + "/dev").toStdString()};
        OpenWindow(roots);
        Find<QRadioButton>("usbRadio")->click();
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Pavix"));
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Not Connect USB Device and Power off!"));
        QVERIFY(Checked("serialRadio"));
        QVERIFY(!Checked("usbRadio"));
        QCOMPARE(Find<QComboBox>("portList")->count(), 0); // the tree has no serial ports
    }

    void usbConnectsToAnAcceptedBoard()
    {
        const QString root = dir_->filePath("root");
        const QString node = MakeUsbTree(root, "0c21");
        Board board(dir_->path(), {"--link", node});
        qputenv("QUELLIX_DEVICE_ROOT", QFile::encodeName(root));
        OpenWindow(platform::DeviceRoots::fromEnvironment());
        Find<QRadioButton>("usbRadio")->click();
        QVERIFY(prompter_->messages.isEmpty());
        QCOMPARE(Find<QComboBox>("portList")->currentText(), QStringLiteral("USB001"));
        Click("connectButton");
        QCOMPARE(prompter_->messages.last().text, QStringLiteral("Succeeded to a printer connection."));
        QCOMPARE(port_->kind(), PortKind::Usb);
        QCOMPARE(Text("ssid"), QStringLiteral("quellix-lab"));
    }
};

QTEST_MAIN(SerialUsbGuiTest)
#include "serialusb_gui_test.moc"
