// Import benchmark: a large generated job (2,000 bars x 10 pieces) imported
// through the real reader, side by side with a raw prepared-statement insert
// of the same rows; the same import into a database that already holds 100
// such jobs; peak memory against a 10-piece job; and the label-data import
// of the same job; and the whole server process (start, one scan cycle,
// exit) on a plant holding the job, against a raw insert of the rows it
// wrote.
#include "BenchSupport.h"
#include "SchemaSql.h"

#include "etimport/LabelReader.h"
#include "platform/db/Database.h"
#include "tximport/ProductionImport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr int kBars = 2000;
constexpr int kPiecesPerBar = 10;

struct Counts {
    qlonglong bars = 0, pieces = 0, machining = 0, print = 0;
    qlonglong total() const { return bars + pieces + machining + print; }
};

qlonglong scalar(QSqlDatabase& d, const QString& sql)
{
    QSqlQuery q(d);
    return q.exec(sql) && q.next() ? q.value(0).toLongLong() : -1;
}

Counts countRows(const QString& path, const QString& job)
{
    Counts c;
    const QString name = QUuid::createUuid().toString();
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        d.setDatabaseName(path);
        d.open();
        const QString w = QStringLiteral(" WHERE LosName='%1'").arg(job);
        c.bars = scalar(d, QStringLiteral("SELECT COUNT(*) FROM Stabdaten") + w);
        c.pieces = scalar(d, QStringLiteral("SELECT COUNT(*) FROM Teiledaten") + w);
        c.machining = scalar(d, QStringLiteral("SELECT COUNT(*) FROM Werkzeugdaten") + w);
        c.print = scalar(d, QStringLiteral("SELECT COUNT(*) FROM Druckdaten") + w);
        d.close();
    }
    QSqlDatabase::removeDatabase(name);
    return c;
}

// Processor seconds of this process so far: beside the wall-clock figures,
// since other programs on the machine stretch those.
double cpuSeconds()
{
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}
double importCpu = 1e300;
double rawCpu = 1e300;

double importJob(bench::BenchPlant& plant, const QString& path, bool steel = false)
{
    tx::ImportCarry carry;
    tx::ProfileCache profiles;
    QElapsedTimer t;
    const double cpu = cpuSeconds();
    t.start();
    const ImportOutcome outcome = tx::ImportProductionData(plant.ctx, plant.job, carry, profiles, path, steel);
    const double s = static_cast<double>(t.nsecsElapsed()) / 1e9;
    importCpu = std::min(importCpu, cpuSeconds() - cpu);
    if (outcome.failed())
        std::fprintf(stderr, "import of %s failed: %s\n", path.toLocal8Bit().constData(),
                     plant.errorBox.text().toLocal8Bit().constData());
    return s;
}

// How the raw insert binds its values: by position (addBindValue, the
// toolkit's usual way, which formats a name for every value bound) or by
// names made once (the cheapest way the toolkit offers).
enum class Binding { ByPosition, ByName };

// A prepared INSERT of some columns of a table.
class RawInsert {
public:
    RawInsert(QSqlDatabase& d, Binding binding, const QString& table, const QString& columns)
        : m_q(d), m_binding(binding)
    {
        QStringList marks;
        for (qsizetype i = 0; i < columns.count(u',') + 1; ++i)
            marks << (binding == Binding::ByName ? name(int(i)) : QStringLiteral("?"));
        m_q.prepare(QStringLiteral("INSERT INTO ") + table + QStringLiteral(" (") + columns +
                    QStringLiteral(") VALUES (") + marks.join(u',') + u')');
    }
    void addBindValue(const QVariant& v)
    {
        if (m_binding == Binding::ByName)
            m_q.bindValue(name(m_next++), v);
        else
            m_q.addBindValue(v);
    }
    bool exec()
    {
        m_next = 0;
        return m_q.exec();
    }

private:
    static const QString& name(int i)
    {
        static const QStringList names = [] {
            QStringList n;
            for (int k = 0; k < 64; ++k)
                n << QStringLiteral(":v") + QString::number(k);
            return n;
        }();
        return names.at(i);
    }
    QSqlQuery m_q;
    Binding m_binding;
    int m_next = 0;
};

