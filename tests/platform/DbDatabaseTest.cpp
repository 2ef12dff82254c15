#include "platform/db/Database.h"

#include "DbTestSupport.h"

#include <QElapsedTimer>
#include <QFile>

#include <csignal>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// ---------------------------------------------------------------------------
// Set-based statements

TEST_F(JobDbTest, MaxOfPassesOverNullsAndHonoursCriteria)
{
    const QString table = QStringLiteral("Stabdaten");
    EXPECT_TRUE(database.maxOf(table, QStringLiteral("ID"), QString(), err).isNull()) << "empty table";
    addJob(QStringLiteral("J1"));
    addJob(QStringLiteral("J2"));
    addBar(QStringLiteral("J1"), 1);
    EXPECT_TRUE(database.maxOf(table, QStringLiteral("ID"), QString(), err).isNull()) << "only Null values";
    addBar(QStringLiteral("J1"), 2, 41);
    addBar(QStringLiteral("J1"), 3);
    addBar(QStringLiteral("J2"), 1, 7);
    const QVariant largest = database.maxOf(table, QStringLiteral("id"), QString(), err);
    EXPECT_EQ(largest.typeId(), QMetaType::Int);
    EXPECT_EQ(largest.toInt(), 41);
    EXPECT_EQ(database.maxOf(table, QStringLiteral("ID"), QStringLiteral("LosName='J2'"), err).toInt(), 7);
    EXPECT_FALSE(err.pending());

    PendingError e;
    EXPECT_TRUE(database.maxOf(table, QStringLiteral("Gibtsnicht"), QString(), e).isNull());
    EXPECT_EQ(e.number, 3265);
}

TEST_F(JobDbTest, DeleteAndUpdateWhereReportRowsTouched)
{
    addRow(QStringLiteral("StahlLosNamen"), {{"LosName", QStringLiteral("J1")}});
    addRow(QStringLiteral("StahlLosNamen"), {{"LosName", QStringLiteral("J2")}});
    for (int piece = 1; piece <= 4; ++piece)
        addRow(QStringLiteral("StahlTeiledaten"),
               {{"LosName", QStringLiteral("J1")}, {"TeileNr", piece}, {"StabNr", piece % 2}, {"PVCTeileNr", piece}});
    addRow(QStringLiteral("StahlTeiledaten"),
           {{"LosName", QStringLiteral("J2")}, {"TeileNr", 1}, {"StabNr", 1}, {"PVCTeileNr", 5}});

    const QString t = QStringLiteral("StahlTeiledaten");
    EXPECT_EQ(database.updateWhere(t, QStringLiteral("PVCTeileNr"), 0, QStringLiteral("LosName='J1' and StabNr=1"), err), 2);
    EXPECT_EQ(database.updateWhere(t, QStringLiteral("PVCTeileNr"), 0, QStringLiteral("LosName='J3'"), err), 0);
    EXPECT_EQ(database.deleteWhere(t, QStringLiteral("LosName='J1' and PVCTeileNr=0;"), err), -1)
        << "a semicolon is no part of a criteria string";
    err.clear();
    EXPECT_EQ(database.deleteWhere(t, QStringLiteral("LosName='J1' and PVCTeileNr=0"), err), 2);
    EXPECT_EQ(count(t), 3);
    EXPECT_EQ(count(t, QStringLiteral("LosName='J2'")), 1);

    PendingError e;
    EXPECT_EQ(database.updateWhere(t, QStringLiteral("PVCTeileNr"), QStringLiteral("x"), QString(), e), -1);
    EXPECT_EQ(e.number, 3421);
    e.clear();
    EXPECT_EQ(database.updateWhere(t, QStringLiteral("Nix"), 1, QString(), e), -1);
    EXPECT_EQ(e.number, 3265);
    e.clear();
    EXPECT_EQ(database.deleteWhere(QStringLiteral("Nix"), QString(), e), -1);
    EXPECT_EQ(e.number, 3078);
    EXPECT_EQ(e.description, QStringLiteral("Cannot find the input table or query 'Nix'."));
}

