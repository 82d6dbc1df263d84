#include "telvara/cli/cli_jobs.h"

#include "telvara/link/CustomPreset.h"
#include "telvara/link/LinkTexts.h"
#include "telvara/link/PortDiscovery.h"
#include "telvara/link/PrinterPreset.h"
#include "telvara/link/SpoolerGuard.h"

namespace telvara::cli {

using platform::cli::escapeText;
using platform::cli::jsonString;

JobResult failure(int exitStatus, std::string code, std::string_view message)
{
    JobResult r;
    r.exitStatus = exitStatus;
    r.errorCode = std::move(code);
    r.errorMessage = FoldLines(message);
    return r;
}

std::string FoldLines(std::string_view text)
{
    std::string out;
    bool inBreak = false;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            inBreak = true;
            continue;
        }
        if (inBreak && !out.empty() && out.back() != ' ')
            out.push_back(' ');
        inBreak = false;
        out.push_back(c);
    }
    return out;
}

namespace {

void addOsError(JobResult& r, const platform::OsError& error, platform::DeviceKind kind)
{
    if (!error.isSet())
        return;
    r.reason = error.describe();
    if (r.hint.empty())
        r.hint = platform::osErrorHint(error, kind);
}

JobResult noUsbPrinter()
{
    JobResult r = failure(kExitFailed, "usb", texts::kNoUsbPrinter);
    r.hint = "Check the USB cable and that the printer is on; 'telvara-cli ports --interface usb' lists "
             "the printers found.";
    return r;
}

// ---- The print spooler ---------------------------------------------------------
// What the start-up restore did, as status lines: a queue an earlier run
// left stopped is worth knowing about, and so is one that could not be
// resumed.
void reportStaleRestore(const SpoolerGuard& guard, JobResult& r)
{
    const link::RestoreResult& stale = guard.staleRestore();
    for (const std::string& name : stale.resumed)
        r.status.push_back("printer queue " + name + " resumed: an earlier run had stopped it and ended");
    if (!stale.detail.empty())
        r.status.push_back(stale.detail);
}

// Gives back what the check stopped; a queue that stays stopped is said, and
// restore-queues in a later run (or its start) can still resume it.
void restoreAfterCheck(SpoolerGuard& guard, JobResult& r)
{
    const link::RestoreResult restored = guard.restore();
    if (!restored.ok()) {
        r.status.push_back(restored.detail + "; 'telvara-cli restore-queues' resumes "
                           + (restored.failed.empty() ? std::string("it") : restored.failed.front()) + " later");
    }
}

JobResult restoreQueues(SpoolerGuard* guard)
{
    if (guard == nullptr)
        return failure(kExitFailed, "spooler", "no print spooler to ask");
    if (const auto& start = guard->startProbe(); !start.ok()) {
        JobResult f = failure(kExitFailed, "spooler", start.describe("list printer queues"));
        f.hint = "Is the print spooler running? CUPS_SERVER names the one to ask.";
        return f;
    }
    const link::RestoreResult& stale = guard->staleRestore();
    JobResult r;
    if (!stale.ok()) {
        r = failure(kExitFailed, "spooler", stale.detail);
        r.completedBeforeStop = true;  // what was resumed is still printed
    }
    r.lines = stale.resumed;
    r.listed = true;
    r.listKey = "resumed";
    r.linePrefix = "resumed ";
    return r;
}

JobResult ports(const Options& options, const platform::DeviceRoots& roots)
{
    const LinkKind kind = options.interface.value_or(LinkKind::Serial);
    const PortList list = ListPorts(kind, roots);
    if (list.fellBack) {
        JobResult r = noUsbPrinter();
        r.status.push_back(FoldLines(list.notice));
        return r;
    }
    JobResult r;
    r.lines = list.ports;
    r.listed = true;
    return r;
}

JobResult check(const Options& options, platform::Devices& devices, platform::Clock& clock,
                const platform::RegistryStore& store, SpoolerGuard* guard, platform::spooler::Spooler* spooler)
{
    const bool selfTest = options.command == "selftest";
    JobResult r;
    Connection connection;
    if (!ResolveConnection(options, devices.roots(), store, spooler, connection, r))
        return r;
    PortLink link(clock, devices);
    ConnectionCheck check(link, clock);
    BeforeOpen beforeOpen;
    if (guard != nullptr)
        beforeOpen = guard->hook([&r](const std::string& warning) { r.status.push_back(warning); });
    CheckResult result = check.run(connection.config, beforeOpen);
    if (!result.ok) {
        JobResult f = failure(kExitFailed, result.errorKey, result.message);
        f.status = std::move(r.status);
        if (!result.detail.empty())
            f.notes.push_back(result.detail);
        addOsError(f, result.error, link.deviceKind());
        if (f.errorCode == "printer-id" || f.errorCode == "maker" || f.errorCode == "model")
            f.hint = "Check that the printer is on, the line settings match the printer's and it is a "
                     "KTP-M880 or KTP-M882.";
        return f;
    }
    r.status.push_back(FoldLines(result.message));
    r.data.text("maker", result.maker).text("model", result.model);
    if (selfTest) {
        const CheckResult test = check.selfTest();
        if (!test.ok) {
            JobResult f = failure(kExitFailed, test.errorKey, test.message);
            f.status = std::move(r.status);
            addOsError(f, test.error, link.deviceKind());
            return f;
        }
        r.data.text("selftest", "sent");
    }
    return r;
}

} // namespace

