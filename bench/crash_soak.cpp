// Crash soak: many jobs, the real server (one scan cycle per start) killed
// with SIGKILL at random moments and started again until the server
// directory is drained, then every job and every file is accounted for.
//
//   crash_soak [--jobs N] [--seed S] [--max-kill-ms M] [--no-kill] [--keep] [--exe PATH]
//   crash_soak --walk [--jobs N] [--exe PATH]
//
// Half the jobs run in separate mode (production data only), half in job
// mode (production, label and steel data of a job together); a quarter of
// each half ends in a bad record. After the drain:
//   - every file is in prog.bak or an error copy, exactly once, and none is
//     left under its own name;
//   - a good job is complete (its bars, pieces, machining, and in job mode
//     its labels and steel pieces) and its files are in prog.bak;
//   - a failed job has no bar, piece or machining row (in job mode no label
//     or steel row either) and its files are error copies.
//   - no file was taken twice (one ledger row per file name).
// The walk (--walk) kills instead at every system call that writes or
// moves (openat, write, pwrite64, fdatasync, fsync, rename*, unlink*) from
// the commit of the first job on, one kill per plant, N = 1, 2, 3, ...
// until a run gets through, in separate and in job mode; after each kill the
// plant is drained without kills and checked as above. It needs strace.
// Exit code 0 when all of it holds.
#include "BenchSupport.h"

#include "SchemaSql.h"
#include "platform/db/Database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstring>
#include <random>
#include <signal.h>

namespace {

struct Job {
    QString name;
    bool jobMode = false;
    bool good = true;
    bool steelFails = false; // job mode: the bad record is in the steel data (all three files read)
    int bars = 0;
    int pieces = 0;
    QStringList files;
};

QByteArray num(int v, int width)
{
    return QByteArray::number(v).rightJustified(width, '0');
}

// Steel data for the pieces of generateProductionJob: one steel bar per bar,
// one steel piece per piece.
QByteArray steelJob(int bars, int piecesPerBar)
{
    QByteArray out;
    int piece = 0;
    for (int b = 1; b <= bars; ++b) {
        out += "KB " + num(b, 3) + "L60000TBST 4711 \r\n";
        for (int p = 0; p < piecesPerBar; ++p) {
            const QByteArray nr = num(++piece, 4);
            out += "KTN" + nr + "SA11" + nr + "0480000250101L04800\r\n";
        }
    }
    return out;
}

const QByteArray kBadRecord = "KTN0000L12350D1\r\n"; // piece number 0: the reader stops here

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

class Soak {
public:
    Soak(QString exe, int jobs, unsigned seed, int maxKillMs, bool kill)
        : m_exe(std::move(exe)), m_jobs(jobs), m_rng(seed), m_maxKillMs(maxKillMs), m_kill(kill)
    {
    }

