#include "bss_tcp_responder.h"

#include <poll.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace simapp {

bool BssTcpResponder::listen(std::uint16_t port, std::string& error)
{
    return link_.listen("127.0.0.1", port, 0, error);
}

short BssTcpResponder::pollEvents() const
{
    if (!link_.hostAttached())
        return POLLIN;
    if (phase_ == Phase::Sending)
        return POLLOUT;
    return static_cast<short>(POLLIN | POLLRDHUP);
}

int BssTcpResponder::timeoutMs() const
{
    if (!link_.hostAttached() || phase_ != Phase::Receiving)
        return -1;
    const std::uint64_t due = acceptedMs_ + kRequestTimeoutMs;
    const std::uint64_t now = clock_.nowMs();
    return static_cast<int>(due > now ? std::min<std::uint64_t>(due - now, 1000) : 0);
}

void BssTcpResponder::drop()
{
    link_.dropHost();
    phase_ = Phase::Receiving;
    request_.clear();
    pending_.clear();
}

bool BssTcpResponder::readSome(bool& changed)
{
    char buffer[512];
    for (;;) {
        const IoResult r = link_.read(buffer, sizeof buffer);
        if (r.status == IoStatus::WouldBlock)
            return true;
        if (r.status != IoStatus::Ok)
            return false;
        if (phase_ != Phase::Receiving)
            continue;  // after the answer: read and forget
        // Bounded: a request is 20 bytes; more than a frame's worth is junk.
        request_.append(buffer, std::min(r.bytes, sim::kMaxRequestFrame - std::min(request_.size(), sim::kMaxRequestFrame)));
        if (request_.size() < kRequestSize)
            continue;
        // Whatever arrived with the first 20 bytes is part of the request.
        const auto answer = board_.answerTcp(request_);
        changed = true;
        if (!answer) {
            phase_ = Phase::Holding;  // silent board
        } else if (answer->empty()) {
            request_.clear();  // counted; close unanswered
            return false;
        } else {
            pending_ = *answer;
            phase_ = Phase::Sending;
            return sendPending();
        }
    }
}

bool BssTcpResponder::sendPending()
{
    while (!pending_.empty()) {
        const IoResult r = link_.write(pending_);
        if (r.status == IoStatus::WouldBlock)
            return true;
        if (r.status != IoStatus::Ok)
            return false;
        pending_.erase(0, r.bytes);
    }
    if (!keepOpen_)
        return false;  // answered: close
    phase_ = Phase::Holding;
    return true;
}

bool BssTcpResponder::service(short revents)
{
    if (!link_.hostAttached()) {
        if ((revents & POLLIN) == 0)
            return false;
        const IoResult r = link_.acceptHost();
        if (r.status == IoStatus::Failed)
            std::fprintf(stderr, "printer-sim: accepting on the access-point port: %s\n", std::strerror(r.error));
        if (link_.hostAttached())
            acceptedMs_ = clock_.nowMs();
        return false;
    }
    bool changed = false;
    bool keep = true;
    if (phase_ == Phase::Sending) {
        if ((revents & (POLLOUT | POLLERR | POLLHUP)) != 0)
            keep = sendPending();
    } else if ((revents & (POLLIN | POLLRDHUP | POLLERR | POLLHUP)) != 0) {
        keep = readSome(changed);
    }
    if (keep && phase_ == Phase::Receiving && clock_.nowMs() >= acceptedMs_ + kRequestTimeoutMs)
        keep = false;
    if (!keep) {
        // A request cut short by the host or the time-out is a refused one.
        if (phase_ == Phase::Receiving && !request_.empty()) {
            board_.answerTcp(request_);
            changed = true;
        }
        drop();
    }
    return changed;
}

} // namespace simapp
