#include "platform/devices.h"

namespace platform {
namespace {

class SystemDevices final : public Devices {
public:
    std::unique_ptr<SerialIo> makeSerial() override { return makeTtySerial(); }
    std::unique_ptr<TcpIo> makeTcp() override { return makeTcpClient(); }
    std::unique_ptr<UsbPrinterIo> makeUsb() override { return makeUsbPrinter(); }
    DeviceRoots roots() override { return DeviceRoots::fromEnvironment(); }
};

} // namespace

Devices& systemDevices()
{
    static SystemDevices devices;
    return devices;
}

} // namespace platform
