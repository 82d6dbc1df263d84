// The memory switch progress window and the sentinel dialog, offscreen.
// The progress window runs real jobs against the scripted mobile printer on
// a manual clock; a pause can be made to last in real time to watch the
// window paint and hold its input meanwhile.
#include "tlvr_fixture.h"

#include "corvane/switches/CDlg_MsrAdvance.h"
#include "corvane/switches/CTlvrProDlg.h"
#include "corvane/switches/TlvrJob.h"
#include "platform/testing/stalling_clock.h"
#include "platform/qt/RecordingPrompter.h"
#include "platform/qt/WindowProbes.h"
#include "platform/wait_hook.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <functional>

using namespace corvane;
using namespace tlvr_test;
using platform::qt::testing::PaintCounter;
using platform::qt::testing::RecordingPrompter;

namespace {

using platform::testing::StallingClock;

// The printer, its port and the record, for one test.
struct Bench {
    platform::ManualClock clock{5000};
    platform::testing::FakePrinter printer{clock};
    platform::testing::FakeDevices devices{printer};
    CCommonUtil util{clock, devices};
    StallingClock stalling{clock};
    CCommonTlvr record{util, stalling};
    Script script;
    // Called after each write has been answered.
    std::function<void(const Bytes&)> onWrite;

    Bench()
    {
        printer.onWrite = [this](const Bytes& data) {
            if (const std::vector<Bytes>* chunks = script.find(data)) {
                std::uint64_t delay = 0;
                for (const Bytes& chunk : *chunks) {
                    printer.reply(chunk, delay);
                    delay += 20;
                }
            }
            if (onWrite)
                onWrite(data);
        };
        util.settings.portName = "COM2";
        util.ApplyPortSettings();
        scriptAnsweringPrinter(script, "KMP-Z600", "_V01.00");
    }

    bool wasSent(const Bytes& command) const
    {
        return std::find(printer.writes.begin(), printer.writes.end(), command) != printer.writes.end();
    }
};

const Bytes kModelQuery{0x1D, 0x49, 0x43};
const Bytes kVersionQuery{0x1D, 0x49, 0x41};

template <typename T>
T* named(QWidget* root, const char* name)
{
    T* found = root->findChild<T*>(QString::fromUtf8(name));
    if (found == nullptr)
        qWarning("no control named %s", name);
    return found;
}

QByteArray bytes(const std::string& s)
{
    return QByteArray(s.data(), static_cast<qsizetype>(s.size()));
}

// Types characters a key sequence of ASCII cannot name, as a keyboard
// layout would deliver them.
void typeText(QWidget* widget, const QString& text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Press, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

QString screenshotDir()
{
    return qEnvironmentVariable("QUELLIX_SCREENSHOT_DIR");
}

bool looksDrawn(const QImage& image)
{
    if (image.isNull() || image.width() < 150 || image.height() < 60)
        return false;
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 3)
        for (int x = 0; x < image.width(); x += 3)
            colours.insert(image.pixel(x, y));
    return colours.size() > 4;
}

const MsrCodes kRead{"%", ";", "+", "?", std::string("\x0A\x1F", 2), std::string("\xE9", 1)};

} // namespace

class TlvrDialogsGuiTest : public QObject {
    Q_OBJECT

private slots:
    // ---- progress window ----

