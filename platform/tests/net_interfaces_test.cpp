// The broadcast plan over made-up interface lists, and carrying a plan out
// through a recording sender. Nothing here sends to a real interface.
#include "platform/net_interfaces.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

using platform::BroadcastOptions;
using platform::Ipv4Address;
using platform::IoEnd;
using platform::IoResult;
using platform::NetInterface;
using platform::UdpEndpoint;

Ipv4Address ip(const char* text)
{
    return *Ipv4Address::parse(text);
}

NetInterface iface(std::string name, unsigned index, const char* address, const char* mask, const char* broadcast,
                   bool up = true, bool canBroadcast = true, bool loopback = false)
{
    NetInterface i;
    i.name = std::move(name);
    i.index = index;
    i.up = up;
    i.broadcast = canBroadcast;
    i.loopback = loopback;
    i.address = ip(address);
    i.netmask = ip(mask);
    i.broadcastAddress = ip(broadcast);
    return i;
}

// A laptop: loopback, office LAN, a USB adapter to the printer, WLAN down, a
// VPN tunnel without broadcast.
std::vector<NetInterface> laptop()
{
    return {
        iface("lo", 1, "127.0.0.1", "255.0.0.0", "0.0.0.0", true, false, true),
        iface("eth0", 2, "10.1.2.3", "255.255.0.0", "10.1.255.255"),
        iface("enx00e04c", 3, "169.254.7.7", "255.255.0.0", "169.254.255.255"),
        iface("wlan0", 4, "192.168.1.20", "255.255.255.0", "192.168.1.255", false),
        iface("tun0", 5, "10.8.0.2", "255.255.255.255", "0.0.0.0", true, false),
    };
}

TEST(BroadcastPlan, OneLimitedBroadcastPerUpBroadcastingNonLoopbackInterface)
{
    const auto plan = platform::planBroadcast(laptop(), {});
    ASSERT_TRUE(plan.ok()) << plan.error;
    ASSERT_EQ(plan.sends.size(), 2u);
    EXPECT_EQ(plan.sends[0].to, Ipv4Address::broadcast());
    EXPECT_EQ(plan.sends[0].interfaceIndex, 2u);
    EXPECT_EQ(plan.sends[0].interfaceName, "eth0");
    EXPECT_EQ(plan.sends[0].fallback, ip("10.1.255.255"));
    EXPECT_EQ(plan.sends[1].interfaceIndex, 3u);
    EXPECT_EQ(plan.sends[1].fallback, ip("169.254.255.255"));
}

TEST(BroadcastPlan, AnInterfaceWithSeveralAddressesGetsOneDatagram)
{
    auto list = laptop();
    list.push_back(iface("eth0", 2, "172.16.0.9", "255.255.255.0", "172.16.0.255"));
    const auto plan = platform::planBroadcast(list, {});
    ASSERT_EQ(plan.sends.size(), 2u);
    // The first address's directed broadcast is the fallback.
    EXPECT_EQ(plan.sends[0].fallback, ip("10.1.255.255"));
}

TEST(BroadcastPlan, NoSuitableInterfaceMeansOnePlainSend)
{
    for (const auto& list : {std::vector<NetInterface>{},
                             std::vector<NetInterface>{laptop()[0], laptop()[3], laptop()[4]}}) {
        const auto plan = platform::planBroadcast(list, {});
        ASSERT_TRUE(plan.ok());
        ASSERT_EQ(plan.sends.size(), 1u);
        EXPECT_EQ(plan.sends[0].to, Ipv4Address::broadcast());
        EXPECT_EQ(plan.sends[0].interfaceIndex, 0u);
        EXPECT_FALSE(plan.sends[0].fallback.has_value());
    }
}

TEST(BroadcastPlan, ANamedInterfaceRestrictsThePlanOrIsRefusedWithAReason)
{
    BroadcastOptions only;
    only.interfaceName = "enx00e04c";
    auto plan = platform::planBroadcast(laptop(), only);
    ASSERT_TRUE(plan.ok());
    ASSERT_EQ(plan.sends.size(), 1u);
    EXPECT_EQ(plan.sends[0].interfaceIndex, 3u);

    only.interfaceName = "eth9";
    plan = platform::planBroadcast(laptop(), only);
    EXPECT_FALSE(plan.ok());
    EXPECT_TRUE(plan.sends.empty());
    EXPECT_EQ(plan.error, "unknown network interface: eth9");

    only.interfaceName = "wlan0";
    plan = platform::planBroadcast(laptop(), only);
    EXPECT_EQ(plan.error, "network interface wlan0 is down");

    only.interfaceName = "lo";
    plan = platform::planBroadcast(laptop(), only);
    EXPECT_EQ(plan.error, "network interface lo cannot broadcast");
}