TEST_F(JobDbTest, DeletingAJobCascadesToItsRowsButNotToPrintData)
{
    for (const char* job : {"J1", "J2"}) {
        const QString j = QString::fromLatin1(job);
        addJob(j);
        addBar(j, 1);
        addRow(QStringLiteral("Teiledaten"), {{"LosName", j}, {"TeileNr", 1}, {"StabNr", 1}});
        addRow(QStringLiteral("Werkzeugdaten"), {{"LosName", j}, {"TeileNr", 1}, {"BearbNr", 3}});
        addRow(QStringLiteral("Druckdaten"), {{"LosName", j}, {"TeileNr", 1}});
    }
    db::Recordset jobs;
    ASSERT_TRUE(database.openRecordset(jobs, QStringLiteral("LosNamen"), err));
    ASSERT_TRUE(jobs.findFirst(QStringLiteral("LosName='J1'"), err));
    ASSERT_TRUE(jobs.remove(err));
    for (const char* table : {"Stabdaten", "Teiledaten", "Werkzeugdaten"}) {
        EXPECT_EQ(count(QString::fromLatin1(table), QStringLiteral("LosName='J1'")), 0) << table;
        EXPECT_EQ(count(QString::fromLatin1(table), QStringLiteral("LosName='J2'")), 1) << table;
    }
    EXPECT_EQ(count(QStringLiteral("Druckdaten")), 2);
}

TEST_F(JobDbTest, ConstraintViolationsHaveTheirNumbers)
{
    addJob(QStringLiteral("J1"));
    struct Case {
        const char* table;
        std::vector<std::pair<const char*, QVariant>> values;
        int number;
        const char* text; // start of the description
    } cases[] = {
        {"LosNamen", {{"LosName", QStringLiteral("j1")}}, 3022, "The changes you requested to the table"},
        {"Stabdaten", {{"LosName", QStringLiteral("J9")}, {"StabNr", 1}}, 3201,
         "You cannot add or change a record because a related record is required in table 'LosNamen'."},
        {"Stabdaten", {{"StabNr", 1}}, 3314, "The field 'Stabdaten.LosName' cannot contain a Null value"},
    };
    for (const Case& c : cases) {
        db::Recordset rs;
        ASSERT_TRUE(database.openRecordset(rs, QString::fromLatin1(c.table), err));
        ASSERT_TRUE(rs.addNew(err));
        for (const auto& [name, value] : c.values)
            ASSERT_TRUE(rs.setField(QString::fromLatin1(name), value, err));
        PendingError e;
        EXPECT_FALSE(rs.update(e));
        EXPECT_EQ(e.number, c.number) << e.description.toStdString();
        EXPECT_TRUE(e.description.startsWith(QString::fromLatin1(c.text))) << e.description.toStdString();
        EXPECT_TRUE(rs.editing()) << "a failed store keeps the buffer";
    }
    EXPECT_EQ(count(QStringLiteral("LosNamen")), 1);
    EXPECT_EQ(count(QStringLiteral("Stabdaten")), 0);
}

// ---------------------------------------------------------------------------
// Transactions, locks, crash safety

TEST_F(JobDbTest, CloseCommitsAndRollbackForgets)
{
    addJob(QStringLiteral("kept"));
    PendingError e;
    EXPECT_TRUE(database.close(e));
    EXPECT_FALSE(database.isOpen());

    ASSERT_TRUE(database.open(path(), err));
    EXPECT_EQ(count(QStringLiteral("LosNamen")), 1);
    addJob(QStringLiteral("dropped"));
    database.rollbackAndClose();

    ASSERT_TRUE(database.open(path(), err));
    EXPECT_EQ(count(QStringLiteral("LosNamen")), 1);
    EXPECT_EQ(count(QStringLiteral("LosNamen"), QStringLiteral("LosName='dropped'")), 0);
}

