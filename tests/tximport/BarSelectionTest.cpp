// "KS" bar selection record through the real importer.

#include "ReaderTestHelpers.h"

#include <gtest/gtest.h>

using piecetest::PieceImport;
using readertest::count;

namespace {

// A bar that a bar record created is selected as it is: no sub-field is
// read, nothing is written to it, and its pieces join it.
TEST(BarSelection, FindsABarOfTheJob)
{
    PieceImport run;
    run.import({"KB 007TBPR-7    L01000", "KB 008TBPR-8    ", "KS 007L09999TBOTHER   ", "KTN0001"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Stabdaten")), 2);
    EXPECT_EQ(run.piece(QStringLiteral("StabNr")).toInt(), 7);
    EXPECT_DOUBLE_EQ(run.bar(QStringLiteral("Rohlaenge"), 7).toDouble(), 100.0);
    EXPECT_EQ(run.bar(QStringLiteral("ProfilName"), 7).toString(), QStringLiteral("PR-7"));
    EXPECT_EQ(run.plant.job.BarProfileName, QStringLiteral("PR-7"));
}

TEST(BarSelection, SteelBarsGiveTheirSteelNameToTheirPieces)
{
    PieceImport run;
    run.import({"KB 007TBST-7    ", "KB 008TBST-8    ", "KS 007", "KTN0001"}, true);

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(run.piece(QStringLiteral("StahlName"), 1, true).toString(), QStringLiteral("ST-7"));
    EXPECT_EQ(run.piece(QStringLiteral("StabNr"), 1, true).toInt(), 7);
}

struct NewBarCase {
    const char* name;
    bool threeDigits;
    bool steelMode;
    const char* record;
    const char* column;
    QVariant expected;
};

class NewBar : public ::testing::TestWithParam<NewBarCase> {};

TEST_P(NewBar, IsMadeFromTheSubFields)
{
    const NewBarCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.ProfNum3Digit = c.threeDigits;
    run.import({c.record, "KTN0001"}, c.steelMode);

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM %1Stabdaten")
                             .arg(c.steelMode ? QStringLiteral("Stahl") : QString())),
              1);
    const QVariant v = run.bar(QString::fromLatin1(c.column), 9, c.steelMode);
    if (c.expected.typeId() == QMetaType::Double)
        EXPECT_DOUBLE_EQ(v.toDouble(), c.expected.toDouble());
    else
        EXPECT_EQ(v.toString(), c.expected.toString());
    EXPECT_EQ(run.piece(QStringLiteral("StabNr"), 1, c.steelMode).toInt(), 9);
}

INSTANTIATE_TEST_SUITE_P(
    SubFields, NewBar,
    ::testing::Values(NewBarCase{"Length", false, false, "KS 009L01234", "Rohlaenge", 123.4},
                      NewBarCase{"LengthZero", false, false, "KS 009L00000", "Rohlaenge", 0.0},
                      NewBarCase{"ProfileName", false, false, "KS 009B12TBPR-9    L01000", "ProfilName",
                                 QStringLiteral("PR-9")},
                      NewBarCase{"SteelName", false, true, "KS 009TBST-9    ", "StahlName", QStringLiteral("ST-9")},
                      NewBarCase{"Colour", false, false, "KS 009TF  weiss             L01000", "Farbe",
                                 QStringLiteral("weiss")},
                      NewBarCase{"ProfileNumberAsName", false, false, "KS 009T12L01000", "ProfilName",
                                 QStringLiteral("12")},
                      NewBarCase{"ThreeDigitProfileNumber", true, false, "KS 009T123L01000", "ProfilName",
                                 QStringLiteral("123")},
                      NewBarCase{"NumberAsInTheFile", false, false, "KS 009L01000", "StabNr", 9.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(BarSelection, LeadingZerosFindTheBar)
{
    PieceImport run;
    run.import({"KB  7 TBPR-7    ", "KB 008TBPR-8    ", "KS 007", "KTN0001"});
    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Stabdaten")), 2);
    EXPECT_EQ(run.piece(QStringLiteral("StabNr")).toInt(), 7);
}

} // namespace
