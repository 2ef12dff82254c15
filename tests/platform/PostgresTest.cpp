#include "platform/db/Database.h"
#include "platform/db/JobDatabaseUrl.h"
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

#include <tuple>

namespace {

using Kind = db::EngineFailure::Kind;

QString qs(const char* text)
{
    return QString::fromUtf8(text);
}

// Opens c with the dialect's options and set-up, as the server would.
bool open(PgConnection& c, const db::PostgresDialect& d, QString* why, int busyMs = 5000)
{
    c.db().setConnectOptions(d.connectOptions(false, busyMs));
    QSqlError error;
    if (c.open(why) && d.prepareConnection(c.db(), false, error))
        return true;
    *why += error.text();
    return false;
}

// Runs a statement; its error (NoError when it worked) and its first value.
QSqlError run(QSqlDatabase& db, const QString& sql, QVariant* first = nullptr)
{
    QSqlQuery q(db);
    if (q.exec(sql) && first && q.next())
        *first = q.value(0);
    return q.lastError();
}
std::string text(QSqlDatabase& db, const char* sql)
{
    QVariant v;
    const QSqlError error = run(db, qs(sql), &v);
    EXPECT_FALSE(error.isValid()) << sql << ": " << error.text().toStdString();
    return v.toString().toStdString();
}

// A fresh database of the test cluster with the job database of machine
// "line1" made by the program's own statements, and a connection set up by
// the dialect as the server sets up its own. Its tables read back, through
// each dialect, as the SQLite file's: columns in the same order with the
// same kinds, sizes and Null rules, the same parent tables (only the
// ledger's file size and time are 64-bit, and the queue table has no
// surrogate key). Job names ignore case in keys, look-ups and cascades; a
// piece takes its machining with it, a job its settled ledger rows of its
// own family; engine errors come out as the store layer's kinds; times come
// back in the machine's zone although the server's own is another; a second
// --init-db changes nothing; a missing schema is a fault of the machine.
TEST(PostgresJobDatabase, ReadsAsTheSqliteFileAndKeepsItsRules)
{
    VOV_PG_CLUSTER_OR_SKIP(cluster);
    QString why;
    const QString database = cluster->freshDatabase(&why);
    ASSERT_FALSE(database.isEmpty()) << why.toStdString();
    PgConnection init(*cluster, database); // as --init-db: no schema yet
    ASSERT_TRUE(init.open(&why)) << why.toStdString();
    ASSERT_EQ(db::createPostgresJobSchema(init.db(), qs("line1"), schema::jobDatabasePgStatements(), &why),
              db::CreateSchemaResult::Created)
        << why.toStdString();
    const db::PostgresDialect dialect(qs("line1"));
    PgConnection conn(*cluster, database);
    ASSERT_TRUE(open(conn, dialect, &why)) << why.toStdString();
    QSqlDatabase& db = conn.db();

    QTemporaryDir dir;
    const QString path = dir.filePath(qs("prog.mdb"));
    ASSERT_TRUE(db::createDatabase(path, schema::jobDatabaseSql(), &why)) << why.toStdString();
    db::Database file;
    PendingError err;
    ASSERT_TRUE(file.open(path, err)) << err.description.toStdString();
    db::ConnectionData& lite = *file.connection();
    static const QRegularExpression createTable(qs("^CREATE TABLE \"([^\"]+)\""));
    for (const QString& statement : schema::jobDatabasePgStatements()) {
        const QString table = createTable.match(statement).captured(1);
        if (table.isEmpty())
            continue;
        SCOPED_TRACE(table.toStdString());
        db::Table pg, sqlite;
        QSqlError error;
        ASSERT_TRUE(dialect.readTable(db, table.toLower(), pg, error)) << error.text().toStdString();
        ASSERT_TRUE(lite.dialect->readTable(lite.db, table, sqlite, error)) << error.text().toStdString();
        EXPECT_EQ(pg.name + u'|' + pg.keyColumn + u'|' + pg.parentTable,
                  sqlite.name + u'|' + (table == u"ImportQueue" ? QString() : sqlite.keyColumn) + u'|' +
                      sqlite.parentTable);
        ASSERT_EQ(pg.columns.size(), sqlite.columns.size());
        for (size_t i = 0; i < pg.columns.size(); ++i) {
            const db::Column& a = pg.columns[i];
            const db::Column& b = sqlite.columns[i];
            const bool wide = a.name == u"FileSize" || a.name == u"FileTime";
            EXPECT_EQ(std::tuple(a.name, int(a.kind), a.size, a.notNull),
                      std::tuple(b.name, int(wide ? db::ColumnKind::Int64 : b.kind), b.size,
                                 b.notNull || (table == u"ImportQueue" && a.name == u"Kind")));
        }
    }

    QSqlQuery released(db); // bound as the writer binds it, in the machine's zone
    ASSERT_TRUE(released.prepare(qs(R"(INSERT INTO "LosNamen" ("LosName", "Freigabe") VALUES ('A123', ?))")));
    released.addBindValue(QDateTime(QDate(2024, 7, 1), QTime(10, 15, 30)));
    ASSERT_TRUE(released.exec()) << released.lastError().text().toStdString();
    for (const char* sql :
         {R"(INSERT INTO "LosNamen" ("LosName") VALUES ('B7'))",
          R"(INSERT INTO "Stabdaten" ("LosName", "StabNr") VALUES ('a123', 1))",
          R"(INSERT INTO "Teiledaten" ("LosName", "TeileNr", "StabNr") VALUES ('a123', 1, 1), ('A123', 2, 1),
             ('A123', NULL, 1))",
          R"(INSERT INTO "Werkzeugdaten" ("LosName", "TeileNr", "StabNr", "BearbNr") VALUES ('A123', 1, 1, 10),
             ('A123', 2, 1, 20), ('A123', NULL, 1, 30), ('B7', 1, 1, 40))",
          R"(INSERT INTO "ImportLedger" ("FileName", "FileSize", "FileTime", "Sha256", "LosName", "Kind", "Outcome",
             "State", "TakenAt") VALUES
             ('a123.$tx', 5000000000, 1711848600123, 'h', 'a123', 'production', 'loaded', 'settled', now()),
             ('A123.$sx', 1, 1, 'h', 'A123', 'steel', 'loaded', 'settled', now()),
             ('A123.$et', 1, 1, 'h', 'A123', 'label', 'loaded', 'pending', now()))"}) {
        const QSqlError error = run(db, qs(sql));
        ASSERT_FALSE(error.isValid()) << sql << ": " << error.text().toStdString();
    }
    EXPECT_EQ(text(db, R"(SELECT "Freigabe"::text FROM "LosNamen" WHERE "LosName" = 'a123')"), "2024-07-01 10:15:30");

    const struct {
        const char* sql;
        Kind kind;
        const char* detail; // "" is not looked at
    } errors[] = {
        {R"(INSERT INTO "LosNamen" ("LosName") VALUES ('a123'))", Kind::Unique, ""},
        {R"(INSERT INTO "Stabdaten" ("LosName") VALUES ('C9'))", Kind::ForeignKey, ""},
        {R"(INSERT INTO "Teiledaten" ("TeileNr") VALUES (1))", Kind::NotNull, "Teiledaten.LosName"},
        {R"(SELECT * FROM "Nope")", Kind::NoSuchTable, "no such table: Nope"},
    };
    for (const auto& e : errors) {
        const db::EngineFailure f = dialect.classify(run(db, qs(e.sql)));
        EXPECT_EQ(f.kind, e.kind) << e.sql << ": " << f.detail.toStdString();
        if (*e.detail) {
            EXPECT_EQ(f.detail.toStdString(), e.detail);
        }
    }

    EXPECT_EQ(db::createPostgresJobSchema(db, qs("line1"), schema::jobDatabasePgStatements(), &why),
              db::CreateSchemaResult::AlreadyThere);
    EXPECT_TRUE(why.contains(qs("LosNamen"))) << why.toStdString();

    // A piece takes its own machining (a Null piece number matches only Null).
    ASSERT_FALSE(run(db, qs(R"(DELETE FROM "Teiledaten" WHERE "TeileNr" = 1 OR "TeileNr" IS NULL)")).isValid());
    const char* machining = R"(SELECT string_agg("BearbNr"::text, ',' ORDER BY "BearbNr") FROM "Werkzeugdaten")";
    EXPECT_EQ(text(db, machining), "20,40");
    // The job, named in another case, takes its rows and its settled ledger
    // rows of production and label data; the steel and the pending row stay.
    ASSERT_FALSE(run(db, qs(R"(DELETE FROM "LosNamen" WHERE "LosName" = 'a123')")).isValid());
    EXPECT_EQ(text(db, R"(SELECT count(*) FROM "Stabdaten")"), "0");
    EXPECT_EQ(text(db, machining), "40");
    EXPECT_EQ(text(db, R"(SELECT string_agg("FileName", ',' ORDER BY "FileName") FROM "ImportLedger")"),
              "A123.$et,A123.$sx");

    PgConnection other(*cluster, database);
    const db::PostgresDialect missing(qs("line9"));
    EXPECT_FALSE(open(other, missing, &why));
    QSqlError error;
    missing.prepareConnection(other.db(), false, error);
    EXPECT_EQ(missing.classify(error).kind, Kind::NotADatabase);

    // A writer waits for another's lock for its busy timeout (200 ms), then
    // gives up with Busy. (Were the timeout not set, the test would wait for good.)
    PgConnection second(*cluster, database);
    ASSERT_TRUE(open(second, dialect, &why, 200)) << why.toStdString();
    ASSERT_TRUE(db.transaction());
    ASSERT_FALSE(run(db, qs(R"(LOCK TABLE "LosNamen")")).isValid());
    const db::EngineFailure busy =
        dialect.classify(run(second.db(), qs(R"(INSERT INTO "LosNamen" ("LosName") VALUES ('X'))")));
    EXPECT_EQ(busy.kind, Kind::Busy) << busy.detail.toStdString();
    ASSERT_TRUE(db.rollback());
}

