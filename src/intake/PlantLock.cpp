#include "intake/PlantLock.h"

#include "platform/FileOps.h"
#include "platform/PendingError.h"
#include "platform/ProcessLock.h"
#include "platform/db/PlantAdvisoryLock.h"
#include "platform/db/PostgresDialect.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QSqlError>

#include <atomic>

// The schema's lock and the connection it lives on.
struct PlantLock::SchemaLock {
    QString url; // JobDatabaseUrl::toString() of the server it was taken on
    QString connectionName;
    QSqlDatabase db;
    db::PlantAdvisoryLock lock;

    ~SchemaLock()
    {
        lock.release();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connectionName);
    }
};

PlantLock::PlantLock() = default;

PlantLock::~PlantLock()
{
    unlock();
}

QString PlantLock::lockPath(const QString& clientDir)
{
    return fileops::joinPath(clientDir, QStringLiteral("prog.mdb.server-lock"));
}

QString PlantLock::cleanStopMarkerPath(const QString& clientDir)
{
    return fileops::joinPath(clientDir, QStringLiteral("prog.mdb.clean-stop"));
}

void PlantLock::unlock()
{
    // Written while the lock is still held, so that the next server finds
    // it as soon as it can take the plant.
    if (m_lock && m_databaseSound)
        fileops::writeDurably(cleanStopMarkerPath(m_dir), QStringLiteral("stopped in order by process %1 at %2\n")
                                                              .arg(QCoreApplication::applicationPid())
                                                              .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
                                                              .toUtf8());
    m_lock.reset();
    m_schemaLock.reset();
    m_dir.clear();
    m_previousStopClean = false;
    m_databaseSound = false;
}

bool PlantLock::lock(const QString& clientDir, QString* holder)
{
    if (m_lock && m_dir == clientDir)
        return true;
    unlock();
    if (clientDir.isEmpty() || !QFileInfo(clientDir).isDir())
        return true;

    auto lock = std::make_unique<ProcessLock>(fileops::nativePath(lockPath(clientDir)));
    switch (lock->tryLock()) {
    case ProcessLock::Result::Taken:
        m_lock = std::move(lock);
        m_dir = clientDir;
        // Gone for good before this server writes anything: should it stop
        // without leaving a new one, the next server checks.
        m_previousStopClean = fileops::removeDurably(cleanStopMarkerPath(clientDir));
        m_databaseSound = m_previousStopClean;
        return true;
    case ProcessLock::Result::Failed:
        return true; // cannot be written: neither can the job database
    case ProcessLock::Result::Held:
        break;
    }
    if (holder)
        *holder = lock->holder();
    return false;
}

PlantLock::Claim PlantLock::claim(const JobDatabaseUrl& server, QString* text)
{
    const QString url = server.toString();
    if (m_schemaLock && m_schemaLock->url == url && m_schemaLock->lock.held())
        return Claim::Ours;
    // Lost with its connection, or never taken: a connection of its own,
    // set up as the imports' are (the server's name, keepalives, the busy
    // timeout), so that the holder shows as "serverquirnel".
    unlock();
    static std::atomic<quint64> serial{0};
    auto taken = std::make_unique<SchemaLock>();
    taken->url = url;
    taken->connectionName = QStringLiteral("vov-plant-lock-%1").arg(++serial);
    taken->db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), taken->connectionName);
    server.applyTo(taken->db);
    constexpr int kBusyTimeoutMs = 5000;
    taken->db.setConnectOptions(db::PostgresDialect(server.schema).connectOptions(false, kBusyTimeoutMs));
    if (!taken->db.open()) {
        if (text)
            *text = taken->db.lastError().text().trimmed();
        return Claim::Unreachable;
    }
    QString said;
    switch (taken->lock.take(taken->db, server.schema, &said)) {
    case db::PlantAdvisoryLock::Result::Taken:
        m_schemaLock = std::move(taken);
        return Claim::Ours;
    case db::PlantAdvisoryLock::Result::HeldElsewhere:
        if (text)
            *text = said;
        return Claim::HeldElsewhere;
    case db::PlantAdvisoryLock::Result::Failed:
        break;
    }
    if (text)
        *text = said;
    return Claim::Unreachable;
}

bool PlantLock::claimForWriting(const JobDatabaseUrl& server, PendingError& err)
{
    QString text;
    switch (claim(server, &text)) {
    case Claim::Ours:
        return true;
    case Claim::HeldElsewhere:
        err.raise(ErrorNumber::RecordLocked,
                  QStringLiteral("Another server (%1) works on the job database %2.").arg(text, server.toString()));
        return false;
    case Claim::Unreachable:
        break;
    }
    err.raise(ErrorNumber::DiskOrNetwork,
              text.isEmpty() ? QStringLiteral("no connection to the database server") : text);
    return false;
}
