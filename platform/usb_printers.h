// USB printer-class devices bound to the kernel's USB printer driver: discovery.
// The transport to one of them is platform/usb_printer_port.h.
//
// Discovery walks <sys>/class/usbmisc/lpN, reports <dev>/usb/lpN with the
// vendor and product id of the USB device it belongs to, keeps the devices
// that open for reading and writing, in lp number order.
#pragma once

#include "platform/device_roots.h"

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct UsbPrinterInfo {
    std::string devicePath;   // e.g. /dev/usb/lp0
    int lpNumber = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

std::vector<UsbPrinterInfo> listUsbPrinters(const DeviceRoots& roots);

// True for a path under <dev>/usb/, which is what discovery reports.
bool isUsbPrinterPath(const std::string& name, const DeviceRoots& roots);

} // namespace platform
