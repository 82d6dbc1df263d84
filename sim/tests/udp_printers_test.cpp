// The simulated boards on UDP, read and written by the host's own datagram
// code (pavix/search): a second implementation of the layouts to check the
// boards against.
#include "sim/udp_printers.h"

#include "pavix/search/Datagrams.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;
namespace ps = pavix::search;

namespace {

sim::UdpPrinter printer(const std::string& description, int index = 0)
{
    sim::UdpPrinter p;
    std::string error;
    EXPECT_TRUE(sim::parseUdpPrinter(description, index, p, error)) << description << ": " << error;
    return p;
}

ps::ByteView view(const std::string& bytes)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}

std::string text(const ps::Bytes& bytes)
{
    return {bytes.begin(), bytes.end()};
}

const std::string kFind = "FIND";
const std::string kPrtReg = "__[I_F]__[PRT_REG]";

} // namespace

TEST(UdpPrinterOption, KeysLandAtTheirRecordOffsetsAsTheHostReadsThem)
{
    sim::UdpPrinters boards({printer("wlan,mac=02-00-00-aa-bb-cc,ip=10.1.2.3,subnet=255.0.0.0,gateway=10.0.0.1,"
                                     "port=9101,baud=bb,fw=2.7,dhcp=1,inactivity=300,https=1,cap=25,reserved=9")},
                            {});
    const auto sends = boards.handle(kPrtReg, "127.0.0.1:9000");
    ASSERT_EQ(sends.size(), 1u);
    ASSERT_EQ(sends[0].bytes.size(), 47u);
    const ps::SearchAnswer answer = ps::ParseSearchAnswer(ps::SearchMode::Wlan, view(sends[0].bytes));
    ASSERT_EQ(answer.kind, ps::AnswerKind::Device);
    EXPECT_FALSE(answer.shortRecord);
    const ps::DeviceRecord& r = answer.record;
    EXPECT_EQ(r.mac, (ps::MacAddress{0x02, 0, 0, 0xaa, 0xbb, 0xcc}));
    EXPECT_EQ(r.ip, (ps::Ipv4{10, 1, 2, 3}));
    EXPECT_EQ(r.subnet, (ps::Ipv4{255, 0, 0, 0}));
    EXPECT_EQ(r.gateway, (ps::Ipv4{10, 0, 0, 1}));
    EXPECT_EQ(r.localPort, 9101);
    EXPECT_EQ(r.baudCode, 0xbb);
    EXPECT_EQ(r.firmwareMajor, 2);
    EXPECT_EQ(r.firmwareMinor, 7);
    EXPECT_EQ(r.dhcp, 1);
    EXPECT_EQ(r.inactivitySeconds, 300);
    EXPECT_EQ(r.https, 1);
    EXPECT_EQ(r.capability, 25);
    EXPECT_EQ(r.reserved, 9);
}

