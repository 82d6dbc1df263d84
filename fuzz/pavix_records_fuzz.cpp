// Record blocks and their replies from an arbitrary board: decoding is
// bounded, and a decoded record or system information re-encodes and
// decodes to itself.
#include "pavix/protocol/IfRecords.h"

#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void broken(const char* what)
{
    std::fprintf(stderr, "pavix_records_fuzz: %s\n", what);
    std::abort();
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const pavix::ByteView in(data, size);
    if (const auto r = pavix::DecodeIfConfigRecord(in)) {
        const auto block = pavix::EncodeIfConfigRecord(*r);
        if (!block || pavix::DecodeIfConfigRecord(*block) != r)
            broken("IfConfigRecord does not round-trip");
    }
    if (const auto s = pavix::DecodeSystemInfo(in)) {
        const auto block = pavix::EncodeSystemInfo(*s);
        if (!block || pavix::DecodeSystemInfo(*block) != s)
            broken("SystemInfo does not round-trip");
    }
    (void)pavix::ParseIfCur(in);
    (void)pavix::ParseSysRsp(in);
    (void)pavix::IsIfSuc(in);
    return 0;
}
