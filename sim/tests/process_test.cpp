// The built printer-sim as a host meets it: a real pseudo-terminal and a real
// loopback socket. Every wait here is a poll with a bound that only a broken
// simulator would reach.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

using namespace std::string_literals;
namespace fs = std::filesystem;

namespace {

constexpr int kWaitMs = 10000;

std::uint64_t nowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (fs::temp_directory_path() / "printer-sim-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr)
            path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ec;
        if (!path_.empty())
            fs::remove_all(path_, ec);
    }
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

std::string readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// printer-sim started with its stdout on a pipe and its stderr in a file.
class SimProcess {
public:
    bool start(const std::vector<std::string>& args, const fs::path& stderrPath)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        stdout_ = fds[0];
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, stderrPath.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all = {PRINTER_SIM_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = ::posix_spawn(&pid_, PRINTER_SIM_PATH, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0)
            pid_ = -1;
        return rc == 0;
    }

    ~SimProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (stdout_ >= 0)
            ::close(stdout_);
    }

    // The first line of stdout, without its newline.
    std::optional<std::string> readLine()
    {
        std::string line;
        const std::uint64_t deadline = nowMs() + kWaitMs;
        while (nowMs() < deadline) {
            pollfd p{stdout_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(deadline - nowMs())) <= 0)
                continue;
            char c;
            if (::read(stdout_, &c, 1) != 1)
                return std::nullopt;
            if (c == '\n')
                return line;
            line.push_back(c);
        }
        return std::nullopt;
    }

    void signal(int sig) { ::kill(pid_, sig); }

    // The wait status, or nothing if the process did not end in time.
    std::optional<int> waitExit()
    {
        const std::uint64_t deadline = nowMs() + kWaitMs;
        while (nowMs() < deadline) {
            int status = 0;
            const pid_t r = ::waitpid(pid_, &status, WNOHANG);
            if (r == pid_) {
                pid_ = -1;
                return status;
            }
            ::poll(nullptr, 0, 10);
        }
        return std::nullopt;
    }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
};

// Reads until `want` bytes came or the bound passed.
std::string readBytes(int fd, std::size_t want)
{
    std::string got;
    const std::uint64_t deadline = nowMs() + kWaitMs;
    while (got.size() < want && nowMs() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(deadline - nowMs())) <= 0)
            continue;
        char buf[256];
        const ssize_t n = ::read(fd, buf, std::min(sizeof buf, want - got.size()));
        if (n <= 0)
            break;
        got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
}

bool writeAll(int fd, const std::string& bytes)
{
    return ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

int connectClient(int port)
{
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(s);
        return -1;
    }
    return s;
}

// The byte count of a receive report, or -1 before there is one.
long long reportedBytes(const fs::path& report)
{
    const std::string text = readFile(report);
    if (!text.starts_with("bytes "))
        return -1;
    return std::atoll(text.c_str() + 6);
}

// Waits until the report counts `bytes`; the last count seen otherwise.
long long waitForReported(const fs::path& report, long long bytes)
{
    long long seen = -1;
    for (const std::uint64_t deadline = nowMs() + kWaitMs; nowMs() < deadline; ::poll(nullptr, 0, 5)) {
        seen = reportedBytes(report);
        if (seen == bytes)
            break;
    }
    return seen;
}

// Bytes 0..250 over and over: no command prefix occurs in it.
std::string pattern(std::size_t n)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(i % 251);
    return s;
}

// Writes `bytes` to a non-blocking descriptor until all went or no byte was
// taken for `stallMs`; returns how many were taken.
std::size_t writeUntilStalled(int fd, const std::string& bytes, int stallMs)
{
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + sent, std::min<std::size_t>(4096, bytes.size() - sent));
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            break;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, stallMs) == 0)
            break;
    }
    return sent;
}

struct StartedSim {
    TempDir dir;
    SimProcess sim;
    std::string line;  // the slave path or the port number

    fs::path file(const char* name) const { return dir.path() / name; }
};

// Starts printer-sim with `args` plus a capture and a report in a fresh directory.
void startRecording(StartedSim& s, std::vector<std::string> args)
{
    ASSERT_FALSE(s.dir.path().empty());
    args.insert(args.end(), {"--capture", s.file("capture").string(), "--report", s.file("report").string()});
    ASSERT_TRUE(s.sim.start(args, s.file("stderr")));
    const auto line = s.sim.readLine();
    ASSERT_TRUE(line.has_value()) << readFile(s.file("stderr"));
    s.line = *line;
}

