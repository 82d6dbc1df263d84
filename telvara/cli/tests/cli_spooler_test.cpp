// telvara-cli and the print spooler, on the fake printer and an in-memory
// spooler: the queue on the port is stopped only while the check runs, a
// printing queue refuses it, a missing scheduler is a warning, the start
// resumes what dead runs left, restore-queues, and the queue presets.
#include "telvara/cli/cli_jobs.h"
#include "telvara/cli/cli_options.h"
#include "telvara/link/QueueTakeover.h"
#include "telvara/link/tests/fake_spooler.h"

#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include <stdlib.h>

namespace {

namespace fs = std::filesystem;
using platform::spooler::QueueState;
using platform::spooler::Status;
using platform::testing::Bytes;
using platform::testing::bytesOf;
using telvara::link::testing::FakeSpooler;
using telvara::link::testing::ForwardingSpooler;

// A pid no process has: far above any pid_max.
constexpr long kGonePid = 999999999;

class CliSpoolerTest : public ::testing::Test {
protected:
    ~CliSpoolerTest() override { fs::remove_all(dir_); }
    static fs::path makeDir()
    {
        char pattern[] = "/tmp/telvara-clisp-XXXXXX";
        return ::mkdtemp(pattern) != nullptr ? fs::path(pattern) : fs::path("/nonexistent");
    }

    void answerAsTheRightPrinter()
    {
        printer_.onWrite = [this](const Bytes& w) {
            if (w == Bytes{0x1b, 0x40})
                stateDuringCheck_ = spooler_.find("Counter") ? spooler_.find("Counter")->state : QueueState::Idle;
            if (w == Bytes{0x1d, 0x49, 0x03})
                printer_.reply({'c'});
            if (w == Bytes{0x1d, 0x49, 0x42})
                printer_.reply(bytesOf("_QUELLIX", true));
            if (w == Bytes{0x1d, 0x49, 0x43})
                printer_.reply(bytesOf("_KTP-M880", true));
        };
    }

    telvara::cli::JobResult run(const std::vector<std::string>& words)
    {
        telvara::cli::Options o;
        std::string problem;
        EXPECT_TRUE(telvara::cli::parseOptions(words, o, problem)) << problem;
        const telvara::cli::SpoolerFactory factory = [this] { return std::make_unique<ForwardingSpooler>(spooler_); };
        return telvara::cli::runJob(o, devices_, clock_, store_, factory);
    }
    static std::string printed(const telvara::cli::JobResult& r, bool json, std::string* err = nullptr)
    {
        std::ostringstream out;
        std::ostringstream e;
        telvara::cli::printResult(r, json, out, e);
        if (err != nullptr)
            *err = e.str();
        return out.str();
    }

