// Discovery and store answers from anything on the network: parsing is
// bounded in both modes, a parsed record re-encodes to the bytes it came
// from (zero-filled where the datagram was short), and the search job takes
// any sequence of datagrams without growing past one entry per answer.
#include "pavix/search/Datagrams.h"
#include "pavix/search/SearchJob.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void broken(const char* what)
{
    std::fprintf(stderr, "pavix_search_datagrams_fuzz: %s\n", what);
    std::abort();
}

void checkAnswer(pavix::search::SearchMode mode, pavix::search::ByteView in)
{
    using namespace pavix::search;
    const SearchAnswer answer = ParseSearchAnswer(mode, in);
    if (answer.kind != AnswerKind::Device)
        return;
    const std::size_t tag = mode == SearchMode::Wlan ? kWlanAnswer.size() : kEthernetAnswer.size();
    const std::size_t used = std::min(in.size(), kMaxDatagram);
    const Bytes encoded = EncodeRecord(answer.record, mode);
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const std::uint8_t expected = tag + i < used ? in[tag + i] : 0;
        if (encoded[i] != expected)
            broken("record does not match the datagram's bytes");
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace pavix::search;
    const ByteView in(data, size);
    for (const SearchMode mode : {SearchMode::Ethernet, SearchMode::Wlan}) {
        checkAnswer(mode, in);
        (void)ParseStoreAnswer(mode, in);

        // The input as a run of datagrams, each prefixed by its length byte.
        DeviceList list;
        SearchJob job(mode, list, [](const Bytes&) { return SendResult{true, {}, {}}; });
        (void)job.start();
        int offered = 0;
        for (std::size_t at = 0; at < size;) {
            const std::size_t length = std::min<std::size_t>(data[at], size - at - 1);
            if (!job.offer(in.subspan(at + 1, length), false))
                break;
            ++offered;
            at += 1 + length;
        }
        if (list.size() > offered || list.size() != job.report().answers)
            broken("the list does not match the answers taken");
    }
    return 0;
}
