// The TCP client against listening sockets on the loopback interface.
#include "platform/tcp_client.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using SteadyTime = std::chrono::steady_clock;

long long msSince(SteadyTime::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyTime::now() - start).count();
}

std::uint16_t localPort(int fd)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    EXPECT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size), 0);
    return ntohs(address.sin_port);
}

// A socket bound to 127.0.0.1 on a free port; listening unless told not to.
int boundSocket(bool listening)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_GE(fd, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    if (listening) {
        EXPECT_EQ(::listen(fd, 4), 0);
    }
    return fd;
}

std::size_t openFdCount()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

class TcpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        listener_ = boundSocket(true);
        port_ = localPort(listener_);
    }
    void TearDown() override
    {
        if (peer_ >= 0)
            ::close(peer_);
        ::close(listener_);
    }

    void connectAndAccept(platform::TcpIo& client)
    {
        ASSERT_TRUE(client.connect("127.0.0.1", port_, 2000)) << client.lastError().describe();
        pollfd p{listener_, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 2000), 1);
        peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(peer_, 0);
    }

    int listener_ = -1;
    int peer_ = -1;
    std::uint16_t port_ = 0;
};

TEST_F(TcpTest, ConnectsToTheGivenPortAndExchangesBytes)
{
    auto client = platform::makeTcpClient();
    connectAndAccept(*client);
    EXPECT_TRUE(client->isOpen());
    // The accepted connection ends at the port the client was given.
    EXPECT_EQ(localPort(peer_), port_);

    const std::uint8_t request[] = {0x1b, 'S', 0x00, 0xff, '\n'};
    ASSERT_EQ(client->send(request, sizeof request), static_cast<int>(sizeof request));
    std::uint8_t seen[sizeof request] = {};
    std::size_t got = 0;
    while (got < sizeof request) {
        const ssize_t n = ::recv(peer_, seen + got, sizeof request - got, 0);
        ASSERT_GT(n, 0);
        got += static_cast<std::size_t>(n);
    }
    EXPECT_EQ(0, std::memcmp(seen, request, sizeof request));

    const std::string reply = "READY";
    ASSERT_EQ(::send(peer_, reply.data(), reply.size(), 0), static_cast<ssize_t>(reply.size()));
    std::uint8_t buffer[64] = {};
    const int n = client->receive(buffer, sizeof buffer, 2000);
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buffer, buffer + n), reply.substr(0, static_cast<std::size_t>(n)));
}

TEST_F(TcpTest, ReceiveTimesOutWithinItsBound)
{
    auto client = platform::makeTcpClient();
    connectAndAccept(*client);
    std::uint8_t buffer[16];
    const auto start = SteadyTime::now();
    EXPECT_EQ(client->receive(buffer, sizeof buffer, 150), -1);
    const long long elapsed = msSince(start);
    EXPECT_GE(elapsed, 140);
    EXPECT_LT(elapsed, 1500);
    EXPECT_EQ(client->lastError().code, ETIMEDOUT);
    EXPECT_TRUE(client->isOpen());
}

TEST_F(TcpTest, PeerCloseReadsAsZero)
{
    auto client = platform::makeTcpClient();
    connectAndAccept(*client);
    ::close(peer_);
    peer_ = -1;
    std::uint8_t buffer[16];
    EXPECT_EQ(client->receive(buffer, sizeof buffer, 2000), 0);
}

TEST_F(TcpTest, CloseReleasesExactlyOneDescriptor)
{
    const std::size_t before = openFdCount();
    auto client = platform::makeTcpClient();
    connectAndAccept(*client);
    const std::size_t connected = openFdCount();
    EXPECT_EQ(connected, before + 2); // the client socket and the accepted peer

    client->close();
    EXPECT_FALSE(client->isOpen());
    EXPECT_EQ(openFdCount(), connected - 1);

    // The freed number is likely reused at once; a second close must not
    // take the new owner's descriptor with it.
    const int other = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    client->close();
    EXPECT_NE(::fcntl(other, F_GETFD), -1);
    ::close(other);

    std::uint8_t byte = 0;
    EXPECT_EQ(client->send(&byte, 1), -1);
    EXPECT_EQ(client->receive(&byte, 1, 10), -1);
}

TEST(TcpClient, ClosedPortIsRefused)
{
    const int fd = boundSocket(false); // bound, never listening
    const std::uint16_t port = localPort(fd);
    auto client = platform::makeTcpClient();
    EXPECT_FALSE(client->connect("127.0.0.1", port, 2000));
    EXPECT_FALSE(client->isOpen());
    EXPECT_EQ(client->lastError().code, ECONNREFUSED);
    EXPECT_EQ(client->lastError().operation, "connect");
    EXPECT_EQ(client->lastError().target, "127.0.0.1:" + std::to_string(port));
    ::close(fd);
}

TEST(TcpClient, ConnectGivesUpAfterItsTimeout)
{
    // A listener whose accept queue is full drops further connection
    // requests, so the last connect never completes.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    const std::uint16_t port = localPort(listener);

    std::vector<std::unique_ptr<platform::TcpIo>> queued;
    std::unique_ptr<platform::TcpIo> client;
    for (int i = 0; i < 4; ++i) {
        client = platform::makeTcpClient();
        const auto start = SteadyTime::now();
        if (!client->connect("127.0.0.1", port, 200)) {
            const long long elapsed = msSince(start);
            EXPECT_EQ(client->lastError().code, ETIMEDOUT);
            EXPECT_GE(elapsed, 190);
            EXPECT_LT(elapsed, 1500);
            EXPECT_FALSE(client->isOpen());
            break;
        }
        queued.push_back(std::move(client));
    }
    EXPECT_LT(queued.size(), 4u) << "the full accept queue took every connection";
    ::close(listener);
}

TEST(TcpClient, AddressesOtherThanDottedIpv4AreRejected)
{
    const std::size_t before = openFdCount();
    auto client = platform::makeTcpClient();
    for (const char* address : {"192.168.1", "::1", "printer.local", "", "256.1.1.1"}) {
        EXPECT_FALSE(client->connect(address, 9100, 100)) << address;
        EXPECT_EQ(client->lastError().code, EINVAL) << address;
    }
    EXPECT_EQ(openFdCount(), before);
}

} // namespace
