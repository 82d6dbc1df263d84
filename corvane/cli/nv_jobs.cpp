#include "corvane/cli/nv_jobs.h"

#include "corvane/nv/CCommonNv.h"
#include "corvane/nv/NvAddressing.h"
#include "corvane/nv/NvConvert.h"
#include "corvane/nv/NvImageFile.h"
#include "corvane/nv/NvJob.h"
#include "platform/atomic_file.h"
#include "platform/bitmap.h"

#include <algorithm>

namespace corvane::cli {

namespace {

using platform::cli::Record;

struct ModelName {
    const char* name;
    int code;
};
constexpr ModelName kModels[] = {
    {"KMP-Z400", kModelZ400}, {"KMP-Z400W", kModelZ400W}, {"KMP-Z400II", kModelZ400II},
    {"VX 440", kModelVX440},  {"KMP-Z600", kModelZ600},   {"KMP-Z800", kModelZ800},
};

JobResult usage(std::string message)
{
    return failure(kExitUsage, "usage", std::move(message));
}

// The brightness of file i under the count rule (checked before).
int brightnessOf(const Options& options, std::size_t i)
{
    if (options.brightness.empty())
        return 0;
    return options.brightness.size() == 1 ? options.brightness.front() : options.brightness[i];
}

JobResult loadFailure(const std::string& path, const std::string& reason)
{
    JobResult r = failure(kExitFailed, "file", "Failed to load image file!");
    r.reason = path + ": " + reason;
    r.hint = "check that the file is a Windows bitmap (.bmp) and readable";
    return r;
}

// The printer the images are for, as the conversions read it.
bool setupPrinter(const Options& options, CCommonUtil& util, JobResult& refused)
{
    if (!options.model.empty()) {
        const std::optional<int> code = NvModelCode(options.model);
        if (!code) {
            refused = usage("--model: unknown model '" + options.model
                            + "' (KMP-Z400, KMP-Z400W, KMP-Z400II, VX 440, KMP-Z600, KMP-Z800 or their codes)");
            return false;
        }
        util.g_Model = *code;
    } else {
        util.g_Model = kModelZ400;
    }
    // Any version number of the chosen family.
    util.g_Getver = options.indexedFamily ? 21000 : 1040;
    return true;
}

// Loads every file into the image list, as Add Image does.
bool loadImages(const Options& options, CCommonNv& nv, JobResult& failed)
{
    for (std::size_t i = 0; i < options.arguments.size(); ++i) {
        const std::string& path = options.arguments[i];
        int error = 0;
        std::string reason;
        auto image = nv.LoadImageItem(std::uint8_t(nv.images.size() + 1), path, brightnessOf(options, i), error,
                                      &reason);
        if (!image) {
            failed = loadFailure(path, reason);
            return false;
        }
        const int rc = nv.AddImage(*image);
        if (rc == kNvCapacity) {
            failed = failure(kExitFailed, "401", "NV image area too small!");
            failed.reason = path + ": the images would need " + std::to_string(nv.TotalImageSize() + image->size)
                            + " bytes, the printer keeps " + std::to_string(kNvCapacityBytes);
            failed.hint = "convert fewer or smaller images";
            return false;
        }
        if (rc == kNvTooMany) {
            failed = failure(kExitFailed, "403", "Too many images! (at most 254)");
            return false;
        }
    }
    return true;
}

JobResult buildFailure(int rc, const std::string& detail)
{
    JobResult r;
    switch (rc) {
    case kNvTooLarge:
        r = failure(kExitFailed, "too-large", "Image is too large for one NV image!");
        r.hint = "make the bitmap shorter: one key-code image holds at most 65524 raster bytes, and width "
                 "and height must stay below 65536 dots";
        break;
    case kNvCapacity:
        r = failure(kExitFailed, "401", "NV image area too small!");
        break;
    case kNvLoadFailed: {
        const std::size_t colon = detail.find(": ");
        return loadFailure(detail.substr(0, colon), colon == std::string::npos ? "" : detail.substr(colon + 2));
    }
    default:
        r = failure(kExitFailed, std::to_string(rc), "Failed to convert the images!");
        break;
    }
    r.reason = detail;
    return r;
}

JobResult saveFailure(const std::string& path, const platform::OsError& error)
{
    JobResult r = failure(kExitFailed, "save", "Failed to save print file!");
    r.reason = error.isSet() ? error.describe() : path;
    r.hint = "check that the folder exists and is writable; the previous file was left as it was";
    return r;
}

// One line per converted image: its size before and after, its address, its
// raster and its estimate.
Record convertLines(const CCommonNv& nv, const std::vector<std::string>& keys)
{
    Record lines;
    std::size_t i = 0;
    for (const NvImage& image : nv.images) {
        const NvCommand& command = nv.commands[i];
        const std::size_t header = nv.commandsTarget.indexed ? 6 : 16;
        const std::size_t at = nv.commandsTarget.indexed ? 1 : 11;
        const unsigned w = command.data[at] | (command.data[at + 1] << 8);
        const unsigned h = command.data[at + 2] | (command.data[at + 3] << 8);
        std::string line = image.name + " " + std::to_string(image.width) + "x" + std::to_string(image.height)
                           + " -> " + std::to_string(w) + "x" + std::to_string(h) + " ";
        // Appended piece by piece: GCC 12 at -O3 reports a false overlap for
        // a chain of temporaries here.
        line += nv.commandsTarget.indexed ? "index " : "key ";
        line += nv.commandsTarget.indexed ? std::to_string(i) : keys[i];
        line += ' ';
        line += std::to_string(command.data.size() - header);
        line += " bytes, estimate ";
        line += std::to_string(image.size);
        lines.text("image " + std::to_string(image.number), line);
        ++i;
    }
    return lines;
}

std::string escapeKey(const std::string& key)
{
    return platform::cli::escapeText(key);
}

// --brightness once or once per file, --key once per file; nothing is
// opened before these agree.
bool checkCounts(const Options& options, JobResult& refused)
{
    const std::size_t files = options.arguments.size();
    if (options.brightness.size() > 1 && options.brightness.size() != files) {
        refused = usage("--brightness given " + std::to_string(options.brightness.size()) + " times for "
                        + std::to_string(files) + " files: give it once or once per file");
        return false;
    }
    if (!options.keys.empty() && options.keys.size() != files) {
        refused = usage("--key given " + std::to_string(options.keys.size()) + " times for "
                        + std::to_string(files) + " files: give one per file");
        return false;
    }
    return true;
}

// The typed --key values as bytes: escapes read, each a valid key, none twice.
bool typedKeys(const Options& options, std::vector<std::string>& keys, JobResult& refused)
{
    keys.clear();
    for (const std::string& typed : options.keys) {
        const std::optional<std::string> key = UnescapeKey(typed);
        if (!key) {
            refused = usage("--key " + typed + ": a backslash starts \\xHH or \\\\");
            return false;
        }
        const std::string problem = nv::KeyProblem(*key, keys);
        if (!problem.empty()) {
            refused = usage("--key " + typed + ": " + (problem == nv::kExistsAddress ? "given twice" : problem));
            return false;
        }
        keys.push_back(*key);
    }
    return true;
}

JobResult convert(const Options& options)
{
    JobResult refused;
    if (!checkCounts(options, refused))
        return refused;
    if (options.out.empty())
        return usage("--out FILE is needed");
    if (options.indexedFamily && !options.keys.empty())
        return usage("--key belongs to the key-code family: indexed images are numbered");
    std::vector<std::string> keys;
    if (!typedKeys(options, keys, refused))
        return refused;

    CCommonUtil util;
    if (!setupPrinter(options, util, refused))
        return refused;
    CCommonNv nv(util);
    JobResult failed;
    if (!loadImages(options, nv, failed))
        return failed;
    if (!options.indexedFamily && keys.empty()) {
        const auto automatic = nv::AutoKeys(nv.images.size(), {});
        if (!automatic)
            return failure(kExitFailed, "403", "Too many images! (at most 254)");
        keys = *automatic;
    }
    std::string detail;
    if (const int rc = nv.BuildCommands(keys, &detail); rc != kOk)
        return buildFailure(rc, detail);

    platform::OsError error;
    if (!nv.SaveCommandFile(options.out, error))
        return saveFailure(options.out, error);

    JobResult r;
    std::uint64_t fileBytes = nv.commandsTarget.indexed ? 9 : 0;
    for (const NvCommand& command : nv.commands)
        fileBytes += command.data.size();
    r.data = convertLines(nv, keys);
    r.data.text("saved", options.out + " " + std::to_string(fileBytes) + " bytes");
    return r;
}

JobResult preview(const Options& options)
{
    JobResult refused;
    if (options.arguments.size() != 1)
        return usage("nv preview takes one FILE.bmp");
    if (!checkCounts(options, refused))
        return refused;
    if (options.out.empty())
        return usage("--out FILE is needed");
    if (!options.keys.empty())
        return usage("--key belongs to nv convert");
    const auto endsWith = [&](const char* suffix) {
        const std::string s = suffix;
        std::string lower = options.out;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
        return lower.size() >= s.size() && lower.compare(lower.size() - s.size(), s.size(), s) == 0;
    };
    const bool png = endsWith(".png");
    if (!png && !endsWith(".pbm"))
        return usage("--out must name a .pbm or .png file");

    CCommonUtil util;
    if (!setupPrinter(options, util, refused))
        return refused;
    const std::string& path = options.arguments.front();
    const nv::WidthUse use = options.indexedFamily ? nv::WidthUse::Indexed : nv::WidthUse::KeyCode;
    nv::RasterBuilder builder(nv::WidthLimit(util.g_Model, use), brightnessOf(options, 0),
                              options.indexedFamily ? 0 : 65524);
    const platform::BitmapStatus status = platform::decodeBmpFile(path, builder);
    if (status.error == platform::BitmapError::Refused)
        return buildFailure(kNvTooLarge, path + ": " + builder.refusal());
    if (!status.ok())
        return loadFailure(path, status.error == platform::BitmapError::Open ? status.os.describe() : status.reason);
    const nv::Raster raster = builder.finish();
    const std::string bytes = png ? nv::PngBytes(raster) : nv::PbmBytes(raster);
    if (bytes.empty()) {
        JobResult r = failure(kExitFailed, "empty", "The image has no dot rows to show!");
        r.reason = path + ": " + std::to_string(builder.sourceWidth()) + "x" + std::to_string(builder.sourceHeight())
                   + " converts to " + std::to_string(raster.width) + "x0 dots";
        r.hint = "write a .pbm file, which can hold an empty picture";
        return r;
    }
    platform::OsError error;
    if (!platform::writeFileAtomically(options.out, bytes, error))
        return saveFailure(options.out, error);
    JobResult r;
    r.data.text("image", path)
        .text("dots", std::to_string(raster.width) + "x" + std::to_string(raster.height))
        .text("saved", options.out + " " + std::to_string(bytes.size()) + " bytes");
    return r;
}

// --- on a printer ----------------------------------------------------------

// The job's message as one line: the window's texts start with a blank and
// break the line before their advice.
std::string oneLine(const std::string& text)
{
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = text.find_first_not_of(' '); i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            line.push_back(' ');
            ++i;
        } else {
            line.push_back(text[i]);
        }
    }
    return line;
}

