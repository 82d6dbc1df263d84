#include "corvane/link/CDev.h"
#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace corvane;
using namespace platform::testing;

namespace {

struct CDevTest : ::testing::Test {
    platform::ManualClock clock{1000};
    FakePrinter printer{clock};
    FakeDevices devices{printer};
    CDev dev{clock, devices};

    void useSerial(const std::string& name = "COM3")
    {
        dev.settings.portName = name;
        dev.settings.flowControl = 1;
    }
};

TEST_F(CDevTest, PortNameSelectsTheKind)
{
    EXPECT_EQ(dev.KindFor("COM3"), PortKind::Serial);
    EXPECT_EQ(dev.KindFor("COM12"), PortKind::Serial);
    EXPECT_EQ(dev.KindFor("/dev/ttyUSB0"), PortKind::Serial);
    EXPECT_EQ(dev.KindFor("/dev/rfcomm0"), PortKind::Serial);
    EXPECT_EQ(dev.KindFor("/dev/usb/lp0"), PortKind::Usb);
    EXPECT_EQ(dev.KindFor("NET10.0.0.5"), PortKind::Tcp);
    EXPECT_EQ(dev.KindFor("net10.0.0.5"), PortKind::Serial);
}

TEST_F(CDevTest, SerialOpenConfiguresProbesAndSwitchesToWorkingTimeouts)
{
    useSerial("COM12");
    dev.settings.baudRate = 9600;
    dev.settings.parity = 1;
    dev.settings.stopBits = 2;
    ASSERT_EQ(dev.Open(), 1);
    EXPECT_TRUE(dev.IsOpen());
    EXPECT_EQ(printer.openedName, "COM12");
    EXPECT_EQ(printer.line.baudRate, 9600);
    EXPECT_EQ(printer.line.parity, 1);
    EXPECT_EQ(printer.line.stopBits, 2);
    EXPECT_EQ(printer.line.dataBits, 8);
    EXPECT_EQ(printer.line.flowControl, 1);
    EXPECT_EQ(printer.purges, 1);
    ASSERT_EQ(printer.writes.size(), 1u);
    EXPECT_EQ(printer.writes[0], Bytes{0x00});

    ASSERT_EQ(printer.timeoutHistory.size(), 2u);
    const auto& probe = printer.timeoutHistory[0];
    EXPECT_EQ(probe.readIntervalMs, 2000u);
    EXPECT_EQ(probe.readTotalMultiplierMs, 1000u);
    EXPECT_EQ(probe.readTotalConstantMs, 10u);
    const auto& working = printer.timeoutHistory[1];
    EXPECT_EQ(working.readIntervalMs, 10u);
    EXPECT_EQ(working.readTotalMultiplierMs, 10u);
    EXPECT_EQ(working.readTotalConstantMs, 1000u);
    EXPECT_EQ(working.writeTotalMultiplierMs, 1000u);
    EXPECT_EQ(working.writeTotalConstantMs, 1000u);
}

TEST_F(CDevTest, MissingSerialPortIsTriedThreeTimesOver800ms)
{
    useSerial();
    printer.failOpens = 5;
    const auto start = clock.tickMs();
    EXPECT_EQ(dev.Open(), 0);
    EXPECT_FALSE(dev.IsOpen());
    EXPECT_EQ(printer.openAttempts, 3);
    EXPECT_EQ(clock.tickMs() - start, 800u);
    EXPECT_EQ(dev.LastOsError().code, ENOENT);
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(CDevTest, BusyPortThatFreesUpOnTheThirdAttemptOpens)
{
    useSerial();
    printer.failOpens = 2;
    printer.openErrno = EBUSY;
    EXPECT_EQ(dev.Open(), 1);
    EXPECT_EQ(printer.openAttempts, 3);
}

TEST_F(CDevTest, PrinterHoldingDsrLowIsRefusedAndThePortClosed)
{
    useSerial();
    printer.dsr = false;
    EXPECT_EQ(dev.Open(), 0);
    EXPECT_FALSE(dev.IsOpen());
    EXPECT_FALSE(printer.isOpen);
    EXPECT_EQ(printer.writes.size(), 1u) << "the probe byte still goes out";
    EXPECT_TRUE(dev.LastOsError().isSet());
}

TEST_F(CDevTest, FailuresDuringSerialSetupCloseTheDevice)
{
    useSerial();
    printer.configureFails = true;
    EXPECT_EQ(dev.Open(), 0);
    EXPECT_FALSE(printer.isOpen);

    printer.configureFails = false;
    printer.probeFails = true;
    EXPECT_EQ(dev.Open(), 0);
    EXPECT_FALSE(printer.isOpen);

    printer.probeFails = false;
    printer.modemStatusFails = true;
    EXPECT_EQ(dev.Open(), 0);
    EXPECT_FALSE(printer.isOpen);
    EXPECT_FALSE(dev.IsOpen());
}

TEST_F(CDevTest, SilentSerialReadOf100BytesReturnsNothingAfterAbout2s)
{
    useSerial();
    ASSERT_EQ(dev.Open(), 1);
    std::uint8_t buffer[100];
    const auto start = clock.tickMs();
    EXPECT_EQ(dev.Read(buffer, 100, 1), 0);
    EXPECT_EQ(clock.tickMs() - start, 1000u + 100u * 10u + 10u);
}

TEST_F(CDevTest, WriteIsOneDeviceCallTenMillisecondsLate)
{
    useSerial();
    ASSERT_EQ(dev.Open(), 1);
    const auto before = clock.tickMs();
    const std::uint8_t data[] = {1, 2, 3, 4, 5};
    EXPECT_EQ(dev.Write(data, 5), 5);
    ASSERT_EQ(printer.writes.size(), 2u);
    EXPECT_EQ(printer.writes[1], (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(printer.writeTimes[1] - before, 10u);

    printer.writeLimit = 3;
    EXPECT_EQ(dev.Write(data, 5), 3) << "a short write is reported, not retried";
    EXPECT_EQ(printer.writes.size(), 3u);
}

TEST_F(CDevTest, SerialCloseClearsTheFlagPurgesAndSettles)
{
    useSerial();
    ASSERT_EQ(dev.Open(), 1);
    const int purgesAfterOpen = printer.purges;
    const auto before = clock.tickMs();
    dev.Close();
    EXPECT_FALSE(dev.IsOpen());
    EXPECT_EQ(printer.purges, purgesAfterOpen + 1);
    EXPECT_EQ(clock.tickMs() - before, 200u);
    EXPECT_EQ(printer.closes, 1);
    const std::uint8_t b = 0;
    EXPECT_EQ(dev.Write(&b, 1), 0) << "nothing reaches a closed port";
    EXPECT_EQ(printer.writes.size(), 1u);
    dev.Close();
    EXPECT_EQ(printer.closes, 1);
}

TEST_F(CDevTest, OpeningAnOpenPortLetsGoOfTheOldDeviceFirst)
{
    useSerial();
    ASSERT_EQ(dev.Open(), 1);
    ASSERT_EQ(dev.Open(), 1);
    EXPECT_EQ(printer.opens, 2);
    EXPECT_EQ(printer.closes, 1);
}

TEST_F(CDevTest, TcpUsesTheAddressAfterNetAndTheLow16BitsOfTheBaudField)
{
    dev.settings.portName = "NET10.0.0.5";
    dev.settings.baudRate = 9100;
    ASSERT_EQ(dev.Open(), 1);
    EXPECT_EQ(dev.Kind(), PortKind::Tcp);
    EXPECT_EQ(printer.tcpHost, "10.0.0.5");
    EXPECT_EQ(printer.tcpPort, 9100);
    EXPECT_GT(printer.tcpConnectTimeoutMs, 0) << "connect must be bounded";
    EXPECT_TRUE(printer.writes.empty()) << "no probe byte over TCP/IP";
    dev.Close();

    dev.settings.portName = "NETE192.168.0.20";
    dev.settings.baudRate = 0x10000 + 6101;
    ASSERT_EQ(dev.Open(), 1);
    EXPECT_EQ(printer.tcpHost, "192.168.0.20");
    EXPECT_EQ(printer.tcpPort, 6101);
    dev.Close();
    EXPECT_EQ(printer.opens, 2);
    EXPECT_EQ(printer.closes, 2) << "every open is balanced by one close";
}

TEST_F(CDevTest, FailedTcpOpenKeepsNothingAndTellsWhy)
{
    dev.settings.portName = "NET127.0.0.1";
    printer.connectFails = true;
    EXPECT_EQ(dev.Open(), 0);
    EXPECT_FALSE(dev.IsOpen());
    EXPECT_EQ(dev.LastOsError().code, ECONNREFUSED);
    EXPECT_EQ(dev.LastDeviceKind(), platform::DeviceKind::Tcp);
    dev.Close();
    EXPECT_EQ(printer.closes, 0);
}

TEST_F(CDevTest, SilentTcpAndUsbReadsAreBounded)
{
    std::uint8_t buffer[20];
    dev.settings.portName = "NET127.0.0.1";
    ASSERT_EQ(dev.Open(), 1);
    auto start = clock.tickMs();
    EXPECT_LT(dev.Read(buffer, 20, 1), 1);
    EXPECT_EQ(clock.tickMs() - start, std::uint64_t(CDev::kReadBoundMs) + 10u);
    dev.Close();

    dev.settings.portName = "/dev/usb/lp0";
    ASSERT_EQ(dev.Open(), 1);
    EXPECT_EQ(dev.Kind(), PortKind::Usb);
    EXPECT_TRUE(printer.writes.empty()) << "USB devices are not probed";
    start = clock.tickMs();
    EXPECT_EQ(dev.Read(buffer, 20, 1), 0);
    EXPECT_EQ(clock.tickMs() - start, std::uint64_t(CDev::kReadBoundMs) + 10u);
    printer.reply({7, 8});
    EXPECT_EQ(dev.Read(buffer, 20, 1), 2);
    EXPECT_EQ(buffer[1], 8);
}

TEST_F(CDevTest, OnlyTheProbeByteIsBoundByTheLineWriteTimeouts)
{
    useSerial();
    ASSERT_EQ(dev.Open(), 1);
    EXPECT_EQ(printer.boundedWrites, 1);
    const std::uint8_t data[4096] = {};
    EXPECT_EQ(dev.Write(data, sizeof data), 4096);
    EXPECT_EQ(printer.boundedWrites, 1) << "data writes follow the stall rule";
    EXPECT_EQ(printer.stallTimeoutMs, platform::kDefaultStallTimeoutMs);
}

TEST_F(CDevTest, AStalledPrinterFailsTheWriteAfterTheBoundOnEveryKind)
{
    struct KindCase {
        const char* name;
        int failedWrite;
    };
    // TCP/IP reports a failed send as -1, serial and USB as the count sent.
    const KindCase kinds[] = {{"COM3", 0}, {"/dev/usb/lp0", 0}, {"NET10.0.0.5", -1}};
    for (const KindCase& k : kinds) {
        SCOPED_TRACE(k.name);
        dev.settings.portName = k.name;
        dev.stallTimeoutMs = 5000;
        ASSERT_EQ(dev.Open(), 1);
        printer.stalled = true;
        const std::uint8_t data[64] = {};
        const auto before = clock.tickMs();
        EXPECT_EQ(dev.Write(data, sizeof data), k.failedWrite);
        EXPECT_EQ(clock.tickMs() - before, 10u + 5000u);
        EXPECT_EQ(printer.stallTimeoutMs, 5000);
        EXPECT_EQ(dev.LastOsError().code, ETIMEDOUT);
        EXPECT_EQ(dev.LastOsError().reason, "the printer stopped accepting data for 5 s");
        printer.stalled = false;
        dev.Close();
    }
}

TEST_F(CDevTest, TheStallBoundCanChangeWhileThePortIsOpen)
{
    dev.settings.portName = "NET10.0.0.5";
    ASSERT_EQ(dev.Open(), 1);
    const std::uint8_t byte = 0;
    dev.Write(&byte, 1);
    EXPECT_EQ(printer.stallTimeoutMs, 60000);
    dev.stallTimeoutMs = 2500;
    dev.Write(&byte, 1);
    EXPECT_EQ(printer.stallTimeoutMs, 2500);
    dev.stallTimeoutMs = 0;
    dev.Write(&byte, 1);
    EXPECT_EQ(printer.stallTimeoutMs, 60000) << "no bound at all is not an option";
}

TEST_F(CDevTest, TcpReadTellsAClosedPeerFromSilence)
{
    dev.settings.portName = "NET10.0.0.5";
    ASSERT_EQ(dev.Open(), 1);
    std::uint8_t buffer[8];
    EXPECT_EQ(dev.Read(buffer, 8, 1), -1);
    printer.reply({1, 2});
    printer.peerClosed = true;
    EXPECT_EQ(dev.Read(buffer, 8, 1), 2) << "what came before the close is still read";
    EXPECT_EQ(dev.Read(buffer, 8, 1), 0);
    EXPECT_EQ(dev.Read(buffer, 0, 1), 0);
}

TEST_F(CDevTest, AShortTcpSendIsAFailedSend)
{
    dev.settings.portName = "NET10.0.0.5";
    ASSERT_EQ(dev.Open(), 1);
    printer.writeLimit = 100;
    const std::uint8_t data[4096] = {};
    EXPECT_EQ(dev.Write(data, sizeof data), -1);
    EXPECT_TRUE(dev.LastOsError().isSet());
}

TEST_F(CDevTest, DestructionClosesAnOpenPort)
{
    {
        CDev local(clock, devices);
        local.settings.portName = "COM1";
        ASSERT_EQ(local.Open(), 1);
    }
    EXPECT_FALSE(printer.isOpen);
    EXPECT_EQ(printer.closes, 1);
}

} // namespace
