// The network board's certificate store (wire format in board_certificates.h).
#include "sim/board_certificates.h"

#include <zlib.h>

#include <cstdio>

namespace sim {
namespace {

constexpr std::string_view kFwCert = "__[I_F]__[FW_CERT]";
constexpr std::string_view kCertEnd = "__[I_F]__[CERTEND]";
constexpr std::size_t kHeader = 26;  // tag, offset, length
constexpr std::size_t kCrc = 4;

std::uint32_t le32(std::string_view bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + i])) << (8 * i);
    return v;
}

std::uint32_t be32(std::string_view bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i)
        v = (v << 8) | static_cast<std::uint8_t>(bytes[at + i]);
    return v;
}

} // namespace

std::string_view certTypeName(std::size_t type)
{
    constexpr std::string_view kNames[kCertTypes] = {"ca", "client-key", "client-pem"};
    return type < kCertTypes ? kNames[type] : std::string_view("unknown");
}

std::uint32_t certificateCrc32(std::string_view bytes)
{
    // Bit by bit rather than by table: slow, and plainly the definition.
    std::uint32_t crc = 0;
    for (const char c : bytes) {
        crc ^= static_cast<std::uint32_t>(static_cast<std::uint8_t>(c)) << 24;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

std::optional<std::size_t> certificateStartType(std::string_view frame)
{
    if (frame.size() != 7 || frame.substr(0, 3) != std::string_view("\x1f\x57\x43", 3)
        || frame.substr(4) != std::string_view("\x1d\x1f\x03", 3))
        return std::nullopt;
    const auto code = static_cast<std::uint8_t>(frame[3]);
    if (code < 0x81 || code > 0x83)
        return std::nullopt;
    return static_cast<std::size_t>(code - 0x81);
}

bool isCertificateChunk(std::string_view message)
{
    return message.starts_with(kFwCert) || message.starts_with(kCertEnd);
}

void CertificateStore::start(std::size_t type)
{
    ++starts_;
    type_ = type;
    pending_.clear();
    chunkLength_ = 0;
    lastLength_ = 0;
    committed_ = false;
}

std::string CertificateStore::chunk(std::string_view message)
{
    ++chunks_;
    committed_ = false;
    const auto refuse = [this](std::string reason) {
        ++refused_;
        return reason;
    };
    if (!type_)
        return refuse("certificate chunk without a start request");
    if (message.size() < kHeader + kCrc)
        return refuse("certificate chunk of " + std::to_string(message.size()) + " bytes");
    const std::size_t offset = le32(message, 18);
    const std::size_t length = le32(message, 22);
    if (length != message.size() - kHeader - kCrc)
        return refuse("certificate chunk says " + std::to_string(length) + " bytes, carries "
                      + std::to_string(message.size() - kHeader - kCrc));
    if (be32(message, message.size() - kCrc) != certificateCrc32(message.substr(0, message.size() - kCrc)))
        return refuse("certificate chunk CRC-32 wrong");
    const bool last = message.starts_with(kCertEnd);
    if (length == 0 || length > kMaxCertChunk)
        return refuse("certificate chunk of " + std::to_string(length) + " file bytes");
    // The host resends a chunk it got no answer for: take it again, once.
    if (lastLength_ != 0 && offset + length == pending_.size() && length == lastLength_
        && pending_.compare(offset, length, message.substr(kHeader, length)) == 0 && !last)
        return {};
    if (offset != pending_.size())
        return refuse("certificate chunk at offset " + std::to_string(offset) + ", want "
                      + std::to_string(pending_.size()));
    if (chunkLength_ != 0 && (last ? length > chunkLength_ : length != chunkLength_))
        return refuse("certificate chunk of " + std::to_string(length) + " bytes after chunks of "
                      + std::to_string(chunkLength_));
    if (pending_.size() + length > kMaxCertFile)
        return refuse("certificate file over " + std::to_string(kMaxCertFile) + " bytes");
    if (chunkLength_ == 0)
        chunkLength_ = length;
    pending_.append(message.substr(kHeader, length));
    lastLength_ = length;
    if (last) {
        stored_[*type_] = pending_;
        lastCommitted_ = *type_;
        committed_ = true;
        type_.reset();
        pending_.clear();
        lastLength_ = 0;
    }
    return {};
}

std::string CertificateStore::report() const
{
    std::string out = "board.cert.starts: " + std::to_string(starts_) + "\n";
    out += "board.cert.chunks: " + std::to_string(chunks_) + "\n";
    out += "board.cert.refused: " + std::to_string(refused_) + "\n";
    out += "board.cert.garbage: " + std::to_string(garbage_) + "\n";
    for (std::size_t t = 0; t < kCertTypes; ++t) {
        if (!stored_[t])
            continue;
        const std::string& file = *stored_[t];
        const auto crc = ::crc32(0L, reinterpret_cast<const Bytef*>(file.data()), static_cast<uInt>(file.size()));
        char hex[9];
        std::snprintf(hex, sizeof hex, "%08lx", static_cast<unsigned long>(crc));
        out += "board.cert." + std::string(certTypeName(t)) + ": " + std::to_string(file.size()) + " crc32 " + hex
               + "\n";
    }
    return out;
}

} // namespace sim
