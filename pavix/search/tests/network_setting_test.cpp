// The network setting form: opening, the typing rules, Save's checks in
// order, and the store exchange with its answers and time-outs.
#include "pavix/search/NetworkSetting.h"
#include "pavix/search/tests/test_support.h"

#include <gtest/gtest.h>

namespace pavix::search {
namespace {

using testing::bytesOf;
using testing::concat;
using testing::RecordingSender;
using testing::ScriptedArrivals;

DeviceList oneDevice(DeviceRecord record = DecodeRecord(testing::exampleWlanRecord()))
{
    DeviceList list;
    list.append(record);
    return list;
}

NetworkSettingModel openFirst(const DeviceList& list, SearchMode mode)
{
    auto opening = NetworkSettingModel::open(list, mode, 1);
    EXPECT_TRUE(opening.model.has_value());
    return *opening.model;
}

TEST(BaudTable, PositionsTextsAndCodes)
{
    const auto table = BaudTable();
    ASSERT_EQ(table.size(), 9u);
    const std::uint8_t codes[] = {0xA0, 0xD0, 0xE8, 0xF4, 0xFA, 0xFD, 0xFE, 0xFF, 0xBB};
    const char* texts[] = {"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200", "230400"};
    for (std::size_t i = 0; i < table.size(); ++i) {
        EXPECT_EQ(table[i].code, codes[i]);
        EXPECT_EQ(table[i].text, texts[i]);
        EXPECT_EQ(BaudPosition(codes[i]), static_cast<int>(i));
    }
    EXPECT_EQ(BaudCodeForRate("230400"), 0xBB);
    EXPECT_FALSE(BaudCodeForRate("300").has_value());
    EXPECT_FALSE(BaudPosition(0x00).has_value());
    EXPECT_EQ(BaudRateText(0xF4), "9600");
    EXPECT_EQ(BaudRateText(0x07), "Unknown (0x07)");
}

TEST(NetworkSettingOpening, ShowsTheRecordAndNoticesAPortOfZero)
{
    DeviceList list = oneDevice();
    auto opening = NetworkSettingModel::open(list, SearchMode::Wlan, 1);
    ASSERT_TRUE(opening.model);
    const NetworkSettingModel& m = *opening.model;
    EXPECT_EQ(opening.message, "");
    EXPECT_EQ(m.title(), "WLAN Configuration");
    EXPECT_EQ(m.ip, (Ipv4{192, 168, 0, 10}));
    EXPECT_EQ(m.portText, "9100");
    EXPECT_EQ(m.inactivityText, "300");
    EXPECT_EQ(m.firmwareText, "2.4");
    EXPECT_EQ(m.baudSelection(), 7);
    EXPECT_TRUE(m.baudListEnabled());
    EXPECT_TRUE(m.addressInputsEnabled());

    DeviceRecord r = list.records()[0];
    r.localPort = 0;
    r.dhcp = 1;
    r.firmwareMajor = r.firmwareMinor = 0;
    list.replace(1, r);
    opening = NetworkSettingModel::open(list, SearchMode::Ethernet, 1);
    ASSERT_TRUE(opening.model);
    EXPECT_EQ(opening.message, "Please confirm the IP and the Port.");
    EXPECT_EQ(opening.model->title(), "Ethernet Configuration");
    EXPECT_FALSE(opening.model->addressInputsEnabled());
    EXPECT_EQ(opening.model->firmwareText, "N/A");

    opening = NetworkSettingModel::open(list, SearchMode::Wlan, 2);
    EXPECT_FALSE(opening.model);
    EXPECT_EQ(opening.message, "Error : Fail to read Infomation list!");
}

TEST(NetworkSettingTyping, OutOfRangeValuesAreReplacedWithAMessage)
{
    DeviceList list = oneDevice();
    NetworkSettingModel m = openFirst(list, SearchMode::Wlan);

    EXPECT_EQ(m.editPort("32767").message, "");
    EXPECT_EQ(m.portText, "32767");
    const EditCheck port = m.editPort("40000");
    EXPECT_EQ(port.message, "Cannot set the port.\r\nPlease, retype port number. (0~32767)");
    EXPECT_EQ(m.portText, "9100");
    EXPECT_EQ(m.editPort("").message, "");
    EXPECT_EQ(m.portText, "");
    EXPECT_EQ(m.editPort("99999999999999999999").text, "9100");

    EXPECT_EQ(m.editInactivity("3600").message, "");
    const EditCheck time = m.editInactivity("3601");
    EXPECT_EQ(time.message, "Cannot set the time.\r\nPlease, retype time number. (0~3600)");
    EXPECT_EQ(m.inactivityText, "0");

    m.setDhcp(true);
    EXPECT_FALSE(m.addressInputsEnabled());
    m.setDhcp(false);
    EXPECT_TRUE(m.addressInputsEnabled());
}

TEST(NetworkSettingSave, NothingHappensWithAnEmptyPortOrTime)
{
    DeviceList list = oneDevice();
    NetworkSettingModel m = openFirst(list, SearchMode::Ethernet);
    m.portText.clear();
    EXPECT_EQ(m.save().kind, SaveDecision::Nothing);
    m.portText = "9100";
    m.inactivityText.clear();
    EXPECT_EQ(m.save().kind, SaveDecision::Nothing);
}

TEST(NetworkSettingSave, ForbiddenPortsAreRefusedAndReplacedBy9100)
{
    DeviceList list = oneDevice();
    for (const int port : {21, 23, 25, 80, 443, 3318}) {
        NetworkSettingModel m = openFirst(list, SearchMode::Ethernet);
        m.editPort(std::to_string(port));
        m.ip = {0, 0, 0, 0}; // the port check comes first
        const SaveDecision d = m.save();
        EXPECT_EQ(d.kind, SaveDecision::Refused) << port;
        EXPECT_EQ(d.message, "Don't use the port.\r\nPlease, retype port number.");
        EXPECT_TRUE(d.focusPort);
        EXPECT_EQ(m.portText, "9100");
    }
    NetworkSettingModel m = openFirst(list, SearchMode::Ethernet);
    m.editPort("8080");
    EXPECT_EQ(m.save().kind, SaveDecision::Send);
}

TEST(NetworkSettingSave, AddressZeroIsRefusedWithTheModesWordingEvenWithDhcp)
{
    DeviceList list = oneDevice();
    const DeviceRecord before = list.records()[0];
    NetworkSettingModel wlan = openFirst(list, SearchMode::Wlan);
    wlan.setDhcp(true);
    wlan.ip = {0, 0, 0, 0};
    const SaveDecision w = wlan.save();
    EXPECT_EQ(w.kind, SaveDecision::Refused);
    EXPECT_EQ(w.message, "Cannot set IP!\r\nPlease, retype IP.");
    EXPECT_FALSE(w.focusPort);

    NetworkSettingModel ethernet = openFirst(list, SearchMode::Ethernet);
    ethernet.ip = {0, 0, 0, 0};
    EXPECT_EQ(ethernet.save().message, "Cannot set the IP!\r\nPlease, retype a IP.");
    // A refused store leaves the list as the board reported it.
    EXPECT_EQ(list.records()[0], before);
}

TEST(NetworkSettingSave, TheDatagramCarriesTheEditedCopyAndTheListIsUntouched)
{
    DeviceList list = oneDevice();
    const DeviceRecord before = list.records()[0];
    NetworkSettingModel m = openFirst(list, SearchMode::Wlan);
    m.ip = {10, 0, 0, 50};
    m.subnet = {255, 0, 0, 0};
    m.gateway = {10, 0, 0, 1};
    m.editPort("9101");
    m.editInactivity("3600");
    m.setDhcp(true);
    m.selectBaud(3); // 9600
    const SaveDecision d = m.save();
    ASSERT_EQ(d.kind, SaveDecision::Send);
    const Bytes expected = concat(bytesOf("__[I_F]__[PRT_SET]"),
                                  Bytes{0x00, 0x1d, 0x9a, 0x01, 0xbc, 0xef, 10, 0, 0, 50, 255, 0, 0, 0, 10, 0,
                                        0, 1, 0x23, 0x8d, 0xF4, 2, 4, 1, 0x0e, 0x10, 1, 31, 0x5a});
    EXPECT_EQ(d.datagram, expected);
    EXPECT_EQ(d.pending.ip, (Ipv4{10, 0, 0, 50}));
    EXPECT_EQ(list.records()[0], before);

    NetworkSettingModel e = openFirst(list, SearchMode::Ethernet);
    const SaveDecision unchanged = e.save();
    ASSERT_EQ(unchanged.kind, SaveDecision::Send);
    EXPECT_EQ(unchanged.datagram, StoreRequest(SearchMode::Ethernet, before));
    EXPECT_EQ(unchanged.datagram.size(), 30u);
}

// A code the table does not know disables the list; Save keeps the code
// instead of writing 0.
TEST(NetworkSettingSave, AnUnknownBaudCodeIsKept)
{
    DeviceRecord r = DecodeRecord(testing::exampleWlanRecord());
    r.baudCode = 0x00;
    DeviceList list = oneDevice(r);
    NetworkSettingModel m = openFirst(list, SearchMode::Wlan);
    EXPECT_FALSE(m.baudListEnabled());
    EXPECT_FALSE(m.baudSelection().has_value());
    m.selectBaud(2); // a disabled list takes no selection
    EXPECT_FALSE(m.baudSelection().has_value());
    SaveDecision d = m.save();
    ASSERT_EQ(d.kind, SaveDecision::Send);
    EXPECT_EQ(d.pending.baudCode, 0x00);
    EXPECT_EQ(d.datagram[18 + 20], 0x00);

    r.baudCode = 0x42;
    list = oneDevice(r);
    m = openFirst(list, SearchMode::Ethernet);
    d = m.save();
    EXPECT_EQ(d.datagram[4 + 20], 0x42);

    // An enabled list without a selection keeps the code too.
    list = oneDevice();
    m = openFirst(list, SearchMode::Wlan);
    m.selectBaud(std::nullopt);
    EXPECT_EQ(m.save().pending.baudCode, 0xFF);
}

struct StoreRun {
    DeviceList list = oneDevice();
    DeviceRecord pending;
    RecordingSender sender;
    platform::ManualClock clock;
    ScriptedArrivals net{clock};

