// Serial port over a POSIX tty: exclusive open, raw byte-exact line
// settings, and the interval/total time-out model emulated with poll() on a
// non-blocking descriptor.
#include "platform/serial_port.h"

#include "platform/exclusive_device.h"
#include "platform/fd_port.h"
#include "platform/stall_write.h"
#include "platform/wait_hook.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

using SteadyTime = std::chrono::steady_clock;

// Device majors of Unix98 pseudo-terminal slaves.
constexpr unsigned kPtySlaveMajorFirst = 136;
constexpr unsigned kPtySlaveMajorLast = 143;

// A read with no total bound and a nonzero interval waits for its first byte
// at most this long, so no call can hang on a silent line.
constexpr std::uint64_t kUnboundedReadCeilingMs = 30000;
// A bounded write without a total time-out gives up after this long (or
// 10 ms per byte, if longer: slow lines with flow control held off).
constexpr std::uint64_t kUnboundedWriteCeilingMs = 30000;
constexpr std::uint64_t kUnboundedWritePerByteMs = 10;
// How often a bounded write looks at the output queue while it drains.
constexpr int kDrainCheckMs = 2;

// Milliseconds left until the deadline, rounded up, for poll().
bool speedFor(int baud, speed_t& speed)
{
    struct Rate {
        int baud;
        speed_t code;
    };
    static constexpr Rate kRates[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const Rate& rate : kRates) {
        if (rate.baud == baud) {
            speed = rate.code;
            return true;
        }
    }
    return false;
}

// A tty without modem control lines (a pseudo-terminal, some USB adapters)
// rejects the modem ioctls with one of these.
bool noModemLines(int err)
{
    return err == ENOTTY || err == EINVAL;
}

int outputQueued(int fd)
{
    int queued = 0;
    return ::ioctl(fd, TIOCOUTQ, &queued) == 0 ? queued : -1;
}

ssize_t writeCall(int fd, const void* data, std::size_t length)
{
    return ::write(fd, data, length);
}

class TtySerial final : public detail::FdPort<SerialPort> {
public:
    TtySerial() : FdPort(EBADF) {}
    ~TtySerial() override { close(); }

    bool open(const Endpoint& where) override
    {
        close();
        target_ = serialDevicePath(where.address);
        // The advisory lock first: it also refuses a second opener running as
        // root, which TIOCEXCL lets through. Taking it before TIOCEXCL means a
        // refused opener never touches the holder's exclusive flag.
        const int fd = detail::openExclusive(target_, error_);
        if (fd < 0)
            return false;
        if (::ioctl(fd, TIOCEXCL) != 0) {
            error_ = lastOsError("open", target_);
            detail::closeExclusive(fd);
            return false;
        }
        fd_ = fd;
        struct stat st {};
        pseudoTerminal_ = ::fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= kPtySlaveMajorFirst
                          && major(st.st_rdev) <= kPtySlaveMajorLast;
        error_ = {};
        return true;
    }

    bool configure(const SerialLine& line) override
    {
        if (!requireOpen("configure"))
            return false;
        if (const std::string problem = serialLineProblem(line); !problem.empty()) {
            error_ = OsError{EINVAL, "configure", target_, problem};
            return false;
        }
        termios tio{};
        if (::tcgetattr(fd_, &tio) != 0)
            return failedWithErrno("configure");
        if (const int code = applySerialLine(line, tio); code != 0)
            return failedWith(code, "configure");
        if (::tcsetattr(fd_, TCSANOW, &tio) != 0)
            return failedWithErrno("configure");

        // DTR/DSR handshake: DTR held on for the printer, RTS off. RTS/CTS
        // handshake: RTS on (the driver then throttles it), DTR off. Without
        // flow control both are dropped. The POS modes hold both on.
        int raise = 0;
        int drop = TIOCM_DTR | TIOCM_RTS;
        if (line.flowControl == kFlowDtrDsr) {
            raise = TIOCM_DTR;
            drop = TIOCM_RTS;
        } else if (line.flowControl == kFlowRtsCtsNoDtr) {
            raise = TIOCM_RTS;
            drop = TIOCM_DTR;
        } else if (line.flowControl >= kFlowHardware) {
            raise = TIOCM_DTR | TIOCM_RTS;
            drop = 0;
        }
        if (raise != 0 && ::ioctl(fd_, TIOCMBIS, &raise) != 0 && !noModemLines(errno))
            return failedWithErrno("configure");
        if (drop != 0 && ::ioctl(fd_, TIOCMBIC, &drop) != 0 && !noModemLines(errno))
            return failedWithErrno("configure");
        return true;
    }

    bool setTimeouts(const SerialTimeouts& timeouts) override
    {
        timeouts_ = timeouts;
        return true;
    }

