#include "corvane/firmware/FirmwareDownload.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
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

FirmwareResult DownloadFirmware(CDev& port, const std::string& filePath, const FirmwareHooks& hooks)
{
    FirmwareResult result;
    auto status = [&](const char* text) {
        if (hooks.status)
            hooks.status(text);
    };
    auto finish = [&](FirmwareOutcome outcome) {
        result.outcome = outcome;
        if (hooks.message)
            hooks.message(result);
    };
    auto sending = [&](bool on) {
        if (hooks.sending)
            hooks.sending(on);
    };

    status(firmware_text::kReady);

    std::vector<std::uint8_t> data;
    if (!readWholeFile(filePath, data, result.fileError)) {
        finish(FirmwareOutcome::FileOpenError);
        return result;
    }
    result.fileBytes = data.size();

    status(firmware_text::kDownloading);

    if (port.Open() != 1) {
        result.portError = port.LastOsError();
        finish(FirmwareOutcome::PortOpenError);
        return result;
    }
    sending(true);

    const std::size_t length = data.size();
    bool lastPieceFailed = false;
    while (result.bytesSent < length) {
        const std::size_t left = length - result.bytesSent;
        const int piece = static_cast<int>(std::min<std::size_t>(left, kFirmwarePieceBytes));
        const int written = port.Write(data.data() + result.bytesSent, piece);
        if (written != piece) {
            result.portError = port.LastOsError();
            if (piece == kFirmwarePieceBytes) {
                finish(FirmwareOutcome::SendFailed);
                sending(false);
                port.Close();
                return result;
            }
            // The last, shorter piece: the transfer ends as usual but without
            // the success message.
            finish(FirmwareOutcome::LastPieceSendFailed);
            sending(false);
            lastPieceFailed = true;
            break;
        }
        result.bytesSent += static_cast<std::size_t>(piece);
        if (hooks.progress)
            hooks.progress(static_cast<int>(static_cast<std::uint64_t>(result.bytesSent) * 100u / length));
        if (hooks.betweenPieces)
            hooks.betweenPieces();
    }

    if (!lastPieceFailed)
        finish(FirmwareOutcome::Success);
    port.Close();
    status(firmware_text::kFinished);
    if (!lastPieceFailed)
        sending(false);
    return result;
}

} // namespace corvane
