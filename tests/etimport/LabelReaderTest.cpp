// The label-data reader on real label files and a real job database.

#include "PrintFixture.h"

#include "etimport/LabelReader.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using ettest::PrintFixture;

const QString Job = QStringLiteral("A1");
const QString FileName = QStringLiteral("A1.$et");
const QString NoPieceReport = QStringLiteral("Job: A1.$et\r\nNo Piece found??\r\nNo label data loaded");
const QString NoPieceBox =
    QStringLiteral("Job: A1.$et not correct loaded!!\r\n\r\nNo piece found ??\r\nNo label data loaded ??\r\n");

class LabelReaderTest : public ::testing::Test, protected PrintFixture {
protected:
    void read(const QByteArray& content)
    {
        path = plant.writeJobFile(FileName, content);
        et::ReadLabelFile(plant.ctx, plant.job, path);
    }
    [[nodiscard]] bool inServerDir() const { return QFile::exists(path); }
    [[nodiscard]] bool backedUp() const { return QFile::exists(plant.programDir() + QStringLiteral("/prog.bak/A1.$et")); }
    [[nodiscard]] bool errorCopy() const { return QFile::exists(path + QStringLiteral(".$er")); }

    QString path;
};

// --- files that load ----------------------------------------------------------

struct Expected {
    int piece;
    char column; // 'E' Etikettendaten, 'T' Tintendruckdaten
    const char* text;
};

struct LoadCase {
    const char* name;
    int printerSetting;
    QByteArray content;
    std::vector<std::pair<const char*, const char*>> labelList;
    std::vector<Expected> rows;
};

class LabelLoadTest : public LabelReaderTest, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LabelLoadTest, StoresThePrinterTextPerPiece)
{
    const LoadCase& c = GetParam();
    plant.ctx.form.cmbPrintertyp = c.printerSetting;
    for (const auto& [label, piece] : c.labelList)
        plant.job.labelList.append(QString::fromLatin1(label), QString::fromLatin1(piece));

    read(c.content);

    EXPECT_TRUE(plant.errorBox.text().isEmpty()) << plant.errorBox.text().toStdString();
    EXPECT_TRUE(plant.prompt.asked.empty());
    EXPECT_FALSE(plant.job.LoadFailed);
    EXPECT_TRUE(plant.job.LabelDataLoaded);
    EXPECT_EQ(plant.job.CurrentLabelFile, path);
    EXPECT_TRUE(backedUp());
    EXPECT_FALSE(inServerDir());

