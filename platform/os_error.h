// The operating system's reason for the last failed platform call, kept so
// that a front end can tell the technician what to do about it.
#pragma once

#include <string>

namespace platform {

struct OsError {
    int code = 0;            // errno value; 0 = no error recorded
    std::string operation;   // what was attempted, e.g. "open", "connect"
    std::string target;      // device path or address it was attempted on

    bool isSet() const { return code != 0; }
    // "open /dev/ttyS0: Permission denied"
    std::string describe() const;
};

// Captures errno (read at the call) into an OsError.
OsError lastOsError(const std::string& operation, const std::string& target);

enum class DeviceKind { Serial, Usb, Parallel, Tcp };

// A one-line hint a technician can act on, or an empty string when there is
// nothing useful to add to the OS reason.
std::string osErrorHint(const OsError& error, DeviceKind kind);

} // namespace platform
