// telvara-cli's command line: its option table and what a parsed command
// line asks for.
#pragma once

#include "telvara/link/PortLink.h"

#include "platform/cli/options.h"

#include <optional>
#include <string>
#include <vector>

namespace telvara::cli {

struct Options {
    bool help = false;
    bool version = false;
    bool json = false;
    std::string command;                 // connection, ports, check, selftest, restore-queues
    std::optional<LinkKind> interface;   // --interface
    std::optional<std::string> port;     // --port NAME (Ethernet: the address)
    std::optional<int> baudRate;
    std::optional<int> dataBits;
    std::optional<int> parity;           // 0..4
    std::optional<int> stopBits;         // 0 one, 1 one and a half, 2 two
    std::optional<int> flowControl;      // 0 hardware, 1 xonxoff, 2 none
    std::optional<int> tcpPort;
    std::string printer;                 // --printer QUEUE
    bool noTakeover = false;             // the spooler is not touched at all
};

const platform::cli::ProgramTable& programTable();

// False with a one-line reason on bad usage. `words` excludes the program
// name.
bool parseOptions(const std::vector<std::string>& words, Options& options, std::string& problem);
std::string usageText();
std::string helpText();

// The names the options use for the settings.
std::string_view ParityName(int parity);
std::string_view StopBitsName(int stopBits);
std::string_view FlowName(int flow);

} // namespace telvara::cli
