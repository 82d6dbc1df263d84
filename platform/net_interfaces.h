// The machine's IPv4 interfaces and the plan for a discovery broadcast over
// them.
//
// Linux sends a datagram for 255.255.255.255 out of one interface only (the
// one the routing table picks), so a laptop with an office LAN, a USB
// Ethernet adapter to the printer and WLAN would reach one of them. The plan
// is one datagram per IPv4 interface that is up, can broadcast and is not
// loopback: to 255.255.255.255 out of that interface (by index), and, if
// that send fails, to the interface's directed broadcast instead. Printers
// with no address yet, or one from another subnet, still receive the
// limited broadcast.
//
// planBroadcast() is pure: interface list and options in, sends out, so it is
// tested with made-up interface lists. sendByPlan() carries a plan out on a
// socket.
#pragma once

#include "platform/udp_socket.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace platform {

// One IPv4 address of one interface (an interface with two addresses
// appears twice, with the same name and index).
struct NetInterface {
    std::string name;
    unsigned index = 0;
    bool up = false;
    bool broadcast = false;
    bool loopback = false;
    Ipv4Address address;
    Ipv4Address netmask;
    Ipv4Address broadcastAddress; // address | ~netmask when the system gives none
};

// The IPv4 interfaces from getifaddrs(), in the system's order. On failure
// returns nothing and sets *error when given.
std::vector<NetInterface> listNetInterfaces(OsError* error = nullptr);

struct BroadcastOptions {
    // Restricts the plan to this interface (empty: every suitable one).
    std::string interfaceName;
    // Test redirection: one plain send to this address replaces the plan.
    std::optional<Ipv4Address> target;
};

struct PlannedSend {
    Ipv4Address to;
    unsigned interfaceIndex = 0;          // 0: the routing table's choice
    std::string interfaceName;            // empty for a plain send
    std::optional<Ipv4Address> fallback;  // tried out of the same interface if `to` fails
};

struct BroadcastPlan {
    std::vector<PlannedSend> sends;
    // Set instead of sends when the options cannot be met, e.g.
    // "unknown network interface: eth9".
    std::string error;

    bool ok() const { return error.empty(); }
};

BroadcastPlan planBroadcast(const std::vector<NetInterface>& interfaces, const BroadcastOptions& options);

// What happened to one planned send.
struct SendOutcome {
    PlannedSend planned;
    bool sent = false;
    bool usedFallback = false;
    Ipv4Address sentTo;
    OsError error; // the last failure when !sent, the first one when usedFallback
};

struct SendReport {
    std::vector<SendOutcome> outcomes;

    // At least one datagram left.
    bool anySent() const;
    // The first failure, for a message when nothing left.
    OsError firstError() const;
};

// Sends one datagram to `to` out of the interface (0: routing choice).
using DatagramSend = std::function<IoResult(const UdpEndpoint& to, unsigned interfaceIndex)>;

// Carries out `plan` to `port`: one datagram per planned send, the fallback
// only after the first address failed.
SendReport sendByPlan(const BroadcastPlan& plan, std::uint16_t port, const DatagramSend& send);
// The same on a socket, with `data` as the datagram.
SendReport sendByPlan(UdpSocket& socket, const BroadcastPlan& plan, std::uint16_t port, const std::uint8_t* data,
                      int length);

} // namespace platform
