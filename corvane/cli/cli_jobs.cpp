#include "corvane/cli/cli_jobs.h"
#include "corvane/cli/nv_jobs.h"
#include "corvane/cli/switches_jobs.h"
#include "corvane/link/ConnectionName.h"
#include "corvane/firmware/FirmwareDownload.h"
#include "corvane/shell/StoredConnection.h"
#include "platform/registry_store.h"
#include "platform/wait_hook.h"

#include <cstdio>
#include <unistd.h>

namespace corvane::cli {

using platform::cli::escapeText;
using platform::cli::Record;

JobResult failure(int exitStatus, std::string code, std::string message)
{
    JobResult r;
    r.exitStatus = exitStatus;
    r.errorCode = std::move(code);
    r.errorMessage = std::move(message);
    return r;
}

void addOsError(JobResult& result, const platform::OsError& error, platform::DeviceKind kind)
{
    if (!error.isSet())
        return;
    result.reason = error.describe();
    result.hint = platform::osErrorHint(error, kind);
}

namespace {

// The connection to use: the options, or the one the window saved, with any
// line options given here on top. False with the refusal in `result`.
bool resolveConnection(const Options& options, PortSettings& settings, JobResult& result)
{
    if (options.portGiven) {
        settings = options.settings;
        if (IsTcpConnectionName(settings.portName))
            settings.baudRate = options.tcpPort;
        return true;
    }
    const platform::RegistryStore store;
    StoredConnection stored;
    if (!LoadStoredConnection(store, stored) || stored.settings.portName.empty()) {
        result = failure(kExitUsage, "connection", "no port given and no connection saved");
        result.hint = "Use --port NAME, or choose the connection in the Corvane window and press Exit "
                      "to save it.";
        return false;
    }
    settings = stored.settings;
    if (options.baudGiven && stored.interfaceIndex == kInterfaceSerial)
        settings.baudRate = options.settings.baudRate;
    if (options.tcpPortGiven && stored.interfaceIndex == kInterfaceTcp)
        settings.baudRate = options.tcpPort;
    if (options.lineGiven) {
        settings.dataBits = options.settings.dataBits;
        settings.parity = options.settings.parity;
        settings.stopBits = options.settings.stopBits;
        settings.flowControl = options.settings.flowControl;
    }
    return true;
}

JobResult identify(const PortSettings& settings, int stallTimeoutMs)
{
    CCommonUtil util;
    util.settings = settings;
    util.ApplyPortSettings();
    util.port.stallTimeoutMs = stallTimeoutMs;
    if (util.port.Open() != 1) {
        JobResult r = failure(kExitFailed, "open", "Port open error!");
        addOsError(r, util.port.LastOsError(), util.port.LastDeviceKind());
        return r;
    }
    struct Step {
        int query;
        const char* failure;
    };
    static constexpr Step kSteps[] = {
        {kQueryModel, "Printer model is not matched!"},
        {kQueryVersion, "Failed to get printer version!"},
        {kQueryCodePage, "Failed to get code page!"},
        {kQueryMsrMode, "Failed to get MSR mode!"},
    };
    for (const Step& step : kSteps) {
        const int rc = util.CheckPrinter(step.query);
        if (rc != kOk)
            return failure(kExitFailed, std::to_string(rc), step.failure);
        // Stopped while a query ran: do not start the next one.
        if (platform::interruptRequested())
            return failure(kExitFailed, "signal", "stopped before the printer was identified");
    }
    JobResult r;
    r.data = identityRecord(util);
    util.port.Close();
    return r;
}

JobResult firmware(const PortSettings& settings, int stallTimeoutMs, const std::string& file, std::ostream& err)
{
    CDev port;
    port.settings = settings;
    port.stallTimeoutMs = stallTimeoutMs;
    // Progress is for a person watching; a log or a pipe gets only the
    // status lines, which say what happened (and that the printer needs a
    // reset).
    const bool terminal = isatty(STDERR_FILENO) != 0;
    bool progressLineOpen = false;
    FirmwareHooks hooks;
    hooks.status = [&err, &progressLineOpen](const std::string& status) {
        if (progressLineOpen)
            err << "\n";
        progressLineOpen = false;
        err << "status: " << escapeText(status) << "\n";
    };
    if (terminal) {
        hooks.progress = [&err, &progressLineOpen](int percent) {
            err << "\rprogress: " << percent << "%" << std::flush;
            progressLineOpen = percent < 100;
            if (!progressLineOpen)
                err << "\n";
        };
    }
    const FirmwareResult result = DownloadFirmware(port, file, hooks);
    if (progressLineOpen)
        err << "\n";
    const std::string message = FirmwareMessage(result.outcome);
    Record counts;
    counts.number("bytes sent", static_cast<long long>(result.bytesSent))
        .number("file bytes", static_cast<long long>(result.fileBytes));
    JobResult r;
    switch (result.outcome) {
    case FirmwareOutcome::Success:
        r.data.text("message", message).append(counts);
        r.plainText = message + "\n";
        return r;
    case FirmwareOutcome::FileOpenError:
        // Refused before anything was sent: the port is not even opened.
        r = failure(kExitUsage, "file", message);
        if (result.fileError.isSet())
            r.reason = result.fileError.describe();
        return r;
    case FirmwareOutcome::PortOpenError:
        r = failure(kExitFailed, "open", message);
        addOsError(r, result.portError, port.LastDeviceKind());
        return r;
    case FirmwareOutcome::SendFailed:
    case FirmwareOutcome::LastPieceSendFailed:
        r = failure(kExitFailed, "send", message);
        addOsError(r, result.portError, port.LastDeviceKind());
        r.notes.push_back("sent " + std::to_string(result.bytesSent) + " of " + std::to_string(result.fileBytes)
                          + " bytes");
        r.data.append(counts);
        return r;
    }
    return failure(kExitFailed, "send", message);
}

} // namespace

namespace {

class TerminalProgress final : public platform::JobObserver {
public:
    explicit TerminalProgress(std::ostream& err) : err_(err), terminal_(isatty(STDERR_FILENO) != 0) {}
    ~TerminalProgress() override
    {
        if (open_)
            err_ << "\n" << std::flush;
    }
    void statusChanged(const std::string& status) override
    {
        if (!terminal_)
            return;
        err_ << "\r" << escapeText(status) << "   " << std::flush;
        open_ = true;
    }

private:
    std::ostream& err_;
    bool terminal_;
    bool open_ = false;
};

} // namespace

platform::JobResult runWithProgress(platform::Job& job, std::ostream& err)
{
    TerminalProgress progress(err);
    job.setObserver(&progress);
    platform::JobResult r = platform::runJob(job, platform::systemClock());
    job.setObserver(nullptr);
    return r;
}

Record identityRecord(const CCommonUtil& util)
{
    char msr[8];
    std::snprintf(msr, sizeof msr, "0x%02x", static_cast<unsigned>(util.msrMode));
    Record r;
    r.text("model", util.modelName)
        .number("model code", util.g_Model)
        .text("firmware", util.firmwareVersion)
        .number("version number", util.g_Getver)
        .text("code page", util.codePage)
        .number("msr mode", util.msrMode, msr);
    return r;
}

void markStopped(JobResult& result, int signal, const char* signalName)
{
    result.completedBeforeStop = !result.failed();
    if (result.failed() && result.errorCode != "signal")
        result.notes.push_back("error " + result.errorCode + ": " + result.errorMessage);
    result.exitStatus = 128 + signal;
    result.errorCode = "signal";
    result.errorMessage = std::string("stopped by ") + signalName + "; the port was released";
}

int printResult(const JobResult& result, bool json, std::ostream& out, std::ostream& err)
{
    if (json) {
        Record object;
        object.boolean("ok", !result.failed());
        if (result.failed()) {
            object.text("error", result.errorCode).text("message", result.errorMessage);
            if (!result.reason.empty())
                object.text("reason", result.reason);
            if (!result.hint.empty())
                object.text("hint", result.hint);
        }
        object.append(result.data);
        out << object.json();
    } else if (!result.failed() || result.completedBeforeStop) {
        // Data of a job that finished before a stop signal is still shown.
        out << (result.plainText.empty() ? result.data.lines() : result.plainText);
    }
    if (result.failed()) {
        for (const std::string* line : {&result.reason, &result.hint})
            if (!line->empty())
                err << escapeText(*line) << "\n";
        for (const std::string& note : result.notes)
            err << escapeText(note) << "\n";
        err << "error " << result.errorCode << ": " << escapeText(result.errorMessage) << "\n";
    }
    out.flush();
    err.flush();
    return result.exitStatus;
}

JobResult runJob(const Options& options, std::ostream& err)
{
    if (options.command == "nv convert" || options.command == "nv preview")
        return runNvOffline(options, err);
    PortSettings settings;
    JobResult refused;
    if (!resolveConnection(options, settings, refused))
        return refused;
    if (options.command == "identify")
        return identify(settings, options.stallTimeoutMs);
    if (options.command.rfind("switches ", 0) == 0)
        return runSwitches(options, settings, err);
    if (options.command.rfind("nv ", 0) == 0)
        return runNvPrinter(options, settings, err);
    return firmware(settings, options.stallTimeoutMs, options.arguments.front(), err);
}

} // namespace corvane::cli
