// The get / set / default job and the editor flow on the manual clock.
#include "tlvr_fixture.h"

#include "corvane/switches/TlvrEditor.h"
#include "corvane/switches/TlvrJob.h"

#include <algorithm>
#include <filesystem>
#include <unistd.h>

using namespace corvane;
using namespace tlvr_test;

namespace {

struct Watch final : platform::JobObserver {
    int highest = 0;
    std::vector<std::string> statuses;
    void progressChanged(const platform::JobProgress& p) override { highest = std::max(highest, p.value); }
    void statusChanged(const std::string& s) override { statuses.push_back(s); }
};

struct JobTest : TlvrTest {
    Watch watch;

    // A printer that answers every read of the get.
    void printerIs(const std::string& model, const std::string& version, std::uint8_t msr = '0')
    {
        scriptAnsweringPrinter(script, model, version, msr);
    }

    platform::JobResult run(int mode)
    {
        TlvrJob job(record, mode);
        job.setObserver(&watch);
        return platform::runJob(job, clock);
    }

    bool wasSent(const Bytes& command) const
    {
        return std::find(printer.writes.begin(), printer.writes.end(), command) != printer.writes.end();
    }
};

TEST_F(JobTest, GsGetReadsEverySettingOfACurrentPrinter)
{
    printerIs("KMP-Z600", "_V01.00");
    const platform::JobResult r = run(kTlvrModeGet);
    ASSERT_EQ(r.end, platform::JobEnd::Ok) << r.message;
    EXPECT_EQ(util.g_Getver, 101000u);
    EXPECT_EQ(record.Density, 4);
    EXPECT_EQ(record.LCharMode, 1);
    EXPECT_EQ(record.Pdf417, 1);
    EXPECT_EQ(record.TimeOff, 15);
    EXPECT_EQ(record.TimeSave, 10);
    EXPECT_EQ(record.Msr, 0);
    EXPECT_EQ(record.BlackMarkSensor, PackBlackMark('0', '1'));
    EXPECT_EQ(record.Baudrate, 115200);
    EXPECT_EQ(record.Databit, 8);
    EXPECT_EQ(record.Track2Start, "START2");
    EXPECT_EQ(record.Track3End, "END3");
    EXPECT_EQ(record.RfInterface, 1);
    EXPECT_EQ(record.BtConnectionMode, 1);
    EXPECT_EQ(record.BtDeviceName, "KMP-Z600");
    EXPECT_EQ(record.BtPinCode, "9274");
    EXPECT_EQ(record.BtSecurity, 1);
    EXPECT_TRUE(wasSent(readSwitchGs(0x51)));
    EXPECT_FALSE(wasSent(readSwitchGs(0x49))) << "no model answers 0x49";
    EXPECT_EQ(watch.highest, 100);
    // 22 steps of 4 reach 100 before the finish, which then has nothing to add.
    EXPECT_EQ(watch.statuses.back(), "Get status : 100 %");
    EXPECT_NE(std::find(watch.statuses.begin(), watch.statuses.end(), "Get status : 45 %"), watch.statuses.end());
    EXPECT_TRUE(util.port.IsOpen()) << "the port stays open for the set";
}

TEST_F(JobTest, StepsSkippedByVersionModelAndMsrMode)
{
    printerIs("KMP-Z400II", "_V01.00");
    ASSERT_EQ(run(kTlvrModeGet).end, platform::JobEnd::Ok);
    EXPECT_FALSE(wasSent(readSwitchGs(0x51))) << "Z4 models have no black mark switch";

    printer.writes.clear();
    printerIs("KMP-Z400", "_VER  XXX V1.06");  // 11060
    ASSERT_EQ(run(kTlvrModeGet).end, platform::JobEnd::Ok);
    EXPECT_EQ(util.g_Getver, 11060u);
    EXPECT_FALSE(wasSent(readSwitchGs(7)));
    EXPECT_TRUE(wasSent(readSwitchGs(3)));
    EXPECT_FALSE(wasSent({0x08, 0x4D, 0x53, 0x02, 0x00, 0x34, '1'}));
    EXPECT_FALSE(wasSent({0x1F, 0x1F, 0x69, 'c'}));

    printer.writes.clear();
    printerIs("KMP-Z400", "_VER V1.03");  // 1030: no switch 3
    ASSERT_EQ(run(kTlvrModeGet).end, platform::JobEnd::Ok);
    EXPECT_FALSE(wasSent(readSwitchGs(3)));
    EXPECT_TRUE(wasSent(readSwitchGs(7)));

    printer.writes.clear();
    printerIs("KMP-Z400", "_B01.00", 'P');  // 21001: BS form
    ASSERT_EQ(run(kTlvrModeGet).end, platform::JobEnd::Ok);
    EXPECT_TRUE(wasSent(readSwitchBs(1)));
    EXPECT_FALSE(wasSent(readSwitchGs(1)));
    EXPECT_FALSE(wasSent(readSwitchBs(7))) << "MSR mode P has no switch 7";
    EXPECT_TRUE(wasSent(readSerialBs(4)));
}

TEST_F(JobTest, FailingStepEndsWithItsMessageAndCode)
{
    printerIs("KMP-Z600", "_V01.00");
    script.on(readSwitchGs(8), Bytes{});  // silence
    const platform::JobResult r = run(kTlvrModeGet);
    EXPECT_EQ(r.end, platform::JobEnd::Cancel);
    EXPECT_EQ(r.message, "Failed to read SW8 data!");
    EXPECT_EQ(r.code, kNoReply);
    EXPECT_FALSE(util.port.IsOpen());
    EXPECT_EQ(record.TimeOff, 15) << "values read before the failure stay";
    EXPECT_LE(watch.highest, 100);

    printer.failOpens = 5;
    const platform::JobResult o = run(kTlvrModeGet);
    EXPECT_EQ(o.message, "Port open error!");
    EXPECT_EQ(o.code, kTlvrPortOpenFailed);
}

// The set of a current GS printer after a get, byte for byte.
TEST_F(JobTest, GsSetWritesTheRecordBetweenBeginAndEnd)
{
    printerIs("KMP-Z600", "_V01.00");
    ASSERT_EQ(run(kTlvrModeGet).end, platform::JobEnd::Ok);
    printer.writes.clear();
    record.Density = 6;
    record.SkipBluetooth = 1;
    const auto start = clock.tickMs();
    const platform::JobResult r = run(kTlvrModeSet);
    ASSERT_EQ(r.end, platform::JobEnd::Ok) << r.message;
    const std::vector<Bytes>& w = printer.writes;
    ASSERT_GE(w.size(), 3u);
    EXPECT_EQ(w.front(), kBeginGs);
    EXPECT_EQ(w[2], cat({{0x01}, bytesOf("22201110")})) << "speed 0, double byte mode 1, density 6";
    EXPECT_TRUE(wasSent(cat({{0x51}, bytesOf("00000001")})));
    EXPECT_TRUE(wasSent(cat({{0x49}, bytesOf("00000000")})));
    EXPECT_TRUE(wasSent(cat({{0x50}, bytesOf("00000001")})));
    EXPECT_EQ(w.back(), (Bytes{0x1D, 0x28, 0x45, 0x04, 0x00, 0x02, 'O', 'U', 'T'}));
    EXPECT_FALSE(std::any_of(w.begin(), w.end(), [](const Bytes& b) { return b.size() > 2 && b[0] == 0x1F; }))
        << "no Bluetooth write when skipped";
    EXPECT_LT(clock.tickMs() - start, 4000u) << "no 20 x 200 ms wait without the Bluetooth write";
    EXPECT_EQ(watch.highest, 100);
    EXPECT_EQ(watch.statuses.back(), "Completed....: 100 %") << "the finish raises the rest";
}

TEST_F(JobTest, BluetoothWriteWaitsFourSecondsAndTheFinishTimerRunsMeanwhile)
{
    printerIs("KMP-Z600", "_V01.00");
    ASSERT_EQ(run(kTlvrModeGet).end, platform::JobEnd::Ok);
    TlvrJob job(record, kTlvrModeSet);
    ASSERT_EQ(job.start().timerId(), kTlvrTimerSet);
    ASSERT_EQ(job.fire(kTlvrTimerSet).timerId(), kTlvrTimerSetGs);
    const auto start = clock.tickMs();
    const platform::JobNext next = job.fire(kTlvrTimerSetGs);
    EXPECT_GE(clock.tickMs() - start, 20u * 200u);
    EXPECT_EQ(next.timerId(), kTlvrTimerFinish);
    EXPECT_EQ(next.delayMs(), 0u) << "the 1000 ms period passed during the pauses";
    EXPECT_EQ(printer.writes.back(), cat({bytesOf("\x1F\x1F\x70" "12" "9274\r" "KMP-Z600\r")}));
}

TEST_F(JobTest, BlackMarkNeverReadIsNotWritten)
{
    printerIs("KMP-Z400II", "_V01.00");  // 0x51 not read
    ASSERT_EQ(run(kTlvrModeGet).end, platform::JobEnd::Ok);
    record.SkipBluetooth = 1;
    printer.writes.clear();
    ASSERT_EQ(run(kTlvrModeSet).end, platform::JobEnd::Ok);
    EXPECT_FALSE(std::any_of(printer.writes.begin(), printer.writes.end(),
                             [](const Bytes& b) { return !b.empty() && b[0] == 0x51; }));
}

TEST_F(JobTest, BsSetKeepsTheSwitchBlockAlignedWithoutSwitch7)
{
    printerIs("KMP-Z400", "_B01.00", 'P');
    ASSERT_EQ(run(kTlvrModeGet).end, platform::JobEnd::Ok);
    record.SkipBluetooth = 1;
    printer.writes.clear();
    printer.written.clear();
    ASSERT_EQ(run(kTlvrModeSet).end, platform::JobEnd::Ok);
    const std::string all(printer.written.begin(), printer.written.end());
    const std::string header("\x08\x5E\x45\x39\x00\x03", 6);
    const auto at = all.find(header);
    ASSERT_NE(at, std::string::npos);
    // 57 declared bytes: fn + 7 x 8 characters, then the next command.
    EXPECT_EQ(all.substr(at + 6 + 40, 8), "22222222") << "switch 7's place";
    EXPECT_EQ(all.substr(at + 6 + 56, 3), "\x08\x5E\x45");
    EXPECT_EQ(all.find("\x1F\x1F\x70"), std::string::npos);
}

TEST_F(JobTest, DefaultSendsTheSequenceAndWaitsTheFullFiveSeconds)
{
    printerIs("KMP-Z600", "_V01.00");
    ASSERT_EQ(run(kTlvrModeGet).end, platform::JobEnd::Ok);
    printer.onWrite = [this](const Bytes& data) {
        if (data.size() == 250)
            printer.reply(kAck, 20);
    };
    printer.writes.clear();
    const auto start = clock.tickMs();
    const platform::JobResult r = run(kTlvrModeDefault);
    ASSERT_EQ(r.end, platform::JobEnd::Ok);
    ASSERT_EQ(printer.writes.size(), 1u);
    EXPECT_EQ(printer.writes[0].size(), 250u);
    EXPECT_GE(clock.tickMs() - start, 99u * 50u) << "every pause, even past 100";
    EXPECT_EQ(watch.highest, 100);

    printer.onWrite = nullptr;
    const platform::JobResult f = run(kTlvrModeDefault);
    EXPECT_EQ(f.message, "Failed to set factory default!");
    EXPECT_EQ(f.code, kNoReply);
}

TEST_F(JobTest, NoModeEndsAtOnce)
{
    TlvrJob job(record, kTlvrModeNone);
    EXPECT_TRUE(job.start().isEnd());
}

// ---- the editor flow ----------------------------------------------------------

struct EditorTest : JobTest {
    std::string path;
    std::vector<std::pair<std::string, std::string>> messages;
    TlvrEditorHooks hooks;
    PagesChoice choice = PagesChoice::Save;

