// corvane-cli: the Corvane jobs from the command line, for scripting and
// production lines. Exit status: 0 success, 1 the job failed (stderr ends
// with "error <code>: <message>"), 2 usage error.
#include "corvane/link/CCommonUtil.h"
#include "corvane/cli/cli_options.h"
#include "corvane/cli/cli_jobs.h"

#include <cstdio>
#include <iostream>

int main(int argc, char** argv)
{
    corvane::cli::Options options;
    std::string problem;
    if (!corvane::cli::parseOptions(argc, argv, options, problem)) {
        std::cerr << "corvane-cli: " << problem << "\n\n" << corvane::cli::usageText();
        return 2;
    }
    if (options.help) {
        std::cout << corvane::cli::helpText();
        return 0;
    }
    return corvane::cli::runJob(options, std::cout, std::cerr);
}