// The same rows as the import writes, through raw prepared INSERTs in one
// transaction: the floor any import through a store layer is measured against.
double rawInsert(const QString& dbPath, const QString& job, int bars, int piecesPerBar,
                 Binding binding = Binding::ByPosition, double* cpuUsed = nullptr)
{
    const QString name = QUuid::createUuid().toString();
    double seconds = 0;
    {
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        d.setDatabaseName(dbPath);
        d.open();
        QSqlQuery pragma(d);
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        pragma.exec(QStringLiteral("PRAGMA synchronous=FULL"));
        QElapsedTimer t;
        const double cpu = cpuSeconds();
        t.start();
        d.transaction();
        RawInsert bar(d, binding, QStringLiteral("Stabdaten"),
                      QStringLiteral("LosName, StabNr, ResteTeileNr, Rohlaenge, ProfilNr, ProfilName, Farbe, "
                                     "Bezeichnung, Laufbahn, LoadID"));
        RawInsert piece(d, binding, QStringLiteral("Teiledaten"),
                        QStringLiteral("LosName, TeileNr, StabNr, WagenNr, FachNr, Kommission, Position, TeileTyp, "
                                       "AnGehrung, AbGehrung, TeileLaenge, Stahlanwahl, Stahllaufbahn, StahlTeileNr, "
                                       "Stahllaenge, Stahleinschubtiefe, Stahlnummer, StahlBezeichnung, StahlNr, "
                                       "StahlNr1, EtikettDruckerNr, EtikettNr, LoadID"));
        RawInsert tool(d, binding, QStringLiteral("Werkzeugdaten"),
                       QStringLiteral("LosName, TeileNr, StabNr, BearbNr, WerkzPos, Tiefe, ZOffset"));
        RawInsert print(d, binding, QStringLiteral("Druckdaten"), QStringLiteral("LosName, TeileNr, Etikettendaten"));
        RawInsert jobRow(d, binding, QStringLiteral("LosNamen"), QStringLiteral("LosName"));
        jobRow.addBindValue(job);
        jobRow.exec();
        int pieceNr = 0;
        for (int b = 1; b <= bars; ++b) {
            const int barNr = ((b - 1) % 999) + 1;
            bar.addBindValue(job);
            bar.addBindValue(barNr);
            bar.addBindValue(QStringLiteral("0"));
            bar.addBindValue(6500.0);
            bar.addBindValue(QStringLiteral("12"));
            bar.addBindValue(QStringLiteral("BR70"));
            bar.addBindValue(QStringLiteral("Weiss RAL 9016"));
            bar.addBindValue(QStringLiteral("Rahmen"));
            bar.addBindValue(QStringLiteral("1"));
            bar.addBindValue(b);
            bar.exec();
            for (int p = 0; p < piecesPerBar; ++p) {
                ++pieceNr;
                const int nr = pieceNr % 10000 == 0 ? 1 : pieceNr % 10000;
                const QVariant vals[] = {job,
                                         nr,
                                         barNr,
                                         1.0,
                                         11.0,
                                         QStringLiteral("J1"),
                                         QStringLiteral("Pos01"),
                                         QStringLiteral("BR"),
                                         45.0,
                                         -45.0,
                                         1234.5,
                                         1,
                                         1,
                                         nr,
                                         480.0,
                                         25.0,
                                         QStringLiteral("101"),
                                         QStringLiteral("ST 4711"),
                                         QStringLiteral("ST 4711"),
                                         QStringLiteral("ST 4711"),
                                         1,
                                         nr,
                                         pieceNr};
                for (const QVariant& v : vals)
                    piece.addBindValue(v);
                piece.exec();
                for (int w = 0; w < 2; ++w) {
                    tool.addBindValue(job);
                    tool.addBindValue(nr);
                    tool.addBindValue(barNr);
                    tool.addBindValue(w ? 3 : 5);
                    tool.addBindValue(w ? 120.0 : 15.0);
                    tool.addBindValue(w ? QVariant(5.5) : QVariant());
                    tool.addBindValue(w ? QVariant(1.2) : QVariant());
                    tool.exec();
                }
                // piece numbers have four digits: from 10,000 on they repeat
                // and the import rewrites the print row it already has
                if (pieceNr == nr) {
                    print.addBindValue(job);
                    print.addBindValue(nr);
                    print.addBindValue(QStringLiteral("Label:%1").arg(nr));
                    print.exec();
                }
            }
        }
        d.commit();
        seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
        if (cpuUsed)
            *cpuUsed = std::min(*cpuUsed, cpuSeconds() - cpu);
        d.close();
    }
    QSqlDatabase::removeDatabase(name);
    return seconds;
}

