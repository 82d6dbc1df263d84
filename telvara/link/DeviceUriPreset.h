// Connection settings preset from a printer queue's device URI, for a start
// with an installed printer's name.
//
// The URI forms the spooler's backends use:
//   serial:PATH?baud=N+bits=7|8+parity=none|odd|even|mark|space
//              +flow=hard|rtscts|dtrdsr|soft|xonxoff|none+stop=1|2
//     (options separated by '+' or '&'; any missing option keeps its default)
//   parallel:PATH                       e.g. parallel:/dev/lp0
//   usb:ANYTHING                        the USB interface; the device is picked
//                                       from the printers present
//   socket://A.B.C.D[:PORT][/...|?...]  TCP, port 9100 when none is given
// Anything else gives the defaults with a notice; so does an option or value
// that is not understood (the rest of the URI still counts).
//
// presetFromDeviceUri is a pure function over the text and never indexes
// beyond it.
#pragma once

#include "platform/spooler/spooler.h"

#include <string>
#include <string_view>

namespace telvara::link {

enum class PresetInterface { Serial, Parallel, Usb, Ethernet };

struct DeviceUriPreset {
    PresetInterface interface = PresetInterface::Serial;
    std::string port;            // device path (serial, parallel); the URI's rest (usb)
    int baud = 9600;
    int dataBits = 8;
    int parity = 0;              // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 0;            // index: 0 one, 1 one and a half, 2 two
    int flow = 0;                // index: 0 Hardware, 1 Xon/Xoff, 2 None
    std::string address = "192.168.192.123";
    int tcpPort = 9100;
    // Empty, or why some of the URI was not used (unknown scheme, option).
    std::string notice;
};

DeviceUriPreset presetFromDeviceUri(std::string_view uri);

struct QueuePreset {
    platform::spooler::Result result;  // NotFound when no queue has that name
    std::string deviceUri;
    DeviceUriPreset preset;
};

// The queue's device URI through the spooler (queue names compare without
// regard to case, as the scheduler's do), parsed.
QueuePreset presetForQueue(platform::spooler::Spooler& spooler, const std::string& queueName);

} // namespace telvara::link
