#include "telvara/manager/SwitchExchange.h"

#include "telvara/link/IdReplies.h"

#include <algorithm>

namespace telvara {
namespace {

constexpr std::uint8_t kReset[] = {0x1b, 0x40};
constexpr std::uint8_t kPeripheral[] = {0x1b, 0x3d, 0x01};
constexpr std::uint8_t kStatusBackOff[] = {0x1d, 0x61, 0x00};
constexpr std::uint8_t kPrinterId[] = {0x1d, 0x49, 0x03};
constexpr std::uint8_t kModelQuery[] = {0x1d, 0x49, 0x43};
constexpr std::uint8_t kVersionQuery[] = {0x1d, 0x49, 0x41};
constexpr std::uint8_t kLanguageQuery[] = {0x1d, 0x49, 0x45};
constexpr std::string_view kModelMark = "KTP-";

// A single reply never needs more reads than this; with the time bound it
// keeps a link that answers every read at once from spinning forever.
constexpr int kReadCountBound = 4096;
// The longest reply a switch read may take, strays included, before it is
// given up as garbage.
constexpr std::size_t kSwitchReplyBufferBound = 512;
// "7", "!", eight characters, NUL.
constexpr std::size_t kSwitchReplyLength = 11;

// What the window shows when a Set chose a double byte font: downloading
// font data is not built yet, so nothing is downloaded.
constexpr texts::Message kFontDownloadNotBuilt{"The font download is not available yet: no font was downloaded.",
                                               texts::kCaptionInformation, texts::Icon::Information};

} // namespace

bool SwitchExchange::byteKind() const
{
    return link_.kind() == LinkKind::Serial || link_.kind() == LinkKind::Parallel;
}

bool SwitchExchange::send(const std::uint8_t* bytes, std::size_t length)
{
    const int n = static_cast<int>(length);
    return link_.Write(bytes, n) == n;
}

void SwitchExchange::drain()
{
    const std::uint64_t start = clock_.tickMs();
    int empty = 0;
    for (int reads = 0; reads < kReadCountBound; ++reads) {
        std::uint8_t byte = 0;
        empty = link_.Read(&byte, 1) > 0 ? 0 : empty + 1;
        if (empty >= kDrainEmptyReads || clock_.tickMs() - start >= kDrainBoundMs)
            return;
        clock_.pauseMs(kDrainStepMs);
    }
}

void SwitchExchange::discardReads()
{
    for (int i = 0; i < kDiscardReads; ++i) {
        clock_.pauseMs(kByteReadPauseMs);
        std::uint8_t byte = 0;
        link_.Read(&byte, 1);
    }
}

bool SwitchExchange::printerId()
{
    if (link_.kind() == LinkKind::Usb) {
        clock_.pauseMs(kPacketPauseMs);
        std::array<std::uint8_t, kPacketReadBytes> reply{};
        int n = link_.Read(reply.data(), kPacketReadBytes);
        if (n <= 0)
            n = link_.Read(reply.data(), kPacketReadBytes);
        return IsPrinterIdReply(ByteView(reply.data(), static_cast<std::size_t>(std::max(n, 0))));
    }
    clock_.pauseMs(kByteReadPauseMs);
    std::uint8_t byte = 0;
    if (link_.Read(&byte, 1) == 1 && byte == kPrinterIdByte)
        return true;
    if (!byteKind())
        return false;
    for (int retry = 0; retry < kIdRetries; ++retry) {
        clock_.pauseMs(kByteReadPauseMs);
        if (link_.Read(&byte, 1) == 1 && byte == kPrinterIdByte)
            return true;
    }
    return false;
}

std::string SwitchExchange::textReply(int packetBytes)
{
    if (!byteKind()) {
        clock_.pauseMs(kPacketPauseMs);
        std::vector<std::uint8_t> reply(static_cast<std::size_t>(packetBytes));
        int n = link_.Read(reply.data(), packetBytes);
        if (n <= 0)
            n = link_.Read(reply.data(), packetBytes);
        const std::size_t got = static_cast<std::size_t>(std::clamp(n, 0, packetBytes));
        // The text starts after the "_" the printer puts first.
        const std::size_t from = got > 0 && reply[0] == '_' ? 1 : 0;
        std::string text;
        for (std::size_t i = from; i < got && reply[i] != 0; ++i)
            text.push_back(static_cast<char>(reply[i]));
        return text;
    }
    clock_.pauseMs(kByteReadPauseMs);
    TextCollector collector;
    const std::uint64_t start = clock_.tickMs();
    for (int reads = 0; reads < kReadCountBound && !collector.done(); ++reads) {
        std::uint8_t byte = 0;
        if (link_.Read(&byte, 1) == 1) {
            collector.feed(byte);
            continue;
        }
        if (collector.anyByte() || clock_.tickMs() - start >= kTextSilenceBoundMs)
            break;
    }
    discardReads();
    return collector.text();
}

SwitchExchange::Identity SwitchExchange::firmwareAndLanguage()
{
    if (byteKind())
        drain();
    Identity id;
    send(kVersionQuery);
    id.firmware = textReply(kVersionReadBytes);
    send(kLanguageQuery);
    id.language = textReply(kVersionReadBytes);
    return id;
}

std::optional<SwitchPins> SwitchExchange::switchReply()
{
    const bool bytes = byteKind();
    clock_.pauseMs(bytes ? kByteReadPauseMs : kPacketPauseMs);
    std::vector<std::uint8_t> got;
    const std::uint64_t start = clock_.tickMs();
    bool headerSeen = false;
    for (int reads = 0; reads < kReadCountBound; ++reads) {
        std::array<std::uint8_t, kPacketReadBytes> chunk{};
        int want = kPacketReadBytes;
        if (bytes)
            // One byte at a time until the "7"; then the ten bytes after it.
            want = headerSeen && got.size() < kSwitchReplyLength
                       ? static_cast<int>(kSwitchReplyLength - got.size())
                       : 1;
        const int n = link_.Read(chunk.data(), want);
        if (n > 0) {
            got.insert(got.end(), chunk.begin(), chunk.begin() + std::min(n, want));
            const SwitchReply reply = ParseSwitchReply(got);
            if (reply.status == SwitchReplyStatus::Complete)
                return reply.pins;
            if (reply.status == SwitchReplyStatus::Garbage)
                return std::nullopt;
            // Strays before the "7" are dropped so the buffer stays small.
            got.erase(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(reply.used));
            headerSeen = !got.empty();
            if (got.size() > kSwitchReplyBufferBound)
                return std::nullopt;
        }
        if (clock_.tickMs() - start >= kSwitchReplyBoundMs)
            return std::nullopt;
    }
    return std::nullopt;
}

void SwitchExchange::settingModeReply()
{
    std::array<std::uint8_t, kPacketReadBytes> reply{};
    if (!byteKind()) {
        clock_.pauseMs(kPacketPauseMs);
        if (link_.Read(reply.data(), kPacketReadBytes) <= 0)
            link_.Read(reply.data(), kPacketReadBytes);
        return;
    }
    clock_.pauseMs(kByteReadPauseMs);
    link_.Read(reply.data(), kSettingModeReplyBytes);
}

// ---- The job ---------------------------------------------------------------------

SwitchJob::SwitchJob(SwitchOp op, PortLink& link, platform::Clock& clock, StatusModel& model, bool opening)
    : op_(op), x_(link, clock), clock_(clock), model_(model), opening_(opening)
{
}

bool SwitchJob::modelCheck()
{
    const SwitchExchange::Identity id = x_.firmwareAndLanguage();
    x_.send(kModelQuery);
    setProgress(10);
    const std::string modelText = x_.textReply(SwitchExchange::kPacketReadBytes);
    setProgress(30);
    if (modelText.find(kModelMark) == std::string::npos) {
        outcome_.messages = {texts::kNameMismatch, texts::kNotOurProduct};
        outcome_.errorKey = "product";
        return false;
    }
    model_.setIdentity(modelText, id.firmware, id.language);
    return true;
}

bool SwitchJob::verify()
{
    if (!x_.send(kReset)) {
        outcome_.messages = {texts::kNoPrinter};
        outcome_.errorKey = "printer";
        setProgress(0);
        return false;
    }
    if (x_.byteKind())
        x_.discardReads();
    x_.send(kPeripheral);
    if (model_.settingPage.modelText.empty() && !modelCheck())
        return false;
    setProgress(50);
    x_.send(kStatusBackOff);
    if (x_.byteKind())
        x_.discardReads();
    setProgress(70);
    x_.send(kPrinterId);
    const bool answered = x_.printerId();
    setProgress(90);
    if (!answered) {
        outcome_.messages = {texts::kNoPrinter};
        outcome_.errorKey = "printer";
        setProgress(0);
        return false;
    }
    return true;
}

platform::JobNext SwitchJob::finish(bool ok)
{
    ended_ = true;
    outcome_.ok = ok;
    const std::string_view text = outcome_.messages.empty() ? std::string_view{} : outcome_.messages.back().text;
    if (ok)
        return platform::JobNext::ok(std::string(text));
    return platform::JobNext::cancel(std::string(text));
}

platform::JobNext SwitchJob::linkLost()
{
    outcome_.messages = {texts::kSetLinkLost};
    outcome_.errorKey = "link-lost";
    outcome_.controls = ControlsAfter::All;
    outcome_.fontDownload = 0;
    return finish(false);
}

platform::JobNext SwitchJob::start()
{
    setProgressRange(0, 100);
    setProgress(0);
    if (op_ == SwitchOp::PrintCodepage)
        return platform::JobNext::step(kPrint, 0);
    return platform::JobNext::step(kVerify, 0);
}

platform::JobNext SwitchJob::afterVerify()
{
    switch (op_) {
    case SwitchOp::Verify:
        outcome_.controls = opening_ ? ControlsAfter::GetAndExit : ControlsAfter::All;
        return finish(true);
    case SwitchOp::Get:
        reads_ = {};
        return platform::JobNext::step(kReadFirst, 0);
    case SwitchOp::Set:
        setProgress(0);
        return platform::JobNext::step(kEnter, 0);
    case SwitchOp::PrintStatus:
    case SwitchOp::PrintCodepage:
        return platform::JobNext::step(kPrint, 0);
    }
    return finish(false);
}

platform::JobNext SwitchJob::fire(int timerId)
{
    if (timerId == kVerify) {
        if (!verify()) {
            outcome_.controls = opening_ ? ControlsAfter::CloseDialog : ControlsAfter::ExitOnly;
            return finish(false);
        }
        return afterVerify();
    }
    if (timerId >= kReadFirst && timerId < kReadFirst + kSwitchCount) {
        const int slot = timerId - kReadFirst;
        x_.send(SwitchReadCommand(kSwitchNumbers[static_cast<std::size_t>(slot)]));
        reads_[static_cast<std::size_t>(slot)] = x_.switchReply();
        setProgress((slot + 1) * 100 / kSwitchCount);
        return platform::JobNext::step(slot + 1 < kSwitchCount ? timerId + 1 : kReadDone, 0);
    }
    if (timerId == kReadDone) {
        if (x_.byteKind())
            x_.discardReads();
        x_.send(kPeripheral);
        setProgress(100);
        for (std::size_t slot = 0; slot < reads_.size(); ++slot)
            if (!reads_[slot])
                outcome_.missingSwitches.push_back(kSwitchNumbers[slot]);
        const bool complete = model_.takeGet(reads_);
        outcome_.controls = ControlsAfter::All;
        setProgress(0);
        if (!complete) {
            outcome_.messages = {texts::kNoPrinter};
            outcome_.errorKey = "incomplete";
            return finish(false);
        }
        outcome_.messages = {texts::kGetDone};
        return finish(true);
    }
    if (timerId == kEnter) {
        setProgress(10);
        if (!x_.send(kEnterSettingMode))
            return linkLost();
        x_.settingModeReply();
        sent_.clear();
        return platform::JobNext::step(kWriteFirst, 0);
    }
    if (timerId >= kWriteFirst && timerId < kWriteFirst + kSwitchCount) {
        const int slot = timerId - kWriteFirst;
        const int sw = kSwitchNumbers[static_cast<std::size_t>(slot)];
        if (!x_.send(SwitchWriteCommand(model_.matrix, sw)))
            return linkLost();
        sent_.push_back("MSW" + std::to_string(sw) + " " + SwitchWriteText(model_.matrix, sw));
        setProgress(10 + (slot + 1) * 10);
        return platform::JobNext::step(slot + 1 < kSwitchCount ? timerId + 1 : kLeave, 0);
    }
    if (timerId == kLeave) {
        if (!x_.send(kLeaveSettingMode))
            return linkLost();
        clock_.pauseMs(SwitchExchange::kAfterLeaveMs);
        x_.send(kPeripheral);
        return platform::JobNext::step(kStoreFirst, SwitchExchange::kStoreWaitMs);
    }
    if (timerId >= kStoreFirst && timerId <= kStoreLast) {
        // The printer stores the switches meanwhile; the bar moves on.
        setProgress(std::min(100, progress().value + 5));
        if (timerId < kStoreLast)
            return platform::JobNext::step(timerId + 1, SwitchExchange::kStoreWaitMs);
        return platform::JobNext::step(kEnding, 0);
    }
    if (timerId == kEnding) {
        model_.pinPage.refresh(model_.matrix);
        setProgress(100);
        const SetEnding ending =
            DecideSetEnding(true, model_.settingPage.selected(Setting::DoubleByteFont), model_.firmwareOld);
        outcome_.controls = ControlsAfter::All;
        if (ending.rereadIdentity) {
            const SwitchExchange::Identity id = x_.firmwareAndLanguage();
            model_.setIdentity(model_.settingPage.modelText, id.firmware, id.language);
            model_.settingPage.refresh(model_.matrix);
        }
        outcome_.fontDownload = ending.fontDownload;
        if (ending.fontDownload != 0) {
            // The font download job for `ending.fontDownload` starts here once
            // it exists; controlsHeld() then stays true until it has ended.
            // Until then the set reports that nothing was downloaded.
            outcome_.messages = {kFontDownloadNotBuilt};
        } else {
            outcome_.messages = {ending.message};
        }
        return finish(true);
    }
    if (timerId == kPrint) {
        const bool whole =
            op_ == SwitchOp::PrintStatus ? x_.send(kPrintStatusCommand) : x_.send(kPrintCodepageCommand);
        outcome_.controls = ControlsAfter::All;
        if (!whole) {
            outcome_.messages = {texts::kSetLinkLost};
            outcome_.errorKey = "link-lost";
            return finish(false);
        }
        return finish(true);
    }
    return finish(false);
}

platform::JobResult SwitchJob::cancelled()
{
    ended_ = true;
    outcome_.ok = false;
    if (outcome_.controls == ControlsAfter::Unchanged)
        outcome_.controls = ControlsAfter::All;
    return platform::JobResult{platform::JobEnd::Cancel, {}, 0};
}

SwitchOutcome RunSwitchJob(SwitchJob& job, platform::Clock& clock)
{
    platform::runJob(job, clock);
    SwitchOutcome o = job.outcome();
    // Stopped between phases (a signal): not a success, whatever ran.
    if (!job.ended() || (!o.ok && o.errorKey.empty())) {
        o.ok = false;
        if (o.errorKey.empty())
            o.errorKey = "stopped";
    }
    return o;
}

} // namespace telvara
