// Piece sub-fields "W", "Q", "B", "E", "C", "A", "X", the separators, and the
// failure exits of the piece sub-fields with their reports, through the real importer.

#include "PieceImportFixture.h"

#include <gtest/gtest.h>

using namespace piecetest;

namespace {

struct MachiningCase {
    const char* name;
    int choice; // WBAdditionalData
    const char* subField;
    QVariant number, position, depth, yOffset, zOffset;
    QVariant length = 100; // of the piece: the sub-field after the machining
};

class Machining : public ::testing::TestWithParam<MachiningCase> {};

TEST_P(Machining, WritesOneRowByTheChosenLayout)
{
    const MachiningCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.form.cmbWBAddData = c.choice;
    run.import({"KB 003L06000", QByteArray("KTN0012") + c.subField});

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    const QList<QVariantList> rows = run.rows(QStringLiteral(
        "SELECT LosName, TeileNr, StabNr, BearbNr, WerkzPos, Tiefe, YOffset, ZOffset FROM Werkzeugdaten"));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].mid(0, 3), (QVariantList{QStringLiteral("J1"), 12, 3}));
    const char* columns[] = {"BearbNr", "WerkzPos", "Tiefe", "YOffset", "ZOffset"};
    const QVariant wanted[] = {c.number, c.position, c.depth, c.yOffset, c.zOffset};
    for (int i = 0; i < 5; ++i)
        expectValue(rows[0][3 + i], wanted[i], columns[i]);
    expectValue(run.piece("TeileLaenge", 12), c.length, "TeileLaenge");
}

constexpr const char* kFour = "WB 3,1200,55,12;L01000";

INSTANTIATE_TEST_SUITE_P(
    Layouts, Machining,
    ::testing::Values(MachiningCase{"Fixed", -1, "W0500150L01000", 5, 15, Null, Null, Null},
                      MachiningCase{"FixedNegativePosition", -1, "W07-0012L01000", 7, 0, Null, Null, Null},
                      MachiningCase{"FixedBlankInNumber", -1, "W12 0015L01000", 12, 1.5, Null, Null, Null},
                      MachiningCase{"FixedNotANumber", -1, "Wx 00150L01000", 0, 15, Null, Null, Null},
                      MachiningCase{"ListNoChoice", -1, kFour, 3, 120, Null, 5.5, 1.2},
                      MachiningCase{"ListChoice0", 0, kFour, 3, 120, Null, 1.2, 5.5},
                      MachiningCase{"ListChoice1", 1, kFour, 3, 120, 1.2, Null, 5.5},
                      MachiningCase{"ListChoice2", 2, kFour, 3, 120, Null, 5.5, 1.2},
                      MachiningCase{"ListChoice3", 3, kFour, 3, 120, 1.2, 5.5, Null},
                      MachiningCase{"ListChoice4", 4, kFour, 3, 120, 5.5, Null, 1.2},
                      MachiningCase{"ListChoice5", 5, kFour, 3, 120, 5.5, 1.2, Null},
                      MachiningCase{"ListUnknownChoice", 9, kFour, 3, 120, Null, 5.5, 1.2},
                      MachiningCase{"ListTwoNumbers", 4, "WB 3,1200; L01000", 3, 120, Null, Null, Null},
                      MachiningCase{"ListThreeNumbers", 4, "WB 3, 1200 , 55 ;L01000", 3, 120, 5.5, Null, Null},
                      MachiningCase{"ListMoreIgnored", 4, "WB 3,1200,55,12,99;L01000", 3, 120, 5.5, Null, 1.2},
                      MachiningCase{"ListZeroAndNegative", 4, "WB 3,-5,-5,0;L01000", 3, 0, -0.5, Null, 0},
                      MachiningCase{"ListNoSemicolonTakesTheRest", 4, "WB 3,1200,55,12", 3, 120, 5.5, Null, 1.2, Null},
                      MachiningCase{"ListRoundsTheNumber", 4, "WB 2.5,10;L01000", 2, 1, Null, Null, Null}),
    [](const auto& info) { return std::string(info.param.name); });

class PieceColumns : public ::testing::TestWithParam<std::tuple<const char*, const char*, Columns>> {};

// Tail sub-fields; after "C", a next line beginning "KT" goes on with the same piece.
TEST_P(PieceColumns, TailFieldsContinuationsAndSeparators)
{
    PieceImport run;
    run.importBytes(std::get<1>(GetParam()));
    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    expectColumns(run, std::get<2>(GetParam()));
}

