// The list's texts, the capability rules and what the buttons lead to.
#include "pavix/search/DeviceListModel.h"
#include "pavix/search/tests/test_support.h"

#include <gtest/gtest.h>

namespace pavix::search {
namespace {

DeviceRecord example()
{
    return DecodeRecord(testing::exampleWlanRecord());
}

DeviceRecord withCapability(std::uint8_t code)
{
    DeviceRecord r = example();
    r.capability = code;
    return r;
}

TEST(DeviceRows, ColumnTextsOfAConfiguredDevice)
{
    const DeviceRow row = MakeRow(3, example());
    EXPECT_EQ(row.columns(), (std::vector<std::string>{"3", "00:1d:9a:01:bc:ef", "192.168.0.10", "255.255.255.0",
                                                      "192.168.0.1", "9100", "2.4"}));
    EXPECT_EQ(row.capability, 31);
}

TEST(DeviceRows, UnconfiguredAddressesAndAMissingVersion)
{
    DeviceRecord r = example();
    r.ip = {0, 1, 2, 3};
    r.subnet = {0, 0, 0, 0};
    r.gateway = {10, 0, 0, 0};
    r.firmwareMajor = 0;
    r.firmwareMinor = 0;
    r.localPort = 65535;
    const DeviceRow row = MakeRow(1, r);
    EXPECT_EQ(row.ip, "Not Configuration");
    EXPECT_EQ(row.subnet, "Not Configuration");
    EXPECT_EQ(row.gateway, "10.0.0.0");
    EXPECT_EQ(row.version, "N/A");
    EXPECT_EQ(row.port, "65535");
    EXPECT_EQ(VersionText(0, 1), "0.1");
    EXPECT_EQ(VersionText(1, 0), "1.0");
    EXPECT_EQ(VersionText(10, 255), "10.255");
}

TEST(DeviceRows, NumberedFromOneInListOrderWithDuplicates)
{
    DeviceList list;
    list.append(example());
    list.append(example());
    DeviceRecord other = example();
    other.mac[5] = 0x01;
    list.append(other);
    const auto rows = MakeRows(list);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].no, "1");
    EXPECT_EQ(rows[1].mac, rows[0].mac);
    EXPECT_EQ(rows[2].no, "3");
    EXPECT_EQ(rows[2].mac, "00:1d:9a:01:bc:01");
    EXPECT_EQ(list.find(0), nullptr);
    EXPECT_EQ(list.find(4), nullptr);
    EXPECT_EQ(list.find(3)->mac[5], 0x01);
}

TEST(WebAddress, SchemeFollowsTheHttpsFlag)
{
    DeviceRecord r = example();
    EXPECT_EQ(WebAddress(r), "https://192.168.0.10");
    r.https = 0;
    EXPECT_EQ(WebAddress(r), "http://192.168.0.10");
    r.https = 0x80;
    r.ip = {0, 0, 0, 0};
    EXPECT_EQ(WebAddress(r), "https://0.0.0.0");
}

TEST(CapabilityButtons, TheTableOfCodes)
{
    const DeviceButtons off{};
    EXPECT_EQ(CapabilityButtons(0), off);
    EXPECT_EQ(CapabilityButtons(2), off);
    EXPECT_EQ(CapabilityButtons(1), (DeviceButtons{false, true, false, false}));
    EXPECT_EQ(CapabilityButtons(3), (DeviceButtons{false, true, false, false}));
    EXPECT_EQ(CapabilityButtons(4), (DeviceButtons{false, false, false, true}));
    EXPECT_EQ(CapabilityButtons(25), (DeviceButtons{true, true, true, false}));
    EXPECT_EQ(CapabilityButtons(31), (DeviceButtons{true, true, true, true}));
    for (const int code : {5, 7, 24, 26, 30, 32, 255})
        EXPECT_FALSE(CapabilityButtons(static_cast<std::uint8_t>(code)).has_value()) << code;
}

TEST(DeviceListModel, AnUnknownCapabilityKeepsTheButtonsOfThePreviousSelection)
{
    DeviceList list;
    list.append(withCapability(25));
    list.append(withCapability(7));
    list.append(withCapability(4));
    DeviceListModel model(SearchMode::Wlan);
    model.fill(list);
    EXPECT_EQ(model.selectedNumber(), 1);
    EXPECT_EQ(model.buttons(), (DeviceButtons{true, true, true, false}));
    model.select(1);
    EXPECT_EQ(model.selectedNumber(), 2);
    EXPECT_EQ(model.buttons(), (DeviceButtons{true, true, true, false}));
    model.select(2);
    EXPECT_EQ(model.buttons(), (DeviceButtons{false, false, false, true}));
    model.select(1);
    EXPECT_EQ(model.buttons(), (DeviceButtons{false, false, false, true}));
}

TEST(DeviceListModel, EthernetEnablesSettingAndWebWhateverTheRecordSays)
{
    DeviceList list;
    list.append(withCapability(0));
    DeviceListModel model(SearchMode::Ethernet);
    EXPECT_FALSE(model.wlanButtonsShown());
    EXPECT_EQ(model.buttons(), DeviceButtons{});
    model.fill(list);
    EXPECT_TRUE(model.buttons().setting);
    EXPECT_TRUE(model.buttons().web);
    EXPECT_FALSE(model.buttons().bssInfo);
}

TEST(DeviceListModel, AnEmptyListDisablesEveryDeviceButton)
{
    DeviceList list;
    list.append(withCapability(31));
    DeviceListModel model(SearchMode::Wlan);
    model.fill(list);
    EXPECT_EQ(model.buttons(), (DeviceButtons{true, true, true, true}));
    list.clear();
    model.fill(list);
    EXPECT_EQ(model.selectedNumber(), -1);
    EXPECT_EQ(model.buttons(), DeviceButtons{});
    EXPECT_TRUE(model.rows().empty());
}

TEST(DeviceListModel, ButtonsWithoutSelectionOrWithAGoneRecord)
{
    DeviceList list;
    DeviceListModel model(SearchMode::Wlan);
    model.fill(list);
    for (const ButtonAction& a : {model.setting(), model.web(list), model.bssInfo(list)}) {
        EXPECT_EQ(a.kind, ButtonAction::Message);
        EXPECT_EQ(a.text, "Please, select a device in list.");
    }

    list.append(example());
    list.append(example());
    model.fill(list);
    model.select(1);
    const ButtonAction setting = model.setting();
    EXPECT_EQ(setting.kind, ButtonAction::OpenSetting);
    EXPECT_EQ(setting.number, 2);
    const ButtonAction web = model.web(list);
    EXPECT_EQ(web.kind, ButtonAction::OpenWeb);
    EXPECT_EQ(web.text, "https://192.168.0.10");
    const ButtonAction bss = model.bssInfo(list);
    EXPECT_EQ(bss.kind, ButtonAction::OpenBssInfo);
    EXPECT_EQ(bss.text, "192.168.0.10");

    // A search since the fill left one device: number 2 is gone.
    DeviceList shorter;
    shorter.append(example());
    EXPECT_EQ(model.web(shorter).text, "Please, search a device again.");
    EXPECT_EQ(model.bssInfo(shorter).text, "Please, search a device again.");

    const ButtonAction cert = model.certificate();
    EXPECT_EQ(cert.kind, ButtonAction::Message);
    EXPECT_NE(cert.text.find("\"Serial/USB Configuration\""), std::string::npos);
    EXPECT_NE(cert.text.find("\"Certificate\""), std::string::npos);
}

} // namespace
} // namespace pavix::search
