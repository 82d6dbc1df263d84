#include "pavix/protocol/IfMessage.h"
#include "test_bytes.h"

#include <gtest/gtest.h>

namespace pavix {
namespace {

using test::B;
using test::Cat;

TEST(InternetChecksum, MatchesReferenceValues)
{
    // The classic worked example: words 0001 f203 f4f5 f6f7 sum to ddf2.
    EXPECT_EQ(InternetChecksum(Bytes{0x00, 0x01, 0xf2, 0x03, 0xf4, 0xf5, 0xf6, 0xf7}), 0x220d);
    // An odd last byte is the high byte of its word.
    EXPECT_EQ(InternetChecksum(Bytes{0x01}), 0xFEFF);
    // Carries fold back into the low bits.
    EXPECT_EQ(InternetChecksum(Bytes{0xFF, 0xFF, 0x00, 0x02}), 0xFFFD);
    EXPECT_EQ(InternetChecksum(Bytes{}), 0xFFFF);
}

TEST(InternetChecksum, BssRequestIsTagAndF000)
{
    const Bytes msg = BuildMessage(kTagBssReq);
    EXPECT_EQ(msg, Cat(B(kTagBssReq), Bytes{0xF0, 0x00}));
    EXPECT_TRUE(IsValidMessage(msg));
}

TEST(InternetChecksum, OddPayloadGetsOnePadByte)
{
    const Bytes msg = BuildMessage(kTagIfSuc, Bytes{0x41});
    ASSERT_EQ(msg.size(), 18u + 1 + 1 + 2);
    EXPECT_EQ(msg[19], 0x00);
    EXPECT_TRUE(IsValidMessage(msg));
    // The pad is part of what the checksum covers: dropping it breaks the
    // message even though the odd length would be padded again.
    Bytes unpadded(msg.begin(), msg.begin() + 19);
    unpadded.insert(unpadded.end(), msg.end() - 2, msg.end());
    EXPECT_FALSE(IsValidMessage(unpadded));
}

TEST(InternetChecksum, EveryFlippedBitIsCaught)
{
    const Bytes msg = BuildMessage(kTagSysRsp, B("0123456789abcdefXYZ"));
    ASSERT_TRUE(IsValidMessage(msg));
    for (std::size_t i = 0; i < msg.size(); ++i)
        for (int bit = 0; bit < 8; ++bit) {
            Bytes bad = msg;
            bad[i] ^= static_cast<std::uint8_t>(1 << bit);
            EXPECT_FALSE(IsValidMessage(bad)) << "byte " << i << " bit " << bit;
        }
}

TEST(InternetChecksum, MessageShorterThanTagAndChecksumIsInvalid)
{
    // FF FF sums to a zero checksum, yet it is no message.
    EXPECT_FALSE(IsValidMessage(Bytes{0xFF, 0xFF}));
    EXPECT_FALSE(IsValidMessage(Bytes{}));
    const Bytes msg = BuildMessage(kTagBssReq);
    EXPECT_FALSE(IsValidReply(msg, kTagBssRsp));
    EXPECT_TRUE(IsValidReply(msg, kTagBssReq));
    EXPECT_FALSE(IsValidReply(msg, kTagBssReq, msg.size() + 1));
    EXPECT_FALSE(HasTag(B("__[I_F]__"), kTagBssReq));
}

TEST(CertificateCrc32, CheckValue)
{
    EXPECT_EQ(CertificateCrc32(B("123456789")), 0x89A1897Fu);
    EXPECT_EQ(CertificateCrc32(Bytes{}), 0u);
    // Initial value 0 and no reflection: a single 01 is the polynomial.
    EXPECT_EQ(CertificateCrc32(Bytes{0x01}), 0x04C11DB7u);
}

TEST(CertificateChunk, LastThreeBytesAtOffset500)
{
    const Bytes chunk = BuildCertificateChunk(true, 500, Bytes{0xAA, 0xBB, 0xCC});
    ASSERT_EQ(chunk.size(), 33u);
    const Bytes head = Cat(Cat(B(kTagCertEnd), Bytes{0xF4, 0x01, 0x00, 0x00, 0x03, 0x00, 0x00, 0x00}),
                           Bytes{0xAA, 0xBB, 0xCC});
    EXPECT_TRUE(std::equal(head.begin(), head.end(), chunk.begin()));
    const std::uint32_t crc = CertificateCrc32(head);
    EXPECT_EQ(chunk[29], crc >> 24);
    EXPECT_EQ(chunk[30], (crc >> 16) & 0xFF);
    EXPECT_EQ(chunk[31], (crc >> 8) & 0xFF);
    EXPECT_EQ(chunk[32], crc & 0xFF);
    EXPECT_EQ(EncodeFrame(chunk).size(), 70u);
    EXPECT_TRUE(HasTag(BuildCertificateChunk(false, 0, Bytes{1}), kTagFwCert));
}

TEST(CertificateChunk, StartRequestAndRawAnswers)
{
    const auto ca = CertificateStartRequest(CertificateKind::Ca);
    EXPECT_EQ(Bytes(ca.begin(), ca.end()), (Bytes{0x1F, 0x57, 0x43, 0x81, 0x1D, 0x1F, 0x03}));
    EXPECT_EQ(CertificateStartRequest(CertificateKind::ClientKey)[3], 0x82);
    EXPECT_EQ(CertificateStartRequest(CertificateKind::ClientPem)[3], 0x83);

    EXPECT_TRUE(IsCertificateStartAnswer(Cat(Bytes{0x1F, 0x57, 0x4D}, B("STRT"))));
    EXPECT_FALSE(IsCertificateStartAnswer(Cat(Bytes{0x1F, 0x57, 0x4D}, B("STR"))));
    EXPECT_FALSE(IsCertificateStartAnswer(B("STRT")));
    EXPECT_TRUE(IsCertificateChunkAnswer(Cat(B("xyz"), B(kTagIfSuc))));
    EXPECT_FALSE(IsCertificateChunkAnswer(Cat(B("xyz"), B("__[I_F]__[IF__SU"))));
}

TEST(Framing, BssRequestFrameIsByteExact)
{
    const Bytes frame = RequestFrame(kTagBssReq);
    const Bytes expected =
        Cat(Cat(Bytes{0x1F, 0x57, 0x43}, B("5f5f5b495f465d5f5f5b4253535f5245515df000")), Bytes{0x03});
    EXPECT_EQ(frame, expected);
    EXPECT_EQ(frame.size(), 44u);
    EXPECT_EQ(RequestFrame(kTagSysReq).size(), 44u);
}

TEST(Framing, EveryByteValueRoundTrips)
{
    Bytes all;
    for (int v = 0; v < 256; ++v)
        all.push_back(static_cast<std::uint8_t>(v));
    const Bytes frame = EncodeFrame(all);
    ASSERT_EQ(frame.size(), 2 * all.size() + 4);
    for (std::size_t i = 3; i + 1 < frame.size(); ++i)
        EXPECT_TRUE((frame[i] >= '0' && frame[i] <= '9') || (frame[i] >= 'a' && frame[i] <= 'f')) << i;
    const auto back = DecodeReply(frame);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, all);
}

TEST(ReplyDecode, HeaderPairsAndEndGiveNBytes)
{
    // The header is not examined, not even a 03 inside it.
    const Bytes reply = Cat(Cat(Bytes{0x03, 0x00, 0x03}, B("00ff7a")), Bytes{0x03});
    const FrameDecode d = DecodeReplyFrame(reply);
    EXPECT_EQ(d.state, FrameState::Complete);
    EXPECT_EQ(d.used, reply.size());
    EXPECT_EQ(d.message, (Bytes{0x00, 0xFF, 0x7A}));
    // Header and end only: an empty message (which no reply check accepts).
    const auto empty = DecodeReply(Bytes{0x1F, 0x57, 0x4D, 0x03});
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->empty());
}

