// Device URIs to connection presets: one table row per URI form and per
// option value the serial backend documents, malformed input included.
#include "telvara/link/DeviceUriPreset.h"
#include "fake_spooler.h"

#include <gtest/gtest.h>

namespace telvara::link {
namespace {

using I = PresetInterface;

struct Row {
    const char* uri;
    I interface;
    const char* port;
    int baud, bits, parity, stop, flow;
    const char* address;
    int tcpPort;
    bool notice;
};

constexpr const char* kDefaultAddress = "192.168.192.123";

const Row kRows[] = {
    // serial: every documented option, in any order, '+' or '&'
    {"serial:/dev/ttyS0", I::Serial, "/dev/ttyS0", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, false},
    {"serial:/dev/ttyS0?baud=19200+bits=7+parity=even+flow=soft+stop=2", I::Serial, "/dev/ttyS0", 19200, 7, 2, 2,
     1, kDefaultAddress, 9100, false},
    {"serial:/dev/ttyUSB0?stop=1&parity=odd&flow=none&baud=115200", I::Serial, "/dev/ttyUSB0", 115200, 8, 1, 0, 2,
     kDefaultAddress, 9100, false},
    {"serial:/dev/ttyS1?parity=mark+flow=rtscts", I::Serial, "/dev/ttyS1", 9600, 8, 3, 0, 0, kDefaultAddress, 9100,
     false},
    {"serial:/dev/ttyS1?parity=space+flow=dtrdsr+stop=1.5", I::Serial, "/dev/ttyS1", 9600, 8, 4, 1, 0,
     kDefaultAddress, 9100, false},
    {"serial:/dev/ttyS1?flow=xonxoff+parity=NONE", I::Serial, "/dev/ttyS1", 9600, 8, 0, 0, 1, kDefaultAddress,
     9100, false},
    {"serial:/dev/ttyS1?flow=hard", I::Serial, "/dev/ttyS1", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, false},
    {"serial:/dev/serial/by-id/a%20b?baud=2400", I::Serial, "/dev/serial/by-id/a b", 2400, 8, 0, 0, 0,
     kDefaultAddress, 9100, false},
    // serial: what is not understood keeps its default and raises the notice
    {"serial:/dev/ttyS0?baud=fast+bits=8", I::Serial, "/dev/ttyS0", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"serial:/dev/ttyS0?baud=0", I::Serial, "/dev/ttyS0", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"serial:/dev/ttyS0?baud=99999999999", I::Serial, "/dev/ttyS0", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"serial:/dev/ttyS0?bits=9+stop=3+parity=x+flow=y", I::Serial, "/dev/ttyS0", 9600, 8, 0, 0, 0,
     kDefaultAddress, 9100, true},
    {"serial:/dev/ttyS0?speed=9600", I::Serial, "/dev/ttyS0", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"serial:/dev/ttyS0?baud", I::Serial, "/dev/ttyS0", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"serial:/dev/ttyS0?++&", I::Serial, "/dev/ttyS0", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, false},
    // parallel:, usb:
    {"parallel:/dev/lp0", I::Parallel, "/dev/lp0", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, false},
    {"parallel:/dev/lp2?x=1", I::Parallel, "/dev/lp2", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, false},
    {"usb://Maker/KTP-M880?serial=123", I::Usb, "//Maker/KTP-M880?serial=123", 9600, 8, 0, 0, 0, kDefaultAddress,
     9100, false},
    // socket:
    {"socket://192.168.1.50", I::Ethernet, "", 9600, 8, 0, 0, 0, "192.168.1.50", 9100, false},
    {"socket://10.0.0.7:9101", I::Ethernet, "", 9600, 8, 0, 0, 0, "10.0.0.7", 9101, false},
    {"socket://10.0.0.7:9101/?waiteof=false", I::Ethernet, "", 9600, 8, 0, 0, 0, "10.0.0.7", 9101, false},
    {"socket://10.0.0.7:0", I::Ethernet, "", 9600, 8, 0, 0, 0, "10.0.0.7", 9100, true},
    {"socket://10.0.0.7:65536", I::Ethernet, "", 9600, 8, 0, 0, 0, "10.0.0.7", 9100, true},
    {"socket://printer.local:9100", I::Ethernet, "", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"socket://1.2.3.4.5", I::Ethernet, "", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"socket://1.2.3.", I::Ethernet, "", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"socket://256.1.1.1", I::Ethernet, "", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"socket:10.0.0.7", I::Ethernet, "", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    // anything else: the defaults and a notice
    {"ipp://printer/ipp/print", I::Serial, "", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"", I::Serial, "", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
    {"serial", I::Serial, "", 9600, 8, 0, 0, 0, kDefaultAddress, 9100, true},
};

TEST(DeviceUriPreset, Table)
{
    for (const Row& row : kRows) {
        SCOPED_TRACE(row.uri);
        const DeviceUriPreset preset = presetFromDeviceUri(row.uri);
        EXPECT_EQ(preset.interface, row.interface);
        EXPECT_EQ(preset.port, row.port);
        EXPECT_EQ(preset.baud, row.baud);
        EXPECT_EQ(preset.dataBits, row.bits);
        EXPECT_EQ(preset.parity, row.parity);
        EXPECT_EQ(preset.stopBits, row.stop);
        EXPECT_EQ(preset.flow, row.flow);
        EXPECT_EQ(preset.address, row.address);
        EXPECT_EQ(preset.tcpPort, row.tcpPort);
        EXPECT_EQ(!preset.notice.empty(), row.notice) << preset.notice;
    }
}

TEST(DeviceUriPreset, TheNoticeStaysShortWhateverTheUri)
{
    std::string uri = "serial:/dev/ttyS0?";
    for (int i = 0; i < 1000; ++i)
        uri += "unknown" + std::to_string(i) + "=1+";
    const DeviceUriPreset preset = presetFromDeviceUri(uri);
    EXPECT_FALSE(preset.notice.empty());
    EXPECT_LE(preset.notice.size(), 200u);
}

TEST(PresetForQueue, LooksTheQueueUpByNameWithoutCase)
{
    testing::FakeSpooler spooler;
    spooler.add("Receipt", "serial:/dev/ttyS3?baud=38400");
    spooler.add("Lan", "socket://10.1.2.3");
    QueuePreset found = presetForQueue(spooler, "receipt");
    ASSERT_TRUE(found.result.ok());
    EXPECT_EQ(found.deviceUri, "serial:/dev/ttyS3?baud=38400");
    EXPECT_EQ(found.preset.port, "/dev/ttyS3");
    EXPECT_EQ(found.preset.baud, 38400);

    found = presetForQueue(spooler, "Missing");
    EXPECT_EQ(found.result.status, platform::spooler::Status::NotFound);
    EXPECT_NE(found.result.reason.find("Missing"), std::string::npos);

    spooler.listStatus = platform::spooler::Status::NoServer;
    EXPECT_EQ(presetForQueue(spooler, "Lan").result.status, platform::spooler::Status::NoServer);
}

} // namespace
} // namespace telvara::link
