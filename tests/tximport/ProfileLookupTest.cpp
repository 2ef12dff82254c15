// The profile-name lookup and its one-entry cache.

#include "TestSupport.h"

#include "tximport/ProfileLookup.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

class ProfileLookupTest : public ::testing::Test {
protected:
    void SetUp() override { plant.createProfileDatabase({{12, QStringLiteral("Rahmen 70")}, {7, QStringLiteral("Flügel")}}); }

    QString lookup(const QString& number) { return tx::LookupProfileName(plant.ctx, cache, number); }

    TestPlant plant;
    tx::ProfileCache cache;
};

struct LookupStep {
    const char* number;
    const char* name;
    int opensSoFar;
};

struct LookupCase {
    const char* title;
    std::vector<LookupStep> steps;
};

class ProfileSequenceTest : public ProfileLookupTest, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(ProfileSequenceTest, NamesAndDatabaseOpens)
{
    for (const LookupStep& s : GetParam().steps) {
        EXPECT_EQ(lookup(QString::fromUtf8(s.number)), QString::fromUtf8(s.name)) << s.number;
        EXPECT_EQ(cache.databaseOpens, s.opensSoFar) << s.number;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, ProfileSequenceTest,
    ::testing::Values(
        LookupCase{"SameNumberTwiceOpensOnce", {{"12", "Rahmen 70", 1}, {"12", "Rahmen 70", 1}}},
        LookupCase{"AlternatingOpensEveryTime", {{"12", "Rahmen 70", 1}, {"7", "Flügel", 2}, {"12", "Rahmen 70", 3}}},
        // An unknown number answers for itself, and is cached that way.
        LookupCase{"UnknownNumberReturnsItself", {{"99", "99", 1}, {"99", "99", 1}, {"12", "Rahmen 70", 2}}},
        // Blanks stay in the text but the comparison is numeric; the cache
        // compares the text exactly.
        LookupCase{"BlanksAroundTheNumber", {{" 12 ", "Rahmen 70", 1}, {"12", "Rahmen 70", 2}, {"012", "Rahmen 70", 3}}},
        LookupCase{"NotANumber", {{"", "", 1}, {"12a", "12a", 2}, {"1' or '1'='1", "1' or '1'='1", 3}}}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(ProfileLookupMissing, MissingDatabaseIsTriedAgainAndNotCached)
{
    TestPlant plant;
    tx::ProfileCache cache;
    EXPECT_EQ(tx::LookupProfileName(plant.ctx, cache, QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(tx::LookupProfileName(plant.ctx, cache, QStringLiteral("12")), QStringLiteral("12"));
    EXPECT_EQ(cache.databaseOpens, 2);
    EXPECT_FALSE(cache.filled);

    plant.createProfileDatabase({{12, QStringLiteral("Rahmen 70")}});
    EXPECT_EQ(tx::LookupProfileName(plant.ctx, cache, QStringLiteral("12")), QStringLiteral("Rahmen 70"));
}

TEST_F(ProfileLookupTest, ParentDirectoryWithBackslashesAndDoubledSeparators)
{
    plant.ctx.settings.clientParentDir = plant.root() + QStringLiteral("\\\\");
    EXPECT_EQ(lookup(QStringLiteral("7")), QStringLiteral("Flügel"));
}

} // namespace
