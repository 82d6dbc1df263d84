#include "pavix/protocol/IfMessage.h"

#include <algorithm>

namespace pavix {

namespace {

std::uint32_t SumWords(ByteView bytes)
{
    std::uint32_t sum = 0;
    std::size_t i = 0;
    for (; i + 1 < bytes.size(); i += 2) {
        sum += static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
        sum = (sum & 0xFFFFu) + (sum >> 16);
    }
    if (i < bytes.size()) {
        sum += static_cast<std::uint32_t>(bytes[i] << 8);
        sum = (sum & 0xFFFFu) + (sum >> 16);
    }
    return sum;
}

constexpr std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t reg = i << 24;
        for (int bit = 0; bit < 8; ++bit)
            reg = (reg & 0x80000000u) ? (reg << 1) ^ 0x04C11DB7u : reg << 1;
        table[i] = reg;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kCrcTable = MakeCrcTable();

void AppendTag(Bytes& out, std::string_view tag)
{
    out.insert(out.end(), tag.begin(), tag.end());
}

void AppendLe32(Bytes& out, std::uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(value >> shift));
}

bool RawAnswerIs(ByteView reply, std::string_view text)
{
    constexpr std::size_t kHeader = 3;
    if (reply.size() < kHeader + text.size())
        return false;
    return std::equal(text.begin(), text.end(), reply.begin() + kHeader,
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

constexpr char kHexDigits[] = "0123456789abcdef";

// Value of a lower-case hex digit, or -1.
int HexValue(std::uint8_t c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

} // namespace

std::uint16_t InternetChecksum(ByteView bytes)
{
    return static_cast<std::uint16_t>(~SumWords(bytes) & 0xFFFFu);
}

Bytes BuildMessage(std::string_view tag, ByteView body)
{
    Bytes out;
    out.reserve(tag.size() + body.size() + 3);
    AppendTag(out, tag);
    out.insert(out.end(), body.begin(), body.end());
    if (out.size() % 2 != 0)
        out.push_back(0);
    out.push_back(0);
    out.push_back(0);
    const std::uint16_t sum = InternetChecksum(out);
    out[out.size() - 2] = static_cast<std::uint8_t>(sum >> 8);
    out[out.size() - 1] = static_cast<std::uint8_t>(sum);
    return out;
}

bool IsValidMessage(ByteView message)
{
    return message.size() >= kMinMessageSize && InternetChecksum(message) == 0;
}

bool HasTag(ByteView message, std::string_view tag)
{
    return message.size() >= tag.size() &&
           std::equal(tag.begin(), tag.end(), message.begin(),
                      [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

bool IsValidReply(ByteView message, std::string_view tag, std::size_t minSize)
{
    return message.size() >= minSize && HasTag(message, tag) && IsValidMessage(message);
}

std::uint32_t CertificateCrc32(ByteView bytes)
{
    std::uint32_t reg = 0;
    for (std::uint8_t b : bytes)
        reg = (reg << 8) ^ kCrcTable[((reg >> 24) ^ b) & 0xFFu];
    return reg;
}

Bytes BuildCertificateChunk(bool last, std::uint32_t fileOffset, ByteView data)
{
    Bytes out;
    out.reserve(kCertChunkHeaderSize + data.size() + kCertChunkCrcSize);
    AppendTag(out, last ? kTagCertEnd : kTagFwCert);
    AppendLe32(out, fileOffset);
    AppendLe32(out, static_cast<std::uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    const std::uint32_t crc = CertificateCrc32(out);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<std::uint8_t>(crc >> shift));
    return out;
}

std::array<std::uint8_t, 7> CertificateStartRequest(CertificateKind kind)
{
    return {0x1F, 0x57, 0x43, static_cast<std::uint8_t>(kind), 0x1D, 0x1F, 0x03};
}

bool IsCertificateStartAnswer(ByteView reply)
{
    return RawAnswerIs(reply, "STRT");
}

bool IsCertificateChunkAnswer(ByteView reply)
{
    return RawAnswerIs(reply, kTagIfSuc);
}

bool IsOpenerAnswer(ByteView reply)
{
    return reply.size() >= 4 && reply[0] == 0x1F && reply[1] == 0x57 && reply[2] == 0x4D && reply[3] == 0x7F;
}

Bytes EncodeFrame(ByteView message)
{
    // Filled in place: GCC 12 at -O3 misreads an insert into a reserved,
    // still empty vector as an overflow.
    Bytes out(2 * message.size() + kFrameHeader.size() + 1);
    std::size_t at = 0;
    for (std::uint8_t h : kFrameHeader)
        out[at++] = h;
    for (std::uint8_t b : message) {
        out[at++] = static_cast<std::uint8_t>(kHexDigits[b >> 4]);
        out[at++] = static_cast<std::uint8_t>(kHexDigits[b & 0x0F]);
    }
    out[at] = kFrameEnd;
    return out;
}

Bytes RequestFrame(std::string_view tag)
{
    return EncodeFrame(BuildMessage(tag));
}

FrameDecode DecodeReplyFrame(ByteView received)
{
    FrameDecode result;
    const std::size_t header = kFrameHeader.size();
    if (received.size() <= header)
        return result; // NeedMore
    std::size_t i = header;
    while (i < received.size()) {
        if (received[i] == kFrameEnd) {
            if ((i - header) % 2 != 0) {
                result.state = FrameState::Invalid;
                return result;
            }
            break;
        }
        if (HexValue(received[i]) < 0) {
            result.state = FrameState::Invalid;
            return result;
        }
        ++i;
    }
    if (i == received.size())
        return result; // NeedMore: no 03 yet, everything so far is hex
    result.state = FrameState::Complete;
    result.used = i + 1;
    result.message.reserve((i - header) / 2);
    for (std::size_t p = header; p + 1 < i; p += 2)
        result.message.push_back(
            static_cast<std::uint8_t>(HexValue(received[p]) << 4 | HexValue(received[p + 1])));
    return result;
}

std::optional<Bytes> DecodeReply(ByteView received)
{
    FrameDecode d = DecodeReplyFrame(received);
    if (d.state != FrameState::Complete || d.used != received.size())
        return std::nullopt;
    return std::move(d.message);
}

} // namespace pavix
