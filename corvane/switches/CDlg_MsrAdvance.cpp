#include "corvane/switches/CDlg_MsrAdvance.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvane {
namespace {

struct SlotControl {
    int slot;
    const char* label;
    const char* objectName;
};

// Laid out as the template has them: each track's start and end side by side.
constexpr SlotControl kSlotControls[] = {
    {kTrack1StartSlot, msr_text::kTrack1Start, "track1StartEdit"},
    {kTrack1EndSlot, msr_text::kTrack1End, "track1EndEdit"},
    {kTrack2StartSlot, msr_text::kTrack2Start, "track2StartEdit"},
    {kTrack2EndSlot, msr_text::kTrack2End, "track2EndEdit"},
    {kTrack3StartSlot, msr_text::kTrack3Start, "track3StartEdit"},
    {kTrack3EndSlot, msr_text::kTrack3End, "track3EndEdit"},
};

// The typed text as bytes; `exact` false when a character is beyond Latin-1
// (it came through as '?').
std::string bytesOf(const QString& text, bool& exact)
{
    exact = true;
    for (const QChar c : text) {
        if (c.unicode() > 0xFF)
            exact = false;
    }
    return text.toLatin1().toStdString();
}

} // namespace

CDlg_MsrAdvance::CDlg_MsrAdvance(int option, const MsrCodes& codes, platform::qt::Prompter& prompter,
                                 QWidget* parent)
    : QDialog(parent), model_(option, codes), prompter_(prompter)
{
    setWindowTitle(QString::fromUtf8(msr_text::kTitle));

    auto* group = new QGroupBox(QString::fromUtf8(msr_text::kGroup), this);
    group->setObjectName(QStringLiteral("optionGroup"));
    options_ = new QButtonGroup(this);
    auto* groupLayout = new QHBoxLayout(group);
    const std::pair<const char*, const char*> radios[] = {
        {msr_text::kNone, "noneRadio"}, {msr_text::kStatic, "staticRadio"}, {msr_text::kDynamic, "dynamicRadio"}};
    int id = kMsrOptionNone;
    for (const auto& [text, name] : radios) {
        auto* radio = new QRadioButton(QString::fromUtf8(text), group);
        radio->setObjectName(QString::fromUtf8(name));
        options_->addButton(radio, id++);
        groupLayout->addWidget(radio);
    }
    if (QAbstractButton* selected = options_->button(model_.option()))
        selected->setChecked(true);
    connect(options_, &QButtonGroup::idClicked, this, &CDlg_MsrAdvance::onOption);

    auto* grid = new QGridLayout;
    for (std::size_t k = 0; k < std::size(kSlotControls); ++k) {
        const SlotControl& c = kSlotControls[k];
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromUtf8(c.objectName));
        edit->setMaxLength(kMsrCodeEditLimit);
        edit->setText(QString::fromLatin1(model_.code(c.slot).data(),
                                          static_cast<qsizetype>(model_.code(c.slot).size())));
        edits_[static_cast<std::size_t>(c.slot)] = edit;
        auto* label = new QLabel(QString::fromUtf8(c.label), this);
        label->setBuddy(edit);
        const int row = static_cast<int>(k / 2);
        const int column = static_cast<int>(k % 2) * 2;
        grid->addWidget(label, row, column);
        grid->addWidget(edit, row, column + 1);
        const int slot = c.slot;
        connect(edit, &QLineEdit::textEdited, this, [this, slot] { onEdited(slot); });
    }

    hex_ = new QCheckBox(QString::fromUtf8(model_.inputModeLabel()), this);
    hex_->setObjectName(QStringLiteral("hexCheck"));
    hex_->setChecked(model_.hexInput());
    connect(hex_, &QCheckBox::clicked, this, &CDlg_MsrAdvance::onInputMode);

    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("okButton"));
    ok_->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    connect(ok_, &QPushButton::clicked, this, &CDlg_MsrAdvance::accept);
    connect(cancel, &QPushButton::clicked, this, &CDlg_MsrAdvance::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok_);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addLayout(grid);
    layout->addWidget(hex_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    showEnabled();
}

void CDlg_MsrAdvance::showEnabled()
{
    for (QLineEdit* edit : edits_)
        edit->setEnabled(model_.codesEnabled());
}

void CDlg_MsrAdvance::onOption(int option)
{
    model_.setOption(option);
    showEnabled();
}

void CDlg_MsrAdvance::onInputMode()
{
    model_.toggleHexInput();
    hex_->setText(QString::fromUtf8(model_.inputModeLabel()));
    hex_->setChecked(model_.hexInput());
    for (QLineEdit* edit : edits_)
        edit->clear();
}

void CDlg_MsrAdvance::onEdited(int slot)
{
    bool exact = true;
    const std::string typed = bytesOf(edits_.at(static_cast<std::size_t>(slot))->text(), exact);
    model_.setCode(slot, typed, exact);
}

void CDlg_MsrAdvance::accept()
{
    // What the boxes hold now, also text set without an edit signal.
    for (int slot = 0; slot < kMsrCodeSlots; ++slot) {
        bool exact = true;
        const std::string typed = bytesOf(edits_.at(static_cast<std::size_t>(slot))->text(), exact);
        if (typed != model_.code(slot) || !exact)
            model_.setCode(slot, typed, exact);
    }
    if (const auto refusal = model_.accept()) {
        prompter_.warning(this, QString::fromUtf8(msr_text::kCaption), QString::fromStdString(*refusal), QString());
        return;
    }
    QDialog::accept();
}

bool CDlg_MsrAdvance::EditSentinels(int& option, MsrCodes& codes, platform::qt::Prompter& prompter,
                                    QWidget* parent)
{
    CDlg_MsrAdvance dlg(option, codes, prompter, parent);
    if (dlg.exec() != QDialog::Accepted)
        return false;
    option = dlg.Option();
    codes = dlg.Codes();
    return true;
}

bool CDlg_MsrAdvance::EditSentinels(int& option, std::string (&codes)[kMsrCodeSlots],
                                    platform::qt::Prompter& prompter, QWidget* parent)
{
    MsrCodes array;
    for (std::size_t k = 0; k < array.size(); ++k)
        array[k] = codes[k];
    if (!EditSentinels(option, array, prompter, parent))
        return false;
    for (std::size_t k = 0; k < array.size(); ++k)
        codes[k] = array[k];
    return true;
}

} // namespace corvane
