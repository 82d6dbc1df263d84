// The Qt front-end library, offscreen: the job driver's order of phases and
// Cancel, the painting wait hook, held user input, control ids and the IPv4
// address edit.
#include "platform/clock.h"
#include "platform/job.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/Ipv4AddressEdit.h"
#include "platform/qt/JobProgressView.h"
#include "platform/qt/PaintingWaitHook.h"
#include "platform/qt/QtJobDriver.h"
#include "platform/qt/UserInputHold.h"
#include "platform/qt/WindowProbes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

#include <functional>
#include <string>
#include <vector>

using namespace platform;
using namespace platform::qt;

namespace {

// A job given as a table of phases: each id yields the next step or an end.
class TableJob final : public Job {
public:
    explicit TableJob(std::function<JobNext(int)> phase, JobNext first = JobNext::step(1, 0))
        : phase_(std::move(phase)), first_(std::move(first)) {}
    JobNext start() override { return first_; }
    JobNext fire(int id) override
    {
        fired.push_back(id);
        firedAtMs.push_back(clock.elapsed());
        return phase_(id);
    }
    JobResult cancelled() override
    {
        ++cancels;
        return JobResult{JobEnd::Cancel, "cancelled", 9};
    }
    std::vector<int> fired;
    std::vector<qint64> firedAtMs;
    int cancels = 0;
    QElapsedTimer clock;

private:
    std::function<JobNext(int)> phase_;
    JobNext first_;
};

using platform::qt::testing::PaintCounter;

using platform::qt::testing::postClick;

} // namespace

class PlatformQtTest : public QObject {
    Q_OBJECT

private slots:
    void driverFiresThePhasesInOrderAfterTheirDelays()
    {
        int repeats = 0;
        TableJob job([&](int id) {
            switch (id) {
            case 1:
                return JobNext::step(1000, 30);
            case 1000:
                return ++repeats < 3 ? JobNext::step(1000, 0) : JobNext::step(9999, 60);
            default:
                return JobNext::ok("fine", 4);
            }
        });
        job.clock.start();
        QtJobDriver driver;
        QSignalSpy finished(&driver, &QtJobDriver::finished);
        QVERIFY(driver.start(job));
        QVERIFY(driver.isRunning());
        // Nothing fires inside start(): the first phase comes from the loop.
        QVERIFY(job.fired.empty());
        QVERIFY(!driver.start(job));

        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        QCOMPARE(job.fired, (std::vector<int>{1, 1000, 1000, 1000, 9999}));
        QVERIFY(job.firedAtMs[1] - job.firedAtMs[0] >= 29);
        QVERIFY(job.firedAtMs[4] - job.firedAtMs[3] >= 59);
        const auto result = finished.at(0).at(0).value<JobResult>();
        QCOMPARE(int(result.end), int(JobEnd::Ok));
        QCOMPARE(result.message, std::string("fine"));
        QCOMPARE(result.code, 4);
        QVERIFY(!driver.isRunning());
        QVERIFY(driver.lastResult().has_value());
    }

    void endAtStartIsReportedAtOnce()
    {
        TableJob job([](int) { return JobNext::ok(); }, JobNext::cancel("no file", 2));
        QtJobDriver driver;
        QSignalSpy finished(&driver, &QtJobDriver::finished);
        QVERIFY(driver.start(job));
        QCOMPARE(finished.count(), 1);
        QVERIFY(job.fired.empty());
        QCOMPARE(driver.lastResult()->message, std::string("no file"));
    }

