// The network board's certificate store: what a host's certificate upload
// leaves on the board.
//
// Wire format on the serial/USB link
//   start   raw 1F 57 43 <81 CA | 82 client key | 83 client PEM> 1D 1F 03,
//           answered raw 1F 57 4D "STRT"
//   chunk   a hex frame of "__[I_F]__[FW_CERT]" (more follow) or
//           "__[I_F]__[CERTEND]" (the last), file offset and length (32-bit
//           little-endian), the bytes, and the CRC-32 of everything before
//           it (polynomial 04C11DB7, MSB first, initial 0, no final XOR,
//           big-endian). No Internet checksum. Accepted chunks are answered
//           raw 1F 57 4D "__[I_F]__[IF__SUC]".
// A chunk is accepted when an upload was started, its CRC holds, its length
// matches the message, it starts where the accepted bytes end, it is 1..500
// bytes, every FW_CERT has the first chunk's length and the last is no
// longer, and the file stays under 3072 bytes. A repeat of the chunk just
// accepted is accepted again without growing the file (the host resends when
// it missed the answer). Refused chunks are NAKed and leave the upload as it
// was. CERTEND commits the file for its type, replacing the one before.
//
// The CRC-32 here is written out independently of the host's library, so a
// fault there shows against the simulator.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

inline constexpr std::size_t kCertTypes = 3;  // CA, client key, client PEM
inline constexpr std::size_t kMaxCertChunk = 500;
inline constexpr std::size_t kMaxCertFile = 3071;
inline constexpr std::string_view kCertStartAnswer{"\x1f\x57\x4d" "STRT", 7};
inline constexpr std::string_view kCertChunkAnswer{"\x1f\x57\x4d" "__[I_F]__[IF__SUC]", 21};

// "ca", "client-key", "client-pem" for 0..2.
std::string_view certTypeName(std::size_t type);

// The chunk CRC-32 (0x89A1897F for "123456789").
std::uint32_t certificateCrc32(std::string_view bytes);

// The type index (0..2) of a raw start request, or nullopt.
std::optional<std::size_t> certificateStartType(std::string_view frame);

// Whether a decoded message carries a certificate chunk tag.
bool isCertificateChunk(std::string_view message);

class CertificateStore {
public:
    void start(std::size_t type);
    // Judges one decoded chunk message; empty when accepted, else the reason.
    std::string chunk(std::string_view message);
    // Whether the last accepted chunk was the end (a file was committed).
    bool committed() const { return committed_; }

    // The file last committed for a type, if any.
    const std::optional<std::string>& stored(std::size_t type) const { return stored_.at(type); }
    std::optional<std::size_t> lastCommitted() const { return lastCommitted_; }

    std::uint64_t starts() const { return starts_; }
    std::uint64_t chunks() const { return chunks_; }
    std::uint64_t refused() const { return refused_; }
    std::uint64_t garbage() const { return garbage_; }
    // A chunk frame the board answered with garbage instead of judging it.
    void countGarbage()
    {
        ++chunks_;
        ++garbage_;
    }

    // "board.cert.starts: N", "board.cert.chunks: N" (every chunk frame
    // received), "board.cert.refused: N", "board.cert.garbage: N",
    // and per stored type "board.cert.TYPE: SIZE crc32 HEX8" (zlib CRC-32).
    std::string report() const;

private:
    std::optional<std::size_t> type_;  // the upload under way
    std::string pending_;
    std::size_t chunkLength_ = 0;      // the first chunk's length
    std::size_t lastLength_ = 0;       // the last accepted chunk's, for repeats
    bool committed_ = false;
    std::array<std::optional<std::string>, kCertTypes> stored_;
    std::optional<std::size_t> lastCommitted_;
    std::uint64_t starts_ = 0;
    std::uint64_t chunks_ = 0;
    std::uint64_t refused_ = 0;
    std::uint64_t garbage_ = 0;
};

} // namespace sim
