// The built server with its job database in schemas of a throw-away
// PostgreSQL server (PgCluster): the sample plant's rows against the same
// import into prog.mdb, and a database server that goes away under an
// import.
#include "ExecutablePlant.h"
#include "PgCluster.h"
#include "PgSchemaSql.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>
#include <map>
#include <string>

namespace {

// Table -> its rows as text, sorted.
using Rows = std::map<std::string, std::vector<std::string>>;

// The same in both engines' terms: numbers as numbers, whatever type the
// driver hands back. The store layer's row numbers and what depends on
// the moment of the run (release time, when a file was taken and its
// modification time) are left out.
Rows tableRows(QSqlDatabase& db, const QString& schemaPrefix)
{
    static const QRegularExpression createTable(QStringLiteral("^CREATE TABLE \"([^\"]+)\""));
    static const QStringList left{QStringLiteral("RowKey"), QStringLiteral("Freigabe"), QStringLiteral("TakenAt"),
                                  QStringLiteral("FileTime")};
    static const QList<int> numbers{QMetaType::Int, QMetaType::LongLong, QMetaType::Double, QMetaType::UInt,
                                    QMetaType::ULongLong};
    Rows rows;
    for (const QString& statement : schema::jobDatabasePgStatements()) {
        const QRegularExpressionMatch m = createTable.match(statement);
        if (!m.hasMatch())
            continue;
        QSqlQuery q(db);
        EXPECT_TRUE(q.exec(QStringLiteral("SELECT * FROM %1\"%2\"").arg(schemaPrefix, m.captured(1))))
            << q.lastError().text().toStdString();
        std::vector<std::string>& table = rows[m.captured(1).toStdString()];
        while (q.next()) {
            QStringList values;
            for (int i = 0; i < q.record().count(); ++i) {
                if (left.contains(q.record().fieldName(i)))
                    continue;
                const QVariant v = q.value(i);
                values << q.record().fieldName(i) + u'=' +
                              (v.isNull()                     ? QStringLiteral("NULL")
                               : numbers.contains(v.typeId()) ? QString::number(v.toDouble(), 'g', 15)
                                                              : v.toString());
            }
            table.push_back(values.join(u' ').toStdString());
        }
        std::sort(table.begin(), table.end());
    }
    return rows;
}

// A fresh database of the test cluster per test; each plant has its job
// database in a schema of it.
class PostgresPlants : public ExecutablePlant {
protected:
    void SetUp() override
    {
        VOV_PG_CLUSTER_OR_SKIP(found);
        cluster = found;
        QString why;
        database = cluster->freshDatabase(&why);
        ASSERT_FALSE(database.isEmpty()) << why.toStdString();
    }

    QString url() const { return cluster->url(database, QStringLiteral("line1")).toString(); }
    QString jobDatabaseOption() const { return QStringLiteral("--job-database=") + url(); }
    qlonglong pgValue(const QString& sql)
    {
        PgConnection c(*cluster, database);
        if (!c.open())
            return -1;
        QSqlQuery q(c.db());
        return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
    }

    PgCluster* cluster = nullptr;
    QString database;
};

// The sample plant imported by the server into a PostgreSQL schema holds
// the very rows the same import writes into prog.mdb, in every table, in
// job mode and in separate mode.
class SamplePlantOnBothEngines : public PostgresPlants, public ::testing::WithParamInterface<int> {};

TEST_P(SamplePlantOnBothEngines, WriteTheSameRows)
{
    PlantTree onServer;
    // The schema, made as an operator makes it.
    ASSERT_EQ(onServer.run({QStringLiteral("--init-db"), url()}).exitCode, 0);
    initDatabase();
    deliverSamples(GetParam());
    onServer.deliverSamples(GetParam());
    drain();
    onServer.drain({jobDatabaseOption()});

    Rows expected;
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("rows-of-file"));
        file.setDatabaseName(jobDatabase());
        ASSERT_TRUE(file.open());
        expected = tableRows(file, {});
    }
    QSqlDatabase::removeDatabase(QStringLiteral("rows-of-file"));
    ASSERT_EQ(expected.at("LosNamen").size(), 2u);
    ASSERT_EQ(expected.at("ImportLedger").size(), size_t(sampleFiles().size()));
    PgConnection schema(*cluster, database);
    ASSERT_TRUE(schema.open());
    EXPECT_EQ(tableRows(schema.db(), QStringLiteral("line1.")), expected);
    EXPECT_EQ(onServer.backedUp(), sampleFiles());
    // The job database is not in the client directory; the logs are.
    EXPECT_FALSE(QFile::exists(onServer.jobDatabase()));
}

