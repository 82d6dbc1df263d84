// telvara: the memory switch manager's window. Exit status 0, 2 for a usage
// error, 128 + the signal when SIGINT, SIGTERM or SIGHUP ended it (the port
// and the spooler's queues are given back first).
#include "telvara/gui/CTelvaraApp.h"

#include "platform/cli/stop_signals.h"

int main(int argc, char** argv)
{
    if (const auto answered = telvara::AnswerWithoutDisplay(argc, argv))
        return *answered;
    // Before anything is opened: a signal never ends the program holding a
    // port or with queues stopped.
    platform::cli::installStopSignals();
    telvara::CTelvaraApp app(argc, argv);
    telvara::LaunchOptions options;
    if (const auto usage = telvara::ParseLaunchOptions(QApplication::arguments(), options))
        return *usage;
    return app.Run(options);
}
