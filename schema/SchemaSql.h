#pragma once

#include <QStringList>

// The statements that create an empty job database (prog.mdb) and an empty
// profile database (Profil/profildatenbank.mdb), embedded at build time
// from the schema files (one statement per block of lines).
namespace schema {
QStringList jobDatabaseSql();
QStringList profileDatabaseSql();
// The import ledger's tables alone (part of jobDatabaseSql()), for a job
// database made before the ledger existed.
QStringList importLedgerSql();
} // namespace schema