TEST(BroadcastPlan, ATargetReplacesThePlanWithOnePlainSend)
{
    BroadcastOptions redirected;
    redirected.target = ip("127.0.0.1");
    redirected.interfaceName = "eth9"; // ignored: the target decides
    const auto plan = platform::planBroadcast(laptop(), redirected);
    ASSERT_TRUE(plan.ok());
    ASSERT_EQ(plan.sends.size(), 1u);
    EXPECT_EQ(plan.sends[0].to, ip("127.0.0.1"));
    EXPECT_EQ(plan.sends[0].interfaceIndex, 0u);
    EXPECT_FALSE(plan.sends[0].fallback.has_value());
}

struct Call {
    UdpEndpoint to;
    unsigned index;
};

TEST(SendByPlan, FallsBackToTheDirectedBroadcastOnlyWhenTheFirstSendFails)
{
    const auto plan = platform::planBroadcast(laptop(), {});
    std::vector<Call> calls;
    // eth0's limited broadcast fails; everything else goes.
    const auto report = platform::sendByPlan(plan, 48781, [&](const UdpEndpoint& to, unsigned index) {
        calls.push_back({to, index});
        if (index == 2 && to.address == Ipv4Address::broadcast())
            return IoResult{0, IoEnd::Error, platform::OsError{ENETUNREACH, "send", to.text()}};
        return IoResult{4, IoEnd::Complete, {}};
    });
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].to, (UdpEndpoint{Ipv4Address::broadcast(), 48781}));
    EXPECT_EQ(calls[1].to, (UdpEndpoint{ip("10.1.255.255"), 48781}));
    EXPECT_EQ(calls[1].index, 2u);
    EXPECT_EQ(calls[2].to, (UdpEndpoint{Ipv4Address::broadcast(), 48781}));
    EXPECT_EQ(calls[2].index, 3u);

    ASSERT_EQ(report.outcomes.size(), 2u);
    EXPECT_TRUE(report.outcomes[0].sent);
    EXPECT_TRUE(report.outcomes[0].usedFallback);
    EXPECT_EQ(report.outcomes[0].sentTo, ip("10.1.255.255"));
    EXPECT_EQ(report.outcomes[0].error.code, ENETUNREACH);
    EXPECT_TRUE(report.outcomes[1].sent);
    EXPECT_FALSE(report.outcomes[1].usedFallback);
    EXPECT_TRUE(report.anySent());
}

TEST(SendByPlan, NothingSentReportsTheFirstReason)
{
    const auto plan = platform::planBroadcast(laptop(), {});
    const auto report = platform::sendByPlan(plan, 3337, [](const UdpEndpoint& to, unsigned) {
        return IoResult{0, IoEnd::Error, platform::OsError{EPERM, "send", to.text()}};
    });
    EXPECT_FALSE(report.anySent());
    EXPECT_EQ(report.firstError().code, EPERM);
    EXPECT_EQ(report.outcomes.size(), 2u);
}

TEST(SendByPlan, ARedirectedPlanReachesALoopbackReceiver)
{
    platform::UdpSocket receiver;
    ASSERT_TRUE(receiver.bind(UdpEndpoint{Ipv4Address::loopback(), 0}));
    platform::UdpSocket sender;
    ASSERT_TRUE(sender.bind(UdpEndpoint{Ipv4Address::loopback(), 0}));
    BroadcastOptions redirected;
    redirected.target = Ipv4Address::loopback();
    const auto plan = platform::planBroadcast(platform::listNetInterfaces(), redirected);
    const std::uint8_t find[] = {'F', 'I', 'N', 'D'};
    const auto report = platform::sendByPlan(sender, plan, receiver.local().port, find, 4);
    ASSERT_TRUE(report.anySent()) << report.firstError().describe();
    std::uint8_t buffer[8];
    EXPECT_EQ(receiver.receive(buffer, sizeof buffer, 1000).io.bytes, 4);
}

TEST(NetInterfaces, TheSystemListHoldsOnlyIpv4EntriesWithConsistentBroadcasts)
{
    platform::OsError error;
    const auto list = platform::listNetInterfaces(&error);
    ASSERT_FALSE(error.isSet()) << error.describe();
    for (const NetInterface& i : list) {
        EXPECT_FALSE(i.name.empty());
        EXPECT_NE(i.index, 0u) << i.name;
        if (i.broadcast) {
            EXPECT_FALSE(i.broadcastAddress.isAny()) << i.name;
        }
    }
}

} // namespace
