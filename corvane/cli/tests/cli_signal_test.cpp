// corvane-cli stopped by SIGTERM, SIGINT and SIGHUP in the middle of a job:
// it must exit with 128 + the signal and leave the port free for the next
// user (no exclusive tty flag, no lock), also for a user who is not root.
#include "platform/testing/pty_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/corvane-cli-signal-XXXXXX";
        if (::mkdtemp(pattern) != nullptr)
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::string readAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string lastLine(std::string text)
{
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    const auto at = text.rfind('\n');
    return at == std::string::npos ? text : text.substr(at + 1);
}

// Runs corvane-cli with `args`, stdout and stderr into files, stdin empty.
pid_t spawnCli(const std::vector<std::string>& args, const std::string& outPath, const std::string& errPath)
{
    std::vector<std::string> all{CORVANE_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return rc == 0 ? pid : -1;
}

// The wait status, or nothing if the process is still running after
// `limit` (it is then killed, so no test leaves it behind).
std::optional<int> waitBounded(pid_t pid, std::chrono::milliseconds limit)
{
    const auto deadline = SteadyClock::now() + limit;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            return status;
        if (done < 0 || SteadyClock::now() >= deadline)
            break;
        std::this_thread::sleep_for(10ms);
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return std::nullopt;
}

// True when another process holds the port: the tty opens (we are root or
// its owner) but its lock is taken.
bool portHeld(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY;
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0;
    ::close(fd);
    return locked;
}

bool waitUntilHeld(const std::string& path, pid_t pid)
{
    const auto deadline = SteadyClock::now() + 10s;
    while (SteadyClock::now() < deadline) {
        if (portHeld(path))
            return true;
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid)
            return false;
        std::this_thread::sleep_for(20ms);
    }
    return false;
}

// The port opens read-write and locks at once for this process...
void expectPortFree(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0) << path << ": " << std::strerror(errno);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0) << std::strerror(errno);
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

// ...and for an ordinary user, whom a leftover exclusive flag would refuse.
void expectPortFreeForOtherUser(const std::string& path)
{
    if (::geteuid() != 0) {
        GTEST_LOG_(INFO) << "not root: the open as another user is skipped";
        return;
    }
    ASSERT_EQ(::chmod(path.c_str(), 0666), 0) << std::strerror(errno);
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(10);
        const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            ::_exit(errno == EBUSY ? 11 : 12);
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
            ::_exit(13);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10 setuid failed, 11 EBUSY (exclusive flag left set), 12 open failed, "
                                         "13 lock still held";
}

std::string writeFirmware(const std::string& dir)
{
    const std::string path = dir + "/fw.fls";
    std::vector<char> bytes(1 << 20);
    std::mt19937 random(7);
    for (char& b : bytes)
        b = static_cast<char>(random());
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

struct StopCase {
    int signal;
    int exitStatus;
    const char* name;
};

void PrintTo(const StopCase& c, std::ostream* out)
{
    *out << c.name;
}

class StoppedTransfer : public ::testing::TestWithParam<StopCase> {};

// A printer that stops reading: the pseudo-terminal's master is never read,
// so the firmware transfer stalls on a full line. The signal must end the
// stalled write (waits end early once a stop is requested), the port must be
// released and the exit status must say which signal it was.
TEST_P(StoppedTransfer, ReleasesThePortAndExitsWith128PlusTheSignal)
{
    const StopCase c = GetParam();
    TempDir dir;
    platform::testing::PtyPeer printer(false);
    const std::string firmware = writeFirmware(dir.path());
    const std::string out = dir.path() + "/out", err = dir.path() + "/err";
    const pid_t pid = spawnCli({"--port", printer.slavePath(), "firmware", firmware}, out, err);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitUntilHeld(printer.slavePath(), pid)) << readAll(err);
    std::this_thread::sleep_for(300ms);  // into the stall

    ASSERT_EQ(::kill(pid, c.signal), 0);
    const std::optional<int> status = waitBounded(pid, 5s);
    ASSERT_TRUE(status.has_value()) << c.name << " did not end the stalled transfer within 5 s (killed); "
                                    << "the serial write must wait through platform::pollSliced\n"
                                    << readAll(err);
    ASSERT_TRUE(WIFEXITED(*status)) << *status;
    EXPECT_EQ(WEXITSTATUS(*status), c.exitStatus);
    EXPECT_EQ(lastLine(readAll(err)), std::string("error signal: stopped by ") + c.name + "; the port was released");
    EXPECT_EQ(readAll(out), "");

    expectPortFree(printer.slavePath());
    expectPortFreeForOtherUser(printer.slavePath());
}

INSTANTIATE_TEST_SUITE_P(Signals, StoppedTransfer,
                         ::testing::Values(StopCase{SIGTERM, 143, "SIGTERM"}, StopCase{SIGINT, 130, "SIGINT"},
                                           StopCase{SIGHUP, 129, "SIGHUP"}),
                         [](const ::testing::TestParamInfo<StopCase>& param) { return std::string(param.param.name); });

// A printer that never answers: identify waits for a reply when the signal
// comes. A reply wait is bounded anyway, so this holds even where a wait
// does not end early: the next query is not started, the port is released.
TEST(StoppedIdentify, SilentPrinterReleasesThePortWithJsonResult)
{
    TempDir dir;
    platform::testing::PtyPeer printer(false);
    const std::string out = dir.path() + "/out", err = dir.path() + "/err";
    const pid_t pid = spawnCli({"--json", "--port", printer.slavePath(), "identify"}, out, err);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitUntilHeld(printer.slavePath(), pid)) << readAll(err);
    std::this_thread::sleep_for(300ms);

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    const std::optional<int> status = waitBounded(pid, 10s);
    ASSERT_TRUE(status.has_value()) << "identify did not end after SIGTERM\n" << readAll(err);
    ASSERT_TRUE(WIFEXITED(*status)) << *status;
    EXPECT_EQ(WEXITSTATUS(*status), 143);
    EXPECT_EQ(lastLine(readAll(err)), "error signal: stopped by SIGTERM; the port was released");
    EXPECT_EQ(readAll(out).rfind("{\"ok\": false, \"error\": \"signal\", ", 0), 0u) << readAll(out);
    expectPortFree(printer.slavePath());
    expectPortFreeForOtherUser(printer.slavePath());
}

// Whoever sends a second signal wants the program gone now: the default
// action ends it, stalled or not.
TEST(StoppedTransfer2, SecondSignalEndsTheProgramAtOnce)
{
    TempDir dir;
    platform::testing::PtyPeer printer(false);
    const std::string firmware = writeFirmware(dir.path());
    const std::string out = dir.path() + "/out", err = dir.path() + "/err";
    const pid_t pid = spawnCli({"--port", printer.slavePath(), "firmware", firmware}, out, err);
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitUntilHeld(printer.slavePath(), pid)) << readAll(err);
    std::this_thread::sleep_for(300ms);
    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    std::this_thread::sleep_for(50ms);
    ::kill(pid, SIGTERM);  // may fail with ESRCH if the first one already ended it
    const std::optional<int> status = waitBounded(pid, 5s);
    ASSERT_TRUE(status.has_value()) << readAll(err);
    // Ended by the default action, or (if the first signal was quick
    // enough) by the orderly exit.
    if (WIFSIGNALED(*status))
        EXPECT_EQ(WTERMSIG(*status), SIGTERM);
    else
        EXPECT_EQ(WEXITSTATUS(*status), 143);
}

} // namespace
