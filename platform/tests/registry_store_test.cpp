#include "platform/registry_store.h"

#include "platform/reg_format.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using platform::RegistryStore;

namespace {

const std::string kKey = "Software\\Quellix\\Corvane";
const std::string kHeader = "Windows Registry Editor Version 5.00\n";

std::string readText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeText(const fs::path& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::size_t countOf(const std::string& text, const std::string& needle)
{
    std::size_t n = 0;
    for (auto pos = text.find(needle); pos != std::string::npos; pos = text.find(needle, pos + 1))
        ++n;
    return n;
}

// Value names such as "v12" and "p1_12", built by appending: GCC 12's
// optimizer reports a bogus overlapping copy (-Wrestrict) for operator+ of
// a literal and a temporary string here.
std::string numbered(std::string_view prefix, long number)
{
    std::string name(prefix);
    name += std::to_string(number);
    return name;
}

std::string writerValueName(int writer, int index)
{
    std::string name = numbered("p", writer);
    name += '_';
    name += std::to_string(index);
    return name;
}

// Exit status of a child, or -1 if it did not exit normally.
int waitForChild(pid_t pid)
{
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

class RegistryStoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string tmpl = ::testing::TempDir() + "registry-test-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
        file_ = dir_ / "registry.reg";
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(dir_, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }

    fs::path dir_;
    fs::path file_;
};

TEST_F(RegistryStoreTest, NumbersAndStringsRoundTripThroughTheFile)
{
    // The directory is created on the first write.
    const fs::path nested = dir_ / "config" / "quellix" / "registry.reg";
    RegistryStore writer(nested.string());
    const std::uint32_t numbers[] = {0, 9600, 0xFFFFFFFFu};
    for (std::uint32_t n : numbers)
        ASSERT_TRUE(writer.writeNumber(kKey, "n" + std::to_string(n), n)) << writer.lastError().describe();
    const std::string strings[] = {"\\\\.\\COM3", "say \"hi\"", "trailing\\", "B\xC3\xBCro \xE6\x9D\xB1\xE4\xBA\xAC"};
    for (std::size_t i = 0; i < std::size(strings); ++i)
        ASSERT_TRUE(writer.writeString(kKey, "s" + std::to_string(i), strings[i]));

    RegistryStore reader(nested.string());
    for (std::uint32_t n : numbers) {
        std::uint32_t value = 12345;
        EXPECT_TRUE(reader.readNumber(kKey, "n" + std::to_string(n), value));
        EXPECT_EQ(value, n);
    }
    for (std::size_t i = 0; i < std::size(strings); ++i) {
        std::string value;
        EXPECT_TRUE(reader.readString(kKey, "s" + std::to_string(i), value));
        EXPECT_EQ(value, strings[i]);
    }

    // Overwriting replaces the value rather than adding a second line.
    ASSERT_TRUE(writer.writeNumber(kKey, "n9600", 19200));
    std::uint32_t baud = 0;
    EXPECT_TRUE(reader.readNumber(kKey, "n9600", baud));
    EXPECT_EQ(baud, 19200u);
    EXPECT_EQ(countOf(readText(nested), "\"n9600\"="), 1u);

    // An empty string is stored but reads as failure.
    ASSERT_TRUE(writer.writeString(kKey, "empty", ""));
    std::string text = "junk";
    EXPECT_FALSE(reader.readString(kKey, "empty", text));
    EXPECT_EQ(text, "");
}

TEST_F(RegistryStoreTest, WritesTheExportFormatInOrder)
{
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.writeString(kKey, "uPort", "NET192.168.1.50"));
    ASSERT_TRUE(store.writeNumber(kKey, "uBaudrate", 9600));
    ASSERT_TRUE(store.writeString(kKey + "\\NV", "Path", "C:\\Temp \"x\""));
    ASSERT_TRUE(store.writeNumber(kKey, "uTimeout", 30));
    ASSERT_TRUE(store.writeString(kKey, "", "dflt"));
    ASSERT_TRUE(store.writeString(kKey, "uPort", "COM1"));
    EXPECT_EQ(readText(file_), kHeader + "\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane]\n"
                               "\"uPort\"=\"COM1\"\n"
                               "\"uBaudrate\"=dword:00002580\n"
                               "\"uTimeout\"=dword:0000001e\n"
                               "@=\"dflt\"\n"
                               "\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane\\NV]\n"
                               "\"Path\"=\"C:\\\\Temp \\\"x\\\"\"\n");
}

TEST_F(RegistryStoreTest, ReadsOnlyValuesOfTheRightType)
{
    writeText(file_, kHeader + "\n[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane]\n"
                               "\"str\"=\"9600\"\n"
                               "\"num\"=dword:00002580\n"
                               "\"hex4\"=hex(4):80,25,00,00\n"
                               "\"hex4long\"=hex(4):80,25,00,00,00,00,00,00\n"
                               "\"bin\"=hex:80,25,00,00\n"
                               "\"qword\"=hex(b):80,25,00,00,00,00,00,00\n"
                               "\"expand\"=hex(2):25,00,54,00,4d,00,50,00,25,00,00,00\n"
                               "\"multi\"=hex(7):61,00,00,00,00,00\n"
                               "\"empty\"=\"\"\n");
    RegistryStore store(file_.string());
    std::uint32_t number = 0;
    EXPECT_TRUE(store.readNumber(kKey, "num", number));
    EXPECT_EQ(number, 9600u);
    number = 0;
    EXPECT_TRUE(store.readNumber(kKey, "hex4", number));
    EXPECT_EQ(number, 9600u);
    for (const char* name : {"str", "hex4long", "bin", "qword", "expand", "empty", "missing"}) {
        number = 77;
        EXPECT_FALSE(store.readNumber(kKey, name, number)) << name;
        EXPECT_EQ(number, 0u) << name;
    }

    std::string text;
    EXPECT_TRUE(store.readString(kKey, "str", text));
    EXPECT_EQ(text, "9600");
    EXPECT_TRUE(store.readString(kKey, "expand", text));
    EXPECT_EQ(text, "%TMP%");
    for (const char* name : {"num", "hex4", "bin", "multi", "empty", "missing"}) {
        text = "junk";
        EXPECT_FALSE(store.readString(kKey, name, text)) << name;
        EXPECT_EQ(text, "") << name;
    }
    EXPECT_FALSE(store.readString("Software\\Quellix\\Other", "str", text));

    RegistryStore absent((dir_ / "absent.reg").string());
    EXPECT_FALSE(absent.readNumber(kKey, "num", number));
    EXPECT_FALSE(absent.lastError().isSet());
}

TEST_F(RegistryStoreTest, NamesAreCaseInsensitiveAndKeepTheirFirstSpelling)
{
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.writeString(kKey, "uPort", "COM1"));
    ASSERT_TRUE(store.writeString("SOFTWARE\\QUELLIX\\CORVANE", "UPORT", "COM2"));
    ASSERT_TRUE(store.writeNumber("software\\QUELLIX\\corvane\\NV", "x", 1));
    std::string port;
    EXPECT_TRUE(store.readString("software\\quellix\\corvane\\", "uport", port));
    EXPECT_EQ(port, "COM2");
    EXPECT_EQ(readText(file_), kHeader + "\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane]\n"
                               "\"uPort\"=\"COM2\"\n"
                               "\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane\\NV]\n"
                               "\"x\"=dword:00000001\n");
}

