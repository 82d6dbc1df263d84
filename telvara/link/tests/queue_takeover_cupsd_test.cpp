// The takeover against a private scheduler: real queues, real state
// messages, a real printing job, symlinks resolved by the file system.
#include "telvara/link/DeviceUriPreset.h"
#include "telvara/link/QueueTakeover.h"
#include "platform/spooler/testing/PrivateCupsd.h"

#include <gtest/gtest.h>

#include <optional>

#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

namespace telvara::link {
namespace {

using platform::spooler::QueueInfo;
using platform::spooler::QueueState;
using platform::spooler::testing::PrivateCupsd;

// A pseudo-terminal slave: a device node that exists, for realpath.
class PtyNode {
public:
    PtyNode()
    {
        char name[128] = {};
        if (::openpty(&master_, &slave_, name, nullptr, nullptr) == 0)
            path_ = name;
    }
    ~PtyNode()
    {
        if (master_ >= 0)
            ::close(master_);
        if (slave_ >= 0)
            ::close(slave_);
    }
    const std::string& path() const { return path_; }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

class TakeoverWithCupsd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!PrivateCupsd::available())
            return;
        cupsd_ = new PrivateCupsd;
        std::string error;
        if (!cupsd_->start(error))
            startError_ = new std::string(error);
    }
    static void TearDownTestSuite()
    {
        delete cupsd_;
        cupsd_ = nullptr;
        delete startError_;
        startError_ = nullptr;
    }
    void SetUp() override
    {
        if (cupsd_ == nullptr)
            GTEST_SKIP() << PrivateCupsd::kDaemon << " is not installed";
        ASSERT_EQ(startError_, nullptr) << *startError_;
        spooler_ = platform::spooler::makeCupsSpooler(cupsd_->options());
    }

    void addQueue(const std::string& name, const std::string& uri)
    {
        std::string error;
        ASSERT_TRUE(cupsd_->addQueue(name, uri, error)) << error;
    }
    std::optional<QueueInfo> queue(const std::string& name)
    {
        std::vector<QueueInfo> queues;
        EXPECT_TRUE(spooler_->listQueues(queues).ok());
        for (const QueueInfo& info : queues) {
            if (info.name == name)
                return info;
        }
        return std::nullopt;
    }
    QueueState state(const std::string& name)
    {
        const auto info = queue(name);
        EXPECT_TRUE(info) << name;
        return info ? info->state : QueueState::Idle;
    }

    static PrivateCupsd* cupsd_;
    static std::string* startError_;
    std::unique_ptr<platform::spooler::Spooler> spooler_;
};

PrivateCupsd* TakeoverWithCupsd::cupsd_ = nullptr;
std::string* TakeoverWithCupsd::startError_ = nullptr;

TEST_F(TakeoverWithCupsd, PausesTheMatchingIdleQueueAndRestoresIt)
{
    addQueue("Com1", "serial:/dev/ttyS0?baud=19200+bits=8+parity=none+flow=soft+stop=1");
    addQueue("Com10", "serial:/dev/ttyS9");
    const ProcessIdentity self = currentProcess();
    QueueTakeover takeover(*spooler_, self);

    const TakeoverResult result = takeover.takeOver("/dev/ttyS0");
    ASSERT_EQ(result.status, TakeoverStatus::Ok) << result.detail;
    EXPECT_EQ(result.stopped, std::vector<std::string>{"Com1"});
    const auto paused = queue("Com1");
    ASSERT_TRUE(paused);
    EXPECT_EQ(paused->state, QueueState::Stopped);
    EXPECT_EQ(paused->stateMessage, takeoverMarker(self.pid, self.host));
    EXPECT_EQ(state("Com10"), QueueState::Idle) << "COM1 must not take COM10's queue";

    const RestoreResult restored = takeover.restore();
    EXPECT_TRUE(restored.ok()) << restored.detail;
    EXPECT_EQ(state("Com1"), QueueState::Idle);
    EXPECT_EQ(state("Com10"), QueueState::Idle);
}

TEST_F(TakeoverWithCupsd, TakesTheQueueOnASymlinkToTheDevice)
{
    PtyNode node;
    ASSERT_FALSE(node.path().empty());
    const std::string link = cupsd_->directory() + "/printer-port";
    ASSERT_EQ(::symlink(node.path().c_str(), link.c_str()), 0);
    addQueue("Linked", "serial:" + link + "?baud=9600");
    QueueTakeover takeover(*spooler_, currentProcess());
    EXPECT_EQ(takeover.takeOver(node.path()).stopped, std::vector<std::string>{"Linked"});
    EXPECT_EQ(state("Linked"), QueueState::Stopped);
    takeover.restore();
    EXPECT_EQ(state("Linked"), QueueState::Idle);
}

