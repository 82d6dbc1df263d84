#include "CZ400TCUtilityApp.h"

int main(int argc, char** argv)
{
    corvane::CZ400TCUtilityApp app(argc, argv);
    return app.Run();
}
