// USB printer discovery over a fake sysfs/dev tree, and printer I/O over a
// fake lp node that points at a pseudo-terminal.
#include "platform/usb_printer_port.h"
#include "platform/usb_printers.h"
#include "platform/testing/pty_peer.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <string>
#include <vector>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using SteadyTime = std::chrono::steady_clock;

long long msSince(SteadyTime::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(SteadyTime::now() - start).count();
}

class FakeTreeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/quellix-usb-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        root_ = pattern;
        roots_.sysRoot = (root_ / "sys").string();
        roots_.devRoot = (root_ / "dev").string();
        fs::create_directories(root_ / "dev" / "usb");
        fs::create_directories(root_ / "sys" / "class" / "usbmisc");
    }
    void TearDown() override
    {
        ::unsetenv("QUELLIX_DEVICE_ROOT");
        fs::remove_all(root_);
    }

    // A USB device `bus` (e.g. "1-1") with one printer interface, bound to
    // lpN; ids empty means the device has none.
    void addPrinter(const std::string& lp, const std::string& bus, const std::string& vendor,
                    const std::string& product)
    {
        const fs::path device = root_ / "sys" / "devices" / "pci0000:00" / "0000:00:14.0" / "usb1" / bus;
        const fs::path interface = device / (bus + ":1.0");
        fs::create_directories(interface / "usbmisc");
        if (!vendor.empty()) {
            std::ofstream(device / "idVendor") << vendor << "\n";
            std::ofstream(device / "idProduct") << product << "\n";
        }
        const fs::path entry = root_ / "sys" / "class" / "usbmisc" / lp;
        fs::create_directories(entry);
        fs::create_directory_symlink("../../../devices/pci0000:00/0000:00:14.0/usb1/" + bus + "/"
                                         + bus + ":1.0",
                                     entry / "device");
    }

    void addNode(const std::string& lp) { std::ofstream(root_ / "dev" / "usb" / lp) << ""; }

    fs::path root_;
    platform::DeviceRoots roots_;
};

TEST_F(FakeTreeTest, ListsOpenablePrintersInLpOrderWithTheirIds)
{
    addPrinter("lp10", "1-3", "3c4d", "0a0b");
    addPrinter("lp1", "1-2", "1a2b", "beef");
    addPrinter("lp0", "1-1", "1A2B", "0001");
    addPrinter("lp2", "1-4", "", "");     // ids unreadable: listed with zeros
    addPrinter("lp3", "1-5", "5e6f", "0002");
    addPrinter("lpx", "1-6", "5e6f", "0003");
    addPrinter("hiddev0", "1-7", "5e6f", "0004");
    for (const char* lp : {"lp0", "lp1", "lp2", "lp10", "lpx", "hiddev0"})
        addNode(lp);
    // Listed in sysfs but its node cannot be opened.
    fs::create_symlink(root_ / "dev" / "usb" / "gone", root_ / "dev" / "usb" / "lp3");

    const auto printers = platform::listUsbPrinters(roots_);
    ASSERT_EQ(printers.size(), 4u);
    const int numbers[] = {0, 1, 2, 10};
    const std::uint16_t vendors[] = {0x1a2b, 0x1a2b, 0, 0x3c4d};
    const std::uint16_t products[] = {0x0001, 0xbeef, 0, 0x0a0b};
    for (std::size_t i = 0; i < printers.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(printers[i].lpNumber, numbers[i]);
        EXPECT_EQ(printers[i].devicePath, roots_.devRoot + "/usb/lp" + std::to_string(numbers[i]));
        EXPECT_EQ(printers[i].vendorId, vendors[i]);
        EXPECT_EQ(printers[i].productId, products[i]);
    }
}

TEST_F(FakeTreeTest, MissingTreeListsNothing)
{
    EXPECT_TRUE(platform::listUsbPrinters(roots_).empty());
    platform::DeviceRoots missing{(root_ / "none").string(), (root_ / "none").string()};
    EXPECT_TRUE(platform::listUsbPrinters(missing).empty());
}

TEST_F(FakeTreeTest, DeviceRootComesFromTheEnvironment)
{
    ::unsetenv("QUELLIX_DEVICE_ROOT");
    const auto defaults = platform::DeviceRoots::fromEnvironment();
    EXPECT_EQ(defaults.sysRoot, "/sys");
    EXPECT_EQ(defaults.devRoot, "/dev");

    addPrinter("lp0", "1-1", "1a2b", "0001");
    addNode("lp0");
    ::setenv("QUELLIX_DEVICE_ROOT", (root_.string() + "/").c_str(), 1);
    const auto roots = platform::DeviceRoots::fromEnvironment();
    EXPECT_EQ(roots.sysRoot, roots_.sysRoot);
    EXPECT_EQ(roots.devRoot, roots_.devRoot);
    const auto printers = platform::listUsbPrinters(roots);
    ASSERT_EQ(printers.size(), 1u);
    EXPECT_EQ(printers[0].devicePath, roots_.devRoot + "/usb/lp0");
}

