// The parallel printer port (the kernel's lp driver, <dev>/lpN) behind the
// port contract.
//
// Names: "LPTn" (any case, optional trailing ':') means <dev>/lp(n-1); a
// path is taken as it is. open() takes the name in Endpoint::address and
// opens the node exclusively. statusByte() asks the driver (LPGETSTATUS)
// and reads "selected and ready" (select set, not busy, paper present, no
// error) as kParallelReady, the status byte the printer software expects
// of a ready printer; any other state is a different byte. A pseudo-terminal
// standing in for the node (tests, a simulator behind it) reads as ready.
//
// Writes are bounded by kParallelWritePerByteMs x length +
// kParallelWriteConstantMs instead of the stall rule: an offline printer on
// a parallel port takes nothing and sends no error. Reads wait at most the
// read time-out for their first byte and return what is there.
#pragma once

#include "platform/device_roots.h"
#include "platform/port.h"

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

inline constexpr std::uint8_t kParallelReady = 0x80;
inline constexpr int kParallelWritePerByteMs = 5;
inline constexpr int kParallelWriteConstantMs = 3000;

class ParallelPort : public Port {
public:
    DeviceKind kind() const override { return DeviceKind::Parallel; }
    // kParallelReady when the printer is selected and ready; false when the
    // driver could not be asked (lastError() says why).
    virtual bool statusByte(std::uint8_t& status) = 0;
};

// "LPT2" -> "<dev>/lp1"; other names are returned unchanged.
std::string parallelDevicePath(const std::string& portName, const DeviceRoots& roots);

// The lp driver's status bits (LPGETSTATUS) as the one status byte:
// kParallelReady for selected, not busy, paper present and no error.
std::uint8_t parallelStatusFromLp(int lpStatus);

std::unique_ptr<ParallelPort> makeParallelPort();

} // namespace platform
