#include "shell/StartUp.h"

#include "Version.h"
#include "config/Configuration.h"
#include "config/ServerContext.h"
#include "intake/FileHandling.h"
#include "intake/JobState.h"
#include "intake/PlantLock.h"
#include "intake/ScanCycle.h"
#include "platform/ErrorBox.h"
#include "platform/FileOps.h"
#include "platform/ProcessLock.h"
#include "platform/SignalPipe.h"
#include "platform/WindowControl.h"
#include "shell/CommandLine.h"
#include "shell/FileAssociation.h"
#include "shell/InitDb.h"
#include "shell/PlantService.h"
#include "shell/Registry.h"
#include "shell/ServerManagerLink.h"
#include "tximport/PlantImporter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

const QString kProgramTitle = QStringLiteral("VOV - Produktionsdaten");

void printLine(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

// SIGTERM / SIGINT end the server between two cycles, SIGHUP reloads the
// configuration, on the event loop. A long import holds the event loop, so a
// stop that arrives during a cycle is said at once by the handler itself
// (once), so that whoever sent it knows why the server is still there.
volatile std::sig_atomic_t g_cycleRunning = 0;
// Set by the first stop said: test-and-set is one step, so a second signal
// that interrupts the handler of the first does not say it again.
std::atomic_flag g_stopSaid = ATOMIC_FLAG_INIT;
constexpr char kStopAfterImportTerm[] =
    "Stop requested (SIGTERM): the server ends when the import in progress is done.\n";
constexpr char kStopAfterImportInt[] =
    "Stop requested (SIGINT): the server ends when the import in progress is done.\n";

void sayStopDuringCycle(int sig)
{
    if (sig == SIGHUP || !g_cycleRunning || g_stopSaid.test_and_set())
        return;
    [[maybe_unused]] ssize_t n = 0;
    if (sig == SIGTERM)
        n = ::write(STDERR_FILENO, kStopAfterImportTerm, sizeof kStopAfterImportTerm - 1);
    else
        n = ::write(STDERR_FILENO, kStopAfterImportInt, sizeof kStopAfterImportInt - 1);
}

void handleSignals(QCoreApplication& app, ScanCycle& cycle, PlantService& service)
{
    QObject::connect(&cycle, &ScanCycle::cycleStarted, &app, [] { g_cycleRunning = 1; });
    QObject::connect(&cycle, &ScanCycle::cycleFinished, &app, [] { g_cycleRunning = 0; });
    signalpipe::deliver(&app, [&service](int sig) {
        if (sig == SIGHUP)
            service.reloadConfiguration();
        else
            service.stop();
    });
}

} // namespace

QString versionText()
{
    return QStringLiteral("V" VOV_VERSION);
}

QString instanceLockPath(const QString& programTitle)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath();
    return dir + QStringLiteral("/Server ") + programTitle + QStringLiteral(".lock");
}

