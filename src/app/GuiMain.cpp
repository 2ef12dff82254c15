#include "gui/WindowFrontend.h"
#include "shell/CommandLine.h"
#include "shell/StartUp.h"

// Headless or with the operator window: decided from the command line
// before any application object exists, so a server without a display
// never touches the window system.
int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (runsHeadless(parseLaunchOptions(arguments)))
        return runServer(argc, argv);
    return runWithWindow(argc, argv);
}
