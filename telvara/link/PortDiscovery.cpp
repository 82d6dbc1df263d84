#include "telvara/link/PortDiscovery.h"

#include "telvara/link/LinkTexts.h"

#include "platform/serial_port.h"

namespace telvara {

std::string UsbPortName(const platform::UsbPrinterInfo& device)
{
    if (device.vendorId != kUsbVendor)
        return {};
    if (device.productId == kUsbProductM880)
        return "M880:" + device.devicePath;
    if (device.productId == kUsbProductM882)
        return "M882:" + device.devicePath;
    return {};
}

std::vector<std::string> SerialPortNames(const platform::DeviceRoots& roots)
{
    std::vector<std::string> names = platform::listSerialPorts(roots);
    for (int n = 1; n <= 9; ++n)
        names.push_back("COM" + std::to_string(n));
    for (int n = 10; n <= 14; ++n)
        names.push_back("\\\\.\\COM" + std::to_string(n));
    return names;
}

std::vector<std::string> ParallelPortNames()
{
    return {"LPT1", "LPT2", "LPT3"};
}

std::vector<std::string> UsbPortNames(const platform::DeviceRoots& roots)
{
    std::vector<std::string> names;
    for (const platform::UsbPrinterInfo& device : platform::listUsbPrinters(roots)) {
        std::string name = UsbPortName(device);
        if (!name.empty())
            names.push_back(std::move(name));
    }
    return names;
}

PortList ListPorts(LinkKind kind, const platform::DeviceRoots& roots)
{
    PortList list;
    list.kind = kind;
    switch (kind) {
    case LinkKind::Serial: list.ports = SerialPortNames(roots); break;
    case LinkKind::Parallel: list.ports = ParallelPortNames(); break;
    case LinkKind::Usb:
        list.ports = UsbPortNames(roots);
        if (list.ports.empty()) {
            list.kind = LinkKind::Serial;
            list.ports = SerialPortNames(roots);
            list.fellBack = true;
            list.notice = texts::kNoUsbPrinter;
        }
        break;
    case LinkKind::Ethernet: break;
    }
    return list;
}

} // namespace telvara
