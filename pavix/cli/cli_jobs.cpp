#include "pavix/cli/cli_jobs.h"

#include "pavix/cli/bss_text.h"
#include "pavix/cli/config_text.h"
#include "pavix/cli/write_jobs.h"
#include "pavix/cli/net_jobs.h"
#include "platform/atomic_file.h"
#include "platform/serial_port.h"

#include <cstdio>
#include <unistd.h>

namespace pavix::cli {

using platform::cli::escapeText;
using platform::cli::jsonString;

JobResult failure(int exitStatus, std::string code, std::string message)
{
    JobResult r;
    r.exitStatus = exitStatus;
    r.errorCode = std::move(code);
    r.errorMessage = std::move(message);
    return r;
}

namespace {

std::string usbIds(const UsbDevice& d)
{
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", d.vendorId, d.productId);
    return ids;
}

void addOsError(JobResult& r, const platform::OsError& error, platform::DeviceKind kind)
{
    if (!error.isSet())
        return;
    r.reason = error.describe();
    if (r.hint.empty())
        r.hint = platform::osErrorHint(error, kind);
}

JobResult ports()
{
    const platform::DeviceRoots roots = platform::DeviceRoots::fromEnvironment();
    const std::vector<std::string> serial = platform::listSerialPorts(roots);
    const std::vector<UsbDevice> usb = ListUsbDevices(roots);
    JobResult r;
    r.text = PortsText(serial, usb);
    r.jsonMembers = PortsJsonMembers(serial, usb);
    return r;
}

JobResult sysinfo(const Options& options)
{
    PrinterPort port;
    JobResult r;
    if (!OpenBoard(port, options, r))
        return r;
    IfLink link{port};
    SystemInfo info;
    if (const LinkResult got = link.ReadSystemInfo(info); !got.ok())
        return LinkFailure(got, options.readTimeoutMs, false);
    port.close();
    const platform::cli::Record record = SystemInfoRecord(info);
    r.text = record.lines();
    std::string json = record.json();
    r.jsonMembers = json.substr(1, json.size() - 3); // without "{", "}\n"
    return r;
}

JobResult configRead(const Options& options)
{
    PrinterPort port;
    JobResult r;
    if (!OpenBoard(port, options, r))
        return r;
    IfLink link{port};
    SystemInfo info;
    IfConfigRecord config;
    if (const LinkResult got = link.ReadConfiguration(info, config); !got.ok())
        return LinkFailure(got, options.readTimeoutMs, false);
    port.close();
    platform::cli::Record record = SystemInfoRecord(info);
    record.append(ConfigRecord(config));
    const std::string json = record.json();
    if (!options.output.empty()) {
        platform::OsError error;
        if (!platform::writeFileAtomically(options.output, ConfigText(config), error)) {
            r = failure(kExitFailed, "save", "the configuration file could not be written");
            r.reason = error.describe();
            r.hint = "Check that the directory exists and is writable.";
            return r;
        }
        r.status.push_back("saved: " + options.output);
    }
    r.text = record.lines();
    r.jsonMembers = json.substr(1, json.size() - 3);
    return r;
}

JobResult bss(const Options& options, std::ostream& err)
{
    PrinterPort port;
    JobResult r;
    const bool overTcp = !options.tcpAddress.empty();
    if (!overTcp && !OpenBoard(port, options, r))
        return r;
    IfLink link{port};
    BssTable table;
    LinkResult got;
    {
        TerminalProgress progress(err);
        got = overTcp ? link.ReadBssOverTcp(options.tcpAddress, progress.sink<int>(), table,
                                            static_cast<std::uint16_t>(options.tcpPort))
                      : link.ReadBss(progress.sink<int>(), table);
    }
    if (!got.ok())
        return LinkFailure(got, options.readTimeoutMs, true);
    port.close();
    r.text = BssRows(table);
    r.jsonMembers = BssJsonMembers(table);
    return r;
}

} // namespace

TerminalProgress::TerminalProgress(std::ostream& err) : err_(err), terminal_(isatty(STDERR_FILENO) != 0) {}

TerminalProgress::~TerminalProgress()
{
    if (open_)
        err_ << "\n" << std::flush;
}

void TerminalProgress::show(long percent)
{
    err_ << "\rprogress: " << percent << "%" << std::flush;
    open_ = percent < 100;
    if (!open_)
        err_ << "\n" << std::flush;
}

bool OpenBoard(PrinterPort& port, const Options& options, JobResult& failed)
{
    port.portName = options.port;
    port.firstByteTimeoutMs = options.readTimeoutMs;
    const OpenResult opened = port.open();
    if (opened == OpenResult::Ok)
        return true;
    failed = OpenFailure(opened, port);
    return false;
}

std::string PortsText(const std::vector<std::string>& serial, const std::vector<UsbDevice>& usb)
{
    std::string out;
    for (const std::string& path : serial)
        out += "serial\t" + escapeText(path) + "\n";
    for (const UsbDevice& d : usb)
        out += "usb\t" + d.name + "\t" + escapeText(d.devicePath) + "\t" + usbIds(d) + "\t"
               + (d.accepted ? "accepted" : "other") + "\n";
    return out;
}

std::string PortsJsonMembers(const std::vector<std::string>& serial, const std::vector<UsbDevice>& usb)
{
    std::string out = "\"serial\": [";
    for (std::size_t i = 0; i < serial.size(); ++i)
        out += (i > 0 ? ", " : "") + jsonString(serial[i]);
    out += "], \"usb\": [";
    for (std::size_t i = 0; i < usb.size(); ++i) {
        platform::cli::Record r;
        r.text("name", usb[i].name)
            .text("device", usb[i].devicePath)
            .text("id", usbIds(usb[i]))
            .boolean("accepted", usb[i].accepted);
        std::string json = r.json();
        json.pop_back();
        out += (i > 0 ? ", " : "") + json;
    }
    return out + "]";
}

JobResult OpenFailure(OpenResult result, const PrinterPort& port)
{
    JobResult r;
    switch (result) {
    case OpenResult::Ok:
        return r;
    case OpenResult::NoUsbDevice:
    case OpenResult::UsbNotAccepted:
        r = failure(kExitFailed, "usb", kNoUsbMessage);
        r.hint = "Run 'pavix-cli ports': only devices marked 'accepted' are boards; check the cable and "
                 "that the printer is on.";
        break;
    case OpenResult::LinesOff:
        r = failure(kExitFailed, "open", kPortOpenMessage);
        r.hint = "Check that the board is switched on and the serial cable is connected (CTS and DSR must be "
                 "on).";
        break;
    case OpenResult::OpenFailed:
        r = failure(kExitFailed, "open", kPortOpenMessage);
        break;
    }
    addOsError(r, port.lastError(), port.deviceKind());
    return r;
}

JobResult LinkFailure(const LinkResult& result, int firstByteTimeoutMs, bool bss)
{
    JobResult r = bss ? failure(kExitFailed, "bss", kBssFailedMessage)
                      : failure(kExitFailed, "link", kNotConnectedMessage);
    if (bss) {
        r.jsonMessage = std::string(kBssFailedMessage) + " \n" + kBssFailedAdvice;
        r.hint = kBssFailedAdvice;
    }
    r.notes.push_back(DescribeLinkResult(result, firstByteTimeoutMs));
    const bool overTcp = result.stage == "connect" || result.stage == "send" || result.stage == "receive";
    std::string advice;
    if (result.error.isSet()) {
        r.reason = result.error.describe();
        advice = platform::osErrorHint(result.error, overTcp ? platform::DeviceKind::Tcp
                                                             : platform::DeviceKind::Serial);
    } else if (result.status == LinkStatus::NoReply && !overTcp) {
        advice = "Check that the board is on and cabled; --read-timeout MS gives a slow board longer.";
    }
    if (!advice.empty()) {
        // The access-point message carries its own advice line.
        if (bss)
            r.notes.push_back(advice);
        else
            r.hint = advice;
    }
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
    result.jsonMessage.clear();
    result.hint.clear();
}

int printResult(const JobResult& result, bool json, std::ostream& out, std::ostream& err)
{
    for (const std::string& line : result.status)
        err << escapeText(line) << "\n";
    if (json) {
        std::string object = std::string("{\"ok\": ") + (result.failed() ? "false" : "true");
        if (result.failed()) {
            object += ", \"error\": " + jsonString(result.errorCode) + ", \"message\": "
                      + jsonString(result.jsonMessage.empty() ? result.errorMessage : result.jsonMessage);
            if (!result.reason.empty())
                object += ", \"reason\": " + jsonString(result.reason);
            if (!result.hint.empty())
                object += ", \"hint\": " + jsonString(result.hint);
        }
        if (!result.jsonMembers.empty() && (!result.failed() || result.completedBeforeStop))
            object += ", " + result.jsonMembers;
        out << object << "}\n";
    } else if (!result.failed() || result.completedBeforeStop) {
        out << result.text;
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

JobResult runJob(const Options& options, std::ostream& err)
{
    if (options.command == "ports")
        return ports();
    if (options.command == "sysinfo")
        return sysinfo(options);
    if (options.command == "config read")
        return configRead(options);
    if (options.command == "config write")
        return configWrite(options, err);
    if (options.command == "cert upload")
        return certUpload(options, err);
    if (isNetCommand(options.command))
        return runNetJob(options);
    return bss(options, err);
}

} // namespace pavix::cli
