// Serial tty device with the line and time-out model the printer link uses.
//
// Port names: "COMn" and "\\.\COMn" (any case, optional trailing ':') mean
// /dev/ttyS(n-1); anything else is taken as a device path (/dev/ttyUSB0,
// /dev/rfcomm0, /dev/pts/3).
//
// Time-outs follow the classic interval/total model: a read returns when the
// buffer is full, when the total time (multiplier x requested bytes +
// constant) has passed, or when the gap after a received byte exceeds the
// interval. Data writes follow the stall rule of the port contract and end
// once the driver's output queue has drained; only writeWithinTimeouts()
// gives up after multiplier x length + constant.
#pragma once

#include "platform/port.h"
#include "platform/device_roots.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct termios;

namespace platform {

// Flow control modes of SerialLine::flowControl.
inline constexpr int kFlowNone = 0;          // DTR and RTS dropped
inline constexpr int kFlowDtrDsr = 1;        // CTS output flow, DTR held on, RTS off
inline constexpr int kFlowRtsCtsNoDtr = 2;   // RTS/CTS both ways, DTR held off (DTR resets the board)
// The POS printers' three modes keep DTR and RTS on whatever the flow:
inline constexpr int kFlowHardware = 3;      // RTS/CTS both ways
inline constexpr int kFlowXonXoff = 4;       // XON/XOFF both ways
inline constexpr int kFlowOpen = 5;          // no flow control

// Parity codes of SerialLine::parity (mark and space need CMSPAR).
inline constexpr int kParityNone = 0;
inline constexpr int kParityOdd = 1;
inline constexpr int kParityEven = 2;
inline constexpr int kParityMark = 3;
inline constexpr int kParitySpace = 4;

// Stop bit codes of SerialLine::stopBits. One and a half is listed so it
// can be refused with a reason: a POSIX tty has no such setting.
inline constexpr int kStopOne = 0;
inline constexpr int kStopOneAndHalf = 1;
inline constexpr int kStopTwo = 2;

struct SerialLine {
    int baudRate = 115200;
    int dataBits = 8;    // 5..8
    int parity = 0;      // kParity*; input parity checking as checkEveryParity says
    int stopBits = 0;    // kStopOne or kStopTwo
    int flowControl = 0; // kFlow*
    // false: the receiver checks parity only for odd (the mobile printers'
    // rule); true: for every parity but none.
    bool checkEveryParity = false;
};

// Why `line` cannot be put on a tty, or empty when it can (as far as can be
// told without the device).
std::string serialLineProblem(const SerialLine& line);

struct SerialTimeouts {
    std::uint32_t readIntervalMs = 0;
    std::uint32_t readTotalMultiplierMs = 0;
    std::uint32_t readTotalConstantMs = 0;
    std::uint32_t writeTotalMultiplierMs = 0;
    std::uint32_t writeTotalConstantMs = 0;
};

struct ModemStatus {
    bool dsr = false;
    bool cts = false;
    bool dcd = false;
    bool ring = false;
};

// The serial line: the port contract plus line settings, time-outs, purge
// and modem lines. open() takes the port name in Endpoint::address.
class SerialPort : public Port {
public:
    DeviceKind kind() const override { return DeviceKind::Serial; }
    SerialPort* asSerial() override { return this; }

    virtual bool configure(const SerialLine& line) = 0;
    // The read fields bound read(); the write fields bound only
    // writeWithinTimeouts(). Data writes follow the stall rule.
    virtual bool setTimeouts(const SerialTimeouts& timeouts) = 0;
    // Sets the read time-outs to a plain total bound, keeping the write fields.
    void setReadTimeoutMs(int ms) override;
    // Discards both directions.
    virtual bool purge() = 0;
    // A write bounded by the line's own write time-outs (multiplier x length
    // + constant) instead of the stall rule: the open probe byte.
    virtual IoResult writeWithinTimeouts(const std::uint8_t* data, int length) = 0;
    // A device without modem lines (a pseudo-terminal) reports DSR and CTS on.
    virtual bool modemStatus(ModemStatus& status) = 0;

protected:
    SerialTimeouts timeouts_{};
};

// "COM3" -> "/dev/ttyS2"; other names are returned unchanged.
std::string serialDevicePath(const std::string& portName);

std::unique_ptr<SerialPort> makeTtySerial();

// Puts `line` into a tty's settings: raw byte-exact mode, receiver on, modem
// control ignored, then speed, character size, parity, stop bits and flow
// control (software flow only in kFlowXonXoff). Returns 0, or EINVAL for a setting the tty cannot take. Separate
// from configure() so the result can be checked without a real UART (a
// pseudo-terminal forces 8 bits and no parity whatever it is told).
int applySerialLine(const SerialLine& line, termios& tio);

// The serial devices present: <dev>/NAME for each <sys>/class/tty/NAME that
// belongs to a device (built-in UARTs only when their type says a port is
// really there), plus <dev>/rfcomm*; in natural order (ttyS2 before ttyS10).
std::vector<std::string> listSerialPorts(const DeviceRoots& roots);

} // namespace platform
