// Firmware download: sends a firmware file (*.fls) to the printer unchanged.
//
// The file is neither parsed nor checked, no header or command is added and
// the printer is not identified first: the printer recognises the data
// itself, and the technician resets it afterwards. No reply is read.
//
// It runs as a job (platform/job.h), one phase per piece, so a window keeps
// painting between pieces and the command line runs the same phases.
//
// Sequence:
//   status "Ready firmware download."
//   open the file read-only and read it whole (at most kMaxFirmwareBytes)
//   status "Firmware is downloading...Don't turn off the printer!!!"
//   open the port (the CDev already holds the connection settings)
//   sending(true)
//   pieces of 4096 bytes, one CDev::Write each; after each complete piece
//   progress(bytes sent x 100 / length)
//   close the port; status "Finished to download firmware and Reset the
//   printer!"; sending(false)
//
// Failures:
//   file cannot be opened or read   FileOpenError, nothing sent
//   port cannot be opened           PortOpenError, nothing sent, the port's
//                                   OsError in the result
//   a full piece not sent whole     SendFailed: port closed, status left as
//                                   it was (still "downloading")
//   the last, shorter piece not     LastPieceSendFailed: port closed, status
//   sent whole                      "Finished ...", but no success message
//
// The file is opened read-only: the transfer never writes to it, so a
// write-protected firmware file is accepted.
//
// An empty file sends nothing and succeeds.
#pragma once

#include "corvane/link/CDev.h"
#include "platform/job.h"
#include "platform/os_error.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace corvane {

// Texts shown by the firmware window and the command line alike.
namespace firmware_text {
inline constexpr const char* kCaption = "Corvane";
inline constexpr const char* kSelectFile = "Select Firmware File(*.fls). ";
inline constexpr const char* kReady = "Ready firmware download.";
inline constexpr const char* kDownloading = "Firmware is downloading...Don't turn off the printer!!!";
inline constexpr const char* kFinished = "Finished to download firmware and Reset the printer!";
inline constexpr const char* kSuccess = "Success to download firmware!";
inline constexpr const char* kFileOpenError = "Error : File Open Error!";
inline constexpr const char* kPortOpenError = "Error : OpenPort! Please check printer";
inline constexpr const char* kSendFailed = "Error : Send Failed!";
inline constexpr const char* kFileFilter = "Firmware File(*.fls)";
} // namespace firmware_text

inline constexpr int kFirmwarePieceBytes = 4096;
// Larger files are refused as unreadable; real firmware images are a few MB.
inline constexpr std::size_t kMaxFirmwareBytes = 64u * 1024u * 1024u;

enum class FirmwareOutcome {
    Success,
    FileOpenError,
    PortOpenError,
    SendFailed,
    LastPieceSendFailed,
};

struct FirmwareResult {
    FirmwareOutcome outcome = FirmwareOutcome::Success;
    std::size_t fileBytes = 0;
    std::size_t bytesSent = 0;     // bytes of completely sent pieces
    platform::OsError fileError;   // why the file could not be opened or read
    platform::OsError portError;   // the port's reason (open or write failure)
};

// What the transfer reports besides its progress and status (which are the
// job's outputs). An empty function is skipped.
struct FirmwareEvents {
    // true once the port is open and sending starts, false when it ends.
    std::function<void(bool sending)> sending;
    // Called once, at the moment the outcome's message is due (on success
    // before the port is closed and the final status is shown), with the
    // result so far: outcome, byte counts and reasons are already set. The
    // window shows its message box from here.
    std::function<void(const FirmwareResult& soFar)> message;
};

// The message text of an outcome (firmware_text::kSuccess, ...).
const char* FirmwareMessage(FirmwareOutcome outcome);

// The transfer as a job. Phases: start() shows "Ready", reads the file and
// shows "downloading"; kOpenPort opens the port; kSendPiece sends one piece
// (repeated, no delay between pieces); kFinish gives the success message,
// closes the port and shows "Finished". Progress 0..100 after each
// completely sent piece. The job ends Ok on success, otherwise Cancel; the
// end's message is FirmwareMessage(outcome), its code the outcome.
//
// A Cancel request between phases closes the port; the job then ends as a
// failed send without a message box (nothing is reported as sent).
class FirmwareJob final : public platform::Job {
public:
    enum Phase : int { kOpenPort = 1, kSendPiece = 2, kFinish = 3 };

    FirmwareJob(CDev& port, std::string filePath, FirmwareEvents events = {});

    platform::JobNext start() override;
    platform::JobNext fire(int timerId) override;
    platform::JobResult cancelled() override;

    // Outcome, byte counts and reasons so far (final once the job ended).
    const FirmwareResult& result() const { return result_; }

private:
    platform::JobNext openPort();
    platform::JobNext sendPiece();
    platform::JobNext finish();
    platform::JobNext fail(FirmwareOutcome outcome);
    void announce(FirmwareOutcome outcome);
    void sending(bool on);

    CDev& port_;
    std::string filePath_;
    FirmwareEvents events_;
    std::vector<std::uint8_t> data_;
    FirmwareResult result_;
    bool lastPieceFailed_ = false;
};

// Everything a synchronous caller (the command line) observes.
struct FirmwareHooks : FirmwareEvents {
    std::function<void(const std::string& status)> status;
    // 0..100 after each completely sent piece.
    std::function<void(int percent)> progress;
    // Called after each completely sent piece (after progress).
    std::function<void()> betweenPieces;
};

// Runs the FirmwareJob for `filePath` through `port` to its end on the
// synchronous driver (its phases follow each other without a delay; the
// port's own waits are the port's). The port is closed again when this
// returns.
FirmwareResult DownloadFirmware(CDev& port, const std::string& filePath, const FirmwareHooks& hooks = {},
                                platform::Clock& clock = platform::systemClock());

} // namespace corvane
