// The print-data table and the label-data reader against a real job database.

#include "JobPlant.h"
#include "StepImporter.h"
#include "etimport/LabelReader.h"
#include "etimport/PrintData.h"
#include "intake/JobFiles.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

inline QString qs(const char* text)
{
    return QString::fromUtf8(text);
}
const QString Job = qs("A1");
const QString ExistsQuestion =
    qs("YesNoCancel|$ET-VOV Server|Printdata: A1 exists !\r\nDelete Data = Yes / Override Data = No");

// A temporary plant with a job database; plain SQL looks into it beside the store layer under test.
class PrintDataTest : public ::testing::Test {
protected:
    PrintDataTest()
    {
        plant.createJobDatabase();
        plant.ctx.settings.ExtensionEtikett = qs("$et");
    }
    // The job's print rows by piece: "<piece> E=<label> T=<ink-jet text>", Null columns left out.
    [[nodiscard]] QString printRows(const QString& job) const
    {
        const QString sql = qs("SELECT TeileNr || coalesce(' E=' || Etikettendaten, '') || coalesce(' T=' || "
                               "Tintendruckdaten, '') FROM Druckdaten WHERE LosName='%1' ORDER BY TeileNr");
        QStringList rows;
        for (const QVariantList& row : queryRows(plant.jobDatabasePath(), sql.arg(job)))
            rows << row.value(0).toString();
        return rows.join(qs(" | "));
    }
    // A print row as the production-data import leaves it.
    void addPrintRow(const QString& job, int piece, const char* label) const
    {
        queryRows(plant.jobDatabasePath(),
                  qs("INSERT INTO Druckdaten (LosName, TeileNr, Etikettendaten) VALUES ('%1', %2, '%3')")
                      .arg(job, QString::number(piece), qs(label)));
    }
    // The latest report ($TXerror.dat) without the quotes of its log field.
    [[nodiscard]] QString lastReport() const { return ::lastReport(plant.clientDir()); }

    JobPlant plant;
    et::PrintData print;
    bool cancelled = true; // every call sets it
};

TEST_F(PrintDataTest, WritePrintRowAddsThenEditsOneRowPerPieceAndSkipsPiecesBelowOne)
{
    addPrintRow(Job, 12, "old");
    ASSERT_EQ(et::PreparePrintData(plant.ctx, print, nullptr, Job, false, cancelled, Answer::No), 0);
    PendingError err;
    for (const auto& [piece, target, text] :
         {std::tuple{0, 0, "Label:"}, {-3, 0, "Label:"}, {12, 0, "Label:"}, {12, 1, "Ink:"}, {3, 0, "Label(Rest):"}})
        et::WritePrintRow(print, Job, piece, target, qs(text), err);
    EXPECT_FALSE(err.pending()) << err.description.toStdString();
    EXPECT_TRUE(print.commit(err));
    EXPECT_EQ(printRows(Job), qs("3 E=Label(Rest):3 | 12 E=Label:12 T=Ink:12"));
}

TEST_F(PrintDataTest, DeletePrintDataRemovesTheJobsRowsOnlyAndFailuresAreReported)
{
    addPrintRow(Job, 1, "x");
    addPrintRow(qs("B1"), 1, "z");
    EXPECT_EQ(et::DeletePrintData(plant.ctx, Job), 0);
    EXPECT_EQ(printRows(Job), QString());
    EXPECT_EQ(et::DeletePrintData(plant.ctx, qs("B1' or '1'='1")), ErrorNumber::SyntaxInQueryExpression);
    EXPECT_TRUE(lastReport().startsWith(qs("Job: B1' or '1'='1\r\nDeleteLosPrint: "))) << lastReport().toStdString();
    EXPECT_EQ(printRows(qs("B1")), qs("1 E=z"));
    QFile::remove(plant.jobDatabasePath());
    EXPECT_EQ(et::PreparePrintData(plant.ctx, print, nullptr, Job, false, cancelled, 0), ErrorNumber::CouldNotFindFile);
    EXPECT_TRUE(lastReport().startsWith(qs("Job: A1\r\nopenDBPrint: "))) << lastReport().toStdString();
}

