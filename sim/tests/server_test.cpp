// The serving loop on a manual clock and a scripted link: poll is played by
// the harness, which reports a descriptor ready exactly when the fake link
// could move bytes, and otherwise lets virtual time jump to the loop's own
// time-out. So delays, drops and pacing are checked to the millisecond
// without real time passing.
#include "clock.h"
#include "link.h"
#include "recorder.h"
#include "server.h"

#include "sim/mobile_printer.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <cerrno>
#include <limits>
#include <memory>
#include <string>

using namespace std::string_literals;

namespace {

const std::string kGsIC = "\x1d\x49\x43"s;
const std::string kModelReply = "_KMP-Z400\0"s;

class ManualClock final : public simapp::Clock {
public:
    std::uint64_t nowMs() const override { return now_; }
    void advance(std::uint64_t ms) { now_ += ms; }

private:
    std::uint64_t now_ = 1'000'000;  // not zero, so nothing relies on a zero start
};

// What a host does on the other end, scripted.
class FakeLink final : public simapp::Link {
public:
    explicit FakeLink(bool socketLike) : socketLike_(socketLike), attached_(!socketLike) {}

    std::string inbox;             // sent by the host, not yet read by the printer
    bool hostClosed = false;       // the host shut its side after `inbox`
    bool hostReset = false;        // the connection broke: poll reports POLLHUP whatever was asked
    std::string written;           // everything the printer wrote
    std::size_t writeRoom = std::numeric_limits<std::size_t>::max();
    std::size_t hostTook = 0;      // of `written`, what the host has read (pty-like)
    int pendingHosts = 0;
    int acceptError = 0;           // acceptHost fails with this while set
    int readError = 0;             // read fails with this while set
    int discards = 0;
    std::size_t largestRead = 0;

    // What poll would report for `events`.
    short ready(short events) const
    {
        short r = 0;
        if (!attached_)
            return (events & POLLIN) != 0 && (pendingHosts > 0 || acceptError != 0) ? POLLIN : 0;
        if ((events & POLLIN) != 0 && (!inbox.empty() || hostClosed || readError != 0))
            r |= POLLIN;
        if ((events & POLLOUT) != 0 && writeRoom > 0)
            r |= POLLOUT;
        if ((events & POLLRDHUP) != 0 && hostClosed)
            r |= POLLRDHUP;
        if (hostReset)
            r |= POLLHUP;
        return r;
    }

    void newHost()
    {
        ++pendingHosts;
        hostClosed = false;
        hostReset = false;
        inbox.clear();
    }

    const char* name() const override { return "the fake"; }
    int pollFd() const override { return -1; }
    bool hostAttached() const override { return attached_; }
    simapp::IoResult acceptHost() override
    {
        if (acceptError != 0)
            return simapp::IoResult::failed(acceptError);
        if (pendingHosts == 0)
            return simapp::IoResult::wouldBlock();
        --pendingHosts;
        attached_ = true;
        return simapp::IoResult::ok(0);
    }
    simapp::IoResult read(char* buffer, std::size_t size) override
    {
        if (readError != 0)
            return simapp::IoResult::failed(readError);
        if (inbox.empty())
            return hostClosed || hostReset ? simapp::IoResult::closed() : simapp::IoResult::wouldBlock();
        const std::size_t n = std::min(size, inbox.size());
        inbox.copy(buffer, n);
        inbox.erase(0, n);
        largestRead = std::max(largestRead, n);
        return simapp::IoResult::ok(n);
    }
    simapp::IoResult write(std::string_view bytes) override
    {
        const std::size_t n = std::min(bytes.size(), writeRoom);
        if (n == 0)
            return simapp::IoResult::wouldBlock();
        written.append(bytes.substr(0, n));
        writeRoom -= n;
        return simapp::IoResult::ok(n);
    }
    short hangupEvents() const override { return socketLike_ ? POLLRDHUP : 0; }
    bool hostsComeAndGo() const override { return socketLike_; }
    void dropHost() override { attached_ = false; }
    std::optional<std::size_t> unreadReplies() const override
    {
        if (socketLike_)
            return std::nullopt;
        return written.size() - hostTook;
    }
    void discardUnread() override
    {
        ++discards;
        hostTook = written.size();
    }

private:
    bool socketLike_;
    bool attached_;
};

struct Harness {
    ManualClock clock;
    FakeLink link;
    sim::MobilePrinter printer;
    simapp::Recorder recorder;  // records nowhere
    simapp::ServeConfig config;
    std::unique_ptr<simapp::Server> server;

