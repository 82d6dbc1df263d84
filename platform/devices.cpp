#include "platform/devices.h"

#include "platform/parallel_port.h"
#include "platform/tcp_port.h"
#include "platform/usb_printer_port.h"

#include <cstdlib>

namespace platform {
namespace {

std::unique_ptr<Port> makeSerialPort()
{
    return makeTtySerial();
}

std::unique_ptr<Port> makeLpPort()
{
    return makeParallelPort();
}

constexpr Transport kTransports[] = {
    {DeviceKind::Serial, "serial tty", makeSerialPort},
    {DeviceKind::Usb, "USB printer", makeUsbPrinterPort},
    {DeviceKind::Parallel, "parallel port", makeLpPort},
    {DeviceKind::Tcp, "TCP", makeTcpPort},
};

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

class SystemDevices final : public Devices {
public:
    std::unique_ptr<Port> makePort(DeviceKind kind) override
    {
        for (const Transport& transport : kTransports) {
            if (transport.kind == kind)
                return transport.make();
        }
        return nullptr;
    }
    DeviceRoots roots() override { return DeviceRoots::fromEnvironment(); }
};

} // namespace

DeviceRoots DeviceRoots::fromEnvironment()
{
    DeviceRoots roots;
    const char* root = std::getenv("QUELLIX_DEVICE_ROOT");
    if (root != nullptr && *root != '\0') {
        const std::string base = withoutTrailingSlash(root);
        roots.sysRoot = base + "/sys";
        roots.devRoot = base + "/dev";
    }
    return roots;
}

std::span<const Transport> transports()
{
    return kTransports;
}

Devices& systemDevices()
{
    static SystemDevices devices;
    return devices;
}

} // namespace platform
