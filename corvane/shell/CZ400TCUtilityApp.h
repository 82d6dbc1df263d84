// The Corvane program: shows the main window modally and ends when it
// closes.
#pragma once

#include <QApplication>
#include <QString>

#include <optional>

namespace corvane {

// A connection to preselect, from the command line.
struct LaunchOptions {
    QString portName;   // empty: the stored connection
    int tcpPort = 0;    // 0: the window's default
};

// Parses --port NAME and --tcp-port N. Answers --help and --version (and
// reports usage errors) on its own, without needing a display; it then
// returns the exit code, otherwise nothing.
std::optional<int> ParseLaunchOptions(int argc, char** argv, LaunchOptions& options);

class CZ400TCUtilityApp : public QApplication {
    Q_OBJECT
public:
    CZ400TCUtilityApp(int& argc, char** argv);

    // Shows the main window; returns the exit code.
    int Run(const LaunchOptions& options = {});
};

} // namespace corvane