// Print rows of jobs that are gone go in the third load mode only; this never reports, not even
// without a database.
TEST_F(PrintDataTest, OrphansGoOnlyInTheThirdLoadMode)
{
    queryRows(plant.jobDatabasePath(), qs("INSERT INTO LosNamen (LosName) VALUES ('Kept')"));
    addPrintRow(qs("Kept"), 1, "x");
    for (const int mode : {1, 2}) {
        addPrintRow(qs("Gone"), 1, "y");
        plant.ctx.settings.JobLoadMode = static_cast<LoadMode>(mode);
        et::DeleteOrphanPrintData(plant.ctx);
        EXPECT_EQ(printRows(qs("Kept")), qs("1 E=x"));
        EXPECT_EQ(printRows(qs("Gone")), mode == 2 ? QString() : qs("1 E=y"));
    }
    QFile::remove(plant.jobDatabasePath());
    et::DeleteOrphanPrintData(plant.ctx);
    EXPECT_TRUE(plant.errorBox.text().isEmpty());
}

// A label file of job A1, which has print rows already (piece 9 "old"); its production data was
// answered No (override) unless replaceAnswer says otherwise.
struct LabelCase {
    const char* name;
    QByteArray content = {};
    const char* rows; // the job's print rows afterwards, as printRows() shows them
    int printer = 0, loadMode = 0, answer = 0;
    QString question = {};
    const char* report = "";
    const char* file = "backup"; // where the file is afterwards: "in" the server directory, "backup", "error" copy
    bool fileExists = true;
    int replaceAnswer = Answer::No;
    std::vector<std::pair<const char*, const char*>> labelList = {}; // the first entry of a label number counts
};

// Also the plant's importer for the scan cycle's end of a failed label file.
class LabelReaderTest : public PrintDataTest, public StepImporter, public ::testing::WithParamInterface<LabelCase> {
    void DeletePrintData(const QString& job) override { et::DeletePrintData(plant.ctx, job); }
};

TEST_P(LabelReaderTest, StoresReportsAsksAndLeavesTheFile)
{
    const LabelCase& c = GetParam();
    plant.ctx.settings.printerType = static_cast<PrinterType>(c.printer);
    plant.ctx.settings.JobLoadMode = static_cast<LoadMode>(c.loadMode);
    plant.job.jobHasLabelData = true;
    plant.job.ReplaceAnswer = c.replaceAnswer;
    for (const auto& [label, piece] : c.labelList)
        plant.job.labelList.append(qs(label), qs(piece));
    addPrintRow(Job, 9, "old");
    plant.prompt.retryCancelAnswers = plant.prompt.yesNoCancelAnswers = {c.answer};
    const QString path = c.fileExists ? plant.writeJobFile(qs("A1.$et"), c.content) : plant.serverDir() + qs("/A1.$et");
    ImportOutcome outcome = et::ReadLabelFile(plant.ctx, plant.job, path);
    askAboutFailedFile(plant.ctx, outcome);
    if (c.loadMode == 0)
        endFile(plant.ctx, *this, outcome);
    const QStringList where{QFile::exists(path) ? qs("in") : QString(),
                            QFile::exists(plant.programDir() + qs("/prog.bak/A1.$et")) ? qs("backup") : QString(),
                            QFile::exists(path + qs(".$er")) ? qs("error") : QString()};
    EXPECT_EQ(printRows(Job), qs(c.rows));
    EXPECT_EQ(lastReport(), qs(c.report));
    QStringList asked;
    for (const ScriptedPrompt::Question& q : plant.prompt.asked)
        asked << q.kind + '|' + q.title + '|' + q.text;
    EXPECT_EQ(asked.join('\n'), c.question);
    EXPECT_EQ(outcome.failed(), qs(c.file) != qs("backup"));
    EXPECT_EQ(outcome.result == ImportResult::ReadAgain, c.answer == Answer::Retry);
    EXPECT_EQ(where.join(' ').simplified(), qs(c.file));
}