TEST(UsbPrinterPath, OnlyPathsUnderDevUsb)
{
    const platform::DeviceRoots system;
    EXPECT_TRUE(platform::isUsbPrinterPath("/dev/usb/lp0", system));
    EXPECT_FALSE(platform::isUsbPrinterPath("/dev/usb/", system));
    EXPECT_FALSE(platform::isUsbPrinterPath("/dev/ttyS0", system));
    EXPECT_FALSE(platform::isUsbPrinterPath("/dev/usblp0", system));
    EXPECT_FALSE(platform::isUsbPrinterPath("COM1", system));

    const platform::DeviceRoots fake{"/tmp/t/sys", "/tmp/t/dev"};
    EXPECT_TRUE(platform::isUsbPrinterPath("/tmp/t/dev/usb/lp3", fake));
    EXPECT_FALSE(platform::isUsbPrinterPath("/dev/usb/lp0", fake));
}

class UsbPtyTest : public FakeTreeTest {
protected:
    void SetUp() override
    {
        FakeTreeTest::SetUp();
        node_ = (root_ / "dev" / "usb" / "lp0").string();
        fs::create_symlink(peer_.slavePath(), node_);
    }

    std::vector<std::uint8_t> masterRead(std::size_t count) const { return peer_.read(count); }

    platform::testing::PtyPeer peer_{false};
    const int master_ = peer_.master();
    std::string node_;
};

TEST_F(UsbPtyTest, BytesPassUnchangedBothWays)
{
    auto printer = platform::makeUsbPrinterPort();
    ASSERT_TRUE(printer->open({node_})) << printer->lastError().describe();
    std::vector<std::uint8_t> all(256);
    std::iota(all.begin(), all.end(), std::uint8_t{0});
    ASSERT_EQ(printer->write(all.data(), 256).bytes, 256);
    EXPECT_EQ(masterRead(256), all);

    ASSERT_EQ(::write(master_, all.data(), all.size()), 256);
    std::vector<std::uint8_t> got;
    while (got.size() < all.size()) {
        std::uint8_t buffer[300];
        printer->setReadTimeoutMs(2000);
        const int n = printer->read(buffer, sizeof buffer).bytes;
        ASSERT_GT(n, 0) << printer->lastError().describe();
        got.insert(got.end(), buffer, buffer + n);
    }
    EXPECT_EQ(got, all);
}

TEST_F(UsbPtyTest, SilentReadTimesOut)
{
    auto printer = platform::makeUsbPrinterPort();
    ASSERT_TRUE(printer->open({node_}));
    std::uint8_t buffer[16];
    const auto start = SteadyTime::now();
    printer->setReadTimeoutMs(100);
    const platform::IoResult result = printer->read(buffer, sizeof buffer);
    EXPECT_EQ(result.bytes, 0);
    EXPECT_EQ(result.end, platform::IoEnd::Timeout);
    const long long elapsed = msSince(start);
    EXPECT_GE(elapsed, 90);
    EXPECT_LT(elapsed, 1500);
    EXPECT_EQ(printer->lastError().code, ETIMEDOUT);
}

TEST_F(UsbPtyTest, OpenIsExclusive)
{
    auto first = platform::makeUsbPrinterPort();
    ASSERT_TRUE(first->open({node_}));
    auto second = platform::makeUsbPrinterPort();
    EXPECT_FALSE(second->open({node_}));
    EXPECT_EQ(second->lastError().code, EBUSY);
    first->close();
    first->close();
    EXPECT_TRUE(second->open({node_})) << second->lastError().describe();
}

TEST_F(UsbPtyTest, MissingOrClosedDeviceFails)
{
    auto printer = platform::makeUsbPrinterPort();
    EXPECT_FALSE(printer->open({(root_ / "dev" / "usb" / "lp7").string()}));
    EXPECT_EQ(printer->lastError().code, ENOENT);
    const std::uint8_t byte = 0;
    EXPECT_EQ(printer->write(&byte, 1).bytes, 0);
    EXPECT_EQ(printer->write(&byte, 1).end, platform::IoEnd::Error);
    std::uint8_t buffer[4];
    printer->setReadTimeoutMs(10);
    EXPECT_EQ(printer->read(buffer, sizeof buffer).bytes, 0);
    EXPECT_FALSE(printer->isOpen());
}

TEST_F(UsbPtyTest, StalledPrinterFailsTheWriteAfterTheStallBound)
{
    // The node's far end never reads: the write ends at the 300 ms bound,
    // not at any per-KiB allowance, and says why.
    auto printer = platform::makeUsbPrinterPort();
    ASSERT_TRUE(printer->open({node_}));
    printer->setStallTimeoutMs(300);
    const std::vector<std::uint8_t> big(4 * 1024 * 1024, 0x5A);
    const auto start = SteadyTime::now();
    const platform::IoResult result = printer->write(big.data(), static_cast<int>(big.size()));
    const long long elapsed = msSince(start);
    EXPECT_EQ(result.end, platform::IoEnd::Timeout);
    EXPECT_LT(result.bytes, static_cast<int>(big.size()));
    EXPECT_GE(elapsed, 290);
    EXPECT_LT(elapsed, 3000);
    EXPECT_EQ(result.error.reason, "the printer stopped accepting data for 0.3 s");
    EXPECT_EQ(printer->lastError().code, ETIMEDOUT);
}

} // namespace
