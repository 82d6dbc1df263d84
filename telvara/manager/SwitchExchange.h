// The status dialog's printer exchanges on an open PortLink: verify, Get,
// Set, Print Status and Print Full Codepage, each as a platform::Job so a
// window can run it phase by phase on its GUI thread (the waits inside a
// phase go through the Clock, which keeps a window painting) and the
// command line and the tests can run it to its end on a clock.
//
// Wire protocol (ESC/POS-style, host to printer):
//   verify        1B 40; serial, parallel: five 1-byte reads 100 ms apart;
//                 1B 3D 01; the model check (once per dialog: skipped when
//                 the model is known); 1D 61 00, five more discarded reads;
//                 1D 49 03 must be answered "c" (USB: 200 ms, up to 16
//                 bytes, a second read if nothing came; the other kinds:
//                 100 ms, one byte; serial, parallel retry 10 times 100 ms
//                 apart).
//   model check   firmware and language (below), then 1D 49 43: the model
//                 text must contain "KTP-".
//   firmware      serial, parallel drain (one byte every 50 ms until five
//                 empty reads, at most 3000 ms); 1D 49 41 the version text,
//                 1D 49 45 the language text. USB, Ethernet: 200 ms, one read
//                 of up to 64 bytes (16 for the model), a second one if
//                 nothing came; a leading "_" is dropped; the text ends at
//                 NUL. Serial, parallel: 100 ms, then single bytes (all but
//                 "_" kept) to NUL, the first empty read after a byte, or
//                 1000 ms of silence; then five discarded reads 100 ms apart.
//   get           for 1, 2, 3, 4, 5, 6, 11, 12: 1D 28 45 02 00 04 n, reply
//                 37 21 c8..c1 00. USB, Ethernet: 200 ms, reads of up to 16
//                 bytes. Serial, parallel: 100 ms, single bytes until the
//                 "7", then the ten bytes after it. Every switch waits at
//                 most 1000 ms for its reply; strays before the "7" are
//                 skipped, a switch that never answers (or answers
//                 garbage) is missing and the Get is incomplete. Then, on
//                 serial and parallel, five discarded reads; 1B 3D 01.
//   set           verify; 1D 28 45 03 00 01 49 4E ("IN", user setting mode;
//                 its reply read and dropped: USB, Ethernet 200 ms, up to 16
//                 bytes; serial, parallel 100 ms, 3 bytes); the eight
//                 15-byte switch writes of the matrix; 1D 28 45 04 00 02 4F
//                 55 54 ("OUT"); 100 ms; 1B 3D 01; 4 x 1000 ms for the
//                 printer to store the switches. Every write of IN, the
//                 switches and OUT must go out whole: the first short one
//                 ends the set with "Can't connect printer. Please restart
//                 printer." (Warning) and no font download.
//   print status  verify, then 1B 39 06.   print codepage  1B 39 05.
//
// Every loop on received bytes is bounded by time and by count.
#pragma once

#include "telvara/link/PortLink.h"
#include "telvara/status/StatusPages.h"
#include "telvara/status/StatusTexts.h"

#include "platform/clock.h"
#include "platform/job.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace telvara {

inline constexpr std::uint8_t kPrintCodepageCommand[] = {0x1b, 0x39, 0x05};
inline constexpr std::uint8_t kPrintStatusCommand[] = {0x1b, 0x39, 0x06};
inline constexpr std::uint8_t kEnterSettingMode[] = {0x1d, 0x28, 0x45, 0x03, 0x00, 0x01, 0x49, 0x4e};
inline constexpr std::uint8_t kLeaveSettingMode[] = {0x1d, 0x28, 0x45, 0x04, 0x00, 0x02, 0x4f, 0x55, 0x54};

// The exchanges themselves, each run to its end in one call. SwitchJob
// splits them into phases; these are the pieces.
class SwitchExchange {
public:
    static constexpr std::uint32_t kDrainStepMs = 50;
    static constexpr int kDrainEmptyReads = 5;
    static constexpr std::uint64_t kDrainBoundMs = 3000;
    static constexpr std::uint32_t kByteReadPauseMs = 100;
    static constexpr int kDiscardReads = 5;
    static constexpr int kIdRetries = 10;
    static constexpr std::uint32_t kPacketPauseMs = 200;
    static constexpr int kPacketReadBytes = 16;
    static constexpr int kVersionReadBytes = 64;
    static constexpr std::uint64_t kTextSilenceBoundMs = 1000;
    static constexpr std::uint64_t kSwitchReplyBoundMs = 1000;
    static constexpr int kSettingModeReplyBytes = 3;
    static constexpr std::uint32_t kAfterLeaveMs = 100;
    static constexpr std::uint32_t kStoreWaitMs = 1000;

    SwitchExchange(PortLink& link, platform::Clock& clock) : link_(link), clock_(clock) {}

