// "Printer Setting 1": density, speed, code page, the 2D barcode check
// boxes, the font and double byte font radio groups and the printer's code
// page text, over TlvrPage1Model.
//
// Object names of the controls:
//   densityList        "Printing Density" list
//   speedList          "Printing Speed" list
//   codePageList       "Default Code Page" list
//   pdf417Check        " PDF417"
//   dataMatrixCheck    " Datamatrix"
//   maxiCodeCheck      " Maxi Code"
//   qrCodeCheck        " QR Code"
//   fontARadio         "Font A ( 12 x 24 )" (hidden below 101000)
//   fontBRadio         "Font B ( 9 x 17 ) " or "A font(12x24)"
//   fontCRadio         "Font C ( 9 x 24 )" or "B font(9x24)"
//   doubleByteOffRadio "Off"
//   doubleByteOnRadio  "On"
//   codePageText       the printer's code page text
#pragma once

#include "corvane/switches/TlvrPages.h"
#include "platform/qt/Prompter.h"

#include <QWidget>

#include <array>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

namespace corvane {

class CDlgTLVRTab1 : public QWidget {
    Q_OBJECT
public:
    CDlgTLVRTab1(TlvrPage1Model& model, platform::qt::Prompter& prompter, QWidget* parent = nullptr);

    TlvrPage1Model& Model() { return model_; }

private:
    void onBarcodeClicked(TlvrPage1Model::Barcode which, bool on);

    TlvrPage1Model& model_;
    platform::qt::Prompter& prompter_;
    QComboBox* density_ = nullptr;
    QComboBox* speed_ = nullptr;
    QComboBox* codePage_ = nullptr;
    std::array<QCheckBox*, 4> barcodes_{};
    std::array<QRadioButton*, 3> fonts_{};
    QButtonGroup* fontGroup_ = nullptr;
    QButtonGroup* doubleByteGroup_ = nullptr;
    QLabel* codePageText_ = nullptr;
};

} // namespace corvane
