// pavix-cli: read a network board's system information, configuration and
// access points from the command line. Exit status: 0 success, 1 the board
// exchange or the port failed, 2 usage error, 128 + signal when stopped by
// SIGINT, SIGTERM or SIGHUP (the port is released first). On failure the
// last stderr line is "error <code>: <message>".
#include "pavix/cli/cli_jobs.h"
#include "pavix/cli/cli_options.h"
#include "platform/cli/stop_signals.h"

#include <iostream>

#ifndef PAVIX_VERSION_STRING
#define PAVIX_VERSION_STRING "unknown"
#endif

int main(int argc, char** argv)
{
    // Before anything is opened, so no port is ever held by a process that a
    // signal would end without releasing it.
    platform::cli::installStopSignals();

    const std::vector<std::string> words(argv + 1, argv + argc);
    pavix::cli::Options options;
    std::string problem;
    if (!pavix::cli::parseOptions(words, options, problem)) {
        std::cerr << pavix::cli::usageText() << "error usage: " << platform::cli::escapeText(problem) << "\n";
        return pavix::cli::kExitUsage;
    }
    if (options.version) {
        std::cout << "pavix-cli " << PAVIX_VERSION_STRING << "\n";
        return pavix::cli::kExitOk;
    }
    if (options.help) {
        std::cout << pavix::cli::helpText();
        return pavix::cli::kExitOk;
    }
    // The port objects are gone when runJob returns: a stop signal has then
    // already released the port.
    pavix::cli::JobResult result = pavix::cli::runJob(options, std::cerr);
    if (const int signal = platform::cli::stopSignal(); signal != 0)
        pavix::cli::markStopped(result, signal, platform::cli::stopSignalName(signal));
    return pavix::cli::printResult(result, options.json, std::cout, std::cerr);
}
