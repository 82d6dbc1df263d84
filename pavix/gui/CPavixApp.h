// The Pavix program: the start window shown modally; the program ends when
// it closes. The device lists of both modes live here for the whole run.
//
// Where the datagrams go is read from the environment (see UdpChannel.h):
//   PAVIX_UDP_TARGET, PAVIX_UDP_BIND, PAVIX_UDP_LOCAL_PORT,
//   PAVIX_UDP_REMOTE_PORT   redirect search and store (to a simulator on
//                           127.0.0.1, say)
//   PAVIX_BSS_TCP_PORT      the boards' access-point port (3318)
// A value that does not parse is reported once at start and left out.
#pragma once

#include "pavix/gui/CPavixMainDlg.h"
#include "pavix/gui/PavixCommon.h"
#include "platform/qt/Prompter.h"

#include <QApplication>

#include <optional>

namespace pavix::gui {

// Answers --help and --version (and refuses anything else) without a
// display; returns the exit code then, otherwise nothing.
std::optional<int> ParseLaunchOptions(int argc, char** argv);

class CPavixApp final : public QApplication {
    Q_OBJECT
public:
    CPavixApp(int& argc, char** argv);

    // What the start window's Serial/USB button opens.
    void setSerialUsbOpener(SerialUsbOpener opener) { serialUsb_ = std::move(opener); }

    search::DeviceLists& lists() { return lists_; }
    platform::qt::Prompter& prompter() { return prompter_; }

    // Shows the start window; returns the exit code.
    int Run();

private:
    platform::qt::QtPrompter prompter_;
    DesktopUrlOpener urlOpener_;
    search::DeviceLists lists_;
    SerialUsbOpener serialUsb_;
};

} // namespace pavix::gui
