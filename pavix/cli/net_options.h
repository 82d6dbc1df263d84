// pavix-cli's network commands on the command line: search, show, set and
// web, their rows in the option table and what a parsed line asks for.
//
// The rows live here so that the shared table in cli_options.cpp only
// appends them; the checks that go with them run after the table parse.
#pragma once

#include "pavix/search/DeviceRecord.h"
#include "platform/cli/options.h"

#include <optional>
#include <string>
#include <vector>

namespace pavix::cli {

// Which found device a command means: its number in the search or its MAC.
struct DeviceChoice {
    std::optional<int> number;
    std::optional<search::MacAddress> mac;
    std::string typed; // as given, for the error line
};

struct NetOptions {
    search::SearchMode mode = search::SearchMode::Ethernet;
    DeviceChoice device;                 // show, set, web
    int waitMs = 1100;                   // --wait: how long answers are taken
    std::string interfaceName;           // --interface
    std::string target;                  // --target (empty: the broadcast plan)
    std::string bind;                    // --bind
    std::optional<int> localPort;        // --local-port
    std::optional<int> remotePort;       // --remote-port
    // set: the inputs to change (unset: as the device reported them).
    std::optional<std::string> ip, subnet, gateway;
    std::optional<std::string> printerPort; // digits, checked like the window's input
    std::optional<std::string> inactivity;
    std::optional<bool> dhcp;
    std::optional<std::string> baud;     // a rate from the baud table
};

bool isNetCommand(const std::string& command);
std::vector<platform::cli::CommandRow> netCommandRows();
std::vector<platform::cli::OptionRow> netOptionRows();
// The option names only the network commands take.
const std::vector<std::string>& netOptionNames();

// Parses "AA:BB:CC:DD:EE:FF" (':' or '-', either case) or a device number.
std::optional<DeviceChoice> parseDeviceChoice(const std::string& text);

// The checks after the table parse for a network command; false with a
// one-line problem.
bool parseNetOptions(const platform::cli::ParsedArgs& args, NetOptions& net, std::string& problem);

} // namespace pavix::cli
