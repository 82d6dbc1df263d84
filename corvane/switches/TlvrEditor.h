// The memory switch editor's flow, shared by the window and the command
// line: load the saved record, get it from the printer, let the pages (or
// the command line's input) change it, set or restore the factory settings,
// save the record and report.
//
//   1 LoadSettings from Corvane's key
//   2 the get job; Cancel: close the port, show its message ("Corvane")
//   3 the pages; Cancel: close the port, nothing shown
//   4 the set job (or the default job when the pages chose Default)
//   5 Cancel: close the port, show "Failed to save TLVR configuration!..."
//   6 OK: SaveSettings, close the port, show "Success to set TLVR ..."
#pragma once

#include "corvane/switches/CCommonTlvr.h"
#include "platform/job.h"
#include "platform/registry_store.h"

#include <functional>
#include <string>

namespace corvane {

namespace tlvr_text {
inline constexpr const char* kEditorCaption = "Corvane";
inline constexpr const char* kSetFailed = "Failed to save TLVR configuration!\r\nPlease check your printer state.";
inline constexpr const char* kSetDone = "Success to set TLVR configuration! \r\nPlease reset printer power.";
} // namespace tlvr_text

enum class PagesChoice { Cancel, Save, Default };

enum class TlvrEditorOutcome {
    GetFailed,        // the get job ended with Cancel
    PagesCancelled,
    SetFailed,        // the set or default job ended with Cancel
    Done,             // set or default succeeded and the record was saved
};

struct TlvrEditorHooks {
    // Runs a job to its end (a progress window, or runJob on a clock).
    std::function<platform::JobResult(platform::Job&)> runJob;
    // Shows the record on the pages, lets the user change it and says how
    // they closed. Changes are made on `record` only when the result is not
    // Cancel.
    std::function<PagesChoice(CCommonTlvr& record)> showPages;
    // A message box.
    std::function<void(const std::string& text, const std::string& caption)> showMessage;
};

struct TlvrEditorResult {
    TlvrEditorOutcome outcome = TlvrEditorOutcome::GetFailed;
    platform::JobResult job;   // the last job's result
    bool saved = false;        // the record reached the store
};

TlvrEditorResult RunTlvrEditor(CCommonTlvr& record, platform::RegistryStore& store, const TlvrEditorHooks& hooks);

} // namespace corvane
