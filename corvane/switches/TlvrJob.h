// The memory switch job: read every setting (get), write them (set) or
// restore the factory settings (default), as a chain of timer phases.
//
// Phases (timer ids):
//   1000  get: open the port if needed, model and version queries, then
//         101 (GS ( E) or 201 (BS ^ E) by the version rule
//   2000  set: open the port if needed, then 102 or 202 (no identification:
//         the get before it identified the printer)
//   3000  default: open if needed, the factory sequence, 99 x 50 ms
//   101/201   the get step table of the form
//   102/202   the set step table of the form (102 starts the finishing
//             timer, 1000 ms, before its Bluetooth step)
//   9999  finish: the progress rises to 100 in 2 ms steps, then OK
//
// A failing step ends the job with Cancel, the step's message and the
// step's result code (JobResult::code; kTlvrPortOpenFailed when the port
// did not open). The values read before a failure stay in the record. After
// a failed set or default the printer may still be in its user setting
// mode: nothing is sent to leave it, the technician switches it off and on.
//
// Progress: "Get status : 45 %" during a get, "Set status : 45 %" during a
// set or default, "Completed....: 100 %" at the end; the count never
// exceeds 100, and each point costs a 2 ms pause (the fixed waits keep
// their full length even once the count has reached 100).
#pragma once

#include "corvane/switches/CCommonTlvr.h"
#include "platform/job.h"

#include <string>

namespace corvane {

enum TlvrMode : int {
    kTlvrModeNone = 0,
    kTlvrModeGet = 1,
    kTlvrModeSet = 2,
    kTlvrModeDefault = 3,
};

enum TlvrTimer : int {
    kTlvrTimerGet = 1000,
    kTlvrTimerSet = 2000,
    kTlvrTimerDefault = 3000,
    kTlvrTimerGetGs = 101,
    kTlvrTimerSetGs = 102,
    kTlvrTimerGetBs = 201,
    kTlvrTimerSetBs = 202,
    kTlvrTimerFinish = 9999,
};

// JobResult::code when the port could not be opened.
inline constexpr int kTlvrPortOpenFailed = -1;

namespace tlvr_text {
inline constexpr const char* kCaption = "Telvara";
inline constexpr const char* kGetLabel = "Get status";
inline constexpr const char* kSetLabel = "Set status";
inline constexpr const char* kDoneLabel = "Completed.";
inline constexpr const char* kPortOpenError = "Port open error!";
inline constexpr const char* kModelNotMatched = "Printer model is not matched!";
inline constexpr const char* kNoVersion = "Failed to get printer version!";
inline constexpr const char* kFactoryFailed = "Failed to set factory default!";
} // namespace tlvr_text

// "Get status : 45 %"
std::string TlvrStatusText(const char* label, int count);
// "Completed....: 100 %"
std::string TlvrFinishText(int count);

class TlvrJob final : public platform::Job {
public:
    TlvrJob(CCommonTlvr& record, int mode);

    platform::JobNext start() override;
    platform::JobNext fire(int timerId) override;

    int mode() const { return mode_; }
    int count() const { return count_; }

private:
    platform::JobNext getStart();
    platform::JobNext setStart();
    platform::JobNext factoryDefault();
    platform::JobNext runGet(bool gs);
    platform::JobNext runSetGs();
    platform::JobNext runSetBs();
    platform::JobNext finish();
    platform::JobNext formPhase(int gsTimer, int bsTimer) const;

    bool openIfNeeded();
    // Advances by k points with `pauseMs` per point. `fullPauses`: the
    // pauses run even once the count has reached 100.
    void advance(int k, const char* label, std::uint32_t pauseMs = 2, bool fullPauses = false);

    CCommonTlvr& record_;
    int mode_;
    int count_ = 0;
};

} // namespace corvane
