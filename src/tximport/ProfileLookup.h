#pragma once

#include <QString>

struct ServerContext;

namespace tx {

// One-entry cache of the last profile number looked up.
struct ProfileCache {
    bool filled = false;
    QString number;
    QString name;
    int databaseOpens = 0; // how often opening the profile database was tried
};

// Profile name for a profile number from <client parent>/Profil/
// profildatenbank.mdb, table Profilliste. Never fails: the number itself is
// returned when no name is found.
QString LookupProfileName(ServerContext& ctx, ProfileCache& cache, const QString& number);

} // namespace tx