TEST(ReplyDecode, ForeignCharactersMakeTheReplyInvalid)
{
    for (std::string_view body : {"00FF", "0g", "0 ", "zz", "a\n", "0:"}) {
        const Bytes reply = Cat(Cat(Bytes{0x1F, 0x57, 0x4D}, B(body)), Bytes{0x03});
        EXPECT_EQ(DecodeReplyFrame(reply).state, FrameState::Invalid) << body;
        EXPECT_FALSE(DecodeReply(reply)) << body;
    }
    // Found as soon as it arrives, before any 03.
    EXPECT_EQ(DecodeReplyFrame(Cat(Bytes{0x1F, 0x57, 0x4D}, B("0A"))).state, FrameState::Invalid);
}

TEST(ReplyDecode, UpperCaseReplyOfAValidMessageIsRefused)
{
    Bytes frame = EncodeFrame(BuildMessage(kTagIfSuc));
    for (std::size_t i = 3; i + 1 < frame.size(); ++i)
        if (frame[i] >= 'a' && frame[i] <= 'f')
            frame[i] = static_cast<std::uint8_t>(frame[i] - 'a' + 'A');
    EXPECT_FALSE(DecodeReply(frame));
}

TEST(ReplyDecode, ShortAndUnfinishedReplies)
{
    for (const Bytes& shortReply : {Bytes{}, Bytes{0x1F}, Bytes{0x1F, 0x57}, Bytes{0x1F, 0x57, 0x4D}}) {
        EXPECT_EQ(DecodeReplyFrame(shortReply).state, FrameState::NeedMore);
        EXPECT_FALSE(DecodeReply(shortReply));
    }
    // No 03 yet: more may come; as a whole reply it is no message.
    const Bytes open = Cat(Bytes{0x1F, 0x57, 0x4D}, B("00ff"));
    EXPECT_EQ(DecodeReplyFrame(open).state, FrameState::NeedMore);
    EXPECT_FALSE(DecodeReply(open));
    // Half a pair before the 03.
    EXPECT_EQ(DecodeReplyFrame(Cat(Cat(Bytes{0x1F, 0x57, 0x4D}, B("00f")), Bytes{0x03})).state,
              FrameState::Invalid);
}

