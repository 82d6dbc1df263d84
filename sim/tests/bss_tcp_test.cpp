// The network board's TCP responder on a real loopback socket: the bare
// query in, the bare answer out, then close, keep open, silence, and a
// request that never completes. Time-outs run on a manual clock.
#include "bss_tcp_responder.h"
#include "clock.h"

#include "sim/network_board.h"
#include "sim/printer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

using namespace std::string_literals;

namespace {

const std::string kBssReq = "__[I_F]__[BSS_REQ]\xf0\x00"s;

class ManualClock final : public simapp::Clock {
public:
    std::uint64_t nowMs() const override { return now_; }
    void advance(std::uint64_t ms) { now_ += ms; }

private:
    std::uint64_t now_ = 5'000;
};

sim::PrinterConfig boardConfig()
{
    return sim::networkBoardPersonality.configFor(sim::networkBoardPersonality.models[0]);
}

struct Rig {
    explicit Rig(bool keepOpen, sim::PrinterConfig config = boardConfig())
        : printer(sim::networkBoardPersonality, std::move(config)),
          responder(*sim::networkBoardOf(printer), keepOpen, clock)
    {
        std::string error;
        listening = responder.listen(0, error);
        EXPECT_TRUE(listening) << error;
    }
    ~Rig()
    {
        if (client >= 0)
            ::close(client);
    }

    void connect()
    {
        client = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ASSERT_GE(client, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(responder.port());
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&a), sizeof a), 0);
    }
    void send(const std::string& bytes)
    {
        ASSERT_EQ(::send(client, bytes.data(), bytes.size(), MSG_NOSIGNAL), static_cast<ssize_t>(bytes.size()));
    }
    // Runs the responder for up to `rounds` polls of at most 50 ms each.
    void serve(int rounds)
    {
        for (int i = 0; i < rounds; ++i) {
            pollfd fd{responder.pollFd(), responder.pollEvents(), 0};
            ::poll(&fd, 1, 50);
            responder.service(fd.revents);
        }
    }
    // What the client receives within `ms`, and whether the peer closed.
    std::string receive(int ms, bool& closed)
    {
        std::string got;
        closed = false;
        for (;;) {
            pollfd fd{client, POLLIN, 0};
            if (::poll(&fd, 1, ms) <= 0)
                return got;
            char buffer[4096];
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closed = true;
                return got;
            }
            got.append(buffer, static_cast<std::size_t>(n));
        }
    }

    ManualClock clock;
    sim::Printer printer;
    simapp::BssTcpResponder responder;
    bool listening = false;
    int client = -1;
};

TEST(BssTcpResponder, AnswersTheBareQueryAndCloses)
{
    Rig rig(false);
    ASSERT_TRUE(rig.listening);
    rig.connect();
    rig.serve(2);  // accept
    ASSERT_TRUE(rig.responder.hostAttached());
    rig.send(kBssReq.substr(0, 7));  // in pieces: the answer waits for all 20 bytes
    rig.serve(2);
    rig.send(kBssReq.substr(7));
    rig.serve(2);
    bool closed = false;
    const std::string got = rig.receive(500, closed);
    EXPECT_EQ(got, *sim::networkBoardOf(rig.printer)->replyMessage(sim::BoardExchange::BssReq));
    EXPECT_TRUE(closed);
    EXPECT_FALSE(rig.responder.hostAttached());
    EXPECT_EQ(sim::networkBoardOf(rig.printer)->tcpQueries(), 1u);
    EXPECT_EQ(sim::networkBoardOf(rig.printer)->tcpErrors(), 0u);
}

TEST(BssTcpResponder, KeepOpenHoldsTheConnectionUntilTheHostCloses)
{
    Rig rig(true);
    rig.connect();
    rig.serve(2);
    rig.send(kBssReq);
    rig.serve(3);
    bool closed = false;
    const std::string got = rig.receive(300, closed);
    EXPECT_TRUE(got.starts_with("__[I_F]__[BSS_RSP]"));
    EXPECT_FALSE(closed);
    EXPECT_TRUE(rig.responder.hostAttached());
    ::shutdown(rig.client, SHUT_WR);
    rig.serve(3);
    EXPECT_FALSE(rig.responder.hostAttached());
}

TEST(BssTcpResponder, SilentBoardSendsNothing)
{
    sim::PrinterConfig config = boardConfig();
    config.board.silentOn[static_cast<std::size_t>(sim::BoardExchange::BssReq)] = true;
    Rig rig(false, config);
    rig.connect();
    rig.serve(2);
    rig.send(kBssReq);
    rig.serve(3);
    rig.clock.advance(60'000);  // no request time-out once the query is in
    rig.serve(2);
    bool closed = false;
    EXPECT_EQ(rig.receive(200, closed), "");
    EXPECT_FALSE(closed);
    EXPECT_EQ(sim::networkBoardOf(rig.printer)->tcpQueries(), 1u);
}

TEST(BssTcpResponder, IncompleteOrWrongRequestIsClosedUnanswered)
{
    {
        Rig rig(false);
        rig.connect();
        rig.serve(2);
        rig.send(kBssReq.substr(0, 10));
        rig.serve(2);
        EXPECT_TRUE(rig.responder.hostAttached());
        rig.clock.advance(simapp::BssTcpResponder::kRequestTimeoutMs);
        rig.serve(1);
        bool closed = false;
        EXPECT_EQ(rig.receive(500, closed), "");
        EXPECT_TRUE(closed);
        EXPECT_EQ(sim::networkBoardOf(rig.printer)->tcpErrors(), 1u);
    }
    {
        Rig rig(false);
        rig.connect();
        rig.serve(2);
        std::string bad = kBssReq;
        bad[5] = 'x';
        rig.send(bad);
        rig.serve(3);
        bool closed = false;
        EXPECT_EQ(rig.receive(500, closed), "");
        EXPECT_TRUE(closed);
        EXPECT_EQ(sim::networkBoardOf(rig.printer)->tcpErrors(), 1u);
        // The next host is served.
        ::close(rig.client);
        rig.client = -1;
        rig.connect();
        rig.serve(2);
        rig.send(kBssReq);
        rig.serve(3);
        EXPECT_TRUE(rig.receive(500, closed).starts_with("__[I_F]__[BSS_RSP]"));
    }
}

TEST(BssTcpResponder, ListensOnLoopbackOnly)
{
    Rig rig(false);
    sockaddr_in bound{};
    socklen_t len = sizeof bound;
    ASSERT_EQ(::getsockname(rig.responder.pollFd(), reinterpret_cast<sockaddr*>(&bound), &len), 0);
    EXPECT_EQ(ntohl(bound.sin_addr.s_addr), INADDR_LOOPBACK);
    EXPECT_NE(rig.responder.port(), 0);
}

} // namespace
