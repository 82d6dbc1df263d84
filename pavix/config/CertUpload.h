// Uploading a certificate file to the board over the serial/USB link.
//
// Exchange (every write is followed by exactly one reply)
//   start    the raw 7-byte request 1F 57 43 <81|82|83> 1D 1F 03; the board
//            answers <3 bytes> "STRT".
//   chunks   FW_CERT chunks of C bytes, the last one CERTEND, each a framed
//            hex request carrying its file offset, length and CRC-32; the
//            board answers <3 bytes> "__[I_F]__[IF__SUC]" when it stored it.
//   C is N / 2 for a file of N < 500 bytes, else 500. A 19-byte file goes as
//   9 + 9 + 1, a 500-byte file as one CERTEND chunk, 501 as 500 + 1.
//
// Retries: one budget of 20, reset whenever a chunk is accepted. Every
// non-success answer spends one, and once it is spent the next non-success
// ends the upload: so a chunk is sent at most 21 times. The start phase
// shares the budget: a request not answered "STRT" is repeated (at most 21
// start requests), and the "STRT" answer itself counts as a non-success, as
// the board expects, so the first chunk after it has 20 sends left.
// Answers too short for "STRT" (7 bytes) or IF__SUC (21 bytes) are
// non-success. After every accepted chunk the upload waits 50 ms, which the
// board needs to store it. The chunk messages and frames built here are
// wiped once sent (a client key passes through them); the exchange must not
// keep copies of what it is given.
#pragma once

#include "pavix/config/CertFile.h"
#include "pavix/protocol/IfMessage.h"
#include "platform/clock.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pavix {

// Writes the bytes and returns the one reply that answers them, as the link
// assembles it; nullopt when the write or the read failed.
using CertificateExchange = std::function<std::optional<Bytes>(ByteView request)>;
// Progress 0..100 after each accepted chunk.
using CertificateProgress = std::function<void(unsigned percent)>;

inline constexpr unsigned kCertificateRetryBudget = 20;
inline constexpr std::uint32_t kCertificatePauseMs = 50;
inline constexpr std::size_t kCertificateChunkMax = 500;

enum class CertificateUploadResult : std::uint8_t {
    Completed,
    TooShort,       // fewer than 2 bytes: no chunk size would make progress; nothing sent
    LinkFailed,     // a write or read failed
    NoStartAnswer,  // the budget ran out before "STRT"
    ChunkRefused,   // the budget ran out on a chunk
};

struct CertificateUploadReport {
    CertificateUploadResult result = CertificateUploadResult::LinkFailed;
    std::size_t bytesDone = 0;  // bytes the board accepted
    unsigned requestsSent = 0;  // writes made, start requests included
};

// The chunk size for a file of n bytes (0 for n < 2, which is refused).
std::size_t CertificateChunkSize(std::size_t n);

CertificateUploadReport UploadCertificate(CertificateType type, ByteView file, const CertificateExchange& exchange,
                                          platform::Clock& clock, const CertificateProgress& progress = {});

// "Completed to upload the certification document." or "Failed to upload the
// certification document.".
std::string_view CertificateUploadMessage(CertificateUploadResult result);
// The window's box: the result, " \n", "Reset the printer.".
std::string CertificateUploadWindowMessage(CertificateUploadResult result);

} // namespace pavix
