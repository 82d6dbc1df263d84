// "Firmware Download Manager": chooses a firmware file and sends it to the
// printer over its own port object, with a progress bar.
//
// The transfer is a FirmwareJob run by the Qt job driver on the GUI thread,
// one timer phase per piece; the button handler returns when it has ended.
// Meanwhile the window keeps painting (between pieces and inside every wait
// of the port), while clicks and keys to it wait until the transfer has
// ended. "Exit" is disabled while sending, and the window cannot be closed
// while a download command runs.
#pragma once

#include "corvane/link/CDev.h"
#include "corvane/firmware/FirmwareDownload.h"
#include "platform/qt/Prompter.h"
#include "platform/qt/QtJobDriver.h"
#include "platform/clock.h"
#include "platform/devices.h"

#include <QDialog>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;

namespace corvane {

class CFirmwarednDlg : public QDialog {
    Q_OBJECT
public:
    CFirmwarednDlg(const PortSettings& settings, platform::qt::Prompter& prompter,
                   platform::Clock& clock = platform::systemClock(),
                   platform::Devices& devices = platform::systemDevices(),
                   QWidget* parent = nullptr);
    ~CFirmwarednDlg() override;

    // "Start Download": choose a file and send it.
    void OnStartDownload();

    const QString& FilePath() const { return filePath_; }
    const CDev& Port() const { return port_; }
    // The window's own port, e.g. to give it a shorter stall bound.
    CDev& Port() { return port_; }
    bool IsSending() const { return sending_; }

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void setStatus(const QString& text);
    void showOutcome(const FirmwareResult& result);

    CDev port_;
    QString filePath_;
    platform::qt::Prompter& prompter_;
    platform::qt::QtJobDriver driver_;
    QProgressBar* progress_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* exit_ = nullptr;
    bool sending_ = false;   // port open and pieces going out: Exit disabled
    bool busy_ = false;      // inside a download command: the window stays
};

} // namespace corvane