    explicit Harness(bool socketLike, simapp::ServeConfig c = {}) : link(socketLike), config(std::move(c))
    {
        server = std::make_unique<simapp::Server>(printer, config, recorder, clock);
        if (socketLike)
            link.newHost();
    }

    // Plays poll for `ms` of virtual time: a turn whenever the link is
    // ready, else a jump to the loop's time-out.
    void runFor(std::uint64_t ms)
    {
        const std::uint64_t end = clock.nowMs() + ms;
        int idleTurns = 0;
        for (;;) {
            const simapp::Server::Wait wait = server->nextWait(link);
            ASSERT_GE(wait.timeoutMs, 0);
            ASSERT_LE(wait.timeoutMs, static_cast<int>(simapp::Server::kIdleWakeMs));
            const short r = link.ready(wait.events);
            if (r == 0) {
                const std::uint64_t left = end - clock.nowMs();
                if (left == 0 && idleTurns > 0)
                    return;
                // A loop that keeps asking for a zero wait with nothing to do spins.
                ASSERT_LT(++idleTurns, 100) << "busy loop";
                clock.advance(std::min<std::uint64_t>(static_cast<std::uint64_t>(wait.timeoutMs), left));
            } else {
                idleTurns = 0;
            }
            ASSERT_TRUE(server->service(link, r));
        }
    }

