// Where sysfs and /dev are, so discovery can run on a fake tree in tests.
#pragma once

#include <string>

namespace platform {

// QUELLIX_DEVICE_ROOT=DIR redirects both to DIR/sys and DIR/dev.
struct DeviceRoots {
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
    static DeviceRoots fromEnvironment();
};

} // namespace platform
