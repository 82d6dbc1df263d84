// Records and scripted datagram arrivals shared by the search core tests.
#pragma once

#include "pavix/search/Datagrams.h"
#include "pavix/search/SearchJob.h"

#include "platform/clock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string_view>

namespace pavix::search::testing {

inline Bytes bytesOf(std::string_view text)
{
    return Bytes(text.begin(), text.end());
}

inline Bytes concat(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A WLAN board at 192.168.0.10:9100, 115200 baud, firmware 2.4, DHCP off,
// inactivity 300 s, HTTPS, capability 31.
inline Bytes exampleWlanRecord()
{
    return {0x00, 0x1d, 0x9a, 0x01, 0xbc, 0xef, // MAC
            192,  168,  0,    10,               // IP
            255,  255,  255,  0,                // mask
            192,  168,  0,    1,                // gateway
            0x23, 0x8c,                         // port 9100
            0xFF,                               // baud 115200
            2,    4,                            // firmware 2.4
            0,                                  // DHCP off
            0x01, 0x2c,                         // 300 s
            1,                                  // HTTPS
            31,                                 // capability
            0x5a};                              // reserved
}

inline Bytes exampleEthernetRecord()
{
    Bytes record = exampleWlanRecord();
    record.resize(kEthernetRecordSize);
    return record;
}

// Datagrams that arrive at given times on a manual clock; receive() moves
// the clock to the next arrival or by the whole time-out.
class ScriptedArrivals {
public:
    explicit ScriptedArrivals(platform::ManualClock& clock) : clock_(clock) {}

    void at(std::uint64_t ms, Bytes datagram) { arrivals_.push_back({ms, std::move(datagram)}); }

    platform::UdpReceived receive(std::uint8_t* buffer, int capacity, int timeoutMs)
    {
        ++calls_;
        platform::UdpReceived got;
        const std::uint64_t until = clock_.tickMs() + static_cast<std::uint64_t>(timeoutMs);
        if (!arrivals_.empty() && arrivals_.front().ms <= until) {
            Arrival next = std::move(arrivals_.front());
            arrivals_.pop_front();
            if (next.ms > clock_.tickMs())
                clock_.advance(next.ms - clock_.tickMs());
            const int copied = std::min(capacity, static_cast<int>(next.datagram.size()));
            std::memcpy(buffer, next.datagram.data(), static_cast<std::size_t>(copied));
            got.io = platform::IoResult{copied, platform::IoEnd::Complete, {}};
            got.fullLength = static_cast<int>(next.datagram.size());
            got.truncated = got.fullLength > capacity;
            return got;
        }
        clock_.advance(until - clock_.tickMs());
        got.io = platform::IoResult{0, platform::IoEnd::Timeout, platform::OsError{ETIMEDOUT, "receive", "fake"}};
        return got;
    }

    Receiver receiver()
    {
        return [this](std::uint8_t* b, int c, int t) { return receive(b, c, t); };
    }

    int calls() const { return calls_; }
    std::size_t pending() const { return arrivals_.size(); }

private:
    struct Arrival {
        std::uint64_t ms;
        Bytes datagram;
    };
    platform::ManualClock& clock_;
    std::deque<Arrival> arrivals_;
    int calls_ = 0;
};

// A sender that records what it was asked to send.
struct RecordingSender {
    std::vector<Bytes> sent;
    bool works = true;

    Sender sender()
    {
        return [this](const Bytes& datagram) {
            sent.push_back(datagram);
            SendResult result;
            result.sent = works;
            if (!works)
                result.error = "send 255.255.255.255:48781: Network is unreachable";
            return result;
        };
    }
};

} // namespace pavix::search::testing
