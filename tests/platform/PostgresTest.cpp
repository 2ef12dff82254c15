#include "platform/db/Database.h"
#include "platform/db/JobDatabaseUrl.h"
#include "platform/db/PlantAdvisoryLock.h"
#include "platform/db/PostgresDialect.h"
#include "platform/db/Connection.h"

#include "PgCluster.h"
#include "PgSchemaSql.h"
#include "SchemaSql.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Kind = db::EngineFailure::Kind;

QString qs(const char* text)
{
    return QString::fromUtf8(text);
}

// A fresh database of the test cluster with the job database of machine
// "line1" made by the program's own statements, and a connection set up
// by the dialect as the server sets up its own.
class PostgresJobDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        VOV_PG_CLUSTER_OR_SKIP(found);
        cluster = found;
        QString why;
        database = cluster->freshDatabase(&why);
        ASSERT_FALSE(database.isEmpty()) << why.toStdString();
        // As --init-db: on a connection that has no schema yet.
        PgConnection init(*cluster, database);
        ASSERT_TRUE(init.open(&why)) << why.toStdString();
        ASSERT_EQ(db::createPostgresJobSchema(init.db(), qs("line1"), schema::jobDatabasePgStatements(), &why),
                  db::CreateSchemaResult::Created)
            << why.toStdString();
        conn = std::make_unique<PgConnection>(*cluster, database);
        ASSERT_TRUE(open(*conn, dialect, &why)) << why.toStdString();
    }

    // Opens c with the dialect's options and set-up, as the server would.
    bool open(PgConnection& c, const db::PostgresDialect& d, QString* why, int busyMs = 5000)
    {
        c.db().setConnectOptions(d.connectOptions(false, busyMs));
        if (!c.open(why))
            return false;
        QSqlError error;
        if (!d.prepareConnection(c.db(), false, error)) {
            *why = error.text();
            return false;
        }
        return true;
    }

    // Runs a statement; its error (NoError when it worked).
    static QSqlError run(QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(db);
        if (values.isEmpty()) {
            q.exec(sql);
        } else if (q.prepare(sql)) {
            for (const QVariant& v : values)
                q.addBindValue(v);
            q.exec();
        }
        return q.lastError();
    }

    static std::string text(QSqlDatabase& db, const QString& sql) { return value(db, sql).toString().toStdString(); }

    static QVariant value(QSqlDatabase& db, const QString& sql, const QVariantList& values = {})
    {
        QSqlQuery q(db);
        q.prepare(sql);
        for (const QVariant& v : values)
            q.addBindValue(v);
        if (!q.exec() || !q.next()) {
            ADD_FAILURE() << sql.toStdString() << ": " << q.lastError().text().toStdString();
            return {};
        }
        return q.value(0);
    }

    PgCluster* cluster = nullptr;
    QString database;
    db::PostgresDialect dialect{qs("line1")};
    std::unique_ptr<PgConnection> conn;
};

