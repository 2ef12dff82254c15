// "KR" remnant record through the real importer.

#include "ReaderTestHelpers.h"

#include <gtest/gtest.h>

using piecetest::field;
using piecetest::PieceImport;
using readertest::count;

namespace {

TEST(Remnant, StoresNumberLengthAndMark)
{
    PieceImport run;
    run.import({"KB 001L05000", "KRN0012L01500AR"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(run.bar(QStringLiteral("ResteTeileNr"), 1).toString(), QStringLiteral("0012"));
    EXPECT_DOUBLE_EQ(run.bar(QStringLiteral("ResteLaenge"), 1).toDouble(), 150.0);
    EXPECT_EQ(run.bar(QStringLiteral("ResteKennung"), 1).toString(), QStringLiteral("R"));
    EXPECT_DOUBLE_EQ(run.bar(QStringLiteral("Rohlaenge"), 1).toDouble(), 500.0);
}

TEST(Remnant, WithoutSubFieldsLeavesTheBarAsItWas)
{
    PieceImport run;
    run.import({"KB 001L05000", "KR"});
    ASSERT_FALSE(run.plant.job.LoadFailed);
    EXPECT_TRUE(run.bar(QStringLiteral("ResteLaenge"), 1).isNull());
    EXPECT_EQ(run.bar(QStringLiteral("ResteTeileNr"), 1).toString(), QStringLiteral("0"));
}

struct LabelDataCase {
    const char* name;
    int jobLoadMode;
    const char* record; // after "KB 001" and piece 0041
    bool hasLabelData;
    const char* labelList;
};

class RemnantLabelData : public ::testing::TestWithParam<LabelDataCase> {};

TEST_P(RemnantLabelData, ColumnsFlagAndLabelList)
{
    const LabelDataCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.JobLoadMode = c.jobLoadMode;
    run.import({"KB 001", "KTN0041", c.record});

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(run.plant.job.jobHasLabelData, c.hasLabelData);
    EXPECT_EQ(run.plant.job.labelList.text(), QString::fromLatin1(c.labelList));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RemnantLabelData,
    ::testing::Values(LabelDataCase{"NextPieceNumberNeedsNoEntry", 1, "KRDE11004200000", true, ""},
                      LabelDataCase{"OtherNumberIsListed", 1, "KRDE11005000000", true, "#50,42;"},
                      LabelDataCase{"PrinterZeroNoFlagNoEntry", 1, "KRDE10005000000", false, ""},
                      LabelDataCase{"SeparateModeNoEntry", 0, "KRDE11005000000", true, ""},
                      LabelDataCase{"OwnRemnantNumberNoEntry", 1, "KRN0012DE11005000000", true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Remnant, LabelDataColumns)
{
    PieceImport run;
    run.import({"KB 001", "KRDE23004201234AX"});
    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(run.bar(QStringLiteral("ResteEtkLaufbahn"), 1).toInt(), 2);
    EXPECT_EQ(run.bar(QStringLiteral("ResteEtkDruckerNr"), 1).toInt(), 3);
    EXPECT_EQ(run.bar(QStringLiteral("ResteEtkNr"), 1).toInt(), 42);
    EXPECT_DOUBLE_EQ(run.bar(QStringLiteral("ResteEtkPosition"), 1).toDouble(), 123.4);
    EXPECT_EQ(run.bar(QStringLiteral("ResteKennung"), 1).toString(), QStringLiteral("X"));
}

// "D" with a printer: one print row per remnant, "Label(Rest):" and the
// remnant's piece number; the job's old print rows go when the print data
// are prepared, once per import.
TEST(Remnant, LabelWritesPrintRows)
{
    PieceImport run;
    run.exec(QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES ('J1', 99, 'old')"));
    run.import({"KB 001", "KRN0012D1", "KB 002", "KRN0013D0", "KB 003", "KRN0014D2"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    const auto rows = run.rows(
        QStringLiteral("SELECT TeileNr, Etikettendaten FROM Druckdaten WHERE LosName='J1' ORDER BY TeileNr"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0][0].toInt(), 12);
    EXPECT_EQ(rows[0][1].toString(), QStringLiteral("Label(Rest):12"));
    EXPECT_EQ(rows[1][0].toInt(), 14);
    EXPECT_EQ(rows[1][1].toString(), QStringLiteral("Label(Rest):14"));
}

TEST(Remnant, PrintTableMissingStopsTheImport)
{
    PieceImport run(piecetest::Schema::NoPrintTable);
    run.plant.ctx.settings.JobLoadMode = 1;
    run.import({"KB 001", "KRN0012D1"});
    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_TRUE(readertest::lastLogMessage(run).endsWith(QStringLiteral("\r\nOpening printdata table in database?")))
        << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(run.stopBoxText(), QStringLiteral("Job: J1.$tx not correct loaded!!\r\n\r\n"
                                                "Opening printdata table in database?\r\n"));
}

// The bar stays open after its remnant: pieces that follow on the same bar
// still write their steel name into it.
TEST(Remnant, BarStaysOpenForThePiecesThatFollow)
{
    PieceImport run;
    run.import({"KB 001", "KRN0012L01500", "KTN0001S101000123SB" + field("ST-A", 8)});
    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(run.bar(QStringLiteral("StahlName"), 1).toString(), QStringLiteral("ST-A"));
    EXPECT_DOUBLE_EQ(run.bar(QStringLiteral("ResteLaenge"), 1).toDouble(), 150.0);
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Stabdaten")), 1);
}

} // namespace
