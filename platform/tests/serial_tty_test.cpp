// The tty serial port over a real pseudo-terminal: the test holds the master
// (the "printer" end) and a slave descriptor to read the line settings back.
#include "platform/serial_port.h"
#include "platform/testing/pty_peer.h"
#include "platform/wait_hook.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

namespace {

using platform::SerialLine;
using platform::SerialTimeouts;
using SteadyTime = std::chrono::steady_clock;

long long msSince(SteadyTime::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyTime::now() - start).count();
}

class PtyTest : public ::testing::Test {
protected:
    termios slaveSettings() const
    {
        termios tio{};
        EXPECT_EQ(::tcgetattr(peer_.slave(), &tio), 0);
        return tio;
    }

    void masterWrite(const std::vector<std::uint8_t>& bytes) const { peer_.write(bytes); }
    std::vector<std::uint8_t> masterRead(std::size_t count) const { return peer_.read(count); }

    std::unique_ptr<platform::SerialPort> openPort() const
    {
        auto port = platform::makeTtySerial();
        EXPECT_TRUE(port->open({slavePath_})) << port->lastError().describe();
        return port;
    }

    platform::testing::PtyPeer peer_;
    const int master_ = peer_.master();
    const int slave_ = peer_.slave();
    const std::string slavePath_ = peer_.slavePath();
};

TEST(SerialPortNames, ComNamesMapToTtyS)
{
    EXPECT_EQ(platform::serialDevicePath("COM3"), "/dev/ttyS2");
    EXPECT_EQ(platform::serialDevicePath("\\\\.\\COM12"), "/dev/ttyS11");
    EXPECT_EQ(platform::serialDevicePath("com1:"), "/dev/ttyS0");
    EXPECT_EQ(platform::serialDevicePath("\\\\.\\cOm10:"), "/dev/ttyS9");
}

TEST(SerialPortNames, OtherNamesAreDevicePaths)
{
    for (const std::string name : {"/dev/ttyUSB0", "/dev/pts/3", "COM0", "COM", "COMX", "COM1a",
                                   "LPT1", "xCOM1", "COM99999999999999999999"})
        EXPECT_EQ(platform::serialDevicePath(name), name);
}

struct LineCase {
    SerialLine line;
    speed_t speed;
    tcflag_t size;
};

const LineCase kLineCases[] = {
    {{9600, 7, 1, 2, 1}, B9600, CS7},
    {{115200, 8, 2, 0, 0}, B115200, CS8},
    {{4000000, 5, 0, 0, 0}, B4000000, CS5},
    {{50, 6, 1, 0, 1}, B50, CS6},
    {{115200, 8, 0, 0, 2}, B115200, CS8},
};

// The settings a pseudo-terminal keeps as given; it forces CS8 and clears
// PARENB itself, so those two are checked on the built settings below.
void expectLineSettings(const termios& tio, const LineCase& c)
{
    EXPECT_EQ(::cfgetospeed(&tio), c.speed);
    EXPECT_EQ(::cfgetispeed(&tio), c.speed);
    EXPECT_EQ((tio.c_cflag & PARODD) != 0, c.line.parity == 1);
    EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.line.parity == 1);
    EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.line.stopBits == 2);
    EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.line.flowControl != 0);
    EXPECT_EQ(tio.c_cflag & (CLOCAL | CREAD), CLOCAL | CREAD);
    // Byte-exact: no echo, no line editing, no CR/LF or flow translation.
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | IXANY), 0u);
}

TEST(SerialLineSettings, BuildsSizeParityStopBitsAndFlow)
{
    for (const LineCase& c : kLineCases) {
        SCOPED_TRACE(c.line.baudRate);
        termios tio{};
        // Start from cooked settings with everything the line must clear set.
        tio.c_iflag = ICRNL | IXON | IXOFF | INPCK | ISTRIP;
        tio.c_oflag = OPOST | ONLCR;
        tio.c_lflag = ICANON | ECHO | ISIG | IEXTEN;
        tio.c_cflag = CS8 | PARENB | PARODD | CSTOPB | CRTSCTS;
        ASSERT_EQ(platform::applySerialLine(c.line, tio), 0);
        expectLineSettings(tio, c);
        EXPECT_EQ(tio.c_cflag & CSIZE, c.size);
        EXPECT_EQ((tio.c_cflag & PARENB) != 0, c.line.parity != 0);
    }
}

TEST_F(PtyTest, ConfigureAppliesLineSettings)
{
    auto port = openPort();
    for (const LineCase& c : kLineCases) {
        SCOPED_TRACE(c.line.baudRate);
        ASSERT_TRUE(port->configure(c.line)) << port->lastError().describe();
        expectLineSettings(slaveSettings(), c);
    }
}

