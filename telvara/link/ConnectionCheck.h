// "Check Communication" and "Self Test" on a PortLink, as pure sequences of
// writes, reads and pauses on the link's Clock.
//
// The check, with the bounds that keep every step finite:
//   Configure (refused: config), the port takeover hook for serial and
//   parallel ports, Open (failed: open).
//   serial, parallel: drain, one-byte reads 50 ms apart until five in a row
//     bring nothing or 3000 ms have passed.
//   1B 40 (ESC @): must be sent whole (else: port).
//   1B 3D 01, 1D 61 00; serial, parallel: five one-byte reads 100 ms apart,
//     discarded.
//   1D 49 03 (GS I 3): USB, Ethernet: 200 ms, a read of up to 16 bytes (a
//     second one if the first brought nothing), the first byte "c". Serial,
//     parallel: 100 ms, one byte; up to 10 more single-byte reads 100 ms
//     apart until a "c" (else: printer-id).
//   1D 49 42 (GS I B): the maker. USB, Ethernet as above, the text from the
//     second byte to the first NUL or the end. Serial, parallel: 100 ms,
//     then single bytes, every byte but "_" kept, ending at NUL, at the
//     first empty read after at least one byte, 1000 ms after the loop
//     began with nothing, or at 256 bytes. Then 500 ms. Must be "QUELLIX"
//     (else: maker).
//   1D 49 43 (GS I C): the model, read the same way; "KTP-M880" or
//   "KTP-M882" (else: model).
// Every failure after the open closes the port; success leaves it open.
// The self test sends 1D 28 41 02 00 01 02 (GS ( A: status sheet on roll
// paper) and waits 4300 ms.
#pragma once

#include "telvara/link/PortLink.h"

#include <functional>
#include <string>
#include <string_view>

namespace telvara {

struct CheckResult {
    bool ok = false;
    // config, open, port, printer-id, maker, model, spooler; empty on success.
    std::string errorKey;
    std::string_view message;  // the window's text (success: "Printer is connected.")
    std::string_view caption;  // "Information", "Warning" or "Error"
    std::string detail;        // more on a failure: a takeover refusal, the reply seen
    platform::OsError error;   // the system's reason, when there is one
    std::string maker;
    std::string model;
};

// Runs before Open on a serial or parallel port with the chosen device
// (the spooler's queues give it up here). False stops the check with
// `failed` as its result.
using BeforeOpen = std::function<bool(const KindChoice& choice, CheckResult& failed)>;

class ConnectionCheck {
public:
    static constexpr std::uint32_t kDrainStepMs = 50;
    static constexpr int kDrainEmptyReads = 5;
    static constexpr std::uint64_t kDrainBoundMs = 3000;
    static constexpr std::uint32_t kByteReadPauseMs = 100;
    static constexpr int kDiscardReads = 5;
    static constexpr int kIdRetries = 10;
    static constexpr std::uint32_t kPacketPauseMs = 200;
    static constexpr int kPacketReadBytes = 16;
    static constexpr std::uint64_t kTextSilenceBoundMs = 1000;
    static constexpr std::uint32_t kAfterMakerMs = 500;
    static constexpr std::uint32_t kSelfTestMs = 4300;

    ConnectionCheck(PortLink& link, platform::Clock& clock) : link_(link), clock_(clock) {}

    CheckResult run(const LinkConfig& config, const BeforeOpen& beforeOpen = {});
    // On an open link (after a successful check).
    CheckResult selfTest();

private:
    bool byteKind() const;
    void drain();
    bool send(std::initializer_list<std::uint8_t> bytes);
    bool printerId();
    std::string text();
    CheckResult fail(std::string key, std::string_view message);

    PortLink& link_;
    platform::Clock& clock_;
};

inline constexpr std::uint8_t kSelfTestCommand[] = {0x1d, 0x28, 0x41, 0x02, 0x00, 0x01, 0x02};

} // namespace telvara