const std::string kBars = "SELECT COUNT(*) FROM Stabdaten";
const std::string kMachining = "SELECT COUNT(*) FROM Werkzeugdaten WHERE TeileNr=1";

INSTANTIATE_TEST_SUITE_P(
    Lines, PieceColumns,
    ::testing::Values(
        std::tuple("CutHeightsBarcodeSkipped", "KTN0001Q00123-0010B*  CODE 4711         EZ  L01000",
                   Columns{{"KappHoeheAnschnitt", 12.3}, {"KappHoeheAbschnitt", 0}, {"Barcode", "CODE 4711"},
                           {"PrintBarcode", "CODE 4711"}, {"TeileLaenge", 100}}),
        std::tuple("CutHeightsNotNumbersBarcode20", "KTN0001Q00000ab   BxABCDEFGHIJKLMNOPQRSTL02000",
                   Columns{{"KappHoeheAbschnitt", 0}, {"Barcode", "ABCDEFGHIJKLMNOPQRST"}, {"TeileLaenge", 200}}),
        std::tuple("FixedMachining", "KTN0001L01000C\r\nKTWW0500150W0600200\r\n", Columns{{kMachining, 2}, {kBars, 1}}),
        std::tuple("ListMachining", "KTN0001L01000C\r\nKTWB 3,1200;\r\n", Columns{{kMachining, 1}, {kBars, 1}}),
        std::tuple("Angles", "KTN0001L01000C\r\nKTGG45009000\r\n", Columns{{"AnGehrung", 45}, {kMachining, 0}}),
        std::tuple("LeadingBlanks", "KTN0001L01000C\r\n   KTGG45009000\r\n", Columns{{"AnGehrung", 45}, {kBars, 1}}),
        std::tuple("LineFeedInTheLine", "KTN0001L01000C\nKTGG45009000\r\n", Columns{{"AnGehrung", 45}, {kBars, 1}}),
        std::tuple("NextLineIsARecord", "KTN0001L01000C\r\nKS 002L06000\r\n", Columns{{kBars, 2}, {kMachining, 0}}),
        std::tuple("EndOfFile", "KTN0001L01000C", Columns{{kBars, 1}, {"TeileLaenge", 100}}),
        std::tuple("EndOfFileAfterLineEnd", "KTN0001L01000C\r\n", Columns{{kBars, 1}, {"TeileLaenge", 100}}),
        std::tuple("BlanksAreSkipped", "KTN0001  L01000  \r\n", Columns{{"TeileLaenge", 100}, {kBars, 1}}),
        std::tuple("LineFeedEndsThePiece", "KTN0001L01000\nL02000\r\n", Columns{{"TeileLaenge", 100}, {kBars, 1}})),
    [](const auto& info) { return std::string(std::get<0>(info.param)); });

struct FailureCase {
    const char* name;
    QByteArray content;
    QString message; // of the stop box
    QString details = {}; // of the report after the job line; empty: the message
    bool machiningRowAsAdded = false;
    Schema schema = Schema::Full;
};

class SubFieldFailure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(SubFieldFailure, StopsWithTheReport)
{
    const FailureCase& c = GetParam();
    PieceImport run(c.schema);
    run.plant.ctx.settings.JobLoadMode = 1; // the stop exit keeps the rows
    run.importBytes(c.content + "\r\n");

    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_EQ(run.stopBoxText(), QStringLiteral("Job: J1.$tx not correct loaded!!\r\n\r\n%1\r\n").arg(c.message));
    const QString details = c.details.isEmpty() ? c.message : c.details;
    EXPECT_TRUE(run.lastReport().endsWith(QStringLiteral("  ------------\r\nJob: J1.$tx\r\n") + details))
        << run.lastReport().toStdString();
    // A machining row stays as it was added: job, piece and bar only.
    EXPECT_EQ(run.rows(QStringLiteral("SELECT TeileNr, BearbNr IS NULL AND WerkzPos IS NULL FROM Werkzeugdaten")),
              (c.machiningRowAsAdded ? QList<QVariantList>{{12, 1}} : QList<QVariantList>{}));
}

constexpr const char* kMismatch = "Type mismatch";

