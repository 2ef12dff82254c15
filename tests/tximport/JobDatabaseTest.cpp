// openDB, the job row and DeleteLos against a real job database file.

#include "ImportHelpers.h"

#include <tuple>

#include <gtest/gtest.h>

namespace {

class JobDatabaseTest : public ::testing::Test, public readertest::PieceImport {
public:
    void TestBody() override {}
    // A job with one bar, one piece and one machining row.
    void addJob(const QString& job, const QString& prefix = QString())
    {
        exec(QStringLiteral("INSERT INTO %1LosNamen (LosName, Freigabe, ID) VALUES ('%2', '2026-01-02 03:04:05', 5)")
                 .arg(prefix, job));
        for (const char* table :
             {"Stabdaten (LosName, StabNr)", "Teiledaten (LosName, TeileNr)", "Werkzeugdaten (LosName, TeileNr)"})
            exec(QStringLiteral("INSERT INTO %1%2 VALUES ('%3', 1)").arg(prefix, QLatin1String(table), job));
    }
    int rowsOf(const QString& table, const QString& job) const
    {
        return value(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE LosName='%2'").arg(table, job)).toInt();
    }
    // openDB, then the job row unless overriding or cancelled; returns whether it overrides.
    bool importJob(const QString& job, bool steelMode = false)
    {
        tx::JobConnection conn;
        cancelled = true; // an earlier cancel is cleared
        const int rc = tx::openDB(plant.ctx, plant.job, carry, conn, job, steelMode, cancelled);
        EXPECT_EQ(rc, 0);
        PendingError err;
        if (rc == 0 && !conn.override && !cancelled)
            tx::addJobRow(plant.ctx, conn, job, err);
        EXPECT_TRUE(!err.pending() && conn.commit(err)) << err.description.toStdString();
        conn.close();
        return conn.override;
    }
    QString report() const { return plant.errorBox.text(); }
    bool cancelled = false; // the last openDB's answer
};

// The job-exists question: Yes deletes the old job, No overrides it, Cancel
// keeps it; the steel-data file of a job reuses the answer of its production
// data. A job row written again has no release values (auto-release is off).
TEST(JobExists, AnswerDecidesDeleteOverrideOrCancel)
{
    const struct {
        bool steel, exists;
        int replaceAnswer, operatorAnswer, replaceAfter; // from an earlier file, given to the question (0: none), after
        bool override, cancelled;
        int oldRowsLeft; // bars, pieces, machining rows of the old job
    } cases[] = {{false, true, 0, Answer::Yes, 6, false, false, 0},
                 {false, true, 0, Answer::No, 7, true, false, 1},
                 {true, true, 0, Answer::Cancel, 0, false, true, 1},
                 {true, true, Answer::No, 0, 7, true, false, 1},
                 {false, false, 0, 0, 0, false, false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.steel << c.exists << c.replaceAnswer << c.operatorAnswer);
        JobDatabaseTest t;
        const QString prefix = c.steel ? QStringLiteral("Stahl") : QString();
        if (c.exists)
            t.addJob(QStringLiteral("A123"), prefix);
        t.plant.job.ReplaceAnswer = c.replaceAnswer;
        t.plant.prompt.yesNoCancelAnswers = {c.operatorAnswer};
        const bool override = t.importJob(QStringLiteral("A123"), c.steel);
        EXPECT_EQ(t.plant.prompt.asked.size(), c.operatorAnswer != 0 ? 1u : 0u);
        for (const ScriptedPrompt::Question& q : t.plant.prompt.asked)
            EXPECT_EQ(q.kind + u'|' + q.title + u'|' + q.text,
                      QStringLiteral("YesNoCancel|$TX-VOV Server - %1 -|A123 exists !\r\nDelete Job = Yes / Override "
                                     "Job = No")
                          .arg(c.steel ? "Steel" : "PVC"));
        EXPECT_EQ(std::tuple(t.plant.job.ReplaceAnswer, override, t.cancelled),
                  std::tuple(c.replaceAfter, c.override, c.cancelled));
        EXPECT_EQ(t.rowsOf(prefix + QStringLiteral("LosNamen"), QStringLiteral("A123")), 1);
        for (const char* table : {"Stabdaten", "Teiledaten", "Werkzeugdaten"})
            EXPECT_EQ(t.rowsOf(prefix + QLatin1String(table), QStringLiteral("A123")), c.oldRowsLeft) << table;
        EXPECT_EQ(t.value(QStringLiteral("SELECT ID FROM %1LosNamen").arg(prefix)).isNull(), c.oldRowsLeft == 0);
    }
}

TEST_F(JobDatabaseTest, JobRowWithAutoReleaseGetsNextIdAndTime)
{
    plant.ctx.settings.AutoFreigabe = true;
    importJob(QStringLiteral("A1"));
    exec(QStringLiteral("INSERT INTO LosNamen (LosName, ID) VALUES ('X', 41), ('Y', NULL)"));
    importJob(QStringLiteral("A2"));

    EXPECT_EQ(readertest::rowsText(plant.jobDatabasePath(), QStringLiteral("SELECT LosName, ID, Freigabe FROM "
                                                                           "LosNamen WHERE LosName LIKE 'A_'")),
              QStringLiteral("A1,0,2026-12-05 10:30:00;A2,42,2026-12-05 10:30:00"));
}

// DeleteLos removes a job's rows only; openDB fails on a quote in the job
// name and on a missing table: the failures are reported and returned, and
// nothing is left open or locked.
TEST_F(JobDatabaseTest, DeleteLosRemovesTheJobWithItsRowsOnlyAndFailuresAreReported)
{
    addJob(QStringLiteral("A1"));
    addJob(QStringLiteral("B2"));
    addJob(QStringLiteral("A1"), QStringLiteral("Stahl"));

    tx::DeleteLos(plant.ctx, QStringLiteral("A1"), false);
    for (const char* table : {"LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten"}) {
        EXPECT_EQ(rowsOf(QLatin1String(table), QStringLiteral("A1")), 0) << table;
        EXPECT_EQ(rowsOf(QLatin1String(table), QStringLiteral("B2")), 1) << table;
        EXPECT_EQ(rowsOf(QStringLiteral("Stahl") + QLatin1String(table), QStringLiteral("A1")), 1) << table;
    }
    tx::DeleteLos(plant.ctx, QStringLiteral("A1"), true);
    EXPECT_EQ(rowsOf(QStringLiteral("StahlStabdaten"), QStringLiteral("A1")), 0);
    EXPECT_TRUE(report().isEmpty());

    tx::DeleteLos(plant.ctx, QStringLiteral("B2' or '1'='1"), false);
    EXPECT_TRUE(report().contains(QStringLiteral("------------\r\nJob: B2' or '1'='1\r\nDeleteLos: ")));
    EXPECT_EQ(rowsOf(QStringLiteral("LosNamen"), QStringLiteral("B2")), 1);
    tx::JobConnection conn;
    EXPECT_EQ(tx::openDB(plant.ctx, plant.job, carry, conn, QStringLiteral("O'Brien"), false, cancelled),
              ErrorNumber::SyntaxInQueryExpression);
    EXPECT_TRUE(report().contains(QStringLiteral("Job: O'Brien\r\nopenDB: "))) << report().toStdString();
    exec(QStringLiteral("DROP TRIGGER IF EXISTS Teiledaten_Werkzeugdaten"));
    exec(QStringLiteral("DROP TABLE Werkzeugdaten"));
    EXPECT_EQ(tx::openDB(plant.ctx, plant.job, carry, conn, QStringLiteral("A1"), false, cancelled),
              ErrorNumber::TableNotFound);
    EXPECT_FALSE(conn.database.isOpen());
    EXPECT_TRUE(plant.prompt.asked.empty());
    tx::DeleteLos(plant.ctx, QStringLiteral("B2"), false);
    EXPECT_EQ(rowsOf(QStringLiteral("LosNamen"), QStringLiteral("B2")), 0);
}

} // namespace