// Job names ignore case in keys, look-ups, foreign keys and cascades; a
// piece takes its machining with it; a job its settled ledger rows of its
// own family; engine errors come out as the store layer's kinds; times
// come back as written although the server's own zone is another; a
// second --init-db on the schema changes nothing, one for another machine
// shares the job names' collation (a view across machines works); and a
// missing schema is a fault of the machine.
TEST_F(PostgresJobDatabase, KeepsTheRulesOfTheJobDatabase)
{
    QSqlDatabase& db = conn->db();
    const QDateTime released(QDate(2024, 7, 1), QTime(10, 15, 30));
    ASSERT_FALSE(run(db, qs(R"(INSERT INTO "LosNamen" ("LosName", "Freigabe") VALUES (?, ?))"), {qs("A123"), released})
                     .isValid());
    // A bar, pieces and machining written with the name in other cases, as
    // an overriding import may write them.
    for (const char* sql :
         {R"(INSERT INTO "LosNamen" ("LosName") VALUES ('B7'))",
          R"(INSERT INTO "Stabdaten" ("LosName", "StabNr") VALUES ('a123', 1))",
          R"(INSERT INTO "Teiledaten" ("LosName", "TeileNr", "StabNr") VALUES ('a123', 1, 1), ('A123', 2, 1),
             ('A123', NULL, 1))",
          R"(INSERT INTO "Werkzeugdaten" ("LosName", "TeileNr", "StabNr", "BearbNr") VALUES ('A123', 1, 1, 10),
             ('a123', 1, 1, 11), ('A123', 2, 1, 20), ('A123', NULL, 1, 30), ('B7', 1, 1, 40))",
          R"(INSERT INTO "ImportLedger" ("FileName", "FileSize", "FileTime", "Sha256", "LosName", "Kind", "Outcome",
             "State", "TakenAt") VALUES
             ('a123.$tx', 5000000000, 1711848600123, 'h', 'a123', 'production', 'loaded', 'settled', now()),
             ('A123.$sx', 1, 1, 'h', 'A123', 'steel', 'loaded', 'settled', now()),
             ('A123.$et', 1, 1, 'h', 'A123', 'label', 'loaded', 'pending', now()))"}) {
        const QSqlError error = run(db, qs(sql));
        ASSERT_FALSE(error.isValid()) << sql << ": " << error.text().toStdString();
    }

    EXPECT_EQ(value(db, qs(R"(SELECT "RowKey" FROM "LosNamen" WHERE "LosName" = ?)"), {qs("a123")}).toLongLong(),
              value(db, qs(R"(SELECT "RowKey" FROM "LosNamen" WHERE "LosName" = 'A123')")).toLongLong());
    // Read back in the machine's zone, the same moment.
    EXPECT_EQ(
        value(db, qs(R"(SELECT "Freigabe" FROM "LosNamen" WHERE "LosName" = 'A123')")).toDateTime().toMSecsSinceEpoch(),
        released.toMSecsSinceEpoch());
    EXPECT_EQ(text(db, qs(R"(SELECT "Freigabe"::text FROM "LosNamen" WHERE "LosName" = 'A123')")),
              "2024-07-01 10:15:30");

    // Errors of a job, by kind (a detail of "" is not looked at).
    const struct {
        const char* sql;
        QVariantList values;
        Kind kind;
        const char* detail;
    } errors[] = {
        {R"(INSERT INTO "LosNamen" ("LosName") VALUES ('a123'))", {}, Kind::Unique, ""},
        {R"(INSERT INTO "Stabdaten" ("LosName") VALUES ('C9'))", {}, Kind::ForeignKey, ""},
        {R"(INSERT INTO "Teiledaten" ("TeileNr") VALUES (1))", {}, Kind::NotNull, "Teiledaten.LosName"},
        {R"(SELECT * FROM "Nope")", {}, Kind::NoSuchTable, "no such table: Nope"},
        {R"(INSERT INTO "LosNamen" ("LosName") VALUES (?))", {QString(256, u'x')}, Kind::Other, ""},
    };
    for (const auto& e : errors) {
        const db::EngineFailure f = dialect.classify(run(db, qs(e.sql), e.values));
        EXPECT_EQ(f.kind, e.kind) << e.sql << ": " << f.detail.toStdString();
        if (*e.detail) {
            EXPECT_EQ(f.detail.toStdString(), e.detail);
        }
    }

    // --init-db again: refused, nothing changed.
    QString why;
    EXPECT_EQ(db::createPostgresJobSchema(db, qs("line1"), schema::jobDatabasePgStatements(), &why),
              db::CreateSchemaResult::AlreadyThere);
    EXPECT_TRUE(why.contains(qs("LosNamen"))) << why.toStdString();
    EXPECT_EQ(text(db, qs(R"(SELECT count(*) FROM "Werkzeugdaten")")), "5");

    // A piece takes its own machining (the Null piece number matches only
    // Null), nothing else.
    ASSERT_FALSE(run(db, qs(R"(DELETE FROM "Teiledaten" WHERE "TeileNr" = 1 OR "TeileNr" IS NULL)")).isValid());
    const char* machining = R"(SELECT string_agg("BearbNr"::text, ',' ORDER BY "BearbNr") FROM "Werkzeugdaten")";
    EXPECT_EQ(text(db, qs(machining)), "20,40");

    // The job, named in another case, takes its bars, pieces, machining and
    // settled ledger rows of production and label data; the steel row and
    // the pending one stay, and so does the other job.
    ASSERT_FALSE(run(db, qs(R"(DELETE FROM "LosNamen" WHERE "LosName" = 'a123')")).isValid());
    EXPECT_EQ(text(db, qs(R"(SELECT count(*) FROM "Stabdaten")")), "0");
    EXPECT_EQ(text(db, qs(R"(SELECT count(*) FROM "Teiledaten")")), "0");
    EXPECT_EQ(text(db, qs(machining)), "40");
    EXPECT_EQ(text(db, qs(R"(SELECT string_agg("FileName", ',' ORDER BY "FileName") FROM "ImportLedger")")),
              "A123.$et,A123.$sx");

    // A second machine's schema beside it; a view across both machines
    // sees the same job in both, whatever its case.
    PgConnection init(*cluster, database);
    ASSERT_TRUE(init.open(&why)) << why.toStdString();
    ASSERT_EQ(db::createPostgresJobSchema(init.db(), qs("line2"), schema::jobDatabasePgStatements(), &why),
              db::CreateSchemaResult::Created)
        << why.toStdString();
    for (const char* sql : {R"(INSERT INTO line2."LosNamen" ("LosName") VALUES ('b7'), ('C1'))", "CREATE SCHEMA plant",
                            R"(CREATE VIEW plant.jobs AS SELECT 'line1' AS machine, * FROM line1."LosNamen"
                               UNION ALL SELECT 'line2', * FROM line2."LosNamen")"}) {
        const QSqlError error = run(init.db(), qs(sql));
        ASSERT_FALSE(error.isValid()) << sql << ": " << error.text().toStdString();
    }
    EXPECT_EQ(text(init.db(), qs(R"(SELECT string_agg(machine, ',' ORDER BY machine) FROM plant.jobs
                                    GROUP BY "LosName" HAVING count(*) > 1)")),
              "line1,line2");

    // A server pointed at a schema that is not there does not start work.
    PgConnection other(*cluster, database);
    const db::PostgresDialect missing(qs("line9"));
    other.db().setConnectOptions(missing.connectOptions(false, 1000));
    ASSERT_TRUE(other.open(&why)) << why.toStdString();
    QSqlError error;
    EXPECT_FALSE(missing.prepareConnection(other.db(), false, error));
    EXPECT_EQ(missing.classify(error).kind, Kind::NotADatabase);
}

