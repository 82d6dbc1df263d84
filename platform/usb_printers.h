// USB printer-class devices bound to the kernel's USB printer driver.
//
// Discovery walks <sys>/class/usbmisc/lpN, reports <dev>/usb/lpN with the
// vendor and product id of the USB device it belongs to, keeps the devices
// that open for reading and writing, in lp number order.
#pragma once

#include "platform/os_error.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Where sysfs and /dev are. QUELLIX_DEVICE_ROOT=DIR redirects both to
// DIR/sys and DIR/dev, so tests can build a fake tree.
struct DeviceRoots {
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    static DeviceRoots fromEnvironment();
};

struct UsbPrinterInfo {
    std::string devicePath;   // e.g. /dev/usb/lp0
    int lpNumber = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

std::vector<UsbPrinterInfo> listUsbPrinters(const DeviceRoots& roots);

// True for a path under <dev>/usb/, which is what discovery reports.
bool isUsbPrinterPath(const std::string& name, const DeviceRoots& roots);

class UsbPrinterIo {
public:
    virtual ~UsbPrinterIo() = default;
    // Opens for reading and writing, exclusively.
    virtual bool open(const std::string& path) = 0;
    // Bytes written; 0 on failure.
    virtual int write(const std::uint8_t* data, int length) = 0;
    // Bytes read; 0 on failure or when nothing arrived within timeoutMs.
    virtual int read(std::uint8_t* buffer, int capacity, int timeoutMs) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual OsError lastError() const = 0;
};

std::unique_ptr<UsbPrinterIo> makeUsbPrinter();

} // namespace platform