TEST_F(PtyTest, ConfigureRejectsUnsupportedSettings)
{
    auto port = openPort();
    const SerialLine bad[] = {
        {12345, 8, 0, 0, 0}, {9600, 9, 0, 0, 0}, {9600, 8, 5, 0, 0},
        {9600, 8, 0, 1, 0},  {9600, 8, 0, 0, 6}, {9600, 8, -1, 0, 0},
    };
    for (const SerialLine& line : bad) {
        EXPECT_FALSE(port->configure(line));
        EXPECT_EQ(port->lastError().code, EINVAL);
        termios tio{};
        EXPECT_EQ(platform::applySerialLine(line, tio), EINVAL);
    }
}

// The POS printers' modes beside the mobile ones: mark and space parity,
// input checking for every parity, and the three flow modes with DTR and
// RTS held on.
struct PosLineCase {
    int parity;
    int flow;
    tcflag_t parityBits;   // of PARENB | PARODD | CMSPAR
    bool inputCheck;
    bool rtsCts;
    bool xonXoff;
};

const PosLineCase kPosLineCases[] = {
    {platform::kParityNone, platform::kFlowHardware, 0, false, true, false},
    {platform::kParityOdd, platform::kFlowXonXoff, PARENB | PARODD, true, false, true},
    {platform::kParityEven, platform::kFlowOpen, PARENB, true, false, false},
    {platform::kParityMark, platform::kFlowHardware, PARENB | PARODD | CMSPAR, true, true, false},
    {platform::kParitySpace, platform::kFlowXonXoff, PARENB | CMSPAR, true, false, true},
};

TEST(SerialLineSettings, PosModesUseEveryParityAndTheChosenFlow)
{
    for (const PosLineCase& c : kPosLineCases) {
        SCOPED_TRACE(c.parity * 10 + c.flow);
        SerialLine line{9600, 8, c.parity, platform::kStopOne, c.flow, true};
        termios tio{};
        tio.c_cflag = PARENB | PARODD | CMSPAR | CRTSCTS;
        tio.c_iflag = IXON | IXOFF | IXANY | INPCK;
        ASSERT_EQ(platform::applySerialLine(line, tio), 0);
        EXPECT_EQ(tio.c_cflag & (PARENB | PARODD | CMSPAR), c.parityBits);
        EXPECT_EQ((tio.c_iflag & INPCK) != 0, c.inputCheck);
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, c.rtsCts);
        EXPECT_EQ((tio.c_iflag & IXON) != 0, c.xonXoff);
        EXPECT_EQ((tio.c_iflag & IXOFF) != 0, c.xonXoff);
        EXPECT_EQ(tio.c_iflag & IXANY, 0u);
        EXPECT_TRUE(platform::serialLineProblem(line).empty());
    }
}

TEST(SerialLineSettings, MobileModesStillCheckOnlyOddParity)
{
    for (int parity : {platform::kParityEven, platform::kParityMark, platform::kParitySpace}) {
        termios tio{};
        ASSERT_EQ(platform::applySerialLine(SerialLine{9600, 8, parity, 0, 0}, tio), 0);
        EXPECT_EQ(tio.c_iflag & INPCK, 0u) << parity;
    }
    termios tio{};
    ASSERT_EQ(platform::applySerialLine(SerialLine{9600, 8, platform::kParityOdd, 0, 0}, tio), 0);
    EXPECT_NE(tio.c_iflag & INPCK, 0u);
}

TEST(SerialLineSettings, OneAndAHalfStopBitsAreRefusedWithTheirReason)
{
    const SerialLine line{9600, 8, 0, platform::kStopOneAndHalf, platform::kFlowHardware, true};
    termios tio{};
    EXPECT_EQ(platform::applySerialLine(line, tio), EINVAL);
    EXPECT_NE(platform::serialLineProblem(line).find("one and a half stop bits"), std::string::npos);
}

TEST_F(PtyTest, OneAndAHalfStopBitsRefusedByConfigureWithTheReason)
{
    auto port = openPort();
    EXPECT_FALSE(port->configure(SerialLine{9600, 8, 0, platform::kStopOneAndHalf, platform::kFlowOpen, true}));
    EXPECT_EQ(port->lastError().code, EINVAL);
    EXPECT_NE(port->lastError().describe().find("one and a half"), std::string::npos);
}

