#include "pavix/link/PrinterPort.h"

#include "platform/serial_port.h"
#include "platform/usb_printers.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>

namespace pavix {
namespace {

// 115200 8N1, RTS/CTS handshake, DTR held off.
constexpr platform::SerialLine kBoardLine{PrinterPort::kBaudRate, 8, 0, 0, 2};

bool isUsbName(const std::string& name, int& position)
{
    if (name.size() < 4 || name.size() > 9)
        return false;
    for (std::size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "USB"[i])
            return false;
    }
    int value = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        value = value * 10 + (name[i] - '0');
    }
    position = value;
    return true;
}

// The first 03 at index 3 or later, from `from` on.
bool hasFrameEnd(const Bytes& bytes, std::size_t from)
{
    for (std::size_t i = std::max<std::size_t>(from, 3); i < bytes.size(); ++i) {
        if (bytes[i] == kFrameEnd)
            return true;
    }
    return false;
}

} // namespace

bool IsAcceptedUsbProductId(std::uint16_t productId)
{
    return std::find(std::begin(kAcceptedUsbProductIds), std::end(kAcceptedUsbProductIds), productId)
           != std::end(kAcceptedUsbProductIds);
}

std::string UsbDeviceName(int position)
{
    char name[16];
    std::snprintf(name, sizeof name, "USB%03d", std::clamp(position, 0, 99999));
    return name;
}

std::vector<UsbDevice> ListUsbDevices(const platform::DeviceRoots& roots)
{
    std::vector<UsbDevice> devices;
    int position = 0;
    for (const platform::UsbPrinterInfo& info : platform::listUsbPrinters(roots)) {
        UsbDevice d;
        d.name = UsbDeviceName(++position);
        d.devicePath = info.devicePath;
        d.vendorId = info.vendorId;
        d.productId = info.productId;
        d.accepted = IsAcceptedUsbProductId(info.productId);
        devices.push_back(std::move(d));
    }
    return devices;
}

PortTarget ResolvePortName(const std::string& portName, const platform::DeviceRoots& roots)
{
    PortTarget t;
    int position = 0;
    if (isUsbName(portName, position)) {
        t.kind = PortKind::Usb;
        t.usbByName = true;
        t.usbPosition = position;
        t.devicePath = portName;
        return t;
    }
    if (platform::isUsbPrinterPath(portName, roots)) {
        t.kind = PortKind::Usb;
        t.devicePath = portName;
        return t;
    }
    t.devicePath = platform::serialDevicePath(portName);
    return t;
}

PrinterPort::PrinterPort(platform::Clock& clock, platform::Devices& devices) : clock_(clock), devices_(devices) {}

PrinterPort::~PrinterPort()
{
    close();
}

platform::DeviceKind PrinterPort::deviceKind() const
{
    return kind_ == PortKind::Usb ? platform::DeviceKind::Usb : platform::DeviceKind::Serial;
}

OpenResult PrinterPort::fail(OpenResult result)
{
    if (port_) {
        if (!lastError_.isSet())
            lastError_ = port_->lastError();
        port_->close();
        port_.reset();
    }
    return result;
}

OpenResult PrinterPort::open()
{
    close();
    lastError_ = {};
    usbDevice_ = {};
    const platform::DeviceRoots roots = devices_.roots();
    const PortTarget target = ResolvePortName(portName, roots);
    kind_ = target.kind;
    devicePath_ = target.devicePath;
    if (kind_ == PortKind::Usb)
        return openUsb(target);
    return openSerial();
}

OpenResult PrinterPort::openSerial()
{
    port_ = devices_.makePort(platform::DeviceKind::Serial);
    platform::SerialPort* serial = port_ ? port_->asSerial() : nullptr;
    if (serial == nullptr) {
        port_.reset();
        lastError_ = platform::OsError{ENODEV, "open", devicePath_};
        return OpenResult::OpenFailed;
    }
    port_->setStallTimeoutMs(stallTimeoutMs);
    if (!serial->open(platform::Endpoint{devicePath_}))
        return fail(OpenResult::OpenFailed);
    if (!serial->configure(kBoardLine))
        return fail(OpenResult::OpenFailed);
    platform::ModemStatus status;
    if (!serial->modemStatus(status))
        return fail(OpenResult::OpenFailed);
    if (!status.cts || !status.dsr) {
        lastError_ = platform::OsError{EIO, "open", devicePath_,
                                       std::string("the board holds ") + (!status.cts ? "CTS" : "DSR")
                                           + " off (not cabled or not powered)"};
        return fail(OpenResult::LinesOff);
    }
    if (!serial->purge())
        return fail(OpenResult::OpenFailed);
    return OpenResult::Ok;
}

