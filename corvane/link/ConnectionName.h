// Corvane's connection names: which transport a stored port name selects.
//
//   "NET<a.b.c.d>"     TCP/IP; the address is the name with every leading
//                      N, E and T removed ("NETE192.168.0.20" -> "192.168.0.20")
//   "<dev>/usb/..."    USB printer device (what USB discovery reports)
//   anything else      serial ("COM3", "/dev/ttyUSB0", "/dev/pts/4")
//
// The prefix is case-sensitive: "net10.0.0.5" is a serial port name.
#pragma once

#include "platform/device_roots.h"

#include <string>

namespace corvane {

enum class PortKind { Serial, Usb, Tcp };

struct ConnectionName {
    PortKind kind = PortKind::Serial;
    // TCP/IP: the IPv4 address; serial and USB: the name as given.
    std::string address;
};

ConnectionName ParseConnectionName(const std::string& name, const platform::DeviceRoots& roots);

// True when `name` selects TCP/IP.
bool IsTcpConnectionName(const std::string& name);
// "192.168.0.20" -> "NET192.168.0.20".
std::string TcpConnectionName(const std::string& ipv4);
// The address of a TCP/IP name ("NETE192.168.0.20" -> "192.168.0.20"); empty
// for a name that is not one.
std::string TcpAddressOf(const std::string& name);

} // namespace corvane
