// How replies go out on the wire: the test knobs that make the simulator
// awkward on purpose (slow, split, noisy or mute).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct ReplyShaping {
    bool silent = false;            // never reply
    std::size_t chunkSize = 0;      // 0: each reply in one piece
    std::uint32_t chunkDelayMs = 0; // between consecutive pieces of one reply
    std::uint32_t replyDelayMs = 0; // before the first piece of each reply
    std::string stray;              // sent as its own piece before each reply
};

struct ReplyPiece {
    std::uint32_t delayMs = 0;  // after the previous piece; for the first, after the reply was made
    std::string bytes;

    bool operator==(const ReplyPiece&) const = default;
};

// The pieces to send for one reply. An empty reply sends nothing (no stray
// bytes either). Pieces follow each other `chunkDelayMs` apart, the stray
// piece included.
std::vector<ReplyPiece> shapeReply(std::string_view reply, const ReplyShaping& shaping);

} // namespace sim
