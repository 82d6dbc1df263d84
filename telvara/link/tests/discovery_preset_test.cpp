// The port lists on a fake device tree, and the custom printers' preset
// from the registry store.
#include "telvara/link/CustomPreset.h"
#include "telvara/link/LinkTexts.h"
#include "telvara/link/PortDiscovery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include <stdlib.h>

namespace {

namespace fs = std::filesystem;
using telvara::LinkKind;

class TreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/telvara-tree-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        roots_.sysRoot = (root_ / "sys").string();
        roots_.devRoot = (root_ / "dev").string();
        fs::create_directories(root_ / "dev" / "usb");
        fs::create_directories(root_ / "sys" / "class" / "usbmisc");
        fs::create_directories(root_ / "sys" / "class" / "tty");
    }
    void TearDown() override { fs::remove_all(root_); }

    void addUsb(const std::string& lp, const std::string& bus, const std::string& vendor, const std::string& product)
    {
        const fs::path device = root_ / "sys" / "devices" / "usb1" / bus;
        fs::create_directories(device / (bus + ":1.0"));
        std::ofstream(device / "idVendor") << vendor << "\n";
        std::ofstream(device / "idProduct") << product << "\n";
        const fs::path entry = root_ / "sys" / "class" / "usbmisc" / lp;
        fs::create_directories(entry);
        fs::create_directory_symlink("../../../devices/usb1/" + bus + "/" + bus + ":1.0", entry / "device");
        std::ofstream(root_ / "dev" / "usb" / lp) << "";
    }

    fs::path root_;
    platform::DeviceRoots roots_;
};

TEST_F(TreeTest, UsbListsOnlyTheTwoProductsOfTheMaker)
{
    addUsb("lp0", "1-1", "2e1a", "0b16");
    addUsb("lp1", "1-2", "2e1a", "0c21");  // the maker's, another product
    addUsb("lp2", "1-3", "04b8", "0b23");  // another vendor, same product id
    addUsb("lp3", "1-4", "2E1A", "0B23");
    const telvara::PortList list = telvara::ListPorts(LinkKind::Usb, roots_);
    EXPECT_EQ(list.kind, LinkKind::Usb);
    EXPECT_FALSE(list.fellBack);
    EXPECT_TRUE(list.notice.empty());
    const std::string dev = roots_.devRoot + "/usb/";
    EXPECT_EQ(list.ports, (std::vector<std::string>{"M880:" + dev + "lp0", "M882:" + dev + "lp3"}));
}

TEST_F(TreeTest, NoUsbPrinterFallsBackToSerialWithTheNotice)
{
    addUsb("lp0", "1-1", "2e1a", "0c21");
    const telvara::PortList list = telvara::ListPorts(LinkKind::Usb, roots_);
    EXPECT_TRUE(list.fellBack);
    EXPECT_EQ(list.kind, LinkKind::Serial);
    EXPECT_EQ(list.notice, telvara::texts::kNoUsbPrinter);
    EXPECT_EQ(list.ports.front(), "COM1");
}

TEST_F(TreeTest, SerialListsDevicesThenTheClassicNamesAndParallelThreeLpts)
{
    fs::create_directories(root_ / "sys" / "class" / "tty" / "ttyUSB0" / "device");
    std::ofstream(root_ / "dev" / "ttyUSB0") << "";
    const auto serial = telvara::ListPorts(LinkKind::Serial, roots_).ports;
    ASSERT_EQ(serial.size(), 1u + 9u + 5u);
    EXPECT_EQ(serial[0], roots_.devRoot + "/ttyUSB0");
    EXPECT_EQ(serial[1], "COM1");
    EXPECT_EQ(serial[9], "COM9");
    EXPECT_EQ(serial[10], "\\\\.\\COM10");
    EXPECT_EQ(serial[14], "\\\\.\\COM14");
    EXPECT_EQ(telvara::ListPorts(LinkKind::Parallel, roots_).ports,
              (std::vector<std::string>{"LPT1", "LPT2", "LPT3"}));
    EXPECT_TRUE(telvara::ListPorts(LinkKind::Ethernet, roots_).ports.empty());
}

