#include "sim/receive_pacing.h"

#include <gtest/gtest.h>

namespace {

constexpr std::size_t kMaxRead = 4096;

TEST(Chatter, OneMessagePerMultiplePassed)
{
    EXPECT_EQ(sim::chatterDue(0, 99, 100), 0u);
    EXPECT_EQ(sim::chatterDue(0, 100, 100), 1u);
    EXPECT_EQ(sim::chatterDue(99, 100, 100), 1u);
    EXPECT_EQ(sim::chatterDue(100, 199, 100), 0u);
    EXPECT_EQ(sim::chatterDue(150, 460, 100), 3u);
    EXPECT_EQ(sim::chatterDue(0, 1000, 0), 0u);
    EXPECT_EQ(sim::chatterDue(10, 10, 1), 0u);
}

TEST(ReadPacer, UnpacedReadsWholeBuffers)
{
    sim::ReadPacer pacer({}, kMaxRead, 0);
    EXPECT_EQ(pacer.allowance(0), kMaxRead);
    pacer.consumed(kMaxRead, 0);
    EXPECT_EQ(pacer.allowance(0), kMaxRead);
    EXPECT_EQ(pacer.nextReadMs(7), 7u);
    EXPECT_FALSE(pacer.stalled());
}

TEST(ReadPacer, StallStopsExactlyAtTheCount)
{
    sim::ReadPacing pacing;
    pacing.stallAfter = 5000;
    sim::ReadPacer pacer(pacing, kMaxRead, 0);
    EXPECT_EQ(pacer.allowance(0), kMaxRead);
    pacer.consumed(kMaxRead, 0);
    EXPECT_EQ(pacer.allowance(0), 5000 - kMaxRead);  // never reads past the stall point
    pacer.consumed(5000 - kMaxRead, 0);
    EXPECT_TRUE(pacer.stalled());
    EXPECT_EQ(pacer.allowance(1'000'000), 0u);
    EXPECT_EQ(pacer.nextReadMs(1'000'000), sim::ReadPacer::kNever);

    pacing.stallAfter = 0;  // takes nothing at all
    sim::ReadPacer mute(pacing, kMaxRead, 0);
    EXPECT_EQ(mute.allowance(0), 0u);
    EXPECT_TRUE(mute.stalled());
}

TEST(ReadPacer, PausesAfterEveryBlock)
{
    sim::ReadPacing pacing;
    pacing.pauseAfter = 1000;
    pacing.pauseMs = 300;
    sim::ReadPacer pacer(pacing, kMaxRead, 0);
    EXPECT_EQ(pacer.allowance(0), 1000u);
    pacer.consumed(600, 0);
    EXPECT_EQ(pacer.allowance(0), 400u);  // up to the block boundary, not beyond
    pacer.consumed(400, 10);
    EXPECT_EQ(pacer.allowance(10), 0u);
    EXPECT_EQ(pacer.allowance(309), 0u);
    EXPECT_EQ(pacer.nextReadMs(20), 310u);
    EXPECT_EQ(pacer.allowance(310), 1000u);
    pacer.consumed(1000, 400);
    EXPECT_EQ(pacer.nextReadMs(400), 700u);
    EXPECT_EQ(pacer.total(), 2000u);
}

// Simulates a host that always has bytes waiting and a loop that reads
// whenever allowed and otherwise sleeps until the pacer says.
struct Reading {
    std::uint64_t bytes = 0;
    std::uint64_t reads = 0;
};

Reading readFor(sim::ReadPacer& pacer, std::uint64_t endMs)
{
    std::uint64_t now = 0;
    Reading r;
    while (now < endMs) {
        if (const std::size_t n = pacer.allowance(now); n > 0) {
            pacer.consumed(n, now);
            r.bytes += n;
            ++r.reads;
            continue;
        }
        const std::uint64_t next = pacer.nextReadMs(now);
        EXPECT_GT(next, now) << "no allowance now, so the next read must be later";
        if (next <= now)
            break;
        now = next;
    }
    return r;
}

TEST(ReadPacer, RateHoldsOverTime)
{
    for (const std::uint64_t rate : {1ull, 333ull, 20'000ull, 150'000ull, 2'000'000ull}) {
        SCOPED_TRACE(rate);
        sim::ReadPacing pacing;
        pacing.bytesPerSecond = rate;
        sim::ReadPacer pacer(pacing, kMaxRead, 0);
        const Reading r = readFor(pacer, 10'000);
        const std::uint64_t bucket = std::max<std::uint64_t>(rate / 20, 1);
        // Ten seconds' worth, plus at most the initial bucket.
        EXPECT_LE(r.bytes, rate * 10 + bucket);
        EXPECT_GE(r.bytes, rate * 10 * 98 / 100);
        // In whole buckets or whole reads, not a byte at a time.
        EXPECT_LE(r.reads, r.bytes / std::min<std::uint64_t>(bucket, kMaxRead) + 1);
    }
}

TEST(ReadPacer, RateWaitsForAFullBucketAndCombinesWithStall)
{
    sim::ReadPacing pacing;
    pacing.bytesPerSecond = 20'000;  // bucket: 1000 bytes, 50 ms
    pacing.stallAfter = 2500;
    sim::ReadPacer pacer(pacing, kMaxRead, 1000);
    EXPECT_EQ(pacer.allowance(1000), 1000u);
    pacer.consumed(3, 1000);  // a short query leaves the bucket nearly full
    EXPECT_EQ(pacer.allowance(1000), 0u);
    EXPECT_EQ(pacer.nextReadMs(1000), 1001u);  // 3 bytes at 20 bytes per ms
    EXPECT_EQ(pacer.allowance(1001), 1000u);
    pacer.consumed(1000, 1001);
    EXPECT_EQ(pacer.nextReadMs(1001), 1051u);
    EXPECT_EQ(pacer.allowance(1050), 0u);
    EXPECT_EQ(pacer.allowance(1051), 1000u);
    pacer.consumed(1000, 1051);
    EXPECT_EQ(pacer.allowance(5000), 497u);  // what is left before the stall
    pacer.consumed(497, 5000);
    EXPECT_EQ(pacer.nextReadMs(9000), sim::ReadPacer::kNever);
}

TEST(ReadPacer, ClockJumpsDoNotOverflowTheBucket)
{
    sim::ReadPacing pacing;
    pacing.bytesPerSecond = 1'000'000'000;
    sim::ReadPacer pacer(pacing, kMaxRead, 0);
    pacer.consumed(kMaxRead, 0);
    EXPECT_EQ(pacer.allowance(UINT64_MAX / 2), kMaxRead);
    pacer.consumed(kMaxRead, UINT64_MAX / 2);
    EXPECT_EQ(pacer.allowance(UINT64_MAX - 1), kMaxRead);
}

} // namespace
