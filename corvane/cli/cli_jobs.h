// corvane-cli's jobs and how their results are printed.
//
// A job returns a JobResult instead of printing it, so that one place
// decides between the "key: value" form and --json, escapes what came from
// the printer or a file, and turns a result into an interrupted one when a
// stop signal arrived.
#pragma once

#include "corvane/cli/cli_options.h"
#include "corvane/link/CCommonUtil.h"
#include "platform/cli/output.h"
#include "platform/job.h"

#include <ostream>
#include <string>
#include <vector>

namespace corvane::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct JobResult {
    int exitStatus = kExitOk;
    // Success: printed on stdout (as lines, or as JSON with "ok": true).
    // Failure: only in the JSON object, after the error fields.
    platform::cli::Record data;
    // Printed instead of data.lines() on success, when set (firmware's
    // success message).
    std::string plainText;
    // Failure: stderr, in this order, before the error line.
    std::string reason;               // the OS reason
    std::string hint;                 // what the technician can do
    std::vector<std::string> notes;   // further lines ("sent 4096 of 10000 bytes")
    std::string errorCode;            // "301", "open", ...; empty on success
    std::string errorMessage;
    // Set by markStopped when the job itself had succeeded: its data is
    // still shown.
    bool completedBeforeStop = false;

    bool failed() const { return !errorCode.empty(); }
};

JobResult failure(int exitStatus, std::string code, std::string message);
// The OS reason and, where there is one, what to do about it.
void addOsError(JobResult& result, const platform::OsError& error, platform::DeviceKind kind);

// What identify prints for a printer that answered.
platform::cli::Record identityRecord(const CCommonUtil& util);

// A job's result after a stop signal: exit 128 + signal, error "signal", the
// job's own error (if any) kept as a note before it.
void markStopped(JobResult& result, int signal, const char* signalName);

// Prints the result (stdout: data; stderr: reasons and the error line) and
// returns the exit status.
int printResult(const JobResult& result, bool json, std::ostream& out, std::ostream& err);

// Runs a job on the system clock, showing its status on stderr when that is
// a terminal, as the progress window would.
platform::JobResult runWithProgress(platform::Job& job, std::ostream& err);

// Runs the chosen command. Status and progress go to `err` while it runs.
JobResult runJob(const Options& options, std::ostream& err);

} // namespace corvane::cli
