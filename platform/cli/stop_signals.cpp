#include "platform/cli/stop_signals.h"

#include "platform/wait_hook.h"

#include <csignal>

namespace platform::cli {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t g_signal = 0;

extern "C" void onStopSignal(int signal)
{
    if (g_signal != 0) {
        // Only async-signal-safe calls here: sigaction and raise are.
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        sigemptyset(&fallback.sa_mask);
        sigaction(signal, &fallback, nullptr);
        raise(signal);
        return;
    }
    g_signal = signal;
    // A lock-free atomic store: safe in a handler.
    platform::requestInterrupt();
}

} // namespace

void installStopSignals()
{
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: blocking calls return EINTR
    for (const int signal : kStopSignals)
        sigaction(signal, &action, nullptr);
}

int stopSignal()
{
    return static_cast<int>(g_signal);
}

int stopExitStatus()
{
    const int signal = stopSignal();
    return signal == 0 ? 0 : 128 + signal;
}

const char* stopSignalName(int signal)
{
    switch (signal) {
    case SIGINT:
        return "SIGINT";
    case SIGTERM:
        return "SIGTERM";
    case SIGHUP:
        return "SIGHUP";
    default:
        return "signal";
    }
}

} // namespace platform::cli
