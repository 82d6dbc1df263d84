// Firmware download against the scripted fake printer on a manual clock.
#include "corvane/firmware/FirmwareDownload.h"

#include "platform/testing/fake_devices.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace corvane {
namespace {

namespace fs = std::filesystem;
using platform::testing::Bytes;

Bytes pattern(std::size_t n)
{
    Bytes data(n);
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<std::uint8_t>((i * 7 + i / 251) & 0xff);
    return data;
}

class FirmwareDownloadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/corvane-fw-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        port.settings = PortSettings{"NET10.0.0.7", 9100, 0, 8, 0, 0};
        hooks.status = [this](const std::string& s) { statuses.push_back(s); };
        hooks.progress = [this](int p) { progress.push_back(p); };
        hooks.betweenPieces = [this] { ++betweenPieces; };
        hooks.sending = [this](bool on) { sending.push_back(on); };
        hooks.message = [this](const FirmwareResult& soFar) {
            messages.push_back(soFar.outcome);
            portOpenAtMessage = printer.isOpen;
            statusAtMessage = statuses.empty() ? std::string() : statuses.back();
        };
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::permissions(dir_, fs::perms::owner_all, ignored);
        fs::remove_all(dir_, ignored);
    }

    std::string writeFile(const std::string& name, const Bytes& data)
    {
        const fs::path path = dir_ / name;
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
        return path.string();
    }

    std::vector<std::size_t> pieceSizes() const
    {
        std::vector<std::size_t> sizes;
        for (const Bytes& w : printer.writes)
            sizes.push_back(w.size());
        return sizes;
    }

    fs::path dir_;
    platform::ManualClock clock;
    platform::testing::FakePrinter printer{clock};
    platform::testing::FakeDevices devices{printer};
    CDev port{clock, devices};
    FirmwareHooks hooks;

    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<bool> sending;
    std::vector<FirmwareOutcome> messages;
    int betweenPieces = 0;
    bool portOpenAtMessage = false;
    std::string statusAtMessage;
};

TEST_F(FirmwareDownloadTest, WholePiecesGoOneWriteEachWithProgressPerPiece)
{
    const Bytes data = pattern(8192);
    const FirmwareResult result = DownloadFirmware(port, writeFile("fw.fls", data), hooks);

    EXPECT_EQ(result.outcome, FirmwareOutcome::Success);
    EXPECT_EQ(pieceSizes(), (std::vector<std::size_t>{4096, 4096}));
    EXPECT_EQ(printer.written, data);
    EXPECT_EQ(progress, (std::vector<int>{50, 100}));
    EXPECT_EQ(betweenPieces, 2);
    EXPECT_EQ(result.fileBytes, 8192u);
    EXPECT_EQ(result.bytesSent, 8192u);
    EXPECT_EQ(printer.tcpHost, "10.0.0.7");
    EXPECT_EQ(printer.tcpPort, 9100);

    EXPECT_EQ(statuses, (std::vector<std::string>{firmware_text::kReady, firmware_text::kDownloading,
                                                  firmware_text::kFinished}));
    EXPECT_EQ(messages, (std::vector<FirmwareOutcome>{FirmwareOutcome::Success}));
    // The success message comes while the port is still open and before the
    // final status.
    EXPECT_TRUE(portOpenAtMessage);
    EXPECT_EQ(statusAtMessage, firmware_text::kDownloading);
    EXPECT_EQ(sending, (std::vector<bool>{true, false}));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(printer.closes, 1);
}

TEST_F(FirmwareDownloadTest, ShorterLastPieceAndTruncatedProgress)
{
    const Bytes data = pattern(5000);
    const FirmwareResult result = DownloadFirmware(port, writeFile("fw.fls", data), hooks);

    EXPECT_EQ(result.outcome, FirmwareOutcome::Success);
    EXPECT_EQ(pieceSizes(), (std::vector<std::size_t>{4096, 904}));
    EXPECT_EQ(printer.written, data);
    EXPECT_EQ(progress, (std::vector<int>{81, 100}));
}

