// The sentinel dialog's rules without the window: conversion and check
// order, the messages, the input mode switch and the character rule with
// its exception for codes left as they were.
#include "corvane/switches/MsrAdvanceModel.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

const std::string kLength = "Invalid value!\r\nSentinel length is over 10 ( length range : 1~10 )";
const std::string kHex = "Invalid value!\r\nInvalid HEXA Format!!";
const std::string kChar = "Invalid value!\r\nSentinel is invalid value (0x20~0x7F)";

MsrCodes filled()
{
    return {"%", ";", "+", "?", "?", "?"};
}

MsrAdvanceModel hexModel(const MsrCodes& codes = filled())
{
    MsrAdvanceModel m(kMsrOptionDynamic, codes);
    m.toggleHexInput();
    return m;
}

} // namespace

TEST(MsrAdvanceModel, CharacterModeLengthRules)
{
    MsrAdvanceModel m(kMsrOptionDynamic, filled());
    m.setCode(kTrack1StartSlot, "START1");
    m.setCode(kTrack1EndSlot, "");
    EXPECT_EQ(m.accept(), std::nullopt) << "an empty end code is allowed";
    EXPECT_EQ(m.resultCodes()[kTrack1StartSlot], "START1");
    EXPECT_EQ(m.resultCodes()[kTrack1EndSlot], "");

    m.setCode(kTrack2StartSlot, "ABCDEFGHIJK");  // 11
    EXPECT_EQ(m.accept(), kLength);
    m.setCode(kTrack2StartSlot, "ABCDEFGHIJ");   // 10
    EXPECT_EQ(m.accept(), std::nullopt);

    m.setCode(kTrack3StartSlot, "");
    EXPECT_EQ(m.accept(), kLength) << "a start code is required";
    m.setCode(kTrack3StartSlot, "+");
    m.setCode(kTrack3EndSlot, "12345678901");
    EXPECT_EQ(m.accept(), kLength) << "end codes are bounded too";
}

TEST(MsrAdvanceModel, RefusedOkKeepsTheResultOfTheLastAcceptedOne)
{
    MsrAdvanceModel m(kMsrOptionDynamic, filled());
    m.setCode(kTrack1StartSlot, "");
    EXPECT_EQ(m.accept(), kLength);
    EXPECT_EQ(m.resultCodes(), filled());
}

TEST(MsrAdvanceModel, HexadecimalConversion)
{
    MsrAdvanceModel m = hexModel();
    m.setCode(kTrack1StartSlot, "0A 1F 10 4C");
    m.setCode(kTrack2StartSlot, " 0a1f104c ");
    m.setCode(kTrack3StartSlot, "25");
    m.setCode(kTrack1EndSlot, "0A 1");   // a digit left over: empty, and an end code may be
    m.setCode(kTrack2EndSlot, "3F");
    m.setCode(kTrack3EndSlot, "");
    ASSERT_EQ(m.accept(), std::nullopt);
    EXPECT_EQ(m.resultCodes()[kTrack1StartSlot], std::string("\x0A\x1F\x10\x4C"));
    EXPECT_EQ(m.resultCodes()[kTrack2StartSlot], std::string("\x0A\x1F\x10\x4C"));
    EXPECT_EQ(m.resultCodes()[kTrack3StartSlot], "%");
    EXPECT_EQ(m.resultCodes()[kTrack1EndSlot], "");
    EXPECT_EQ(m.resultCodes()[kTrack2EndSlot], "?");

    m.setCode(kTrack2StartSlot, "0A 1");
    EXPECT_EQ(m.accept(), kLength) << "a start code that converts to nothing is empty";
}

TEST(MsrAdvanceModel, HexadecimalModeAcceptsEveryByteButNotBadDigits)
{
    MsrAdvanceModel m = hexModel();
    m.setCode(kTrack1StartSlot, "00 FF 80 7F");
    m.setCode(kTrack2StartSlot, "3B");
    m.setCode(kTrack3StartSlot, "2B");
    ASSERT_EQ(m.accept(), std::nullopt);
    EXPECT_EQ(m.resultCodes()[kTrack1StartSlot], std::string("\x00\xFF\x80\x7F", 4));

    m.setCode(kTrack2EndSlot, "0G");
    EXPECT_EQ(m.accept(), kHex);
    m.setCode(kTrack2EndSlot, "0 A");
    EXPECT_EQ(m.accept(), kHex) << "a pair has no blank inside";
    m.setCode(kTrack2EndSlot, "");
    // 11 pairs: converted, then refused for the length.
    m.setCode(kTrack3EndSlot, "01 02 03 04 05 06 07 08 09 0A 0B");
    EXPECT_EQ(m.accept(), kLength);
    m.setCode(kTrack3EndSlot, "41");
    m.setCode(kTrack2StartSlot, "41", false);
    EXPECT_EQ(m.accept(), kHex) << "a character no byte carries is no digit";
}

