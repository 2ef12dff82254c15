#include "platform/db/PlantAdvisoryLock.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace db {

namespace {

// The two halves of the key, as the lock functions take them (?: schema).
const char* const kKey = "hashtext('serverquirnel'), hashtext(?)";

bool run(QSqlQuery& q, const QString& sql, const QString& schema)
{
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        return false;
    q.addBindValue(schema);
    return q.exec() && q.next();
}

} // namespace

PlantAdvisoryLock::~PlantAdvisoryLock()
{
    release();
}

PlantAdvisoryLock::Result PlantAdvisoryLock::take(const QSqlDatabase& db, const QString& schema, QString* text)
{
    release();
    QSqlQuery q(db);
    if (!run(q, QStringLiteral("SELECT pg_try_advisory_lock(%1)").arg(QLatin1String(kKey)), schema)) {
        if (text)
            *text = q.lastError().text().trimmed();
        return Result::Failed;
    }
    if (!q.value(0).toBool()) {
        if (text) {
            const QString who = holder(db, schema);
            *text =
                who.isEmpty() ? QStringLiteral("another session (it ended meanwhile, or it may not be named)") : who;
        }
        return Result::HeldElsewhere;
    }
    m_db = db;
    m_schema = schema;
    m_taken = true;
    return Result::Taken;
}

void PlantAdvisoryLock::release()
{
    if (!m_taken)
        return;
    m_taken = false;
    if (m_db.isOpen()) {
        QSqlQuery q(m_db);
        run(q, QStringLiteral("SELECT pg_advisory_unlock(%1)").arg(QLatin1String(kKey)), m_schema);
    }
    m_db = QSqlDatabase();
}

bool PlantAdvisoryLock::held()
{
    if (!m_taken || !m_db.isOpen())
        return false;
    QSqlQuery q(m_db);
    return run(q,
               QStringLiteral("SELECT count(*) FROM pg_locks l, (SELECT %1) k(a, b) WHERE l.pid = pg_backend_pid() "
                              "AND l.locktype = 'advisory' AND l.granted AND l.objsubid = 2 "
                              "AND l.classid = (k.a::bigint & 4294967295)::oid "
                              "AND l.objid = (k.b::bigint & 4294967295)::oid")
                   .arg(QLatin1String(kKey)),
               m_schema) &&
           q.value(0).toInt() > 0;
}

QString PlantAdvisoryLock::holder(const QSqlDatabase& db, const QString& schema)
{
    // pg_locks shows the key's halves as oids (unsigned); a lock taken with
    // two keys has objsubid 2. Who holds it: pg_stat_activity, which shows
    // the client of another role's session only to a member of
    // pg_read_all_stats.
    QSqlQuery q(db);
    if (!run(q,
             QStringLiteral("SELECT l.pid, host(a.client_addr), a.application_name, a.usename, "
                            "to_char(a.backend_start, 'YYYY-MM-DD HH24:MI:SS') "
                            "FROM pg_locks l CROSS JOIN (SELECT %1) k(a, b) "
                            "LEFT JOIN pg_stat_activity a ON a.pid = l.pid "
                            "WHERE l.locktype = 'advisory' AND l.granted AND l.objsubid = 2 "
                            "AND l.database = (SELECT oid FROM pg_database WHERE datname = current_database()) "
                            "AND l.classid = (k.a::bigint & 4294967295)::oid "
                            "AND l.objid = (k.b::bigint & 4294967295)::oid LIMIT 1")
                 .arg(QLatin1String(kKey)),
             schema))
        return {};
    // Without the right to see the session's details its start is Null too.
    QStringList about;
    const QString application = q.value(2).toString();
    const bool detailsShown = !q.value(4).isNull();
    const QString client = q.value(1).isNull() ? QStringLiteral("a local socket") : q.value(1).toString();
    if (!application.isEmpty())
        about << (detailsShown ? QStringLiteral("%1 from %2").arg(application, client) : application);
    else if (detailsShown)
        about << QStringLiteral("from %1").arg(client);
    if (!q.value(3).isNull())
        about << QStringLiteral("user %1").arg(q.value(3).toString());
    about << (detailsShown ? QStringLiteral("since %1").arg(q.value(4).toString())
                           : QStringLiteral("its client is not shown to this user"));
    return QStringLiteral("session %1 (%2)").arg(q.value(0).toString(), about.join(QLatin1String(", ")));
}

} // namespace db
