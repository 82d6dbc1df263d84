// Reply frames from an arbitrary board: the strict hex decode never reads
// past what arrived, and whatever it accepts re-encodes to the same frame
// (apart from the unexamined header).
#include "pavix/protocol/IfMessage.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const pavix::ByteView in(data, size);
    const pavix::FrameDecode d = pavix::DecodeReplyFrame(in);
    if (d.state == pavix::FrameState::Complete) {
        const pavix::Bytes again = pavix::EncodeFrame(d.message);
        if (d.used != again.size() || !std::equal(again.begin() + 3, again.end(), data + 3)) {
            std::fprintf(stderr, "pavix_frame_decode_fuzz: accepted frame does not re-encode\n");
            std::abort();
        }
    }
    (void)pavix::DecodeReply(in);
    (void)pavix::IsOpenerAnswer(in);
    (void)pavix::IsValidMessage(in);
    return 0;
}
