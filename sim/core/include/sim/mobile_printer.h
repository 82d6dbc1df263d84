// The mobile receipt printer personality: its identification queries and
// the models that answer them.
#pragma once

#include "sim/nv_memory.h"
#include "sim/personality.h"
#include "sim/printer.h"
#include "sim/setting_memory.h"

#include <string_view>

namespace sim {

// Query command bytes the printer answers.
inline constexpr std::string_view kQueryModel{"\x1d\x49\x43", 3};     // GS I C
inline constexpr std::string_view kQueryVersion{"\x1d\x49\x41", 3};   // GS I A
inline constexpr std::string_view kQueryCodePage{"\x1d\x49\x45", 3};  // GS I E
inline constexpr std::string_view kQueryMsrMode{"\x1b\x4d\x49", 3};   // ESC M I
// A lone NUL is what a host sends to see whether the port takes bytes.
inline constexpr std::string_view kOpenProbe{"\x00", 1};

extern const Personality mobilePersonality;

// What a mobile printer keeps: its user settings (saved in the state file)
// and its NV images (kept for the run only). Report: the settings' lines,
// then the NV memory's.
class MobileMemory : public PrinterState {
public:
    explicit MobileMemory(const PrinterConfig& config);

    void addCommands(CommandParser& parser) override;
    std::string report() const override { return settings.report() + nv.report(); }
    std::string saveText() const override { return settings.saveText(); }
    std::uint64_t changes() const override { return settings.changes(); }
    void hostGone() override { nv.hostGone(); }

    SettingMemory settings;
    NvMemory nv;
};

// The NV family a printer with this configuration speaks: forced, else from
// its version number.
NvFamily nvFamilyOf(const PrinterConfig& config);
// The NV memory of a mobile printer, or nullptr for a printer without one.
const NvMemory* nvMemoryOf(const Printer& printer);
NvMemory* nvMemoryOf(Printer& printer);

// A printer with the mobile personality.
class MobilePrinter : public Printer {
public:
    explicit MobilePrinter(PrinterConfig config = {}) : Printer(mobilePersonality, std::move(config)) {}
};

} // namespace sim