    void getRunsToOkWithTheBarFull()
    {
        Bench b;
        CTlvrProDlg dlg(b.record, kTlvrModeGet);
        auto* bar = named<QProgressBar>(&dlg, "progressBar");
        auto* status = named<QLabel>(&dlg, "statusText");
        QVERIFY(bar && status && named<QPushButton>(&dlg, "cancelButton"));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Get Status"));
        QCOMPARE(status->text(), QStringLiteral("0 %"));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
        QCOMPARE(bar->value(), 0);

        QSignalSpy finished(&dlg, &CTlvrProDlg::jobFinished);
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 10000);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Telvara"));
        QCOMPARE(dlg.Result().end, platform::JobEnd::Ok);
        QCOMPARE(bar->value(), 100);
        QVERIFY2(status->text().endsWith(QStringLiteral(": 100 %")), qPrintable(status->text()));
        QCOMPARE(dlg.Mode(), int(kTlvrModeGet));
        // What the printer holds reached the record.
        QCOMPARE(b.record.Density, 4);
        QCOMPARE(b.record.Track2Start, std::string("START2"));
        QVERIFY(b.util.port.IsOpen());
    }

    void failingGetEndsRejectedWithTheStepsMessage()
    {
        Bench b;
        b.script.on(readSwitchGs(8), Bytes{});  // silence
        CTlvrProDlg dlg(b.record, kTlvrModeGet);
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 10000);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.Message(), std::string("Failed to read SW8 data!"));
        QCOMPARE(dlg.Result().end, platform::JobEnd::Cancel);
        QVERIFY(dlg.Result().code != 0);
        QVERIFY(!b.wasSent(readSerialGs(1)));
    }

    void noModeEndsAtOnce()
    {
        Bench b;
        CTlvrProDlg dlg(b.record, kTlvrModeNone);
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 2000);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.Message(), std::string());
        QVERIFY(b.printer.writes.empty());
        QCOMPARE(b.printer.opens, 0);
    }

    void cancelClickedInsideAPhaseIsHeldAndHonouredAfterIt()
    {
        Bench b;
        CTlvrProDlg dlg(b.record, kTlvrModeGet);
        auto* cancel = named<QPushButton>(&dlg, "cancelButton");
        QVERIFY(cancel);
        int clicks = 0;
        connect(cancel, &QPushButton::clicked, &dlg, [&clicks] { ++clicks; });
        int clicksSeenByVersionQuery = -1;
        b.onWrite = [&](const Bytes& data) {
            if (data == kModelQuery) {
                // Clicked while the identification runs; the pause after it
                // processes events, but must not deliver the click.
                platform::qt::testing::postClick(cancel);
                b.stalling.stallNextPause(150);
            }
            if (data == kVersionQuery)
                clicksSeenByVersionQuery = clicks;
        };
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 10000);
        QCOMPARE(clicksSeenByVersionQuery, 0);
        QCOMPARE(clicks, 1);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.Message(), std::string());
        QCOMPARE(dlg.Result().code, 0);
        // The identification phase ran to its end; the next phase never began.
        QVERIFY(b.wasSent(kVersionQuery));
        QVERIFY(!b.wasSent({0x1D, 0x49, 0x45}));
        QVERIFY(!b.wasSent(readSwitchGs(1)));
    }

    void cancelWhileWaitingForTheNextPhaseEndsAtOnce()
    {
        Bench b;
        CTlvrProDlg dlg(b.record, kTlvrModeGet);
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.IsRunning(), 2000);
        named<QPushButton>(&dlg, "cancelButton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 2000);
        QCOMPARE(dlg.result(), int(QDialog::Rejected));
        QCOMPARE(dlg.Message(), std::string());
        QVERIFY(b.printer.writes.empty());
    }

    void escapeAndClosingWhileRunningCancelTheJobInsteadOfLeavingIt()
    {
        for (const bool byEscape : {true, false}) {
            Bench b;
            CTlvrProDlg dlg(b.record, kTlvrModeGet);
            dlg.show();
            QTRY_VERIFY_WITH_TIMEOUT(dlg.IsRunning(), 2000);
            if (byEscape)
                QTest::keyClick(&dlg, Qt::Key_Escape);
            else
                dlg.close();
            // Still up, the job still owns it: it ends the window itself.
            QVERIFY(dlg.isVisible());
            QVERIFY(!named<QPushButton>(&dlg, "cancelButton")->isEnabled());
            QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 2000);
            QVERIFY(!dlg.isVisible());
            QCOMPARE(dlg.result(), int(QDialog::Rejected));
            QCOMPARE(dlg.Message(), std::string());
            QVERIFY(b.printer.writes.empty());
        }
    }

    void windowPaintsThroughALongPause()
    {
        Bench b;
        CTlvrProDlg dlg(b.record, kTlvrModeGet);
        PaintCounter paints(&dlg);
        QTimer repaint;
        connect(&repaint, &QTimer::timeout, &dlg, [&dlg] { dlg.update(); });
        repaint.start(20);
        int paintsBefore = 0;
        int paintsAfter = -1;
        QString statusDuring;
        b.stalling.before = [&] {
            paintsBefore = paints.count;
            statusDuring = named<QLabel>(&dlg, "statusText")->text();
        };
        b.stalling.after = [&] { paintsAfter = paints.count; };
        b.onWrite = [&](const Bytes& data) {
            if (data == readSwitchGs(5))
                b.stalling.stallNextPause(600);
        };
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.HasEnded(), 15000);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY2(paintsAfter - paintsBefore >= 6,
                 qPrintable(QStringLiteral("%1 paints in 600 ms").arg(paintsAfter - paintsBefore)));
        QVERIFY2(statusDuring.startsWith(QStringLiteral("Get status : ")), qPrintable(statusDuring));
    }

    void runTlvrJobShowsTheWindowModallyAndReturnsTheEnd()
    {
        Bench b;
        TlvrJob job(b.record, kTlvrModeGet);
        QString title;
        QTimer::singleShot(50, [&title] {
            if (QWidget* modal = QApplication::activeModalWidget())
                title = modal->windowTitle();
        });
        const platform::JobResult r = CTlvrProDlg::RunTlvrJob(job, nullptr);
        QCOMPARE(r.end, platform::JobEnd::Ok);
        QCOMPARE(title, QStringLiteral("Telvara"));
        QCOMPARE(job.count(), 100);

        b.script.on(readSwitchGs(1), Bytes{});
        const platform::JobResult failed = CTlvrProDlg::RunTlvrJob(b.record, kTlvrModeGet, nullptr);
        QCOMPARE(failed.end, platform::JobEnd::Cancel);
        QCOMPARE(failed.message, std::string("Failed to read SW1 data!"));
    }

    // ---- sentinel dialog ----

    void sentinelDialogOpensAsTheOptionSays()
    {
        RecordingPrompter prompter;
        CDlg_MsrAdvance dynamic(kMsrOptionDynamic, kRead, prompter);
        QCOMPARE(dynamic.windowTitle(), QStringLiteral("Advanced MSR Settings"));
        QCOMPARE(named<QGroupBox>(&dynamic, "optionGroup")->title(), QStringLiteral("Sentinal Option"));
        QVERIFY(named<QRadioButton>(&dynamic, "dynamicRadio")->isChecked());
        QCOMPARE(named<QRadioButton>(&dynamic, "staticRadio")->text(), QStringLiteral("Static Sentinal"));
        QCOMPARE(named<QCheckBox>(&dynamic, "hexCheck")->text(), QStringLiteral("ASCII (ex: \"START(1)\")"));
        QVERIFY(!named<QCheckBox>(&dynamic, "hexCheck")->isChecked());
        const char* editNames[] = {"track1StartEdit", "track2StartEdit", "track3StartEdit",
                                   "track1EndEdit", "track2EndEdit", "track3EndEdit"};
        for (int slot = 0; slot < kMsrCodeSlots; ++slot) {
            QLineEdit* edit = named<QLineEdit>(&dynamic, editNames[slot]);
            QVERIFY(edit == dynamic.CodeEdit(slot));
            QVERIFY(edit->isEnabled());
            QCOMPARE(edit->maxLength(), 64);
            QCOMPARE(edit->text().toLatin1(), bytes(kRead[static_cast<std::size_t>(slot)]));
        }
        QCOMPARE(dynamic.CodeEdit(kTrack3EndSlot)->text(), QString(QChar(0xE9)));

        CDlg_MsrAdvance none(kMsrOptionNone, kRead, prompter);
        QVERIFY(named<QRadioButton>(&none, "noneRadio")->isChecked());
        QVERIFY(!none.CodeEdit(kTrack1StartSlot)->isEnabled());
        CDlg_MsrAdvance unset(kMsrOptionUnset, kRead, prompter);
        for (const char* name : {"noneRadio", "staticRadio", "dynamicRadio"})
            QVERIFY(!named<QRadioButton>(&unset, name)->isChecked());
        QVERIFY(!unset.CodeEdit(kTrack1StartSlot)->isEnabled());
    }

    void radiosEnableTheCodesOnlyForDynamic()
    {
        RecordingPrompter prompter;
        CDlg_MsrAdvance dlg(kMsrOptionNone, kRead, prompter);
        dlg.show();
        QTest::mouseClick(named<QRadioButton>(&dlg, "dynamicRadio"), Qt::LeftButton);
        QVERIFY(dlg.CodeEdit(kTrack2EndSlot)->isEnabled());
        QTest::mouseClick(named<QRadioButton>(&dlg, "staticRadio"), Qt::LeftButton);
        QVERIFY(!dlg.CodeEdit(kTrack2EndSlot)->isEnabled());
        named<QPushButton>(&dlg, "okButton")->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Option(), int(kMsrOptionStatic));
        QCOMPARE(dlg.Codes(), kRead);
    }

    void asciiEntryAndCodesLeftAsRead()
    {
        RecordingPrompter prompter;
        CDlg_MsrAdvance dlg(kMsrOptionDynamic, kRead, prompter);
        dlg.show();
        QLineEdit* start1 = dlg.CodeEdit(kTrack1StartSlot);
        start1->clear();
        QTest::keyClicks(start1, QStringLiteral("START1"));
        dlg.CodeEdit(kTrack1EndSlot)->clear();
        named<QPushButton>(&dlg, "okButton")->click();
        QVERIFY(prompter.messages.isEmpty());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        MsrCodes expected = kRead;
        expected[kTrack1StartSlot] = "START1";
        expected[kTrack1EndSlot] = "";
        // 0x0A 0x1F and 0xE9 came from the printer and go back byte for byte.
        QCOMPARE(dlg.Codes(), expected);
    }

    void refusalsKeepTheDialogOpen()
    {
        RecordingPrompter prompter;
        CDlg_MsrAdvance dlg(kMsrOptionDynamic, kRead, prompter);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* ok = named<QPushButton>(&dlg, "okButton");
        QLineEdit* start2 = dlg.CodeEdit(kTrack2StartSlot);

        start2->clear();
        QTest::keyClicks(start2, QStringLiteral("ABCDEFGHIJK"));
        ok->click();
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(prompter.messages[0].caption, QStringLiteral("Telvara"));
        QCOMPARE(prompter.messages[0].text,
                 QStringLiteral("Invalid value!\r\nSentinel length is over 10 ( length range : 1~10 )"));
        QVERIFY(dlg.isVisible());

        start2->clear();
        typeText(start2, QString::fromUtf8("caf\u00e9"));
        ok->click();
        QCOMPARE(prompter.messages.size(), 2);
        QCOMPARE(prompter.messages[1].text, QStringLiteral("Invalid value!\r\nSentinel is invalid value (0x20~0x7F)"));

        start2->clear();
        typeText(start2, QString::fromUtf8("\u20ac"));   // no byte carries it
        ok->click();
        QCOMPARE(prompter.messages.size(), 3);
        QCOMPARE(prompter.messages[2].text, QStringLiteral("Invalid value!\r\nSentinel is invalid value (0x20~0x7F)"));
        QVERIFY(dlg.isVisible());

        start2->clear();
        QTest::keyClicks(start2, QStringLiteral(";"));
        ok->click();
        QCOMPARE(prompter.messages.size(), 3);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Codes(), kRead);
    }

    void hexEntryAfterTheModeSwitchClearedEveryCode()
    {
        RecordingPrompter prompter;
        CDlg_MsrAdvance dlg(kMsrOptionDynamic, kRead, prompter);
        dlg.show();
        auto* hex = named<QCheckBox>(&dlg, "hexCheck");
        hex->click();
        QVERIFY(hex->isChecked());
        QCOMPARE(hex->text(), QStringLiteral("HEXA (ex: \\\"0A 1F 10 4C\\\")"));
        for (int slot = 0; slot < kMsrCodeSlots; ++slot)
            QVERIFY(dlg.CodeEdit(slot)->text().isEmpty());

        auto* ok = named<QPushButton>(&dlg, "okButton");
        QTest::keyClicks(dlg.CodeEdit(kTrack1StartSlot), QStringLiteral("0A 1F 10 4C"));
        QTest::keyClicks(dlg.CodeEdit(kTrack2StartSlot), QStringLiteral("3b"));
        QTest::keyClicks(dlg.CodeEdit(kTrack3StartSlot), QStringLiteral("0G"));
        QTest::keyClicks(dlg.CodeEdit(kTrack1EndSlot), QStringLiteral("0A 1"));
        ok->click();
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(prompter.messages[0].text, QStringLiteral("Invalid value!\r\nInvalid HEXA Format!!"));
        QVERIFY(dlg.isVisible());
        QCOMPARE(dlg.CodeEdit(kTrack1StartSlot)->text(), QStringLiteral("0A 1F 10 4C"));

        dlg.CodeEdit(kTrack3StartSlot)->clear();
        QTest::keyClicks(dlg.CodeEdit(kTrack3StartSlot), QStringLiteral("2B"));
        ok->click();
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const MsrCodes expected{std::string("\x0A\x1F\x10\x4C"), ";", "+", "", "", ""};
        QCOMPARE(dlg.Codes(), expected);

        // Back to characters: relabelled, cleared again.
        CDlg_MsrAdvance again(kMsrOptionDynamic, kRead, prompter);
        auto* hex2 = named<QCheckBox>(&again, "hexCheck");
        hex2->click();
        hex2->click();
        QVERIFY(!hex2->isChecked());
        QCOMPARE(hex2->text(), QStringLiteral("ASCII (ex: \\\"START(1)\\\")"));
        QVERIFY(again.CodeEdit(kTrack1StartSlot)->text().isEmpty());
    }

    void editSentinelsWritesBackOnlyOnOk()
    {
        RecordingPrompter prompter;
        int option = kMsrOptionDynamic;
        MsrCodes codes = kRead;
        QTimer::singleShot(0, [] {
            auto* dlg = qobject_cast<CDlg_MsrAdvance*>(QApplication::activeModalWidget());
            if (dlg == nullptr)
                return;
            dlg->CodeEdit(kTrack1StartSlot)->setText(QStringLiteral("NEW"));
            named<QRadioButton>(dlg, "noneRadio")->click();
            named<QPushButton>(dlg, "okButton")->click();
        });
        QVERIFY(CDlg_MsrAdvance::EditSentinels(option, codes, prompter));
        QCOMPARE(option, int(kMsrOptionNone));
        QCOMPARE(codes[kTrack1StartSlot], std::string("NEW"));
        QCOMPARE(codes[kTrack3EndSlot], std::string("\xE9"));

        std::string plain[kMsrCodeSlots] = {"%", ";", "+", "?", "?", "?"};
        QTimer::singleShot(0, [] {
            auto* dlg = qobject_cast<CDlg_MsrAdvance*>(QApplication::activeModalWidget());
            if (dlg == nullptr)
                return;
            dlg->CodeEdit(kTrack1StartSlot)->setText(QStringLiteral("LOST"));
            named<QPushButton>(dlg, "cancelButton")->click();
        });
        QVERIFY(!CDlg_MsrAdvance::EditSentinels(option, plain, prompter));
        QCOMPARE(plain[0], std::string("%"));
        QCOMPARE(option, int(kMsrOptionNone));
    }

    // ---- pictures ----

    void screenshotsOfBothDialogs()
    {
        Bench b;
        CTlvrProDlg progress(b.record, kTlvrModeGet);
        QImage during;
        b.stalling.before = [&] { during = progress.grab().toImage(); };
        b.onWrite = [&](const Bytes& data) {
            if (data == readSwitchGs(6))
                b.stalling.stallNextPause(20);
        };
        progress.show();
        QTRY_VERIFY_WITH_TIMEOUT(progress.HasEnded(), 10000);
        QVERIFY(looksDrawn(during));

        RecordingPrompter prompter;
        CDlg_MsrAdvance sentinels(kMsrOptionDynamic, {"%", ";", "+", "?", "?", "?"}, prompter);
        sentinels.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sentinels));
        const QImage dialog = sentinels.grab().toImage();
        QVERIFY(looksDrawn(dialog));

        const QString dir = screenshotDir();
        if (dir.isEmpty())
            return;
        QVERIFY(QDir().mkpath(dir));
        const QString progressPath = dir + QStringLiteral("/corvane-tlvr-progress.png");
        const QString sentinelPath = dir + QStringLiteral("/corvane-msr-advance.png");
        QVERIFY(during.save(progressPath));
        QVERIFY(dialog.save(sentinelPath));
        QVERIFY(looksDrawn(QImage(progressPath)));
        QVERIFY(looksDrawn(QImage(sentinelPath)));
    }
};

QTEST_MAIN(TlvrDialogsGuiTest)
#include "tlvr_dialogs_gui_test.moc"
