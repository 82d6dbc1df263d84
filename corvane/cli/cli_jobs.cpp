#include "corvane/cli/cli_jobs.h"

#include "corvane/link/CCommonUtil.h"
#include "corvane/firmware/FirmwareDownload.h"
#include "corvane/shell/StoredConnection.h"
#include "platform/registry_store.h"

#include <cstdio>
#include <unistd.h>

namespace corvane::cli {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The OS reason and, where there is one, what to do about it.
void reportOsError(std::ostream& err, const platform::OsError& error, platform::DeviceKind kind)
{
    if (!error.isSet())
        return;
    err << error.describe() << "\n";
    const std::string hint = platform::osErrorHint(error, kind);
    if (!hint.empty())
        err << hint << "\n";
}

int fail(std::ostream& err, const std::string& code, const std::string& message)
{
    err << "error " << code << ": " << message << "\n";
    return kExitFailed;
}

// The connection to use: the options, or the one the window saved, with any
// line options given here on top.
bool resolveConnection(const Options& options, PortSettings& settings, std::ostream& err)
{
    if (options.portGiven) {
        settings = options.settings;
        if (settings.portName.rfind("NET", 0) == 0)
            settings.baudRate = options.tcpPort;
        return true;
    }
    const platform::RegistryStore store;
    StoredConnection stored;
    if (!LoadStoredConnection(store, stored) || stored.settings.portName.empty()) {
        err << "corvane-cli: no port given and no connection saved; use --port NAME, or choose the\n"
               "connection in the Corvane window and press Exit to save it.\n";
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

int identify(const PortSettings& settings, std::ostream& out, std::ostream& err)
{
    CCommonUtil util;
    util.settings = settings;
    util.ApplyPortSettings();
    if (util.port.Open() != 1) {
        reportOsError(err, util.port.LastOsError(), util.port.LastDeviceKind());
        return fail(err, "open", "Port open error!");
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
            return fail(err, std::to_string(rc), step.failure);
    }
    char msr[8];
    std::snprintf(msr, sizeof msr, "0x%02x", util.msrMode);
    out << "model: " << util.modelName << "\n"
        << "model code: " << util.g_Model << "\n"
        << "firmware: " << util.firmwareVersion << "\n"
        << "version number: " << util.g_Getver << "\n"
        << "code page: " << util.codePage << "\n"
        << "msr mode: " << msr << "\n";
    util.port.Close();
    return kExitOk;
}

int firmware(const PortSettings& settings, const std::string& file, std::ostream& out, std::ostream& err)
{
    CDev port;
    port.settings = settings;
    const bool terminal = isatty(STDERR_FILENO) != 0;
    FirmwareHooks hooks;
    hooks.status = [&err](const std::string& status) { err << "status: " << status << "\n"; };
    hooks.progress = [&err, terminal](int percent) {
        if (terminal)
            err << "\rprogress: " << percent << "%" << (percent >= 100 ? "\n" : "") << std::flush;
        else
            err << "progress: " << percent << "%\n";
    };
    const FirmwareResult result = DownloadFirmware(port, file, hooks);
    const std::string message = FirmwareMessage(result.outcome);
    switch (result.outcome) {
    case FirmwareOutcome::Success:
        out << message << "\n";
        return kExitOk;
    case FirmwareOutcome::FileOpenError:
        if (result.fileError.isSet())
            err << result.fileError.describe() << "\n";
        return fail(err, "file", message);
    case FirmwareOutcome::PortOpenError:
        reportOsError(err, result.portError, port.LastDeviceKind());
        return fail(err, "open", message);
    case FirmwareOutcome::SendFailed:
    case FirmwareOutcome::LastPieceSendFailed:
        if (terminal)
            err << "\n";
        reportOsError(err, result.portError, port.LastDeviceKind());
        err << "sent " << result.bytesSent << " of " << result.fileBytes << " bytes\n";
        return fail(err, "send", message);
    }
    return kExitFailed;
}

} // namespace

int runJob(const Options& options, std::ostream& out, std::ostream& err)
{
    PortSettings settings;
    if (!resolveConnection(options, settings, err))
        return kExitUsage;
    if (options.command == "identify")
        return identify(settings, out, err);
    return firmware(settings, options.arguments.front(), out, err);
}

} // namespace corvane::cli
