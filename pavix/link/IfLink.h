// The board's request/response procedures over the PrinterPort, and the
// access-point query over TCP.
//
// Every exchange on the link is one write of a whole frame and one
// reassembled reply (PrinterPort::ReadReply). Before each request the link
// opener 1F 57 43 7F 1D 1F 03 is sent and its answer must begin
// 1F 57 4D 7F; otherwise the request is never sent.
//
//   system information  opener, SYS_REQ -> SYS_RSP (>= 74 bytes)
//   read configuration  opener, SYS_REQ -> SYS_RSP, opener, IF__GET -> IF__CUR
//                       (>= 623 bytes)
//   write configuration opener, IF__SET with the record (624-byte message,
//                       1252-byte frame) -> a valid message tagged IF__SUC
//   certificate         raw requests and framed chunks, each answered by
//                       one raw reply (ExchangeCertificate below)
//   BSS over the link   opener, BSS_REQ (progress 25), up to three replies: a
//                       reply with data sets 100 and ends; each empty one
//                       moves 50, 75, 100; none at all fails
//   BSS over TCP        connect to port 3318 within 3 s, the raw 20-byte
//                       BSS_REQ (progress 0, 12), up to seven receives of
//                       1500 ms (24, 36 .. 96 after each empty one), then
//                       100; after the first data, receiving goes on until
//                       the board closes, 300 ms pass without data, or 16 KiB
//                       arrived. The socket is closed on every path.
//
// Results are codes with the stage they stopped at and the OS reason; the
// front ends choose the words. Nothing is retried here.
#pragma once

#include "pavix/link/PrinterPort.h"
#include "pavix/protocol/BssTable.h"
#include "pavix/protocol/IfRecords.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pavix {

enum class LinkStatus {
    Ok,
    NotOpen,         // the port is not open
    WriteFailed,     // a write failed or was short
    ReadFailed,      // a read failed (unplugged, hang-up)
    NoReply,         // nothing arrived within the bound
    BadOpenerAnswer, // the opener's answer was not 1F 57 4D 7F ...
    BadReply,        // not one whole frame, bad checksum, wrong tag, too short
    BadRecord,       // the record to write does not encode (a text too long)
    ConnectFailed,   // TCP: no connection within the bound
    SendFailed,      // TCP: the request did not go out whole
};

struct LinkResult {
    LinkStatus status = LinkStatus::Ok;
    // The exchange it stopped at: "opener", "SYS_REQ", "IF__GET", "BSS_REQ".
    std::string stage;
    platform::OsError error; // the OS reason, when there is one

    bool ok() const { return status == LinkStatus::Ok; }
};

// Receives 0..100 as a procedure goes on.
using ProgressSink = std::function<void(int percent)>;

inline constexpr std::uint16_t kBssTcpPort = 3318;
inline constexpr int kBssConnectTimeoutMs = 3000;
inline constexpr int kBssReceiveTimeoutMs = 1500;
inline constexpr int kBssReceiveAttempts = 7;
inline constexpr int kBssTcpQuietMs = 300;
inline constexpr std::size_t kBssTcpMaxBytes = 16 * 1024;
inline constexpr int kBssLinkReads = 3;

// One sentence on what went wrong, for the lines before an error line:
// "no answer to the link opener within 5000 ms".
std::string DescribeLinkResult(const LinkResult& result, int firstByteTimeoutMs);

class IfLink {
public:
    explicit IfLink(PrinterPort& port) : port_(port) {}

    // Opener and SYS_REQ.
    LinkResult ReadSystemInfo(SystemInfo& info);
    // Opener, SYS_REQ, opener, IF__GET.
    LinkResult ReadConfiguration(SystemInfo& info, IfConfigRecord& record);
    // Opener, BSS_REQ and up to three replies.
    LinkResult ReadBss(const ProgressSink& progress, BssTable& table);
    // The same query as a bare message over TCP to `address` (dotted IPv4).
    // Uses the port's devices and needs no open port.
    LinkResult ReadBssOverTcp(const std::string& address, const ProgressSink& progress, BssTable& table,
                              std::uint16_t tcpPort = kBssTcpPort);

    // Opener, IF__SET with the record, and an IF__SUC answer. A record whose
    // texts do not fit is refused before anything is sent.
    LinkResult WriteConfiguration(const IfConfigRecord& record);

    // One certificate exchange: writes `request` as it is (the raw start
    // request or an already framed chunk) and returns the one reply that
    // answers it, unframed (empty when nothing came within the first-byte
    // bound); nullopt when the write or the read failed. Keeps no copy of
    // what it sends. `failure` (optional) receives the reason of a nullopt.
    std::optional<Bytes> ExchangeCertificate(ByteView request, LinkResult* failure = nullptr);

private:
    LinkResult Opener();
    // Writes the request frame of `tag` and decodes one reassembled reply.
    LinkResult Request(std::string_view tag, Bytes& message);
    LinkResult Failure(LinkStatus status, std::string_view stage, bool withPortError = true);

    PrinterPort& port_;
};

} // namespace pavix
