#include "shell/InitDb.h"

#include "SchemaSql.h"
#include "platform/FileOps.h"
#include "platform/db/Database.h"

#include <QDir>
#include <QFileInfo>

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
