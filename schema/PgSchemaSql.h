#pragma once

#include <QString>
#include <QStringList>

// The statements that create a machine's job database tables, with the
// import ledger's, in a PostgreSQL schema (jobdatabase.pg.sql), embedded at
// build time. They name no schema: run them in one transaction with the
// search path set to the machine's schema alone.
namespace schema {
QStringList jobDatabasePgStatements();
} // namespace schema