void expectCleanExit(SimProcess& sim)
{
    sim.signal(SIGTERM);
    const auto status = sim.waitExit();
    ASSERT_TRUE(status.has_value()) << "printer-sim did not stop on SIGTERM";
    ASSERT_TRUE(WIFEXITED(*status)) << "status " << *status;
    EXPECT_EQ(WEXITSTATUS(*status), 0);
}

TEST(PrinterSimProcess, AnswersOnAPseudoTerminalAndCleansUpItsLink)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path link = dir.path() / "dev" / "printer";
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--pty", "--link", link.string()}, dir.path() / "stderr"));
    const auto slave = sim.readLine();
    ASSERT_TRUE(slave.has_value()) << readFile(dir.path() / "stderr");
    EXPECT_TRUE(slave->starts_with("/dev/pts/")) << *slave;
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), fs::path(*slave));

    // Open through the link, as a host configured with that name would.
    const int fd = ::open(link.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::cfmakeraw(&tio);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    ASSERT_TRUE(writeAll(fd, "\x00"s));
    ASSERT_TRUE(writeAll(fd, "\x1d\x49\x43"s));
    EXPECT_EQ(readBytes(fd, 10), "_KMP-Z400\0"s);
    ASSERT_TRUE(writeAll(fd, "\x1b\x4d\x49"s));
    EXPECT_EQ(readBytes(fd, 4), "\x37\x80\x00\x00"s);
    ::close(fd);

    // A second client after the first hung up is served as well.
    const int again = ::open(slave->c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(again, 0);
    ASSERT_TRUE(writeAll(again, "\x1d\x49\x45"s));
    EXPECT_EQ(readBytes(again, 7), "_PC437\0"s);
    ::close(again);

    expectCleanExit(sim);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "symlink left behind";
}

TEST(PrinterSimProcess, RepliesNobodyReadsDoNotReachTheNextHost)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path errors = dir.path() / "stderr";
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--pty", "--drop-after", "100"}, errors));
    const auto slave = sim.readLine();
    ASSERT_TRUE(slave.has_value()) << readFile(errors);

    const int gone = ::open(slave->c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(gone, 0);
    ASSERT_TRUE(writeAll(gone, "\x1d\x49\x43"s));  // and never read the reply
    std::string stderrText;
    for (const std::uint64_t deadline = nowMs() + kWaitMs; nowMs() < deadline; ::poll(nullptr, 0, 10)) {
        stderrText = readFile(errors);
        if (stderrText.find("does not read") != std::string::npos)
            break;
    }
    ASSERT_NE(stderrText.find("does not read"), std::string::npos) << stderrText;
    ::close(gone);

    const int next = ::open(slave->c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(next, 0);
    pollfd p{next, POLLIN, 0};
    EXPECT_EQ(::poll(&p, 1, 0), 0) << "a stale reply waits for the next host";
    ASSERT_TRUE(writeAll(next, "\x1d\x49\x41"s));
    EXPECT_EQ(readBytes(next, 11), "_VER V1.04\0"s);
    ::close(next);
    expectCleanExit(sim);
}

TEST(PrinterSimProcess, ServesTcpClientsOneAfterAnotherAndRecordsWhatArrived)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path capture = dir.path() / "capture.bin";
    const fs::path report = dir.path() / "report.txt";
    const fs::path errors = dir.path() / "stderr";
    SimProcess sim;
    ASSERT_TRUE(sim.start({"--tcp", "0", "--model", "kmp-z600", "--capture", capture.string(), "--report",
                           report.string(), "--chunk", "2"},
                          errors));
    const auto portLine = sim.readLine();
    ASSERT_TRUE(portLine.has_value()) << readFile(errors);
    const int port = std::stoi(*portLine);
    ASSERT_GT(port, 0);

    std::string sent;
    {
        const int s = connectClient(port);
        ASSERT_GE(s, 0);
        // Probe, raw data with bytes of every value, then the queries last:
        // once the last reply is in, everything sent before was recorded.
        std::string payload = "\x00"s;
        for (int i = 0; i < 256; ++i)
            payload.push_back(static_cast<char>(i));
        payload += "\x1d\x49\x41"s + "\x1d\x49\x43"s;
        ASSERT_TRUE(writeAll(s, payload));
        sent += payload;
        EXPECT_EQ(readBytes(s, 8 + 10), "_V01.00\0_KMP-Z600\0"s);
        ::close(s);
    }
    {
        const int s = connectClient(port);
        ASSERT_GE(s, 0) << "second client refused";
        const std::string payload = "more data\x1b\x4d\x49"s;
        ASSERT_TRUE(writeAll(s, payload));
        sent += payload;
        EXPECT_EQ(readBytes(s, 4), "\x37\x80\x00\x00"s);
        ::close(s);
    }

    EXPECT_EQ(readFile(capture), sent);
    const std::string reportText = readFile(report);
    EXPECT_TRUE(reportText.starts_with("bytes " + std::to_string(sent.size()) + "\ncrc32 "))
        << reportText;
    EXPECT_NE(reportText.find("\ncommands "), std::string::npos) << reportText;

    sim.signal(SIGUSR1);
    std::string stderrText;
    for (const std::uint64_t deadline = nowMs() + kWaitMs; nowMs() < deadline; ::poll(nullptr, 0, 10)) {
        stderrText = readFile(errors);
        if (stderrText.find("commands") != std::string::npos)
            break;
    }
    EXPECT_NE(stderrText.find(reportText), std::string::npos) << stderrText;

    expectCleanExit(sim);
}

// The memory a host wrote is in the state file before the reply that
// follows the write leaves, and a restarted printer starts from it.
TEST(PrinterSimProcess, MemoryWrittenByAHostSurvivesARestart)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    const fs::path state = dir.path() / "memory";
    const fs::path report = dir.path() / "report";
    const fs::path errors = dir.path() / "stderr";
    // The options give the state of a printer without a file; once there is
    // one, its values win.
    const std::vector<std::string> args = {"--tcp", "0", "--model", "KMP-Z600", "--state", state.string(),
                                           "--switch", "1=11111111", "--report", report.string()};
    const std::string readSwitch1 = "\x1d\x28\x45\x02\x00\x04\x01"s;
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start(args, errors));
        const auto port = sim.readLine();
        ASSERT_TRUE(port.has_value()) << readFile(errors);
        EXPECT_NE(readFile(state).find("switch.1: 11111111\n"), std::string::npos) << readFile(state);
        const int s = connectClient(std::stoi(*port));
        ASSERT_GE(s, 0);
        ASSERT_TRUE(writeAll(s, "\x1d\x28\x45\x03\x00\x01IN"s + "\x1d\x28\x45\x0b\x00\x03\x01" "22220111"s
                                    + readSwitch1));
        EXPECT_EQ(readBytes(s, 3 + 11), "\x37\x20\x00" "7!11110111\x00"s);
        EXPECT_NE(readFile(state).find("switch.1: 11110111\n"), std::string::npos) << readFile(state);
        const std::string text = readFile(report);
        EXPECT_NE(text.find("\nsetting-mode: on\n"), std::string::npos) << text;
        EXPECT_NE(text.find("\nswitch.1: 11110111\n"), std::string::npos) << text;
        ::close(s);
        expectCleanExit(sim);
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start(args, errors));
        const auto port = sim.readLine();
        ASSERT_TRUE(port.has_value()) << readFile(errors);
        const int s = connectClient(std::stoi(*port));
        ASSERT_GE(s, 0);
        ASSERT_TRUE(writeAll(s, readSwitch1));
        EXPECT_EQ(readBytes(s, 11), "7!11110111\x00"s);
        ::close(s);
        expectCleanExit(sim);
    }
    // A state file it cannot make sense of stops it before it serves.
    {
        std::ofstream(state) << "switch.1: 2\n";
        SimProcess sim;
        ASSERT_TRUE(sim.start(args, errors));
        const auto status = sim.waitExit();
        ASSERT_TRUE(status.has_value());
        EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1) << *status;
        EXPECT_NE(readFile(errors).find("line 1: bad value for switch.1"), std::string::npos) << readFile(errors);
    }
}

