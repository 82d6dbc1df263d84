#include "pavix/search/UdpChannel.h"

#include <utility>

namespace pavix::search {

UdpSettings DefaultUdpSettings(SearchMode mode)
{
    UdpSettings settings;
    const UdpPorts ports = DefaultPorts(mode);
    settings.localPort = ports.local;
    settings.remotePort = ports.remote;
    return settings;
}

std::optional<std::uint16_t> ParseUdpPort(std::string_view text)
{
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

std::string ApplyUdpEnvironment(UdpSettings& settings, const EnvLookup& lookup)
{
    auto value = [&](const char* name) -> std::optional<std::string_view> {
        const char* text = lookup ? lookup(name) : nullptr;
        if (text == nullptr || *text == '\0')
            return std::nullopt;
        return std::string_view(text);
    };
    if (const auto text = value("PAVIX_UDP_TARGET")) {
        const auto address = platform::Ipv4Address::parse(*text);
        if (!address)
            return "PAVIX_UDP_TARGET is not an IPv4 address: " + std::string(*text);
        settings.broadcast.target = *address;
    }
    if (const auto text = value("PAVIX_UDP_BIND")) {
        const auto address = platform::Ipv4Address::parse(*text);
        if (!address)
            return "PAVIX_UDP_BIND is not an IPv4 address: " + std::string(*text);
        settings.bind = *address;
    }
    if (const auto text = value("PAVIX_UDP_LOCAL_PORT")) {
        const auto port = ParseUdpPort(*text);
        if (!port)
            return "PAVIX_UDP_LOCAL_PORT is not a port number: " + std::string(*text);
        settings.localPort = *port;
    }
    if (const auto text = value("PAVIX_UDP_REMOTE_PORT")) {
        const auto port = ParseUdpPort(*text);
        if (!port)
            return "PAVIX_UDP_REMOTE_PORT is not a port number: " + std::string(*text);
        settings.remotePort = *port;
    }
    return {};
}

bool UdpChannel::open(const UdpSettings& settings, std::vector<platform::NetInterface> interfaces)
{
    settings_ = settings;
    interfaces_ = std::move(interfaces);
    error_.clear();
    if (!socket_.bind(platform::UdpEndpoint{settings.bind, settings.localPort})) {
        error_ = socket_.lastError().describe();
        return false;
    }
    return true;
}

SendResult UdpChannel::send(const Bytes& datagram)
{
    SendResult result;
    const platform::BroadcastPlan plan = platform::planBroadcast(interfaces_, settings_.broadcast);
    if (!plan.ok()) {
        result.error = plan.error;
        return result;
    }
    result.report = platform::sendByPlan(socket_, plan, settings_.remotePort, datagram.data(),
                                         static_cast<int>(datagram.size()));
    result.sent = result.report.anySent();
    if (!result.sent)
        result.error = result.report.firstError().describe();
    return result;
}

Receiver UdpChannel::receiver()
{
    return [this](std::uint8_t* buffer, int capacity, int timeoutMs) {
        return socket_.receive(buffer, capacity, timeoutMs);
    };
}

Sender UdpChannel::sender()
{
    return [this](const Bytes& datagram) { return send(datagram); };
}

} // namespace pavix::search
