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
    platform::cli::Record tail;      // stdout after the lines; JSON members after data
    platform::cli::Record jsonOnly;  // JSON members only (what the lines show in the lines form)
    bool listed = false;             // the result is a port list (JSON "ports")
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
bool ResolveConnection(const Options& options, const platform::DeviceRoots& roots,
                       const platform::RegistryStore& store, Connection& connection, JobResult& result);

// `connection` as key/value fields.
platform::cli::Record ConnectionRecord(const Connection& connection, const platform::DeviceRoots& roots);

// Runs the command on these devices and this clock.
JobResult runJob(const Options& options, platform::Devices& devices, platform::Clock& clock,
                 const platform::RegistryStore& store);

// 128 + signal, error "signal", the command's own error kept as a note.
void markStopped(JobResult& result, int signal, const char* signalName);

// Prints the result and returns the exit status.
int printResult(const JobResult& result, bool json, std::ostream& out, std::ostream& err);

} // namespace telvara::cli
