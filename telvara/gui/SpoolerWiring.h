// The print spooler's part in the main window: a printer name on the
// command line presets the window from the registry store or the printer's
// queue, each check on a serial or parallel port first stops the queues on
// that device, and the end of the window resumes them. The guard's own
// start resumes what a killed or crashed run left stopped.
#pragma once

#include "telvara/gui/CTelvaraDlg.h"
#include "telvara/link/SpoolerGuard.h"

#include "platform/registry_store.h"

#include <functional>
#include <string>

namespace telvara {

// `report` hears of queues that could not be resumed (one line each run);
// the guard and the store must outlive the window.
void WireSpooler(TelvaraHooks& hooks, SpoolerGuard& guard, const platform::RegistryStore& registry,
                 std::function<void(const std::string& problem)> report);

// One line for queues that could not be resumed; empty when all were.
std::string RestoreProblem(const link::RestoreResult& result);

} // namespace telvara
