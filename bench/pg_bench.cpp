// PostgreSQL benchmark: the generated job of import_bench (2,000 bars x
// 10 pieces, 72,000 rows) imported through the real reader into a machine's
// schema, side by side with COPY ... FROM STDIN of the very same rows into
// the same tables (keys, indexes, foreign keys and all) in one transaction,
// the cheapest way to put rows into PostgreSQL; and with the same import
// into prog.mdb. It also counts the statements (round trips) one import
// sends to the server.
//
// The server is the tests' throw-away cluster (a Unix socket, fsync off;
// statements counted through its log), or an existing database named by
// VOV_PG_BENCH_URL=postgresql://[user@]host[:port]/dbname (a schema
// parameter is ignored: the benchmark makes schemas bench_<n> there and
// drops them; statements are not counted then).
#include "BenchSupport.h"
#include "PgCluster.h"
#include "PgSchemaSql.h"

#include "platform/db/PostgresDialect.h"
#include "tximport/ProductionImport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <libpq-fe.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

constexpr int kBars = 2000;
constexpr int kPiecesPerBar = 10;
constexpr int kRuns = 3;
// Parents before children: the foreign keys are checked as rows go in.
const char* const kTables[] = {"LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten", "Druckdaten"};

double cpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

double seconds(const QElapsedTimer& t)
{
    return static_cast<double>(t.nsecsElapsed()) / 1e9;
}

[[noreturn]] void fail(const QString& what)
{
    std::fprintf(stderr, "pg_bench: %s\n", what.toLocal8Bit().constData());
    std::exit(1);
}

// An administrative connection to the benchmark's database.
class Admin {
public:
    explicit Admin(const JobDatabaseUrl& url)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), QStringLiteral("pg-bench-admin"));
        url.applyTo(m_db);
        if (!m_db.open())
            fail(QStringLiteral("cannot connect: ") + m_db.lastError().text());
        run(QStringLiteral("SET client_min_messages = warning"));
    }
    ~Admin()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("pg-bench-admin"));
    }
    QSqlDatabase& db() { return m_db; }
    void run(const QString& sql)
    {
        QSqlQuery q(m_db);
        if (!q.exec(sql))
            fail(sql + QStringLiteral(": ") + q.lastError().text());
    }
    QVariant value(const QString& sql)
    {
        QSqlQuery q(m_db);
        if (!q.exec(sql) || !q.next())
            fail(sql + QStringLiteral(": ") + q.lastError().text());
        return q.value(0);
    }
    // The driver's own connection, for COPY.
    PGconn* handle()
    {
        const QVariant h = m_db.driver()->handle();
        // Named by the struct behind libpq's typedef.
        if (qstrcmp(h.typeName(), "pg_conn*") != 0 && qstrcmp(h.typeName(), "PGconn*") != 0)
            fail(QStringLiteral("the QPSQL driver hands out no PGconn"));
        return *static_cast<PGconn* const*>(h.constData());
    }
    // A machine's schema, empty, as --init-db makes it.
    void freshSchema(const QString& schema)
    {
        run(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
        QString why;
        if (db::createPostgresJobSchema(m_db, schema, schema::jobDatabasePgStatements(), &why) !=
            db::CreateSchemaResult::Created)
            fail(QStringLiteral("cannot create the schema: ") + why);
    }
    // A table's columns but the surrogate key, quoted, in order.
    QString columns(const QString& schema, const char* table)
    {
        QSqlQuery q(m_db);
        q.prepare(QStringLiteral("SELECT string_agg(quote_ident(column_name), ', ' ORDER BY ordinal_position) FROM "
                                 "information_schema.columns WHERE table_schema = ? AND table_name = ? AND "
                                 "column_name <> 'RowKey'"));
        q.addBindValue(schema);
        q.addBindValue(QLatin1String(table));
        if (!q.exec() || !q.next())
            fail(q.lastError().text());
        return q.value(0).toString();
    }

private:
    QSqlDatabase m_db;
};

PGresult* exec(PGconn* c, const QByteArray& sql, ExecStatusType expected)
{
    PGresult* r = PQexec(c, sql.constData());
    if (PQresultStatus(r) != expected)
        fail(QString::fromUtf8(sql) + QStringLiteral(": ") + QString::fromUtf8(PQerrorMessage(c)));
    return r;
}

// The rows of each table, in COPY's text format.
std::vector<QByteArray> copyOut(Admin& admin, const QString& schema)
{
    PGconn* c = admin.handle();
    std::vector<QByteArray> data;
    for (const char* table : kTables) {
        const QByteArray sql = QStringLiteral("COPY (SELECT %1 FROM %2.\"%3\" ORDER BY \"RowKey\") TO STDOUT")
                                   .arg(admin.columns(schema, table), schema, QLatin1String(table))
                                   .toUtf8();
        PQclear(exec(c, sql, PGRES_COPY_OUT));
        QByteArray rows;
        char* buffer = nullptr;
        int n = 0;
        while ((n = PQgetCopyData(c, &buffer, 0)) > 0) {
            rows.append(buffer, n);
            PQfreemem(buffer);
        }
        PQclear(PQgetResult(c));
        data.push_back(rows);
    }
    return data;
}

