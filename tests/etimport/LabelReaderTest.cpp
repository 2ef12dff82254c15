#include "PrintFixture.h"

#include "etimport/LabelReader.h"

namespace {

class LabelReaderTest : public PrintTest {
protected:
    void read(const QByteArray& content, bool fileExists = true)
    {
        path = fileExists ? plant.writeJobFile(qs("A1.$et"), content) : plant.serverDir() + qs("/A1.$et");
        et::ReadLabelFile(plant.ctx, plant.job, path);
    }
    // Where the file is now: "in" the server directory, "backup", "error" copy.
    [[nodiscard]] QString file() const
    {
        return QStringList{QFile::exists(path) ? qs("in") : QString(),
                           QFile::exists(plant.programDir() + qs("/prog.bak/A1.$et")) ? qs("backup") : QString(),
                           QFile::exists(path + qs(".$er")) ? qs("error") : QString()}.join(' ').simplified();
    }

    QString path;
};

struct LoadCase {
    const char* name;
    int printerSetting;
    QByteArray content;
    const char* rows; // as printRows() shows them
    std::vector<std::pair<const char*, const char*>> labelList = {};
};

class LabelLoadTest : public LabelReaderTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LabelLoadTest, StoresThePrinterTextPerPiece)
{
    const LoadCase& c = GetParam();
    plant.ctx.form.cmbPrintertyp = c.printerSetting;
    for (const auto& [label, piece] : c.labelList)
        plant.job.labelList.append(qs(label), qs(piece));
    read(c.content);
    EXPECT_EQ(printRows(Job), qs(c.rows));
    EXPECT_EQ(plant.errorBox.text() + asked().join('\n'), QString());
    EXPECT_TRUE(plant.job.LabelDataLoaded && !plant.job.LoadFailed);
    EXPECT_EQ(plant.job.CurrentLabelFile, path);
    EXPECT_EQ(file(), qs("backup"));
}

INSTANTIATE_TEST_SUITE_P(
    Files, LabelLoadTest,
    ::testing::Values(
        LoadCase{"JoinsRecordsOfAPiece", 0, crlf({"ED 0001 HE", "ED 0001 AD", "ED 0002 X"}), "1 E=HEAD | 2 E=X"},
        LoadCase{"Intermec", 1, crlf({"ED 0001 A", "ED 0001 B:", "ED 0002 C$013"}), "1 E=A$013B: | 2 E=C$013"},
        LoadCase{"SatoLosesEscapes", 3, crlf({"ED 0001 $027*AB$027*C"}), "1 E=ABC"},
        // Up to four "$" prefixes, on the first record of a piece only.
        LoadCase{"ImajeDosPrefixes", 5, crlf({"ED 0001 $ABC$DEFt", "ED 0001 $XYZm", "ED 0002 $P1 $P2 $P3 $P4 $P5 e"}),
                 "1 T=t$XYZm | 2 T=$P5 e"},
        LoadCase{"ImajeWinTargetsInkJet", 2, crlf({"ED 0001 $abc"}), "1 T=$abc"},
        LoadCase{"HeaderSetsPrinterType", 0, crlf({"ED 0000 PRNTyp=1", "ED 0001 A"}), "1 E=A$013"},
        LoadCase{"HeaderDigitAboveFiveMeansSetting", 3, crlf({"ED 0000 PRNTyp=9", "ED 0001 $027*A"}), "1 E=A"},
        LoadCase{"HeaderSetsInkJetTarget", 0, crlf({"ED 0000 ETKTyp=1", "ED 0001 A"}), "1 T=A"},
        LoadCase{"LfSplitsALineAndStaysInTheText", 0, "ED 0001 A\nED 0002 B\r\nED 0002 C\r\n", "1 E=A\n | 2 E=BC"},
        LoadCase{"LabelListMapsNumbers", 0, crlf({"ED 0003 X", "ED 0004 Y"}), "4 E=Y | 7 E=X", {{"3", "0007"}}},
        // The header ends piece 1; its next record starts it again and replaces the whole column.
        LoadCase{"HeaderInTheMiddle", 0, crlf({"ED 0001 A", "ED 0000 PRNTyp=3", "ED 0001 $027*B", "ED 0002 C"}),
                 "1 E=B | 2 E=C"},
        LoadCase{"EightBitText", 0, crlf({"ED 0001 Fl\xfc" "gel 70\xb0"}), "1 E=Flügel 70°"}),
    [](const auto& info) { return std::string(info.param.name); });