    bool byteKind() const;
    // Sends `bytes` with one write; true when all of them went.
    bool send(const std::uint8_t* bytes, std::size_t length);
    template <std::size_t N>
    bool send(const std::uint8_t (&bytes)[N]) { return send(bytes, N); }
    template <std::size_t N>
    bool send(const std::array<std::uint8_t, N>& bytes) { return send(bytes.data(), N); }

    void drain();
    void discardReads();
    // The "c" of GS I 3.
    bool printerId();
    // A text reply of GS I A / E / C; `packetBytes` the USB and Ethernet read
    // size.
    std::string textReply(int packetBytes);
    struct Identity {
        std::string firmware;
        std::string language;
    };
    Identity firmwareAndLanguage();
    // The reply to one switch read (the command already sent); nothing when
    // the switch did not answer within the bound.
    std::optional<SwitchPins> switchReply();
    // The reply to IN, read and dropped.
    void settingModeReply();

private:
    PortLink& link_;
    platform::Clock& clock_;
};

enum class SwitchOp { Verify, Get, Set, PrintStatus, PrintCodepage };

// Which of the dialog's controls may be used once a job has ended.
enum class ControlsAfter {
    Unchanged,   // (nothing ended yet)
    All,         // every command button and the pages
    GetAndExit,  // after the opening verify: "Get Status" and "Exit"
    ExitOnly,    // a verify failed
    CloseDialog, // the opening verify failed: the dialog ends as cancelled
};

struct SwitchOutcome {
    bool ok = false;
    // Shown one after the other, in this order.
    std::vector<texts::Message> messages;
    ControlsAfter controls = ControlsAfter::Unchanged;
    // product (not a KTP- model), printer (no "c"), incomplete (a switch did
    // not answer), link-lost (a write did not go out whole); empty on
    // success.
    std::string errorKey;
    // The switches that did not answer a Get, by number.
    std::vector<int> missingSwitches;
    // The Set chose a double byte font (its combo index) whose download is
    // due. Downloading fonts is not built yet: the job reports it and
    // downloads nothing (see SwitchJob::fontDownloadDue).
    int fontDownload = 0;
};

// One command of the status dialog as a job. The model is the dialog's: a
// Get fills its matrix, a Set sends it, the verify records the identity.
//
// Phases (timer ids) and their delays:
//   Verify         1 verify                          -> end
//   Get            1 verify, 10..17 one switch each, 20 finish
//   Set            1 verify, 30 IN, 40..47 one write each, 50 OUT,
//                  60..63 the store waits (1000 ms before each), 70 ending
//   PrintStatus    1 verify, 80 print
//   PrintCodepage  80 print
//
// While a job runs, the window keeps every command button, the page
// controls and Exit disabled and refuses close and Escape: controlsHeld()
// stays true until the job has ended, and after a Set that is due a font
// download it stays true until fontDownloadEnded() is called, so nothing can
// interleave with a running download.
class SwitchJob final : public platform::Job {
public:
    SwitchJob(SwitchOp op, PortLink& link, platform::Clock& clock, StatusModel& model, bool opening = false);

    platform::JobNext start() override;
    platform::JobNext fire(int timerId) override;
    platform::JobResult cancelled() override;

    SwitchOp op() const { return op_; }
    bool ended() const { return ended_; }
    const SwitchOutcome& outcome() const { return outcome_; }
    bool controlsHeld() const { return !ended_ || downloadRunning_; }
    bool fontDownloadDue() const { return outcome_.fontDownload != 0; }
    void fontDownloadEnded() { downloadRunning_ = false; }

    // The switches a Set sent, as "MSWn PPPPPPPP" (the wire characters).
    const std::vector<std::string>& sent() const { return sent_; }

private:
    enum Phase : int {
        kVerify = 1,
        kReadFirst = 10,
        kReadDone = 20,
        kEnter = 30,
        kWriteFirst = 40,
        kLeave = 50,
        kStoreFirst = 60,
        kStoreLast = 63,
        kEnding = 70,
        kPrint = 80,
    };

    // True when the printer passed; on failure the outcome is set.
    bool verify();
    bool modelCheck();
    platform::JobNext afterVerify();
    platform::JobNext finish(bool ok);
    platform::JobNext linkLost();

    SwitchOp op_;
    SwitchExchange x_;
    platform::Clock& clock_;
    StatusModel& model_;
    bool opening_;
    bool ended_ = false;
    bool downloadRunning_ = false;
    SwitchOutcome outcome_;
    std::array<std::optional<SwitchPins>, kSwitchCount> reads_{};
    std::vector<std::string> sent_;
};

// Runs the job on its clock and returns what it ended with.
SwitchOutcome RunSwitchJob(SwitchJob& job, platform::Clock& clock);

} // namespace telvara
