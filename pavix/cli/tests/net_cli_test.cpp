// pavix-cli's network commands without a network: their option rules, the
// search rows, the device choice, set's plan through the setting form's
// checks, and where the UDP settings come from.
#include "pavix/cli/cli_options.h"
#include "pavix/cli/net_jobs.h"

#include <gtest/gtest.h>

#include <map>

using namespace pavix;
using namespace pavix::cli;
namespace ps = pavix::search;

namespace {

bool parses(const std::vector<std::string>& words, Options& options)
{
    std::string problem;
    const bool ok = parseOptions(words, options, problem);
    EXPECT_TRUE(ok) << problem;
    return ok;
}

std::string refusal(const std::vector<std::string>& words)
{
    Options options;
    std::string problem;
    EXPECT_FALSE(parseOptions(words, options, problem)) << "accepted: " << words.back();
    return problem;
}

ps::DeviceRecord device(std::uint8_t last, std::uint8_t baud = 0xF4)
{
    ps::DeviceRecord r;
    r.mac = {0x00, 0x19, 0x7b, 0x10, 0x00, last};
    r.ip = {192, 168, 0, last};
    r.subnet = {255, 255, 255, 0};
    r.gateway = {0, 0, 0, 0};
    r.localPort = 9100;
    r.baudCode = baud;
    r.firmwareMajor = 1;
    r.firmwareMinor = 5;
    r.capability = 25;
    return r;
}

NetOptions setOptions(std::vector<std::string> extra)
{
    std::vector<std::string> words = {"set", "ethernet", "1"};
    words.insert(words.end(), extra.begin(), extra.end());
    Options options;
    parses(words, options);
    return options.net;
}

} // namespace

TEST(NetOptions, CommandsTakeTheirModeDeviceAndUdpOptions)
{
    Options o;
    ASSERT_TRUE(parses({"search", "wlan", "--wait", "300", "--target", "127.0.0.1", "--local-port", "0",
                        "--remote-port", "4000", "--bind", "127.0.0.1"},
                       o));
    EXPECT_EQ(o.command, "search");
    EXPECT_EQ(o.net.mode, ps::SearchMode::Wlan);
    EXPECT_EQ(o.net.waitMs, 300);
    EXPECT_EQ(o.net.target, "127.0.0.1");
    EXPECT_EQ(o.net.localPort, 0);
    EXPECT_EQ(o.net.remotePort, 4000);

    Options d;
    ASSERT_TRUE(parses({"show", "ethernet", "00-19-7B-10-00-0a"}, d));
    EXPECT_EQ(d.net.waitMs, 1100);
    ASSERT_TRUE(d.net.device.mac.has_value());
    EXPECT_EQ((*d.net.device.mac)[5], 0x0a);
    Options s;
    ASSERT_TRUE(parses({"set", "wlan", "2", "--dhcp", "on", "--baud", "230400", "--printer-port", "9101"}, s));
    EXPECT_EQ(s.net.device.number, 2);
    EXPECT_EQ(s.net.dhcp, true);
    EXPECT_EQ(s.net.baud, "230400");
    EXPECT_EQ(s.net.printerPort, "9101");
}

TEST(NetOptions, WrongWordsAndOptionsOfOtherCommandsAreRefused)
{
    EXPECT_EQ(refusal({"search", "bluetooth"}), "bad mode 'bluetooth' (ethernet or wlan)");
    EXPECT_NE(refusal({"show", "ethernet", "0"}).find("bad DEVICE '0'"), std::string::npos);
    EXPECT_NE(refusal({"web", "wlan", "00:19:7b:10:00"}).find("bad DEVICE"), std::string::npos);
    EXPECT_NE(refusal({"web", "wlan", "00:19-7b:10:00:01"}).find("bad DEVICE"), std::string::npos);
    EXPECT_EQ(refusal({"search", "ethernet", "--port", "/dev/ttyS0"}), "--port does not belong to search");
    EXPECT_EQ(refusal({"show", "ethernet", "1", "--ip", "10.0.0.1"}), "--ip belongs to set");
    EXPECT_EQ(refusal({"sysinfo", "--port", "/dev/ttyS0", "--wait", "500"}),
              "--wait belongs to search, show, set and web");
    EXPECT_EQ(refusal({"set", "ethernet", "1", "--gateway", "10.0.0"}),
              "bad address '10.0.0' for --gateway (a dotted IPv4 address)");
    EXPECT_NE(refusal({"set", "ethernet", "1", "--baud", "300"}).find("bad value '300' for --baud"),
              std::string::npos);
    EXPECT_EQ(refusal({"search", "ethernet", "--interface", "eth0", "--target", "127.0.0.1"}),
              "--interface and --target do not go together");
}