// A file of a job with print data (kept: its production data was answered No).
struct OutcomeCase {
    const char* name;
    int loadMode, answer;
    QByteArray content;
    QString question;
    const char *report, *rows, *file; // rows afterwards, as printRows() shows them
    int replaceAnswer = Answer::No;
    bool fileExists = true;
};

class LabelOutcomeTest : public LabelReaderTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(LabelOutcomeTest, ReportsAsksAndLeavesTheFile)
{
    const OutcomeCase& c = GetParam();
    plant.ctx.settings.JobLoadMode = c.loadMode;
    plant.job.jobHasLabelData = true;
    plant.job.ReplaceAnswer = c.replaceAnswer;
    addPrintRow(Job, 1, "old");
    addPrintRow(Job, 9, "old");
    plant.prompt.retryCancelAnswers = plant.prompt.yesNoCancelAnswers = {c.answer};
    read(c.content, c.fileExists);
    EXPECT_EQ(lastReport(), qs(c.report));
    EXPECT_EQ(asked().join('\n'), c.question);
    EXPECT_EQ(plant.job.LoadFailed, qs(c.file) != qs("backup"));
    EXPECT_EQ(plant.job.RetryRequested, c.answer == Answer::Retry);
    EXPECT_EQ(printRows(Job), qs(c.rows));
    EXPECT_EQ(file(), qs(c.file));
}

const char* const NoPiece = "Job: A1.$et\r\nNo Piece found??\r\nNo label data loaded";
const QString Failed = qs("RetryCancel|$TX-VOV Server ($et)|Job: A1.$et not correct loaded!!\r\n\r\n");
const QString NoPieceBox = Failed + qs("No piece found ??\r\nNo label data loaded ??\r\n");

// Separate mode ends the file itself: print data gone, the file set aside (Cancel) or left for the next
// cycle (Retry); job mode leaves both to the scan cycle, which rolls the whole job back.
INSTANTIATE_TEST_SUITE_P(
    Files, LabelOutcomeTest,
    ::testing::Values(
        OutcomeCase{"WrongPrintdataIsCollected", 0, 0, crlf({"XX", "ED 0001 A", "YY\nED 0002 B", "ED 0003 C\nZZ"}), {},
                    "Wrong printdata: XX\r\nWrong printdata: YY\nED 0002 B\r\nWrong printdata: ZZ",
                    "1 E=A | 3 E=C\n | 9 E=old", "backup"},
        OutcomeCase{"OnlyHeaders", 0, Answer::Cancel, crlf({"ED 0000 PRNTyp=1", "ED 0000 ETKTyp=0"}), NoPieceBox,
                    NoPiece, "", "error"},
        OutcomeCase{"LastRecordIsHeaderRetry", 0, Answer::Retry, crlf({"ED 0001 A", "ED 0000 ETKTyp=1"}), NoPieceBox,
                    NoPiece, "", "in"},
        OutcomeCase{"OnlyHeadersJobMode", 1, Answer::Cancel, crlf({"ED 0001 A", "ED 0000 PRNTyp=3"}), NoPieceBox,
                    NoPiece, "1 E=A | 9 E=old", "in"},
        OutcomeCase{"BadLabelNumber", 0, Answer::Cancel, crlf({"XX", "ED 0x02 B"}),
                    Failed + qs("Wrong printdata: XX\r\n"),
                    "Job: A1.$et\r\nLine:2\r\nBuf:ED 0x02 B\r\nNum:0x02\r\nType mismatch", "", "error"},
        OutcomeCase{"MissingFileJobMode", 1, Answer::Cancel, "", Failed + qs("\r\n"),
                    "Job: A1.$et\r\nLine:0\r\nBuf:\r\nNum:\r\nFile not found", "1 E=old | 9 E=old", "", Answer::No,
                    false},
        OutcomeCase{"CancelAtThePrintDataQuestion", 0, Answer::Cancel, crlf({"ED 0001 A"}), ExistsQuestion, "",
                    "1 E=old | 9 E=old", "error", 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
