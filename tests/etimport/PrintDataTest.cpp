#include "PrintFixture.h"

#include "etimport/PrintData.h"

namespace {

class PrintDataTest : public PrintTest {
protected:
    et::PrintData print;
    bool cancelled = true; // every call sets it
};

// The job's print rows with label text are asked about: No keeps them (Yes, Cancel and the answer given
// before: the label reader's tests); the rows of another job are never touched. A production-data file
// skips the question and replaces them.
TEST_F(PrintDataTest, ExistingRowsAreAskedAboutUnlessAProductionFileReplacesThem)
{
    addPrintRow(qs("A10"), 1, "other job");
    for (const bool skipQuestion : {false, true}) {
        addPrintRow(Job, 1, "old");
        plant.prompt.asked.clear();
        plant.prompt.yesNoCancelAnswers = {Answer::No};
        EXPECT_EQ(et::PreparePrintData(plant.ctx, print, nullptr, Job, skipQuestion, cancelled, 0), 0);
        PendingError err;
        EXPECT_TRUE(print.commit(err));
        EXPECT_EQ(asked(), skipQuestion ? QStringList() : QStringList{ExistsQuestion});
        EXPECT_EQ(printRows(Job), skipQuestion ? QString() : qs("1 E=old"));
        EXPECT_FALSE(cancelled);
        EXPECT_EQ(printRows(qs("A10")), qs("1 E=other job")) << "other jobs untouched";
    }
}

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
    query(qs("INSERT INTO LosNamen (LosName) VALUES ('Kept')"));
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

} // namespace
