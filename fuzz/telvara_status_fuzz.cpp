// Telvara's status file reader and switch read reply parser over arbitrary
// bytes. The first byte picks the part:
//   even  the rest is a status file: a decoded file re-encodes to the same
//         carried pins and flag, every named setting decodes to an entry of
//         its list, no selection or "keep", and the text form is bounded;
//   odd   the rest is what a link received for one switch read: fed in
//         growing prefixes, the parser never uses more than it was given,
//         gives pins in 0..2 only, and once complete stays complete with
//         the same pins.
#include "telvara/status/StatusCli.h"
#include "telvara/status/StatusFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

[[noreturn]] void broken(const char* what)
{
    std::fprintf(stderr, "telvara_status_fuzz: %s\n", what);
    std::abort();
}

void StatusFile(std::span<const std::uint8_t> in)
{
    const auto content = telvara::DecodeStatusFile(in);
    if (!content)
        return;
    const std::string again = telvara::EncodeStatusFile(content->matrix, content->flag);
    const auto round = telvara::DecodeStatusFile(
        std::span(reinterpret_cast<const std::uint8_t*>(again.data()), again.size()));
    if (again.size() != telvara::kStatusFileSize || !round || round->matrix != content->matrix ||
        round->flag != content->flag)
        broken("a loaded file does not save back the same");
    for (telvara::Setting s : telvara::kSettingsInOrder) {
        const telvara::Decoded d = telvara::DecodeSetting(content->matrix, s);
        const int size = static_cast<int>(telvara::SettingItems(s).size());
        if (d.index != telvara::kKeepPrevious && (d.index < -1 || d.index >= size))
            broken("a decoded setting indexes past its list");
    }
    std::size_t total = 0;
    for (const std::string& line : telvara::DescribeStatus(content->matrix))
        total += line.size();
    if (total > 1024)
        broken("the text form grew without bound");
}

void SwitchReply(std::span<const std::uint8_t> in)
{
    std::optional<telvara::SwitchPins> first;
    for (std::size_t n = 0; n <= in.size(); ++n) {
        const telvara::SwitchReply r = telvara::ParseSwitchReply(in.first(n));
        if (r.used > n)
            broken("the parser used bytes it was not given");
        for (int e : r.pins)
            if (e < telvara::kNoChange || e > telvara::kOff)
                broken("a pin outside 0..2");
        if (first) {
            if (r.status != telvara::SwitchReplyStatus::Complete || r.pins != *first)
                broken("more bytes changed a complete reply");
        } else if (r.status == telvara::SwitchReplyStatus::Complete) {
            first = r.pins;
        } else if (r.status == telvara::SwitchReplyStatus::Garbage) {
            return;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::span<const std::uint8_t> rest(data + 1, size - 1);
    if (data[0] % 2 == 0)
        StatusFile(rest);
    else
        SwitchReply(rest.first(std::min<std::size_t>(rest.size(), 512)));
    return 0;
}
