// The search window's work as a job: send the request, count down 1000 ms
// in 100 ms ticks, take every answer that arrives meanwhile.
//
//   start()  empties the mode's list, status "Now Searching.", progress
//            0..1000 at 0, sends the request; countdown 1000, first tick in
//            100 ms.
//   tick     countdown -100, progress +100, status gains a "."; at a
//            countdown of 0 the status is "Now Searching." again; below 0
//            (the 11th tick, about 1.1 s after sending) the search ends Ok.
//   offer()  one received datagram: an answer is appended (arrival order,
//            duplicates kept); in WLAN mode a datagram too short for an
//            answer ends the search at once.
//
// The job never touches a socket: it sends through the Sender it was given
// and is handed datagrams by its driver (RunDatagramJob below, a socket
// notifier in a window).
#pragma once

#include "pavix/search/Datagrams.h"

#include "platform/clock.h"
#include "platform/job.h"
#include "platform/net_interfaces.h"
#include "platform/udp_socket.h"

#include <functional>
#include <string>

namespace pavix::search {

// What sending a request gave: whether any datagram left, and the reason
// when none did.
struct SendResult {
    bool sent = false;
    std::string error;
    platform::SendReport report;
};

using Sender = std::function<SendResult(const Bytes& datagram)>;

// A job that also ends on a datagram.
class DatagramJob : public platform::Job {
public:
    // Hands over one received datagram (at most kMaxDatagram bytes of it);
    // `truncated` when it was longer. Returns false once the job has ended.
    virtual bool offer(ByteView datagram, bool truncated) = 0;
    // The job ended on a datagram (or was cancelled); its result.
    bool ended() const { return ended_; }
    const platform::JobResult& endResult() const { return endResult_; }

protected:
    void endWith(platform::JobResult result)
    {
        ended_ = true;
        endResult_ = std::move(result);
    }

private:
    bool ended_ = false;
    platform::JobResult endResult_;
};

inline constexpr int kSearchTickMs = 100;
inline constexpr int kSearchCountdownMs = 1000;
inline constexpr std::string_view kSearchingStatus = "Now Searching.";
inline constexpr std::string_view kSearchWindowTitle = "Search...";

// Result codes of a search.
inline constexpr int kSearchDone = 0;
inline constexpr int kSearchNotSent = 1;

struct SearchReport {
    int answers = 0;
    int ignored = 0;
    int truncated = 0;         // datagrams longer than kMaxDatagram
    int shortAnswers = 0;      // answers whose record was zero-filled
    bool endedEarly = false;   // WLAN: a short datagram closed the search
    SendResult send;
};

class SearchJob final : public DatagramJob {
public:
    SearchJob(SearchMode mode, DeviceList& list, Sender sender);

    platform::JobNext start() override;
    platform::JobNext fire(int timerId) override;
    platform::JobResult cancelled() override;
    bool offer(ByteView datagram, bool truncated) override;

    SearchMode mode() const { return mode_; }
    int countdownMs() const { return countdown_; }
    const SearchReport& report() const { return report_; }

private:
    static constexpr int kTick = 1;

    SearchMode mode_;
    DeviceList& list_;
    Sender sender_;
    int countdown_ = kSearchCountdownMs;
    int position_ = 0;
    std::string status_;
    bool started_ = false;
    SearchReport report_;
};

// Receives one datagram into the buffer within the time-out (a bound
// platform::UdpSocket::receive, or a fake in tests).
using Receiver = std::function<platform::UdpReceived(std::uint8_t* buffer, int capacity, int timeoutMs)>;

// Runs `job` synchronously: between its timer steps it receives datagrams
// (up to kMaxDatagram bytes each) and offers them, until the step's time on
// `clock` has passed or the job ended on a datagram. A Cancel request or an
// interrupt is honoured between receives. A receive that fails (rather than
// timing out) ends the run with Cancel and the reason.
platform::JobResult RunDatagramJob(DatagramJob& job, platform::Clock& clock, const Receiver& receive,
                                   const platform::JobCancel* cancel = nullptr);

} // namespace pavix::search
