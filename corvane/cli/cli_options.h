#pragma once

#include "corvane/link/CDev.h"

#include <string>
#include <vector>

namespace corvane::cli {

struct Options {
    bool help = false;
    std::string command;              // "identify" or "firmware"
    std::vector<std::string> arguments;
    bool portGiven = false;
    PortSettings settings{"", 115200, 0, 8, 0, 1};
    int tcpPort = 9100;
    bool baudGiven = false;
    bool tcpPortGiven = false;
    bool lineGiven = false;           // any of data bits, parity, stop bits, flow
};

// False with a reason on bad usage.
bool parseOptions(int argc, char** argv, Options& options, std::string& problem);
std::string usageText();
std::string helpText();

} // namespace corvane::cli