TEST(NetText, SearchRowsAreTheListColumnsWithTheCapabilityInWlanMode)
{
    ps::DeviceList list;
    list.append(device(1));
    ps::DeviceRecord unconfigured = device(2);
    unconfigured.ip = {0, 0, 0, 0};
    unconfigured.firmwareMajor = 0;
    unconfigured.firmwareMinor = 0;
    list.append(unconfigured);
    list.append(device(1));
    EXPECT_EQ(SearchRows(ps::SearchMode::Ethernet, list),
              "1\t00:19:7b:10:00:01\t192.168.0.1\t255.255.255.0\tNot Configuration\t9100\t1.5\n"
              "2\t00:19:7b:10:00:02\tNot Configuration\t255.255.255.0\tNot Configuration\t9100\tN/A\n"
              "3\t00:19:7b:10:00:01\t192.168.0.1\t255.255.255.0\tNot Configuration\t9100\t1.5\n");
    const std::string wlan = SearchRows(ps::SearchMode::Wlan, list);
    EXPECT_EQ(wlan.substr(0, wlan.find('\n') + 1),
              "1\t00:19:7b:10:00:01\t192.168.0.1\t255.255.255.0\tNot Configuration\t9100\t1.5\t25\n");
    EXPECT_EQ(SearchRows(ps::SearchMode::Wlan, {}), "");

    const std::string show = DeviceShowRecord(ps::SearchMode::Wlan, 2, unconfigured).lines();
    EXPECT_NE(show.find("Firmware: 0.0\n"), std::string::npos) << show;
    EXPECT_NE(show.find("Version: N/A\n"), std::string::npos) << show;
    EXPECT_NE(show.find("Baud Rate: 9600\n"), std::string::npos) << show;
    EXPECT_NE(show.find("Capability: 25\n"), std::string::npos) << show;
    EXPECT_NE(show.find("Record: 00197b10000200000000ffffff0000000000238cf40000000000001900\n"),
              std::string::npos)
        << show;
    EXPECT_EQ(DeviceShowRecord(ps::SearchMode::Ethernet, 1, device(1, 0x00)).lines().find("Capability"),
              std::string::npos);
    EXPECT_NE(DeviceShowRecord(ps::SearchMode::Ethernet, 1, device(1, 0x00)).lines().find("Unknown (0x00)"),
              std::string::npos);
    EXPECT_EQ(OneLine("Fail to save your setting.\r\nPlease, configure one more again."),
              "Fail to save your setting. Please, configure one more again.");
}

TEST(NetText, ADeviceIsChosenByNumberOrByTheFirstMatchingMac)
{
    ps::DeviceList list;
    list.append(device(1));
    list.append(device(2));
    list.append(device(2));
    EXPECT_EQ(FindDevice(list, *parseDeviceChoice("2")), 2);
    EXPECT_EQ(FindDevice(list, *parseDeviceChoice("4")), 0);
    EXPECT_EQ(FindDevice(list, *parseDeviceChoice("00:19:7B:10:00:02")), 2);
    EXPECT_EQ(FindDevice(list, *parseDeviceChoice("00:19:7b:10:00:03")), 0);
}

