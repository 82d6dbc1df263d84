// corvane-cli's NV image commands.
#pragma once

#include "corvane/cli/cli_jobs.h"

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace corvane::cli {

// Offline: nv convert, nv preview. No port is opened.
JobResult runNvOffline(const Options& options, std::ostream& err);

// On a printer: nv list, download, print, delete. `settings` is the
// resolved connection.
JobResult runNvPrinter(const Options& options, const PortSettings& settings, std::ostream& err);

// "KMP-Z800" or "800" -> 800; nullopt for anything else.
std::optional<int> NvModelCode(const std::string& text);
// A typed key with \xHH and \\ escapes resolved; nullopt for a bad escape.
std::optional<std::string> UnescapeKey(const std::string& typed);

} // namespace corvane::cli
