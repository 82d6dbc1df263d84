#include "pavix/gui/DatagramRunner.h"

#include "platform/net_interfaces.h"

#include <QSocketNotifier>

#include <array>

namespace pavix::gui {

DatagramRunner::DatagramRunner(QObject* parent) : QObject(parent)
{
    connect(&driver_, &platform::qt::QtJobDriver::finished, this, &DatagramRunner::driverFinished);
}

DatagramRunner::~DatagramRunner()
{
    notifier_.reset();
    channel_.close();
}

bool DatagramRunner::open(const search::UdpSettings& settings)
{
    notifier_.reset();
    std::vector<platform::NetInterface> interfaces;
    if (!settings.broadcast.target)
        interfaces = platform::listNetInterfaces();
    if (!channel_.open(settings, std::move(interfaces)))
        return false;
    notifier_ = std::make_unique<QSocketNotifier>(channel_.socket().fd(), QSocketNotifier::Read);
    notifier_->setEnabled(false);
    connect(notifier_.get(), &QSocketNotifier::activated, this, &DatagramRunner::readReady);
    return true;
}

void DatagramRunner::start(search::DatagramJob& job)
{
    job_ = &job;
    received_ = 0;
    if (notifier_)
        notifier_->setEnabled(true);
    driver_.start(job);
}

void DatagramRunner::readReady()
{
    if (job_ == nullptr || !driver_.isRunning())
        return;
    std::array<std::uint8_t, search::kMaxDatagram> buffer{};
    // Everything that is queued now, one datagram at a time; the bound keeps
    // a flood from holding the window.
    for (int i = 0; i < 256; ++i) {
        const platform::UdpReceived got =
            channel_.socket().receive(buffer.data(), static_cast<int>(buffer.size()), 0);
        if (got.io.end == platform::IoEnd::Timeout)
            return;
        if (!got.io.complete()) {
            driver_.requestCancel();
            return;
        }
        ++received_;
        const auto length = static_cast<std::size_t>(got.io.bytes);
        if (!job_->offer(search::ByteView(buffer.data(), length), got.truncated)) {
            driver_.requestCancel();
            return;
        }
    }
}

void DatagramRunner::driverFinished(const platform::JobResult& result)
{
    if (notifier_)
        notifier_->setEnabled(false);
    search::DatagramJob* job = job_;
    job_ = nullptr;
    emit finished(job != nullptr && job->ended() ? job->endResult() : result);
}

} // namespace pavix::gui
