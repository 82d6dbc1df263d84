// The memory switch reply parsers over arbitrary bytes: the pure functions
// (every parser, every item and track, before and after the time limit),
// and the commands themselves over a scripted fake printer on a manual
// clock, so the collect loops and their fixed buffers meet whatever a
// printer or line noise may send.
//
// Input layout:
//   byte 0      version selector (mod 8: thresholds on both sides)
//   byte 1      MSR mode byte
//   then steps  [operation][delay][length][length bytes of reply]
//               operation mod 22 picks one command; the reply becomes
//               readable delay * 25 ms after the command
// Every step also runs the pure parsers over its reply bytes.
#include "corvane/switches/CCommonTlvr.h"
#include "corvane/switches/TlvrReplies.h"
#include "platform/testing/fake_devices.h"

#include <cstdint>
#include <cstdlib>

namespace {

using namespace corvane;

constexpr std::uint32_t kVersions[] = {1030, 1040, 11060, 11061, 20999, 21000, 21021, 101000};
constexpr std::size_t kMaxSteps = 24;

void check(bool ok)
{
    if (!ok)
        std::abort();
}

void parseAll(ReplyBytes bytes)
{
    const SwitchReply s = ParseSwitchReply(bytes);
    if (s.status == ReplyStatus::Complete)
        check(IsSwitchBits({s.text.data(), s.text.size()}));
    (void)ParseAckReply(bytes);
    for (int item = 1; item <= 4; ++item) {
        for (bool ended : {false, true}) {
            const SerialReply r = ParseSerialReply(bytes, item, ended);
            if (r.status == ReplyStatus::Complete && item == 2)
                check(r.value >= 0 && r.value <= 2);
            if (r.status == ReplyStatus::Complete && item == 4)
                check(r.value == 7 || r.value == 8);
        }
    }
    for (bool ended : {false, true}) {
        const RfReply rf = ParseRfReply(bytes, ended);
        check(rf.status != ReplyStatus::Complete || rf.code == 0);
        for (int track = 1; track <= 3; ++track) {
            const SentinelReply r = ParseSentinelReply(bytes, track, ended);
            check(r.start.size() + r.end.size() <= bytes.size());
        }
        for (char item : {'c', 'd', 'k', 's', 'x'}) {
            const BluetoothReply r = ParseBluetoothReply(bytes, item, ended);
            if (r.status == ReplyStatus::Complete && item == 'c')
                check(r.value >= 0 && r.value <= 2);
            check(r.text.size() <= bytes.size());
        }
    }
}

int runOperation(CCommonTlvr& r, int op)
{
    switch (op) {
    case 0: return r.ReadSwitchGs(1);
    case 1: return r.ReadSwitchGs(7);
    case 2: return r.ReadSwitchGs(0x51);
    case 3: return r.ReadSwitchBs(2);
    case 4: return r.ReadSwitchBs(8);
    case 5: return r.BeginSettingGs();
    case 6: return r.BeginSettingBs();
    case 7: return r.ReadSerialGs(1);
    case 8: return r.ReadSerialGs(2);
    case 9: return r.ReadSerialBs(4);
    case 10: return r.ReadRfInterface();
    case 11: return r.ReadSentinel(1);
    case 12: return r.ReadSentinel(3);
    case 13: return r.ReadBluetooth('c');
    case 14: return r.ReadBluetooth('d');
    case 15: return r.ReadBluetooth('k');
    case 16: return r.ReadBluetooth('s');
    case 17: return r.SetFactoryDefault();
    case 18: return r.WriteSentinel(1);
    case 19: return r.WriteBluetooth();
    case 20: return r.WriteSwitchGs(0x51);
    default: return r.WriteSerialBs();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    platform::ManualClock clock(1000);
    platform::testing::FakePrinter printer(clock);
    platform::testing::FakeDevices devices(printer);
    CCommonUtil util(clock, devices);
    util.settings.portName = "COM2";
    util.ApplyPortSettings();
    util.g_Getver = kVersions[data[0] % 8];
    util.g_Model = util.g_Getver >= 101000 ? kModelZ600 : kModelZ400;
    util.msrMode = data[1];
    CCommonTlvr record(util, clock);
    std::size_t at = 2;
    for (std::size_t step = 0; step < kMaxSteps && at + 3 <= size; ++step) {
        const int op = data[at] % 22;
        const std::uint64_t delay = data[at + 1] * 25ull;
        const std::size_t length = std::min<std::size_t>(data[at + 2], size - at - 3);
        const platform::testing::Bytes reply(data + at + 3, data + at + 3 + length);
        at += 3 + length;
        parseAll(reply);
        if (!util.port.IsOpen() && util.port.Open() != 1)
            return 0;
        printer.pending.clear();
        printer.onWrite = [&](const platform::testing::Bytes&) {
            printer.reply(reply, delay);
            printer.onWrite = nullptr;
        };
        const int rc = runOperation(record, op);
        check(rc == 0 || rc == 101 || rc == 107 || rc == 108 || rc == 109 || rc == 300 || rc == 301);
        // The collect loops stay within their time limits (plus one read).
        for (int cap : printer.readCapacities)
            check(cap > 0 && cap <= 255);
        printer.readCapacities.clear();
    }
    return 0;
}
