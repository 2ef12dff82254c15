// Store-layer benchmark: what the recordset layer costs over plain
// prepared statements, and whether a lookup costs the same in a small and
// in a large job database.
//
//   db_bench [rows-to-insert] [big-table-rows]   (defaults 100000, 1000000)
//
// 1. Insert: the same bar rows through addNew/setField/update in one call
//    transaction, and through one raw prepared INSERT in one transaction,
//    side by side (best of two rounds each). Target: ratio <= 2.0.
// 2. Lookup: findFirst(LosName = J.., StabNr = n) on Stabdaten in a
//    database of 1,000 rows and in one of 1,000,000 rows (built with raw
//    inserts), job by job as an import asks, and spread at random over all
//    jobs, with the raw engine alongside. Target: ratio <= 1.5 for the
//    lookups of an import. Spread at random, nearly every lookup meets an
//    index page that is not in memory yet; that cost is the engine's (see
//    the raw line) and does not arise in an import, which asks for the bars
//    of one job.

#include "SchemaSql.h"
#include "platform/PendingError.h"
#include "platform/db/Criteria.h"
#include "platform/db/Database.h"
#include "platform/db/Recordset.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr int BarsPerJob = 1000;

QString jobName(int job)
{
    return QStringLiteral("J%1").arg(job, 4, 10, QLatin1Char('0'));
}

[[noreturn]] void die(const QString& what)
{
    std::fprintf(stderr, "db_bench: %s\n", qPrintable(what));
    std::exit(1);
}

void createJobDatabase(const QString& path)
{
    QString message;
    if (!db::createDatabase(path, schema::jobDatabaseSql(), &message))
        die(message);
}

// A raw connection with the same settings the store layer uses for a call.
class RawConnection {
public:
    RawConnection(const QString& path, bool fast) : m_name(QStringLiteral("raw-%1").arg(++s_count))
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        d.setDatabaseName(path);
        if (!d.open())
            die(d.lastError().text());
        exec(fast ? QStringLiteral("PRAGMA synchronous=OFF") : QStringLiteral("PRAGMA synchronous=FULL"));
        exec(fast ? QStringLiteral("PRAGMA foreign_keys=OFF") : QStringLiteral("PRAGMA foreign_keys=ON"));
    }
    ~RawConnection()
    {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }
    void exec(const QString& sql)
    {
        QSqlQuery q(db());
        if (!q.exec(sql))
            die(q.lastError().text() + QStringLiteral(" in ") + sql);
    }

private:
    static inline int s_count = 0;
    QString m_name;
};

const QString BarInsert =
    QStringLiteral("INSERT INTO Stabdaten (LosName, StabNr, ResteTeileNr, ID, LoadID, ProfilNr, ProfilName, Farbe, "
                   "Bezeichnung, Laufbahn, Rohlaenge) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");

void addJobsRaw(RawConnection& raw, int jobs)
{
    QSqlQuery q(raw.db());
    q.prepare(QStringLiteral("INSERT INTO LosNamen (LosName, ID) VALUES (?, ?)"));
    for (int j = 0; j < jobs; ++j) {
        q.bindValue(0, jobName(j));
        q.bindValue(1, j);
        if (!q.exec())
            die(q.lastError().text());
    }
}

// The bar row values, the same for both insert paths.
struct Bar {
    QString job;
    int number;
};

double insertRaw(const QString& path, int rows)
{
    RawConnection raw(path, false);
    QElapsedTimer t;
    t.start();
    raw.exec(QStringLiteral("BEGIN IMMEDIATE"));
    QSqlQuery q(raw.db());
    q.prepare(BarInsert);
    const QString job = jobName(0);
    for (int i = 0; i < rows; ++i) {
        q.bindValue(0, job);
        q.bindValue(1, i % 1000);
        q.bindValue(2, QStringLiteral("0"));
        q.bindValue(3, i);
        q.bindValue(4, i % 30000);
        q.bindValue(5, QStringLiteral("12"));
        q.bindValue(6, QStringLiteral("Profil 12"));
        q.bindValue(7, QStringLiteral("weiss"));
        q.bindValue(8, QStringLiteral("Fensterfluegel links"));
        q.bindValue(9, QStringLiteral("1"));
        q.bindValue(10, 650.5);
        if (!q.exec())
            die(q.lastError().text());
    }
    q.finish();
    raw.exec(QStringLiteral("COMMIT"));
    return t.nsecsElapsed() / 1e9;
}

