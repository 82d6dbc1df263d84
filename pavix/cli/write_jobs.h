// pavix-cli's writing commands:
//   config write FILE [--dry-run]   read the board (as the window's Connect
//                                   does), apply FILE, check every page, the
//                                   WEP rule and the combinations, write
//   cert upload --type T FILE       check the file, read the board, upload
// Both refuse a bad file (exit 2) before the port is opened, so a refused
// file sends nothing at all.
#pragma once

#include "pavix/cli/cli_jobs.h"
#include "pavix/config/IfInfoRows.h"

#include <array>
#include <ostream>
#include <string>

namespace pavix::cli {

// "No\tName\tValue" and the 27 rows, values escaped.
std::string InformationRowsText(const std::array<InfoRow, kInfoRowCount>& rows);

JobResult configWrite(const Options& options, std::ostream& err);
JobResult certUpload(const Options& options, std::ostream& err);

} // namespace pavix::cli