TEST_F(RegistryStoreTest, HandWrittenFileKeepsWhatItCannotParse)
{
    const std::string before = kHeader + "\n"
                               "; written by hand\n"
                               "[HKEY_CURRENT_USER\\Software\\Quellix\\Corvane]\n"
                               "\"other\"=\"root\"\n"
                               "\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Quellix\\Corvane]\n"
                               "\"uPort\" = \"\\\\\\\\.\\\\COM3\"\n"
                               "this line is garbage\n"
                               "\"broken\"=\"no closing quote\n"
                               "@=\"default \\\"quoted\\\"\"\n"
                               "\"blob\"=hex:01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,\\\n"
                               "  13,14,15,16\n";
    const std::string after = "\"uBaudrate\"=dword:00002580\n"
                              "\n"
                              "[NOT A ROOT\\Software\\Quellix\\Corvane]\n"
                              "\"hidden\"=dword:00000001\n";
    writeText(file_, before + after);

    RegistryStore store(file_.string());
    std::string text;
    EXPECT_TRUE(store.readString(kKey, "uPort", text));
    EXPECT_EQ(text, "\\\\.\\COM3");
    EXPECT_TRUE(store.readString(kKey, "", text));
    EXPECT_EQ(text, "default \"quoted\"");
    EXPECT_FALSE(store.readString(kKey, "broken", text));
    EXPECT_FALSE(store.readString(kKey, "other", text));
    std::uint32_t number = 0;
    EXPECT_TRUE(store.readNumber(kKey, "uBaudrate", number));
    EXPECT_EQ(number, 9600u);
    EXPECT_FALSE(store.readNumber(kKey, "hidden", number));

    // A new value goes to the end of its section; everything else stays.
    ASSERT_TRUE(store.writeNumber(kKey, "uDataBits", 8));
    EXPECT_EQ(readText(file_), before + "\"uBaudrate\"=dword:00002580\n"
                                        "\"uDataBits\"=dword:00000008\n"
                                        "\n"
                                        "[NOT A ROOT\\Software\\Quellix\\Corvane]\n"
                                        "\"hidden\"=dword:00000001\n");
}

