#include "corvane/switches/CDlgTLVRTab3.h"

#include "corvane/switches/CDlgTLVR.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace corvane {

using tlvr_gui::FromBytes;
using tlvr_gui::MakeList;
using tlvr_gui::ToBytes;

CDlgTLVRTab3::CDlgTLVRTab3(TlvrPage3Model& model, QWidget* parent) : QWidget(parent), model_(model)
{
    setObjectName(QStringLiteral("interfaceSettingPage"));

    auto* serialBox = new QGroupBox(QStringLiteral("Serial"), this);
    auto* serial = new QGridLayout(serialBox);
    serial->addWidget(new QLabel(QStringLiteral("Baud Rate"), serialBox), 0, 0);
    serial->addWidget(MakeList(serialBox, "baudRateList", model_.baudRate), 0, 1);
    serial->addWidget(new QLabel(QStringLiteral("Data Bits"), serialBox), 1, 0);
    serial->addWidget(MakeList(serialBox, "dataBitsList", model_.dataBits), 1, 1);
    serial->addWidget(new QLabel(QStringLiteral("Parity"), serialBox), 2, 0);
    serial->addWidget(MakeList(serialBox, "parityList", model_.parity), 2, 1);
    serial->addWidget(new QLabel(QStringLiteral("Flow Control"), serialBox), 3, 0);
    serial->addWidget(MakeList(serialBox, "flowControlList", model_.flowControl), 3, 1);
    serial->setColumnStretch(1, 1);

    auto* rf = new QGridLayout;
    rf->addWidget(new QLabel(QStringLiteral("Select RF Interface Type"), this), 0, 0);
    rf->addWidget(MakeList(this, "rfInterfaceList", model_.rfInterface), 0, 1);
    rf->setColumnStretch(1, 1);

    auto* btBox = new QGroupBox(QStringLiteral("Bluetooth"), this);
    auto* bt = new QGridLayout(btBox);
    enableBluetooth_ = new QCheckBox(QStringLiteral("Enable Bluetooth Setting"), btBox);
    enableBluetooth_->setObjectName(QStringLiteral("enableBluetoothCheck"));
    connect(enableBluetooth_, &QCheckBox::clicked, this, &CDlgTLVRTab3::OnEnableBluetooth);
    connectionMode_ = MakeList(btBox, "connectionModeList", model_.connectionMode);
    security_ = MakeList(btBox, "securityList", model_.security);
    pinCode_ = new QLineEdit(FromBytes(model_.pinCode), btBox);
    pinCode_->setObjectName(QStringLiteral("pinCodeEdit"));
    connect(pinCode_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.setPinCode(ToBytes(text)); });
    printerName_ = new QLineEdit(FromBytes(model_.printerName), btBox);
    printerName_->setObjectName(QStringLiteral("printerNameEdit"));
    connect(printerName_, &QLineEdit::textEdited, this,
            [this](const QString& text) { model_.setPrinterName(ToBytes(text)); });
    bt->addWidget(enableBluetooth_, 0, 0, 1, 2);
    bt->addWidget(new QLabel(QStringLiteral("Connection Mode"), btBox), 1, 0);
    bt->addWidget(connectionMode_, 1, 1);
    bt->addWidget(new QLabel(QStringLiteral("Authentication & Encryption"), btBox), 2, 0);
    bt->addWidget(security_, 2, 1);
    bt->addWidget(new QLabel(QStringLiteral("PIN Code"), btBox), 3, 0);
    bt->addWidget(pinCode_, 3, 1);
    bt->addWidget(new QLabel(QStringLiteral("Printer Name"), btBox), 4, 0);
    bt->addWidget(printerName_, 4, 1);
    bt->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(serialBox);
    layout->addLayout(rf);
    layout->addWidget(btBox);
    layout->addStretch(1);
    showBluetoothState();
}

void CDlgTLVRTab3::OnEnableBluetooth()
{
    model_.toggleBluetooth();
    showBluetoothState();
}

void CDlgTLVRTab3::showBluetoothState()
{
    const bool on = !model_.bluetoothDisabled();
    enableBluetooth_->setChecked(on);
    connectionMode_->setEnabled(on);
    security_->setEnabled(on);
    pinCode_->setEnabled(on);
    printerName_->setEnabled(on);
}

} // namespace corvane
