// Memory switch texts and how the settings record maps onto them.
//
// A memory switch travels as eight ASCII characters d1..d8, d1 the most
// significant bit: "0"/"1" when read; "0"/"1"/"2" when written, "2" leaving
// that bit of the printer's switch unchanged. Every position no field
// defines is written as "2", except in switches 0x49, 0x50 and 0x51, whose
// undefined positions are "0".
//
// Which field sits where depends on the command form (GS ( E or BS ^ E), the
// direction, the firmware version number and the MSR mode byte. All of that
// is one table of slots in SwitchCodec.cpp, one row per field and case, so
// a reader can check the layout against the printer's manual row by row.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace corvane {

class CCommonTlvr;

enum class CommandForm { Gs, Bs };

// The one rule that picks the dialect: 21000..100999 speak BS ^ E.
CommandForm FormForVersion(std::uint32_t version);

// Version thresholds the commands depend on.
inline constexpr std::uint32_t kVersionSwitch3 = 1040;        // switch 3 exists from here
inline constexpr std::uint32_t kVersionNoSwitch7 = 11060;     // this one firmware has no switch 7
inline constexpr std::uint32_t kVersionMsrHighNibble = 11061; // high-nibble MSR encoding possible
inline constexpr std::uint32_t kVersionCodePageBit5 = 21000;  // switch 2 d6 = code page bit 5
inline constexpr std::uint32_t kVersionSentinels = 21021;     // sentinel option and codes
inline constexpr std::uint32_t kVersionBluetooth = 101000;    // 0x50, 0x51, Bluetooth, two-bit font

// Eight switch characters, d1 first.
using SwitchText = std::array<char, 8>;

// What a codec decision depends on.
struct SwitchContext {
    CommandForm form = CommandForm::Gs;
    std::uint32_t version = 0;
    std::uint8_t msrMode = 0;
};

// True when switch 7 carries Msr + 1 in its high nibble (d1..d4) for this
// printer and direction; otherwise Msr is the low nibble (d5..d8).
bool MsrHighNibble(const SwitchContext& context, bool reading);

// Switch `n` is read and written with this form (switch 4 never is).
bool HasSwitch(int n, CommandForm form);

// The text that writes switch `n` from `record`. False for a switch this
// form cannot write (nothing is built).
bool EncodeSwitch(int n, const SwitchContext& context, const CCommonTlvr& record, SwitchText& out);

// Applies a switch text read from the printer to `record`. The text must
// already have passed its checks (every character "0" or "1"). False for a
// switch this form does not read.
bool DecodeSwitch(int n, const SwitchContext& context, const SwitchText& text, CCommonTlvr& record);

// Every character is "0" or "1".
bool IsSwitchBits(std::string_view chars);

// BlackMarkSensor packs d7 in its low byte and d8 in the next; only these
// three pairs are ever accepted from or sent to the printer.
bool IsValidBlackMarkPair(int packed);
int PackBlackMark(char d7, char d8);

} // namespace corvane
