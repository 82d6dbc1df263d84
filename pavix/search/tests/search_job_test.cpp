// The search job on a manual clock with scripted arrivals, and one search
// through the UDP channel against a responder on loopback.
#include "pavix/search/SearchJob.h"
#include "pavix/search/UdpChannel.h"
#include "pavix/search/tests/test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <thread>
#include <vector>

namespace pavix::search {
namespace {

using testing::bytesOf;
using testing::concat;
using testing::RecordingSender;
using testing::ScriptedArrivals;

Bytes ethernetAnswer(std::uint8_t last)
{
    Bytes record = testing::exampleEthernetRecord();
    record[5] = last;
    return concat(bytesOf("IMIN"), record);
}

Bytes wlanAnswer(std::uint8_t last)
{
    Bytes record = testing::exampleWlanRecord();
    record[5] = last;
    return concat(bytesOf("__[I_F]__[REG_RSP]"), record);
}

struct StatusLog : platform::JobObserver {
    std::vector<std::string> statuses;
    std::vector<int> progress;
    void statusChanged(const std::string& s) override { statuses.push_back(s); }
    void progressChanged(const platform::JobProgress& p) override { progress.push_back(p.value); }
};

TEST(SearchJob, CountsDownInTicksWithDotsAndEndsOnTheEleventh)
{
    DeviceList list;
    list.append(DeviceRecord{}); // from an earlier search
    RecordingSender sender;
    SearchJob job(SearchMode::Ethernet, list, sender.sender());
    StatusLog log;
    job.setObserver(&log);

    platform::JobNext next = job.start();
    EXPECT_TRUE(list.empty());
    ASSERT_EQ(sender.sent.size(), 1u);
    EXPECT_EQ(sender.sent[0], bytesOf("FIND"));
    EXPECT_EQ(job.status(), "Now Searching.");
    EXPECT_EQ(job.progress().maximum, 1000);
    EXPECT_EQ(job.progress().value, 0);

    std::vector<std::string> seen;
    int ticks = 0;
    while (!next.isEnd()) {
        EXPECT_EQ(next.delayMs(), 100u);
        next = job.fire(next.timerId());
        ++ticks;
        seen.push_back(job.status());
    }
    EXPECT_EQ(ticks, 11);
    EXPECT_EQ(next.result().end, platform::JobEnd::Ok);
    EXPECT_EQ(seen[0], "Now Searching..");
    EXPECT_EQ(seen[8], "Now Searching..........");
    EXPECT_EQ(seen[9], "Now Searching."); // the countdown reached 0
    EXPECT_EQ(seen[10], "Now Searching..");
    EXPECT_EQ(job.countdownMs(), -100);
    EXPECT_EQ(job.progress().value, 1100);
    EXPECT_EQ(job.progress().shown(), 1000);
    EXPECT_EQ(log.progress.back(), 1100);
}

TEST(SearchJob, AnswersAreListedInArrivalOrderWithDuplicatesUntilTheWaitEnds)
{
    platform::ManualClock clock;
    ScriptedArrivals net(clock);
    net.at(5, ethernetAnswer(1));
    net.at(250, bytesOf("IMIN"));            // too short: ignored
    net.at(300, ethernetAnswer(2));
    net.at(300, ethernetAnswer(1));          // the first board again
    net.at(700, bytesOf("something else")); // stray
    net.at(1099, ethernetAnswer(3));
    net.at(1150, ethernetAnswer(4)); // after the 11th tick: not listed
    DeviceList list;
    RecordingSender sender;
    SearchJob job(SearchMode::Ethernet, list, sender.sender());

    const auto result = RunDatagramJob(job, clock, net.receiver());
    EXPECT_EQ(result.end, platform::JobEnd::Ok);
    EXPECT_EQ(clock.tickMs(), 1100u);
    ASSERT_EQ(list.size(), 4);
    std::vector<int> order;
    for (const DeviceRecord& r : list.records())
        order.push_back(r.mac[5]);
    EXPECT_EQ(order, (std::vector<int>{1, 2, 1, 3}));
    EXPECT_EQ(job.report().answers, 4);
    EXPECT_EQ(job.report().ignored, 2);
    EXPECT_FALSE(job.report().endedEarly);
    EXPECT_EQ(net.pending(), 1u);
}

TEST(SearchJob, AShortWlanDatagramEndsTheSearchAndKeepsTheAnswersSoFar)
{
    platform::ManualClock clock;
    ScriptedArrivals net(clock);
    net.at(10, wlanAnswer(1));
    net.at(20, wlanAnswer(2));
    net.at(400, bytesOf("__[I_F]__[REG_RSP]")); // 18 bytes
    net.at(500, wlanAnswer(3));
    DeviceList list;
    RecordingSender sender;
    SearchJob job(SearchMode::Wlan, list, sender.sender());

    const auto result = RunDatagramJob(job, clock, net.receiver());
    EXPECT_EQ(result.end, platform::JobEnd::Ok);
    EXPECT_EQ(clock.tickMs(), 400u);
    EXPECT_EQ(sender.sent[0], bytesOf("__[I_F]__[PRT_REG]"));
    EXPECT_EQ(list.size(), 2);
    EXPECT_TRUE(job.report().endedEarly);
    EXPECT_FALSE(job.offer(wlanAnswer(9), false));
    EXPECT_EQ(list.size(), 2);
}

TEST(SearchJob, TruncatedAndShortAnswersAreNotedNotFatal)
{
    platform::ManualClock clock;
    ScriptedArrivals net(clock);
    Bytes big = wlanAnswer(1);
    big.resize(900, 0xAB);
    net.at(10, big);
    Bytes cut = wlanAnswer(2);
    cut.resize(30);
    net.at(20, cut);
    DeviceList list;
    RecordingSender sender;
    SearchJob job(SearchMode::Wlan, list, sender.sender());
    RunDatagramJob(job, clock, net.receiver());
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(job.report().truncated, 1);
    EXPECT_EQ(job.report().shortAnswers, 1);
    EXPECT_EQ(list.find(2)->baudCode, 0);
}

TEST(SearchJob, NothingSentEndsAtOnceWithTheReason)
{
    platform::ManualClock clock;
    ScriptedArrivals net(clock);
    DeviceList list;
    RecordingSender sender;
    sender.works = false;
    SearchJob job(SearchMode::Ethernet, list, sender.sender());
    const auto result = RunDatagramJob(job, clock, net.receiver());
    EXPECT_EQ(result.end, platform::JobEnd::Cancel);
    EXPECT_EQ(result.code, kSearchNotSent);
    EXPECT_NE(result.message.find("unreachable"), std::string::npos);
    EXPECT_EQ(net.calls(), 0);
}

TEST(SearchJob, ACancelRequestStopsTheWaitAndKeepsTheList)
{
    platform::ManualClock clock;
    ScriptedArrivals net(clock);
    net.at(10, ethernetAnswer(1));
    DeviceList list;
    RecordingSender sender;
    SearchJob job(SearchMode::Ethernet, list, sender.sender());
    platform::JobCancel cancel;
    Receiver receiveThenCancel = [&](std::uint8_t* b, int c, int t) {
        auto got = net.receive(b, c, t);
        cancel.request();
        return got;
    };
    const auto result = RunDatagramJob(job, clock, receiveThenCancel, &cancel);
    EXPECT_EQ(result.end, platform::JobEnd::Cancel);
    EXPECT_LT(clock.tickMs(), 100u);
    EXPECT_EQ(list.size(), 1);
}

TEST(UdpSettings, EnvironmentOverridesAndRefusals)
{
    std::map<std::string, std::string> env{{"PAVIX_UDP_TARGET", "127.0.0.1"},
                                           {"PAVIX_UDP_BIND", "127.0.0.2"},
                                           {"PAVIX_UDP_LOCAL_PORT", "0"},
                                           {"PAVIX_UDP_REMOTE_PORT", "65535"}};
    const EnvLookup lookup = [&](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    UdpSettings settings = DefaultUdpSettings(SearchMode::Wlan);
    EXPECT_EQ(settings.localPort, 9000);
    EXPECT_EQ(settings.remotePort, 3337);
    EXPECT_TRUE(settings.bind.isAny());
    EXPECT_EQ(ApplyUdpEnvironment(settings, lookup), "");
    EXPECT_EQ(settings.broadcast.target, platform::Ipv4Address::loopback());
    EXPECT_EQ(settings.bind, (platform::Ipv4Address{{127, 0, 0, 2}}));
    EXPECT_EQ(settings.localPort, 0);
    EXPECT_EQ(settings.remotePort, 65535);

    env["PAVIX_UDP_REMOTE_PORT"] = "65536";
    EXPECT_EQ(ApplyUdpEnvironment(settings, lookup), "PAVIX_UDP_REMOTE_PORT is not a port number: 65536");
    env["PAVIX_UDP_TARGET"] = "localhost";
    EXPECT_EQ(ApplyUdpEnvironment(settings, lookup), "PAVIX_UDP_TARGET is not an IPv4 address: localhost");

    UdpSettings untouched = DefaultUdpSettings(SearchMode::Ethernet);
    EXPECT_EQ(ApplyUdpEnvironment(untouched, [](const char*) -> const char* { return nullptr; }), "");
    EXPECT_EQ(untouched.localPort, 48780);
    EXPECT_FALSE(untouched.broadcast.target.has_value());
}

// A board on loopback answers twice to the request's source; the search
// through the real socket lists both answers.
TEST(UdpChannel, SearchesAResponderOnLoopback)
{
    platform::UdpSocket board;
    ASSERT_TRUE(board.bind(platform::UdpEndpoint{platform::Ipv4Address::loopback(), 0}));

    UdpSettings settings = DefaultUdpSettings(SearchMode::Ethernet);
    settings.bind = platform::Ipv4Address::loopback();
    settings.localPort = 0;
    settings.remotePort = board.local().port;
    settings.broadcast.target = platform::Ipv4Address::loopback();
    UdpChannel channel;
    ASSERT_TRUE(channel.open(settings, {})) << channel.error();

    Bytes request;
    std::thread responder([&] {
        std::uint8_t buffer[64];
        const auto got = board.receive(buffer, sizeof buffer, 3000);
        if (!got.io.complete())
            return;
        request.assign(buffer, buffer + got.io.bytes);
        const Bytes answer = ethernetAnswer(7);
        board.send(got.from, answer.data(), static_cast<int>(answer.size()));
        board.send(got.from, answer.data(), static_cast<int>(answer.size()));
    });
    DeviceList list;
    SearchJob job(SearchMode::Ethernet, list, channel.sender());
    platform::SteadyClock clock;
    const auto result = RunDatagramJob(job, clock, channel.receiver());
    responder.join();
    EXPECT_EQ(result.end, platform::JobEnd::Ok);
    EXPECT_EQ(request, bytesOf("FIND"));
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.find(2)->mac[5], 7);
    EXPECT_TRUE(job.report().send.sent);
}

TEST(UdpChannel, AHeldLocalPortAndAnUnknownInterfaceAreReported)
{
    platform::UdpSocket holder;
    ASSERT_TRUE(holder.bind(platform::UdpEndpoint{platform::Ipv4Address::loopback(), 0}));
    UdpSettings settings = DefaultUdpSettings(SearchMode::Wlan);
    settings.bind = platform::Ipv4Address::loopback();
    settings.localPort = holder.local().port;
    UdpChannel channel;
    EXPECT_FALSE(channel.open(settings, {}));
    EXPECT_NE(channel.error().find("Address already in use"), std::string::npos) << channel.error();

    settings.localPort = 0;
    settings.broadcast.interfaceName = "nosuch0";
    ASSERT_TRUE(channel.open(settings, {}));
    const SendResult sent = channel.send(bytesOf("FIND"));
    EXPECT_FALSE(sent.sent);
    EXPECT_EQ(sent.error, "unknown network interface: nosuch0");
}

} // namespace
} // namespace pavix::search
