#include "corvane/link/CDev.h"

#include <cerrno>

namespace corvane {
namespace {

constexpr int kOpenAttempts = 3;
constexpr std::uint32_t kOpenRetryPauseMs = 400;
constexpr std::uint32_t kCloseSettleMs = 200;
constexpr std::uint32_t kTracePauseMs = 10;

// While probing, a byte may take long; afterwards replies come byte after
// byte, so a 10 ms gap ends a reply.
constexpr platform::SerialTimeouts kProbeTimeouts{2000, 1000, 10, 1000, 1000};
constexpr platform::SerialTimeouts kWorkingTimeouts{10, 10, 1000, 1000, 1000};

bool startsWithNet(const std::string& name)
{
    return name.rfind("NET", 0) == 0;
}

// "NET192.168.0.20" -> "192.168.0.20": every leading N, E or T goes.
std::string tcpAddressOf(const std::string& name)
{
    const auto first = name.find_first_not_of("NET");
    return first == std::string::npos ? std::string() : name.substr(first);
}

} // namespace

CDev::CDev(platform::Clock& clock, platform::Devices& devices)
    : clock_(clock), devices_(devices)
{
}

CDev::~CDev()
{
    if (open_)
        Close();
}

PortKind CDev::KindFor(const std::string& portName) const
{
    if (startsWithNet(portName))
        return PortKind::Tcp;
    if (platform::isUsbPrinterPath(portName, devices_.roots()))
        return PortKind::Usb;
    return PortKind::Serial;
}

platform::DeviceKind CDev::LastDeviceKind() const
{
    switch (kind_) {
    case PortKind::Tcp:
        return platform::DeviceKind::Tcp;
    case PortKind::Usb:
        return platform::DeviceKind::Usb;
    case PortKind::Serial:
        break;
    }
    return platform::DeviceKind::Serial;
}

int CDev::Open()
{
    // Opening over an open port would leak the old device and, the serial
    // open being exclusive, fail against ourselves: let go of it first.
    if (open_)
        Close();
    lastError_ = {};
    kind_ = KindFor(settings.portName);
    switch (kind_) {
    case PortKind::Tcp:
        return openTcp();
    case PortKind::Usb:
        return openUsb();
    case PortKind::Serial:
        break;
    }
    return openSerial();
}

int CDev::openSerial()
{
    serial_ = devices_.makeSerial();
    bool opened = false;
    for (int attempt = 0; attempt < kOpenAttempts && !opened; ++attempt) {
        if (attempt > 0)
            clock_.pauseMs(kOpenRetryPauseMs);
        opened = serial_->open(settings.portName);
    }
    if (!opened) {
        lastError_ = serial_->lastError();
        serial_.reset();
        return 0;
    }

    auto fail = [this]() {
        if (!lastError_.isSet())
            lastError_ = serial_->lastError();
        serial_->close();
        serial_.reset();
        return 0;
    };

    const platform::SerialLine line{settings.baudRate, settings.dataBits, settings.parity,
                                    settings.stopBits, settings.flowControl};
    if (!serial_->configure(line) || !serial_->setTimeouts(kProbeTimeouts))
        return fail();
    serial_->purge();

    // A switched-off printer may still take the probe byte, but it does not
    // hold DSR on; the first modem status reading after the probe is stale.
    const std::uint8_t probe = 0x00;
    if (serial_->write(&probe, 1) != 1)
        return fail();
    platform::ModemStatus status;
    serial_->modemStatus(status);
    if (!serial_->modemStatus(status))
        return fail();
    if (!status.dsr) {
        lastError_ = platform::OsError{EIO, "printer not ready (DSR off) on", settings.portName};
        return fail();
    }
    if (!serial_->setTimeouts(kWorkingTimeouts))
        return fail();
    open_ = true;
    return 1;
}

int CDev::openUsb()
{
    usb_ = devices_.makeUsb();
    if (!usb_->open(settings.portName)) {
        lastError_ = usb_->lastError();
        usb_.reset();
        return 0;
    }
    open_ = true;
    return 1;
}

int CDev::openTcp()
{
    tcp_ = devices_.makeTcp();
    const auto port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(settings.baudRate) & 0xFFFFu);
    if (!tcp_->connect(tcpAddressOf(settings.portName), port, kConnectTimeoutMs)) {
        lastError_ = tcp_->lastError();
        tcp_.reset();
        return 0;
    }
    open_ = true;
    return 1;
}

void CDev::Close()
{
    open_ = false;
    if (tcp_) {
        tcp_->close();
        tcp_.reset();
    }
    if (serial_) {
        serial_->purge();
        clock_.pauseMs(kCloseSettleMs);
        serial_->close();
        serial_.reset();
    }
    if (usb_) {
        usb_->close();
        usb_.reset();
    }
}

void CDev::trace()
{
    // Tracing writes nothing; only its pause remains, and the printers'
    // timing has always included it.
    clock_.pauseMs(kTracePauseMs);
}

int CDev::Write(const std::uint8_t* data, int length)
{
    trace();
    int sent = 0;
    if (tcp_) {
        sent = tcp_->send(data, length);
        if (sent < 0)
            lastError_ = tcp_->lastError();
    } else if (serial_) {
        sent = serial_->write(data, length);
        if (sent != length)
            lastError_ = serial_->lastError();
    } else if (usb_) {
        sent = usb_->write(data, length);
        if (sent != length)
            lastError_ = usb_->lastError();
    }
    return sent;
}

int CDev::Read(std::uint8_t* buffer, int capacity, int /*waitHintMs*/)
{
    int received = 0;
    if (capacity > 0) {
        if (tcp_)
            received = tcp_->receive(buffer, capacity, kReadBoundMs);
        else if (serial_)
            received = serial_->read(buffer, capacity);
        else if (usb_)
            received = usb_->read(buffer, capacity, kReadBoundMs);
    }
    trace();
    return received;
}

} // namespace corvane