    void SetUp() override
    {
        JobTest::SetUp();
        path = (std::filesystem::temp_directory_path() / ("tlvr-editor-" + std::to_string(getpid()) + ".reg")).string();
        std::filesystem::remove(path);
        hooks.runJob = [this](platform::Job& job) { return platform::runJob(job, clock); };
        hooks.showPages = [this](CCommonTlvr& r) {
            r.Density = 1;
            r.SkipBluetooth = 1;
            return choice;
        };
        hooks.showMessage = [this](const std::string& text, const std::string& caption) {
            messages.emplace_back(text, caption);
        };
    }
    void TearDown() override { std::filesystem::remove(path); }
};

TEST_F(EditorTest, SuccessfulSetSavesTheRecordAndClosesThePort)
{
    printerIs("KMP-Z600", "_V01.00");
    platform::RegistryStore store(path);
    const TlvrEditorResult r = RunTlvrEditor(record, store, hooks);
    EXPECT_EQ(r.outcome, TlvrEditorOutcome::Done);
    EXPECT_TRUE(r.saved);
    EXPECT_FALSE(util.port.IsOpen());
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "Success to set TLVR configuration! \r\nPlease reset printer power.");
    EXPECT_EQ(messages[0].second, "Corvane");
    std::uint32_t density = 0;
    EXPECT_TRUE(store.readNumber("Software\\Quellix\\Corvane", "Density", density));
    EXPECT_EQ(density, 1u);
}

