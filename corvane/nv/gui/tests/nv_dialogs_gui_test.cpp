// The NV progress window and the address dialog, offscreen. The progress
// window runs real NV jobs against the scripted printer on a manual clock
// (the phases' own pauses cost no time; the driver's timers between phases
// run in real time); one pause can be made to last in real time to watch
// the window paint and hold its input meanwhile.
#include "corvane/nv/tests/nv_fixture.h"

#include "corvane/nv/NvJob.h"
#include "corvane/nv/gui/CNvAddrDlg.h"
#include "corvane/nv/gui/CNvProDlg.h"
#include "corvane/nv/gui/NvDialogIds.h"
#include "platform/testing/stalling_clock.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/RecordingPrompter.h"
#include "platform/qt/WindowProbes.h"
#include "platform/wait_hook.h"

#include <QApplication>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>

using namespace corvane;
using namespace nv_test;
using platform::qt::FindControl;
using platform::qt::testing::PaintCounter;
using platform::qt::testing::RecordingPrompter;

namespace {

using Strings = std::vector<std::string>;

using platform::testing::StallingClock;

// The printer, its port, the NV object and a registry of its own.
struct Bench {
    platform::ManualClock clock{5000};
    platform::testing::FakePrinter printer{clock};
    platform::testing::FakeDevices devices{printer};
    CCommonUtil util{clock, devices};
    CCommonNv nv{util, clock};
    StallingClock stalling{clock};
    QTemporaryDir dir;
    platform::RegistryStore store{(dir.path() + QStringLiteral("/registry.reg")).toStdString()};
    // Called with every write; may queue replies.
    std::function<void(const Bytes&)> answer;

    Bench()
    {
        printer.onWrite = [this](const Bytes& data) {
            if (answer)
                answer(data);
        };
        util.settings.portName = "COM2";
        util.ApplyPortSettings();
    }

    // Open and identified: the job's first phase has nothing to do.
    void ready(std::uint32_t version = kKeyedVersion)
    {
        QVERIFY(util.port.Open() == 1);
        util.g_Getver = version;
        nv.printerIdentified = 1;
        printer.writes.clear();
    }

    void commandsFor(const Strings& names, std::size_t bytes)
    {
        nv.commands.clear();
        std::uint8_t fill = 0x41;
        for (const std::string& name : names) {
            NvCommand c{name, {}};
            c.data.assign(bytes, fill++);
            nv.commands.push_back(std::move(c));
        }
        nv.commandsTarget = nv.currentTarget();
    }

    void repliesTo(const Bytes& command, const Bytes& reply)
    {
        auto previous = answer;
        answer = [this, command, reply, previous](const Bytes& data) {
            if (data == command)
                printer.reply(reply);
            else if (previous)
                previous(data);
        };
    }
};

template <typename T>
T* named(QWidget* root, const char* name)
{
    T* found = root->findChild<T*>(QString::fromUtf8(name));
    if (found == nullptr)
        qWarning("no control named %s", name);
    return found;
}

// Every title the status box showed, in order: the window repaints it the
// moment the job reports a status.
class StatusRecorder final : public QObject {
public:
    explicit StatusRecorder(QGroupBox* box) : box_(box) { box->installEventFilter(this); }
    QStringList titles;

    bool saw(const char* text) const { return titles.contains(QString::fromUtf8(text)); }
    qsizetype indexOf(const char* text) const { return titles.indexOf(QString::fromUtf8(text)); }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && (titles.isEmpty() || titles.last() != box_->title()))
            titles.append(box_->title());
        return false;
    }

private:
    QGroupBox* box_;
};

// Counts the key presses a widget receives.
class KeyCounter final : public QObject {
public:
    explicit KeyCounter(QWidget* widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            ++count;
        return false;
    }
};

// As the window system delivers a key: queued, to the window.
void postEscape(QWidget* window)
{
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier));
}

// Types characters a key sequence of ASCII cannot name.
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

bool looksDrawn(const QImage& image)
{
    if (image.isNull() || image.width() < 120 || image.height() < 40)
        return false;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    return colours.size() > 3;
}

const QString kCaption = QStringLiteral("NV Image Manager");

} // namespace

class NvDialogsGuiTest : public QObject {
    Q_OBJECT

private slots:
    // ---- progress window ----

