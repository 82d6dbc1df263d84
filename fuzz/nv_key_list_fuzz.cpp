// The key-list block parser over arbitrary bytes, and the whole key-list
// read over a scripted fake printer on a manual clock, so the collection
// passes, the 1024-byte accumulator and the block loop meet whatever a
// printer or line noise may send.
//
// Input layout:
//   the whole input is also parsed as one pass's bytes
//   then steps  [delay][length][length bytes of reply]
//               the steps answer the read command and the ACKs in turn; a
//               step whose delay byte has its top bit set belongs to the
//               write before it (a reply in several chunks); a chunk becomes
//               readable (delay & 0x7F) * 40 ms after the write
#include "corvane/nv/CCommonNv.h"
#include "corvane/nv/NvKeyList.h"
#include "platform/testing/fake_devices.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

using namespace corvane;
using platform::testing::Bytes;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void parseOne(const std::uint8_t* data, std::size_t size)
{
    const nv::KeyBlock block = nv::ParseKeyBlock(data, size);
    check(block.keys.size() <= size / 2);
    if (block.verdict != nv::KeyBlockVerdict::Keys)
        check(block.keys.empty());
    for (const std::string& key : block.keys) {
        check(key.size() == 2);
        check(key[0] != '\0' && key[1] != '\0');
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    parseOne(data, size);

    struct Step {
        std::uint64_t delayMs;
        bool sameWrite;
        Bytes reply;
    };
    std::vector<Step> steps;
    for (std::size_t at = 0; at + 2 <= size && steps.size() < 600;) {
        const std::size_t length = std::min<std::size_t>(data[at + 1], size - at - 2);
        steps.push_back(Step{std::uint64_t(data[at] & 0x7F) * 40, (data[at] & 0x80) != 0,
                             Bytes(data + at + 2, data + at + 2 + length)});
        at += 2 + length;
    }

    platform::ManualClock clock{1000};
    platform::testing::FakePrinter printer{clock};
    platform::testing::FakeDevices devices{printer};
    CCommonUtil util{clock, devices};
    CCommonNv nv{util, clock};
    util.settings.portName = "COM2";
    util.ApplyPortSettings();
    if (util.port.Open() != 1)
        return 0;
    std::size_t next = 0;
    printer.onWrite = [&](const Bytes& written) {
        if (written.size() != 9 && written != Bytes{0x06})
            return;
        for (bool first = true; next < steps.size() && (first || steps[next].sameWrite); first = false) {
            printer.reply(steps[next].reply, steps[next].delayMs);
            ++next;
        }
    };
    const std::uint64_t t0 = clock.tickMs();
    const int r = nv.ReadKeyList();
    check(r == kOk || r == kBadFormat || r == kShortWrite || r == kNvEmpty);
    for (const std::string& key : nv.addresses)
        check(key.size() == 2);
    if (r == kBadFormat) {
        check(!util.port.IsOpen());
        check(printer.writes.back() == Bytes{0x18});
    }
    // Every pass is bounded: at most 256 blocks of 150 ms, 5000 ms and one
    // last read.
    check(clock.tickMs() - t0 < 256u * (150u + 5000u + 4000u));
    return 0;
}