// The PostgreSQL tables read back, through each dialect, as the SQLite
// file's: the same tables, columns in the same order with the same kinds,
// sizes, Null rules and defaults, the same parent tables and triggers.
// Only the ledger's file size and time are wider (64-bit numbers), and the
// queue table, which has no surrogate key, has no row number to use here.
TEST_F(PostgresJobDatabase, ReadsAsTheSqliteFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(qs("prog.mdb"));
    QString why;
    ASSERT_TRUE(db::createDatabase(path, schema::jobDatabaseSql(), &why)) << why.toStdString();
    const std::unique_ptr<db::Dialect> sqlite = db::makeDialect(qs("QSQLITE"));
    QSqlDatabase file = QSqlDatabase::addDatabase(qs("QSQLITE"), qs("pg-compare"));
    file.setDatabaseName(path);
    ASSERT_TRUE(file.open());

    static const QRegularExpression createTable(qs("^CREATE TABLE \"([^\"]+)\""));
    int tables = 0;
    for (const QString& statement : schema::jobDatabasePgStatements()) {
        const QRegularExpressionMatch m = createTable.match(statement);
        if (!m.hasMatch())
            continue;
        ++tables;
        const QString table = m.captured(1);
        SCOPED_TRACE(table.toStdString());
        db::Table pg;
        db::Table lite;
        QSqlError error;
        // Looked up in another case, as the store layer may ask.
        ASSERT_TRUE(dialect.readTable(conn->db(), table.toLower(), pg, error)) << error.text().toStdString();
        ASSERT_TRUE(sqlite->readTable(file, table, lite, error)) << error.text().toStdString();
        EXPECT_EQ(pg.name.toStdString(), lite.name.toStdString());
        EXPECT_EQ(pg.keyColumn.toStdString(), table == u"ImportQueue" ? "" : lite.keyColumn.toStdString());
        EXPECT_EQ(pg.parentTable.toStdString(), lite.parentTable.toStdString());
        ASSERT_EQ(pg.columns.size(), lite.columns.size());
        for (size_t i = 0; i < pg.columns.size(); ++i) {
            const db::Column& a = pg.columns[i];
            const db::Column& b = lite.columns[i];
            SCOPED_TRACE(b.name.toStdString());
            const bool wide = a.name == u"FileSize" || a.name == u"FileTime";
            EXPECT_EQ(a.name.toStdString(), b.name.toStdString());
            EXPECT_EQ(int(a.kind), int(wide ? db::ColumnKind::Int64 : b.kind));
            EXPECT_EQ(a.size, b.size);
            // A primary key is never Null in PostgreSQL; SQLite allows it.
            EXPECT_EQ(a.notNull, b.notNull || (table == u"ImportQueue" && a.name == u"Kind"));
        }
    }
    EXPECT_EQ(tables, 11);
    file.close();
    file = QSqlDatabase();
    QSqlDatabase::removeDatabase(qs("pg-compare"));
}

