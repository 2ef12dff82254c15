#pragma once

#include <QString>
#include <QStringList>

class QCoreApplication;
struct LaunchOptions;
struct ServerContext;
class ErrorBox;
class OperatorPrompt;
class WindowControl;

// The entry procedure of the server: command line, start-up sequence,
// the scan timer's event loop and the orderly end. Returns the process exit
// code. This form runs headless on an application object of its own.
int runServer(int argc, char** argv);

// What an operator window brings to the start-up: its error box, its
// message boxes and the window itself. The shell knows it only through this
// interface, so the server builds and runs without any window toolkit.
class Frontend {
public:
    virtual ~Frontend() = default;
    virtual ErrorBox& errorBox() = 0;
    virtual WindowControl& window() = 0;
    // The operator's questions; the kinds the command line answers
    // explicitly go to policy instead of a message box.
    virtual OperatorPrompt& prompt(const LaunchOptions& options, OperatorPrompt& policy) = 0;
    // The window takes the server's state before the configuration is read.
    virtual void attach(ServerContext& ctx) = 0;
    // Without a server manager the server sits in the notification area.
    virtual void installNotificationIcon(const QString& programTitle) = 0;
    // The end of the window load, after the start line: fields shown and
    // disabled, window hidden.
    virtual void finishLoad() = 0;
};

// The same with a window: the caller made the (widget) application object.
int runServer(QCoreApplication& app, Frontend& frontend);

// Version label text: "V" + major.minor.revision.
QString versionText();

// The single-instance lock of the title: a file in the runtime directory.
QString instanceLockPath(const QString& programTitle);
