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

platform::DeviceKind deviceKindOf(PortKind kind)
{
    switch (kind) {
    case PortKind::Tcp:
        return platform::DeviceKind::Tcp;
    case PortKind::Usb:
        return platform::DeviceKind::Usb;
    case PortKind::Serial:
        break;
    }
    return platform::DeviceKind::Serial;
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
    return ParseConnectionName(portName, devices_.roots()).kind;
}

platform::DeviceKind CDev::LastDeviceKind() const
{
    return deviceKindOf(kind_);
}

int CDev::Open()
{
    // Opening over an open port would leak the old device and, the serial
    // open being exclusive, fail against ourselves: let go of it first.
    if (open_)
        Close();
    lastError_ = {};
    const ConnectionName name = ParseConnectionName(settings.portName, devices_.roots());
    kind_ = name.kind;
    port_ = devices_.makePort(deviceKindOf(kind_));
    if (!port_) {
        lastError_ = platform::OsError{ENODEV, "open", settings.portName};
        return 0;
    }
    port_->setStallTimeoutMs(stallTimeoutMs);
    if (platform::SerialPort* serial = port_->asSerial())
        return openSerial(*serial);
    platform::Endpoint where{name.address};
    if (kind_ == PortKind::Tcp) {
        where.port = static_cast<std::uint16_t>(static_cast<std::uint32_t>(settings.baudRate) & 0xFFFFu);
        where.connectTimeoutMs = kConnectTimeoutMs;
    }
    return openStream(where);
}

void CDev::drop()
{
    if (!lastError_.isSet())
        lastError_ = port_->lastError();
    port_->close();
    port_.reset();
}

int CDev::openSerial(platform::SerialPort& serial)
{
    bool opened = false;
    for (int attempt = 0; attempt < kOpenAttempts && !opened; ++attempt) {
        if (attempt > 0)
            clock_.pauseMs(kOpenRetryPauseMs);
        opened = serial.open(platform::Endpoint{settings.portName});
    }
    if (!opened) {
        drop();
        return 0;
    }

    const platform::SerialLine line{settings.baudRate, settings.dataBits, settings.parity,
                                    settings.stopBits, settings.flowControl};
    if (!serial.configure(line) || !serial.setTimeouts(kProbeTimeouts)) {
        drop();
        return 0;
    }
    serial.purge();

    // A switched-off printer may still take the probe byte, but it does not
    // hold DSR on; the first modem status reading after the probe is stale.
    // The probe keeps the line's own write time-outs: a printer that cannot
    // take one byte in two seconds is not there.
    const std::uint8_t probe = 0x00;
    if (const platform::IoResult sent = serial.writeWithinTimeouts(&probe, 1); sent.bytes != 1) {
        lastError_ = sent.error;
        drop();
        return 0;
    }
    platform::ModemStatus status;
    serial.modemStatus(status);
    if (!serial.modemStatus(status)) {
        drop();
        return 0;
    }
    if (!status.dsr) {
        lastError_ = platform::OsError{EIO, "printer not ready (DSR off) on", settings.portName};
        drop();
        return 0;
    }
    if (!serial.setTimeouts(kWorkingTimeouts)) {
        drop();
        return 0;
    }
    open_ = true;
    return 1;
}

int CDev::openStream(const platform::Endpoint& where)
{
    if (!port_->open(where)) {
        lastError_ = port_->lastError();
        port_.reset();
        return 0;
    }
    port_->setReadTimeoutMs(kReadBoundMs);
    open_ = true;
    return 1;
}

void CDev::Close()
{
    open_ = false;
    if (!port_)
        return;
    if (platform::SerialPort* serial = port_->asSerial()) {
        serial->purge();
        clock_.pauseMs(kCloseSettleMs);
    }
    port_->close();
    port_.reset();
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
    if (!port_)
        return 0;
    port_->setStallTimeoutMs(stallTimeoutMs);
    const platform::IoResult result = port_->write(data, length);
    if (!result.complete())
        lastError_ = result.error.isSet() ? result.error : port_->lastError();
    // TCP/IP reports a failed send as -1; serial and USB report what went.
    if (kind_ == PortKind::Tcp && !result.complete())
        return -1;
    return result.bytes;
}

int CDev::Read(std::uint8_t* buffer, int capacity, int /*waitHintMs*/)
{
    int received = 0;
    if (capacity > 0 && port_) {
        const platform::IoResult result = port_->read(buffer, capacity);
        received = result.bytes;
        // TCP/IP tells a closed connection (0) from an error or silence (-1).
        if (kind_ == PortKind::Tcp && received == 0)
            received = result.end == platform::IoEnd::Closed ? 0 : -1;
    }
    trace();
    return received;
}

} // namespace corvane
