// The firmware window over a serial line whose printer stops taking data: the
// transfer must fail after the port's stall bound while the window goes on
// painting. The printer is a pseudo-terminal peer that never reads.
//
// The test bounds its own run: if the port does not give up, a watchdog
// hangs the peer up after kWatchdogMs, which ends the write, and the test
// fails instead of hanging.
#include "corvane/firmware/CFirmwarednDlg.h"
#include "corvane/firmware/FirmwareIds.h"
#include "platform/qt/ControlIds.h"
#include "platform/qt/RecordingPrompter.h"
#include "platform/testing/pty_peer.h"
#include "platform/qt/WindowProbes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace corvane;

namespace {

constexpr int kStallBoundMs = 1000;
constexpr int kWatchdogMs = 10000;

using platform::qt::testing::PaintCounter;

// Hangs the peer up if the test is still running after `limitMs`.
class Watchdog {
public:
    Watchdog(platform::testing::PtyPeer& peer, int limitMs)
        : thread_([this, &peer, limitMs] {
              std::unique_lock lock(mutex_);
              if (!done_.wait_for(lock, std::chrono::milliseconds(limitMs), [this] { return finished_; })) {
                  fired_ = true;
                  peer.hangUp();
              }
          })
    {
    }
    ~Watchdog() { stop(); }
    void stop()
    {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        done_.notify_all();
        if (thread_.joinable())
            thread_.join();
    }
    bool fired()
    {
        std::lock_guard lock(mutex_);
        return fired_;
    }

private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    bool fired_ = false;
    std::thread thread_;
};

} // namespace

class CorvaneStallTest : public QObject {
    Q_OBJECT

private slots:
    void stalledSerialTransferFailsAfterTheBoundWhileTheWindowPaints()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("fw.fls"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            // Far more than a pseudo-terminal buffers: the line stalls early.
            QVERIFY(file.write(QByteArray(512 * 1024, 'F')) == 512 * 1024);
        }
        platform::testing::PtyPeer peer(false);
        QVERIFY(!peer.slavePath().empty());

        platform::qt::testing::RecordingPrompter prompter;
        CFirmwarednDlg fw(PortSettings{peer.slavePath(), 115200, 0, 8, 0, 0}, prompter);
        fw.Port().stallTimeoutMs = kStallBoundMs;
        fw.show();
        QVERIFY(QTest::qWaitForWindowExposed(&fw));
        PaintCounter paints(&fw);
        QTimer repaint;
        connect(&repaint, &QTimer::timeout, &fw, [&fw] { fw.update(); });
        repaint.start(20);

        prompter.fileAnswers << path;
        QElapsedTimer elapsed;
        elapsed.start();
        Watchdog watchdog(peer, kWatchdogMs);
        const int paintsBefore = paints.count;
        qobject_cast<QPushButton*>(platform::qt::FindControl(&fw, firmware_id::kStartDownload))->click();
        const qint64 tookMs = elapsed.elapsed();
        const int paintsDuring = paints.count - paintsBefore;
        watchdog.stop();

        QVERIFY2(!watchdog.fired(), "the stalled write did not give up within the watchdog's 10 s");
        QVERIFY2(tookMs >= kStallBoundMs, qPrintable(QString::number(tookMs)));
        QCOMPARE(prompter.messages.size(), 1);
        QCOMPARE(prompter.messages[0].text, QStringLiteral("Error : Send Failed!"));
        QVERIFY(!fw.Port().IsOpen());
        // About one paint per 20 ms of the stall; at least a few must come.
        QVERIFY2(paintsDuring >= kStallBoundMs / 100, qPrintable(QString::number(paintsDuring)));
    }
};

QTEST_MAIN(CorvaneStallTest)
#include "corvane_stall_test.moc"
