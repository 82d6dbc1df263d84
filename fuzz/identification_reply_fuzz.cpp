// Identification replies from an arbitrary printer: the pure reply rules
// over arbitrary bytes, and CCommonUtil::CheckPrinter for every query type
// over a scripted fake printer on a manual clock, so the reply loops, their
// buffers and time-outs meet whatever a printer (or line noise) may send.
//
// Input layout (every field is optional; a short input just ends the script):
//   byte 0       link: 0 serial, 1 TCP/IP, 2 USB printer (mod 3)
//   then steps   [query][delay][length][length bytes of reply]
//                query  mod 5: the four query types and one unknown type
//                delay  the reply becomes readable delay * 25 ms after the
//                       query (so replies both inside and past the 3000 ms
//                       and 5000 ms limits are reached)
//                length how many reply bytes follow (cut at the input's end)
// Bytes a query does not read stay queued for the next one, as they would
// in the port. A query that closed the port is followed by a reopen.
#include "corvane/link/CCommonUtil.h"
#include "platform/testing/fake_devices.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <string_view>

namespace {

using corvane::CCommonUtil;

constexpr int kModelCodes[] = {
    corvane::kModelUnknown, corvane::kModelZ400,  corvane::kModelZ400W, corvane::kModelZ400II,
    corvane::kModelVX440,   corvane::kModelZ600, corvane::kModelZ800,
};
constexpr const char* kPortNames[] = {"COM2", "NET127.0.0.1", "/dev/usb/lp0"};
constexpr std::size_t kMaxSteps = 32;
constexpr std::uint64_t kDelayUnitMs = 25;

// The reply buffers are 30, 40 and 100 bytes including the NUL.
constexpr std::size_t kModelBuffer = 30;
constexpr std::size_t kVersionBuffer = 40;
constexpr std::size_t kCodePageBuffer = 100;

[[noreturn]] void broken(const char* what)
{
    std::fprintf(stderr, "identification_reply_fuzz: %s\n", what);
    std::abort();
}

bool knownModel(int code)
{
    for (int known : kModelCodes)
        if (code == known)
            return true;
    return false;
}

// Bounded cursor over the fuzz input.
struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t pos = 0;

    bool empty() const { return pos >= size; }
    std::uint8_t byte() { return pos < size ? data[pos++] : 0; }
    platform::testing::Bytes bytes(std::size_t n)
    {
        const std::size_t take = std::min(n, size - pos);
        platform::testing::Bytes out(data + pos, data + pos + take);
        pos += take;
        return out;
    }
};

void checkPureRules(const platform::testing::Bytes& reply)
{
    const std::string_view raw(reinterpret_cast<const char*>(reply.data()), reply.size());
    const std::string_view text = raw.substr(0, raw.find('\0'));
    for (std::string_view view : {raw, text}) {
        if (!knownModel(corvane::ModelCodeFromReply(view)))
            broken("ModelCodeFromReply returned a code outside the model table");
        for (int model : kModelCodes)
            (void)corvane::VersionNumberFromReply(view, model);
    }
}

void checkAfterQuery(const CCommonUtil& util, int query, int rc)
{
    switch (rc) {
    case corvane::kOk:
    case corvane::kNotOpen:
    case corvane::kNotSupported:
    case corvane::kBadFormat:
    case corvane::kShortWrite:
    case corvane::kNoReply:
        break;
    default:
        broken("CheckPrinter returned a result code outside its list");
    }
    if (rc == corvane::kOk && query == corvane::kQueryModel && util.g_Model == corvane::kModelUnknown)
        broken("an unknown model was accepted");
    if (rc != corvane::kOk && rc != corvane::kNotOpen && util.port.IsOpen())
        broken("a failed query left the port open");
    // The model and version names start at the reply's second character;
    // the code page name is the whole reply.
    if (util.modelName.size() >= kModelBuffer || util.firmwareVersion.size() >= kVersionBuffer ||
        util.codePage.size() > kCodePageBuffer)
        broken("a reply outgrew its buffer");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Input in{data, size};
    platform::ManualClock clock(5000);
    platform::testing::FakePrinter printer(clock);
    platform::testing::FakeDevices devices(printer);
    CCommonUtil util(clock, devices);
    util.settings.portName = kPortNames[in.byte() % 3];
    util.ApplyPortSettings();
    if (util.port.Open() != 1)
        return 0;

    for (std::size_t step = 0; step < kMaxSteps && !in.empty(); ++step) {
        const int query = in.byte() % 5;
        const std::uint64_t delay = in.byte() * kDelayUnitMs;
        const platform::testing::Bytes reply = in.bytes(in.byte());
        checkPureRules(reply);
        if (!reply.empty())
            printer.reply(reply, delay);
        if (!util.port.IsOpen() && util.port.Open() != 1)
            return 0;
        checkAfterQuery(util, query, util.CheckPrinter(query));
    }
    return 0;
}
