// The profile-name lookup and its one-entry cache: the same number twice
// opens the profile database once; an unknown number answers for itself;
// a missing database is tried again at every lookup.

#include "TestPlant.h"

#include "tximport/ProfileLookup.h"

#include <gtest/gtest.h>

TEST(ProfileLookup, NamesFromTheCacheAndDatabaseOpens)
{
    TestPlant plant;
    tx::ProfileCache cache;
    const auto lookup = [&](const char* number) { return tx::LookupProfileName(plant.ctx, cache, QString(number)); };
    EXPECT_EQ(lookup("12") + lookup("12"), QStringLiteral("1212"));
    EXPECT_EQ(cache.databaseOpens, 2);
    EXPECT_FALSE(cache.filled);

    plant.createProfileDatabase({{12, QStringLiteral("Rahmen")}, {7, QStringLiteral("Flügel")}});
    // The parent directory may use backslashes and doubled separators.
    plant.ctx.settings.clientParentDir = plant.root() + QStringLiteral("\\\\");
    // The comparison is numeric; the cache compares the text exactly.
    const QStringList names{lookup("12"), lookup("12"), lookup("7"),           lookup(" 12 "),
                            lookup("99"), lookup("99"), lookup("1' or '1'='1")};
    EXPECT_EQ(names.join(u'|'), QStringLiteral("Rahmen|Rahmen|Flügel|Rahmen|99|99|1' or '1'='1"));
    EXPECT_EQ(cache.databaseOpens, 2 + 5);
}
