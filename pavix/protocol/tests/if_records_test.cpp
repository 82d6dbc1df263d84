#include "pavix/protocol/IfRecords.h"
#include "test_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace pavix {
namespace {

using test::B;

// Every text field filled to its full width (so none is terminated), every
// number and code nonzero and distinct.
IfConfigRecord FullRecord()
{
    IfConfigRecord r;
    r.printerName = std::string(64, 'N');
    r.networkMode = 1;
    r.ipAssignment = 1;
    r.ipAddress = {192, 168, 7, 20};
    r.subnetMask = {255, 255, 252, 0};
    r.gateway = {192, 168, 4, 1};
    r.ssid = std::string(32, 'S');
    r.authentication = 3;
    r.cryptograph = 4;
    r.wepKey = std::string(26, 'w');
    r.pskKey = std::string(64, 'p');
    r.adhocChannel = 14;
    r.eapMode = 2;
    r.authId = std::string(32, 'i');
    r.authPassword = std::string(32, 'k');
    r.userId = std::string(32, 'u');
    r.userPassword = std::string(32, 'q');
    r.printerPort = 9100;
    r.https = 1;
    r.telnet = 1;
    r.ftp = 1;
    r.snmp = 1;
    r.setCommunity = std::string(16, 'W');
    r.getCommunity = std::string(16, 'R');
    r.trapCommunity = std::string(16, 'T');
    r.trapAddress = {10, 0, 0, 254};
    r.inactivityTime = 3600;
    return r;
}

bool AllAre(const IfConfigBlock& b, std::size_t offset, std::size_t width, std::uint8_t value)
{
    for (std::size_t i = offset; i < offset + width; ++i)
        if (b[i] != value)
            return false;
    return true;
}

TEST(IfConfigRecord, FullWidthFieldsSitAtTheirOffsets)
{
    const auto block = EncodeIfConfigRecord(FullRecord());
    ASSERT_TRUE(block);
    const IfConfigBlock& b = *block;
    EXPECT_TRUE(AllAre(b, 0, 64, 'N'));
    EXPECT_EQ(b[64], 0);
    EXPECT_EQ(b[65], 1);
    EXPECT_EQ(b[66], 1);
    EXPECT_EQ(b[67], 192);
    EXPECT_EQ(b[69], 7);
    EXPECT_EQ(b[70], 20);
    EXPECT_EQ(b[71], 255);
    EXPECT_EQ(b[74], 0);
    EXPECT_EQ(b[75], 192);
    EXPECT_EQ(b[78], 1);
    EXPECT_TRUE(AllAre(b, 79, 32, 'S'));
    EXPECT_EQ(b[111], 3);
    EXPECT_EQ(b[112], 4);
    EXPECT_TRUE(AllAre(b, 113, 26, 'w'));
    EXPECT_TRUE(AllAre(b, 139, 78, 0)); // behind the WEP key
    EXPECT_TRUE(AllAre(b, 217, 64, 'p'));
    EXPECT_EQ(b[281], 14);
    EXPECT_EQ(b[282], 2);
    EXPECT_TRUE(AllAre(b, 283, 32, 'i'));
    EXPECT_TRUE(AllAre(b, 315, 32, 'k'));
    EXPECT_TRUE(AllAre(b, 347, 32, 'u'));
    EXPECT_TRUE(AllAre(b, 379, 32, 'q'));
    EXPECT_EQ(b[411], 0x23); // 9100 big-endian
    EXPECT_EQ(b[412], 0x8C);
    EXPECT_TRUE(AllAre(b, 413, 131, 0));
    EXPECT_EQ(b[544], 1);
    EXPECT_EQ(b[547], 1);
    EXPECT_EQ(b[548], 0);
    EXPECT_TRUE(AllAre(b, 549, 16, 'W'));
    EXPECT_TRUE(AllAre(b, 565, 16, 'R'));
    EXPECT_TRUE(AllAre(b, 581, 16, 'T'));
    EXPECT_EQ(b[597], 10);
    EXPECT_EQ(b[600], 254);
    EXPECT_EQ(b[601], 0x0E); // 3600 big-endian
    EXPECT_EQ(b[602], 0x10);
}

TEST(IfConfigRecord, FullWidthUnterminatedFieldsRoundTrip)
{
    const IfConfigRecord r = FullRecord();
    const auto block = EncodeIfConfigRecord(r);
    ASSERT_TRUE(block);
    const auto back = DecodeIfConfigRecord(*block);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, r);
    // A full field ends at its width: the SSID does not take in the
    // authentication code that follows it, nor the name the mode.
    EXPECT_EQ(back->ssid.size(), 32u);
    EXPECT_EQ(back->printerName.size(), 64u);
    EXPECT_EQ(back->setCommunity.size(), 16u);
}