TEST_F(RegistryStoreTest, FileWithoutEditorHeaderStillLoads)
{
    const std::string content = "not the header\r\n"
                                "[HKEY_LOCAL_MACHINE\\Software\\Quellix]\r\n"
                                "\"a\"=dword:1\r\n";
    writeText(file_, content);
    RegistryStore store(file_.string());
    std::uint32_t a = 0;
    EXPECT_TRUE(store.readNumber("Software\\Quellix", "a", a));
    EXPECT_EQ(a, 1u);
    ASSERT_TRUE(store.writeNumber("Software\\Quellix", "b", 2));
    EXPECT_EQ(readText(file_), "not the header\n"
                               "[HKEY_LOCAL_MACHINE\\Software\\Quellix]\n"
                               "\"a\"=dword:1\n"
                               "\"b\"=dword:00000002\n");
}

TEST_F(RegistryStoreTest, DeletesValuesAndWholeKeys)
{
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.writeNumber(kKey, "a", 1));
    ASSERT_TRUE(store.writeNumber(kKey, "b", 2));
    ASSERT_TRUE(store.writeNumber(kKey + "\\NV", "c", 3));
    ASSERT_TRUE(store.writeNumber(kKey + "X", "d", 4));

    EXPECT_TRUE(store.deleteValue(kKey, "A"));
    std::uint32_t v = 0;
    EXPECT_FALSE(store.readNumber(kKey, "a", v));
    EXPECT_TRUE(store.readNumber(kKey, "b", v));
    EXPECT_FALSE(store.deleteValue(kKey, "a"));
    EXPECT_EQ(store.lastError().code, ENOENT);

    EXPECT_TRUE(store.deleteKey("software\\quellix\\corvane"));
    EXPECT_FALSE(store.readNumber(kKey, "b", v));
    EXPECT_FALSE(store.readNumber(kKey + "\\NV", "c", v));
    EXPECT_TRUE(store.readNumber(kKey + "X", "d", v));  // a sibling, not a subkey
    EXPECT_EQ(v, 4u);
    EXPECT_FALSE(store.deleteKey(kKey));
    EXPECT_EQ(store.lastError().code, ENOENT);
}

TEST_F(RegistryStoreTest, RefusesWhatCannotBeStoredOnOneLine)
{
    RegistryStore store(file_.string());
    EXPECT_FALSE(store.writeString(kKey, "name", "two\nlines"));
    EXPECT_EQ(store.lastError().code, EINVAL);
    EXPECT_FALSE(store.writeNumber("\\\\", "name", 1));
    EXPECT_FALSE(store.writeNumber(kKey, "bad\rname", 1));
    EXPECT_FALSE(fs::exists(file_));
}

TEST_F(RegistryStoreTest, TwoProcessesWritingAtOnceLoseNothing)
{
    constexpr int kWrites = 200;
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.writeString(kKey, "sentinel", "here"));

    pid_t children[2] = {};
    for (int p = 0; p < 2; ++p) {
        children[p] = ::fork();
        ASSERT_GE(children[p], 0);
        if (children[p] == 0) {
            RegistryStore child(file_.string());
            int failures = 0;
            for (int i = 0; i < kWrites; ++i) {
                const std::string name = writerValueName(p, i);
                if (!child.writeNumber(kKey, name, static_cast<std::uint32_t>(p * 1000 + i)))
                    ++failures;
            }
            ::_exit(failures == 0 ? 0 : 1);
        }
    }

    // Meanwhile a reader must always find a complete file.
    int missedReads = 0;
    int running = 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (running > 0 && std::chrono::steady_clock::now() < deadline) {
        std::string value;
        if (!store.readString(kKey, "sentinel", value) || value != "here")
            ++missedReads;
        // Leave the two cores to the writers most of the time.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        for (pid_t& pid : children) {
            int status = 0;
            if (pid > 0 && ::waitpid(pid, &status, WNOHANG) == pid) {
                EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
                pid = 0;
                --running;
            }
        }
    }
    for (pid_t pid : children) {
        if (pid > 0) {
            EXPECT_EQ(waitForChild(pid), 0);
        }
    }
    EXPECT_EQ(missedReads, 0);

    int found = 0;
    for (int p = 0; p < 2; ++p) {
        for (int i = 0; i < kWrites; ++i) {
            std::uint32_t v = 0;
            if (store.readNumber(kKey, writerValueName(p, i), v)
                && v == static_cast<std::uint32_t>(p * 1000 + i))
                ++found;
        }
    }
    EXPECT_EQ(found, 2 * kWrites);
}

