// The NV image worker: one NV job against the printer as a chain of timer
// phases (platform/job.h), with the worker's fixed pacing, progress and
// messages.
//
// Phases (timer ids):
//   1     open the port if needed (+5), identify once per printer-identified
//         flag: model (+5), version (+5); then the job's phase after 100 ms.
//         A download also checks here that the printer is still the one its
//         commands were converted for.
//   1000  get addresses: indexed LoadIndexedList, key-code ReadKeyList;
//         0 and 400 succeed (+20), then 9999
//   1001  delete the selected key (+5; key-code only), announce 20 x 50 ms,
//         then 1000 so the address list is current
//   1002  delete all (+5), announce 20 x 100 ms, then 1000
//   1003  download (+5): indexed sends the define-all header; then 2000
//   2000  one command per phase, +trunc(70 x length / total), the next after
//         100 ms (indexed) or 1000 ms (key-code); when none is left announce
//         5 x 500 ms, then 9999
//   1004  print all (+5), announce 80 x 0 ms, then 9999
//   1005  print the selected image (+5), announce 99 x 0 ms, then 9999
//   9999  the progress rises to 100 in 2 ms steps, then Ok
// Every job phase is started 100 ms after the one before it. A progress
// step costs 2 ms ("advance"), an announce step its own pause.
//
// Progress counts past 100 where the steps add up beyond it (job 1005 ends
// at 104); JobProgress::shown() is what a bar shows.
//
// A failure ends the job with Cancel, its message and a code (the failed
// operation's result code, or one of kNvJob... below). A Cancel request
// between phases ends the job with the preset message "Download process is
// stoped..." and leaves the port open, except in an indexed download between
// the define-all header and its last block: the printer would be left in the
// middle of the set's data, so the stop is deferred, the status says so, the
// remaining blocks are sent at the usual pace and the job finishes.
#pragma once

#include "corvane/nv/CCommonNv.h"
#include "platform/job.h"
#include "platform/registry_store.h"

#include <cstddef>
#include <string>

namespace corvane {

enum NvJobCode : int {
    kNvJobAddresses = 1000,
    kNvJobDeleteSelected = 1001,
    kNvJobDeleteAll = 1002,
    kNvJobDownload = 1003,
    kNvJobPrintAll = 1004,
    kNvJobPrintSelected = 1005,
};

enum NvTick : int {
    kNvTickOpen = 1,
    kNvTickNextImage = 2000,
    kNvTickFinish = 9999,
};

// JobResult::code of failures that have no operation result of their own.
inline constexpr int kNvJobPortOpenFailed = -1;
inline constexpr int kNvJobStopped = -3;          // a Cancel request honoured
inline constexpr int kNvJobUnsupported = kNotSupported;
inline constexpr int kNvJobModelChanged = 405;    // commands built for another printer
inline constexpr int kNvJobNoCountStore = -4;     // an indexed job without the count's store

namespace nv_text {
inline constexpr const char* kCaption = "NV Image Manager";
inline constexpr const char* kStopped = "Download process is stoped...";
inline constexpr const char* kPrintSelected = "Print selected NV image...";
inline constexpr const char* kPrintAll = "Print all NV image...";
inline constexpr const char* kPortOpenError = "Port open error!";
inline constexpr const char* kModelNotMatched = "Printer model is not matched!";
inline constexpr const char* kNoVersion = "Failed to get printer version!";
inline constexpr const char* kReadAddressFailed = "Failed to read NV image address!";
inline constexpr const char* kDeleteSelected = "Delete selected NV image...";
inline constexpr const char* kWriteFailed = " Failed to write data!\r\nPlease check your printer.";
inline constexpr const char* kNotSupported = " Not supported operation!";
inline constexpr const char* kDeleteAll = "Delete all NV image...";
inline constexpr const char* kDownloading = " Downloading...";
inline constexpr const char* kFinishDownload = "Finish download...";
inline constexpr const char* kStopDeferred = "Finishing the NV image set; stop deferred...";
inline constexpr const char* kProgressing = "Progressing...";
} // namespace nv_text

class NvJob final : public platform::Job {
public:
    // `job` is one of NvJobCode. The indexed family's get-addresses and
    // delete-all need the registry store of the stored count
    // (setCountStore); without one they fail as their command would.
    NvJob(CCommonNv& nv, int job, platform::Clock& clock = platform::systemClock());

    // Jobs 1001 (key-code) and 1005: the stored address chosen, and for the
    // indexed family its index in the list.
    void setSelection(std::string keyCode, int index);
    void setCountStore(platform::RegistryStore& store, std::string keyPath = kNvRegistryKey);

    platform::JobNext start() override;
    platform::JobNext fire(int timerId) override;
    platform::JobResult cancelled() override;

    int job() const { return job_; }
    // The text for the caller should the job end with Cancel.
    const std::string& message() const { return message_; }
    // Job 1003: commands sent completely, in list order. For the indexed
    // family the printer's set holds this many images once the download
    // ended with all of them sent (a download replaces the set).
    std::size_t imagesSent() const { return imagesSent_; }
    bool headerSent() const { return headerSent_; }
    bool stopDeferred() const { return stopDeferred_; }

private:
    platform::JobNext openAndIdentify();
    platform::JobNext getAddresses();
    platform::JobNext deleteSelected();
    platform::JobNext deleteAll();
    platform::JobNext download();
    platform::JobNext nextImage();
    platform::JobNext printAll();
    platform::JobNext printSelected();
    platform::JobNext finish();

    platform::JobNext fail(const char* text, int code);
    int sendImage(const NvCommand& command);
    void advance(int n);
    void announce(const char* text, int n, std::uint32_t pauseMs);

    CCommonNv& nv_;
    int job_;
    platform::Clock& clock_;
    platform::RegistryStore* store_ = nullptr;
    std::string keyPath_ = kNvRegistryKey;

    std::uint32_t delayMs_ = 1000;
    std::uint64_t total_ = 0;
    std::size_t position_ = 0;
    std::string keyCode_;
    int index_ = 0;
    int progress_ = 0;
    std::string message_ = nv_text::kStopped;

    std::size_t imagesSent_ = 0;
    bool headerSent_ = false;
    bool stopDeferred_ = false;
};

} // namespace corvane
