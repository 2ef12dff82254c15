#include "PgCluster.h"

#include <QCoreApplication>
#include <QDir>
#include <QDeadlineTimer>
#include <QFile>
#include <QSqlQuery>
#include <QStandardPaths>

#include <csignal>
#include <pwd.h>
#include <unistd.h>

namespace {

std::unique_ptr<PgCluster> sharedCluster;

// The newest installed server's programs (their folders are numbered from 10 on).
QString findBinDir()
{
    const QString given = qEnvironmentVariable("VOV_PG_BINDIR");
    if (!given.isEmpty())
        return QFile::exists(given + QStringLiteral("/postgres")) ? given : QString();
    for (const QString& version : QDir(QStringLiteral("/usr/lib/postgresql"))
                                      .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed)) {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFile::exists(bin + QStringLiteral("/initdb")) && QFile::exists(bin + QStringLiteral("/postgres")))
            return bin;
    }
    return {};
}

} // namespace

PgCluster* PgCluster::shared(QString* why, bool* missing)
{
    std::unique_ptr<PgCluster>& cluster = sharedCluster;
    *missing = false;
    if (cluster)
        return cluster->running() || cluster->start(why) ? cluster.get() : nullptr;
    const QString binDir = findBinDir();
    if (binDir.isEmpty() || QStandardPaths::findExecutable(QStringLiteral("setpriv")).isEmpty() ||
        !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        *missing = true;
        *why = QStringLiteral("no initdb and postgres under /usr/lib/postgresql/*/bin (or VOV_PG_BINDIR), no "
                              "setpriv or no QPSQL driver; install postgresql and libqt6sql6-psql");
        return nullptr;
    }
    std::unique_ptr<PgCluster> made(new PgCluster);
    if (!made->create(binDir, why) || !made->start(why))
        return nullptr;
    cluster = std::move(made);
    // Stopped while the application object still exists (QProcess wants it).
    qAddPostRoutine([] { sharedCluster.reset(); });
    return cluster.get();
}

QStringList PgCluster::asServerUser(const QString& program, const QStringList& arguments) const
{
    // The server ends (fast shutdown) when this process ends, however it ends.
    return QStringList{QStringLiteral("setpriv")} + m_asUser +
           QStringList{QStringLiteral("--pdeathsig"), QStringLiteral("SIGINT"), m_binDir + u'/' + program} + arguments;
}

bool PgCluster::create(const QString& binDir, QString* why)
{
    m_binDir = binDir;
    if (!m_dir.isValid() || !QDir().mkpath(m_socketDir)) {
        *why = QStringLiteral("cannot make ") + m_socketDir;
        return false;
    }
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        for (const QString& path : {m_dir.path(), m_socketDir}) {
            if (!nobody || ::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
                *why = QStringLiteral("running as root, and %1 cannot be given to user \"nobody\"").arg(path);
                return false;
            }
        }
        m_asUser = QStringList{QStringLiteral("--reuid=%1").arg(nobody->pw_uid),
                               QStringLiteral("--regid=%1").arg(nobody->pw_gid), QStringLiteral("--clear-groups")};
    }
    const QStringList command =
        asServerUser(QStringLiteral("initdb"), {QStringLiteral("-D"), m_dataDir, QStringLiteral("-U"), superuser()}) +
        QStringLiteral("--auth=trust --encoding=UTF8 --locale=C --no-sync --no-instructions").split(u' ');
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.first(), command.mid(1));
    if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
        return true;
    *why =
        command.join(u' ') + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll()).right(2000) + p.errorString();
    return false;
}

bool PgCluster::start(QString* why)
{
    if (running())
        return true;
    const QString pidFile = m_dataDir + QStringLiteral("/postmaster.pid");
    QFile::remove(pidFile); // left by a killed server; the server checks it is stale anyway
    QStringList arguments{QStringLiteral("-D"), m_dataDir, QStringLiteral("-p"), QString::number(kPort)};
    // The socket folder is added whole: a temporary path may hold a blank.
    const QStringList settings =
        QStringLiteral("listen_addresses= fsync=off synchronous_commit=off full_page_writes=off max_connections=30 "
                       "shared_buffers=16MB TimeZone=%1")
            .arg(QLatin1String(kServerTimeZone))
            .split(u' ')
        << QStringLiteral("unix_socket_directories=") + m_socketDir;
    for (const QString& setting : settings)
        arguments << QStringLiteral("-c") << setting;
    const QStringList command = asServerUser(QStringLiteral("postgres"), arguments);
    m_server = std::make_unique<QProcess>();
    m_server->setStandardOutputFile(m_logPath, QIODevice::Append);
    m_server->setStandardErrorFile(m_logPath, QIODevice::Append);
    m_server->start(command.first(), command.mid(1));
    // Ready when the server writes "ready" into the status line of its pid
    // file (as pg_ctl -w waits for it).
    for (QDeadlineTimer deadline(60000); m_server->waitForStarted(10000) && !deadline.hasExpired();) {
        QFile f(pidFile);
        if (f.open(QIODevice::ReadOnly) && f.readAll().split('\n').value(7).trimmed() == "ready")
            return true;
        if (m_server->waitForFinished(20))
            break;
    }
    QFile log(m_logPath);
    *why = QStringLiteral("postgres did not get ready: ") + m_server->errorString() + u'\n' +
           (log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll().right(3000)) : QString());
    stop();
    return false;
}

bool PgCluster::stop()
{
    // SIGINT: a fast shutdown. A server that does not end is killed by its QProcess's destructor.
    const bool stopped =
        !running() || (::kill(pid_t(m_server->processId()), SIGINT) == 0 && m_server->waitForFinished(60000));
    m_server.reset();
    return stopped;
}

JobDatabaseUrl PgCluster::url(const QString& database, const QString& schema) const
{
    return {.host = {},
            .socketDir = m_socketDir,
            .user = superuser(),
            .database = database,
            .schema = schema,
            .port = kPort};
}

QString PgCluster::freshDatabase(QString* why)
{
    const QString name = QStringLiteral("t%1").arg(++m_databases);
    PgConnection admin(*this, QStringLiteral("postgres"));
    if (!admin.open(why))
        return {};
    QSqlQuery q(admin.db());
    // FILE_COPY: a plain copy of the template, the quickest with fsync off.
    if (q.exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE template0 ENCODING 'UTF8' STRATEGY FILE_COPY").arg(name)))
        return name;
    if (why)
        *why = q.lastError().text();
    return {};
}
