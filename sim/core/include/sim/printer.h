// A simulated printer as seen from its host link: bytes in, reply bytes out.
// Which commands it knows comes from its personality's table; this class
// only counts what arrived and routes bytes through the command parser.
// No I/O here; the program around it moves the bytes.
#pragma once

#include "sim/board_config.h"
#include "sim/command_parser.h"
#include "sim/nv_memory.h"
#include "sim/pos_config.h"
#include "sim/switch_state.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

struct Personality;

// The answers the printer gives to its identification queries. The
// defaults are those of the default mobile model.
struct PrinterConfig {
    std::string modelReply = "_KMP-Z400";
    std::string versionReply = "_VER V1.04";
    std::string codePageReply = "_PC437";
    std::uint8_t msrMode = 0;
    // Mobile printers: the memory switch state at power-on, and the command
    // dialect when it is forced rather than taken from the version reply.
    SwitchState switches;
    std::optional<Dialect> dialect;
    // Mobile printers: the NV image memory's family (forced or not), its key
    // list blocks and the images stored at power-on.
    NvConfig nv;
    // Network boards: what the board holds and its fault knobs.
    NetworkBoardConfig board;
    // POS printers: their identification replies and fault knobs.
    PosConfig pos;
};

// What a personality keeps beyond its configuration (a printer's memory),
// with commands of its own that act on it.
class PrinterState {
public:
    virtual ~PrinterState() = default;
    virtual void addCommands(CommandParser& parser) = 0;
    // "key: value" lines appended to the receive report.
    virtual std::string report() const = 0;
    // What survives a restart, in the form the state file holds.
    virtual std::string saveText() const = 0;
    // Counts the changes worth saving; moves whenever saveText() would differ.
    virtual std::uint64_t changes() const = 0;
    // The host went away; an exchange waiting on it is over.
    virtual void hostGone() {}
};

// Everything received so far.
struct ReceiveStats {
    std::uint64_t bytes = 0;     // all bytes, commands and data alike
    std::uint32_t crc32 = 0;     // CRC-32 (IEEE 802.3, as zlib computes it) of those bytes
    std::uint64_t commands = 0;  // recognised commands (fillers not counted)
};

// "bytes N\ncrc32 xxxxxxxx\ncommands N\n" (space-separated, kept so for the
// scripts that read it); a personality with state appends its own lines.
std::string formatReport(const ReceiveStats& stats);

class Printer {
public:
    Printer(const Personality& personality, PrinterConfig config);
    // The handlers refer to this object's configuration.
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    // Takes bytes as they arrive, in any chunking; returns the replies they
    // caused, one entry per command, in order.
    std::vector<std::string> receive(std::string_view bytes);
    // The host went away (see CommandParser::endOfStream).
    std::vector<std::string> endOfStream();

    // Where received data (bytes that start no command) goes; discarded if unset.
    void setDataSink(DataSink sink) { parser_.setDataSink(std::move(sink)); }
    // To add command handlers with their own state.
    CommandParser& commands() { return parser_; }

    const Personality& personality() const { return personality_; }
    const PrinterConfig& config() const { return config_; }
    ReceiveStats stats() const;
    std::string report() const;

    // The personality's state, if it keeps any.
    const PrinterState* state() const { return state_.get(); }
    PrinterState* state() { return state_.get(); }
    std::uint64_t stateChanges() const { return state_ ? state_->changes() : 0; }

private:
    const Personality& personality_;
    PrinterConfig config_;
    CommandParser parser_;
    std::unique_ptr<PrinterState> state_;
    std::uint64_t bytes_ = 0;
    std::uint32_t crc_ = 0;
};

} // namespace sim
