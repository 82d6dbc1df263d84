// Pavix's network windows, offscreen, against printer-sim's simulated
// boards on loopback. Every datagram and connection stays in 127.0.0.0/8:
// the windows are given UDP settings that send straight to the simulator's
// port on 127.0.0.1, and the boards' addresses are loopback addresses, so
// the web and access-point windows' targets are too.
#include "pavix/gui/CBssInfoDlg.h"
#include "pavix/gui/CDeviceListDlg.h"
#include "pavix/gui/CNetSettingDlg.h"
#include "pavix/gui/CPavixMainDlg.h"
#include "pavix/gui/CSearchDlg.h"
#include "pavix/gui/PavixCommon.h"
#include "pavix/gui/PavixIds.h"
#include "pavix/gui/BssRows.h"
#include "pavix/search/NetworkSetting.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/Ipv4AddressEdit.h"
#include "platform/qt/RecordingPrompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <map>
#include <memory>

using namespace pavix::gui;
using pavix::search::SearchMode;
using platform::qt::testing::RecordingPrompter;

namespace {

template <typename T>
T* control(QWidget* root, int id)
{
    return qobject_cast<T*>(platform::qt::FindControl(root, id));
}

QPushButton* button(QWidget* root, int id)
{
    return control<QPushButton>(root, id);
}

void shot(QWidget* widget, const char* name)
{
    QDir().mkpath(QStringLiteral(PAVIX_SCREENSHOT_DIR));
    widget->grab().save(QStringLiteral(PAVIX_SCREENSHOT_DIR "/") + QString::fromUtf8(name));
}

QString shown(std::string_view text)
{
    return DisplayText(text);
}

// printer-sim with its announced lines (the link or UDP port, then the
// access-point port) and its report.
class Simulator {
public:
    Simulator(const QString& dir, const QStringList& args, int lines = 1) : report_(dir + "/report")
    {
        process_.setProgram(QStringLiteral(PRINTER_SIM_PATH));
        process_.setArguments(QStringList{"--report", report_} + args);
        process_.start();
        QElapsedTimer waited;
        waited.start();
        while (announced_.size() < lines && waited.elapsed() < 10000) {
            if (!process_.canReadLine() && !process_.waitForReadyRead(200))
                continue;
            while (process_.canReadLine() && announced_.size() < lines)
                announced_ << QString::fromUtf8(process_.readLine()).trimmed();
        }
    }
    ~Simulator()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    bool ready(int lines = 1) const { return announced_.size() >= lines; }
    QString line(int i) const { return announced_.value(i); }

    QString field(const QString& key) const
    {
        QFile file(report_);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        for (const QByteArray& l : file.readAll().split('\n')) {
            const qsizetype at = l.indexOf(": ");
            if (at > 0 && QString::fromUtf8(l.left(at)) == key)
                return QString::fromUtf8(l.mid(at + 2));
        }
        return {};
    }

private:
    QProcess process_;
    QString report_;
    QStringList announced_;
};

class FakeOpener final : public UrlOpener {
public:
    bool open(const QUrl& url) override
    {
        opened << url.toString();
        return true;
    }
    QStringList opened;
};

} // namespace

class PavixGuiTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<RecordingPrompter> prompter_;
    FakeOpener opener_;
    std::unique_ptr<pavix::search::DeviceLists> lists_;
    std::uint16_t udpPort_ = 0;
    std::uint16_t bssPort_ = 1;

    PavixServices services()
    {
        const std::uint16_t port = udpPort_;
        return PavixServices{*prompter_, opener_, *lists_,
                             [port](SearchMode) {
                                 pavix::search::UdpSettings s;
                                 s.bind = platform::Ipv4Address::loopback();
                                 s.localPort = 0;
                                 s.remotePort = port;
                                 s.broadcast.target = platform::Ipv4Address::loopback();
                                 return s;
                             },
                             platform::systemDevices(), bssPort_};
    }

    std::unique_ptr<Simulator> udpBoards(const QStringList& boards)
    {
        QStringList args{"--udp", "0"};
        for (const QString& b : boards)
            args << "--udp-printer" << b;
        auto sim = std::make_unique<Simulator>(dir_->path(), args);
        udpPort_ = static_cast<std::uint16_t>(sim->line(0).toUInt());
        return sim;
    }

    // Runs `action` (which opens a modal window) with `onModal` acting on
    // the first modal window of type T once it is visible; `onModal` must
    // close it. Returns whether the window was seen.
    template <typename T>
    bool withModal(const std::function<void()>& action, const std::function<void(T&)>& onModal, int bailMs = 15000)
    {
        bool seen = false;
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* w = qobject_cast<T*>(QApplication::activeModalWidget());
            if (!w || seen || !w->isVisible())
                return;
            seen = true;
            onModal(*w);
        });
        watch.start();
        QTimer bail;
        bail.setSingleShot(true);
        connect(&bail, &QTimer::timeout, this, [] {
            while (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        bail.start(bailMs);
        action();
        return seen;
    }

    static QStringList row(QTableWidget* list, int r)
    {
        QStringList out;
        for (int c = 0; c < list->columnCount(); ++c)
            out << (list->item(r, c) ? list->item(r, c)->text() : QString());
        return out;
    }

    static QString enabled(QWidget* root)
    {
        // Setting, BSS Info, Certificate upload, Configuration(Web), as the table lists them.
        QString s;
        for (int id : {list_id::kSetting, list_id::kBssInfo, list_id::kCertificate, list_id::kWeb})
            s += button(root, id)->isEnabled() ? '1' : '0';
        return s;
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        prompter_ = std::make_unique<RecordingPrompter>();
        lists_ = std::make_unique<pavix::search::DeviceLists>();
        opener_.opened.clear();
        udpPort_ = 0;
        bssPort_ = 1;
    }

    void startWindowOffersTheThreeConfigurations()
    {
        CPavixMainDlg main(services());
        QCOMPARE(main.windowTitle(), QStringLiteral("QUELLIX Pavix V2.0.4"));
        QCOMPARE(button(&main, main_id::kEthernet)->text(), QStringLiteral("Ethernet Configuration"));
        QCOMPARE(button(&main, main_id::kWlan)->text(), QStringLiteral("WLAN Configuration"));
        QCOMPARE(button(&main, main_id::kSerialUsb)->text(),
                 QStringLiteral("Serial/USB Configuration\n(For mobile WLAN)"));
        QCOMPARE(button(&main, main_id::kExit)->text(), QStringLiteral("Exit"));
        QVERIFY(platform::qt::DuplicateControlIds(&main).isEmpty());

        // Without an opener the button does nothing; with one it is called
        // with the start window as the parent.
        button(&main, main_id::kSerialUsb)->click();
        QWidget* parent = nullptr;
        main.setSerialUsbOpener([&](QWidget* p) { parent = p; });
        button(&main, main_id::kSerialUsb)->click();
        QCOMPARE(parent, static_cast<QWidget*>(&main));

        // Each configuration opens the device list of its mode.
        for (const auto& [id, title] : {std::pair{main_id::kEthernet, "Ethernet Configuration"},
                                        std::pair{main_id::kWlan, "WLAN Configuration"}}) {
            QString seenTitle;
            QVERIFY(withModal<CDeviceListDlg>([&] { button(&main, id)->click(); },
                                              [&](CDeviceListDlg& list) {
                                                  seenTitle = list.windowTitle();
                                                  list.close();
                                              }));
            QCOMPARE(seenTitle, QString::fromUtf8(title));
        }
        QVERIFY(prompter_->messages.isEmpty());

        main.show();
        shot(&main, "pavix-start.png");
        button(&main, main_id::kExit)->click();
        QCOMPARE(main.result(), int(QDialog::Rejected));
        QVERIFY(!main.isVisible());
    }

    void ethernetSearchListsTheBoardsAndOpensTheirWebPages()
    {
        auto sim = udpBoards({"ethernet,mac=00:19:7b:00:00:01,ip=127.0.0.10,https=1",
                              "ethernet,mac=00:19:7b:00:00:02,ip=127.0.0.11,port=9101,fw=0.0,gateway=0.0.0.0",
                              "wlan,mac=00:19:7b:00:00:03,ip=127.0.0.12"});
        QVERIFY(sim->ready());
        CDeviceListDlg list(services(), SearchMode::Ethernet);
        list.show();
        auto* table = control<QTableWidget>(&list, list_id::kList);
        QVERIFY(table);
        QCOMPARE(list.windowTitle(), QStringLiteral("Ethernet Configuration"));
        const QStringList titles{"No", "Mac Address", "IP Address", "Subnet", "Gateway", "Port", "Version"};
        const int widths[] = {30, 140, 130, 130, 130, 70, 70};
        for (int c = 0; c < titles.size(); ++c) {
            QCOMPARE(table->horizontalHeaderItem(c)->text(), titles[c]);
            QCOMPARE(table->columnWidth(c), widths[c]);
        }
        QVERIFY(table->showGrid());
        QCOMPARE(table->selectionBehavior(), QAbstractItemView::SelectRows);
        // Nothing is searched on opening; the device buttons start off and the
        // WLAN-only ones are hidden.
        QCOMPARE(table->rowCount(), 0);
        QVERIFY(!button(&list, list_id::kSetting)->isEnabled());
        QVERIFY(!button(&list, list_id::kWeb)->isEnabled());
        QVERIFY(button(&list, list_id::kBssInfo)->isHidden());
        QVERIFY(button(&list, list_id::kCertificate)->isHidden());

        QString searchTitle, status, cancel;
        int maximum = 0;
        QVERIFY(withModal<CSearchDlg>([&] { button(&list, list_id::kSearch)->click(); },
                                      [&](CSearchDlg& search) {
                                          searchTitle = search.windowTitle();
                                          status = control<QLabel>(&search, search_id::kStatus)->text();
                                          maximum = control<QProgressBar>(&search, search_id::kProgress)->maximum();
                                          cancel = button(&search, search_id::kCancel)->text();
                                          shot(&search, "pavix-search.png");
                                      }));
        QCOMPARE(searchTitle, QStringLiteral("Search..."));
        QVERIFY2(status.startsWith("Now Searching."), qPrintable(status));
        QCOMPARE(maximum, 1000);
        QCOMPARE(cancel, QStringLiteral("Cancel"));

        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(row(table, 0), (QStringList{"1", "00:19:7b:00:00:01", "127.0.0.10", "255.255.255.0", "192.168.0.1",
                                              "9100", "1.5"}));
        QCOMPARE(row(table, 1), (QStringList{"2", "00:19:7b:00:00:02", "127.0.0.11", "255.255.255.0",
                                              "Not Configuration", "9101", "N/A"}));
        QCOMPARE(table->currentRow(), 0);
        QVERIFY(table->selectionModel()->isRowSelected(0, {}));
        QVERIFY(button(&list, list_id::kSetting)->isEnabled());
        QVERIFY(button(&list, list_id::kWeb)->isEnabled());
        shot(&list, "pavix-device-list-ethernet.png");

        button(&list, list_id::kWeb)->click();
        table->setCurrentCell(1, 0);
        button(&list, list_id::kWeb)->click();
        QCOMPARE(opener_.opened, (QStringList{"https://127.0.0.10", "http://127.0.0.11"}));
        QVERIFY(prompter_->messages.isEmpty());

        // A record gone since the fill is reported instead of opened.
        lists_->of(SearchMode::Ethernet).clear();
        button(&list, list_id::kWeb)->click();
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Pavix"));
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Please, search a device again."));
        QCOMPARE(opener_.opened.size(), 2);
    }

    void settingStoresTheNewAddressAndTheResearchShowsIt()
    {
        auto sim = udpBoards({"ethernet,mac=00:19:7b:00:00:01,ip=127.0.0.20,store-delay=100",
                              "ethernet,mac=00:19:7b:00:00:02,ip=127.0.0.21"});
        QVERIFY(sim->ready());
        CDeviceListDlg list(services(), SearchMode::Ethernet);
        list.show();
        auto* table = control<QTableWidget>(&list, list_id::kList);
        list.OnSearch();
        QCOMPARE(table->rowCount(), 2);

        QString title, ip, port, firmware, baud;
        bool dhcp = true, waited = false, waitCursor = false;
        QElapsedTimer sinceSave;
        const bool seen = withModal<CNetSettingDlg>(
            [&] { button(&list, list_id::kSetting)->click(); },
            [&](CNetSettingDlg& setting) {
                title = setting.windowTitle();
                auto* ipEdit = control<platform::qt::Ipv4AddressEdit>(&setting, setting_id::kIp);
                ip = ipEdit->address();
                port = control<QLineEdit>(&setting, setting_id::kLocalPort)->text();
                firmware = control<QLineEdit>(&setting, setting_id::kFirmware)->text();
                baud = control<QComboBox>(&setting, setting_id::kBaud)->currentText();
                dhcp = control<QCheckBox>(&setting, setting_id::kDhcp)->isChecked();
                shot(&setting, "pavix-network-setting.png");
                ipEdit->setAddress(QStringLiteral("127.0.0.77"));
                setting.OnSave();
                sinceSave.start();
                waited = setting.waiting();
                waitCursor = QApplication::overrideCursor() != nullptr
                             && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            },
            20000);
        QVERIFY(seen);
        QCOMPARE(title, QStringLiteral("Ethernet Configuration"));
        QCOMPARE(ip, QStringLiteral("127.0.0.20"));
        QCOMPARE(port, QStringLiteral("9100"));
        QCOMPARE(firmware, QStringLiteral("1.5"));
        QCOMPARE(baud, QStringLiteral("115200"));
        QVERIFY(!dhcp);
        QVERIFY(waited);
        QVERIFY(waitCursor);
        QCOMPARE(QApplication::overrideCursor(), nullptr);

        // The answer's message, then the Ethernet wait of 3 s and a new search.
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Pavix"));
        QCOMPARE(prompter_->messages[0].text, shown(pavix::search::kStoredMessage));
        QVERIFY2(sinceSave.elapsed() >= 3000, qPrintable(QString::number(sinceSave.elapsed())));
        QCOMPARE(sim->field("udp.stored"), QStringLiteral("1"));
        QCOMPARE(table->rowCount(), 2);
        QCOMPARE(row(table, 0)[2], QStringLiteral("127.0.0.77"));
        QCOMPARE(row(table, 1)[2], QStringLiteral("127.0.0.21"));
    }

    void settingRefusesForbiddenPortsRangesAndTheEmptyAddress()
    {
        auto sim = udpBoards({"ethernet,mac=00:19:7b:00:00:01,ip=127.0.0.30,baud=00"});
        QVERIFY(sim->ready());
        CDeviceListDlg list(services(), SearchMode::Ethernet);
        list.OnSearch();
        QCOMPARE(lists_->of(SearchMode::Ethernet).size(), 1);

        CNetSettingDlg setting(services(), SearchMode::Ethernet, 1);
        setting.show();
        auto* port = control<QLineEdit>(&setting, setting_id::kLocalPort);
        auto* inactivity = control<QLineEdit>(&setting, setting_id::kInactivity);
        auto* ip = control<platform::qt::Ipv4AddressEdit>(&setting, setting_id::kIp);
        auto* dhcp = control<QCheckBox>(&setting, setting_id::kDhcp);
        // A baud code outside the table disables the list.
        QVERIFY(!control<QComboBox>(&setting, setting_id::kBaud)->isEnabled());
        QCOMPARE(control<QComboBox>(&setting, setting_id::kBaud)->count(), 9);
        QVERIFY(control<QLineEdit>(&setting, setting_id::kFirmware)->isReadOnly());

        // Letters never reach the port edit.
        port->clear();
        QTest::keyClicks(port, "9a1");
        QCOMPARE(port->text(), QStringLiteral("91"));
        // Out of range while typing: the message and 9100.
        port->setText(QStringLiteral("40000"));
        QCOMPARE(port->text(), QStringLiteral("9100"));
        inactivity->setText(QStringLiteral("3601"));
        QCOMPARE(inactivity->text(), QStringLiteral("0"));
        // A forbidden port on Save: refused, 9100, focus on the port.
        port->setText(QStringLiteral("80"));
        setting.OnSave();
        QCOMPARE(port->text(), QStringLiteral("9100"));
        QVERIFY(!setting.waiting());
        // 0.0.0.0 is refused, with DHCP on too (the inputs are then off).
        ip->setAddress(QStringLiteral("0.0.0.0"));
        setting.OnSave();
        dhcp->setChecked(true);
        QVERIFY(!ip->isEnabled());
        setting.OnSave();
        dhcp->setChecked(false);
        QVERIFY(ip->isEnabled());

        QStringList texts;
        for (const auto& m : prompter_->messages) {
            QCOMPARE(m.caption, QStringLiteral("Pavix"));
            texts << m.text;
        }
        QCOMPARE(texts, (QStringList{shown(pavix::search::kPortRangeMessage), shown(pavix::search::kTimeRangeMessage),
                                     shown(pavix::search::kForbiddenPortMessage),
                                     QStringLiteral("Cannot set the IP!\nPlease, retype a IP."),
                                     QStringLiteral("Cannot set the IP!\nPlease, retype a IP.")}));
        QVERIFY(!setting.waiting());
        QCOMPARE(setting.isVisible(), true);
        QTest::qWait(100);
        QCOMPARE(sim->field("udp.stores"), QStringLiteral("0"));

        // A device that is gone: the read error, and the window never opens.
        prompter_->messages.clear();
        CNetSettingDlg gone(services(), SearchMode::Ethernet, 2);
        QCOMPARE(gone.exec(), int(QDialog::Rejected));
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Error : Fail to read Infomation list!"));
    }

    void wlanCapabilitiesEnableTheButtonsAndBssInfoListsTheBoardsTable()
    {
        const QString dir = dir_->path();
        Simulator board(dir, {"--pty", "--personality", "network-board", "--bss-tcp-port", "0"}, 2);
        QVERIFY(board.ready(2));
        bssPort_ = static_cast<std::uint16_t>(board.line(1).toUInt());
        auto sim = udpBoards({"wlan,mac=00:19:7b:00:01:00,ip=127.0.0.40,cap=0",
                              "wlan,mac=00:19:7b:00:01:04,ip=127.0.0.41,cap=4",
                              "wlan,mac=00:19:7b:00:01:19,ip=127.0.0.42,cap=25",
                              "wlan,mac=00:19:7b:00:01:1f,ip=127.0.0.1,cap=31",
                              "wlan,mac=00:19:7b:00:01:07,ip=127.0.0.43,cap=7",
                              "ethernet,mac=00:19:7b:00:01:ee,ip=127.0.0.44"});
        QVERIFY(sim->ready());
        CDeviceListDlg list(services(), SearchMode::Wlan);
        list.show();
        QVERIFY(!button(&list, list_id::kBssInfo)->isHidden());
        QVERIFY(!button(&list, list_id::kCertificate)->isHidden());
        QCOMPARE(enabled(&list), QStringLiteral("0000"));
        list.OnSearch();
        auto* table = control<QTableWidget>(&list, list_id::kList);
        QCOMPARE(table->rowCount(), 5);
        QCOMPARE(table->item(3, 0)->data(Qt::UserRole).toInt(), 31);

        // Setting, BSS Info, Certificate upload, Configuration(Web).
        QCOMPARE(table->currentRow(), 0);
        QCOMPARE(enabled(&list), QStringLiteral("0000"));
        table->setCurrentCell(1, 0);
        QCOMPARE(enabled(&list), QStringLiteral("0010"));
        table->setCurrentCell(2, 0);
        QCOMPARE(enabled(&list), QStringLiteral("1101"));
        table->setCurrentCell(3, 0);
        QCOMPARE(enabled(&list), QStringLiteral("1111"));
        shot(&list, "pavix-device-list-wlan.png");
        // A code outside the table leaves the buttons as they were.
        table->setCurrentCell(4, 0);
        QCOMPARE(enabled(&list), QStringLiteral("1111"));
        table->setCurrentCell(1, 0);
        table->setCurrentCell(4, 0);
        QCOMPARE(enabled(&list), QStringLiteral("0010"));

        // The certificate button says where certificates go.
        button(&list, list_id::kCertificate)->click();
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, shown(pavix::search::kCertificateUploadHint));
        prompter_->messages.clear();

        // BSS Info on the capability-31 board asks it over TCP 300 ms after
        // opening and lists the simulator's table.
        table->setCurrentCell(3, 0);
        QString address;
        QStringList rows;
        QString title;
        int queries = 0;
        QList<int> widths;
        const bool seen = withModal<CBssInfoDlg>(
            [&] { button(&list, list_id::kBssInfo)->click(); },
            [&](CBssInfoDlg& bss) {
                title = bss.windowTitle();
                address = bss.address();
                // The query has not run yet: it waits 300 ms.
                queries = bss.queries();
                QTRY_VERIFY_WITH_TIMEOUT(!prompter_->messages.isEmpty(), 10000);
                auto* bssList = control<QTableWidget>(&bss, bss_id::kList);
                for (int c = 0; c < bssList->columnCount(); ++c)
                    widths << bssList->columnWidth(c);
                for (int r = 0; r < bssList->rowCount(); ++r)
                    rows << row(bssList, r).join('|');
                shot(&bss, "pavix-bss-info.png");
                button(&bss, bss_id::kCancel)->click();
            });
        QVERIFY(seen);
        QCOMPARE(title, QStringLiteral("BSS Information"));
        QCOMPARE(address, QStringLiteral("127.0.0.1"));
        QCOMPARE(queries, 0);
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Pavix"));
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Succeeded to BSS information acquisitions"));
        QCOMPARE(widths, (QList<int>{30, 140, 150, 100, 60, 110}));
        QCOMPARE(rows, (QStringList{"1|quellix-lab|00-1A-2B-3C-4D-5E|Infrastructure|-48|WPA2",
                                    "2|guest-wep|02-11-22-33-44-55|Infrastructure|-71|WEP64",
                                    "3|adhoc-cell|06-AA-BB-CC-DD-EE|Ad hoc|-80|No"}));
    }

    void searchEndsEarlyOnAShortWlanDatagramAndOnCancel()
    {
        // A stray of 10 bytes 300 ms in ends the WLAN search at once; the
        // board that answered first is listed, the late one is not.
        QStringList args{"--udp", "0", "--udp-printer", "wlan,mac=00:19:7b:00:02:01,ip=127.0.0.50",
                         "--udp-printer", "wlan,mac=00:19:7b:00:02:02,ip=127.0.0.51,delay=700",
                         "--udp-stray", "41424344454647484950@300"};
        Simulator sim(dir_->path(), args);
        QVERIFY(sim.ready());
        udpPort_ = static_cast<std::uint16_t>(sim.line(0).toUInt());
        CDeviceListDlg list(services(), SearchMode::Wlan);
        list.show();
        QElapsedTimer took;
        took.start();
        list.OnSearch();
        QVERIFY2(took.elapsed() < 900, qPrintable(QString::number(took.elapsed())));
        auto* table = control<QTableWidget>(&list, list_id::kList);
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(row(table, 0)[1], QStringLiteral("00:19:7b:00:02:01"));

        // Cancel keeps what arrived and closes the search window at once.
        Simulator quiet(dir_->path(), {"--udp", "0", "--udp-printer", "wlan,mac=00:19:7b:00:02:01,ip=127.0.0.50"});
        QVERIFY(quiet.ready());
        udpPort_ = static_cast<std::uint16_t>(quiet.line(0).toUInt());
        lists_->of(SearchMode::Wlan).clear();
        CSearchDlg search(services(), SearchMode::Wlan);
        QTimer::singleShot(300, &search, [&] { button(&search, search_id::kCancel)->click(); });
        took.restart();
        QCOMPARE(search.exec(), int(QDialog::Rejected));
        QVERIFY2(took.elapsed() < 900, qPrintable(QString::number(took.elapsed())));
        QCOMPARE(lists_->of(SearchMode::Wlan).size(), 1);
        QCOMPARE(search.report().endedEarly, false);

        // With the list emptied the device buttons go off again.
        list.FillList();
        QCOMPARE(table->rowCount(), 1);
        lists_->of(SearchMode::Wlan).clear();
        list.FillList();
        QCOMPARE(table->rowCount(), 0);
        QCOMPARE(enabled(&list), QStringLiteral("0000"));
        QVERIFY(prompter_->messages.isEmpty());
    }

    void bssInfoReportsABoardThatDoesNotAnswer()
    {
        // Nothing listens on the port: the failure message and an empty list.
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        bssPort_ = probe.serverPort();
        probe.close();
        CBssInfoDlg bss(services(), QStringLiteral("127.0.0.1"));
        bss.show();
        QTRY_COMPARE_WITH_TIMEOUT(bss.queries(), 1, 5000);
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text, shown(kBssFailed));
        QVERIFY(!prompter_->messages[0].details.isEmpty());
        QCOMPARE(control<QTableWidget>(&bss, bss_id::kList)->rowCount(), 0);
        QCOMPARE(control<QProgressBar>(&bss, bss_id::kProgress)->value(), 0);
    }
};

QTEST_MAIN(PavixGuiTest)
#include "pavix_gui_test.moc"
