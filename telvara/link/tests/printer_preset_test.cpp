// A printer name to connection settings: the custom registry entries, a
// spooler queue's device URI, and every way of ending up with the defaults.
#include "telvara/link/PrinterPreset.h"
#include "fake_spooler.h"

#include <gtest/gtest.h>

#include <filesystem>

#include <stdlib.h>

namespace telvara {
namespace {

namespace fs = std::filesystem;
using link::testing::FakeSpooler;
using platform::spooler::Status;

class PrinterPresetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/telvara-preset-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
        store_ = std::make_unique<platform::RegistryStore>((dir_ / "registry.reg").string());
        defaults_.tcpPort = 9100;
    }
    void TearDown() override { fs::remove_all(dir_); }

    Preset of(const std::string& name, bool withSpooler = true)
    {
        return PresetForPrinter(name, *store_, withSpooler ? &spooler_ : nullptr, defaults_);
    }

    fs::path dir_;
    std::unique_ptr<platform::RegistryStore> store_;
    FakeSpooler spooler_;
    LinkConfig defaults_;
};

TEST_F(PrinterPresetTest, SerialQueueGivesEveryLineSetting)
{
    spooler_.add("Counter", "serial:/dev/ttyUSB0?baud=19200+bits=7+parity=mark+flow=soft+stop=2");
    const Preset p = of("counter");  // the scheduler's names ignore case
    ASSERT_TRUE(p.found) << p.notice;
    EXPECT_EQ(p.kind, LinkKind::Serial);
    EXPECT_EQ(p.config.portName, "/dev/ttyUSB0");
    EXPECT_EQ(p.config.baudRate, 19200);
    EXPECT_EQ(p.config.dataBits, 7);
    EXPECT_EQ(p.config.parity, 3);
    EXPECT_EQ(p.config.stopBits, 2);
    EXPECT_EQ(p.config.flowControl, 1);
    EXPECT_TRUE(p.notice.empty());
}

TEST_F(PrinterPresetTest, ParallelSocketAndUsbQueues)
{
    spooler_.add("Back", "parallel:/dev/lp1");
    spooler_.add("Net", "socket://10.1.2.3:9101");
    spooler_.add("NetDefault", "socket://10.1.2.4");
    spooler_.add("Usb", "usb://QUELLIX/KTP-M880?serial=1");

    const Preset back = of("Back");
    EXPECT_TRUE(back.found);
    EXPECT_EQ(back.kind, LinkKind::Parallel);
    EXPECT_EQ(back.config.portName, "/dev/lp1");

    const Preset net = of("Net");
    EXPECT_EQ(net.kind, LinkKind::Ethernet);
    EXPECT_EQ(net.config.portName, "10.1.2.3");
    EXPECT_EQ(net.config.tcpPort, 9101);
    EXPECT_EQ(of("NetDefault").config.tcpPort, 9100);

    const Preset usb = of("Usb");
    EXPECT_TRUE(usb.found);
    EXPECT_EQ(usb.kind, LinkKind::Usb);
    EXPECT_TRUE(usb.config.portName.empty());  // the first USB printer listed
}

TEST_F(PrinterPresetTest, DataBitsOtherThanEightReadAsSeven)
{
    spooler_.add("Five", "serial:/dev/ttyS1?bits=5");
    EXPECT_EQ(of("Five").config.dataBits, 7);
}

TEST_F(PrinterPresetTest, UnusableSourcesKeepTheDefaultsAndSayWhy)
{
    defaults_.portName = "COM1";
    spooler_.add("Ipp", "ipp://10.0.0.9/printers/x");
    spooler_.add("Empty", "serial:");

    for (const char* name : {"Ipp", "Empty", "Missing"}) {
        const Preset p = of(name);
        EXPECT_FALSE(p.found) << name;
        EXPECT_EQ(p.config.portName, "COM1") << name;
        EXPECT_NE(p.notice.find(name), std::string::npos) << p.notice;
        EXPECT_NE(p.notice.find("defaults"), std::string::npos) << p.notice;
    }
    EXPECT_NE(of("Ipp").notice.find("ipp"), std::string::npos);

    const Preset noSpooler = of("Ipp", false);
    EXPECT_FALSE(noSpooler.found);
    EXPECT_NE(noSpooler.notice.find("spooler"), std::string::npos);

    spooler_.listStatus = Status::NoServer;
    const Preset down = of("Ipp");
    EXPECT_FALSE(down.found);
    EXPECT_FALSE(down.notice.empty());
}

TEST_F(PrinterPresetTest, UnknownOptionKeepsTheRestAndIsNamed)
{
    spooler_.add("Odd", "serial:/dev/ttyS2?baud=38400+colour=blue");
    const Preset p = of("Odd");
    EXPECT_TRUE(p.found);
    EXPECT_EQ(p.config.baudRate, 38400);
    EXPECT_NE(p.notice.find("colour"), std::string::npos) << p.notice;
}

TEST_F(PrinterPresetTest, CustomNamesReadTheRegistryAndNeverTheSpooler)
{
    const std::string key = "SOFTWARE\\QUELLIX\\KTP-M882\\PSP\\Custom";
    ASSERT_TRUE(store_->writeString(key, "Port", "COM3:"));
    ASSERT_TRUE(store_->writeNumber(key, "BaudRate", 38400));
    spooler_.add("Custom_KTP-M882", "parallel:/dev/lp0");  // a queue of the same name loses
    const Preset p = of("Custom_KTP-M882");
    ASSERT_TRUE(p.found) << p.notice;
    EXPECT_EQ(p.kind, LinkKind::Serial);
    EXPECT_EQ(p.config.portName, "COM3");
    EXPECT_EQ(p.config.baudRate, 38400);
    EXPECT_TRUE(spooler_.calls.empty());
    // A custom name works without any spooler.
    EXPECT_TRUE(of("Custom_KTP-M882", false).found);
}

} // namespace
} // namespace telvara
