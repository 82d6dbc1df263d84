// Exclusive I/O on the kernel's USB printer character device.
#include "platform/usb_printer_port.h"

#include "platform/exclusive_device.h"
#include "platform/fd_port.h"
#include "platform/stall_write.h"
#include "platform/wait_hook.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstddef>

#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

using SteadyTime = std::chrono::steady_clock;

ssize_t writeCall(int fd, const void* data, std::size_t length)
{
    return ::write(fd, data, length); // ENODEV once unplugged
}

class UsbPrinterPort final : public detail::PlainFdPort {
public:
    UsbPrinterPort() : PlainFdPort(EBADF) {}
    ~UsbPrinterPort() override { close(); }

    DeviceKind kind() const override { return DeviceKind::Usb; }

    bool open(const Endpoint& where) override
    {
        close();
        target_ = where.address;
        const int fd = detail::openExclusive(target_, error_);
        if (fd < 0)
            return false;
        // A tty standing in for the printer must pass bytes unchanged.
        if (::isatty(fd) == 1) {
            termios tio{};
            bool raw = ::tcgetattr(fd, &tio) == 0;
            if (raw) {
                ::cfmakeraw(&tio);
                raw = ::tcsetattr(fd, TCSANOW, &tio) == 0;
            }
            if (!raw) {
                error_ = lastOsError("open", target_);
                detail::closeExclusive(fd);
                return false;
            }
        }
        fd_ = fd;
        error_ = {};
        return true;
    }

    IoResult write(const std::uint8_t* data, int length) override
    {
        if (!requireOpen("write"))
            return failed();
        return writeUnderStall(data, length, writeCall);
    }

    IoResult read(std::uint8_t* buffer, int capacity) override
    {
        if (!requireOpen("read"))
            return failed();
        if (capacity <= 0 || buffer == nullptr)
            return {};
        const auto deadline = SteadyTime::now() + std::chrono::milliseconds(readTimeoutMs_);
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            const int rc = pollSliced(&p, 1, msUntil(deadline));
            if (rc < 0)
                return fail("read", errno);
            if (rc > 0)
                break;
            if (msUntil(deadline) <= 0)
                return fail("read", ETIMEDOUT);
        }
        for (;;) {
            const ssize_t r = ::read(fd_, buffer, static_cast<std::size_t>(capacity));
            if (r > 0)
                return IoResult{static_cast<int>(r), IoEnd::Complete, {}};
            if (r < 0 && errno == EINTR)
                continue;
            if (r == 0 || errno == EAGAIN || errno == EWOULDBLOCK)
                return fail("read", ETIMEDOUT);
            return fail("read", errno);
        }
    }

    void close() override
    {
        if (fd_ < 0)
            return;
        detail::closeExclusive(fd_);
        fd_ = -1;
    }
};

} // namespace

std::unique_ptr<Port> makeUsbPrinterPort()
{
    return std::make_unique<UsbPrinterPort>();
}

} // namespace platform
