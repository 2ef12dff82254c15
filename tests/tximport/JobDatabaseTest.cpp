// openDB, the job row and DeleteLos against a real job database file.

#include "PieceImportFixture.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"
#include "tximport/JobDatabase.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

const QString Title = QStringLiteral("$TX-VOV Server - PVC -");
const QString SteelTitle = QStringLiteral("$TX-VOV Server - Steel -");

QString existsQuestion(const QString& job)
{
    return job + QStringLiteral(" exists !\r\nDelete Job = Yes / Override Job = No");
}

// The plant, its job database and plain SQL come from the piece-import
// fixture; these tests drive openDB and DeleteLos directly.
class JobDatabaseTest : public ::testing::Test, protected piecetest::PieceImport {
protected:
    // A job with one bar, one piece and one machining row.
    void addJob(const QString& job, const QString& prefix = QString(), int id = 5)
    {
        exec(QStringLiteral("INSERT INTO %1LosNamen (LosName, Freigabe, ID) VALUES ('%2', '2026-01-02 03:04:05', %3)")
                .arg(prefix, job)
                .arg(id));
        exec(QStringLiteral("INSERT INTO %1Stabdaten (LosName, StabNr) VALUES ('%2', 1)").arg(prefix, job));
        exec(QStringLiteral("INSERT INTO %1Teiledaten (LosName, TeileNr) VALUES ('%2', 1)").arg(prefix, job));
        exec(QStringLiteral("INSERT INTO %1Werkzeugdaten (LosName, TeileNr) VALUES ('%2', 1)").arg(prefix, job));
    }
    int rowsOf(const QString& table, const QString& job)
    {
        return value(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE LosName='%2'").arg(table, job)).toInt();
    }

    // openDB, the job row (unless overriding) and the end of the import.
    int importJob(const QString& job, bool steelMode = false)
    {
        tx::JobConnection conn;
        const int rc = tx::openDB(plant.ctx, plant.job, carry, conn, job, steelMode);
        if (rc == 0 && !conn.override && !plant.job.LoadCancelled) {
            PendingError err;
            tx::addJobRow(plant.ctx, conn, job, err);
            EXPECT_FALSE(err.pending()) << err.description.toStdString();
        }
        lastOverride = conn.override;
        conn.close();
        return rc;
    }

    bool lastOverride = false;
};

// --- the job-exists question ------------------------------------------------

struct ExistsCase {
    const char* name;
    bool steelMode;
    int replaceAnswer;  // from an earlier file of the job (0: none)
    int operatorAnswer; // 0: no question expected
    int replaceAfter;
    bool override;
    bool cancelled;
    int oldRowsLeft; // bars, pieces, machining rows of the old job
};

class JobExistsTest : public JobDatabaseTest, public ::testing::WithParamInterface<ExistsCase> {};

TEST_P(JobExistsTest, AnswerDecidesDeleteOverrideOrCancel)
{
    const ExistsCase c = GetParam();
    const QString prefix = c.steelMode ? QStringLiteral("Stahl") : QString();
    addJob(QStringLiteral("A123"), prefix);
    plant.job.ReplaceAnswer = c.replaceAnswer;
    if (c.operatorAnswer != 0)
        plant.prompt.yesNoCancelAnswers = {c.operatorAnswer};

    EXPECT_EQ(importJob(QStringLiteral("A123"), c.steelMode), 0);

    if (c.operatorAnswer != 0) {
        ASSERT_EQ(plant.prompt.asked.size(), 1u);
        EXPECT_EQ(plant.prompt.asked[0].kind, QStringLiteral("YesNoCancel"));
        EXPECT_EQ(plant.prompt.asked[0].title, c.steelMode ? SteelTitle : Title);
        EXPECT_EQ(plant.prompt.asked[0].text, existsQuestion(QStringLiteral("A123")));
    } else {
        EXPECT_TRUE(plant.prompt.asked.empty());
    }
    EXPECT_EQ(plant.job.ReplaceAnswer, c.replaceAfter);
    EXPECT_EQ(lastOverride, c.override);
    EXPECT_EQ(plant.job.LoadCancelled, c.cancelled);
    EXPECT_EQ(rowsOf(prefix + QStringLiteral("LosNamen"), QStringLiteral("A123")), 1);
    for (const char* table : {"Stabdaten", "Teiledaten", "Werkzeugdaten"})
        EXPECT_EQ(rowsOf(prefix + QString::fromLatin1(table), QStringLiteral("A123")), c.oldRowsLeft) << table;
    // Deleted and written again, the row has no release values (the
    // auto-release box is off); a kept row keeps its own.
    EXPECT_EQ(value(QStringLiteral("SELECT ID FROM %1LosNamen").arg(prefix)).isNull(), c.oldRowsLeft == 0);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, JobExistsTest,
    ::testing::Values(ExistsCase{"Yes", false, 0, Answer::Yes, 6, false, false, 0},
                      ExistsCase{"No", false, 0, Answer::No, 7, true, false, 1},
                      ExistsCase{"Cancel", false, 0, Answer::Cancel, 0, false, true, 1},
                      ExistsCase{"SteelAsksWithItsTitle", true, 0, Answer::Cancel, 0, false, true, 1},
                      // The steel-data file of a job reuses the answer.
                      ExistsCase{"SteelAfterNo", true, Answer::No, 0, 7, true, false, 1},
                      ExistsCase{"SteelAfterYes", true, Answer::Yes, 0, 6, false, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(JobDatabaseTest, NewJobIsNotAskedAndClearsAnEarlierCancel)
{
    plant.job.LoadCancelled = true;
    EXPECT_EQ(importJob(QStringLiteral("A123")), 0);
    EXPECT_TRUE(plant.prompt.asked.empty());
    EXPECT_FALSE(plant.job.LoadCancelled);
    EXPECT_FALSE(lastOverride);
    EXPECT_EQ(rowsOf(QStringLiteral("LosNamen"), QStringLiteral("A123")), 1);
}

// --- counters -----------------------------------------------------------------

TEST_F(JobDatabaseTest, JobRowWithAutoReleaseGetsNextIdAndTime)
{
    plant.ctx.form.chkAutoFreigabe = 1;
    importJob(QStringLiteral("A1"));
    exec(QStringLiteral("INSERT INTO LosNamen (LosName, ID) VALUES ('X', 41)"));
    exec(QStringLiteral("INSERT INTO LosNamen (LosName, ID) VALUES ('Y', NULL)"));
    importJob(QStringLiteral("A2"));

    EXPECT_EQ(value(QStringLiteral("SELECT ID FROM LosNamen WHERE LosName='A1'")).toInt(), 0);
    EXPECT_EQ(value(QStringLiteral("SELECT ID FROM LosNamen WHERE LosName='A2'")).toInt(), 42);
    EXPECT_EQ(value(QStringLiteral("SELECT Freigabe FROM LosNamen WHERE LosName='A2'")).toString(),
              QStringLiteral("2026-12-05 10:30:00"));
}

TEST_F(JobDatabaseTest, JobRowWithoutAutoReleaseHasNoReleaseValues)
{
    exec(QStringLiteral("INSERT INTO LosNamen (LosName, ID) VALUES ('X', 41)"));
    importJob(QStringLiteral("A1"));
    EXPECT_TRUE(value(QStringLiteral("SELECT ID FROM LosNamen WHERE LosName='A1'")).isNull());
    EXPECT_TRUE(value(QStringLiteral("SELECT Freigabe FROM LosNamen WHERE LosName='A1'")).isNull());
}

struct CounterCase {
    const char* name;
    bool steelMode;
    bool autoRelease;
    const char* barIds;   // rows put into the bar table ("" = none)
    const char* pieceIds; // rows put into the piece table
    qint32 barBefore, pieceBefore;
    qint32 barAfter, pieceAfter;
};

class IdCounterTest : public JobDatabaseTest, public ::testing::WithParamInterface<CounterCase> {};

TEST_P(IdCounterTest, NextBarAndPieceIds)
{
    const CounterCase c = GetParam();
    const QString prefix = c.steelMode ? QStringLiteral("Stahl") : QString();
    plant.ctx.settings.AutoFreigabe = c.autoRelease;
    for (const QString& id : QString::fromLatin1(c.barIds).split(u',', Qt::SkipEmptyParts))
        exec(QStringLiteral("INSERT INTO %1Stabdaten (LosName, ID) VALUES ('Old', %2)").arg(prefix, id));
    for (const QString& id : QString::fromLatin1(c.pieceIds).split(u',', Qt::SkipEmptyParts))
        exec(QStringLiteral("INSERT INTO %1Teiledaten (LosName, ID) VALUES ('Old', %2)").arg(prefix, id));
    carry.nextBarID = c.barBefore;
    carry.nextPieceID = c.pieceBefore;

    tx::JobConnection conn;
    ASSERT_EQ(tx::openDB(plant.ctx, plant.job, carry, conn, QStringLiteral("A1"), c.steelMode), 0);
    conn.close();

    EXPECT_EQ(carry.nextBarID, c.barAfter);
    EXPECT_EQ(carry.nextPieceID, c.pieceAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Tables, IdCounterTest,
    ::testing::Values(
        // Empty tables keep what the previous import of the run reached.
        CounterCase{"EmptyTablesCarryOver", false, true, "", "", 17, 9, 17, 9},
        CounterCase{"LargestPlusOne", false, true, "41,3,NULL", "", 0, 0, 42, 0},
        CounterCase{"NoAutoReleaseStartsAtZero", false, false, "41", "12", 17, 9, 0, 0},
        // Piece release numbers are kept for steel pieces only.
        CounterCase{"ProductionPiecesGetNone", false, true, "", "12", 0, 9, 0, 0},
        CounterCase{"SteelPiecesLargestPlusOne", true, true, "5", "12,NULL", 0, 0, 6, 13}),
    [](const auto& info) { return std::string(info.param.name); });

struct LoadIdCase {
    const char* name;
    bool genLoadId;
    const char* loadIds; // "" = empty table
    int expected;
};

class LoadIdTest : public JobDatabaseTest, public ::testing::WithParamInterface<LoadIdCase> {};

TEST_P(LoadIdTest, BarAndPieceLoadIdentifiers)
{
    const LoadIdCase c = GetParam();
    plant.ctx.settings.GenLoadID = c.genLoadId;
    for (const QString& id : QString::fromLatin1(c.loadIds).split(u',', Qt::SkipEmptyParts)) {
        exec(QStringLiteral("INSERT INTO Stabdaten (LosName, LoadID) VALUES ('Old', %1)").arg(id));
        exec(QStringLiteral("INSERT INTO Teiledaten (LosName, LoadID) VALUES ('Old', %1)").arg(id));
    }
    tx::JobConnection conn;
    ASSERT_EQ(tx::openDB(plant.ctx, plant.job, carry, conn, QStringLiteral("A1"), false), 0);
    EXPECT_EQ(conn.barLoadID, c.expected);
    EXPECT_EQ(conn.pieceLoadID, c.expected);
    conn.close();
}

INSTANTIATE_TEST_SUITE_P(Tables, LoadIdTest,
                         ::testing::Values(LoadIdCase{"EmptyTable", true, "", 0},
                                           LoadIdCase{"LargestPlusOne", true, "7,3,NULL", 8},
                                           LoadIdCase{"OnlyNulls", true, "NULL,NULL", 0},
                                           LoadIdCase{"NotGenerated", false, "7", -1},
                                           LoadIdCase{"NotGeneratedEmpty", false, "", -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- angle-ID probe and failures ----------------------------------------------

class AngleProbeTest : public ::testing::TestWithParam<bool> {};

TEST_P(AngleProbeTest, BothColumnsMustExist)
{
    const bool dropOne = GetParam();
    TestPlant plant;
    QString sql = schema::jobDatabaseSql();
    if (dropOne)
        sql.remove(QStringLiteral("AngleOffCutID SMALLINT,"));
    QString message;
    ASSERT_TRUE(db::createDatabase(plant.jobDatabasePath(), sql, &message)) << message.toStdString();

    tx::ImportCarry carry;
    for (const bool steelMode : {false, true}) {
        tx::JobConnection conn;
        ASSERT_EQ(tx::openDB(plant.ctx, plant.job, carry, conn, QStringLiteral("A1"), steelMode), 0);
        EXPECT_EQ(conn.angleIdColumns, !dropOne);
        conn.close();
    }
}

INSTANTIATE_TEST_SUITE_P(Schemas, AngleProbeTest, ::testing::Values(false, true));

struct FailureCase {
    const char* name;
    const char* job;
    const char* dropTable; // "" = none; "*" = no database file at all
    int errorNumber;
};

class OpenDbFailureTest : public JobDatabaseTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(OpenDbFailureTest, ReportsAndReturnsTheNumberLeavingOtherJobsAlone)
{
    const FailureCase c = GetParam();
    const QString dropTable = QString::fromLatin1(c.dropTable);
    const QString job = QString::fromLatin1(c.job);
    addJob(QStringLiteral("Other"));
    if (dropTable == QStringLiteral("*"))
        QFile::remove(plant.jobDatabasePath());
    else if (!dropTable.isEmpty())
        exec(QStringLiteral("DROP TABLE ") + dropTable);
    tx::JobConnection conn;

    EXPECT_EQ(tx::openDB(plant.ctx, plant.job, carry, conn, job, false), c.errorNumber);

    EXPECT_FALSE(conn.database.isOpen());
    EXPECT_TRUE(plant.prompt.asked.empty());
    EXPECT_TRUE(lastReport().contains(QStringLiteral("------------\r\nJob: ") + job + QStringLiteral("\r\nopenDB: ")))
        << lastReport().toStdString();
    if (dropTable != QStringLiteral("*")) {
        EXPECT_EQ(rowsOf(QStringLiteral("Stabdaten"), QStringLiteral("Other")), 1);
        // Nothing is left open or locked: another connection can write.
        tx::DeleteLos(plant.ctx, QStringLiteral("Other"), false);
        EXPECT_EQ(rowsOf(QStringLiteral("LosNamen"), QStringLiteral("Other")), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, OpenDbFailureTest,
    ::testing::Values(FailureCase{"MissingDatabase", "A1", "*", ErrorNumber::CouldNotFindFile},
                      FailureCase{"MissingMachiningTable", "A1", "Werkzeugdaten", ErrorNumber::TableNotFound},
                      FailureCase{"QuoteInJobName", "O'Brien", "", ErrorNumber::SyntaxInQueryExpression},
                      FailureCase{"SqlInJobName", "x' or LosName<>'", "", ErrorNumber::SyntaxInQueryExpression}),
    [](const auto& info) { return std::string(info.param.name); });

// --- DeleteLos ------------------------------------------------------------------

TEST_F(JobDatabaseTest, DeleteLosRemovesTheJobWithItsRowsOnly)
{
    addJob(QStringLiteral("A1"));
    addJob(QStringLiteral("B2"));
    addJob(QStringLiteral("A1"), QStringLiteral("Stahl"));

    tx::DeleteLos(plant.ctx, QStringLiteral("A1"), false);

    for (const char* table : {"LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten"}) {
        EXPECT_EQ(rowsOf(QString::fromLatin1(table), QStringLiteral("A1")), 0) << table;
        EXPECT_EQ(rowsOf(QString::fromLatin1(table), QStringLiteral("B2")), 1) << table;
        EXPECT_EQ(rowsOf(QStringLiteral("Stahl") + QString::fromLatin1(table), QStringLiteral("A1")), 1) << table;
    }

    tx::DeleteLos(plant.ctx, QStringLiteral("A1"), true);
    EXPECT_EQ(rowsOf(QStringLiteral("StahlStabdaten"), QStringLiteral("A1")), 0);
    EXPECT_TRUE(plant.errorBox.text().isEmpty());
}

TEST_F(JobDatabaseTest, DeleteLosWithAQuoteReportsAndDeletesNothing)
{
    addJob(QStringLiteral("A1"));
    tx::DeleteLos(plant.ctx, QStringLiteral("A1' or '1'='1"), false);
    EXPECT_TRUE(lastReport().contains(QStringLiteral("------------\r\nJob: A1' or '1'='1\r\nDeleteLos: ")));
    EXPECT_EQ(rowsOf(QStringLiteral("LosNamen"), QStringLiteral("A1")), 1);
}

} // namespace
