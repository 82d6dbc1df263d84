// Opening a device node for one user only, shared by the serial and USB
// printer devices.
#pragma once

#include "platform/os_error.h"

#include <string>

namespace platform::detail {

// Opens `path` read/write, non-blocking, and takes an advisory exclusive
// lock, which also refuses a second opener running as root. Returns the
// descriptor, or -1 with the reason in `error` (EBUSY when another holds it).
int openExclusive(const std::string& path, OsError& error);

// Releases the lock and closes; -1 is ignored.
void closeExclusive(int fd);

} // namespace platform::detail