TEST_F(PtyTest, PosFlowModesConfigureAPseudoTerminal)
{
    auto port = openPort();
    for (int flow : {platform::kFlowHardware, platform::kFlowXonXoff, platform::kFlowOpen}) {
        ASSERT_TRUE(port->configure(SerialLine{19200, 8, 0, 0, flow, true})) << port->lastError().describe();
        const termios tio = slaveSettings();
        EXPECT_EQ((tio.c_iflag & IXON) != 0, flow == platform::kFlowXonXoff);
        EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, flow == platform::kFlowHardware);
    }
}

TEST_F(PtyTest, AllByteValuesPassUnchangedBothWays)
{
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setTimeouts({0, 10, 2000, 10, 2000});
    std::vector<std::uint8_t> all(256);
    std::iota(all.begin(), all.end(), std::uint8_t{0});

    ASSERT_EQ(port->write(all.data(), 256).bytes, 256);
    EXPECT_EQ(masterRead(256), all);

    masterWrite(all);
    std::vector<std::uint8_t> got(256);
    ASSERT_EQ(port->read(got.data(), 256).bytes, 256);
    EXPECT_EQ(got, all);
}

TEST_F(PtyTest, SecondOpenerInThisProcessIsRefusedUntilClosed)
{
    auto first = openPort();
    auto second = platform::makeTtySerial();
    EXPECT_FALSE(second->open({slavePath_}));
    EXPECT_FALSE(second->isOpen());
    EXPECT_EQ(second->lastError().code, EBUSY);
    EXPECT_EQ(second->lastError().target, slavePath_);

    first->close();
    first->close(); // harmless
    EXPECT_FALSE(first->isOpen());
    EXPECT_TRUE(second->open({slavePath_})) << second->lastError().describe();
}