    const auto rows = this->rows(Job);
    EXPECT_EQ(rows.size(), static_cast<qsizetype>(c.rows.size()));
    for (const Expected& e : c.rows) {
        ASSERT_TRUE(rows.contains(e.piece)) << "piece " << e.piece;
        const QVariant stored = e.column == 'T' ? rows[e.piece].inkJet : rows[e.piece].label;
        const QVariant other = e.column == 'T' ? rows[e.piece].label : rows[e.piece].inkJet;
        EXPECT_EQ(stored.toString(), QString::fromUtf8(e.text)) << "piece " << e.piece;
        EXPECT_TRUE(other.isNull()) << "piece " << e.piece;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, LabelLoadTest,
    ::testing::Values(
        LoadCase{"JoinsRecordsOfAPiece", 0, crlf({"ED 0001 HEAD", "ED 0001 TAIL", "ED 0002 X"}), {},
                 {{1, 'E', "HEADTAIL"}, {2, 'E', "X"}}},
        LoadCase{"IntermecEndsCommands", 1, crlf({"ED 0001 A", "ED 0001 B:", "ED 0002 C$013"}), {},
                 {{1, 'E', "A$013B:"}, {2, 'E', "C$013"}}},
        LoadCase{"SatoLosesEscapes", 3, crlf({"ED 0001 $027*AB$027*C"}), {}, {{1, 'E', "ABC"}}},
        // Up to four "$" prefixes, on the first record of a piece only.
        LoadCase{"ImajeDosPrefixes", 5,
                 crlf({"ED 0001 $ABC$DEFtext", "ED 0001 $XYZmore", "ED 0002 $P1 $P2 $P3 $P4 $P5 end"}), {},
                 {{1, 'T', "text$XYZmore"}, {2, 'T', "$P5 end"}}},
        LoadCase{"ImajeWinTargetsInkJet", 2, crlf({"ED 0001 $abc"}), {}, {{1, 'T', "$abc"}}},
        LoadCase{"HeaderSetsPrinterType", 0, crlf({"ED 0000 PRNTyp=1", "ED 0001 A"}), {}, {{1, 'E', "A$013"}}},
        LoadCase{"HeaderDigitAboveFiveMeansSetting", 3, crlf({"ED 0000 PRNTyp=9", "ED 0001 $027*A"}), {},
                 {{1, 'E', "A"}}},
        LoadCase{"HeaderSetsInkJetTarget", 0, crlf({"ED 0000 ETKTyp=1", "ED 0001 A"}), {}, {{1, 'T', "A"}}},
        LoadCase{"HeaderImajeDosTypeTargetsInkJet", 0, crlf({"ED 0000 PRNTyp=5", "ED 0001 $ABCz"}), {},
                 {{1, 'T', "z"}}},
        LoadCase{"TargetDigitAfterTypeWins", 0, crlf({"ED 0000 PRNTyp=2 ETKTyp=0", "ED 0001 A"}), {},
                 {{1, 'E', "A"}}},
        LoadCase{"LfSplitsALineAndStaysInTheText", 0, QByteArray("ED 0001 A\nED 0002 B\r\nED 0002 C\r\n"), {},
                 {{1, 'E', "A\n"}, {2, 'E', "BC"}}},
        LoadCase{"LfJoinsRecordsOfOnePiece", 0, QByteArray("ED 0001 A\nED 0001 B\r\n"), {}, {{1, 'E', "A\nB"}}},
        LoadCase{"IntermecEndsTheWholeLine", 1, QByteArray("ED 0001 A\nED 0001 B\r\n"), {},
                 {{1, 'E', "A\nB$013"}}},
        LoadCase{"LabelListMapsNumbers", 0, crlf({"ED 0003 X", "ED 0004 Y"}), {{"3", "0007"}, {"5", "0001"}},
                 {{7, 'E', "X"}, {4, 'E', "Y"}}},
        // The header ends piece 1; its next record starts it again and
        // replaces the whole column.
        LoadCase{"HeaderInTheMiddle", 0, crlf({"ED 0001 A", "ED 0000 PRNTyp=3", "ED 0001 $027*B", "ED 0002 C"}), {},
                 {{1, 'E', "B"}, {2, 'E', "C"}}},
        LoadCase{"EightBitText", 0, crlf({"ED 0001 Fl\xfc" "gel 70\xb0"}), {}, {{1, 'E', "Fl\xc3\xbcgel 70\xc2\xb0"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LabelReaderTest, ExistingPrintDataIsKeptAndOverwrittenAfterNo)
{
    addPrintRow(Job, 1, QStringLiteral("Label:1"));
    addPrintRow(Job, 2, QStringLiteral("Label:2"));
    plant.job.ReplaceAnswer = Answer::No; // the production-data file's answer
    read(crlf({"ED 0001 NEW"}));
    EXPECT_TRUE(plant.prompt.asked.empty());
    const auto rows = this->rows(Job);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].label.toString(), QStringLiteral("NEW"));
    EXPECT_EQ(rows[2].label.toString(), QStringLiteral("Label:2"));
}

TEST_F(LabelReaderTest, WrongPrintdataIsCollectedAndReportedAtTheEnd)
{
    read(crlf({"XX junk", "ED 0001 A", "YY more\nED 0002 B", "ED 0003 C\nZZ tail"}));
    EXPECT_EQ(lastReport(),
              QStringLiteral("Wrong printdata: XX junk\r\nWrong printdata: YY more\nED 0002 B\r\n"
                             "Wrong printdata: ZZ tail"));
    EXPECT_TRUE(plant.prompt.asked.empty());
    EXPECT_FALSE(plant.job.LoadFailed);
    EXPECT_TRUE(backedUp());
    const auto rows = this->rows(Job);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[1].label.toString(), QStringLiteral("A"));
    EXPECT_EQ(rows[3].label.toString(), QStringLiteral("C\n"));
}

// --- failures ------------------------------------------------------------------

struct NoPieceCase {
    const char* name;
    QByteArray content;
    int answer;
    int loadMode;
};

class NoPieceTest : public LabelReaderTest, public ::testing::WithParamInterface<NoPieceCase> {};

TEST_P(NoPieceTest, FailsWithTheNoPieceReport)
{
    const NoPieceCase& c = GetParam();
    plant.ctx.settings.JobLoadMode = c.loadMode;
    plant.job.ReplaceAnswer = Answer::No;
    addPrintRow(Job, 9, QStringLiteral("Label:9"));
    plant.prompt.retryCancelAnswers = {c.answer};

    read(c.content);

    EXPECT_EQ(lastReport(), NoPieceReport);
    ASSERT_EQ(plant.prompt.asked.size(), 1u);
    EXPECT_EQ(plant.prompt.asked[0].kind, QStringLiteral("RetryCancel"));
    EXPECT_EQ(plant.prompt.asked[0].title, QStringLiteral("$TX-VOV Server ($et)"));
    EXPECT_EQ(plant.prompt.asked[0].text, NoPieceBox);
    EXPECT_TRUE(plant.job.LoadFailed);
    EXPECT_EQ(plant.job.RetryRequested, c.answer == Answer::Retry);
    EXPECT_FALSE(backedUp());
    if (c.loadMode == 0) {
        // Separate mode ends the file itself: print data gone, the file set
        // aside (Cancel) or left for the next cycle (Retry).
        EXPECT_EQ(rowCount(Job), 0);
        EXPECT_EQ(errorCopy(), c.answer == Answer::Cancel);
        EXPECT_EQ(inServerDir(), c.answer == Answer::Retry);
    } else {
        // Job mode: the scan cycle rolls the whole job back.
        EXPECT_GE(rowCount(Job), 1);
        EXPECT_FALSE(errorCopy());
        EXPECT_TRUE(inServerDir());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Files, NoPieceTest,
    ::testing::Values(NoPieceCase{"OnlyHeadersCancel", crlf({"ED 0000 PRNTyp=1", "ED 0000 ETKTyp=0"}), Answer::Cancel, 0},
                      NoPieceCase{"LastRecordIsHeaderRetry", crlf({"ED 0001 A", "ED 0000 ETKTyp=1"}), Answer::Retry, 0},
                      NoPieceCase{"EmptyFileCancel", QByteArray(), Answer::Cancel, 0},
                      NoPieceCase{"OnlyHeadersJobMode", crlf({"ED 0001 A", "ED 0000 PRNTyp=3"}), Answer::Cancel, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LabelReaderTest, BadLabelNumberIsARuntimeFailureWithLineBufferAndNumber)
{
    read(crlf({"XX", "ED 00x1 A"}));
    EXPECT_EQ(lastReport(), QStringLiteral("Job: A1.$et\r\nLine:2\r\nBuf:ED 00x1 A\r\nNum:00x1\r\nType mismatch"));
    ASSERT_EQ(plant.prompt.asked.size(), 1u);
    EXPECT_EQ(plant.prompt.asked[0].text,
              QStringLiteral("Job: A1.$et not correct loaded!!\r\n\r\nWrong printdata: XX\r\n"));
    EXPECT_TRUE(plant.job.LoadFailed);
    EXPECT_TRUE(errorCopy());
}

struct JobModeFailureCase {
    const char* name;
    bool jobHasLabelData;
    bool fileExists;
};

class JobModeFailureTest : public LabelReaderTest, public ::testing::WithParamInterface<JobModeFailureCase> {};

TEST_P(JobModeFailureTest, ReportedOnlyWhenTheJobHasLabels)
{
    const JobModeFailureCase& c = GetParam();
    plant.ctx.settings.JobLoadMode = 1;
    plant.job.jobHasLabelData = c.jobHasLabelData;
    if (c.fileExists) {
        read(crlf({"ED 0001 A", "ED 0x02 B"}));
    } else {
        path = plant.serverDir() + QStringLiteral("/A1.$et");
        et::ReadLabelFile(plant.ctx, plant.job, path);
    }

    EXPECT_EQ(plant.job.LoadFailed, c.jobHasLabelData);
    EXPECT_EQ(plant.prompt.asked.size(), c.jobHasLabelData ? 1u : 0u);
    if (c.jobHasLabelData) {
        const QString head = c.fileExists ? QStringLiteral("Job: A1.$et\r\nLine:2\r\nBuf:ED 0x02 B\r\nNum:0x02\r\n")
                                          : QStringLiteral("Job: A1.$et\r\nLine:0\r\nBuf:\r\nNum:\r\n");
        EXPECT_TRUE(lastReport().startsWith(head)) << lastReport().toStdString();
    } else {
        EXPECT_TRUE(plant.errorBox.text().isEmpty());
    }
    EXPECT_EQ(inServerDir(), c.fileExists);
    EXPECT_FALSE(errorCopy());
}

INSTANTIATE_TEST_SUITE_P(Cases, JobModeFailureTest,
                         ::testing::Values(JobModeFailureCase{"BrokenFileNoLabels", false, true},
                                           JobModeFailureCase{"BrokenFileWithLabels", true, true},
                                           JobModeFailureCase{"MissingFileNoLabels", false, false},
                                           JobModeFailureCase{"MissingFileWithLabels", true, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LabelReaderTest, CancelAtThePrintDataQuestionSetsTheFileAside)
{
    addPrintRow(Job, 1, QStringLiteral("Label:1"));
    plant.prompt.yesNoCancelAnswers = {Answer::Cancel};
    read(crlf({"ED 0001 A"}));
    ASSERT_EQ(plant.prompt.asked.size(), 1u);
    EXPECT_EQ(plant.prompt.asked[0].title, QStringLiteral("$ET-VOV Server"));
    EXPECT_TRUE(plant.job.LoadCancelled);
    EXPECT_TRUE(plant.job.LoadFailed);
    EXPECT_FALSE(plant.job.LabelDataLoaded);
    EXPECT_TRUE(errorCopy());
    EXPECT_EQ(rows(Job)[1].label.toString(), QStringLiteral("Label:1"));
}

TEST_F(LabelReaderTest, MissingJobDatabaseLeavesTheFileForTheNextCycle)
{
    QFile::remove(plant.jobDatabasePath());
    read(crlf({"ED 0001 A"}));
    EXPECT_TRUE(lastReport().startsWith(QStringLiteral("Job: A1\r\nopenDBPrint: "))) << lastReport().toStdString();
    EXPECT_TRUE(plant.prompt.asked.empty());
    EXPECT_FALSE(plant.job.LoadFailed);
    EXPECT_TRUE(inServerDir());
    EXPECT_FALSE(errorCopy());
}

} // namespace