TEST_F(FirmwareDownloadTest, EmptyFileSendsNothingAndSucceeds)
{
    const FirmwareResult result = DownloadFirmware(port, writeFile("empty.fls", {}), hooks);

    EXPECT_EQ(result.outcome, FirmwareOutcome::Success);
    EXPECT_TRUE(printer.writes.empty());
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(messages, (std::vector<FirmwareOutcome>{FirmwareOutcome::Success}));
    EXPECT_EQ(statuses.back(), firmware_text::kFinished);
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(FirmwareDownloadTest, ShortWriteOfAFullPieceStopsWithStatusUnchanged)
{
    printer.writeLimit = 1000;
    const FirmwareResult result = DownloadFirmware(port, writeFile("fw.fls", pattern(8192)), hooks);

    EXPECT_EQ(result.outcome, FirmwareOutcome::SendFailed);
    EXPECT_STREQ(FirmwareMessage(result.outcome), "Error : Send Failed!");
    EXPECT_EQ(printer.writes.size(), 1u);
    EXPECT_EQ(result.bytesSent, 0u);
    EXPECT_TRUE(progress.empty());
    EXPECT_EQ(messages, (std::vector<FirmwareOutcome>{FirmwareOutcome::SendFailed}));
    EXPECT_EQ(statuses.back(), firmware_text::kDownloading);
    EXPECT_EQ(sending, (std::vector<bool>{true, false}));
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(printer.closes, 1);
}

TEST_F(FirmwareDownloadTest, FailureOnAFullLastPieceCountsAsAFullPiece)
{
    // 8192 bytes end with a whole piece: its failure is the full-piece case.
    printer.onWrite = [this](const Bytes&) { printer.writeLimit = 10; };
    const FirmwareResult result = DownloadFirmware(port, writeFile("fw.fls", pattern(8192)), hooks);

    EXPECT_EQ(result.outcome, FirmwareOutcome::SendFailed);
    EXPECT_EQ(progress, (std::vector<int>{50}));
    EXPECT_EQ(statuses.back(), firmware_text::kDownloading);
}

TEST_F(FirmwareDownloadTest, ShortWriteOfTheLastPieceEndsWithoutSuccess)
{
    printer.onWrite = [this](const Bytes&) { printer.writeLimit = 100; };
    const FirmwareResult result = DownloadFirmware(port, writeFile("fw.fls", pattern(5000)), hooks);

    EXPECT_EQ(result.outcome, FirmwareOutcome::LastPieceSendFailed);
    EXPECT_STREQ(FirmwareMessage(result.outcome), "Error : Send Failed!");
    EXPECT_EQ(pieceSizes(), (std::vector<std::size_t>{4096, 100}));
    EXPECT_EQ(progress, (std::vector<int>{81}));
    EXPECT_EQ(result.bytesSent, 4096u);
    EXPECT_EQ(messages, (std::vector<FirmwareOutcome>{FirmwareOutcome::LastPieceSendFailed}));
    EXPECT_EQ(statuses.back(), firmware_text::kFinished);
    EXPECT_EQ(sending, (std::vector<bool>{true, false}));
    EXPECT_FALSE(port.IsOpen());
}

TEST_F(FirmwareDownloadTest, MissingFileIsAFileOpenErrorWithItsReason)
{
    const std::string path = (dir_ / "missing.fls").string();
    const FirmwareResult result = DownloadFirmware(port, path, hooks);

    EXPECT_EQ(result.outcome, FirmwareOutcome::FileOpenError);
    EXPECT_STREQ(FirmwareMessage(result.outcome), "Error : File Open Error!");
    EXPECT_EQ(result.fileError.code, ENOENT);
    EXPECT_EQ(result.fileError.target, path);
    EXPECT_EQ(printer.openAttempts, 0);
    EXPECT_EQ(statuses, (std::vector<std::string>{firmware_text::kReady}));
    EXPECT_TRUE(sending.empty());
}

TEST_F(FirmwareDownloadTest, DirectoryIsRefusedAsAFile)
{
    const FirmwareResult result = DownloadFirmware(port, dir_.string(), hooks);
    EXPECT_EQ(result.outcome, FirmwareOutcome::FileOpenError);
    EXPECT_EQ(result.fileError.code, EISDIR);
    EXPECT_EQ(printer.openAttempts, 0);
}

TEST_F(FirmwareDownloadTest, PortThatDoesNotOpenSendsNothingAndKeepsTheReason)
{
    printer.connectFails = true;
    const FirmwareResult result = DownloadFirmware(port, writeFile("fw.fls", pattern(100)), hooks);

    EXPECT_EQ(result.outcome, FirmwareOutcome::PortOpenError);
    EXPECT_STREQ(FirmwareMessage(result.outcome), "Error : OpenPort! Please check printer");
    EXPECT_EQ(result.portError.code, ECONNREFUSED);
    EXPECT_TRUE(printer.written.empty());
    EXPECT_EQ(statuses.back(), firmware_text::kDownloading);
    EXPECT_TRUE(sending.empty());
}

TEST_F(FirmwareDownloadTest, WriteProtectedFileIsAccepted)
{
    const Bytes data = pattern(6000);
    const std::string path = writeFile("ro.fls", data);
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);

    const FirmwareResult result = DownloadFirmware(port, path, hooks);
    EXPECT_EQ(result.outcome, FirmwareOutcome::Success);
    EXPECT_EQ(printer.written, data);
}

