// The four operations on Druckdaten.

#include "PrintFixture.h"

#include "etimport/PrintData.h"
#include "platform/db/Database.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using ettest::PrintFixture;

class PrintDataTest : public ::testing::Test, protected PrintFixture {
protected:
    int prepare(const QString& job, bool skipQuestion, int presetAnswer)
    {
        return et::PreparePrintData(plant.ctx, print, nullptr, job, skipQuestion, cancelled, presetAnswer);
    }

    et::PrintData print;
    bool cancelled = false;
};

TEST_F(PrintDataTest, JobWithoutRowsIsNotAsked)
{
    addPrintRow(QStringLiteral("Other"), 1, QStringLiteral("x"));
    cancelled = true;
    EXPECT_EQ(prepare(QStringLiteral("A1"), false, 0), 0);
    print.close();
    EXPECT_TRUE(plant.prompt.asked.empty());
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(rowCount(QStringLiteral("Other")), 1);
}

struct ExistingCase {
    const char* name;
    bool skipQuestion;
    int presetAnswer;
    int operatorAnswer; // 0: no question expected
    bool rowsKept;
    bool cancelled;
};

class ExistingPrintDataTest : public PrintDataTest, public ::testing::WithParamInterface<ExistingCase> {};

TEST_P(ExistingPrintDataTest, AnswerDecides)
{
    const ExistingCase c = GetParam();
    addPrintRow(QStringLiteral("A1"), 1, QStringLiteral("old 1"));
    addPrintRow(QStringLiteral("A1"), 2, QStringLiteral("old 2"));
    addPrintRow(QStringLiteral("A10"), 1, QStringLiteral("other job"));
    if (c.operatorAnswer != 0)
        plant.prompt.yesNoCancelAnswers = {c.operatorAnswer};

    EXPECT_EQ(prepare(QStringLiteral("A1"), c.skipQuestion, c.presetAnswer), 0);
    print.close();

    if (c.operatorAnswer != 0) {
        ASSERT_EQ(plant.prompt.asked.size(), 1u);
        EXPECT_EQ(plant.prompt.asked[0].kind, QStringLiteral("YesNoCancel"));
        EXPECT_EQ(plant.prompt.asked[0].title, QStringLiteral("$ET-VOV Server"));
        EXPECT_EQ(plant.prompt.asked[0].text,
                  QStringLiteral("Printdata: A1 exists !\r\nDelete Data = Yes / Override Data = No"));
    } else {
        EXPECT_TRUE(plant.prompt.asked.empty());
    }
    EXPECT_EQ(rowCount(QStringLiteral("A1")), c.rowsKept ? 2 : 0);
    EXPECT_EQ(rowCount(QStringLiteral("A10")), 1);
    EXPECT_EQ(cancelled, c.cancelled);
}

