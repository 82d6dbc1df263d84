// The Corvane program: shows the main window modally and ends when it
// closes.
#pragma once

#include <QApplication>

namespace corvane {

class CZ400TCUtilityApp : public QApplication {
    Q_OBJECT
public:
    CZ400TCUtilityApp(int& argc, char** argv);

    // Shows the main window (with an optional --port / --tcp-port
    // preselection from the command line); returns the exit code.
    int Run();
};

} // namespace corvane