double insertThroughRecordset(const QString& path, int rows)
{
    PendingError err;
    QElapsedTimer t;
    t.start();
    db::Database database;
    db::Recordset rs;
    if (!database.open(path, err) || !database.openRecordset(rs, QStringLiteral("Stabdaten"), err))
        die(err.description);
    const QString job = jobName(0);
    for (int i = 0; i < rows; ++i) {
        rs.addNew(err);
        rs.setField(QStringLiteral("LosName"), job, err);
        // The readers hand bar numbers over as the file's text.
        rs.setField(QStringLiteral("StabNr"), QString::number(i % 1000).rightJustified(3, QLatin1Char('0')), err);
        rs.setField(QStringLiteral("ResteTeileNr"), 0, err);
        rs.setField(QStringLiteral("ID"), i, err);
        rs.setField(QStringLiteral("LoadID"), i % 30000, err);
        rs.setField(QStringLiteral("ProfilNr"), QStringLiteral("12"), err);
        rs.setField(QStringLiteral("ProfilName"), QStringLiteral("Profil 12"), err);
        rs.setField(QStringLiteral("Farbe"), QStringLiteral("weiss"), err);
        rs.setField(QStringLiteral("Bezeichnung"), QStringLiteral("Fensterfluegel links"), err);
        rs.setField(QStringLiteral("Laufbahn"), QStringLiteral("1"), err);
        rs.setField(QStringLiteral("Rohlaenge"), 650.5, err);
        rs.update(err);
        if (err.pending())
            die(err.description);
    }
    rs.close();
    if (!database.commit(err))
        die(err.description);
    return t.nsecsElapsed() / 1e9;
}

QString freshDatabase(const QTemporaryDir& dir, const QString& name)
{
    const QString path = dir.filePath(name);
    createJobDatabase(path);
    RawConnection raw(path, false);
    addJobsRaw(raw, 1);
    return path;
}

void benchInsert(const QTemporaryDir& dir, int rows)
{
    double raw = 1e9;
    double layer = 1e9;
    for (int round = 0; round < 2; ++round) {
        raw = std::min(raw, insertRaw(freshDatabase(dir, QStringLiteral("raw%1.mdb").arg(round)), rows));
        layer =
            std::min(layer, insertThroughRecordset(freshDatabase(dir, QStringLiteral("rs%1.mdb").arg(round)), rows));
    }
    std::printf("insert %d Stabdaten rows, one transaction (best of 2)\n", rows);
    std::printf("  raw prepared INSERT        %8.3f s  %7.2f us/row\n", raw, raw * 1e6 / rows);
    std::printf("  addNew/setField x11/update %8.3f s  %7.2f us/row\n", layer, layer * 1e6 / rows);
    std::printf("  ratio recordset/raw        %8.2f   (target <= 2.0)\n\n", layer / raw);
}

// A job database with `rows` bars, BarsPerJob per job.
QString buildLookupDatabase(const QTemporaryDir& dir, int rows)
{
    const QString path = dir.filePath(QStringLiteral("lookup%1.mdb").arg(rows));
    createJobDatabase(path);
    RawConnection raw(path, true);
    raw.exec(QStringLiteral("BEGIN"));
    const int jobs = std::max(1, rows / BarsPerJob);
    addJobsRaw(raw, jobs);
    QSqlQuery q(raw.db());
    q.prepare(BarInsert);
    for (int i = 0; i < rows; ++i) {
        q.bindValue(0, jobName(i / BarsPerJob));
        q.bindValue(1, i % BarsPerJob + 1);
        q.bindValue(2, QStringLiteral("0"));
        q.bindValue(3, i);
        q.bindValue(4, i % 30000);
        q.bindValue(5, QStringLiteral("12"));
        q.bindValue(6, QStringLiteral("Profil 12"));
        q.bindValue(7, QStringLiteral("weiss"));
        q.bindValue(8, QStringLiteral("Fensterfluegel links"));
        q.bindValue(9, QStringLiteral("1"));
        q.bindValue(10, 650.5);
        if (!q.exec())
            die(q.lastError().text());
    }
    q.finish();
    raw.exec(QStringLiteral("COMMIT"));
    return path;
}

// Lookup keys: job by job as an import asks (every bar of a job, in
// random order, then the next job), or spread at random over all jobs.
struct Key {
    int job;
    int bar;
};

std::vector<Key> lookupKeys(int rows, int count, bool jobByJob)
{
    const int jobs = std::max(1, rows / BarsPerJob);
    const int bars = std::min(rows, BarsPerJob);
    std::mt19937 random(4711);
    std::vector<Key> keys;
    keys.reserve(size_t(count));
    while (int(keys.size()) < count) {
        if (jobByJob) {
            const int job = int(random() % unsigned(jobs));
            std::vector<int> order(static_cast<size_t>(bars));
            for (int b = 0; b < bars; ++b)
                order[size_t(b)] = b + 1;
            std::shuffle(order.begin(), order.end(), random);
            for (int b : order)
                if (int(keys.size()) < count)
                    keys.push_back({job, b});
        } else {
            keys.push_back({int(random() % unsigned(jobs)), int(random() % unsigned(bars)) + 1});
        }
    }
    return keys;
}

