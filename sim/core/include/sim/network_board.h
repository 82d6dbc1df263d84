// The network-board personality: a printer's WLAN/Ethernet interface board
// as its configuration link sees it.
//
// Wire format on the serial/USB link
//   opener    1F 57 43 7F 1D 1F 03, answered 1F 57 4D 7F 1D 1F 03 (settable)
//   request   1F 57 43, the message as lower-case hex pairs, 03
//   reply     1F 57 4D, the reply message as lower-case hex pairs, 03
//   NAK       1F 57 4D 15 03: anything the board refuses. 15 is not a hex
//             digit, so a host can never read it as a message.
// A message is an 18-byte tag, a body, a pad byte when tag + body is odd,
// and the 16-bit Internet checksum (big-endian) that makes the ones'
// complement sum of the whole message zero.
//   SYS_REQ  -> SYS_RSP  firmware text 16, update date text 32, MAC 6
//   IF__GET  -> IF__CUR  the stored 603-byte configuration record
//   BSS_REQ  -> BSS_RSP  the stored access-point body
//   IF__SET  -> IF__SUC  stores the record the host sent
// Certificates travel raw and as unchecksummed chunk frames; see
// board_certificates.h.
// Requests are judged strictly: lower-case hex only, whole pairs, a valid
// checksum, and the exact length of the tag's message (20 bytes for the
// three queries, 624 for IF__SET). Anything else is counted and NAKed.
// Over TCP the BSS query travels bare: the 20-byte message in, the raw
// BSS_RSP message out, no framing.
//
// The checksum and hex coding are written here rather than taken from the
// host's protocol library, so a fault there shows up against the simulator
// instead of hiding in both.
#pragma once

#include "sim/board_certificates.h"
#include "sim/board_config.h"
#include "sim/personality.h"
#include "sim/printer.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

inline constexpr std::size_t kBoardTagSize = 18;
inline constexpr std::string_view kFrameStart{"\x1f\x57\x43", 3};
inline constexpr std::string_view kReplyStart{"\x1f\x57\x4d", 3};
inline constexpr std::string_view kLinkOpener{"\x1f\x57\x43\x7f\x1d\x1f\x03", 7};
inline constexpr std::string_view kBoardNak{"\x1f\x57\x4d\x15\x03", 5};
// The longest request is IF__SET's 1252-byte frame; a frame without its 03
// by this length is given up.
inline constexpr std::size_t kMaxRequestFrame = 4096;
// Refused frames kept in the report, with this many of their bytes.
inline constexpr std::size_t kMaxBoardErrorLines = 50;
inline constexpr std::size_t kBoardErrorBytesShown = 48;

extern const Personality networkBoardPersonality;

// Ones' complement of the folded sum of big-endian 16-bit words; an odd
// last byte is the high byte of a word.
std::uint16_t internetChecksum(std::string_view bytes);
// Tag + body, the pad byte when that is odd, the checksum.
std::string boardMessage(std::string_view tag, std::string_view body = {});
// The checksum over the whole message complements to zero.
bool checksumValid(std::string_view message);
// Every byte as two hex digits, high nibble first.
std::string hexOf(std::string_view bytes, bool upper = false);
// The short report name of an exchange: opener, sys-req, if-get, bss-req, if-set.
std::string_view exchangeName(BoardExchange exchange);

class NetworkBoard : public PrinterState {
public:
    explicit NetworkBoard(const PrinterConfig& config);

    void addCommands(CommandParser& parser) override;
    std::string report() const override;
    std::string saveText() const override { return {}; }
    std::uint64_t changes() const override { return 0; }

    // One frame at the head of `input` (which starts with 1F 57 43).
    HandlerResult onFrame(std::string_view input);

    // A whole message received over TCP. nullopt: the board stays silent
    // (keep the connection, send nothing); otherwise the bytes to send,
    // empty when the request is refused (close without an answer).
    std::optional<std::string> answerTcp(std::string_view message);

    // The reply message (not framed) the board gives to `exchange` with its
    // faults applied; nullopt when it is silent on that exchange.
    std::optional<std::string> replyMessage(BoardExchange exchange) const;

    const std::string& record() const { return record_; }
    const CertificateStore& certificates() const { return certificates_; }

    // Called after an IF__SET stored a record, and after a certificate was
    // committed (type index 0..2): the program writes them out on request.
    void setRecordSink(std::function<void(const std::string& record)> sink) { recordSink_ = std::move(sink); }
    void setCertificateSink(std::function<void(std::size_t type, const std::string& file)> sink)
    {
        certificateSink_ = std::move(sink);
    }
    std::uint64_t openers() const { return openers_; }
    std::uint64_t frames(BoardExchange e) const { return frames_[static_cast<std::size_t>(e)]; }
    std::uint64_t errors() const { return errors_; }
    std::uint64_t tcpQueries() const { return tcpQueries_; }
    std::uint64_t tcpErrors() const { return tcpErrors_; }

private:
    HandlerResult refuse(std::size_t consumed, std::string_view frame, const std::string& reason);
    std::string frameReply(std::string_view message) const;
    HandlerResult onCertificateStart(std::size_t type, std::string_view frame);
    HandlerResult onCertificateChunk(std::string_view frame, std::string_view message);
    HandlerResult onIfSet(std::string_view frame, std::string_view message);

    NetworkBoardConfig config_;
    std::string record_;
    std::uint64_t openers_ = 0;
    std::array<std::uint64_t, kBoardExchanges> frames_{};
    std::uint64_t errors_ = 0;
    std::vector<std::string> errorLines_;
    std::uint64_t tcpQueries_ = 0;
    std::uint64_t tcpErrors_ = 0;
    std::string tcpLast_;  // hex of the last message received over TCP
    CertificateStore certificates_;
    unsigned garbageLeft_ = 0;  // garbage answers still due for the current chunk
    std::function<void(const std::string&)> recordSink_;
    std::function<void(std::size_t, const std::string&)> certificateSink_;
};

// The board of a network-board printer, or nullptr for any other printer.
NetworkBoard* networkBoardOf(Printer& printer);
const NetworkBoard* networkBoardOf(const Printer& printer);

} // namespace sim
