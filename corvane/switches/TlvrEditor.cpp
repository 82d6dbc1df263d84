#include "corvane/switches/TlvrEditor.h"

#include "corvane/shell/CorvaneRegistry.h"
#include "corvane/switches/TlvrJob.h"

namespace corvane {
namespace {

void closePort(CCommonTlvr& record)
{
    if (record.util().port.IsOpen())
        record.util().port.Close();
}

} // namespace

TlvrEditorResult RunTlvrEditor(CCommonTlvr& record, platform::RegistryStore& store, const TlvrEditorHooks& hooks)
{
    TlvrEditorResult result;
    record.LoadSettings(store, kCorvaneRegistryKey);

    TlvrJob get(record, kTlvrModeGet);
    result.job = hooks.runJob(get);
    if (result.job.end != platform::JobEnd::Ok) {
        closePort(record);
        hooks.showMessage(result.job.message, tlvr_text::kEditorCaption);
        result.outcome = TlvrEditorOutcome::GetFailed;
        return result;
    }

    const PagesChoice choice = hooks.showPages(record);
    if (choice == PagesChoice::Cancel) {
        closePort(record);
        result.outcome = TlvrEditorOutcome::PagesCancelled;
        return result;
    }

    TlvrJob set(record, choice == PagesChoice::Default ? kTlvrModeDefault : kTlvrModeSet);
    result.job = hooks.runJob(set);
    if (result.job.end != platform::JobEnd::Ok) {
        closePort(record);
        hooks.showMessage(tlvr_text::kSetFailed, tlvr_text::kEditorCaption);
        result.outcome = TlvrEditorOutcome::SetFailed;
        return result;
    }
    result.saved = SaveTlvrRecord(store, kCorvaneRegistryKey, record);
    closePort(record);
    hooks.showMessage(tlvr_text::kSetDone, tlvr_text::kEditorCaption);
    result.outcome = TlvrEditorOutcome::Done;
    return result;
}

} // namespace corvane
