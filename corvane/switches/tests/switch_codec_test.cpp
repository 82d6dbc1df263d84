// The switch layout and the reply parsers, without a port.
#include "corvane/switches/CCommonTlvr.h"
#include "corvane/switches/SentinelCodes.h"
#include "corvane/switches/TlvrReplies.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

struct Codec : ::testing::Test {
    CCommonUtil util;
    CCommonTlvr r{util};

    std::string encode(int n, CommandForm form, std::uint32_t v, std::uint8_t m = '0')
    {
        SwitchText t{};
        if (!EncodeSwitch(n, SwitchContext{form, v, m}, r, t))
            return "<none>";
        return std::string(t.data(), t.size());
    }
    void decode(int n, CommandForm form, std::uint32_t v, const std::string& bits, std::uint8_t m = '0')
    {
        SwitchText t{};
        std::copy(bits.begin(), bits.end(), t.begin());
        ASSERT_TRUE(DecodeSwitch(n, SwitchContext{form, v, m}, t, r));
    }
};

TEST(FormRule, OnlyTheBsRangeSpeaksBs)
{
    EXPECT_EQ(FormForVersion(20999), CommandForm::Gs);
    EXPECT_EQ(FormForVersion(21000), CommandForm::Bs);
    EXPECT_EQ(FormForVersion(100999), CommandForm::Bs);
    EXPECT_EQ(FormForVersion(101000), CommandForm::Gs);
    EXPECT_EQ(FormForVersion(1040), CommandForm::Gs);
}

TEST_F(Codec, UndefinedPositionsAreLeftUnchangedExceptInTheZeroFilledSwitches)
{
    r.Density = 5;
    r.Speed = 1;
    r.LCharMode = 0;
    EXPECT_EQ(encode(1, CommandForm::Gs, 1040), "22210101");
    r.QrCode = 1;
    r.Pdf417 = 1;
    EXPECT_EQ(encode(3, CommandForm::Gs, 1040), "22221001");
    r.TimeOff = 127;
    EXPECT_EQ(encode(5, CommandForm::Gs, 1040), "21111111");
    r.TimeSave = 0xA5;
    EXPECT_EQ(encode(6, CommandForm::Gs, 1040), "10100101");
    r.MFI = 1;
    EXPECT_EQ(encode(0x49, CommandForm::Gs, 101000), "00000001");
    r.RfInterface = 2;
    EXPECT_EQ(encode(0x50, CommandForm::Gs, 101000), "00000010");
    r.RfInterface = 7;
    EXPECT_EQ(encode(0x50, CommandForm::Gs, 101000), "00000000");
    r.BlackMarkSensor = PackBlackMark('0', '1');
    EXPECT_EQ(encode(0x51, CommandForm::Gs, 101000), "00000001");
    // Switch 4 is never sent; the BS form has no 0x49..0x51.
    EXPECT_EQ(encode(4, CommandForm::Gs, 1040), "<none>");
    EXPECT_EQ(encode(0x49, CommandForm::Bs, 21000), "<none>");
}

TEST_F(Codec, CodePageBit5OnlyFromVersion21000)
{
    r.CodePage = 0x2B; // 101011
    EXPECT_EQ(encode(2, CommandForm::Gs, 20999), "01011222");
    EXPECT_EQ(encode(2, CommandForm::Bs, 21000), "01011122");
    decode(2, CommandForm::Gs, 20000, "01011100");
    EXPECT_EQ(r.CodePage, 11);
    decode(2, CommandForm::Bs, 21000, "01011100");
    EXPECT_EQ(r.CodePage, 43);
}

TEST_F(Codec, MsrNibbleChoiceByModeByteVersionAndDirection)
{
    r.Msr = 5;
    EXPECT_EQ(encode(7, CommandForm::Gs, 11061, '9'), "01102222");
    EXPECT_EQ(encode(7, CommandForm::Gs, 11060, '9'), "22220101");
    EXPECT_EQ(encode(7, CommandForm::Gs, 11061, '8'), "22220101");
    // Writes need the version in both forms; a BS printer is above 11061.
    EXPECT_EQ(encode(7, CommandForm::Bs, 21000, 'P'), "01102222");
    decode(7, CommandForm::Gs, 11061, "01100000", '9');
    EXPECT_EQ(r.Msr, 5);
    decode(7, CommandForm::Gs, 1040, "01100011", '9');
    EXPECT_EQ(r.Msr, 3) << "low nibble below 11061";
    // The BS read looks at the mode byte alone.
    EXPECT_TRUE(MsrHighNibble(SwitchContext{CommandForm::Bs, 1040, '9'}, true));
    EXPECT_FALSE(MsrHighNibble(SwitchContext{CommandForm::Bs, 1040, '9'}, false));
    decode(7, CommandForm::Gs, 11061, "00000000", '9');
    EXPECT_EQ(r.Msr, -1) << "a zero high nibble reads as -1";
    EXPECT_EQ(encode(7, CommandForm::Gs, 11061, '9'), "00002222") << "and writes back as it was";
}

