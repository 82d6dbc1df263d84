// Splits the byte stream a host sends into commands and data. Pure: the
// caller feeds bytes in any chunking and gets the replies back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Takes the body of a command too long to buffer whole (an image of a few
// hundred kilobytes), in pieces as they arrive. The handler that took the
// command's header names how many body bytes follow; the parser hands exactly
// those bytes over, without looking for commands among them.
struct BodyReader {
    std::function<void(std::string_view piece)> piece;
    // Every body byte arrived; returns the command's reply (may be empty).
    std::function<std::string()> end;
    // The stream ended (the host went away) with `missing` bytes still due.
    std::function<void(std::uint64_t missing)> cut;
};

// What a command handler makes of the bytes at the head of the input.
struct HandlerResult {
    enum class Status { NeedMore, Consumed, NotCommand };

    Status status = Status::NeedMore;
    std::size_t consumed = 0;  // bytes taken from the head of the input
    std::string reply;         // bytes to send back; may be empty
    bool counted = true;       // false for no-op filler bytes
    std::uint64_t bodyBytes = 0;  // bytes after `consumed` that go to `body`
    BodyReader body;

    // The command is not complete yet; call again when more bytes arrived.
    static HandlerResult needMore() { return {}; }
    // The first `n` bytes form the command; answer with `reply`.
    static HandlerResult done(std::size_t n, std::string reply = {})
    {
        HandlerResult r = make(Status::Consumed, n, false);
        r.reply = std::move(reply);
        r.counted = true;
        return r;
    }
    // The first `n` bytes are a no-op that is not counted as a command.
    static HandlerResult filler(std::size_t n) { return make(Status::Consumed, n, false); }
    // The first `n` bytes are the command's header; the next `bodyBytes`
    // go to `reader` as they come (none: its end() runs at once).
    static HandlerResult streamed(std::size_t n, std::uint64_t bodyBytes, BodyReader reader)
    {
        HandlerResult r = make(Status::Consumed, n, true);
        r.bodyBytes = bodyBytes;
        r.body = std::move(reader);
        return r;
    }
    // The prefix matched, but in the printer's present state these bytes
    // mean nothing to it: the first byte is data.
    static HandlerResult notCommand() { return make(Status::NotCommand, 0, false); }

private:
    static HandlerResult make(Status status, std::size_t n, bool counted)
    {
        HandlerResult r;
        r.status = status;
        r.consumed = n;
        r.counted = counted;
        return r;
    }
};

// `input` starts with the handler's prefix and holds every byte received but
// not yet consumed (possibly more than the command needs).
using CommandHandler = std::function<HandlerResult(std::string_view input)>;
// Receives runs of bytes that start no known command, in order.
using DataSink = std::function<void(std::string_view data)>;

// Handlers are keyed by their leading bytes. At each position the longest
// prefix that matches wins. While the buffered bytes are still a proper
// prefix of some command, the parser waits for more; a byte that starts no
// command is data. A handler may keep asking for more bytes (a command with a
// length field), but only up to kMaxPending buffered bytes: past that its
// first byte is given up as data, so a broken stream cannot wedge the parser.
// Longer commands stream their body (HandlerResult::streamed): the parser
// keeps only how many body bytes are still due, across reads.
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
    // Body bytes of a streamed command still to come.
    std::uint64_t bodyBytesDue() const { return bodyDue_; }
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
    bool inBody_ = false;
    std::uint64_t bodyDue_ = 0;
    BodyReader body_;
    DataSink dataSink_;
    std::uint64_t commands_ = 0;
};

} // namespace sim
