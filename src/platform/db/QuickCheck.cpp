#include "platform/db/Database.h"

#include "platform/db/DbErrors.h"
#include "platform/db/Dialect.h"
#include "platform/db/Connection.h"

#include <QSqlQuery>

namespace db {

bool checkDatabase(const QString& path, PendingError& err)
{
    Database database;
    if (!database.open(path, err, Database::Transaction::AutoCommit, Database::Access::ReadOnly))
        return false;
    ConnectionData* conn = database.connection();
    const QString sql = conn->dialect->quickCheckSql();
    if (sql.isEmpty())
        return true;
    QSqlQuery q(conn->db);
    if (!q.exec(sql)) {
        conn->raise(q.lastError(), err, nullptr);
        return false;
    }
    QStringList findings;
    while (q.next())
        findings << q.value(0).toString();
    if (findings == QStringList{QStringLiteral("ok")})
        return true;
    error::damaged(err, findings.join(QStringLiteral("; ")).left(300));
    return false;
}

} // namespace db
