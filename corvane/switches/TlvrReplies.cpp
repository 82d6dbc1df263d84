#include "corvane/switches/TlvrReplies.h"

#include <algorithm>
#include <cstring>

namespace corvane {
namespace {

constexpr std::uint8_t kReplyMark = 0x37;
constexpr std::uint8_t kSwitchMark = 0x21;
constexpr std::uint8_t kAckMark = 0x20;
constexpr std::uint8_t kSerialMark = 0x33;
constexpr std::uint8_t kSentinelMark = 0x81;
constexpr std::uint8_t kBluetoothMark = 0x42;
constexpr std::uint8_t kUnitSeparator = 0x1F;

// Index of the first zero byte at or after `from`, or npos.
std::size_t zeroFrom(ReplyBytes bytes, std::size_t from)
{
    for (std::size_t k = from; k < bytes.size(); ++k) {
        if (bytes[k] == 0)
            return k;
    }
    return std::string::npos;
}

// Index of the first `a b` pair, or npos.
std::size_t findPair(ReplyBytes bytes, std::uint8_t a, std::uint8_t b)
{
    for (std::size_t k = 0; k + 1 < bytes.size(); ++k) {
        if (bytes[k] == a && bytes[k + 1] == b)
            return k;
    }
    return std::string::npos;
}

bool isDigit(std::uint8_t c)
{
    return c >= '0' && c <= '9';
}

SwitchText textAt(ReplyBytes bytes, std::size_t from)
{
    SwitchText text{};
    for (std::size_t k = 0; k < text.size(); ++k)
        text[k] = static_cast<char>(bytes[from + k]);
    return text;
}

} // namespace

SwitchReply ParseSwitchReply(ReplyBytes bytes)
{
    SwitchReply r;
    if (bytes.size() < kSwitchReplySize)
        return r;
    r.status = ReplyStatus::Invalid;
    if (bytes.size() != kSwitchReplySize || bytes[0] != kReplyMark || bytes[1] != kSwitchMark || bytes[10] != 0)
        return r;
    r.text = textAt(bytes, 2);
    if (IsSwitchBits({r.text.data(), r.text.size()}))
        r.status = ReplyStatus::Complete;
    return r;
}

ReplyStatus ParseAckReply(ReplyBytes bytes)
{
    if (bytes.size() < kAckReplySize)
        return ReplyStatus::NeedMore;
    const bool ok = bytes.size() == kAckReplySize && bytes[0] == kReplyMark && bytes[1] == kAckMark && bytes[2] == 0;
    return ok ? ReplyStatus::Complete : ReplyStatus::Invalid;
}

SerialReply ParseSerialReply(ReplyBytes bytes, int item, bool ended)
{
    SerialReply r;
    if (bytes.size() >= kSerialReplyLimit) {
        r.status = ReplyStatus::Invalid;
        return r;
    }
    const std::size_t zero = zeroFrom(bytes, 0);
    if (zero == std::string::npos && !ended)
        return r;
    const std::size_t end = zero == std::string::npos ? bytes.size() : zero;
    r.status = ReplyStatus::Invalid;
    if (end < 5 || bytes[0] != kReplyMark || bytes[1] != kSerialMark || bytes[2] != '0' + item
        || bytes[3] != kUnitSeparator)
        return r;
    if (item == 1) {
        long value = 0;
        std::size_t k = 4;
        // The buffer limit keeps this to seven digits: no overflow.
        for (; k < end && isDigit(bytes[k]); ++k)
            value = value * 10 + (bytes[k] - '0');
        if (k == 4)
            return r;
        r.value = static_cast<int>(value);
    } else {
        static constexpr int kLow[] = {0, 0, 0, 0, 7};
        static constexpr int kHigh[] = {0, 0, 2, 1, 8};
        if (item < 2 || item > 4 || !isDigit(bytes[4]))
            return r;
        const int value = bytes[4] - '0';
        if (value < kLow[item] || value > kHigh[item])
            return r;
        r.value = value;
    }
    r.status = ReplyStatus::Complete;
    return r;
}

RfReply ParseRfReply(ReplyBytes bytes, bool ended)
{
    RfReply r;
    const std::size_t at = findPair(bytes, kReplyMark, kSwitchMark);
    const std::size_t zero = at == std::string::npos ? std::string::npos : zeroFrom(bytes, at + 2);
    if (zero == std::string::npos && !ended)
        return r;
    r.status = ReplyStatus::Invalid;
    r.code = 108;
    if (at == std::string::npos)
        return r;
    // d1..d8 must all be there before any zero byte.
    const std::size_t end = zero == std::string::npos ? bytes.size() : zero;
    if (end < at + 10)
        return r;
    r.text = textAt(bytes, at + 2);
    if (!IsSwitchBits({r.text.data(), r.text.size()})) {
        r.code = 109;
        return r;
    }
    r.status = ReplyStatus::Complete;
    r.code = 0;
    return r;
}

SentinelReply ParseSentinelReply(ReplyBytes bytes, int track, bool ended)
{
    SentinelReply r;
    const std::size_t at = findPair(bytes, kReplyMark, kSentinelMark);
    const std::size_t zero = at == std::string::npos ? zeroFrom(bytes, 0) : zeroFrom(bytes, at + 2);
    if (zero == std::string::npos && !ended)
        return r;
    r.status = ReplyStatus::Complete;
    if (at == std::string::npos || at + 3 > bytes.size() || bytes[at + 2] != '0' + track)
        return r;
    r.matched = true;
    std::string* code = &r.start;
    for (std::size_t k = at + 3; k < bytes.size() && bytes[k] != 0; ++k) {
        if (bytes[k] == kUnitSeparator)
            code = &r.end;
        else
            code->push_back(static_cast<char>(bytes[k]));
    }
    return r;
}

BluetoothReply ParseBluetoothReply(ReplyBytes bytes, char item, bool ended)
{
    BluetoothReply r;
    const std::size_t zero = zeroFrom(bytes, 0);
    if (zero == std::string::npos && !ended && bytes.size() < kBluetoothReplyLimit)
        return r;
    const std::size_t end = zero == std::string::npos ? bytes.size() : zero;
    r.status = ReplyStatus::Invalid;
    if (bytes.size() < 2 || bytes[0] != kReplyMark || bytes[1] != kBluetoothMark) {
        r.code = 301;
        return r;
    }
    r.code = 109;
    // A reply for another item (a late answer to an earlier query) must not
    // land in this item's field.
    if (end < 3 || bytes[2] != static_cast<std::uint8_t>(item))
        return r;
    switch (item) {
    case 'c':
    case 's': {
        if (end < 4)
            return r;
        const int low = item == 'c' ? '1' : '0';
        const int high = item == 'c' ? '3' : '1';
        if (bytes[3] < low || bytes[3] > high)
            return r;
        r.value = bytes[3] - low;
        break;
    }
    case 'd':
    case 'k':
        r.text.assign(reinterpret_cast<const char*>(bytes.data()) + 3, end - 3);
        break;
    default:
        return r;
    }
    r.status = ReplyStatus::Complete;
    r.code = 0;
    return r;
}

} // namespace corvane