TEST(IfConfigRecord, ShortTextsAreZeroFilledAndReadToTheirZero)
{
    IfConfigRecord r;
    r.ssid = "lab";
    r.wepKey = "12345";
    const auto block = EncodeIfConfigRecord(r);
    ASSERT_TRUE(block);
    EXPECT_EQ((*block)[79], 'l');
    EXPECT_TRUE(AllAre(*block, 82, 29, 0));
    // Bytes after the zero inside a field are not part of the text.
    IfConfigBlock b = *block;
    b[90] = 'x';
    EXPECT_EQ(DecodeIfConfigRecord(b)->ssid, "lab");
}

TEST(IfConfigRecord, UnknownCodesAndUnlistedBytes)
{
    IfConfigRecord r;
    r.networkMode = 2;
    r.authentication = 9;
    r.cryptograph = 200;
    r.eapMode = 6;
    r.https = 7;
    const auto block = EncodeIfConfigRecord(r);
    ASSERT_TRUE(block);
    EXPECT_EQ(*DecodeIfConfigRecord(*block), r);
    // Unlisted bytes are sent as 0 and ignored when received.
    IfConfigBlock noisy = *block;
    noisy[64] = 0x55;
    noisy[500] = 0x55;
    noisy[548] = 0x55;
    EXPECT_EQ(*DecodeIfConfigRecord(noisy), r);
    EXPECT_TRUE(AllAre(*EncodeIfConfigRecord(*DecodeIfConfigRecord(noisy)), 413, 131, 0));
}

TEST(IfConfigRecord, TextsThatDoNotFitAreRefusedNotCut)
{
    IfConfigRecord r;
    r.ssid = std::string(33, 's');
    EXPECT_EQ(IfConfigRecordTextProblem(r), "SSID");
    EXPECT_FALSE(EncodeIfConfigRecord(r));
    EXPECT_FALSE(BuildIfSet(r));
    r.ssid.clear();
    r.trapCommunity = std::string("pub\0lic", 7);
    EXPECT_EQ(IfConfigRecordTextProblem(r), "trap community");
    r.trapCommunity = std::string(16, 't');
    EXPECT_TRUE(IfConfigRecordTextProblem(r).empty());
}

TEST(IfConfigRecord, DecodeNeedsTheWholeBlock)
{
    const auto block = EncodeIfConfigRecord(FullRecord());
    EXPECT_FALSE(DecodeIfConfigRecord(ByteView(block->data(), 602)));
    EXPECT_FALSE(DecodeIfConfigRecord(ByteView{}));
}

TEST(IfConfigRecord, SetAndCurMessagesAre624BytesAnd1252InAFrame)
{
    const auto set = BuildIfSet(FullRecord());
    ASSERT_TRUE(set);
    EXPECT_EQ(set->size(), 624u);
    EXPECT_TRUE(HasTag(*set, kTagIfSet));
    EXPECT_EQ(EncodeFrame(*set).size(), 1252u);

    const auto cur = BuildIfCur(FullRecord());
    ASSERT_TRUE(cur);
    const auto parsed = ParseIfCur(*cur);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, FullRecord());
    // And through the frame decoder, as the link delivers it.
    EXPECT_EQ(*ParseIfCur(*DecodeReply(EncodeFrame(*cur))), FullRecord());
}

