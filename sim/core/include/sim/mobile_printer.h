// A mobile receipt printer as seen from its host link: bytes in, reply bytes
// out. No I/O here; the program around it moves the bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// What a command handler makes of the bytes at the head of the input.
struct HandlerResult {
    enum class Status { NeedMore, Consumed };

    Status status = Status::NeedMore;
    std::size_t consumed = 0;  // bytes taken from the head of the input
    std::string reply;         // bytes to send back; may be empty
    bool counted = true;       // false for no-op filler bytes

    // The command is not complete yet; call again when more bytes arrived.
    static HandlerResult needMore() { return {}; }
    // The first `n` bytes form the command; answer with `reply`.
    static HandlerResult done(std::size_t n, std::string reply = {})
    {
        return {Status::Consumed, n, std::move(reply), true};
    }
    // The first `n` bytes are a no-op that is not counted as a command.
    static HandlerResult filler(std::size_t n) { return {Status::Consumed, n, {}, false}; }
};

// `input` starts with the handler's prefix and holds every byte received but
// not yet consumed (possibly more than the command needs).
using CommandHandler = std::function<HandlerResult(std::string_view input)>;
// Receives runs of bytes that start no known command, in order.
using DataSink = std::function<void(std::string_view data)>;

// Splits a byte stream into commands and data.
//
// Handlers are keyed by their leading bytes. At each position the longest
// prefix that matches wins. While the buffered bytes are still a proper
// prefix of some command, the parser waits for more; a byte that starts no
// command is data. A handler may keep asking for more bytes (a command with a
// length field), but only up to kMaxPending buffered bytes: past that its
// first byte is given up as data, so a broken stream cannot wedge the parser.
class CommandParser {
public:
    static constexpr std::size_t kMaxPending = std::size_t{1} << 20;

    // Replaces an existing handler with the same prefix. `prefix` must not be empty.
    void addCommand(std::string prefix, CommandHandler handler);
    void setDataSink(DataSink sink) { dataSink_ = std::move(sink); }

    // Parses as far as the bytes allow; returns one entry per non-empty reply.
    std::vector<std::string> feed(std::string_view bytes);
    // No more bytes will follow (the host went away): what is buffered is
    // parsed as if complete, and what no handler takes becomes data.
    std::vector<std::string> endOfStream();

    std::size_t pendingBytes() const { return pending_.size(); }
    std::uint64_t commandCount() const { return commands_; }

private:
    struct Entry {
        std::string prefix;
        CommandHandler handler;
    };
    struct Match {
        const Entry* full = nullptr;  // longest prefix that `rest` starts with
        bool longerPossible = false;  // `rest` is a proper prefix of another command
    };

    Match match(std::string_view rest) const;
    std::vector<std::string> parse(bool final);

    std::vector<Entry> entries_;
    std::string pending_;
    DataSink dataSink_;
    std::uint64_t commands_ = 0;
};

// The answers the printer gives to its identification queries.
struct PrinterConfig {
    std::string modelReply = "_KMP-Z400";
    std::string versionReply = "_VER V1.04";
    std::string codePageReply = "_PC437";
    std::uint8_t msrMode = 0;
};

// Everything received so far.
struct ReceiveStats {
    std::uint64_t bytes = 0;     // all bytes, commands and data alike
    std::uint32_t crc32 = 0;     // CRC-32 (IEEE 802.3, as zlib computes it) of those bytes
    std::uint64_t commands = 0;  // recognised commands (fillers not counted)
};

// "bytes N\ncrc32 xxxxxxxx\ncommands N\n"
std::string formatReport(const ReceiveStats& stats);

// Query command bytes the printer answers.
inline constexpr std::string_view kQueryModel{"\x1d\x49\x43", 3};     // GS I C
inline constexpr std::string_view kQueryVersion{"\x1d\x49\x41", 3};   // GS I A
inline constexpr std::string_view kQueryCodePage{"\x1d\x49\x45", 3};  // GS I E
inline constexpr std::string_view kQueryMsrMode{"\x1b\x4d\x49", 3};   // ESC M I
// A lone NUL is what a host sends to see whether the port takes bytes.
inline constexpr std::string_view kOpenProbe{"\x00", 1};

class MobilePrinter {
public:
    explicit MobilePrinter(PrinterConfig config = {});

    // Takes bytes as they arrive, in any chunking; returns the replies they
    // caused, one entry per command, in order.
    std::vector<std::string> receive(std::string_view bytes);
    // The host went away (see CommandParser::endOfStream).
    std::vector<std::string> endOfStream();

    // Where received data (bytes that start no command) goes; discarded if unset.
    void setDataSink(DataSink sink) { parser_.setDataSink(std::move(sink)); }
    // To add command handlers with their own state.
    CommandParser& commands() { return parser_; }

    const PrinterConfig& config() const { return config_; }
    ReceiveStats stats() const;
    std::string report() const { return formatReport(stats()); }

private:
    PrinterConfig config_;
    CommandParser parser_;
    std::uint64_t bytes_ = 0;
    std::uint32_t crc_ = 0;
};

} // namespace sim