// The plant lock: one session holds a machine's schema, a second server
// is refused and told who holds it; other schemas are free. A lock wait
// ends after the busy timeout as Busy. A server that goes away, in order
// or as in a crash, is a fault of the machine, on the open connection and
// for a new one; the lock goes with the session, and once the server is
// back it can be taken again.
TEST_F(PostgresJobDatabase, PlantLockAndFaultsOfTheMachine)
{
    QString why;
    PgConnection second(*cluster, database);
    ASSERT_TRUE(open(second, dialect, &why, 200)) << why.toStdString();

    db::PlantAdvisoryLock first;
    ASSERT_EQ(first.take(conn->db(), qs("line1"), &why), db::PlantAdvisoryLock::Result::Taken) << why.toStdString();
    EXPECT_TRUE(first.held());
    {
        db::PlantAdvisoryLock refused;
        ASSERT_EQ(refused.take(second.db(), qs("line1"), &why), db::PlantAdvisoryLock::Result::HeldElsewhere);
        const QString firstPid = value(conn->db(), qs("SELECT pg_backend_pid()")).toString();
        EXPECT_TRUE(
            why.startsWith(qs("session %1 (serverquirnel from a local socket, user postgres, since ").arg(firstPid)))
            << why.toStdString();
        EXPECT_EQ(refused.take(second.db(), qs("line2"), &why), db::PlantAdvisoryLock::Result::Taken);
    }
    first.release();
    {
        db::PlantAdvisoryLock now;
        EXPECT_EQ(now.take(second.db(), qs("line1"), &why), db::PlantAdvisoryLock::Result::Taken);
    }
    ASSERT_EQ(first.take(conn->db(), qs("line1"), &why), db::PlantAdvisoryLock::Result::Taken);

    // A writer waits for another's lock for its busy timeout (200 ms), then
    // gives up. (Were the timeout not set, the test would wait for good.)
    ASSERT_EQ(text(second.db(), qs("SELECT current_setting('lock_timeout')")), "200ms");
    ASSERT_TRUE(conn->db().transaction());
    ASSERT_FALSE(run(conn->db(), qs("LOCK TABLE \"LosNamen\"")).isValid());
    const db::EngineFailure busy =
        dialect.classify(run(second.db(), qs("INSERT INTO \"LosNamen\" (\"LosName\") VALUES ('X')")));
    EXPECT_EQ(busy.kind, Kind::Busy) << busy.detail.toStdString();
    ASSERT_TRUE(conn->db().rollback());

    for (const auto mode : {PgCluster::StopMode::Fast, PgCluster::StopMode::Immediate}) {
        SCOPED_TRACE(mode == PgCluster::StopMode::Fast ? "fast stop" : "immediate stop");
        ASSERT_TRUE(cluster->stop(mode));
        // The statement that meets the loss, and the next on the closed connection.
        for (int i = 0; i < 2; ++i) {
            const QSqlError lost = run(conn->db(), qs("SELECT 1"));
            EXPECT_EQ(dialect.classify(lost).kind, Kind::InputOutput)
                << lost.nativeErrorCode().toStdString() << " " << lost.text().toStdString();
        }
        EXPECT_FALSE(first.held());
        PgConnection late(*cluster, database);
        EXPECT_FALSE(late.open());
        EXPECT_EQ(dialect.classify(late.db().lastError()).kind, Kind::InputOutput);

        first.release();
        ASSERT_TRUE(cluster->start(&why)) << why.toStdString();
        conn = std::make_unique<PgConnection>(*cluster, database);
        ASSERT_TRUE(open(*conn, dialect, &why)) << why.toStdString();
        ASSERT_EQ(first.take(conn->db(), qs("line1"), &why), db::PlantAdvisoryLock::Result::Taken) << why.toStdString();
    }
}

