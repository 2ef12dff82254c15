#include "shell/InitDb.h"

#include "PgSchemaSql.h"
#include "SchemaSql.h"
#include "platform/FileOps.h"
#include "platform/db/Database.h"
#include "platform/db/PostgresDialect.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>

bool initJobDatabase(const QString& dir, QString* message)
{
    if (dir.isEmpty()) {
        *message = QStringLiteral("--init-db needs the client directory that is to hold prog.mdb");
        return false;
    }
    const QString path = fileops::joinPath(dir, QStringLiteral("prog.mdb"));
    if (QFileInfo::exists(path)) {
        *message = QStringLiteral("%1 exists already; nothing was changed").arg(path);
        return false;
    }
    if (!QDir().mkpath(fileops::nativePath(dir))) {
        *message = QStringLiteral("cannot create the directory %1").arg(dir);
        return false;
    }
    if (!db::createDatabase(path, schema::jobDatabaseSql(), message))
        return false;
    *message = QStringLiteral("created %1").arg(path);
    return true;
}

bool initJobDatabase(const JobDatabaseUrl& server, QString* message)
{
    const QString connectionName = QStringLiteral("vov-init-db");
    QString why;
    db::CreateSchemaResult result = db::CreateSchemaResult::Failed;
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connectionName);
        server.applyTo(d);
        constexpr int kLockWaitMs = 5000;
        d.setConnectOptions(db::PostgresDialect(server.schema).connectOptions(false, kLockWaitMs));
        if (d.open())
            result = db::createPostgresJobSchema(d, server.schema, schema::jobDatabasePgStatements(), &why);
        else
            why = d.lastError().text().trimmed();
        d.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
    switch (result) {
    case db::CreateSchemaResult::Created:
        *message = QStringLiteral("created the job database in %1").arg(server.toString());
        return true;
    case db::CreateSchemaResult::AlreadyThere:
        *message = QStringLiteral("%1: %2").arg(server.toString(), why);
        return false;
    case db::CreateSchemaResult::Failed:
        break;
    }
    *message = QStringLiteral("could not create the job database in %1: %2").arg(server.toString(), why);
    return false;
}