// NV images as a host sends them: a raster of several hundred kilobytes in
// the host's 4096-byte writes, the key list answered block by block as the
// ACKs come, and prints written out as PBM files.
std::string le16(std::size_t v)
{
    return {static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)};
}

std::string nvRaster(std::size_t w, std::size_t h, int seed)
{
    std::string r((w + 7) / 8 * h, '\0');
    for (std::size_t i = 0; i < r.size(); ++i)
        r[i] = static_cast<char>((i * 13 + static_cast<std::size_t>(seed)) & 0xFF);
    return r;
}

bool writeInPieces(int fd, const std::string& bytes, std::size_t piece)
{
    for (std::size_t pos = 0; pos < bytes.size(); pos += piece) {
        if (!writeAll(fd, bytes.substr(pos, piece)))
            return false;
    }
    return true;
}

TEST(PrinterSimNv, IndexedSetOverTcpWithPrintsAsPbmFiles)
{
    StartedSim s;
    const fs::path prints = s.dir.path() / "prints";
    fs::create_directory(prints);
    startRecording(s, {"--tcp", "0", "--version", "_B01.00", "--nv-print-dir", prints.string()});
    const int c = connectClient(std::stoi(s.line));
    ASSERT_GE(c, 0);
    // Two images of 150000 and 120000 bytes: more than a read, more than
    // the host's own capacity rule allows, one command.
    const std::string r0 = nvRaster(800, 1500, 1);
    const std::string r1 = nvRaster(960, 1000, 2);
    const std::string blocks = "\x01"s + le16(800) + le16(1500) + "\x31" + r0 + "\x01"s + le16(960) + le16(1000) +
                               "\x31" + r1;
    const std::size_t length = blocks.size() + 2;
    std::string defineAll = "\x08\x5e\x37"s + le16(length & 0xFFFF) + le16(length >> 16) + "\x43\x02"s + blocks;
    ASSERT_TRUE(writeInPieces(c, defineAll, 4096));
    ASSERT_TRUE(writeAll(c, "\x08\x5e\x4c\x04\x00\x45\x01\x01\x01"s + "\x08\x5e\x4c\x04\x00\x45\x05\x01\x01"s +
                                "\x1d\x49\x43"s));
    EXPECT_EQ(readBytes(c, 10), "_KMP-Z400\0"s);
    ::close(c);

    EXPECT_EQ(readFile(prints / "print-0001-1.pbm"), "P4\n960 1000\n" + r1);
    EXPECT_FALSE(fs::exists(prints / "print-0002-5.pbm"));  // not stored: nothing printed
    const std::string report = readFile(s.file("report"));
    for (const char* line : {"\nnv.family: indexed\n", "\nnv.count: 2\n", "\nnv.image.0: 800x1500 crc32 ",
                             "\nnv.image.1: 960x1000 crc32 ", "\nnv.prints: 2\nnv.print: 1\nnv.print: 5 missing\n",
                             "\nnv.malformed: 0\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    expectCleanExit(s.sim);
}

TEST(PrinterSimNv, KeyListOnAPseudoTerminalWaitsForEachAck)
{
    StartedSim s;
    startRecording(s, {"--pty", "--nv-keys-per-block", "1", "--nv-key", "10=8x1"});
    const int fd = ::open(s.line.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::cfmakeraw(&tio);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);

    const std::string r = nvRaster(832, 630, 3);  // the longest key-code define
    const std::string body = "\x30\x43\x30" "A1\x01"s + le16(832) + le16(630) + "\x31" + r;
    ASSERT_TRUE(writeInPieces(fd, "\x1d\x28\x4c"s + le16(body.size()) + body, 4096));
    ASSERT_TRUE(writeAll(fd, "\x1d\x28\x4c\x04\x00\x30\x40\x4b\x43"s));
    EXPECT_EQ(readBytes(fd, 6), "\x37\x72\x41" "10\x00"s);
    ASSERT_TRUE(writeAll(fd, "\x06"s));
    EXPECT_EQ(readBytes(fd, 6), "\x37\x72\x40" "A1\x00"s);
    ASSERT_TRUE(writeAll(fd, "\x06"s + "\x1d\x49\x43"s));
    EXPECT_EQ(readBytes(fd, 10), "_KMP-Z400\0"s);
    ::close(fd);
    const std::string report = readFile(s.file("report"));
    for (const char* line : {"\nnv.family: key-code\n", "\nnv.count: 2\n", "\nnv.image.10: 8x1 crc32 d202ef8d\n",
                             "\nnv.image.A1: 832x630 crc32 ", "\nnv.lists: 1\nnv.acks: 2\nnv.cancels: 0\n"})
        EXPECT_NE(report.find(line), std::string::npos) << line << "\n" << report;
    expectCleanExit(s.sim);
}

TEST(PrinterSimMisbehaving, ChattersDuringATransferOverTcp)
{
    StartedSim s;
    startRecording(s, {"--tcp", "0", "--chatter", "1200", "--chatter-every", "1000"});
    const int fd = connectClient(std::stoi(s.line));
    ASSERT_GE(fd, 0);
    const std::string sent = pattern(5000);
    ASSERT_TRUE(writeAll(fd, sent));
    EXPECT_EQ(readBytes(fd, 10), "\x12\x00\x12\x00\x12\x00\x12\x00\x12\x00"s);
    ::close(fd);
    EXPECT_EQ(waitForReported(s.file("report"), 5000), 5000);
    EXPECT_EQ(readFile(s.file("capture")), sent);
    expectCleanExit(s.sim);
}

TEST(PrinterSimMisbehaving, SlowReaderTakesItsTimeButGetsEveryByte)
{
    StartedSim s;
    startRecording(s, {"--tcp", "0", "--read-rate", "20000"});
    const int fd = connectClient(std::stoi(s.line));
    ASSERT_GE(fd, 0);
    const std::string sent = pattern(10000);
    const std::uint64_t start = nowMs();
    ASSERT_TRUE(writeAll(fd, sent));
    ::close(fd);  // a host that leaves at once is still read to the end
    EXPECT_EQ(waitForReported(s.file("report"), 10000), 10000);
    // 1000 bytes at once, the other 9000 at 20 bytes per ms: a lower bound only.
    EXPECT_GE(nowMs() - start, 400u);
    EXPECT_EQ(readFile(s.file("capture")), sent);
    expectCleanExit(s.sim);
}

TEST(PrinterSimMisbehaving, StalledTcpPrinterLetsTheHostsSendBufferFill)
{
    StartedSim s;
    startRecording(s, {"--tcp", "0", "--stall-after", "5000", "--rcvbuf", "4096"});
    const int fd = connectClient(std::stoi(s.line));
    ASSERT_GE(fd, 0);
    const int small = 4096;
    ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    ASSERT_EQ(::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK), 0);
    const std::string offered = pattern(std::size_t{8} << 20);
    const std::size_t taken = writeUntilStalled(fd, offered, 500);
    EXPECT_GE(taken, 5000u);
    EXPECT_LT(taken, std::size_t{1} << 20) << "the printer kept reading";
    EXPECT_EQ(waitForReported(s.file("report"), 5000), 5000);
    ::poll(nullptr, 0, 200);
    EXPECT_EQ(reportedBytes(s.file("report")), 5000);
    EXPECT_EQ(readFile(s.file("capture")), offered.substr(0, 5000));
    ::close(fd);
    expectCleanExit(s.sim);
}

TEST(PrinterSimMisbehaving, StalledTerminalBlocksTheHostsWrites)
{
    StartedSim s;
    startRecording(s, {"--pty", "--stall-after", "100"});
    const int fd = ::open(s.line.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const std::string offered = pattern(std::size_t{4} << 20);
    const std::size_t taken = writeUntilStalled(fd, offered, 500);
    EXPECT_GE(taken, 100u);
    EXPECT_LT(taken, std::size_t{1} << 20) << "the printer kept reading";
    EXPECT_EQ(waitForReported(s.file("report"), 100), 100);
    EXPECT_EQ(readFile(s.file("capture")), offered.substr(0, 100));
    ::close(fd);
    expectCleanExit(s.sim);
}

TEST(PrinterSimMisbehaving, PausingPrinterStopsAtEachBlockAndResumes)
{
    StartedSim s;
    startRecording(s, {"--tcp", "0", "--pause-after", "1000", "--pause-ms", "300"});
    const int fd = connectClient(std::stoi(s.line));
    ASSERT_GE(fd, 0);
    const std::string sent = pattern(2500);
    const std::uint64_t start = nowMs();
    ASSERT_TRUE(writeAll(fd, sent));
    ::close(fd);
    EXPECT_EQ(waitForReported(s.file("report"), 1000), 1000) << "no pause at the first block";
    EXPECT_EQ(waitForReported(s.file("report"), 2500), 2500);
    EXPECT_GE(nowMs() - start, 550u);  // two pauses of 300 ms, a lower bound only
    EXPECT_EQ(readFile(s.file("capture")), sent);
    expectCleanExit(s.sim);
}

// The network board in the built program: the pty and the access-point TCP
// port served from one loop, the record file, and the report's board lines.
TEST(PrinterSimNetworkBoard, AnswersOnThePtyAndTheTcpPortAndReportsBoth)
{
    StartedSim s;
    ASSERT_FALSE(s.dir.path().empty());
    std::string record(603, '\0');
    record.replace(0, 8, "from-rec");
    {
        std::ofstream out(s.file("record.bin"), std::ios::binary);
        out.write(record.data(), static_cast<std::streamsize>(record.size()));
    }
    startRecording(s, {"--pty", "--personality", "network-board", "--if-record", s.file("record.bin").string(),
                       "--bss-tcp-port", "0"});
    const auto portLine = s.sim.readLine();
    ASSERT_TRUE(portLine.has_value()) << "no second announce line";
    const int port = std::atoi(portLine->c_str());
    ASSERT_GT(port, 0);

    const int fd = ::open(s.line.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    termios tio{};
    ASSERT_EQ(::tcgetattr(fd, &tio), 0);
    ::cfmakeraw(&tio);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &tio), 0);
    ASSERT_TRUE(writeAll(fd, "\x1f\x57\x43\x7f\x1d\x1f\x03"s));
    EXPECT_EQ(readBytes(fd, 7), "\x1f\x57\x4d\x7f\x1d\x1f\x03"s);
    // IF__GET: tag and its checksum, as lower-case hex.
    ASSERT_TRUE(writeAll(fd, "\x1f\x57\x43" "5f5f5b495f465d5f5f5b49465f5f4745545de50d\x03"s));
    const std::string cur = readBytes(fd, 1252);
    ASSERT_EQ(cur.size(), 1252u);
    EXPECT_EQ(cur.substr(3 + 36, 16), "66726f6d2d726563");  // "from-rec" right after the tag
    ::close(fd);

    const int client = connectClient(port);
    ASSERT_GE(client, 0);
    ASSERT_TRUE(writeAll(client, "__[I_F]__[BSS_REQ]\xf0\x00"s));
    const std::string rsp = readBytes(client, 4096);  // until the board closes
    EXPECT_TRUE(rsp.starts_with("__[I_F]__[BSS_RSP]\x00\x0bquellix-lab")) << rsp.size();
    ::close(client);

    std::string report;
    for (const std::uint64_t deadline = nowMs() + kWaitMs; nowMs() < deadline; ::poll(nullptr, 0, 5)) {
        report = readFile(s.file("report"));
        if (report.find("board.tcp.queries: 1\n") != std::string::npos)
            break;
    }
    EXPECT_NE(report.find("board.openers: 1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("board.frames.if-get: 1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("board.tcp.queries: 1\n"), std::string::npos) << report;
    EXPECT_NE(report.find("board.tcp.last: 5f5f5b495f465d5f5f5b4253535f5245515df000\n"), std::string::npos);
    expectCleanExit(s.sim);

    // A record file of the wrong size is refused at start.
    {
        std::ofstream out(s.file("short.bin"), std::ios::binary);
        out << "too short";
    }
    SimProcess bad;
    ASSERT_TRUE(bad.start({"--pty", "--personality", "network-board", "--if-record", s.file("short.bin").string()},
                          s.file("bad")));
    const auto status = bad.waitExit();
    ASSERT_TRUE(status.has_value());
    ASSERT_TRUE(WIFEXITED(*status));
    EXPECT_EQ(WEXITSTATUS(*status), 1);
    EXPECT_NE(readFile(s.file("bad")).find("9 bytes, want 603"), std::string::npos) << readFile(s.file("bad"));
}

TEST(PrinterSimProcess, CommandLineErrorsAndHelp)
{
    TempDir dir;
    ASSERT_FALSE(dir.path().empty());
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--pty", "--model", "nonesuch"}, dir.path() / "bad"));
        const auto status = sim.waitExit();
        ASSERT_TRUE(status.has_value());
        ASSERT_TRUE(WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), 2);
        EXPECT_NE(readFile(dir.path() / "bad").find("usage: printer-sim"), std::string::npos);
    }
    {
        SimProcess sim;
        ASSERT_TRUE(sim.start({"--help"}, dir.path() / "help"));
        const auto first = sim.readLine();
        ASSERT_TRUE(first.has_value());
        EXPECT_TRUE(first->starts_with("printer-sim - ")) << *first;
        const auto status = sim.waitExit();
        ASSERT_TRUE(status.has_value());
        ASSERT_TRUE(WIFEXITED(*status));
        EXPECT_EQ(WEXITSTATUS(*status), 0);
    }
}

} // namespace
