// The POS printer's memory switches (1..255, eight pins each) and the user
// setting mode they are written in, as Telvara's status dialog drives them.
//
// Wire format (GS ( E, pL pH count the bytes after pH):
//   1D 28 45 03 00 01 49 4E       "IN": enter the user setting mode;
//                                 answered 37 20 00
//   1D 28 45 04 00 02 4F 55 54    "OUT": leave it; no answer
//   1D 28 45 0A 00 03 n c8 .. c1  write switch n, pin 8 first: "1" on,
//                                 "0" off, "2" (or anything else) leaves the
//                                 pin; applied only inside the mode, outside
//                                 it ignored and counted
//   1D 28 45 02 00 04 n           read switch n: 37 21 c8 .. c1 00
//   1B 39 05 / 1B 39 06           print the full code page / the status
//                                 sheet; counted
// Any other GS ( E function is taken without an answer.
//
// Values: pin p is bit p-1, so the text form "PPPPPPPP" (pin 8 first) reads
// as the binary number. Text form (the state file and the report):
//   pos.msw.N: PPPPPPPP   for switches 1-6, 11, 12 and any other not all off
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <string_view>

namespace sim {

inline constexpr std::string_view kPosUserSetting{"\x1d\x28\x45", 3};
inline constexpr std::string_view kPosPrintSheet{"\x1b\x39", 2};

using PosSwitchValues = std::array<std::uint8_t, 256>; // [switch number]; 0 unused

struct PosSwitchConfig {
    PosSwitchValues values{};
    // Switch reads taken but never answered.
    std::set<int> mutedReads;
};

// "00000011" -> 3; exactly eight 0/1.
std::optional<std::uint8_t> parsePosPins(std::string_view text);
std::string posPinsText(std::uint8_t value);

// The text form above; applying it takes any subset of the lines ('#' and
// blank lines skipped) and leaves `values` unchanged on an error.
std::string formatPosSwitches(const PosSwitchValues& values);
bool applyPosSwitchText(std::string_view text, PosSwitchValues& values, std::string& error);

class PosSwitches {
public:
    explicit PosSwitches(const PosSwitchConfig& config) : values_(config.values), muted_(config.mutedReads) {}

    // A whole GS ( E command (from 1D on): its reply; `complete` false when
    // more bytes are needed, `length` the bytes it takes.
    struct Taken {
        bool complete = false;
        std::size_t length = 0;
        std::string reply;
    };
    Taken userSetting(std::string_view input);
    // ESC 9 n (3 bytes).
    void printSheet(std::uint8_t n);

    std::uint8_t value(int sw) const { return sw > 0 && sw < 256 ? values_[static_cast<std::size_t>(sw)] : 0; }
    const PosSwitchValues& values() const { return values_; }
    bool inSettingMode() const { return inMode_; }
    std::uint64_t changes() const { return changes_; }
    // "pos.setting-mode", write and read counts, the two prints, then the switches.
    std::string report() const;

private:
    PosSwitchValues values_;
    std::set<int> muted_;
    bool inMode_ = false;
    std::uint64_t changes_ = 0;
    std::uint64_t writes_ = 0;
    std::uint64_t ignoredWrites_ = 0;
    std::uint64_t reads_ = 0;
    std::uint64_t statusPrints_ = 0;
    std::uint64_t codepagePrints_ = 0;
};

} // namespace sim
