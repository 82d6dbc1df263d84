#include "corvane/switches/TlvrJob.h"

#include <cstdio>
#include <functional>

namespace corvane {
namespace {

using platform::JobNext;
using T = CCommonTlvr;

// What a step's condition looks at.
struct Facts {
    std::uint32_t v;
    std::uint8_t m;
    std::string_view model;
    const CCommonTlvr& record;
};

using Condition = bool (*)(const Facts&);
using Action = int (*)(CCommonTlvr&, int arg);

bool always(const Facts&) { return true; }
bool hasSwitch3(const Facts& f) { return f.v > 1039; }
bool gsHasSwitch7(const Facts& f) { return f.v != kVersionNoSwitch7; }
bool bsHasSwitch7(const Facts& f) { return f.m != 'P'; }
bool hasSentinels(const Facts& f) { return f.v >= kVersionSentinels; }
bool hasBluetooth(const Facts& f) { return f.v >= kVersionBluetooth; }
// The KMP-Z4.. models have no black mark sensor switch to read.
bool readsBlackMark(const Facts& f) { return f.v >= kVersionBluetooth && f.model.substr(4, 2) != "Z4"; }
// Only a pair read from the printer is written back.
bool writesBlackMark(const Facts& f) { return f.v >= kVersionBluetooth && IsValidBlackMarkPair(f.record.BlackMarkSensor); }
bool hasRf(const Facts& f) { return f.v >= kVersionSentinels && f.v >= kVersionBluetooth; }

int codePageQuery(T& r, int) { return r.util().CheckPrinter(kQueryCodePage); }
int msrModeQuery(T& r, int) { return r.util().CheckPrinter(kQueryMsrMode); }
int readSwitchGs(T& r, int n) { return r.ReadSwitchGs(n); }
int readSwitchBs(T& r, int n) { return r.ReadSwitchBs(n); }
int readSerialGs(T& r, int item) { return r.ReadSerialGs(item); }
int readSerialBs(T& r, int item) { return r.ReadSerialBs(item); }
int readSentinel(T& r, int track) { return r.ReadSentinel(track); }
int readRf(T& r, int) { return r.ReadRfInterface(); }
int readBluetooth(T& r, int item) { return r.ReadBluetooth(static_cast<char>(item)); }
int beginGs(T& r, int) { return r.BeginSettingGs(); }
int beginBs(T& r, int) { return r.BeginSettingBs(); }
int writeSwitchGs(T& r, int n) { return r.WriteSwitchGs(n); }
int writeSwitchBs(T& r, int n) { return r.WriteSwitchBs(n); }
int writeSerialGs(T& r, int item) { return r.WriteSerialGs(item); }
int writeSerialBs(T& r, int) { return r.WriteSerialBs(); }
int writeSentinel(T& r, int track) { return r.WriteSentinel(track); }
int writeRf(T& r, int) { return r.WriteRfInterface(); }
int endGs(T& r, int) { return r.EndSettingGs(); }
int endBs(T& r, int) { return r.EndSettingBs(); }

struct Step {
    Action run;
    int arg;
    Condition when;
    const char* message;
    // Progress advances also when the condition skips the step.
    bool advanceWhenSkipped = false;
};

// Get, GS ( E form (timer 101).
constexpr Step kGetGs[] = {
    {codePageQuery, 0, always, "Failed to get code page!"},
    {msrModeQuery, 0, always, "Failed to get MSR mode!"},
    {readSwitchGs, 1, always, "Failed to read SW1 data!"},
    {readSwitchGs, 2, always, "Failed to read SW2 data!"},
    {readSwitchGs, 3, hasSwitch3, "Failed to read SW3 data!"},
    {readSwitchGs, 5, always, "Failed to read SW5 data!"},
    {readSwitchGs, 6, always, "Failed to read SW6 data!"},
    {readSwitchGs, 7, gsHasSwitch7, "Failed to read SW7 data!"},
    {readSwitchGs, 8, always, "Failed to read SW8 data!"},
    {readSwitchGs, 0x51, readsBlackMark, "Failed to read SW51 data!", true},
    {readSerialGs, 1, always, "Failed to read IFSW1 data!"},
    {readSerialGs, 2, always, "Failed to read IFSW2 data!"},
    {readSerialGs, 3, always, "Failed to read IFSW3 data!"},
    {readSerialGs, 4, always, "Failed to read IFSW4 data!"},
    {readSentinel, 1, hasSentinels, "Failed to read track1 sentinal code!"},
    {readSentinel, 2, hasSentinels, "Failed to read track2 sentinal code!"},
    {readSentinel, 3, hasSentinels, "Failed to read track3 sentinal code!"},
    {readRf, 0, hasRf, "Failed to read RF Interface!"},
    {readBluetooth, 'c', hasBluetooth, "Failed to read Bluetooth connection mode!"},
    {readBluetooth, 'd', hasBluetooth, "Failed to read Bluetooth device name!"},
    {readBluetooth, 'k', hasBluetooth, "Failed to read Bluetooth PIN code!"},
    {readBluetooth, 's', hasBluetooth, "Failed to read Bluetooth encryption infomation!"},
};

// Get, BS ^ E form (timer 201).
constexpr Step kGetBs[] = {
    {codePageQuery, 0, always, "Failed to get code page!"},
    {msrModeQuery, 0, always, "Failed to get MSR mode!"},
    {readSwitchBs, 1, always, "Failed to read MSW1 data!"},
    {readSwitchBs, 2, always, "Failed to read MSW2 data!"},
    {readSwitchBs, 3, always, "Failed to read MSW3 data!"},
    {readSwitchBs, 5, always, "Failed to read MSW5 data!"},
    {readSwitchBs, 6, always, "Failed to read MSW6 data!"},
    {readSwitchBs, 7, bsHasSwitch7, "Failed to read MSW7 data!"},
    {readSwitchBs, 8, always, "Failed to read MSW8 data!"},
    {readSerialBs, 1, always, "Failed to read IFSW1 data!"},
    {readSerialBs, 2, always, "Failed to read IFSW2 data!"},
    {readSerialBs, 3, always, "Failed to read IFSW3 data!"},
    {readSerialBs, 4, always, "Failed to read IFSW4 data!"},
    {readSentinel, 1, hasSentinels, "Failed to read track1 sentinal code!"},
    {readSentinel, 2, hasSentinels, "Failed to read track2 sentinal code!"},
    {readSentinel, 3, hasSentinels, "Failed to read track3 sentinal code!"},
};

// Set, GS ( E form (timer 102), steps 1 to 14; the Bluetooth write follows.
// The set messages say "read": the printer's own utility has always said so.
constexpr Step kSetGs[] = {
    {beginGs, 0, always, "Failed to set initial command!"},
    {writeSwitchGs, 1, always, "Failed to read MSW1 data!"},
    {writeSwitchGs, 2, always, "Failed to read MSW2 data!"},
    {writeSwitchGs, 3, hasSwitch3, "Failed to read MSW3 data!"},
    {writeSwitchGs, 5, always, "Failed to read MSW5 data!"},
    {writeSwitchGs, 6, always, "Failed to read MSW6 data!"},
    {writeSwitchGs, 7, gsHasSwitch7, "Failed to read MSW7 data!"},
    {writeSwitchGs, 8, always, "Failed to read MSW8 data!"},
    {writeSwitchGs, 0x51, writesBlackMark, "Failed to read SW51 data!", true},
    {writeSwitchGs, 0x49, always, ""},
    {writeSerialGs, 1, always, "Failed to read IFSW1 data!"},
    {writeSerialGs, 2, always, "Failed to read IFSW2 data!"},
    {writeSerialGs, 3, always, "Failed to read IFSW3 data!"},
    {writeSerialGs, 4, always, "Failed to read IFSW4 data!"},
    {writeSentinel, 1, hasSentinels, "Failed to set sentinal character of track1!"},
    {writeSentinel, 2, hasSentinels, "Failed to set sentinal character of track2!"},
    {writeSentinel, 3, hasSentinels, "Failed to set sentinal character of track3!"},
    {writeRf, 0, hasBluetooth, "Failed to set RF Interface!"},
    {endGs, 0, always, "Failed to write setting end command!"},
};

// Set, BS ^ E form (timer 202), steps 1 to 11; the Bluetooth write follows.
// Switch 7 left out still gets its place in the block (see runSetBs).
constexpr Step kSetBs[] = {
    {beginBs, 0, always, "Failed to set initial command!"},
    {writeSwitchBs, 1, always, "Failed to read MSW1 data!"},
    {writeSwitchBs, 2, always, "Failed to read MSW2 data!"},
    {writeSwitchBs, 3, always, "Failed to read MSW3 data!"},
    {writeSwitchBs, 5, always, "Failed to read MSW5 data!"},
    {writeSwitchBs, 6, always, "Failed to read MSW6 data!"},
    {writeSwitchBs, 7, bsHasSwitch7, "Failed to read MSW7 data!"},
    {writeSwitchBs, 8, always, "Failed to read MSW8 data!"},
    {writeSerialBs, 0, always, "Failed to set serial infomation!"},
    {endBs, 0, always, "Failed to write setting end command!"},
    {writeSentinel, 1, hasSentinels, "Failed to set sentinal character of track1!"},
    {writeSentinel, 2, hasSentinels, "Failed to set sentinal character of track2!"},
    {writeSentinel, 3, hasSentinels, "Failed to set sentinal character of track3!"},
};

constexpr const char* kBluetoothFailed = "Failed to set Bluetooth infomation!";

constexpr std::uint32_t kPhaseDelayMs = 100;
constexpr std::uint32_t kFinishAfterSetMs = 1000;
constexpr std::uint32_t kPointPauseMs = 2;
constexpr int kDefaultPoints = 99;
constexpr std::uint32_t kDefaultPointMs = 50;
constexpr int kBluetoothPoints = 20;
constexpr std::uint32_t kBluetoothPointMs = 200;

} // namespace

std::string TlvrStatusText(const char* label, int count)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s : %d %%", label, count);
    return text;
}