    explicit StoreRun(SearchMode which) : mode(which)
    {
        pending = list.records()[0];
        pending.ip = {10, 9, 8, 7};
    }

    platform::JobResult run(StoreJob& job) { return RunDatagramJob(job, clock, net.receiver()); }
    StoreJob job() { return StoreJob(mode, list, 1, StoreRequest(mode, pending), pending, sender.sender()); }

    SearchMode mode;
};

TEST(StoreJob, ABareSetcStoresInBothModesWithTheSameWording)
{
    for (const SearchMode mode : {SearchMode::Ethernet, SearchMode::Wlan}) {
        StoreRun s(mode);
        s.net.at(50, bytesOf("IMIN")); // not an answer to a store
        s.net.at(60, bytesOf("SETC"));
        StoreJob job = s.job();
        const auto result = s.run(job);
        EXPECT_EQ(result.end, platform::JobEnd::Ok);
        EXPECT_EQ(result.code, kStoreDone);
        EXPECT_EQ(result.message, "Setting just have finished!\r\nPlease research devices if lists were not refreshed.");
        EXPECT_EQ(s.clock.tickMs(), 60u);
        EXPECT_TRUE(job.stored());
        EXPECT_EQ(s.list.records()[0].ip, (Ipv4{10, 9, 8, 7}));
        ASSERT_EQ(s.sender.sent.size(), 1u);
        EXPECT_EQ(s.sender.sent[0], StoreRequest(mode, s.pending));
    }
}

TEST(StoreJob, An18ByteSetRspStoresInWlanMode)
{
    StoreRun s(SearchMode::Wlan);
    s.net.at(900, bytesOf("__[I_F]__[SET_RSP]"));
    StoreJob job = s.job();
    const auto result = s.run(job);
    EXPECT_EQ(result.code, kStoreDone);
    EXPECT_EQ(result.message,
              "WLAN Setting just have finished!\r\nPlease research devices if lists were not refreshed.");
    EXPECT_EQ(s.list.records()[0].ip, (Ipv4{10, 9, 8, 7}));
}

TEST(StoreJob, NoAnswerWithinTheWaitFailsAndLeavesTheList)
{
    for (const SearchMode mode : {SearchMode::Ethernet, SearchMode::Wlan}) {
        StoreRun s(mode);
        const DeviceRecord before = s.list.records()[0];
        const std::uint64_t wait = StoreWaitMs(mode);
        s.net.at(wait + 1, bytesOf("SETC")); // too late
        if (mode == SearchMode::Ethernet)
            s.net.at(100, bytesOf("__[I_F]__[SET_RSP]")); // not an Ethernet answer
        StoreJob job = s.job();
        const auto result = s.run(job);
        EXPECT_EQ(result.end, platform::JobEnd::Ok);
        EXPECT_EQ(result.code, kStoreTimedOut);
        EXPECT_EQ(result.message, "Fail to save your setting.\r\nPlease, configure one more again.");
        EXPECT_EQ(s.clock.tickMs(), wait);
        EXPECT_FALSE(job.stored());
        EXPECT_EQ(s.list.records()[0], before);
        // Later answers are ignored.
        EXPECT_FALSE(job.offer(bytesOf("SETC"), false));
        EXPECT_EQ(s.list.records()[0], before);
    }
    EXPECT_EQ(StoreWaitMs(SearchMode::Wlan), 1000u);
    EXPECT_EQ(StoreWaitMs(SearchMode::Ethernet), 10000u);
}

TEST(StoreJob, AnUnsentStoreFailsAtOnce)
{
    StoreRun s(SearchMode::Ethernet);
    s.sender.works = false;
    StoreJob job = s.job();
    const auto result = s.run(job);
    EXPECT_EQ(result.code, kStoreNotSent);
    EXPECT_EQ(result.message, "Fail to save your setting.\r\nPlease, configure one more again.");
    EXPECT_EQ(s.clock.tickMs(), 0u);
    EXPECT_FALSE(job.sendResult().error.empty());
}

} // namespace
} // namespace pavix::search