OpenResult PrinterPort::openUsb(const PortTarget& target)
{
    const std::vector<UsbDevice> list = ListUsbDevices(devices_.roots());
    const auto found = std::find_if(list.begin(), list.end(), [&](const UsbDevice& d) {
        return target.usbByName ? d.name == UsbDeviceName(target.usbPosition)
                                : d.devicePath == target.devicePath;
    });
    if (found == list.end()) {
        lastError_ = platform::OsError{ENODEV, "open", target.devicePath, "no such USB printer device"};
        return OpenResult::NoUsbDevice;
    }
    usbDevice_ = *found;
    devicePath_ = found->devicePath;
    if (!found->accepted) {
        char ids[32];
        std::snprintf(ids, sizeof ids, "%04x:%04x", found->vendorId, found->productId);
        lastError_ = platform::OsError{ENODEV, "open", found->name + " " + devicePath_,
                                       std::string("USB device ") + ids + " is not a supported board"};
        return OpenResult::UsbNotAccepted;
    }
    port_ = devices_.makePort(platform::DeviceKind::Usb);
    if (!port_) {
        lastError_ = platform::OsError{ENODEV, "open", devicePath_};
        return OpenResult::OpenFailed;
    }
    port_->setStallTimeoutMs(stallTimeoutMs);
    if (!port_->open(platform::Endpoint{devicePath_}))
        return fail(OpenResult::OpenFailed);
    return OpenResult::Ok;
}

void PrinterPort::close()
{
    if (!port_)
        return;
    port_->close();
    port_.reset();
}

bool PrinterPort::write(ByteView data)
{
    if (!port_) {
        lastError_ = platform::OsError{EBADF, "write", devicePath_};
        return false;
    }
    if (kind_ == PortKind::Usb)
        clock_.pauseMs(kUsbWritePauseMs);
    port_->setStallTimeoutMs(stallTimeoutMs);
    const int length = static_cast<int>(data.size());
    const platform::IoResult r = port_->write(data.data(), length);
    if (r.complete() && r.bytes == length)
        return true;
    lastError_ = r.error.isSet() ? r.error : port_->lastError();
    if (!lastError_.isSet())
        lastError_ = platform::OsError{EIO, "write", devicePath_,
                                       "short write: " + std::to_string(r.bytes) + " of " + std::to_string(length)
                                           + " bytes"};
    return false;
}

bool PrinterPort::readPiece(std::uint8_t* buffer, int capacity, int waitMs, int& got)
{
    got = 0;
    if (platform::SerialPort* serial = port_->asSerial()) {
        // The interval ends a burst once the line is quiet; the constant
        // bounds the wait for its first byte.
        const platform::SerialTimeouts t{static_cast<std::uint32_t>(kSilenceMs), 0,
                                         static_cast<std::uint32_t>(waitMs), 0, 0};
        serial->setTimeouts(t);
    } else {
        port_->setReadTimeoutMs(waitMs);
    }
    const platform::IoResult r = port_->read(buffer, capacity);
    if (r.end == platform::IoEnd::Timeout) {
        got = std::clamp(r.bytes, 0, capacity);
        return true;
    }
    if (r.end == platform::IoEnd::Complete) {
        got = std::clamp(r.bytes, 0, capacity);
        return true;
    }
    lastError_ = r.error.isSet() ? r.error : port_->lastError();
    if (!lastError_.isSet())
        lastError_ = platform::OsError{EIO, "read", devicePath_};
    return false;
}

Reply PrinterPort::readReply()
{
    Reply reply;
    if (!port_) {
        lastError_ = platform::OsError{EBADF, "read", devicePath_};
        reply.end = ReplyEnd::Failed;
        return reply;
    }
    const std::uint64_t start = clock_.tickMs();
    const std::uint64_t firstBound = static_cast<std::uint64_t>(std::max(firstByteTimeoutMs, 0));
    std::uint8_t piece[kReadPiece];
    while (reply.bytes.size() < kMaxReplyBytes) {
        int waitMs = kSilenceMs;
        if (reply.bytes.empty()) {
            const std::uint64_t elapsed = clock_.tickMs() - start;
            if (elapsed >= firstBound) {
                reply.end = ReplyEnd::NoReply;
                return reply;
            }
            waitMs = static_cast<int>(firstBound - elapsed);
        }
        const int room = static_cast<int>(std::min<std::size_t>(kReadPiece, kMaxReplyBytes - reply.bytes.size()));
        int got = 0;
        if (!readPiece(piece, room, waitMs, got)) {
            reply.end = ReplyEnd::Failed;
            return reply;
        }
        if (got == 0) {
            if (!reply.bytes.empty()) {
                reply.end = ReplyEnd::Silence;
                return reply;
            }
            continue; // the bound is checked again above
        }
        const std::size_t before = reply.bytes.size();
        reply.bytes.insert(reply.bytes.end(), piece, piece + got);
        if (hasFrameEnd(reply.bytes, before)) {
            reply.end = ReplyEnd::FrameEnd;
            return reply;
        }
    }
    reply.end = ReplyEnd::Cap;
    return reply;
}

} // namespace pavix
