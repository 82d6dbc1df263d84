// The printer models the simulator can pose as. Each personality keeps its
// own models table; these look-ups run over all of them.
#pragma once

#include "sim/printer.h"

#include <array>
#include <string_view>

namespace sim {

struct Personality;

struct ModelInfo {
    std::string_view name;                  // canonical, as --model takes it
    std::array<std::string_view, 2> alsoAs; // further accepted spellings ("" = unused)
    std::string_view reply;                 // model query reply, without the NUL
    std::string_view version;               // default version reply, without the NUL
};

inline constexpr std::string_view kDefaultModel = "KMP-Z400";

// Case-insensitive, over names and their other spellings; nullptr if unknown.
const ModelInfo* findModel(std::string_view name);
// The same within one personality's table.
const ModelInfo* findModelIn(const Personality& personality, std::string_view name);
// The personality whose table holds `model`; nullptr for a model of no table.
const Personality* personalityOf(const ModelInfo& model);
// The model's replies with its personality's defaults for the rest.
PrinterConfig configForModel(const ModelInfo& model);

} // namespace sim
