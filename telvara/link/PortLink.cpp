#include "telvara/link/PortLink.h"

#include "platform/parallel_port.h"
#include "platform/serial_port.h"

#include <arpa/inet.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

namespace telvara {
namespace {

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && text.substr(0, prefix.size()) == prefix;
}

bool allDigits(std::string_view text)
{
    return !text.empty() && text.size() <= 4
           && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    if (text.size() < prefix.size())
        return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(text[i])) != prefix[i])
            return false;
    }
    return true;
}

// "COM3", "\\.\COM12", "com1:": a classic serial name with its number.
bool isComName(std::string_view name)
{
    if (startsWith(name, "\\\\.\\"))
        name.remove_prefix(4);
    if (!name.empty() && name.back() == ':')
        name.remove_suffix(1);
    return startsWithNoCase(name, "COM") && allDigits(name.substr(3)) && name.substr(3) != "0"
           && name.substr(3).find_first_not_of('0') != std::string_view::npos;
}

bool isLptName(std::string_view name)
{
    if (!name.empty() && name.back() == ':')
        name.remove_suffix(1);
    return startsWithNoCase(name, "LPT") && allDigits(name.substr(3))
           && name.substr(3).find_first_not_of('0') != std::string_view::npos;
}

// "/dev/lp0", or lpN directly under the device root.
bool isLpPath(std::string_view name, const platform::DeviceRoots& roots)
{
    std::string dev = roots.devRoot;
    while (dev.size() > 1 && dev.back() == '/')
        dev.pop_back();
    for (const std::string& dir : {std::string("/dev"), dev}) {
        const std::string prefix = dir + "/lp";
        if (startsWith(name, prefix) && allDigits(name.substr(prefix.size())))
            return true;
    }
    return false;
}

bool isIpv4(const std::string& text)
{
    in_addr address{};
    return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

// The POS printer's flow index onto the platform's modes.
int lineFlow(int flowIndex)
{
    switch (flowIndex) {
    case 0: return platform::kFlowHardware;
    case 1: return platform::kFlowXonXoff;
    case 2: return platform::kFlowOpen;
    default: return -1;
    }
}

bool nodeGoneCode(int code)
{
    return code == ENODEV || code == EIO || code == ENOENT || code == ENXIO;
}

} // namespace

std::string_view LinkKindName(LinkKind kind)
{
    switch (kind) {
    case LinkKind::Serial: return "serial";
    case LinkKind::Parallel: return "parallel";
    case LinkKind::Usb: return "usb";
    case LinkKind::Ethernet: return "ethernet";
    }
    return "serial";
}

KindChoice ChooseKind(const LinkConfig& config, const platform::DeviceRoots& roots)
{
    KindChoice c;
    const std::string& name = config.portName;
    if (name.empty())
        return c;
    if (isComName(name)) {
        c = {true, LinkKind::Serial, platform::serialDevicePath(name)};
        return c;
    }
    if (isLptName(name)) {
        c = {true, LinkKind::Parallel, platform::parallelDevicePath(name, roots)};
        return c;
    }
    if (isLpPath(name, roots)) {
        c = {true, LinkKind::Parallel, name};
        return c;
    }
    if (startsWith(name, "M880:") || startsWith(name, "M882:")) {
        if (name.size() > 5)
            c = {true, LinkKind::Usb, name.substr(5)};
        return c;
    }
    if (name.front() == '/') {
        c = {true, LinkKind::Serial, name};
        return c;
    }
    if (isIpv4(name) && config.tcpPort >= 1 && config.tcpPort <= 65535)
        c = {true, LinkKind::Ethernet, name};
    return c;
}

PortLink::PortLink(platform::Clock& clock, platform::Devices& devices) : clock_(clock), devices_(devices) {}

PortLink::~PortLink()
{
    Close();
}

int PortLink::Configure(const LinkConfig& config)
{
    Close();
    openFailure_ = OpenFailure::None;
    config_ = config;
    choice_ = ChooseKind(config, devices_.roots());
    configured_ = choice_.accepted;
    return configured_ ? 1 : 0;
}

