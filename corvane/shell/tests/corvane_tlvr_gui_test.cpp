// The memory switch editor through the real main window, offscreen, against
// printer-sim on a pseudo-terminal: the "Telvara" button, the progress
// window, the pages, and what reaches the simulator's memory.
#include "corvane/shell/CZ400TCUtilityDlg.h"
#include "corvane/shell/MainDialogIds.h"
#include "corvane/shell/ShellCommon.h"
#include "corvane/switches/CDlgTLVR.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/RecordingPrompter.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <map>
#include <memory>

using namespace corvane;
using platform::qt::testing::RecordingPrompter;

namespace {

using Memory = std::map<QString, QString>;

// printer-sim on a pseudo-terminal, its report read back as key: value lines.
class Simulator {
public:
    Simulator(const QString& dir, const QStringList& args) : report_(dir + "/report"), capture_(dir + "/capture")
    {
        process_.setProgram(QStringLiteral(PRINTER_SIM_PATH));
        process_.setArguments(QStringList{"--pty", "--report", report_, "--capture", capture_} + args);
        process_.start();
        if (process_.waitForReadyRead(10000))
            port_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~Simulator()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    const QString& port() const { return port_; }

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
    // The memory once the simulator has taken everything sent.
    Memory memory() const
    {
        QTest::qWait(300);
        Memory m;
        for (const auto& [key, value] : report())
            if (key.startsWith("switch.") || key.startsWith("serial.") || key.startsWith("sentinel.")
                || key.startsWith("bt."))
                m[key] = value;
        return m;
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
    QString port_;
};

} // namespace

class CorvaneTlvrGuiTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<platform::RegistryStore> store_;
    std::unique_ptr<RecordingPrompter> prompter_;
    bool pagesSeen_ = false;

    ShellServices services()
    {
        return ShellServices{*store_, *prompter_, platform::systemClock(), platform::systemDevices()};
    }

    // Presses "Telvara" with `onPages` acting on the settings dialog once it
    // is up (it must close it).
    void runEditor(const Simulator& sim, const std::function<void(CDlgTLVR&)>& onPages)
    {
        QVERIFY(!sim.port().isEmpty());
        CZ400TCUtilityDlg main(services());
        main.PreselectConnection(sim.port(), 0);
        auto* telvara = qobject_cast<QPushButton*>(platform::qt::FindControl(&main, main_id::kTelvara));
        QVERIFY(telvara);
        QVERIFY(telvara->isEnabled());
        pagesSeen_ = false;
        QTimer watch;
        watch.setInterval(20);
        connect(&watch, &QTimer::timeout, this, [&] {
            auto* pages = qobject_cast<CDlgTLVR*>(QApplication::activeModalWidget());
            if (!pages || pagesSeen_ || !pages->isVisible())
                return;
            pagesSeen_ = true;
            onPages(*pages);
        });
        watch.start();
        QTimer::singleShot(0, telvara, &QPushButton::click);
        // Safety net: a modal window left open would hang the test.
        QTimer bail;
        bail.setSingleShot(true);
        connect(&bail, &QTimer::timeout, this, [] {
            if (QWidget* w = QApplication::activeModalWidget())
                w->close();
        });
        bail.start(40000);
        QTest::qWait(0);
        QTRY_VERIFY_WITH_TIMEOUT(!prompter_->messages.isEmpty() || (pagesSeen_ && !QApplication::activeModalWidget()),
                                 45000);
        QTest::qWait(50);
    }

    static void click(CDlgTLVR& pages, const char* name)
    {
        auto* button = pages.findChild<QPushButton*>(name);
        QVERIFY(button);
        button->click();
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QVERIFY(dir_->isValid());
        qputenv("QUELLIX_REGISTRY", QFile::encodeName(dir_->filePath(QStringLiteral("registry.reg"))));
        store_ = std::make_unique<platform::RegistryStore>();
        prompter_ = std::make_unique<RecordingPrompter>();
    }

