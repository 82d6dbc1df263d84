#include "pavix/link/PrinterPort.h"
#include "pavix/link/tests/board_fakes.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace pavix;
using namespace pavix::testing;

namespace {

struct PrinterPortTest : ::testing::Test {
    platform::ManualClock clock{1000};
    FakePrinter printer{clock};
    FakeUsbTree tree;
    BoardDevices devices{printer, tree.roots};
    PrinterPort port{clock, devices};

    void addBoards()
    {
        tree.add("lp0", "1-1", "1a2b", "0c21");
        tree.add("lp1", "1-2", "1a2b", "0C2A");
        tree.add("lp3", "1-4", "1a2b", "0C29");
    }
    void openUsb(const std::string& name = "USB001")
    {
        addBoards();
        port.portName = name;
        ASSERT_EQ(port.open(), OpenResult::Ok) << port.lastError().describe();
    }
    void openSerial(const std::string& name = "COM3")
    {
        port.portName = name;
        ASSERT_EQ(port.open(), OpenResult::Ok) << port.lastError().describe();
    }
};

TEST_F(PrinterPortTest, SerialOpenTakesTheBoardLineWithRtsCtsAndPurges)
{
    openSerial("COM3");
    EXPECT_EQ(port.kind(), PortKind::Serial);
    EXPECT_EQ(printer.openedName, "/dev/ttyS2");
    EXPECT_EQ(printer.line.baudRate, 115200);
    EXPECT_EQ(printer.line.dataBits, 8);
    EXPECT_EQ(printer.line.parity, 0);
    EXPECT_EQ(printer.line.stopBits, 0);
    EXPECT_EQ(printer.line.flowControl, 2) << "RTS/CTS handshake with DTR off";
    EXPECT_EQ(printer.purges, 1);
    EXPECT_TRUE(printer.writes.empty()) << "opening sends nothing";

    port.portName = "/dev/pts/7";
    ASSERT_EQ(port.open(), OpenResult::Ok);
    EXPECT_EQ(printer.openedName, "/dev/pts/7");
    EXPECT_EQ(printer.closes, 1) << "reopening lets go of the old device first";
}

TEST_F(PrinterPortTest, BoardWithCtsOrDsrOffIsRefusedAndReleased)
{
    port.portName = "COM1";
    devices.knobs.cts = false;
    EXPECT_EQ(port.open(), OpenResult::LinesOff);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(printer.isOpen);
    EXPECT_NE(port.lastError().describe().find("CTS"), std::string::npos);

    devices.knobs.cts = true;
    printer.dsr = false;
    EXPECT_EQ(port.open(), OpenResult::LinesOff);
    EXPECT_FALSE(printer.isOpen);
    EXPECT_NE(port.lastError().describe().find("DSR"), std::string::npos);
    EXPECT_EQ(printer.purges, 0) << "a refused board is not purged";
    EXPECT_EQ(printer.opens, printer.closes);
}

TEST_F(PrinterPortTest, SetupFailuresCloseTheDevice)
{
    port.portName = "COM1";
    printer.configureFails = true;
    EXPECT_EQ(port.open(), OpenResult::OpenFailed);
    EXPECT_FALSE(printer.isOpen);
    EXPECT_EQ(port.lastError().code, EINVAL);

    printer.configureFails = false;
    printer.modemStatusFails = true;
    EXPECT_EQ(port.open(), OpenResult::OpenFailed);
    EXPECT_FALSE(printer.isOpen);

    printer.modemStatusFails = false;
    printer.failOpens = 1;
    EXPECT_EQ(port.open(), OpenResult::OpenFailed);
    EXPECT_EQ(port.lastError().code, ENOENT);
}

TEST_F(PrinterPortTest, UsbDevicesAreNamedByPositionInTheFullListAndAcceptedByNumericId)
{
    addBoards();
    const std::vector<UsbDevice> list = ListUsbDevices(tree.roots);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].name, "USB001");
    EXPECT_EQ(list[0].devicePath, tree.node("lp0"));
    EXPECT_TRUE(list[0].accepted);
    EXPECT_EQ(list[1].name, "USB002");
    EXPECT_EQ(list[1].productId, 0x0C2A);
    EXPECT_FALSE(list[1].accepted);
    EXPECT_EQ(list[2].name, "USB003") << "the position, not the lp number";
    EXPECT_EQ(list[2].devicePath, tree.node("lp3"));
    EXPECT_TRUE(list[2].accepted) << "upper-case sysfs ids compare as numbers";

    for (int id : {0x0C21, 0x0C28, 0x0C29})
        EXPECT_TRUE(IsAcceptedUsbProductId(static_cast<std::uint16_t>(id)));
    for (int id : {0x0C20, 0x0C2A, 0x0000, 0x0C12})
        EXPECT_FALSE(IsAcceptedUsbProductId(static_cast<std::uint16_t>(id)));
    EXPECT_EQ(UsbDeviceName(12), "USB012");
}

