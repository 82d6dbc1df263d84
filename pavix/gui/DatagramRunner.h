// Runs a search or store job in a window: the job's timer steps on the Qt
// job driver, and every datagram the channel's socket receives handed to
// the job from a socket notifier, so answers arrive as window events while
// the window's own loop runs.
//
// A job that ends on a datagram (an answer to a store, a short WLAN datagram
// in a search) ends the run at once instead of at its next timer step. The
// result reported is the job's own end where it has one.
#pragma once

#include "pavix/search/SearchJob.h"
#include "pavix/search/UdpChannel.h"
#include "platform/qt/QtJobDriver.h"

#include <QObject>

#include <memory>

class QSocketNotifier;

namespace pavix::gui {

class DatagramRunner final : public QObject {
    Q_OBJECT
public:
    explicit DatagramRunner(QObject* parent = nullptr);
    ~DatagramRunner() override;

    // Binds the channel; false with the reason in error().
    bool open(const search::UdpSettings& settings);
    const std::string& error() const { return channel_.error(); }
    search::Sender sender() { return channel_.sender(); }

    // Starts `job` (it must outlive the run); finished() follows.
    void start(search::DatagramJob& job);
    void cancel() { driver_.requestCancel(); }
    bool isRunning() const { return driver_.isRunning(); }
    // Datagrams handed to the job so far in this run.
    int received() const { return received_; }

signals:
    void finished(const platform::JobResult& result);

private:
    void readReady();
    void driverFinished(const platform::JobResult& result);

    search::UdpChannel channel_;
    std::unique_ptr<QSocketNotifier> notifier_;
    platform::qt::QtJobDriver driver_;
    search::DatagramJob* job_ = nullptr;
    int received_ = 0;
};

} // namespace pavix::gui