    bool purge() override
    {
        if (!requireOpen("purge"))
            return false;
        // A pseudo-terminal has no transmit buffer: what we wrote is already
        // in the peer's input, and flushing our output side would discard it
        // there. Only stale input goes.
        if (::tcflush(fd_, pseudoTerminal_ ? TCIFLUSH : TCIOFLUSH) != 0)
            return failedWithErrno("purge");
        return true;
    }

    // A write counts as done when its bytes have left the port, not when the
    // driver has queued them: a purge or close right after would otherwise
    // throw away the tail of a transfer. A printer holding flow control off
    // shows as a queue that stops shrinking, which the stall rule ends.
    IoResult write(const std::uint8_t* data, int length) override
    {
        if (!requireOpen("write"))
            return failed();
        return writeUnderStall(data, length, writeCall, outputQueued);
    }

    IoResult writeWithinTimeouts(const std::uint8_t* data, int length) override
    {
        if (!requireOpen("write"))
            return failed();
        if (length <= 0 || data == nullptr)
            return {};
        const auto n = static_cast<std::uint64_t>(length);
        std::uint64_t totalMs = std::uint64_t{timeouts_.writeTotalMultiplierMs} * n
                                + timeouts_.writeTotalConstantMs;
        if (totalMs == 0)
            totalMs = std::max(kUnboundedWriteCeilingMs, kUnboundedWritePerByteMs * n);
        const auto deadline = SteadyTime::now() + std::chrono::milliseconds(totalMs);

        int written = 0;
        while (written < length) {
            const ssize_t r = ::write(fd_, data + written, static_cast<std::size_t>(length - written));
            if (r > 0) {
                written += static_cast<int>(r);
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                error_ = lastOsError("write", target_);
                return ended(written);
            }
            if (!waitFor(POLLOUT, deadline, "write", true))
                return ended(written);
        }
        // The queue drains within the same deadline.
        for (;;) {
            const int queued = outputQueued(fd_);
            if (queued <= 0)
                return IoResult{written, IoEnd::Complete, {}};
            if (SteadyTime::now() >= deadline) {
                error_ = OsError{ETIMEDOUT, "write", target_};
                return ended(written - queued);
            }
            pollfd none{fd_, 0, 0};
            if (pollSliced(&none, 1, std::min(kDrainCheckMs, msUntil(deadline))) < 0) {
                error_ = lastOsError("write", target_);
                return ended(written - outputQueued(fd_));
            }
        }
    }

    IoResult read(std::uint8_t* buffer, int capacity) override
    {
        if (!requireOpen("read"))
            return failed();
        if (capacity <= 0 || buffer == nullptr)
            return {};
        const auto cap = static_cast<std::uint64_t>(capacity);
        const std::uint64_t totalMs = std::uint64_t{timeouts_.readTotalMultiplierMs} * cap
                                      + timeouts_.readTotalConstantMs;
        const std::uint32_t intervalMs = timeouts_.readIntervalMs;
        // No total bound and no interval: hand back what is already there.
        const bool immediate = totalMs == 0 && intervalMs == 0;

        const auto start = SteadyTime::now();
        const auto totalDeadline
            = start + std::chrono::milliseconds(totalMs != 0 ? totalMs : kUnboundedReadCeilingMs);
        auto lastByte = start;
        int got = 0;
        bool pollSaidReadable = false;
        while (got < capacity) {
            const ssize_t r = ::read(fd_, buffer + got, static_cast<std::size_t>(capacity - got));
            if (r > 0) {
                got += static_cast<int>(r);
                lastByte = SteadyTime::now();
                pollSaidReadable = false;
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                error_ = lastOsError("read", target_);
                return ended(got);
            }
            // Nothing there. A tty left with VMIN 0 says so with 0 instead of
            // EAGAIN; 0 right after poll() reported data means a hang-up.
            if (r == 0 && pollSaidReadable) {
                error_ = OsError{EIO, "read", target_};
                return ended(got);
            }
            if (immediate)
                return got > 0 ? IoResult{got, IoEnd::Complete, {}}
                               : IoResult{0, IoEnd::Timeout, OsError{ETIMEDOUT, "read", target_}};
            auto deadline = totalDeadline;
            if (got > 0 && intervalMs != 0)
                deadline = std::min(deadline, lastByte + std::chrono::milliseconds(intervalMs));
            // A time-out after some bytes is the normal end of a reply.
            if (!waitFor(POLLIN, deadline, "read", got == 0))
                return got > 0 && error_.code == 0 ? IoResult{got, IoEnd::Complete, {}} : ended(got);
            pollSaidReadable = true;
        }
        return IoResult{got, IoEnd::Complete, {}};
    }

