// "KB" bar record through the real importer.

#include "ReaderTestHelpers.h"

#include <gtest/gtest.h>

using piecetest::PieceImport;
using readertest::count;

namespace {

struct BarFieldCase {
    const char* name;
    const char* record;
    bool steelMode;
    const char* column;
    QVariant expected;
};

class BarFields : public ::testing::TestWithParam<BarFieldCase> {};

// Every record ends with "L01000": a sub-field of the wrong width shows as a
// wrong raw length or as a stop.
TEST_P(BarFields, StoreTheirColumnAndKeepTheWidth)
{
    const BarFieldCase& c = GetParam();
    PieceImport run;
    run.import({QByteArray(c.record) + "L01000"}, c.steelMode);

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    const QVariant v = run.bar(QString::fromLatin1(c.column), 1, c.steelMode);
    if (c.expected.isNull())
        EXPECT_TRUE(v.isNull()) << v.toString().toStdString();
    else
        EXPECT_EQ(v.toString(), c.expected.toString());
    EXPECT_DOUBLE_EQ(run.bar(QStringLiteral("Rohlaenge"), 1, c.steelMode).toDouble(), 100.0);
}

INSTANTIATE_TEST_SUITE_P(
    SubFields, BarFields,
    ::testing::Values(
        BarFieldCase{"Track", "KB 001E7", false, "Laufbahn", QStringLiteral("7")},
        BarFieldCase{"DesignationUntrimmed", "KB 001B  Fenster links     ", false, "Bezeichnung",
                     QStringLiteral("  Fenster links     ")},
        BarFieldCase{"ProfileNameTrimmed", "KB 001TB PR 70  ", false, "ProfilName", QStringLiteral("PR 70")},
        BarFieldCase{"SteelNameInSteelMode", "KB 001TB ST 70  ", true, "StahlName", QStringLiteral("ST 70")},
        BarFieldCase{"ColourTrimmed", "KB 001TF  weiss             ", false, "Farbe", QStringLiteral("weiss")},
        BarFieldCase{"ColourInSteelMode", "KB 001TF  weiss             ", true, "Farbe", QStringLiteral("weiss")},
        BarFieldCase{"SteelDesignation", "KB 001SB ST 4711", false, "StahlName", QStringLiteral("ST 4711")},
        BarFieldCase{"SteelDesignationIgnoredInSteelMode", "KB 001SB ST 4711", true, "StahlName", QVariant()},
        BarFieldCase{"SkippedFieldsAndBlanks", "KB 001R 12345A12PB12345678P123  ", false, "Bezeichnung", QVariant()},
        BarFieldCase{"NewBarHasNoRemnant", "KB 001", false, "ResteTeileNr", QStringLiteral("0")}),
    [](const auto& info) { return std::string(info.param.name); });

struct LengthCase {
    const char* field;
    double expected;
};

class BarLength : public ::testing::TestWithParam<LengthCase> {};

TEST_P(BarLength, FollowsTheTenthsRule)
{
    const LengthCase& c = GetParam();
    PieceImport run;
    run.import({QByteArray("KB 001L") + c.field});
    const QVariant v = run.bar(QStringLiteral("Rohlaenge"), 1);
    EXPECT_FALSE(v.isNull());
    EXPECT_DOUBLE_EQ(v.toDouble(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Values, BarLength,
                         ::testing::Values(LengthCase{"12345", 1234.5}, LengthCase{"00000", 0},
                                           LengthCase{"-0012", 0}, LengthCase{"  123", 12.3}));

struct ProfileCase {
    const char* name;
    bool threeDigits;
    bool steelMode;
    const char* record;
    const char* number;
    const char* profileName;
};

class BarProfile : public ::testing::TestWithParam<ProfileCase> {};

TEST_P(BarProfile, NumberAndLookedUpName)
{
    const ProfileCase& c = GetParam();
    PieceImport run;
    run.plant.createProfileDatabase({{12, QStringLiteral("PVC 12")}, {123, QStringLiteral("PVC 123")}});
    run.plant.ctx.settings.ProfNum3Digit = c.threeDigits;
    run.import({QByteArray(c.record) + "L01000"}, c.steelMode);

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    const QString numberColumn = c.steelMode ? QStringLiteral("StahlNr") : QStringLiteral("ProfilNr");
    const QString nameColumn = c.steelMode ? QStringLiteral("StahlName") : QStringLiteral("ProfilName");
    EXPECT_EQ(run.bar(numberColumn, 1, c.steelMode).toString(), QString::fromLatin1(c.number));
    EXPECT_EQ(run.bar(nameColumn, 1, c.steelMode).toString(), QString::fromLatin1(c.profileName));
    EXPECT_DOUBLE_EQ(run.bar(QStringLiteral("Rohlaenge"), 1, c.steelMode).toDouble(), 100.0);
}

INSTANTIATE_TEST_SUITE_P(
    Lookup, BarProfile,
    ::testing::Values(ProfileCase{"TwoDigits", false, false, "KB 001T12", "12", "PVC 12"},
                      ProfileCase{"ThreeDigits", true, false, "KB 001T123", "123", "PVC 123"},
                      ProfileCase{"NotInTheList", false, false, "KB 001T99", "99", "99"},
                      ProfileCase{"BlankTrimmedNameLookedUpUntrimmed", true, false, "KB 001T 12", "12", "PVC 12"},
                      ProfileCase{"SteelMode", false, true, "KB 001T12", "12", "PVC 12"},
                      ProfileCase{"NameFromFileWinsWhenLater", false, false, "KB 001T12TB OWN     ", "12", "OWN"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BarRecord, TwoDigitProfileNumberStopsOnTheThirdDigit)
{
    PieceImport run;
    run.plant.ctx.settings.JobLoadMode = 1; // job mode: the stop leaves the rows
    run.import({"KB 001T123L01000"});

    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_EQ(readertest::lastLogMessage(run),
              QStringLiteral("Job: J1.$tx\r\nLine: 1\r\nCol: 10\r\nWrong ID: <3L01000>"));
    // The bar row is stored as far as it was read.
    EXPECT_EQ(run.bar(QStringLiteral("ProfilNr"), 1).toString(), QStringLiteral("12"));
}

TEST(BarRecord, LoadIdentifiersAndReleaseNumbers)
{
    PieceImport run;
    run.plant.ctx.settings.GenLoadID = true;
    run.plant.ctx.settings.AutoFreigabe = true;
    run.plant.ctx.form.chkAutoFreigabe = 1;
    run.carry.nextBarID = 40; // what an earlier import of this run reached
    run.import({"KB 001", "KB 002", "KB 003"});

    const auto rows = run.rows(QStringLiteral("SELECT StabNr, LoadID, ID, Freigabe IS NOT NULL FROM Stabdaten "
                                              "ORDER BY StabNr"));
    ASSERT_EQ(rows.size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(rows[i][1].toInt(), i) << "LoadID of bar " << i + 1;
        EXPECT_EQ(rows[i][2].toInt(), 40 + i) << "ID of bar " << i + 1;
        EXPECT_TRUE(rows[i][3].toBool());
    }
    EXPECT_EQ(run.carry.nextBarID, 43);
}

TEST(BarRecord, SteelBarsGetNoReleaseNumber)
{
    PieceImport run;
    run.plant.ctx.settings.AutoFreigabe = true;
    run.plant.ctx.form.chkAutoFreigabe = 1;
    run.import({"KB 001"}, true);
    EXPECT_TRUE(run.bar(QStringLiteral("ID"), 1, true).isNull());
    EXPECT_TRUE(run.bar(QStringLiteral("Freigabe"), 1, true).isNull());
}

// Override: the bars of the job are found again; their old pieces go
// (production data) or are detached and, when not attached again, deleted
// at the end (steel data).
TEST(BarRecord, OverrideReusesBarsAndReplacesTheirPieces)
{
    PieceImport run;
    run.import({"KB 001L01000", "KTN0001", "KTN0002", "KB 002", "KTN0003"});
    ASSERT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Teiledaten")), 3);

    run.plant.prompt.yesNoCancelAnswers = {Answer::No};
    run.import({"KB 001L02000", "KTN0004"});

    EXPECT_FALSE(run.plant.job.LoadFailed);
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Stabdaten WHERE StabNr=1")), 1);
    EXPECT_DOUBLE_EQ(run.bar(QStringLiteral("Rohlaenge"), 1).toDouble(), 200.0);
    const auto pieces = run.rows(QStringLiteral("SELECT TeileNr, StabNr FROM Teiledaten ORDER BY TeileNr"));
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0][0].toInt(), 3); // bar 2 was not in the file: untouched
    EXPECT_EQ(pieces[1][0].toInt(), 4);
    EXPECT_EQ(pieces[1][1].toInt(), 1);
}

TEST(BarRecord, SteelOverrideDeletesPiecesNotAttachedAgain)
{
    PieceImport run;
    run.import({"KB 001", "KTN0001", "KTN0002", "KB 002", "KTN0003"}, true);
    ASSERT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM StahlTeiledaten")), 3);

    run.plant.prompt.yesNoCancelAnswers = {Answer::No};
    run.import({"KB 001", "KTN0001"}, true);

    EXPECT_FALSE(run.plant.job.LoadFailed);
    const auto pieces =
        run.rows(QStringLiteral("SELECT TeileNr, PVCTeileNr FROM StahlTeiledaten ORDER BY TeileNr"));
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0][0].toInt(), 1); // found again and attached again
    EXPECT_EQ(pieces[0][1].toInt(), 1);
    EXPECT_EQ(pieces[1][0].toInt(), 3); // another bar's piece stays attached
}

TEST(BarRecord, SteelImportWithoutOverrideDeletesNothing)
{
    PieceImport run;
    run.import({"KB 001", "KTN0001"}, true, QStringLiteral("A"));
    run.exec(QStringLiteral("UPDATE StahlTeiledaten SET PVCTeileNr=0"));
    run.import({"KB 001", "KTN0001"}, true, QStringLiteral("B"));
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM StahlTeiledaten WHERE PVCTeileNr=0")), 1);
}

} // namespace