TEST_F(Codec, SwitchEightFontAndSentinelByFormAndVersion)
{
    r.FontType = 2;
    r.Sentinel = 1;
    r.Service = 1;
    r.BeepLowBat = 0;
    r.BeepPaper = 1;
    EXPECT_EQ(encode(8, CommandForm::Gs, 101000), "20110110");
    EXPECT_EQ(encode(8, CommandForm::Gs, 100000), "2011011" "2") << "FontType 2 below 101000: d7 1, d8 2";
    EXPECT_EQ(encode(8, CommandForm::Gs, 21020), "22210112") << "no sentinel bits below 21021";
    r.Sentinel = 2;
    EXPECT_EQ(encode(8, CommandForm::Bs, 21021), "21010112");
    r.FontType = 3;
    EXPECT_EQ(encode(8, CommandForm::Gs, 101000), "21010100") << "only 0..2 have a two-bit code";

    decode(8, CommandForm::Gs, 101000, "01011011");
    EXPECT_EQ(r.Sentinel, 2);
    EXPECT_EQ(r.Service, 1);
    EXPECT_EQ(r.BeepLowBat, 1);
    EXPECT_EQ(r.BeepPaper, 0);
    EXPECT_EQ(r.FontType, 3);
    r.Sentinel = 7;
    decode(8, CommandForm::Bs, 21021, "00100011");
    EXPECT_EQ(r.FontType, 1) << "BS reads d7 alone";
    EXPECT_EQ(r.Sentinel, 7) << "BS does not read the sentinel option";
    decode(8, CommandForm::Gs, 21020, "01100000");
    EXPECT_EQ(r.Sentinel, 7) << "nor does GS below 21021";
}

TEST_F(Codec, RfAndBlackMarkReads)
{
    decode(0x50, CommandForm::Gs, 101000, "00000001");
    EXPECT_EQ(r.RfInterface, 1);
    decode(0x50, CommandForm::Gs, 101000, "00000011");
    EXPECT_EQ(r.RfInterface, 2);
    decode(0x50, CommandForm::Gs, 101000, "00000000");
    EXPECT_EQ(r.RfInterface, 0);
    decode(0x51, CommandForm::Gs, 101000, "00000010");
    EXPECT_EQ(r.BlackMarkSensor, PackBlackMark('1', '0'));
    EXPECT_EQ(r.BlackMarkSensor & 0xFF, '1');
    EXPECT_FALSE(IsValidBlackMarkPair(0));
    EXPECT_FALSE(IsValidBlackMarkPair(PackBlackMark('1', '1')));
}

TEST(Builders, SerialBaudBluetoothAndFactorySequences)
{
    CCommonUtil util;
    CCommonTlvr r{util};
    EXPECT_EQ(BaudText(1200), "115200");
    EXPECT_EQ(BaudText(57600), "57600");
    r.Databit = 7;
    r.Parity = 2;
    EXPECT_EQ(SerialItemData(r, 4), (std::vector<std::uint8_t>{'7'}));
    EXPECT_EQ(SerialItemData(r, 2), (std::vector<std::uint8_t>{'2'}));

    r.BtSecurity = 1;
    r.BtConnectionMode = 2;
    r.BtPinCode = "0000";
    r.BtDeviceName = "PRN";
    std::vector<std::uint8_t> bt;
    ASSERT_TRUE(BuildBluetoothCommand(r, bt));
    EXPECT_EQ(std::string(bt.begin(), bt.end()), "\x1F\x1F\x70" "13" "0000\r" "PRN\r");
    r.BtDeviceName = std::string(87, 'N'); // 3 + 2 + 4 + 1 + 87 + 1 = 98
    EXPECT_TRUE(BuildBluetoothCommand(r, bt));
    r.BtDeviceName = std::string(90, 'N');
    EXPECT_FALSE(BuildBluetoothCommand(r, bt)) << "over 100 bytes is refused, not cut";
    r.BtDeviceName = "A\rB";
    EXPECT_FALSE(BuildBluetoothCommand(r, bt));
    r.BtDeviceName = std::string("A\0B", 3);
    EXPECT_FALSE(BuildBluetoothCommand(r, bt));
    r.BtDeviceName = "ok";
    r.BtConnectionMode = 3;
    EXPECT_FALSE(BuildBluetoothCommand(r, bt));

    EXPECT_EQ(FactorySequence(kModelZ400, 1040).size(), 178u);
    EXPECT_EQ(FactorySequence(kModelZ400, 20999).size(), 178u);
    EXPECT_EQ(FactorySequence(kModelZ400, 21000).size(), 108u);
    EXPECT_EQ(FactorySequence(kModelVX440, 1040).size(), 108u) << "the VX 440 always gets the BS form";
    EXPECT_EQ(FactorySequence(kModelZ400II, 101000).size(), 252u);
    EXPECT_EQ(FactorySequence(kModelZ600, 101000).size(), 250u);
    EXPECT_EQ(FactorySequence(kModelZ800, 101000).size(), 250u);
    EXPECT_TRUE(FactorySequence(kModelZ400W, 101000).empty());

    const auto seq = FactorySequence(kModelZ400, 21000);
    const std::string s(seq.begin(), seq.end());
    EXPECT_EQ(s.substr(0, 12), std::string("\x08\x5E\x45\x01\x00\x01\x08\x5E\x45\x39\x00\x03", 12));
    EXPECT_EQ(s.substr(12, 56), "00001100000000002222000100001111000010100111000000000000");
    EXPECT_EQ(s.substr(68, 15), std::string("\x08\x5E\x45\x0A\x00\x0B" "115200008", 15));
    const auto vx = FactorySequence(kModelVX440, 1040);
    EXPECT_EQ(std::string(vx.end() - 12, vx.end()), std::string("9274\rVX 440\r\0\0", 14).substr(2));
    const auto z6 = FactorySequence(kModelZ600, 101000);
    const std::string z(z6.begin(), z6.end());
    EXPECT_NE(z.find(std::string("\x08\x4D\x53\x06\x00" "33END3", 11)), std::string::npos);
    EXPECT_EQ(z.substr(8, 15), std::string("\x1D\x28\x45\x0B\x00\x03\x01" "00001100", 15));
}

