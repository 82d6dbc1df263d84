// corvane-cli's memory switch commands: switches get, set and default.
#pragma once

#include "corvane/cli/cli_jobs.h"

#include <ostream>

namespace corvane::cli {

// `settings` is the resolved connection. Warnings and progress go to `err`
// while the job runs.
JobResult runSwitches(const Options& options, const PortSettings& settings, std::ostream& err);

} // namespace corvane::cli
