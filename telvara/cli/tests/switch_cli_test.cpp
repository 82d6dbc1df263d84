// telvara-cli's memory switch commands on the fake printer: what get and set
// print, the order SETTINGS apply in, status files made and shown without a
// printer, and files refused before anything is sent.
#include "telvara/cli/cli_jobs.h"
#include "telvara/cli/cli_options.h"

#include "telvara/status/StatusFile.h"

#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <stdlib.h>

namespace {

namespace fs = std::filesystem;
using platform::testing::Bytes;
using platform::testing::bytesOf;
using telvara::cli::Options;

std::string problemOf(const std::vector<std::string>& words)
{
    Options o;
    std::string problem;
    EXPECT_FALSE(telvara::cli::parseOptions(words, o, problem));
    return problem;
}

Bytes switchReply(const std::string& pins)
{
    Bytes b{0x37, 0x21};
    b.insert(b.end(), pins.begin(), pins.end());
    b.push_back(0);
    return b;
}

class SwitchCliTest : public ::testing::Test {
protected:
    SwitchCliTest()
    {
        replies_[{0x1d, 0x49, 0x03}] = {'c'};
        replies_[{0x1d, 0x49, 0x42}] = bytesOf("_QUELLIX", true);
        replies_[{0x1d, 0x49, 0x43}] = bytesOf("_KTP-M880", true);
        replies_[{0x1d, 0x49, 0x41}] = bytesOf("_V1.31", true);
        replies_[{0x1d, 0x49, 0x45}] = bytesOf("_ENGLISH", true);
        for (const auto& [sw, pins] : std::map<int, std::string>{{1, "00000011"}, {2, "00011100"}, {3, "00000000"},
                                                                 {4, "00000000"}, {5, "00000000"}, {6, "00000000"},
                                                                 {11, "00000000"}, {12, "00000000"}})
            replies_[{0x1d, 0x28, 0x45, 0x02, 0x00, 0x04, static_cast<std::uint8_t>(sw)}] = switchReply(pins);
        printer_.onWrite = [this](const Bytes& w) {
            if (const auto it = replies_.find(w); it != replies_.end())
                printer_.reply(it->second);
        };
    }
    ~SwitchCliTest() override { fs::remove_all(dir_); }
    static fs::path makeDir()
    {
        char pattern[] = "/tmp/telvara-sw-XXXXXX";
        return ::mkdtemp(pattern) != nullptr ? fs::path(pattern) : fs::path("/nonexistent");
    }
    telvara::cli::JobResult run(const std::vector<std::string>& words)
    {
        Options o;
        std::string problem;
        EXPECT_TRUE(telvara::cli::parseOptions(words, o, problem)) << problem;
        return telvara::cli::runJob(o, devices_, clock_, store_);
    }
    static std::string printed(const telvara::cli::JobResult& r, bool json, std::string* err = nullptr)
    {
        std::ostringstream out;
        std::ostringstream e;
        telvara::cli::printResult(r, json, out, e);
        if (err != nullptr)
            *err = e.str();
        return out.str();
    }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_ = makeDir();
    platform::RegistryStore store_{(dir_ / "registry.reg").string()};
    platform::ManualClock clock_;
    platform::testing::FakePrinter printer_{clock_};
    platform::testing::FakeDevices devices_{printer_, (dir_ / "dev").string()};
    std::map<Bytes, Bytes> replies_;
};

TEST(SwitchCliOptions, OptionsBelongToTheirCommands)
{
    EXPECT_NE(problemOf({"set", "--save", "a.sts"}).find("--save belongs to get"), std::string::npos);
    EXPECT_NE(problemOf({"get", "--speed", "1"}).find("--speed belongs to set"), std::string::npos);
    EXPECT_NE(problemOf({"set", "--from", "a.sts", "--initialize"}).find("do not go together"), std::string::npos);
    EXPECT_NE(problemOf({"set", "--speed", "5"}).find("--speed"), std::string::npos);
    EXPECT_NE(problemOf({"set", "--pin", "7.1=on"}).find("--pin"), std::string::npos);
    EXPECT_NE(problemOf({"sts", "show"}), "");
}

TEST_F(SwitchCliTest, GetPrintsIdentitySwitchesAndSettings)
{
    std::string err;
    const auto r = run({"--port", "/dev/pts/9", "get"});
    ASSERT_EQ(r.exitStatus, 0) << r.errorMessage;
    EXPECT_EQ(printed(r, false, &err),
              "model: KTP-M880\nfirmware: V1.31\nlanguage: ENGLISH\nfirmware-old: yes\n"
              "MSW1 00000011\nMSW2 00011100\nMSW3 00000000\nMSW4 00000000\nMSW5 00000000\nMSW6 00000000\n"
              "MSW11 00000000\nMSW12 00000000\n"
              "print-speed: 1\nprint-density: 1\nemulation: 1\ncode-page: 35 PC866 (DTK)\n"
              "single-byte-font: A\ndouble-byte-font: single\n");
    EXPECT_EQ(err, "status: Printer is connected.\nstatus: Success to get status of printer.\n");
    const std::string json = printed(r, true);
    EXPECT_NE(json.find("\"firmware-old\": \"yes\""), std::string::npos);
    EXPECT_NE(json.find("\"switches\": {\"MSW1\": \"00000011\""), std::string::npos);
    EXPECT_NE(json.find("\"code-page\": \"35 PC866 (DTK)\""), std::string::npos);
}

TEST_F(SwitchCliTest, AnIncompleteGetFailsAndSavesNothing)
{
    replies_.erase({0x1d, 0x28, 0x45, 0x02, 0x00, 0x04, 12});
    std::string err;
    const auto r = run({"--port", "/dev/pts/9", "get", "--save", path("out.sts")});
    EXPECT_EQ(r.exitStatus, 1);
    printed(r, false, &err);
    EXPECT_NE(err.find("MSW12"), std::string::npos);
    EXPECT_NE(err.find("error incomplete: Can't connect printer. Please restart printer."), std::string::npos);
    EXPECT_FALSE(fs::exists(path("out.sts")));
}

TEST_F(SwitchCliTest, SetAppliesSettingsInTheFixedOrderThenPinsInTheGivenOrder)
{
    // The named speed goes first although given last, the --switch then
    // leaves pins 1-6 as "no change", and the --pin after it wins.
    const auto r = run({"--port", "/dev/pts/9", "set", "--no-get", "--switch", "1=10------", "--pin", "1.1=off",
                        "--speed", "1", "--code-page", "35"});
    ASSERT_EQ(r.exitStatus, 0) << r.errorMessage;
    ASSERT_EQ(r.lines.size(), 8u);
    EXPECT_EQ(r.lines[0], "sent MSW1 10222220");
    EXPECT_EQ(r.lines[1], "sent MSW2 00011122");
    EXPECT_EQ(r.lines[7], "sent MSW12 00000000");
    // No switch read went out.
    for (const Bytes& w : printer_.writes)
        EXPECT_FALSE(w.size() == 7 && w[5] == 0x04);
}

TEST_F(SwitchCliTest, StatusFilesMadeShownAndRefused)
{
    const auto made = run({"sts", "make", path("a.sts"), "--speed", "2", "--double-byte-font", "BIG5"});
    ASSERT_EQ(made.exitStatus, 0) << made.errorMessage;
    EXPECT_EQ(fs::file_size(path("a.sts")), telvara::kStatusFileSize);
    const std::string shown = printed(run({"sts", "show", path("a.sts")}), false);
    EXPECT_NE(shown.find("MSW1 -----010\n"), std::string::npos);
    EXPECT_NE(shown.find("print-speed: 2\n"), std::string::npos);
    // The file carries switches 2 and 12 of the font, not switch 4.
    EXPECT_NE(shown.find("MSW2 -------1\n"), std::string::npos);
    EXPECT_NE(shown.find("MSW4 --------\n"), std::string::npos);
    EXPECT_NE(shown.find("MSW12 ------1-\n"), std::string::npos);

    // A pin value outside 0..2, and a name that does not end in "sts".
    std::string bytes(telvara::kStatusFileSize, '\0');
    bytes[4] = 7;
    std::ofstream(path("bad.sts"), std::ios::binary) << bytes;
    fs::copy_file(path("a.sts"), path("a.STS"));
    for (const char* name : {"bad.sts", "a.STS"}) {
        SCOPED_TRACE(name);
        printer_.writes.clear();
        std::string err;
        const auto r = run({"--port", "/dev/pts/9", "set", "--from", path(name)});
        EXPECT_EQ(r.exitStatus, 2);
        printed(r, false, &err);
        EXPECT_NE(err.find("error format: Wrong format files loaded."), std::string::npos);
        EXPECT_TRUE(printer_.writes.empty());
        EXPECT_EQ(run({"sts", "show", path(name)}).exitStatus, 2);
    }
}

TEST_F(SwitchCliTest, SetFromAFileCarriesSwitches1_2_11_12Only)
{
    telvara::StatusMatrix m;
    m.setSwitch(1, {1, 1, 2, 2, 2, 2, 2, 2});
    m.setSwitch(3, {1, 1, 1, 1, 1, 1, 1, 1});
    m.setSwitch(11, {2, 2, 2, 2, 1, 1, 1, 1});
    ASSERT_EQ(telvara::SaveStatusFile(path("f.sts"), m, 1).result, telvara::StatusFileResult::Done);
    const auto r = run({"--port", "/dev/pts/9", "set", "--from", path("f.sts"), "--no-get"});
    ASSERT_EQ(r.exitStatus, 0) << r.errorMessage;
    EXPECT_EQ(r.lines[0], "sent MSW1 00000011");
    EXPECT_EQ(r.lines[2], "sent MSW3 22222222");
    EXPECT_EQ(r.lines[6], "sent MSW11 11110000");
}

} // namespace
