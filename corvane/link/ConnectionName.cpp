#include "corvane/link/ConnectionName.h"

#include "platform/usb_printers.h"

namespace corvane {
namespace {

constexpr const char* kTcpPrefix = "NET";

} // namespace

bool IsTcpConnectionName(const std::string& name)
{
    return name.rfind(kTcpPrefix, 0) == 0;
}

std::string TcpConnectionName(const std::string& ipv4)
{
    return kTcpPrefix + ipv4;
}

std::string TcpAddressOf(const std::string& name)
{
    if (!IsTcpConnectionName(name))
        return {};
    // Every leading N, E or T goes, not just the three of the prefix: names
    // stored as "NETE..." have always connected to the address after them.
    const auto first = name.find_first_not_of(kTcpPrefix);
    return first == std::string::npos ? std::string() : name.substr(first);
}

ConnectionName ParseConnectionName(const std::string& name, const platform::DeviceRoots& roots)
{
    if (IsTcpConnectionName(name))
        return {PortKind::Tcp, TcpAddressOf(name)};
    if (platform::isUsbPrinterPath(name, roots))
        return {PortKind::Usb, name};
    return {PortKind::Serial, name};
}

} // namespace corvane
