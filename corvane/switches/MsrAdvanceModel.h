// What the "Advanced MSR Settings" dialog decides, without the window: the
// sentinel option, the six codes as typed, the character / hexadecimal input
// mode and the checks "OK" runs.
//
// Codes are byte strings (the record's Track1Start .. Track3End). One order
// is used everywhere, the record's and the order "OK" converts and checks
// them in: track 1 start, track 2 start, track 3 start, track 1 end,
// track 2 end, track 3 end (MsrCodeSlot).
//
// Decisions beyond the printer's own rules:
//  - In character mode a code the user typed or changed must consist of
//    characters 0x20..0x7F; a code left as it was when the dialog opened
//    passes whatever bytes it holds (codes read from the printer are shown
//    unchanged). Hexadecimal input may give any byte.
//  - An option with no radio button selected (-1, or a value read that is
//    none of 0..2) goes back as it came in.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

namespace msr_text {
inline constexpr const char* kTitle = "Advanced MSR Settings";
inline constexpr const char* kGroup = "Sentinal Option";
inline constexpr const char* kNone = "None";
inline constexpr const char* kStatic = "Static Sentinal";
inline constexpr const char* kDynamic = "Dynamic Sentinal";
inline constexpr const char* kTrack1Start = "Track1 Start Code";
inline constexpr const char* kTrack1End = "Track1 End Code";
inline constexpr const char* kTrack2Start = "Track2 Start Code";
inline constexpr const char* kTrack2End = "Track2 End Code";
inline constexpr const char* kTrack3Start = "Track3 Start Code";
inline constexpr const char* kTrack3End = "Track3 End Code";
// The check box's texts. The dialog opens with the first; each click then
// relabels it with one of the two others, whose backslashes are part of the
// text shown.
inline constexpr const char* kInputModeInitial = "ASCII (ex: \"START(1)\")";
inline constexpr const char* kInputModeHex = "HEXA (ex: \\\"0A 1F 10 4C\\\")";
inline constexpr const char* kInputModeAscii = "ASCII (ex: \\\"START(1)\\\")";
inline constexpr const char* kBadCharacter = "Sentinel is invalid value (0x20~0x7F)";
inline constexpr const char* kCaption = "Telvara";
} // namespace msr_text

enum MsrOption : int {
    kMsrOptionUnset = -1,
    kMsrOptionNone = 0,
    kMsrOptionStatic = 1,
    kMsrOptionDynamic = 2,
};

enum MsrCodeSlot : int {
    kTrack1StartSlot = 0,
    kTrack2StartSlot,
    kTrack3StartSlot,
    kTrack1EndSlot,
    kTrack2EndSlot,
    kTrack3EndSlot,
    kMsrCodeSlots,
};

using MsrCodes = std::array<std::string, kMsrCodeSlots>;

// Characters an edit box takes: 32 hexadecimal pairs, far more than the
// length rule lets through, so an over-long code is refused by that rule.
inline constexpr int kMsrCodeEditLimit = 64;

// Start codes are required (1 to 10 bytes), end codes may be empty.
constexpr bool IsStartSlot(int slot) { return slot >= kTrack1StartSlot && slot <= kTrack3StartSlot; }

class MsrAdvanceModel {
public:
    MsrAdvanceModel(int option, const MsrCodes& codes);

    // 0..2, or kMsrOptionUnset when no radio button is selected.
    int option() const { return option_; }
    // Values outside 0..2 select no radio button.
    void setOption(int option);
    // The six edit boxes take input only with the dynamic option.
    bool codesEnabled() const { return option_ == kMsrOptionDynamic; }

    bool hexInput() const { return hexInput_; }
    // Flips the input mode and clears all six codes.
    void toggleHexInput();
    // The check box's text now.
    const char* inputModeLabel() const { return label_; }

    // The code of a slot as typed: bytes in character mode, the hexadecimal
    // text in hexadecimal mode. `exact` is false when the typed text held
    // characters a byte cannot carry (they count as changed and are refused).
    void setCode(int slot, std::string_view typed, bool exact = true);
    const std::string& code(int slot) const { return typed_.at(static_cast<std::size_t>(slot)); }

    // "OK": converts (hexadecimal mode) and checks the six codes in slot
    // order. The full message box text ("Invalid value!\r\n" + reason) of
    // the first refusal, or nothing: then result() holds the codes to keep.
    std::optional<std::string> accept();
    // After a successful accept(): the codes as bytes, and the option to
    // keep (the one the dialog opened with when none is selected).
    const MsrCodes& resultCodes() const { return result_; }
    int resultOption() const { return option_ == kMsrOptionUnset ? openedOption_ : option_; }

private:
    int openedOption_;
    int option_ = kMsrOptionUnset;
    MsrCodes opened_;
    MsrCodes typed_;
    std::array<bool, kMsrCodeSlots> exact_{};
    MsrCodes result_;
    bool hexInput_ = false;
    const char* label_ = msr_text::kInputModeInitial;
};

// The reason a code typed in character mode is refused for its characters,
// or nothing: every byte must be 0x20..0x7F.
std::optional<std::string> SentinelCharacterProblem(std::string_view code);

} // namespace corvane
