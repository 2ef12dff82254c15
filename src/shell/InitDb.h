#pragma once

#include "platform/db/JobDatabaseUrl.h"

#include <QString>

// Creates DIR/prog.mdb, an empty job database. Refuses (no change) when the
// file exists. Returns false with a message for the operator on failure.
bool initJobDatabase(const QString& dir, QString* message);

// Creates the machine's schema of a PostgreSQL job database (or takes one
// made beforehand) with its tables and the import ledger's, in one
// transaction. Refuses (no change) when the schema holds job database
// tables already. Returns false with a message for the operator on failure.
bool initJobDatabase(const JobDatabaseUrl& server, QString* message);
