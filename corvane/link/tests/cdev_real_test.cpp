// CDev over the machine's real devices: a pseudo-terminal standing in for a
// serial (or USB) printer, and loopback TCP peers that talk, pause and stall.
#include "corvane/link/CDev.h"
#include "platform/testing/pty_peer.h"
#include "platform/testing/tcp_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace corvane;

namespace {

using SteadyTime = std::chrono::steady_clock;

long long msSince(SteadyTime::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyTime::now() - start).count();
}

int openFdCount()
{
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (::readdir(dir) != nullptr)
            ++count;
        ::closedir(dir);
    }
    return count;
}

std::vector<std::uint8_t> patternOf(std::size_t n)
{
    std::vector<std::uint8_t> data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xff);
    return data;
}

// What a TCP printer received, and whether the stream ended in order.
struct Received {
    std::vector<std::uint8_t> bytes;
    bool orderlyEnd = false;
};

// Reads until end of stream; `each` runs after every read with the total so
// far (to talk back or pause).
Received receiveAll(int fd, const std::function<void(std::size_t)>& each = {})
{
    Received got;
    std::uint8_t chunk[8192];
    for (;;) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 10000) != 1)
            return got;
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            got.orderlyEnd = n == 0;
            return got;
        }
        got.bytes.insert(got.bytes.end(), chunk, chunk + n);
        if (each)
            each(got.bytes.size());
    }
}

TEST(CDevOverPty, ProbeByteThenDataReachThePrinterAndRepliesComeBack)
{
    platform::testing::PtyPeer peer;

    CDev dev;
    dev.settings.portName = peer.slavePath();
    dev.settings.flowControl = 1;
    ASSERT_EQ(dev.Open(), 1) << dev.LastOsError().describe();
    EXPECT_EQ(peer.read(1), std::vector<std::uint8_t>{0x00});

    CDev second;
    second.settings.portName = peer.slavePath();
    EXPECT_EQ(second.Open(), 0) << "the port is exclusive";

    const std::uint8_t query[] = {0x1D, 0x49, 0x43};
    EXPECT_EQ(dev.Write(query, 3), 3);
    EXPECT_EQ(peer.read(3), std::vector<std::uint8_t>(query, query + 3));
    peer.write({'_', 'K', 0});
    std::uint8_t buffer[20] = {};
    EXPECT_EQ(dev.Read(buffer, 20, 1), 3);
    EXPECT_EQ(buffer[1], 'K');
    dev.Close();
}

TEST(CDevOverPty, AStalledSerialPrinterFailsTheWriteAtTheStallBound)
{
    platform::testing::PtyPeer peer;
    CDev dev;
    dev.settings.portName = peer.slavePath();
    dev.stallTimeoutMs = 300;
    ASSERT_EQ(dev.Open(), 1) << dev.LastOsError().describe();
    const auto piece = patternOf(4096);
    int result = 4096;
    long long failedAfterMs = 0;
    // The printer end never reads: its buffers fill, then nothing moves.
    for (int i = 0; i < 4096 && result == 4096; ++i) {
        const auto start = SteadyTime::now();
        result = dev.Write(piece.data(), 4096);
        failedAfterMs = msSince(start);
    }
    EXPECT_LT(result, 4096);
    EXPECT_GE(result, 0);
    EXPECT_GE(failedAfterMs, 290);
    EXPECT_LT(failedAfterMs, 3000);
    EXPECT_EQ(dev.LastOsError().reason, "the printer stopped accepting data for 0.3 s");
    dev.Close();
}

TEST(CDevOverUsb, AStalledUsbPrinterFailsTheWriteAtTheStallBound)
{
    // A pseudo-terminal behind <root>/dev/usb/lp0 stands in for the printer.
    char pattern[] = "/tmp/corvane-usb-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::filesystem::path root = pattern;
    std::filesystem::create_directories(root / "dev" / "usb");
    platform::testing::PtyPeer peer(false);
    const std::string node = (root / "dev" / "usb" / "lp0").string();
    std::filesystem::create_symlink(peer.slavePath(), node);
    ::setenv("QUELLIX_DEVICE_ROOT", root.c_str(), 1);

    CDev dev;
    dev.settings.portName = node;
    dev.stallTimeoutMs = 300;
    EXPECT_EQ(dev.KindFor(node), PortKind::Usb);
    if (dev.Open() == 1) {
        const auto piece = patternOf(4096);
        int result = 4096;
        long long failedAfterMs = 0;
        for (int i = 0; i < 4096 && result == 4096; ++i) {
            const auto start = SteadyTime::now();
            result = dev.Write(piece.data(), 4096);
            failedAfterMs = msSince(start);
        }
        EXPECT_LT(result, 4096);
        EXPECT_GE(failedAfterMs, 290);
        EXPECT_LT(failedAfterMs, 3000);
        EXPECT_EQ(dev.LastOsError().reason, "the printer stopped accepting data for 0.3 s");
        dev.Close();
    } else {
        ADD_FAILURE() << dev.LastOsError().describe();
    }
    ::unsetenv("QUELLIX_DEVICE_ROOT");
    std::filesystem::remove_all(root);
}

