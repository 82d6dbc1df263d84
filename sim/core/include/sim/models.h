// The printer models the simulator can pose as.
#pragma once

#include "sim/mobile_printer.h"

#include <array>
#include <span>
#include <string_view>

namespace sim {

struct ModelInfo {
    std::string_view name;                  // canonical, as --model takes it
    std::array<std::string_view, 2> alsoAs; // further accepted spellings ("" = unused)
    std::string_view reply;                 // model query reply, without the NUL
    std::string_view version;               // default version reply, without the NUL
};

inline constexpr std::string_view kDefaultModel = "KMP-Z400";

std::span<const ModelInfo> knownModels();
// Case-insensitive, over names and their other spellings; nullptr if unknown.
const ModelInfo* findModel(std::string_view name);
// The model's replies with the default code page and MSR mode.
PrinterConfig configForModel(const ModelInfo& model);

} // namespace sim
