// USB printer-class devices: discovery through sysfs and exclusive I/O on the
// kernel's lp character device.
#include "platform/usb_printers.h"

#include "platform/exclusive_device.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <cstddef>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <termios.h>
#include <unistd.h>

namespace platform {
namespace {

namespace fs = std::filesystem;
using SteadyTime = std::chrono::steady_clock;

// A write may take this long per KiB plus a fixed allowance: a printer that
// is busy (paper out, warming up) holds data back, but one that takes longer
// than this has stopped.
constexpr std::uint64_t kWriteMsPerKiB = 1000;
constexpr std::uint64_t kWriteBaseMs = 5000;

// The USB device (with the ids) is the parent of the interface the lp node is
// bound to; allow for a few more levels of nesting, no more.
constexpr int kIdSearchLevels = 4;

int msUntil(SteadyTime::time_point deadline)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - SteadyTime::now());
    if (left.count() <= 0)
        return 0;
    return static_cast<int>(std::min<long long>(left.count(), INT_MAX));
}

std::string withoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// "lp12" -> 12; false for anything that is not lp followed by digits.
bool parseLpName(std::string_view name, int& number)
{
    if (name.size() < 3 || name.substr(0, 2) != "lp")
        return false;
    const std::string_view digits = name.substr(2);
    if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    return ec == std::errc{} && end == digits.data() + digits.size();
}

// A sysfs id file: four hex digits and a newline.
bool readHexId(const fs::path& file, std::uint16_t& id)
{
    std::ifstream in(file);
    if (!in)
        return false;
    char text[16] = {};
    in.read(text, sizeof text - 1);
    std::string_view value(text, static_cast<std::size_t>(in.gcount()));
    while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back())))
        value.remove_suffix(1);
    if (value.empty() || value.size() > 4)
        return false;
    unsigned parsed = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), parsed, 16);
    if (ec != std::errc{} || end != value.data() + value.size())
        return false;
    id = static_cast<std::uint16_t>(parsed);
    return true;
}

void findIds(const fs::path& classEntry, UsbPrinterInfo& info)
{
    std::error_code ec;
    fs::path dir = fs::canonical(classEntry / "device", ec);
    if (ec)
        return;
    for (int level = 0; level <= kIdSearchLevels && !dir.empty(); ++level) {
        std::uint16_t vendor = 0;
        std::uint16_t product = 0;
        if (readHexId(dir / "idVendor", vendor) && readHexId(dir / "idProduct", product)) {
            info.vendorId = vendor;
            info.productId = product;
            return;
        }
        if (dir == dir.root_path())
            return;
        dir = dir.parent_path();
    }
}

bool openable(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

class UsbPrinter final : public UsbPrinterIo {
public:
    ~UsbPrinter() override { close(); }

    bool open(const std::string& path) override
    {
        close();
        path_ = path;
        const int fd = detail::openExclusive(path_, error_);
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
                error_ = lastOsError("open", path_);
                detail::closeExclusive(fd);
                return false;
            }
        }
        fd_ = fd;
        error_ = {};
        return true;
    }

    int write(const std::uint8_t* data, int length) override
    {
        if (!requireOpen("write"))
            return 0;
        if (length <= 0 || data == nullptr)
            return 0;
        const auto kib = (static_cast<std::uint64_t>(length) + 1023) / 1024;
        const auto deadline
            = SteadyTime::now() + std::chrono::milliseconds(kWriteBaseMs + kWriteMsPerKiB * kib);
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
                error_ = lastOsError("write", path_); // ENODEV once unplugged
                return written;
            }
            const int rc = pollOnce(POLLOUT, msUntil(deadline));
            if (rc < 0)
                return written;
            if (rc == 0 && msUntil(deadline) <= 0) {
                error_ = OsError{ETIMEDOUT, "write", path_};
                return written;
            }
        }
        return written;
    }

    int read(std::uint8_t* buffer, int capacity, int timeoutMs) override
    {
        if (!requireOpen("read"))
            return 0;
        if (capacity <= 0 || buffer == nullptr)
            return 0;
        const auto deadline = SteadyTime::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
        for (;;) {
            const int rc = pollOnce(POLLIN, msUntil(deadline));
            if (rc < 0)
                return 0;
            if (rc > 0)
                break;
            if (msUntil(deadline) <= 0) {
                error_ = OsError{ETIMEDOUT, "read", path_};
                return 0;
            }
        }
        for (;;) {
            const ssize_t r = ::read(fd_, buffer, static_cast<std::size_t>(capacity));
            if (r > 0)
                return static_cast<int>(r);
            if (r < 0 && errno == EINTR)
                continue;
            if (r == 0 || errno == EAGAIN || errno == EWOULDBLOCK)
                error_ = OsError{ETIMEDOUT, "read", path_};
            else
                error_ = lastOsError("read", path_);
            return 0;
        }
    }

    void close() override
    {
        if (fd_ < 0)
            return;
        detail::closeExclusive(fd_);
        fd_ = -1;
    }

    bool isOpen() const override { return fd_ >= 0; }
    OsError lastError() const override { return error_; }

private:
    bool requireOpen(const char* operation)
    {
        if (fd_ >= 0)
            return true;
        error_ = OsError{EBADF, operation, path_};
        return false;
    }

    // One poll: 1 ready (or an error condition the next call will report),
    // 0 nothing yet (also after a signal), -1 poll itself failed.
    int pollOnce(short events, int waitMs)
    {
        pollfd p{fd_, events, 0};
        const int rc = ::poll(&p, 1, waitMs);
        if (rc < 0 && errno == EINTR)
            return 0;
        if (rc < 0) {
            error_ = lastOsError("poll", path_);
            return -1;
        }
        return rc > 0 ? 1 : 0;
    }

    int fd_ = -1;
    std::string path_;
    OsError error_{};
};

} // namespace

DeviceRoots DeviceRoots::fromEnvironment()
{
    DeviceRoots roots;
    const char* root = std::getenv("QUELLIX_DEVICE_ROOT");
    if (root != nullptr && *root != '\0') {
        const std::string base = withoutTrailingSlash(root);
        roots.sysRoot = base + "/sys";
        roots.devRoot = base + "/dev";
    }
    return roots;
}

std::vector<UsbPrinterInfo> listUsbPrinters(const DeviceRoots& roots)
{
    std::vector<UsbPrinterInfo> printers;
    const fs::path classDir = fs::path(roots.sysRoot) / "class" / "usbmisc";
    const std::string usbDir = withoutTrailingSlash(roots.devRoot) + "/usb/";
    std::error_code ec;
    for (fs::directory_iterator it(classDir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        UsbPrinterInfo info;
        if (!parseLpName(name, info.lpNumber))
            continue;
        info.devicePath = usbDir + name;
        if (!openable(info.devicePath))
            continue;
        findIds(it->path(), info);
        printers.push_back(std::move(info));
    }
    std::sort(printers.begin(), printers.end(),
              [](const UsbPrinterInfo& a, const UsbPrinterInfo& b) { return a.lpNumber < b.lpNumber; });
    return printers;
}

bool isUsbPrinterPath(const std::string& name, const DeviceRoots& roots)
{
    const std::string prefix = withoutTrailingSlash(roots.devRoot) + "/usb/";
    return name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0;
}

std::unique_ptr<UsbPrinterIo> makeUsbPrinter()
{
    return std::make_unique<UsbPrinter>();
}

} // namespace platform