bool ResolveConnection(const Options& options, const platform::DeviceRoots& roots,
                       const platform::RegistryStore& store, platform::spooler::Spooler* spooler,
                       Connection& connection, JobResult& result)
{
    LinkConfig config;
    config.tcpPort = kDefaultTcpPort;
    LinkKind kind = LinkKind::Serial;
    bool portFromPreset = false;
    if (!options.printer.empty()) {
        const Preset preset = PresetForPrinter(options.printer, store, spooler, config);
        if (!preset.notice.empty())
            result.status.push_back(preset.notice);
        if (preset.found) {
            kind = preset.kind;
            config = preset.config;
            portFromPreset = !config.portName.empty();
        }
    }
    if (options.interface && *options.interface != kind) {
        kind = *options.interface;
        portFromPreset = false;
    }
    if (options.baudRate)
        config.baudRate = *options.baudRate;
    if (options.dataBits)
        config.dataBits = *options.dataBits;
    if (options.parity)
        config.parity = *options.parity;
    if (options.stopBits)
        config.stopBits = *options.stopBits;
    if (options.flowControl)
        config.flowControl = *options.flowControl;
    if (options.tcpPort)
        config.tcpPort = *options.tcpPort;

    if (options.port) {
        config.portName = *options.port;
    } else if (!portFromPreset) {
        if (kind == LinkKind::Ethernet) {
            config.portName = std::string(kDefaultAddress);
        } else {
            const PortList list = ListPorts(kind, roots);
            if (list.fellBack) {
                result = noUsbPrinter();
                result.status.push_back(FoldLines(list.notice));
                return false;
            }
            config.portName = list.ports.empty() ? std::string() : list.ports.front();
        }
    }
    // The name decides the kind; an --interface that disagrees is a mistake
    // on the command line, not a port to try.
    if (kind != LinkKind::Ethernet && !options.interface && !config.portName.empty()) {
        const KindChoice choice = ChooseKind(config, roots);
        if (choice.accepted)
            kind = choice.kind;
    }
    const KindChoice choice = ChooseKind(config, roots);
    if (choice.accepted && choice.kind != kind) {
        result = failure(kExitUsage, "usage",
                         "--port " + config.portName + " is a " + std::string(LinkKindName(choice.kind))
                             + " port, not " + std::string(LinkKindName(kind)));
        return false;
    }
    connection.kind = kind;
    connection.config = config;
    return true;
}

platform::cli::Record ConnectionRecord(const Connection& connection, const platform::DeviceRoots& roots)
{
    const LinkConfig& c = connection.config;
    platform::cli::Record r;
    r.text("interface", LinkKindName(connection.kind)).text("port", c.portName);
    if (connection.kind == LinkKind::Ethernet) {
        r.text("address", c.portName).number("tcp-port", c.tcpPort);
        return r;
    }
    const KindChoice choice = ChooseKind(c, roots);
    r.text("device", choice.accepted ? choice.device : "")
        .number("baud", c.baudRate)
        .number("data-bits", c.dataBits)
        .text("parity", ParityName(c.parity))
        .text("stop-bits", StopBitsName(c.stopBits))
        .text("flow", FlowName(c.flowControl));
    return r;
}

namespace {
JobResult command(const Options& options, platform::Devices& devices, platform::Clock& clock,
                  const platform::RegistryStore& store, SpoolerGuard* guard, platform::spooler::Spooler* spooler);
} // namespace