TEST(NetSet, ThePlanRunsTheFormsChecksInSavesOrder)
{
    ps::DeviceList list;
    list.append(device(7));
    const auto plan = [&](std::vector<std::string> extra) { return PlanStore(list, 1, setOptions(extra)); };

    auto forbidden = plan({"--printer-port", "80"});
    EXPECT_EQ(forbidden.kind, ps::SaveDecision::Refused);
    EXPECT_EQ(forbidden.message, ps::kForbiddenPortMessage);
    auto range = plan({"--printer-port", "40000"});
    EXPECT_EQ(range.kind, ps::SaveDecision::Refused);
    EXPECT_EQ(range.message, ps::kPortRangeMessage);
    EXPECT_EQ(plan({"--inactivity", "3601"}).message, ps::kTimeRangeMessage);
    // DHCP on does not let 0.0.0.0 through.
    auto noIp = plan({"--ip", "0.0.0.0", "--dhcp", "on"});
    EXPECT_EQ(noIp.kind, ps::SaveDecision::Refused);
    EXPECT_EQ(noIp.message, ps::kEthernetIpMessage);

    auto sent = plan({"--ip", "10.0.0.5", "--printer-port", "9101", "--inactivity", "300", "--baud", "230400"});
    ASSERT_EQ(sent.kind, ps::SaveDecision::Send);
    ASSERT_EQ(sent.datagram.size(), 30u);
    EXPECT_EQ(std::string(sent.datagram.begin(), sent.datagram.begin() + 4), "SETT");
    EXPECT_EQ(sent.pending.ip, (ps::Ipv4{10, 0, 0, 5}));
    EXPECT_EQ(sent.datagram[4 + 18], 0x23);
    EXPECT_EQ(sent.datagram[4 + 19], 0x8d);
    EXPECT_EQ(sent.datagram[4 + 20], 0xBB);
    EXPECT_EQ(sent.datagram[4 + 24], 0x01);
    EXPECT_EQ(sent.datagram[4 + 25], 0x2c);
    // The list keeps the device's record until the board answers.
    EXPECT_EQ(list.find(1)->ip, (ps::Ipv4{192, 168, 0, 7}));
}

TEST(NetSet, AnUnknownBaudCodeIsKeptUnlessARateIsGiven)
{
    ps::DeviceList list;
    list.append(device(7, 0x42));
    auto kept = PlanStore(list, 1, setOptions({"--printer-port", "9200"}));
    ASSERT_EQ(kept.kind, ps::SaveDecision::Send);
    EXPECT_EQ(kept.pending.baudCode, 0x42);
    EXPECT_EQ(kept.datagram[4 + 20], 0x42);
    auto replaced = PlanStore(list, 1, setOptions({"--baud", "9600"}));
    ASSERT_EQ(replaced.kind, ps::SaveDecision::Send);
    EXPECT_EQ(replaced.datagram[4 + 20], 0xF4);
}

TEST(NetUdp, OptionsOverTheEnvironmentOverTheModesDefaults)
{
    std::map<std::string, std::string> env = {{"PAVIX_UDP_TARGET", "127.0.0.2"}, {"PAVIX_UDP_LOCAL_PORT", "7000"}};
    const auto lookup = [&](const char* name) -> const char* {
        const auto it = env.find(name);
        return it == env.end() ? nullptr : it->second.c_str();
    };
    NetOptions net;
    net.mode = ps::SearchMode::Wlan;
    ps::UdpSettings settings;
    std::string problem;
    ASSERT_TRUE(MakeUdpSettings(net, lookup, settings, problem)) << problem;
    EXPECT_EQ(settings.localPort, 7000);
    EXPECT_EQ(settings.remotePort, 3337);
    ASSERT_TRUE(settings.broadcast.target.has_value());
    EXPECT_EQ(settings.broadcast.target->text(), "127.0.0.2");

    net.target = "127.0.0.3";
    net.localPort = 0;
    net.remotePort = 5000;
    ASSERT_TRUE(MakeUdpSettings(net, lookup, settings, problem));
    EXPECT_EQ(settings.broadcast.target->text(), "127.0.0.3");
    EXPECT_EQ(settings.localPort, 0);
    EXPECT_EQ(settings.remotePort, 5000);
    // An interface of the command line replaces the variable's target.
    NetOptions onInterface;
    onInterface.interfaceName = "eth1";
    ASSERT_TRUE(MakeUdpSettings(onInterface, lookup, settings, problem));
    EXPECT_FALSE(settings.broadcast.target.has_value());
    EXPECT_EQ(settings.broadcast.interfaceName, "eth1");
    EXPECT_EQ(settings.remotePort, 48781);

    env["PAVIX_UDP_REMOTE_PORT"] = "port";
    EXPECT_FALSE(MakeUdpSettings(net, lookup, settings, problem));
    EXPECT_NE(problem.find("PAVIX_UDP_REMOTE_PORT"), std::string::npos);
}
