#pragma once

#include "platform/db/Database.h"

#include <QString>

#include <memory>

struct ServerContext;

namespace tx {

// One-entry cache of the last profile number looked up, and the profile
// database while one job file is read: opened at its first lookup, closed
// when the file is done (a profile database the plant replaces is read from
// the next file on).
struct ProfileCache {
    bool filled = false;
    QString number;
    QString name;
    int databaseOpens = 0; // how often opening the profile database was tried
    std::unique_ptr<db::Database> database;
};

// Profile name for a profile number from <client parent>/Profil/
// profildatenbank.mdb, table Profilliste. Never fails: the number itself is
// returned when no name is found.
QString LookupProfileName(ServerContext& ctx, ProfileCache& cache, const QString& number);

// Closes the profile database at the end of a job file's lookups.
void EndProfileLookups(ProfileCache& cache);

} // namespace tx
