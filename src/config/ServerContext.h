#pragma once

#include "config/Settings.h"
#include "config/SettingsForm.h"
#include "platform/Clock.h"
#include "platform/ErrorBox.h"
#include "platform/OperatorPrompt.h"
#include "platform/SettingsStore.h"
#include "platform/WindowControl.h"

#include <QString>
#include <QTimer>

#include <functional>

// The server's long-lived state and the services it talks to, owned by the
// shell and passed by reference to every subsystem.
struct ServerContext {
    ServerContext(Clock& c, OperatorPrompt& p, SettingsStore& s, ErrorBox& e)
        : clock(c), prompt(p), store(s), errorBox(e)
    {
    }
    ServerContext(const ServerContext&) = delete;
    ServerContext& operator=(const ServerContext&) = delete;

    Clock& clock;
    OperatorPrompt& prompt;
    SettingsStore& store;
    ErrorBox& errorBox;

    QString programDir;     // directory of the executable: holds prog.bak
    QString ConfigFilePath; // the configuration file in use
    QString ProgramTitle = QStringLiteral("VOV - Produktionsdaten");

    SettingsForm form;
    Settings settings;

    // The scan timer; an interval of 0 means stopped.
    QTimer tmrLoad;

    // The operator's window; none when headless.
    WindowControl* window = &noWindow();
    // Asked by the directory listing before it takes a file (full path);
    // empty: every file that is not read-only may be taken.
    std::function<bool(const QString& path)> fileSettled;
};

// Replaces the error box's whole text.
inline void writeTotxtError(ServerContext& ctx, const QString& message)
{
    ctx.errorBox.setText(message);
}