// The store layer's writer on the server: waiting rows go in batches, their
// keys come back for later updates, and nothing stays of a call that was
// not committed.
TEST_F(PostgresJobDatabase, TheWriterStoresRowsInBatchesAndCommitsWholeCalls)
{
    const JobDatabaseUrl url = cluster->url(database, qs("line1"));
    PendingError err;
    for (const bool commit : {false, true}) {
        db::Database writer;
        ASSERT_TRUE(writer.open(url, err)) << err.description.toStdString();
        db::Row job = writer.newRow(qs("LosNamen"), err);
        ASSERT_TRUE(job.set(qs("LosName"), qs("A1"), err) && writer.store(job, err));
        std::vector<db::Row> bars;
        for (int i = 1; i <= 1200; ++i) {
            db::Row bar = writer.newRow(qs("Stabdaten"), err);
            ASSERT_TRUE(bar.set(qs("LosName"), qs("a1"), err) && bar.set(qs("StabNr"), i, err) &&
                        writer.store(bar, err))
                << err.description.toStdString();
            bars.push_back(bar);
        }
        ASSERT_FALSE(writer.firstRow(qs("Stabdaten"), {{qs("StabNr"), 1200}}, err).isNull());
        ASSERT_TRUE(bars[700].set(qs("Farbe"), qs("rot"), err) && writer.store(bars[700], err))
            << err.description.toStdString();
        if (commit) {
            ASSERT_TRUE(writer.commit(err)) << err.description.toStdString();
        }
    }
    QSqlQuery q(conn->db());
    ASSERT_TRUE(q.exec(qs("SELECT count(*), max(\"StabNr\") FILTER (WHERE \"Farbe\" = 'rot') "
                          "FROM \"Stabdaten\"")) &&
                q.next());
    EXPECT_EQ(q.value(0).toInt(), 1200) << "the call rolled back left nothing";
    EXPECT_EQ(q.value(1).toInt(), 701) << "the update found its row by the key the batch handed back";
}

struct Case {
    const char* url;
    // Good: the fields. Bad: host holds a word the reason must contain.
    bool good;
    const char* host = "";
    const char* socketDir = "";
    const char* user = "";
    const char* database = "";
    const char* schema = "";
    int port = -1;
};

