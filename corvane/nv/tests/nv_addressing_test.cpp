#include "corvane/nv/NvAddressing.h"

#include <gtest/gtest.h>

namespace corvane::nv {
namespace {

using Keys = std::vector<std::string>;

TEST(NvAutoKeys, CountOnSkippingWhatThePrinterHolds)
{
    EXPECT_EQ(AutoKeys(3, {"10", "12"}), (Keys{"11", "13", "14"}));
    EXPECT_EQ(AutoKeys(12, {}), (Keys{"10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20", "21"}));
    // Past "9" the first character counts on through ":" and so on.
    const auto many = AutoKeys(91, {});
    ASSERT_TRUE(many);
    EXPECT_EQ(many->at(89), "99");
    EXPECT_EQ(many->back(), ":0");
    EXPECT_EQ(AutoKeys(0, {}), Keys{});
}

TEST(NvAutoKeys, StopsAtTheLastPrintableFirstCharacter)
{
    // "1".."~" gives 78 first characters of ten keys each.
    const auto all = AutoKeys(780, {});
    ASSERT_TRUE(all);
    EXPECT_EQ(all->back(), "~9");
    EXPECT_FALSE(AutoKeys(781, {}));
    // Every candidate taken: the search ends instead of looping.
    Keys taken = *all;
    EXPECT_FALSE(AutoKeys(1, taken));
}

TEST(NvKeyRule, ExactlyTwoBytesNoNulNoDuplicate)
{
    EXPECT_EQ(KeyProblem("A1", {}), "");
    EXPECT_NE(KeyProblem("A", {}), "");
    EXPECT_NE(KeyProblem("ABC", {}), "");
    EXPECT_NE(KeyProblem(std::string_view("A\0", 2), {}), "");
    EXPECT_EQ(KeyProblem("A1", {"B2", "A1"}), kExistsAddress);
    EXPECT_EQ(KeyProblem("a1", {"A1"}), "");   // case-sensitive
}

} // namespace
} // namespace corvane::nv
