#include "corvane/nv/CCommonNv.h"

#include <gtest/gtest.h>

namespace corvane {
namespace {

TEST(NvFamily, IndexedOnlyFrom21000Below101000)
{
    EXPECT_FALSE(IsIndexedFamily(20999));
    EXPECT_TRUE(IsIndexedFamily(21000));
    EXPECT_TRUE(IsIndexedFamily(100999));
    EXPECT_FALSE(IsIndexedFamily(101000));
    EXPECT_FALSE(IsIndexedFamily(1040));
}

} // namespace
} // namespace corvane
