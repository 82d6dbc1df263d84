// The NV worker's jobs with a scripted printer on the manual clock.
#include "nv_fixture.h"

#include "corvane/nv/NvJob.h"

using namespace corvane;
using namespace nv_test;

namespace {

using Strings = std::vector<std::string>;

struct Watch final : platform::JobObserver {
    std::vector<int> values;
    Strings statuses;
    std::function<void(const std::string&)> onStatus;
    void progressChanged(const platform::JobProgress& p) override { values.push_back(p.value); }
    void statusChanged(const std::string& s) override
    {
        statuses.push_back(s);
        if (onStatus)
            onStatus(s);
    }
    bool saw(const std::string& s) const { return std::find(statuses.begin(), statuses.end(), s) != statuses.end(); }
};

NvCommand commandOf(const std::string& name, std::size_t bytes)
{
    NvCommand c{name, {}};
    c.data.assign(bytes, 0x5A);
    return c;
}

struct NvJobTest : NvTest {
    Watch watch;
    platform::JobCancel cancel;
    std::unique_ptr<NvJob> job;

    NvJob& make(int code)
    {
        job = std::make_unique<NvJob>(nv, code, clock);
        job->setObserver(&watch);
        job->setCountStore(*store);
        return *job;
    }
    platform::JobResult run(int code)
    {
        make(code);
        return platform::runJob(*job, clock, &cancel);
    }
    // The port is open and the printer identified: tick 1 has nothing to do.
    void ready() { nv.printerIdentified = 1; }
    // Answers the identification as a key-code or an indexed printer.
    void identifiesAs(const std::string& version, std::function<void(const Bytes&)> more = {})
    {
        answer = [this, version, more](const Bytes& data) {
            if (data == kModelQuery)
                printer.reply(bytesOf("_KMP-Z400", true));
            else if (data == kVersionQuery)
                printer.reply(bytesOf(version, true));
            else if (more)
                more(data);
        };
    }
    void commandsFor(std::vector<NvCommand> commands)
    {
        nv.commands = std::move(commands);
        nv.commandsTarget = nv.currentTarget();
    }
};

// --- tick 1 ---

using OpenTickTest = NvJobTest;

TEST_F(OpenTickTest, OpenAndIdentifiedOnlyStartsTheJobTick)
{
    ready();
    NvJob& j = make(kNvJobPrintSelected);
    const platform::JobNext first = j.start();
    EXPECT_EQ(first.timerId(), kNvTickOpen);
    EXPECT_EQ(first.delayMs(), 100u);
    const std::uint64_t t0 = clock.tickMs();
    const platform::JobNext next = j.fire(kNvTickOpen);
    EXPECT_EQ(next.timerId(), kNvJobPrintSelected);
    EXPECT_EQ(next.delayMs(), 100u);
    EXPECT_EQ(j.progress().value, 0);
    EXPECT_EQ(clock.tickMs(), t0);
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(OpenTickTest, OpensAndIdentifiesOnceAdvancingFivePerStep)
{
    util.port.Close();
    identifiesAs("_B01.00");
    NvJob& j = make(kNvJobAddresses);
    j.start();
    const std::uint64_t t0 = clock.tickMs();
    const platform::JobNext next = j.fire(kNvTickOpen);
    EXPECT_EQ(next.timerId(), kNvJobAddresses);
    EXPECT_EQ(j.progress().value, 15);
    EXPECT_EQ(nv.printerIdentified, 1);
    EXPECT_TRUE(nv.indexedFamily());
    EXPECT_GE(clock.tickMs() - t0, 30u) << "15 steps of 2 ms";

    // A second job opens a closed port again without identifying.
    util.port.Close();
    printer.writes.clear();
    NvJob& again = make(kNvJobAddresses);
    again.start();
    again.fire(kNvTickOpen);
    EXPECT_EQ(again.progress().value, 5);
    EXPECT_EQ(count(kModelQuery), 0u);
}

TEST_F(OpenTickTest, FailuresCarryTheirMessages)
{
    util.port.Close();
    printer.failOpens = 100;
    platform::JobResult r = run(kNvJobAddresses);
    EXPECT_EQ(r.end, platform::JobEnd::Cancel);
    EXPECT_EQ(r.message, "Port open error!");
    EXPECT_EQ(r.code, kNvJobPortOpenFailed);

    printer.failOpens = 0;
    answer = nullptr;   // no reply to the model query
    r = run(kNvJobAddresses);
    EXPECT_EQ(r.message, "Printer model is not matched!");
    EXPECT_EQ(job->message(), r.message);
    EXPECT_EQ(nv.printerIdentified, 0);

    ASSERT_TRUE(util.port.IsOpen() || util.port.Open() == 1);
    answer = [this](const Bytes& data) {
        if (data == kModelQuery)
            printer.reply(bytesOf("_KMP-Z400", true));
    };
    r = run(kNvJobAddresses);
    EXPECT_EQ(r.message, "Failed to get printer version!");
}

// --- get addresses, deletes, prints ---

using JobFlowTest = NvJobTest;

TEST_F(JobFlowTest, GetAddressesReadsTheKeyListAndFills)
{
    ready();
    keyListReplies({keyBlock(0x40, "A1B2")});
    NvJob& j = make(kNvJobAddresses);
    j.start();
    j.fire(kNvTickOpen);
    const platform::JobNext next = j.fire(kNvJobAddresses);
    EXPECT_EQ(nv.addresses, (Strings{"A1", "B2"}));
    EXPECT_EQ(j.progress().value, 20);
    EXPECT_EQ(next.timerId(), kNvTickFinish);
    EXPECT_EQ(next.delayMs(), 100u);
    const std::uint64_t t0 = clock.tickMs();
    const platform::JobNext end = j.fire(kNvTickFinish);
    ASSERT_TRUE(end.isEnd());
    EXPECT_EQ(end.result().end, platform::JobEnd::Ok);
    EXPECT_EQ(j.progress().value, 100);
    EXPECT_EQ(clock.tickMs() - t0, 80u * 2u) << "the finish's 2 ms steps";
}

TEST_F(JobFlowTest, GetAddressesOfAnEmptyPrinterSucceedsAndAFaultFails)
{
    ready();
    keyListReplies({keyBlock(0x40, "")});
    EXPECT_EQ(run(kNvJobAddresses).end, platform::JobEnd::Ok);

    keyListReplies({{0x37, 0x78, 0x40, 0x00}});
    const platform::JobResult r = run(kNvJobAddresses);
    EXPECT_EQ(r.end, platform::JobEnd::Cancel);
    EXPECT_EQ(r.message, "Failed to read NV image address!");
    EXPECT_EQ(r.code, kBadFormat);
}

TEST_F(JobFlowTest, IndexedGetAddressesUsesTheStoredCount)
{
    ready();
    indexed();
    ASSERT_TRUE(store->writeNumber(kNvRegistryKey, "Count", 2));
    ASSERT_EQ(run(kNvJobAddresses).end, platform::JobEnd::Ok);
    EXPECT_EQ(nv.addresses, (Strings{"00", "01"}));
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(JobFlowTest, DeleteSelectedReadsTheAddressesAgain)
{
    ready();
    answer = [this](const Bytes& data) {
        if (data == kReadKeys)
            printer.reply(keyBlock(0x40, "B2"));
    };
    nv.addresses = {"A1", "B2"};
    make(kNvJobDeleteSelected).setSelection("A1", 0);
    const std::uint64_t t0 = clock.tickMs();
    const platform::JobResult r = platform::runJob(*job, clock);
    ASSERT_EQ(r.end, platform::JobEnd::Ok) << r.message;
    ASSERT_GE(printer.writes.size(), 2u);
    EXPECT_EQ(printer.writes[0], (Bytes{0x1D, 0x28, 0x4C, 0x04, 0x00, 0x30, 0x42, 'A', '1'}));
    EXPECT_EQ(printer.writes[1], kReadKeys);
    EXPECT_EQ(nv.addresses, (Strings{"B2"}));
    EXPECT_TRUE(watch.saw("Delete selected NV image..."));
    EXPECT_GE(clock.tickMs() - t0, 20u * 50u) << "the announce pauses";
}

TEST_F(JobFlowTest, DeleteSelectedIsNotSupportedByIndexedPrinters)
{
    ready();
    indexed();
    make(kNvJobDeleteSelected).setSelection("00", 0);
    const platform::JobResult r = platform::runJob(*job, clock);
    EXPECT_EQ(r.end, platform::JobEnd::Cancel);
    EXPECT_EQ(r.message, " Not supported operation!");
    EXPECT_EQ(job->progress().value, 5);
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(JobFlowTest, DeleteAllIndexedClearsTheListAndCount)
{
    ready();
    indexed();
    nv.addresses = {"00", "01"};
    nv.storedCount = 2;
    ASSERT_TRUE(store->writeNumber(kNvRegistryKey, "Count", 2));
    const platform::JobResult r = run(kNvJobDeleteAll);
    ASSERT_EQ(r.end, platform::JobEnd::Ok) << r.message;
    EXPECT_TRUE(nv.addresses.empty()) << "the re-read finds count 0 and leaves the emptied list";
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{{0x08, 0x5E, 0x4C, 0x01, 0x00, 0x41}}));
    EXPECT_TRUE(watch.saw("Delete all NV image..."));
}

TEST_F(JobFlowTest, DeleteAllKeyedFailureMessage)
{
    ready();
    printer.writeLimit = 2;
    const platform::JobResult r = run(kNvJobDeleteAll);
    EXPECT_EQ(r.message, " Failed to write data!\r\nPlease check your printer.");
    EXPECT_EQ(r.code, kShortWrite);
}

TEST_F(JobFlowTest, PrintSelectedEndsAt104)
{
    ready();
    make(kNvJobPrintSelected).setSelection("A1", 0);
    const platform::JobResult r = platform::runJob(*job, clock);
    ASSERT_EQ(r.end, platform::JobEnd::Ok) << r.message;
    EXPECT_EQ(job->progress().value, 104);
    EXPECT_EQ(job->progress().shown(), 100);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{printKey('A', '1')}));
    EXPECT_EQ(watch.statuses.back(), "Print selected NV image...");
}