TEST_F(RegistryStoreTest, CrashBeforeReplacingLeavesTheOldFile)
{
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.writeString(kKey, "uPort", "COM1"));
    const std::string old = readText(file_);

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        RegistryStore::setBeforeReplaceHook(+[](const std::string&) { ::_exit(0); });
        RegistryStore child(file_.string());
        child.writeString(kKey, "uPort", "COM2");
        ::_exit(1);  // the hook was not reached
    }
    ASSERT_EQ(waitForChild(pid), 0);

    EXPECT_EQ(readText(file_), old);
    std::string port;
    EXPECT_TRUE(store.readString(kKey, "uPort", port));
    EXPECT_EQ(port, "COM1");
    // The new contents had been written, just not put in place.
    bool strayHasNewValue = false;
    for (const auto& item : fs::directory_iterator(dir_)) {
        const std::string name = item.path().filename().string();
        if (name.rfind("registry.reg.", 0) == 0 && name != "registry.reg.lock")
            strayHasNewValue = strayHasNewValue || readText(item.path()).find("COM2") != std::string::npos;
    }
    EXPECT_TRUE(strayHasNewValue);

    // The dead writer's lock is gone with it.
    ASSERT_TRUE(store.writeString(kKey, "uPort", "COM3"));
    EXPECT_TRUE(store.readString(kKey, "uPort", port));
    EXPECT_EQ(port, "COM3");
}

TEST_F(RegistryStoreTest, UnwritableLocationFailsWithTheReason)
{
    // A regular file where a directory should be refuses even root.
    writeText(dir_ / "plain", "x");
    for (const fs::path& path : {dir_ / "plain" / "registry.reg", dir_ / "plain" / "sub" / "registry.reg"}) {
        RegistryStore store(path.string());
        EXPECT_FALSE(store.writeNumber(kKey, "a", 1)) << path;
        EXPECT_EQ(store.lastError().code, ENOTDIR) << path;
        EXPECT_FALSE(store.lastError().describe().empty());
        EXPECT_FALSE(store.writeString(kKey, "a", "x"));
        EXPECT_EQ(store.lastError().code, ENOTDIR);
        EXPECT_FALSE(store.deleteKey(kKey));
        EXPECT_EQ(store.lastError().code, ENOTDIR);
    }
}

TEST_F(RegistryStoreTest, ReadOnlyDirectoryFailsWithTheReason)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root is not refused by directory permissions";
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.writeNumber(kKey, "a", 1));
    fs::remove(file_.string() + ".lock");
    fs::permissions(dir_, fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(store.writeNumber(kKey, "a", 2));
    EXPECT_EQ(store.lastError().code, EACCES);
    std::uint32_t v = 0;
    EXPECT_TRUE(store.readNumber(kKey, "a", v));
    EXPECT_EQ(v, 1u);
}

// Sets or unsets an environment variable for one test.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST_F(RegistryStoreTest, DefaultPathFollowsTheEnvironment)
{
    ScopedEnv home("HOME", "/home/tech");
    {
        ScopedEnv reg("QUELLIX_REGISTRY", file_.c_str());
        ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(RegistryStore::defaultPath(), file_.string());
        RegistryStore store;
        ASSERT_TRUE(store.writeNumber(kKey, "a", 1));
        EXPECT_TRUE(fs::exists(file_));
    }
    {
        ScopedEnv reg("QUELLIX_REGISTRY", "");
        ScopedEnv xdg("XDG_CONFIG_HOME", "/cfg");
        EXPECT_EQ(RegistryStore::defaultPath(), "/cfg/quellix/registry.reg");
    }
    {
        ScopedEnv reg("QUELLIX_REGISTRY", nullptr);
        ScopedEnv xdg("XDG_CONFIG_HOME", "");
        EXPECT_EQ(RegistryStore::defaultPath(), "/home/tech/.config/quellix/registry.reg");
    }
}

