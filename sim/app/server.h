// The serving loop: moves bytes between a connection and the printer model,
// shapes and schedules the replies, and handles the signals.
#pragma once

#include "fd.h"
#include "pty_port.h"
#include "recorder.h"
#include "tcp_port.h"

#include "sim/mobile_printer.h"
#include "sim/reply_shaper.h"

#include <cstdint>
#include <deque>
#include <string>

namespace simapp {

class Server {
public:
    // Replies queued beyond this many bytes are dropped.
    static constexpr std::size_t kMaxQueuedBytes = std::size_t{1} << 20;
    static constexpr std::size_t kReadSize = 4096;

    // Replies nobody reads for `dropAfterMs` are dropped, written or not.
    Server(sim::MobilePrinter& printer, const sim::ReplyShaping& shaping, Recorder& recorder,
           int signalFd, std::uint64_t dropAfterMs);

    // Serve until a terminating signal. Returns the exit status.
    int runPty(PtyPort& pty);
    int runTcp(TcpPort& tcp);

private:
    struct Piece {
        std::uint64_t dueMs;
        std::string bytes;
        std::size_t sent = 0;
    };
    enum class IoResult { Ok, Closed, Failed, Dropped };

    // Handles pending signals; returns true when the loop should stop.
    bool handleSignals();
    IoResult readFrom(int fd);
    void queueReplies(const std::vector<std::string>& replies);
    IoResult writeDue(int fd, bool isSocket);
    int pollTimeoutMs() const;
    void dropQueue(const char* why);
    // Discards replies that sit in the terminal unread for too long.
    void checkUnread(PtyPort& pty);

    sim::MobilePrinter& printer_;
    const sim::ReplyShaping& shaping_;
    Recorder& recorder_;
    int signalFd_;
    std::uint64_t dropAfterMs_;

    std::deque<Piece> queue_;
    std::size_t queuedBytes_ = 0;
    std::uint64_t lastDueMs_ = 0;
    std::uint64_t lastProgressMs_ = 0;
    bool writeBlocked_ = false;
    std::uint64_t bytesWritten_ = 0;
    std::uint64_t hostConsumed_ = 0;    // bytesWritten_ less what is still unread
    std::uint64_t consumedSinceMs_ = 0; // when hostConsumed_ last changed
    bool unreadPending_ = false;        // replies sat unread at the last look
};

std::uint64_t nowMs();

} // namespace simapp
