// One run's spooler guard against an in-memory spooler: the start-up
// restore, which ports are taken over, the refusal a printing queue makes
// through the check's hook, and the queues given back at the end.
#include "telvara/link/SpoolerGuard.h"
#include "telvara/link/LinkTexts.h"
#include "fake_spooler.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace telvara {
namespace {

using link::testing::FakeSpooler;
using link::testing::ForwardingSpooler;
using platform::spooler::QueueState;
using platform::spooler::Status;

link::ProcessIdentity self(std::vector<long> alive = {})
{
    link::ProcessIdentity id;
    id.pid = 500;
    id.host = "bench1";
    id.alive = [alive](long pid) { return std::find(alive.begin(), alive.end(), pid) != alive.end(); };
    id.resolve = [](const std::string& path) { return path; };
    return id;
}

class SpoolerGuardTest : public ::testing::Test {
protected:
    std::unique_ptr<SpoolerGuard> guard(std::vector<long> alive = {})
    {
        return std::make_unique<SpoolerGuard>(std::make_unique<ForwardingSpooler>(fake_), self(std::move(alive)));
    }
    std::string device(const std::string& port)
    {
        LinkConfig config;
        config.portName = port;
        return ChooseKind(config, roots_).device;
    }
    QueueState state(const std::string& name) { return fake_.find(name)->state; }

    FakeSpooler fake_;
    platform::DeviceRoots roots_;
};

TEST_F(SpoolerGuardTest, StartResumesOnlyQueuesOfRunsThatAreGone)
{
    fake_.add("Dead", "serial:/dev/ttyS0", QueueState::Stopped, link::takeoverMarker(77, "bench1"));
    fake_.add("Live", "serial:/dev/ttyS1", QueueState::Stopped, link::takeoverMarker(78, "bench1"));
    fake_.add("Elsewhere", "serial:/dev/ttyS2", QueueState::Stopped, link::takeoverMarker(77, "bench2"));
    fake_.add("Admin", "serial:/dev/ttyS3", QueueState::Stopped, "Paused for maintenance");
    const auto g = guard({78});
    EXPECT_EQ(g->staleRestore().resumed, std::vector<std::string>{"Dead"});
    EXPECT_EQ(state("Dead"), QueueState::Idle);
    EXPECT_EQ(state("Live"), QueueState::Stopped);
    EXPECT_EQ(state("Elsewhere"), QueueState::Stopped);
    EXPECT_EQ(state("Admin"), QueueState::Stopped);
}

TEST_F(SpoolerGuardTest, NoSchedulerAtStartIsQuietUntilACheckNeedsIt)
{
    fake_.listStatus = Status::NoServer;
    const auto g = guard();
    EXPECT_TRUE(g->staleRestore().ok());
    LinkConfig com1;
    com1.portName = "COM1";
    const GuardOutcome out = g->beforeCheck(com1, roots_);
    EXPECT_EQ(out.status, GuardStatus::Warning);
    EXPECT_NE(out.text.find("going on"), std::string::npos) << out.text;
}

TEST_F(SpoolerGuardTest, ExactDeviceIsStoppedForTheRunAndResumedAtItsEnd)
{
    const std::string com1 = device("COM1");
    const std::string com10 = device("\\\\.\\COM10");
    ASSERT_NE(com1, com10);
    fake_.add("OnCom1", "serial:" + com1 + "?baud=9600");
    fake_.add("OnCom10", "serial:" + com10);
    fake_.add("Held", "serial:" + com1, QueueState::Stopped, "Paused for maintenance");
    {
        const auto g = guard();
        LinkConfig config;
        config.portName = "COM1";
        const GuardOutcome out = g->beforeCheck(config, roots_);
        EXPECT_EQ(out.status, GuardStatus::Ok);
        EXPECT_EQ(out.stopped, std::vector<std::string>{"OnCom1"});
        EXPECT_EQ(state("OnCom1"), QueueState::Stopped);
        EXPECT_EQ(fake_.find("OnCom1")->stateMessage, link::takeoverMarker(500, "bench1"));
        EXPECT_EQ(state("OnCom10"), QueueState::Idle);
        // A second check of the same run does not stop it twice.
        EXPECT_TRUE(g->beforeCheck(config, roots_).stopped.empty());
        EXPECT_EQ(g->stoppedQueues(), std::vector<std::string>{"OnCom1"});
    }
    EXPECT_EQ(state("OnCom1"), QueueState::Idle);
    EXPECT_EQ(state("Held"), QueueState::Stopped);  // somebody else's decision
    EXPECT_EQ(std::count(fake_.calls.begin(), fake_.calls.end(), "resume OnCom1"), 1);
    EXPECT_EQ(std::count(fake_.calls.begin(), fake_.calls.end(), "resume Held"), 0);
}

TEST_F(SpoolerGuardTest, NetworkAndUsbPortsAreNoSpoolersBusiness)
{
    fake_.add("Net", "socket://127.0.0.1:9100");
    const auto g = guard();
    fake_.calls.clear();
    LinkConfig net;
    net.portName = "127.0.0.1";
    net.tcpPort = 9100;
    EXPECT_EQ(g->beforeCheck(net, roots_).status, GuardStatus::Ok);
    LinkConfig usb;
    usb.portName = "M880:/dev/usb/lp0";
    EXPECT_EQ(g->beforeCheck(usb, roots_).status, GuardStatus::Ok);
    EXPECT_TRUE(fake_.calls.empty());
}

TEST_F(SpoolerGuardTest, HookTurnsAPrintingQueueIntoTheOpenFailure)
{
    const std::string lp = device("LPT1");
    fake_.add("Idle", "parallel:" + lp);
    fake_.add("Busy", "parallel:" + lp, QueueState::Printing);
    const auto g = guard();
    std::vector<std::string> warnings;
    const BeforeOpen hook = g->hook([&](const std::string& w) { warnings.push_back(w); });
    LinkConfig config;
    config.portName = "LPT1";
    CheckResult failed;
    EXPECT_FALSE(hook(ChooseKind(config, roots_), failed));
    EXPECT_EQ(failed.errorKey, "open");
    EXPECT_EQ(failed.message, texts::kOpenFailed);
    EXPECT_EQ(failed.caption, texts::kWarning);
    EXPECT_NE(failed.detail.find("Busy"), std::string::npos) << failed.detail;
    EXPECT_EQ(state("Idle"), QueueState::Idle);  // nothing stopped before the refusal
    EXPECT_TRUE(warnings.empty());
}

TEST_F(SpoolerGuardTest, HookWarnsAndGoesOnWhenTheSpoolerRefuses)
{
    fake_.add("OnCom2", "serial:" + device("COM2"));
    fake_.pauseFailures["OnCom2"] = Status::NotPermitted;
    const auto g = guard();
    std::vector<std::string> warnings;
    const BeforeOpen hook = g->hook([&](const std::string& w) { warnings.push_back(w); });
    LinkConfig config;
    config.portName = "COM2";
    CheckResult failed;
    EXPECT_TRUE(hook(ChooseKind(config, roots_), failed));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("lpadmin"), std::string::npos) << warnings[0];
}

TEST(SpoolerGuardWithoutSpooler, WarnsOnSerialAndDoesNothingElse)
{
    SpoolerGuard g(nullptr);
    LinkConfig config;
    config.portName = "COM1";
    const GuardOutcome out = g.beforeCheck(config, platform::DeviceRoots{});
    EXPECT_EQ(out.status, GuardStatus::Warning);
    EXPECT_TRUE(g.restore().ok());
    EXPECT_TRUE(g.staleRestore().ok());
}

} // namespace
} // namespace telvara
