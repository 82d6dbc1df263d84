// The printer connection: serial tty, USB printer device or TCP/IP, chosen
// by the form of the port name at Open (see ConnectionName.h). For TCP/IP the
// port is the low 16 bits of the baud rate field.
//
// Open on a serial port: exclusive open (3 attempts, 400 ms apart), line
// settings, probe time-outs, purge, a single 0x00 probe byte (bounded by the
// line's write time-outs, 1000 ms per byte + 1000 ms), DSR must be on, then
// the working time-outs (interval 10 ms, total 10 ms per byte + 1000 ms; the
// write fields stay 1000/1000 but data writes follow the stall rule).
//
// Write and Read make exactly one port call each: no framing, no retries,
// no splitting by this class. A Write reports its piece once it has left
// this machine, and fails when the printer accepts nothing for
// stallTimeoutMs. Every Write is preceded and every Read followed by a 10 ms
// pause (the trace hook). Reads are bounded on every kind of port.
#pragma once

#include "corvane/link/ConnectionName.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/os_error.h"
#include "platform/port.h"

#include <cstdint>
#include <memory>
#include <string>

namespace corvane {

// Connection settings as the main window stores them.
struct PortSettings {
    std::string portName = "COM1";
    int baudRate = 115200;   // serial: bit/s; TCP/IP: the TCP port
    int parity = 0;          // 0 none, 1 odd, 2 even
    int dataBits = 8;
    int stopBits = 0;        // 0 one, 2 two
    int flowControl = 0;     // 0 none, 1 DTR/DSR
};

class CDev {
public:
    // Receive bound for TCP/IP and USB reads, in line with the serial read's
    // 1000 ms total time-out.
    static constexpr int kReadBoundMs = 1000;
    // Bound for establishing a TCP connection, instead of the system's
    // minutes-long default.
    static constexpr int kConnectTimeoutMs = 10000;

    explicit CDev(platform::Clock& clock = platform::systemClock(),
                  platform::Devices& devices = platform::systemDevices());
    virtual ~CDev();
    CDev(const CDev&) = delete;
    CDev& operator=(const CDev&) = delete;

    // 1 on success (open flag set), 0 on failure.
    int Open();
    void Close();
    // Bytes the device reports as sent (TCP/IP: -1 on error; serial/USB: 0).
    int Write(const std::uint8_t* data, int length);
    // Bytes received (TCP/IP: 0 closed, -1 error or nothing within the bound;
    // serial/USB: 0 on failure or time-out). The wait hint is not used.
    int Read(std::uint8_t* buffer, int capacity, int waitHintMs);

    bool IsOpen() const { return open_; }
    PortKind Kind() const { return kind_; }
    // The kind a port name selects (what Open will use).
    PortKind KindFor(const std::string& portName) const;

    // The OS reason of the last failed device call, for the front ends.
    platform::OsError LastOsError() const { return lastError_; }
    platform::DeviceKind LastDeviceKind() const;

    PortSettings settings;
    // A write fails once the printer has taken no byte for this long (the
    // command line's --stall-timeout); read at every Write.
    int stallTimeoutMs = platform::kDefaultStallTimeoutMs;

private:
    int openSerial(platform::SerialPort& serial);
    int openStream(const platform::Endpoint& where);
    void drop();
    void trace();

    platform::Clock& clock_;
    platform::Devices& devices_;
    bool open_ = false;
    PortKind kind_ = PortKind::Serial;
    std::unique_ptr<platform::Port> port_;
    platform::OsError lastError_;
};

} // namespace corvane
