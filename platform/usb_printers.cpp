// USB printer-class devices: discovery through sysfs.
#include "platform/usb_printers.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace platform {
namespace {

namespace fs = std::filesystem;

// The USB device (with the ids) is the parent of the interface the lp node is
// bound to; allow for a few more levels of nesting, no more.
constexpr int kIdSearchLevels = 4;

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

} // namespace

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

} // namespace platform