TEST_F(PrinterPortTest, PortNamesSelectSerialOrUsb)
{
    EXPECT_EQ(ResolvePortName("COM2", tree.roots).devicePath, "/dev/ttyS1");
    EXPECT_EQ(ResolvePortName("/dev/ttyUSB0", tree.roots).kind, PortKind::Serial);
    const PortTarget byName = ResolvePortName("usb003", tree.roots);
    EXPECT_EQ(byName.kind, PortKind::Usb);
    EXPECT_TRUE(byName.usbByName);
    EXPECT_EQ(byName.usbPosition, 3);
    const PortTarget byPath = ResolvePortName(tree.node("lp0"), tree.roots);
    EXPECT_EQ(byPath.kind, PortKind::Usb);
    EXPECT_FALSE(byPath.usbByName);
    EXPECT_EQ(ResolvePortName("USBX01", tree.roots).kind, PortKind::Serial);
}

TEST_F(PrinterPortTest, UsbOpensOnlyListedAcceptedBoards)
{
    addBoards();
    port.portName = "USB003";
    ASSERT_EQ(port.open(), OpenResult::Ok);
    EXPECT_EQ(port.kind(), PortKind::Usb);
    EXPECT_EQ(printer.openedName, tree.node("lp3"));
    EXPECT_EQ(port.usbDevice().name, "USB003");

    port.portName = tree.node("lp0");
    EXPECT_EQ(port.open(), OpenResult::Ok);
    EXPECT_EQ(port.usbDevice().name, "USB001");

    const int attempts = printer.openAttempts;
    port.portName = "USB002";
    EXPECT_EQ(port.open(), OpenResult::UsbNotAccepted);
    port.portName = "USB004";
    EXPECT_EQ(port.open(), OpenResult::NoUsbDevice);
    port.portName = tree.node("lp7");
    EXPECT_EQ(port.open(), OpenResult::NoUsbDevice);
    EXPECT_EQ(printer.openAttempts, attempts) << "refused devices are never opened";
    EXPECT_FALSE(port.isOpen());
}

TEST_F(PrinterPortTest, EveryUsbWriteWaits50msFirst)
{
    openUsb();
    const auto start = clock.tickMs();
    const Bytes data{1, 2, 3};
    EXPECT_TRUE(port.write(data));
    EXPECT_TRUE(port.write(data));
    ASSERT_EQ(printer.writeTimes.size(), 2u);
    EXPECT_EQ(printer.writeTimes[0] - start, 50u);
    EXPECT_EQ(printer.writeTimes[1] - start, 100u);
}

TEST_F(PrinterPortTest, SerialWritesDoNotWait)
{
    openSerial();
    const auto start = clock.tickMs();
    EXPECT_TRUE(port.write(Bytes{1}));
    EXPECT_EQ(printer.writeTimes.at(0), start);
}

TEST_F(PrinterPortTest, AShortWriteFailsOnEveryKind)
{
    openSerial();
    printer.writeLimit = 3;
    EXPECT_FALSE(port.write(Bytes{1, 2, 3, 4, 5}));
    EXPECT_TRUE(port.lastError().isSet());
    port.close();

    openUsb();
    EXPECT_FALSE(port.write(Bytes{1, 2, 3, 4, 5}));
    printer.writeLimit = -1;
    EXPECT_TRUE(port.write(Bytes{1, 2, 3}));
}

TEST_F(PrinterPortTest, UsbReadErrorsAreFailuresAndOnlyATimeoutIsEmpty)
{
    openUsb();
    const auto start = clock.tickMs();
    const Reply silent = port.readReply();
    EXPECT_EQ(silent.end, ReplyEnd::NoReply);
    EXPECT_TRUE(silent.bytes.empty());
    EXPECT_EQ(clock.tickMs() - start, 5000u);

    for (int code : {ENODEV, EIO}) {
        devices.knobs.readErrno = code;
        printer.reply(Bytes{0x1F, 0x57, 0x4D, 0x7F, 0x03});
        const Reply r = port.readReply();
        EXPECT_EQ(r.end, ReplyEnd::Failed);
        EXPECT_FALSE(r.hasData());
        EXPECT_EQ(port.lastError().code, code);
    }
}

TEST_F(PrinterPortTest, ReadingAClosedPortFails)
{
    EXPECT_EQ(port.readReply().end, ReplyEnd::Failed);
    EXPECT_FALSE(port.write(Bytes{1}));
}

