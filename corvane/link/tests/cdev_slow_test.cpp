// A long transfer to a printer that reads slower than the link: 20 MB at
// 150 KB/s through CDev in 4096-byte pieces must arrive whole. Takes over
// two minutes; ctest runs it labelled "slow", beside the other tests.
#include "corvane/link/CDev.h"
#include "platform/testing/tcp_peer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include <poll.h>
#include <sys/socket.h>

using namespace corvane;

namespace {

constexpr std::size_t kTransferBytes = 20 * 1000 * 1000;
constexpr std::size_t kBytesPerSecond = 150 * 1000;
constexpr int kPieceBytes = 4096;

std::uint8_t patternByte(std::size_t i)
{
    return static_cast<std::uint8_t>((i * 13 + i / 4093) & 0xff);
}

TEST(CDevOverTcpSlow, APrinterReadingAt150KBPerSecondGetsA20MBTransferWhole)
{
    platform::testing::TcpPeer printer(16 * 1024);
    std::size_t received = 0;
    std::size_t mismatches = 0;
    bool orderlyEnd = false;
    printer.serve([&](int fd) {
        using Clock = std::chrono::steady_clock;
        const auto start = Clock::now();
        std::vector<std::uint8_t> chunk(16 * 1024);
        for (;;) {
            // Never ahead of the printer's rate.
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
            const std::size_t allowed = static_cast<std::size_t>(elapsed.count()) * kBytesPerSecond / 1000 + 1500;
            if (received >= allowed) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 70000) != 1)
                return;
            const std::size_t want = std::min(chunk.size(), allowed - received);
            const ssize_t n = ::recv(fd, chunk.data(), want, 0);
            if (n <= 0) {
                orderlyEnd = n == 0;
                return;
            }
            for (ssize_t k = 0; k < n; ++k) {
                if (chunk[static_cast<std::size_t>(k)] != patternByte(received + static_cast<std::size_t>(k)))
                    ++mismatches;
            }
            received += static_cast<std::size_t>(n);
        }
    });

    std::vector<std::uint8_t> data(kTransferBytes);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = patternByte(i);

    CDev dev;
    dev.settings.portName = "NET127.0.0.1";
    dev.settings.baudRate = printer.port();
    ASSERT_EQ(dev.Open(), 1) << dev.LastOsError().describe();
    std::size_t sent = 0;
    while (sent < data.size()) {
        const int piece = static_cast<int>(std::min<std::size_t>(kPieceBytes, data.size() - sent));
        const int written = dev.Write(data.data() + sent, piece);
        ASSERT_EQ(written, piece) << "at byte " << sent << ": " << dev.LastOsError().describe();
        sent += static_cast<std::size_t>(piece);
    }
    dev.Close();
    printer.join();
    EXPECT_EQ(received, kTransferBytes);
    EXPECT_EQ(mismatches, 0u);
    EXPECT_TRUE(orderlyEnd);
}

} // namespace
