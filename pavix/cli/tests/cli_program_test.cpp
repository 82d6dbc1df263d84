// The built pavix-cli against a board played by this test: over a
// pseudo-terminal, over loopback TCP, and on a fake device tree.
#include "pavix/protocol/BssTable.h"
#include "pavix/protocol/IfMessage.h"
#include "pavix/protocol/IfRecords.h"
#include "platform/testing/pty_peer.h"
#include "platform/testing/tcp_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using SteadyClock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using pavix::Bytes;

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/pavix-cli-XXXXXX";
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

std::vector<std::string> lines(const std::string& text)
{
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

struct CliRun {
    int exitStatus = -1;
    std::string out;
    std::string err;
    long long elapsedMs = 0;

    std::string lastErrLine() const
    {
        const std::vector<std::string> l = lines(err);
        return l.empty() ? std::string() : l.back();
    }
};

// Runs pavix-cli with `args` (and `env` added to the environment), bounded
// to 20 s.
CliRun runCli(const std::vector<std::string>& args, const std::vector<std::string>& env = {})
{
    TempDir dir;
    const std::string outPath = dir.path() + "/out";
    const std::string errPath = dir.path() + "/err";
    std::vector<std::string> all{PAVIX_CLI_PATH};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envCopy(env);
    std::vector<char*> envp;
    for (char** e = environ; *e != nullptr; ++e)
        envp.push_back(*e);
    for (std::string& e : envCopy)
        envp.push_back(e.data());
    envp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const auto start = SteadyClock::now();
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    CliRun run;
    if (rc != 0) {
        ADD_FAILURE() << "cannot start " << PAVIX_CLI_PATH;
        return run;
    }
    const auto deadline = start + 20s;
    int status = 0;
    for (;;) {
        if (::waitpid(pid, &status, WNOHANG) == pid)
            break;
        if (SteadyClock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "pavix-cli did not finish";
            break;
        }
        std::this_thread::sleep_for(5ms);
    }
    run.elapsedMs = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyClock::now() - start).count();
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readAll(outPath);
    run.err = readAll(errPath);
    return run;
}

Bytes openerAnswer()
{
    return {0x1F, 0x57, 0x4D, 0x7F, 0x1D, 0x1F, 0x03};
}

pavix::SystemInfo sampleInfo()
{
    return {"FW 1.07", "2025/01/31", {0x00, 0x1B, 0x2C, 0xAA, 0xBB, 0x0C}};
}

pavix::IfConfigRecord sampleRecord()
{
    pavix::IfConfigRecord r;
    r.printerName = "Counter\n2";
    r.ipAssignment = 1;
    r.ipAddress = {172, 16, 0, 7};
    r.ssid = "store";
    r.authentication = 3;
    r.cryptograph = 4;
    r.printerPort = 9100;
    r.inactivityTime = 300;
    return r;
}

// Plays a board on the pty master: answers the opener and the requests in
// order, recording what arrived. Frame answers may come in pieces.
class PtyBoard {
public:
    explicit PtyBoard(platform::testing::PtyPeer& peer) : peer_(peer) {}
    ~PtyBoard() { join(); }

    // Each step: how many bytes the host sends, then the answer pieces.
    struct Step {
        std::size_t requestSize;
        std::vector<Bytes> pieces;
    };
    void run(std::vector<Step> steps)
    {
        thread_ = std::thread([this, steps = std::move(steps)] {
            for (const Step& step : steps) {
                Bytes got = peer_.read(step.requestSize, 8000);
                received.push_back(got);
                if (got.size() != step.requestSize)
                    return;
                for (std::size_t i = 0; i < step.pieces.size(); ++i) {
                    if (i > 0)
                        std::this_thread::sleep_for(20ms);
                    peer_.write(step.pieces[i]);
                }
            }
        });
    }
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }

    std::vector<Bytes> received;

private:
    platform::testing::PtyPeer& peer_;
    std::thread thread_;
};