    bool setUp()
    {
        if (!m_dir.isValid())
            return false;
        const QString r = m_dir.path();
        for (const char* d : {"Server", "In", "Client", "config", "run"})
            QDir(r).mkpath(QLatin1String(d));
        QFile::setPermissions(r + QStringLiteral("/run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QString message;
        if (!db::createDatabase(r + QStringLiteral("/Client/prog.mdb"), schema::jobDatabaseSql(), &message)) {
            std::fprintf(stderr, "cannot create the job database: %s\n", qPrintable(message));
            return false;
        }
        m_executable = r + QStringLiteral("/Server/serverquirnel");
        return QFile::copy(m_exe, m_executable);
    }

    void generate(bool jobMode, int count)
    {
        std::uniform_int_distribution<int> barsOf(1, 4), piecesOf(3, 25);
        for (int i = 0; i < count; ++i) {
            Job job;
            job.jobMode = jobMode;
            job.name =
                QString(QLatin1Char(jobMode ? 'J' : 'S')) + QStringLiteral("%1").arg(i + 1, 4, 10, QLatin1Char('0'));
            job.good = i % 4 != 3;
            job.bars = barsOf(m_rng);
            const int perBar = piecesOf(m_rng);
            job.pieces = job.bars * perBar;
            QByteArray production = bench::generateProductionJob(job.bars, perBar);
            const QString in = m_dir.path() + QStringLiteral("/In/") + job.name;
            if (jobMode && (job.good || i % 8 == 3)) {
                QByteArray steel = steelJob(job.bars, perBar);
                if (!job.good) {
                    job.steelFails = true;
                    steel += "KTN0000\r\n";
                }
                writeFile(in + QStringLiteral(".$et"), bench::generateLabelJob(job.bars, perBar));
                writeFile(in + QStringLiteral(".$sx"), steel);
                job.files << job.name + QStringLiteral(".$et") << job.name + QStringLiteral(".$sx");
            } else if (!job.good) {
                production += kBadRecord;
            }
            writeFile(in + QStringLiteral(".$tx"), production);
            job.files.prepend(job.name + QStringLiteral(".$tx"));
            m_all.push_back(job);
        }
    }

    // Runs the server on one configuration, one scan cycle per start
    // (--once), killing it at a random moment of most runs, until no job
    // file waits in the server directory.
    void drain(int jobLoadMode)
    {
        writeConfig(jobLoadMode);
        std::uniform_int_distribution<int> delay(0, m_maxKillMs);
        // A file that a run left although the run ended normally, three
        // times over, will not be taken by any further run: stop there and
        // let the check name it.
        int stalled = 0;
        int before = waiting();
        while (before > 0 && stalled < 3) {
            QProcess server;
            server.setProcessEnvironment(environment());
            server.setStandardOutputFile(QProcess::nullDevice());
            server.setStandardErrorFile(m_dir.path() + QStringLiteral("/server.log"), QIODevice::Append);
            server.start(m_executable, {m_dir.path() + QStringLiteral("/Server/ServerQuirnel.zezad"),
                                        QStringLiteral("--headless"), QStringLiteral("--once")});
            if (!server.waitForStarted()) {
                std::fprintf(stderr, "cannot start %s\n", qPrintable(m_executable));
                return;
            }
            ++m_starts;
            bool killed = false;
            if (m_kill && !server.waitForFinished(delay(m_rng))) {
                ::kill(pid_t(server.processId()), SIGKILL);
                ++m_kills;
                killed = true;
            }
            server.waitForFinished(-1);
            const int now = waiting();
            const bool ranItsCycle = !killed && server.exitStatus() == QProcess::NormalExit && server.exitCode() == 0;
            stalled = now < before ? 0 : ranItsCycle ? stalled + 1 : stalled;
            before = now;
        }
    }

    // Checks every job; prints what does not hold. True when all holds.
    bool check()
    {
        bool ok = true;
        int good = 0, failed = 0;
        QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("soak"));
        d.setDatabaseName(m_dir.path() + QStringLiteral("/Client/prog.mdb"));
        if (!d.open())
            return false;
        QSqlQuery integrity(QStringLiteral("PRAGMA integrity_check"), d);
        if (!integrity.next() || integrity.value(0).toString() != QStringLiteral("ok")) {
            std::printf("integrity check: %s\n", qPrintable(integrity.value(0).toString()));
            ok = false;
        }
        auto rows = [&](const char* table, const QString& job) {
            QSqlQuery q(d);
            q.prepare(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE LosName = ?").arg(QLatin1String(table)));
            q.addBindValue(job);
            return q.exec() && q.next() ? q.value(0).toInt() : -1;
        };
        int problems = 0;
        auto problem = [&](const Job& job, const QString& what) {
            ok = false;
            if (++problems <= 30)
                std::printf("  %s: %s\n", qPrintable(job.name), qPrintable(what));
        };
        const QString in = m_dir.path() + QStringLiteral("/In/");
        const QString bak = m_dir.path() + QStringLiteral("/Server/prog.bak/");
        for (const Job& job : m_all) {
            (job.good ? good : failed)++;
            for (const QString& f : job.files) {
                const bool inBak = QFile::exists(bak + f);
                const bool asError = QFile::exists(in + f + QStringLiteral(".$er"));
                const bool waitingStill = QFile::exists(in + f);
                if (int(inBak) + int(asError) + int(waitingStill) != 1 || waitingStill)
                    problem(job, QStringLiteral("%1 backup %2, error copy %3, waiting %4")
                                     .arg(f)
                                     .arg(inBak)
                                     .arg(asError)
                                     .arg(waitingStill));
                else if (inBak != job.good)
                    problem(job, QStringLiteral("%1 %2").arg(
                                     f, inBak ? QStringLiteral("backed up although the job failed")
                                              : QStringLiteral("set aside although the job is good")));
            }
            const int bars = rows("Stabdaten", job.name), pieces = rows("Teiledaten", job.name),
                      machining = rows("Werkzeugdaten", job.name);
            if (job.good) {
                if (rows("LosNamen", job.name) != 1 || bars != job.bars || pieces != job.pieces ||
                    machining != 2 * job.pieces)
                    problem(job, QStringLiteral("incomplete: %1 bars, %2 pieces, %3 machining of %4, %5, %6")
                                     .arg(bars)
                                     .arg(pieces)
                                     .arg(machining)
                                     .arg(job.bars)
                                     .arg(job.pieces)
                                     .arg(2 * job.pieces));
                if (job.jobMode &&
                    (rows("StahlTeiledaten", job.name) != job.pieces || rows("Druckdaten", job.name) != job.pieces))
                    problem(job, QStringLiteral("labels %1, steel pieces %2 of %3")
                                     .arg(rows("Druckdaten", job.name))
                                     .arg(rows("StahlTeiledaten", job.name))
                                     .arg(job.pieces));
            } else {
                int left = rows("LosNamen", job.name) + bars + pieces + machining;
                if (job.jobMode)
                    left += rows("Druckdaten", job.name) + rows("StahlLosNamen", job.name) +
                            rows("StahlStabdaten", job.name) + rows("StahlTeiledaten", job.name);
                if (left != 0)
                    problem(job, QStringLiteral("failed, yet %1 rows of it (%2 bars, %3 pieces, %4 machining)")
                                     .arg(left)
                                     .arg(bars)
                                     .arg(pieces)
                                     .arg(machining));
            }
        }
        QSqlQuery twice(QStringLiteral("SELECT FileName, count(*) FROM ImportLedger GROUP BY FileName "
                                       "HAVING count(*) > 1"),
                        d);
        while (twice.next()) {
            ok = false;
            if (++problems <= 30)
                std::printf("  %s taken %d times\n", qPrintable(twice.value(0).toString()), twice.value(1).toInt());
        }
        std::printf("jobs: %d (%d good, %d ending in a bad record), files: %d\n", good + failed, good, failed,
                    fileCount());
        std::printf("problems: %d\n", problems);
        return ok;
    }

    // One run of one scan cycle under strace with the given options; true
    // when the server ended normally (it was not killed).
    bool runUnderStrace(int jobLoadMode, const QStringList& straceOptions)
    {
        writeConfig(jobLoadMode);
        QProcess server;
        server.setProcessEnvironment(environment());
        server.setStandardOutputFile(QProcess::nullDevice());
        server.setStandardErrorFile(m_dir.path() + QStringLiteral("/server.log"), QIODevice::Append);
        server.start(QStringLiteral("strace"),
                     straceOptions + QStringList{m_executable, m_dir.path() + QStringLiteral("/Server/ServerQuirnel.zezad"),
                                                 QStringLiteral("--headless"), QStringLiteral("--once")});
        ++m_starts;
        server.waitForFinished(-1);
        const bool ended = server.exitStatus() == QProcess::NormalExit && server.exitCode() == 0;
        m_kills += ended ? 0 : 1;
        return ended;
    }

    [[nodiscard]] int kills() const { return m_kills; }
    [[nodiscard]] int starts() const { return m_starts; }
    [[nodiscard]] QString root() const { return m_dir.path(); }
    void keep() { m_dir.setAutoRemove(false); }

private:
    int fileCount() const
    {
        int n = 0;
        for (const Job& job : m_all)
            n += int(job.files.size());
        return n;
    }

    // Job files still waiting under their own names.
    int waiting() const
    {
        int n = 0;
        for (const Job& job : m_all) {
            for (const QString& f : job.files)
                n += QFile::exists(m_dir.path() + QStringLiteral("/In/") + f) ? 1 : 0;
        }
        return n;
    }

    void writeConfig(int jobLoadMode)
    {
        QByteArray lines = "\"ServerPath\",\"~apppath~\\In\"\n\"ClientPath\",\"~apppath~\\Client\"\n"
                           "\"RefreshZyklus\",\"1100\"\n\"AutoFreigabe\",\" 1\"\n"
                           "\"Extension\",\"$tx\"\n\"ExtensionEtikett\",\"$et\"\n\"ExtensionStahl\",\"$sx\"\n"
                           "\"Printertyp\",\" 4\"\n\"GenLoadID\",1\n\"JobLoadMode\",";
        lines += QByteArray::number(jobLoadMode) + "\n";
        writeFile(m_dir.path() + QStringLiteral("/Server/ServerQuirnel.zezad"), lines.replace("\n", "\r\n"));
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path() + QStringLiteral("/run"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=/nonexistent/soak-bus"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        return env;
    }

    QString m_exe;
    QString m_executable;
    int m_jobs;
    std::mt19937 m_rng;
    int m_maxKillMs;
    bool m_kill;
    QTemporaryDir m_dir;
    std::vector<Job> m_all;
    int m_kills = 0;
    int m_starts = 0;
};

// The system calls the walk kills at.
const QString kWalkCalls = QStringLiteral("openat,write,pwrite64,fdatasync,fsync,rename,renameat,renameat2,unlink,unlinkat");

struct Call {
    QString name;
    int occurrence = 0; // of this call in the main thread, from 1
};

// The walk's calls of a clean run, from the first job's commit (the last
// sync of the job database's log before the first job file is moved).
std::vector<Call> callsFromTheCommit(const QString& traceFile)
{
    QFile f(traceFile);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    std::vector<Call> calls;
    QHash<QString, int> seen;
    QString mainThread;
    qsizetype lastLogSync = -1;
    qsizetype commit = -1;
    while (!f.atEnd()) {
        const QString line = QString::fromLocal8Bit(f.readLine());
        const QString pid = line.section(u' ', 0, 0);
        if (mainThread.isEmpty())
            mainThread = pid;
        const QString name = line.section(u' ', 1).trimmed().section(u'(', 0, 0);
        if (pid != mainThread || name.isEmpty() || name.contains(u' '))
            continue;
        calls.push_back({name, ++seen[name]});
        if (name == QStringLiteral("fdatasync") && line.contains(QStringLiteral("prog.mdb-wal")))
            lastLogSync = qsizetype(calls.size()) - 1;
        else if (commit < 0 && name.startsWith(QStringLiteral("rename")) && line.contains(QStringLiteral("/In/")))
            commit = lastLogSync;
    }
    if (commit < 0)
        return {};
    return {calls.begin() + commit, calls.end()};
}

int walk(const QString& exe, int jobs)
{
    int kills = 0, failures = 0;
    for (const int mode : {0, 1}) {
        Soak reference(exe, jobs, 1, 0, false);
        if (!reference.setUp())
            return 1;
        reference.generate(mode == 1, jobs);
        const QString trace = reference.root() + QStringLiteral("/trace.txt");
        reference.runUnderStrace(mode, {QStringLiteral("-f"), QStringLiteral("-y"), QStringLiteral("-qq"),
                                        QStringLiteral("-o"), trace, QStringLiteral("-e"),
                                        QStringLiteral("trace=") + kWalkCalls});
        const std::vector<Call> calls = callsFromTheCommit(trace);
        std::printf("%s mode: %zu calls from the first commit on\n", mode ? "job" : "separate", calls.size());
        if (calls.empty())
            return 1;
        int n = 0;
        for (const Call& call : calls) {
            Soak plant(exe, jobs, 1, 0, false);
            if (!plant.setUp())
                return 1;
            plant.generate(mode == 1, jobs);
            ++n;
            if (plant.runUnderStrace(mode, {QStringLiteral("-f"), QStringLiteral("-qq"), QStringLiteral("-o"),
                                            QStringLiteral("/dev/null"), QStringLiteral("-e"),
                                            QStringLiteral("inject=%1:signal=SIGKILL:when=%2")
                                                .arg(call.name)
                                                .arg(call.occurrence)}))
                break; // the run got through: the walk is complete
            ++kills;
            plant.drain(mode);
            std::printf("kill %d at %s #%d: ", n, qPrintable(call.name), call.occurrence);
            if (!plant.check())
                ++failures;
        }
    }
    std::printf("walk: %d kills, %d of them left a plant that does not hold\n", kills, failures);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int jobs = 1000;
    unsigned seed = 1;
    int maxKillMs = 400;
    bool kill = true;
    bool keep = false;
    QString exe = QStringLiteral(VOV_SERVER_EXE);
    bool walkMode = false;
    for (int i = 1; i < argc; ++i) {
        const bool hasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--jobs") && hasValue)
            jobs = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && hasValue)
            seed = unsigned(std::strtoul(argv[++i], nullptr, 10));
        else if (!std::strcmp(argv[i], "--max-kill-ms") && hasValue)
            maxKillMs = std::max(1, std::atoi(argv[++i]));
        else if (!std::strcmp(argv[i], "--exe") && hasValue)
            exe = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--no-kill"))
            kill = false;
        else if (!std::strcmp(argv[i], "--keep"))
            keep = true;
        else if (!std::strcmp(argv[i], "--walk"))
            walkMode = true;
        else {
            std::fprintf(
                stderr,
                "usage: crash_soak [--jobs N] [--seed S] [--max-kill-ms M] [--no-kill] [--keep] [--exe PATH]\n"
                "       crash_soak --walk [--jobs N] [--exe PATH]\n");
            return 2;
        }
    }
    if (walkMode)
        return walk(exe, std::min(jobs, 4));

    Soak soak(exe, jobs, seed, maxKillMs, kill);
    if (!soak.setUp())
        return 1;
    if (keep)
        soak.keep();
    QElapsedTimer timer;
    timer.start();
    soak.generate(false, jobs / 2);
    soak.drain(0); // separate mode: the S jobs
    soak.generate(true, jobs - jobs / 2);
    soak.drain(1); // job mode: the J jobs
    std::printf("plant: %s%s\n", qPrintable(soak.root()), keep ? " (kept)" : "");
    std::printf("server starts: %d, SIGKILLs: %d, seconds: %.1f\n", soak.starts(), soak.kills(),
                double(timer.elapsed()) / 1000.0);
    const bool ok = soak.check();
    std::printf("outcome: %s\n", ok ? "every file once, every good job complete, no row of a failed job" : "FAILED");
    return ok ? 0 : 1;
}