// COPY ... FROM STDIN of the rows into the schema's tables, one transaction.
double copyIn(Admin& admin, const QString& schema, const std::vector<QByteArray>& data)
{
    std::vector<QByteArray> statements;
    for (const char* table : kTables)
        statements.push_back(QStringLiteral("COPY %1.\"%2\" (%3) FROM STDIN")
                                 .arg(schema, QLatin1String(table), admin.columns(schema, table))
                                 .toUtf8());
    PGconn* c = admin.handle();
    QElapsedTimer t;
    t.start();
    PQclear(exec(c, "BEGIN", PGRES_COMMAND_OK));
    for (size_t i = 0; i < statements.size(); ++i) {
        PQclear(exec(c, statements[i], PGRES_COPY_IN));
        constexpr qsizetype kChunk = 256 * 1024;
        for (qsizetype at = 0; at < data[i].size(); at += kChunk) {
            const qsizetype n = std::min(kChunk, data[i].size() - at);
            if (PQputCopyData(c, data[i].constData() + at, int(n)) != 1)
                fail(QString::fromUtf8(PQerrorMessage(c)));
        }
        if (PQputCopyEnd(c, nullptr) != 1)
            fail(QString::fromUtf8(PQerrorMessage(c)));
        PGresult* r = PQgetResult(c);
        if (PQresultStatus(r) != PGRES_COMMAND_OK)
            fail(QStringLiteral("COPY: ") + QString::fromUtf8(PQerrorMessage(c)));
        PQclear(r);
    }
    PQclear(exec(c, "COMMIT", PGRES_COMMAND_OK));
    return seconds(t);
}

// The statements of a server log by what they do: a prepared statement's
// runs (EXECUTE) count as the statement it was prepared from; INSERTs of
// several rows apart from those of one.
struct StatementCount {
    qlonglong total = 0;
    QMap<QString, qlonglong> byKind;
};

StatementCount countStatements(const QByteArray& log)
{
    static const QRegularExpression statement(
        QStringLiteral("LOG:  (?:statement|execute [^:]*): (\\w+)(?: (\\S+)(?: AS (\\w+)(.*))?)?"));
    QHash<QString, QString> prepared;
    StatementCount c;
    for (const QString& line : QString::fromUtf8(log).split(u'\n')) {
        const QRegularExpressionMatch m = statement.match(line);
        if (!m.hasMatch())
            continue;
        QString kind = m.captured(1).toUpper();
        if (kind == u"PREPARE" && !m.captured(3).isEmpty()) {
            const QString what = m.captured(3).toUpper();
            prepared.insert(m.captured(2), what == u"INSERT" && m.captured(4).contains(QLatin1String("), ("))
                                               ? QStringLiteral("INSERT of several rows")
                                               : what);
        } else if (kind == u"EXECUTE") {
            kind = prepared.value(m.captured(2), kind);
        }
        ++c.total;
        ++c.byKind[kind];
    }
    return c;
}

struct Import {
    double wall = 0;
    double cpu = 0;
    bool ok = false;
};

Import importJob(bench::BenchPlant& plant, const QByteArray& job)
{
    const QString path = plant.writeFile(QStringLiteral("BIG.$tx"), job);
    tx::ImportCarry carry;
    tx::ProfileCache profiles;
    QElapsedTimer t;
    const double cpu = cpuSeconds();
    t.start();
    const ImportOutcome outcome = tx::ImportProductionData(plant.ctx, plant.job, carry, profiles, path, false);
    Import r{seconds(t), cpuSeconds() - cpu, !outcome.failed()};
    if (!r.ok)
        std::fprintf(stderr, "import failed: %s\n", plant.errorBox.text().toLocal8Bit().constData());
    return r;
}

