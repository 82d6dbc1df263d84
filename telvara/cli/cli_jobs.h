// telvara-cli's commands and how their results are printed.
//
// A command returns a JobResult instead of printing, so one place chooses
// between the lines form and --json, folds the printer's messages onto one
// line, and turns a result into a stopped one when a signal arrived.
#pragma once

#include "telvara/cli/cli_options.h"
#include "telvara/link/ConnectionCheck.h"
#include "telvara/link/PortLink.h"

#include "platform/cli/output.h"
#include "platform/devices.h"
#include "platform/registry_store.h"
#include "platform/spooler/spooler.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace telvara::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct JobResult {
    int exitStatus = kExitOk;
    platform::cli::Record data;      // stdout: key/value lines or JSON members
    std::vector<std::string> lines;  // stdout lines without keys (ports)
    bool listed = false;             // the result is a list of `lines`
    std::string listKey = "ports";   // its JSON member
    std::string linePrefix;          // before each line in the lines form ("resumed ")
    std::vector<std::string> status; // the printer's and the program's messages, "status: " lines
    std::string reason;              // the OS reason
    std::vector<std::string> notes;
    std::string hint;
    std::string errorCode;
    std::string errorMessage;
    bool completedBeforeStop = false;

    bool failed() const { return !errorCode.empty(); }
};

JobResult failure(int exitStatus, std::string code, std::string_view message);

// "A\r\n\r\nB" -> "A B": every run of line breaks becomes one space.
std::string FoldLines(std::string_view text);

// The settings the command line asks for: the preset of --printer, then the
// options, the interface's first port when no --port is given.
struct Connection {
    LinkKind kind = LinkKind::Serial;
    LinkConfig config;
};
// `spooler` answers --printer with a queue's name; null: such a name keeps
// the defaults with a notice.
bool ResolveConnection(const Options& options, const platform::DeviceRoots& roots,
                       const platform::RegistryStore& store, platform::spooler::Spooler* spooler,
                       Connection& connection, JobResult& result);

// `connection` as key/value fields.
platform::cli::Record ConnectionRecord(const Connection& connection, const platform::DeviceRoots& roots);

// Makes the print spooler's client. The command line's connects to the local
// scheduler; tests hand in a fake.
using SpoolerFactory = std::function<std::unique_ptr<platform::spooler::Spooler>()>;

// Runs the command on these devices and this clock. Unless --no-takeover,
// the spooler is asked at the start to resume the queues of runs that are
// gone, check and selftest stop the queues on their serial or parallel port
// before it is opened, and those are resumed before this returns (a stop
// signal ends the waits, so that holds for SIGINT, SIGTERM and SIGHUP too).
// An empty factory leaves the spooler out altogether.
JobResult runJob(const Options& options, platform::Devices& devices, platform::Clock& clock,
                 const platform::RegistryStore& store, const SpoolerFactory& spoolers = {});

// 128 + signal, error "signal", the command's own error kept as a note.
void markStopped(JobResult& result, int signal, const char* signalName);

// Prints the result and returns the exit status.
int printResult(const JobResult& result, bool json, std::ostream& out, std::ostream& err);

} // namespace telvara::cli