TEST(PavixCliProgram, UsageHelpAndVersion)
{
    const CliRun usage = runCli({"sysinfo"});
    EXPECT_EQ(usage.exitStatus, 2);
    EXPECT_EQ(usage.lastErrLine().rfind("error usage: ", 0), 0u) << usage.err;
    EXPECT_TRUE(usage.out.empty());

    const CliRun help = runCli({"--help"});
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_NE(help.out.find("--read-timeout"), std::string::npos);

    const CliRun version = runCli({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    EXPECT_EQ(version.out.rfind("pavix-cli ", 0), 0u);
}

TEST(PavixCliProgram, SysinfoOverAPseudoTerminal)
{
    platform::testing::PtyPeer peer;
    PtyBoard board(peer);
    board.run({{7, {openerAnswer()}}, {44, {pavix::EncodeFrame(*pavix::BuildSysRsp(sampleInfo()))}}});
    const CliRun run = runCli({"--port", peer.slavePath(), "sysinfo"});
    board.join();
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "Firmware Version: FW 1.07\nUpdate Date: 2025/01/31\nMac Address: 00-1B-2C-AA-BB-0C\n");
    ASSERT_EQ(board.received.size(), 2u);
    EXPECT_EQ(board.received[0], Bytes(pavix::kLinkOpener.begin(), pavix::kLinkOpener.end()));
    EXPECT_EQ(board.received[1], pavix::RequestFrame(pavix::kTagSysReq));
}

TEST(PavixCliProgram, ConfigReadWithASplitReplyWritesTheConfigurationFile)
{
    platform::testing::PtyPeer peer;
    PtyBoard board(peer);
    const Bytes cur = pavix::EncodeFrame(*pavix::BuildIfCur(sampleRecord()));
    ASSERT_EQ(cur.size(), 1252u);
    board.run({{7, {openerAnswer()}},
               {44, {pavix::EncodeFrame(*pavix::BuildSysRsp(sampleInfo()))}},
               {7, {openerAnswer()}},
               {44, {Bytes(cur.begin(), cur.begin() + 1024), Bytes(cur.begin() + 1024, cur.end())}}});
    TempDir dir;
    const std::string file = dir.path() + "/board.txt";
    const CliRun run = runCli({"--port", peer.slavePath(), "config", "read", "--output", file});
    board.join();
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const std::vector<std::string> shown = lines(run.out);
    ASSERT_EQ(shown.size(), 30u);
    EXPECT_EQ(shown[3], "Printer Name: Counter\\x0a2");
    EXPECT_EQ(shown[19], "IP Assignment method: Automatic Allocation(DHCP)");
    EXPECT_EQ(shown[20], "IP Address: 172.16.0.7");
    const std::vector<std::string> saved = lines(readAll(file));
    ASSERT_EQ(saved.size(), 27u);
    EXPECT_EQ(saved, std::vector<std::string>(shown.begin() + 3, shown.end()));
    ASSERT_EQ(board.received.size(), 4u);
    EXPECT_EQ(board.received[3], pavix::RequestFrame(pavix::kTagIfGet));
}

TEST(PavixCliProgram, SilentBoardFailsWithinTheReadTimeout)
{
    platform::testing::PtyPeer peer;
    const CliRun run = runCli({"--port", peer.slavePath(), "--read-timeout", "300", "sysinfo"});
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.lastErrLine(), "error link: Is not connected with the printer.");
    EXPECT_NE(run.err.find("300 ms"), std::string::npos) << run.err;
    EXPECT_LT(run.elapsedMs, 3000);
    EXPECT_TRUE(run.out.empty());

    const CliRun json = runCli({"--port", peer.slavePath(), "--read-timeout", "100", "--json", "sysinfo"});
    EXPECT_EQ(json.exitStatus, 1);
    EXPECT_EQ(json.out.rfind("{\"ok\": false, \"error\": \"link\", \"message\": \"Is not connected with the printer.\"", 0),
              0u)
        << json.out;
}

TEST(PavixCliProgram, MissingPortAndUnknownUsbDeviceFailWithTheirMessages)
{
    const CliRun serial = runCli({"--port", "/nonexistent/ttyX", "sysinfo"});
    EXPECT_EQ(serial.exitStatus, 1);
    EXPECT_EQ(serial.lastErrLine(), "error open: Failed a port open!");
    EXPECT_NE(serial.err.find("/nonexistent/ttyX"), std::string::npos);

    TempDir root;
    std::filesystem::create_directories(root.path() + "/sys/class/usbmisc");
    std::filesystem::create_directories(root.path() + "/dev/usb");
    const CliRun usb = runCli({"--port", "USB001", "bss"}, {"QUELLIX_DEVICE_ROOT=" + root.path()});
    EXPECT_EQ(usb.exitStatus, 1);
    EXPECT_EQ(usb.lastErrLine(), "error usb: Not Connect USB Device and Power off!");
}

TEST(PavixCliProgram, PortsListsTheFakeTree)
{
    TempDir root;
    namespace fs = std::filesystem;
    const fs::path base = root.path();
    const fs::path device = base / "sys" / "devices" / "usb1" / "1-1";
    fs::create_directories(device / "1-1:1.0" / "usbmisc");
    std::ofstream(device / "idVendor") << "1a2b\n";
    std::ofstream(device / "idProduct") << "0C28\n";
    fs::create_directories(base / "sys" / "class" / "usbmisc" / "lp0");
    fs::create_directory_symlink("../../../devices/usb1/1-1/1-1:1.0", base / "sys" / "class" / "usbmisc" / "lp0" / "device");
    fs::create_directories(base / "dev" / "usb");
    std::ofstream(base / "dev" / "usb" / "lp0") << "";
    const CliRun run = runCli({"ports"}, {"QUELLIX_DEVICE_ROOT=" + root.path()});
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "usb\tUSB001\t" + (base / "dev" / "usb" / "lp0").string() + "\t1a2b:0c28\taccepted\n");
}

TEST(PavixCliProgram, BssOverLoopbackTcp)
{
    platform::testing::TcpPeer peer;
    const pavix::BssEntry entries[] = {{"lab", {1, 2, 3, 4, 5, 6}, 0, -55, pavix::kBssWpa2}};
    const Bytes answer = pavix::BuildMessage(pavix::kTagBssRsp, pavix::EncodeBssBody(entries));
    Bytes request;
    peer.serve([&](int fd) {
        std::uint8_t buffer[32];
        std::size_t got = 0;
        while (got < 20) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 5000) != 1)
                return;
            const ssize_t n = ::read(fd, buffer + got, sizeof buffer - got);
            if (n <= 0)
                return;
            got += static_cast<std::size_t>(n);
        }
        request.assign(buffer, buffer + got);
        (void)!::write(fd, answer.data(), answer.size());
    });
    const CliRun run = runCli({"bss", "--tcp", "127.0.0.1", "--tcp-port", std::to_string(peer.port())});
    peer.join();
    EXPECT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_EQ(run.out, "No\tSSID\tBSSID\tMode\tRSSI\tSecurity\n1\tlab\t01-02-03-04-05-06\tInfrastructure\t-55\tWPA2\n");
    EXPECT_EQ(request, pavix::BuildMessage(pavix::kTagBssReq));
}

} // namespace