// ---- reply parsers ------------------------------------------------------------

std::vector<std::uint8_t> b(std::string_view s)
{
    return {s.begin(), s.end()};
}

TEST(Replies, SwitchReplyNeedsExactlyElevenValidBytes)
{
    const auto ok = b(std::string("\x37\x21" "01010101\0", 11));
    EXPECT_EQ(ParseSwitchReply(ok).status, ReplyStatus::Complete);
    EXPECT_EQ(ParseSwitchReply(ReplyBytes(ok.data(), 10)).status, ReplyStatus::NeedMore);
    EXPECT_EQ(ParseSwitchReply(b(std::string("\x37\x21" "0101010/\0", 11))).status, ReplyStatus::Invalid);
    EXPECT_EQ(ParseSwitchReply(b(std::string("\x37\x22" "01010101\0", 11))).status, ReplyStatus::Invalid);
    EXPECT_EQ(ParseSwitchReply(b(std::string("\x37\x21" "01010101X", 11))).status, ReplyStatus::Invalid);
    EXPECT_EQ(ParseAckReply(b(std::string("\x37\x20\0", 3))), ReplyStatus::Complete);
    EXPECT_EQ(ParseAckReply(b(std::string("\x37\x20", 2))), ReplyStatus::NeedMore);
    EXPECT_EQ(ParseAckReply(b(std::string("\x37\x21\0", 3))), ReplyStatus::Invalid);
}

TEST(Replies, SerialDataMustBeInRange)
{
    const auto parse = [](std::string_view s, int item) { return ParseSerialReply(b(s), item, true); };
    EXPECT_EQ(parse(std::string("\x37\x33" "1\x1F" "9600\0", 9), 1).value, 9600);
    EXPECT_EQ(parse(std::string("\x37\x33" "2\x1F" "2\0", 6), 2).value, 2);
    EXPECT_EQ(parse(std::string("\x37\x33" "4\x1F" "7\0", 6), 4).value, 7);
    for (auto [reply, item] : std::initializer_list<std::pair<std::string, int>>{
             {std::string("\x37\x33" "2\x1F" "/\0", 6), 2},  // '/' - '0' would be -1
             {std::string("\x37\x33" "2\x1F" "3\0", 6), 2},
             {std::string("\x37\x33" "3\x1F" "2\0", 6), 3},
             {std::string("\x37\x33" "4\x1F" "9\0", 6), 4},
             {std::string("\x37\x33" "1\x1F\0", 5), 1},       // no baud digit
             {std::string("\x37\x33" "1\x1F", 4), 1},         // no data byte at all
             {std::string("\x37\x33" "2\x1F" "1\0", 6), 3},   // another item's reply
             {std::string(), 1},
         })
        EXPECT_EQ(parse(reply, item).status, ReplyStatus::Invalid) << item;
    EXPECT_EQ(ParseSerialReply(b("\x37\x33" "1\x1F" "96"), 1, false).status, ReplyStatus::NeedMore);
    EXPECT_EQ(ParseSerialReply(b("\x37\x33" "1\x1F" "9600000"), 1, false).status, ReplyStatus::NeedMore);
    EXPECT_EQ(ParseSerialReply(b("\x37\x33" "1\x1F" "96000000"), 1, false).status, ReplyStatus::Invalid)
        << "twelve bytes without an end are too many";
}

