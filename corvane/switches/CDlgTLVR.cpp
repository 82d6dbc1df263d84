#include "corvane/switches/CDlgTLVR.h"

#include "corvane/switches/CDlgTLVRTab1.h"
#include "corvane/switches/CDlgTLVRTab2.h"
#include "corvane/switches/CDlgTLVRTab3.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include <utility>

namespace corvane {

namespace tlvr_gui {

QString FromBytes(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToBytes(const QString& text)
{
    const QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QComboBox* MakeList(QWidget* parent, const char* objectName, PageList& list)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(QString::fromUtf8(objectName));
    for (const std::string& item : list.items)
        combo->addItem(QString::fromUtf8(item));
    combo->setCurrentIndex(list.selected);
    combo->setEnabled(list.enabled);
    // Connected after filling, so only the user's choice (or a test's)
    // reaches the model.
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, [&list](int index) { list.selected = index; });
    return combo;
}

} // namespace tlvr_gui

CDlgTLVR::CDlgTLVR(CCommonTlvr& record, platform::qt::Prompter& prompter, QWidget* parent, TlvrAdvanceHook advance)
    : QDialog(parent), record_(record)
{
    model1_.load(record);
    model2_.load(record);
    model3_.load(record);

    setWindowTitle(QString::fromUtf8(tlvr_page_text::kCaption) + QStringLiteral("  (fw:") +
                   tlvr_gui::FromBytes(record.util().firmwareVersion) + QStringLiteral(")"));

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("pagesTab"));
    page1_ = new CDlgTLVRTab1(model1_, prompter, tabs_);
    page2_ = new CDlgTLVRTab2(model2_, record, prompter, std::move(advance), tabs_);
    page3_ = new CDlgTLVRTab3(model3_, tabs_);
    tabs_->addTab(page1_, QStringLiteral("Printer Setting 1"));
    tabs_->addTab(page2_, QStringLiteral("Printer Setting 2"));
    tabs_->addTab(page3_, QStringLiteral("Interface Setting"));
    tabs_->setCurrentIndex(0);

    auto* save = new QPushButton(QStringLiteral("Save"), this);
    save->setObjectName(QStringLiteral("saveButton"));
    auto* byDefault = new QPushButton(QStringLiteral("Default"), this);
    byDefault->setObjectName(QStringLiteral("defaultButton"));
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancelButton"));
    for (QPushButton* b : {save, byDefault, cancel})
        b->setAutoDefault(false);
    connect(save, &QPushButton::clicked, this, &CDlgTLVR::OnSave);
    connect(byDefault, &QPushButton::clicked, this, &CDlgTLVR::OnDefault);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(save);
    buttons->addWidget(byDefault);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    layout->addLayout(buttons);
}

CDlgTLVR::~CDlgTLVR() = default;

void CDlgTLVR::OnSave()
{
    choice_ = PagesChoice::Save;
    accept();
}

void CDlgTLVR::OnDefault()
{
    choice_ = PagesChoice::Default;
    accept();
}

PagesChoice CDlgTLVR::Run()
{
    choice_ = PagesChoice::Cancel;
    if (exec() != QDialog::Accepted)
        choice_ = PagesChoice::Cancel;
    model1_.store(record_, choice_);
    model2_.store(record_, choice_);
    model3_.store(record_, choice_);
    return choice_;
}

PagesChoice ShowTlvrPages(CCommonTlvr& record, platform::qt::Prompter& prompter, QWidget* parent,
                          TlvrAdvanceHook advance)
{
    CDlgTLVR dialog(record, prompter, parent, std::move(advance));
    return dialog.Run();
}

} // namespace corvane
