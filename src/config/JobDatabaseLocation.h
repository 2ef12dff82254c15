#pragma once

#include "config/ServerContext.h"
#include "platform/PendingError.h"
#include "platform/db/Database.h"

#include <QString>

// Where the plant's job database is: prog.mdb in the client directory, or
// the schema of a PostgreSQL database that --job-database names. Every
// part of the server opens it through here.

// prog.mdb in the client directory (also when the job database is on a
// server: then the file is not used).
QString jobDatabaseFile(const ServerContext& ctx);
// The job database as reports name it: the file, or the URL.
QString jobDatabaseName(const ServerContext& ctx);
bool openJobDatabase(const ServerContext& ctx, db::Database& database, PendingError& err,
                     db::Database::Transaction tx = db::Database::Transaction::PerCall,
                     db::Database::Access access = db::Database::Access::ReadWrite);
