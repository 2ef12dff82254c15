// Piece sub-field "D" (labels) through the real importer.

#include "PieceImportFixture.h"

#include <gtest/gtest.h>

using piecetest::PieceImport;
using piecetest::Schema;

namespace {

QList<QVariantList> printRows(const PieceImport& run)
{
    return run.rows(QStringLiteral("SELECT LosName, TeileNr, Etikettendaten FROM Druckdaten ORDER BY LosName, TeileNr"));
}

TEST(ShortLabel, PrinterZeroWritesNothing)
{
    PieceImport run;
    run.import({"KTN0012D0L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_TRUE(run.piece("EtikettDruckerNr", 12).isNull());
    EXPECT_TRUE(run.piece("EtikettNr", 12).isNull());
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 12).toDouble(), 100.0);
    EXPECT_TRUE(printRows(run).isEmpty());
    EXPECT_FALSE(run.plant.job.jobHasLabelData);
}

TEST(ShortLabel, FirstLabelOfTheFileReplacesTheJobsPrintRows)
{
    PieceImport run;
    run.exec(QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES ('J1', 5, 'old')"));
    run.exec(QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES ('J2', 5, 'other job')"));
    run.import({"KTN0012D3L01000", "KTN0013D1"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_EQ(run.piece("EtikettDruckerNr", 12).toInt(), 3);
    EXPECT_EQ(run.piece("EtikettNr", 12).toInt(), 12);
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 12).toDouble(), 100.0);
    EXPECT_TRUE(run.plant.job.jobHasLabelData);

    const QList<QVariantList> rows = printRows(run);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0], (QVariantList{QStringLiteral("J1"), 12, QStringLiteral("Label:12")}));
    EXPECT_EQ(rows[1], (QVariantList{QStringLiteral("J1"), 13, QStringLiteral("Label:13")}));
    EXPECT_EQ(rows[2], (QVariantList{QStringLiteral("J2"), 5, QStringLiteral("other job")}));
}

TEST(ShortLabel, MissingPrintTableTakesTheFailureExit)
{
    PieceImport run(Schema::NoPrintTable);
    run.plant.ctx.settings.JobLoadMode = 1;
    run.import({"KTN0012D3L01000"});

    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_TRUE(run.lastReport().contains(QLatin1String("Opening printdata table in database?")))
        << run.lastReport().toStdString();
    EXPECT_TRUE(run.stopBoxText().contains(QLatin1String("Opening printdata table in database?")));
}

TEST(FullLabel, WritesLanePrinterNumberAndPosition)
{
    PieceImport run;
    run.plant.ctx.settings.CompareDEandKTN = 1;
    run.import({"KTN0012DE13001200125L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_EQ(run.piece("EtikettLaufbahn", 12).toInt(), 1);
    EXPECT_EQ(run.piece("EtikettDruckerNr", 12).toInt(), 3);
    EXPECT_EQ(run.piece("EtikettNr", 12).toInt(), 12);
    EXPECT_DOUBLE_EQ(run.piece("EtikettPosition", 12).toDouble(), 12.5);
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 12).toDouble(), 100.0);
    EXPECT_TRUE(run.plant.job.jobHasLabelData);
    EXPECT_TRUE(printRows(run).isEmpty());
}

struct CheckCase {
    const char* name;
    int compare;
    const char* subField;
    const char* report; // nullptr: the import goes on
    bool hasLabelData;
};

class LabelPieceCheck : public ::testing::TestWithParam<CheckCase> {};

TEST_P(LabelPieceCheck, ForeignLabelNumberStopsOnlyWhenPrintedAndChecked)
{
    const CheckCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.CompareDEandKTN = c.compare;
    run.plant.ctx.settings.JobLoadMode = 1;
    run.import({QByteArray("KTN0012") + c.subField});

    EXPECT_EQ(run.plant.job.LoadFailed, c.report != nullptr) << run.lastReport().toStdString();
    EXPECT_EQ(run.plant.job.jobHasLabelData, c.hasLabelData);
    if (c.report) {
        const QString expected = QString::fromLatin1(c.report);
        EXPECT_TRUE(run.stopBoxText().contains(expected)) << run.stopBoxText().toStdString();
        EXPECT_TRUE(run.lastReport().contains(expected)) << run.lastReport().toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, LabelPieceCheck,
                         ::testing::Values(CheckCase{"Mismatch", 1, "DE13001300125",
                                                     "DE130013... <Wrong piece number> KTN0012...", true},
                                           CheckCase{"PrinterZero", 1, "DE10001300125", nullptr, false},
                                           CheckCase{"CheckOff", 0, "DE13001300125", nullptr, true},
                                           CheckCase{"CheckGreyed", 2, "DE13001300125", nullptr, true},
                                           CheckCase{"NumberComparedAsText", 1, "DE13  1200125",
                                                     "DE13  12... <Wrong piece number> KTN0012...", true}),
                         [](const auto& info) { return std::string(info.param.name); });

struct ListCase {
    const char* name;
    bool convert;
    int loadMode;
    const char* subField;
    const char* list;
};

class LabelList : public ::testing::TestWithParam<ListCase> {};

TEST_P(LabelList, ListsLabelsNumberedApartFromTheirPiece)
{
    const ListCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.ConvToPvcNum = c.convert;
    run.plant.ctx.settings.JobLoadMode = c.loadMode;
    run.import({QByteArray("KTN0012") + c.subField});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_EQ(run.plant.job.labelList.text(), QString::fromLatin1(c.list));
}

INSTANTIATE_TEST_SUITE_P(Cases, LabelList,
                         ::testing::Values(ListCase{"OtherNumber", true, 1, "DE13000700125", "#7,0012;"},
                                           ListCase{"OwnNumber", true, 1, "DE13001200125", ""},
                                           ListCase{"NoPrinter", true, 1, "DE10000700125", ""},
                                           ListCase{"SeparateMode", true, 0, "DE13000700125", ""},
                                           ListCase{"ConversionOff", false, 2, "DE13000700125", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