std::string TlvrFinishText(int count)
{
    char text[64];
    std::snprintf(text, sizeof text, "%s...: %d %%", tlvr_text::kDoneLabel, count);
    return text;
}

TlvrJob::TlvrJob(CCommonTlvr& record, int mode) : record_(record), mode_(mode)
{
    setStatus("0 %");
}

JobNext TlvrJob::start()
{
    count_ = 0;
    setProgress(0);
    switch (mode_) {
    case kTlvrModeGet:
        return JobNext::step(kTlvrTimerGet, kPhaseDelayMs);
    case kTlvrModeSet:
        return JobNext::step(kTlvrTimerSet, kPhaseDelayMs);
    case kTlvrModeDefault:
        return JobNext::step(kTlvrTimerDefault, kPhaseDelayMs);
    default:
        return JobNext::cancel({});
    }
}

JobNext TlvrJob::fire(int timerId)
{
    switch (timerId) {
    case kTlvrTimerGet:
        return getStart();
    case kTlvrTimerSet:
        return setStart();
    case kTlvrTimerDefault:
        return factoryDefault();
    case kTlvrTimerGetGs:
        return runGet(true);
    case kTlvrTimerGetBs:
        return runGet(false);
    case kTlvrTimerSetGs:
        return runSetGs();
    case kTlvrTimerSetBs:
        return runSetBs();
    case kTlvrTimerFinish:
        return finish();
    default:
        return JobNext::cancel({});
    }
}

