// Stopping a command line cleanly on SIGINT, SIGTERM and SIGHUP.
//
// A technician's Ctrl+C, a service manager's SIGTERM or a closed terminal
// must not leave the printer's port locked (exclusive tty flag, flock) or a
// printer queue stopped. So the handlers only record the signal and ask the
// platform to end its blocking waits (platform::requestInterrupt): the wait
// returns EINTR, the job fails, the port objects release the port in their
// destructors, and main returns stopExitStatus() (128 + the signal number,
// as a shell reports a process killed by it). The handlers are installed
// without SA_RESTART so a blocking call returns EINTR instead of carrying on.
// A second signal while the first is being handled restores the default
// action and re-raises: whoever sends it wants the program gone now.
//
// This part links the platform library (for requestInterrupt); the option
// table and output formatting do not, so a program without the platform
// layer can still use those.
#pragma once

namespace platform::cli {

// Installs the handlers; call once at the start of main.
void installStopSignals();
// The first stop signal received, 0 if none.
int stopSignal();
// 128 + stopSignal(), or 0 if no signal was received.
int stopExitStatus();
// "SIGTERM" etc. for the error line.
const char* stopSignalName(int signal);

} // namespace platform::cli