// The server itself on a plant whose server directory holds the job: one
// scan cycle with --once, headless, in separate load mode; the seconds from
// starting the process to its exit. The rows it wrote are counted.
double serverOnce(const QByteArray& job, Counts& written, const QString& keepDatabase = {})
{
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char* d : {"Server", "In", "Client", "Backup", "Profil", "config", "run", "data"})
        QDir(root).mkpath(QString::fromLatin1(d));
    QFile::setPermissions(root + QStringLiteral("/run"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString exe = root + QStringLiteral("/Server/serverquirnel");
    QFile::copy(QStringLiteral(VOV_SERVER_EXE), exe);
    QFile config(root + QStringLiteral("/Server/ServerQuirnel.zezad"));
    config.open(QIODevice::WriteOnly);
    config.write("\"ServerPath\",\"~apppath~\\In\"\r\n\"ClientPath\",\"~apppath~\\Client\"\r\n"
                 "\"BackupPath\",\"~apppath~\\Backup\"\r\n\"RefreshZyklus\",\"1500\"\r\n\"AutoFreigabe\",\" 1\"\r\n"
                 "\"Extension\",\"$tx\"\r\n\"ExtensionEtikett\",\"$et\"\r\n\"ExtensionStahl\",\"$sx\"\r\n"
                 "\"Printertyp\",\" 4\"\r\n\"GenLoadID\",1\r\n\"JobLoadMode\",0\r\n");
    config.close();
    QString message;
    const QString database = root + QStringLiteral("/Client/prog.mdb");
    if (!db::createDatabase(database, schema::jobDatabaseSql(), &message))
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    QFile file(root + QStringLiteral("/In/BIG.$tx"));
    file.open(QIODevice::WriteOnly);
    file.write(job);
    file.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root + QStringLiteral("/run"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
               QStringLiteral("unix:path=") + root + QStringLiteral("/no-bus"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(root);
    QElapsedTimer t;
    t.start();
    p.start(exe, {config.fileName(), QStringLiteral("--headless"), QStringLiteral("--once")});
    p.waitForFinished(300000);
    const double seconds = static_cast<double>(t.nsecsElapsed()) / 1e9;
    if (p.exitCode() != 0)
        std::fprintf(stderr, "server exited with %d: %s\n", p.exitCode(), p.readAllStandardError().constData());
    written = countRows(database, QStringLiteral("BIG"));
    if (!keepDatabase.isEmpty())
        QFile::copy(database, keepDatabase);
    return seconds;
}

// The same rows through a Python script (Debian's python3, its sqlite3
// module): read from a file and inserted with executemany in one
// transaction into an empty job database; the seconds from starting the
// interpreter to its exit, best of runs. 0 when python3 is missing.
double pythonExecutemany(const QString& serverDatabase, int runs)
{
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("rows.tsv"));
    const QString scripts = QStringLiteral(VOV_BENCH_PYTHON_DIR);
    if (QProcess::execute(QStringLiteral("python3"),
                          {scripts + QStringLiteral("/dump_rows.py"), serverDatabase, data}) != 0)
        return 0;
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        const QString target = dir.filePath(QStringLiteral("py%1.mdb").arg(i));
        QString message;
        if (!db::createDatabase(target, schema::jobDatabaseSql(), &message))
            return 0;
        QElapsedTimer t;
        t.start();
        if (QProcess::execute(QStringLiteral("python3"),
                              {scripts + QStringLiteral("/executemany_import.py"), data, target}) != 0)
            return 0;
        best = std::min(best, static_cast<double>(t.nsecsElapsed()) / 1e9);
    }
    return best;
}

} // namespace