void TlvrJob::advance(int k, const char* label, std::uint32_t pauseMs, bool fullPauses)
{
    for (int i = 0; i < k; ++i) {
        if (count_ >= 100) {
            if (!fullPauses)
                return;
            record_.clock().pauseMs(pauseMs);
            continue;
        }
        ++count_;
        setProgress(count_);
        setStatus(TlvrStatusText(label, count_));
        record_.clock().pauseMs(pauseMs);
    }
}

bool TlvrJob::openIfNeeded()
{
    CDev& port = record_.util().port;
    return port.IsOpen() || port.Open() == 1;
}

JobNext TlvrJob::formPhase(int gsTimer, int bsTimer) const
{
    return JobNext::step(record_.form() == CommandForm::Bs ? bsTimer : gsTimer, kPhaseDelayMs);
}

JobNext TlvrJob::getStart()
{
    if (!openIfNeeded())
        return JobNext::cancel(tlvr_text::kPortOpenError, kTlvrPortOpenFailed);
    advance(5, tlvr_text::kGetLabel);
    if (const int rc = record_.util().CheckPrinter(kQueryModel); rc != kOk)
        return JobNext::cancel(tlvr_text::kModelNotMatched, rc);
    advance(5, tlvr_text::kGetLabel);
    if (const int rc = record_.util().CheckPrinter(kQueryVersion); rc != kOk)
        return JobNext::cancel(tlvr_text::kNoVersion, rc);
    advance(5, tlvr_text::kGetLabel);
    return formPhase(kTlvrTimerGetGs, kTlvrTimerGetBs);
}

JobNext TlvrJob::setStart()
{
    if (!openIfNeeded())
        return JobNext::cancel(tlvr_text::kPortOpenError, kTlvrPortOpenFailed);
    advance(5, tlvr_text::kSetLabel);
    return formPhase(kTlvrTimerSetGs, kTlvrTimerSetBs);
}

