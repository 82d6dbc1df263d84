// Factory for ports, so a test can put a scripted fake printer behind any
// port object. The real machine's transports are one table, one row per
// kind: a new transport (parallel, UDP) is its own file plus one row.
#pragma once

#include "platform/device_roots.h"
#include "platform/port.h"
#include "platform/serial_port.h"

#include <memory>
#include <span>

namespace platform {

class Devices {
public:
    virtual ~Devices() = default;
    // A closed port of `kind`; null when there is no transport for it.
    virtual std::unique_ptr<Port> makePort(DeviceKind kind) = 0;
    virtual DeviceRoots roots() = 0;
};

struct Transport {
    DeviceKind kind;
    const char* name;
    std::unique_ptr<Port> (*make)();
};

// The transports of this machine.
std::span<const Transport> transports();

// The real devices of this machine (roots from the environment).
Devices& systemDevices();

} // namespace platform
