// What kind of device the simulator poses as. A personality is data: its
// command table (prefix -> handler), how it builds its replies from a model,
// and its models table. Adding one is one file with its tables plus one row
// in the personalities table (personalities.cpp).
#pragma once

#include "sim/command_parser.h"
#include "sim/models.h"
#include "sim/printer.h"

#include <memory>
#include <span>
#include <string_view>

namespace sim {

// A command handler over the printer's configuration. Handlers that need
// state of their own can still be added at run time (Printer::commands()).
using RowHandler = HandlerResult (*)(const PrinterConfig& config, std::string_view input);

struct CommandRow {
    std::string_view prefix;  // leading bytes; never empty
    RowHandler handle;
};

struct Personality {
    std::string_view name;     // as --personality takes it
    std::string_view summary;  // one line for --help
    std::span<const CommandRow> commands;
    std::span<const ModelInfo> models;
    std::string_view defaultModel;
    // The replies a printer of this personality gives as `model`.
    PrinterConfig (*configFor)(const ModelInfo& model);
    // The memory a printer of this personality keeps, set up from its
    // configuration; nullptr for a personality without state.
    std::unique_ptr<PrinterState> (*makeState)(const PrinterConfig& config) = nullptr;
};

// Every personality, the default first.
std::span<const Personality* const> personalities();
const Personality& defaultPersonality();
// Exact, lower-case name; nullptr if unknown.
const Personality* findPersonality(std::string_view name);

} // namespace sim
