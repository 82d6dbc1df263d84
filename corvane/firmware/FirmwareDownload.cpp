#include "corvane/firmware/FirmwareDownload.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {
namespace {

// Reads a whole regular file. O_NONBLOCK keeps the open itself from waiting
// on a FIFO that has no writer; such a file is refused right after.
bool readWholeFile(const std::string& path, std::vector<std::uint8_t>& data, platform::OsError& error)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = platform::lastOsError("open", path);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (!ok) {
        error = platform::lastOsError("stat", path);
    } else if (!S_ISREG(st.st_mode)) {
        errno = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
        error = platform::lastOsError("open", path);
        ok = false;
    } else if (static_cast<std::uint64_t>(st.st_size) > kMaxFirmwareBytes) {
        errno = EFBIG;
        error = platform::lastOsError("read", path);
        ok = false;
    }
    if (ok) {
        data.resize(static_cast<std::size_t>(st.st_size));
        std::size_t got = 0;
        while (got < data.size()) {
            const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = platform::lastOsError("read", path);
                ok = false;
                break;
            }
            if (n == 0)
                break;   // the file shrank meanwhile: send what is there
            got += static_cast<std::size_t>(n);
        }
        data.resize(got);
    }
    ::close(fd);
    return ok;
}

} // namespace

const char* FirmwareMessage(FirmwareOutcome outcome)
{
    switch (outcome) {
    case FirmwareOutcome::Success:
        return firmware_text::kSuccess;
    case FirmwareOutcome::FileOpenError:
        return firmware_text::kFileOpenError;
    case FirmwareOutcome::PortOpenError:
        return firmware_text::kPortOpenError;
    case FirmwareOutcome::SendFailed:
    case FirmwareOutcome::LastPieceSendFailed:
        return firmware_text::kSendFailed;
    }
    return firmware_text::kSendFailed;
}

FirmwareJob::FirmwareJob(CDev& port, std::string filePath, FirmwareEvents events)
    : port_(port), filePath_(std::move(filePath)), events_(std::move(events))
{
}

void FirmwareJob::sending(bool on)
{
    if (events_.sending)
        events_.sending(on);
}

void FirmwareJob::announce(FirmwareOutcome outcome)
{
    result_.outcome = outcome;
    if (events_.message)
        events_.message(result_);
}

platform::JobNext FirmwareJob::fail(FirmwareOutcome outcome)
{
    result_.outcome = outcome;
    return platform::JobNext::cancel(FirmwareMessage(outcome), static_cast<int>(outcome));
}

platform::JobNext FirmwareJob::start()
{
    result_ = FirmwareResult{};
    lastPieceFailed_ = false;
    setStatus(firmware_text::kReady);
    if (!readWholeFile(filePath_, data_, result_.fileError)) {
        announce(FirmwareOutcome::FileOpenError);
        return fail(FirmwareOutcome::FileOpenError);
    }
    result_.fileBytes = data_.size();
    setStatus(firmware_text::kDownloading);
    return platform::JobNext::step(kOpenPort, 0);
}

platform::JobNext FirmwareJob::fire(int timerId)
{
    switch (timerId) {
    case kOpenPort:
        return openPort();
    case kSendPiece:
        return sendPiece();
    case kFinish:
        return finish();
    default:
        // Not a phase of this job: nothing was sent for it.
        if (port_.IsOpen()) {
            sending(false);
            port_.Close();
        }
        return fail(FirmwareOutcome::SendFailed);
    }
}

platform::JobNext FirmwareJob::openPort()
{
    if (port_.Open() != 1) {
        result_.portError = port_.LastOsError();
        announce(FirmwareOutcome::PortOpenError);
        return fail(FirmwareOutcome::PortOpenError);
    }
    sending(true);
    return platform::JobNext::step(data_.empty() ? kFinish : kSendPiece, 0);
}

platform::JobNext FirmwareJob::sendPiece()
{
    const std::size_t length = data_.size();
    const std::size_t left = length - std::min(result_.bytesSent, length);
    const int piece = static_cast<int>(std::min<std::size_t>(left, kFirmwarePieceBytes));
    const int written = piece > 0 ? port_.Write(data_.data() + result_.bytesSent, piece) : 0;
    if (written != piece) {
        result_.portError = port_.LastOsError();
        if (piece == kFirmwarePieceBytes) {
            announce(FirmwareOutcome::SendFailed);
            sending(false);
            port_.Close();
            return fail(FirmwareOutcome::SendFailed);
        }
        // The last, shorter piece: the transfer ends as usual but without
        // the success message.
        announce(FirmwareOutcome::LastPieceSendFailed);
        sending(false);
        lastPieceFailed_ = true;
        return platform::JobNext::step(kFinish, 0);
    }
    result_.bytesSent += static_cast<std::size_t>(piece);
    setProgress(static_cast<int>(static_cast<std::uint64_t>(result_.bytesSent) * 100u / length));
    return platform::JobNext::step(result_.bytesSent < length ? kSendPiece : kFinish, 0);
}

platform::JobNext FirmwareJob::finish()
{
    if (!lastPieceFailed_)
        announce(FirmwareOutcome::Success);
    port_.Close();
    setStatus(firmware_text::kFinished);
    if (lastPieceFailed_)
        return fail(FirmwareOutcome::LastPieceSendFailed);
    sending(false);
    return platform::JobNext::ok(firmware_text::kSuccess, static_cast<int>(FirmwareOutcome::Success));
}

platform::JobResult FirmwareJob::cancelled()
{
    if (port_.IsOpen()) {
        sending(false);
        port_.Close();
    }
    result_.outcome = FirmwareOutcome::SendFailed;
    return platform::JobResult{platform::JobEnd::Cancel, firmware_text::kSendFailed,
                               static_cast<int>(FirmwareOutcome::SendFailed)};
}

namespace {

// Hands the job's outputs to a synchronous caller's hooks.
class HookObserver final : public platform::JobObserver {
public:
    explicit HookObserver(const FirmwareHooks& hooks) : hooks_(hooks) {}
    void progressChanged(const platform::JobProgress& progress) override
    {
        if (hooks_.progress)
            hooks_.progress(progress.value);
        if (hooks_.betweenPieces)
            hooks_.betweenPieces();
    }
    void statusChanged(const std::string& status) override
    {
        if (hooks_.status)
            hooks_.status(status);
    }

private:
    const FirmwareHooks& hooks_;
};

} // namespace

FirmwareResult DownloadFirmware(CDev& port, const std::string& filePath, const FirmwareHooks& hooks,
                                platform::Clock& clock)
{
    FirmwareJob job(port, filePath, hooks);
    HookObserver observer(hooks);
    job.setObserver(&observer);
    platform::runJob(job, clock);
    if (port.IsOpen())
        port.Close();
    return job.result();
}

} // namespace corvane
