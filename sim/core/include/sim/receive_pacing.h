// How fast the simulated printer takes bytes from its host, and what it says
// unasked while it does: the knobs for slow, stalling, pausing and chatty
// printers. Pure bookkeeping over a millisecond clock value the caller
// passes in, so it is tested without real time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sim {

struct ReadPacing {
    std::uint64_t bytesPerSecond = 0;        // 0: as fast as the host sends
    std::optional<std::uint64_t> stallAfter; // stop reading for good after this many bytes
    std::uint64_t pauseAfter = 0;            // 0: never pause
    std::uint32_t pauseMs = 0;               // each pause, after every `pauseAfter` bytes
};

// Status bytes sent back unasked every `every` received bytes (0: never).
struct Chatter {
    std::string bytes;
    std::uint64_t every = 0;
};

// How many chatter messages are due when the received count goes from
// `before` to `after`: one per multiple of `every` passed.
std::uint64_t chatterDue(std::uint64_t before, std::uint64_t after, std::uint64_t every);

// Decides how many bytes the printer reads and when. The rate is a token
// bucket holding about 50 ms worth of bytes (at least one byte); a read waits
// until the bucket is full or holds a whole read, so a slow printer takes its
// bytes in a few sizeable reads per second rather than one byte at a time,
// and a fast one does not lose pace to millisecond rounding.
// Reads never cross a pause or stall boundary, so these happen at exactly the
// byte counts given.
class ReadPacer {
public:
    static constexpr std::uint64_t kNever = UINT64_MAX;

    ReadPacer(const ReadPacing& pacing, std::size_t maxRead, std::uint64_t nowMs);

    // Bytes that may be read now, 0..maxRead.
    std::size_t allowance(std::uint64_t nowMs);
    // The earliest time a read may be allowed: `nowMs` or later; kNever once stalled.
    std::uint64_t nextReadMs(std::uint64_t nowMs);
    // `n` bytes were read at `nowMs`.
    void consumed(std::size_t n, std::uint64_t nowMs);

    bool stalled() const { return pacing_.stallAfter && total_ >= *pacing_.stallAfter; }
    std::uint64_t total() const { return total_; }

private:
    void refill(std::uint64_t nowMs);

    ReadPacing pacing_;
    std::size_t maxRead_;
    std::uint64_t capacityMilli_ = 0;  // bucket size in 1/1000 bytes; 0 without a rate
    std::uint64_t thresholdMilli_ = 0; // no read with fewer tokens than this
    std::uint64_t tokensMilli_ = 0;
    std::uint64_t refilledMs_;
    std::uint64_t pauseUntilMs_ = 0;
    std::uint64_t total_ = 0;
};

} // namespace sim
