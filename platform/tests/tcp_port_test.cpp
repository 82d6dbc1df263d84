// The TCP port against listening sockets on the loopback interface.
#include "platform/tcp_port.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
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

// The printer end in a thread: accepts one connection on `listener`, runs
// `serve` on it, then closes it.
class PeerThread {
public:
    PeerThread(int listener, std::function<void(int)> serve)
        : thread_([listener, serve = std::move(serve)] {
              pollfd p{listener, POLLIN, 0};
              if (::poll(&p, 1, 5000) != 1)
                  return;
              const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
              if (fd < 0)
                  return;
              serve(fd);
              ::close(fd);
          })
    {
    }
    ~PeerThread() { join(); }
    PeerThread(const PeerThread&) = delete;
    PeerThread& operator=(const PeerThread&) = delete;
    void join()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    std::thread thread_;
};

struct Received {
    std::vector<std::uint8_t> bytes;
    int endError = -1; // 0: orderly end of stream; else the errno that ended it
};

// Reads until the client's end of stream, `chunk` bytes at a time with
// `pauseMs` between reads.
Received readAll(int fd, std::size_t chunk, int pauseMs)
{
    Received got;
    std::vector<std::uint8_t> buffer(chunk);
    for (;;) {
        if (pauseMs > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1) {
            got.endError = ETIMEDOUT;
            return got;
        }
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n == 0) {
            got.endError = 0;
            return got;
        }
        if (n < 0) {
            got.endError = errno;
            return got;
        }
        got.bytes.insert(got.bytes.end(), buffer.begin(), buffer.begin() + n);
    }
}

void setReceiveBuffer(int fd, int bytes)
{
    ASSERT_EQ(::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bytes, sizeof bytes), 0);
}

std::vector<std::uint8_t> patternOf(std::size_t n)
{
    std::vector<std::uint8_t> data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<std::uint8_t>((i * 31 + i / 977) & 0xff);
    return data;
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
        // The printer end goes first, so the client's close need not linger.
        if (peer_ >= 0)
            ::close(peer_);
        client->close();
        ::close(listener_);
    }

    void connectAndAccept(platform::Port& port)
    {
        ASSERT_TRUE(port.open({"127.0.0.1", port_, 2000})) << port.lastError().describe();
        pollfd p{listener_, POLLIN, 0};
        ASSERT_EQ(::poll(&p, 1, 2000), 1);
        peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        ASSERT_GE(peer_, 0);
    }

    std::unique_ptr<platform::Port> client = platform::makeTcpPort();
    int listener_ = -1;
    int peer_ = -1;
    std::uint16_t port_ = 0;
};

TEST_F(TcpTest, ConnectsToTheGivenPortAndExchangesBytes)
{
    connectAndAccept(*client);
    EXPECT_TRUE(client->isOpen());
    // The accepted connection ends at the port the client was given.
    EXPECT_EQ(localPort(peer_), port_);

    const std::uint8_t request[] = {0x1b, 'S', 0x00, 0xff, '\n'};
    ASSERT_EQ(client->write(request, sizeof request).bytes, static_cast<int>(sizeof request));
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
    client->setReadTimeoutMs(2000);
    const int n = client->read(buffer, sizeof buffer).bytes;
    ASSERT_GT(n, 0);
    EXPECT_EQ(std::string(buffer, buffer + n), reply.substr(0, static_cast<std::size_t>(n)));
}

TEST_F(TcpTest, ReceiveTimesOutWithinItsBound)
{
    connectAndAccept(*client);
    std::uint8_t buffer[16];
    const auto start = SteadyTime::now();
    client->setReadTimeoutMs(150);
    const platform::IoResult result = client->read(buffer, sizeof buffer);
    EXPECT_EQ(result.bytes, 0);
    EXPECT_EQ(result.end, platform::IoEnd::Timeout);
    const long long elapsed = msSince(start);
    EXPECT_GE(elapsed, 140);
    EXPECT_LT(elapsed, 1500);
    EXPECT_EQ(client->lastError().code, ETIMEDOUT);
    EXPECT_TRUE(client->isOpen());
}

TEST_F(TcpTest, PeerCloseReadsAsZero)
{
    connectAndAccept(*client);
    ::close(peer_);
    peer_ = -1;
    std::uint8_t buffer[16];
    client->setReadTimeoutMs(2000);
    const platform::IoResult result = client->read(buffer, sizeof buffer);
    EXPECT_EQ(result.bytes, 0);
    EXPECT_EQ(result.end, platform::IoEnd::Closed);
}

TEST_F(TcpTest, CloseReleasesExactlyOneDescriptor)
{
    const std::size_t before = openFdCount();
    connectAndAccept(*client);
    EXPECT_EQ(openFdCount(), before + 2); // the client socket and the accepted peer
    // The printer closes first, so closing does not wait for it.
    ::close(peer_);
    peer_ = -1;
    const std::size_t connected = openFdCount();

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
    EXPECT_EQ(client->write(&byte, 1).end, platform::IoEnd::Error);
    client->setReadTimeoutMs(10);
    EXPECT_EQ(client->read(&byte, 1).end, platform::IoEnd::Error);
}