// ---- batch updates -------------------------------------------------------

std::atomic<int> g_replaces{0};

// A record as the memory switch editor or the NV manager stores it: many
// values, every one of which carries the generation it was saved in.
void fillRecord(RegistryStore::Batch& b, int values, std::uint32_t generation)
{
    for (int i = 0; i < values; ++i) {
        const std::string name = numbered("v", i);
        if (i % 5 == 4)
            b.writeString(kKey + "\\NV", name, numbered("gen ", generation));
        else
            b.writeNumber(kKey, name, generation * 1000u + static_cast<std::uint32_t>(i));
    }
}

// Which generation a whole record in `doc` was saved in, or nullopt when it
// is missing, incomplete or mixed.
std::optional<std::uint32_t> recordGeneration(const platform::reg::Document& doc, int values)
{
    namespace reg = platform::reg;
    std::optional<std::uint32_t> generation;
    for (int i = 0; i < values; ++i) {
        const std::string name = numbered("v", i);
        std::uint32_t g = 0;
        if (i % 5 == 4) {
            const reg::Entry* e = reg::findValue(doc, reg::normalizeKey(kKey + "\\NV"), name);
            const auto text = e ? reg::stringOf(*e) : std::nullopt;
            if (!text || text->rfind("gen ", 0) != 0)
                return std::nullopt;
            g = static_cast<std::uint32_t>(std::stoul(text->substr(4)));
        } else {
            const reg::Entry* e = reg::findValue(doc, kKey, name);
            const auto n = e ? reg::numberOf(*e) : std::nullopt;
            if (!n || *n % 1000u != static_cast<std::uint32_t>(i))
                return std::nullopt;
            g = *n / 1000u;
        }
        if (generation && *generation != g)
            return std::nullopt;
        generation = g;
    }
    return generation;
}

class RegistryBatchTest : public RegistryStoreTest {
protected:
    void TearDown() override
    {
        RegistryStore::setBeforeReplaceHook(nullptr);
        RegistryStoreTest::TearDown();
    }
    std::optional<std::uint32_t> generationOnDisk(int values) const
    {
        return recordGeneration(platform::reg::parse(readText(file_)), values);
    }
};

TEST_F(RegistryBatchTest, FiveHundredValuesAreOneReplace)
{
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.writeNumber(kKey, "stale", 1));
    g_replaces = 0;
    RegistryStore::setBeforeReplaceHook(+[](const std::string&) { ++g_replaces; });

    ASSERT_TRUE(store.update([](RegistryStore::Batch& b) {
        fillRecord(b, 500, 7);
        b.deleteValue(kKey, "STALE");
    })) << store.lastError().describe();
    EXPECT_EQ(g_replaces.load(), 1);
    EXPECT_EQ(generationOnDisk(500), 7u);
    std::uint32_t v = 0;
    EXPECT_FALSE(store.readNumber(kKey, "stale", v));

    // Rewriting the record changes values in place rather than adding lines.
    ASSERT_TRUE(store.update([](RegistryStore::Batch& b) { fillRecord(b, 500, 8); }));
    EXPECT_EQ(g_replaces.load(), 2);
    EXPECT_EQ(generationOnDisk(500), 8u);
    EXPECT_EQ(countOf(readText(file_), "\"v499\"="), 1u);
    EXPECT_EQ(countOf(readText(file_), "[HKEY_LOCAL_MACHINE"), 2u);

    // Nothing to do is no write at all.
    EXPECT_TRUE(store.update([](RegistryStore::Batch&) {}));
    EXPECT_EQ(g_replaces.load(), 2);
}

TEST_F(RegistryBatchTest, ChangesApplyInOrder)
{
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.writeNumber(kKey + "\\NV", "old", 1));
    ASSERT_TRUE(store.update([](RegistryStore::Batch& b) {
        b.writeNumber(kKey, "a", 1);
        b.writeString(kKey, "a", "now a string");  // the later change wins
        b.deleteKey(kKey + "\\NV");                 // the list is rebuilt ...
        b.writeString(kKey + "\\NV", "image001", "logo.bmp");  // ... from scratch
        b.deleteValue(kKey, "never there");         // not a failure in a batch
        b.writeNumber(kKey, "gone", 5);
        b.deleteValue(kKey, "gone");
    })) << store.lastError().describe();

    std::string text;
    std::uint32_t v = 0;
    EXPECT_TRUE(store.readString(kKey, "a", text));
    EXPECT_EQ(text, "now a string");
    EXPECT_FALSE(store.readNumber(kKey, "a", v));
    EXPECT_FALSE(store.readNumber(kKey + "\\NV", "old", v));
    EXPECT_TRUE(store.readString(kKey + "\\NV", "image001", text));
    EXPECT_EQ(text, "logo.bmp");
    EXPECT_FALSE(store.readNumber(kKey, "gone", v));
}