// Every URL --job-database= may meet, and what becomes of it. A good one
// also reads back the same from its own spelling (toString).
TEST(JobDatabaseUrl, ReadsTheFieldsOrSaysWhyNot)
{
    const Case cases[] = {
        {"postgresql://saw@db.plant:5433/jobs?schema=line1", true, "db.plant", "", "saw", "jobs", "line1", 5433},
        {"postgres://db.plant/jobs?schema=line_2", true, "db.plant", "", "", "jobs", "line_2"},
        {"POSTGRESQL://[::1]:6543/jobs?schema=line1", true, "::1", "", "", "jobs", "line1", 6543},
        {"postgresql:///jobs?host=/run/postgresql&schema=line1", true, "", "/run/postgresql", "", "jobs", "line1"},
        {"postgresql://saw@%2Frun%2Fpostgresql:5433/jobs?schema=line1", true, "", "/run/postgresql", "saw", "jobs",
         "line1", 5433},
        {"postgresql://%2frun%2fpg%20sock/jobs?schema=l", true, "", "/run/pg sock", "", "jobs", "l"},
        {"postgresql:///jobs?schema=line1", true, "", "", "", "jobs", "line1"},
        {"postgresql://db/job%20data?host=db2&schema=_x", false, "one host"},
        {"postgresql:///jobs?host=db2&schema=line1", true, "db2", "", "", "jobs", "line1"},
        {"postgresql://s%40w@db/plant%2Ddata?schema=line1", true, "db", "", "s@w", "plant-data", "line1"},

        {"postgresql://saw:secret@db/jobs?schema=line1", false, "password"},
        {"postgresql://saw:@db/jobs?schema=line1", false, "password"},
        {"postgresql://db/jobs?schema=line1&password=x", false, "password"},
        {"mysql://db/jobs?schema=line1", false, "postgresql://"},
        {"db/jobs", false, "postgresql://"},
        {"", false, "postgresql://"},
        {"postgresql://a,b/jobs?schema=line1", false, "one host"},
        {"postgresql://%2Frun/jobs?host=/tmp&schema=line1", false, "one host"},
        {"postgresql:///jobs?host=/a&host=/b&schema=line1", false, "one host"},
        {"postgresql:///jobs?host=&schema=line1", false, "empty host"},
        {"postgresql:///jobs?host=run/postgresql&schema=line1", false, "not absolute"},
        {"postgresql://%2Ework/jobs?schema=line1", false, "valid URL"},
        {"postgresql://db/jobs", false, "no schema"},
        {"postgresql://db/jobs?schema=", false, "plain"},
        {"postgresql://db/jobs?schema=Line1", false, "plain"},
        {"postgresql://db/jobs?schema=1line", false, "plain"},
        {"postgresql://db/jobs?schema=pg_line", false, "plain"},
        {"postgresql://db/jobs?schema=line-1", false, "plain"},
        {"postgresql://db/jobs?schema=line1&schema=line2", false, "twice"},
        {"postgresql://db/jobs?schema=line1&sslmode=require", false, "sslmode"},
        {"postgresql://db?schema=line1", false, "database name"},
        {"postgresql://db/?schema=line1", false, "database name"},
        {"postgresql://db/a/b?schema=line1", false, "database name"},
        {"postgresql://db:0/jobs?schema=line1", false, "port"},
        {"postgresql://db:99999/jobs?schema=line1", false, "valid URL"},
        {"postgresql://db/jobs?schema=line1#x", false, "fragment"},
        {"postgresql://db/my jobs?schema=line1", false, "valid URL"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.url);
        JobDatabaseUrl url;
        url.schema = QStringLiteral("untouched");
        QString why;
        const bool ok = parseJobDatabaseUrl(QString::fromUtf8(c.url), url, &why);
        ASSERT_EQ(ok, c.good) << why.toStdString();
        if (!c.good) {
            EXPECT_TRUE(why.contains(QString::fromUtf8(c.host))) << why.toStdString();
            EXPECT_EQ(url.schema, QStringLiteral("untouched"));
            continue;
        }
        EXPECT_EQ(url.host, QString::fromUtf8(c.host));
        EXPECT_EQ(url.socketDir, QString::fromUtf8(c.socketDir));
        EXPECT_EQ(url.user, QString::fromUtf8(c.user));
        EXPECT_EQ(url.database, QString::fromUtf8(c.database));
        EXPECT_EQ(url.schema, QString::fromUtf8(c.schema));
        EXPECT_EQ(url.port, c.port);

        JobDatabaseUrl again;
        ASSERT_TRUE(parseJobDatabaseUrl(url.toString(), again, &why))
            << url.toString().toStdString() << ": " << why.toStdString();
        EXPECT_EQ(std::tie(again.host, again.socketDir, again.user, again.database, again.schema, again.port),
                  std::tie(url.host, url.socketDir, url.user, url.database, url.schema, url.port));
    }
}

} // namespace
