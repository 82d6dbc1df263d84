// The access-point rows and the environment the windows read.
#include "pavix/gui/BssRows.h"
#include "pavix/gui/PavixCommon.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

using namespace pavix;
using namespace pavix::gui;

namespace {

BssEntry entry(std::string ssid, std::uint8_t last, std::uint8_t mode, std::int16_t rssi, std::uint8_t flags)
{
    BssEntry e;
    e.ssid = std::move(ssid);
    e.bssid = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, last};
    e.mode = mode;
    e.rssi = rssi;
    e.security = flags;
    return e;
}

search::EnvLookup env(const std::map<std::string, std::string>& values)
{
    return [values](const char* name) -> const char* {
        const auto it = values.find(name);
        return it == values.end() ? nullptr : it->second.c_str();
    };
}

} // namespace

TEST(BssRows, ColumnsAsShown)
{
    BssTable table;
    table.entries = {entry("50% off", 0xfe, 0, -48, 0x0c), entry("", 0x01, 2, 12, 0x00),
                     entry("all", 0x02, 0, -1, 0x3f)};
    const std::vector<BssRow> rows = MakeBssRows(table);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].columns(), (std::array<std::string, 6>{"1", "50% off", "00-1A-2B-3C-4D-FE", "Infrastructure",
                                                             "-48", "WPA/WPA2"}));
    EXPECT_EQ(rows[1].columns(), (std::array<std::string, 6>{"2", "", "00-1A-2B-3C-4D-01", "Ad hoc", "12", "No"}));
    EXPECT_EQ(rows[2].security, "WEP64/WEP128/WPA/WPA2/RSN1/RSN2");
}

TEST(BssRows, StopAtTheZeroBssidAndAfterAHundred)
{
    BssTable table;
    table.entries = {entry("a", 1, 0, 0, 0), entry("b", 2, 0, 0, 0)};
    table.entries.push_back(BssEntry{"end", {}, 0, 0, 0});
    table.entries.push_back(entry("after", 3, 0, 0, 0));
    EXPECT_EQ(MakeBssRows(table).size(), 2u);

    table.entries.clear();
    for (int i = 0; i < 120; ++i)
        table.entries.push_back(entry("x", static_cast<std::uint8_t>(i + 1), 0, 0, 0));
    const std::vector<BssRow> rows = MakeBssRows(table);
    ASSERT_EQ(rows.size(), kMaxBssRows);
    EXPECT_EQ(rows.back().no, "100");
}

TEST(Environment, RedirectsTheUdpSideAndTheAccessPointPort)
{
    std::string problem;
    const search::UdpSettings plain =
        UdpSettingsFromEnvironment(search::SearchMode::Wlan, env({}), &problem);
    EXPECT_TRUE(problem.empty());
    EXPECT_EQ(plain.localPort, 9000);
    EXPECT_EQ(plain.remotePort, 3337);
    EXPECT_FALSE(plain.broadcast.target);

    const search::UdpSettings redirected = UdpSettingsFromEnvironment(
        search::SearchMode::Ethernet,
        env({{"PAVIX_UDP_TARGET", "127.0.0.1"}, {"PAVIX_UDP_LOCAL_PORT", "0"}, {"PAVIX_UDP_REMOTE_PORT", "40001"}}),
        &problem);
    EXPECT_TRUE(problem.empty());
    ASSERT_TRUE(redirected.broadcast.target);
    EXPECT_EQ(*redirected.broadcast.target, platform::Ipv4Address::loopback());
    EXPECT_EQ(redirected.localPort, 0);
    EXPECT_EQ(redirected.remotePort, 40001);

    UdpSettingsFromEnvironment(search::SearchMode::Ethernet, env({{"PAVIX_UDP_TARGET", "nowhere"}}), &problem);
    EXPECT_NE(problem.find("PAVIX_UDP_TARGET"), std::string::npos);

    EXPECT_EQ(BssTcpPortFromEnvironment(env({})), 3318);
    EXPECT_EQ(BssTcpPortFromEnvironment(env({{"PAVIX_BSS_TCP_PORT", "4000"}})), 4000);
    EXPECT_EQ(BssTcpPortFromEnvironment(env({{"PAVIX_BSS_TCP_PORT", "0"}})), 3318);
    EXPECT_EQ(BssTcpPortFromEnvironment(env({{"PAVIX_BSS_TCP_PORT", "70000"}})), 3318);
}