TEST_F(JobFlowTest, PrintSelectedIndexedPrintsTheIndex)
{
    ready();
    indexed();
    make(kNvJobPrintSelected).setSelection("03", 3);
    ASSERT_EQ(platform::runJob(*job, clock).end, platform::JobEnd::Ok);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{printIndex(3)}));
}

TEST_F(JobFlowTest, PrintAllKeyedWithNoAddressesSendsNothing)
{
    ready();
    const platform::JobResult r = run(kNvJobPrintAll);
    EXPECT_EQ(r.message, " Failed to write data!\r\nPlease check your printer.");
    EXPECT_EQ(r.code, kNvEmpty);
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(JobFlowTest, PrintAllIndexedAndKeyed)
{
    ready();
    indexed();
    nv.storedCount = 0;
    ASSERT_EQ(run(kNvJobPrintAll).end, platform::JobEnd::Ok);
    EXPECT_EQ(printer.writes.size(), 78u);
    EXPECT_EQ(job->progress().value, 100) << "5 + 80 steps, then the finish";
    EXPECT_TRUE(watch.saw("Print all NV image..."));

    keyed();
    printer.writes.clear();
    nv.addresses = {"A1", "B2"};
    ASSERT_EQ(run(kNvJobPrintAll).end, platform::JobEnd::Ok);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{printKey('A', '1'), printKey('B', '2')}));
}

