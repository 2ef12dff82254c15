// The production-data reader frame: line reading, record dispatch, the
// normal end and the stop exit, through the real importer.

#include "ReaderTestHelpers.h"

#include <gtest/gtest.h>

using piecetest::PieceImport;
using readertest::count;
using readertest::fileExists;

namespace {

QString backupOf(const PieceImport& run, const QString& name)
{
    return run.plant.programDir() + QStringLiteral("/prog.bak/") + name;
}
QString inServerDir(const PieceImport& run, const QString& name)
{
    return run.plant.serverDir() + QLatin1Char('/') + name;
}

TEST(ReaderFrame, EmptyFileAddsTheJobAndIsBackedUp)
{
    PieceImport run;
    run.plant.ctx.form.chkAutoFreigabe = 1;
    run.importBytes(QByteArray());

    EXPECT_FALSE(run.plant.job.LoadFailed);
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM LosNamen WHERE LosName='J1'")), 1);
    EXPECT_TRUE(fileExists(backupOf(run, QStringLiteral("J1.$tx"))));
    EXPECT_FALSE(fileExists(inServerDir(run, QStringLiteral("J1.$tx"))));
    EXPECT_EQ(run.plant.store.value(QStringLiteral("ProdServerAktiv")), QStringLiteral("1"));
    EXPECT_EQ(run.plant.job.CurrentJobName, QStringLiteral("J1"));
    EXPECT_TRUE(run.plant.prompt.asked.empty());
}

TEST(ReaderFrame, JobModeLeavesTheFileToTheScanCycle)
{
    PieceImport run;
    run.plant.ctx.settings.JobLoadMode = 1;
    run.import({"KB 001"});
    EXPECT_FALSE(run.plant.job.LoadFailed);
    EXPECT_TRUE(fileExists(inServerDir(run, QStringLiteral("J1.$tx"))));
}

struct DispatchCase {
    const char* name;
    QByteArray content;
    int bars;
    int pieces;
};

class Dispatch : public ::testing::TestWithParam<DispatchCase> {};

// Which records are read: codes are tested in a fixed order on what is left
// of the line, unknown and lower-case codes are dropped without a report.
TEST_P(Dispatch, ReadsTheRecordsItKnows)
{
    const DispatchCase& c = GetParam();
    PieceImport run;
    run.importBytes(c.content);

    ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Stabdaten")), c.bars);
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Teiledaten")), c.pieces);
    EXPECT_TRUE(run.plant.prompt.asked.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, Dispatch,
    ::testing::Values(
        DispatchCase{"LeadingBlanks", crlf({"   KB 001L01000", "  KTN0001"}), 1, 1},
        DispatchCase{"SkippedCodes", crlf({"KO KB 001", "OP KTN0001", "XX KB 002", "", "      "}), 0, 0},
        DispatchCase{"LowerCaseCodes", crlf({"kb 001", "ktn0001", "Kb 002"}), 0, 0},
        DispatchCase{"RecordsSharingALine", crlf({"KB 001L01000\nKTN0001\n", "KTN0002"}), 1, 2},
        DispatchCase{"SkippedRecordThenBar", crlf({"XX whatever\n   KB 001"}), 1, 0},
        // With CR line ends, the record right after a piece record in the
        // same line is cut away by the last record test; the next one is read.
        DispatchCase{"RecordAfterAPieceInTheSameLine", crlf({"KB 001\nKTN0001\nKTN0002\nKB 002"}), 2, 1},
        DispatchCase{"LineFeedOnlyFile", QByteArray("KB 001\nKTN0001\nKTN0002\nKB 002\nKTN0003\n"), 2, 3},
        DispatchCase{"LineFeedOnlyWithoutLastLineEnd", QByteArray("KB 001\nKTN0001"), 1, 1},
        DispatchCase{"CarriageReturnOnly", QByteArray("KB 001\rKTN0001\rKTN0002\r"), 1, 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderFrame, LineFeedOnlyFileCountsItsLines)
{
    PieceImport run;
    run.importBytes(QByteArray("KB 001\nKTN0001\n  KB 002X\n"));
    EXPECT_EQ(readertest::lastLogMessage(run), QStringLiteral("Job: J1.$tx\r\nLine: 3\r\nCol: 7\r\nWrong ID: <X>"));
}

TEST(ReaderFrame, ResetsTheJobStateForAProductionFileOnly)
{
    PieceImport run;
    run.plant.job.labelList.append(QStringLiteral("1"), QStringLiteral("2"));
    run.plant.job.ReplaceAnswer = Answer::No;
    run.import({"KB 001"}, true);
    EXPECT_FALSE(run.plant.job.labelList.isEmpty());
    EXPECT_TRUE(run.plant.job.SteelDataLoaded);
    EXPECT_TRUE(run.plant.job.CurrentSteelFile.endsWith(QStringLiteral("J1.$sx")));

    run.import({"KB 001"});
    EXPECT_TRUE(run.plant.job.labelList.isEmpty());
    EXPECT_FALSE(run.plant.job.SteelDataLoaded);
    EXPECT_EQ(run.plant.errorBox.text(), QStringLiteral(" "));
}

struct StopCase {
    const char* name;
    int answer;
    bool retry;
};

class StopExit : public ::testing::TestWithParam<StopCase> {};

// Separate mode: the stopped job is deleted again (its bars and pieces go
// with it); Retry leaves the file for the next scan, Cancel sets it aside.
TEST_P(StopExit, AsksAndRollsTheJobBack)
{
    const StopCase& c = GetParam();
    PieceImport run;
    run.plant.prompt.retryCancelAnswers = {c.answer};
    run.import({"KB 001L01000", "KTN0001", "KTN0000"});

    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_EQ(run.plant.job.RetryRequested, c.retry);
    ASSERT_EQ(run.plant.prompt.asked.size(), 1u);
    EXPECT_EQ(run.plant.prompt.asked[0].title, QStringLiteral("$TX-VOV Server"));
    EXPECT_EQ(run.plant.prompt.asked[0].text,
              QStringLiteral("Job: J1.$tx not correct loaded!!\r\n\r\nWromg PieceNo.:0000\r\n"));
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM LosNamen")), 0);
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Stabdaten")), 0);
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Teiledaten")), 0);
    EXPECT_EQ(fileExists(inServerDir(run, QStringLiteral("J1.$tx"))), c.retry);
    EXPECT_EQ(fileExists(inServerDir(run, QStringLiteral("J1.$tx.$er"))), !c.retry);
    EXPECT_FALSE(fileExists(backupOf(run, QStringLiteral("J1.$tx"))));
}

INSTANTIATE_TEST_SUITE_P(Answers, StopExit,
                         ::testing::Values(StopCase{"Retry", Answer::Retry, true},
                                           StopCase{"Cancel", Answer::Cancel, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ReaderFrame, JobModeStopKeepsWhatWasWritten)
{
    PieceImport run;
    run.plant.ctx.settings.JobLoadMode = 1;
    run.import({"KB 001L01000", "KTN0001", "KTN0000"});
    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Teiledaten")), 1);
    EXPECT_TRUE(fileExists(inServerDir(run, QStringLiteral("J1.$tx"))));
}

TEST(ReaderFrame, CancelAtTheJobQuestionSetsTheFileAside)
{
    PieceImport run;
    run.import({"KB 001"});
    run.plant.prompt.yesNoCancelAnswers = {Answer::Cancel};
    run.import({"KB 002"});

    EXPECT_TRUE(run.plant.job.LoadCancelled);
    EXPECT_TRUE(run.plant.job.LoadFailed);
    EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Stabdaten WHERE StabNr=2")), 0);
    EXPECT_TRUE(fileExists(inServerDir(run, QStringLiteral("J1.$tx.$er"))));
}

// A continuation line is read from the file the same way in both kinds of
// line ends.
TEST(ReaderFrame, ContinuationLinesInBothLineEnds)
{
    for (const QByteArray& content : {crlf({"KB 001", "KTN0001W0500100C", "KTWW0600200"}),
                                      QByteArray("KB 001\nKTN0001W0500100C\nKTWW0600200\n")}) {
        PieceImport run;
        run.importBytes(content);
        ASSERT_FALSE(run.plant.job.LoadFailed) << readertest::lastLogMessage(run).toStdString();
        EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM Werkzeugdaten WHERE TeileNr=1")), 2);
    }
}

// A failure in a steel-data file of a job without steel data is not worth
// a report in job mode: the import ends as if the file were complete.
TEST(ReaderFrame, SteelFailureWithoutSteelDataEndsNormally)
{
    for (const bool hasSteel : {false, true}) {
        PieceImport run;
        run.plant.ctx.settings.JobLoadMode = 1;
        run.plant.job.jobHasSteelData = hasSteel;
        run.import({"KB 001", "KS 001", "KTN0001"}, true);

        EXPECT_EQ(run.plant.job.LoadFailed, hasSteel);
        EXPECT_EQ(run.plant.prompt.asked.size(), hasSteel ? 1u : 0u);
        EXPECT_EQ(count(run, QStringLiteral("SELECT COUNT(*) FROM StahlLosNamen")), 1);
    }
}

} // namespace
