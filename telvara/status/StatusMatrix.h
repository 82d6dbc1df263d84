// The status matrix: the printer's eight memory switches (1, 2, 3, 4, 5, 6,
// 11, 12, in that order) by pins 1 to 8, each entry 0 (no change), 1 (on)
// or 2 (off).
//
// Wire forms (GS ( E):
//   read   1D 28 45 02 00 04 n                 reply 37 21 c8 .. c1 00
//   write  1D 28 45 0A 00 03 n c8 .. c1        (15 bytes)
// Characters travel pin 8 first. A read gives "1" on, "0" off; anything else
// reads as "no change". A write sends entry 1 as "1", 2 as "0" and 0 as "2"
// (the printer leaves that pin alone), except in switch 12, where no change
// is sent as "0": that switch carries the double byte font flags, and a
// pin left over from an earlier font must not survive a font choice.
//
// Serial and parallel links may deliver stray bytes before the reply's "7";
// ParseSwitchReply skips them, so the read loop only has to feed it what
// has arrived until it answers Complete or the time is up.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace telvara {

inline constexpr int kSwitchCount = 8;
inline constexpr int kPinCount = 8;
// The switches in matrix (and wire) order.
inline constexpr std::array<int, kSwitchCount> kSwitchNumbers{1, 2, 3, 4, 5, 6, 11, 12};

inline constexpr int kNoChange = 0;
inline constexpr int kOn = 1;
inline constexpr int kOff = 2;

// The matrix slot (0..7) of a switch number, -1 for a switch not in it.
int SlotOfSwitch(int switchNumber);

using SwitchPins = std::array<int, kPinCount>; // [pin - 1]

class StatusMatrix {
public:
    // The entry of `pin` (1..8) of a switch; 0 for a switch or pin outside
    // the matrix.
    int get(int switchNumber, int pin) const;
    // False (and nothing changed) for a switch, pin or entry outside the
    // matrix.
    bool set(int switchNumber, int pin, int entry);
    const SwitchPins& pins(int slot) const { return rows_[static_cast<std::size_t>(slot)]; }
    // Replaces a whole switch; false when the switch or any entry is out of
    // range (nothing changed then).
    bool setSwitch(int switchNumber, const SwitchPins& pins);

    void clear() { rows_ = {}; }
    // "Initialize Status": every pin of every switch off.
    void initialize();

    bool operator==(const StatusMatrix&) const = default;

private:
    std::array<SwitchPins, kSwitchCount> rows_{};
};

// The eight characters of a switch write, pin 8 first.
std::string SwitchWriteText(const StatusMatrix& matrix, int switchNumber);
// The pins as a read reports them, pin 8 first: "1" on, "0" off, "-" no
// change (or a switch that did not answer).
std::string SwitchShownText(const StatusMatrix& matrix, int switchNumber);

std::array<std::uint8_t, 7> SwitchReadCommand(int switchNumber);
std::array<std::uint8_t, 15> SwitchWriteCommand(const StatusMatrix& matrix, int switchNumber);

enum class SwitchReplyStatus { NeedMore, Complete, Garbage };

struct SwitchReply {
    SwitchReplyStatus status = SwitchReplyStatus::NeedMore;
    // Bytes used up to the end of the reply (Complete or Garbage); for
    // NeedMore, how many leading bytes are strays that can be dropped.
    std::size_t used = 0;
    SwitchPins pins{}; // Complete only
};

// The bytes received so far for one switch read. Bytes before a "7" that
// starts "7 !" are strays and skipped. A reply whose eleventh byte is not NUL
// is Garbage: the link treats that switch as missing rather than writing
// shifted pins back later.
SwitchReply ParseSwitchReply(std::span<const std::uint8_t> bytes);

} // namespace telvara
