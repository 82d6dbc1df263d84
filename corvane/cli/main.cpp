// corvane-cli: the Corvane jobs from the command line, for scripting and
// production lines. Exit status: 0 success, 1 the job failed, 2 usage error
// or nothing to connect to, 128 + signal when stopped by SIGINT, SIGTERM or
// SIGHUP (the port is released first). On failure the last stderr line is
// "error <code>: <message>".
#include "corvane/cli/cli_jobs.h"
#include "corvane/cli/cli_options.h"
#include "platform/cli/stop_signals.h"

#include <iostream>

int main(int argc, char** argv)
{
    // Before anything is opened, so that no port is ever held by a process
    // that a signal would end without releasing it.
    platform::cli::installStopSignals();

    const std::vector<std::string> words(argv + 1, argv + argc);
    corvane::cli::Options options;
    std::string problem;
    if (!corvane::cli::parseOptions(words, options, problem)) {
        std::cerr << corvane::cli::usageText() << "error usage: " << platform::cli::escapeText(problem) << "\n";
        return corvane::cli::kExitUsage;
    }
    if (options.help) {
        std::cout << corvane::cli::helpText();
        return corvane::cli::kExitOk;
    }
    // The job's port objects are gone when runJob returns: a stop signal
    // has then already released the port.
    corvane::cli::JobResult result = corvane::cli::runJob(options, std::cerr);
    // Also a signal that arrived between waits, which did not end one.
    if (const int signal = platform::cli::stopSignal(); signal != 0)
        corvane::cli::markStopped(result, signal, platform::cli::stopSignalName(signal));
    return corvane::cli::printResult(result, options.json, std::cout, std::cerr);
}
