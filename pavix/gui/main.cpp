#include "pavix/gui/CPavixApp.h"

int main(int argc, char** argv)
{
    if (const auto exitCode = pavix::gui::ParseLaunchOptions(argc, argv))
        return *exitCode;
    pavix::gui::CPavixApp app(argc, argv);
    return app.Run();
}
