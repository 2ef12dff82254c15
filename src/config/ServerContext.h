#pragma once

#include "config/Settings.h"
#include "config/SettingsForm.h"
#include "platform/Clock.h"
#include "platform/OperatorPrompt.h"
#include "platform/PendingError.h"
#include "platform/Report.h"
#include "platform/SettingsStore.h"
#include "platform/WindowControl.h"
#include "platform/db/JobDatabaseUrl.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// The server's long-lived state and the services it talks to, owned by the
// shell and passed by reference to every subsystem.
struct ServerContext {
    // Reports go to the error files and to shownIn (the error box, or
    // standard error headless); more sinks may be added.
    ServerContext(Clock& c, OperatorPrompt& p, SettingsStore& s, ReportSink& shownIn) : clock(c), prompt(p), store(s)
    {
        reports.addSink(errorFiles);
        reports.addSink(shownIn);
    }
    ServerContext(const ServerContext&) = delete;
    ServerContext& operator=(const ServerContext&) = delete;

    Clock& clock;
    OperatorPrompt& prompt;
    SettingsStore& store;

    QString programDir;     // directory of the executable: holds prog.bak
    QString ConfigFilePath; // the configuration file in use
    QString ProgramTitle = QStringLiteral("VOV - Produktionsdaten");

    SettingsForm form;
    Settings settings;
    // The job database on a PostgreSQL server (--job-database); none:
    // prog.mdb in the client directory.
    std::optional<JobDatabaseUrl> jobDatabaseServer;
    // Asked before a connection that may write to the job database on a
    // server is opened: whether this server holds the plant (the schema's
    // lock, taken again first when its connection was lost). False, with
    // the fault raised into err, when it does not. Unset: nothing to ask.
    std::function<bool(PendingError& err)> holdsPlant;

    // Every report of the server goes through here.
    Reports reports;
    ErrorFiles errorFiles{settings.clientDir};

    // The scan timer; an interval of 0 means stopped.
    QTimer tmrLoad;

    // The operator's window; none when headless.
    WindowControl* window = &noWindow();
    // Asked by the directory listing before it takes a file (full path);
    // empty: every file that is not read-only may be taken.
    std::function<bool(const QString& path)> fileSettled;
};

// Replaces the error box's whole text.
inline void writeTotxtError(ServerContext& ctx, const QString& text)
{
    ctx.reports.send({ReportKind::Shown, text, {}});
}

// Adds a line below the error box's text.
inline void addToErrorBox(ServerContext& ctx, const QString& line)
{
    ctx.reports.send({ReportKind::Added, line, {}});
}

// Brings the window with the error box to the front (headless: nothing).
inline void raiseErrorBox(ServerContext& ctx)
{
    ctx.reports.send({ReportKind::Raised, {}, {}});
}
