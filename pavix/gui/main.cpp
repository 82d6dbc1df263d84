#include "pavix/gui/CPavixApp.h"
#include "pavix/gui/serialusb/SerialUsbEntry.h"

int main(int argc, char** argv)
{
    if (const auto exitCode = pavix::gui::ParseLaunchOptions(argc, argv))
        return *exitCode;
    pavix::gui::CPavixApp app(argc, argv);
    app.setSerialUsbOpener(&pavix::gui::openSerialUsbWindow);
    return app.Run();
}
