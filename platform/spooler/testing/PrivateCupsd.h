// A private CUPS scheduler for tests: its own configuration, spool, cache,
// state, logs and Unix socket in a temporary directory, no TCP listener, no
// browsing, nothing under /etc/cups or /var. The system's scheduler is never
// contacted.
//
// The queues' backends are small scripts of our own (the test machine need
// not have the real serial or parallel backends, and the scheduler refuses a
// device URI whose scheme has no backend): they swallow the job and then
// hold the queue in "printing" for holdSeconds, which is how a test gets a
// queue that is busy for a bounded time. The scheduler's other helper
// programs are the installed ones.
//
// Runs as root (the scheduler then drops to the "lp" user, or "nobody") and
// as a normal user (it keeps running as that user).
#pragma once

#include "platform/spooler/spooler.h"

#include <string>
#include <sys/types.h>

namespace platform::spooler::testing {

class PrivateCupsd {
public:
    static constexpr const char* kDaemon = "/usr/sbin/cupsd";
    static bool available();

    PrivateCupsd() = default;
    ~PrivateCupsd();
    PrivateCupsd(const PrivateCupsd&) = delete;
    PrivateCupsd& operator=(const PrivateCupsd&) = delete;

    // Writes the configuration, starts the scheduler in the foreground and
    // waits (at most 15 s) until it answers on its socket.
    bool start(std::string& error, int holdSeconds = 30);
    // SIGTERM, at most 10 s for it to end, then SIGKILL. Removes the directory.
    void stop();
    bool running() const { return pid_ > 0; }

    const std::string& socketPath() const { return socket_; }
    const std::string& directory() const { return dir_; }
    CupsOptions options() const;

    // Administration the code under test does not do, over IPP.
    bool addQueue(const std::string& name, const std::string& deviceUri, std::string& error);
    bool deleteQueue(const std::string& name, std::string& error);
    // Submits a small raw job; the backend holds the queue busy.
    bool submitJob(const std::string& name, std::string& error);
    bool cancelJobs(const std::string& name, std::string& error);
    // Polls every 50 ms for at most timeoutMs.
    bool waitForState(const std::string& name, QueueState state, int timeoutMs);

private:
    bool writeFiles(std::string& error, int holdSeconds);
    bool simpleRequest(int operation, const std::string& name, std::string& error);

    std::string dir_;
    std::string socket_;
    pid_t pid_ = -1;
};

} // namespace platform::spooler::testing
