// The takeover's rules against an in-memory spooler: which queues match a
// device, which are stopped, which refuse, what is given back, and the
// marker that survives a crash.
#include "telvara/link/QueueTakeover.h"
#include "fake_spooler.h"

#include <gtest/gtest.h>

#include <map>

namespace telvara::link {
namespace {

using platform::spooler::QueueState;
using platform::spooler::Status;
using testing::FakeSpooler;

ProcessIdentity identity(long pid = 4242, std::map<std::string, std::string> links = {},
                         std::vector<long> alive = {})
{
    ProcessIdentity self;
    self.pid = pid;
    self.host = "bench1";
    self.alive = [alive](long other) { return std::find(alive.begin(), alive.end(), other) != alive.end(); };
    self.resolve = [links](const std::string& path) {
        const auto it = links.find(path);
        return it == links.end() ? path : it->second;
    };
    return self;
}

TEST(TakeoverMarker, RoundTripsAndRejectsLookAlikes)
{
    const std::string marker = takeoverMarker(1234, "bench1");
    EXPECT_EQ(marker, "Port in use by Telvara (pid 1234 on bench1)");
    long pid = 0;
    std::string host;
    ASSERT_TRUE(parseTakeoverMarker(marker, pid, host));
    EXPECT_EQ(pid, 1234);
    EXPECT_EQ(host, "bench1");
    for (const char* text : {"", "Port in use by Telvara (pid  on bench1)", "Port in use by Telvara (pid 12 on )",
                             "Port in use by Telvara (pid 12 on bench1", "Port in use by Telvara (pid x on h)",
                             "Port in use by Telvara (pid 1234567890 on h)",
                             "Port in use by Telvara (pid 012 on h)", "Port in use by Telvara (pid 0 on h)", "Paused by the administrator",
                             "port in use by telvara (pid 1 on h)"}) {
        EXPECT_FALSE(parseTakeoverMarker(text, pid, host)) << text;
    }
}

TEST(PortDeviceOfUri, TakesTheSerialOrParallelPathOnly)
{
    const std::pair<const char*, const char*> cases[] = {
        {"serial:/dev/ttyS0", "/dev/ttyS0"},
        {"serial:/dev/ttyS0?baud=9600+bits=8", "/dev/ttyS0"},
        {"SERIAL:/dev/ttyUSB0", "/dev/ttyUSB0"},
        {"serial:/dev/serial/by-id/a%20b?baud=1", "/dev/serial/by-id/a b"},
        {"serial:/dev/tty%", "/dev/tty%"},
        {"serial:/dev/tty%4", "/dev/tty%4"},
        {"parallel:/dev/lp0", "/dev/lp0"},
        {"serial:", ""},
        {"serial:?baud=9600", ""},
        {"usb://Maker/Model", ""},
        {"socket://10.0.0.1:9100", ""},
        {"file:/dev/ttyS0", ""},
        {"seria", ""},
    };
    for (const auto& [uri, device] : cases)
        EXPECT_EQ(portDeviceOfUri(uri), device) << uri;
}

TEST(QueueTakeover, StopsTheIdleQueueOnTheDeviceAndGivesItBack)
{
    FakeSpooler spooler;
    spooler.add("Receipt", "serial:/dev/ttyS0?baud=19200+bits=8");
    spooler.add("Kitchen", "parallel:/dev/lp0");
    QueueTakeover takeover(spooler, identity());

    const TakeoverResult result = takeover.takeOver("/dev/ttyS0");
    EXPECT_EQ(result.status, TakeoverStatus::Ok);
    EXPECT_EQ(result.stopped, std::vector<std::string>{"Receipt"});
    EXPECT_EQ(spooler.find("Receipt")->state, QueueState::Stopped);
    EXPECT_EQ(spooler.find("Receipt")->stateMessage, "Port in use by Telvara (pid 4242 on bench1)");
    EXPECT_EQ(spooler.find("Kitchen")->state, QueueState::Idle);
    EXPECT_EQ(registeredQueues(), std::vector<std::string>{"Receipt"});

    const RestoreResult restored = takeover.restore();
    EXPECT_TRUE(restored.ok());
    EXPECT_EQ(restored.resumed, std::vector<std::string>{"Receipt"});
    EXPECT_EQ(spooler.find("Receipt")->state, QueueState::Idle);
    EXPECT_TRUE(registeredQueues().empty());
    EXPECT_TRUE(takeover.restore().resumed.empty()) << "a second restore resumes nothing";
}

TEST(QueueTakeover, MatchesTheExactDeviceNotANameThatContainsIt)
{
    FakeSpooler spooler;
    spooler.add("Com10", "serial:/dev/ttyS9");
    spooler.add("Com11", "serial:/dev/ttyS10");
    spooler.add("Prefix", "serial:/dev/ttyS0x");
    spooler.add("Lp", "parallel:/dev/ttyS0/");
    spooler.add("File", "file:/dev/ttyS0");
    spooler.add("Com1", "serial:/dev/ttyS0");
    QueueTakeover takeover(spooler, identity());
    EXPECT_EQ(takeover.takeOver("/dev/ttyS0").stopped, std::vector<std::string>{"Com1"});
    for (const char* other : {"Com10", "Com11", "Prefix", "Lp", "File"})
        EXPECT_EQ(spooler.find(other)->state, QueueState::Idle) << other;

    // COM2 is /dev/ttyS1, whose name is the start of COM11's /dev/ttyS10.
    QueueTakeover second(spooler, identity());
    EXPECT_TRUE(second.takeOver("/dev/ttyS1").stopped.empty());
    EXPECT_EQ(spooler.find("Com11")->state, QueueState::Idle);
}

TEST(QueueTakeover, ResolvesLinksOnBothSides)
{
    FakeSpooler spooler;
    spooler.add("ByLink", "serial:/dev/printer");
    spooler.add("ById", "serial:/dev/serial/by-id/usb-x");
    QueueTakeover takeover(spooler, identity(4242, {{"/dev/printer", "/dev/ttyUSB0"},
                                                    {"/dev/serial/by-id/usb-x", "/dev/ttyUSB0"}}));
    const TakeoverResult result = takeover.takeOver("/dev/ttyUSB0");
    EXPECT_EQ(result.stopped, (std::vector<std::string>{"ByLink", "ById"}));
}

TEST(QueueTakeover, LeavesAStoppedQueueStoppedAndRefusesWhileOnePrints)
{
    FakeSpooler spooler;
    spooler.add("Stopped", "serial:/dev/ttyS0", QueueState::Stopped, "Paused by the administrator");
    spooler.add("Idle", "serial:/dev/ttyS0");
    {
        QueueTakeover takeover(spooler, identity());
        EXPECT_EQ(takeover.takeOver("/dev/ttyS0").stopped, std::vector<std::string>{"Idle"});
        takeover.restore();
        EXPECT_EQ(spooler.find("Stopped")->state, QueueState::Stopped);
        EXPECT_EQ(spooler.find("Stopped")->stateMessage, "Paused by the administrator");
    }

    spooler.add("Printing", "serial:/dev/ttyS0", QueueState::Printing);
    spooler.calls.clear();
    QueueTakeover takeover(spooler, identity());
    const TakeoverResult busy = takeover.takeOver("/dev/ttyS0");
    EXPECT_EQ(busy.status, TakeoverStatus::QueueBusy);
    EXPECT_EQ(busy.busyQueue, "Printing");
    EXPECT_NE(busy.detail.find("Printing"), std::string::npos);
    EXPECT_TRUE(busy.stopped.empty());
    EXPECT_EQ(spooler.calls, std::vector<std::string>{"list"}) << "nothing stopped before refusing";
    EXPECT_EQ(spooler.find("Idle")->state, QueueState::Idle);
}

TEST(QueueTakeover, WarnsAndGoesOnWithoutSchedulerOrPermission)
{
    FakeSpooler spooler;
    spooler.add("Receipt", "serial:/dev/ttyS0");
    spooler.add("Other", "serial:/dev/ttyS0");
    spooler.listStatus = Status::NoServer;
    QueueTakeover takeover(spooler, identity());
    TakeoverResult result = takeover.takeOver("/dev/ttyS0");
    EXPECT_EQ(result.status, TakeoverStatus::Warning);
    EXPECT_FALSE(result.detail.empty());

    spooler.listStatus = Status::Ok;
    spooler.pauseFailures["Receipt"] = Status::NotPermitted;
    result = takeover.takeOver("/dev/ttyS0");
    EXPECT_EQ(result.status, TakeoverStatus::Warning);
    EXPECT_NE(result.detail.find("lpadmin"), std::string::npos) << result.detail;
    EXPECT_EQ(result.stopped, std::vector<std::string>{"Other"}) << "one refusal does not stop the rest";
    EXPECT_EQ(takeover.stoppedQueues(), std::vector<std::string>{"Other"});
}

TEST(QueueTakeover, AQueueThatWouldNotResumeIsTriedAgain)
{
    FakeSpooler spooler;
    spooler.add("Receipt", "serial:/dev/ttyS0");
    QueueTakeover takeover(spooler, identity());
    takeover.takeOver("/dev/ttyS0");
    spooler.resumeStatus = Status::NoServer;
    RestoreResult restored = takeover.restore();
    EXPECT_EQ(restored.failed, std::vector<std::string>{"Receipt"});
    EXPECT_FALSE(restored.detail.empty());
    EXPECT_EQ(registeredQueues(), std::vector<std::string>{"Receipt"});

    spooler.resumeStatus = Status::Ok;
    restored = takeover.restore();
    EXPECT_EQ(restored.resumed, std::vector<std::string>{"Receipt"});
    EXPECT_TRUE(registeredQueues().empty());
}

TEST(QueueTakeover, TheRegistryAndTheDestructorGiveQueuesBack)
{
    FakeSpooler spooler;
    spooler.add("A", "serial:/dev/ttyS0");
    spooler.add("B", "parallel:/dev/lp0");
    {
        QueueTakeover first(spooler, identity());
        QueueTakeover second(spooler, identity());
        first.takeOver("/dev/ttyS0");
        second.takeOver("/dev/lp0");
        EXPECT_EQ(registeredQueues(), (std::vector<std::string>{"A", "B"}));
        const RestoreResult restored = restoreRegisteredQueues(spooler);
        EXPECT_EQ(restored.resumed, (std::vector<std::string>{"A", "B"}));
        EXPECT_TRUE(registeredQueues().empty());
        EXPECT_EQ(spooler.find("A")->state, QueueState::Idle);
        first.takeOver("/dev/ttyS0");
    }
    EXPECT_EQ(spooler.find("A")->state, QueueState::Idle) << "the destructor resumed it";
    EXPECT_TRUE(registeredQueues().empty());
}

TEST(QueueTakeover, AtStartResumesOnlyQueuesMarkedByAGoneProcessOfThisHost)
{
    FakeSpooler spooler;
    spooler.add("Dead", "serial:/dev/ttyS0", QueueState::Stopped, takeoverMarker(100, "bench1"));
    spooler.add("Alive", "serial:/dev/ttyS1", QueueState::Stopped, takeoverMarker(200, "bench1"));
    spooler.add("Self", "serial:/dev/ttyS2", QueueState::Stopped, takeoverMarker(4242, "bench1"));
    spooler.add("OtherHost", "serial:/dev/ttyS3", QueueState::Stopped, takeoverMarker(100, "bench2"));
    spooler.add("Admin", "serial:/dev/ttyS4", QueueState::Stopped, "Paused by the administrator");
    spooler.add("IdleMarked", "serial:/dev/ttyS5", QueueState::Idle, takeoverMarker(100, "bench1"));
    QueueTakeover takeover(spooler, identity(4242, {}, {200}));
    const RestoreResult restored = takeover.restoreStale();
    EXPECT_TRUE(restored.ok());
    EXPECT_EQ(restored.resumed, std::vector<std::string>{"Dead"});
    for (const char* name : {"Alive", "Self", "OtherHost", "Admin"})
        EXPECT_EQ(spooler.find(name)->state, QueueState::Stopped) << name;
    EXPECT_TRUE(takeover.stoppedQueues().empty()) << "stale queues are not ours to remember";

    spooler.listStatus = Status::NotPermitted;
    EXPECT_FALSE(takeover.restoreStale().ok());
}

} // namespace
} // namespace telvara::link