    void addressesJobIdentifiesReadsTheKeysAndEndsAccepted()
    {
        Bench b;
        b.repliesTo(kModelQuery, bytesOf("_KMP-Z400", true));
        b.repliesTo(kVersionQuery, bytesOf("_VER V1.04", true));
        b.repliesTo(kReadKeys, keyBlock(0x40, "A1B2"));
        CNvProDlg dlg(b.nv, kNvJobAddresses, b.store, nullptr, b.clock);
        auto* bar = named<QProgressBar>(&dlg, "progressBar");
        auto* status = named<QGroupBox>(&dlg, "statusBox");
        QVERIFY(bar && status);
        QCOMPARE(dlg.windowTitle(), kCaption);
        QCOMPARE(status->title(), QStringLiteral("Progressing..."));
        QCOMPARE(FindControl(&dlg, nv_id::kProgress), bar);
        QCOMPARE(FindControl(&dlg, nv_id::kStatusGroup), status);
        QVERIFY(platform::qt::DuplicateControlIds(&dlg).isEmpty());
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), 0);
        QCOMPARE(dlg.Result().end, platform::JobEnd::Cancel);
        QCOMPARE(dlg.Message(), std::string("Download process is stoped..."));

        QSignalSpy finished(&dlg, &CNvProDlg::jobFinished);
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 5000);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.Result().end, platform::JobEnd::Ok);
        QCOMPARE(b.nv.addresses, (Strings{"A1", "B2"}));
        QCOMPARE(bar->value(), 100);
        QCOMPARE(b.printer.opens, 1);
        QCOMPARE(b.nv.printerIdentified, 1);
        QVERIFY(b.util.port.IsOpen());
    }

    void failingJobsEndRejectedWithTheirMessages()
    {
        {
            Bench b;
            b.ready();
            b.repliesTo(kReadKeys, Bytes{0x37, 0x78, 0x40, 0x00});   // not a key block
            CNvProDlg dlg(b.nv, kNvJobAddresses, b.store, nullptr, b.clock);
            dlg.show();
            QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 5000);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(dlg.Message(), std::string("Failed to read NV image address!"));
            QCOMPARE(dlg.Result().code, int(kBadFormat));
            QVERIFY(dlg.Job().progress().value < 100);
        }
        {
            Bench b;
            b.printer.failOpens = 100;
            CNvProDlg dlg(b.nv, kNvJobPrintAll, b.store, nullptr, b.clock);
            dlg.show();
            QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 5000);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(dlg.Message(), std::string("Port open error!"));
            QCOMPARE(dlg.Result().code, kNvJobPortOpenFailed);
            QVERIFY(b.printer.writes.empty());
        }
    }

    void printSelectedCountsPastHundredAndShowsTheBarFull()
    {
        Bench b;
        b.ready();
        CNvProDlg dlg(b.nv, kNvJobPrintSelected, b.store, nullptr, b.clock);
        dlg.SetSelection("A1", 0);
        auto* bar = named<QProgressBar>(&dlg, "progressBar");
        StatusRecorder statuses(named<QGroupBox>(&dlg, "statusBox"));
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 5000);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Job().progress().value, 104);
        QCOMPARE(bar->value(), 100);
        QCOMPARE(b.printer.writes, (std::vector<Bytes>{printKey('A', '1')}));
        QCOMPARE(statuses.titles.last(), QStringLiteral("Print selected NV image..."));
    }

    void runNvJobShowsTheWindowModallyWithTheSelection()
    {
        Bench b;
        b.ready();
        QString title;
        bool modal = false;
        QTimer::singleShot(50, [&] {
            if (QWidget* w = QApplication::activeModalWidget()) {
                title = w->windowTitle();
                modal = qobject_cast<CNvProDlg*>(w) != nullptr;
            }
        });
        const platform::JobResult r =
            CNvProDlg::RunNvJob(b.nv, kNvJobPrintSelected, b.store, nullptr, "K7", 0, b.clock);
        QCOMPARE(r.end, platform::JobEnd::Ok);
        QVERIFY(modal);
        QCOMPARE(title, kCaption);
        QCOMPARE(b.printer.writes, (std::vector<Bytes>{printKey('K', '7')}));

        // The indexed family prints by index, its stored count in the store.
        b.util.g_Getver = kIndexedVersion;
        b.printer.writes.clear();
        QVERIFY(CNvProDlg::RunNvJob(b.nv, kNvJobPrintSelected, b.store, nullptr, "03", 3, b.clock).end ==
                platform::JobEnd::Ok);
        QCOMPARE(b.printer.writes, (std::vector<Bytes>{printIndex(3)}));

        b.printer.writeLimit = 2;
        const platform::JobResult failed =
            CNvProDlg::RunNvJob(b.nv, kNvJobPrintSelected, b.store, nullptr, "03", 3, b.clock);
        QCOMPARE(failed.end, platform::JobEnd::Cancel);
        QCOMPARE(failed.message, std::string(" Failed to write data!\r\nPlease check your printer."));
    }

    void keyedDownloadShowsEachImageThenTheFinish()
    {
        Bench b;
        b.ready();
        b.commandsFor({"first.bmp", "second.bmp"}, 120);
        CNvProDlg dlg(b.nv, kNvJobDownload, b.store, nullptr, b.clock);
        StatusRecorder statuses(named<QGroupBox>(&dlg, "statusBox"));
        QStringList titleAtWrite;
        b.answer = [&](const Bytes&) { titleAtWrite.append(named<QGroupBox>(&dlg, "statusBox")->title()); };
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 8000);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(b.printer.writes, (std::vector<Bytes>{b.nv.commands.front().data, b.nv.commands.back().data}));
        QCOMPARE(dlg.Job().imagesSent(), std::size_t(2));
        // Each image's name is up while its data goes out.
        QCOMPARE(titleAtWrite,
                 (QStringList{QStringLiteral("first.bmp Downloading..."), QStringLiteral("second.bmp Downloading...")}));
        const qsizetype first = statuses.indexOf("first.bmp Downloading...");
        const qsizetype second = statuses.indexOf("second.bmp Downloading...");
        const qsizetype finish = statuses.indexOf("Finish download...");
        QVERIFY2(first >= 0 && first < second && second < finish, qPrintable(statuses.titles.join(QStringLiteral(" | "))));
        QCOMPARE(named<QProgressBar>(&dlg, "progressBar")->value(), 100);
    }

    void escapeOrCloseDuringAKeyedDownloadStopsAfterTheCurrentImage()
    {
        for (const bool byEscape : {true, false}) {
            Bench b;
            b.ready();
            b.commandsFor({"a.bmp", "b.bmp", "c.bmp"}, 100);
            CNvProDlg dlg(b.nv, kNvJobDownload, b.store, nullptr, b.stalling);
            PaintCounter paints(&dlg);
            KeyCounter keys(&dlg);
            int keysDuringTheImage = -1;
            QTimer repaint;
            connect(&repaint, &QTimer::timeout, &dlg, [&dlg] { dlg.update(); });
            repaint.start(20);
            bool endedDuringTheImage = true;
            int paintsBefore = 0;
            int paintsAfter = -1;
            b.stalling.before = [&] { paintsBefore = paints.count; };
            b.stalling.after = [&] {
                paintsAfter = paints.count;
                keysDuringTheImage = keys.count;
                // The stop was asked for during this phase; it waits for it.
                endedDuringTheImage = dlg.HasEnded() || !dlg.isVisible();
            };
            b.answer = [&](const Bytes& data) {
                if (data != b.nv.commands.front().data)
                    return;
                if (byEscape)
                    postEscape(&dlg);
                else
                    dlg.close();
                // The rest of the phase lasts: the window keeps painting.
                b.stalling.stallNextPause(300);
            };
            dlg.show();
            QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 8000);
            QVERIFY(!dlg.isVisible());
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(dlg.Message(), std::string("Download process is stoped..."));
            QCOMPARE(dlg.Result().code, kNvJobStopped);
            QVERIFY(!endedDuringTheImage);
            // The key waited for the phase's end rather than reaching the
            // window in the middle of it.
            QCOMPARE(keysDuringTheImage, 0);
            QCOMPARE(keys.count, byEscape ? 1 : 0);
            QVERIFY2(paintsAfter - paintsBefore >= 3,
                     qPrintable(QStringLiteral("%1 paints in 300 ms").arg(paintsAfter - paintsBefore)));
            QCOMPARE(b.printer.writes, (std::vector<Bytes>{b.nv.commands.front().data}));
            QCOMPARE(dlg.Job().imagesSent(), std::size_t(1));
            QVERIFY(b.util.port.IsOpen());
        }
    }

    void indexedDownloadStoppedInsideTheSetSendsEveryBlock()
    {
        Bench b;
        b.ready(kIndexedVersion);
        b.commandsFor({"a.bmp", "b.bmp", "c.bmp"}, 80);
        CNvProDlg dlg(b.nv, kNvJobDownload, b.store, nullptr, b.clock);
        StatusRecorder statuses(named<QGroupBox>(&dlg, "statusBox"));
        b.answer = [&](const Bytes& data) {
            if (data == b.nv.commands.front().data)
                postEscape(&dlg);
        };
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 8000);
        QVERIFY(dlg.Job().stopDeferred());
        // Header and all three blocks: the printer is not left inside the set.
        QCOMPARE(b.printer.writes.size(), std::size_t(4));
        QCOMPARE(b.printer.writes.back(), b.nv.commands.back().data);
        QCOMPARE(dlg.Job().imagesSent(), std::size_t(3));
        QVERIFY2(statuses.saw("Finishing the NV image set; stop deferred..."),
                 qPrintable(statuses.titles.join(QStringLiteral(" | "))));
        QVERIFY(!statuses.saw("c.bmp Downloading..."));
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Result().end, platform::JobEnd::Ok);
        QCOMPARE(named<QProgressBar>(&dlg, "progressBar")->value(), 100);
    }

    void closedBeforeAnythingWasSentEndsWithThePresetMessage()
    {
        {
            // Closed before it was ever shown.
            Bench b;
            b.ready();
            CNvProDlg dlg(b.nv, kNvJobPrintAll, b.store, nullptr, b.clock);
            dlg.reject();
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(dlg.Result().end, platform::JobEnd::Cancel);
            QCOMPARE(dlg.Message(), std::string("Download process is stoped..."));
        }
        {
            // Escape the moment it is up, before the job's start has run.
            Bench b;
            b.ready();
            b.nv.addresses = {"A1"};
            CNvProDlg dlg(b.nv, kNvJobPrintAll, b.store, nullptr, b.clock);
            dlg.show();
            QTest::keyClick(&dlg, Qt::Key_Escape);
            QVERIFY(dlg.isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 2000);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(dlg.Message(), std::string("Download process is stoped..."));
            QVERIFY(b.printer.writes.empty());
        }
        {
            // Closed while the first phase is due.
            Bench b;
            b.ready();
            b.nv.addresses = {"A1"};
            CNvProDlg dlg(b.nv, kNvJobPrintAll, b.store, nullptr, b.clock);
            dlg.show();
            QTRY_VERIFY_WITH_TIMEOUT(dlg.IsRunning(), 2000);
            dlg.close();
            QVERIFY(dlg.isVisible());
            QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 2000);
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(dlg.Message(), std::string("Download process is stoped..."));
            QVERIFY(b.printer.writes.empty());
        }
    }

    // ---- address dialog ----

    void addressDialogStartsAt00AndTakesTwoCharacters()
    {
        RecordingPrompter prompter;
        CNvAddrDlg dlg({}, prompter);
        QCOMPARE(dlg.windowTitle(), kCaption);
        auto* edit = named<QLineEdit>(&dlg, "addressEdit");
        QVERIFY(edit);
        QCOMPARE(FindControl(&dlg, nv_id::kAddressEdit), edit);
        QCOMPARE(FindControl(&dlg, nv_id::kAddressOk), named<QPushButton>(&dlg, "okButton"));
        QCOMPARE(FindControl(&dlg, nv_id::kAddressCancel), named<QPushButton>(&dlg, "cancelButton"));
        QCOMPARE(named<QPushButton>(&dlg, "okButton")->text(), QStringLiteral("OK"));
        QCOMPARE(named<QPushButton>(&dlg, "cancelButton")->text(), QStringLiteral("Cancel"));
        QVERIFY(platform::qt::DuplicateControlIds(&dlg).isEmpty());
        bool labelled = false;
        for (const QLabel* label : dlg.findChildren<QLabel*>())
            labelled = labelled || label->text() == QStringLiteral("Address Code : ");
        QVERIFY(labelled);
        QCOMPARE(edit->text(), QStringLiteral("00"));
        QCOMPARE(edit->maxLength(), 2);
        QCOMPARE(dlg.Address(), std::string("00"));

        dlg.show();
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("XYZ"));
        QCOMPARE(edit->text(), QStringLiteral("XY"));
        named<QPushButton>(&dlg, "okButton")->click();
        QVERIFY(prompter.messages.isEmpty());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Address(), std::string("XY"));
    }

    void existingAddressKeepsTheDialogOpen()
    {
        RecordingPrompter prompter;
        CNvAddrDlg dlg({"00", "A1"}, prompter);
        dlg.show();
        auto* edit = named<QLineEdit>(&dlg, "addressEdit");
        auto* ok = named<QPushButton>(&dlg, "okButton");
        ok->click();   // the preset "00" is taken
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(prompter.messages[0].kind, QStringLiteral("information"));
        QCOMPARE(prompter.messages[0].caption, kCaption);
        QCOMPARE(prompter.messages[0].text, QStringLiteral("Exists address!"));
        QVERIFY(dlg.isVisible());

        edit->setText(QStringLiteral("A1"));
        ok->click();
        QCOMPARE(prompter.messages.size(), 2);
        QCOMPARE(prompter.messages[1].text, QStringLiteral("Exists address!"));
        QVERIFY(dlg.isVisible());

        // The comparison is exact: "a1" is another key.
        edit->setText(QStringLiteral("a1"));
        ok->click();
        QCOMPARE(prompter.messages.size(), 2);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Address(), std::string("a1"));
    }

    void addressesThatAreNotTwoAsciiCharactersAreRefused()
    {
        RecordingPrompter prompter;
        CNvAddrDlg dlg({"A1"}, prompter);
        dlg.show();
        auto* edit = named<QLineEdit>(&dlg, "addressEdit");
        auto* ok = named<QPushButton>(&dlg, "okButton");
        const QString shape = QStringLiteral("The address must be two characters (0x20~0x7E)!");

        edit->setText(QStringLiteral("5"));
        ok->click();
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(prompter.messages[0].caption, kCaption);
        QCOMPARE(prompter.messages[0].text, shape);
        QVERIFY(dlg.isVisible());

        edit->clear();
        ok->click();
        QCOMPARE(prompter.messages.size(), 2);
        QCOMPARE(prompter.messages[1].text, shape);

        edit->clear();
        typeText(edit, QString::fromUtf8("\u00e91"));   // a Latin-1 byte, not ASCII
        QCOMPARE(edit->text().size(), 2);
        ok->click();
        QCOMPARE(prompter.messages.size(), 3);
        QCOMPARE(prompter.messages[2].text, shape);

        edit->clear();
        typeText(edit, QString::fromUtf8("\u20ac1"));   // no Latin-1 byte: would read "?1"
        ok->click();
        QCOMPARE(prompter.messages.size(), 4);
        QCOMPARE(prompter.messages[3].text, shape);

        edit->setText(QStringLiteral("\t1"));
        ok->click();
        QCOMPARE(prompter.messages.size(), 5);
        QVERIFY(dlg.isVisible());

        edit->setText(QStringLiteral(" ~"));   // both ends of the range
        ok->click();
        QCOMPARE(prompter.messages.size(), 5);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Address(), std::string(" ~"));
    }

    void askAddressReturnsTheKeyOrNothingOnCancel()
    {
        RecordingPrompter prompter;
        QTimer::singleShot(0, [] {
            auto* dlg = qobject_cast<CNvAddrDlg*>(QApplication::activeModalWidget());
            if (dlg == nullptr)
                return;
            named<QLineEdit>(dlg, "addressEdit")->setText(QStringLiteral("LOST"));
            named<QPushButton>(dlg, "cancelButton")->click();
        });
        QCOMPARE(CNvAddrDlg::AskAddress({"10"}, prompter, nullptr), std::optional<std::string>());

        QTimer::singleShot(0, [] {
            auto* dlg = qobject_cast<CNvAddrDlg*>(QApplication::activeModalWidget());
            if (dlg == nullptr)
                return;
            QLineEdit* edit = named<QLineEdit>(dlg, "addressEdit");
            edit->setText(QStringLiteral("10"));
            named<QPushButton>(dlg, "okButton")->click();   // taken: stays open
            edit->setText(QStringLiteral("K1"));
            named<QPushButton>(dlg, "okButton")->click();
        });
        QCOMPARE(CNvAddrDlg::AskAddress({"10"}, prompter, nullptr), std::optional<std::string>("K1"));
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(prompter.messages[0].text, QStringLiteral("Exists address!"));
    }

    // ---- pictures ----

    void screenshotsOfBothDialogs()
    {
        Bench b;
        b.ready();
        b.commandsFor({"logo.bmp"}, 200);
        CNvProDlg progress(b.nv, kNvJobDownload, b.store, nullptr, b.stalling);
        QImage during;
        b.stalling.before = [&] { during = progress.grab().toImage(); };
        b.answer = [&](const Bytes&) { b.stalling.stallNextPause(20); };
        progress.show();
        QTRY_VERIFY_WITH_TIMEOUT(progress.HasEnded(), 8000);
        QVERIFY(looksDrawn(during));

        RecordingPrompter prompter;
        CNvAddrDlg address({}, prompter);
        address.show();
        QVERIFY(QTest::qWaitForWindowExposed(&address));
        const QImage dialog = address.grab().toImage();
        QVERIFY(looksDrawn(dialog));

        const QString dir = qEnvironmentVariable("QUELLIX_SCREENSHOT_DIR");
        if (dir.isEmpty())
            return;
        QVERIFY(QDir().mkpath(dir));
        QVERIFY(during.save(dir + QStringLiteral("/corvane-nv-progress.png")));
        QVERIFY(dialog.save(dir + QStringLiteral("/corvane-nv-address.png")));
    }
};

QTEST_MAIN(NvDialogsGuiTest)
#include "nv_dialogs_gui_test.moc"