TEST_F(JobDbTest, ReadersSeeCommittedRowsWhileACallWrites)
{
    addJob(QStringLiteral("old"));
    database.close();
    ASSERT_TRUE(database.open(path(), err));
    addJob(QStringLiteral("new"));

    db::Database reader;
    ASSERT_TRUE(reader.open(path(), err, db::Database::Transaction::AutoCommit, db::Database::Access::ReadOnly))
        << err.description.toStdString();
    db::Recordset rs;
    ASSERT_TRUE(reader.openRecordset(rs, QStringLiteral("LosNamen"), err));
    ASSERT_TRUE(rs.findFirst(QStringLiteral("LosName='old'"), err));
    EXPECT_FALSE(rs.noMatch());
    ASSERT_TRUE(rs.findFirst(QStringLiteral("LosName='new'"), err));
    EXPECT_TRUE(rs.noMatch()) << "not committed yet";

    PendingError e;
    ASSERT_TRUE(rs.addNew(e));
    rs.setField(QStringLiteral("LosName"), QStringLiteral("x"), e);
    EXPECT_FALSE(rs.update(e));
    EXPECT_EQ(e.number, 3027) << e.description.toStdString();
}

TEST_F(JobDbTest, ALockedDatabaseFailsWithinTheTimeout)
{
    addJob(QStringLiteral("J"));
    // `database` holds its call's write transaction.
    db::Database second;
    second.setBusyTimeout(300);
    QElapsedTimer timer;
    timer.start();
    PendingError e;
    EXPECT_FALSE(second.open(path(), e));
    EXPECT_EQ(e.number, 3218);
    EXPECT_EQ(e.description, QStringLiteral("Could not update; currently locked."));
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_FALSE(second.isOpen());

    // A connection without a call transaction opens and fails at its write.
    e.clear();
    ASSERT_TRUE(second.open(path(), e, db::Database::Transaction::AutoCommit)) << e.description.toStdString();
    second.setBusyTimeout(200);
    EXPECT_EQ(second.deleteWhere(QStringLiteral("LosNamen"), QString(), e), -1);
    EXPECT_EQ(e.number, 3218);
    second.close();

    database.close();
    e.clear();
    ASSERT_TRUE(second.open(path(), e)) << "free again once the call committed";
    EXPECT_EQ(second.deleteWhere(QStringLiteral("LosNamen"), QString(), e), 1);
}

TEST_F(JobDbTest, AKilledCallLeavesNoneOfItsRows)
{
    addJob(QStringLiteral("before"));
    database.close();

    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        // The import of the child: rows written through the recordset, the
        // process dies before the call ends.
        db::Database d;
        PendingError e;
        if (!d.open(path(), e))
            _exit(2);
        db::Recordset rs;
        if (!d.openRecordset(rs, QStringLiteral("LosNamen"), e))
            _exit(3);
        for (int i = 0; i < 200; ++i) {
            rs.addNew(e);
            rs.setField(QStringLiteral("LosName"), QStringLiteral("child%1").arg(i), e);
            rs.update(e);
        }
        if (e.pending() || !d.hasRows(QStringLiteral("LosNamen"), e))
            _exit(4);
        kill(getpid(), SIGKILL);
        _exit(5);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "child exited with " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    ASSERT_TRUE(database.open(path(), err)) << err.description.toStdString();
    EXPECT_EQ(count(QStringLiteral("LosNamen")), 1);
    EXPECT_EQ(count(QStringLiteral("LosNamen"), QStringLiteral("LosName='before'")), 1);
    addJob(QStringLiteral("after"));
    EXPECT_FALSE(err.pending()) << "the file is writable again";
}

// ---------------------------------------------------------------------------
// Opening and creating

