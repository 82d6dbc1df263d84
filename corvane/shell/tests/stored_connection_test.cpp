// The stored connection's rules over a registry file of its own.
#include "corvane/shell/CorvaneRegistry.h"
#include "corvane/shell/StoredConnection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace corvane {
namespace {

namespace fs = std::filesystem;

class StoredConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/corvane-shell-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        path_ = (dir_ / "registry.reg").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path dir_;
    std::string path_;
};

TEST_F(StoredConnectionTest, NothingStoredGivesTheFirstStartConnection)
{
    platform::RegistryStore store(path_);
    StoredConnection loaded;
    loaded.interfaceIndex = kInterfaceTcp;
    loaded.settings = PortSettings{"NET1.2.3.4", 6101, 2, 7, 2, 0};

    EXPECT_FALSE(LoadStoredConnection(store, loaded));
    EXPECT_EQ(loaded.interfaceIndex, kInterfaceSerial);
    EXPECT_EQ(loaded.settings.portName, "COM1");
    EXPECT_EQ(loaded.settings.baudRate, 115200);
    EXPECT_EQ(loaded.settings.dataBits, 8);
    EXPECT_EQ(loaded.settings.parity, 0);
    EXPECT_EQ(loaded.settings.stopBits, 0);
    EXPECT_EQ(loaded.settings.flowControl, 1);
}

TEST_F(StoredConnectionTest, SavedConnectionLoadsBackInAnotherStoreObject)
{
    {
        platform::RegistryStore writer(path_);
        StoredConnection saved;
        saved.interfaceIndex = kInterfaceTcp;
        saved.settings = PortSettings{"NET192.168.1.50", 6101, 1, 7, 2, 0};
        EXPECT_TRUE(SaveStoredConnection(writer, saved));
    }
    platform::RegistryStore reader(path_);
    StoredConnection loaded;
    ASSERT_TRUE(LoadStoredConnection(reader, loaded));
    EXPECT_EQ(loaded.interfaceIndex, kInterfaceTcp);
    EXPECT_EQ(loaded.settings.portName, "NET192.168.1.50");
    EXPECT_EQ(loaded.settings.baudRate, 6101);
    EXPECT_EQ(loaded.settings.parity, 1);
    EXPECT_EQ(loaded.settings.dataBits, 7);
    EXPECT_EQ(loaded.settings.stopBits, 2);
    EXPECT_EQ(loaded.settings.flowControl, 0);

    // The values live under Corvane's key with the names other tools expect.
    std::uint32_t baud = 0;
    EXPECT_TRUE(reader.readNumber("Software\\Quellix\\Corvane", "uBaudrate", baud));
    EXPECT_EQ(baud, 6101u);
    std::string port;
    EXPECT_TRUE(reader.readString("Software\\Quellix\\Corvane", "uPort", port));
    EXPECT_EQ(port, "NET192.168.1.50");
}

TEST_F(StoredConnectionTest, WithAnInterfaceEveryUnreadableValueBecomesZero)
{
    platform::RegistryStore store(path_);
    ASSERT_TRUE(WriteRegistryNumber(store, "uPortType", 0));
    // Wrong types read as missing.
    ASSERT_TRUE(WriteRegistryString(store, "uBaudrate", "9600"));
    ASSERT_TRUE(WriteRegistryNumber(store, "uPort", 7));
    ASSERT_TRUE(WriteRegistryNumber(store, "uParity", 2));

    StoredConnection loaded;
    ASSERT_TRUE(LoadStoredConnection(store, loaded));
    EXPECT_EQ(loaded.interfaceIndex, kInterfaceSerial);
    EXPECT_EQ(loaded.settings.portName, "");
    EXPECT_EQ(loaded.settings.baudRate, 0);
    EXPECT_EQ(loaded.settings.dataBits, 0);
    EXPECT_EQ(loaded.settings.parity, 2);
    EXPECT_EQ(loaded.settings.stopBits, 0);
    EXPECT_EQ(loaded.settings.flowControl, 0);
}

TEST_F(StoredConnectionTest, AnInterfaceThatCannotBeSelectedCountsAsNothingStored)
{
    platform::RegistryStore store(path_);
    ASSERT_TRUE(WriteRegistryString(store, "uPort", "COM7"));
    ASSERT_TRUE(WriteRegistryNumber(store, "uBaudrate", 9600));

    ASSERT_TRUE(WriteRegistryString(store, "uPortType", "1"));
    StoredConnection loaded;
    EXPECT_FALSE(LoadStoredConnection(store, loaded));
    EXPECT_EQ(loaded.settings.portName, "COM1");

    ASSERT_TRUE(WriteRegistryNumber(store, "uPortType", 3));
    EXPECT_FALSE(LoadStoredConnection(store, loaded));
    EXPECT_EQ(loaded.settings.baudRate, 115200);

    ASSERT_TRUE(WriteRegistryNumber(store, "uPortType", 0));
    EXPECT_TRUE(LoadStoredConnection(store, loaded));
    EXPECT_EQ(loaded.settings.portName, "COM7");
    EXPECT_EQ(loaded.settings.baudRate, 9600);
}

TEST_F(StoredConnectionTest, RegistryValuesReadAsMissingGiveZeroAndFailure)
{
    platform::RegistryStore store(path_);
    std::uint32_t number = 77;
    std::string text = "stale";
    EXPECT_FALSE(ReadRegistryNumber(store, "uBaudrate", number));
    EXPECT_EQ(number, 0u);
    EXPECT_FALSE(ReadRegistryString(store, "uPort", text));
    EXPECT_EQ(text, "");

    // An empty string is stored but reads as a failure.
    ASSERT_TRUE(WriteRegistryString(store, "uPort", ""));
    text = "stale";
    EXPECT_FALSE(ReadRegistryString(store, "uPort", text));
    EXPECT_EQ(text, "");
}

TEST_F(StoredConnectionTest, SubkeyValuesAreKeptApartFromTheMainKey)
{
    platform::RegistryStore store(path_);
    EXPECT_EQ(CorvaneKeyPath(), "Software\\Quellix\\Corvane");
    EXPECT_EQ(CorvaneKeyPath("NV"), "Software\\Quellix\\Corvane\\NV");

    ASSERT_TRUE(WriteRegistryNumber(store, "Count", 3, "NV"));
    ASSERT_TRUE(WriteRegistryString(store, "Name", "logo", "NV"));
    std::uint32_t count = 0;
    std::string name;
    EXPECT_TRUE(ReadRegistryNumber(store, "Count", count, "NV"));
    EXPECT_EQ(count, 3u);
    EXPECT_TRUE(ReadRegistryString(store, "Name", name, "NV"));
    EXPECT_EQ(name, "logo");
    EXPECT_FALSE(ReadRegistryNumber(store, "Count", count));
    EXPECT_TRUE(store.readNumber("Software\\Quellix\\Corvane\\NV", "Count", count));
}

TEST_F(StoredConnectionTest, SaveReportsAFailedWrite)
{
    // The registry file's directory is a regular file: nothing can be written.
    { std::ofstream(dir_ / "blocker") << "x"; }
    platform::RegistryStore store((dir_ / "blocker" / "registry.reg").string());
    StoredConnection connection;
    EXPECT_FALSE(SaveStoredConnection(store, connection));
    StoredConnection loaded;
    EXPECT_FALSE(LoadStoredConnection(store, loaded));
}

} // namespace
} // namespace corvane
