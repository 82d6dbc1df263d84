#include "server.h"

#include <poll.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace simapp {

namespace {

// Longest single poll wait: the loop wakes at least this often even when idle.
constexpr std::uint64_t kIdleWakeMs = 1000;

int clampTimeout(std::uint64_t ms)
{
    return static_cast<int>(std::min(ms, kIdleWakeMs));
}

void say(const char* what)
{
    std::fprintf(stderr, "printer-sim: %s\n", what);
}

} // namespace

std::uint64_t nowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

Server::Server(sim::MobilePrinter& printer, const sim::ReplyShaping& shaping, Recorder& recorder,
               int signalFd, std::uint64_t dropAfterMs)
    : printer_(printer), shaping_(shaping), recorder_(recorder), signalFd_(signalFd),
      dropAfterMs_(dropAfterMs)
{
}

bool Server::handleSignals()
{
    bool stop = false;
    for (;;) {
        signalfd_siginfo info{};
        const ssize_t n = ::read(signalFd_, &info, sizeof info);
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

Server::IoResult Server::readFrom(int fd)
{
    char buffer[kReadSize];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n == 0)
        return IoResult::Closed;
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return IoResult::Ok;
        return errno == ECONNRESET ? IoResult::Closed : IoResult::Failed;
    }
    const std::string_view received(buffer, static_cast<std::size_t>(n));
    const auto replies = printer_.receive(received);
    // Recorded before any reply leaves, so a host that got its reply can
    // rely on the capture and report holding everything it sent before.
    recorder_.record(received, printer_.report());
    queueReplies(replies);
    return IoResult::Ok;
}

void Server::queueReplies(const std::vector<std::string>& replies)
{
    const std::uint64_t now = nowMs();
    for (const auto& reply : replies) {
        bool first = true;
        std::uint64_t due = 0;
        for (auto& piece : sim::shapeReply(reply, shaping_)) {
            // Replies leave in the order they were made, even when a later
            // one would be due earlier.
            due = first ? std::max(now + piece.delayMs, lastDueMs_) : due + piece.delayMs;
            first = false;
            if (queuedBytes_ + piece.bytes.size() > kMaxQueuedBytes) {
                say("reply queue full; dropping a reply piece");
                continue;
            }
            queuedBytes_ += piece.bytes.size();
            queue_.push_back({due, std::move(piece.bytes)});
            lastDueMs_ = due;
        }
    }
}