TEST_F(FirmwareDownloadTest, FileThatCannotBeOpenedForWritingIsAccepted)
{
    // Root ignores mode bits, but nobody may open a program that is running
    // for writing: a running copy of `sleep` is a file that only a read-only
    // open can read.
    const fs::path copy = dir_ / "busy.fls";
    fs::copy_file("/bin/sleep", copy);
    fs::permissions(copy, fs::perms::owner_all);
    pid_t child = 0;
    char arg0[] = "busy.fls";
    char arg1[] = "30";
    char* argv[] = {arg0, arg1, nullptr};
    ASSERT_EQ(posix_spawn(&child, copy.c_str(), nullptr, nullptr, argv, environ), 0);
    const int probe = ::open(copy.c_str(), O_RDWR);
    const int probeErrno = errno;
    if (probe >= 0)
        ::close(probe);

    FirmwareResult result;
    if (probe < 0 && probeErrno == ETXTBSY)
        result = DownloadFirmware(port, copy.string(), hooks);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    if (probe >= 0 || probeErrno != ETXTBSY)
        GTEST_SKIP() << "this kernel lets a running program be opened for writing";

    EXPECT_EQ(result.outcome, FirmwareOutcome::Success);
    EXPECT_EQ(result.bytesSent, fs::file_size(copy));
    EXPECT_EQ(printer.written.size(), fs::file_size(copy));
}

TEST_F(FirmwareDownloadTest, SerialPortCarriesTheLineSettingsAndTheWholeFile)
{
    port.settings = PortSettings{"COM4", 9600, 2, 8, 2, 1};
    const Bytes data = pattern(4097);
    const FirmwareResult result = DownloadFirmware(port, writeFile("fw.fls", data), hooks);

    ASSERT_EQ(result.outcome, FirmwareOutcome::Success);
    EXPECT_EQ(printer.openedName, "COM4");
    EXPECT_EQ(printer.line.baudRate, 9600);
    EXPECT_EQ(printer.line.parity, 2);
    // The serial open probes the printer with one byte before the pieces.
    ASSERT_GE(printer.writes.size(), 2u);
    const std::vector<std::size_t> sizes = pieceSizes();
    EXPECT_EQ(std::vector<std::size_t>(sizes.end() - 2, sizes.end()), (std::vector<std::size_t>{4096, 1}));
    EXPECT_EQ(Bytes(printer.written.end() - 4097, printer.written.end()), data);
    EXPECT_EQ(progress, (std::vector<int>{99, 100}));
}

