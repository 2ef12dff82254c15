#pragma once

// A throw-away PostgreSQL server for the tests: a cluster made with initdb
// in a temporary folder, served by the newest /usr/lib/postgresql/*/bin
// (or $VOV_PG_BINDIR) on a Unix socket in that folder only, fsync off.
// Started once per test process on first use; each test takes a fresh
// database. As root, initdb and postgres run as "nobody" (setpriv); the
// server dies with the test process (a parent-death signal). Its own time
// zone (UTC+12:45) is one no test machine is in, so a connection that does
// not set the machine's zone shows. stop() (a fast shutdown: clients are
// told, 57P01) and start() take it away and bring it back in the middle of
// a test.

#include "platform/db/JobDatabaseUrl.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class PgCluster {
public:
    // The cluster of this process, started now when it is not running.
    // Null when it cannot be had; *why says why, and *missing is true when
    // PostgreSQL's programs or Qt's QPSQL driver are not installed (a test
    // skips then; any other reason is a failure).
    static PgCluster* shared(QString* why, bool* missing);

    ~PgCluster() { stop(); }

    [[nodiscard]] const QString& socketDir() const { return m_socketDir; }
    [[nodiscard]] int port() const { return kPort; }
    [[nodiscard]] static QString superuser() { return QStringLiteral("postgres"); }

    // The job database URL of a schema in one of its databases, as the superuser.
    [[nodiscard]] JobDatabaseUrl url(const QString& database, const QString& schema) const;

    // A new, empty database ("t1", "t2", ... in this process); empty
    // string (and *why) when it could not be made.
    QString freshDatabase(QString* why);

    bool stop();
    // Starts the server again on the same cluster.
    bool start(QString* why);
    [[nodiscard]] bool running() const { return m_server && m_server->state() != QProcess::NotRunning; }
    // The server's whole log (standard output and error, appended).
    [[nodiscard]] const QString& logPath() const { return m_logPath; }

private:
    PgCluster() = default;
    bool create(const QString& binDir, QString* why);
    QStringList asServerUser(const QString& program, const QStringList& arguments) const;

    static constexpr int kPort = 5432;
    static constexpr const char* kServerTimeZone = "Pacific/Chatham";
    QTemporaryDir m_dir;
    QString m_binDir;
    const QString m_dataDir = m_dir.filePath(QStringLiteral("data"));
    const QString m_socketDir = m_dir.filePath(QStringLiteral("socket"));
    const QString m_logPath = m_dir.filePath(QStringLiteral("server.log"));
    QStringList m_asUser; // setpriv's options for the server's user; empty: as this process's user
    std::unique_ptr<QProcess> m_server;
    int m_databases = 0;
};

// A QPSQL connection of its own to a database of the cluster, as the
// superuser; closed and removed when it goes.
class PgConnection {
public:
    PgConnection(const PgCluster& cluster, const QString& database)
        : m_db(QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name))
    {
        cluster.url(database, {}).applyTo(m_db);
    }
    ~PgConnection()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    PgConnection(const PgConnection&) = delete;
    PgConnection& operator=(const PgConnection&) = delete;

    // Opens it; false with the driver's words in *why.
    bool open(QString* why = nullptr)
    {
        if (!m_db.open() && why)
            *why = m_db.lastError().text();
        return m_db.isOpen();
    }
    QSqlDatabase& db() { return m_db; }

private:
    inline static int s_serial = 0;
    const QString m_name = QStringLiteral("pgcluster-%1").arg(++s_serial);
    QSqlDatabase m_db;
};

// In a test: the shared cluster into `var`, or skip the test when
// PostgreSQL is not installed, or fail it when the cluster does not start.
#define VOV_PG_CLUSTER_OR_SKIP(var)                                                                                    \
    QString pgWhy_;                                                                                                    \
    bool pgMissing_ = false;                                                                                           \
    PgCluster* var = PgCluster::shared(&pgWhy_, &pgMissing_);                                                          \
    if (!var && pgMissing_)                                                                                            \
        GTEST_SKIP() << "PostgreSQL not installed: " << pgWhy_.toStdString();                                          \
    if (!var) {                                                                                                        \
        FAIL() << "the PostgreSQL test cluster did not start: " << pgWhy_.toStdString();                               \
    }
