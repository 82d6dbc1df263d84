// The serving loop: moves bytes between a link and the printer model, paces
// the reading, shapes and schedules the replies, and handles the signals.
//
// The loop is split so that tests can drive it without poll and without
// real time: nextWait() says what to wait for and for how long, service()
// handles what the wait saw. All times come from the injected Clock.
#pragma once

#include "clock.h"
#include "link.h"
#include "recorder.h"

#include "sim/printer.h"
#include "sim/receive_pacing.h"
#include "sim/reply_shaper.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace simapp {

struct ServeConfig {
    sim::ReplyShaping shaping;
    sim::ReadPacing pacing;
    sim::Chatter chatter;
    // Replies nobody reads for this long are dropped, written or not.
    std::uint64_t dropAfterMs = 2000;
    // Where hosts come and go: each host is dropped once it has sent this
    // many bytes (the first ones are taken as usual); 0 never.
    std::uint64_t dropHostAfter = 0;
};

// Something served beside the link from the same loop (the network board's
// TCP responder): its own descriptor, events and wake-up time.
class SideService {
public:
    virtual ~SideService() = default;
    virtual int pollFd() const = 0;
    virtual short pollEvents() const = 0;
    // Milliseconds until it wants to run without an event; -1 for never.
    virtual int timeoutMs() const = 0;
    // Handles what the wait saw (0 after a time-out). True when the
    // printer's report changed and should be recorded.
    virtual bool service(short revents) = 0;
};

class Server {
public:
    // Replies queued beyond this many bytes are dropped.
    static constexpr std::size_t kMaxQueuedBytes = std::size_t{1} << 20;
    static constexpr std::size_t kReadSize = 4096;
    // Longest single wait: the loop wakes at least this often even when idle.
    static constexpr std::uint64_t kIdleWakeMs = 1000;
    // Pause before trying again after accepting a host failed (out of descriptors).
    static constexpr std::uint64_t kAcceptBackOffMs = 200;

    struct Wait {
        short events = 0;   // poll events for the link's descriptor
        int timeoutMs = 0;  // 0..kIdleWakeMs
    };

    Server(sim::Printer& printer, const ServeConfig& config, Recorder& recorder, const Clock& clock);

    // Serve until a terminating signal. Returns the exit status.
    int run(Link& link, int signalFd, SideService* side = nullptr);

    Wait nextWait(const Link& link);
    // `revents`: what the wait saw on the link's descriptor (0 after a
    // time-out). False when the link failed for good.
    bool service(Link& link, short revents);

    std::size_t queuedBytes() const { return queuedBytes_; }

private:
    struct Piece {
        std::uint64_t dueMs;
        std::string bytes;
        std::size_t sent = 0;
    };

    // Handles pending signals; returns true when the loop should stop.
    bool handleSignals(int signalFd);
    bool readFrom(Link& link, std::size_t limit);
    // The host left or its connection failed. False if the link cannot lose its host.
    bool hostGone(Link& link, const char* why, int error);
    void queuePiece(std::uint64_t due, std::string bytes);
    void queueReplies(const std::vector<std::string>& replies);
    void queueChatter(std::uint64_t count);
    bool writeDue(Link& link);
    std::uint64_t replyWakeMs() const;
    void dropQueue();
    // Discards replies that sit in the link unread for too long.
    void checkUnread(Link& link, std::size_t unread);

    sim::Printer& printer_;
    const ServeConfig& config_;
    Recorder& recorder_;
    const Clock& clock_;
    sim::ReadPacer pacer_;

    std::deque<Piece> queue_;
    std::size_t queuedBytes_ = 0;
    std::uint64_t lastDueMs_ = 0;
    std::uint64_t lastProgressMs_ = 0;
    bool writeBlocked_ = false;
    std::uint64_t bytesWritten_ = 0;
    std::uint64_t hostConsumed_ = 0;    // bytesWritten_ less what is still unread
    std::uint64_t consumedSinceMs_ = 0; // when hostConsumed_ last changed
    bool unreadPending_ = false;        // replies sat unread at the last look
    std::uint64_t acceptAgainMs_ = 0;   // no accept before this
    std::uint64_t savedChanges_ = 0;    // the printer's state changes already saved
    std::uint64_t hostBytes_ = 0;       // received from the attached host
};

} // namespace simapp
