// The main window with the print spooler, against a private scheduler and
// printer-sim on a pseudo-terminal: a queue's device URI presets the
// window, the queue on the checked port is stopped while the window holds
// it (and no other queue), and the end of the window resumes it.
#include "telvara/gui/CTelvaraDlg.h"
#include "telvara/gui/DialogIds.h"
#include "telvara/gui/SpoolerWiring.h"
#include "telvara/link/LinkTexts.h"
#include "telvara/link/QueueTakeover.h"

#include "platform/qt/ControlIds.h"
#include "platform/qt/Ipv4AddressEdit.h"
#include "platform/qt/RecordingPrompter.h"
#include "platform/spooler/testing/PrivateCupsd.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace telvara;
using platform::qt::FindControl;
using platform::qt::testing::RecordingPrompter;
using platform::spooler::QueueInfo;
using platform::spooler::QueueState;
using platform::spooler::testing::PrivateCupsd;

namespace {

// printer-sim as a KTP-M880 on a pseudo-terminal.
class PtyPrinter {
public:
    PtyPrinter()
    {
        process_.setProgram(QStringLiteral(PRINTER_SIM_PATH));
        process_.setArguments({"--pty", "--personality", "pos", "--model", "KTP-M880"});
        process_.start();
        if (process_.waitForReadyRead(10000))
            path_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~PtyPrinter()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    const QString& path() const { return path_; }

private:
    QProcess process_;
    QString path_;
};

template <typename T>
T* control(QWidget* window, int id)
{
    return qobject_cast<T*>(FindControl(window, id));
}

} // namespace

class TelvaraGuiSpoolerTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<PrivateCupsd> cupsd_;
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<platform::RegistryStore> store_;
    RecordingPrompter prompter_;
    int queues_ = 0;

    std::optional<QueueInfo> queue(const std::string& name)
    {
        const auto spooler = platform::spooler::makeCupsSpooler(cupsd_->options());
        std::vector<QueueInfo> queues;
        if (!spooler->listQueues(queues).ok())
            return std::nullopt;
        for (const QueueInfo& q : queues)
            if (q.name == name)
                return q;
        return std::nullopt;
    }
    std::string addQueue(const std::string& uri)
    {
        const std::string name = "pos" + std::to_string(++queues_);
        std::string error;
        if (!cupsd_->addQueue(name, uri, error))
            qWarning("%s", error.c_str());
        return name;
    }

private slots:
    void initTestCase()
    {
        if (!PrivateCupsd::available())
            QSKIP("no cupsd on this machine");
        cupsd_ = std::make_unique<PrivateCupsd>();
        std::string error;
        QVERIFY2(cupsd_->start(error), error.c_str());
        dir_ = std::make_unique<QTemporaryDir>();
        store_ = std::make_unique<platform::RegistryStore>(
            QFile::encodeName(dir_->filePath(QStringLiteral("registry.reg"))).toStdString());
    }

    void cleanupTestCase()
    {
        if (cupsd_)
            cupsd_->stop();
    }

    void init() { prompter_.messages.clear(); }

    void theQueueOnThePortPresetsAndIsHeldUntilTheWindowEnds()
    {
        PtyPrinter printer;
        QVERIFY(!printer.path().isEmpty());
        const std::string port = printer.path().toStdString();
        const std::string counter = addQueue("serial:" + port + "?baud=19200+bits=7+parity=even+flow=soft+stop=2");
        const std::string elsewhere = addQueue("serial:/dev/ttyS7?baud=9600");
        QVERIFY(queue(counter) && queue(elsewhere));

        SpoolerGuard guard(platform::spooler::makeCupsSpooler(cupsd_->options()));
        std::vector<std::string> problems;
        TelvaraHooks hooks;
        WireSpooler(hooks, guard, *store_, [&](const std::string& p) { problems.push_back(p); });
        {
            CTelvaraDlg window(TelvaraServices{prompter_, platform::systemClock(), platform::systemDevices(), *store_},
                               hooks);
            window.PresetFromPrinter(QString::fromStdString(counter));
            QVERIFY(prompter_.messages.isEmpty());
            QCOMPARE(window.Interface(), LinkKind::Serial);
            QCOMPARE(control<QComboBox>(&window, main_id::kPort)->currentText(), printer.path());
            QCOMPARE(control<QComboBox>(&window, main_id::kBaudRate)->currentText(), QStringLiteral("19200"));
            QCOMPARE(control<QComboBox>(&window, main_id::kDataBits)->currentText(), QStringLiteral("7"));
            QCOMPARE(control<QComboBox>(&window, main_id::kParity)->currentText(), QStringLiteral("Even"));
            QCOMPARE(control<QComboBox>(&window, main_id::kStopBits)->currentText(), QStringLiteral("2"));
            QCOMPARE(control<QComboBox>(&window, main_id::kFlowControl)->currentText(), QStringLiteral("Xon/Xoff"));

            control<QPushButton>(&window, main_id::kCheckCommunication)->click();
            QCOMPARE(prompter_.messages.size(), 1);
            QCOMPARE(prompter_.messages[0].text, QString::fromLatin1(texts::kConnected.data()));
            QVERIFY(window.IsConnected());
            // Held while the window has the port, with our marker.
            const auto held = queue(counter);
            QVERIFY(held);
            QCOMPARE(held->state, QueueState::Stopped);
            long pid = 0;
            std::string host;
            QVERIFY(link::parseTakeoverMarker(held->stateMessage, pid, host));
            QCOMPARE(pid, static_cast<long>(QCoreApplication::applicationPid()));
            QCOMPARE(queue(elsewhere)->state, QueueState::Idle);

            control<QPushButton>(&window, main_id::kExit)->click();
            QCOMPARE(queue(counter)->state, QueueState::Idle);
        }
        QVERIFY(problems.empty());
    }

    void aSocketQueuePresetsEthernet()
    {
        const std::string name = addQueue("socket://127.0.0.1:9123");
        SpoolerGuard guard(platform::spooler::makeCupsSpooler(cupsd_->options()));
        TelvaraHooks hooks;
        WireSpooler(hooks, guard, *store_, {});
        CTelvaraDlg window(TelvaraServices{prompter_, platform::systemClock(), platform::systemDevices(), *store_},
                           hooks);
        window.PresetFromPrinter(QString::fromStdString(name));
        QVERIFY(prompter_.messages.isEmpty());
        QCOMPARE(window.Interface(), LinkKind::Ethernet);
        QVERIFY(control<QRadioButton>(&window, main_id::kEthernet)->isChecked());
        QCOMPARE(control<platform::qt::Ipv4AddressEdit>(&window, main_id::kIpAddress)->address(),
                 QStringLiteral("127.0.0.1"));
        QCOMPARE(control<QLineEdit>(&window, main_id::kTcpPort)->text(), QStringLiteral("9123"));

        // A printer the scheduler does not know: the defaults, and why.
        window.PresetFromPrinter(QStringLiteral("no-such-printer"));
        QCOMPARE(prompter_.messages.size(), 1);
        QCOMPARE(prompter_.messages[0].caption, QStringLiteral("Information"));
        QCOMPARE(window.Interface(), LinkKind::Ethernet);
    }
};

QTEST_MAIN(TelvaraGuiSpoolerTest)
#include "telvara_gui_spooler_test.moc"