INSTANTIATE_TEST_SUITE_P(SeparateAndJobMode, SamplePlantOnBothEngines, ::testing::Values(0, 1));

// The database server stops while a polling server's job transaction has
// written rows (it waits for a lock the test holds on the steel tables).
// The job files stay in the server directory, none is set aside, the
// fault is said once; the server connects again at a later cycle, takes
// the schema's lock again before it writes, and imports the jobs, finding
// nothing of the lost transaction (no job to override).
TEST_F(PostgresPlants, ALostDatabaseServerKeepsTheFilesUntilItIsBack)
{
    ASSERT_EQ(run({QStringLiteral("--init-db"), url()}).exitCode, 0);
    deliverSamples(1, 500);
    QString why;
    PgConnection blocker(*cluster, database);
    ASSERT_TRUE(blocker.open(&why)) << why.toStdString();
    ASSERT_TRUE(blocker.db().transaction());
    QSqlQuery lock(blocker.db());
    ASSERT_TRUE(lock.exec(QStringLiteral("LOCK TABLE line1.\"StahlLosNamen\" IN ACCESS EXCLUSIVE MODE")))
        << lock.lastError().text().toStdString();

    Running& server =
        start(installExecutable(), {configPath(), QStringLiteral("--headless"), jobDatabaseOption()}, environment());
    const bool blocked = waitUntil(
        [&] {
            return pgValue(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE application_name = "
                                          "'serverquirnel' AND wait_event_type = 'Lock' AND backend_xid IS NOT "
                                          "NULL")) == 1;
        },
        20000, 50);
    ASSERT_TRUE(blocked) << server.errorBox().toStdString();
    ASSERT_TRUE(cluster->stop());
    QThread::msleep(2000); // a few cycles meet the stopped server
    EXPECT_EQ(waiting(), sampleFiles());
    EXPECT_EQ(backedUp(), QStringList());

    ASSERT_TRUE(cluster->start(&why)) << why.toStdString();
    EXPECT_TRUE(waitUntil([&] { return waiting().isEmpty(); }, 20000, 50));
    // A database session holds the schema's plant lock again.
    EXPECT_GT(pgValue(QStringLiteral("SELECT coalesce(max(pid), -1) FROM pg_locks WHERE locktype = "
                                     "'advisory' AND granted AND objid = (hashtext('line1')::bigint & "
                                     "4294967295)::oid")),
              0);
    const ProcessRun r = server.end();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(backedUp(), sampleFiles()) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("exists"))) << r.err.toStdString();
    // Said by the job that met it; the cycles after it meet it again with
    // the next job and say nothing until the database is back.
    EXPECT_EQ(r.err.count(QStringLiteral("terminating connection due to administrator command")), 1)
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("Job: A1002"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("can be opened again"))) << r.err.toStdString();
    EXPECT_EQ(pgValue(QStringLiteral("SELECT count(*) FROM line1.\"ImportLedger\" WHERE \"State\" = 'settled'")),
              sampleFiles().size());
    EXPECT_EQ(pgValue(QStringLiteral("SELECT count(*) FROM line1.\"LosNamen\"")), 2);
}

} // namespace