// --- downloads ---

using DownloadTest = NvJobTest;

TEST_F(DownloadTest, OneImageMovesTheBar70ThenFinishFills)
{
    ready();
    commandsFor({commandOf("logo.bmp", 300)});
    const platform::JobResult r = run(kNvJobDownload);
    ASSERT_EQ(r.end, platform::JobEnd::Ok) << r.message;
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{nv.commands[0].data}));
    EXPECT_EQ(job->imagesSent(), 1u);
    EXPECT_TRUE(watch.saw("logo.bmp Downloading..."));
    EXPECT_TRUE(watch.saw("Finish download..."));
    // 5 before, 70 for the image, 5 for the finish announce, then filled.
    EXPECT_NE(std::find(watch.values.begin(), watch.values.end(), 75), watch.values.end());
    EXPECT_EQ(std::count(watch.values.begin(), watch.values.end(), 76), 1);
    EXPECT_EQ(job->progress().value, 100);
}

TEST_F(DownloadTest, KeyedImagesAreSentASecondApart)
{
    ready();
    commandsFor({commandOf("a.bmp", 100), commandOf("b.bmp", 100)});
    ASSERT_EQ(run(kNvJobDownload).end, platform::JobEnd::Ok);
    ASSERT_EQ(printer.writeTimes.size(), 2u);
    // The first image's 35 bar steps of 2 ms, then 1000 ms.
    const std::uint64_t gap = printer.writeTimes[1] - printer.writeTimes[0];
    EXPECT_GE(gap, 70u + 1000u);
    EXPECT_LT(gap, 70u + 1000u + 50u);
    EXPECT_EQ(job->progress().value, 100);
}