bool PortLink::isOpen() const
{
    return open_;
}

platform::DeviceKind PortLink::deviceKind() const
{
    switch (choice_.kind) {
    case LinkKind::Serial: return platform::DeviceKind::Serial;
    case LinkKind::Parallel: return platform::DeviceKind::Parallel;
    case LinkKind::Usb: return platform::DeviceKind::Usb;
    case LinkKind::Ethernet: return platform::DeviceKind::Tcp;
    }
    return platform::DeviceKind::Serial;
}

int PortLink::Open(int)
{
    if (!configured_) {
        openFailure_ = OpenFailure::NotConfigured;
        return 0;
    }
    if (port_ || open_)
        return open_ ? 1 : 0;
    lastError_ = {};
    switch (choice_.kind) {
    case LinkKind::Serial: openFailure_ = openSerial(); break;
    case LinkKind::Parallel: openFailure_ = openParallel(); break;
    case LinkKind::Usb: openFailure_ = openUsb(); break;
    case LinkKind::Ethernet: openFailure_ = openEthernet(); break;
    }
    if (openFailure_ != OpenFailure::None) {
        if (port_) {
            if (!lastError_.isSet())
                lastError_ = port_->lastError();
            port_->close();
        }
        port_.reset();
        return 0;
    }
    open_ = true;
    return 1;
}

OpenFailure PortLink::openSerial()
{
    port_ = devices_.makePort(platform::DeviceKind::Serial);
    platform::SerialPort* serial = port_ ? port_->asSerial() : nullptr;
    if (serial == nullptr)
        return OpenFailure::OpenFailed;
    const bool opened = serial->open({choice_.device});
    clock_.pauseMs(kSerialOpenPauseMs);
    if (!opened) {
        lastError_ = serial->lastError();
        return OpenFailure::OpenFailed;
    }
    platform::SerialLine line;
    line.baudRate = config_.baudRate;
    line.dataBits = config_.dataBits;
    line.parity = config_.parity;
    line.stopBits = config_.stopBits;
    line.flowControl = lineFlow(config_.flowControl);
    line.checkEveryParity = true;
    if (!serial->configure(line))
        return OpenFailure::OpenFailed;
    platform::ModemStatus modem;
    if (!serial->modemStatus(modem))
        return OpenFailure::OpenFailed;
    if (!modem.dsr) {
        lastError_ = platform::OsError{EIO, "open", choice_.device, "DSR is off: the printer is off or not cabled"};
        return OpenFailure::DsrOff;
    }
    serial->setTimeouts({10, 10, 100, 5, 3000});
    if (!serial->purge())
        return OpenFailure::OpenFailed;
    inputBuffer_.assign(static_cast<std::size_t>(std::clamp(config_.inputBufferSize, 1, 1 << 20)), 0);
    return OpenFailure::None;
}

OpenFailure PortLink::openParallel()
{
    port_ = devices_.makePort(platform::DeviceKind::Parallel);
    auto* parallel = dynamic_cast<platform::ParallelPort*>(port_.get());
    if (parallel == nullptr)
        return OpenFailure::OpenFailed;
    if (!parallel->open({choice_.device}))
        return OpenFailure::OpenFailed;
    std::uint8_t status = 0;
    if (!parallel->statusByte(status))
        return OpenFailure::OpenFailed;
    if (status != platform::kParallelReady) {
        lastError_ = platform::OsError{EIO, "status", choice_.device,
                                       "the printer is not selected and ready (offline, busy, out of paper or in error)"};
        return OpenFailure::NotReady;
    }
    const LinkTimeouts& t = config_.timeouts;
    parallel->setReadTimeoutMs(std::max(0, t.readTotalPerByteMs + t.readTotalConstantMs));
    return OpenFailure::None;
}

OpenFailure PortLink::openUsb()
{
    port_ = devices_.makePort(platform::DeviceKind::Usb);
    if (!port_ || !port_->open({choice_.device}))
        return OpenFailure::OpenFailed;
    port_->setReadTimeoutMs(kStreamReadBoundMs);
    inputBuffer_.assign(static_cast<std::size_t>(std::clamp(config_.inputBufferSize, 1, 1 << 20)), 0);
    usbState_ = UsbState::Connected;
    return OpenFailure::None;
}

