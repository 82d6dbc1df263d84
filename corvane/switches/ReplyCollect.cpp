#include "corvane/switches/ReplyCollect.h"

#include <algorithm>

namespace corvane {

Collected CollectReply(CDev& port, platform::Clock& clock, const CollectPlan& plan,
                       const std::function<ReplyStatus(ReplyBytes)>& judge)
{
    Collected c;
    std::vector<std::uint8_t> buffer(plan.capacity, 0);
    std::size_t held = 0;
    clock.pauseMs(plan.pauseMs);
    const std::uint64_t start = clock.tickMs();
    for (;;) {
        const std::size_t room = plan.capacity - held;
        if (room == 0)
            break;
        const std::size_t ask = std::min(room, plan.readSize);
        const int n = port.Read(buffer.data() + held, static_cast<int>(ask), 1);
        const std::size_t got = n > 0 ? std::min(static_cast<std::size_t>(n), ask) : 0;
        held += got;
        clock.pauseMs(plan.betweenReadsMs);
        if (judge(ReplyBytes(buffer.data(), held)) != ReplyStatus::NeedMore) {
            c.judged = true;
            break;
        }
        if (plan.stopOnSilence && got == 0)
            break;
        if (clock.tickMs() - start > plan.limitMs)
            break;
    }
    buffer.resize(held);
    c.bytes = std::move(buffer);
    return c;
}

} // namespace corvane