TEST_F(TcpTest, APieceLargerThanTheBuffersIsSentWholeToASlowReader)
{
    // The printer reads slower than the socket buffers fill, so the kernel
    // takes the piece in parts; one write still sends all of it.
    setReceiveBuffer(listener_, 4096);
    const auto data = patternOf(256 * 1024);
    Received got;
    PeerThread peer(listener_, [&](int fd) { got = readAll(fd, 4096, 2); });
    ASSERT_TRUE(client->open({"127.0.0.1", port_, 2000})) << client->lastError().describe();
    const platform::IoResult result = client->write(data.data(), static_cast<int>(data.size()));
    EXPECT_TRUE(result.complete()) << result.error.describe();
    EXPECT_EQ(result.bytes, static_cast<int>(data.size()));
    client->close();
    peer.join();
    EXPECT_EQ(got.endError, 0);
    EXPECT_EQ(got.bytes, data);
}

TEST_F(TcpTest, APrinterThatStopsReadingFailsTheWriteAtTheStallBound)
{
    setReceiveBuffer(listener_, 4096);
    connectAndAccept(*client);
    client->setStallTimeoutMs(300);
    const auto piece = patternOf(4096);
    int reported = 0;
    platform::IoResult result;
    long long failedAfterMs = 0;
    for (int i = 0; i < 4096; ++i) {
        const auto start = SteadyTime::now();
        result = client->write(piece.data(), static_cast<int>(piece.size()));
        if (!result.complete()) {
            failedAfterMs = msSince(start);
            break;
        }
        reported += result.bytes;
    }
    ASSERT_EQ(result.end, platform::IoEnd::Timeout) << "16 MiB went to a printer that reads nothing";
    EXPECT_EQ(result.error.reason, "the printer stopped accepting data for 0.3 s");
    EXPECT_EQ(client->lastError().code, ETIMEDOUT);
    EXPECT_GE(failedAfterMs, 290);
    EXPECT_LT(failedAfterMs, 3000);
    // Every byte reported as written had reached the printer's end.
    int atPeer = 0;
    ASSERT_EQ(::ioctl(peer_, FIONREAD, &atPeer), 0);
    EXPECT_LE(reported + result.bytes, atPeer);
}

TEST_F(TcpTest, ClosingAfterATransferNeverResetsAChattyPrinter)
{
    // The printer sends status bytes nobody reads and takes its time; the
    // close must still let it read every byte and end in an orderly way.
    setReceiveBuffer(listener_, 8192);
    const auto data = patternOf(512 * 1024);
    Received got;
    PeerThread peer(listener_, [&](int fd) {
        const std::uint8_t status[] = {0x10, 0x04, 0x12};
        ::send(fd, status, sizeof status, MSG_NOSIGNAL);
        got = readAll(fd, 16 * 1024, 1);
    });
    ASSERT_TRUE(client->open({"127.0.0.1", port_, 2000})) << client->lastError().describe();
    for (std::size_t at = 0; at < data.size(); at += 4096) {
        const platform::IoResult result = client->write(data.data() + at, 4096);
        ASSERT_TRUE(result.complete()) << result.error.describe();
    }
    client->close();
    peer.join();
    EXPECT_EQ(got.endError, 0) << std::strerror(got.endError);
    EXPECT_EQ(got.bytes.size(), data.size());
    EXPECT_EQ(got.bytes, data);
}

TEST_F(TcpTest, CloseWaitsAboutTwoSecondsForAPrinterThatNeverCloses)
{
    connectAndAccept(*client);
    std::atomic<bool> sawEnd{false};
    std::atomic<bool> stop{false};
    std::thread chatter([&] {
        // Keeps talking, and notes the client's end of stream.
        const std::uint8_t status = 0x12;
        while (!stop) {
            ::send(peer_, &status, 1, MSG_NOSIGNAL);
            std::uint8_t byte = 0;
            if (::recv(peer_, &byte, 1, MSG_DONTWAIT) == 0)
                sawEnd = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    });
    const auto start = SteadyTime::now();
    client->close();
    const long long elapsed = msSince(start);
    stop = true;
    chatter.join();
    EXPECT_FALSE(client->isOpen());
    EXPECT_GE(elapsed, 1900);
    EXPECT_LT(elapsed, 3500);
    EXPECT_TRUE(sawEnd) << "the printer is told the transfer has ended before the socket goes";
}

TEST(TcpClient, ClosedPortIsRefused)
{
    const int fd = boundSocket(false); // bound, never listening
    const std::uint16_t port = localPort(fd);
    auto client = platform::makeTcpPort();
    EXPECT_FALSE(client->open({"127.0.0.1", port, 2000}));
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

    std::vector<std::unique_ptr<platform::Port>> queued;
    std::unique_ptr<platform::Port> client;
    for (int i = 0; i < 4; ++i) {
        client = platform::makeTcpPort();
        const auto start = SteadyTime::now();
        if (!client->open({"127.0.0.1", port, 200})) {
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
    auto client = platform::makeTcpPort();
    for (const char* address : {"192.168.1", "::1", "printer.local", "", "256.1.1.1"}) {
        EXPECT_FALSE(client->open({address, 9100, 100})) << address;
        EXPECT_EQ(client->lastError().code, EINVAL) << address;
    }
    EXPECT_EQ(openFdCount(), before);
}

} // namespace
