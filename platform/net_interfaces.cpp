// Interface list from getifaddrs() and the per-interface broadcast plan.
#include "platform/net_interfaces.h"

#include <algorithm>
#include <cerrno>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

namespace platform {
namespace {

Ipv4Address addressOf(const sockaddr* address)
{
    if (address == nullptr || address->sa_family != AF_INET)
        return {};
    const auto* in = reinterpret_cast<const sockaddr_in*>(address);
    return Ipv4Address::fromValue(ntohl(in->sin_addr.s_addr));
}

bool suitable(const NetInterface& interface)
{
    return interface.up && interface.broadcast && !interface.loopback;
}

PlannedSend broadcastOutOf(const NetInterface& interface)
{
    PlannedSend send;
    send.to = Ipv4Address::broadcast();
    send.interfaceIndex = interface.index;
    send.interfaceName = interface.name;
    if (!(interface.broadcastAddress == Ipv4Address::broadcast()) && !interface.broadcastAddress.isAny())
        send.fallback = interface.broadcastAddress;
    return send;
}

} // namespace

std::vector<NetInterface> listNetInterfaces(OsError* error)
{
    std::vector<NetInterface> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        if (error != nullptr)
            *error = lastOsError("getifaddrs", "");
        return result;
    }
    for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
        if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET || entry->ifa_name == nullptr)
            continue;
        NetInterface interface;
        interface.name = entry->ifa_name;
        interface.index = ::if_nametoindex(entry->ifa_name);
        interface.up = (entry->ifa_flags & IFF_UP) != 0;
        interface.broadcast = (entry->ifa_flags & IFF_BROADCAST) != 0;
        interface.loopback = (entry->ifa_flags & IFF_LOOPBACK) != 0;
        interface.address = addressOf(entry->ifa_addr);
        interface.netmask = addressOf(entry->ifa_netmask);
        interface.broadcastAddress = interface.broadcast ? addressOf(entry->ifa_broadaddr) : Ipv4Address{};
        if (interface.broadcast && interface.broadcastAddress.isAny())
            interface.broadcastAddress =
                Ipv4Address::fromValue(interface.address.value() | ~interface.netmask.value());
        result.push_back(std::move(interface));
    }
    ::freeifaddrs(list);
    if (error != nullptr)
        *error = {};
    return result;
}

BroadcastPlan planBroadcast(const std::vector<NetInterface>& interfaces, const BroadcastOptions& options)
{
    BroadcastPlan plan;
    if (options.target) {
        plan.sends.push_back(PlannedSend{*options.target, 0, {}, std::nullopt});
        return plan;
    }

    if (!options.interfaceName.empty()) {
        const auto named = std::find_if(interfaces.begin(), interfaces.end(),
                                        [&](const NetInterface& i) { return i.name == options.interfaceName; });
        if (named == interfaces.end()) {
            plan.error = "unknown network interface: " + options.interfaceName;
            return plan;
        }
        // Any address of the interface that can broadcast will do; the
        // datagram goes out by index either way.
        const auto usable = std::find_if(named, interfaces.end(), [&](const NetInterface& i) {
            return i.name == options.interfaceName && suitable(i);
        });
        if (usable == interfaces.end()) {
            if (!named->up)
                plan.error = "network interface " + options.interfaceName + " is down";
            else
                plan.error = "network interface " + options.interfaceName + " cannot broadcast";
            return plan;
        }
        plan.sends.push_back(broadcastOutOf(*usable));
        return plan;
    }

    for (const NetInterface& interface : interfaces) {
        if (!suitable(interface))
            continue;
        // An interface with several addresses still gets one datagram.
        const bool planned = std::any_of(plan.sends.begin(), plan.sends.end(), [&](const PlannedSend& s) {
            return s.interfaceIndex == interface.index && s.interfaceName == interface.name;
        });
        if (!planned)
            plan.sends.push_back(broadcastOutOf(interface));
    }
    if (plan.sends.empty())
        plan.sends.push_back(PlannedSend{Ipv4Address::broadcast(), 0, {}, std::nullopt});
    return plan;
}

bool SendReport::anySent() const
{
    return std::any_of(outcomes.begin(), outcomes.end(), [](const SendOutcome& o) { return o.sent; });
}

OsError SendReport::firstError() const
{
    for (const SendOutcome& outcome : outcomes) {
        if (outcome.error.isSet())
            return outcome.error;
    }
    return {};
}

SendReport sendByPlan(const BroadcastPlan& plan, std::uint16_t port, const DatagramSend& send)
{
    SendReport report;
    for (const PlannedSend& planned : plan.sends) {
        SendOutcome outcome;
        outcome.planned = planned;
        IoResult io = send(UdpEndpoint{planned.to, port}, planned.interfaceIndex);
        if (io.complete()) {
            outcome.sent = true;
            outcome.sentTo = planned.to;
        } else {
            outcome.error = io.error;
            if (planned.fallback) {
                io = send(UdpEndpoint{*planned.fallback, port}, planned.interfaceIndex);
                if (io.complete()) {
                    outcome.sent = true;
                    outcome.usedFallback = true;
                    outcome.sentTo = *planned.fallback;
                } else {
                    outcome.error = io.error;
                }
            }
        }
        report.outcomes.push_back(std::move(outcome));
    }
    return report;
}

SendReport sendByPlan(UdpSocket& socket, const BroadcastPlan& plan, std::uint16_t port, const std::uint8_t* data,
                      int length)
{
    return sendByPlan(plan, port, [&](const UdpEndpoint& to, unsigned interfaceIndex) {
        return socket.send(to, data, length, interfaceIndex);
    });
}

} // namespace platform
