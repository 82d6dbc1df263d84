// pavix-cli's command line: its option table and what a parsed command line
// asks for.
#pragma once

#include "pavix/cli/net_options.h"
#include "platform/cli/options.h"

#include <string>
#include <vector>

namespace pavix::cli {

struct Options {
    bool help = false;
    bool version = false;
    std::string command;        // "ports", "sysinfo", "config read", "bss", "config write", "cert upload"
    bool json = false;
    std::string port;           // --port: PATH, COMn or USBnnn
    int readTimeoutMs = 5000;   // --read-timeout: bound for a reply's first byte
    std::string output;         // config read --output FILE
    std::string tcpAddress;     // bss --tcp ADDRESS
    int tcpPort = 3318;         // bss --tcp-port N
    std::string file;           // config write FILE, cert upload FILE
    bool dryRun = false;        // config write --dry-run
    std::string certType = "ca"; // cert upload --type ca|client-key|client-pem
    NetOptions net;             // search, show, set, web
};

const platform::cli::ProgramTable& programTable();

// False with a one-line reason on bad usage. `words` excludes the program
// name.
bool parseOptions(const std::vector<std::string>& words, Options& options, std::string& problem);
std::string usageText();
std::string helpText();

} // namespace pavix::cli