// Timings on this kind of machine vary with the disk's flushes: each figure
// is the best of a few runs.
template <typename F> double bestOf(int runs, F run)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i)
        best = std::min(best, run(i));
    return best;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QByteArray bigJob = bench::generateProductionJob(kBars, kPiecesPerBar);
    // "import_bench --write-job FILE": only the large job, for profiling
    // the server on it (docs/development.md).
    if (argc == 3 && qstrcmp(argv[1], "--write-job") == 0) {
        QFile out(QString::fromLocal8Bit(argv[2]));
        return out.open(QIODevice::WriteOnly) && out.write(bigJob) == bigJob.size() ? 0 : 1;
    }
    const QByteArray smallJob = bench::generateProductionJob(1, kPiecesPerBar);
    constexpr int kRuns = 3;

    // Memory first: the peak after a 10-piece import, then after the large one.
    double rssSmall = 0;
    {
        bench::BenchPlant plant;
        importJob(plant, plant.writeFile(QStringLiteral("SMALL.$tx"), smallJob));
        rssSmall = bench::peakRssMiB();
    }
    importCpu = 1e300;

    Counts c;
    double tLabel = 0;
    const double tImport = bestOf(kRuns, [&](int) {
        bench::BenchPlant plant;
        const double t = importJob(plant, plant.writeFile(QStringLiteral("BIG.$tx"), bigJob));
        c = countRows(plant.databasePath(), QStringLiteral("BIG"));
        // The label data of the same job, after its production data.
        const QString labelPath =
            plant.writeFile(QStringLiteral("BIG.$et"), bench::generateLabelJob(kBars, kPiecesPerBar));
        plant.job.ReplaceAnswer = Answer::No; // keep the placeholder rows, overwrite their text
        QElapsedTimer tl;
        tl.start();
        et::ReadLabelFile(plant.ctx, plant.job, labelPath);
        const double l = static_cast<double>(tl.nsecsElapsed()) / 1e9;
        tLabel = tLabel == 0 ? l : std::min(tLabel, l);
        return t;
    });
    const double rssBig = bench::peakRssMiB();
    const double tRaw = bestOf(kRuns, [&](int) {
        bench::BenchPlant rawPlant;
        return rawInsert(rawPlant.databasePath(), QStringLiteral("BIG"), kBars, kPiecesPerBar, Binding::ByPosition,
                         &rawCpu);
    });
    double namedCpu = 1e300;
    const double tRawNamed = bestOf(kRuns, [&](int) {
        bench::BenchPlant rawPlant;
        return rawInsert(rawPlant.databasePath(), QStringLiteral("BIG"), kBars, kPiecesPerBar, Binding::ByName,
                         &namedCpu);
    });

    std::printf("job: %d bars x %d pieces, %lld bytes; best of %d runs\n", kBars, kPiecesPerBar,
                static_cast<long long>(bigJob.size()), kRuns);
    std::printf("rows written: %lld (bars %lld, pieces %lld, machining %lld, print %lld)\n", c.total(), c.bars,
                c.pieces, c.machining, c.print);
    std::printf("import into empty database: %.3f s, %.0f rows/s\n", tImport, c.total() / tImport);
    std::printf("raw prepared INSERT of the same rows: %.3f s, %.0f rows/s\n", tRaw, c.total() / tRaw);
    std::printf("ratio import / raw insert bound by position: %.2fx; processor time %.3f s / %.3f s = %.2fx\n",
                tImport / tRaw, importCpu, rawCpu, importCpu / rawCpu);
    std::printf("against a raw insert bound by names made once (the cheapest way of Qt SQL): %.3f s, ratio %.2fx "
                "(target <= 1.2x); processor time %.3f s, %.2fx\n",
                tRawNamed, tImport / tRawNamed, namedCpu, importCpu / namedCpu);
    const double labelWrites = static_cast<double>(kBars) * kPiecesPerBar;
    std::printf("label import: %.0f label records -> print-row writes in %.3f s, %.0f writes/s (%.0f%% of the "
                "production import's rows/s; target >= 50%%)\n",
                labelWrites * 2, tLabel, labelWrites / tLabel, 100.0 * (labelWrites / tLabel) / (c.total() / tImport));

    // The same import into a database that already holds 100 such jobs.
    bench::BenchPlant full;
    for (int j = 0; j < 100; ++j)
        rawInsert(full.databasePath(), QStringLiteral("OLD%1").arg(j), kBars, kPiecesPerBar);
    const double tFull = bestOf(
        kRuns, [&](int i) { return importJob(full, full.writeFile(QStringLiteral("BIG%1.$tx").arg(i), bigJob)); });
    std::printf("import into a database with 100 jobs: %.3f s, ratio to empty %.2fx (target <= 1.1x)\n", tFull,
                tFull / tImport);

    // The whole process against a raw insert of the rows it wrote.
    Counts processRows;
    QTemporaryDir kept;
    const QString serverDatabase = kept.filePath(QStringLiteral("server.mdb"));
    const double tProcess =
        bestOf(kRuns, [&](int i) { return serverOnce(bigJob, processRows, i == 0 ? serverDatabase : QString()); });
    const double tPython = pythonExecutemany(serverDatabase, kRuns);
    const double tProcessRaw = bestOf(kRuns, [&](int) {
        bench::BenchPlant rawPlant;
        return rawInsert(rawPlant.databasePath(), QStringLiteral("BIG"), kBars, kPiecesPerBar);
    });
    std::printf("whole process (start, one cycle, exit): %.3f s for %lld rows; raw insert of them %.3f s; "
                "ratio %.2fx (target <= 1.3x)\n",
                tProcess, processRows.total(), tProcessRaw, tProcess / tProcessRaw);
    if (tPython > 0)
        std::printf("whole process / a Python script inserting the same rows with executemany (start to exit): "
                    "%.3f s / %.3f s = %.2fx (target <= 1x)\n",
                    tProcess, tPython, tProcess / tPython);
    else
        std::printf("python3 with its sqlite3 module not found: no comparison with executemany\n");

    std::printf("peak memory: %.1f MiB after a 10-piece job, %.1f MiB after the 20,000-piece job: +%.1f MiB "
                "(target < 50 MiB)\n",
                rssSmall, rssBig, rssBig - rssSmall);
    return 0;
}
