// Records and datagrams of both modes, byte for byte.
#include "pavix/search/Datagrams.h"
#include "pavix/search/tests/test_support.h"

#include <gtest/gtest.h>

namespace pavix::search {
namespace {

using testing::bytesOf;
using testing::concat;
using testing::exampleEthernetRecord;
using testing::exampleWlanRecord;

TEST(DeviceRecord, DecodesEveryFieldBigEndianAndEncodesBackUnchanged)
{
    const Bytes bytes = exampleWlanRecord();
    const DeviceRecord r = DecodeRecord(bytes);
    EXPECT_EQ(r.mac, (MacAddress{0x00, 0x1d, 0x9a, 0x01, 0xbc, 0xef}));
    EXPECT_EQ(r.ip, (Ipv4{192, 168, 0, 10}));
    EXPECT_EQ(r.subnet, (Ipv4{255, 255, 255, 0}));
    EXPECT_EQ(r.gateway, (Ipv4{192, 168, 0, 1}));
    EXPECT_EQ(r.localPort, 9100);
    EXPECT_EQ(r.baudCode, 0xFF);
    EXPECT_EQ(r.firmwareMajor, 2);
    EXPECT_EQ(r.firmwareMinor, 4);
    EXPECT_EQ(r.dhcp, 0);
    EXPECT_EQ(r.inactivitySeconds, 300);
    EXPECT_EQ(r.https, 1);
    EXPECT_EQ(r.capability, 31);
    EXPECT_EQ(r.reserved, 0x5a);

    EXPECT_EQ(EncodeRecord(r, SearchMode::Wlan), bytes);
    EXPECT_EQ(EncodeRecord(r, SearchMode::Ethernet), exampleEthernetRecord());
}

TEST(DeviceRecord, BytesThatDidNotComeReadAsZero)
{
    const Bytes bytes = exampleWlanRecord();
    const DeviceRecord cut = DecodeRecord(ByteView(bytes).first(19)); // half of the port
    EXPECT_EQ(cut.localPort, 0x2300);
    EXPECT_EQ(cut.baudCode, 0);
    EXPECT_EQ(cut.capability, 0);
    EXPECT_EQ(DecodeRecord({}), DeviceRecord{});
}

TEST(SearchDatagrams, RequestsAndPortsOfBothModes)
{
    EXPECT_EQ(SearchRequest(SearchMode::Ethernet), bytesOf("FIND"));
    EXPECT_EQ(SearchRequest(SearchMode::Wlan), bytesOf("__[I_F]__[PRT_REG]"));
    EXPECT_EQ(DefaultPorts(SearchMode::Ethernet).remote, 48781);
    EXPECT_EQ(DefaultPorts(SearchMode::Ethernet).local, 48780);
    EXPECT_EQ(DefaultPorts(SearchMode::Wlan).remote, 3337);
    EXPECT_EQ(DefaultPorts(SearchMode::Wlan).local, 9000);
}

TEST(SearchDatagrams, EthernetAnswers)
{
    const Bytes full = concat(bytesOf("IMIN"), exampleEthernetRecord());
    ASSERT_EQ(full.size(), 31u);
    auto answer = ParseSearchAnswer(SearchMode::Ethernet, full);
    ASSERT_EQ(answer.kind, AnswerKind::Device);
    EXPECT_FALSE(answer.shortRecord);
    EXPECT_EQ(answer.record, DecodeRecord(exampleEthernetRecord()));

    // Extra bytes after the record do not become WLAN fields.
    Bytes longer = concat(full, Bytes{31, 0x5a});
    answer = ParseSearchAnswer(SearchMode::Ethernet, longer);
    EXPECT_EQ(answer.record.capability, 0);

    // 5 bytes are enough; the rest of the record is 0.
    answer = ParseSearchAnswer(SearchMode::Ethernet, bytesOf("IMIN\x07"));
    ASSERT_EQ(answer.kind, AnswerKind::Device);
    EXPECT_TRUE(answer.shortRecord);
    EXPECT_EQ(answer.record.mac[0], 7);
    EXPECT_EQ(answer.record.ip, Ipv4{});

    EXPECT_EQ(ParseSearchAnswer(SearchMode::Ethernet, bytesOf("IMIN")).kind, AnswerKind::Ignored);
    EXPECT_EQ(ParseSearchAnswer(SearchMode::Ethernet, bytesOf("FIND")).kind, AnswerKind::Ignored);
    EXPECT_EQ(ParseSearchAnswer(SearchMode::Ethernet, bytesOf("IMINE and more")).kind, AnswerKind::Device);
    EXPECT_EQ(ParseSearchAnswer(SearchMode::Ethernet, bytesOf("imin00000000000")).kind, AnswerKind::Ignored);
    EXPECT_EQ(ParseSearchAnswer(SearchMode::Ethernet, {}).kind, AnswerKind::Ignored);
}

TEST(SearchDatagrams, WlanAnswersAndTheShortDatagramThatEndsTheSearch)
{
    const Bytes full = concat(bytesOf("__[I_F]__[REG_RSP]"), exampleWlanRecord());
    ASSERT_EQ(full.size(), 47u);
    auto answer = ParseSearchAnswer(SearchMode::Wlan, full);
    ASSERT_EQ(answer.kind, AnswerKind::Device);
    EXPECT_EQ(answer.record, DecodeRecord(exampleWlanRecord()));

    for (const std::size_t size : {std::size_t{0}, std::size_t{4}, std::size_t{18}}) {
        EXPECT_EQ(ParseSearchAnswer(SearchMode::Wlan, ByteView(full).first(size)).kind, AnswerKind::EndsSearch)
            << size;
    }
    // Long enough but not an answer: ignored, the search goes on.
    EXPECT_EQ(ParseSearchAnswer(SearchMode::Wlan, bytesOf("__[I_F]__[PRT_REG]x")).kind, AnswerKind::Ignored);
}

// A WLAN answer of 19..46 bytes is zero-filled, never read past its end
// (nor from an earlier, longer datagram in the same buffer).
TEST(SearchDatagrams, AShortWlanAnswerIsZeroFilled)
{
    Bytes buffer = concat(bytesOf("__[I_F]__[REG_RSP]"), exampleWlanRecord());
    for (std::size_t size = 19; size < 47; ++size) {
        const auto answer = ParseSearchAnswer(SearchMode::Wlan, ByteView(buffer).first(size));
        ASSERT_EQ(answer.kind, AnswerKind::Device) << size;
        EXPECT_TRUE(answer.shortRecord);
        const Bytes decoded = EncodeRecord(answer.record, SearchMode::Wlan);
        for (std::size_t i = 0; i < kWlanRecordSize; ++i) {
            const std::uint8_t expected = 18 + i < size ? buffer[18 + i] : 0;
            ASSERT_EQ(decoded[i], expected) << "size " << size << " byte " << i;
        }
    }
}

TEST(SearchDatagrams, OnlyTheFirst512BytesOfADatagramAreUsed)
{
    Bytes big = concat(bytesOf("IMIN"), exampleEthernetRecord());
    big.resize(2000, 0xAA);
    EXPECT_EQ(ParseSearchAnswer(SearchMode::Ethernet, big).kind, AnswerKind::Device);
}

TEST(StoreDatagrams, EthernetCarriesRecordBytes0To25AndWlanBytes0To28)
{
    const DeviceRecord record = DecodeRecord(exampleWlanRecord());
    const Bytes ethernet = StoreRequest(SearchMode::Ethernet, record);
    ASSERT_EQ(ethernet.size(), 30u);
    EXPECT_EQ(Bytes(ethernet.begin(), ethernet.begin() + 4), bytesOf("SETT"));
    const Bytes source = exampleWlanRecord();
    EXPECT_EQ(Bytes(ethernet.begin() + 4, ethernet.end()), Bytes(source.begin(), source.begin() + 26));

    const Bytes wlan = StoreRequest(SearchMode::Wlan, record);
    ASSERT_EQ(wlan.size(), 47u);
    EXPECT_EQ(Bytes(wlan.begin(), wlan.begin() + 18), bytesOf("__[I_F]__[PRT_SET]"));
    EXPECT_EQ(Bytes(wlan.begin() + 18, wlan.end()), exampleWlanRecord());
}

// The documented acknowledgements are a bare "SETC" and an 18-byte SET_RSP;
// both are answers.
TEST(StoreDatagrams, TheShortestDocumentedAnswersAreAccepted)
{
    EXPECT_EQ(ParseStoreAnswer(SearchMode::Ethernet, bytesOf("SETC")), StoreAnswer::Stored);
    EXPECT_EQ(ParseStoreAnswer(SearchMode::Wlan, bytesOf("SETC")), StoreAnswer::Stored);
    EXPECT_EQ(ParseStoreAnswer(SearchMode::Wlan, bytesOf("__[I_F]__[SET_RSP]")), StoreAnswer::WlanStored);
    EXPECT_EQ(ParseStoreAnswer(SearchMode::Ethernet, bytesOf("SETC plus more")), StoreAnswer::Stored);

    EXPECT_EQ(ParseStoreAnswer(SearchMode::Ethernet, bytesOf("SET")), StoreAnswer::None);
    EXPECT_EQ(ParseStoreAnswer(SearchMode::Ethernet, bytesOf("__[I_F]__[SET_RSP]")), StoreAnswer::None);
    EXPECT_EQ(ParseStoreAnswer(SearchMode::Wlan, bytesOf("__[I_F]__[SET_RS")), StoreAnswer::None);
    EXPECT_EQ(ParseStoreAnswer(SearchMode::Wlan, bytesOf("IMIN")), StoreAnswer::None);
    EXPECT_EQ(ParseStoreAnswer(SearchMode::Wlan, {}), StoreAnswer::None);
}

} // namespace
} // namespace pavix::search
