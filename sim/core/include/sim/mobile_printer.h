// The mobile receipt printer personality: its identification queries and
// the models that answer them.
#pragma once

#include "sim/personality.h"
#include "sim/printer.h"

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

// A printer with the mobile personality.
class MobilePrinter : public Printer {
public:
    explicit MobilePrinter(PrinterConfig config = {}) : Printer(mobilePersonality, std::move(config)) {}
};

} // namespace sim
