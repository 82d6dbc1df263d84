// The configuration model and the certificate upload against an arbitrary
// board. The first byte picks the part:
//   even  the rest is a configuration block as a board may send it: the
//         working copy, every check and the record built from it are
//         bounded, a record built from an unedited read keeps every text
//         byte-exact and encodes, and a record that passes the checks
//         always encodes;
//   odd   two bytes give a file size (0..3071), the rest is the board's
//         replies, each a length byte and that many bytes; once they run
//         out the link fails. The upload must end, never claim more bytes
//         than the file, and only complete with the whole file.
#include "pavix/config/CertUpload.h"
#include "pavix/config/IfConfigModel.h"
#include "pavix/config/IfInfoRows.h"

#include <cstdio>
#include <cstdlib>

namespace {
[[noreturn]] void broken(const char* what)
{
    std::fprintf(stderr, "pavix_config_fuzz: %s\n", what);
    std::abort();
}

void Record(pavix::ByteView in)
{
    const auto read = pavix::DecodeIfConfigRecord(in);
    if (!read)
        return;
    pavix::ConfigWorkingCopy copy = pavix::WorkingCopyFromRecord(*read);
    const pavix::IfConfigRecord unedited = pavix::BuildRecord(copy);
    if (unedited.printerName != read->printerName || unedited.pskKey != read->pskKey ||
        unedited.wepKey != read->wepKey || !pavix::EncodeIfConfigRecord(unedited))
        broken("an unedited record lost bytes");
    (void)pavix::InformationRows(unedited);
    for (auto page : {pavix::ConfigPage::System, pavix::ConfigPage::Network, pavix::ConfigPage::Authentication})
        (void)pavix::ValidatePage(copy, page);
    if (!pavix::CheckBeforeWrite(copy, std::nullopt)) {
        if (pavix::CheckCombination(copy) || !pavix::EncodeIfConfigRecord(pavix::BuildRecord(copy)))
            broken("a record that passed the checks cannot be written");
    }
    // Every authentication choice leaves a cryptograph its page allows.
    for (std::uint8_t a = 0; a < 6; ++a) {
        pavix::ConfigWorkingCopy c = copy;
        c.values.networkMode = 0;
        if (c.values.cryptograph <= 5 && pavix::ChooseAuthentication(c, a) && pavix::CheckCombination(c) &&
            pavix::CheckCombination(c)->focus == pavix::ConfigInput::Cryptograph)
            broken("an authentication change kept an impossible cryptograph");
    }
}

void Upload(pavix::ByteView in)
{
    if (in.size() < 2)
        return;
    const std::size_t n = ((std::size_t{in[0]} << 8) | in[1]) % pavix::kCertificateSizeLimit;
    pavix::Bytes file(n, 'x');
    std::size_t at = 2;
    platform::ManualClock clock;
    unsigned exchanges = 0;
    const auto report = pavix::UploadCertificate(
        pavix::CertificateType::ClientKey, file,
        [&](pavix::ByteView) -> std::optional<pavix::Bytes> {
            ++exchanges;
            if (at >= in.size())
                return std::nullopt;
            const std::size_t len = std::min<std::size_t>(in[at], in.size() - at - 1);
            pavix::Bytes reply(in.begin() + static_cast<std::ptrdiff_t>(at + 1),
                               in.begin() + static_cast<std::ptrdiff_t>(at + 1 + len));
            at += 1 + len;
            return reply;
        },
        clock);
    if (report.bytesDone > n || report.requestsSent != exchanges)
        broken("the upload miscounted");
    if (report.result == pavix::CertificateUploadResult::Completed && report.bytesDone != n)
        broken("completed without the whole file");
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const pavix::ByteView rest(data + 1, size - 1);
    (void)pavix::HasCertificateMarkers(rest);
    if (data[0] % 2 == 0)
        Record(rest);
    else
        Upload(rest);
    return 0;
}
