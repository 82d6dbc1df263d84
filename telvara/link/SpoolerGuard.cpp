#include "telvara/link/SpoolerGuard.h"

#include "telvara/link/LinkTexts.h"

namespace telvara {

SpoolerGuard::SpoolerGuard(std::unique_ptr<platform::spooler::Spooler> spooler, link::ProcessIdentity self)
    : spooler_(std::move(spooler))
{
    if (!spooler_) {
        probe_.status = platform::spooler::Status::NoServer;
        probe_.reason = "no print spooler";
        return;
    }
    takeover_ = std::make_unique<link::QueueTakeover>(*spooler_, std::move(self));
    // No scheduler at all means no queue can hold the port either: nothing
    // to restore and nothing worth a warning before a check needs it.
    std::vector<platform::spooler::QueueInfo> queues;
    probe_ = spooler_->listQueues(queues);
    if (probe_.status == platform::spooler::Status::NoServer)
        return;
    stale_ = takeover_->restoreStale();
}

SpoolerGuard::~SpoolerGuard()
{
    restore();
}

GuardOutcome SpoolerGuard::beforeCheck(const KindChoice& choice)
{
    GuardOutcome out;
    if (!choice.accepted || (choice.kind != LinkKind::Serial && choice.kind != LinkKind::Parallel))
        return out;
    if (!takeover_) {
        out.status = GuardStatus::Warning;
        out.text = "no print spooler to ask; printer queues on " + choice.device + " were not stopped";
        return out;
    }
    const link::TakeoverResult r = takeover_->takeOver(choice.device);
    out.stopped = r.stopped;
    switch (r.status) {
    case link::TakeoverStatus::Ok:
        break;
    case link::TakeoverStatus::Warning:
        out.status = GuardStatus::Warning;
        out.text = r.detail + "; going on without stopping the printer queues on " + choice.device;
        break;
    case link::TakeoverStatus::QueueBusy:
        out.status = GuardStatus::Refused;
        out.busyQueue = r.busyQueue;
        out.text = r.detail;
        break;
    }
    return out;
}

GuardOutcome SpoolerGuard::beforeCheck(const LinkConfig& config, const platform::DeviceRoots& roots)
{
    return beforeCheck(ChooseKind(config, roots));
}

BeforeOpen SpoolerGuard::hook(std::function<void(const std::string& warning)> warn)
{
    return [this, warn = std::move(warn)](const KindChoice& choice, CheckResult& failed) {
        const GuardOutcome out = beforeCheck(choice);
        if (out.status == GuardStatus::Warning && warn)
            warn(out.text);
        if (out.status != GuardStatus::Refused)
            return true;
        failed = CheckResult{};
        failed.errorKey = "open";
        failed.message = texts::kOpenFailed;
        failed.caption = texts::kWarning;
        failed.detail = out.text;
        return false;
    };
}

link::RestoreResult SpoolerGuard::restore()
{
    if (!takeover_)
        return {};
    return takeover_->restore();
}

std::vector<std::string> SpoolerGuard::stoppedQueues() const
{
    return takeover_ ? takeover_->stoppedQueues() : std::vector<std::string>{};
}

} // namespace telvara
