// BSS bodies and answers from an arbitrary board: the parse never reads
// past the input (ASan sees the exact buffer) and keeps at most 100 entries.
#include "pavix/protocol/BssTable.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::uint8_t> exact(data, data + size);
    const pavix::BssTable t = pavix::ParseBssBody(exact);
    if (t.size() > pavix::kMaxBssEntries) {
        std::fprintf(stderr, "pavix_bss_fuzz: more than 100 entries\n");
        std::abort();
    }
    for (const auto& e : t.entries)
        if (e.ssid.size() > pavix::kMaxBssSsidLength)
            std::abort();
    (void)pavix::ParseBssRsp(exact);
    return 0;
}
