// The POS printer personality: a KTP-M880 or KTP-M882 as Telvara's
// connection check sees it.
//
// Wire format, host to printer (ESC/POS-style commands):
//   1B 40              ESC @    reset; taken, no reply
//   1B 3D n            ESC = n  peripheral select; taken, no reply
//   1D 61 n            GS a n   automatic status back; taken, no reply
//   1D 49 03           GS I 3   answered "c" (no NUL)
//   1D 49 42           GS I B   maker:    "_QUELLIX" NUL
//   1D 49 43           GS I C   model:    "_KTP-M880" NUL
//   1D 49 41           GS I A   version:  "_V2.00" NUL
//   1D 49 45           GS I E   language: "_ENGLISH" NUL
//   1D 28 41 pL pH ..  GS ( A   test print; 1D 28 41 02 00 01 02 prints the
//                               status sheet (counted as a self test)
//   1D 28 45 pL pH ..  GS ( E   user setting mode and memory switches
//   1B 39 n            ESC 9 n  code page (5) and status (6) prints
//                               (both in pos_switches.h)
// Everything else is data and gets no reply. Each reply can be replaced by
// raw bytes for its command's prefix (a new prefix becomes a command of its
// own), a command can be muted (taken, never answered), and stray bytes can
// go before one command's reply.
#pragma once

#include "sim/personality.h"
#include "sim/pos_config.h"
#include "sim/printer.h"

#include "platform/cli/options.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr std::string_view kPosReset{"\x1b\x40", 2};
inline constexpr std::string_view kPosSelect{"\x1b\x3d", 2};
inline constexpr std::string_view kPosStatusBack{"\x1d\x61", 2};
inline constexpr std::string_view kPosQueryId{"\x1d\x49\x03", 3};
inline constexpr std::string_view kPosQueryMaker{"\x1d\x49\x42", 3};
inline constexpr std::string_view kPosQueryModel{"\x1d\x49\x43", 3};
inline constexpr std::string_view kPosQueryVersion{"\x1d\x49\x41", 3};
inline constexpr std::string_view kPosQueryLanguage{"\x1d\x49\x45", 3};
inline constexpr std::string_view kPosTestPrint{"\x1d\x28\x41", 3};
inline constexpr std::string_view kPosSelfTest{"\x1d\x28\x41\x02\x00\x01\x02", 7};

extern const Personality posPersonality;

class PosPrinter : public PrinterState {
public:
    explicit PosPrinter(const PrinterConfig& config);

    void addCommands(CommandParser& parser) override;
    // "pos.resets: N", "pos.selftests: N", "pos.test-prints: N", then the
    // memory switches' lines.
    std::string report() const override;
    // The memory switches, in the state file's form.
    std::string saveText() const override { return formatPosSwitches(switches_.values()); }
    std::uint64_t changes() const override { return switches_.changes(); }
    const PosSwitches& switches() const { return switches_; }

    std::uint64_t resets() const { return resets_; }
    std::uint64_t selfTests() const { return selfTests_; }

private:
    // The reply to the command `bytes` with the knobs applied.
    std::string shaped(std::string_view bytes, std::string reply) const;

    PrinterConfig config_;
    std::uint64_t resets_ = 0;
    std::uint64_t selfTests_ = 0;
    std::uint64_t testPrints_ = 0;
    PosSwitches switches_;
};

const PosPrinter* posPrinterOf(const Printer& printer);

// The POS knobs of printer-sim's command line, and their parse onto
// `config` (an error when given for another personality).
std::vector<platform::cli::OptionRow> posOptionRows();
bool posOptions(const platform::cli::ParsedArgs& args, bool posPersonalityChosen, PosConfig& config,
                std::string& error);

} // namespace sim