OpenFailure PortLink::openEthernet()
{
    port_ = devices_.makePort(platform::DeviceKind::Tcp);
    if (!port_)
        return OpenFailure::SocketNotCreated;
    platform::Endpoint where{choice_.device, static_cast<std::uint16_t>(config_.tcpPort), kConnectBoundMs};
    if (!port_->open(where)) {
        lastError_ = port_->lastError();
        return lastError_.operation == "socket" ? OpenFailure::SocketNotCreated : OpenFailure::NotConnected;
    }
    port_->setReadTimeoutMs(kStreamReadBoundMs);
    return OpenFailure::None;
}

void PortLink::noteUsbFailure(const platform::IoResult& result)
{
    if (choice_.kind != LinkKind::Usb || result.complete() || result.end == platform::IoEnd::Timeout)
        return;
    struct stat st {};
    const bool gone = nodeGoneCode(result.error.code) || ::stat(choice_.device.c_str(), &st) != 0;
    if (!gone)
        return;
    port_->close();
    port_.reset();
    usbState_ = UsbState::Removed;
}

bool PortLink::reopenUsb()
{
    if (usbState_ != UsbState::Removed)
        return port_ != nullptr;
    auto port = devices_.makePort(platform::DeviceKind::Usb);
    if (!port || !port->open({choice_.device})) {
        if (port)
            lastError_ = port->lastError();
        return false;
    }
    port->setReadTimeoutMs(kStreamReadBoundMs);
    port_ = std::move(port);
    usbState_ = UsbState::Connected;
    return true;
}

int PortLink::Write(const std::uint8_t* data, int length)
{
    if (!open_ || data == nullptr || length <= 0)
        return 0;
    if (choice_.kind == LinkKind::Usb && !reopenUsb())
        return 0;
    if (!port_)
        return 0;
    if (choice_.kind == LinkKind::Ethernet)
        return writeEthernet(data, length);
    platform::IoResult r;
    if (choice_.kind == LinkKind::Serial)
        r = port_->asSerial()->writeWithinTimeouts(data, length);
    else
        r = port_->write(data, length);
    if (!r.complete()) {
        lastError_ = r.error;
        noteUsbFailure(r);
    }
    return r.bytes;
}

int PortLink::writeEthernet(const std::uint8_t* data, int length)
{
    int sent = 0;
    while (sent < length) {
        const int piece = std::min(kEthernetPiece, length - sent);
        const platform::IoResult r = port_->write(data + sent, piece);
        sent += std::clamp(r.bytes, 0, piece);
        if (!r.complete() || r.bytes != piece) {
            lastError_ = r.error;
            break;
        }
        if (piece == kEthernetPiece)
            clock_.pauseMs(kEthernetPiecePauseMs);
    }
    return sent;
}

int PortLink::Read(std::uint8_t* buffer, int capacity, int)
{
    if (!open_ || buffer == nullptr || capacity <= 0)
        return 0;
    if (choice_.kind == LinkKind::Usb && !reopenUsb())
        return 0;
    if (!port_)
        return 0;
    if (choice_.kind == LinkKind::Parallel) {
        const LinkTimeouts& t = config_.timeouts;
        port_->setReadTimeoutMs(std::max(0, t.readTotalPerByteMs * capacity + t.readTotalConstantMs));
    }
    const platform::IoResult r = port_->read(buffer, capacity);
    if (!r.complete()) {
        if (r.end != platform::IoEnd::Timeout)
            lastError_ = r.error;
        noteUsbFailure(r);
        return std::max(r.bytes, 0);
    }
    return std::clamp(r.bytes, 0, capacity);
}

void PortLink::Close()
{
    if (port_)
        port_->close();
    port_.reset();
    open_ = false;
    // The kind object goes with the port: the next Open needs a Configure.
    configured_ = false;
    inputBuffer_.clear();
    usbState_ = UsbState::Connected;
}

} // namespace telvara
