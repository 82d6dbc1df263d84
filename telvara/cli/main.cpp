// telvara-cli: check the connection to a KTP-M880/KTP-M882 POS printer and
// print its self test, borrowing the port from the print spooler's queues
// for the time of the command. Exit status: 0 success, 1 the port or the printer
// failed, 2 usage error, 128 + signal when stopped by SIGINT, SIGTERM or
// SIGHUP (the port is released first). On failure the last stderr line is
// "error <key>: <message>".
#include "telvara/cli/cli_jobs.h"
#include "telvara/cli/cli_options.h"

#include "platform/cli/stop_signals.h"
#include "platform/spooler/spooler.h"

#include <iostream>

#ifndef TELVARA_VERSION_STRING
#define TELVARA_VERSION_STRING "unknown"
#endif

int main(int argc, char** argv)
{
    // Before anything is opened, so no port is ever held by a process that a
    // signal would end without releasing it.
    platform::cli::installStopSignals();

    const std::vector<std::string> words(argv + 1, argv + argc);
    telvara::cli::Options options;
    std::string problem;
    if (!telvara::cli::parseOptions(words, options, problem)) {
        std::cerr << telvara::cli::usageText() << "error usage: " << platform::cli::escapeText(problem) << "\n";
        return telvara::cli::kExitUsage;
    }
    if (options.version) {
        std::cout << "telvara-cli " << TELVARA_VERSION_STRING << "\n";
        return telvara::cli::kExitOk;
    }
    if (options.help) {
        std::cout << telvara::cli::helpText();
        return telvara::cli::kExitOk;
    }
    telvara::cli::JobResult result;
    {
        // The port is released when this scope ends: before a stop is reported.
        const platform::RegistryStore store;
        // The local scheduler (CUPS_SERVER, else the client's default): the
        // queues on the port are stopped while it is used and resumed before
        // runJob returns, a signal's stop included.
        const auto spoolers = [] { return platform::spooler::makeCupsSpooler(); };
        result = telvara::cli::runJob(options, platform::systemDevices(), platform::systemClock(), store, spoolers);
    }
    if (const int signal = platform::cli::stopSignal(); signal != 0)
        telvara::cli::markStopped(result, signal, platform::cli::stopSignalName(signal));
    return telvara::cli::printResult(result, options.json, std::cout, std::cerr);
}
