// The Telvara program: shows the main window modally and ends when it
// closes. An optional first argument names an installed printer whose
// settings preset the window.
//
// SIGINT, SIGTERM and SIGHUP end the window through its normal path (port
// closed, the spooler's queues given back) instead of killing the program
// with queues still stopped: the handlers only record the signal, and a
// timer on the GUI thread notices it.
#pragma once

#include "telvara/gui/CTelvaraDlg.h"

#include <QApplication>
#include <QString>

#include <optional>

namespace telvara {

struct LaunchOptions {
    QString printerName;  // empty: the start-up defaults
};

// Answers --help and --version without needing a display; returns their
// exit code, or nothing when the program should start.
std::optional<int> AnswerWithoutDisplay(int argc, char** argv);
// What is left of the command line once the application took its own
// options: at most one printer name. Usage errors give exit code 2.
std::optional<int> ParseLaunchOptions(const QStringList& arguments, LaunchOptions& options);

class CTelvaraApp : public QApplication {
    Q_OBJECT
public:
    static constexpr int kSignalPollMs = 100;

    CTelvaraApp(int& argc, char** argv);

    // Shows the main window; returns the exit code (128 + the signal when
    // one ended it).
    int Run(const LaunchOptions& options);

    // The windows that come with the status dialog and the command test
    // editor plug in here.
    TelvaraHooks hooks;
};

} // namespace telvara
