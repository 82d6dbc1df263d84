// Messages of the interface configuration protocol and their link framing.
//
// Wire format
//   Message      18-byte ASCII tag (no terminator), body, then the 16-bit
//                Internet checksum: the payload (tag + body) is padded with
//                one zero byte when its length is odd, two zero bytes are
//                appended, and the ones' complement of the sum of all
//                big-endian 16-bit words (carries folded back) goes
//                big-endian into those last two bytes. A received message
//                is valid when the same sum over all of it (padded when odd)
//                complements to 0. The BSS request alone is the tag + F0 00.
//   Certificate  tag FW_CERT / CERTEND, offset and length (32-bit little-
//   chunk        endian), the file bytes, CRC-32 of everything before it
//                (big-endian). No Internet checksum.
//   Link opener  7 raw bytes 1F 57 43 7F 1D 1F 03; the board answers with
//                at least 1F 57 4D 7F.
//   Frame        1F 57 43, every message byte as two lower-case hex
//                characters (high nibble first), then 03: 2n + 4 bytes.
//   Reply frame  three header bytes that are not examined, hex pairs, 03.
//   TCP          the BSS query travels as the bare message, no framing.
//
// Quirks a reader must know
//   - Boards answer in lower-case hex only; an upper-case or otherwise
//     foreign character makes the whole reply invalid here instead of
//     decoding to garbage that the checksum might still accept.
//   - The checksum of a padded message covers the pad byte, so a message
//     whose payload is odd is one byte longer than tag + body + 2.
//   - A message too short for its tag and checksum is invalid whatever its
//     checksum says.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace pavix {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// The tags, 18 ASCII bytes each.
inline constexpr std::size_t kTagSize = 18;
inline constexpr std::string_view kTagSysReq = "__[I_F]__[SYS_REQ]";
inline constexpr std::string_view kTagSysRsp = "__[I_F]__[SYS_RSP]";
inline constexpr std::string_view kTagIfGet = "__[I_F]__[IF__GET]";
inline constexpr std::string_view kTagIfCur = "__[I_F]__[IF__CUR]";
inline constexpr std::string_view kTagIfSet = "__[I_F]__[IF__SET]";
inline constexpr std::string_view kTagIfSuc = "__[I_F]__[IF__SUC]";
inline constexpr std::string_view kTagBssReq = "__[I_F]__[BSS_REQ]";
inline constexpr std::string_view kTagBssRsp = "__[I_F]__[BSS_RSP]";
inline constexpr std::string_view kTagFwCert = "__[I_F]__[FW_CERT]";
inline constexpr std::string_view kTagCertEnd = "__[I_F]__[CERTEND]";

inline constexpr std::size_t kChecksumSize = 2;
// The shortest message that can be valid: a tag and its checksum.
inline constexpr std::size_t kMinMessageSize = kTagSize + kChecksumSize;

// ---- Internet checksum ------------------------------------------------------

// Ones' complement of the folded sum of big-endian 16-bit words; an odd
// last byte counts as the high byte of a word whose low byte is 0.
std::uint16_t InternetChecksum(ByteView bytes);

// Tag + body, the pad byte when that is odd, and the checksum.
Bytes BuildMessage(std::string_view tag, ByteView body = {});

// The checksum over the whole message (checksum included) complements to 0
// and the message holds at least a tag and a checksum.
bool IsValidMessage(ByteView message);

// The message starts with this tag (length-checked).
bool HasTag(ByteView message, std::string_view tag);

// IsValidMessage, HasTag and at least minSize bytes: the check every reply
// goes through before its layout is read.
bool IsValidReply(ByteView message, std::string_view tag, std::size_t minSize = kMinMessageSize);

// ---- CRC-32 of certificate chunks --------------------------------------------

// Polynomial 0x04C11DB7, most significant bit first, no reflection,
// initial value 0, no final XOR ("123456789" gives 0x89A1897F).
std::uint32_t CertificateCrc32(ByteView bytes);

// Kinds of certificate file, as the start request names them.
enum class CertificateKind : std::uint8_t {
    Ca = 0x81,
    ClientKey = 0x82,
    ClientPem = 0x83,
};

inline constexpr std::size_t kCertChunkHeaderSize = kTagSize + 8;
inline constexpr std::size_t kCertChunkCrcSize = 4;

// One certificate chunk message: FW_CERT (or CERTEND when last), the
// chunk's file offset and length, the bytes and the CRC-32. Not framed.
Bytes BuildCertificateChunk(bool last, std::uint32_t fileOffset, ByteView data);

// The raw 7-byte start request 1F 57 43 <kind> 1D 1F 03 (sent unframed).
std::array<std::uint8_t, 7> CertificateStartRequest(CertificateKind kind);

// The raw answers of the certificate upload: three header bytes that are not
// examined, then "STRT" (start accepted) or the IF__SUC tag (chunk stored).
bool IsCertificateStartAnswer(ByteView reply);
bool IsCertificateChunkAnswer(ByteView reply);

// ---- Link framing -------------------------------------------------------------

inline constexpr std::array<std::uint8_t, 7> kLinkOpener = {0x1F, 0x57, 0x43, 0x7F, 0x1D, 0x1F, 0x03};
inline constexpr std::array<std::uint8_t, 3> kFrameHeader = {0x1F, 0x57, 0x43};
inline constexpr std::uint8_t kFrameEnd = 0x03;

// The answer to the link opener: at least 1F 57 4D 7F (only the first four
// bytes are judged; a shorter answer is refused).
bool IsOpenerAnswer(ByteView reply);

// 1F 57 43, the message in lower-case hex, 03.
Bytes EncodeFrame(ByteView message);

// The request frame of a message that is a bare tag with its checksum.
Bytes RequestFrame(std::string_view tag);

// How far a reply frame has arrived.
enum class FrameState {
    NeedMore, // no 03 yet after the header; what arrived is well formed so far
    Complete, // header, whole hex pairs, 03
    Invalid,  // a character that is not [0-9a-f], or half a pair before the 03
};

struct FrameDecode {
    FrameState state = FrameState::NeedMore;
    std::size_t used = 0; // bytes of the frame through its 03 (Complete only)
    Bytes message;        // the decoded bytes (Complete only)
};

// Judges the bytes received so far. The first 03 at index 3 or later ends
// the frame; bytes after it are not looked at (see `used`).
FrameDecode DecodeReplyFrame(ByteView received);

// A whole reply as one read or one reassembly gave it: exactly one complete
// frame, nothing after its 03. Anything else, a reply shorter than the
// header and a frame without its 03 included, is no message.
std::optional<Bytes> DecodeReply(ByteView received);

} // namespace pavix