TEST_F(DownloadTest, IndexedSendsTheHeaderThenBlocks100msApart)
{
    ready();
    indexed();
    commandsFor({commandOf("a.bmp", 60), commandOf("b.bmp", 40)});
    ASSERT_EQ(run(kNvJobDownload).end, platform::JobEnd::Ok);
    ASSERT_EQ(printer.writes.size(), 3u);
    EXPECT_EQ(printer.writes[0], (Bytes{0x08, 0x5E, 0x37, 102, 0x00, 0x00, 0x00, 0x43, 0x02}));
    EXPECT_EQ(printer.writes[1], nv.commands[0].data);
    const std::uint64_t gap = printer.writeTimes[2] - printer.writeTimes[1];
    EXPECT_GE(gap, 42u * 2u + 100u);
    EXPECT_LT(gap, 42u * 2u + 150u);
    EXPECT_EQ(job->imagesSent(), 2u);
}

TEST_F(DownloadTest, FailedImageStopsTheDownload)
{
    ready();
    commandsFor({commandOf("a.bmp", 100), commandOf("b.bmp", 100)});
    int writes = 0;
    answer = [&](const Bytes&) {
        if (++writes == 1)
            printer.writeLimit = 10;
    };
    const platform::JobResult r = run(kNvJobDownload);
    EXPECT_EQ(r.message, " Failed to write data!\r\nPlease check your printer.");
    EXPECT_EQ(r.code, kShortWrite);
    EXPECT_EQ(job->imagesSent(), 1u);
}

TEST_F(DownloadTest, PrinterChangedSinceConversionSendsNothing)
{
    // Converted for a key-code printer; an indexed one answers now.
    util.g_Getver = kKeyedVersion;
    commandsFor({commandOf("a.bmp", 100)});
    identifiesAs("_B01.00");
    const platform::JobResult r = run(kNvJobDownload);
    EXPECT_EQ(r.end, platform::JobEnd::Cancel);
    EXPECT_EQ(r.message, "Printer model is not matched!");
    EXPECT_EQ(r.code, kNvJobModelChanged);
    EXPECT_EQ(printer.writes, (std::vector<Bytes>{kModelQuery, kVersionQuery}));

    // Another width class is another printer too.
    ready();
    keyed();
    util.g_Model = kModelZ600;
    printer.writes.clear();
    EXPECT_EQ(run(kNvJobDownload).code, kNvJobModelChanged);
    EXPECT_TRUE(printer.writes.empty());
}

TEST_F(DownloadTest, KeyedDownloadStopsBetweenImages)
{
    ready();
    commandsFor({commandOf("a.bmp", 100), commandOf("b.bmp", 100)});
    watch.onStatus = [this](const std::string& s) {
        if (s == "a.bmp Downloading...")
            cancel.request();
    };
    const platform::JobResult r = run(kNvJobDownload);
    EXPECT_EQ(r.end, platform::JobEnd::Cancel);
    EXPECT_EQ(r.message, "Download process is stoped...");
    EXPECT_EQ(r.code, kNvJobStopped);
    EXPECT_EQ(printer.writes.size(), 1u) << "the image being sent completes, the next is not sent";
    EXPECT_EQ(job->imagesSent(), 1u);
    EXPECT_TRUE(util.port.IsOpen());
}

TEST_F(DownloadTest, IndexedStopInsideTheSetIsDeferredUntilItsLastBlock)
{
    ready();
    indexed();
    commandsFor({commandOf("a.bmp", 100), commandOf("b.bmp", 100), commandOf("c.bmp", 100)});
    watch.onStatus = [this](const std::string& s) {
        if (s == "a.bmp Downloading...")
            cancel.request();
    };
    const platform::JobResult r = run(kNvJobDownload);
    EXPECT_EQ(r.end, platform::JobEnd::Ok) << r.message;
    EXPECT_TRUE(job->stopDeferred());
    EXPECT_TRUE(watch.saw("Finishing the NV image set; stop deferred..."));
    ASSERT_EQ(printer.writes.size(), 4u) << "header and all three blocks";
    EXPECT_EQ(printer.writes[3], nv.commands[2].data);
    EXPECT_EQ(job->imagesSent(), 3u);
    EXPECT_FALSE(watch.saw("c.bmp Downloading...")) << "the status says the stop is deferred";
    EXPECT_GE(printer.writeTimes[3] - printer.writeTimes[2], 100u);
}

TEST_F(DownloadTest, IndexedStopBeforeTheHeaderSendsNothing)
{
    ready();
    indexed();
    commandsFor({commandOf("a.bmp", 100)});
    cancel.request();
    const platform::JobResult r = run(kNvJobDownload);
    EXPECT_EQ(r.end, platform::JobEnd::Cancel);
    EXPECT_EQ(r.message, "Download process is stoped...");
    EXPECT_TRUE(printer.writes.empty());
    EXPECT_FALSE(job->stopDeferred());
}

} // namespace
