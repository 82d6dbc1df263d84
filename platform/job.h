// Jobs: work that runs as a chain of one-shot timer phases.
//
// A progress window of the programs runs its work as a chain of timers: it
// starts one timer, and each timer's handler does one piece of work and
// starts the next timer or ends the window with OK or Cancel and a message.
// A Job is that chain without the window:
//
//   start()          -> the first step (timer id, delay ms) or an end
//   fire(timer id)   -> runs that phase; yields the next step or an end
//   cancelled()      -> a Cancel request was honoured between phases: the
//                       job tidies up (closes its port) and says how it ends
//
// Timer ids are the job's own phase codes; the driver hands them back as
// they were given. Progress (a value in a range, 0..100 unless the job sets
// another) and a status text are outputs of the job: a window or a command
// line shows them through a JobObserver.
//
// Drivers:
//   runJob()             synchronous, on a platform::Clock: pauses each
//                        delay on the clock, then fires the next id. Used by
//                        the command lines and the tests (a manual clock
//                        costs no real time).
//   platform::qt::QtJobDriver   single-shot QTimers on the GUI thread.
//
// A Cancel request (JobCancel::request) is honoured between phases only: a
// phase that has begun always runs to its end.
#pragma once

#include "platform/clock.h"

#include <atomic>
#include <cstdint>
#include <string>

namespace platform {

enum class JobEnd { Ok, Cancel };

struct JobResult {
    JobEnd end = JobEnd::Ok;
    std::string message;   // the text the window shows (may be empty)
    int code = 0;          // the job's own result code
};

// What start() and fire() return: the next phase or the end.
class JobNext {
public:
    static JobNext step(int timerId, std::uint32_t delayMs) { return JobNext(timerId, delayMs); }
    static JobNext ok(std::string message = {}, int code = 0)
    {
        return JobNext(JobResult{JobEnd::Ok, std::move(message), code});
    }
    static JobNext cancel(std::string message, int code = 0)
    {
        return JobNext(JobResult{JobEnd::Cancel, std::move(message), code});
    }
    static JobNext end(JobResult result) { return JobNext(std::move(result)); }

    bool isEnd() const { return ended_; }
    int timerId() const { return timerId_; }
    std::uint32_t delayMs() const { return delayMs_; }
    const JobResult& result() const { return result_; }

private:
    JobNext(int timerId, std::uint32_t delayMs) : timerId_(timerId), delayMs_(delayMs) {}
    explicit JobNext(JobResult result) : ended_(true), result_(std::move(result)) {}

    bool ended_ = false;
    int timerId_ = 0;
    std::uint32_t delayMs_ = 0;
    JobResult result_;
};

struct JobProgress {
    int minimum = 0;
    int maximum = 100;
    // As the job counts it: some jobs step past the maximum (a fixed amount
    // per phase). shown() is what a progress bar shows.
    int value = 0;

    int shown() const { return value < minimum ? minimum : (value > maximum ? maximum : value); }
};

// Told of every change of a job's outputs, on the thread that runs the job.
class JobObserver {
public:
    virtual ~JobObserver() = default;
    virtual void progressChanged(const JobProgress&) {}
    virtual void statusChanged(const std::string&) {}
};

class Job {
public:
    virtual ~Job() = default;

    virtual JobNext start() = 0;
    virtual JobNext fire(int timerId) = 0;
    // Default: end with Cancel and no message.
    virtual JobResult cancelled() { return JobResult{JobEnd::Cancel, {}, 0}; }

    const JobProgress& progress() const { return progress_; }
    const std::string& status() const { return status_; }
    // nullptr detaches. The observer must outlive the run.
    void setObserver(JobObserver* observer) { observer_ = observer; }

protected:
    void setProgressRange(int minimum, int maximum);
    void setProgress(int value);
    void setStatus(std::string text);

private:
    JobProgress progress_;
    std::string status_;
    JobObserver* observer_ = nullptr;
};

// A Cancel request, set by a button or a signal handler (thread-safe), read
// by the driver between phases.
class JobCancel {
public:
    void request() { requested_.store(true, std::memory_order_relaxed); }
    bool requested() const { return requested_.load(std::memory_order_relaxed); }
    void reset() { requested_.store(false, std::memory_order_relaxed); }

private:
    std::atomic<bool> requested_{false};
};

// Runs `job` to its end on `clock`: each step's delay is paused on the
// clock, then its timer id is fired. A Cancel request, or the program being
// interrupted (platform::requestInterrupt), is honoured between phases. `maxPhases` bounds a job that never
// ends (a fault in the job): the run then ends with Cancel and `code` -1.
JobResult runJob(Job& job, Clock& clock, const JobCancel* cancel = nullptr,
                 std::uint64_t maxPhases = 100'000'000);

} // namespace platform
