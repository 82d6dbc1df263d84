// The one link to a network board: a serial line or a USB printer device,
// reached through platform::Devices and timed by platform::Clock.
//
// Port names
//   COMn, \\.\COMn  the serial device platform::serialDevicePath gives
//   USBnnn          the nnn-th entry (1-based) of the full USB printer list
//   <dev>/usb/lpN   that USB printer device (it must be in the list)
//   any other path  a serial device (/dev/ttyUSB0, /dev/pts/3)
//
// Serial open: exclusive open, 115200 8N1 with RTS/CTS handshake and DTR
// held off, then CTS and DSR must both be on (the board is cabled and
// powered; a pseudo-terminal reads as on), then both queues are purged.
// USB open: the device must be in the list with one of the board's product
// ids (0x0C21, 0x0C28, 0x0C29, compared as numbers); every USB write waits
// 50 ms first, as the board needs between requests.
//
// Reads come in pieces: the kernel's USB printer driver hands out at most
// 1024 bytes per read and USB-serial adapters and pseudo-terminals split
// replies too. ReadReply() builds one reply from successive reads: the first
// byte must come within the first-byte bound, then the reply ends at the
// frame's 03 (index 3 or later), after 100 ms of silence, or at 16 KiB.
// A read error (ENODEV, EIO: the board was unplugged) is a failure; only a
// time-out is an empty read. A write that moves fewer bytes than asked is a
// failure on every kind of port.
#pragma once

#include "pavix/protocol/IfMessage.h"
#include "platform/clock.h"
#include "platform/devices.h"
#include "platform/os_error.h"
#include "platform/port.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace pavix {

enum class PortKind { Serial, Usb };

// The board's product ids on USB.
inline constexpr std::uint16_t kAcceptedUsbProductIds[] = {0x0C21, 0x0C28, 0x0C29};
bool IsAcceptedUsbProductId(std::uint16_t productId);

struct UsbDevice {
    std::string name;        // "USB001": position in the full list, 1-based
    std::string devicePath;  // "/dev/usb/lp0"
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    bool accepted = false;   // a board this program talks to
};

// Every USB printer device present, in the platform's order, named by
// position.
std::vector<UsbDevice> ListUsbDevices(const platform::DeviceRoots& roots);

// "USB%03d" of a 1-based position.
std::string UsbDeviceName(int position);

// What a port name means.
struct PortTarget {
    PortKind kind = PortKind::Serial;
    std::string devicePath;  // serial: the tty path; USB: the device node
    bool usbByName = false;  // given as USBnnn
    int usbPosition = 0;     // nnn
};
PortTarget ResolvePortName(const std::string& portName, const platform::DeviceRoots& roots);

enum class OpenResult {
    Ok,
    OpenFailed,      // the device did not open or could not be set up
    LinesOff,        // serial: CTS or DSR off (board not cabled or not powered)
    NoUsbDevice,     // USB: no such device in the list
    UsbNotAccepted,  // USB: the device is not one of the board's ids
};

// How a reassembled reply ended.
enum class ReplyEnd {
    FrameEnd,  // the frame's 03 arrived
    Silence,   // the board went quiet after sending something
    Cap,       // kMaxReplyBytes arrived without an end
    NoReply,   // nothing within the first-byte bound
    Failed,    // a read failed (see lastError)
};

struct Reply {
    ReplyEnd end = ReplyEnd::NoReply;
    Bytes bytes;

    bool hasData() const { return end == ReplyEnd::FrameEnd || end == ReplyEnd::Silence || end == ReplyEnd::Cap; }
};

class PrinterPort {
public:
    static constexpr int kBaudRate = 115200;
    static constexpr int kDefaultFirstByteMs = 5000;
    static constexpr int kSilenceMs = 100;
    static constexpr std::size_t kMaxReplyBytes = 16 * 1024;
    static constexpr std::uint32_t kUsbWritePauseMs = 50;
    // The largest piece asked of the device per read.
    static constexpr int kReadPiece = 4096;

    explicit PrinterPort(platform::Clock& clock = platform::systemClock(),
                         platform::Devices& devices = platform::systemDevices());
    ~PrinterPort();
    PrinterPort(const PrinterPort&) = delete;
    PrinterPort& operator=(const PrinterPort&) = delete;

    // Set before open().
    std::string portName = "COM1";
    // How long a reply's first byte may take (the command line's
    // --read-timeout).
    int firstByteTimeoutMs = kDefaultFirstByteMs;
    int stallTimeoutMs = platform::kDefaultStallTimeoutMs;

    // Opens by the form of portName; an open port is closed first.
    OpenResult open();
    // Always releases the device; nothing happens when closed.
    void close();
    bool isOpen() const { return port_ != nullptr; }
    PortKind kind() const { return kind_; }
    // The device path of the last open (after name lookup).
    const std::string& devicePath() const { return devicePath_; }
    // The USB device of the last USB open, when it was in the list.
    const UsbDevice& usbDevice() const { return usbDevice_; }

    // Writes all of data; false when the write failed or moved less.
    bool write(ByteView data);
    // One reply reassembled from successive reads.
    Reply readReply();

    // The reason of the last failure, for the front ends.
    const platform::OsError& lastError() const { return lastError_; }
    platform::DeviceKind deviceKind() const;

    platform::Clock& clock() { return clock_; }
    platform::Devices& devices() { return devices_; }

private:
    OpenResult openSerial();
    OpenResult openUsb(const PortTarget& target);
    OpenResult fail(OpenResult result);
    // One device read that waits at most waitMs for its first byte. False on
    // a read error; a time-out is true with 0 bytes.
    bool readPiece(std::uint8_t* buffer, int capacity, int waitMs, int& got);

    platform::Clock& clock_;
    platform::Devices& devices_;
    std::unique_ptr<platform::Port> port_;
    PortKind kind_ = PortKind::Serial;
    std::string devicePath_;
    UsbDevice usbDevice_;
    platform::OsError lastError_;
};

} // namespace pavix
