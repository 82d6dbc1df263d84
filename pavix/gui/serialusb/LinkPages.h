// The two pages of the Serial/USB configuration window that run their own
// exchanges over the open link: "BSS Information" (the access points the
// board sees) and "Certificate" (a PEM file uploaded in chunks).
//
// Object names, for tests:
//   BSS          bssList, bssProgress, getBssButton
//   Certificate  certCa, certClientKey, certClientPem, openFileButton,
//                certPath, uploadButton, certProgress
#pragma once

#include "pavix/config/CertFile.h"
#include "pavix/link/PrinterPort.h"
#include "pavix/protocol/BssTable.h"
#include "platform/qt/Prompter.h"

#include <QStringList>
#include <QWidget>

#include <array>

class QProgressBar;
class QPushButton;
class QRadioButton;
class QLineEdit;
class QTreeWidget;

namespace pavix::gui {

inline constexpr const char* kBssSucceeded = "Succeeded to BSS information acquisitions";
inline constexpr const char* kBssFailed =
    "Failed in BSS information acquisitions \nPrinter all the member and connection IP or confirm Port.";

// One list row per entry, stopping at the first all-zero BSSID or after 100
// rows: No, SSID, BSSID, mode, RSSI, security.
QList<QStringList> BssRowTexts(const BssTable& table);

class CBssPage final : public QWidget {
public:
    CBssPage(PrinterPort& port, platform::qt::Prompter& prompter, QWidget* parent = nullptr);

    // The list and the button work only while connected; enabling them
    // clears the list.
    void setConnected(bool on);
    void OnGetBss();

private:
    PrinterPort& port_;
    platform::qt::Prompter& prompter_;
    QTreeWidget* list_;
    QProgressBar* progress_;
    QPushButton* get_;
};

class CCertificatePage final : public QWidget {
public:
    CCertificatePage(PrinterPort& port, platform::qt::Prompter& prompter, QWidget* parent = nullptr);

    void setConnected(bool on);
    void OnOpenFile();
    void OnUpload();
    const CertificateSelection& selection() const { return selection_; }

private:
    void chooseType(CertificateType type);

    PrinterPort& port_;
    platform::qt::Prompter& prompter_;
    bool connected_ = false;
    CertificateSelection selection_;
    std::array<QRadioButton*, 3> types_{};
    QPushButton* open_;
    QLineEdit* path_;
    QPushButton* upload_;
    QProgressBar* progress_;
};

} // namespace pavix::gui
