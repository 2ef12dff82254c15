// Piece sub-field "D" (labels) through the real importer (failure exits: SubFieldFailure).

#include "PieceImportFixture.h"

#include <gtest/gtest.h>

using namespace piecetest;

namespace {

struct LabelCase {
    const char* name;
    int compare; // CompareDEandKTN
    bool convert;
    int loadMode;
    const char* subField; // of piece 12
    const char* report;   // nullptr: the import goes on
    bool hasLabelData;
    const char* list;
    Columns columns = {}; // of piece 12
    const char* printRows = "J1,5,old;J2,5,other job"; // as they were before
};

class Labels : public ::testing::TestWithParam<LabelCase> {};

TEST_P(Labels, PrintRowsPieceCheckAndLabelList)
{
    const LabelCase& c = GetParam();
    PieceImport run;
    run.exec(QStringLiteral("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES "
                            "('J1', 5, 'old'), ('J2', 5, 'other job')"));
    run.plant.ctx.settings.CompareDEandKTN = c.compare;
    run.plant.ctx.settings.ConvToPvcNum = c.convert;
    run.plant.ctx.settings.JobLoadMode = c.loadMode;
    run.import({QByteArray("KTN0012") + c.subField});

    EXPECT_EQ(run.plant.job.LoadFailed, c.report != nullptr) << run.lastReport().toStdString();
    EXPECT_EQ(run.plant.job.jobHasLabelData, c.hasLabelData);
    EXPECT_EQ(run.plant.job.labelList.text(), QString::fromLatin1(c.list));
    if (c.report) {
        EXPECT_TRUE(run.stopBoxText().contains(QLatin1String(c.report))) << run.stopBoxText().toStdString();
        EXPECT_TRUE(run.lastReport().contains(QLatin1String(c.report))) << run.lastReport().toStdString();
    }
    expectColumns(run, c.columns, 12);
    EXPECT_EQ(run.value(QStringLiteral("SELECT group_concat(LosName || ',' || TeileNr || ',' || Etikettendaten, ';') "
                                       "FROM (SELECT * FROM Druckdaten ORDER BY LosName, TeileNr)")).toString(),
              QLatin1String(c.printRows));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Labels,
    ::testing::Values(
        LabelCase{"ShortPrinterZero", 0, false, 1, "D0L01000", nullptr, false, "",
                  {{"EtikettDruckerNr", Null}, {"EtikettNr", Null}, {"TeileLaenge", 100}}},
        // The first short label with a printer replaces the job's print rows.
        LabelCase{"Short", 0, false, 0, "D3L01000\r\nKTN0013D1", nullptr, true, "",
                  {{"EtikettDruckerNr", 3}, {"EtikettNr", 12}, {"TeileLaenge", 100}},
                  "J1,12,Label:12;J1,13,Label:13;J2,5,other job"},
        LabelCase{"Full", 1, false, 1, "DE13001200125L01000", nullptr, true, "",
                  {{"EtikettLaufbahn", 1}, {"EtikettDruckerNr", 3}, {"EtikettNr", 12}, {"EtikettPosition", 12.5},
                   {"TeileLaenge", 100}}},
        LabelCase{"Mismatch", 1, false, 1, "DE13001300125", "DE130013... <Wrong piece number> KTN0012...", true, ""},
        LabelCase{"MismatchPrinterZero", 1, false, 1, "DE10001300125", nullptr, false, ""},
        LabelCase{"MismatchCheckOff", 0, false, 1, "DE13001300125", nullptr, true, ""},
        LabelCase{"MismatchCheckGreyed", 2, false, 1, "DE13001300125", nullptr, true, ""},
        LabelCase{"NumberComparedAsText", 1, false, 1, "DE13  1200125", "DE13  12... <Wrong piece number> KTN0012...",
                  true, ""},
        LabelCase{"ListOtherNumber", 0, true, 1, "DE13000700125", nullptr, true, "#7,0012;"},
        LabelCase{"ListOwnNumber", 0, true, 1, "DE13001200125", nullptr, true, ""},
        LabelCase{"ListNoPrinter", 0, true, 1, "DE10000700125", nullptr, false, ""},
        LabelCase{"ListSeparateMode", 0, true, 0, "DE13000700125", nullptr, true, ""},
        LabelCase{"ListConversionOff", 0, false, 2, "DE13000700125", nullptr, true, ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
