// I/O on a USB printer device node (<dev>/usb/lpN), behind the port
// contract. open() takes the device path in Endpoint::address and opens it
// exclusively. Writes follow the stall rule; the kernel's printer driver has
// no output queue to watch, so only bytes it takes count as progress.
#pragma once

#include "platform/port.h"

#include <memory>

namespace platform {

std::unique_ptr<Port> makeUsbPrinterPort();

} // namespace platform
