#include "pavix/protocol/BssTable.h"
#include "test_bytes.h"

#include <gtest/gtest.h>

namespace pavix {
namespace {

using test::B;
using test::Cat;

// A body as it arrives: entries, then two checksum-sized trailing bytes
// (the parser bounds its reads before them, whatever they hold).
Bytes WithChecksumRoom(Bytes entries)
{
    entries.push_back(0xEE);
    entries.push_back(0xEE);
    return entries;
}

Bytes Entry(std::string_view ssid, Bytes bssid, std::uint8_t mode, std::uint16_t rssi, std::uint8_t flags)
{
    Bytes e{0x00, static_cast<std::uint8_t>(ssid.size())};
    e = Cat(e, B(ssid));
    e.push_back(0x01);
    e.push_back(static_cast<std::uint8_t>(bssid.size()));
    e = Cat(e, bssid);
    e.push_back(mode);
    e.push_back(static_cast<std::uint8_t>(rssi >> 8));
    e.push_back(static_cast<std::uint8_t>(rssi));
    e.push_back(flags);
    return e;
}

const Bytes kMac1{0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
const Bytes kMac2{0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5};

TEST(BssBody, TwoEntriesWithAllFields)
{
    const Bytes body = WithChecksumRoom(
        Cat(Entry("office", kMac1, 0, 0xFFC4, kBssWpa2 | kBssRsn1), Entry("adhoc-7", kMac2, 1, 5, 0)));
    const BssTable t = ParseBssBody(body);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t.entries[0].ssid, "office");
    EXPECT_EQ(Bytes(t.entries[0].bssid.begin(), t.entries[0].bssid.end()), kMac1);
    EXPECT_FALSE(t.entries[0].adHoc());
    EXPECT_EQ(t.entries[0].rssi, -60);
    EXPECT_EQ(t.entries[0].security, kBssWpa2 | kBssRsn1);
    EXPECT_EQ(t.entries[1].ssid, "adhoc-7");
    EXPECT_TRUE(t.entries[1].adHoc());
    EXPECT_EQ(t.entries[1].rssi, 5);
}

TEST(BssBody, EncoderOutputParsesBack)
{
    std::vector<BssEntry> entries(3);
    entries[0] = {"a", {1, 2, 3, 4, 5, 6}, 0, -90, kBssWep64};
    entries[1] = {std::string(30, 'z'), {}, 2, 32767, 0x3F};
    entries[2] = {"", {9, 9, 9, 9, 9, 9}, 0, -32768, 0};
    const BssTable t = ParseBssBody(WithChecksumRoom(EncodeBssBody(entries)));
    EXPECT_EQ(t.entries, entries);
}

TEST(BssBody, TagAndChecksumOnlyIsAnEmptyTable)
{
    const auto t = ParseBssRsp(BuildMessage(kTagBssRsp));
    ASSERT_TRUE(t);
    EXPECT_EQ(t->size(), 0u);
}

TEST(BssBody, SsidLongerThan30EndsParsingKeepingEarlierEntries)
{
    Bytes tooLong = Entry(std::string(31, 'x'), kMac2, 0, 1, 0);
    const BssTable t = ParseBssBody(WithChecksumRoom(Cat(Cat(Entry("one", kMac1, 0, 1, 0), tooLong),
                                                         Entry("three", kMac1, 0, 1, 0))));
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t.entries[0].ssid, "one");
}

// Each body below is held in a vector of exactly its size, so a read past
// its end is an AddressSanitizer report, not a silent garbage byte.
TEST(BssBody, SsidLengthPastTheEndStops)
{
    Bytes body = Cat(Entry("one", kMac1, 0, 1, 0), Bytes{0x00, 30, 'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h'});
    const BssTable t = ParseBssBody(WithChecksumRoom(body));
    ASSERT_EQ(t.size(), 1u);
}

TEST(BssBody, BssidLength255PastTheEndStops)
{
    Bytes body = Cat(Entry("one", kMac1, 0, 1, 0), Bytes{0x00, 2, 'h', 'i', 0x01, 255, 1, 2, 3, 4, 5, 6, 7, 8});
    const BssTable t = ParseBssBody(WithChecksumRoom(body));
    ASSERT_EQ(t.size(), 1u);
}

TEST(BssBody, FixedBytesMayNotRunIntoTheChecksum)
{
    // The second entry's fixed part would need the two trailing bytes.
    Bytes body = Cat(Entry("one", kMac1, 0, 1, 0), Bytes{0x00, 1, 'x', 0x01, 6, 1, 2, 3, 4, 5, 6, 0x05, 0x00});
    const BssTable t = ParseBssBody(WithChecksumRoom(body));
    ASSERT_EQ(t.size(), 1u);
    // With the fixed part whole it is read.
    body = Cat(body, Bytes{0x10, 0x08});
    const BssTable t2 = ParseBssBody(WithChecksumRoom(body));
    ASSERT_EQ(t2.size(), 2u);
    EXPECT_EQ(t2.entries[1].mode, 5);
    EXPECT_EQ(t2.entries[1].rssi, 0x0010);
    EXPECT_EQ(t2.entries[1].security, kBssWpa2);
}

TEST(BssBody, ShortBssidIsZeroFilledLongOneTakesItsFirstSix)
{
    const BssTable shortOne = ParseBssBody(WithChecksumRoom(Entry("s", Bytes{0xAB, 0xCD, 0xEF}, 0, 1, 0)));
    ASSERT_EQ(shortOne.size(), 1u);
    EXPECT_EQ(Bytes(shortOne.entries[0].bssid.begin(), shortOne.entries[0].bssid.end()),
              (Bytes{0xAB, 0xCD, 0xEF, 0, 0, 0}));
    const BssTable longOne =
        ParseBssBody(WithChecksumRoom(Entry("l", Bytes{1, 2, 3, 4, 5, 6, 7, 8}, 3, 0xFFFF, kBssWpa)));
    ASSERT_EQ(longOne.size(), 1u);
    EXPECT_EQ(Bytes(longOne.entries[0].bssid.begin(), longOne.entries[0].bssid.end()), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(longOne.entries[0].mode, 3);
    EXPECT_EQ(longOne.entries[0].rssi, -1);
}

TEST(BssBody, TinyBodiesHoldNoEntry)
{
    for (std::size_t n = 0; n <= 7; ++n) {
        const Bytes body(n, 0x01);
        EXPECT_EQ(ParseBssBody(body).size(), 0u) << n;
    }
}

TEST(BssBody, AtMostOneHundredEntries)
{
    Bytes body;
    for (int i = 0; i < 150; ++i)
        body = Cat(body, Entry("n" + std::to_string(i), kMac1, 0, 1, 0));
    const BssTable t = ParseBssBody(WithChecksumRoom(body));
    ASSERT_EQ(t.size(), kMaxBssEntries);
    EXPECT_EQ(t.entries.back().ssid, "n99");
}

TEST(BssRsp, MessageChecks)
{
    const Bytes body = Entry("net", kMac1, 0, 0xFFB0, kBssWpa2);
    const Bytes msg = BuildMessage(kTagBssRsp, body);
    const auto t = ParseBssRsp(msg);
    ASSERT_TRUE(t);
    ASSERT_EQ(t->size(), 1u);
    EXPECT_EQ(t->entries[0].rssi, -80);

    Bytes bad = msg;
    bad[20] ^= 0x01;
    EXPECT_FALSE(ParseBssRsp(bad));
    EXPECT_FALSE(ParseBssRsp(BuildMessage(kTagBssReq, body)));
    EXPECT_FALSE(ParseBssRsp(B(kTagBssRsp)));
}

TEST(BssSecurity, FlagNamesInBitOrder)
{
    EXPECT_EQ(BssSecurityText(0), "No");
    EXPECT_EQ(BssSecurityText(kBssWpa | kBssWpa2), "WPA/WPA2");
    EXPECT_EQ(BssSecurityText(0x3F), "WEP64/WEP128/WPA/WPA2/RSN1/RSN2");
    EXPECT_EQ(BssSecurityText(0xC0), "No"); // bits without a name
    EXPECT_EQ(BssSecurityText(kBssRsn2 | 0x80, ", ", "-"), "RSN2");
    EXPECT_EQ(BssSecurityNames(kBssWep128).size(), 1u);
}

} // namespace
} // namespace pavix