TEST_F(RegistryBatchTest, OneChangeThatCannotBeStoredFailsTheWholeBatch)
{
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.writeNumber(kKey, "a", 1));
    const std::string before = readText(file_);

    const auto badChanges = {
        +[](RegistryStore::Batch& b) { b.writeString(kKey, "s", "two\nlines"); },
        +[](RegistryStore::Batch& b) { b.writeNumber("\\", "n", 1); },
        +[](RegistryStore::Batch& b) { b.deleteValue(kKey, "bad\rname"); },
        +[](RegistryStore::Batch& b) { b.deleteKey(""); },
    };
    for (auto bad : badChanges) {
        EXPECT_FALSE(store.update([&](RegistryStore::Batch& b) {
            b.writeNumber(kKey, "a", 2);
            bad(b);
            b.writeNumber(kKey, "b", 3);
        }));
        EXPECT_EQ(store.lastError().code, EINVAL);
        EXPECT_EQ(readText(file_), before);
    }
    // A good batch afterwards clears the reason.
    EXPECT_TRUE(store.update([](RegistryStore::Batch& b) { b.writeNumber(kKey, "a", 2); }));
    EXPECT_FALSE(store.lastError().isSet());
}

TEST_F(RegistryBatchTest, UnwritableLocationFailsTheBatchWithTheReason)
{
    writeText(dir_ / "plain", "x");
    RegistryStore store((dir_ / "plain" / "registry.reg").string());
    EXPECT_FALSE(store.update([](RegistryStore::Batch& b) { fillRecord(b, 24, 1); }));
    EXPECT_EQ(store.lastError().code, ENOTDIR);
}

TEST_F(RegistryBatchTest, ConcurrentReaderSeesOnlyWholeRecords)
{
    constexpr int kValues = 500;
    constexpr std::uint32_t kGenerations = 15;
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.update([](RegistryStore::Batch& b) { fillRecord(b, kValues, 0); }));

    std::atomic<bool> done{false};
    int snapshots = 0;
    int torn = 0;
    std::uint32_t lastSeen = 0;
    bool wentBack = false;
    std::thread reader([&] {
        while (!done.load()) {
            const auto generation = generationOnDisk(kValues);
            ++snapshots;
            if (!generation) {
                ++torn;
                continue;
            }
            wentBack = wentBack || *generation < lastSeen;
            lastSeen = *generation;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    bool allWritten = true;
    for (std::uint32_t g = 1; g <= kGenerations; ++g)
        allWritten = store.update([g](RegistryStore::Batch& b) { fillRecord(b, kValues, g); }) && allWritten;
    done = true;
    reader.join();

    EXPECT_TRUE(allWritten) << store.lastError().describe();
    EXPECT_GT(snapshots, 0);
    EXPECT_EQ(torn, 0);
    EXPECT_FALSE(wentBack);
    EXPECT_EQ(generationOnDisk(kValues), kGenerations);
}

TEST_F(RegistryBatchTest, CrashHalfWayThroughABatchLeavesTheOldRecordWhole)
{
    constexpr int kValues = 24;  // one memory switch record
    RegistryStore store(file_.string());
    ASSERT_TRUE(store.update([](RegistryStore::Batch& b) { fillRecord(b, kValues, 1); }));
    const std::string old = readText(file_);

    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        RegistryStore::setBeforeReplaceHook(+[](const std::string&) { ::_exit(0); });
        RegistryStore child(file_.string());
        child.update([](RegistryStore::Batch& b) { fillRecord(b, kValues, 2); });
        ::_exit(1);  // the hook was not reached
    }
    ASSERT_EQ(waitForChild(pid), 0);

    EXPECT_EQ(readText(file_), old);
    EXPECT_EQ(generationOnDisk(kValues), 1u);
    // The next save goes through: the dead writer's lock died with it.
    ASSERT_TRUE(store.update([](RegistryStore::Batch& b) { fillRecord(b, kValues, 3); }));
    EXPECT_EQ(generationOnDisk(kValues), 3u);
}

} // namespace
