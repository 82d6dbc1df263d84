// "Printer Setting 2": printer service, beeps, black mark sensor, MFi mode,
// the two power time edits, the MSR trigger and "Advance" (the sentinel
// dialog), over TlvrPage2Model.
//
// An edit's value is checked when the user finishes it (Return, or the
// focus leaving it): a value out of range shows the standard range message
// (caption "Telvara"), puts the focus back and keeps the last valid value.
//
// Object names of the controls:
//   serviceList          "Printer Service" list
//   beepPaperList        "Beep For Roll Paper End" list
//   beepLowBatteryList   "Beep Mode For Low Battery End" list
//   blackMarkList        "Black Mark Sensor" list
//   mfiList              "MFi Mode (iOS)" list
//   powerOffEdit         "Auto Power Off Time (Not Connected)"
//   powerSavingEdit      "Auto Power Saving Time (Connected)"
//   msrList              "MSR Trigger" list
//   advanceButton        "Advance"
#pragma once

#include "corvane/switches/CDlgTLVR.h"
#include "corvane/switches/TlvrPages.h"
#include "platform/qt/Prompter.h"

#include <QWidget>

#include <optional>
#include <string>

class QLineEdit;
class QPushButton;

namespace corvane {

class CDlgTLVRTab2 : public QWidget {
    Q_OBJECT
public:
    CDlgTLVRTab2(TlvrPage2Model& model, const CCommonTlvr& record, platform::qt::Prompter& prompter,
                 TlvrAdvanceHook advance, QWidget* parent = nullptr);

    TlvrPage2Model& Model() { return model_; }

    // "Advance": the sentinel dialog on the page's sentinel settings.
    void OnAdvance();
    // The user finished editing one of the time edits.
    void OnPowerOffEdited();
    void OnPowerSavingEdited();

private:
    void checkEdit(QLineEdit* edit, const std::optional<std::string>& problem);

    TlvrPage2Model& model_;
    CCommonTlvr scratch_;   // carries the sentinel settings to and from the sentinel dialog
    platform::qt::Prompter& prompter_;
    TlvrAdvanceHook advance_;
    QLineEdit* powerOff_ = nullptr;
    QLineEdit* powerSaving_ = nullptr;
    QPushButton* advanceButton_ = nullptr;
};

} // namespace corvane
