#pragma once

#include "corvane/cli/cli_options.h"

#include <ostream>

namespace corvane::cli {

// Runs the chosen command; returns the exit status (0 ok, 1 failed, 2 usage).
int runJob(const Options& options, std::ostream& out, std::ostream& err);

} // namespace corvane::cli
