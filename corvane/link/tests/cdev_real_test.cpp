// CDev over the machine's real devices: a pseudo-terminal standing in for a
// serial printer, and a loopback TCP listener.
#include "corvane/link/CDev.h"
#include "platform/testing/pty_peer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace corvane;

namespace {

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

// Bytes the peer end receives within `ms`.
std::vector<std::uint8_t> drain(int fd, int ms)
{
    std::vector<std::uint8_t> bytes;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, ms) > 0) {
        std::uint8_t chunk[256];
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n <= 0)
            break;
        bytes.insert(bytes.end(), chunk, chunk + n);
        ms = 50;
    }
    return bytes;
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

TEST(CDevOverTcp, ConnectsToTheLow16BitsAndEachCloseReleasesTheSocket)
{
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    ASSERT_EQ(::listen(listener, 4), 0);
    const int port = ntohs(addr.sin_port);

    const int fdsBefore = openFdCount();
    CDev dev;
    dev.settings.portName = "NET127.0.0.1";
    dev.settings.baudRate = 0x30000 + port;
    for (int round = 0; round < 3; ++round) {
        ASSERT_EQ(dev.Open(), 1) << dev.LastOsError().describe();
        const int peer = ::accept(listener, nullptr, nullptr);
        ASSERT_GE(peer, 0);
        const std::uint8_t data[] = {0x1B, 0x4D, 0x49};
        EXPECT_EQ(dev.Write(data, 3), 3);
        EXPECT_EQ(drain(peer, 1000).size(), 3u);
        dev.Close();
        std::uint8_t b = 0;
        EXPECT_EQ(::read(peer, &b, 1), 0) << "the printer sees the connection end";
        ::close(peer);
    }
    EXPECT_EQ(openFdCount(), fdsBefore);
    ::close(listener);
}

} // namespace