    void cancelWhileWaitingEndsWithoutTheDelay()
    {
        TableJob job([](int id) { return JobNext::step(id + 1, 60000); });
        job.clock.start();
        QtJobDriver driver;
        QSignalSpy finished(&driver, &QtJobDriver::finished);
        driver.start(job);
        QTRY_COMPARE_WITH_TIMEOUT(job.fired.size(), std::size_t(1), 5000);
        QElapsedTimer waited;
        waited.start();
        driver.requestCancel();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 5000);
        QVERIFY(waited.elapsed() < 5000);
        QCOMPARE(job.fired.size(), std::size_t(1));
        QCOMPARE(job.cancels, 1);
        QCOMPARE(driver.lastResult()->message, std::string("cancelled"));
    }

    void cancelDuringAPhaseLetsThePhaseEnd()
    {
        QtJobDriver driver;
        bool phaseCompleted = false;
        TableJob job([&](int id) {
            if (id == 2) {
                driver.requestCancel();
                phaseCompleted = true;
            }
            return JobNext::step(id + 1, 0);
        });
        const JobResult result = driver.run(job, nullptr);
        QVERIFY(phaseCompleted);
        QCOMPARE(job.fired, (std::vector<int>{1, 2}));
        QCOMPARE(job.cancels, 1);
        QCOMPARE(int(result.end), int(JobEnd::Cancel));
        QCOMPARE(result.code, 9);
    }

    void phasesWaitWithTheWindowsPainting()
    {
        QWidget window;
        auto* label = new QLabel(QStringLiteral("busy"), &window);
        window.resize(200, 80);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        PaintCounter paints(label);
        // Something repaints the window now and then, as a progress bar or
        // the window system would.
        QTimer repaint;
        connect(&repaint, &QTimer::timeout, label, [label] { label->update(); });
        repaint.start(20);

        int paintsDuringPause = -1;
        TableJob job([&](int) {
            const int before = paints.count;
            platform::SteadyClock clock;
            clock.pauseMs(600);
            paintsDuringPause = paints.count - before;
            return JobNext::ok();
        });
        QtJobDriver driver;
        driver.run(job, &window);
        QVERIFY2(paintsDuringPause >= 4, qPrintable(QString::number(paintsDuringPause)));
        // Outside a phase a pause blocks as before: no hook is left behind.
        QVERIFY(!platform::hasWaitHook());
    }

    void userInputWaitsUntilTheJobHasEnded()
    {
        QWidget window;
        auto* button = new QPushButton(QStringLiteral("Exit"), &window);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(button);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        int clicks = 0;
        connect(button, &QPushButton::clicked, [&] { ++clicks; });

        std::vector<int> clicksSeen;
        TableJob job([&](int id) {
            if (id == 1)
                postClick(button);
            // A pause inside a phase processes events, but not the click.
            platform::SteadyClock().pauseMs(120);
            clicksSeen.push_back(clicks);
            return id < 3 ? JobNext::step(id + 1, 10) : JobNext::ok();
        });
        QtJobDriver driver;
        driver.run(job, &window);
        QCOMPARE(clicksSeen, (std::vector<int>{0, 0, 0}));
        // Held, not lost: delivered once the job is over.
        QTRY_COMPARE_WITH_TIMEOUT(clicks, 1, 2000);
    }

    void inputToOtherWindowsPassesTheHold()
    {
        QWidget busy;
        QWidget other;
        auto* button = new QPushButton(QStringLiteral("OK"), &other);
        button->resize(80, 30);
        other.show();
        int clicks = 0;
        connect(button, &QPushButton::clicked, [&] { ++clicks; });
        {
            UserInputHold hold(&busy);
            QTest::mouseClick(button, Qt::LeftButton);
            QCOMPARE(clicks, 1);
            QCOMPARE(hold.heldCount(), std::size_t(0));
        }
    }

    void paintingHookDoesNotReenter()
    {
        int depth = 0;
        int maxDepth = 0;
        QTimer nested;
        connect(&nested, &QTimer::timeout, [&] {
            ++depth;
            maxDepth = std::max(maxDepth, depth);
            PaintPendingWindows();   // would recurse without the guard
            --depth;
        });
        nested.start(0);
        {
            ScopedPaintingWaitHook hook;
            QVERIFY(platform::hasWaitHook());
            platform::SteadyClock().pauseMs(200);
        }
        QVERIFY(!platform::hasWaitHook());
        QVERIFY(maxDepth >= 1);
        QCOMPARE(maxDepth, 1);
    }

    void progressViewShowsRangeValueAndStatus()
    {
        QProgressBar bar;
        bar.setRange(0, 100);
        QString status;
        JobProgressView view(&bar, [&](const QString& text) { status = text; });
        class Stepper final : public Job {
        public:
            JobNext start() override
            {
                setStatus("Progressing...");
                setProgressRange(0, 200);
                setProgress(150);
                return JobNext::step(1, 0);
            }
            JobNext fire(int) override
            {
                setProgress(204);   // past the maximum
                return JobNext::ok();
            }
        } stepper;
        stepper.setObserver(&view);
        QtJobDriver driver;
        QVERIFY(driver.start(stepper));
        QCOMPARE(status, QStringLiteral("Progressing..."));
        QCOMPARE(bar.maximum(), 200);
        QCOMPARE(bar.value(), 150);
        QTRY_VERIFY_WITH_TIMEOUT(!driver.isRunning(), 2000);
        QCOMPARE(bar.value(), 200);
    }

    void controlIdsAreFoundPerWindow()
    {
        QWidget window;
        auto* a = new QLabel(&window);
        auto* b = new QPushButton(&window);
        SetControlId(a, 1003);
        SetControlId(b, 1);
        QWidget dialogOnTop(&window, Qt::Dialog);
        auto* onTop = new QLabel(&dialogOnTop);
        SetControlId(onTop, 1003);

        QCOMPARE(FindControl(&window, 1003), static_cast<QWidget*>(a));
        QCOMPARE(FindControl(&window, 1), static_cast<QWidget*>(b));
        QCOMPARE(FindControl(&dialogOnTop, 1003), static_cast<QWidget*>(onTop));
        QCOMPARE(FindControl(&window, 0), nullptr);
        QCOMPARE(FindControl(&window, 77), nullptr);
        QCOMPARE(ControlId(&window), 0);
        QVERIFY(DuplicateControlIds(&window).isEmpty());

        SetControlId(new QLabel(&window), 1003);
        QCOMPARE(DuplicateControlIds(&window), (QList<int>{1003}));
        static_assert(ControlIdsDistinct({1, 1003, 1005}));
        static_assert(!ControlIdsDistinct({1003, 1005, 1003}));
    }

    void ipv4EditHasABlankStateApartFromZero()
    {
        Ipv4AddressEdit edit;
        QVERIFY(edit.isBlank());
        QCOMPARE(edit.address(), QString());
        QVERIFY(!edit.octets().has_value());

        QVERIFY(edit.setAddress(QStringLiteral("0.0.0.0")));
        QVERIFY(!edit.isBlank());
        QCOMPARE(edit.address(), QStringLiteral("0.0.0.0"));
        QCOMPARE(edit.filledFields(), 4);

        QVERIFY(edit.setAddress(QStringLiteral(" 192.168.001.50 ")));
        QCOMPARE(edit.address(), QStringLiteral("192.168.1.50"));
        QCOMPARE(*edit.octets(), (std::array<std::uint8_t, 4>{192, 168, 1, 50}));

        QVERIFY(!edit.setAddress(QStringLiteral("300.1.1.1")));
        QVERIFY(edit.isBlank());
        QVERIFY(edit.setAddress(QString()));
        QVERIFY(edit.isBlank());

        edit.setOctets({10, 0, 0, 255});
        QCOMPARE(edit.text(), QStringLiteral("10.0.0.255"));
        edit.setBlank();
        QVERIFY(edit.isBlank());
    }

    void ipv4EditReadsPartialEntryAsTheSystemControlDoes()
    {
        Ipv4AddressEdit edit;
        edit.show();
        QTest::keyClicks(&edit, QStringLiteral("10.1"));
        QCOMPARE(edit.filledFields(), 2);
        QCOMPARE(edit.address(), QStringLiteral("10.1.0.0"));
        // Typing cannot make a field larger than 255 or add a fifth field.
        edit.clear();
        QTest::keyClicks(&edit, QStringLiteral("256"));
        QCOMPARE(edit.text(), QStringLiteral("25"));
        edit.clear();
        QTest::keyClicks(&edit, QStringLiteral("1.2.3.4.5"));
        QCOMPARE(edit.text(), QStringLiteral("1.2.3.45"));
    }

    void ipv4NormalizeTable()
    {
        const QList<QPair<QString, QString>> table{
            {"1.2.3.4", "1.2.3.4"},      {"1.2", "1.2.0.0"},        {"1..3", "1.0.3.0"},
            {"255.255.255.255", "255.255.255.255"},                  {"", ""},
            {"...", ""},                 {"1.2.3.4.5", ""},         {"1.2.3.256", ""},
            {"1.2.3.0004", ""},          {"1.-2.3.4", ""},          {"a.b.c.d", ""},
            {"+1.2.3.4", ""},
        };
        for (const auto& [in, out] : table)
            QVERIFY2(Ipv4AddressEdit::normalize(in) == out, qPrintable(in));
    }
};

QTEST_MAIN(PlatformQtTest)
#include "platform_qt_test.moc"
