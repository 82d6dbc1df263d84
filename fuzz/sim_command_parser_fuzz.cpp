// Fuzz target: the simulator's command parser, through the mobile printer.
//
// Input layout: byte 0 gives the number of cut lengths k (bits 0-2, 0..7),
// the printer's NV family (bit 3: indexed, else key-code) and its keys per
// key list block (bits 4-5, 1..4); the next k bytes are piece lengths
// (1..256, cycled), the rest is the stream the host sends. The stream is fed
// once whole and once in those pieces, each followed by the end of the
// stream. Checked: nothing crashes or reads out of bounds; the receive count
// equals the bytes fed; the replies, the data runs, the statistics and the
// printer's memory as its report shows it (NV images with their CRCs,
// prints, malformed commands) do not depend on the chunking; nothing stays
// buffered at the end, streamed bodies included.
#include "sim/mobile_printer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

struct Outcome {
    std::vector<std::string> replies;
    std::string data;
    sim::ReceiveStats stats;
    std::string report;
    std::size_t pendingAtEnd = 0;
    std::uint64_t bodyDueAtEnd = 0;
};

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

Outcome feed(std::string_view stream, const std::vector<std::size_t>& pieces, const sim::PrinterConfig& config)
{
    Outcome out;
    sim::MobilePrinter printer(config);
    printer.setDataSink([&](std::string_view d) { out.data.append(d); });
    auto take = [&](std::vector<std::string> replies) {
        for (auto& r : replies) {
            check(!r.empty());  // the parser reports only non-empty replies
            out.replies.push_back(std::move(r));
        }
    };
    std::size_t pos = 0;
    for (std::size_t i = 0; pos < stream.size(); ++i) {
        const std::size_t n = pieces.empty() ? stream.size() : pieces[i % pieces.size()];
        const std::string_view piece = stream.substr(pos, n);
        take(printer.receive(piece));
        pos += piece.size();
        check(printer.stats().bytes == pos);
        check(printer.commands().pendingBytes() <= sim::CommandParser::kMaxPending + piece.size());
    }
    take(printer.endOfStream());
    out.stats = printer.stats();
    out.report = printer.report();
    out.pendingAtEnd = printer.commands().pendingBytes();
    out.bodyDueAtEnd = printer.commands().bodyBytesDue();
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t k = bytes[0] % 8;
    if (size < 1 + k)
        return 0;
    std::vector<std::size_t> pieces;
    for (std::size_t i = 0; i < k; ++i)
        pieces.push_back(std::size_t{bytes[1 + i]} + 1);
    const std::string_view stream(reinterpret_cast<const char*>(bytes) + 1 + k, size - 1 - k);

    sim::PrinterConfig config;
    config.nv.family = (bytes[0] & 0x08) != 0 ? sim::NvFamily::Indexed : sim::NvFamily::KeyCode;
    config.nv.keysPerBlock = 1 + ((bytes[0] >> 4) & 0x03);
    const Outcome whole = feed(stream, {}, config);
    const Outcome cut = feed(stream, pieces, config);

    check(whole.stats.bytes == stream.size());
    check(cut.stats.bytes == stream.size());
    check(whole.stats.crc32 == cut.stats.crc32);
    check(whole.stats.commands == cut.stats.commands);
    check(whole.replies == cut.replies);
    check(whole.data == cut.data);
    check(whole.report == cut.report);
    check(whole.pendingAtEnd == 0 && cut.pendingAtEnd == 0);
    check(whole.bodyDueAtEnd == 0 && cut.bodyDueAtEnd == 0);
    // Every byte is a command byte or data; data never exceeds what came in.
    check(whole.data.size() <= stream.size());
    return 0;
}
