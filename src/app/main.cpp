#include "app/Application.h"
#include "platform/Shell.h"

int main(int argc, char** argv)
{
    return app::runProgram(argc, argv, platform::createDesktopShell);
}
