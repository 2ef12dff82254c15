#include "tximport/ProfileLookup.h"

#include "config/ServerContext.h"
#include "platform/PendingError.h"
#include "platform/Text.h"
#include "platform/db/Database.h"

namespace tx {

namespace {

// <client parent>/Profil/profildatenbank.mdb. The client parent directory
// ends with a separator; doubled separators are collapsed, a leading "//"
// (a network share) is kept.
QString profileDatabasePath(const ServerContext& ctx)
{
    QString path = ctx.settings.clientParentDir + QStringLiteral("/Profil/profildatenbank.mdb");
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const bool share = path.startsWith(QLatin1String("//"));
    QString body = share ? path.mid(2) : path;
    while (body.contains(QLatin1String("//")))
        body.replace(QLatin1String("//"), QLatin1String("/"));
    return share ? QStringLiteral("//") + body : body;
}

} // namespace

QString LookupProfileName(ServerContext& ctx, ProfileCache& cache, const QString& number)
{
    // The bars of one profile follow each other; they cost one query.
    if (cache.filled && cache.number == number)
        return cache.name;

    QString result = number;
    PendingError err;
    if (!cache.database) {
        auto database = std::make_unique<db::Database>();
        ++cache.databaseOpens;
        if (!database->open(profileDatabasePath(ctx), err, db::Database::Transaction::AutoCommit,
                            db::Database::Access::ReadOnly))
            return result; // not cached: the database is tried again next time
        cache.database = std::move(database);
    }

    // The number as it came from the file; blanks around it are fine,
    // anything that is not a number finds nothing and the number answers
    // for itself.
    const QVariant value = text::searchNumber(number);
    if (value.isValid()) {
        const db::Row row =
            cache.database->firstRow(QStringLiteral("Profilliste"), {{QStringLiteral("ProfilNr"), value}}, err);
        const QVariant name = row.isNull() ? QVariant() : row.get(QStringLiteral("Profilname"), err);
        if (!err.pending() && !name.isNull())
            result = name.toString();
    }
    cache.filled = true;
    cache.number = number;
    cache.name = result;
    return result;
}

void EndProfileLookups(ProfileCache& cache)
{
    cache.database.reset();
}

} // namespace tx
