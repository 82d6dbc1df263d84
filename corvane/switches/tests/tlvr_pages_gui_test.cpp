// The settings dialog offscreen: what its pages show for a record, and what
// Save, Default and Cancel leave in the record. Messages go to a recording
// prompter; the modal loop is driven from a zero timer.
#include "corvane/switches/CDlgTLVR.h"
#include "corvane/switches/CDlgTLVRTab1.h"
#include "corvane/switches/CDlgTLVRTab2.h"
#include "corvane/switches/CDlgTLVRTab3.h"
#include "platform/qt/RecordingPrompter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <functional>

using namespace corvane;
using platform::qt::testing::RecordingPrompter;

namespace {

template <typename T>
T* child(QWidget* root, const char* name)
{
    return root->findChild<T*>(QString::fromUtf8(name));
}

QStringList itemsOf(QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

void click(QWidget* root, const char* name)
{
    if (auto* button = child<QAbstractButton>(root, name))
        button->click();
}

// Runs the dialog modally; `steps` act on it once it is shown and should
// end it. Whatever they leave open is cancelled, so a broken step cannot
// hang the test.
PagesChoice runWith(CDlgTLVR& dlg, const std::function<void(CDlgTLVR&)>& steps)
{
    QTimer::singleShot(0, &dlg, [&] {
        steps(dlg);
        if (dlg.isVisible())
            dlg.reject();
    });
    return dlg.Run();
}

} // namespace

class TlvrPagesGuiTest : public QObject {
    Q_OBJECT

private:
    CCommonUtil util_;
    std::unique_ptr<CCommonTlvr> record_;
    RecordingPrompter prompter_;

    void printer(std::uint32_t version, std::uint8_t msrMode = '0')
    {
        util_.g_Getver = version;
        util_.msrMode = msrMode;
    }

private slots:
    void init()
    {
        util_.g_Getver = 101000;
        util_.g_Model = kModelZ400;
        util_.modelName = "KMP-Z400";
        util_.firmwareVersion = "V1.01.00";
        util_.codePage = "(PC437)";
        util_.msrMode = '0';
        record_ = std::make_unique<CCommonTlvr>(util_);
        CCommonTlvr& r = *record_;
        r.Density = 4;
        r.Speed = 1;
        r.CodePage = 5;
        r.FontType = 2;
        r.LCharMode = 1;
        r.Service = 1;
        r.BeepPaper = 1;
        r.BeepLowBat = 0;
        r.BlackMarkSensor = PackBlackMark('1', '0');
        r.MFI = 1;
        r.TimeOff = 30;
        r.TimeSave = 100;
        r.Msr = 3;
        r.Sentinel = 1;
        r.Track1Start.assign(1, '%'); // not = "%": GCC 12 -O3 -Wrestrict false positive
        r.Baudrate = 9600;
        r.Databit = 8;
        r.Parity = 1;
        r.Flowcontrol = 1;
        r.RfInterface = 1;
        r.BtConnectionMode = 2;
        r.BtSecurity = 0;
        r.BtPinCode = "1111";
        r.BtDeviceName = "desk printer";
        prompter_.messages.clear();
    }

