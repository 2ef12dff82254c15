#include "platform/db/Database.h"

#include "DbTestSupport.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QFile>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

TEST_F(JobDbTest, MaxOfPassesOverNullsAndHonoursCriteria)
{
    const QString table = qs("Stabdaten");
    EXPECT_TRUE(database.maxOf(table, qs("ID"), {}, err).isNull()) << "empty table";
    addJob("J1");
    addJob("J2");
    addBar("J1", 1);
    EXPECT_TRUE(database.maxOf(table, qs("ID"), {}, err).isNull()) << "only Null values";
    addBar("J1", 2, 41);
    addBar("J1", 3);
    addBar("J2", 1, 7);
    const QVariant largest = database.maxOf(table, qs("id"), {}, err);
    EXPECT_EQ(largest.typeName() + largest.toString(), qs("int41"));
    EXPECT_EQ(database.maxOf(table, qs("ID"), qs("LosName='J2'"), err).toInt(), 7);
    EXPECT_TRUE(database.maxOf(table, qs("Gibtsnicht"), {}, err).isNull());
    EXPECT_EQ(err.number, 3265);
}

TEST_F(JobDbTest, DeleteAndUpdateWhereReportRowsTouched)
{
    addRow("StahlLosNamen", {{"LosName", qs("J1")}});
    addRow("StahlLosNamen", {{"LosName", qs("J2")}});
    for (int piece = 1; piece <= 4; ++piece)
        addRow("StahlTeiledaten", {{"LosName", qs("J1")}, {"TeileNr", piece}, {"StabNr", piece % 2}});
    addRow("StahlTeiledaten", {{"LosName", qs("J2")}, {"TeileNr", 1}, {"StabNr", 1}});

    const QString t = qs("StahlTeiledaten");
    EXPECT_EQ(database.updateWhere(t, qs("PVCTeileNr"), 0, qs("LosName='J1' and StabNr=1"), err), 2);
    EXPECT_EQ(database.updateWhere(t, qs("PVCTeileNr"), 0, qs("LosName='J3'"), err), 0);
    EXPECT_EQ(database.deleteWhere(t, qs("LosName='J1' and PVCTeileNr=0"), err), 2);
    EXPECT_EQ(count("StahlTeiledaten"), 3);
    EXPECT_EQ(count("StahlTeiledaten", "LosName='J2'"), 1);

    PendingError e[3];
    EXPECT_EQ(database.updateWhere(t, qs("PVCTeileNr"), qs("x"), {}, e[0]), -1);
    EXPECT_EQ(database.updateWhere(t, qs("Nix"), 1, {}, e[1]), -1);
    EXPECT_EQ(database.deleteWhere(qs("Nix"), {}, e[2]), -1);
    EXPECT_EQ(e[0].number, 3421);
    EXPECT_EQ(e[1].number, 3265);
    EXPECT_EQ(e[2].description, qs("Cannot find the input table or query 'Nix'."));
}

TEST_F(JobDbTest, DeletingAJobCascadesToItsRowsButNotToPrintData)
{
    for (const char* job : {"J1", "J2"}) {
        addJob(job);
        addBar(job, 1);
        addRow("Teiledaten", {{"LosName", qs(job)}, {"TeileNr", 1}, {"StabNr", 1}});
        addRow("Werkzeugdaten", {{"LosName", qs(job)}, {"TeileNr", 1}, {"BearbNr", 3}});
        addRow("Druckdaten", {{"LosName", qs(job)}, {"TeileNr", 1}});
    }
    db::Recordset jobs;
    ASSERT_TRUE(database.openRecordset(jobs, qs("LosNamen"), err));
    ASSERT_TRUE(jobs.findFirst(qs("LosName='J1'"), err) && jobs.remove(err));
    for (const char* table : {"Stabdaten", "Teiledaten", "Werkzeugdaten"}) {
        EXPECT_EQ(count(table, "LosName='J1'"), 0) << table;
        EXPECT_EQ(count(table, "LosName='J2'"), 1) << table;
    }
    EXPECT_EQ(count("Druckdaten"), 2);
}