TEST(CDevOverTcp, ConnectsToTheLow16BitsAndEachCloseReleasesTheSocket)
{
    platform::testing::TcpPeer printer;
    const int fdsBefore = openFdCount();
    CDev dev;
    dev.settings.portName = "NET127.0.0.1";
    dev.settings.baudRate = 0x30000 + printer.port();
    for (int round = 0; round < 3; ++round) {
        Received got;
        printer.serve([&](int fd) { got = receiveAll(fd); });
        ASSERT_EQ(dev.Open(), 1) << dev.LastOsError().describe();
        const std::uint8_t data[] = {0x1B, 0x4D, 0x49};
        EXPECT_EQ(dev.Write(data, 3), 3);
        dev.Close();
        printer.join();
        EXPECT_EQ(got.bytes.size(), 3u);
        EXPECT_TRUE(got.orderlyEnd) << "the printer sees the connection end";
    }
    EXPECT_EQ(openFdCount(), fdsBefore);
}

TEST(CDevOverTcp, AChattyPausingPrinterGetsTheWholeTransferOrItFails)
{
    // While it takes a 1 MiB transfer the printer sends a few status bytes
    // nobody reads and pauses now and then, the last time just before the
    // end, so the tail is still on its way when the program closes. Success
    // must mean it got every byte; missing bytes must show as a failed write.
    platform::testing::TcpPeer printer(16 * 1024);
    const auto data = patternOf(1024 * 1024);
    Received got;
    printer.serve([&](int fd) {
        std::size_t nextStatus = 0;
        std::size_t nextPause = 0;
        bool pausedNearTheEnd = false;
        got = receiveAll(fd, [&](std::size_t total) {
            if (total >= nextStatus) {
                const std::uint8_t status[] = {0x14, 0x00};
                ::send(fd, status, sizeof status, MSG_NOSIGNAL);
                nextStatus += 96 * 1024;
            }
            if (total >= nextPause) {
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
                nextPause += 256 * 1024;
            }
            if (!pausedNearTheEnd && total >= data.size() - 96 * 1024) {
                std::this_thread::sleep_for(std::chrono::milliseconds(600));
                pausedNearTheEnd = true;
            }
        });
    });

    CDev dev;
    dev.settings.portName = "NET127.0.0.1";
    dev.settings.baudRate = printer.port();
    ASSERT_EQ(dev.Open(), 1) << dev.LastOsError().describe();
    bool allWritten = true;
    for (std::size_t at = 0; at < data.size() && allWritten; at += 4096)
        allWritten = dev.Write(data.data() + at, 4096) == 4096;
    dev.Close();
    printer.join();

    if (allWritten) {
        EXPECT_EQ(got.bytes.size(), data.size());
        EXPECT_TRUE(got.bytes == data) << "reported written, but the printer got other bytes";
        EXPECT_TRUE(got.orderlyEnd) << "the connection was reset";
    }
    EXPECT_TRUE(allWritten) << dev.LastOsError().describe() << " (nothing was wrong with this printer)";
}

TEST(CDevOverTcp, APrinterThatStopsReadingFailsTheWriteWithTheReason)
{
    platform::testing::TcpPeer printer(4096);
    std::atomic<bool> done{false};
    printer.serve([&](int) {
        while (!done)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    });
    CDev dev;
    dev.settings.portName = "NET127.0.0.1";
    dev.settings.baudRate = printer.port();
    dev.stallTimeoutMs = 300;
    ASSERT_EQ(dev.Open(), 1) << dev.LastOsError().describe();
    const auto piece = patternOf(4096);
    int result = 4096;
    long long failedAfterMs = 0;
    for (int i = 0; i < 4096 && result == 4096; ++i) {
        const auto start = SteadyTime::now();
        result = dev.Write(piece.data(), 4096);
        failedAfterMs = msSince(start);
    }
    EXPECT_EQ(result, -1);
    EXPECT_GE(failedAfterMs, 290);
    EXPECT_LT(failedAfterMs, 3000);
    EXPECT_EQ(dev.LastOsError().reason, "the printer stopped accepting data for 0.3 s");
    EXPECT_EQ(dev.LastOsError().describe(),
              "write 127.0.0.1:" + std::to_string(printer.port()) + ": the printer stopped accepting data for 0.3 s");
    done = true;
    printer.join();
    dev.Close();
}

} // namespace
