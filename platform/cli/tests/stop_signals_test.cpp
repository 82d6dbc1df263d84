#include "platform/cli/stop_signals.h"

#include "platform/wait_hook.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace platform::cli {
namespace {

// Each case runs in a child: the handlers and the interrupt flag are process
// state and must not leak into the other tests. The child's exit status says
// which check failed (0: all passed).
int inChild(int (*body)())
{
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(body());
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST(StopSignals, HandlersAreInstalledWithoutRestart)
{
    const int status = inChild([] {
        installStopSignals();
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction now {};
            if (::sigaction(signal, nullptr, &now) != 0)
                return 1;
            if (now.sa_handler == SIG_DFL || now.sa_handler == SIG_IGN)
                return 2;
            if ((now.sa_flags & SA_RESTART) != 0)
                return 3;
        }
        return 0;
    });
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(StopSignals, FirstSignalIsRecordedAndEndsBlockingWaits)
{
    for (const int sig : {SIGINT, SIGTERM, SIGHUP}) {
        static int s_signal;
        s_signal = sig;
        const int status = inChild([] {
            installStopSignals();
            if (stopSignal() != 0 || stopExitStatus() != 0 || platform::interruptRequested())
                return 1;
            // The signal lands in the middle of a long poll: the wait must
            // end with EINTR instead of running its 10 s.
            ::alarm(0);
            const pid_t self = ::getpid();
            if (::fork() == 0) {
                ::usleep(100 * 1000);
                ::kill(self, s_signal);
                ::_exit(0);
            }
            int fds[2];
            if (::pipe(fds) != 0)
                return 2;
            pollfd p{fds[0], POLLIN, 0};
            const int rc = platform::pollSliced(&p, 1, 10000);
            if (rc != -1 || errno != EINTR)
                return 3;
            if (stopSignal() != s_signal || stopExitStatus() != 128 + s_signal)
                return 4;
            if (!platform::interruptRequested())
                return 5;
            return 0;
        });
        ASSERT_TRUE(WIFEXITED(status)) << sig;
        EXPECT_EQ(WEXITSTATUS(status), 0) << sig;
    }
}

TEST(StopSignals, SecondSignalTakesTheDefaultAction)
{
    const int status = inChild([] {
        installStopSignals();
        ::raise(SIGTERM);
        if (stopSignal() != SIGTERM)
            return 1;
        ::raise(SIGTERM); // ends the process
        return 2;
    });
    ASSERT_TRUE(WIFSIGNALED(status)) << status;
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

} // namespace
} // namespace platform::cli