JobResult nvJobFailure(const platform::JobResult& job, const CCommonUtil& util)
{
    if (job.code == kNvJobPortOpenFailed) {
        JobResult r = failure(kExitFailed, "open", oneLine(job.message));
        addOsError(r, util.port.LastOsError(), util.port.LastDeviceKind());
        return r;
    }
    std::string code = job.code == kNvJobStopped ? "cancel" : std::to_string(job.code);
    if (job.code == kNvJobUnsupported)
        code = "unsupported";
    JobResult r = failure(kExitFailed, code, oneLine(job.message));
    const platform::OsError os = util.port.LastOsError();
    if (os.isSet() && job.code == kShortWrite)
        addOsError(r, os, util.port.LastDeviceKind());
    if (job.code == kBadFormat)
        r.hint = "the printer's list reply was malformed; switch it off and on and try again";
    return r;
}

struct PrinterSession {
    CCommonUtil util;
    CCommonNv nv{util};
    platform::RegistryStore store;

    explicit PrinterSession(const PortSettings& settings, int stallTimeoutMs)
    {
        util.settings = settings;
        util.ApplyPortSettings();
        util.port.stallTimeoutMs = stallTimeoutMs;
    }
    ~PrinterSession()
    {
        if (util.port.IsOpen())
            util.port.Close();
    }

