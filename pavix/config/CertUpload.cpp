#include "pavix/config/CertUpload.h"

#include "pavix/config/ConfigTexts.h"

#include <string.h>

namespace pavix {

namespace {

// A request that may carry key material: wiped when it goes out of scope,
// on every path out of the loop.
struct WipedBytes {
    Bytes bytes;
    WipedBytes() = default;
    WipedBytes(const WipedBytes&) = delete;
    WipedBytes& operator=(const WipedBytes&) = delete;
    ~WipedBytes() { wipe(); }
    void wipe()
    {
        if (!bytes.empty())
            ::explicit_bzero(bytes.data(), bytes.size());
        bytes.clear();
    }
};

} // namespace

std::size_t CertificateChunkSize(std::size_t n)
{
    if (n < 2)
        return 0;
    return n < kCertificateChunkMax ? n / 2 : kCertificateChunkMax;
}

CertificateUploadReport UploadCertificate(CertificateType type, ByteView file, const CertificateExchange& exchange,
                                          platform::Clock& clock, const CertificateProgress& progress)
{
    CertificateUploadReport report;
    const std::size_t n = file.size();
    const std::size_t chunk = CertificateChunkSize(n);
    if (chunk == 0) {
        report.result = CertificateUploadResult::TooShort;
        return report;
    }

    const auto start = CertificateStartRequest(CertificateKindOf(type));
    unsigned budget = kCertificateRetryBudget;
    bool startPhase = true;
    std::size_t done = 0;

    while (done < n) {
        const bool last = n - done <= chunk;
        const std::size_t length = last ? n - done : chunk;
        WipedBytes request;
        if (startPhase) {
            request.bytes.assign(start.begin(), start.end());
        } else {
            WipedBytes message;
            message.bytes = BuildCertificateChunk(last, static_cast<std::uint32_t>(done), file.subspan(done, length));
            request.bytes = EncodeFrame(message.bytes);
        }

        ++report.requestsSent;
        const std::optional<Bytes> reply = exchange(request.bytes);
        if (!reply) {
            report.result = CertificateUploadResult::LinkFailed;
            return report;
        }

        // The start answer ends the start phase but is not itself a stored
        // chunk: it falls through to the non-success branch, as the board's
        // counterpart expects. An IF__SUC during the start phase is no
        // answer to anything we sent and counts as a non-success too.
        const bool wasStart = startPhase;
        bool accepted = false;
        if (startPhase) {
            if (IsCertificateStartAnswer(*reply))
                startPhase = false;
        } else {
            accepted = IsCertificateChunkAnswer(*reply);
        }

        if (accepted) {
            done += length;
            report.bytesDone = done;
            if (progress)
                progress(static_cast<unsigned>(static_cast<std::uint64_t>(done) * 100 / n));
            budget = kCertificateRetryBudget;
            clock.pauseMs(kCertificatePauseMs);
            continue;
        }
        if (budget == 0) {
            report.result = wasStart ? CertificateUploadResult::NoStartAnswer : CertificateUploadResult::ChunkRefused;
            return report;
        }
        --budget;
    }
    report.result = CertificateUploadResult::Completed;
    return report;
}

std::string_view CertificateUploadMessage(CertificateUploadResult result)
{
    return result == CertificateUploadResult::Completed ? texts::kCertUploadCompleted : texts::kCertUploadFailed;
}

std::string CertificateUploadWindowMessage(CertificateUploadResult result)
{
    std::string text(CertificateUploadMessage(result));
    text += texts::kWindowLineBreak;
    text += texts::kResetPrinter;
    return text;
}

} // namespace pavix
