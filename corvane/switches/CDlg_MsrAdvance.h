// "Advanced MSR Settings": the MSR sentinel option and the start and end
// codes of the three tracks, typed as characters or as hexadecimal byte
// pairs. A thin window over MsrAdvanceModel, which holds every rule.
//
// Codes are byte strings, in the record's order: track 1 start, track 2
// start, track 3 start, track 1 end, track 2 end, track 3 end (MsrCodeSlot).
// The edit boxes show them as Latin-1, one character per byte, so every
// byte read from the printer comes back unchanged.
//
// "OK" runs the model's checks; a refusal is shown through the Prompter
// ("Invalid value!\r\n<reason>", caption "Telvara") and the dialog stays
// open. The dialog always opens in character mode.
//
// Object names of the controls, for tests:
//   "optionGroup"       group "Sentinal Option"
//   "noneRadio"         "None"
//   "staticRadio"       "Static Sentinal"
//   "dynamicRadio"      "Dynamic Sentinal"
//   "track1StartEdit"   "Track1 Start Code"
//   "track1EndEdit"     "Track1 End Code"
//   "track2StartEdit"   "Track2 Start Code"
//   "track2EndEdit"     "Track2 End Code"
//   "track3StartEdit"   "Track3 Start Code"
//   "track3EndEdit"     "Track3 End Code"
//   "hexCheck"          the input mode check box
//   "okButton"          "OK"
//   "cancelButton"      "Cancel"
#pragma once

#include "corvane/switches/MsrAdvanceModel.h"
#include "platform/qt/Prompter.h"

#include <QDialog>

#include <array>
#include <string>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace corvane {

class CDlg_MsrAdvance : public QDialog {
    Q_OBJECT
public:
    // `option` 0 none, 1 static, 2 dynamic (anything else selects no radio
    // button); `codes` in MsrCodeSlot order.
    CDlg_MsrAdvance(int option, const MsrCodes& codes, platform::qt::Prompter& prompter,
                    QWidget* parent = nullptr);

    // After Accepted: what to keep.
    int Option() const { return model_.resultOption(); }
    const MsrCodes& Codes() const { return model_.resultCodes(); }
    const MsrAdvanceModel& Model() const { return model_; }
    // The edit box of a slot.
    QLineEdit* CodeEdit(int slot) const { return edits_.at(static_cast<std::size_t>(slot)); }

    // Shows the dialog modally. On "OK" writes the option and the codes
    // back and returns true; on "Cancel" leaves them and returns false.
    static bool EditSentinels(int& option, MsrCodes& codes, platform::qt::Prompter& prompter,
                              QWidget* parent = nullptr);
    static bool EditSentinels(int& option, std::string (&codes)[kMsrCodeSlots],
                              platform::qt::Prompter& prompter, QWidget* parent = nullptr);

public slots:
    void accept() override;

private:
    void onOption(int option);
    void onInputMode();
    void onEdited(int slot);
    void showEnabled();

    MsrAdvanceModel model_;
    platform::qt::Prompter& prompter_;
    QButtonGroup* options_ = nullptr;
    std::array<QLineEdit*, kMsrCodeSlots> edits_{};
    QCheckBox* hex_ = nullptr;
    QPushButton* ok_ = nullptr;
};

} // namespace corvane
