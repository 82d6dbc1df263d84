// The matrix, the characters a switch write sends and the switch read reply
// parser.
#include "telvara/status/StatusMatrix.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace telvara {
namespace {

std::vector<std::uint8_t> bytes(std::string_view s)
{
    return {s.begin(), s.end()};
}

std::vector<std::uint8_t> reply(std::string_view pins8to1)
{
    std::vector<std::uint8_t> r{0x37, 0x21};
    r.insert(r.end(), pins8to1.begin(), pins8to1.end());
    r.push_back(0x00);
    return r;
}

TEST(StatusMatrixWire, NoChangeIsTwoExceptSwitchTwelveWhichSendsZero)
{
    const StatusMatrix m;
    for (int sw : {1, 2, 3, 4, 5, 6, 11})
        EXPECT_EQ(SwitchWriteText(m, sw), "22222222") << sw;
    EXPECT_EQ(SwitchWriteText(m, 12), "00000000");
}

TEST(StatusMatrixWire, InitializeSendsAllOffEverywhere)
{
    StatusMatrix m;
    m.set(5, 3, kOn);
    m.initialize();
    for (int sw : kSwitchNumbers)
        EXPECT_EQ(SwitchWriteText(m, sw), "00000000") << sw;
}

TEST(StatusMatrixWire, PinEightGoesFirstAndEntriesMapToCharacters)
{
    StatusMatrix m;
    ASSERT_TRUE(m.set(6, 8, kOn));
    ASSERT_TRUE(m.set(6, 1, kOff));
    ASSERT_TRUE(m.set(12, 2, kOn));
    ASSERT_TRUE(m.set(12, 3, kOff));
    EXPECT_EQ(SwitchWriteText(m, 6), "12222220");
    EXPECT_EQ(SwitchWriteText(m, 12), "00000010");
    EXPECT_EQ(SwitchShownText(m, 6), "1------0");
    const auto cmd = SwitchWriteCommand(m, 6);
    const std::array<std::uint8_t, 15> expected{0x1D, 0x28, 0x45, 0x0A, 0x00, 0x03, 6,  '1',
                                                '2',  '2',  '2',  '2',  '2',  '2',  '0'};
    EXPECT_EQ(cmd, expected);
    const std::array<std::uint8_t, 7> read{0x1D, 0x28, 0x45, 0x02, 0x00, 0x04, 11};
    EXPECT_EQ(SwitchReadCommand(11), read);
}

TEST(StatusMatrixWire, OutOfRangeIsRefusedAndReadsAsNoChange)
{
    StatusMatrix m;
    EXPECT_FALSE(m.set(7, 1, kOn));
    EXPECT_FALSE(m.set(1, 0, kOn));
    EXPECT_FALSE(m.set(1, 9, kOn));
    EXPECT_FALSE(m.set(1, 1, 3));
    EXPECT_FALSE(m.set(1, 1, -1));
    EXPECT_FALSE(m.setSwitch(2, SwitchPins{0, 0, 0, 5, 0, 0, 0, 0}));
    EXPECT_EQ(m, StatusMatrix{});
    EXPECT_EQ(m.get(7, 1), kNoChange);
    EXPECT_EQ(m.get(1, 9), kNoChange);
    EXPECT_EQ(SlotOfSwitch(11), 6);
    EXPECT_EQ(SlotOfSwitch(13), -1);
}

TEST(SwitchReplyParse, PinEightAndOneOnTheRestOff)
{
    const auto r = ParseSwitchReply(reply("10000001"));
    ASSERT_EQ(r.status, SwitchReplyStatus::Complete);
    EXPECT_EQ(r.used, 11u);
    EXPECT_EQ(r.pins, (SwitchPins{kOn, kOff, kOff, kOff, kOff, kOff, kOff, kOn}));
}

TEST(SwitchReplyParse, OtherCharactersReadAsNoChange)
{
    const auto r = ParseSwitchReply(reply("1x0?1201"));
    ASSERT_EQ(r.status, SwitchReplyStatus::Complete);
    EXPECT_EQ(r.pins, (SwitchPins{kOn, kOff, kNoChange, kOn, kNoChange, kOff, kNoChange, kOn}));
}

// A stray byte before the reply used to shift every character by one.
TEST(SwitchReplyParse, StrayBytesBeforeTheHeaderAreSkipped)
{
    // 01 00, then a lone "7" that is not followed by "!"
    std::vector<std::uint8_t> in{0x01, 0x00, '7'};
    const auto good = reply("01100110");
    in.insert(in.end(), good.begin(), good.end());
    const auto r = ParseSwitchReply(in);
    ASSERT_EQ(r.status, SwitchReplyStatus::Complete);
    EXPECT_EQ(r.used, in.size());
    EXPECT_EQ(r.pins, (SwitchPins{kOff, kOn, kOn, kOff, kOff, kOn, kOn, kOff}));
}

TEST(SwitchReplyParse, PartialRepliesNeedMore)
{
    const auto full = reply("11111111");
    for (std::size_t n = 0; n < full.size(); ++n) {
        const auto r = ParseSwitchReply(std::span(full.data(), n));
        EXPECT_EQ(r.status, SwitchReplyStatus::NeedMore) << n;
        EXPECT_EQ(r.used, 0u) << n;
    }
    const auto strays = bytes("abc");
    const auto r = ParseSwitchReply(strays);
    EXPECT_EQ(r.status, SwitchReplyStatus::NeedMore);
    EXPECT_EQ(r.used, 3u);
}

TEST(SwitchReplyParse, AReplyWithoutItsNulIsGarbage)
{
    auto in = reply("11111111");
    in.back() = '1';
    const auto r = ParseSwitchReply(in);
    EXPECT_EQ(r.status, SwitchReplyStatus::Garbage);
    EXPECT_EQ(r.used, 11u);
}

} // namespace
} // namespace telvara