    std::uint64_t received() const { return printer.stats().bytes; }
};

simapp::ServeConfig shaped(std::size_t chunk, std::uint32_t chunkDelay, std::uint32_t replyDelay)
{
    simapp::ServeConfig c;
    c.shaping.chunkSize = chunk;
    c.shaping.chunkDelayMs = chunkDelay;
    c.shaping.replyDelayMs = replyDelay;
    return c;
}

TEST(ServerReplies, ChunksLeaveOnTheirDelays)
{
    Harness h(true, shaped(4, 30, 100));
    h.link.inbox = kGsIC;
    h.runFor(99);
    EXPECT_EQ(h.link.written, "");
    h.runFor(1);
    EXPECT_EQ(h.link.written, "_KMP");
    h.runFor(29);
    EXPECT_EQ(h.link.written, "_KMP");
    h.runFor(1);
    EXPECT_EQ(h.link.written, "_KMP-Z40");
    h.runFor(30);
    EXPECT_EQ(h.link.written, kModelReply);
}

TEST(ServerReplies, LaterRepliesNeverOvertakeEarlierOnes)
{
    Harness h(true, shaped(0, 0, 100));
    h.link.inbox = kGsIC;
    h.runFor(50);
    h.link.inbox = "\x1d\x49\x41"s;  // due at 150, after the first at 100
    h.runFor(50);
    EXPECT_EQ(h.link.written, kModelReply);
    h.runFor(50);
    EXPECT_EQ(h.link.written, kModelReply + "_VER V1.04\0"s);
}

TEST(ServerReplies, AHostThatDoesNotReadLosesItsRepliesAfterTheBound)
{
    simapp::ServeConfig c;
    c.dropAfterMs = 500;
    Harness h(true, c);
    h.link.writeRoom = 3;
    h.link.inbox = kGsIC;
    h.runFor(499);
    EXPECT_EQ(h.link.written, "_KM");
    EXPECT_GT(h.server->queuedBytes(), 0u);
    h.runFor(1);
    EXPECT_EQ(h.server->queuedBytes(), 0u);
    EXPECT_EQ(h.link.discards, 1);

    // The next query gets its own reply, not the rest of the old one.
    h.link.writeRoom = 100;
    h.link.inbox = kGsIC;
    h.runFor(1);
    EXPECT_EQ(h.link.written, "_KM" + kModelReply);
}

TEST(ServerReplies, UnreadRepliesInATerminalAreDiscardedOnlyWhenNobodyReads)
{
    simapp::ServeConfig c;
    c.dropAfterMs = 500;
    Harness h(false, c);
    h.link.inbox = kGsIC;
    h.runFor(400);
    EXPECT_EQ(h.link.written, kModelReply);
    h.link.hostTook = 4;  // a slow host, but it reads
    h.runFor(499);
    EXPECT_EQ(h.link.discards, 0) << "the host read less than 500 ms ago";
    // The loop notices the host's read at its next look, so the drop comes
    // 500 ms after the read at the earliest and one look later at the latest.
    h.runFor(501);
    EXPECT_EQ(h.link.discards, 1);
    h.runFor(2000);
    EXPECT_EQ(h.link.discards, 1) << "nothing left to discard";
}

TEST(ServerHosts, AHostThatLeavesTakesItsPendingRepliesAndPartialCommandWithIt)
{
    Harness h(true, shaped(0, 0, 100));
    std::string data;
    h.printer.setDataSink([&](std::string_view d) { data.append(d); });
    h.link.inbox = kGsIC + "\x1d\x49"s;
    h.link.hostClosed = true;
    h.runFor(10);
    EXPECT_FALSE(h.link.hostAttached());
    EXPECT_EQ(h.server->queuedBytes(), 0u);
    EXPECT_EQ(data, "\x1d\x49"s) << "the partial command is data once its host left";

    h.link.newHost();
    h.link.inbox = "\x1b\x4d\x49"s;
    h.runFor(200);
    EXPECT_TRUE(h.link.hostAttached());
    EXPECT_EQ(h.link.written, "\x37\x80\x00\x00"s);
}

TEST(ServerHosts, AcceptFailuresBackOff)
{
    Harness h(true);
    h.link.dropHost();
    h.link.acceptError = EMFILE;
    const simapp::Server::Wait first = h.server->nextWait(h.link);
    EXPECT_EQ(first.events, POLLIN);
    ASSERT_TRUE(h.server->service(h.link, POLLIN));
    const simapp::Server::Wait backingOff = h.server->nextWait(h.link);
    EXPECT_EQ(backingOff.events, 0);
    EXPECT_EQ(backingOff.timeoutMs, static_cast<int>(simapp::Server::kAcceptBackOffMs));
    h.clock.advance(simapp::Server::kAcceptBackOffMs);
    EXPECT_EQ(h.server->nextWait(h.link).events, POLLIN);

    h.link.acceptError = 0;
    h.link.pendingHosts = 1;
    h.link.inbox = kGsIC;
    h.runFor(1);
    EXPECT_EQ(h.link.written, kModelReply);
}

TEST(ServerHosts, ATerminalThatFailsEndsTheLoop)
{
    Harness h(false);
    h.link.readError = EIO;
    const simapp::Server::Wait wait = h.server->nextWait(h.link);
    EXPECT_FALSE(h.server->service(h.link, h.link.ready(wait.events)));
}

TEST(ServerPacing, ReadRateHoldsOnTheManualClock)
{
    simapp::ServeConfig c;
    c.pacing.bytesPerSecond = 20'000;
    Harness h(true, c);
    h.link.inbox = std::string(100'000, 'x');
    h.runFor(0);
    EXPECT_EQ(h.received(), 1000u);  // the first bucket at once
    h.runFor(1000);
    EXPECT_GE(h.received(), 20'000u);
    EXPECT_LE(h.received(), 21'000u);
    EXPECT_LE(h.link.largestRead, 1000u);
    h.runFor(4000);
    EXPECT_EQ(h.received(), 100'000u);
}

TEST(ServerPacing, StalledPrinterReadsExactlyItsCountAndStaysStalledForTheNextHost)
{
    simapp::ServeConfig c;
    c.pacing.stallAfter = 5000;
    Harness h(true, c);
    h.link.inbox = std::string(10'000, 'x') + kGsIC;
    h.runFor(60'000);
    EXPECT_EQ(h.received(), 5000u);
    EXPECT_EQ(h.link.inbox.size(), 5000u + kGsIC.size());
    EXPECT_TRUE(h.link.written.empty());

    // The host gives up and closes: noticed although nothing is read.
    h.link.hostClosed = true;
    h.runFor(1);
    EXPECT_FALSE(h.link.hostAttached());
    EXPECT_EQ(h.received(), 5000u);

    h.link.newHost();
    h.link.inbox = kGsIC;
    h.runFor(10'000);
    EXPECT_TRUE(h.link.hostAttached());
    EXPECT_EQ(h.received(), 5000u);
    EXPECT_TRUE(h.link.written.empty());
}

TEST(ServerPacing, PausesAfterEveryBlockAndStillReadsToTheEnd)
{
    simapp::ServeConfig c;
    c.pacing.pauseAfter = 1000;
    c.pacing.pauseMs = 300;
    Harness h(true, c);
    h.link.inbox = std::string(2500, 'x');
    h.link.hostClosed = true;  // a host that sends and leaves must still be read to its end
    h.runFor(0);
    EXPECT_EQ(h.received(), 1000u);
    h.runFor(299);
    EXPECT_EQ(h.received(), 1000u);
    h.runFor(1);
    EXPECT_EQ(h.received(), 2000u);
    EXPECT_TRUE(h.link.hostAttached());
    h.runFor(300);
    EXPECT_EQ(h.received(), 2500u);
    EXPECT_FALSE(h.link.hostAttached());
}

TEST(ServerPacing, ABrokenConnectionIsReadToItsEndEvenWhilePaused)
{
    simapp::ServeConfig c;
    c.pacing.pauseAfter = 1000;
    c.pacing.pauseMs = 300;
    Harness h(true, c);
    h.link.inbox = std::string(2500, 'x');
    h.runFor(0);
    EXPECT_EQ(h.received(), 1000u);
    h.link.hostReset = true;
    h.runFor(1);
    EXPECT_EQ(h.received(), 2500u);
    EXPECT_FALSE(h.link.hostAttached());
}

TEST(ServerChatter, StatusEveryNBytesQueuedBehindEarlierReplies)
{
    simapp::ServeConfig c = shaped(0, 0, 100);
    c.chatter = {"\x12\x34"s, 100};
    Harness h(true, c);
    h.link.inbox = kGsIC + std::string(97, 'x');  // the 100th byte arrives with the query
    h.runFor(99);
    EXPECT_EQ(h.link.written, "") << "chatter must not overtake the reply";
    h.runFor(1);
    EXPECT_EQ(h.link.written, kModelReply + "\x12\x34"s);

    h.link.written.clear();
    h.link.inbox = std::string(250, 'y');  // passes 200 and 300
    h.runFor(1);
    EXPECT_EQ(h.link.written, "\x12\x34\x12\x34"s);
}

TEST(ServerChatter, SilentPrinterStillChatters)
{
    simapp::ServeConfig c;
    c.shaping.silent = true;
    c.chatter = {"\x10"s, 3};
    Harness h(true, c);
    h.link.inbox = kGsIC + kGsIC;
    h.runFor(1);
    EXPECT_EQ(h.link.written, "\x10\x10"s);
}

} // namespace

namespace {

TEST(ServerDropHost, ASocketHostIsDroppedOnceItSentItsBytesAndTheNextIsServed)
{
    simapp::ServeConfig c;
    c.dropHostAfter = 4;
    Harness h(true, c);
    h.link.inbox = "\x1d\x49\x43\x1d\x49\x43";  // two model queries: the second is cut
    h.runFor(10);
    EXPECT_EQ(h.received(), 4u);
    EXPECT_FALSE(h.link.hostAttached());
    EXPECT_EQ(h.link.written, "");  // replies to a host that was dropped go nowhere

    h.link.newHost();
    h.link.inbox = "\x1d\x49\x43";
    h.runFor(10);
    EXPECT_EQ(h.received(), 7u);
    EXPECT_TRUE(h.link.hostAttached());
    EXPECT_EQ(h.link.written, kModelReply);
}

TEST(ServerDropHost, APseudoTerminalIsNeverDropped)
{
    simapp::ServeConfig c;
    c.dropHostAfter = 2;
    Harness h(false, c);
    h.link.inbox = "\x1d\x49\x43";
    h.runFor(10);
    EXPECT_EQ(h.received(), 3u);
    EXPECT_EQ(h.link.written, kModelReply);
}

} // namespace
