#include "corvane/shell/CZ400TCUtilityApp.h"

int main(int argc, char** argv)
{
    corvane::LaunchOptions options;
    if (const auto exitCode = corvane::ParseLaunchOptions(argc, argv, options))
        return *exitCode;
    corvane::CZ400TCUtilityApp app(argc, argv);
    return app.Run(options);
}
