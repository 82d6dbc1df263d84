// Parallel port over the kernel's lp character device: exclusive open, the
// driver's status request, writes bounded per byte, reads bounded by poll().
#include "platform/parallel_port.h"

#include "platform/exclusive_device.h"
#include "platform/fd_port.h"
#include "platform/wait_hook.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstddef>
#include <string_view>

#include <linux/lp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

using SteadyTime = std::chrono::steady_clock;

// The status byte for a printer that is not ready: the ready bit clear, the
// lp bits kept below it so a technician's log can tell the states apart.
std::uint8_t notReadyByte(int lpStatus)
{
    return static_cast<std::uint8_t>(lpStatus & 0x78);
}

class LpParallel final : public detail::FdPort<ParallelPort> {
public:
    LpParallel() : FdPort(EBADF) {}
    ~LpParallel() override { close(); }

    bool open(const Endpoint& where) override
    {
        close();
        target_ = parallelDevicePath(where.address, DeviceRoots::fromEnvironment());
        const int fd = detail::openExclusive(target_, error_);
        if (fd < 0)
            return false;
        standIn_ = ::isatty(fd) == 1;
        if (standIn_) {
            // A pseudo-terminal standing in must pass bytes unchanged.
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

    bool statusByte(std::uint8_t& status) override
    {
        status = 0;
        if (!requireOpen("status"))
            return false;
        if (standIn_) {
            status = kParallelReady;
            return true;
        }
        int lpStatus = 0;
        if (::ioctl(fd_, LPGETSTATUS, &lpStatus) != 0) {
            error_ = lastOsError("status", target_);
            return false;
        }
        status = parallelStatusFromLp(lpStatus);
        return true;
    }

    IoResult write(const std::uint8_t* data, int length) override
    {
        if (!requireOpen("write"))
            return failed();
        if (length <= 0 || data == nullptr)
            return {};
        const auto boundMs = std::int64_t{kParallelWritePerByteMs} * length + kParallelWriteConstantMs;
        const auto deadline = SteadyTime::now() + std::chrono::milliseconds(boundMs);
        int written = 0;
        while (written < length) {
            const ssize_t r = ::write(fd_, data + written, static_cast<std::size_t>(length - written));
            if (r > 0) {
                written += static_cast<int>(r);
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return ended(written, errno, "write");
            const int waitMs = msUntil(deadline);
            if (waitMs <= 0)
                return ended(written, ETIMEDOUT, "write");
            pollfd p{fd_, POLLOUT, 0};
            const int rc = pollSliced(&p, 1, waitMs);
            if (rc < 0)
                return ended(written, errno, "write");
            if (rc > 0 && (p.revents & POLLOUT) == 0)
                return ended(written, EIO, "write");
        }
        return IoResult{written, IoEnd::Complete, {}};
    }

    IoResult read(std::uint8_t* buffer, int capacity) override
    {
        if (!requireOpen("read"))
            return failed();
        if (capacity <= 0 || buffer == nullptr)
            return {};
        const auto deadline = SteadyTime::now() + std::chrono::milliseconds(readTimeoutMs_);
        for (;;) {
            const ssize_t r = ::read(fd_, buffer, static_cast<std::size_t>(capacity));
            if (r > 0)
                return IoResult{static_cast<int>(r), IoEnd::Complete, {}};
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return fail("read", errno);
            const int waitMs = msUntil(deadline);
            if (waitMs <= 0)
                return fail("read", ETIMEDOUT);
            pollfd p{fd_, POLLIN, 0};
            const int rc = pollSliced(&p, 1, waitMs);
            if (rc < 0)
                return fail("read", errno);
            if (rc > 0 && (p.revents & POLLIN) == 0)
                return fail("read", EIO);
            if (r == 0 && rc > 0 && (p.revents & (POLLHUP | POLLERR)) != 0)
                return fail("read", EIO);
        }
    }

    void setReadTimeoutMs(int ms) override { readTimeoutMs_ = std::max(ms, 0); }

    void close() override
    {
        if (fd_ < 0)
            return;
        detail::closeExclusive(fd_);
        fd_ = -1;
    }

private:
    IoResult ended(int bytes, int code, const char* operation)
    {
        error_ = OsError{code, operation, target_};
        return IoResult{bytes, code == ETIMEDOUT ? IoEnd::Timeout : IoEnd::Error, error_};
    }

    bool standIn_ = false;
    int readTimeoutMs_ = kDefaultReadTimeoutMs;
};

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

std::string parallelDevicePath(const std::string& portName, const DeviceRoots& roots)
{
    std::string_view name = portName;
    if (!name.empty() && name.back() == ':')
        name.remove_suffix(1);
    if (name.size() < 4 || std::toupper(static_cast<unsigned char>(name[0])) != 'L'
        || std::toupper(static_cast<unsigned char>(name[1])) != 'P'
        || std::toupper(static_cast<unsigned char>(name[2])) != 'T')
        return portName;
    const std::string_view digits = name.substr(3);
    if (digits.size() > 3 || !std::all_of(digits.begin(), digits.end(), isDigit))
        return portName;
    int number = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (ec != std::errc{} || end != digits.data() + digits.size() || number < 1)
        return portName;
    std::string dev = roots.devRoot;
    while (dev.size() > 1 && dev.back() == '/')
        dev.pop_back();
    return dev + "/lp" + std::to_string(number - 1);
}

std::uint8_t parallelStatusFromLp(int lpStatus)
{
    // LP_PBUSY and LP_PERRORP are active low on the wire: set means not
    // busy and no error.
    const bool selected = (lpStatus & LP_PSELECD) != 0;
    const bool notBusy = (lpStatus & LP_PBUSY) != 0;
    const bool paperOut = (lpStatus & LP_POUTPA) != 0;
    const bool noError = (lpStatus & LP_PERRORP) != 0;
    if (selected && notBusy && !paperOut && noError)
        return kParallelReady;
    return notReadyByte(lpStatus);
}

std::unique_ptr<ParallelPort> makeParallelPort()
{
    return std::make_unique<LpParallel>();
}

} // namespace platform