namespace {

int runServerIn(QCoreApplication& app, Frontend* frontend)
{
    QCoreApplication::setOrganizationName(QStringLiteral("Lorvane-Application"));
    QCoreApplication::setApplicationName(QStringLiteral("Server ") + kProgramTitle);

    QStringList arguments = app.arguments();
    arguments.removeFirst();
    const LaunchOptions options = parseLaunchOptions(arguments);
    if (int code = 0; answerWithoutStarting(options, &code))
        return code;

    if (options.initDb) {
        QString message;
        const bool ok = options.initDbServer ? initJobDatabase(*options.initDbServer, &message)
                                             : initJobDatabase(options.initDbDir, &message);
        printLine(message);
        return ok ? 0 : 1;
    }

    // An installed program has no plant beside it: without the plant's
    // folders it says what to pass and ends before writing anything.
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString lacks =
        installedProgramLacks(options, programDir, ::access(QFile::encodeName(programDir).constData(), W_OK) == 0);
    if (!lacks.isEmpty()) {
        printLine(QStringLiteral("serverquirnel: ") + lacks);
        return 2;
    }

    // Entry procedure: publish the program's path and look at argument 1.
    RegisterServerPaths(QCoreApplication::applicationFilePath());
    const LegacyArgument arg1 = legacyArgument(options);
    if (arg1.registration) {
        RegisterFileAssociation(QStringLiteral("ZEZAD"), QCoreApplication::applicationFilePath());
        return 0;
    }
    if (!frontend && !runsHeadless(options))
        return 1;

    SystemClock clock;
    StandardErrorReports standardError;
    ServerContext* reportsOf = nullptr; // the answers' log lines are reports too
    PolicyPrompt policy(options.answerExists, options.answerFailed, [&reportsOf](const QString& line) {
        if (reportsOf)
            reportsOf->reports.send({ReportKind::Answer, line, {}});
        else
            printLine(line);
    });
    OperatorPrompt& prompt = frontend ? frontend->prompt(options, policy) : policy;
    QtSettingsStore store(QStringLiteral("Server ") + kProgramTitle);
    // Every report goes to standard error (the journal under the service),
    // and with a window to its error box too.
    ServerContext ctx(clock, prompt, store, standardError);
    ctx.jobDatabaseServer = options.jobDatabase;
    reportsOf = &ctx;
    if (frontend) {
        ctx.reports.addSink(frontend->errorBox());
        ctx.window = &frontend->window();
        frontend->attach(ctx);
    }
    ctx.programDir = options.programDir.isEmpty() ? programDir : QDir(options.programDir).absolutePath();
    ctx.ConfigFilePath = fileops::joinPath(ctx.programDir, QStringLiteral("ServerQuirnel.zezad"));
    if (!arg1.configFile.isEmpty())
        ctx.ConfigFilePath = QFileInfo(fileops::nativePath(arg1.configFile)).absoluteFilePath();

    // Single instance is decided before anything is read or written: a copy
    // that ends here leaves the settings store, the configuration file, the
    // server directory and the logs exactly as they were. The server
    // manager's "PrevInstance" decides when one runs, otherwise the lock file.
    ServerManagerLink managerLink(ctx, *ctx.window);
    QString managerTitle = kProgramTitle;
    const int managerResult = managerLink.ConnectServerManager(managerTitle);
    // Held for the life of the server.
    ProcessLock instanceLock(instanceLockPath(kProgramTitle));
    if (managerResult == ServerManagerLink::PrevInstance) {
        printLine(QStringLiteral("Server %1 is running already; this copy ends.").arg(kProgramTitle));
        return 2;
    }
    if (managerResult == ServerManagerLink::NoManager) {
        const ProcessLock::Result instance = instanceLock.tryLock();
        if (instance == ProcessLock::Result::Held) {
            printLine(QStringLiteral("Server %1 is running already (%2); this copy ends.")
                          .arg(kProgramTitle, instanceLock.holder()));
            return 2;
        }
        if (instance == ProcessLock::Result::Failed)
            printLine(QStringLiteral("The single-instance lock %1 cannot be made (%2); make its folder writable. "
                                     "The plant's own lock still keeps a second server off the job database.")
                          .arg(instanceLock.path(), instanceLock.errorString()));
    }

    // One plant, one server, whoever started the other one. On a database
    // server the plant is the schema; a server that cannot be reached now
    // is asked again before anything is written.
    PlantLock plantLock;
    QString holder;
    if (ctx.jobDatabaseServer) {
        const QString name = ctx.jobDatabaseServer->toString();
        switch (plantLock.claim(*ctx.jobDatabaseServer, &holder)) {
        case PlantLock::Claim::Ours:
            break;
        case PlantLock::Claim::HeldElsewhere:
            printLine(
                QStringLiteral("Another server (%1) works on the job database %2; this copy ends.").arg(holder, name));
            return 2;
        case PlantLock::Claim::Unreachable:
            printLine(QStringLiteral("The job database %1 cannot be reached (%2); job files wait until it can.")
                          .arg(name, holder));
            break;
        }
        ctx.holdsPlant = [&plantLock, &ctx](PendingError& err) {
            return plantLock.claimForWriting(*ctx.jobDatabaseServer, err);
        };
    } else if (const QString plant = configuredClientDir(ctx); !plantLock.lock(plant, &holder)) {
        printLine(
            QStringLiteral("Another server (%1) works on the job database in %2; this copy ends.").arg(holder, plant));
        return 2;
    }

    JobState job;
    PlantImporter importer(ctx, job);

    // Window load, without a window.
    ReadConfiguration(ctx);
    ctx.ProgramTitle = kProgramTitle;
    PurgeOldErrorCopies(ctx, &importer);
    // Without a server manager the server sits in the notification area.
    if (managerResult == ServerManagerLink::NoManager && frontend)
        frontend->installNotificationIcon(ctx.ProgramTitle);

    // Caught from before the start line, so that a signal from then on is
    // never the default's abrupt end; read once the event loop runs.
    const bool signalsCaught = !options.once && signalpipe::install({SIGTERM, SIGINT, SIGHUP}, sayStopDuringCycle);
    writeTotxtError(ctx, timeStamp(clock) + QStringLiteral(": Start Server"));
    if (frontend)
        frontend->finishLoad();

    ScanCycle cycle(ctx, importer);
    cycle.setPlantLock(&plantLock);
    PlantService service(ctx, cycle, options);
    // Another server took the schema while this one had lost its lock:
    // this one ends, as a second server at its start would.
    constexpr int kPlantTakenExitCode = 2;
    bool plantLost = false;
    QObject::connect(&cycle, &ScanCycle::plantLost, &app, [&plantLost, &service] {
        plantLost = true;
        service.stop(kPlantTakenExitCode);
    });
    if (options.once) {
        service.started();
        cycle.runOnce();
        ctx.tmrLoad.stop();
        managerLink.DisconnectServerManager();
        return plantLost ? kPlantTakenExitCode : 0;
    }
    if (signalsCaught)
        handleSignals(app, cycle, service);
    service.started();
    const int exitCode = app.exec();
    managerLink.DisconnectServerManager();
    return exitCode;
}

} // namespace

int runServer(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    return runServerIn(app, nullptr);
}

int runServer(QCoreApplication& app, Frontend& frontend)
{
    return runServerIn(app, &frontend);
}