    // Runs one worker job; false with the failure in `failed`.
    bool run(int jobCode, std::ostream& err, JobResult& failed, const std::string& key = {}, int index = 0)
    {
        NvJob job(nv, jobCode);
        job.setCountStore(store);
        job.setSelection(key, index);
        const platform::JobResult result = runWithProgress(job, err);
        lastImagesSent = job.imagesSent();
        if (result.end != platform::JobEnd::Ok) {
            failed = nvJobFailure(result, util);
            return false;
        }
        return true;
    }

    Record list() const
    {
        Record r;
        r.text("family", nv.indexedFamily() ? "indexed" : "key-code");
        r.number("count", static_cast<long long>(nv.addresses.size()));
        for (const std::string& address : nv.addresses)
            r.text("address", address);
        return r;
    }

    std::size_t lastImagesSent = 0;
};

JobResult unsupported()
{
    return failure(kExitFailed, "unsupported", oneLine(nv_text::kNotSupported));
}

JobResult nvList(PrinterSession& s, std::ostream& err)
{
    JobResult r;
    if (!s.run(kNvJobAddresses, err, r))
        return r;
    r.data = s.list();
    return r;
}

JobResult nvPrint(const Options& options, PrinterSession& s, std::ostream& err)
{
    JobResult r;
    // The addresses first: they identify the printer and say its family.
    if (!s.run(kNvJobAddresses, err, r))
        return r;
    const bool indexed = s.nv.indexedFamily();
    if (options.all) {
        s.nv.storedCount = std::int32_t(s.nv.addresses.size());
        if (!s.run(kNvJobPrintAll, err, r))
            return r;
        r.data.number("printed", static_cast<long long>(indexed && s.nv.storedCount == 0 ? 78 : s.nv.addresses.size()));
        return r;
    }
    if (options.indexGiven != indexed)
        return unsupported();
    std::string key;
    if (!indexed) {
        const std::optional<std::string> typed = UnescapeKey(options.arguments.front());
        if (!typed || typed->size() != 2)
            return failure(kExitUsage, "usage", "the key code needs exactly two characters (\\xHH escapes allowed)");
        key = *typed;
    }
    if (!s.run(kNvJobPrintSelected, err, r, key, options.index))
        return r;
    r.data.text("printed", indexed ? std::to_string(options.index) : key);
    return r;
}

