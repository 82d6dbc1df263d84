// The UDP socket on the loopback interface only: every datagram here goes to
// 127.0.0.0/8.
#include "platform/udp_socket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <vector>

#include <net/if.h>

namespace {

using platform::Ipv4Address;
using platform::IoEnd;
using platform::UdpEndpoint;
using platform::UdpSocket;

using SteadyTime = std::chrono::steady_clock;

UdpSocket boundOnLoopback(std::uint16_t port = 0)
{
    UdpSocket socket;
    EXPECT_TRUE(socket.bind(UdpEndpoint{Ipv4Address::loopback(), port})) << socket.lastError().describe();
    return socket;
}

TEST(Ipv4Address, ParsesStrictDottedQuadsOnly)
{
    EXPECT_EQ(Ipv4Address::parse("192.168.0.10"), (Ipv4Address{{192, 168, 0, 10}}));
    EXPECT_EQ(Ipv4Address::parse("0.0.0.0"), Ipv4Address::any());
    EXPECT_EQ(Ipv4Address::parse("255.255.255.255"), Ipv4Address::broadcast());
    for (const char* bad : {"", "1.2.3", "1.2.3.4.", "1.2.3.256", "1..2.3", " 1.2.3.4", "1.2.3.4 ", "1.2.3.0004",
                            "a.b.c.d", "1.2.3.-4"}) {
        EXPECT_FALSE(Ipv4Address::parse(bad).has_value()) << bad;
    }
    EXPECT_EQ((Ipv4Address{{10, 0, 1, 2}}).text(), "10.0.1.2");
    EXPECT_EQ(Ipv4Address::fromValue(0x0A000102u), (Ipv4Address{{10, 0, 1, 2}}));
    EXPECT_EQ((Ipv4Address{{10, 0, 1, 2}}).value(), 0x0A000102u);
}

TEST(UdpSocket, ExchangesWholeDatagramsAndReportsTheSource)
{
    UdpSocket a = boundOnLoopback();
    UdpSocket b = boundOnLoopback();
    ASSERT_NE(a.local().port, 0);
    const std::vector<std::uint8_t> request{'F', 'I', 'N', 'D'};
    const auto sent = a.send(b.local(), request.data(), static_cast<int>(request.size()));
    ASSERT_TRUE(sent.complete()) << sent.error.describe();
    EXPECT_EQ(sent.bytes, 4);

    std::uint8_t buffer[512];
    const auto got = b.receive(buffer, sizeof buffer, 1000);
    ASSERT_TRUE(got.io.complete()) << got.io.error.describe();
    EXPECT_EQ(std::vector<std::uint8_t>(buffer, buffer + got.io.bytes), request);
    EXPECT_EQ(got.from, a.local());
    EXPECT_FALSE(got.truncated);
    EXPECT_EQ(got.fullLength, 4);

    // Two datagrams stay two: a receive never joins them.
    const std::uint8_t one[] = {1, 2, 3};
    const std::uint8_t two[] = {4, 5};
    ASSERT_TRUE(a.send(b.local(), one, 3).complete());
    ASSERT_TRUE(a.send(b.local(), two, 2).complete());
    EXPECT_EQ(b.receive(buffer, sizeof buffer, 1000).io.bytes, 3);
    EXPECT_EQ(b.receive(buffer, sizeof buffer, 1000).io.bytes, 2);
    EXPECT_EQ(buffer[0], 4);
}

TEST(UdpSocket, ALongDatagramIsCutToTheBufferAndNotedAsTruncated)
{
    UdpSocket a = boundOnLoopback();
    UdpSocket b = boundOnLoopback();
    std::vector<std::uint8_t> big(700);
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<std::uint8_t>(i);
    ASSERT_TRUE(a.send(b.local(), big.data(), static_cast<int>(big.size())).complete());

    std::vector<std::uint8_t> buffer(512 + 8, 0xEE);
    const auto got = b.receive(buffer.data(), 512, 1000);
    ASSERT_TRUE(got.io.complete());
    EXPECT_EQ(got.io.bytes, 512);
    EXPECT_TRUE(got.truncated);
    EXPECT_EQ(got.fullLength, 700);
    EXPECT_EQ(buffer[511], static_cast<std::uint8_t>(511));
    EXPECT_EQ(buffer[512], 0xEE) << "wrote past the capacity";

    // The rest of the long datagram is gone; the next receive is the next
    // datagram.
    const std::uint8_t next[] = {9};
    ASSERT_TRUE(a.send(b.local(), next, 1).complete());
    const auto after = b.receive(buffer.data(), 512, 1000);
    EXPECT_EQ(after.io.bytes, 1);
    EXPECT_FALSE(after.truncated);
    EXPECT_EQ(buffer[0], 9);
}

TEST(UdpSocket, ReceiveWaitsNoLongerThanItsBound)
{
    UdpSocket socket = boundOnLoopback();
    std::uint8_t buffer[16];
    const auto start = SteadyTime::now();
    const auto got = socket.receive(buffer, sizeof buffer, 150);
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(SteadyTime::now() - start).count();
    EXPECT_EQ(got.io.end, IoEnd::Timeout);
    EXPECT_EQ(got.io.error.code, ETIMEDOUT);
    EXPECT_GE(waited, 140);
    EXPECT_LT(waited, 5000);

    // A zero bound takes only what is ready: what a socket notifier needs.
    const auto now = socket.receive(buffer, sizeof buffer, 0);
    EXPECT_EQ(now.io.end, IoEnd::Timeout);
}

TEST(UdpSocket, APortInUseIsReportedNotShared)
{
    UdpSocket first = boundOnLoopback();
    UdpSocket second;
    EXPECT_FALSE(second.bind(first.local()));
    EXPECT_FALSE(second.isOpen());
    EXPECT_EQ(second.lastError().code, EADDRINUSE);
    EXPECT_EQ(second.lastError().operation, "bind");
    EXPECT_NE(second.lastError().describe().find(first.local().text()), std::string::npos)
        << second.lastError().describe();

    // Also against a wildcard bind on the same port.
    UdpSocket wildcard;
    EXPECT_FALSE(wildcard.bind(UdpEndpoint{Ipv4Address::any(), first.local().port}));
    EXPECT_EQ(wildcard.lastError().code, EADDRINUSE);
}

TEST(UdpSocket, CallsOnAClosedSocketFailWithAReason)
{
    UdpSocket socket;
    std::uint8_t buffer[4] = {};
    EXPECT_EQ(socket.fd(), -1);
    EXPECT_EQ(socket.send(UdpEndpoint{Ipv4Address::loopback(), 9}, buffer, 4).error.code, ENOTCONN);
    EXPECT_EQ(socket.receive(buffer, 4, 0).io.error.code, ENOTCONN);

    UdpSocket open = boundOnLoopback();
    EXPECT_EQ(open.receive(buffer, 0, 0).io.error.code, EINVAL);
    EXPECT_EQ(open.send(open.local(), nullptr, 3).error.code, EINVAL);
}

TEST(UdpSocket, SendsOutOfAChosenInterface)
{
    const unsigned lo = ::if_nametoindex("lo");
    if (lo == 0)
        GTEST_SKIP() << "no loopback interface named lo";
    UdpSocket a = boundOnLoopback();
    UdpSocket b = boundOnLoopback();
    const std::uint8_t data[] = {'I', 'M', 'I', 'N'};
    const auto sent = a.send(b.local(), data, 4, lo);
    ASSERT_TRUE(sent.complete()) << sent.error.describe();
    std::uint8_t buffer[8];
    EXPECT_EQ(b.receive(buffer, sizeof buffer, 1000).io.bytes, 4);

    // An interface that does not exist is refused, not silently rerouted.
    const auto nowhere = a.send(b.local(), data, 4, 999999);
    EXPECT_FALSE(nowhere.complete());
    EXPECT_TRUE(nowhere.error.isSet());
}

TEST(UdpSocket, MovingKeepsOneOwnerOfTheDescriptor)
{
    UdpSocket a = boundOnLoopback();
    const int fd = a.fd();
    UdpSocket b(std::move(a));
    EXPECT_EQ(b.fd(), fd);
    EXPECT_EQ(a.fd(), -1); // NOLINT(bugprone-use-after-move): the moved-from state is the point
    UdpSocket c;
    c = std::move(b);
    EXPECT_EQ(c.fd(), fd);
    EXPECT_TRUE(c.isOpen());
}

// The limited-broadcast path on the loopback network: a socket on 127.0.0.1
// sends to 127.255.255.255 and a receiver on the wildcard address hears it.
TEST(UdpSocket, LoopbackBroadcastReachesAWildcardReceiver)
{
    UdpSocket receiver;
    if (!receiver.bind(UdpEndpoint{Ipv4Address::any(), 0}))
        GTEST_SKIP() << receiver.lastError().describe();
    UdpSocket sender = boundOnLoopback();
    const std::uint8_t data[] = {'F', 'I', 'N', 'D'};
    const auto sent = sender.send(UdpEndpoint{Ipv4Address{{127, 255, 255, 255}}, receiver.local().port}, data, 4);
    if (!sent.complete())
        GTEST_SKIP() << "the system refuses loopback broadcasts: " << sent.error.describe();
    std::uint8_t buffer[8];
    const auto got = receiver.receive(buffer, sizeof buffer, 1000);
    if (!got.io.complete())
        GTEST_SKIP() << "loopback broadcast was not delivered here";
    EXPECT_EQ(got.io.bytes, 4);
    EXPECT_EQ(got.from, sender.local());
}

} // namespace