TEST_F(TakeoverWithCupsd, LeavesAStoppedQueueStopped)
{
    addQueue("Held", "parallel:/dev/lp0");
    ASSERT_TRUE(spooler_->pauseQueue("Held", "Paper jam, call the technician").ok());
    {
        QueueTakeover takeover(*spooler_, currentProcess());
        const TakeoverResult result = takeover.takeOver("/dev/lp0");
        EXPECT_EQ(result.status, TakeoverStatus::Ok);
        EXPECT_TRUE(result.stopped.empty());
        takeover.restore();
    }
    const auto held = queue("Held");
    ASSERT_TRUE(held);
    EXPECT_EQ(held->state, QueueState::Stopped);
    EXPECT_EQ(held->stateMessage, "Paper jam, call the technician");
}

TEST_F(TakeoverWithCupsd, APrintingQueueRefusesAndNothingIsStopped)
{
    PtyNode node;
    ASSERT_FALSE(node.path().empty());
    addQueue("Busy", "serial:" + node.path());
    addQueue("AlsoThere", "serial:" + node.path() + "?baud=38400");
    std::string error;
    ASSERT_TRUE(cupsd_->submitJob("Busy", error)) << error;
    ASSERT_TRUE(cupsd_->waitForState("Busy", QueueState::Printing, 10000));

    QueueTakeover takeover(*spooler_, currentProcess());
    const TakeoverResult result = takeover.takeOver(node.path());
    EXPECT_EQ(result.status, TakeoverStatus::QueueBusy);
    EXPECT_EQ(result.busyQueue, "Busy");
    EXPECT_TRUE(result.stopped.empty());
    EXPECT_EQ(state("AlsoThere"), QueueState::Idle);
    ASSERT_TRUE(cupsd_->cancelJobs("Busy", error)) << error;
}

TEST_F(TakeoverWithCupsd, AtStartResumesQueuesLeftByAGoneProcessOnly)
{
    const ProcessIdentity self = currentProcess();
    // A pid that was ours a moment ago and is gone now.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);

    addQueue("Crashed", "serial:/dev/ttyS1");
    addQueue("StillRunning", "serial:/dev/ttyS2");
    ASSERT_TRUE(spooler_->pauseQueue("Crashed", takeoverMarker(child, self.host)).ok());
    ASSERT_TRUE(spooler_->pauseQueue("StillRunning", takeoverMarker(::getppid(), self.host)).ok());

    QueueTakeover takeover(*spooler_, self);
    const RestoreResult restored = takeover.restoreStale();
    EXPECT_TRUE(restored.ok()) << restored.detail;
    EXPECT_EQ(restored.resumed, std::vector<std::string>{"Crashed"});
    EXPECT_EQ(state("Crashed"), QueueState::Idle);
    EXPECT_EQ(state("StillRunning"), QueueState::Stopped);
    ASSERT_TRUE(spooler_->resumeQueue("StillRunning").ok());
}

TEST_F(TakeoverWithCupsd, PresetsFromTheQueuesDeviceUri)
{
    addQueue("LanPrinter", "socket://127.0.0.1:9101");
    addQueue("Serial38400", "serial:/dev/ttyS3?baud=38400+bits=7+parity=odd+flow=none+stop=2");
    QueuePreset lan = presetForQueue(*spooler_, "LanPrinter");
    ASSERT_TRUE(lan.result.ok());
    EXPECT_EQ(lan.preset.interface, PresetInterface::Ethernet);
    EXPECT_EQ(lan.preset.address, "127.0.0.1");
    EXPECT_EQ(lan.preset.tcpPort, 9101);
    QueuePreset serial = presetForQueue(*spooler_, "Serial38400");
    ASSERT_TRUE(serial.result.ok());
    EXPECT_EQ(serial.preset.port, "/dev/ttyS3");
    EXPECT_EQ(serial.preset.baud, 38400);
    EXPECT_EQ(serial.preset.dataBits, 7);
    EXPECT_EQ(serial.preset.parity, 1);
    EXPECT_EQ(serial.preset.flow, 2);
    EXPECT_EQ(serial.preset.stopBits, 2);
}

} // namespace
} // namespace telvara::link
