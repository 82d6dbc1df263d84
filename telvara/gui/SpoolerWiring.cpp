#include "telvara/gui/SpoolerWiring.h"

#include "telvara/link/PrinterPreset.h"

namespace telvara {

std::string RestoreProblem(const link::RestoreResult& result)
{
    if (result.ok())
        return {};
    std::string queues;
    for (const std::string& name : result.failed)
        queues += (queues.empty() ? "" : ", ") + name;
    std::string line = "The printer queues could not all be resumed";
    if (!queues.empty())
        line += " (" + queues + ")";
    if (!result.detail.empty())
        line += ": " + result.detail;
    return line + ". 'telvara-cli restore-queues' or the next start of Telvara resumes them.";
}

void WireSpooler(TelvaraHooks& hooks, SpoolerGuard& guard, const platform::RegistryStore& registry,
                 std::function<void(const std::string& problem)> report)
{
    hooks.preset = [&guard, &registry](const std::string& printerName, const LinkConfig& defaults) {
        return PresetForPrinter(printerName, registry, guard.spooler(), defaults);
    };
    hooks.takeOver = [&guard](std::function<void(const std::string&)> warn) { return guard.hook(std::move(warn)); };
    hooks.giveBack = [&guard, report] {
        const std::string problem = RestoreProblem(guard.restore());
        if (!problem.empty() && report)
            report(problem);
    };
}

} // namespace telvara
