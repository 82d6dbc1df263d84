#include "sim/reply_shaper.h"

namespace sim {

std::vector<ReplyPiece> shapeReply(std::string_view reply, const ReplyShaping& shaping)
{
    std::vector<ReplyPiece> pieces;
    if (shaping.silent || reply.empty())
        return pieces;

    auto add = [&](std::string_view bytes) {
        const std::uint32_t delay = pieces.empty() ? shaping.replyDelayMs : shaping.chunkDelayMs;
        pieces.push_back({delay, std::string(bytes)});
    };
    if (!shaping.stray.empty())
        add(shaping.stray);
    const std::size_t step = shaping.chunkSize == 0 ? reply.size() : shaping.chunkSize;
    for (std::size_t pos = 0; pos < reply.size(); pos += step)
        add(reply.substr(pos, step));
    return pieces;
}

} // namespace sim
