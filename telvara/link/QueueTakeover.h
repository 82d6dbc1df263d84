// Borrowing a serial or parallel port from the print spooler.
//
// A printer queue whose device is the port we are about to open would open
// it too, the moment a job arrives. So before a connection check every local
// queue whose serial: or parallel: device is the chosen device (after
// resolving symlinks, the URI's options stripped; an exact match, so COM1
// never takes COM10's queue) is stopped with the state message
// "Port in use by Telvara (pid N on HOST)" and remembered:
//
// - an idle queue is stopped and remembered;
// - a queue already stopped is somebody else's decision and is left alone
//   (and not resumed afterwards);
// - a queue that is printing makes the takeover fail before anything is
//   stopped: the port is in use, and the result names the queue;
// - no scheduler or no permission: a warning, and the check goes on.
//
// restore() resumes exactly the queues this object stopped. The marker in
// the state message outlives a crash or kill -9: restoreStale(), called at
// every start, resumes any queue stopped with our marker for this host whose
// process is gone.
//
// Signals: resuming a queue is an IPC exchange with the scheduler, which is
// not async-signal-safe, so it never runs in a handler. The command line
// installs platform::cli::installStopSignals(), whose handler only records
// the signal and ends the blocking waits; the job then returns, main sees
// stopSignal() != 0 and leaves through its normal path, where the
// QueueTakeover's destructor (or restoreRegisteredQueues() for a caller that
// no longer holds the object) resumes the queues. Every queue stopped by any
// QueueTakeover in this process is in a process-wide registry until it is
// resumed, so a GUI's quit hook can do the same. What a handler cannot cover
// (SIGKILL, a crash) the marker and restoreStale() do.
#pragma once

#include "platform/spooler/spooler.h"

#include <functional>
#include <string>
#include <vector>

namespace telvara::link {

struct ProcessIdentity {
    long pid = 0;
    std::string host;
    // Whether a process with this pid runs on this host.
    std::function<bool(long pid)> alive;
    // The device a path names: symlinks resolved; a path that does not
    // resolve is taken as written.
    std::function<std::string(const std::string& path)> resolve;
};

// This process: getpid(), gethostname(), kill(pid, 0), realpath().
ProcessIdentity currentProcess();

// "Port in use by Telvara (pid N on HOST)".
std::string takeoverMarker(long pid, const std::string& host);
// The pid and host of a marker message; false for any other text.
bool parseTakeoverMarker(const std::string& message, long& pid, std::string& host);
// The device path of a serial: or parallel: URI (percent escapes decoded,
// "?options" stripped); empty for any other scheme or an empty path.
std::string portDeviceOfUri(const std::string& deviceUri);

enum class TakeoverStatus {
    Ok,         // every matching idle queue is stopped (possibly none)
    Warning,    // the spooler could not be asked or refused: go on, say why
    QueueBusy,  // a matching queue is printing: do not open the port
};

struct TakeoverResult {
    TakeoverStatus status = TakeoverStatus::Ok;
    std::vector<std::string> stopped;  // queues stopped by this call
    std::string busyQueue;             // QueueBusy: the printing queue
    std::string detail;                // Warning / QueueBusy: one line for the details
};

struct RestoreResult {
    std::vector<std::string> resumed;
    std::vector<std::string> failed;   // queues that could not be resumed
    std::string detail;                // the first failure's reason
    bool ok() const { return failed.empty() && detail.empty(); }
};

class QueueTakeover {
public:
    QueueTakeover(platform::spooler::Spooler& spooler, ProcessIdentity self);
    ~QueueTakeover();  // restore()
    QueueTakeover(const QueueTakeover&) = delete;
    QueueTakeover& operator=(const QueueTakeover&) = delete;

    TakeoverResult takeOver(const std::string& devicePath);
    RestoreResult restore();
    RestoreResult restoreStale();

    const std::vector<std::string>& stoppedQueues() const { return stopped_; }

private:
    platform::spooler::Spooler& spooler_;
    ProcessIdentity self_;
    std::vector<std::string> stopped_;
};

// The queues stopped by any QueueTakeover of this process and not yet resumed.
std::vector<std::string> registeredQueues();
// Resumes every registered queue (the fallback when the QueueTakeover that
// stopped them is out of reach). Not for signal handlers.
RestoreResult restoreRegisteredQueues(platform::spooler::Spooler& spooler);

} // namespace telvara::link
