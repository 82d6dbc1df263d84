#include "corvane/switches/CDlgTLVRTab2.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace corvane {

using tlvr_gui::MakeList;

CDlgTLVRTab2::CDlgTLVRTab2(TlvrPage2Model& model, const CCommonTlvr& record, platform::qt::Prompter& prompter,
                           TlvrAdvanceHook advance, QWidget* parent)
    : QWidget(parent), model_(model), scratch_(record), prompter_(prompter), advance_(std::move(advance))
{
    setObjectName(QStringLiteral("printerSetting2Page"));

    auto* grid = new QGridLayout;
    int row = 0;
    const auto addRow = [&](const char* label, QWidget* control, const char* unit = nullptr) {
        grid->addWidget(new QLabel(QString::fromUtf8(label), this), row, 0);
        grid->addWidget(control, row, 1);
        if (unit != nullptr)
            grid->addWidget(new QLabel(QString::fromUtf8(unit), this), row, 2);
        ++row;
    };
    addRow("Printer Service", MakeList(this, "serviceList", model_.service));
    addRow("Beep For Roll Paper End", MakeList(this, "beepPaperList", model_.beepPaper));
    addRow("Beep Mode For Low Battery End", MakeList(this, "beepLowBatteryList", model_.beepLowBattery));
    addRow("Black Mark Sensor", MakeList(this, "blackMarkList", model_.blackMark));
    addRow("MFi Mode (iOS)", MakeList(this, "mfiList", model_.mfi));

    powerOff_ = new QLineEdit(QString::fromStdString(model_.powerOffText), this);
    powerOff_->setObjectName(QStringLiteral("powerOffEdit"));
    connect(powerOff_, &QLineEdit::editingFinished, this, &CDlgTLVRTab2::OnPowerOffEdited);
    addRow("Auto Power Off Time (Not Connected)", powerOff_, "min (1~90 ex> 30)");
    powerSaving_ = new QLineEdit(QString::fromStdString(model_.powerSavingText), this);
    powerSaving_->setObjectName(QStringLiteral("powerSavingEdit"));
    connect(powerSaving_, &QLineEdit::editingFinished, this, &CDlgTLVRTab2::OnPowerSavingEdited);
    addRow("Auto Power Saving Time (Connected)", powerSaving_, "sec (10~255 ex> 100)");

    QComboBox* msr = MakeList(this, "msrList", model_.msr);
    msr->setMinimumContentsLength(30);
    addRow("MSR Trigger", msr);
    advanceButton_ = new QPushButton(QStringLiteral("Advance"), this);
    advanceButton_->setObjectName(QStringLiteral("advanceButton"));
    advanceButton_->setAutoDefault(false);
    advanceButton_->setEnabled(model_.advanceEnabled);
    connect(advanceButton_, &QPushButton::clicked, this, &CDlgTLVRTab2::OnAdvance);
    grid->addWidget(advanceButton_, row - 1, 2);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addStretch(1);
}

void CDlgTLVRTab2::OnAdvance()
{
    if (!advance_ || !model_.advanceEnabled)
        return;
    model_.sentinelsInto(scratch_);
    if (advance_(scratch_))
        model_.takeSentinels(scratch_);
}

void CDlgTLVRTab2::OnPowerOffEdited()
{
    checkEdit(powerOff_, model_.setPowerOffText(tlvr_gui::ToBytes(powerOff_->text())));
}

void CDlgTLVRTab2::OnPowerSavingEdited()
{
    checkEdit(powerSaving_, model_.setPowerSavingText(tlvr_gui::ToBytes(powerSaving_->text())));
}

void CDlgTLVRTab2::checkEdit(QLineEdit* edit, const std::optional<std::string>& problem)
{
    if (!problem)
        return;
    prompter_.warning(this, QString::fromUtf8(tlvr_page_text::kCaption), QString::fromStdString(*problem),
                      QString());
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
}

} // namespace corvane