TEST(UdpPrinterOption, DefaultsDifferPerBoardAndBadValuesAreRefused)
{
    const sim::UdpPrinter first = printer("ethernet", 0);
    const sim::UdpPrinter second = printer("ethernet", 1);
    EXPECT_EQ(first.record.size(), 27u);
    EXPECT_EQ(printer("wlan").record.size(), 29u);
    EXPECT_NE(first.record.substr(0, 10), second.record.substr(0, 10));
    EXPECT_EQ(first.storeAnswer, "SETC");
    EXPECT_EQ(printer("wlan").storeAnswer, "__[I_F]__[SET_RSP]");

    for (const char* bad : {"token", "ethernet,ip=1.2.3", "ethernet,ip=1.2.3.256", "ethernet,ip=1.2.3.4.5",
                            "ethernet,port=65536", "ethernet,baud=f", "ethernet,fw=1", "ethernet,cap=3",
                            "wlan,record=00", "ethernet,repeat=0", "ethernet,repeat=11", "ethernet,store=maybe",
                            "ethernet,delay=-1", "ethernet,colour=red", "ethernet,mac"}) {
        sim::UdpPrinter p;
        std::string error;
        EXPECT_FALSE(sim::parseUdpPrinter(bad, 0, p, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
    }
    sim::UdpStray stray;
    std::string error;
    EXPECT_TRUE(sim::parseUdpStray("41424344@250", stray, error));
    EXPECT_EQ(stray.bytes, "ABCD");
    EXPECT_EQ(stray.delayMs, 250u);
    EXPECT_FALSE(sim::parseUdpStray("414", stray, error));
    EXPECT_FALSE(sim::parseUdpStray("@5", stray, error));
    EXPECT_FALSE(sim::parseUdpStray("41@x", stray, error));
}

TEST(UdpPrinters, EachModeAnswersOnlyItsOwnSearchWithItsKnobs)
{
    sim::UdpPrinters boards({printer("ethernet,repeat=2,delay=40", 0), printer("wlan", 1),
                             printer("ethernet,cut=10", 2), printer("ethernet,pad=600", 3)},
                            {{"\x01\x02"s, 5}});
    const auto ethernet = boards.handle(kFind, "127.0.0.1:48780");
    ASSERT_EQ(ethernet.size(), 5u); // the stray, twice the first, the cut and the padded
    EXPECT_EQ(ethernet[0].bytes, "\x01\x02"s);
    EXPECT_EQ(ethernet[0].delayMs, 5u);
    EXPECT_EQ(ethernet[1].bytes, ethernet[2].bytes);
    EXPECT_EQ(ethernet[1].delayMs, 40u);
    EXPECT_EQ(ethernet[1].bytes.size(), 31u);
    EXPECT_EQ(ethernet[3].bytes.size(), 10u);
    EXPECT_EQ(ethernet[4].bytes.size(), 631u);
    const auto cut = ps::ParseSearchAnswer(ps::SearchMode::Ethernet, view(ethernet[3].bytes));
    EXPECT_EQ(cut.kind, ps::AnswerKind::Device);
    EXPECT_TRUE(cut.shortRecord);

    const auto wlan = boards.handle(kPrtReg, "127.0.0.1:9000");
    ASSERT_EQ(wlan.size(), 2u);
    EXPECT_EQ(ps::ParseSearchAnswer(ps::SearchMode::Wlan, view(wlan[1].bytes)).kind, ps::AnswerKind::Device);

    // A request with anything more is no request.
    EXPECT_TRUE(boards.handle("FINDX", "127.0.0.1:1").empty());
    const std::string report = boards.report();
    EXPECT_NE(report.find("udp.requests: 2\n"), std::string::npos) << report;
    EXPECT_NE(report.find("udp.request.1: ethernet 127.0.0.1:48780 46494e44\n"), std::string::npos);
    EXPECT_NE(report.find("udp.ignored: 1\nudp.ignored.1: 46494e4458\n"), std::string::npos);
}

TEST(UdpPrinters, AStoreIsTakenByTheBoardWithItsMacAndAnsweredAsConfigured)
{
    sim::UdpPrinter ethernet = printer("ethernet,mac=00:00:00:00:00:01,https=1", 0);
    sim::UdpPrinter other = printer("ethernet,mac=00:00:00:00:00:02,store=none", 1);
    sim::UdpPrinter wlan = printer("wlan,mac=00:00:00:00:00:01,store=setc,reserved=7", 2);
    sim::UdpPrinters boards({ethernet, other, wlan}, {});

    ps::DeviceRecord changed = ps::DecodeRecord(view(ethernet.record));
    changed.ip = {10, 0, 0, 9};
    changed.https = 0; // not carried by an Ethernet store
    const std::string store = text(ps::StoreRequest(ps::SearchMode::Ethernet, changed));
    ASSERT_EQ(store.size(), 30u);
    const auto answers = boards.handle(store, "127.0.0.1:48780");
    ASSERT_EQ(answers.size(), 1u);
    EXPECT_EQ(ps::ParseStoreAnswer(ps::SearchMode::Ethernet, view(answers[0].bytes)), ps::StoreAnswer::Stored);
    const ps::DeviceRecord now = ps::DecodeRecord(view(boards.printers()[0].record));
    EXPECT_EQ(now.ip, (ps::Ipv4{10, 0, 0, 9}));
    EXPECT_EQ(now.https, 1);
    EXPECT_EQ(boards.printers()[1].record, other.record);
    EXPECT_EQ(boards.printers()[2].record, wlan.record); // a WLAN board ignores an Ethernet store

    // The silent board takes the store without a word.
    ps::DeviceRecord second = ps::DecodeRecord(view(other.record));
    second.localPort = 9200;
    EXPECT_TRUE(boards.handle(text(ps::StoreRequest(ps::SearchMode::Ethernet, second)), "127.0.0.1:1").empty());
    EXPECT_EQ(ps::DecodeRecord(view(boards.printers()[1].record)).localPort, 9200);

    ps::DeviceRecord w = ps::DecodeRecord(view(wlan.record));
    w.capability = 31;
    const std::string wlanStore = text(ps::StoreRequest(ps::SearchMode::Wlan, w));
    ASSERT_EQ(wlanStore.size(), 47u);
    const auto wlanAnswers = boards.handle(wlanStore, "127.0.0.1:9000");
    ASSERT_EQ(wlanAnswers.size(), 1u);
    EXPECT_EQ(wlanAnswers[0].bytes, "SETC");
    EXPECT_EQ(ps::DecodeRecord(view(boards.printers()[2].record)).reserved, 7);

    const std::string report = boards.report();
    EXPECT_NE(report.find("udp.stores: 3\n"), std::string::npos) << report;
    EXPECT_NE(report.find("udp.stored: 3\n"), std::string::npos) << report;
    EXPECT_NE(report.find("udp.store.1: ethernet 53455454"), std::string::npos) << report;
}