TEST_F(PtyTest, SecondOpenerInAnotherProcessIsRefused)
{
    auto first = openPort();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto port = platform::makeTtySerial();
        if (port->open({slavePath_}))
            ::_exit(1);
        ::_exit(port->lastError().code == EBUSY ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: opened, 2: refused for another reason";
}

TEST_F(PtyTest, SilentReadEndsAtTheTotalTimeout)
{
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setTimeouts({10, 10, 1000, 0, 0}); // 10 x 100 + 1000 = 2 s
    std::uint8_t buffer[100];
    const auto start = SteadyTime::now();
    EXPECT_EQ(port->read(buffer, 100).bytes, 0);
    const long long elapsed = msSince(start);
    EXPECT_GE(elapsed, 1800);
    EXPECT_LT(elapsed, 3000);
    EXPECT_EQ(port->lastError().code, ETIMEDOUT);
}

TEST_F(PtyTest, IntervalEndsReadOnceTheLineGoesQuiet)
{
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setTimeouts({10, 0, 5000, 0, 0});
    masterWrite({'A', 'C', 'K'});
    std::uint8_t buffer[100];
    const auto start = SteadyTime::now();
    ASSERT_EQ(port->read(buffer, 100).bytes, 3);
    EXPECT_LT(msSince(start), 1000);
    EXPECT_EQ(std::string(buffer, buffer + 3), "ACK");
}

TEST_F(PtyTest, ReadReturnsAsSoonAsTheBufferIsFull)
{
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setTimeouts({0, 0, 5000, 0, 0});
    masterWrite({1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    std::uint8_t buffer[10] = {};
    const auto start = SteadyTime::now();
    ASSERT_EQ(port->read(buffer, 4).bytes, 4);
    ASSERT_EQ(port->read(buffer + 4, 6).bytes, 6);
    EXPECT_LT(msSince(start), 1000);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[9], 10);
}

TEST_F(PtyTest, ZeroTimeoutsReturnWhatIsThereAtOnce)
{
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setTimeouts({});
    std::uint8_t buffer[16];
    auto start = SteadyTime::now();
    EXPECT_EQ(port->read(buffer, 16).bytes, 0);
    EXPECT_LT(msSince(start), 500);

    masterWrite({7, 8, 9});
    pollfd p{slave_, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    start = SteadyTime::now();
    EXPECT_EQ(port->read(buffer, 16).bytes, 3);
    EXPECT_LT(msSince(start), 500);
}

TEST_F(PtyTest, PurgeDiscardsPendingInput)
{
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    masterWrite({1, 2, 3});
    pollfd p{slave_, POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    ASSERT_TRUE(port->purge()) << port->lastError().describe();
    port->setTimeouts({});
    std::uint8_t buffer[8];
    EXPECT_EQ(port->read(buffer, 8).bytes, 0);
}

TEST_F(PtyTest, PurgeKeepsWhatWasAlreadyWrittenToThePeer)
{
    // A transfer followed at once by purge and close (what closing the port
    // does) must still reach the printer whole.
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setTimeouts({0, 0, 0, 0, 2000});
    const std::vector<std::uint8_t> data(8000, 0xA5);
    ASSERT_EQ(port->write(data.data(), static_cast<int>(data.size())).bytes, 8000);
    ASSERT_TRUE(port->purge());
    port->close();
    EXPECT_EQ(masterRead(8000), data);
}

TEST_F(PtyTest, BoundedWriteGivesUpAtTheLineWriteTimeout)
{
    // The open probe's write: multiplier x length + constant, as the line
    // time-outs say, whatever the stall bound.
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setTimeouts({0, 0, 0, 0, 100});
    port->setStallTimeoutMs(60000);
    const std::vector<std::uint8_t> big(4 * 1024 * 1024, 0x55);
    const auto start = SteadyTime::now();
    const platform::IoResult result = port->writeWithinTimeouts(big.data(), static_cast<int>(big.size()));
    EXPECT_LT(result.bytes, static_cast<int>(big.size()));
    EXPECT_EQ(result.end, platform::IoEnd::Timeout);
    EXPECT_LT(msSince(start), 2000);
    EXPECT_EQ(port->lastError().code, ETIMEDOUT);
}

TEST_F(PtyTest, StalledWriteFailsAfterTheStallBoundWithTheReason)
{
    // The printer end never reads: the line's 100 ms write time-out must not
    // end a data write, the 300 ms stall bound must.
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setTimeouts({0, 0, 0, 0, 100});
    port->setStallTimeoutMs(300);
    const std::vector<std::uint8_t> big(4 * 1024 * 1024, 0x55);
    const auto start = SteadyTime::now();
    const platform::IoResult result = port->write(big.data(), static_cast<int>(big.size()));
    const long long elapsed = msSince(start);
    EXPECT_LT(result.bytes, static_cast<int>(big.size()));
    EXPECT_EQ(result.end, platform::IoEnd::Timeout);
    EXPECT_GE(elapsed, 290);
    EXPECT_LT(elapsed, 3000);
    EXPECT_EQ(result.error.code, ETIMEDOUT);
    EXPECT_EQ(result.error.reason, "the printer stopped accepting data for 0.3 s");
    EXPECT_EQ(port->lastError().describe(), "write " + slavePath_ + ": the printer stopped accepting data for 0.3 s");
}

TEST_F(PtyTest, ASlowButSteadyPrinterIsNotAStall)
{
    // Every chunk the printer takes restarts the stall timer, so a transfer
    // that takes far longer than the bound still completes.
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setStallTimeoutMs(300);
    std::vector<std::uint8_t> data(512 * 1024);
    std::iota(data.begin(), data.end(), std::uint8_t{0});
    std::vector<std::uint8_t> seen;
    std::thread printer([&] {
        while (seen.size() < data.size()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(40));
            const auto chunk = peer_.read(std::min<std::size_t>(32 * 1024, data.size() - seen.size()), 500);
            if (chunk.empty())
                break;
            seen.insert(seen.end(), chunk.begin(), chunk.end());
        }
    });
    const auto start = SteadyTime::now();
    const platform::IoResult result = port->write(data.data(), static_cast<int>(data.size()));
    const long long elapsed = msSince(start);
    printer.join();
    EXPECT_TRUE(result.complete()) << result.error.describe();
    EXPECT_EQ(result.bytes, static_cast<int>(data.size()));
    EXPECT_GT(elapsed, 300) << "the peer was meant to be slower than the bound";
    EXPECT_EQ(seen, data);
}

TEST_F(PtyTest, AStalledWriteKeepsTheWaitHookRunning)
{
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setStallTimeoutMs(400);
    int hookRuns = 0;
    platform::ScopedWaitHook hook([&] { ++hookRuns; });
    const std::vector<std::uint8_t> big(4 * 1024 * 1024, 0x55);
    EXPECT_EQ(port->write(big.data(), static_cast<int>(big.size())).end, platform::IoEnd::Timeout);
    // About one run per 50 ms slice.
    EXPECT_GE(hookRuns, 4);
}

TEST_F(PtyTest, AStopRequestEndsAStalledWrite)
{
    // In a child: the request is for the whole process and stays set.
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        struct sigaction action {};
        action.sa_handler = [](int) { platform::requestInterrupt(); };
        ::sigaction(SIGALRM, &action, nullptr);
        itimerval timer{};
        timer.it_value.tv_usec = 200 * 1000;
        ::setitimer(ITIMER_REAL, &timer, nullptr);
        port->setStallTimeoutMs(60000);
        const std::vector<std::uint8_t> big(4 * 1024 * 1024, 0x55);
        const auto start = SteadyTime::now();
        const platform::IoResult result = port->write(big.data(), static_cast<int>(big.size()));
        if (result.end != platform::IoEnd::Error || result.error.code != EINTR)
            ::_exit(1);
        ::_exit(msSince(start) < 2000 ? 0 : 2);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not ended as interrupted, 2: too late";
}

TEST_F(PtyTest, HangUpEndsReadWithTheReason)
{
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{}));
    port->setTimeouts({0, 0, 5000, 0, 0});
    peer_.hangUp();
    std::uint8_t buffer[8];
    const auto start = SteadyTime::now();
    EXPECT_EQ(port->read(buffer, 8).bytes, 0);
    EXPECT_LT(msSince(start), 1000);
    EXPECT_TRUE(port->lastError().isSet());
    EXPECT_NE(port->lastError().code, ETIMEDOUT);
}

TEST_F(PtyTest, ModemStatusWithoutModemLinesReportsDsrAndCts)
{
    auto port = openPort();
    ASSERT_TRUE(port->configure(SerialLine{9600, 8, 0, 0, 1}));
    platform::ModemStatus status;
    ASSERT_TRUE(port->modemStatus(status)) << port->lastError().describe();
    EXPECT_TRUE(status.dsr);
    EXPECT_TRUE(status.cts);
    EXPECT_FALSE(status.dcd);
    EXPECT_FALSE(status.ring);
}

TEST(SerialPortErrors, MissingDeviceFailsWithEnoent)
{
    auto port = platform::makeTtySerial();
    EXPECT_FALSE(port->open({"/dev/quellix-no-such-tty"}));
    EXPECT_FALSE(port->isOpen());
    EXPECT_EQ(port->lastError().code, ENOENT);
    EXPECT_EQ(port->lastError().operation, "open");
    EXPECT_EQ(port->lastError().target, "/dev/quellix-no-such-tty");
}

TEST(SerialPortErrors, ClosedPortRefusesEveryOperation)
{
    auto port = platform::makeTtySerial();
    std::uint8_t byte = 0;
    platform::ModemStatus status;
    EXPECT_FALSE(port->configure(SerialLine{}));
    EXPECT_FALSE(port->purge());
    EXPECT_EQ(port->write(&byte, 1).bytes, 0);
    EXPECT_EQ(port->read(&byte, 1).bytes, 0);
    EXPECT_FALSE(port->modemStatus(status));
    EXPECT_EQ(port->lastError().code, EBADF);
    port->close();
}

class SerialPortListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quellix-serial-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        roots_.sysRoot = (root_ / "sys").string();
        roots_.devRoot = (root_ / "dev").string();
        std::filesystem::create_directories(root_ / "dev");
    }
    void TearDown() override { std::filesystem::remove_all(root_); }

    // A class/tty entry; `type` empty means no type file.
    void addTty(const std::string& name, bool hasDevice, const std::string& type, bool hasNode)
    {
        const auto dir = root_ / "sys" / "class" / "tty" / name;
        std::filesystem::create_directories(dir);
        if (hasDevice)
            std::filesystem::create_directories(dir / "device");
        if (!type.empty())
            std::ofstream(dir / "type") << type << "\n";
        if (hasNode)
            std::ofstream(root_ / "dev" / name) << "";
    }

    std::filesystem::path root_;
    platform::DeviceRoots roots_;
};

TEST_F(SerialPortListTest, ListsPresentDevicesInNaturalOrder)
{
    addTty("ttyS0", true, "4", true);
    addTty("ttyS1", true, "0", true);   // no UART at that address
    addTty("ttyS2", true, "", true);    // no type file: kept
    addTty("ttyS10", true, "4", true);
    addTty("ttyUSB0", true, "", true);
    addTty("ttyACM0", true, "", false); // no device node
    addTty("tty0", false, "", true);    // virtual console
    std::ofstream(root_ / "dev" / "rfcomm0") << "";

    const std::string dev = roots_.devRoot + "/";
    const std::vector<std::string> expected{dev + "rfcomm0", dev + "ttyS0", dev + "ttyS2",
                                            dev + "ttyS10", dev + "ttyUSB0"};
    EXPECT_EQ(platform::listSerialPorts(roots_), expected);
}

TEST_F(SerialPortListTest, EmptyOrMissingTreeListsNothing)
{
    EXPECT_TRUE(platform::listSerialPorts(roots_).empty());
    platform::DeviceRoots missing{(root_ / "nowhere").string(), (root_ / "nowhere").string()};
    EXPECT_TRUE(platform::listSerialPorts(missing).empty());
}

} // namespace
