#include "server.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace simapp {

namespace {

int clampTimeout(std::uint64_t ms)
{
    return static_cast<int>(std::min(ms, Server::kIdleWakeMs));
}

void say(const char* what)
{
    std::fprintf(stderr, "printer-sim: %s\n", what);
}

void sayError(const char* doing, const char* what, int error)
{
    std::fprintf(stderr, "printer-sim: %s %s: %s\n", doing, what, std::strerror(error));
}

} // namespace

Server::Server(sim::Printer& printer, const ServeConfig& config, Recorder& recorder, const Clock& clock)
    : printer_(printer), config_(config), recorder_(recorder), clock_(clock),
      pacer_(config.pacing, kReadSize, clock.nowMs())
{
}

bool Server::handleSignals(int signalFd)
{
    bool stop = false;
    for (;;) {
        signalfd_siginfo info{};
        const ssize_t n = ::read(signalFd, &info, sizeof info);
        if (n != static_cast<ssize_t>(sizeof info)) {
            if (n < 0 && errno == EINTR)
                continue;
            break;  // EAGAIN: none left
        }
        if (info.ssi_signo == SIGUSR1) {
            const std::string report = printer_.report();
            std::fwrite(report.data(), 1, report.size(), stderr);
            std::fflush(stderr);
        } else {
            stop = true;
        }
    }
    return stop;
}

bool Server::readFrom(Link& link, std::size_t limit)
{
    char buffer[kReadSize];
    const IoResult r = link.read(buffer, std::min(limit, sizeof buffer));
    if (r.status == IoStatus::WouldBlock)
        return true;
    if (r.status == IoStatus::Closed)
        return hostGone(link, nullptr, 0);
    if (r.status == IoStatus::Failed)
        return hostGone(link, "reading from", r.error);
    if (r.bytes == 0)
        return true;

    std::size_t taken = r.bytes;
    bool dropAfter = false;
    if (config_.dropHostAfter != 0 && link.hostsComeAndGo()) {
        const std::uint64_t left = config_.dropHostAfter - std::min(hostBytes_, config_.dropHostAfter);
        if (taken >= left) {
            taken = static_cast<std::size_t>(left);
            dropAfter = true;
        }
        hostBytes_ += taken;
    }

    const std::uint64_t now = clock_.nowMs();
    const std::uint64_t before = pacer_.total();
    pacer_.consumed(taken, now);
    const std::string_view received(buffer, taken);
    const auto replies = printer_.receive(received);
    // Recorded before any reply leaves, so a host that got its reply can
    // rely on the capture, the report and the state file holding everything
    // it sent before.
    if (printer_.stateChanges() != savedChanges_) {
        savedChanges_ = printer_.stateChanges();
        recorder_.saveState(printer_.state()->saveText());
    }
    recorder_.record(received, printer_.report());
    if (dropAfter) {
        say("dropping the client: it has sent its bytes");
        return hostGone(link, nullptr, 0);
    }
    queueReplies(replies);
    queueChatter(sim::chatterDue(before, pacer_.total(), config_.chatter.every));
    return true;
}

bool Server::hostGone(Link& link, const char* why, int error)
{
    if (!link.hostsComeAndGo()) {
        sayError(why != nullptr ? why : "lost", link.name(), error != 0 ? error : EIO);
        return false;
    }
    if (why != nullptr)
        sayError(why, link.name(), error);
    printer_.endOfStream();  // replies to a host that left go nowhere
    hostBytes_ = 0;
    link.dropHost();
    dropQueue();
    return true;
}

void Server::queuePiece(std::uint64_t due, std::string bytes)
{
    if (queuedBytes_ + bytes.size() > kMaxQueuedBytes) {
        say("reply queue full; dropping a reply piece");
        return;
    }
    queuedBytes_ += bytes.size();
    queue_.push_back({due, std::move(bytes)});
    lastDueMs_ = due;
}