// URLs --job-database= may meet. A good one reads back the same from its own
// spelling; a bad one says why (the word given) and leaves the fields alone.
TEST(JobDatabaseUrl, ReadsTheFieldsOrSaysWhyNot)
{
    const struct {
        const char* url;
        const char* fields; // host|socketDir|user|database|schema|port, or the word of the reason
        bool good = true;
    } cases[] = {
        {"postgresql://saw@db.plant:5433/jobs?schema=line1", "db.plant||saw|jobs|line1|5433"},
        {"POSTGRES://[::1]/jobs?schema=line_2", "::1|||jobs|line_2|-1"},
        {"postgresql:///jobs?host=/run/postgresql&schema=line1", "|/run/postgresql||jobs|line1|-1"},
        {"postgresql://s%40w@%2frun%2fpg%20sock:5433/plant%2Ddata?schema=l", "|/run/pg sock|s@w|plant-data|l|5433"},
        {"postgresql:///jobs?host=db2&schema=line1", "db2|||jobs|line1|-1"},
        {"postgresql://saw:secret@db/jobs?schema=line1", "password", false},
        {"mysql://db/jobs?schema=line1", "postgresql://", false},
        {"postgresql://%2Frun/jobs?host=/tmp&schema=line1", "one host", false},
        {"postgresql:///jobs?host=run/postgresql&schema=line1", "not absolute", false},
        {"postgresql://db/jobs", "no schema", false},
        {"postgresql://db/jobs?schema=Line1", "plain", false},
        {"postgresql://db/jobs?schema=1line", "plain", false},
        {"postgresql://db/jobs?schema=line-1", "plain", false},
        {"postgresql://db/jobs?schema=line1&schema=line2", "twice", false},
        {"postgresql://db/jobs?schema=line1&sslmode=require", "sslmode", false},
        {"postgresql://db/?schema=line1", "database name", false},
        {"postgresql://db:0/jobs?schema=line1", "port", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.url);
        JobDatabaseUrl url;
        url.schema = qs("untouched");
        QString why;
        ASSERT_EQ(parseJobDatabaseUrl(qs(c.url), url, &why), c.good) << why.toStdString();
        if (!c.good) {
            EXPECT_TRUE(why.contains(qs(c.fields))) << why.toStdString();
            EXPECT_EQ(url.schema, qs("untouched"));
            continue;
        }
        const auto fields = [](const JobDatabaseUrl& u) {
            return QStringList{u.host, u.socketDir, u.user, u.database, u.schema, QString::number(u.port)}.join(u'|');
        };
        EXPECT_EQ(fields(url), qs(c.fields));
        JobDatabaseUrl again;
        ASSERT_TRUE(parseJobDatabaseUrl(url.toString(), again, &why)) << url.toString().toStdString();
        EXPECT_EQ(fields(again), qs(c.fields));
    }
}

} // namespace