TEST_F(PrinterPortTest, ReplySplitByTheUsbDriverIsReassembledUpToItsFrameEnd)
{
    openUsb();
    Bytes message(624, 0x5A);
    const Bytes frame = framed(message);
    ASSERT_EQ(frame.size(), 1252u);
    printer.reply(Bytes(frame.begin(), frame.begin() + 1024), 30);
    printer.reply(Bytes(frame.begin() + 1024, frame.end()), 40);
    printer.reply(Bytes{0x55}, 50); // must stay unread
    const auto start = clock.tickMs();
    const Reply r = port.readReply();
    EXPECT_EQ(r.end, ReplyEnd::FrameEnd);
    EXPECT_EQ(r.bytes, frame);
    EXPECT_EQ(clock.tickMs() - start, 40u) << "ends at the 03, without waiting for silence";
    EXPECT_EQ(printer.pending.size(), 1u);
}

TEST_F(PrinterPortTest, SerialReplyInPiecesIsReassembled)
{
    openSerial();
    const Bytes frame = framed(Bytes(74, 0x11));
    printer.reply(Bytes(frame.begin(), frame.begin() + 10), 5);
    printer.reply(Bytes(frame.begin() + 10, frame.begin() + 100), 120);
    printer.reply(Bytes(frame.begin() + 100, frame.end()), 200);
    const Reply r = port.readReply();
    EXPECT_EQ(r.end, ReplyEnd::FrameEnd);
    EXPECT_EQ(r.bytes, frame);
    ASSERT_FALSE(printer.timeoutHistory.empty());
    EXPECT_EQ(printer.timeoutHistory.front().readIntervalMs, 100u) << "a quiet line ends each piece";
    EXPECT_EQ(printer.timeoutHistory.front().readTotalConstantMs, 5000u);
    EXPECT_EQ(printer.timeoutHistory.front().readTotalMultiplierMs, 0u) << "no per-byte wait";
}

TEST_F(PrinterPortTest, A03InsideTheHeaderDoesNotEndTheReply)
{
    openUsb();
    printer.reply(Bytes{0x03, 0x57, 0x03});
    printer.reply(Bytes{'4', '1', 0x03}, 20);
    const Reply r = port.readReply();
    EXPECT_EQ(r.end, ReplyEnd::FrameEnd);
    EXPECT_EQ(r.bytes.size(), 6u);
}

TEST_F(PrinterPortTest, ReplyWithoutFrameEndEndsAfter100msOfSilence)
{
    openUsb();
    printer.reply(Bytes{0x1F, 0x57, 0x4D, 0x7F});
    printer.reply(Bytes{'a', 'b'}, 99);
    printer.reply(Bytes{'c', 'd'}, 99 + 101);
    const auto start = clock.tickMs();
    const Reply r = port.readReply();
    EXPECT_EQ(r.end, ReplyEnd::Silence);
    EXPECT_EQ(r.bytes, (Bytes{0x1F, 0x57, 0x4D, 0x7F, 'a', 'b'}));
    EXPECT_EQ(clock.tickMs() - start, 99u + 100u);
}

TEST_F(PrinterPortTest, AnEndlessReplyStopsAt16KiB)
{
    openUsb();
    for (int i = 0; i < 6; ++i)
        printer.reply(Bytes(4000, 'a'), 10);
    const Reply r = port.readReply();
    EXPECT_EQ(r.end, ReplyEnd::Cap);
    EXPECT_EQ(r.bytes.size(), PrinterPort::kMaxReplyBytes);
    for (int capacity : printer.readCapacities)
        EXPECT_LE(capacity, PrinterPort::kReadPiece);
}

TEST_F(PrinterPortTest, TheFirstByteMustComeWithinItsBound)
{
    openUsb();
    printer.reply(openerAnswer(), 5001);
    auto start = clock.tickMs();
    EXPECT_EQ(port.readReply().end, ReplyEnd::NoReply);
    EXPECT_EQ(clock.tickMs() - start, 5000u);

    printer.pending.clear();
    port.firstByteTimeoutMs = 200;
    printer.reply(openerAnswer(), 150);
    EXPECT_EQ(port.readReply().end, ReplyEnd::FrameEnd);
    printer.reply(openerAnswer(), 250);
    start = clock.tickMs();
    EXPECT_EQ(port.readReply().end, ReplyEnd::NoReply);
    EXPECT_EQ(clock.tickMs() - start, 200u);
}

TEST_F(PrinterPortTest, CloseAlwaysReleases)
{
    openSerial();
    port.close();
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(printer.isOpen);
    port.close();
    EXPECT_EQ(printer.closes, 1);
    {
        PrinterPort scoped{clock, devices};
        scoped.portName = "COM1";
        ASSERT_EQ(scoped.open(), OpenResult::Ok);
    }
    EXPECT_EQ(printer.closes, 2) << "the destructor releases the port";
}

} // namespace
