// PortLink on the scripted fake printer and the manual clock: the kind
// rules, each kind's open sequence and bounds, writes and reads.
#include "telvara/link/PortLink.h"

#include "platform/parallel_port.h"
#include "platform/serial_port.h"
#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <vector>

namespace {

using platform::testing::Bytes;
using platform::testing::FakeDevices;
using platform::testing::FakePrinter;
using telvara::LinkConfig;
using telvara::LinkKind;
using telvara::PortLink;

struct KindCase {
    const char* name;
    int tcpPort;
    bool accepted;
    LinkKind kind;
    const char* device;
};

// The order matters: COM before the '/' rule, LPT before it too, the USB
// prefix only at the start.
const KindCase kKindCases[] = {
    {"", 9100, false, LinkKind::Serial, ""},
    {"COM1", 0, true, LinkKind::Serial, "/dev/ttyS0"},
    {"COM1:", 0, true, LinkKind::Serial, "/dev/ttyS0"},
    {"\\\\.\\COM12", 0, true, LinkKind::Serial, "/dev/ttyS11"},
    {"LPT2", 0, true, LinkKind::Parallel, "/fake/dev/lp1"},
    {"/dev/lp0", 0, true, LinkKind::Parallel, "/dev/lp0"},
    {"/fake/dev/lp3", 0, true, LinkKind::Parallel, "/fake/dev/lp3"},
    {"M882:/dev/usb/lp0", 0, true, LinkKind::Usb, "/dev/usb/lp0"},
    {"M880:/x", 0, true, LinkKind::Usb, "/x"},
    {"M880:", 0, false, LinkKind::Serial, ""},
    {"M88", 0, false, LinkKind::Serial, ""},
    {"xM880:/dev/usb/lp0", 9100, false, LinkKind::Serial, ""},
    {"/dev/ttyUSB0", 0, true, LinkKind::Serial, "/dev/ttyUSB0"},
    {"/dev/pts/3", 9100, true, LinkKind::Serial, "/dev/pts/3"},
    {"/dev/lpx", 0, true, LinkKind::Serial, "/dev/lpx"},
    {"192.168.192.123", 9100, true, LinkKind::Ethernet, "192.168.192.123"},
    {"127.0.0.1", 65535, true, LinkKind::Ethernet, "127.0.0.1"},
    {"127.0.0.1", 0, false, LinkKind::Serial, ""},
    {"127.0.0.1", 65536, false, LinkKind::Serial, ""},
    {"127.0.0", 9100, false, LinkKind::Serial, ""},
    {"printer.local", 9100, false, LinkKind::Serial, ""},
    {"COMX", 9100, false, LinkKind::Serial, ""},
    {"COM0", 0, false, LinkKind::Serial, ""},
    {"LPT0", 0, false, LinkKind::Serial, ""},
};

TEST(LinkKindRules, TheTableInOrder)
{
    const platform::DeviceRoots roots{"/fake/sys", "/fake/dev"};
    for (const KindCase& c : kKindCases) {
        SCOPED_TRACE(c.name);
        LinkConfig config;
        config.portName = c.name;
        config.tcpPort = c.tcpPort;
        const telvara::KindChoice choice = telvara::ChooseKind(config, roots);
        EXPECT_EQ(choice.accepted, c.accepted);
        if (c.accepted) {
            EXPECT_EQ(choice.kind, c.kind);
            EXPECT_EQ(choice.device, c.device);
        }
    }
}

TEST(LinkKindRules, ConfigureRefusesAndAcceptsByTheRules)
{
    platform::ManualClock clock;
    FakePrinter printer(clock);
    FakeDevices devices(printer);
    PortLink link(clock, devices);
    LinkConfig config;
    EXPECT_EQ(link.Configure(config), 0);
    EXPECT_EQ(link.Open(), 0);
    EXPECT_EQ(printer.openAttempts, 0);
    config.portName = "xM880:/dev/usb/lp0";
    EXPECT_EQ(link.Configure(config), 0);
    config.portName = "M880:/dev/usb/lp0";
    EXPECT_EQ(link.Configure(config), 1);
    EXPECT_EQ(link.kind(), LinkKind::Usb);
}

class LinkTest : public ::testing::Test {
protected:
    platform::ManualClock clock_{1000};
    FakePrinter printer_{clock_};
    FakeDevices devices_{printer_};
    PortLink link_{clock_, devices_};

