// The connection the main window remembers between runs, shared with the
// command-line companion so that a connection set once in the window is used
// by scripts too.
//
// Values under Corvane's registry key:
//   uPortType     DWORD   interface: 0 serial, 1 USB, 2 TCP/IP
//   uPort         string  "COM3" / "/dev/ttyUSB0", a USB device path, or
//                         "NET" followed by the IPv4 address
//   uBaudrate     DWORD   baud rate; for TCP/IP the TCP port
//   uDatabit      DWORD   data bits
//   uParity       DWORD   0 none, 1 odd, 2 even
//   uStopbit      DWORD   0 one, 2 two
//   uFlowcontrol  DWORD   0 none, 1 DTR/DSR
#pragma once

#include "corvane/link/CDev.h"
#include "platform/registry_store.h"

namespace corvane {

enum InterfaceIndex : int {
    kInterfaceSerial = 0,
    kInterfaceUsb = 1,
    kInterfaceTcp = 2,
};

struct StoredConnection {
    int interfaceIndex = kInterfaceSerial;
    // The first-start connection: COM1, 115200 baud, 8 data bits, no parity,
    // one stop bit, DTR/DSR flow control.
    PortSettings settings{"COM1", 115200, 0, 8, 0, 1};
};

// Loads the stored connection into `out`. Without a readable uPortType
// (nothing stored yet, or a value outside 0..2) `out` becomes the first-start
// connection and the result is false. Otherwise the result is true and every
// other value that cannot be read becomes 0 (the port name "").
bool LoadStoredConnection(const platform::RegistryStore& store, StoredConnection& out);

// Writes uPortType, uPort, uBaudrate, uDatabit, uParity, uStopbit and
// uFlowcontrol, in this order, as one update of the store: all of them or,
// on failure, none (the window ignores the result, the command line may
// warn; store.lastError() has the reason). A port name that cannot be
// stored (a line break) fails the whole save.
bool SaveStoredConnection(platform::RegistryStore& store, const StoredConnection& connection);

} // namespace corvane
