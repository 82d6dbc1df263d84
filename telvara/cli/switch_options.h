// The memory switch commands of telvara-cli: their rows in the option table
// and what a parsed command line asks of them.
//
//   get [--save FILE.sts]
//   set [--from FILE.sts] [--initialize] [SETTINGS] [--no-get]
//   sts show FILE.sts | sts make FILE.sts [--initialize] [SETTINGS]
//   print-status | print-codepage
//
// SETTINGS keep their command-line order for --switch and --pin, which the
// table's per-option values cannot tell, so they are read again from the
// words (the table has already checked the grammar).
#pragma once

#include "telvara/status/StatusCli.h"

#include "platform/cli/options.h"

#include <string>
#include <vector>

namespace telvara::cli {

struct SwitchArgs {
    std::string save;        // get --save
    std::string from;        // set --from
    bool initialize = false; // set, sts make
    bool noGet = false;      // set --no-get
    SettingsRequest settings;
};

std::vector<platform::cli::CommandRow> switchCommandRows();
std::vector<platform::cli::OptionRow> switchOptionRows();
std::vector<platform::cli::ResultCodeRow> switchResultCodes();
bool IsSwitchCommand(const std::string& command);

// False with a one-line reason when an option does not belong to the command
// or a SETTINGS value is wrong. `words` excludes the program name.
bool parseSwitchArgs(const platform::cli::ParsedArgs& args, const std::vector<std::string>& words,
                     const std::string& command, SwitchArgs& out, std::string& problem);

} // namespace telvara::cli
