#include "shell/CommandLine.h"
#include "shell/StartUp.h"

#include <cstdio>
#include <vector>

// The server without the window toolkit: it always runs headless, so a
// service machine needs neither Qt Gui nor Widgets. A command line that
// would open the window (a desktop entry, a script written for
// serverquirnel-gui) gets one line saying so and imports headless.
int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (runsHeadless(parseLaunchOptions(arguments)))
        return runServer(argc, argv);

    std::fputs("serverquirnel: this build has no window and runs headless; serverquirnel-gui opens the operator "
               "window\n",
               stderr);
    char headless[] = "--headless";
    std::vector<char*> headlessArgv(argv, argv + argc);
    headlessArgv.push_back(headless);
    headlessArgv.push_back(nullptr);
    return runServer(argc + 1, headlessArgv.data());
}
