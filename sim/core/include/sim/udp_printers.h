// Network boards as they answer on UDP: the discovery request and the store
// datagram of both modes, for any number of simulated Ethernet and WLAN
// printers behind one socket. No I/O here: a datagram goes in, the answers
// come out with the delay each is to be sent after, so tests drive it
// directly.
//
//   Ethernet  "FIND"                       -> "IMIN" + 27-byte record
//             "SETT" + record bytes 0..25  -> "SETC"
//   WLAN      "__[I_F]__[PRT_REG]"         -> "__[I_F]__[REG_RSP]" + 29-byte record
//             "__[I_F]__[PRT_SET]" + 0..28 -> "__[I_F]__[SET_RSP]" (or "SETC")
//
// A store is taken by the printers of its mode whose MAC is the record's
// first six bytes; they keep the new bytes (the Ethernet HTTPS flag, which
// the store does not carry, stays). Anything else is counted as ignored.
//
// A printer is described by one option value:
//   ethernet|wlan[,KEY=VALUE...]
//   mac=AA:BB:CC:DD:EE:FF ip=A subnet=A gateway=A port=N baud=HH (hex code)
//   fw=MAJOR.MINOR dhcp=0|1 inactivity=S https=0|1 cap=N reserved=N
//   record=HEX        the whole record instead (27 or 29 bytes)
//   repeat=N          answer each search N times (1..10)
//   delay=MS          answer after MS
//   cut=N             send only the answer's first N bytes
//   pad=N             append N zero bytes to the answer
//   store=setc|setrsp|none|HEX   the store answer (default: the mode's own)
//   store-delay=MS    send the store answer after MS
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

enum class UdpMode { Ethernet, Wlan };

struct UdpPrinter {
    UdpMode mode = UdpMode::Ethernet;
    std::string record;          // 27 or 29 bytes
    int repeat = 1;
    std::uint32_t delayMs = 0;
    int cut = -1;                // -1: the whole answer
    int pad = 0;
    std::string storeAnswer;     // empty: no answer
    std::uint32_t storeDelayMs = 0;
};

// A datagram sent to whoever searched, `delayMs` after the request.
struct UdpStray {
    std::string bytes;
    std::uint32_t delayMs = 0;
};

struct UdpSend {
    std::uint32_t delayMs = 0;
    std::string bytes;
};

inline constexpr std::size_t kUdpEthernetRecord = 27;
inline constexpr std::size_t kUdpWlanRecord = 29;
inline constexpr int kUdpMaxRepeat = 10;
inline constexpr int kUdpMaxPad = 2048;
inline constexpr std::uint32_t kUdpMaxDelayMs = 60000;

// Parses "ethernet|wlan,KEY=VALUE,..." onto the mode's default record:
// MAC 00:19:7B:10:00:NN and IP 192.168.0.(100+NN) with NN = index + 1,
// 255.255.255.0, gateway 192.168.0.1, port 9100, baud FF (115200), firmware
// 1.5, no DHCP, inactivity 0, HTTP, WLAN capability 31.
bool parseUdpPrinter(std::string_view text, int index, UdpPrinter& out, std::string& error);
// "HEX" or "HEX@MS".
bool parseUdpStray(std::string_view text, UdpStray& out, std::string& error);

class UdpPrinters {
public:
    static constexpr std::size_t kMaxListed = 50;

    UdpPrinters(std::vector<UdpPrinter> printers, std::vector<UdpStray> strays)
        : printers_(std::move(printers)), strays_(std::move(strays))
    {
    }

    // What to send back to the datagram's source, in the order given.
    std::vector<UdpSend> handle(std::string_view datagram, const std::string& from);

    // The report's lines:
    //   udp.requests: N      udp.request.K: ethernet|wlan FROM HEX
    //   udp.stores: N        udp.store.K: ethernet|wlan HEX (the whole datagram)
    //   udp.stored: N        stores a printer took
    //   udp.ignored: N       udp.ignored.K: HEX
    //   udp.printer.I: ethernet|wlan HEX (its record now)
    // Up to kMaxListed numbered lines each.
    std::string report() const;

    const std::vector<UdpPrinter>& printers() const { return printers_; }

private:
    std::vector<UdpPrinter> printers_;
    std::vector<UdpStray> strays_;
    std::vector<std::string> requests_;
    std::vector<std::string> stores_;
    std::vector<std::string> ignored_;
    std::uint64_t requestCount_ = 0;
    std::uint64_t storeCount_ = 0;
    std::uint64_t storedCount_ = 0;
    std::uint64_t ignoredCount_ = 0;
};

} // namespace sim
