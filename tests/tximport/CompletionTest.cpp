// Piece completion: steel names of the piece and its bar, load identifiers.

#include "ReaderTestHelpers.h"

#include <gtest/gtest.h>

using piecetest::field;
using piecetest::PieceImport;
using piecetest::sa;

namespace {

QByteArray sb(const char* name) { return "SB" + field(name, 8); }
QByteArray shortSteel(char selection) { return QByteArray("S") + selection + "01000123"; }

struct SteelNameCase {
    const char* name;
    int steeldata;
    QByteArray barRecord;
    QByteArray pieceFields;
    QVariant barName;
    QVariant nr;
    QVariant nr1;
    QVariant nr2;
};

class SteelNames : public ::testing::TestWithParam<SteelNameCase> {};

void expectText(const QVariant& actual, const QVariant& expected, const char* what)
{
    EXPECT_EQ(actual.isNull(), expected.isNull()) << what << ": " << actual.toString().toStdString();
    EXPECT_EQ(actual.toString(), expected.toString()) << what;
}

TEST_P(SteelNames, OfPieceAndBar)
{
    const SteelNameCase& c = GetParam();
    PieceImport run;
    run.plant.ctx.settings.Steeldata = c.steeldata;
    run.import({c.barRecord, "KTN0001" + c.pieceFields});

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    expectText(run.bar(QStringLiteral("StahlName"), 1), c.barName, "bar StahlName");
    expectText(run.piece(QStringLiteral("StahlNr")), c.nr, "StahlNr");
    expectText(run.piece(QStringLiteral("StahlNr1")), c.nr1, "StahlNr1");
    expectText(run.piece(QStringLiteral("StahlNr2")), c.nr2, "StahlNr2");
}

const QString A = QStringLiteral("ST-A");
const QString B = QStringLiteral("ST-B");
const QString Old = QStringLiteral("OLD");
const QString Empty = QStringLiteral("");

INSTANTIATE_TEST_SUITE_P(
    Selections, SteelNames,
    ::testing::Values(
        SteelNameCase{"ManualFillsAnEmptyBar", 0, "KB 001", shortSteel('1') + sb("ST-A"), A, A, A, QVariant()},
        SteelNameCase{"ManualKeepsTheBarsName", 0, "KB 001" + sb("OLD"), shortSteel('1') + sb("ST-A"), Old, A, A,
                      QVariant()},
        SteelNameCase{"AutomaticOverwritesTheBarsName", 0, "KB 001" + sb("OLD"), shortSteel('2') + sb("ST-A"), A, A,
                      A, QVariant()},
        SteelNameCase{"NoSelectionEmptiesThePiecesNames", 0, "KB 001", shortSteel('0') + sb("ST-A"), QVariant(),
                      Empty, Empty, Empty},
        SteelNameCase{"NoSteelNameChangesNothing", 0, "KB 001", shortSteel('2'), QVariant(), QVariant(), QVariant(),
                      QVariant()},
        SteelNameCase{"TwelveNamesTheSecondSteel", 1, "KB 001",
                      sa('2', '1', "0001", "01000", "00000", "123") + sa('1', '1', "0002", "01000", "00000", "123") +
                          sb("ST-A"),
                      A, A, A, A},
        SteelNameCase{"SecondSelectionZeroEmptiesTheSecondName", 2, "KB 001",
                      sa('1', '1', "0001", "01000", "00000", "123") + sa('0', '1', "0002", "01000", "00000", "123") +
                          sb("ST-A") + sb("ST-B"),
                      A, A, A, Empty}),
    [](const auto& info) { return std::string(info.param.name); });

// The steel name of a piece stays for the next pieces of the job until a
// bar selection record; a bar record does not end it.
TEST(Completion, SteelNameCarriesOverUntilABarSelection)
{
    PieceImport run;
    run.import({"KB 001", "KTN0001" + shortSteel('1') + sb("ST-A"), "KB 002", "KTN0002" + shortSteel('1'),
                "KS 003", "KTN0003" + shortSteel('1')});

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(run.bar(QStringLiteral("StahlName"), 1).toString(), A);
    EXPECT_EQ(run.bar(QStringLiteral("StahlName"), 2).toString(), A);
    EXPECT_TRUE(run.bar(QStringLiteral("StahlName"), 3).isNull());
}

TEST(Completion, SteelModeChangesNoSteelNames)
{
    PieceImport run;
    run.import({"KB 001", "KTN0001" + shortSteel('2') + sb("ST-A")}, true);
    EXPECT_TRUE(run.bar(QStringLiteral("StahlName"), 1, true).isNull());
    EXPECT_TRUE(run.piece(QStringLiteral("StahlNr"), 1, true).isNull());
}

TEST(Completion, LoadIdentifiersContinueTheLargestOne)
{
    PieceImport run;
    run.plant.ctx.settings.GenLoadID = true;
    run.exec(QStringLiteral("INSERT INTO LosNamen (LosName) VALUES ('OTHER')"));
    run.exec(QStringLiteral("INSERT INTO Teiledaten (LosName, TeileNr, LoadID) VALUES ('OTHER', 1, 16)"));
    run.import({"KB 001", "KTN0001", "KTN0002", "KTN0003"});

    const auto ids =
        run.rows(QStringLiteral("SELECT LoadID FROM Teiledaten WHERE LosName='J1' ORDER BY TeileNr"));
    ASSERT_EQ(ids.size(), 3);
    EXPECT_EQ(ids[0][0].toInt(), 17);
    EXPECT_EQ(ids[1][0].toInt(), 18);
    EXPECT_EQ(ids[2][0].toInt(), 19);
}

TEST(Completion, NoLoadIdentifiersWhenNotGenerated)
{
    PieceImport run;
    run.import({"KB 001", "KTN0001", "KTN0002"});
    EXPECT_EQ(readertest::count(run, QStringLiteral("SELECT COUNT(*) FROM Teiledaten WHERE LoadID IS NOT NULL")), 0);
    EXPECT_EQ(readertest::count(run, QStringLiteral("SELECT COUNT(*) FROM Teiledaten")), 2);
}

} // namespace
