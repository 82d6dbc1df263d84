#include "pavix/protocol/IfTables.h"

#include <gtest/gtest.h>

namespace pavix {
namespace {

TEST(EnumTables, KnownCodesReadTheirTexts)
{
    EXPECT_EQ(EnumText(kAuthenticationTable, 0), "Open System");
    EXPECT_EQ(EnumText(kAuthenticationTable, 5), "WPA2");
    EXPECT_EQ(EnumText(kCryptographTable, 5), "AES + TKIP");
    EXPECT_EQ(EnumText(kEapModeTable, 5), "NONE");
    EXPECT_EQ(EnumText(kIpAssignmentTable, 1), "Automatic Allocation(DHCP)");
    EXPECT_EQ(EnumText(kSwitchTable, 1), "Enable");
}

TEST(EnumTables, CodesPastTheTableReadUnknown)
{
    EXPECT_EQ(EnumText(kAuthenticationTable, 6), "Unknown (6)");
    EXPECT_EQ(EnumText(kCryptographTable, 255), "Unknown (255)");
    EXPECT_EQ(EnumText(kEapModeTable, 6), "Unknown (6)");
    EXPECT_EQ(EnumText(kSwitchTable, 2), "Unknown (2)");
    EXPECT_EQ(EnumText(kIpAssignmentTable, 2), "Unknown (2)");
    EXPECT_FALSE(KnownEnumText(kSwitchTable, 2));
}

TEST(EnumTables, TextsAndCodesAreInverse)
{
    for (const EnumTable* t : {&kAuthenticationTable, &kCryptographTable, &kNetworkModeTable,
                               &kIpAssignmentTable, &kEapModeTable, &kSwitchTable}) {
        for (unsigned code = 0; code < t->texts.size(); ++code) {
            const auto back = EnumCode(*t, EnumText(*t, code));
            ASSERT_TRUE(back) << t->name << " " << code;
            EXPECT_EQ(*back, code) << t->name;
        }
        EXPECT_FALSE(EnumCode(*t, "Unknown (9)")) << t->name;
    }
    // The EAP table and the cryptograph table both have a "NONE" of their own.
    EXPECT_EQ(*EnumCode(kCryptographTable, "NONE"), 0);
    EXPECT_EQ(*EnumCode(kEapModeTable, "NONE"), 5);
}

TEST(EnumTables, AnyNonzeroNetworkModeIsAdHoc)
{
    EXPECT_EQ(NetworkModeText(0), "Infra Network");
    EXPECT_EQ(NetworkModeText(1), "Adhoc");
    EXPECT_EQ(NetworkModeText(2), "Adhoc");
    EXPECT_EQ(NetworkModeText(255), "Adhoc");
    EXPECT_EQ(NetworkModeChoice(2), 1);
    EXPECT_EQ(NetworkModeChoice(0), 0);
    EXPECT_TRUE(IsAdHocMode(2));
    EXPECT_FALSE(IsAdHocMode(0));
}

} // namespace
} // namespace pavix
