// The boards' UDP socket on real loopback sockets: answers go to the
// request's source after their delay (on a manual clock), in the order
// queued, and only loopback or an explicit 0.0.0.0 may be bound.
#include "udp_responder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

namespace {

class ManualClock final : public simapp::Clock {
public:
    std::uint64_t nowMs() const override { return now_; }
    void advance(std::uint64_t ms) { now_ += ms; }

private:
    std::uint64_t now_ = 1'000;
};

struct Client {
    simapp::Fd fd{::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)};
    sockaddr_in address{};

    Client()
    {
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        socklen_t length = sizeof address;
        EXPECT_EQ(::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&address), &length), 0);
    }
    // One datagram within `ms`, or "" when none came.
    std::string receive(int ms)
    {
        pollfd p{fd.get(), POLLIN, 0};
        if (::poll(&p, 1, ms) != 1)
            return {};
        char buffer[1024];
        const ssize_t got = ::recv(fd.get(), buffer, sizeof buffer, 0);
        return got > 0 ? std::string(buffer, static_cast<std::size_t>(got)) : std::string();
    }
};

sim::UdpPrinter board(const std::string& description, int index)
{
    sim::UdpPrinter p;
    std::string error;
    EXPECT_TRUE(sim::parseUdpPrinter(description, index, p, error)) << error;
    return p;
}

} // namespace

TEST(UdpResponder, BindsOnlyLoopbackOrAnExplicitAnyAddress)
{
    EXPECT_TRUE(simapp::udpBindAllowed("127.0.0.1"));
    EXPECT_TRUE(simapp::udpBindAllowed("127.3.4.5"));
    EXPECT_TRUE(simapp::udpBindAllowed("0.0.0.0"));
    EXPECT_FALSE(simapp::udpBindAllowed("192.168.0.1"));
    EXPECT_FALSE(simapp::udpBindAllowed("128.0.0.1"));
    EXPECT_FALSE(simapp::udpBindAllowed("localhost"));

    sim::UdpPrinters boards({}, {});
    simapp::Recorder recorder;
    ManualClock clock;
    simapp::UdpResponder responder(boards, recorder, clock);
    std::string error;
    EXPECT_FALSE(responder.bind("10.0.0.1", 0, error));
    EXPECT_NE(error.find("127.0.0.0/8"), std::string::npos) << error;
    ASSERT_TRUE(responder.bind("127.0.0.1", 0, error)) << error;
    EXPECT_NE(responder.port(), 0);
}

TEST(UdpResponder, AnswersReachTheSourceAfterTheirDelaysInDueOrder)
{
    sim::UdpPrinters boards({board("ethernet,delay=300", 0), board("ethernet", 1)}, {{"zz", 100}});
    simapp::Recorder recorder;
    ManualClock clock;
    simapp::UdpResponder responder(boards, recorder, clock);
    std::string error;
    ASSERT_TRUE(responder.bind("127.0.0.1", 0, error)) << error;
    Client client;

    responder.take("FIND", client.address);
    EXPECT_EQ(responder.sendDue(), 100); // the undelayed answer left, the stray is next
    const std::string first = client.receive(1000);
    ASSERT_EQ(first.size(), 31u);
    EXPECT_EQ(first.substr(4, 6), boards.printers()[1].record.substr(0, 6));
    EXPECT_EQ(client.receive(50), "");

    clock.advance(100);
    EXPECT_EQ(responder.sendDue(), 200);
    EXPECT_EQ(client.receive(1000), "zz");
    clock.advance(200);
    EXPECT_EQ(responder.sendDue(), -1);
    const std::string late = client.receive(1000);
    ASSERT_EQ(late.size(), 31u);
    EXPECT_EQ(late.substr(4, 6), boards.printers()[0].record.substr(0, 6));
}