void Server::queueReplies(const std::vector<std::string>& replies)
{
    const std::uint64_t now = clock_.nowMs();
    for (const auto& reply : replies) {
        bool first = true;
        std::uint64_t due = 0;
        for (auto& piece : sim::shapeReply(reply, config_.shaping)) {
            // Replies leave in the order they were made, even when a later
            // one would be due earlier.
            due = first ? std::max(now + piece.delayMs, lastDueMs_) : due + piece.delayMs;
            first = false;
            queuePiece(due, std::move(piece.bytes));
        }
    }
}

void Server::queueChatter(std::uint64_t count)
{
    const std::string& bytes = config_.chatter.bytes;
    if (count == 0 || bytes.empty())
        return;
    // Unasked status goes out as it happens, unshaped, behind what is queued.
    const std::size_t room = (kMaxQueuedBytes - queuedBytes_) / bytes.size();
    if (count > room) {
        say("reply queue full; dropping chatter");
        count = room;
    }
    std::string all;
    all.reserve(static_cast<std::size_t>(count) * bytes.size());
    for (std::uint64_t i = 0; i < count; ++i)
        all += bytes;
    if (!all.empty())
        queuePiece(std::max(clock_.nowMs(), lastDueMs_), std::move(all));
}

bool Server::writeDue(Link& link)
{
    const std::uint64_t now = clock_.nowMs();
    writeBlocked_ = false;
    while (link.hostAttached() && !queue_.empty() && queue_.front().dueMs <= now) {
        Piece& piece = queue_.front();
        const IoResult r = link.write(std::string_view(piece.bytes).substr(piece.sent));
        if (r.status == IoStatus::Ok && r.bytes > 0) {
            piece.sent += std::min(r.bytes, piece.bytes.size() - piece.sent);
            bytesWritten_ += r.bytes;
            lastProgressMs_ = now;
            if (piece.sent == piece.bytes.size()) {
                queuedBytes_ -= piece.bytes.size();
                queue_.pop_front();
            }
            continue;
        }
        if (r.status == IoStatus::Ok || r.status == IoStatus::WouldBlock) {
            if (now - std::max(piece.dueMs, lastProgressMs_) < config_.dropAfterMs) {
                writeBlocked_ = true;
                return true;
            }
            dropQueue();
            // What sits unread in the link would greet the next host as the
            // answer to its first query.
            link.discardUnread();
            say("the host does not read; dropped its pending replies");
            return true;
        }
        if (r.status == IoStatus::Closed)
            return hostGone(link, nullptr, 0);
        if (link.hostsComeAndGo())
            return hostGone(link, "writing to", r.error);
        // The pseudo-terminal stays; only the replies are lost.
        sayError("writing to", link.name(), r.error);
        dropQueue();
        return true;
    }
    return true;
}

std::uint64_t Server::replyWakeMs() const
{
    const std::uint64_t now = clock_.nowMs();
    if (queue_.empty())
        return now + kIdleWakeMs;
    const Piece& front = queue_.front();
    return writeBlocked_ ? std::max(front.dueMs, lastProgressMs_) + config_.dropAfterMs : front.dueMs;
}

void Server::dropQueue()
{
    queue_.clear();
    queuedBytes_ = 0;
    writeBlocked_ = false;
}

void Server::checkUnread(Link& link, std::size_t unread)
{
    // A host that went away leaves its replies in the terminal, where the
    // next host would take them for answers to its own queries. We never see
    // that host leave; instead we watch whether anybody reads what we wrote.
    const std::uint64_t now = clock_.nowMs();
    unreadPending_ = unread > 0;
    const std::uint64_t consumed = bytesWritten_ - std::min<std::uint64_t>(unread, bytesWritten_);
    if (unread == 0 || consumed != hostConsumed_) {
        hostConsumed_ = consumed;
        consumedSinceMs_ = now;
        return;
    }
    // Counted from the later of the host's last read and our last write.
    if (now - std::max(consumedSinceMs_, lastProgressMs_) >= config_.dropAfterMs) {
        link.discardUnread();
        say("the host does not read; dropped its unread replies");
        const std::size_t left = link.unreadReplies().value_or(0);
        hostConsumed_ = bytesWritten_ - std::min<std::uint64_t>(left, bytesWritten_);
        consumedSinceMs_ = now;
    }
}