TEST_F(JobDbTest, ConstraintViolationsHaveTheirNumbersAndKeepTheBuffer)
{
    addJob("J1");
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, qs("Stabdaten"), err) && rs.addNew(err));
    rs.setField(qs("StabNr"), 1, err);
    EXPECT_FALSE(rs.update(err));
    EXPECT_TRUE(err.description.startsWith(qs("The field 'Stabdaten.LosName' cannot contain a Null value")));
    rs.setField(qs("LosName"), qs("J9"), err);
    EXPECT_FALSE(rs.update(err));
    EXPECT_EQ(err.description,
              qs("You cannot add or change a record because a related record is required in table 'LosNamen'."));
    EXPECT_TRUE(rs.editing());
    ASSERT_TRUE(database.openRecordset(rs, qs("LosNamen"), err) && rs.addNew(err));
    rs.setField(qs("LosName"), qs("j1"), err);
    EXPECT_FALSE(rs.update(err));
    EXPECT_EQ(err.number, 3022) << "job names are unique without case";
    EXPECT_EQ(count("LosNamen") + count("Stabdaten"), 1);
}

TEST_F(JobDbTest, CloseCommitsAndRollbackForgets)
{
    addJob("kept");
    EXPECT_TRUE(database.close(err));
    ASSERT_TRUE(database.open(path(), err));
    addJob("dropped");
    database.rollbackAndClose();
    ASSERT_TRUE(database.open(path(), err));
    EXPECT_EQ(count("LosNamen"), 1);
    EXPECT_EQ(count("LosNamen", "LosName='kept'"), 1);
}

TEST_F(JobDbTest, ALockedDatabaseFailsWithinTheTimeout)
{
    addJob("J"); // `database` holds its call's write transaction.
    db::Database second;
    second.setBusyTimeout(300);
    QElapsedTimer timer;
    timer.start();
    PendingError e;
    EXPECT_FALSE(second.open(path(), e));
    EXPECT_EQ(e.number, 3218);
    EXPECT_EQ(e.description, qs("Could not update; currently locked."));
    EXPECT_LT(timer.elapsed(), 3000);

    database.close();
    e.clear();
    ASSERT_TRUE(second.open(path(), e)) << "free again once the call committed";
    EXPECT_EQ(second.deleteWhere(qs("LosNamen"), {}, e), 1);
}

TEST_F(JobDbTest, AKilledCallLeavesNoneOfItsRows)
{
    addJob("before");
    database.close();
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) { // an import that dies in the middle of its call
        db::Database d;
        db::Recordset rs;
        PendingError e;
        bool ok = d.open(path(), e) && d.openRecordset(rs, qs("LosNamen"), e);
        for (int i = 0; ok && i < 200; ++i)
            ok = rs.addNew(e) && rs.setField(qs("LosName"), qs("child%1").arg(i), e) && rs.update(e);
        if (ok && d.hasRows(qs("LosNamen"), e))
            kill(getpid(), SIGKILL);
        _exit(2);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with " << WEXITSTATUS(status);

    ASSERT_TRUE(database.open(path(), err)) << err.description.toStdString();
    EXPECT_EQ(count("LosNamen"), 1);
    EXPECT_EQ(count("LosNamen", "LosName='before'"), 1);
    addJob("after");
    EXPECT_FALSE(err.pending()) << "the file is writable again";
}

TEST_F(JobDbTest, CreateBuildsEveryTableRefusesAnExistingFileAndOpenNeverCreates)
{
    for (const char* table : {"LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten", "StahlLosNamen",
                              "StahlStabdaten", "StahlTeiledaten", "StahlWerkzeugdaten", "Druckdaten"}) {
        EXPECT_FALSE(database.columnNames(qs(table), err).isEmpty()) << table;
        EXPECT_FALSE(database.hasRows(qs(table), err)) << table;
    }
    db::Recordset rs;
    EXPECT_FALSE(database.openRecordset(rs, qs("Nix"), err));
    EXPECT_EQ(err.number, 3078);
    database.close();
    const QByteArray before = readFileBytes(path());
    QString message;
    EXPECT_FALSE(db::createDatabase(path(), schema::jobDatabaseSql(), &message));
    EXPECT_TRUE(message.contains(path()) && message.contains(qs("exists"))) << message.toStdString();
    EXPECT_EQ(readFileBytes(path()), before);

    const QString other = path() + qs(".neu");
    EXPECT_FALSE(db::createDatabase(other, qs("CREATE TABLE a (x INTEGER); CREATE TABL b"), &message));
    EXPECT_FALSE(database.open(other, err));
    EXPECT_EQ(err.description, qs("Could not find file '%1'.").arg(other));
    EXPECT_FALSE(QFile::exists(other)) << "neither a failed creation nor opening leaves a file";
    QFile garbage(other);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(4096, 'x')) == 4096);
    garbage.close();
    EXPECT_FALSE(database.open(other, err));
    EXPECT_EQ(err.number, 3001);
    EXPECT_TRUE(err.description.contains(qs("not a database"))) << err.description.toStdString();
}

} // namespace
