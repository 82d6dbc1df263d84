// The stored connection's rules over a registry file of its own.
#include "corvane/shell/CorvaneRegistry.h"
#include "corvane/shell/StoredConnection.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace corvane {
namespace {

namespace fs = std::filesystem;

// Replaces seen by the store's before-replace hook; a forked child may die
// at the replace numbered g_dieAtReplace.
int g_replaces = 0;
int g_dieAtReplace = 0;

void countReplace(const std::string&)
{
    if (++g_replaces == g_dieAtReplace)
        ::_exit(0);
}

bool sameConnection(const StoredConnection& a, const StoredConnection& b)
{
    const PortSettings& x = a.settings;
    const PortSettings& y = b.settings;
    return a.interfaceIndex == b.interfaceIndex && x.portName == y.portName && x.baudRate == y.baudRate
           && x.parity == y.parity && x.dataBits == y.dataBits && x.stopBits == y.stopBits
           && x.flowControl == y.flowControl;
}

class StoredConnectionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/corvane-shell-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
        path_ = (dir_ / "registry.reg").string();
    }
    void TearDown() override
    {
        platform::RegistryStore::setBeforeReplaceHook(nullptr);
        fs::remove_all(dir_);
    }

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

TEST_F(StoredConnectionTest, SaveIsOneReplaceInTheWindowsOrder)
{
    platform::RegistryStore store(path_);
    g_replaces = 0;
    g_dieAtReplace = 0;
    platform::RegistryStore::setBeforeReplaceHook(&countReplace);
    StoredConnection saved;
    saved.interfaceIndex = kInterfaceTcp;
    saved.settings = PortSettings{"NET192.168.1.50", 9100, 0, 8, 0, 1};
    ASSERT_TRUE(SaveStoredConnection(store, saved)) << store.lastError().describe();
    EXPECT_EQ(g_replaces, 1);

    std::ifstream in(path_, std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(text, "Windows Registry Editor Version 5.00\n"
                    "\n"
                    "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane]\n"
                    "\"uPortType\"=dword:00000002\n"
                    "\"uPort\"=\"NET192.168.1.50\"\n"
                    "\"uBaudrate\"=dword:0000238c\n"
                    "\"uDatabit\"=dword:00000008\n"
                    "\"uParity\"=dword:00000000\n"
                    "\"uStopbit\"=dword:00000000\n"
                    "\"uFlowcontrol\"=dword:00000001\n");
}

TEST_F(StoredConnectionTest, ExitKilledDuringTheSaveLeavesOneWholeConnection)
{
    StoredConnection before;
    before.interfaceIndex = kInterfaceSerial;
    before.settings = PortSettings{"COM7", 9600, 0, 8, 0, 1};
    StoredConnection after;
    after.interfaceIndex = kInterfaceTcp;
    after.settings = PortSettings{"NET10.0.0.9", 6101, 2, 7, 2, 0};

    // Whichever replace the process dies at, the next start finds the old
    // connection or the new one, never the new interface with the old port.
    for (int dieAt = 1; dieAt <= 7; ++dieAt) {
        platform::RegistryStore store(path_);
        ASSERT_TRUE(SaveStoredConnection(store, before));
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            g_replaces = 0;
            g_dieAtReplace = dieAt;
            platform::RegistryStore::setBeforeReplaceHook(&countReplace);
            platform::RegistryStore child(path_);
            ::_exit(SaveStoredConnection(child, after) ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << dieAt;

        StoredConnection loaded;
        ASSERT_TRUE(LoadStoredConnection(store, loaded)) << dieAt;
        EXPECT_TRUE(sameConnection(loaded, before) || sameConnection(loaded, after))
            << "died at replace " << dieAt << ": " << loaded.interfaceIndex << " "
            << loaded.settings.portName << " " << loaded.settings.baudRate;
    }
}

TEST_F(StoredConnectionTest, APortNameThatCannotBeStoredWritesNothing)
{
    platform::RegistryStore store(path_);
    StoredConnection saved;
    saved.settings.portName = "COM1\nuPortType=2";
    EXPECT_FALSE(SaveStoredConnection(store, saved));
    StoredConnection loaded;
    EXPECT_FALSE(LoadStoredConnection(store, loaded));
    EXPECT_FALSE(fs::exists(path_));
}

} // namespace
} // namespace corvane
