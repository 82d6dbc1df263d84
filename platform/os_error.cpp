#include "platform/os_error.h"

#include <cerrno>
#include <cstring>

namespace platform {

std::string OsError::describe() const
{
    std::string text = operation;
    if (!target.empty())
        text += (text.empty() ? "" : " ") + target;
    if (!text.empty())
        text += ": ";
    text += reason.empty() ? std::string(std::strerror(code)) : reason;
    return text;
}

OsError lastOsError(const std::string& operation, const std::string& target)
{
    return OsError{errno, operation, target};
}

std::string osErrorHint(const OsError& error, DeviceKind kind)
{
    switch (error.code) {
    case EACCES:
    case EPERM:
        if (kind == DeviceKind::Serial)
            return "Add your user to the 'dialout' group (sudo usermod -aG dialout $USER) and log in again.";
        if (kind == DeviceKind::Usb || kind == DeviceKind::Parallel)
            return "Add your user to the 'lp' group (sudo usermod -aG lp $USER) and log in again.";
        return {};
    case EBUSY:
    case EWOULDBLOCK:
        if (kind == DeviceKind::Tcp)
            return {};
        return "Another program holds the port; close it and try again.";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        if (kind == DeviceKind::Tcp)
            return {};
        return "No such device: check the cable and the port name.";
    case EIO:
        if (kind == DeviceKind::Serial || kind == DeviceKind::Usb || kind == DeviceKind::Parallel)
            return "The printer is not ready: check that it is switched on and the cable is connected.";
        return {};
    case ECONNREFUSED:
        return "The printer refused the connection: check the TCP port number.";
    case ETIMEDOUT:
        // A write that timed out is a printer that stopped taking data, on
        // any kind of link.
        if (error.operation == "write")
            return "The printer stopped taking data: check that it is on, has paper and shows no error.";
        [[fallthrough]];
    case EHOSTUNREACH:
    case ENETUNREACH:
        if (kind == DeviceKind::Tcp)
            return "No answer from that address: check the IP address, the cable and that the printer is on.";
        return {};
    default:
        return {};
    }
}

} // namespace platform
