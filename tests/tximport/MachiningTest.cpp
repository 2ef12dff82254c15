// Piece sub-fields "W", "Q", "B", "E", "C", "A", "X", the separators and
// the Wrong ID report, through the real importer.

#include "PieceImportFixture.h"

#include <gtest/gtest.h>

#include <optional>

using piecetest::PieceImport;

namespace {

QList<QVariantList> machiningRows(const PieceImport& run)
{
    return run.rows(QStringLiteral(
        "SELECT LosName, TeileNr, StabNr, BearbNr, WerkzPos, Tiefe, YOffset, ZOffset FROM Werkzeugdaten ORDER BY RowKey"));
}

// Null when not given.
using Opt = std::optional<double>;

void expectValue(const QVariant& got, Opt want, const char* column)
{
    if (!want)
        EXPECT_TRUE(got.isNull()) << column << " = " << got.toString().toStdString();
    else
        EXPECT_DOUBLE_EQ(got.toDouble(), *want) << column << " is Null: " << got.isNull();
}

struct FixedCase {
    const char* subField;
    double number;
    double position;
};

class FixedMachining : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FixedMachining, WritesOneRowPerOperation)
{
    SCOPED_TRACE(GetParam().subField);
    PieceImport run;
    run.import({"KB 003L06000", QByteArray("KTN0012") + GetParam().subField + "L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    const QList<QVariantList> rows = machiningRows(run);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][0].toString(), QStringLiteral("J1"));
    EXPECT_EQ(rows[0][1].toInt(), 12);
    EXPECT_EQ(rows[0][2].toInt(), 3);
    expectValue(rows[0][3], GetParam().number, "BearbNr");
    expectValue(rows[0][4], GetParam().position, "WerkzPos");
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 12).toDouble(), 100.0);
}

INSTANTIATE_TEST_SUITE_P(Values, FixedMachining,
                         ::testing::Values(FixedCase{"W0500150", 5, 15}, FixedCase{"W0500000", 5, 0},
                                           FixedCase{"W07-0012", 7, 0}, FixedCase{"W12 0015", 12, 1.5},
                                           FixedCase{"Wx 00150", 0, 15}));

TEST(FixedMachining, BlankPositionTakesTheFailureExitWithTheRowAsAdded)
{
    PieceImport run;
    run.plant.ctx.settings.JobLoadMode = 1; // the stop exit keeps the rows
    run.import({"KTN0012W05     L01000"});

    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_TRUE(run.lastReport().contains(QLatin1String("Type mismatch"))) << run.lastReport().toStdString();
    EXPECT_TRUE(run.lastReport().contains(QLatin1String("Buf:L01000"))) << run.lastReport().toStdString();
    EXPECT_FALSE(run.stopBoxText().isEmpty());
    const QList<QVariantList> rows = machiningRows(run);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0][1].toInt(), 12);
    EXPECT_TRUE(rows[0][3].isNull());
    EXPECT_TRUE(rows[0][4].isNull());
}

struct ListCase {
    const char* name;
    int choice;
    const char* subField;
    Opt number, position, depth, yOffset, zOffset;
};

class ListMachining : public ::testing::TestWithParam<ListCase> {};

TEST_P(ListMachining, PlacesTheValuesByTheChosenLayout)
{
    const ListCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.form.cmbWBAddData = c.choice;
    run.import({QByteArray("KTN0012") + c.subField});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    const QList<QVariantList> rows = machiningRows(run);
    ASSERT_EQ(rows.size(), 1);
    expectValue(rows[0][3], c.number, "BearbNr");
    expectValue(rows[0][4], c.position, "WerkzPos");
    expectValue(rows[0][5], c.depth, "Tiefe");
    expectValue(rows[0][6], c.yOffset, "YOffset");
    expectValue(rows[0][7], c.zOffset, "ZOffset");
}

constexpr const char* kFour = "WB 3,1200,55,12;L01000";
const Opt none;

