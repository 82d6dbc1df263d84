#include "pavix/gui/serialusb/SerialUsbEntry.h"

#include "pavix/gui/serialusb/CSerialUsbDlg.h"
#include "platform/qt/Prompter.h"

namespace pavix::gui {

PrinterPort& ProgramPrinterPort()
{
    static PrinterPort port;
    return port;
}

void openSerialUsbWindow(QWidget* parent)
{
    platform::qt::QtPrompter prompter;
    CSerialUsbDlg window(ProgramPrinterPort(), prompter, platform::DeviceRoots::fromEnvironment(), parent);
    window.exec();
}

} // namespace pavix::gui