JobNext TlvrJob::factoryDefault()
{
    if (!openIfNeeded())
        return JobNext::cancel(tlvr_text::kPortOpenError, kTlvrPortOpenFailed);
    advance(5, tlvr_text::kSetLabel);
    if (const int rc = record_.SetFactoryDefault(); rc != kOk)
        return JobNext::cancel(tlvr_text::kFactoryFailed, rc);
    advance(kDefaultPoints, tlvr_text::kSetLabel, kDefaultPointMs, true);
    return JobNext::step(kTlvrTimerFinish, kPhaseDelayMs);
}

namespace {

// Runs the steps in order; the first failure ends the job.
template <std::size_t N>
bool runSteps(const Step (&steps)[N], CCommonTlvr& record, int points,
              const std::function<void(int)>& advance, JobNext& failure)
{
    const CCommonUtil& util = record.util();
    for (const Step& step : steps) {
        const Facts facts{util.g_Getver, util.msrMode, util.modelName, record};
        if (!step.when(facts)) {
            if (step.advanceWhenSkipped)
                advance(points);
            continue;
        }
        if (const int rc = step.run(record, step.arg); rc != kOk) {
            failure = JobNext::cancel(step.message, rc);
            return false;
        }
        advance(points);
    }
    return true;
}

} // namespace

JobNext TlvrJob::runGet(bool gs)
{
    JobNext failure = JobNext::cancel({});
    const auto step = [this](int k) { advance(k, tlvr_text::kGetLabel); };
    const bool ok = gs ? runSteps(kGetGs, record_, 4, step, failure) : runSteps(kGetBs, record_, 4, step, failure);
    if (!ok)
        return failure;
    return JobNext::step(kTlvrTimerFinish, kPhaseDelayMs);
}

JobNext TlvrJob::runSetGs()
{
    JobNext failure = JobNext::cancel({});
    const auto step = [this](int k) { advance(k, tlvr_text::kSetLabel); };
    if (!runSteps(kSetGs, record_, 4, step, failure))
        return failure;
    // The finishing timer starts here, before the Bluetooth write: its
    // period runs while the write and its pauses go on.
    const std::uint64_t timerStarted = record_.clock().tickMs();
    if (record_.SkipBluetooth == 0) {
        if (const int rc = record_.WriteBluetooth(); rc != kOk)
            return JobNext::cancel(kBluetoothFailed, rc);
        advance(kBluetoothPoints, tlvr_text::kSetLabel, kBluetoothPointMs, true);
    }
    const std::uint64_t spent = record_.clock().tickMs() - timerStarted;
    const auto left = spent >= kFinishAfterSetMs ? 0u : static_cast<std::uint32_t>(kFinishAfterSetMs - spent);
    return JobNext::step(kTlvrTimerFinish, left);
}

JobNext TlvrJob::runSetBs()
{
    JobNext failure = JobNext::cancel({});
    const auto step = [this](int k) { advance(k, tlvr_text::kSetLabel); };
    const CCommonUtil& util = record_.util();
    for (const Step& s : kSetBs) {
        const Facts facts{util.g_Getver, util.msrMode, util.modelName, record_};
        if (!s.when(facts)) {
            // The switch block's header declares all seven switches: a
            // switch left out keeps its place as "leave unchanged", or the
            // printer would take the next command's bytes as switch data.
            if (s.run == writeSwitchBs) {
                if (const int rc = record_.WriteSwitchBsUnchanged(); rc != kOk)
                    return JobNext::cancel(s.message, rc);
            }
            continue;
        }
        if (const int rc = s.run(record_, s.arg); rc != kOk)
            return JobNext::cancel(s.message, rc);
        step(7);
    }
    if (record_.SkipBluetooth == 0) {
        if (const int rc = record_.WriteBluetooth(); rc != kOk)
            return JobNext::cancel(kBluetoothFailed, rc);
        advance(kBluetoothPoints, tlvr_text::kSetLabel, kBluetoothPointMs, true);
    }
    return JobNext::step(kTlvrTimerFinish, kFinishAfterSetMs);
}

JobNext TlvrJob::finish()
{
    while (count_ < 100) {
        ++count_;
        setProgress(count_);
        setStatus(TlvrFinishText(count_));
        record_.clock().pauseMs(kPointPauseMs);
    }
    return JobNext::ok();
}

} // namespace corvane
