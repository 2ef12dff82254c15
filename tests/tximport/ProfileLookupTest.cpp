// The profile-name lookup and its one-entry cache.

#include "TestPlant.h"

#include "tximport/ProfileLookup.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Each step: the number looked up, the name expected, the database opens so far.
using Steps = std::vector<std::tuple<const char*, const char*, int>>;

class ProfileLookup : public ::testing::TestWithParam<std::pair<const char*, Steps>> {};

TEST_P(ProfileLookup, NamesAndDatabaseOpens)
{
    TestPlant plant;
    plant.createProfileDatabase({{12, QStringLiteral("Rahmen")}, {7, QStringLiteral("Flügel")}});
    tx::ProfileCache cache;
    for (const auto& [number, name, opens] : GetParam().second) {
        EXPECT_EQ(tx::LookupProfileName(plant.ctx, cache, QString(number)), QString(name)) << number;
        EXPECT_EQ(cache.databaseOpens, opens) << number;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ProfileLookup,
    ::testing::Values(
        std::pair("SameNumberTwiceOpensOnce", Steps{{"12", "Rahmen", 1}, {"12", "Rahmen", 1}}),
        std::pair("AlternatingOpensEveryTime", Steps{{"12", "Rahmen", 1}, {"7", "Flügel", 2}, {"12", "Rahmen", 3}}),
        // An unknown number answers for itself, and is cached that way.
        std::pair("UnknownNumberReturnsItself", Steps{{"99", "99", 1}, {"99", "99", 1}, {"12", "Rahmen", 2}}),
        // The comparison is numeric; the cache compares the text exactly.
        std::pair("BlanksAroundTheNumber", Steps{{" 12 ", "Rahmen", 1}, {"12", "Rahmen", 2}, {"012", "Rahmen", 3}}),
        std::pair("NotANumber", Steps{{"", "", 1}, {"12a", "12a", 2}, {"1' or '1'='1", "1' or '1'='1", 3}})),
    [](const auto& info) { return std::string(info.param.first); });

TEST(ProfileLookupMissing, MissingDatabaseIsTriedAgainAndNotCached)
{
    TestPlant plant;
    tx::ProfileCache cache;
    EXPECT_EQ(tx::LookupProfileName(plant.ctx, cache, QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(tx::LookupProfileName(plant.ctx, cache, QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(cache.databaseOpens, 2);
    EXPECT_FALSE(cache.filled);

    plant.createProfileDatabase({{12, QStringLiteral("Rahmen")}});
    // The parent directory may use backslashes and doubled separators.
    plant.ctx.settings.clientParentDir = plant.root() + QStringLiteral("\\\\");
    EXPECT_EQ(tx::LookupProfileName(plant.ctx, cache, QStringLiteral("12")), QStringLiteral("Rahmen"));
}

} // namespace