enum class Lookup { Find, FindAndRead, RawEngine };

// Seconds per lookup. The first 1000 lookups warm up (statements
// prepared, the file's upper index pages cached as after the first job of
// a day) and are not counted.
double lookups(const QString& path, const std::vector<Key>& keys, Lookup kind)
{
    // The bar number as a file spells it, with its leading zeros.
    std::vector<db::Criteria> criteria;
    criteria.reserve(keys.size());
    for (const Key& k : keys)
        criteria.push_back(
            db::Criteria(QStringLiteral("LosName"), jobName(k.job))
                .andNumberText(QStringLiteral("StabNr"), QStringLiteral("%1").arg(k.bar, 3, 10, QLatin1Char('0'))));
    const size_t warm = std::min<size_t>(1000, keys.size() / 4);
    qint64 found = 0;
    QElapsedTimer t;
    if (kind == Lookup::RawEngine) {
        RawConnection raw(path, false);
        QSqlQuery q(raw.db());
        q.setForwardOnly(true);
        q.prepare(
            QStringLiteral("SELECT RowKey FROM Stabdaten WHERE LosName = ? AND StabNr = ? ORDER BY RowKey LIMIT 1"));
        for (size_t i = 0; i < keys.size(); ++i) {
            if (i == warm) {
                found = 0;
                t.start();
            }
            q.bindValue(0, jobName(keys[i].job));
            q.bindValue(1, keys[i].bar);
            q.exec();
            found += q.next();
            q.finish();
        }
    } else {
        PendingError err;
        db::Database database;
        db::Recordset rs;
        if (!database.open(path, err) || !database.openRecordset(rs, QStringLiteral("Stabdaten"), err))
            die(err.description);
        for (size_t i = 0; i < keys.size(); ++i) {
            if (i == warm) {
                found = 0;
                t.start();
            }
            rs.findFirst(criteria[i], err);
            if (rs.noMatch())
                continue;
            if (kind == Lookup::Find)
                ++found;
            else
                found += rs.field(QStringLiteral("ID"), err).toLongLong() >= 0;
        }
        if (err.pending())
            die(err.description);
        database.close();
    }
    const double seconds = t.nsecsElapsed() / 1e9;
    const qint64 counted = qint64(keys.size() - warm);
    if (found != counted)
        die(QStringLiteral("lookup failed: %1 of %2 found").arg(found).arg(counted));
    return seconds / double(counted);
}

void benchLookup(const QTemporaryDir& dir, int bigRows)
{
    const int smallRows = 1000;
    const int count = 21000;
    const QString small = buildLookupDatabase(dir, smallRows);
    QElapsedTimer build;
    build.start();
    const QString big = buildLookupDatabase(dir, bigRows);
    std::printf("findFirst(LosName = J.., StabNr = n) on Stabdaten, %d lookups, us per lookup, best of 3\n"
                "(big table built in %.1f s)\n",
                count - 1000, build.nsecsElapsed() / 1e9);
    std::printf("  %-44s %9d %9d  ratio\n", "", smallRows, bigRows);
    struct Line {
        const char* name;
        bool jobByJob;
        Lookup kind;
        const char* note;
    } lines[] = {
        {"job by job (an import): findFirst", true, Lookup::Find, "  (target <= 1.5)"},
        {"job by job (an import): findFirst + field", true, Lookup::FindAndRead, ""},
        {"random jobs: findFirst", false, Lookup::Find, "  (cold index pages)"},
        {"random jobs: findFirst + field", false, Lookup::FindAndRead, ""},
        {"random jobs: raw prepared SELECT (engine)", false, Lookup::RawEngine, ""},
    };
    for (const Line& l : lines) {
        const std::vector<Key> smallKeys = lookupKeys(smallRows, count, l.jobByJob);
        const std::vector<Key> bigKeys = lookupKeys(bigRows, count, l.jobByJob);
        double tSmall = 1e9;
        double tBig = 1e9;
        for (int round = 0; round < 3; ++round) {
            tSmall = std::min(tSmall, lookups(small, smallKeys, l.kind));
            tBig = std::min(tBig, lookups(big, bigKeys, l.kind));
        }
        std::printf("  %-44s %9.2f %9.2f  %5.2f%s\n", l.name, tSmall * 1e6, tBig * 1e6, tBig / tSmall, l.note);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int insertRows = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int bigRows = argc > 2 ? std::atoi(argv[2]) : 1000000;
    QTemporaryDir dir;
    if (!dir.isValid())
        die(QStringLiteral("no temporary directory"));
    benchInsert(dir, insertRows);
    benchLookup(dir, bigRows);
    return 0;
}