// The transfer as a job: one phase per piece, ends mapped to Ok / Cancel.
class FirmwareJobTest : public FirmwareDownloadTest {
protected:
    // Runs the job phase by phase, recording the timer ids it asks for.
    platform::JobResult runRecording(FirmwareJob& job, const platform::JobCancel* cancel = nullptr)
    {
        platform::JobNext next = job.start();
        while (!next.isEnd()) {
            phases.push_back(next.timerId());
            EXPECT_EQ(next.delayMs(), 0u);
            if (cancel != nullptr && cancel->requested())
                return job.cancelled();
            next = job.fire(next.timerId());
        }
        return next.result();
    }
    std::vector<int> phases;
};

TEST_F(FirmwareJobTest, OnePhasePerPieceBetweenOpenAndFinish)
{
    FirmwareJob job(port, writeFile("fw.fls", pattern(9000)), hooks);
    const platform::JobResult end = runRecording(job);

    EXPECT_EQ(phases, (std::vector<int>{FirmwareJob::kOpenPort, FirmwareJob::kSendPiece, FirmwareJob::kSendPiece,
                                        FirmwareJob::kSendPiece, FirmwareJob::kFinish}));
    EXPECT_EQ(end.end, platform::JobEnd::Ok);
    EXPECT_EQ(end.message, firmware_text::kSuccess);
    EXPECT_EQ(end.code, static_cast<int>(FirmwareOutcome::Success));
    EXPECT_EQ(job.progress().value, 100);
    EXPECT_EQ(job.status(), firmware_text::kFinished);
    EXPECT_EQ(pieceSizes(), (std::vector<std::size_t>{4096, 4096, 808}));
}

TEST_F(FirmwareJobTest, FailuresEndWithCancelAndTheirMessage)
{
    printer.onWrite = [this](const Bytes&) { printer.writeLimit = 100; };
    FirmwareJob job(port, writeFile("fw.fls", pattern(5000)), hooks);
    const platform::JobResult end = runRecording(job);
    EXPECT_EQ(end.end, platform::JobEnd::Cancel);
    EXPECT_EQ(end.message, "Error : Send Failed!");
    EXPECT_EQ(end.code, static_cast<int>(FirmwareOutcome::LastPieceSendFailed));
    // The failed last piece still runs the finishing phase.
    EXPECT_EQ(phases.back(), FirmwareJob::kFinish);
    EXPECT_EQ(job.status(), firmware_text::kFinished);

    FirmwareJob missing(port, (dir_ / "none.fls").string(), hooks);
    phases.clear();
    const platform::JobResult noFile = runRecording(missing);
    EXPECT_TRUE(phases.empty());
    EXPECT_EQ(noFile.message, "Error : File Open Error!");
    EXPECT_EQ(noFile.code, static_cast<int>(FirmwareOutcome::FileOpenError));
}

TEST_F(FirmwareJobTest, CancelBetweenPiecesClosesThePortAndSendsNoMore)
{
    platform::JobCancel cancel;
    printer.onWrite = [&](const Bytes&) {
        if (printer.writes.size() == 2)
            cancel.request();
    };
    FirmwareJob job(port, writeFile("fw.fls", pattern(5 * 4096)), hooks);
    const platform::JobResult end = runRecording(job, &cancel);

    EXPECT_EQ(end.end, platform::JobEnd::Cancel);
    EXPECT_EQ(printer.writes.size(), 2u);
    EXPECT_EQ(job.result().bytesSent, 8192u);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_EQ(printer.closes, 1);
    EXPECT_EQ(sending, (std::vector<bool>{true, false}));
    // No success (or any) message box for a cancelled transfer.
    EXPECT_TRUE(messages.empty());
}

TEST_F(FirmwareJobTest, AnUnknownTimerIdIsRefusedWithThePortClosed)
{
    FirmwareJob job(port, writeFile("fw.fls", pattern(10)), hooks);
    ASSERT_FALSE(job.start().isEnd());
    ASSERT_FALSE(job.fire(FirmwareJob::kOpenPort).isEnd());
    const platform::JobNext next = job.fire(42);
    ASSERT_TRUE(next.isEnd());
    EXPECT_EQ(next.result().end, platform::JobEnd::Cancel);
    EXPECT_FALSE(port.IsOpen());
    EXPECT_TRUE(printer.written.empty());
}

} // namespace
} // namespace corvane
