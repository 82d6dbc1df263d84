#include "corvane/cli/switches_jobs.h"

#include "corvane/cli/switch_settings.h"
#include "corvane/shell/CorvaneRegistry.h"
#include "corvane/switches/TlvrEditor.h"
#include "corvane/switches/TlvrJob.h"
#include "platform/atomic_file.h"
#include "platform/cli/output.h"

#include <iostream>
#include <iterator>

namespace corvane::cli {
namespace {

using platform::cli::escapeText;
using platform::cli::Record;

// A settings file is a few dozen lines; anything much bigger is not one.
constexpr std::size_t kMaxInputBytes = 64 * 1024;

constexpr const char* kSetDone = "Success to set TLVR configuration!";
constexpr const char* kResetPower = "Please reset printer power.";
constexpr const char* kSetFailed = "Failed to save TLVR configuration!";
constexpr const char* kCheckPrinter = "Please check your printer state.";
constexpr const char* kStillInSettingMode =
    "The printer may still be in its user setting mode: switch it off and on before using it.";

// A job that ended with Cancel, as the command line reports it.
JobResult jobFailure(const platform::JobResult& job, const CCommonUtil& util)
{
    if (job.code == kTlvrPortOpenFailed) {
        JobResult r = failure(kExitFailed, "open", job.message);
        addOsError(r, util.port.LastOsError(), util.port.LastDeviceKind());
        return r;
    }
    // The switch 0x49 step has no message of its own.
    const std::string message = job.message.empty() ? "the MFI switch (0x49) write failed" : job.message;
    JobResult r = failure(kExitFailed, job.code != 0 ? std::to_string(job.code) : "cancel", message);
    const platform::OsError os = util.port.LastOsError();
    if (os.isSet() && (job.code == kShortWrite || job.code == kNoReply))
        addOsError(r, os, util.port.LastDeviceKind());
    return r;
}

JobResult setFailure(const platform::JobResult& job, const CCommonUtil& util)
{
    JobResult r = jobFailure(job, util);
    r.notes.insert(r.notes.begin(), {kSetFailed, kCheckPrinter, kStillInSettingMode});
    return r;
}

JobResult setSuccess()
{
    JobResult r;
    r.data.text("message", kSetDone).text("next", kResetPower);
    r.plainText = std::string(kSetDone) + "\n" + kResetPower + "\n";
    return r;
}

void prepare(CCommonUtil& util, const PortSettings& settings, int stallTimeoutMs)
{
    util.settings = settings;
    util.ApplyPortSettings();
    util.port.stallTimeoutMs = stallTimeoutMs;
}

void closePort(CCommonUtil& util)
{
    if (util.port.IsOpen())
        util.port.Close();
}

JobResult switchesGet(const Options& options, const PortSettings& settings, std::ostream& err)
{
    CCommonUtil util;
    prepare(util, settings, options.stallTimeoutMs);
    CCommonTlvr record(util);
    const platform::RegistryStore store;
    record.LoadSettings(store, kCorvaneRegistryKey);
    TlvrJob job(record, kTlvrModeGet);
    const platform::JobResult result = runWithProgress(job, err);
    if (result.end != platform::JobEnd::Ok) {
        JobResult r = jobFailure(result, util);
        closePort(util);
        return r;
    }
    closePort(util);
    Record identity = identityRecord(util);
    identity.text("command form", record.form() == CommandForm::Gs ? "gs" : "bs");
    JobResult r;
    r.data.object("identity", identity).object("settings", SwitchSettingsRecord(record));
    return r;
}

// The settings input and the --set options, checked before any port is
// opened. False with the refusal in `refused`.
bool readAssignments(const Options& options, std::vector<SwitchAssignment>& out, JobResult& refused)
{
    std::string problem;
    if (!options.arguments.empty()) {
        const std::string& path = options.arguments.front();
        std::string text;
        if (path == "-") {
            std::istreambuf_iterator<char> in(std::cin), end;
            while (in != end && text.size() <= kMaxInputBytes)
                text.push_back(*in++);
            if (text.size() > kMaxInputBytes) {
                refused = failure(kExitUsage, "file", "the settings on stdin are over 64 KiB: not a settings file");
                return false;
            }
        } else {
            platform::OsError error;
            const platform::ReadResult read = platform::readFileBounded(path, kMaxInputBytes, text, error);
            if (read != platform::ReadResult::Loaded) {
                refused = failure(kExitUsage, "file", "cannot read the settings file " + path);
                if (read == platform::ReadResult::Missing)
                    refused.reason = "open " + path + ": No such file or directory";
                else
                    refused.reason = error.describe();
                refused.hint = "Give a file written by 'corvane-cli switches get', or '-' for stdin.";
                return false;
            }
        }
        if (!ParseSwitchInput(text, out, problem)) {
            refused = failure(kExitUsage, "usage", path + ": " + problem);
            return false;
        }
    }
    std::vector<const SwitchField*> given;
    for (const std::string& option : options.sets) {
        SwitchAssignment a;
        if (!ParseSwitchOption(option, a, problem)) {
            refused = failure(kExitUsage, "usage", problem);
            return false;
        }
        for (const SwitchField* f : given) {
            if (f == a.field) {
                refused = failure(kExitUsage, "usage", std::string("--set ") + SwitchFieldKey(*f) + " is given twice");
                return false;
            }
        }
        given.push_back(a.field);
        out.push_back(std::move(a));
    }
    return true;
}

JobResult switchesSet(const Options& options, const PortSettings& settings, std::ostream& err)
{
    std::vector<SwitchAssignment> assignments;
    JobResult refused;
    if (!readAssignments(options, assignments, refused))
        return refused;

    CCommonUtil util;
    prepare(util, settings, options.stallTimeoutMs);
    CCommonTlvr record(util);
    platform::RegistryStore store;
    std::optional<std::string> refusal;

    TlvrEditorHooks hooks;
    hooks.runJob = [&err](platform::Job& job) { return runWithProgress(job, err); };
    hooks.showMessage = [](const std::string&, const std::string&) {};
    hooks.showPages = [&](CCommonTlvr& r) {
        const ApplyReport report = ApplySwitchAssignments(r, assignments, options.bluetooth);
        for (const std::string& warning : report.warnings)
            err << "warning: " << escapeText(warning) << "\n";
        if (report.refusal) {
            refusal = report.refusal;
            return PagesChoice::Cancel;
        }
        // Bluetooth settings the get did not read would go out empty.
        r.SkipBluetooth = options.bluetooth && ReadsBluetooth(r) ? 0 : 1;
        if (options.bluetooth && !ReadsBluetooth(r))
            err << "warning: --bluetooth ignored: this printer's Bluetooth settings cannot be read back, so "
                   "they are not written\n";
        std::vector<std::uint8_t> command;
        if (r.SkipBluetooth == 0 && !BuildBluetoothCommand(r, command)) {
            refusal = "the Bluetooth name and PIN do not fit the printer's command (at most "
                      + std::to_string(kMaxBluetoothCommand) + " bytes)";
            return PagesChoice::Cancel;
        }
        return PagesChoice::Save;
    };

    const TlvrEditorResult result = RunTlvrEditor(record, store, hooks);
    switch (result.outcome) {
    case TlvrEditorOutcome::GetFailed:
        return jobFailure(result.job, util);
    case TlvrEditorOutcome::PagesCancelled: {
        JobResult r = failure(kExitFailed, std::to_string(kNotSupported), refusal.value_or("refused"));
        r.notes.push_back("nothing was written to the printer");
        return r;
    }
    case TlvrEditorOutcome::SetFailed:
        return setFailure(result.job, util);
    case TlvrEditorOutcome::Done:
        break;
    }
    if (!result.saved) {
        const platform::OsError e = store.lastError();
        err << "warning: settings not saved in " << escapeText(store.path()) << ": "
            << escapeText(e.isSet() ? e.describe() : std::string("unknown reason")) << "\n";
    }
    return setSuccess();
}

JobResult switchesDefault(const Options& options, const PortSettings& settings, std::ostream& err)
{
    CCommonUtil util;
    prepare(util, settings, options.stallTimeoutMs);
    if (util.port.Open() != 1) {
        JobResult r = failure(kExitFailed, "open", tlvr_text::kPortOpenError);
        addOsError(r, util.port.LastOsError(), util.port.LastDeviceKind());
        return r;
    }
    if (const int rc = util.CheckPrinter(kQueryModel); rc != kOk) {
        closePort(util);
        return failure(kExitFailed, std::to_string(rc), tlvr_text::kModelNotMatched);
    }
    if (const int rc = util.CheckPrinter(kQueryVersion); rc != kOk) {
        closePort(util);
        return failure(kExitFailed, std::to_string(rc), tlvr_text::kNoVersion);
    }
    CCommonTlvr record(util);
    TlvrJob job(record, kTlvrModeDefault);
    const platform::JobResult result = runWithProgress(job, err);
    JobResult r = result.end == platform::JobEnd::Ok ? setSuccess() : setFailure(result, util);
    closePort(util);
    return r;
}

} // namespace

JobResult runSwitches(const Options& options, const PortSettings& settings, std::ostream& err)
{
    if (options.command == "switches get")
        return switchesGet(options, settings, err);
    if (options.command == "switches set")
        return switchesSet(options, settings, err);
    return switchesDefault(options, settings, err);
}

} // namespace corvane::cli