JobResult runJob(const Options& options, platform::Devices& devices, platform::Clock& clock,
                 const platform::RegistryStore& store, const SpoolerFactory& spoolers)
{
    // One guard for the whole command: its start resumes what dead runs left
    // stopped, its end gives back what this run stopped.
    std::unique_ptr<SpoolerGuard> guard;
    if (spoolers && !options.noTakeover)
        guard = std::make_unique<SpoolerGuard>(spoolers());
    if (options.command == "restore-queues")
        return restoreQueues(guard.get());
    JobResult start;
    if (guard)
        reportStaleRestore(*guard, start);
    // The preset may read a queue even when the spooler is otherwise left alone.
    std::unique_ptr<platform::spooler::Spooler> own;
    platform::spooler::Spooler* spooler = guard ? guard->spooler() : nullptr;
    if (spooler == nullptr && spoolers && !options.printer.empty() && CustomPresetKey(options.printer).empty()) {
        own = spoolers();
        spooler = own.get();
    }
    JobResult r = command(options, devices, clock, store, guard.get(), spooler);
    if (guard)
        restoreAfterCheck(*guard, r);
    r.status.insert(r.status.begin(), start.status.begin(), start.status.end());
    return r;
}

namespace {

JobResult command(const Options& options, platform::Devices& devices, platform::Clock& clock,
                  const platform::RegistryStore& store, SpoolerGuard* guard, platform::spooler::Spooler* spooler)
{
    if (options.command == "check" || options.command == "selftest")
        return check(options, devices, clock, store, guard, spooler);
    if (options.command == "ports")
        return ports(options, devices.roots());
    if (options.command == "connection") {
        Connection connection;
        JobResult r;
        if (!ResolveConnection(options, devices.roots(), store, spooler, connection, r))
            return r;
        if (!ChooseKind(connection.config, devices.roots()).accepted) {
            JobResult f = failure(kExitFailed, "config", texts::kConfigRefused);
            f.status = std::move(r.status);
            f.notes.push_back("the port name '" + connection.config.portName + "' is none the program knows");
            return f;
        }
        r.data = ConnectionRecord(connection, devices.roots());
        return r;
    }
    return failure(kExitUsage, "usage", "unknown command " + options.command);
}

} // namespace

void markStopped(JobResult& result, int signal, const char* signalName)
{
    result.completedBeforeStop = !result.failed();
    if (result.failed() && result.errorCode != "signal")
        result.notes.push_back("error " + result.errorCode + ": " + result.errorMessage);
    result.exitStatus = 128 + signal;
    result.errorCode = "signal";
    result.errorMessage = std::string("stopped by ") + signalName + "; the port was released";
    result.hint.clear();
}

int printResult(const JobResult& result, bool json, std::ostream& out, std::ostream& err)
{
    for (const std::string& line : result.status)
        err << "status: " << escapeText(FoldLines(line)) << "\n";
    const bool showData = !result.failed() || result.completedBeforeStop;
    if (json) {
        std::string object = std::string("{\"ok\": ") + (result.failed() ? "false" : "true");
        if (result.failed()) {
            object += ", \"error\": " + jsonString(result.errorCode) + ", \"message\": " + jsonString(result.errorMessage);
            if (!result.reason.empty())
                object += ", \"reason\": " + jsonString(result.reason);
            if (!result.hint.empty())
                object += ", \"hint\": " + jsonString(result.hint);
        }
        if (!result.status.empty()) {
            object += ", \"status\": [";
            for (std::size_t i = 0; i < result.status.size(); ++i)
                object += (i > 0 ? ", " : "") + jsonString(FoldLines(result.status[i]));
            object += "]";
        }
        if (showData && !result.data.empty()) {
            std::string members = result.data.json();
            object += ", " + members.substr(1, members.size() - 3);
        }
        if (showData && result.listed) {
            object += ", " + jsonString(result.listKey) + ": [";
            for (std::size_t i = 0; i < result.lines.size(); ++i)
                object += (i > 0 ? ", " : "") + jsonString(result.lines[i]);
            object += "]";
        }
        out << object << "}\n";
    } else if (showData) {
        out << result.data.lines();
        for (const std::string& line : result.lines)
            out << result.linePrefix << escapeText(line) << "\n";
    }
    if (result.failed()) {
        if (!result.reason.empty())
            err << escapeText(result.reason) << "\n";
        for (const std::string& note : result.notes)
            err << escapeText(note) << "\n";
        if (!result.hint.empty())
            err << escapeText(result.hint) << "\n";
        err << "error " << result.errorCode << ": " << escapeText(result.errorMessage) << "\n";
    }
    out.flush();
    err.flush();
    return result.exitStatus;
}

} // namespace telvara::cli
