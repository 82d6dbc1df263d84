// libFuzzer target for a printer queue's device URI: the spooler hands us
// whatever an administrator typed, so the preset parser, the port path taken
// from serial:/parallel: URIs and the takeover marker parser must take any
// bytes.
//
// Invariants checked for every input:
// - every preset field is one the dialog can show (interface, parity, stop
//   bits and flow indexes in range, a TCP port 1..65535, a bounded notice);
// - no field is longer than the input (nothing invented, nothing read
//   beyond it);
// - a marker that parses formats back to exactly the same text.
#include "telvara/link/DeviceUriPreset.h"
#include "telvara/link/QueueTakeover.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    using telvara::link::PresetInterface;

    const telvara::link::DeviceUriPreset preset = telvara::link::presetFromDeviceUri(input);
    check(preset.interface == PresetInterface::Serial || preset.interface == PresetInterface::Parallel ||
          preset.interface == PresetInterface::Usb || preset.interface == PresetInterface::Ethernet);
    check(preset.parity >= 0 && preset.parity <= 4);
    check(preset.stopBits >= 0 && preset.stopBits <= 2);
    check(preset.flow >= 0 && preset.flow <= 2);
    check(preset.dataBits >= 5 && preset.dataBits <= 8);
    check(preset.baud >= 1 && preset.baud <= 4000000);
    check(preset.tcpPort >= 1 && preset.tcpPort <= 65535);
    check(preset.port.size() <= size);
    check(preset.address.size() <= 15);
    check(preset.notice.size() <= 200);

    const std::string device = telvara::link::portDeviceOfUri(input);
    check(device.size() <= size);

    long pid = 0;
    std::string host;
    if (telvara::link::parseTakeoverMarker(input, pid, host))
        check(telvara::link::takeoverMarker(pid, host) == input);
    return 0;
}
