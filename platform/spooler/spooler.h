// The print spooler's queues, as far as a program that borrows a printer's
// port needs them: list the local queues with their device URIs and states,
// stop a queue with a state message, start it again, read its message.
//
// Everything goes through the Spooler interface so that the code deciding
// which queues to stop can be tested against a fake; CupsSpooler speaks IPP
// to the local scheduler. Every call is bounded (connect and each reply wait
// have a time-out, a scheduler that is gone fails at once), never prompts
// for a password and never shows anything: it returns a Result carrying the
// IPP status or the OS reason.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace platform::spooler {

enum class QueueState { Idle, Printing, Stopped };

const char* queueStateName(QueueState state); // "idle", "printing", "stopped"

struct QueueInfo {
    std::string name;
    std::string deviceUri;
    QueueState state = QueueState::Idle;
    std::string stateMessage;
};

enum class Status {
    Ok,
    NoServer,      // no scheduler to talk to (not installed, not running, socket gone)
    NotPermitted,  // the scheduler refused: authentication or authorisation
    NotFound,      // no such queue
    Failed,        // any other refusal, a time-out or a malformed answer
};

struct Result {
    Status status = Status::Ok;
    int ippStatus = 0;   // the scheduler's IPP status code; 0 when no answer came
    std::string reason;  // the scheduler's or the OS's text, empty when Ok

    bool ok() const { return status == Status::Ok; }
    // "pause Q1: client-error-forbidden (Forbidden)", "list queues: no scheduler at
    // /run/cups/cups.sock: No such file or directory"
    std::string describe(const std::string& operation) const;
};

class Spooler {
public:
    virtual ~Spooler() = default;
    // Local queues only: classes and queues shared from other hosts are left out.
    virtual Result listQueues(std::vector<QueueInfo>& queues) = 0;
    // Stops the queue (it keeps accepting jobs, it just does not print them)
    // and sets its state message.
    virtual Result pauseQueue(const std::string& name, const std::string& message) = 0;
    virtual Result resumeQueue(const std::string& name) = 0;
    virtual Result stateMessage(const std::string& name, std::string& message) = 0;
};

struct CupsOptions {
    // A host name or the path of the scheduler's Unix socket. Empty: the
    // CUPS_SERVER environment variable, then the client's configured default.
    std::string server;
    int timeoutMs = 5000;  // connect, and each wait for a reply
};

std::unique_ptr<Spooler> makeCupsSpooler(const CupsOptions& options = {});

// Upper bounds on what one answer may carry; more is refused as malformed
// rather than grown without limit.
inline constexpr std::size_t kMaxQueues = 4096;
inline constexpr std::size_t kMaxTextLength = 4096;

} // namespace platform::spooler
