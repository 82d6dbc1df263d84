// The CUPS spooler against a private scheduler: what the takeover relies on
// (device URIs, the three states, the state message surviving a pause) and
// how it fails when there is no scheduler or no such queue.
#include "platform/spooler/spooler.h"
#include "platform/spooler/testing/PrivateCupsd.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>

namespace platform::spooler {
namespace {

using testing::PrivateCupsd;

class CupsSpoolerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!PrivateCupsd::available())
            return;
        cupsd_ = new PrivateCupsd;
        std::string error;
        if (!cupsd_->start(error)) {
            startError_ = new std::string(error);
            return;
        }
        for (const auto& [name, uri] : {std::pair{"Serial1", "serial:/dev/ttyS0?baud=19200"},
                                        std::pair{"Parallel1", "parallel:/dev/lp0"},
                                        std::pair{"Busy", "serial:/dev/ttyS5"}}) {
            if (!cupsd_->addQueue(name, uri, error))
                startError_ = new std::string(error);
        }
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
        spooler_ = makeCupsSpooler(cupsd_->options());
    }

    std::optional<QueueInfo> find(const std::string& name)
    {
        std::vector<QueueInfo> queues;
        const Result result = spooler_->listQueues(queues);
        EXPECT_TRUE(result.ok()) << result.describe("list");
        for (const QueueInfo& queue : queues) {
            if (queue.name == name)
                return queue;
        }
        return std::nullopt;
    }

    static PrivateCupsd* cupsd_;
    static std::string* startError_;
    std::unique_ptr<Spooler> spooler_;
};

PrivateCupsd* CupsSpoolerTest::cupsd_ = nullptr;
std::string* CupsSpoolerTest::startError_ = nullptr;

TEST_F(CupsSpoolerTest, ListsLocalQueuesWithDeviceUrisAndStates)
{
    const auto serial = find("Serial1");
    ASSERT_TRUE(serial);
    EXPECT_EQ(serial->deviceUri, "serial:/dev/ttyS0?baud=19200");
    EXPECT_EQ(serial->state, QueueState::Idle);
    const auto parallel = find("Parallel1");
    ASSERT_TRUE(parallel);
    EXPECT_EQ(parallel->deviceUri, "parallel:/dev/lp0");
}

TEST_F(CupsSpoolerTest, PauseKeepsTheMessageUntilResumed)
{
    const std::string marker = "Port in use by a test (pid 1 on here)";
    ASSERT_TRUE(spooler_->pauseQueue("Parallel1", marker).ok());
    auto paused = find("Parallel1");
    ASSERT_TRUE(paused);
    EXPECT_EQ(paused->state, QueueState::Stopped);
    EXPECT_EQ(paused->stateMessage, marker);
    std::string message;
    ASSERT_TRUE(spooler_->stateMessage("Parallel1", message).ok());
    EXPECT_EQ(message, marker);

    ASSERT_TRUE(spooler_->resumeQueue("Parallel1").ok());
    auto resumed = find("Parallel1");
    ASSERT_TRUE(resumed);
    EXPECT_EQ(resumed->state, QueueState::Idle);
    EXPECT_NE(resumed->stateMessage, marker);
}

TEST_F(CupsSpoolerTest, AQueueWithAJobReadsAsPrinting)
{
    std::string error;
    ASSERT_TRUE(cupsd_->submitJob("Busy", error)) << error;
    EXPECT_TRUE(cupsd_->waitForState("Busy", QueueState::Printing, 10000));
    const auto busy = find("Busy");
    ASSERT_TRUE(busy);
    EXPECT_EQ(busy->state, QueueState::Printing);
    ASSERT_TRUE(cupsd_->cancelJobs("Busy", error)) << error;
    EXPECT_TRUE(cupsd_->waitForState("Busy", QueueState::Idle, 10000));
}

TEST_F(CupsSpoolerTest, UnknownQueueIsNotFound)
{
    const Result pause = spooler_->pauseQueue("NoSuchQueue", "x");
    EXPECT_EQ(pause.status, Status::NotFound) << pause.describe("pause");
    std::string message;
    EXPECT_EQ(spooler_->stateMessage("NoSuchQueue", message).status, Status::NotFound);
}

TEST_F(CupsSpoolerTest, TheEnvironmentNamesTheSchedulerWhenNoServerIsGiven)
{
    const char* before = std::getenv("CUPS_SERVER");
    const std::string saved = before != nullptr ? before : "";
    ::setenv("CUPS_SERVER", cupsd_->socketPath().c_str(), 1);
    std::vector<QueueInfo> queues;
    const Result result = makeCupsSpooler()->listQueues(queues);
    if (before != nullptr)
        ::setenv("CUPS_SERVER", saved.c_str(), 1);
    else
        ::unsetenv("CUPS_SERVER");
    ASSERT_TRUE(result.ok()) << result.describe("list");
    EXPECT_FALSE(queues.empty());
}

TEST(CupsSpoolerNoServer, AMissingSocketFailsAtOnceWithTheReason)
{
    CupsOptions options;
    options.server = "/nonexistent/quellix/cups.sock";
    options.timeoutMs = 2000;
    const auto started = std::chrono::steady_clock::now();
    std::vector<QueueInfo> queues;
    const Result result = makeCupsSpooler(options)->listQueues(queues);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(result.status, Status::NoServer);
    EXPECT_NE(result.describe("list queues").find("/nonexistent/quellix/cups.sock"), std::string::npos)
        << result.describe("list queues");
    EXPECT_TRUE(queues.empty());
    EXPECT_EQ(makeCupsSpooler(options)->resumeQueue("Q").status, Status::NoServer);
}

} // namespace
} // namespace platform::spooler
