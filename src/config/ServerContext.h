#pragma once

#include "config/Settings.h"
#include "config/SettingsForm.h"
#include "platform/Clock.h"
#include "platform/ErrorBox.h"
#include "platform/OperatorPrompt.h"
#include "platform/PendingError.h"
#include "platform/SettingsStore.h"
#include "platform/WindowControl.h"
#include "platform/db/JobDatabaseUrl.h"

#include <QString>
#include <QTimer>

#include <functional>
#include <optional>
#include <vector>

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
    // The job database on a PostgreSQL server (--job-database); none:
    // prog.mdb in the client directory.
    std::optional<JobDatabaseUrl> jobDatabaseServer;
    // Asked before a connection that may write to the job database on a
    // server is opened: whether this server holds the plant (the schema's
    // lock, taken again first when its connection was lost). False, with
    // the fault raised into err, when it does not. Unset: nothing to ask.
    std::function<bool(PendingError& err)> holdsPlant;

    // The scan timer; an interval of 0 means stopped.
    QTimer tmrLoad;

    // The operator's window; none when headless.
    WindowControl* window = &noWindow();
    // Asked by the directory listing before it takes a file (full path);
    // empty: every file that is not read-only may be taken.
    std::function<bool(const QString& path)> fileSettled;
    // While set, reports (error log, error box, logged answers) are held
    // here instead of written: a fault of the machine that persists from
    // cycle to cycle under a policy answer is said once (see ScanCycle).
    std::vector<std::function<void()>>* heldReports = nullptr;
};

// Holds a report's writing while reports are held; false when it is to be
// written now.
inline bool holdReport(ServerContext& ctx, std::function<void()> write)
{
    if (!ctx.heldReports)
        return false;
    ctx.heldReports->push_back(std::move(write));
    return true;
}

// Replaces the error box's whole text.
inline void writeTotxtError(ServerContext& ctx, const QString& message)
{
    if (!holdReport(ctx, [&ctx, message] { ctx.errorBox.setText(message); }))
        ctx.errorBox.setText(message);
}