    bool modemStatus(ModemStatus& status) override
    {
        status = {};
        if (!requireOpen("modem status"))
            return false;
        int bits = 0;
        if (::ioctl(fd_, TIOCMGET, &bits) != 0) {
            if (noModemLines(errno)) {
                status.dsr = true;
                status.cts = true;
                return true;
            }
            return failedWithErrno("modem status");
        }
        status.dsr = (bits & TIOCM_DSR) != 0;
        status.cts = (bits & TIOCM_CTS) != 0;
        status.dcd = (bits & TIOCM_CD) != 0;
        status.ring = (bits & TIOCM_RI) != 0;
        return true;
    }

    void close() override
    {
        if (fd_ < 0)
            return;
        // Clear the exclusive flag: it belongs to the tty, not to this
        // descriptor, and would otherwise outlive us while others hold it open.
        ::ioctl(fd_, TIOCNXCL);
        detail::closeExclusive(fd_);
        fd_ = -1;
    }

private:
    // The result for a call that stopped early with error_ (or a plain
    // time-out when error_ is clear), after `bytes` moved.
    IoResult ended(int bytes)
    {
        if (error_.code == 0)
            error_ = OsError{ETIMEDOUT, "read", target_};
        const IoEnd end = error_.code == ETIMEDOUT ? IoEnd::Timeout : IoEnd::Error;
        return IoResult{std::max(bytes, 0), end, error_};
    }

    bool failedWithErrno(const char* operation)
    {
        error_ = lastOsError(operation, target_);
        return false;
    }

    bool failedWith(int code, const char* operation)
    {
        error_ = OsError{code, operation, target_};
        return false;
    }

    // Waits until the descriptor is ready for `events` or the deadline
    // passes. False on time-out (kept as ETIMEDOUT when `keepTimeout`),
    // hang-up, error or a stop request (always kept).
    bool waitFor(short events, SteadyTime::time_point deadline, const char* operation,
                 bool keepTimeout)
    {
        error_ = {};
        for (;;) {
            const int waitMs = msUntil(deadline);
            if (waitMs <= 0) {
                if (keepTimeout)
                    error_ = OsError{ETIMEDOUT, operation, target_};
                return false;
            }
            pollfd p{fd_, events, 0};
            const int rc = pollSliced(&p, 1, waitMs);
            if (rc < 0) {
                error_ = lastOsError(operation, target_);
                return false;
            }
            if (rc == 0)
                continue; // re-checks the deadline
            if ((p.revents & events) != 0)
                return true;
            // Hang-up or error without the wanted readiness: the device is gone.
            error_ = OsError{(p.revents & POLLNVAL) != 0 ? EBADF : EIO, operation, target_};
            return false;
        }
    }

    bool pseudoTerminal_ = false;
};

bool equalsIgnoreCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                  return std::tolower(static_cast<unsigned char>(x))
                         == std::tolower(static_cast<unsigned char>(y));
              });
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Orders digit runs by value, so ttyS2 comes before ttyS10.
bool naturalLess(const std::string& a, const std::string& b)
{
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && isDigit(a[ei]))
                ++ei;
            while (ej < b.size() && isDigit(b[ej]))
                ++ej;
            std::string_view da(a.data() + i, ei - i);
            std::string_view db(b.data() + j, ej - j);
            while (da.size() > 1 && da.front() == '0')
                da.remove_prefix(1);
            while (db.size() > 1 && db.front() == '0')
                db.remove_prefix(1);
            if (da.size() != db.size())
                return da.size() < db.size();
            if (da != db)
                return da < db;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if ((a.size() - i) != (b.size() - j))
        return (a.size() - i) < (b.size() - j);
    return a < b;
}

// The UART type of a built-in port; "0" means no UART answered at that
// address. Without the file the port is kept.
bool uartPresent(const std::filesystem::path& ttyDir)
{
    std::ifstream in(ttyDir / "type");
    if (!in)
        return true;
    char text[16] = {};
    in.read(text, sizeof text - 1);
    std::string_view value(text, static_cast<std::size_t>(in.gcount()));
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
        value.remove_suffix(1);
    return value != "0";
}

} // namespace

std::string serialDevicePath(const std::string& portName)
{
    std::string_view name = portName;
    static constexpr std::string_view kDevicePrefix = "\\\\.\\";
    if (name.substr(0, kDevicePrefix.size()) == kDevicePrefix)
        name.remove_prefix(kDevicePrefix.size());
    if (!name.empty() && name.back() == ':')
        name.remove_suffix(1);
    if (name.size() < 4 || !equalsIgnoreCase(name.substr(0, 3), "COM"))
        return portName;
    const std::string_view digits = name.substr(3);
    if (!std::all_of(digits.begin(), digits.end(), isDigit))
        return portName;
    int number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc{} || end != digits.data() + digits.size() || number < 1)
        return portName;
    return "/dev/ttyS" + std::to_string(number - 1);
}