    LinkConfig config(const char* name, int tcpPort = 0)
    {
        LinkConfig c;
        c.portName = name;
        c.tcpPort = tcpPort;
        return c;
    }
};

TEST_F(LinkTest, SerialOpenSequence)
{
    LinkConfig c = config("COM3");
    c.baudRate = 19200;
    c.dataBits = 7;
    c.parity = platform::kParityMark;
    c.stopBits = 2;
    c.flowControl = 1;
    ASSERT_EQ(link_.Configure(c), 1);
    ASSERT_EQ(link_.Open(), 1);
    EXPECT_EQ(printer_.openedName, "/dev/ttyS2");
    EXPECT_EQ(clock_.tickMs(), 1100u);  // the 100 ms after the open
    EXPECT_EQ(printer_.line.baudRate, 19200);
    EXPECT_EQ(printer_.line.dataBits, 7);
    EXPECT_EQ(printer_.line.parity, platform::kParityMark);  // mark stays mark
    EXPECT_EQ(printer_.line.stopBits, 2);
    EXPECT_EQ(printer_.line.flowControl, platform::kFlowXonXoff);
    EXPECT_TRUE(printer_.line.checkEveryParity);
    EXPECT_EQ(printer_.timeouts.readIntervalMs, 10u);
    EXPECT_EQ(printer_.timeouts.readTotalMultiplierMs, 10u);
    EXPECT_EQ(printer_.timeouts.readTotalConstantMs, 100u);
    EXPECT_EQ(printer_.timeouts.writeTotalMultiplierMs, 5u);
    EXPECT_EQ(printer_.timeouts.writeTotalConstantMs, 3000u);
    EXPECT_EQ(printer_.purges, 1);
    // An open link stays as it is.
    EXPECT_EQ(link_.Open(), 1);
    EXPECT_EQ(printer_.opens, 1);
}

TEST_F(LinkTest, SerialFlowIndexesMapToThePosModesAndSpaceParityIsKept)
{
    const int expected[] = {platform::kFlowHardware, platform::kFlowXonXoff, platform::kFlowOpen};
    for (int flow = 0; flow < 3; ++flow) {
        LinkConfig c = config("/dev/ttyUSB0");
        c.flowControl = flow;
        c.parity = platform::kParitySpace;
        ASSERT_EQ(link_.Configure(c), 1);
        ASSERT_EQ(link_.Open(), 1);
        EXPECT_EQ(printer_.line.flowControl, expected[flow]);
        EXPECT_EQ(printer_.line.parity, platform::kParitySpace);
        link_.Close();
    }
}

TEST_F(LinkTest, SerialOpenFailures)
{
    ASSERT_EQ(link_.Configure(config("COM1")), 1);
    printer_.dsr = false;
    EXPECT_EQ(link_.Open(), 0);
    EXPECT_EQ(link_.lastOpenFailure(), telvara::OpenFailure::DsrOff);
    EXPECT_FALSE(printer_.isOpen);
    EXPECT_EQ(printer_.closes, 1);

    printer_.dsr = true;
    printer_.configureFails = true;
    EXPECT_EQ(link_.Open(), 0);
    EXPECT_EQ(link_.lastOpenFailure(), telvara::OpenFailure::OpenFailed);
    EXPECT_FALSE(printer_.isOpen);

    printer_.configureFails = false;
    printer_.failOpens = 1;
    EXPECT_EQ(link_.Open(), 0);
    EXPECT_EQ(link_.lastError().code, ENOENT);
    EXPECT_EQ(link_.Open(), 1);
}

TEST_F(LinkTest, ParallelOpenNeedsTheReadyStatus)
{
    ASSERT_EQ(link_.Configure(config("LPT1")), 1);
    printer_.parallelStatus = 0x18;
    EXPECT_EQ(link_.Open(), 0);
    EXPECT_EQ(link_.lastOpenFailure(), telvara::OpenFailure::NotReady);
    EXPECT_FALSE(printer_.isOpen);
    printer_.parallelStatus = platform::kParallelReady;
    ASSERT_EQ(link_.Open(), 1);
    EXPECT_EQ(printer_.openedName, "/dev/lp0");
    // A one-byte read waits 10 ms per byte + 10 ms.
    std::uint8_t b = 0;
    const auto before = clock_.tickMs();
    EXPECT_EQ(link_.Read(&b, 1), 0);
    EXPECT_EQ(printer_.readTimeoutMs, 20);
    EXPECT_EQ(clock_.tickMs() - before, 20u);
}

TEST_F(LinkTest, UsbReadsAreBoundedAndALostNodeIsReopenedWhenItReturns)
{
    ASSERT_EQ(link_.Configure(config("M880:/dev/usb/lp0")), 1);
    ASSERT_EQ(link_.Open(), 1);
    EXPECT_EQ(printer_.openedName, "/dev/usb/lp0");
    EXPECT_EQ(printer_.readTimeoutMs, 1000);
    EXPECT_EQ(link_.usbState(), telvara::UsbState::Connected);

    printer_.deviceGone = true;
    std::uint8_t buffer[16];
    EXPECT_EQ(link_.Read(buffer, 16), 0);
    EXPECT_EQ(link_.usbState(), telvara::UsbState::Removed);
    EXPECT_TRUE(link_.isOpen());
    EXPECT_EQ(printer_.closes, 1);
    const std::uint8_t reset[] = {0x1b, 0x40};
    EXPECT_EQ(link_.Write(reset, 2), 0);  // still gone: nothing sent
    EXPECT_EQ(link_.usbState(), telvara::UsbState::Removed);

    printer_.deviceGone = false;
    EXPECT_EQ(link_.Write(reset, 2), 2);
    EXPECT_EQ(link_.usbState(), telvara::UsbState::Connected);
    EXPECT_EQ(printer_.openedName, "/dev/usb/lp0");
    EXPECT_EQ(printer_.opens, 2);
}

TEST_F(LinkTest, EthernetConnectsWithinTenSecondsAndReadsWithinOne)
{
    ASSERT_EQ(link_.Configure(config("127.0.0.1", 9100)), 1);
    ASSERT_EQ(link_.Open(), 1);
    EXPECT_EQ(printer_.tcpHost, "127.0.0.1");
    EXPECT_EQ(printer_.tcpPort, 9100);
    EXPECT_EQ(printer_.tcpConnectTimeoutMs, 10000);
    EXPECT_EQ(printer_.readTimeoutMs, 1000);
    link_.Close();

    printer_.connectFails = true;
    ASSERT_EQ(link_.Configure(config("127.0.0.1", 9100)), 1);
    EXPECT_EQ(link_.Open(), 0);
    EXPECT_EQ(link_.lastOpenFailure(), telvara::OpenFailure::NotConnected);
}

TEST_F(LinkTest, EthernetWritesInPiecesWithAPauseAfterEachFullOne)
{
    ASSERT_EQ(link_.Configure(config("127.0.0.1", 9100)), 1);
    ASSERT_EQ(link_.Open(), 1);
    const std::vector<std::uint8_t> data(10000, 0x55);
    const auto start = clock_.tickMs();
    EXPECT_EQ(link_.Write(data.data(), 10000), 10000);
    ASSERT_EQ(printer_.writes.size(), 3u);
    EXPECT_EQ(printer_.writes[0].size(), 4096u);
    EXPECT_EQ(printer_.writes[1].size(), 4096u);
    EXPECT_EQ(printer_.writes[2].size(), 1808u);
    EXPECT_EQ(printer_.writeTimes[1] - printer_.writeTimes[0], 500u);
    EXPECT_EQ(printer_.writeTimes[2] - printer_.writeTimes[1], 500u);
    EXPECT_EQ(clock_.tickMs() - start, 1000u);

    // A piece the socket does not take whole ends the write.
    printer_.writes.clear();
    printer_.tcpAccept = 100;
    EXPECT_EQ(link_.Write(data.data(), 10000), 100);
    EXPECT_EQ(printer_.writes.size(), 1u);
}

TEST_F(LinkTest, NothingIsSentOrReadWhenNotOpenOrEmpty)
{
    const std::uint8_t b[] = {1};
    std::uint8_t in[4];
    EXPECT_EQ(link_.Write(b, 1), 0);
    EXPECT_EQ(link_.Read(in, 4), 0);
    ASSERT_EQ(link_.Configure(config("COM1")), 1);
    ASSERT_EQ(link_.Open(), 1);
    EXPECT_EQ(link_.Write(nullptr, 1), 0);
    EXPECT_EQ(link_.Write(b, 0), 0);
    EXPECT_EQ(link_.Read(nullptr, 4), 0);
    EXPECT_TRUE(printer_.written.empty());
    link_.Close();
    EXPECT_FALSE(printer_.isOpen);
    // Close discards the kind: Open needs a new Configure.
    EXPECT_EQ(link_.Open(), 0);
}

TEST_F(LinkTest, EachReadIsOneCallOfThePort)
{
    ASSERT_EQ(link_.Configure(config("M882:/dev/usb/lp1")), 1);
    ASSERT_EQ(link_.Open(), 1);
    printer_.reply({'a', 'b'});
    printer_.reply({'c'});
    std::uint8_t in[16];
    EXPECT_EQ(link_.Read(in, 16), 2);
    EXPECT_EQ(link_.Read(in, 16), 1);
    EXPECT_EQ(printer_.readCapacities, (std::vector<int>{16, 16}));
}

} // namespace