TEST(DbOpen, MissingFileNotADatabaseAndMissingTable)
{
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("nix.mdb"));
    db::Database d;
    PendingError e;
    EXPECT_FALSE(d.open(missing, e));
    EXPECT_EQ(e.number, 3024);
    EXPECT_EQ(e.description, QStringLiteral("Could not find file '%1'.").arg(missing));
    EXPECT_FALSE(QFile::exists(missing)) << "opening never creates a file";

    const QString garbage = dir.filePath(QStringLiteral("kaputt.mdb"));
    QFile f(garbage);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    e.clear();
    EXPECT_FALSE(d.open(garbage, e));
    EXPECT_EQ(e.number, 3001);
    EXPECT_TRUE(e.description.contains(QStringLiteral("not a database"))) << e.description.toStdString();
    EXPECT_FALSE(d.isOpen());

    const QString good = dir.filePath(QStringLiteral("prog.mdb"));
    QString message;
    ASSERT_TRUE(db::createDatabase(good, schema::jobDatabaseSql(), &message));
    e.clear();
    ASSERT_TRUE(d.open(good, e));
    db::Recordset rs;
    EXPECT_FALSE(d.openRecordset(rs, QStringLiteral("Nix"), e));
    EXPECT_EQ(e.number, 3078);
    EXPECT_FALSE(rs.isOpen());
    e.clear();
    EXPECT_TRUE(d.columnNames(QStringLiteral("Nix"), e).isEmpty());
    EXPECT_EQ(e.number, 3078);
}

TEST(DbCreate, BuildsEveryTableAndRefusesAnExistingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("prog.mdb"));
    QString message;
    ASSERT_TRUE(db::createDatabase(path, schema::jobDatabaseSql(), &message)) << message.toStdString();
    const QByteArray before = readFile(path);

    EXPECT_FALSE(db::createDatabase(path, schema::jobDatabaseSql(), &message));
    EXPECT_TRUE(message.contains(path)) << message.toStdString();
    EXPECT_TRUE(message.contains(QStringLiteral("exists"))) << message.toStdString();
    EXPECT_EQ(readFile(path), before);

    db::Database d;
    PendingError e;
    ASSERT_TRUE(d.open(path, e));
    for (const char* table : {"LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten", "StahlLosNamen",
                              "StahlStabdaten", "StahlTeiledaten", "StahlWerkzeugdaten", "Druckdaten"}) {
        EXPECT_FALSE(d.columnNames(QString::fromLatin1(table), e).isEmpty()) << table;
        EXPECT_FALSE(d.hasRows(QString::fromLatin1(table), e)) << table;
    }
    EXPECT_FALSE(e.pending()) << e.description.toStdString();

    const QString broken = dir.filePath(QStringLiteral("broken.mdb"));
    EXPECT_FALSE(db::createDatabase(broken, QStringLiteral("CREATE TABLE a (x INTEGER); CREATE TABL b"), &message));
    EXPECT_FALSE(QFile::exists(broken)) << "a failed creation leaves no file";
}

TEST_F(JobDbTest, DefinitionStatementsRefreshTheColumns)
{
    ASSERT_TRUE(database.columnNames(QStringLiteral("Teiledaten"), err).contains(QStringLiteral("AngleOnCutID")));
    ASSERT_TRUE(database.executeFixed(QStringLiteral("ALTER TABLE Teiledaten DROP COLUMN AngleOnCutID"), err))
        << err.description.toStdString();
    EXPECT_FALSE(database.columnNames(QStringLiteral("Teiledaten"), err).contains(QStringLiteral("AngleOnCutID")));
    db::Recordset rs;
    ASSERT_TRUE(database.openRecordset(rs, QStringLiteral("Teiledaten"), err));
    EXPECT_FALSE(rs.hasField(QStringLiteral("AngleOnCutID")));

    PendingError e;
    EXPECT_FALSE(database.executeFixed(QStringLiteral("DELETE FROM Nix"), e));
    EXPECT_EQ(e.number, 3078);
}

} // namespace
