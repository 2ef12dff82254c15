#include "manager/ManagerCommand.h"

#include "ManagerBus.h"
#include "Version.h"
#include "manager/ServerManagerService.h"
#include "platform/SignalPipe.h"
#include "servermanagerproxy.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <csignal>
#include <cstdio>

namespace {

constexpr int kDone = 0;
constexpr int kNoSuchServer = 1;
constexpr int kNoManager = 2;
constexpr int kUsage = 64;

// start/stop/restart wait for the server's own answer.
constexpr int kCommandTimeoutMs = 130000;

const char* const kUsageText = "usage: serverquirnel-manager serve | list | start TITLE | stop TITLE | restart TITLE\n"
                               "       serverquirnel-manager --help | --version\n"
                               "  serve          keep the registrations of the servers on the session bus\n"
                               "  list           one line per registered server: title, client path, bus name (tabs)\n"
                               "  start TITLE    show the server's window (a server without one logs the call)\n"
                               "  stop TITLE     end the server between two scan cycles\n"
                               "  restart TITLE  send the server its restart command\n"
                               "  -h, --help     show this text and end\n"
                               "  -v, --version  show the program name and version and end\n";

void printErr(const QString& text)
{
    std::fprintf(stderr, "serverquirnel-manager: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

int serve(QCoreApplication& app)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        printErr(QStringLiteral("no session bus (%1); set DBUS_SESSION_BUS_ADDRESS or run under dbus-run-session")
                     .arg(bus.lastError().message()));
        return kNoManager;
    }
    ServerManagerService service(bus);
    QString message;
    if (!service.publish(&message)) {
        printErr(message);
        return kNoSuchServer;
    }
    printErr(message);
    if (signalpipe::install({SIGTERM, SIGINT}))
        signalpipe::deliver(&app, [](int) { QCoreApplication::quit(); });
    return app.exec();
}

// True when a manager owns its name on the session bus; otherwise says why not.
bool managerReachable(QDBusConnection& bus)
{
    if (!bus.isConnected()) {
        printErr(QStringLiteral("no session bus (%1)").arg(bus.lastError().message()));
        return false;
    }
    if (!bus.interface()->isServiceRegistered(managerbus::service()).value()) {
        printErr(
            QStringLiteral("no server manager running on the session bus (start one: serverquirnel-manager serve)"));
        return false;
    }
    return true;
}

int exitCodeFor(const QDBusError& error)
{
    const QString name = error.name();
    if (name == managerbus::errorUnknownTitle() || name == managerbus::errorUnknownCommand() ||
        name == managerbus::errorServerFailed())
        return kNoSuchServer;
    return kNoManager; // the manager went away or did not answer
}

int list()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!managerReachable(bus))
        return kNoManager;
    ServerManagerProxy manager(managerbus::service(), managerbus::path(), bus);
    QDBusPendingReply<QStringList, QStringList, QStringList> reply = manager.List();
    reply.waitForFinished();
    if (reply.isError()) {
        printErr(reply.error().message());
        return kNoManager;
    }
    const QStringList titles = reply.argumentAt<0>();
    const QStringList paths = reply.argumentAt<1>();
    const QStringList names = reply.argumentAt<2>();
    for (qsizetype i = 0; i < titles.size(); ++i)
        std::printf("%s\t%s\t%s\n", titles.at(i).toLocal8Bit().constData(), paths.value(i).toLocal8Bit().constData(),
                    names.value(i).toLocal8Bit().constData());
    std::fflush(stdout);
    return kDone;
}

int invoke(const QString& command, const QString& title)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!managerReachable(bus))
        return kNoManager;
    ServerManagerProxy manager(managerbus::service(), managerbus::path(), bus);
    manager.setTimeout(kCommandTimeoutMs);
    QDBusPendingReply<> reply = manager.Invoke(title, command);
    reply.waitForFinished();
    if (reply.isError()) {
        printErr(reply.error().message());
        return exitCodeFor(reply.error());
    }
    return kDone;
}

} // namespace

int runManager(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const QString verb = args.isEmpty() ? QString() : args.takeFirst();
    // A title with blanks may come quoted or as separate words.
    const QString title = args.join(QLatin1Char(' '));

    if (verb == QLatin1String("--help") || verb == QLatin1String("-h")) {
        std::fputs(kUsageText, stdout);
        return kDone;
    }
    if (verb == QLatin1String("--version") || verb == QLatin1String("-v")) {
        std::printf("serverquirnel-manager %s\n", VOV_VERSION);
        return kDone;
    }
    if (verb == QLatin1String("serve") && title.isEmpty())
        return serve(app);
    if (verb == QLatin1String("list") && title.isEmpty())
        return list();
    if (!title.isEmpty()) {
        if (verb == QLatin1String("start"))
            return invoke(QStringLiteral("Start"), title);
        if (verb == QLatin1String("stop"))
            return invoke(QStringLiteral("Stop"), title);
        if (verb == QLatin1String("restart"))
            return invoke(QStringLiteral("Restart"), title);
    }
    std::fputs(kUsageText, stderr);
    return kUsage;
}
