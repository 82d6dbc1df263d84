// "Interface Setting": the serial line, the RF interface and the Bluetooth
// settings, over TlvrPage3Model. The Bluetooth controls start disabled;
// each click on "Enable Bluetooth Setting" flips them.
//
// Object names of the controls:
//   baudRateList          "Baud Rate" list
//   dataBitsList          "Data Bits" list
//   parityList            "Parity" list
//   flowControlList       "Flow Control" list
//   rfInterfaceList       "Select RF Interface Type" list
//   enableBluetoothCheck  "Enable Bluetooth Setting"
//   connectionModeList    "Connection Mode" list
//   securityList          "Authentication & Encryption" list
//   pinCodeEdit           "PIN Code"
//   printerNameEdit       "Printer Name"
#pragma once

#include "corvane/switches/TlvrPages.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace corvane {

class CDlgTLVRTab3 : public QWidget {
    Q_OBJECT
public:
    explicit CDlgTLVRTab3(TlvrPage3Model& model, QWidget* parent = nullptr);

    TlvrPage3Model& Model() { return model_; }

    // "Enable Bluetooth Setting" was clicked.
    void OnEnableBluetooth();

private:
    void showBluetoothState();

    TlvrPage3Model& model_;
    QCheckBox* enableBluetooth_ = nullptr;
    QComboBox* connectionMode_ = nullptr;
    QComboBox* security_ = nullptr;
    QLineEdit* pinCode_ = nullptr;
    QLineEdit* printerName_ = nullptr;
};

} // namespace corvane
