#include "pavix/cli/write_jobs.h"

#include "pavix/cli/config_file.h"
#include "pavix/config/CertFile.h"
#include "pavix/config/CertUpload.h"
#include "pavix/config/ConfigTexts.h"
#include "pavix/config/IfConfigModel.h"
#include "platform/atomic_file.h"


namespace pavix::cli {

using platform::cli::escapeText;

namespace {

// A model refusal: the message exactly as the window shows it, line by line,
// then the error line with its lines joined.
JobResult Refused(std::string_view message)
{
    std::string joined;
    JobResult r;
    std::size_t at = 0;
    while (at <= message.size()) {
        std::size_t end = message.find('\n', at);
        if (end == std::string_view::npos)
            end = message.size();
        std::string_view line = message.substr(at, end - at);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        r.notes.emplace_back(line);
        while (!line.empty() && line.back() == ' ')
            line.remove_suffix(1);
        if (!joined.empty())
            joined += ' ';
        joined += line;
        at = end + 1;
    }
    JobResult out = failure(kExitUsage, "refused", joined);
    out.notes = std::move(r.notes);
    out.jsonMessage = std::string(message);
    out.hint = "Nothing was written.";
    return out;
}

std::string rowsJson(const std::array<InfoRow, kInfoRowCount>& rows)
{
    platform::cli::Record record;
    for (const InfoRow& row : rows)
        record.text(std::string(row.name), row.value);
    const std::string json = record.json();
    return "\"rows\": " + json.substr(0, json.size() - 1);
}

CertificateType typeOf(const std::string& text)
{
    if (text == "client-key")
        return CertificateType::ClientKey;
    if (text == "client-pem")
        return CertificateType::ClientPem;
    return CertificateType::Ca;
}

} // namespace

std::string InformationRowsText(const std::array<InfoRow, kInfoRowCount>& rows)
{
    std::string out = "No\tName\tValue\n";
    for (const InfoRow& row : rows)
        out += std::to_string(row.number) + "\t" + std::string(row.name) + "\t" + escapeText(row.value) + "\n";
    return out;
}

JobResult configWrite(const Options& options, std::ostream& err)
{
    (void)err;
    // The file first: a file that does not read sends nothing.
    std::string text;
    platform::OsError readError;
    const platform::ReadResult loaded =
        platform::readFileBounded(options.file, kMaxConfigFileBytes, text, readError);
    if (loaded != platform::ReadResult::Loaded) {
        JobResult r = failure(kExitUsage, "file", "the configuration file could not be read: " + options.file);
        if (loaded == platform::ReadResult::Failed)
            r.reason = readError.describe();
        return r;
    }
    ConfigFileValues parsed;
    ConfigFileError fileError;
    if (!ParseConfigFile(text, parsed, fileError)) {
        JobResult r = failure(kExitUsage, "file", options.file + ": " + fileError.describe());
        r.hint = "Nothing was sent. The file holds 'Name: Value' lines as 'config read --output' writes them.";
        return r;
    }

    PrinterPort port;
    JobResult r;
    if (!OpenBoard(port, options, r))
        return r;
    IfLink link{port};
    SystemInfo info;
    IfConfigRecord board;
    if (const LinkResult got = link.ReadConfiguration(info, board); !got.ok())
        return LinkFailure(got, options.readTimeoutMs, false);

    // As the window after Connect: the board's values normalised, then the
    // file's changes, with the one password of the file in both fields.
    ConfigWorkingCopy copy = WorkingCopyFromRecord(board);
    ApplyConfigFile(parsed, copy.values);
    copy.confirmPassword = copy.values.userPassword;
    if (const std::optional<ConfigRefusal> refused = CheckBeforeWrite(copy, std::nullopt)) {
        port.close();
        return Refused(refused->message);
    }
    const IfConfigRecord record = BuildRecord(copy);
    const auto rows = InformationRows(record);

    if (options.dryRun) {
        port.close();
        r.status.push_back("dry run: nothing was written");
        r.text = InformationRowsText(rows);
        r.jsonMembers = "\"written\": false, " + rowsJson(rows);
        return r;
    }
    if (const LinkResult wrote = link.WriteConfiguration(record); !wrote.ok()) {
        JobResult failed = LinkFailure(wrote, options.readTimeoutMs, false);
        failed.errorCode = "write";
        failed.errorMessage = std::string(texts::kConfigFailed);
        return failed;
    }
    port.close();
    r.text = std::string(texts::kConfigCompleted) + "\n" + std::string(texts::kResetPrinter) + "\n"
             + InformationRowsText(rows);
    r.jsonMembers = "\"written\": true, \"message\": \"" + std::string(texts::kConfigCompleted) + " "
                    + std::string(texts::kResetPrinter) + "\", " + rowsJson(rows);
    return r;
}

JobResult certUpload(const Options& options, std::ostream& err)
{
    // The checks come before the port is opened: a refused file sends
    // nothing.
    const CertificateType type = typeOf(options.certType);
    CertificateSelection selection;
    selection.chooseType(type);
    const CertificateCheck check = selection.open(options.file);
    if (check != CertificateCheck::Selected) {
        JobResult r = failure(kExitUsage, "certificate", std::string(CertificateCheckMessage(check)));
        r.notes.push_back(options.file + ": nothing was sent");
        return r;
    }

    PrinterPort port;
    JobResult r;
    if (!OpenBoard(port, options, r))
        return r;
    IfLink link{port};
    SystemInfo info;
    IfConfigRecord board;
    if (const LinkResult got = link.ReadConfiguration(info, board); !got.ok())
        return LinkFailure(got, options.readTimeoutMs, false);

    LinkResult linkFailure;
    const CertificateExchange exchange = [&](ByteView request) {
        return link.ExchangeCertificate(request, &linkFailure);
    };
    CertificateUploadReport report;
    {
        TerminalProgress progress(err);
        report = UploadCertificate(type, selection.bytes(), exchange, port.clock(), progress.sink<unsigned>());
    }
    selection.clear(); // the key material goes as soon as it is sent
    if (report.result != CertificateUploadResult::Completed) {
        JobResult failed = failure(kExitFailed, "upload", std::string(texts::kCertUploadFailed));
        if (report.result == CertificateUploadResult::LinkFailed) {
            failed.notes.push_back(DescribeLinkResult(linkFailure, options.readTimeoutMs));
            if (linkFailure.error.isSet())
                failed.reason = linkFailure.error.describe();
        } else {
            failed.notes.push_back(std::string(report.result == CertificateUploadResult::NoStartAnswer
                                                   ? "the board never accepted the start request"
                                                   : "the board refused a chunk")
                                   + " (" + std::to_string(report.requestsSent) + " requests sent, "
                                   + std::to_string(report.bytesDone) + " bytes accepted)");
        }
        failed.hint = std::string(texts::kResetPrinter);
        return failed;
    }
    port.close();
    r.status.push_back("sent " + std::to_string(report.requestsSent) + " requests, "
                       + std::to_string(report.bytesDone) + " bytes accepted");
    r.text = std::string(texts::kCertUploadCompleted) + "\n" + std::string(texts::kResetPrinter) + "\n";
    r.jsonMembers = "\"type\": \"" + std::string(CertificateTypeText(type)) + "\", \"bytes\": "
                    + std::to_string(report.bytesDone) + ", \"requests\": " + std::to_string(report.requestsSent);
    return r;
}

} // namespace pavix::cli