JobResult nvDelete(const Options& options, PrinterSession& s, std::ostream& err)
{
    JobResult r;
    if (!s.run(kNvJobAddresses, err, r))
        return r;
    if (options.all) {
        if (!s.run(kNvJobDeleteAll, err, r))
            return r;
        r.data = s.list();
        return r;
    }
    if (s.nv.indexedFamily())
        return unsupported();
    const std::optional<std::string> typed = UnescapeKey(options.arguments.front());
    if (!typed || typed->size() != 2)
        return failure(kExitUsage, "usage", "the key code needs exactly two characters (\\xHH escapes allowed)");
    if (!s.run(kNvJobDeleteSelected, err, r, *typed, 0))
        return r;
    r.data = s.list();
    return r;
}

JobResult nvDownload(const Options& options, PrinterSession& s, std::ostream& err)
{
    JobResult refused;
    std::vector<std::string> keys;
    if (!checkCounts(options, refused) || !typedKeys(options, keys, refused))
        return refused;

    JobResult r;
    if (!s.run(kNvJobAddresses, err, r))
        return r;
    const bool indexed = s.nv.indexedFamily();
    if (indexed && !keys.empty())
        return unsupported();
    JobResult failed;
    if (!loadImages(options, s.nv, failed))
        return failed;
    if (!indexed) {
        if (keys.empty()) {
            const auto automatic = nv::AutoKeys(s.nv.images.size(), s.nv.addresses);
            if (!automatic)
                return failure(kExitFailed, "key", "No free address is left for automatic addressing!");
            keys = *automatic;
        } else {
            for (const std::string& key : keys)
                if (nv::KeyProblem(key, s.nv.addresses) == nv::kExistsAddress) {
                    JobResult taken = failure(kExitFailed, "key", nv::kExistsAddress);
                    taken.reason = "the printer holds an image under " + escapeKey(key) + " already";
                    taken.hint = "delete it first (nv delete), or choose another key";
                    return taken;
                }
        }
    }
    std::string detail;
    if (const int rc = s.nv.BuildCommands(keys, &detail); rc != kOk)
        return buildFailure(rc, detail);
    const Record lines = convertLines(s.nv, keys);

    // As the window does: identify again right before the data goes out, so
    // a printer swapped in the meantime is noticed.
    s.nv.printerIdentified = 0;
    std::uint64_t bytes = 0;
    for (const NvCommand& command : s.nv.commands)
        bytes += command.data.size();
    const std::size_t count = s.nv.commands.size();
    if (!s.run(kNvJobDownload, err, r)) {
        r.notes.push_back("sent " + std::to_string(s.lastImagesSent) + " of " + std::to_string(count) + " images");
        s.nv.commands.clear();
        return r;
    }
    s.nv.commands.clear();
    s.nv.storedCount = std::int32_t(count);
    if (!s.nv.WriteStoredCount(s.store, kNvRegistryKey, std::uint32_t(count)))
        err << "warning: the image count could not be saved in " << s.store.path() << ": "
            << s.store.lastError().describe() << "\n";
    platform::systemClock().pauseMs(200);
    if (!s.run(kNvJobAddresses, err, r))
        return r;
    r.data = lines;
    r.data.text("download", std::to_string(count) + " images, " + std::to_string(bytes) + " bytes");
    r.data.append(s.list());
    return r;
}

} // namespace

JobResult runNvPrinter(const Options& options, const PortSettings& settings, std::ostream& err)
{
    PrinterSession session(settings, options.stallTimeoutMs);
    if (options.command == "nv list")
        return nvList(session, err);
    if (options.command == "nv download")
        return nvDownload(options, session, err);
    if (options.command == "nv print")
        return nvPrint(options, session, err);
    return nvDelete(options, session, err);
}

std::optional<int> NvModelCode(const std::string& text)
{
    for (const ModelName& model : kModels)
        if (text == model.name || text == std::to_string(model.code))
            return model.code;
    return std::nullopt;
}

std::optional<std::string> UnescapeKey(const std::string& typed)
{
    return platform::cli::unescapeText(typed);
}

JobResult runNvOffline(const Options& options, std::ostream&)
{
    if (options.command == "nv convert")
        return convert(options);
    return preview(options);
}

} // namespace corvane::cli
