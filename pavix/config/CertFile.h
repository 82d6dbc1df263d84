// Certificate files for upload: the three kinds the board stores, the
// checks a file must pass before anything is sent, and the page's state.
//
// Checks, in order (the first failing one decides):
//   1. the path must open and name a regular file, and every byte the file
//      claims must be read: "Error certificate file to read.";
//   2. it must be smaller than 3072 bytes: "Certificate file size is max 3K.";
//   3. it must begin with "-----BEGIN " (trailing space included) and hold
//      "-----END" somewhere: "Invalid certificate file." (all three kinds
//      are PEM texts).
// The size comes from fstat before a byte is read, and no more than 3072
// bytes are ever read, so a huge file, a FIFO, a device such as /dev/zero or
// a directory costs nothing and cannot hang the caller. A client key is
// secret: the buffer wipes itself whenever it is dropped.
#pragma once

#include "pavix/protocol/IfMessage.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace pavix {

enum class CertificateType : std::uint8_t { Ca = 1, ClientKey = 2, ClientPem = 3 };

// "CA", "Client Key", "Client PEM".
std::string_view CertificateTypeText(CertificateType type);
// The start request's kind code (0x81..0x83).
CertificateKind CertificateKindOf(CertificateType type);

// Files must be smaller than this.
inline constexpr std::size_t kCertificateSizeLimit = 3072;

// The file's bytes in a fixed buffer that is wiped when cleared, moved from
// or destroyed. Not copyable, so key material never lingers in a copy.
class CertificateBuffer {
public:
    CertificateBuffer() = default;
    ~CertificateBuffer();
    CertificateBuffer(CertificateBuffer&& other) noexcept;
    CertificateBuffer& operator=(CertificateBuffer&& other) noexcept;
    CertificateBuffer(const CertificateBuffer&) = delete;
    CertificateBuffer& operator=(const CertificateBuffer&) = delete;

    ByteView bytes() const { return ByteView(data_.data(), size_); }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    void clear();

    // Replaces the contents; false (and left empty) when bytes do not fit.
    bool assign(ByteView bytes);

private:
    friend struct CertificateFileReader;
    std::array<std::uint8_t, kCertificateSizeLimit> data_{};
    std::size_t size_ = 0;
};

enum class CertificateCheck : std::uint8_t { Selected, ReadError, TooLarge, Invalid };

// The page's message for a check's outcome.
std::string_view CertificateCheckMessage(CertificateCheck check);

// The marker check alone (step 3), bounded by the bytes' length.
bool HasCertificateMarkers(ByteView bytes);

struct CertificateFile {
    CertificateCheck check = CertificateCheck::ReadError;
    CertificateBuffer buffer; // the file when check is Selected, else empty
};

// Steps 1 to 3 on the file at path.
CertificateFile ReadCertificateFile(const std::string& path);

// The "Certificate" page's state: the chosen type, the path text and the
// loaded file. Choosing another type drops the file with the path text, so a
// client key can never be uploaded as a CA by a stale selection.
class CertificateSelection {
public:
    CertificateType type() const { return type_; }
    const std::string& path() const { return path_; }
    bool ready() const { return ready_; }
    ByteView bytes() const { return buffer_.bytes(); }

    void chooseType(CertificateType type);
    // "Open file": the path is shown whatever the outcome; ready only when
    // every check passed.
    CertificateCheck open(const std::string& path);
    // The file dialog was cancelled: the path text and the file go.
    void clear();

private:
    CertificateType type_ = CertificateType::Ca;
    std::string path_;
    bool ready_ = false;
    CertificateBuffer buffer_;
};

} // namespace pavix