Server::IoResult Server::writeDue(int fd, bool isSocket)
{
    const std::uint64_t now = nowMs();
    writeBlocked_ = false;
    while (!queue_.empty() && queue_.front().dueMs <= now) {
        Piece& piece = queue_.front();
        const char* data = piece.bytes.data() + piece.sent;
        const std::size_t left = piece.bytes.size() - piece.sent;
        const ssize_t n = isSocket ? ::send(fd, data, left, MSG_NOSIGNAL) : ::write(fd, data, left);
        if (n > 0) {
            piece.sent += static_cast<std::size_t>(n);
            bytesWritten_ += static_cast<std::uint64_t>(n);
            lastProgressMs_ = now;
            if (piece.sent == piece.bytes.size()) {
                queuedBytes_ -= piece.bytes.size();
                queue_.pop_front();
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (now - std::max(piece.dueMs, lastProgressMs_) < dropAfterMs_) {
                writeBlocked_ = true;
                return IoResult::Ok;
            }
            dropQueue(nullptr);  // the caller tells
            return IoResult::Dropped;
        }
        return (n < 0 && (errno == EPIPE || errno == ECONNRESET)) ? IoResult::Closed
                                                                   : IoResult::Failed;
    }
    return IoResult::Ok;
}

int Server::pollTimeoutMs() const
{
    if (queue_.empty())
        return clampTimeout(kIdleWakeMs);
    const std::uint64_t now = nowMs();
    const Piece& front = queue_.front();
    const std::uint64_t wakeAt =
        writeBlocked_ ? std::max(front.dueMs, lastProgressMs_) + dropAfterMs_ : front.dueMs;
    return clampTimeout(wakeAt > now ? wakeAt - now : 0);
}

void Server::dropQueue(const char* why)
{
    if (why != nullptr && !queue_.empty())
        say(why);
    queue_.clear();
    queuedBytes_ = 0;
    writeBlocked_ = false;
}

void Server::checkUnread(PtyPort& pty)
{
    // A host that went away leaves its replies in the terminal, where the
    // next host would take them for answers to its own queries. We hold the
    // slave open ourselves, so we never see that host leave; instead we watch
    // whether anybody reads what we wrote.
    const std::uint64_t now = nowMs();
    const std::size_t unread = pty.unreadBytes();
    unreadPending_ = unread > 0;
    const std::uint64_t consumed = bytesWritten_ - std::min<std::uint64_t>(unread, bytesWritten_);
    if (unread == 0 || consumed != hostConsumed_) {
        hostConsumed_ = consumed;
        consumedSinceMs_ = now;
        return;
    }
    // Counted from the later of the host's last read and our last write.
    if (now - std::max(consumedSinceMs_, lastProgressMs_) >= dropAfterMs_) {
        pty.discardUnread();
        say("the host does not read; dropped its unread replies");
        hostConsumed_ = bytesWritten_ - std::min<std::uint64_t>(pty.unreadBytes(), bytesWritten_);
        consumedSinceMs_ = now;
    }
}

int Server::runPty(PtyPort& pty)
{
    const int fd = pty.masterFd();
    for (;;) {
        pollfd fds[2] = {
            {signalFd_, POLLIN, 0},
            {fd, static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0},
        };
        int timeout = pollTimeoutMs();
        if (unreadPending_)  // look again when unread replies would be due for dropping
            timeout = std::min(timeout, clampTimeout(dropAfterMs_));
        const int rc = ::poll(fds, 2, timeout);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "printer-sim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if ((fds[0].revents & POLLIN) != 0 && handleSignals())
            return 0;
        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            // We hold the slave open ourselves, so the master never closes.
            if (readFrom(fd) != IoResult::Ok) {
                std::fprintf(stderr, "printer-sim: reading the pseudo-terminal: %s\n",
                             std::strerror(errno));
                return 1;
            }
        }
        const IoResult w = writeDue(fd, false);
        if (w == IoResult::Dropped) {
            // What sits unread in the terminal would greet the next host as
            // the answer to its first query.
            pty.discardUnread();
            say("the host does not read; dropped its pending replies");
        } else if (w != IoResult::Ok) {
            std::fprintf(stderr, "printer-sim: writing the pseudo-terminal: %s\n", std::strerror(errno));
            dropQueue(nullptr);
        }
        checkUnread(pty);
    }
}

int Server::runTcp(TcpPort& tcp)
{
    Fd client;
    auto disconnect = [&] {
        printer_.endOfStream();  // replies to a host that left go nowhere
        client.reset();
        dropQueue(nullptr);
    };
    for (;;) {
        pollfd fds[2] = {{signalFd_, POLLIN, 0}, {-1, 0, 0}};
        if (client.valid())
            fds[1] = {client.get(), static_cast<short>(POLLIN | (writeBlocked_ ? POLLOUT : 0)), 0};
        else
            fds[1] = {tcp.listenFd(), POLLIN, 0};
        const int rc = ::poll(fds, 2, pollTimeoutMs());
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "printer-sim: poll: %s\n", std::strerror(errno));
            return 1;
        }
        if ((fds[0].revents & POLLIN) != 0 && handleSignals())
            return 0;

        if (!client.valid()) {
            if ((fds[1].revents & POLLIN) == 0)
                continue;
            client = tcp.accept();
            if (!client.valid() && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR &&
                errno != ECONNABORTED) {
                // Out of descriptors or similar: back off instead of spinning.
                std::fprintf(stderr, "printer-sim: accept: %s\n", std::strerror(errno));
                pollfd sig{signalFd_, POLLIN, 0};
                ::poll(&sig, 1, 200);
            }
            continue;
        }

        if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
            const IoResult r = readFrom(client.get());
            if (r != IoResult::Ok) {
                if (r == IoResult::Failed)
                    std::fprintf(stderr, "printer-sim: reading from the client: %s\n", std::strerror(errno));
                disconnect();
                continue;
            }
        }
        const IoResult w = writeDue(client.get(), true);
        if (w == IoResult::Dropped)
            say("the host does not read; dropped its pending replies");
        if (w == IoResult::Closed || w == IoResult::Failed) {
            if (w == IoResult::Failed)
                std::fprintf(stderr, "printer-sim: writing to the client: %s\n", std::strerror(errno));
            disconnect();
        }
    }
}

} // namespace simapp