INSTANTIATE_TEST_SUITE_P(
    Layouts, ListMachining,
    ::testing::Values(ListCase{"None", -1, kFour, 3, 120, none, 5.5, 1.2},
                      ListCase{"Choice0", 0, kFour, 3, 120, none, 1.2, 5.5},
                      ListCase{"Choice1", 1, kFour, 3, 120, 1.2, none, 5.5},
                      ListCase{"Choice2", 2, kFour, 3, 120, none, 5.5, 1.2},
                      ListCase{"Choice3", 3, kFour, 3, 120, 1.2, 5.5, none},
                      ListCase{"Choice4", 4, kFour, 3, 120, 5.5, none, 1.2},
                      ListCase{"Choice5", 5, kFour, 3, 120, 5.5, 1.2, none},
                      ListCase{"UnknownChoice", 9, kFour, 3, 120, none, 5.5, 1.2},
                      ListCase{"TwoNumbers", 4, "WB 3,1200;", 3, 120, none, none, none},
                      ListCase{"ThreeNumbers", 4, "WB 3, 1200 , 55 ;", 3, 120, 5.5, none, none},
                      ListCase{"MoreIgnored", 4, "WB 3,1200,55,12,99;", 3, 120, 5.5, none, 1.2},
                      ListCase{"ZeroAndNegative", 4, "WB 3,-5,-5,0;", 3, 0, -0.5, none, 0},
                      ListCase{"NoSemicolonTakesTheRest", 4, "WB 3,1200,55,12", 3, 120, 5.5, none, 1.2},
                      ListCase{"RoundsTheNumber", 4, "WB 2.5,10;", 2, 1, none, none, none}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ListMachining, GoesOnWithTheSubFieldAfterTheSemicolon)
{
    PieceImport run;
    run.import({"KTN0012WB 3,1200; L01000WB 4,100;"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_EQ(machiningRows(run).size(), 2);
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 12).toDouble(), 100.0);
}

struct StrictCase {
    const char* name;
    const char* subField;
    const char* selected; // the "Sel:" of the report
};

class ListMachiningFailure : public ::testing::TestWithParam<StrictCase> {};

TEST_P(ListMachiningFailure, NotANumberTakesTheFailureExit)
{
    PieceImport run;
    run.plant.ctx.settings.JobLoadMode = 1;
    run.import({QByteArray("KTN0012") + GetParam().subField});

    EXPECT_TRUE(run.plant.job.LoadFailed);
    const QString report = run.lastReport();
    EXPECT_TRUE(report.contains(QLatin1String("Type mismatch"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("Sel: ") + QLatin1String(GetParam().selected) + QStringLiteral("\r\n")))
        << report.toStdString();
    // The row stays as it was added: job, piece and bar only.
    const QList<QVariantList> rows = machiningRows(run);
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows[0][3].isNull());
    EXPECT_TRUE(rows[0][4].isNull());
}

INSTANTIATE_TEST_SUITE_P(Cases, ListMachiningFailure,
                         ::testing::Values(StrictCase{"Number", "WB x3,1200;", "x3"},
                                           StrictCase{"Position", "WB 3,12a0;", "12a0"},
                                           StrictCase{"MissingPosition", "WB 3;", ""},
                                           StrictCase{"Value2", "WB 3,1200,5x;", "5x"},
                                           StrictCase{"Value3", "WB 3,1200,55,1 2;", "1 2"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TailFields, CutHeightsBarcodeAndSkippedField)
{
    PieceImport run;
    run.import({"KTN0012Q00123-0010B*  CODE 4711         EZ  L01000", "KTN0013Q00000ab   BxABCDEFGHIJKLMNOPQRSTL02000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_DOUBLE_EQ(run.piece("KappHoeheAnschnitt", 12).toDouble(), 12.3);
    EXPECT_DOUBLE_EQ(run.piece("KappHoeheAbschnitt", 12).toDouble(), 0);
    EXPECT_EQ(run.piece("Barcode", 12).toString(), QStringLiteral("CODE 4711"));
    EXPECT_EQ(run.piece("PrintBarcode", 12).toString(), QStringLiteral("CODE 4711"));
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 12).toDouble(), 100.0);
    EXPECT_DOUBLE_EQ(run.piece("KappHoeheAbschnitt", 13).toDouble(), 0);
    EXPECT_EQ(run.piece("Barcode", 13).toString(), QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 13).toDouble(), 200.0);
}

struct ContinuationCase {
    const char* name;
    QByteArray content;
    int machiningRows;
    double onAngle; // AnGehrung of piece 1; -1: Null
    int bars;       // rows in Stabdaten
};

class Continuation : public ::testing::TestWithParam<ContinuationCase> {};

TEST_P(Continuation, NextLineBeginningKtGoesOnWithTheSamePiece)
{
    const ContinuationCase& c = GetParam();
    PieceImport run;
    run.importBytes(c.content);

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge").toDouble(), 100.0);
    EXPECT_EQ(machiningRows(run).size(), c.machiningRows);
    if (c.onAngle < 0)
        EXPECT_TRUE(run.piece("AnGehrung").isNull());
    else
        EXPECT_DOUBLE_EQ(run.piece("AnGehrung").toDouble(), c.onAngle);
    EXPECT_EQ(run.value(QStringLiteral("SELECT COUNT(*) FROM Stabdaten")).toInt(), c.bars);
    for (const QVariantList& row : machiningRows(run))
        EXPECT_EQ(row[1].toInt(), 1);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, Continuation,
    ::testing::Values(ContinuationCase{"FixedMachining", "KTN0001L01000C\r\nKTWW0500150W0600200\r\n", 2, -1, 1},
                      ContinuationCase{"ListMachining", "KTN0001L01000C\r\nKTWB 3,1200;\r\n", 1, -1, 1},
                      ContinuationCase{"Angles", "KTN0001L01000C\r\nKTGG45009000\r\n", 0, 45, 1},
                      ContinuationCase{"LeadingBlanks", "KTN0001L01000C\r\n   KTGG45009000\r\n", 0, 45, 1},
                      ContinuationCase{"LineFeedInTheLine", "KTN0001L01000C\nKTGG45009000\r\n", 0, 45, 1},
                      ContinuationCase{"NextLineIsARecord", "KTN0001L01000C\r\nKS 002L06000\r\n", 0, -1, 2},
                      ContinuationCase{"EndOfFile", "KTN0001L01000C", 0, -1, 1},
                      ContinuationCase{"EndOfFileAfterLineEnd", "KTN0001L01000C\r\n", 0, -1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Continuation, ContinuationLineSetsTheColumnOfLaterReports)
{
    PieceImport run;
    run.import({"KTN0001L01000C", "KTGG45009000Z1"});

    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_TRUE(run.stopBoxText().contains(QStringLiteral("Line: 2\r\nCol: 13\r\nWrong ID: <Z1 ... >")))
        << run.stopBoxText().toStdString();
}

struct WrongIdCase {
    const char* name;
    std::vector<const char*> lines;
    const char* errorText;
};

class PieceWrongId : public ::testing::TestWithParam<WrongIdCase> {};

TEST_P(PieceWrongId, StopsWithTheReport)
{
    const WrongIdCase& c = GetParam();
    PieceImport run;
    QByteArray content;
    for (const char* l : c.lines)
        content += QByteArray(l) + "\r\n";
    run.importBytes(content);

    EXPECT_TRUE(run.plant.job.LoadFailed);
    const QString expected = QString::fromLatin1(c.errorText);
    EXPECT_TRUE(run.stopBoxText().contains(expected)) << run.stopBoxText().toStdString();
    EXPECT_TRUE(run.lastReport().contains(QStringLiteral("Job: J1.$tx\r\n") + expected)) << run.lastReport().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PieceWrongId,
    ::testing::Values(
        WrongIdCase{"OtherLetter", {"KTN0001L01000Z123456789012345678901234"}, "Line: 1\r\nCol: 14\r\nWrong ID: <Z1234567890123456789 ... >"},
        WrongIdCase{"LowerCase", {"KTN0001 w0500150"}, "Line: 1\r\nCol: 9\r\nWrong ID: <w0500150 ... >"},
        WrongIdCase{"TextAfterC", {"KTN0001L01000CXYZ 1"}, "Line: 1\r\nCol: 14\r\nWrong ID: <XYZ 1>"},
        WrongIdCase{"NewPieceAfterC", {"KTN0001C", "KTN0002L01000"}, "Line: 2\r\nCol: 3\r\nWrong ID: <N0002L01000 ... >"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BarCase {
    const char* name;
    bool threeDigits;
    bool steelMode;
    const char* subFields;
    const char* profile; // ProfilName or StahlName
    const char* colour;
    const char* designation;
};

class OwnBarFields : public ::testing::TestWithParam<BarCase> {};

TEST_P(OwnBarFields, ProfileColourAndDesignationOfThePiecesOwnBar)
{
    const BarCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.ProfNum3Digit = c.threeDigits;
    run.import({QByteArray("KTN0007") + c.subFields + "L01000"}, c.steelMode);

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_EQ(run.bar(c.steelMode ? "StahlName" : "ProfilName", 7, c.steelMode).toString(),
              QString::fromLatin1(c.profile));
    EXPECT_EQ(run.bar("Farbe", 7, c.steelMode).toString(), QString::fromLatin1(c.colour));
    EXPECT_EQ(run.bar("Bezeichnung", 7, c.steelMode).toString(), QString::fromLatin1(c.designation));
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 7, c.steelMode).toDouble(), 100.0);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, OwnBarFields,
    ::testing::Values(BarCase{"TwoDigits", false, false, "A123R", "12", "3R", ""},
                      BarCase{"ThreeDigitsNotGiven", true, false, "A12RW", "12", "RW", ""},
                      BarCase{"ThreeDigits", true, false, "A123RW", "123", "RW", ""},
                      BarCase{"Name", false, false, "AB PROF 1 W ", "PROF 1", "W", ""},
                      BarCase{"Designation", false, false, "X FRAME LEFT         ", "", "", " FRAME LEFT         "},
                      BarCase{"SteelName", false, true, "ABST 4711 RWX  STEEL             ", "ST 4711", "RW", "  STEEL             "}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OwnBarFields, BarOfABarRecordIsLeftAlone)
{
    PieceImport run;
    run.import({"KB 001L06000TFWHITE               ", "KTN0007A12RWX FRAME LEFT         L01000"});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_TRUE(run.bar("ProfilName", 1).isNull());
    EXPECT_EQ(run.bar("Farbe", 1).toString(), QStringLiteral("WHITE"));
    EXPECT_TRUE(run.bar("Bezeichnung", 1).isNull());
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 7).toDouble(), 100.0);
}

TEST(Separators, BlanksAreSkipped)
{
    PieceImport run;
    run.import({"KTN0007  L01000  "});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 7).toDouble(), 100.0);
}

TEST(Separators, LineFeedEndsThePiece)
{
    PieceImport run;
    run.importBytes("KTN0007L01000\nL02000\r\n");

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 7).toDouble(), 100.0);
}

} // namespace