Server::Wait Server::nextWait(const Link& link)
{
    const std::uint64_t now = clock_.nowMs();
    auto until = [now](std::uint64_t at) { return clampTimeout(at > now ? at - now : 0); };
    if (!link.hostAttached()) {
        if (now < acceptAgainMs_)
            return {0, until(acceptAgainMs_)};
        return {POLLIN, clampTimeout(kIdleWakeMs)};
    }
    Wait wait;
    std::uint64_t wakeAt = replyWakeMs();
    if (unreadPending_)  // look again when unread replies would be due for dropping
        wakeAt = std::min(wakeAt, now + config_.dropAfterMs);
    if (pacer_.allowance(now) > 0) {
        wait.events |= POLLIN;
    } else if (pacer_.stalled()) {
        wait.events |= link.hangupEvents();
    } else {
        // Paused or slow: the host's bytes wait in the link, and a host that
        // left is noticed once reading resumes and reaches its end.
        wakeAt = std::min(wakeAt, pacer_.nextReadMs(now));
    }
    if (writeBlocked_)
        wait.events |= POLLOUT;
    wait.timeoutMs = until(wakeAt);
    return wait;
}

bool Server::service(Link& link, short revents)
{
    const std::uint64_t now = clock_.nowMs();
    if (!link.hostAttached()) {
        if ((revents & POLLIN) == 0 || now < acceptAgainMs_)
            return true;
        const IoResult r = link.acceptHost();
        if (r.status == IoStatus::Failed) {
            // Out of descriptors or similar: back off instead of spinning.
            sayError("accepting on", link.name(), r.error);
            acceptAgainMs_ = now + kAcceptBackOffMs;
        }
        return true;
    }

    const std::size_t allowance = pacer_.allowance(now);
    const short gone = static_cast<short>(POLLHUP | POLLERR | link.hangupEvents());
    if (allowance > 0 && (revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
        if (!readFrom(link, allowance))
            return false;
    } else if (allowance == 0 && (revents & gone) != 0) {
        if (pacer_.stalled()) {
            // What it sent after the stall point was never received.
            if (!hostGone(link, nullptr, 0))
                return false;
        } else if (!readFrom(link, kReadSize)) {
            // Paused or slow, but the connection broke: take what is left
            // without waiting, so the record holds every byte the host sent;
            // the read then meets the end and lets the host go.
            return false;
        }
    }
    if (!link.hostAttached())
        return true;
    if (!writeDue(link))
        return false;
    if (link.hostAttached()) {
        if (const auto unread = link.unreadReplies())
            checkUnread(link, *unread);
    }
    return true;
}

int Server::run(Link& link, int signalFd, SideService* side)
{
    for (;;) {
        const Wait wait = nextWait(link);
        pollfd fds[3] = {{signalFd, POLLIN, 0}, {link.pollFd(), wait.events, 0}, {-1, 0, 0}};
        int timeoutMs = wait.timeoutMs;
        if (side != nullptr) {
            fds[2] = {side->pollFd(), side->pollEvents(), 0};
            if (const int t = side->timeoutMs(); t >= 0)
                timeoutMs = std::min(timeoutMs, t);
        }
        const int rc = ::poll(fds, side != nullptr ? 3 : 2, timeoutMs);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "printer-sim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if ((fds[0].revents & POLLIN) != 0 && handleSignals(signalFd))
            return 0;
        if (!service(link, fds[1].revents))
            return 1;
        if (side != nullptr && side->service(fds[2].revents))
            recorder_.record({}, printer_.report());
    }
}

} // namespace simapp
