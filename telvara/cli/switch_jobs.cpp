#include "telvara/cli/switch_jobs.h"

#include "telvara/manager/SwitchExchange.h"
#include "telvara/status/StatusCli.h"
#include "telvara/status/StatusFile.h"

namespace telvara::cli {
namespace {

// A status file's switches, read before anything is opened, so a bad file
// sends nothing.
struct LoadedFile {
    StatusMatrix matrix;
    std::int32_t flag = 0;
};

bool loadFile(const std::string& path, LoadedFile& file, JobResult& r)
{
    const StatusFileOutcome o = LoadStatusFile(path, file.matrix, file.flag);
    if (o.result == StatusFileResult::Done)
        return true;
    if (o.result == StatusFileResult::Unreadable) {
        r = failure(kExitFailed, "file", o.message->text);
        if (o.error.isSet())
            r.reason = o.error.describe();
        return false;
    }
    r = failure(kExitUsage, "format", o.message->text);
    if (o.result == StatusFileResult::BadName)
        r.notes.push_back("a status file's name ends in 'sts': " + path);
    return false;
}

std::string folded(const texts::Message& m)
{
    return FoldLines(m.text);
}

// The switches and the decoded settings: "MSWn ..." lines, the settings as
// fields (after the lines); in JSON the switches as an object.
void describe(const StatusMatrix& matrix, JobResult& r)
{
    platform::cli::Record switches;
    for (const std::string& line : DescribeStatus(matrix)) {
        if (line.starts_with("MSW")) {
            r.lines.push_back(line);
            const auto space = line.find(' ');
            switches.text(line.substr(0, space), line.substr(space + 1));
        } else {
            const auto colon = line.find(": ");
            r.tail.text(line.substr(0, colon), line.substr(colon + 2));
        }
    }
    r.jsonOnly.object("switches", switches);
}

void identity(const StatusModel& model, JobResult& r)
{
    r.data.text("model", model.settingPage.modelText)
        .text("firmware", model.settingPage.firmwareText)
        .text("language", model.settingPage.languageText)
        .text("firmware-old", model.firmwareOld ? "yes" : "no");
}

JobResult failedJob(const SwitchOutcome& o, JobResult&& sofar)
{
    const std::string message = o.messages.empty() ? std::string("stopped") : folded(o.messages.back());
    JobResult f = failure(kExitFailed, o.errorKey.empty() ? std::string("printer") : o.errorKey, message);
    f.status = std::move(sofar.status);
    for (std::size_t i = 0; i + 1 < o.messages.size(); ++i)
        f.status.push_back(folded(o.messages[i]));
    if (!o.missingSwitches.empty()) {
        std::string note = "no reply from switch";
        for (int sw : o.missingSwitches)
            note += " MSW" + std::to_string(sw);
        f.notes.push_back(note + "; nothing was saved");
    }
    f.hint = "Check that the printer is on and its cable; switch it off and on if it stays silent.";
    return f;
}

// The connection check on a fresh link; false with `r` the failure.
bool connect(const Options& options, platform::Devices& devices, const platform::RegistryStore& store,
             platform::spooler::Spooler* spooler, PortLink& link, platform::Clock& clock,
             const BeforeOpen& beforeOpen, JobResult& r)
{
    Connection connection;
    if (!ResolveConnection(options, devices.roots(), store, spooler, connection, r))
        return false;
    ConnectionCheck check(link, clock);
    const CheckResult result = check.run(connection.config, beforeOpen);
    if (!result.ok) {
        JobResult f = failure(kExitFailed, result.errorKey, result.message);
        f.status = std::move(r.status);
        if (!result.detail.empty())
            f.notes.push_back(result.detail);
        if (result.error.isSet())
            f.reason = result.error.describe();
        r = std::move(f);
        return false;
    }
    r.status.push_back(FoldLines(result.message));
    return true;
}

JobResult stsShow(const std::string& path)
{
    LoadedFile file;
    JobResult r;
    if (!loadFile(path, file, r))
        return r;
    r.data.number("flag", file.flag);
    describe(file.matrix, r);
    return r;
}

JobResult stsMake(const std::string& path, const SwitchArgs& args)
{
    StatusModel model;
    if (args.initialize)
        model.initialize();
    ApplySettings(args.settings, model);
    const StatusFileOutcome o = SaveStatusFile(path, model.matrix, model.initialisedFlag);
    if (o.result != StatusFileResult::Done) {
        JobResult f = failure(kExitFailed, "file", o.message->text);
        if (o.error.isSet())
            f.reason = o.error.describe();
        return f;
    }
    // What the file now holds, as `sts show` would print it.
    JobResult r = stsShow(path);
    r.data = platform::cli::Record().text("saved", path).append(r.data);
    return r;
}

} // namespace

JobResult runSwitchCommand(const Options& options, platform::Devices& devices, platform::Clock& clock,
                           const platform::RegistryStore& store, platform::spooler::Spooler* spooler,
                           const BeforeOpen& beforeOpen)
{
    const SwitchArgs& args = options.switches;
    const std::string& command = options.command;
    if (command == "sts show")
        return stsShow(options.arguments.at(0));
    if (command == "sts make")
        return stsMake(options.arguments.at(0), args);

    LoadedFile file;
    JobResult r;
    if (command == "set" && !args.from.empty() && !loadFile(args.from, file, r))
        return r;

    PortLink link(clock, devices);
    if (!connect(options, devices, store, spooler, link, clock, beforeOpen, r))
        return r;
    StatusModel model;

    if (command == "print-status" || command == "print-codepage") {
        SwitchJob job(command == "print-status" ? SwitchOp::PrintStatus : SwitchOp::PrintCodepage, link, clock,
                      model);
        const SwitchOutcome o = RunSwitchJob(job, clock);
        if (!o.ok)
            return failedJob(o, std::move(r));
        r.data.text("printed", command == "print-status" ? "status" : "codepage");
        return r;
    }

    const bool readFirst = command == "get" || !args.noGet;
    if (readFirst) {
        SwitchJob get(SwitchOp::Get, link, clock, model);
        const SwitchOutcome o = RunSwitchJob(get, clock);
        if (!o.ok)
            return failedJob(o, std::move(r));
        r.status.push_back(folded(o.messages.back()));
    }
    if (command == "get") {
        if (!args.save.empty()) {
            const StatusFileOutcome saved = SaveStatusFile(args.save, model.matrix, model.initialisedFlag);
            if (saved.result != StatusFileResult::Done) {
                JobResult f = failure(kExitFailed, "file", saved.message->text);
                f.status = std::move(r.status);
                if (saved.error.isSet())
                    f.reason = saved.error.describe();
                return f;
            }
        }
        identity(model, r);
        describe(model.matrix, r);
        if (!args.save.empty())
            r.tail.text("saved", args.save);
        return r;
    }

    // set: the file, or all off, then the settings, each as a choice in the
    // window.
    if (!args.from.empty()) {
        for (int sw : kFileSwitches)
            model.matrix.setSwitch(sw, file.matrix.pins(SlotOfSwitch(sw)));
        model.initialisedFlag = file.flag;
        model.refresh();
    } else if (args.initialize) {
        model.initialize();
    }
    ApplySettings(args.settings, model);

    SwitchJob set(SwitchOp::Set, link, clock, model);
    const SwitchOutcome o = RunSwitchJob(set, clock);
    for (const std::string& line : set.sent())
        r.lines.push_back("sent " + line);
    if (!o.ok) {
        JobResult f = failedJob(o, std::move(r));
        for (const std::string& line : set.sent())
            f.notes.push_back("sent " + line + " before the link was lost");
        return f;
    }
    for (const texts::Message& m : o.messages)
        r.status.push_back(folded(m));
    identity(model, r);
    platform::cli::Record sent;
    for (const std::string& line : set.sent()) {
        const auto space = line.find(' ');
        sent.text(line.substr(0, space), line.substr(space + 1));
    }
    r.jsonOnly.object("sent", sent);
    if (o.fontDownload != 0)
        r.tail.text("font-download", "not available yet; nothing downloaded");
    return r;
}

} // namespace telvara::cli