    void cleanup()
    {
        store_.reset();
        prompter_.reset();
        dir_.reset();
    }

    void saveWritesExactlyWhatThePagesChanged()
    {
        Simulator sim(dir_->path(), {"--model", "KMP-Z600"});
        const Memory before = sim.memory();
        runEditor(sim, [](CDlgTLVR& pages) {
            auto* density = pages.findChild<QComboBox*>("densityList");
            auto* codePage = pages.findChild<QComboBox*>("codePageList");
            QVERIFY(density && codePage);
            QCOMPARE(density->currentText(), QStringLiteral(" 100%")); // what the printer holds
            QCOMPARE(codePage->currentIndex(), 0);
            QVERIFY(pages.windowTitle().startsWith(QStringLiteral("Telvara  (fw:")));
            density->setCurrentIndex(0);   // " 150%": code 3
            codePage->setCurrentIndex(2);  // PC850
            click(pages, "saveButton");
        });
        QVERIFY(pagesSeen_);
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Corvane"));
        QCOMPARE(prompter_->messages[0].text,
                 QStringLiteral("Success to set TLVR configuration! \r\nPlease reset printer power."));
        Memory expected = before;
        expected["switch.1"] = before.at("switch.1").left(5) + "011";
        expected["switch.2"] = QStringLiteral("00010") + "0" + before.at("switch.2").mid(6);
        QCOMPARE(sim.memory(), expected);
        std::uint32_t value = 0;
        QVERIFY(store_->readNumber("Software\\Quellix\\Corvane", "Density", value));
        QCOMPARE(value, 3u);
        QVERIFY(store_->readNumber("Software\\Quellix\\Corvane", "CodePage", value));
        QCOMPARE(value, 2u);
    }

    void defaultRestoresTheFactoryState()
    {
        Simulator sim(dir_->path(), {"--model", "KMP-Z600", "--switch", "1=00010101", "--serial", "9600,2,1,7"});
        runEditor(sim, [](CDlgTLVR& pages) { click(pages, "defaultButton"); });
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].text,
                 QStringLiteral("Success to set TLVR configuration! \r\nPlease reset printer power."));
        const Memory after = sim.memory();
        QCOMPARE(after.at("switch.1"), QStringLiteral("00001100"));
        QCOMPARE(after.at("serial.baud"), QStringLiteral("115200"));
        QCOMPARE(after.at("serial.databits"), QStringLiteral("8"));
    }

    void cancelOnThePagesWritesNothing()
    {
        Simulator sim(dir_->path(), {"--model", "KMP-Z600"});
        const Memory before = sim.memory();
        runEditor(sim, [](CDlgTLVR& pages) {
            pages.findChild<QComboBox*>("densityList")->setCurrentIndex(0);
            click(pages, "cancelButton");
        });
        QVERIFY(pagesSeen_);
        QVERIFY(prompter_->messages.isEmpty());
        QCOMPARE(sim.memory(), before);
        QVERIFY(!sim.received().contains(QByteArray("\x1d\x28\x45\x03\x00\x01IN", 8)));
        std::uint32_t density = 0;
        QVERIFY(!store_->readNumber("Software\\Quellix\\Corvane", "Density", density));
    }

    void failedGetShowsTheStepMessage()
    {
        // A printer answering the other dialect: the first switch read fails.
        Simulator sim(dir_->path(), {"--model", "KMP-Z600", "--dialect", "bs"});
        runEditor(sim, [](CDlgTLVR& pages) { pages.reject(); });
        QVERIFY(!pagesSeen_);
        QCOMPARE(prompter_->messages.size(), 1);
        QCOMPARE(prompter_->messages[0].caption, QStringLiteral("Corvane"));
        QCOMPARE(prompter_->messages[0].text, QStringLiteral("Failed to read SW1 data!"));
    }
};

QTEST_MAIN(CorvaneTlvrGuiTest)
#include "corvane_tlvr_gui_test.moc"
