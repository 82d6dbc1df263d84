#include "corvane/cli/nv_jobs.h"

#include "corvane/nv/CCommonNv.h"
#include "corvane/nv/NvAddressing.h"
#include "corvane/nv/NvConvert.h"
#include "corvane/nv/NvImageFile.h"
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
    if (options.out.empty()) {
        refused = usage("--out FILE is needed");
        return false;
    }
    return true;
}

JobResult convert(const Options& options)
{
    JobResult refused;
    if (!checkCounts(options, refused))
        return refused;
    if (options.indexedFamily && !options.keys.empty())
        return usage("--key belongs to the key-code family: indexed images are numbered");
    std::vector<std::string> keys;
    for (const std::string& typed : options.keys) {
        const std::optional<std::string> key = UnescapeKey(typed);
        if (!key)
            return usage("--key " + typed + ": a backslash starts \\xHH or \\\\");
        const std::string problem = nv::KeyProblem(*key, keys);
        if (!problem.empty())
            return usage("--key " + typed + ": " + (problem == nv::kExistsAddress ? "given twice" : problem));
        keys.push_back(*key);
    }

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
    std::size_t i = 0;
    std::uint64_t fileBytes = nv.commandsTarget.indexed ? 9 : 0;
    for (const NvImage& image : nv.images) {
        const NvCommand& command = nv.commands[i];
        fileBytes += command.data.size();
        const std::size_t header = nv.commandsTarget.indexed ? 6 : 16;
        const std::size_t at = nv.commandsTarget.indexed ? 1 : 11;
        const unsigned w = command.data[at] | (command.data[at + 1] << 8);
        const unsigned h = command.data[at + 2] | (command.data[at + 3] << 8);
        std::string line = image.name + " " + std::to_string(image.width) + "x" + std::to_string(image.height)
                           + " -> " + std::to_string(w) + "x" + std::to_string(h) + " ";
        line += nv.commandsTarget.indexed ? "index " + std::to_string(i) : "key " + keys[i];
        line += " " + std::to_string(command.data.size() - header) + " bytes, estimate " + std::to_string(image.size);
        r.data.text("image " + std::to_string(image.number), line);
        ++i;
    }
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

} // namespace

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