const char* const NoPiece = "Job: A1.$et\r\nNo Piece found??\r\nNo label data loaded";
const QString Failed = qs("RetryCancel|$TX-VOV Server ($et)|Job: A1.$et not correct loaded!!\r\n\r\n");
const QString NoPieceBox = Failed + qs("No piece found ??\r\nNo label data loaded ??\r\n");

// Separate mode ends a failed file itself: print data gone, the file set aside (Cancel) or left for the
// next cycle (Retry); job mode leaves both to the scan cycle, which rolls the whole job back.
INSTANTIATE_TEST_SUITE_P(
    Files, LabelReaderTest,
    ::testing::Values(
        LabelCase{"JoinsPieceRecords", crlf({"ED 0001 HE", "ED 0001 AD", "ED 0002 X"}), "1 E=HEAD | 2 E=X | 9 E=old"},
        LabelCase{"SatoLosesEscapes", crlf({"ED 0001 $027*AB$027*C"}), "1 E=ABC | 9 E=old", 3},
        // Up to four "$" prefixes, on the first record of a piece only.
        LabelCase{"ImajeDosPrefixes", crlf({"ED 0001 $ABC$DEFt", "ED 0001 $XYZm", "ED 0002 $P1 $P2 $P3 $P4 $P5 e"}),
                  "1 T=t$XYZm | 2 T=$P5 e | 9 E=old", 5},
        LabelCase{"ImajeWinTargetsInkJet", crlf({"ED 0001 $abc"}), "1 T=$abc | 9 E=old", 2},
        LabelCase{"HeaderSetsPrinterType", crlf({"ED 0000 PRNTyp=1", "ED 0001 A"}), "1 E=A$013 | 9 E=old"},
        LabelCase{"LfSplitsAndStays", "ED 0001 A\nED 0002 B\r\nED 0002 C\r\n", "1 E=A\n | 2 E=BC | 9 E=old"},
        LabelCase{.name = "LabelListMapsNumbers",
                  .content = crlf({"ED 0003 X", "ED 0004 Y"}),
                  .rows = "4 E=Y | 7 E=X | 9 E=old",
                  .labelList = {{"3", "0007"}, {"3", "0008"}}},
        // A target named in the middle holds from there on: piece 1's text so far keeps its column.
        LabelCase{"TargetChangedAfterThePiece", crlf({"ED 0001 A", "ED 0000 ETKTyp=1", "ED 0001 B", "ED 0002 C"}),
                  "1 E=A T=B | 2 T=C | 9 E=old"},
        LabelCase{"WrongPrintdataIsCollected", crlf({"XX", "ED 0001 A", "YY\nED 0002 B", "ED 0003 C\nZZ"}),
                  "1 E=A | 3 E=C\n | 9 E=old", 0, 0, 0, QString(),
                  "Wrong printdata: XX\r\nWrong printdata: YY\nED 0002 B\r\nWrong printdata: ZZ"},
        LabelCase{"LastRecordIsHeaderRetry", crlf({"ED 0001 A", "ED 0000 ETKTyp=1"}), "", 0, 0, Answer::Retry,
                  NoPieceBox, NoPiece, "in"},
        LabelCase{"OnlyHeadersJobMode", crlf({"ED 0001 A", "ED 0000 PRNTyp=3"}), "9 E=old", 0, 1, Answer::Cancel,
                  NoPieceBox, NoPiece, "in"},
        LabelCase{"BadLabelNumber", crlf({"XX", "ED 0x02 B"}), "", 0, 0, Answer::Cancel,
                  Failed + qs("Wrong printdata: XX\r\n"),
                  "Job: A1.$et\r\nLine:2\r\nBuf:ED 0x02 B\r\nNum:0x02\r\nType mismatch", "error"},
        LabelCase{"MissingFileJobMode", QByteArray(), "9 E=old", 0, 1, Answer::Cancel, Failed + qs("\r\n"),
                  "Job: A1.$et\r\nLine:0\r\nBuf:\r\nNum:\r\nFile not found", "", false},
        LabelCase{"CancelAtThePrintDataQuestion", crlf({"ED 0001 A"}), "9 E=old", 0, 0, Answer::Cancel, ExistsQuestion,
                  "", "error", true, 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
