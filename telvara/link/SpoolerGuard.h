// The print spooler's side of one program run: the queues that share the
// printer's serial or parallel port are stopped before the port is opened
// and resumed when the run ends.
//
//   construction   resumes the queues an earlier run stopped and could not
//                  give back (killed, crashed): restoreStale()
//   beforeCheck    serial and parallel only: the device the link will open,
//                  as ChooseKind resolves it, handed to QueueTakeover
//                    Ok        go on (the stopped queues are remembered)
//                    Warning   go on, and tell the user why nothing was
//                              stopped (no scheduler, no permission)
//                    Refused   a queue is printing on that device: the port
//                              must not be opened; the queue is named
//   restore        resumes what this run stopped; the destructor does it too
//
// A stop signal never runs the restore in its handler (the exchange with the
// scheduler is not async-signal-safe): the handler ends the waits, the job
// returns, and the guard's owner leaves through its normal path, where the
// destructor resumes the queues. A front end that loses the guard (a quit
// hook) calls restoreRegisteredQueues() on any Spooler.
//
// Without a spooler (null) every call is a no-op and beforeCheck warns once
// per call, so a machine without a scheduler still checks its printer.
#pragma once

#include "telvara/link/ConnectionCheck.h"
#include "telvara/link/PortLink.h"
#include "telvara/link/QueueTakeover.h"

#include "platform/devices.h"
#include "platform/spooler/spooler.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace telvara {

enum class GuardStatus { Ok, Warning, Refused };

struct GuardOutcome {
    GuardStatus status = GuardStatus::Ok;
    std::vector<std::string> stopped;  // queues stopped by this call
    std::string busyQueue;             // Refused: the printing queue
    std::string text;                  // Warning / Refused: one line saying why
};

class SpoolerGuard {
public:
    // Takes the spooler (may be null). Runs the stale restore at once.
    explicit SpoolerGuard(std::unique_ptr<platform::spooler::Spooler> spooler,
                          link::ProcessIdentity self = link::currentProcess());
    ~SpoolerGuard();
    SpoolerGuard(const SpoolerGuard&) = delete;
    SpoolerGuard& operator=(const SpoolerGuard&) = delete;

    // What the start-up restore did: queues resumed, or why it could not
    // look (empty detail when there was simply no scheduler).
    const link::RestoreResult& staleRestore() const { return stale_; }
    // The first exchange with the scheduler: NoServer when there was none.
    const platform::spooler::Result& startProbe() const { return probe_; }

    // Ethernet and USB ports are no spooler's: Ok without asking.
    GuardOutcome beforeCheck(const KindChoice& choice);
    GuardOutcome beforeCheck(const LinkConfig& config, const platform::DeviceRoots& roots);

    // The ConnectionCheck hook: a refusal becomes the open failure ("Can't
    // open port and Printer is disconnected", the queue in the detail); a
    // warning goes to `warn` and the check goes on.
    BeforeOpen hook(std::function<void(const std::string& warning)> warn);

    link::RestoreResult restore();
    std::vector<std::string> stoppedQueues() const;
    platform::spooler::Spooler* spooler() { return spooler_.get(); }

private:
    std::unique_ptr<platform::spooler::Spooler> spooler_;
    std::unique_ptr<link::QueueTakeover> takeover_;
    link::RestoreResult stale_;
    platform::spooler::Result probe_;
};

} // namespace telvara