Import best(const std::vector<Import>& runs)
{
    Import b = runs.front();
    for (const Import& r : runs) {
        b.wall = std::min(b.wall, r.wall);
        b.cpu = std::min(b.cpu, r.cpu);
    }
    return b;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray job = bench::generateProductionJob(kBars, kPiecesPerBar);

    // The server: given, or the throw-away cluster.
    JobDatabaseUrl server;
    PgCluster* cluster = nullptr;
    const QString given = qEnvironmentVariable("VOV_PG_BENCH_URL");
    QString why;
    if (!given.isEmpty()) {
        QString text = given;
        if (!text.contains(QLatin1String("schema=")))
            text += (text.contains(u'?') ? QStringLiteral("&") : QStringLiteral("?")) + QStringLiteral("schema=bench");
        if (!parseJobDatabaseUrl(text, server, &why))
            fail(QStringLiteral("VOV_PG_BENCH_URL: ") + why);
    } else {
        bool missing = false;
        cluster = PgCluster::shared(&why, &missing);
        if (!cluster)
            fail(why);
        server.socketDir = cluster->socketDir();
        server.port = cluster->port();
        server.user = PgCluster::superuser();
        server.database = cluster->freshDatabase(&why);
        if (server.database.isEmpty())
            fail(why);
    }
    Admin admin(server);
    const QString version = admin.value(QStringLiteral("SHOW server_version")).toString();

    // The import into a fresh schema, best of the runs.
    std::vector<Import> pgRuns;
    for (int i = 1; i <= kRuns; ++i) {
        const QString schema = QStringLiteral("bench_%1").arg(i);
        admin.freshSchema(schema);
        bench::BenchPlant plant;
        JobDatabaseUrl url = server;
        url.schema = schema;
        plant.ctx.jobDatabaseServer = url;
        pgRuns.push_back(importJob(plant, job));
    }
    const Import pg = best(pgRuns);
    const qlonglong rows = admin
                               .value(QStringLiteral("SELECT (SELECT count(*) FROM bench_1.\"LosNamen\") + "
                                                     "(SELECT count(*) FROM bench_1.\"Stabdaten\") + "
                                                     "(SELECT count(*) FROM bench_1.\"Teiledaten\") + "
                                                     "(SELECT count(*) FROM bench_1.\"Werkzeugdaten\") + "
                                                     "(SELECT count(*) FROM bench_1.\"Druckdaten\")"))
                               .toLongLong();

    // The same rows through COPY, into fresh schemas.
    const std::vector<QByteArray> data = copyOut(admin, QStringLiteral("bench_1"));
    double copy = 1e300;
    for (int i = 1; i <= kRuns; ++i) {
        const QString schema = QStringLiteral("bench_copy_%1").arg(i);
        admin.freshSchema(schema);
        copy = std::min(copy, copyIn(admin, schema, data));
    }

    // The same import into prog.mdb.
    std::vector<Import> sqliteRuns;
    for (int i = 0; i < kRuns; ++i) {
        bench::BenchPlant plant;
        sqliteRuns.push_back(importJob(plant, job));
    }
    const Import lite = best(sqliteRuns);

    // Statements one import sends, from the server's log: every statement
    // of the benchmark database's new sessions is logged for this run.
    StatementCount statements;
    statements.total = -1;
    if (cluster) {
        admin.freshSchema(QStringLiteral("bench_count"));
        admin.run(QStringLiteral("ALTER DATABASE %1 SET log_statement = 'all'").arg(server.database));
        QFile log(cluster->logPath());
        const qint64 from = log.size();
        bench::BenchPlant plant;
        JobDatabaseUrl url = server;
        url.schema = QStringLiteral("bench_count");
        plant.ctx.jobDatabaseServer = url;
        importJob(plant, job);
        admin.run(QStringLiteral("ALTER DATABASE %1 RESET log_statement").arg(server.database));
        if (log.open(QIODevice::ReadOnly) && log.seek(from))
            statements = countStatements(log.readAll());
    }

    for (int i = 1; i <= kRuns; ++i)
        admin.run(QStringLiteral("DROP SCHEMA bench_%1 CASCADE; DROP SCHEMA bench_copy_%1 CASCADE").arg(i));
    if (cluster)
        admin.run(QStringLiteral("DROP SCHEMA bench_count CASCADE"));

    std::printf("job: %d bars x %d pieces, %lld bytes, %lld rows; best of %d runs\n", kBars, kPiecesPerBar,
                static_cast<long long>(job.size()), rows, kRuns);
    std::printf("server: PostgreSQL %s, %s\n", qPrintable(version),
                cluster ? "the throw-away cluster on a Unix socket (fsync off)" : qPrintable(server.toString()));
    std::printf("import into a PostgreSQL schema: %.3f s, %.0f rows/s; processor time of this process %.3f s%s\n",
                pg.wall, rows / pg.wall, pg.cpu, pg.ok ? "" : " (FAILED)");
    std::printf("COPY FROM STDIN of the same rows into the same tables, one transaction: %.3f s, %.0f rows/s\n", copy,
                rows / copy);
    std::printf("ratio import / COPY: %.2fx (target <= 2x)\n", pg.wall / copy);
    std::printf("import into prog.mdb (SQLite): %.3f s, %.0f rows/s; PostgreSQL / SQLite: %.2fx\n", lite.wall,
                rows / lite.wall, pg.wall / lite.wall);
    if (statements.total >= 0) {
        std::printf("statements sent by one import (round trips, from the server's log): %lld, %.2f per row\n",
                    statements.total, double(statements.total) / double(rows));
        for (auto it = statements.byKind.cbegin(); it != statements.byKind.cend(); ++it)
            std::printf("  %-24s %lld\n", qPrintable(it.key()), it.value());
    } else
        std::printf("statements sent by one import: not counted on a server whose log this program cannot read\n");
    return pg.ok ? 0 : 1;
}
