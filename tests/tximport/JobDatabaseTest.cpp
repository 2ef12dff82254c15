// openDB, the job row and DeleteLos against a real job database file.

#include "ImportHelpers.h"

#include <QFile>

#include <tuple>

#include <gtest/gtest.h>

namespace {

QString prefixOf(bool steelMode)
{
    return steelMode ? QStringLiteral("Stahl") : QString();
}

class JobDatabaseTest : public ::testing::Test, protected readertest::PieceImport {
protected:
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
        return readertest::countRows(plant.jobDatabasePath(), table, job);
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

struct ExistsCase {
    const char* name;
    bool steelMode, exists;
    int replaceAnswer, operatorAnswer, replaceAfter; // from an earlier file, given to the question (0: none), after
    bool override, cancelled;
    int oldRowsLeft; // bars, pieces, machining rows of the old job
};

class JobExistsTest : public JobDatabaseTest, public ::testing::WithParamInterface<ExistsCase> {};

TEST_P(JobExistsTest, AnswerDecidesDeleteOverrideOrCancel)
{
    const ExistsCase c = GetParam();
    const QString prefix = prefixOf(c.steelMode);
    if (c.exists)
        addJob(QStringLiteral("A123"), prefix);
    plant.job.ReplaceAnswer = c.replaceAnswer;
    if (c.operatorAnswer != 0)
        plant.prompt.yesNoCancelAnswers = {c.operatorAnswer};

    const bool override = importJob(QStringLiteral("A123"), c.steelMode);

    EXPECT_EQ(plant.prompt.asked.size(), c.operatorAnswer != 0 ? 1u : 0u);
    for (const ScriptedPrompt::Question& q : plant.prompt.asked) {
        EXPECT_EQ(q.kind, QStringLiteral("YesNoCancel"));
        EXPECT_EQ(q.title, QStringLiteral("$TX-VOV Server - %1 -").arg(c.steelMode ? "Steel" : "PVC"));
        EXPECT_EQ(q.text, QStringLiteral("A123 exists !\r\nDelete Job = Yes / Override Job = No"));
    }
    EXPECT_EQ(std::tuple(plant.job.ReplaceAnswer, override, cancelled),
              std::tuple(c.replaceAfter, c.override, c.cancelled));
    EXPECT_EQ(rowsOf(prefix + QStringLiteral("LosNamen"), QStringLiteral("A123")), 1);
    for (const char* table : {"Stabdaten", "Teiledaten", "Werkzeugdaten"})
        EXPECT_EQ(rowsOf(prefix + QLatin1String(table), QStringLiteral("A123")), c.oldRowsLeft) << table;
    // A row written again has no release values (auto-release is off); a kept row keeps its own.
    EXPECT_EQ(value(QStringLiteral("SELECT ID FROM %1LosNamen").arg(prefix)).isNull(), c.oldRowsLeft == 0);
}

INSTANTIATE_TEST_SUITE_P(Answers, JobExistsTest,
                         ::testing::Values(ExistsCase{"Yes", false, true, 0, Answer::Yes, 6, false, false, 0},
                                           ExistsCase{"No", false, true, 0, Answer::No, 7, true, false, 1},
                                           ExistsCase{"Cancel", false, true, 0, Answer::Cancel, 0, false, true, 1},
                                           ExistsCase{"SteelAsksWithItsTitle", true, true, 0, Answer::Cancel, 0, false,
                                                      true, 1},
                                           // The steel-data file of a job reuses the answer.
                                           ExistsCase{"SteelAfterNo", true, true, Answer::No, 0, 7, true, false, 1},
                                           ExistsCase{"NewJobIsNotAsked", false, false, 0, 0, 0, false, false, 0}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobDatabaseTest, JobRowWithAutoReleaseGetsNextIdAndTime)
{
    plant.ctx.settings.AutoFreigabe = true;
    importJob(QStringLiteral("A1"));
    exec(QStringLiteral("INSERT INTO LosNamen (LosName, ID) VALUES ('X', 41), ('Y', NULL)"));
    importJob(QStringLiteral("A2"));

    EXPECT_EQ(rows(QStringLiteral("SELECT LosName, ID, Freigabe FROM LosNamen WHERE LosName LIKE 'A_' ORDER BY 1")),
              (QList<QVariantList>{{QStringLiteral("A1"), 0, QStringLiteral("2026-12-05 10:30:00")},
                                   {QStringLiteral("A2"), 42, QStringLiteral("2026-12-05 10:30:00")}}));
}

struct CounterCase {
    const char* name;
    bool steelMode, autoRelease, genLoadId;
    const char *barValues, *pieceValues; // ID and LoadID of the rows put into the bar and piece tables
    qint32 barBefore, pieceBefore;       // reached by the previous import
    qint32 barAfter, pieceAfter;
    int barLoadId, pieceLoadId;
    bool angleIds = true; // false: the piece table lacks AngleOffCutID
};

// What openDB prepares: ID and LoadID counters and the angle-ID probe.
class CounterTest : public JobDatabaseTest, public ::testing::WithParamInterface<CounterCase> {};

TEST_P(CounterTest, CountersAndAngleIdProbe)
{
    const CounterCase c = GetParam();
    const QString prefix = prefixOf(c.steelMode);
    plant.ctx.settings.AutoFreigabe = c.autoRelease;
    plant.ctx.settings.GenLoadID = c.genLoadId;
    for (const auto& [table, values] : {std::pair("Stabdaten", c.barValues), std::pair("Teiledaten", c.pieceValues)}) {
        for (const QString& v : QString::fromLatin1(values).split(u',', Qt::SkipEmptyParts))
            exec(QStringLiteral("INSERT INTO %1%2 (LosName, ID, LoadID) VALUES ('Old', %3, %3)")
                     .arg(prefix, QLatin1String(table), v));
    }
    if (!c.angleIds)
        exec(QStringLiteral("ALTER TABLE %1Teiledaten DROP COLUMN AngleOffCutID").arg(prefix));
    carry = {c.barBefore, c.pieceBefore};

    tx::JobConnection conn;
    ASSERT_EQ(tx::openDB(plant.ctx, plant.job, carry, conn, QStringLiteral("A1"), c.steelMode, cancelled), 0);
    EXPECT_EQ(std::tuple(carry.nextBarID, carry.nextPieceID, conn.barLoadID, conn.pieceLoadID, conn.angleIdColumns),
              std::tuple(c.barAfter, c.pieceAfter, c.barLoadId, c.pieceLoadId, c.angleIds));
}

INSTANTIATE_TEST_SUITE_P(
    Tables, CounterTest,
    ::testing::Values(
        CounterCase{"EmptyTablesCarryOver", false, true, true, "", "", 17, 9, 17, 9, 0, 0},
        CounterCase{"LargestPlusOne", false, true, true, "41,3,NULL", "7,NULL", 0, 0, 42, 0, 42, 8, false},
        CounterCase{"NoAutoReleaseNoLoadIds", false, false, false, "41", "12", 17, 9, 0, 0, -1, -1},
        CounterCase{"SteelPiecesLargestPlusOne", true, true, false, "5", "12,NULL", 0, 0, 6, 13, -1, -1, false}),
    [](const auto& info) { return std::string(info.param.name); });

// openDB fails on a missing table and on a quote in the job name: the
// failure is reported and returned, and nothing is left open or locked.
TEST_F(JobDatabaseTest, OpenDbFailureIsReportedAndReturnedLeavingOtherJobsAlone)
{
    addJob(QStringLiteral("Other"));
    tx::JobConnection conn;
    EXPECT_EQ(tx::openDB(plant.ctx, plant.job, carry, conn, QStringLiteral("O'Brien"), false, cancelled),
              ErrorNumber::SyntaxInQueryExpression);
    EXPECT_TRUE(report().contains(QStringLiteral("------------\r\nJob: O'Brien\r\nopenDB: ")))
        << report().toStdString();
    exec(QStringLiteral("DROP TRIGGER IF EXISTS Teiledaten_Werkzeugdaten"));
    exec(QStringLiteral("DROP TABLE Werkzeugdaten"));
    EXPECT_EQ(tx::openDB(plant.ctx, plant.job, carry, conn, QStringLiteral("A1"), false, cancelled),
              ErrorNumber::TableNotFound);
    EXPECT_FALSE(conn.database.isOpen());
    EXPECT_TRUE(plant.prompt.asked.empty());
    tx::DeleteLos(plant.ctx, QStringLiteral("Other"), false);
    EXPECT_EQ(rowsOf(QStringLiteral("LosNamen"), QStringLiteral("Other")), 0);
}

TEST_F(JobDatabaseTest, DeleteLosRemovesTheJobWithItsRowsOnly)
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
}

} // namespace