    void pagesShowTheRecord()
    {
        CDlgTLVR dlg(*record_, prompter_);
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Telvara  (fw:V1.01.00)"));
        QTabWidget* tabs = dlg.Tabs();
        QCOMPARE(tabs->count(), 3);
        QCOMPARE(tabs->tabText(0), QStringLiteral("Printer Setting 1"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Printer Setting 2"));
        QCOMPARE(tabs->tabText(2), QStringLiteral("Interface Setting"));

        QCOMPARE(child<QComboBox>(&dlg, "densityList")->currentText(), QStringLiteral(" 100%"));
        QCOMPARE(itemsOf(child<QComboBox>(&dlg, "speedList")),
                 (QStringList{QStringLiteral("100mm/s"), QStringLiteral("50mm/s")}));
        QCOMPARE(child<QComboBox>(&dlg, "speedList")->currentIndex(), 1);
        auto* codePage = child<QComboBox>(&dlg, "codePageList");
        QCOMPARE(codePage->count(), 36);
        QCOMPARE(codePage->currentText(), QStringLiteral("PC865 - Nordic"));
        QVERIFY(child<QRadioButton>(&dlg, "fontCRadio")->isChecked());
        QCOMPARE(child<QRadioButton>(&dlg, "fontBRadio")->text(), QStringLiteral("Font B ( 9 x 17 ) "));
        QVERIFY(child<QRadioButton>(&dlg, "doubleByteOnRadio")->isChecked());
        QVERIFY(!child<QCheckBox>(&dlg, "pdf417Check")->isEnabled());
        QCOMPARE(child<QCheckBox>(&dlg, "qrCodeCheck")->text(), QStringLiteral(" QR Code"));
        QCOMPARE(child<QLabel>(&dlg, "codePageText")->text(), QStringLiteral("(PC437)"));

        QCOMPARE(child<QComboBox>(&dlg, "serviceList")->currentText(), QStringLiteral("Label"));
        QCOMPARE(child<QComboBox>(&dlg, "beepLowBatteryList")->currentText(), QStringLiteral("On"));
        QCOMPARE(child<QComboBox>(&dlg, "blackMarkList")->currentText(), QStringLiteral("Rear"));
        QCOMPARE(child<QComboBox>(&dlg, "mfiList")->currentText(), QStringLiteral("Enable"));
        QCOMPARE(child<QLineEdit>(&dlg, "powerOffEdit")->text(), QStringLiteral("30"));
        QCOMPARE(child<QLineEdit>(&dlg, "powerSavingEdit")->text(), QStringLiteral("100"));
        QCOMPARE(child<QComboBox>(&dlg, "msrList")->count(), 9);
        QCOMPARE(child<QComboBox>(&dlg, "msrList")->currentText(), QStringLiteral("Track 2 read mode AUTO trigger"));
        QVERIFY(child<QPushButton>(&dlg, "advanceButton")->isEnabled());

        QCOMPARE(child<QComboBox>(&dlg, "baudRateList")->currentText(), QStringLiteral("9600"));
        QCOMPARE(child<QComboBox>(&dlg, "parityList")->currentText(), QStringLiteral("Odd"));
        QCOMPARE(child<QComboBox>(&dlg, "flowControlList")->currentText(), QStringLiteral("Xon/Xoff"));
        QVERIFY(child<QComboBox>(&dlg, "rfInterfaceList")->isEnabled());
        QCOMPARE(child<QComboBox>(&dlg, "rfInterfaceList")->currentText(), QStringLiteral("Bluetooth"));
        QCOMPARE(child<QComboBox>(&dlg, "connectionModeList")->currentText(), QStringLiteral("Mode 3"));
        QCOMPARE(child<QLineEdit>(&dlg, "printerNameEdit")->text(), QStringLiteral("desk printer"));
        QVERIFY(!child<QLineEdit>(&dlg, "printerNameEdit")->isEnabled());
        QVERIFY(!child<QCheckBox>(&dlg, "enableBluetoothCheck")->isChecked());
    }

    void saveWritesTheChangedListsOnly()
    {
        CDlgTLVR dlg(*record_, prompter_);
        const PagesChoice choice = runWith(dlg, [](CDlgTLVR& d) {
            child<QComboBox>(&d, "densityList")->setCurrentIndex(0);   // " 150%"
            child<QComboBox>(&d, "codePageList")->setCurrentIndex(35);
            click(&d, "saveButton");
        });
        QCOMPARE(choice, PagesChoice::Save);
        QVERIFY(!dlg.DefaultPressed());
        const CCommonTlvr& r = *record_;
        QCOMPARE(r.Density, 3);
        QCOMPARE(r.CodePage, 35);
        QCOMPARE(r.Speed, 1);
        QCOMPARE(r.FontType, 2);
        QCOMPARE(r.Service, 1);
        QCOMPARE(r.BlackMarkSensor, PackBlackMark('1', '0'));
        QCOMPARE(r.Msr, 3);
        QCOMPARE(r.Baudrate, 9600);
        QCOMPARE(r.Parity, 1);
        QCOMPARE(r.RfInterface, 1);
        QCOMPARE(r.SkipBluetooth, 1);
        QCOMPARE(r.BtPinCode, std::string("1111"));
    }

    void defaultKeepsListsButCarriesButtonsAndEdits()
    {
        printer(100000);
        CDlgTLVR dlg(*record_, prompter_);
        const PagesChoice choice = runWith(dlg, [](CDlgTLVR& d) {
            child<QComboBox>(&d, "densityList")->setCurrentIndex(0);
            click(&d, "pdf417Check");
            click(&d, "doubleByteOffRadio");
            click(&d, "defaultButton");
        });
        QCOMPARE(choice, PagesChoice::Default);
        QVERIFY(dlg.DefaultPressed());
        QCOMPARE(record_->Density, 4);
        QCOMPARE(record_->Pdf417, 1);
        QCOMPARE(record_->LCharMode, 0);
    }

    void cancelLeavesTheRecordUntouched()
    {
        const CCommonTlvr before(*record_);
        QTimer::singleShot(0, this, [] {
            auto* d = qobject_cast<CDlgTLVR*>(QApplication::activeModalWidget());
            if (d == nullptr)
                return;
            child<QComboBox>(d, "densityList")->setCurrentIndex(7);
            click(d, "doubleByteOffRadio");
            click(d, "fontARadio");
            click(d, "enableBluetoothCheck");
            child<QComboBox>(d, "serviceList")->setCurrentIndex(0);
            click(d, "cancelButton");
        });
        QCOMPARE(ShowTlvrPages(*record_, prompter_, nullptr), PagesChoice::Cancel);
        QCOMPARE(record_->Density, before.Density);
        QCOMPARE(record_->LCharMode, before.LCharMode);
        QCOMPARE(record_->FontType, before.FontType);
        QCOMPARE(record_->Service, before.Service);
        QCOMPARE(record_->SkipBluetooth, before.SkipBluetooth);
    }

    void twoDBarcodeWarningShownOnce()
    {
        printer(100000);
        record_->Pdf417 = 1;
        CDlgTLVR dlg(*record_, prompter_);
        auto* qr = child<QCheckBox>(&dlg, "qrCodeCheck");
        QVERIFY(qr->isEnabled());
        QVERIFY(child<QCheckBox>(&dlg, "pdf417Check")->isChecked());
        qr->click();
        QCOMPARE(prompter_.messages.size(), 1);
        QCOMPARE(prompter_.messages[0].caption, QStringLiteral("Telvara"));
        QCOMPARE(prompter_.messages[0].text,
                 QStringLiteral("If you choose more than 2 types of 2D barcodes,\r\n it may take longer to boot the printer."));
        qr->click();
        qr->click();
        QCOMPARE(prompter_.messages.size(), 1);
    }

    void relabelledFontButtonBelow101000()
    {
        printer(100999);
        record_->FontType = 0;
        CDlgTLVR dlg(*record_, prompter_);
        auto* fontB = child<QRadioButton>(&dlg, "fontBRadio");
        QCOMPARE(fontB->text(), QStringLiteral("A font(12x24)"));
        QCOMPARE(child<QRadioButton>(&dlg, "fontCRadio")->text(), QStringLiteral("B font(9x24)"));
        QVERIFY(fontB->isChecked());
        QVERIFY(child<QRadioButton>(&dlg, "fontARadio")->isHidden());
        record_->FontType = 5;
        runWith(dlg, [](CDlgTLVR& d) { click(&d, "saveButton"); });
        QCOMPARE(record_->FontType, 0);
    }

    void powerOffValidationKeepsTheLastValidValue()
    {
        CDlgTLVR dlg(*record_, prompter_);
        bool active = false;
        int afterInvalid = -1;
        bool focusBack = false;
        runWith(dlg, [&](CDlgTLVR& d) {
            d.activateWindow();
            active = QTest::qWaitForWindowActive(&d);
            d.Tabs()->setCurrentIndex(1);
            auto* edit = child<QLineEdit>(&d, "powerOffEdit");
            auto* saving = child<QLineEdit>(&d, "powerSavingEdit");
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("95"));
            // Leaving the box finishes the edit; the refusal brings the focus back.
            saving->setFocus();
            afterInvalid = d.Page2()->Model().powerOff();
            focusBack = edit->hasFocus();
            saving->setFocus();
            saving->selectAll();
            QTest::keyClicks(saving, QStringLiteral("200"));
            QTest::keyClick(saving, Qt::Key_Return);
            click(&d, "saveButton");
        });
        QVERIFY(active);
        QCOMPARE(afterInvalid, 30);
        QVERIFY(focusBack);
        QCOMPARE(prompter_.messages.size(), 1);
        QCOMPARE(prompter_.messages[0].kind, QStringLiteral("warning"));
        QCOMPARE(prompter_.messages[0].caption, QStringLiteral("Telvara"));
        QCOMPARE(prompter_.messages[0].text, QStringLiteral("Enter an integer between 0 and 90."));
        QCOMPARE(record_->TimeOff, 30);
        QCOMPARE(record_->TimeSave, 200);
    }

    void msrPlaceholdersAndAdvanceRules()
    {
        printer(101000, 'P');
        {
            CDlgTLVR dlg(*record_, prompter_);
            auto* msr = child<QComboBox>(&dlg, "msrList");
            QCOMPARE(itemsOf(msr), QStringList{QStringLiteral("Only Encription MSR")});
            QVERIFY(!msr->isEnabled());
            runWith(dlg, [](CDlgTLVR& d) { click(&d, "saveButton"); });
            QCOMPARE(record_->Msr, 3);
        }
        printer(101000, 0x60);
        {
            CDlgTLVR dlg(*record_, prompter_);
            QCOMPARE(itemsOf(child<QComboBox>(&dlg, "msrList")), QStringList{QStringLiteral("IC card mode")});
            QVERIFY(!child<QPushButton>(&dlg, "advanceButton")->isEnabled());
        }
    }

    void advanceTakesBackWhatTheSentinelDialogReturned()
    {
        int calls = 0;
        int shownOption = -1;
        const auto hook = [&](CCommonTlvr& s) {
            ++calls;
            shownOption = s.Sentinel;
            s.Sentinel = 2;
            s.Track1Start.assign(1, '#'); // not = "#": GCC 12 -O3 -Wrestrict false positive
            s.Track3End.assign(1, '?'); // not = "?": GCC 12 -O3 -Wrestrict false positive
            return calls == 1;   // the second time the user cancels
        };
        CDlgTLVR dlg(*record_, prompter_, nullptr, hook);
        runWith(dlg, [](CDlgTLVR& d) {
            click(&d, "advanceButton");
            click(&d, "advanceButton");
            click(&d, "saveButton");
        });
        QCOMPARE(calls, 2);
        QCOMPARE(shownOption, 2);   // the second call sees the first call's result
        QCOMPARE(record_->Sentinel, 2);
        QCOMPARE(record_->Track1Start, std::string("#"));
        QCOMPARE(record_->Track3End, std::string("?"));

        // Without a hook "Advance" does nothing.
        CDlgTLVR plain(*record_, prompter_);
        runWith(plain, [](CDlgTLVR& d) {
            click(&d, "advanceButton");
            click(&d, "saveButton");
        });
        QCOMPARE(record_->Sentinel, 2);
    }

    void bluetoothDefaultsBelow101000AndTheEnableToggle()
    {
        printer(100000);
        CDlgTLVR dlg(*record_, prompter_);
        auto* name = child<QLineEdit>(&dlg, "printerNameEdit");
        auto* pin = child<QLineEdit>(&dlg, "pinCodeEdit");
        QCOMPARE(name->text(), QStringLiteral("KMP-Z400"));
        QCOMPARE(pin->text(), QStringLiteral("9274"));
        QCOMPARE(child<QComboBox>(&dlg, "connectionModeList")->currentText(), QStringLiteral("Mode 2"));
        QCOMPARE(child<QComboBox>(&dlg, "securityList")->currentText(), QStringLiteral("Enable"));
        QVERIFY(!child<QComboBox>(&dlg, "rfInterfaceList")->isEnabled());
        QVERIFY(!pin->isEnabled());
        click(&dlg, "enableBluetoothCheck");
        QVERIFY(pin->isEnabled());
        QVERIFY(child<QComboBox>(&dlg, "securityList")->isEnabled());
        click(&dlg, "enableBluetoothCheck");
        QVERIFY(!pin->isEnabled());
        runWith(dlg, [](CDlgTLVR& d) {
            click(&d, "enableBluetoothCheck");
            d.Tabs()->setCurrentIndex(2);
            auto* edit = child<QLineEdit>(&d, "pinCodeEdit");
            edit->setFocus();
            edit->selectAll();
            QTest::keyClicks(edit, QStringLiteral("4321"));
            click(&d, "saveButton");
        });
        QCOMPARE(record_->SkipBluetooth, 0);
        QCOMPARE(record_->BtPinCode, std::string("4321"));
        QCOMPARE(record_->BtDeviceName, std::string("KMP-Z400"));
        QCOMPARE(record_->BtConnectionMode, 1);
        QCOMPARE(record_->BtSecurity, 1);
        QCOMPARE(record_->RfInterface, 1);
    }

    void screenshotsOfThePages()
    {
        const QByteArray dir = qgetenv("QUELLIX_SCREENSHOT_DIR");
        CDlgTLVR dlg(*record_, prompter_);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        for (int page = 0; page < 3; ++page) {
            dlg.Tabs()->setCurrentIndex(page);
            const QImage image = dlg.grab().toImage();
            QVERIFY(!image.isNull());
            QVERIFY(image.width() > 200 && image.height() > 150);
            // Not a blank picture: the page's texts and frames are in it.
            QSet<QRgb> colours;
            for (int y = 0; y < image.height(); y += 3)
                for (int x = 0; x < image.width(); x += 3)
                    colours.insert(image.pixel(x, y));
            QVERIFY(colours.size() > 4);
            if (!dir.isEmpty()) {
                QVERIFY(QDir().mkpath(QFile::decodeName(dir)));
                const QString path = QFile::decodeName(dir) + QStringLiteral("/tlvr-page%1.png").arg(page + 1);
                QVERIFY2(image.save(path), qPrintable(path));
            }
        }
        dlg.reject();
    }
};

QTEST_MAIN(TlvrPagesGuiTest)
#include "tlvr_pages_gui_test.moc"