TEST(IfConfigRecord, CurReplyNeedsTagRecordAndChecksum)
{
    // Tag and 601 bytes: long enough for "tag + record" if the checksum
    // were counted as the inactivity time. Its checksum is valid.
    const Bytes shortMsg = BuildMessage(kTagIfCur, Bytes(601, 0x11));
    ASSERT_TRUE(IsValidMessage(shortMsg));
    ASSERT_GE(shortMsg.size(), 621u);
    EXPECT_FALSE(ParseIfCur(shortMsg));

    // Exactly tag + 603 + checksum, no pad byte: long enough. Without the
    // pad the checksum straddles a word boundary (low byte of word 310,
    // high byte of the padded word 311), so it goes in byte-swapped.
    Bytes exact = B(kTagIfCur);
    const auto block = *EncodeIfConfigRecord(FullRecord());
    exact.insert(exact.end(), block.begin(), block.end());
    exact.push_back(0);
    exact.push_back(0);
    const std::uint16_t sum = InternetChecksum(exact);
    exact[exact.size() - 2] = static_cast<std::uint8_t>(sum);
    exact[exact.size() - 1] = static_cast<std::uint8_t>(sum >> 8);
    ASSERT_TRUE(IsValidMessage(exact));
    ASSERT_EQ(exact.size(), kIfCurMinSize);
    EXPECT_TRUE(ParseIfCur(exact));

    Bytes badSum = *BuildIfCur(FullRecord());
    badSum[100] ^= 1;
    EXPECT_FALSE(ParseIfCur(badSum));
    EXPECT_FALSE(ParseIfCur(*BuildIfSet(FullRecord())));
}

SystemInfo FullInfo()
{
    return {std::string(16, 'F'), std::string(32, 'D'), {0x00, 0x1A, 0x2B, 0xC3, 0xD4, 0xFE}};
}

TEST(SystemInfo, FullWidthRoundTripAndLayout)
{
    const auto block = EncodeSystemInfo(FullInfo());
    ASSERT_TRUE(block);
    EXPECT_EQ((*block)[15], 'F');
    EXPECT_EQ((*block)[16], 'D');
    EXPECT_EQ((*block)[47], 'D');
    EXPECT_EQ((*block)[48], 0x00);
    EXPECT_EQ((*block)[53], 0xFE);
    const auto back = DecodeSystemInfo(*block);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, FullInfo());
    EXPECT_EQ(FormatMac(back->mac), "00-1A-2B-C3-D4-FE");
    EXPECT_FALSE(DecodeSystemInfo(ByteView(block->data(), 53)));
    EXPECT_FALSE(EncodeSystemInfo({std::string(17, 'v'), "", {}}));
}

TEST(SystemInfo, SysRspNeedsTagBlockAndChecksum)
{
    const auto msg = BuildSysRsp(FullInfo());
    ASSERT_TRUE(msg);
    EXPECT_EQ(msg->size(), kSysRspMinSize);
    EXPECT_EQ(*ParseSysRsp(*msg), FullInfo());

    // 72 bytes with a valid checksum: its last two bytes would be read as
    // the MAC address's tail.
    const Bytes shortMsg = BuildMessage(kTagSysRsp, Bytes(52, 0x30));
    ASSERT_EQ(shortMsg.size(), 72u);
    ASSERT_TRUE(IsValidMessage(shortMsg));
    EXPECT_FALSE(ParseSysRsp(shortMsg));

    EXPECT_FALSE(ParseSysRsp(BuildMessage(kTagIfCur, *EncodeSystemInfo(FullInfo()))));
}

TEST(IfSuc, OnlyAValidSuccessMessage)
{
    EXPECT_TRUE(IsIfSuc(BuildMessage(kTagIfSuc)));
    Bytes bad = BuildMessage(kTagIfSuc);
    bad.back() ^= 0x80;
    EXPECT_FALSE(IsIfSuc(bad));
    EXPECT_FALSE(IsIfSuc(B(kTagIfSuc)));
    EXPECT_FALSE(IsIfSuc(BuildMessage(kTagIfCur)));
}

} // namespace
} // namespace pavix
