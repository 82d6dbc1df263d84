// Pure parsers of the memory switch commands' replies.
//
// Each takes the bytes received so far (in whatever pieces they came) and
// says whether the reply is complete, needs more bytes or can be judged
// invalid, without ever indexing past what arrived. The collect loop
// (ReplyCollect.h) stops on Complete or Invalid; once the time limit has
// passed, the operation judges what it has with `ended` set.
#pragma once

#include "corvane/switches/SwitchCodec.h"

#include <cstdint>
#include <span>
#include <string>

namespace corvane {

enum class ReplyStatus { Complete, NeedMore, Invalid };

using ReplyBytes = std::span<const std::uint8_t>;

// Switch read: exactly 11 bytes 37 21 d1..d8 00, every d "0" or "1".
inline constexpr std::size_t kSwitchReplySize = 11;
struct SwitchReply {
    ReplyStatus status = ReplyStatus::NeedMore;
    SwitchText text{};
};
SwitchReply ParseSwitchReply(ReplyBytes bytes);

// Setting mode and factory default acknowledgement: exactly 37 20 00.
inline constexpr std::size_t kAckReplySize = 3;
ReplyStatus ParseAckReply(ReplyBytes bytes);

// Serial item: 37 33 <item digit> 1F <data> 00, at most 11 bytes held (12
// means the printer sent too much). Data: the baud rate as decimal digits
// (at least one), or one digit in the item's range: parity 0-2, flow 0-1,
// data bits 7-8.
inline constexpr std::size_t kSerialReplyLimit = 12;
struct SerialReply {
    ReplyStatus status = ReplyStatus::NeedMore;
    int value = 0;
};
// `ended`: the time limit passed; the bytes held are all there is.
SerialReply ParseSerialReply(ReplyBytes bytes, int item, bool ended);

// RF interface: any noise, then 37 21 d1..d8 00. Invalid results carry the
// result code they mean: 108 for a missing header or a reply that ends
// before d8, 109 for characters other than "0"/"1".
struct RfReply {
    ReplyStatus status = ReplyStatus::NeedMore;
    int code = 0;
    SwitchText text{};
};
RfReply ParseRfReply(ReplyBytes bytes, bool ended);

// Sentinel codes: any noise, then 37 81 <track digit> <start> 1F <end> 00.
// A reply for another track, or one too short to tell, is ignored
// (`matched` false): the codes stay as they were.
struct SentinelReply {
    ReplyStatus status = ReplyStatus::NeedMore;
    bool matched = false;
    std::string start;
    std::string end;
};
SentinelReply ParseSentinelReply(ReplyBytes bytes, int track, bool ended);

// Bluetooth item: 37 42 <item> <data> 00, at most 100 bytes. Invalid results
// carry 301 (no 37 42 start) or 109 (another item, or data missing or out of
// range: "c" 1-3, "s" 0-1).
struct BluetoothReply {
    ReplyStatus status = ReplyStatus::NeedMore;
    int code = 0;
    int value = 0;       // "c": mode 0-2; "s": 0-1
    std::string text;    // "d", "k"
};
inline constexpr std::size_t kBluetoothReplyLimit = 100;
BluetoothReply ParseBluetoothReply(ReplyBytes bytes, char item, bool ended);

} // namespace corvane