TEST(MsrAdvanceModel, ConversionComesBeforeEveryLengthCheck)
{
    // Track 1 start is too long, but a later code is not hexadecimal: the
    // whole conversion runs first, so the format message wins.
    MsrAdvanceModel m = hexModel();
    m.setCode(kTrack1StartSlot, "01 02 03 04 05 06 07 08 09 0A 0B");
    m.setCode(kTrack2StartSlot, "20");
    m.setCode(kTrack3StartSlot, "20");
    m.setCode(kTrack3EndSlot, "zz");
    EXPECT_EQ(m.accept(), kHex);
    m.setCode(kTrack3EndSlot, "");
    EXPECT_EQ(m.accept(), kLength);
}

TEST(MsrAdvanceModel, ChecksRunInTrackOrderStartsFirst)
{
    // Track 1 end too long and track 3 start holding a control character:
    // starts are checked before ends, so the character reason comes first.
    MsrAdvanceModel m(kMsrOptionDynamic, filled());
    m.setCode(kTrack1EndSlot, "12345678901");
    m.setCode(kTrack3StartSlot, "\x01");
    EXPECT_EQ(m.accept(), kChar);
    m.setCode(kTrack3StartSlot, "+");
    EXPECT_EQ(m.accept(), kLength);
}

TEST(MsrAdvanceModel, SwitchingTheInputModeClearsEveryCodeAndRelabels)
{
    MsrAdvanceModel m(kMsrOptionDynamic, filled());
    EXPECT_FALSE(m.hexInput());
    EXPECT_STREQ(m.inputModeLabel(), "ASCII (ex: \"START(1)\")");
    m.setCode(kTrack1StartSlot, "typed");
    m.toggleHexInput();
    EXPECT_TRUE(m.hexInput());
    EXPECT_STREQ(m.inputModeLabel(), "HEXA (ex: \\\"0A 1F 10 4C\\\")");
    for (int slot = 0; slot < kMsrCodeSlots; ++slot)
        EXPECT_EQ(m.code(slot), "") << slot;
    EXPECT_EQ(m.accept(), kLength) << "cleared start codes must be typed again";
    m.setCode(kTrack1StartSlot, "41");
    m.toggleHexInput();
    EXPECT_FALSE(m.hexInput());
    EXPECT_STREQ(m.inputModeLabel(), "ASCII (ex: \\\"START(1)\\\")");
    EXPECT_EQ(m.code(kTrack1StartSlot), "");
}

TEST(MsrAdvanceModel, CharacterRuleWithItsExceptionForCodesLeftAsRead)
{
    // What the printer sent may hold any byte; as long as nobody touches it,
    // it goes back unchanged.
    const MsrCodes read{std::string("\x0A\x1F", 2), std::string("\xE9", 1), "+", std::string("\x00", 1), "", ""};
    MsrAdvanceModel m(kMsrOptionDynamic, read);
    ASSERT_EQ(m.accept(), std::nullopt);
    EXPECT_EQ(m.resultCodes(), read);

    // Typed again exactly as read: still as it was.
    m.setCode(kTrack1StartSlot, std::string("\x0A\x1F", 2));
    EXPECT_EQ(m.accept(), std::nullopt);

    m.setCode(kTrack1StartSlot, std::string("\x0A", 1));
    EXPECT_EQ(m.accept(), kChar) << "a changed code is checked";
    m.setCode(kTrack1StartSlot, "%");
    m.setCode(kTrack2StartSlot, "caf\xE9");
    EXPECT_EQ(m.accept(), kChar) << "bytes above 0x7F are refused when typed";
    m.setCode(kTrack2StartSlot, " ~\x7F");
    EXPECT_EQ(m.accept(), std::nullopt) << "0x20 and 0x7F are the bounds, inclusive";
    m.setCode(kTrack2StartSlot, "?", false);
    EXPECT_EQ(m.accept(), kChar) << "characters beyond a byte are refused";
}

TEST(MsrAdvanceModel, OptionAndEnabledCodes)
{
    EXPECT_TRUE(MsrAdvanceModel(kMsrOptionDynamic, filled()).codesEnabled());
    EXPECT_FALSE(MsrAdvanceModel(kMsrOptionStatic, filled()).codesEnabled());
    EXPECT_FALSE(MsrAdvanceModel(kMsrOptionNone, filled()).codesEnabled());

    MsrAdvanceModel m(5, filled());
    EXPECT_EQ(m.option(), kMsrOptionUnset) << "a value read outside 0..2 selects nothing";
    EXPECT_FALSE(m.codesEnabled());
    ASSERT_EQ(m.accept(), std::nullopt);
    EXPECT_EQ(m.resultOption(), 5) << "no selection gives back what came in";
    m.setOption(kMsrOptionStatic);
    EXPECT_EQ(m.resultOption(), kMsrOptionStatic);
    m.setOption(kMsrOptionDynamic);
    EXPECT_TRUE(m.codesEnabled());
}