// The report of a run-time failure in the first sub-field of the first piece.
QString failure(const char* selected, const char* buffer, const char* error = kMismatch)
{
    return QStringLiteral("Piece:1\r\nLine:1\r\nCol: 8\r\nSel: %1\r\nBuf:%2\r\n%3")
        .arg(QLatin1String(selected), QLatin1String(buffer), QLatin1String(error));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SubFieldFailure,
    ::testing::Values(
        FailureCase{"FixedBlankPosition", "KTN0012W05     L01000", kMismatch, failure("     ", "L01000"), true},
        FailureCase{"ListNumber", "KTN0012WB x3,1200;", kMismatch, failure("x3", ""), true},
        FailureCase{"ListPosition", "KTN0012WB 3,12a0;", kMismatch, failure("12a0", ""), true},
        FailureCase{"ListMissingPosition", "KTN0012WB 3;", kMismatch, failure("", ""), true},
        FailureCase{"ListValue2", "KTN0012WB 3,1200,5x;", kMismatch, failure("5x", ""), true},
        FailureCase{"ListValue3", "KTN0012WB 3,1200,55,1 2;", kMismatch, failure("1 2", ""), true},
        FailureCase{"AngleCodeNotStorable", "KTN0001GXYL01000", "Data type conversion error.",
                    failure("X", "GXYL01000", "Data type conversion error.")},
        FailureCase{"LabelWithoutPrintTable", "KTN0012D3L01000", "Opening printdata table in database?",
                    failure("3", "L01000", "Opening printdata table in database?"), false, Schema::NoPrintTable},
        FailureCase{"WrongIdOtherLetter", "KTN0001L01000Z123456789012345678901234",
                    "Line: 1\r\nCol: 14\r\nWrong ID: <Z1234567890123456789 ... >"},
        FailureCase{"WrongIdLowerCase", "KTN0001 w0500150", "Line: 1\r\nCol: 9\r\nWrong ID: <w0500150 ... >"},
        FailureCase{"WrongIdAfterC", "KTN0001L01000CXYZ 1", "Line: 1\r\nCol: 14\r\nWrong ID: <XYZ 1>"},
        FailureCase{"NewPieceAfterC", "KTN0001C\r\nKTN0002L01000", "Line: 2\r\nCol: 3\r\nWrong ID: <N0002L01000 ... >"},
        FailureCase{"ColumnOfTheContinuation", "KTN0001L01000C\r\nKTGG45009000Z1",
                    "Line: 2\r\nCol: 13\r\nWrong ID: <Z1 ... >"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BarCase {
    const char* name;
    bool threeDigits;
    bool steelMode;
    const char* subFields;
    const char* profile; // ProfilName or StahlName
    const char* colour;
    const char* designation;
    const char* barRecord = ""; // the line before; a bar record gives the piece its bar 1
};

class OwnBarFields : public ::testing::TestWithParam<BarCase> {};

TEST_P(OwnBarFields, ProfileColourAndDesignationOfThePiecesOwnBar)
{
    const BarCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.ProfNum3Digit = c.threeDigits;
    run.import({c.barRecord, QByteArray("KTN0007") + c.subFields + "L01000"}, c.steelMode);

    ASSERT_FALSE(run.plant.job.LoadFailed) << run.lastReport().toStdString();
    const int bar = *c.barRecord ? 1 : 7;
    EXPECT_EQ(run.bar(c.steelMode ? "StahlName" : "ProfilName", bar, c.steelMode).toString(), QLatin1String(c.profile));
    EXPECT_EQ(run.bar("Farbe", bar, c.steelMode).toString(), QLatin1String(c.colour));
    EXPECT_EQ(run.bar("Bezeichnung", bar, c.steelMode).toString(), QLatin1String(c.designation));
    EXPECT_DOUBLE_EQ(run.piece("TeileLaenge", 7, c.steelMode).toDouble(), 100.0);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, OwnBarFields,
    ::testing::Values(BarCase{"TwoDigits", false, false, "A123R", "12", "3R", ""},
                      BarCase{"ThreeDigitsNotGiven", true, false, "A12RW", "12", "RW", ""},
                      BarCase{"ThreeDigits", true, false, "A123RW", "123", "RW", ""},
                      BarCase{"Name", false, false, "AB PROF 1 W ", "PROF 1", "W", ""},
                      BarCase{"Designation", false, false, "X FRAME LEFT         ", "", "", " FRAME LEFT         "},
                      BarCase{"SteelName", false, true, "ABST 4711 RWX  STEEL             ", "ST 4711", "RW",
                              "  STEEL             "},
                      BarCase{"BarOfABarRecordLeftAlone", false, false, "A12RWX FRAME LEFT         ", "", "WHITE", "",
                              "KB 001L06000TFWHITE               "}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
