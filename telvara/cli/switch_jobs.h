// telvara-cli's memory switch commands: get, set, sts show, sts make,
// print-status and print-codepage. The printer commands run the connection
// check first, as the window opens its status dialog only after one, then
// the status dialog's jobs to their end on the clock.
#pragma once

#include "telvara/cli/cli_jobs.h"

namespace telvara::cli {

JobResult runSwitchCommand(const Options& options, platform::Devices& devices, platform::Clock& clock,
                           const platform::RegistryStore& store, platform::spooler::Spooler* spooler = nullptr,
                           const BeforeOpen& beforeOpen = {});

} // namespace telvara::cli
