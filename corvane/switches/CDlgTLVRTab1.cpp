#include "corvane/switches/CDlgTLVRTab1.h"

#include "corvane/switches/CDlgTLVR.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

namespace corvane {

using tlvr_gui::MakeList;

namespace {

// A radio group showing `checked` (-1: no button checked).
void checkRadio(QButtonGroup* group, int checked)
{
    QAbstractButton* button = group->button(checked);
    if (button != nullptr) {
        button->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; let go of it to show none.
    group->setExclusive(false);
    for (QAbstractButton* b : group->buttons())
        b->setChecked(false);
    group->setExclusive(true);
}

} // namespace

CDlgTLVRTab1::CDlgTLVRTab1(TlvrPage1Model& model, platform::qt::Prompter& prompter, QWidget* parent)
    : QWidget(parent), model_(model), prompter_(prompter)
{
    setObjectName(QStringLiteral("printerSetting1Page"));

    density_ = MakeList(this, "densityList", model_.density);
    speed_ = MakeList(this, "speedList", model_.speed);
    codePage_ = MakeList(this, "codePageList", model_.codePage);
    codePage_->setMinimumContentsLength(28);

    auto* lists = new QGridLayout;
    lists->addWidget(new QLabel(QStringLiteral("Printing Density"), this), 0, 0);
    lists->addWidget(density_, 0, 1);
    lists->addWidget(new QLabel(QStringLiteral("Printing Speed"), this), 1, 0);
    lists->addWidget(speed_, 1, 1);
    lists->addWidget(new QLabel(QStringLiteral("Default Code Page"), this), 2, 0);
    lists->addWidget(codePage_, 2, 1);
    lists->setColumnStretch(1, 1);

    auto* barcodeBox = new QGroupBox(QStringLiteral("2D Barcode"), this);
    auto* barcodeLayout = new QGridLayout(barcodeBox);
    const struct {
        TlvrPage1Model::Barcode which;
        const char* text;
        const char* name;
    } barcodes[] = {
        {TlvrPage1Model::kPdf417, " PDF417", "pdf417Check"},
        {TlvrPage1Model::kDataMatrix, " Datamatrix", "dataMatrixCheck"},
        {TlvrPage1Model::kMaxiCode, " Maxi Code", "maxiCodeCheck"},
        {TlvrPage1Model::kQrCode, " QR Code", "qrCodeCheck"},
    };
    int slot = 0;
    for (const auto& b : barcodes) {
        auto* check = new QCheckBox(QString::fromUtf8(b.text), barcodeBox);
        check->setObjectName(QString::fromUtf8(b.name));
        check->setChecked(model_.barcode(b.which));
        check->setEnabled(model_.barcodeChecksEnabled);
        const TlvrPage1Model::Barcode which = b.which;
        connect(check, &QCheckBox::clicked, this, [this, which](bool on) { onBarcodeClicked(which, on); });
        barcodes_[static_cast<std::size_t>(b.which)] = check;
        barcodeLayout->addWidget(check, slot / 2, slot % 2);
        ++slot;
    }

    auto* fontBox = new QGroupBox(QStringLiteral("Font"), this);
    auto* fontLayout = new QVBoxLayout(fontBox);
    fontGroup_ = new QButtonGroup(this);
    const char* fontNames[] = {"fontARadio", "fontBRadio", "fontCRadio"};
    for (int i = 0; i < 3; ++i) {
        auto* radio = new QRadioButton(QString::fromUtf8(model_.fontTexts[static_cast<std::size_t>(i)]), fontBox);
        radio->setObjectName(QString::fromUtf8(fontNames[i]));
        fontGroup_->addButton(radio, i);
        fontLayout->addWidget(radio);
        fonts_[static_cast<std::size_t>(i)] = radio;
    }
    fonts_[0]->setVisible(model_.fontAVisible);
    checkRadio(fontGroup_, model_.fontRadio());
    connect(fontGroup_, &QButtonGroup::idClicked, this, [this](int id) { model_.setFontIndex(id); });

    auto* doubleByteBox = new QGroupBox(QStringLiteral("Double Byte Font Mode"), this);
    auto* doubleByteLayout = new QHBoxLayout(doubleByteBox);
    doubleByteGroup_ = new QButtonGroup(this);
    auto* off = new QRadioButton(QStringLiteral("Off"), doubleByteBox);
    off->setObjectName(QStringLiteral("doubleByteOffRadio"));
    auto* on = new QRadioButton(QStringLiteral("On"), doubleByteBox);
    on->setObjectName(QStringLiteral("doubleByteOnRadio"));
    doubleByteGroup_->addButton(off, 0);
    doubleByteGroup_->addButton(on, 1);
    checkRadio(doubleByteGroup_, model_.doubleByteRadio());
    connect(doubleByteGroup_, &QButtonGroup::idClicked, this, [this](int id) { model_.setDoubleByte(id); });
    codePageText_ = new QLabel(tlvr_gui::FromBytes(model_.codePageText), doubleByteBox);
    codePageText_->setObjectName(QStringLiteral("codePageText"));
    doubleByteLayout->addWidget(off);
    doubleByteLayout->addWidget(on);
    doubleByteLayout->addStretch(1);
    doubleByteLayout->addWidget(codePageText_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(lists);
    layout->addWidget(barcodeBox);
    layout->addWidget(fontBox);
    layout->addWidget(doubleByteBox);
    layout->addStretch(1);
}

void CDlgTLVRTab1::onBarcodeClicked(TlvrPage1Model::Barcode which, bool on)
{
    if (model_.setBarcode(which, on)) {
        prompter_.information(this, QString::fromUtf8(tlvr_page_text::kCaption),
                              QString::fromUtf8(tlvr_page_text::kTwoDBarcodeWarning), QString());
    }
}

} // namespace corvane