INSTANTIATE_TEST_SUITE_P(Answers, ExistingPrintDataTest,
                         ::testing::Values(ExistingCase{"SkipQuestionDeletes", true, 7, 0, false, false},
                                           ExistingCase{"PresetNoKeeps", false, Answer::No, 0, true, false},
                                           ExistingCase{"PresetYesDeletes", false, Answer::Yes, 0, false, false},
                                           ExistingCase{"AskedYes", false, 0, Answer::Yes, false, false},
                                           ExistingCase{"AskedNo", false, 0, Answer::No, true, false},
                                           ExistingCase{"AskedCancel", false, 0, Answer::Cancel, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PrintDataTest, WritePrintRowAddsThenEditsOneRowPerPiece)
{
    addPrintRow(QStringLiteral("A1"), 12, QStringLiteral("old"));
    ASSERT_EQ(prepare(QStringLiteral("A1"), false, Answer::No), 0);
    PendingError err;
    et::WritePrintRow(print, QStringLiteral("A1"), 0, 0, QStringLiteral("Label:"), err);
    et::WritePrintRow(print, QStringLiteral("A1"), -3, 0, QStringLiteral("Label:"), err);
    et::WritePrintRow(print, QStringLiteral("A1"), 12, 0, QStringLiteral("Label:"), err);
    et::WritePrintRow(print, QStringLiteral("A1"), 12, 1, QStringLiteral("Ink:"), err);
    et::WritePrintRow(print, QStringLiteral("A1"), 3, 0, QStringLiteral("Label(Rest):"), err);
    EXPECT_FALSE(err.pending()) << err.description.toStdString();
    print.close();

    const auto rows = this->rows(QStringLiteral("A1"));
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[12].label.toString(), QStringLiteral("Label:12"));
    EXPECT_EQ(rows[12].inkJet.toString(), QStringLiteral("Ink:12"));
    EXPECT_EQ(rows[3].label.toString(), QStringLiteral("Label(Rest):3"));
    EXPECT_TRUE(rows[3].inkJet.isNull());
}

TEST_F(PrintDataTest, SharedConnectionStaysOpenAndCommitsWithItsOwner)
{
    db::Database shared;
    PendingError err;
    ASSERT_TRUE(shared.open(plant.jobDatabasePath(), err));
    ASSERT_EQ(et::PreparePrintData(plant.ctx, print, &shared, QStringLiteral("A1"), true, cancelled, 0), 0);
    et::WritePrintRow(print, QStringLiteral("A1"), 5, 0, QStringLiteral("Label:"), err);
    print.close();
    EXPECT_TRUE(shared.isOpen());
    shared.close();
    EXPECT_EQ(rowCount(QStringLiteral("A1")), 1);
}

TEST_F(PrintDataTest, PrepareFailureIsReportedAsOpenDBPrint)
{
    QFile::remove(plant.jobDatabasePath());
    EXPECT_EQ(prepare(QStringLiteral("A1"), false, 0), ErrorNumber::CouldNotFindFile);
    EXPECT_EQ(print.JobDatabase, nullptr);
    EXPECT_TRUE(lastReport().startsWith(QStringLiteral("Job: A1\r\nopenDBPrint: "))) << lastReport().toStdString();
}

TEST_F(PrintDataTest, DeletePrintDataRemovesTheJobsRowsOnly)
{
    addPrintRow(QStringLiteral("A1"), 1, QStringLiteral("x"));
    addPrintRow(QStringLiteral("A1"), 2, QStringLiteral("y"));
    addPrintRow(QStringLiteral("B1"), 1, QStringLiteral("z"));
    EXPECT_EQ(et::DeletePrintData(plant.ctx, QStringLiteral("A1")), 0);
    EXPECT_EQ(rowCount(QStringLiteral("A1")), 0);
    EXPECT_EQ(rowCount(QStringLiteral("B1")), 1);

    EXPECT_EQ(et::DeletePrintData(plant.ctx, QStringLiteral("B1' or '1'='1")), ErrorNumber::SyntaxInQueryExpression);
    EXPECT_TRUE(lastReport().startsWith(QStringLiteral("Job: B1' or '1'='1\r\nDeleteLosPrint: ")));
    EXPECT_EQ(rowCount(QStringLiteral("B1")), 1);
}

class OrphanTest : public PrintDataTest, public ::testing::WithParamInterface<int> {};

TEST_P(OrphanTest, OrphansGoOnlyInTheThirdLoadMode)
{
    const int mode = GetParam();
    plant.ctx.settings.JobLoadMode = mode;
    exec(QStringLiteral("INSERT INTO LosNamen (LosName) VALUES ('Kept')"));
    addPrintRow(QStringLiteral("Kept"), 1, QStringLiteral("x"));
    addPrintRow(QStringLiteral("Gone"), 1, QStringLiteral("y"));
    addPrintRow(QStringLiteral("Gone"), 2, QStringLiteral("z"));

    et::DeleteOrphanPrintData(plant.ctx);

    EXPECT_EQ(rowCount(QStringLiteral("Kept")), 1);
    EXPECT_EQ(rowCount(QStringLiteral("Gone")), mode > 1 ? 0 : 2);
    EXPECT_TRUE(plant.errorBox.text().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(LoadModes, OrphanTest, ::testing::Values(0, 1, 2));

TEST_F(PrintDataTest, OrphanCleanUpWithoutDatabaseStaysQuiet)
{
    plant.ctx.settings.JobLoadMode = 2;
    QFile::remove(plant.jobDatabasePath());
    et::DeleteOrphanPrintData(plant.ctx);
    EXPECT_TRUE(plant.errorBox.text().isEmpty());
    EXPECT_FALSE(QFile::exists(plant.jobDatabasePath()));
}

} // namespace
