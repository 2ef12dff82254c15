#pragma once

#include <QString>

// The SQL that creates an empty job database (prog.mdb) and an empty
// profile database (Profil/profildatenbank.mdb), embedded at build time.
namespace schema {
QString jobDatabaseSql();
QString profileDatabaseSql();
// The import ledger's tables alone (part of jobDatabaseSql()), for a job
// database made before the ledger existed.
QString importLedgerSql();
} // namespace schema
