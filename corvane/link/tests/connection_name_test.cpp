// Which transport a stored connection name selects, and the TCP/IP address
// in it: one table, the same rules for the window, the command line and
// CDev.
#include "corvane/link/ConnectionName.h"

#include <gtest/gtest.h>

using namespace corvane;

namespace {

struct NameCase {
    const char* name;
    PortKind kind;
    const char* address;
};

const platform::DeviceRoots kSystem{};
const platform::DeviceRoots kFakeTree{"/tmp/t/sys", "/tmp/t/dev"};

TEST(ConnectionName, KindAndAddressOfEachForm)
{
    const NameCase cases[] = {
        {"NET192.168.0.20", PortKind::Tcp, "192.168.0.20"},
        // Every leading N, E or T goes, not three characters.
        {"NETE192.168.0.20", PortKind::Tcp, "192.168.0.20"},
        {"NETNET10.0.0.1", PortKind::Tcp, "10.0.0.1"},
        {"NET", PortKind::Tcp, ""},
        {"NETTE", PortKind::Tcp, ""},
        {"NET printer", PortKind::Tcp, " printer"},
        // The prefix is case-sensitive and must come first.
        {"net10.0.0.5", PortKind::Serial, "net10.0.0.5"},
        {"xNET10.0.0.5", PortKind::Serial, "xNET10.0.0.5"},
        {"NE10.0.0.5", PortKind::Serial, "NE10.0.0.5"},
        {"/dev/usb/lp0", PortKind::Usb, "/dev/usb/lp0"},
        {"/dev/usb/", PortKind::Serial, "/dev/usb/"},
        {"/dev/usblp0", PortKind::Serial, "/dev/usblp0"},
        {"COM3", PortKind::Serial, "COM3"},
        {"COM1:", PortKind::Serial, "COM1:"},
        {"/dev/ttyUSB0", PortKind::Serial, "/dev/ttyUSB0"},
        {"/dev/rfcomm0", PortKind::Serial, "/dev/rfcomm0"},
        {"", PortKind::Serial, ""},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        const ConnectionName parsed = ParseConnectionName(c.name, kSystem);
        EXPECT_EQ(parsed.kind, c.kind);
        EXPECT_EQ(parsed.address, c.address);
        EXPECT_EQ(IsTcpConnectionName(c.name), c.kind == PortKind::Tcp);
        EXPECT_EQ(TcpAddressOf(c.name), c.kind == PortKind::Tcp ? c.address : "");
    }
}

TEST(ConnectionName, UsbPathsFollowTheDeviceRoot)
{
    EXPECT_EQ(ParseConnectionName("/tmp/t/dev/usb/lp3", kFakeTree).kind, PortKind::Usb);
    EXPECT_EQ(ParseConnectionName("/dev/usb/lp0", kFakeTree).kind, PortKind::Serial);
    EXPECT_EQ(ParseConnectionName("/tmp/t/dev/usb/lp3", kSystem).kind, PortKind::Serial);
}

TEST(ConnectionName, TcpNamesRoundTrip)
{
    for (const char* address : {"192.168.0.20", "10.0.0.5", "127.0.0.1"}) {
        const std::string name = TcpConnectionName(address);
        EXPECT_EQ(name, std::string("NET") + address);
        EXPECT_EQ(ParseConnectionName(name, kSystem).kind, PortKind::Tcp);
        EXPECT_EQ(TcpAddressOf(name), address);
    }
}

} // namespace
