// "KTN" piece record head and its sub-fields "F", "K", "P", "T" through the
// real importer.

#include "ReaderTestHelpers.h"

#include "config/SettingsForm.h"

#include <gtest/gtest.h>

using piecetest::PieceImport;
using readertest::count;

namespace {

struct CompartmentCase {
    const char* name;
    bool fourDigits;
    const char* subField;
    QVariant trolley;
    double compartment;
};

class Compartment : public ::testing::TestWithParam<CompartmentCase> {};

// Each record goes on with commission, position and type, so a wrong width
// of "F" shows in the following columns.
TEST_P(Compartment, FormsAndWidths)
{
    const CompartmentCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.FachNum4Digit = c.fourDigits;
    run.import({"KB 001", QByteArray("KTN0001") + c.subField + "K1234567PPOS01T12"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    if (c.trolley.isNull())
        EXPECT_TRUE(run.piece(QStringLiteral("WagenNr")).isNull());
    else
        EXPECT_DOUBLE_EQ(run.piece(QStringLiteral("WagenNr")).toDouble(), c.trolley.toDouble());
    EXPECT_DOUBLE_EQ(run.piece(QStringLiteral("FachNr")).toDouble(), c.compartment);
    EXPECT_EQ(run.piece(QStringLiteral("Kommission")).toString(), QStringLiteral("1234567"));
    EXPECT_EQ(run.piece(QStringLiteral("Position")).toString(), QStringLiteral("POS01"));
    EXPECT_EQ(run.piece(QStringLiteral("TeileTyp")).toString(), QStringLiteral("12"));
}

INSTANTIATE_TEST_SUITE_P(
    Forms, Compartment,
    ::testing::Values(CompartmentCase{"CompartmentOnly3", false, "F034", QVariant(), 34},
                      CompartmentCase{"CompartmentOnly4", true, "F0345", QVariant(), 345},
                      CompartmentCase{"Trolley3", false, "FW012034", 12, 34},
                      CompartmentCase{"Trolley4", true, "FW0120345", 12, 345},
                      CompartmentCase{"Shelf3", false, "FSxyz012034002", 12, 2034},
                      CompartmentCase{"Shelf4", true, "FSxyz0120345002", 12, 2345},
                      CompartmentCase{"NoCompartment", false, "", QVariant(), 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PieceHead, ThreeDigitCompartmentLeavesTheFourthDigitAsALetter)
{
    PieceImport run;
    run.import({"KB 001", "KTN0001F0345"});
    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_EQ(readertest::lastLogMessage(run),
              QStringLiteral("Job: J1.$tx\r\nLine: 2\r\nCol: 12\r\nWrong ID: <5 ... >"));
}

// Pieces without a current bar get a bar row of their own, numbered like
// the piece; a bar record ends that.
TEST(PieceHead, PiecesBeforeAnyBarGetTheirOwnBars)
{
    PieceImport run;
    run.import({"KTN0005", "KTN0007", "KB 010", "KTN0008"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    const auto bars = run.rows(QStringLiteral("SELECT StabNr FROM Stabdaten ORDER BY StabNr"));
    ASSERT_EQ(bars.size(), 3);
    EXPECT_EQ(bars[0][0].toInt(), 5);
    EXPECT_EQ(bars[1][0].toInt(), 7);
    EXPECT_EQ(bars[2][0].toInt(), 10);
    EXPECT_EQ(run.piece(QStringLiteral("StabNr"), 5).toInt(), 5);
    EXPECT_EQ(run.piece(QStringLiteral("StabNr"), 7).toInt(), 7);
    EXPECT_EQ(run.piece(QStringLiteral("StabNr"), 8).toInt(), 10);
}

struct SteelDefaultCase {
    int saDefault;
    QVariant selection;
};

class SteelPieceColumns : public ::testing::TestWithParam<SteelDefaultCase> {};

// A steel piece of the steel-data file: linked to the job's PVC piece (its
// own number, or the one the production-data file listed for it), with the
// bar's steel name and the default selection.
TEST_P(SteelPieceColumns, FromSettingsAndThePvcList)
{
    const SteelDefaultCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.form.cmbSADefault = c.saDefault;
    run.plant.job.pvcPieceNumbers.append(QStringLiteral("12"), QStringLiteral("0034"));
    run.import({"KS 001TBST-1    ", "KTN0012", "KTN0013"}, true);

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    const auto rows = run.rows(QStringLiteral("SELECT TeileNr, StabNr, PVCLosName, Stahllaufbahn, PVCTeileNr, "
                                              "StahlName, Stahlanwahl FROM StahlTeiledaten ORDER BY TeileNr"));
    ASSERT_EQ(rows.size(), 2);
    for (const auto& row : rows) {
        EXPECT_EQ(row[1].toInt(), 1);
        EXPECT_EQ(row[2].toString(), QStringLiteral("J1"));
        EXPECT_EQ(row[3].toInt(), 1);
        EXPECT_EQ(row[5].toString(), QStringLiteral("ST-1"));
        EXPECT_EQ(row[6].isNull(), c.selection.isNull());
        if (!c.selection.isNull())
            EXPECT_EQ(row[6].toInt(), c.selection.toInt());
    }
    EXPECT_EQ(rows[0][4].toInt(), 34); // listed
    EXPECT_EQ(rows[1][4].toInt(), 13); // its own number
}

INSTANTIATE_TEST_SUITE_P(SADefault, SteelPieceColumns,
                         ::testing::Values(SteelDefaultCase{SADefault::NoSteel, 0},
                                           SteelDefaultCase{SADefault::ManualSteel, 1},
                                           SteelDefaultCase{SADefault::AutomaticSteel, 2},
                                           SteelDefaultCase{SADefault::SwitchOff, QVariant()}));

TEST(PieceHead, SteelPiecesGetReleaseNumbers)
{
    PieceImport run;
    run.plant.ctx.settings.AutoFreigabe = true;
    run.plant.ctx.form.chkAutoFreigabe = 1;
    run.carry.nextPieceID = 7;
    run.import({"KB 001", "KTN0001", "KTN0002"}, true);
    EXPECT_EQ(run.piece(QStringLiteral("ID"), 1, true).toInt(), 7);
    EXPECT_EQ(run.piece(QStringLiteral("ID"), 2, true).toInt(), 8);
    EXPECT_FALSE(run.piece(QStringLiteral("Freigabe"), 1, true).isNull());
    EXPECT_EQ(run.carry.nextPieceID, 9);
}

// Overriding steel data: a steel piece is found again by its number, not
// added a second time.
TEST(PieceHead, SteelOverrideFindsThePieceAgain)
{
    PieceImport run;
    run.import({"KB 001", "KTN0001K1111111"}, true);
    run.plant.prompt.yesNoCancelAnswers = {Answer::No};
    run.import({"KB 001", "KTN0001K2222222", "KTN0002"}, true);

    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM StahlTeiledaten WHERE TeileNr=1")), 1);
    EXPECT_EQ(run.piece(QStringLiteral("Kommission"), 1, true).toString(), QStringLiteral("2222222"));
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM StahlTeiledaten")), 2);
}

} // namespace
