#include "config/JobDatabaseLocation.h"

#include "platform/FileOps.h"

QString jobDatabaseFile(const ServerContext& ctx)
{
    return fileops::nativePath(fileops::joinPath(ctx.settings.clientDir, QStringLiteral("prog.mdb")));
}

QString jobDatabaseName(const ServerContext& ctx)
{
    return ctx.jobDatabaseServer ? ctx.jobDatabaseServer->toString() : jobDatabaseFile(ctx);
}

bool openJobDatabase(const ServerContext& ctx, db::Database& database, PendingError& err, db::Database::Transaction tx,
                     db::Database::Access access)
{
    if (ctx.jobDatabaseServer) {
        // Nothing is written while another server may hold the schema.
        if (access == db::Database::Access::ReadWrite && ctx.holdsPlant && !ctx.holdsPlant(err))
            return false;
        return database.open(*ctx.jobDatabaseServer, err, tx, access);
    }
    return database.open(jobDatabaseFile(ctx), err, tx, access);
}
