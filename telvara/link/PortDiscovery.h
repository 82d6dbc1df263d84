// The port lists of the interface choice.
//   serial    the serial devices present, then the classic names COM1..COM9
//             and \\.\COM10..\\.\COM14
//   parallel  LPT1, LPT2, LPT3
//   USB       the USB printer devices of vendor 2e1a: product 0b16 as
//             "M880:" + node, 0b23 as "M882:" + node, no other device.
//             When there is none: the "Printer is not connected by USB."
//             notice and the serial interface with its defaults instead.
//   Ethernet  no list; the address and TCP port defaults.
#pragma once

#include "telvara/link/PortLink.h"

#include "platform/device_roots.h"
#include "platform/usb_printers.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace telvara {

inline constexpr std::uint16_t kUsbVendor = 0x2e1a;
inline constexpr std::uint16_t kUsbProductM880 = 0x0b16;
inline constexpr std::uint16_t kUsbProductM882 = 0x0b23;

inline constexpr std::string_view kDefaultAddress = "192.168.192.123";
inline constexpr int kDefaultTcpPort = 9100;

// "M880:" + node, "M882:" + node, or empty for any other device.
std::string UsbPortName(const platform::UsbPrinterInfo& device);

struct PortList {
    LinkKind kind = LinkKind::Serial;  // the interface the list is for (serial after a fallback)
    std::vector<std::string> ports;
    bool fellBack = false;             // USB found nothing: the serial list instead
    std::string_view notice;           // the message to show (USB fallback), or empty
};

std::vector<std::string> SerialPortNames(const platform::DeviceRoots& roots);
std::vector<std::string> ParallelPortNames();
std::vector<std::string> UsbPortNames(const platform::DeviceRoots& roots);

// The list for `kind`, with the USB fallback.
PortList ListPorts(LinkKind kind, const platform::DeviceRoots& roots);

} // namespace telvara
