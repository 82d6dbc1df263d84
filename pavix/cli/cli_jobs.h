// pavix-cli's commands and how their results are printed.
//
// A command returns a JobResult instead of printing, so one place chooses
// between the lines form and --json, escapes what came from the board, and
// turns a result into a stopped one when a signal arrived.
#pragma once

#include "pavix/cli/cli_options.h"
#include "pavix/link/IfLink.h"
#include "platform/cli/output.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace pavix::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

// The messages the technician knows from the windows.
inline constexpr const char* kPortOpenMessage = "Failed a port open!";
inline constexpr const char* kNoUsbMessage = "Not Connect USB Device and Power off!";
inline constexpr const char* kNotConnectedMessage = "Is not connected with the printer.";
inline constexpr const char* kBssFailedMessage = "Failed in BSS information acquisitions";
inline constexpr const char* kBssFailedAdvice = "Printer all the member and connection IP or confirm Port.";

struct JobResult {
    int exitStatus = kExitOk;
    // Success, lines form: printed on stdout as it is.
    std::string text;
    // Success and failure, JSON form: the members after "ok" (and the error
    // members), already formatted; empty when there are none.
    std::string jsonMembers;
    // Failure: stderr, in this order, before the error line.
    std::string reason;              // the OS reason
    std::vector<std::string> notes;  // what went wrong in the exchange
    std::string hint;                // what the technician can do
    std::string errorCode;           // "open", "link", ...; empty on success
    std::string errorMessage;        // the error line's message
    std::string jsonMessage;         // the JSON message, when it differs
    // Set by markStopped when the command had succeeded: its data is shown.
    bool completedBeforeStop = false;
    // Status lines for stderr (shown on success too).
    std::vector<std::string> status;

    bool failed() const { return !errorCode.empty(); }
};

JobResult failure(int exitStatus, std::string code, std::string message);

// The lines form and JSON members of the commands' data.
std::string PortsText(const std::vector<std::string>& serial, const std::vector<UsbDevice>& usb);
std::string PortsJsonMembers(const std::vector<std::string>& serial, const std::vector<UsbDevice>& usb);

// What an open that did not succeed means for the technician.
JobResult OpenFailure(OpenResult result, const PrinterPort& port);
// A failed procedure: the error line for its command, the stage and the
// OS reason before it.
JobResult LinkFailure(const LinkResult& result, int firstByteTimeoutMs, bool bss);

// 128 + signal, error "signal", the command's own error kept as a note.
void markStopped(JobResult& result, int signal, const char* signalName);

// Progress for a person watching; logs and pipes get none. The sink takes
// the link's int percent and the certificate upload's unsigned one alike.
class TerminalProgress {
public:
    explicit TerminalProgress(std::ostream& err);
    ~TerminalProgress();
    TerminalProgress(const TerminalProgress&) = delete;
    TerminalProgress& operator=(const TerminalProgress&) = delete;
    template <typename Percent>
    std::function<void(Percent)> sink()
    {
        if (!terminal_)
            return {};
        return [this](Percent percent) { show(static_cast<long>(percent)); };
    }

private:
    void show(long percent);
    std::ostream& err_;
    bool terminal_;
    bool open_ = false;
};

// Opens the board --port names, with the --read-timeout bound for replies;
// on failure `failed` holds the open failure to report.
bool OpenBoard(PrinterPort& port, const Options& options, JobResult& failed);

// Prints the result and returns the exit status.
int printResult(const JobResult& result, bool json, std::ostream& out, std::ostream& err);

// Runs the command on the system's devices; progress goes to `err` when it
// is a terminal.
JobResult runJob(const Options& options, std::ostream& err);

} // namespace pavix::cli