class PresetTest : public ::testing::Test {
protected:
    ~PresetTest() override { fs::remove_all(dir_); }

    static fs::path makeDir()
    {
        char pattern[] = "/tmp/telvara-reg-XXXXXX";
        return ::mkdtemp(pattern) != nullptr ? fs::path(pattern) : fs::path("/nonexistent");
    }

    fs::path dir_ = makeDir();
    platform::RegistryStore store_{(dir_ / "registry.reg").string()};
};

const char* const kKey880 = "SOFTWARE\\QUELLIX\\KTP-M880\\PSP\\Custom";

TEST_F(PresetTest, SerialSettingsFromTheCustomKey)
{
    ASSERT_TRUE(store_.writeString(kKey880, "Port", "COM3:"));
    ASSERT_TRUE(store_.writeNumber(kKey880, "BaudRate", 19200));
    ASSERT_TRUE(store_.writeNumber(kKey880, "DataBits", 7));
    ASSERT_TRUE(store_.writeNumber(kKey880, "Parity", 3));
    ASSERT_TRUE(store_.writeNumber(kKey880, "StopBits", 2));
    ASSERT_TRUE(store_.writeNumber(kKey880, "FlowControl", 1));
    const telvara::Preset p = telvara::ReadCustomPreset(store_, "Custom_KTP-M880", {});
    ASSERT_TRUE(p.found) << p.notice;
    EXPECT_EQ(p.kind, LinkKind::Serial);
    EXPECT_EQ(p.config.portName, "COM3");
    EXPECT_EQ(p.config.baudRate, 19200);
    EXPECT_EQ(p.config.dataBits, 7);
    EXPECT_EQ(p.config.parity, 3);
    EXPECT_EQ(p.config.stopBits, 2);
    EXPECT_EQ(p.config.flowControl, 1);
}

TEST_F(PresetTest, EthernetParallelAndUsbPorts)
{
    const char* key = "SOFTWARE\\QUELLIX\\KTP-M882\\PSP\\Custom";
    ASSERT_TRUE(store_.writeString(key, "Port", "NET"));
    ASSERT_TRUE(store_.writeString(key, "TcpIp", "127.0.0.5"));
    ASSERT_TRUE(store_.writeNumber(key, "TcpPort", 9101));
    telvara::Preset p = telvara::ReadCustomPreset(store_, "Custom_KTP-M882", {});
    ASSERT_TRUE(p.found);
    EXPECT_EQ(p.kind, LinkKind::Ethernet);
    EXPECT_EQ(p.config.portName, "127.0.0.5");
    EXPECT_EQ(p.config.tcpPort, 9101);

    ASSERT_TRUE(store_.writeString(key, "Port", "LPT2:"));
    p = telvara::ReadCustomPreset(store_, "Custom_KTP-M882", {});
    EXPECT_EQ(p.kind, LinkKind::Parallel);
    EXPECT_EQ(p.config.portName, "LPT2");

    ASSERT_TRUE(store_.writeString(key, "Port", "USB001"));
    p = telvara::ReadCustomPreset(store_, "Custom_KTP-M882", {});
    EXPECT_EQ(p.kind, LinkKind::Usb);
    EXPECT_TRUE(p.config.portName.empty());
}

TEST_F(PresetTest, MissingKeyOrUnknownPortKeepsTheDefaultsWithANotice)
{
    telvara::LinkConfig defaults;
    defaults.baudRate = 9600;
    telvara::Preset p = telvara::ReadCustomPreset(store_, "Custom_KTP-M880", defaults);
    EXPECT_FALSE(p.found);
    EXPECT_FALSE(p.notice.empty());
    EXPECT_EQ(p.config.baudRate, 9600);
    ASSERT_TRUE(store_.writeString(kKey880, "Port", "FILE:"));
    p = telvara::ReadCustomPreset(store_, "Custom_KTP-M880", defaults);
    EXPECT_FALSE(p.found);
    EXPECT_NE(p.notice.find("FILE:"), std::string::npos);
    EXPECT_TRUE(telvara::CustomPresetKey("Custom_KTP-M881").empty());
}

} // namespace
