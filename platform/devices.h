// Factory for port devices, so a test can put a scripted fake printer behind
// any port object.
#pragma once

#include "platform/serial_port.h"
#include "platform/tcp_client.h"
#include "platform/usb_printers.h"

#include <memory>

namespace platform {

class Devices {
public:
    virtual ~Devices() = default;
    virtual std::unique_ptr<SerialIo> makeSerial() = 0;
    virtual std::unique_ptr<TcpIo> makeTcp() = 0;
    virtual std::unique_ptr<UsbPrinterIo> makeUsb() = 0;
    virtual DeviceRoots roots() = 0;
};

// The real devices of this machine (roots from the environment).
Devices& systemDevices();

} // namespace platform