TEST(Replies, RfNeedsEveryCharacterAfterItsHeader)
{
    EXPECT_EQ(ParseRfReply(b(std::string("xx\x37\x21" "00000001\0", 13)), true).status, ReplyStatus::Complete);
    EXPECT_EQ(ParseRfReply(b(std::string("\x37\x21" "0000000\0", 10)), true).code, 108) << "NUL before d8";
    EXPECT_EQ(ParseRfReply(b(std::string("\x37\x21" "0000", 6)), true).code, 108) << "short";
    EXPECT_EQ(ParseRfReply(b(std::string("garbage\0", 8)), true).code, 108);
    EXPECT_EQ(ParseRfReply(b(std::string("\x37\x21" "000000x1\0", 11)), true).code, 109);
    EXPECT_EQ(ParseRfReply(b(std::string("\x37\x21" "000", 5)), false).status, ReplyStatus::NeedMore);
}

TEST(Replies, SentinelCodesSplitAtTheSeparator)
{
    auto r = ParseSentinelReply(b(std::string("\x37\x81" "1AB\x1F" "C\0", 8)), 1, false);
    EXPECT_EQ(r.status, ReplyStatus::Complete);
    EXPECT_TRUE(r.matched);
    EXPECT_EQ(r.start, "AB");
    EXPECT_EQ(r.end, "C");
    r = ParseSentinelReply(b(std::string("\x37\x81" "2AB\x1F" "C\0", 8)), 1, false);
    EXPECT_FALSE(r.matched) << "another track's reply is ignored";
    r = ParseSentinelReply(b("\x37\x81"), 1, true);
    EXPECT_FALSE(r.matched) << "no track byte: ignored";
    r = ParseSentinelReply(b(std::string("zz\x37\x81" "3\x1F\0", 7)), 3, false);
    EXPECT_TRUE(r.matched);
    EXPECT_TRUE(r.start.empty());
    EXPECT_TRUE(r.end.empty());
}

TEST(Replies, BluetoothItemsAndTheirRanges)
{
    auto r = ParseBluetoothReply(b(std::string("\x37\x42" "dPRN\0", 7)), 'd', false);
    EXPECT_EQ(r.status, ReplyStatus::Complete);
    EXPECT_EQ(r.text, "PRN");
    EXPECT_EQ(ParseBluetoothReply(b(std::string("\x37\x42" "x\0", 4)), 'd', true).code, 109);
    EXPECT_EQ(ParseBluetoothReply(b(std::string("\x37\x42" "c3\0", 5)), 'c', true).value, 2);
    EXPECT_EQ(ParseBluetoothReply(b(std::string("\x37\x42" "c4\0", 5)), 'c', true).code, 109);
    EXPECT_EQ(ParseBluetoothReply(b(std::string("\x37\x42" "c\0", 4)), 'c', true).code, 109);
    EXPECT_EQ(ParseBluetoothReply(b(std::string("\x37\x42" "s1\0", 5)), 's', true).value, 1);
    EXPECT_EQ(ParseBluetoothReply(b(std::string("\x37\x42" "s2\0", 5)), 's', true).code, 109);
    EXPECT_EQ(ParseBluetoothReply(b("\x37\x42"), 'k', true).code, 109) << "two bytes: no item";
    EXPECT_EQ(ParseBluetoothReply(b("\x37"), 'k', true).code, 301);
    EXPECT_EQ(ParseBluetoothReply(b(std::string("\x37\x42" "kPIN\0", 7)), 'd', true).code, 109)
        << "a late reply for another item does not land in this one";
}

TEST(SentinelInput, HexConversionAndLengthRules)
{
    EXPECT_EQ(HexToSentinelCode("0A 1F 10 4C"), std::string("\x0A\x1F\x10\x4C"));
    EXPECT_EQ(HexToSentinelCode("  0a1f104c "), std::string("\x0A\x1F\x10\x4C"));
    EXPECT_EQ(HexToSentinelCode("0A 1"), "");
    EXPECT_EQ(HexToSentinelCode("0G"), sentinel_text::kErrorMarker);
    EXPECT_EQ(HexToSentinelCode("0 A"), sentinel_text::kErrorMarker) << "no blank inside a pair";
    EXPECT_FALSE(SentinelCodeProblem("START1", true));
    EXPECT_FALSE(SentinelCodeProblem("", false));
    EXPECT_TRUE(SentinelCodeProblem("", true));
    EXPECT_TRUE(SentinelCodeProblem("12345678901", false));
    EXPECT_EQ(*SentinelCodeProblem("12345678901", true), sentinel_text::kBadLength);
}

} // namespace