    fs::path dir_ = makeDir();
    platform::RegistryStore store_{(dir_ / "registry.reg").string()};
    platform::ManualClock clock_;
    platform::testing::FakePrinter printer_{clock_};
    platform::testing::FakeDevices devices_{printer_, (dir_ / "dev").string()};
    FakeSpooler spooler_;
    QueueState stateDuringCheck_ = QueueState::Idle;
};

TEST_F(CliSpoolerTest, TheQueueOnThePortIsStoppedOnlyWhileTheCheckRuns)
{
    spooler_.add("Counter", "serial:/dev/pts/9?baud=9600");
    spooler_.add("Other", "serial:/dev/pts/90");
    answerAsTheRightPrinter();
    std::string err;
    const auto r = run({"--port", "/dev/pts/9", "check"});
    EXPECT_EQ(printed(r, false, &err), "maker: QUELLIX\nmodel: KTP-M880\n");
    EXPECT_EQ(err, "status: Printer is connected.\n");
    EXPECT_EQ(stateDuringCheck_, QueueState::Stopped);
    EXPECT_EQ(spooler_.find("Counter")->state, QueueState::Idle);
    EXPECT_EQ(spooler_.find("Counter")->stateMessage, "");
    EXPECT_EQ(std::count(spooler_.calls.begin(), spooler_.calls.end(), "pause Other"), 0);
}

TEST_F(CliSpoolerTest, APrintingQueueRefusesTheCheckBeforeThePortIsOpened)
{
    spooler_.add("Counter", "serial:/dev/pts/9", QueueState::Printing);
    std::string err;
    const auto r = run({"--port", "/dev/pts/9", "check"});
    EXPECT_EQ(r.exitStatus, telvara::cli::kExitFailed);
    printed(r, false, &err);
    const std::string tail = "printer queue Counter is printing on /dev/pts/9\n"
                             "error open: Can't open port and Printer is disconnected\n";
    ASSERT_GE(err.size(), tail.size());
    EXPECT_EQ(err.substr(err.size() - tail.size()), tail) << err;
    EXPECT_TRUE(printer_.writes.empty());
    EXPECT_EQ(spooler_.find("Counter")->state, QueueState::Printing);
}

TEST_F(CliSpoolerTest, NoSchedulerOrNoRightsWarnAndTheCheckGoesOn)
{
    answerAsTheRightPrinter();
    spooler_.listStatus = Status::NoServer;
    auto r = run({"--port", "/dev/pts/9", "check"});
    EXPECT_FALSE(r.failed()) << r.errorMessage;
    ASSERT_EQ(r.status.size(), 2u);
    EXPECT_NE(r.status[0].find("going on"), std::string::npos) << r.status[0];
    EXPECT_EQ(r.status[1], "Printer is connected.");

    spooler_.listStatus = Status::Ok;
    spooler_.add("Counter", "serial:/dev/pts/9");
    spooler_.pauseFailures["Counter"] = Status::NotPermitted;
    r = run({"--port", "/dev/pts/9", "check"});
    EXPECT_FALSE(r.failed()) << r.errorMessage;
    ASSERT_FALSE(r.status.empty());
    EXPECT_NE(r.status[0].find("lpadmin"), std::string::npos) << r.status[0];
}

TEST_F(CliSpoolerTest, NoTakeoverLeavesTheSpoolerAlone)
{
    spooler_.add("Counter", "serial:/dev/pts/9");
    spooler_.add("Dead", "serial:/dev/pts/8", QueueState::Stopped,
                 telvara::link::takeoverMarker(kGonePid, telvara::link::currentProcess().host));
    answerAsTheRightPrinter();
    const auto r = run({"--no-takeover", "--port", "/dev/pts/9", "check"});
    EXPECT_FALSE(r.failed()) << r.errorMessage;
    EXPECT_TRUE(spooler_.calls.empty());
    EXPECT_EQ(stateDuringCheck_, QueueState::Idle);
}

TEST_F(CliSpoolerTest, EveryStartResumesWhatADeadRunLeftAndRestoreQueuesListsIt)
{
    const std::string host = telvara::link::currentProcess().host;
    spooler_.add("Dead", "serial:/dev/pts/8", QueueState::Stopped, telvara::link::takeoverMarker(kGonePid, host));
    spooler_.add("Admin", "serial:/dev/pts/7", QueueState::Stopped, "Paused for maintenance");
    std::string err;
    const auto c = run({"--port", "COM2", "connection"});
    EXPECT_FALSE(c.failed());
    printed(c, false, &err);
    EXPECT_EQ(err, "status: printer queue Dead resumed: an earlier run had stopped it and ended\n");
    EXPECT_EQ(spooler_.find("Dead")->state, QueueState::Idle);
    EXPECT_EQ(spooler_.find("Admin")->state, QueueState::Stopped);

    spooler_.find("Dead")->state = QueueState::Stopped;
    spooler_.find("Dead")->stateMessage = telvara::link::takeoverMarker(kGonePid, host);
    const auto r = run({"restore-queues"});
    EXPECT_EQ(printed(r, false, &err), "resumed Dead\n");
    EXPECT_EQ(err, "");
    EXPECT_EQ(printed(r, true), "{\"ok\": true, \"resumed\": [\"Dead\"]}\n");
    EXPECT_EQ(printed(run({"restore-queues"}), false), "");  // nothing left
}

TEST_F(CliSpoolerTest, RestoreQueuesWithoutASchedulerFails)
{
    spooler_.listStatus = Status::NoServer;
    std::string err;
    const auto r = run({"restore-queues"});
    EXPECT_EQ(r.exitStatus, telvara::cli::kExitFailed);
    printed(r, false, &err);
    EXPECT_EQ(err.substr(err.rfind("error ")).substr(0, 14), "error spooler:");
}

TEST_F(CliSpoolerTest, PrinterQueuePresetsTheConnection)
{
    spooler_.add("Counter", "serial:/dev/ttyUSB3?baud=38400+bits=7+parity=odd+flow=none+stop=2");
    spooler_.add("Net", "socket://127.0.0.1:9101");
    EXPECT_EQ(printed(run({"--printer", "Counter", "connection"}), false),
              "interface: serial\nport: /dev/ttyUSB3\ndevice: /dev/ttyUSB3\nbaud: 38400\ndata-bits: 7\n"
              "parity: odd\nstop-bits: 2\nflow: none\n");
    EXPECT_EQ(printed(run({"--printer", "Net", "connection"}), false),
              "interface: ethernet\nport: 127.0.0.1\naddress: 127.0.0.1\ntcp-port: 9101\n");
    // The options still win over the preset, and --no-takeover still reads it.
    EXPECT_NE(printed(run({"--no-takeover", "--printer", "Counter", "--baud", "9600", "connection"}), false)
                  .find("baud: 9600\n"),
              std::string::npos);
    std::string err;
    const auto missing = run({"--printer", "Nowhere", "connection"});
    EXPECT_FALSE(missing.failed());
    printed(missing, false, &err);
    EXPECT_NE(err.find("Nowhere"), std::string::npos) << err;
}

} // namespace
