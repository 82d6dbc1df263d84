// Telvara's identification replies from an arbitrary printer: the pure
// parsers over arbitrary bytes, and the whole connection check over the
// scripted fake printer on a manual clock, so the drains, the id retries and
// the text loops meet whatever a printer (or line noise) may send.
//
// Input layout:
//   byte 0      kind: 0 serial, 1 parallel, 2 USB, 3 Ethernet (mod 4)
//   then steps  [delay][length][length bytes]: a reply chunk readable
//               delay * 20 ms after the start, cut at the input's end
// The parsers also see the whole input as one reply.
#include "telvara/link/ConnectionCheck.h"
#include "telvara/link/IdReplies.h"

#include "platform/testing/fake_devices.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const telvara::ByteView all(data, size);
    const std::string text = telvara::PacketText(all);
    if (text.size() > telvara::kMaxTextBytes || text.find('\0') != std::string::npos)
        std::abort();
    std::size_t used = 0;
    const std::string collected = telvara::CollectedText(all, &used);
    if (used > size || used > telvara::kMaxTextBytes || collected.size() > used
        || collected.find('_') != std::string::npos)
        std::abort();
    telvara::IsPrinterIdReply(all);

    if (size == 0)
        return 0;
    platform::ManualClock clock;
    platform::testing::FakePrinter printer(clock);
    platform::testing::FakeDevices devices(printer);
    static const char* const kPorts[] = {"COM1", "LPT1", "M880:/dev/usb/lp0", "127.0.0.1"};
    const std::size_t kind = data[0] % 4;
    for (std::size_t at = 1; at + 2 <= size;) {
        const std::uint64_t delay = data[at] * 20u;
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        printer.reply(platform::testing::Bytes(data + at + 2, data + at + 2 + length), delay);
        at += 2 + length;
    }
    telvara::PortLink link(clock, devices);
    telvara::ConnectionCheck check(link, clock);
    telvara::LinkConfig config;
    config.portName = kPorts[kind];
    config.tcpPort = 9100;
    const telvara::CheckResult r = check.run(config);
    // Every step is bounded: the whole check fits in well under a minute
    // of virtual time whatever arrives.
    if (clock.tickMs() > 60000 || r.maker.size() > telvara::kMaxTextBytes || r.model.size() > telvara::kMaxTextBytes)
        std::abort();
    if (r.ok != link.isOpen())
        std::abort();
    return 0;
}
