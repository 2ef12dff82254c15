#include "PrintFixture.h"

#include "etimport/PrintData.h"

namespace {

class PrintDataTest : public PrintTest {
protected:
    et::PrintData print;
    bool cancelled = true; // every call sets it
};

struct ExistingCase {
    const char* name;
    int rows, presetAnswer, operatorAnswer; // rows of A1 before; operatorAnswer 0: no question expected
    bool skipQuestion, rowsKept, cancelled;
};

class ExistingPrintData : public PrintDataTest, public ::testing::WithParamInterface<ExistingCase> {};

TEST_P(ExistingPrintData, AnswerDecides)
{
    const ExistingCase& c = GetParam();
    for (int piece = 1; piece <= c.rows; ++piece)
        addPrintRow(Job, piece, "old");
    addPrintRow(qs("A10"), 1, "other job");
    plant.prompt.yesNoCancelAnswers = {c.operatorAnswer};

    EXPECT_EQ(et::PreparePrintData(plant.ctx, print, nullptr, Job, c.skipQuestion, cancelled, c.presetAnswer), 0);
    PendingError err;
    EXPECT_TRUE(print.commit(err));
    EXPECT_EQ(asked(), c.operatorAnswer == 0 ? QStringList() : QStringList{ExistsQuestion});
    EXPECT_EQ(printRows(Job), c.rowsKept ? qs("1 E=old | 2 E=old") : QString());
    EXPECT_EQ(printRows(qs("A10")), qs("1 E=other job"));
    EXPECT_EQ(cancelled, c.cancelled);
}

INSTANTIATE_TEST_SUITE_P(Answers, ExistingPrintData,
                         ::testing::Values(ExistingCase{"NoRowsNotAsked", 0, 0, 0, false, false, false},
                                           ExistingCase{"SkipQuestionDeletes", 2, Answer::No, 0, true, false, false},
                                           ExistingCase{"PresetNoKeeps", 2, Answer::No, 0, false, true, false},
                                           ExistingCase{"AskedNo", 2, 0, Answer::No, false, true, false},
                                           ExistingCase{"AskedCancel", 2, 0, Answer::Cancel, false, true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

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

class OrphanTest : public PrintDataTest, public ::testing::WithParamInterface<int> {};

TEST_P(OrphanTest, OrphansGoOnlyInTheThirdLoadMode)
{
    plant.ctx.settings.JobLoadMode = static_cast<LoadMode>(GetParam());
    query(qs("INSERT INTO LosNamen (LosName) VALUES ('Kept')"));
    addPrintRow(qs("Kept"), 1, "x");
    addPrintRow(qs("Gone"), 1, "y");
    et::DeleteOrphanPrintData(plant.ctx);
    EXPECT_EQ(printRows(qs("Kept")), qs("1 E=x"));
    EXPECT_EQ(printRows(qs("Gone")), GetParam() == 2 ? QString() : qs("1 E=y"));
    QFile::remove(plant.jobDatabasePath());
    et::DeleteOrphanPrintData(plant.ctx);
    EXPECT_TRUE(plant.errorBox.text().isEmpty()) << "never reports, not even without a database";
}

INSTANTIATE_TEST_SUITE_P(LoadModes, OrphanTest, ::testing::Values(0, 1, 2),
                         [](const auto& i) { return "Mode" + std::to_string(i.param); });

} // namespace
