// corvane-cli's command line: its option table and what a parsed command
// line means for the connection.
#pragma once

#include "corvane/link/CDev.h"
#include "platform/cli/options.h"

#include <string>
#include <vector>

namespace corvane::cli {

struct Options {
    bool help = false;
    std::string command;              // "identify", "firmware", "switches get", ...
    std::vector<std::string> arguments;
    bool json = false;
    bool portGiven = false;
    PortSettings settings{"", 115200, 0, 8, 0, 1};
    int tcpPort = 9100;
    int stallTimeoutMs = 60000;
    bool baudGiven = false;
    bool tcpPortGiven = false;
    bool lineGiven = false;           // any of data bits, parity, stop bits, flow
    std::vector<std::string> sets;    // switches set: --set KEY=VALUE, in order
    bool bluetooth = false;           // switches set: write the Bluetooth settings too
    // nv: the images' printer and conversion.
    std::string model;                // --model NAME|CODE ("" = KMP-Z400)
    bool indexedFamily = false;       // --family indexed
    bool familyGiven = false;
    std::vector<int> brightness;      // --brightness, in order
    std::vector<std::string> keys;    // --key, as typed (escapes not yet resolved)
    std::string out;                  // --out FILE
    bool indexGiven = false;          // nv print --index N
    int index = 0;
    bool all = false;                 // nv print/delete --all
};

const platform::cli::ProgramTable& programTable();

// False with a one-line reason on bad usage. `words` excludes the program name.
bool parseOptions(const std::vector<std::string>& words, Options& options, std::string& problem);
std::string usageText();
std::string helpText();

} // namespace corvane::cli
