// The operating system's reason for the last failed platform call, kept so
// that a front end can tell the technician what to do about it.
#pragma once

#include <string>
#include <utility>

namespace platform {

struct OsError {
    OsError() = default;
    OsError(int code_, std::string operation_, std::string target_, std::string reason_ = {})
        : code(code_), operation(std::move(operation_)), target(std::move(target_)), reason(std::move(reason_))
    {
    }

    int code = 0;            // errno value; 0 = no error recorded
    std::string operation;   // what was attempted, e.g. "open", "connect"
    std::string target;      // device path or address it was attempted on
    std::string reason;      // replaces the system's text for `code` when set

    bool isSet() const { return code != 0; }
    // "open /dev/ttyS0: Permission denied",
    // "write /dev/ttyS0: the printer stopped accepting data for 60 s"
    std::string describe() const;
};

// Captures errno (read at the call) into an OsError.
OsError lastOsError(const std::string& operation, const std::string& target);

// The kinds of transport; each has one entry in the device table.
enum class DeviceKind { Serial, Usb, Parallel, Tcp };

// A one-line hint a technician can act on, or an empty string when there is
// nothing useful to add to the OS reason.
std::string osErrorHint(const OsError& error, DeviceKind kind);

} // namespace platform