TEST_F(EditorTest, FailuresShowTheirMessagesAndNothingIsSaved)
{
    printerIs("KMP-Z600", "_V01.00");
    platform::RegistryStore store(path);
    script.on(kBeginGs, Bytes{});
    TlvrEditorResult r = RunTlvrEditor(record, store, hooks);
    EXPECT_EQ(r.outcome, TlvrEditorOutcome::SetFailed);
    EXPECT_EQ(r.job.message, "Failed to set initial command!");
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "Failed to save TLVR configuration!\r\nPlease check your printer state.");
    EXPECT_FALSE(std::filesystem::exists(path));

    messages.clear();
    ASSERT_EQ(util.port.Open(), 1);
    script.on(readSwitchGs(1), Bytes{});
    r = RunTlvrEditor(record, store, hooks);
    EXPECT_EQ(r.outcome, TlvrEditorOutcome::GetFailed);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, "Failed to read SW1 data!");

    messages.clear();
    ASSERT_EQ(util.port.Open(), 1);
    script.on(readSwitchGs(1), switchReply("00001100"));
    choice = PagesChoice::Cancel;
    r = RunTlvrEditor(record, store, hooks);
    EXPECT_EQ(r.outcome, TlvrEditorOutcome::PagesCancelled);
    EXPECT_TRUE(messages.empty());
    EXPECT_FALSE(util.port.IsOpen());
}

} // namespace
