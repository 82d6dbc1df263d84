// The UDP side of a search or store: where to bind, where to send, and the
// socket that does it.
//
// By default a mode binds 0.0.0.0 on its local port and broadcasts to its
// remote port out of every suitable interface (platform/net_interfaces.h).
// For tests and unusual networks every part can be overridden, from the
// command line or from the environment:
//   PAVIX_UDP_TARGET       one plain send to this address instead of the
//                          broadcast plan
//   PAVIX_UDP_BIND         the local address to bind
//   PAVIX_UDP_LOCAL_PORT   the local port (answers arrive here)
//   PAVIX_UDP_REMOTE_PORT  the port requests go to
#pragma once

#include "pavix/search/SearchJob.h"

#include "platform/net_interfaces.h"
#include "platform/udp_socket.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace pavix::search {

struct UdpSettings {
    platform::Ipv4Address bind = platform::Ipv4Address::any();
    std::uint16_t localPort = 0;
    std::uint16_t remotePort = 0;
    platform::BroadcastOptions broadcast; // interface restriction, target
};

UdpSettings DefaultUdpSettings(SearchMode mode);

// A port number 0..65535 in decimal, nothing else.
std::optional<std::uint16_t> ParseUdpPort(std::string_view text);

// Applies the PAVIX_UDP_* variables that are set, read through `lookup`
// (getenv in production). Returns an error naming the variable for a value
// that does not parse, leaving `settings` partly applied.
using EnvLookup = std::function<const char*(const char* name)>;
std::string ApplyUdpEnvironment(UdpSettings& settings, const EnvLookup& lookup);

class UdpChannel {
public:
    // Binds the socket. `interfaces` is the list the plan is made from
    // (listNetInterfaces() in production). On failure error() says why.
    bool open(const UdpSettings& settings, std::vector<platform::NetInterface> interfaces);
    void close() { socket_.close(); }

    // Sends `datagram` along the plan to the remote port.
    SendResult send(const Bytes& datagram);
    // The socket's receive, for RunDatagramJob.
    Receiver receiver();
    // Both as the jobs want them.
    Sender sender();

    platform::UdpSocket& socket() { return socket_; }
    const UdpSettings& settings() const { return settings_; }
    const std::string& error() const { return error_; }

private:
    UdpSettings settings_;
    std::vector<platform::NetInterface> interfaces_;
    platform::UdpSocket socket_;
    std::string error_;
};

} // namespace pavix::search