int applySerialLine(const SerialLine& line, termios& tio)
{
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;

    speed_t speed = B0;
    if (!speedFor(line.baudRate, speed))
        return EINVAL;
    if (::cfsetispeed(&tio, speed) != 0 || ::cfsetospeed(&tio, speed) != 0)
        return EINVAL;

    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE);
    switch (line.dataBits) {
    case 5: tio.c_cflag |= CS5; break;
    case 6: tio.c_cflag |= CS6; break;
    case 7: tio.c_cflag |= CS7; break;
    case 8: tio.c_cflag |= CS8; break;
    default: return EINVAL;
    }

    // The mobile printers' rule: odd parity is the only one whose errors the
    // receiver checks. The POS modes check every parity but none.
    tio.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD | CMSPAR);
    tio.c_iflag &= ~static_cast<tcflag_t>(INPCK);
    switch (line.parity) {
    case kParityNone: break;
    case kParityOdd: tio.c_cflag |= PARENB | PARODD; break;
    case kParityEven: tio.c_cflag |= PARENB; break;
    // With CMSPAR the parity bit is fixed: PARODD set means mark (1).
    case kParityMark: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
    case kParitySpace: tio.c_cflag |= PARENB | CMSPAR; break;
    default: return EINVAL;
    }
    if (line.parity == kParityOdd || (line.checkEveryParity && line.parity != kParityNone))
        tio.c_iflag |= INPCK;

    switch (line.stopBits) {
    case kStopOne: tio.c_cflag &= ~static_cast<tcflag_t>(CSTOPB); break;
    case kStopTwo: tio.c_cflag |= CSTOPB; break;
    default: return EINVAL; // one and a half included: see serialLineProblem()
    }

    // Software flow control would swallow 0x11/0x13 in binary data, so only
    // the mode that asks for it gets it.
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    tio.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    switch (line.flowControl) {
    case kFlowNone:
    case kFlowOpen: break;
    case kFlowDtrDsr:
    case kFlowRtsCtsNoDtr:
    case kFlowHardware: tio.c_cflag |= CRTSCTS; break;
    case kFlowXonXoff:
        tio.c_iflag |= IXON | IXOFF;
        tio.c_cc[VSTART] = 0x11;
        tio.c_cc[VSTOP] = 0x13;
        break;
    default: return EINVAL;
    }

    // Reads are driven by poll(), never by the line discipline's timer;
    // VMIN 1 makes an empty non-blocking read fail with EAGAIN, so a read of
    // 0 can only mean a hang-up.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    return 0;
}

std::string serialLineProblem(const SerialLine& line)
{
    if (line.stopBits == kStopOneAndHalf)
        return "one and a half stop bits cannot be set on this system's serial ports; use 1 or 2";
    speed_t speed = B0;
    if (!speedFor(line.baudRate, speed))
        return "the serial port cannot run at " + std::to_string(line.baudRate) + " baud";
    if (line.dataBits < 5 || line.dataBits > 8)
        return "the serial port cannot take " + std::to_string(line.dataBits) + " data bits";
    if (line.parity < kParityNone || line.parity > kParitySpace)
        return "unknown parity code " + std::to_string(line.parity);
    if (line.stopBits != kStopOne && line.stopBits != kStopTwo)
        return "unknown stop bit code " + std::to_string(line.stopBits);
    if (line.flowControl < kFlowNone || line.flowControl > kFlowOpen)
        return "unknown flow control code " + std::to_string(line.flowControl);
    return {};
}

void SerialPort::setReadTimeoutMs(int ms)
{
    SerialTimeouts timeouts = timeouts_;
    timeouts.readIntervalMs = 0;
    timeouts.readTotalMultiplierMs = 0;
    timeouts.readTotalConstantMs = static_cast<std::uint32_t>(std::max(ms, 0));
    setTimeouts(timeouts);
}

std::unique_ptr<SerialPort> makeTtySerial()
{
    return std::make_unique<TtySerial>();
}

std::vector<std::string> listSerialPorts(const DeviceRoots& roots)
{
    namespace fs = std::filesystem;
    std::vector<std::string> ports;
    std::error_code ec;
    const fs::path devRoot(roots.devRoot);

    const fs::path ttyClass = fs::path(roots.sysRoot) / "class" / "tty";
    for (fs::directory_iterator it(ttyClass, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code probe;
        // Virtual consoles and pseudo-terminals have no device behind them.
        if (!fs::exists(it->path() / "device", probe))
            continue;
        if (name.rfind("ttyS", 0) == 0 && !uartPresent(it->path()))
            continue;
        const fs::path node = devRoot / name;
        if (fs::exists(node, probe))
            ports.push_back(node.string());
    }

    ec.clear();
    for (fs::directory_iterator it(devRoot, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.rfind("rfcomm", 0) == 0)
            ports.push_back(it->path().string());
    }

    std::sort(ports.begin(), ports.end(), naturalLess);
    ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    return ports;
}

} // namespace platform
