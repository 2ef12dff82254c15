// The production-data reader frame: line reading, record dispatch, the
// normal end and the stop exit, through the real importer.

#include "ImportHelpers.h"

namespace {

using namespace readertest;

const char* const kCounts = "SELECT (SELECT COUNT(*) FROM Stabdaten), (SELECT COUNT(*) FROM Teiledaten)";

// Codes are tested in a fixed order on what is left of the line; unknown and
// lower-case codes are dropped without a report. LF-only files are read as
// lines; a bare LF in a CR LF file stays inside the line.
const char* const kSteelJobs = "SELECT COUNT(*) FROM StahlLosNamen";
const Case kCases[] = {
    {"LeadingBlanks", {"   KB 001L01000", "  KTN0001"}, {{kCounts, "1,1"}}},
    {"SkippedCodes", {"KO KB 001", "OP KTN0001", "XX KB 002", "", "   ", "kb 001", "Kb 002"}, {{kCounts, "0,0"}}},
    {"RecordsSharingALine", {"KB 001L01000\nKTN0001\n", "KTN0002"}, {{kCounts, "1,2"}}},
    // The record right after a piece in the same line is cut away.
    {"RecordAfterAPieceInTheSameLine", {"KB 001\nKTN0001\nKTN0002\nKB 002"}, {{kCounts, "2,1"}}},
    {"LineFeedOnlyFile", {"KB 001\nKTN0001\nKTN0002\nKB 002\nKTN0003\n"}, {{kCounts, "2,3"}}, Raw},
    {"CarriageReturnOnly", {"KB 001\rKTN0001\rKTN0002\r"}, {{kCounts, "1,2"}}, Raw},
    {"LineFeedLinesCounted", {"KB 001\nKTN0001\n  KB 002X\n"}, {{"log", WRONG_ID(3, 7) "<X>"}}, Raw},
    // A failing steel-data file of a job without steel data ends normally in job mode.
    {"SteelFailureWithoutSteelData", {"KB 001", "KS 001", "KTN0001"}, {{kSteelJobs, "1"}}, Steel | JobMode},
    {"SteelFailureWithSteelData",
     {"KB 001", "KS 001", "KTN0001"},
     {{"log", "Job: J1.$sx\r\nPiece:0\r\nLine:2\r\nCol: 1\r\nSel: 001\r\nBuf: 001\r\nMissing profil data in KB-Data"},
      {"box", "Job: J1.$sx not correct loaded!!\r\n\r\nMissing profil data in KB-Data\r\n"},
      {kSteelJobs, "0"}},
     Steel | JobMode,
     [](PieceImport& r) { r.plant.job.jobHasSteelData = true; }},
};

READER_CASES(Frame, kCases);

// A steel-data file keeps the job's state; an empty production-data file
// resets it and adds the job, and the release flag is set.
// The importer itself never moves a file in job mode; a stop rolls back what
// the file wrote, Retry leaves the file for the next scan.
TEST(ReaderFrame, EmptyFileIsAJobAndAStopKeepsNoRow)
{
    PieceImport run;
    run.plant.ctx.settings.AutoFreigabe = true;
    // Only a production-data file starts a job afresh: the label list goes, the error box is cleared.
    run.plant.job.labelList.append(QStringLiteral("1"), QStringLiteral("2"));
    const ImportOutcome steel = run.import(crlf({"KB 001"}), true);
    EXPECT_TRUE(steel.fileRead && steel.kind == FileKind::Steel && steel.path.endsWith(QStringLiteral("J1.$sx")));
    EXPECT_FALSE(run.plant.job.labelList.isEmpty());
    EXPECT_EQ(run.import(QByteArray()).result, ImportResult::Loaded);
    EXPECT_TRUE(run.plant.job.labelList.isEmpty());
    EXPECT_EQ(run.plant.errorBox.text(), QStringLiteral(" "));
    EXPECT_EQ(run.plant.store.value(QStringLiteral("ProdServerAktiv")), QStringLiteral("1"));
    // Cancel at the job-exists question keeps the job and sets the file aside.
    run.plant.prompt.yesNoCancelAnswers = {Answer::Cancel};
    EXPECT_EQ(run.import(crlf({"KB 002"})).result, ImportResult::GivenUp);
    EXPECT_EQ(result(run, QStringLiteral("SELECT LosName FROM LosNamen")), QStringLiteral("J1"));
    EXPECT_TRUE(run.inServerDir("J1.$tx.$er"));

    run.plant.ctx.settings.JobLoadMode = LoadMode::Job;
    EXPECT_EQ(run.import(crlf({"KB 001"}), false, QStringLiteral("J0")).result, ImportResult::Loaded);
    EXPECT_TRUE(run.inServerDir("J0.$tx"));
    run.plant.prompt.retryCancelAnswers = {Answer::Retry};
    EXPECT_EQ(run.import(crlf({"KB 001L01000", "KTN0001", "KTN0000"})).result, ImportResult::ReadAgain);
    EXPECT_EQ(result(run, QString::fromLatin1(kCounts)), QStringLiteral("1,0"));
    EXPECT_TRUE(run.inServerDir("J1.$tx"));
}

} // namespace