TEST(ReplyDecode, BytesAfterTheEndAreNotPartOfTheFrame)
{
    const Bytes reply = Cat(Cat(Bytes{0x1F, 0x57, 0x4D}, B("0102")), Bytes{0x03, 'x', 0x03});
    const FrameDecode d = DecodeReplyFrame(reply);
    EXPECT_EQ(d.state, FrameState::Complete);
    EXPECT_EQ(d.used, 8u);
    EXPECT_EQ(d.message, (Bytes{0x01, 0x02}));
    EXPECT_FALSE(DecodeReply(reply));
}

TEST(Opener, AnswerCheckIsLengthChecked)
{
    EXPECT_EQ(Bytes(kLinkOpener.begin(), kLinkOpener.end()), (Bytes{0x1F, 0x57, 0x43, 0x7F, 0x1D, 0x1F, 0x03}));
    EXPECT_TRUE(IsOpenerAnswer(Bytes{0x1F, 0x57, 0x4D, 0x7F}));
    EXPECT_TRUE(IsOpenerAnswer(Bytes{0x1F, 0x57, 0x4D, 0x7F, 0x1D, 0x1F, 0x03}));
    EXPECT_FALSE(IsOpenerAnswer(Bytes{0x1F, 0x57, 0x4D, 0x7E}));
    EXPECT_FALSE(IsOpenerAnswer(Bytes{0x1F, 0x57, 0x43, 0x7F}));
    // Three right bytes are not an answer: the fourth never came.
    EXPECT_FALSE(IsOpenerAnswer(Bytes{0x1F, 0x57, 0x4D}));
    EXPECT_FALSE(IsOpenerAnswer(Bytes{}));
}

} // namespace
} // namespace pavix
