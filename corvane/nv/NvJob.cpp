#include "corvane/nv/NvJob.h"

#include <utility>

namespace corvane {
namespace {

using platform::JobNext;

constexpr std::uint32_t kTickDelayMs = 100;
constexpr std::uint32_t kStepPauseMs = 2;
constexpr std::uint32_t kIndexedImageDelayMs = 100;
constexpr std::uint32_t kKeyedImageDelayMs = 1000;
// The bar's share of all the images of a download.
constexpr double kDownloadShare = 70.0;

} // namespace

NvJob::NvJob(CCommonNv& nv, int job, platform::Clock& clock) : nv_(nv), job_(job), clock_(clock) {}

void NvJob::setSelection(std::string keyCode, int index)
{
    keyCode_ = std::move(keyCode);
    index_ = index;
}

void NvJob::setCountStore(platform::RegistryStore& store, std::string keyPath)
{
    store_ = &store;
    keyPath_ = std::move(keyPath);
}

void NvJob::advance(int n)
{
    for (int i = 0; i < n; ++i) {
        setProgress(++progress_);
        clock_.pauseMs(kStepPauseMs);
    }
}

void NvJob::announce(const char* text, int n, std::uint32_t pauseMs)
{
    setStatus(text);
    for (int i = 0; i < n; ++i) {
        setProgress(++progress_);
        if (pauseMs > 0)
            clock_.pauseMs(pauseMs);
    }
}

JobNext NvJob::fail(const char* text, int code)
{
    message_ = text;
    return JobNext::cancel(message_, code);
}

JobNext NvJob::start()
{
    setProgressRange(0, 100);
    progress_ = 0;
    setProgress(0);
    message_ = nv_text::kStopped;
    setStatus(nv_text::kProgressing);
    position_ = 0;
    total_ = 0;
    imagesSent_ = 0;
    headerSent_ = false;
    stopDeferred_ = false;
    return JobNext::step(kNvTickOpen, kTickDelayMs);
}

JobNext NvJob::fire(int timerId)
{
    switch (timerId) {
    case kNvTickOpen:
        return openAndIdentify();
    case kNvJobAddresses:
        return getAddresses();
    case kNvJobDeleteSelected:
        return deleteSelected();
    case kNvJobDeleteAll:
        return deleteAll();
    case kNvJobDownload:
        return download();
    case kNvTickNextImage:
        return nextImage();
    case kNvJobPrintAll:
        return printAll();
    case kNvJobPrintSelected:
        return printSelected();
    case kNvTickFinish:
        return finish();
    default:
        // Nothing runs for it: the window would wait until it is closed.
        return JobNext::cancel(message_, kNvJobStopped);
    }
}

JobNext NvJob::openAndIdentify()
{
    CCommonUtil& util = nv_.util();
    if (!util.port.IsOpen()) {
        if (util.port.Open() != 1)
            return fail(nv_text::kPortOpenError, kNvJobPortOpenFailed);
        advance(5);
    }
    if (nv_.printerIdentified == 0) {
        int r = util.CheckPrinter(kQueryModel);
        if (r != kOk)
            return fail(nv_text::kModelNotMatched, r);
        advance(5);
        r = util.CheckPrinter(kQueryVersion);
        if (r != kOk)
            return fail(nv_text::kNoVersion, r);
        advance(5);
        nv_.printerIdentified = 1;
    }
    // The commands were converted for the printer identified before; a
    // printer of another family or width class would misread them.
    if (job_ == kNvJobDownload && !nv_.commands.empty() && nv_.currentTarget() != nv_.commandsTarget)
        return fail(nv_text::kModelNotMatched, kNvJobModelChanged);
    return JobNext::step(job_, kTickDelayMs);
}

JobNext NvJob::getAddresses()
{
    int r = kOk;
    if (nv_.indexedFamily()) {
        if (store_ == nullptr)
            return fail(nv_text::kReadAddressFailed, kNvJobNoCountStore);
        r = nv_.LoadIndexedList(*store_, keyPath_);
    } else {
        r = nv_.ReadKeyList();
    }
    // 400 is an empty printer: the address list holds what it then holds.
    if (r != kOk && r != kNvEmpty)
        return fail(nv_text::kReadAddressFailed, r);
    advance(20);
    return JobNext::step(kNvTickFinish, kTickDelayMs);
}

JobNext NvJob::deleteSelected()
{
    advance(5);
    if (nv_.indexedFamily())
        return fail(nv_text::kNotSupported, kNvJobUnsupported);
    const int r = nv_.DeleteKey(keyCode_);
    if (r != kOk)
        return fail(nv_text::kWriteFailed, r);
    announce(nv_text::kDeleteSelected, 20, 50);
    return JobNext::step(kNvJobAddresses, kTickDelayMs);
}

JobNext NvJob::deleteAll()
{
    advance(5);
    int r = kOk;
    if (nv_.indexedFamily()) {
        if (store_ == nullptr)
            return fail(nv_text::kWriteFailed, kNvJobNoCountStore);
        r = nv_.DeleteAllIndexed(*store_, keyPath_);
        if (r == kOk)
            nv_.addresses.clear();
    } else {
        r = nv_.DeleteAllKeyed();
    }
    if (r != kOk)
        return fail(nv_text::kWriteFailed, r);
    announce(nv_text::kDeleteAll, 20, 100);
    return JobNext::step(kNvJobAddresses, kTickDelayMs);
}

JobNext NvJob::download()
{
    advance(5);
    total_ = 0;
    for (const NvCommand& command : nv_.commands)
        total_ += command.data.size();
    position_ = 0;
    if (nv_.indexedFamily()) {
        delayMs_ = kIndexedImageDelayMs;
        // The set's count and length fields are 8 and 32 bits: a set that
        // does not fit would be announced wrongly, so nothing is sent.
        if (nv_.commands.size() > 255 || total_ > 0xFFFFFFFDu)
            return fail(nv_text::kWriteFailed, kNvTooLarge);
        const int r = nv_.SendIndexedHeader(static_cast<std::uint8_t>(nv_.commands.size()),
                                            static_cast<std::uint32_t>(total_));
        if (r != kOk)
            return fail(nv_text::kWriteFailed, r);
        headerSent_ = true;
    } else {
        delayMs_ = kKeyedImageDelayMs;
    }
    return JobNext::step(kNvTickNextImage, kTickDelayMs);
}

int NvJob::sendImage(const NvCommand& command)
{
    const int r = nv_.SendCommandData(command);
    if (r != kOk)
        return r;
    ++imagesSent_;
    // Each image's share of the bar, truncated as the single-precision
    // figure it was computed in.
    if (total_ > 0) {
        const float share = static_cast<float>(double(command.data.size()) / double(total_) * kDownloadShare);
        advance(static_cast<int>(share));
    }
    return kOk;
}

JobNext NvJob::nextImage()
{
    if (position_ < nv_.commands.size()) {
        const NvCommand& command = nv_.commands[position_++];
        setStatus(command.name + nv_text::kDownloading);
        const int r = sendImage(command);
        if (r != kOk)
            return fail(nv_text::kWriteFailed, r);
        return JobNext::step(kNvTickNextImage, delayMs_);
    }
    announce(nv_text::kFinishDownload, 5, 500);
    return JobNext::step(kNvTickFinish, kTickDelayMs);
}

JobNext NvJob::printAll()
{
    advance(5);
    const int r = nv_.indexedFamily() ? nv_.PrintAllIndexed() : nv_.PrintAllKeys();
    if (r != kOk)
        return fail(nv_text::kWriteFailed, r);
    announce(nv_text::kPrintAll, 80, 0);
    return JobNext::step(kNvTickFinish, kTickDelayMs);
}

JobNext NvJob::printSelected()
{
    advance(5);
    int r = kOk;
    if (nv_.indexedFamily()) {
        // Indices are 8-bit: another index would print another image.
        if (index_ < 0 || index_ > 255)
            return fail(nv_text::kWriteFailed, kBadFormat);
        r = nv_.PrintIndex(static_cast<std::uint8_t>(index_));
    } else {
        r = nv_.PrintKey(keyCode_);
    }
    if (r != kOk)
        return fail(nv_text::kWriteFailed, r);
    announce(nv_text::kPrintSelected, 99, 0);
    return JobNext::step(kNvTickFinish, kTickDelayMs);
}

JobNext NvJob::finish()
{
    while (progress_ < 100) {
        setProgress(++progress_);
        clock_.pauseMs(kStepPauseMs);
    }
    return JobNext::ok();
}

platform::JobResult NvJob::cancelled()
{
    const bool inIndexedSet = job_ == kNvJobDownload && headerSent_ && position_ < nv_.commands.size();
    if (!inIndexedSet)
        return platform::JobResult{platform::JobEnd::Cancel, message_, kNvJobStopped};

    // Stopping here would leave the printer inside the define-all data,
    // waiting for bytes that never come. The rest of the set goes out at
    // the usual pace first.
    stopDeferred_ = true;
    setStatus(nv_text::kStopDeferred);
    while (position_ < nv_.commands.size()) {
        clock_.pauseMs(delayMs_);
        const int r = sendImage(nv_.commands[position_++]);
        if (r != kOk) {
            message_ = nv_text::kWriteFailed;
            return platform::JobResult{platform::JobEnd::Cancel, message_, r};
        }
    }
    return finish().result();
}

} // namespace corvane
