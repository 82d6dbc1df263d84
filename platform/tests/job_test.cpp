// The job mechanism and its synchronous driver on a manual clock.
#include "platform/job.h"

#include "platform/wait_hook.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace platform {
namespace {

// A job whose phases are given as a function of the timer id; records when
// (virtual time) each phase ran.
class ScriptedJob final : public Job {
public:
    ScriptedJob(Clock& clock, JobNext first, std::function<JobNext(ScriptedJob&, int)> phase)
        : clock_(clock), first_(std::move(first)), phase_(std::move(phase)) {}

    JobNext start() override
    {
        ++starts;
        return first_;
    }
    JobNext fire(int timerId) override
    {
        fired.push_back({timerId, clock_.tickMs()});
        return phase_(*this, timerId);
    }
    JobResult cancelled() override
    {
        ++cancels;
        return JobResult{JobEnd::Cancel, "stopped at " + std::to_string(fired.size()), 7};
    }

    using Job::setProgress;
    using Job::setProgressRange;
    using Job::setStatus;

    int starts = 0;
    int cancels = 0;
    std::vector<std::pair<int, std::uint64_t>> fired;

private:
    Clock& clock_;
    JobNext first_;
    std::function<JobNext(ScriptedJob&, int)> phase_;
};

class RecordingObserver final : public JobObserver {
public:
    void progressChanged(const JobProgress& p) override { values.push_back(p.value); shown.push_back(p.shown()); }
    void statusChanged(const std::string& s) override { statuses.push_back(s); }
    std::vector<int> values;
    std::vector<int> shown;
    std::vector<std::string> statuses;
};

TEST(JobDriver, FiresEachTimerIdAfterItsDelayInOrder)
{
    ManualClock clock(1000);
    // 1 --(250)--> 1000 --(0)--> 2000 x3 --(100)--> 9999 -> OK
    int repeats = 0;
    ScriptedJob job(clock, JobNext::step(1, 250), [&](ScriptedJob&, int id) {
        switch (id) {
        case 1:
            return JobNext::step(1000, 0);
        case 1000:
            return JobNext::step(2000, 40);
        case 2000:
            return ++repeats < 3 ? JobNext::step(2000, 40) : JobNext::step(9999, 100);
        default:
            return JobNext::ok("done", 3);
        }
    });

    const JobResult result = runJob(job, clock);

    EXPECT_EQ(result.end, JobEnd::Ok);
    EXPECT_EQ(result.message, "done");
    EXPECT_EQ(result.code, 3);
    EXPECT_EQ(job.starts, 1);
    const std::vector<std::pair<int, std::uint64_t>> expected{
        {1, 1250}, {1000, 1250}, {2000, 1290}, {2000, 1330}, {2000, 1370}, {9999, 1470}};
    EXPECT_EQ(job.fired, expected);
    EXPECT_EQ(job.cancels, 0);
}

TEST(JobDriver, EndAtStartFiresNothingAndWaitsNothing)
{
    ManualClock clock;
    ScriptedJob job(clock, JobNext::cancel("Error : File Open Error!", 2),
                    [](ScriptedJob&, int) { return JobNext::ok(); });
    const JobResult result = runJob(job, clock);
    EXPECT_EQ(result.end, JobEnd::Cancel);
    EXPECT_EQ(result.message, "Error : File Open Error!");
    EXPECT_EQ(result.code, 2);
    EXPECT_TRUE(job.fired.empty());
    EXPECT_EQ(clock.tickMs(), 0u);
}

TEST(JobDriver, CancelIsHonouredBetweenPhasesNotDuringOne)
{
    ManualClock clock;
    JobCancel cancel;
    ScriptedJob job(clock, JobNext::step(10, 5), [&](ScriptedJob& self, int id) {
        if (id == 11) {
            // Requested while this phase runs: the phase still completes.
            cancel.request();
            self.setStatus("phase 11 finished");
        }
        return JobNext::step(id + 1, 5);
    });

    const JobResult result = runJob(job, clock, &cancel);

    EXPECT_EQ(job.fired.size(), 2u);
    EXPECT_EQ(job.fired.back().first, 11);
    EXPECT_EQ(job.status(), "phase 11 finished");
    EXPECT_EQ(job.cancels, 1);
    EXPECT_EQ(result.end, JobEnd::Cancel);
    EXPECT_EQ(result.message, "stopped at 2");
    EXPECT_EQ(result.code, 7);
}

TEST(JobDriver, DefaultCancelEndsWithCancelAndNoMessage)
{
    class Endless final : public Job {
    public:
        JobNext start() override { return JobNext::step(1, 0); }
        JobNext fire(int) override { return JobNext::step(1, 0); }
    } job;
    ManualClock clock;
    JobCancel cancel;
    cancel.request();
    const JobResult result = runJob(job, clock, &cancel);
    EXPECT_EQ(result.end, JobEnd::Cancel);
    EXPECT_TRUE(result.message.empty());
}

TEST(JobDriver, AnInterruptedProgramCancelsBetweenPhases)
{
    // The interrupt flag is process-wide and stays set: run in a child.
    EXPECT_EXIT(
        {
            ManualClock clock;
            ScriptedJob job(clock, JobNext::step(1, 0), [](ScriptedJob&, int id) {
                if (id == 3)
                    requestInterrupt();
                return JobNext::step(id + 1, 0);
            });
            const JobResult result = runJob(job, clock);
            const bool stopped = result.end == JobEnd::Cancel && job.cancels == 1 && job.fired.size() == 3;
            std::exit(stopped ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(JobDriver, AJobThatNeverEndsIsStoppedAtTheBound)
{
    ManualClock clock;
    ScriptedJob job(clock, JobNext::step(1, 1), [](ScriptedJob&, int) { return JobNext::step(1, 1); });
    const JobResult result = runJob(job, clock, nullptr, 50);
    EXPECT_EQ(result.end, JobEnd::Cancel);
    EXPECT_EQ(result.code, -1);
    EXPECT_EQ(job.fired.size(), 50u);
}

TEST(JobOutputs, ObserverSeesProgressAndStatusAsTheJobSetsThem)
{
    ManualClock clock;
    RecordingObserver observer;
    ScriptedJob job(clock, JobNext::step(1, 0), [](ScriptedJob& self, int id) {
        self.setStatus("step " + std::to_string(id));
        self.setProgress(id * 40);
        return id < 3 ? JobNext::step(id + 1, 0) : JobNext::ok();
    });
    job.setObserver(&observer);
    runJob(job, clock);

    EXPECT_EQ(observer.statuses, (std::vector<std::string>{"step 1", "step 2", "step 3"}));
    // The job's own count runs past the maximum; the bar shows full.
    EXPECT_EQ(observer.values, (std::vector<int>{40, 80, 120}));
    EXPECT_EQ(observer.shown, (std::vector<int>{40, 80, 100}));
    EXPECT_EQ(job.progress().value, 120);
}

TEST(JobOutputs, RangeIsKeptInOrderAndBoundsTheShownValue)
{
    ManualClock clock;
    ScriptedJob job(clock, JobNext::ok(), [](ScriptedJob&, int) { return JobNext::ok(); });
    job.setProgressRange(500, 10);
    EXPECT_EQ(job.progress().minimum, 10);
    EXPECT_EQ(job.progress().maximum, 500);
    job.setProgress(3);
    EXPECT_EQ(job.progress().shown(), 10);
    job.setProgress(250);
    EXPECT_EQ(job.progress().shown(), 250);
    // Detached: no observer is called any more.
    RecordingObserver observer;
    job.setObserver(&observer);
    job.setObserver(nullptr);
    job.setStatus("quiet");
    EXPECT_TRUE(observer.statuses.empty());
    EXPECT_EQ(job.status(), "quiet");
}

} // namespace
} // namespace platform
