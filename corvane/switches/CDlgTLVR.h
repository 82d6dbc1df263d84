// The memory switch settings dialog: three tab pages over the page models,
// "Save", "Default" and "Cancel".
//
// The dialog loads the models from a copy of the record when it is built;
// Run() shows it modally and, after "Save" or "Default", stores the models
// back into the record. "Cancel" (or closing the window) leaves the record
// as it was.
//
// Object names of the controls (the pages list theirs):
//   pagesTab       the tab control ("Printer Setting 1", "Printer Setting 2",
//                  "Interface Setting")
//   saveButton     "Save"
//   defaultButton  "Default"
//   cancelButton   "Cancel"
#pragma once

#include "corvane/switches/TlvrPages.h"
#include "platform/qt/Prompter.h"

#include <QDialog>
#include <QString>

#include <functional>
#include <string>

class QComboBox;
class QPushButton;
class QTabWidget;

namespace corvane {

class CDlgTLVRTab1;
class CDlgTLVRTab2;
class CDlgTLVRTab3;

// The sentinel dialog behind page 2's "Advance": given a record holding the
// page's sentinel option and six codes, true when it ended with "OK" (the
// record then holds what it returned).
using TlvrAdvanceHook = std::function<bool(CCommonTlvr& sentinels)>;

class CDlgTLVR : public QDialog {
    Q_OBJECT
public:
    CDlgTLVR(CCommonTlvr& record, platform::qt::Prompter& prompter, QWidget* parent = nullptr,
             TlvrAdvanceHook advance = {});
    ~CDlgTLVR() override;

    // Shows the dialog modally; after Save or Default the record holds the
    // pages' values.
    PagesChoice Run();
    // How the dialog ended (Cancel until it has).
    PagesChoice Choice() const { return choice_; }
    bool DefaultPressed() const { return choice_ == PagesChoice::Default; }

    CDlgTLVRTab1* Page1() const { return page1_; }
    CDlgTLVRTab2* Page2() const { return page2_; }
    CDlgTLVRTab3* Page3() const { return page3_; }
    QTabWidget* Tabs() const { return tabs_; }

    void OnSave();
    void OnDefault();

private:
    CCommonTlvr& record_;
    TlvrPage1Model model1_;
    TlvrPage2Model model2_;
    TlvrPage3Model model3_;
    PagesChoice choice_ = PagesChoice::Cancel;
    QTabWidget* tabs_ = nullptr;
    CDlgTLVRTab1* page1_ = nullptr;
    CDlgTLVRTab2* page2_ = nullptr;
    CDlgTLVRTab3* page3_ = nullptr;
};

// Copies the record into the pages, shows them modally and, on Save or
// Default, copies the pages back into the record.
PagesChoice ShowTlvrPages(CCommonTlvr& record, platform::qt::Prompter& prompter, QWidget* parent,
                          TlvrAdvanceHook advance = {});

namespace tlvr_gui {
// Printer texts are bytes: one character per byte, so a text the user did
// not touch goes back exactly as it came.
QString FromBytes(const std::string& bytes);
std::string ToBytes(const QString& text);
// A drop-down list over `list`: its items, selection and enable state; the
// user's choice goes straight into list.selected.
QComboBox* MakeList(QWidget* parent, const char* objectName, PageList& list);
} // namespace tlvr_gui

} // namespace corvane
