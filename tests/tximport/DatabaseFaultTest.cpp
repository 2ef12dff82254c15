// A job database whose file system fails: every write, sync and lock of one
// import is failed in turn (a full disk, an I/O error, a lock refused), and
// after each the job is either all there with its files in the backup, or
// not there at all with its files still in the server directory or set
// aside, and the failure was reported with the engine's own words.
#include "FaultVfs.h"
#include "JobPlant.h"

#include "intake/JobFiles.h"
#include "intake/ScanCycle.h"
#include "tximport/PlantImporter.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <map>

namespace {

using faultvfs::Op;

const char* const kJobTables[] = {"LosNamen",       "Stabdaten",       "Teiledaten",
                                  "Werkzeugdaten",  "Druckdaten",      "StahlLosNamen",
                                  "StahlStabdaten", "StahlTeiledaten", "StahlWerkzeugdaten"};

QByteArray exampleFile(const char* name)
{
    return readFileBytes(QStringLiteral(VOV_TEST_DATA_DIR "/../../examples/plant/In/") + QLatin1String(name));
}

struct Fault {
    Op op;
    int code;
    bool sticky;
    const char* label;
};

// The engine's words for each fault, as the store layer passes them on.
bool namesTheFault(const QString& log)
{
    return log.contains(QStringLiteral("database or disk is full")) || log.contains(QStringLiteral("disk I/O error")) ||
           log.contains(QStringLiteral("currently locked"));
}

using Counts = std::map<std::string, int>;

// One import on a fresh plant: job mode (production, label and steel data of
// one job through ScanJob) or separate mode (its production data through
// ScanProductionData).
class FaultRun {
public:
    explicit FaultRun(bool jobMode) : m_jobMode(jobMode)
    {
        plant.createJobDatabase();
        plant.createProfileDatabase({{12, QStringLiteral("BR70-AD")}, {15, QStringLiteral("FL76-MD")}});
        Settings& s = plant.ctx.settings;
        s.JobLoadMode = jobMode ? LoadMode::Job : LoadMode::Separate;
        s.Extension = QStringLiteral("$tx");
        s.ExtensionEtikett = QStringLiteral("$et");
        s.ExtensionStahl = QStringLiteral("$sx");
        s.AutoFreigabe = true;
        s.printerType = PrinterType::Zebra;
        for (const char* ext : files())
            plant.writeJobFile(QStringLiteral("A1001.") + QLatin1String(ext),
                               exampleFile((std::string("A1001.") + ext).c_str()));
    }

    std::vector<const char*> files() const
    {
        if (m_jobMode)
            return {"$tx", "$et", "$sx"};
        return {"$tx"};
    }

    void scan()
    {
        if (m_jobMode)
            ScanJob(plant.ctx, importer);
        else
            ScanProductionData(plant.ctx, importer);
    }

    Counts counts()
    {
        Counts c;
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            d.setDatabaseName(plant.jobDatabasePath());
            EXPECT_TRUE(d.open());
            for (const char* table : kJobTables) {
                QSqlQuery q(QStringLiteral("SELECT COUNT(*) FROM %1 WHERE LosName='A1001'").arg(QLatin1String(table)),
                            d);
                c[table] = q.next() ? q.value(0).toInt() : -1;
            }
        }
        QSqlDatabase::removeDatabase(name);
        return c;
    }

    QString integrity()
    {
        QString result;
        const QString name = QUuid::createUuid().toString();
        {
            QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            d.setDatabaseName(plant.jobDatabasePath());
            if (!d.open())
                return d.lastError().text();
            QSqlQuery q(QStringLiteral("PRAGMA integrity_check"), d);
            while (q.next())
                result += q.value(0).toString();
        }
        QSqlDatabase::removeDatabase(name);
        return result;
    }

    QString server(const char* ext, const char* suffix = "") const
    {
        return plant.serverDir() + QStringLiteral("/A1001.") + QLatin1String(ext) + QLatin1String(suffix);
    }
    QString backup(const char* ext) const
    {
        return plant.programDir() + QStringLiteral("/prog.bak/A1001.") + QLatin1String(ext);
    }
    QString errorLog() const
    {
        return QString::fromLatin1(readFileBytes(plant.clientDir() + QStringLiteral("/error.dat")));
    }

    JobPlant plant;
    PlantImporter importer{plant.ctx, plant.job};

private:
    bool m_jobMode;
};

class DatabaseFaults : public ::testing::TestWithParam<bool> {
protected:
    // Hundreds of plants, each committing with full syncs: on a memory file
    // system where there is one, so that the walk takes seconds.
    static void SetUpTestSuite()
    {
        s_tmp = qgetenv("TMPDIR");
        if (QDir(QStringLiteral("/dev/shm")).exists())
            qputenv("TMPDIR", "/dev/shm");
    }
    static void TearDownTestSuite()
    {
        if (s_tmp.isNull())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", s_tmp);
    }
    static inline QByteArray s_tmp;

    void SetUp() override { ASSERT_TRUE(faultvfs::install()); }
    void TearDown() override { faultvfs::disarm(); }

    // The job as a fault-free import leaves it.
    Counts complete()
    {
        FaultRun run(GetParam());
        faultvfs::arm(Op::Write, 0, SQLITE_OK);
        run.scan();
        const Counts c = run.counts();
        EXPECT_GT(c.at("Werkzeugdaten"), 0);
        if (GetParam()) {
            EXPECT_GT(c.at("Druckdaten"), 0);
            EXPECT_GT(c.at("StahlTeiledaten"), 0);
        }
        for (const char* ext : run.files())
            EXPECT_TRUE(QFile::exists(run.backup(ext))) << ext;
        return c;
    }

    // Fails the n-th op of one import; false when the import never met it.
    // Checks the invariant, then lets the plant run one more cycle on a
    // healthy disk: a file left for that cycle must then import whole.
    bool runWith(const Fault& f, int n, const Counts& whole)
    {
        FaultRun run(GetParam());
        // Half the runs answer Retry, half Cancel.
        run.plant.prompt.retryCancelAnswers = {n % 2 ? Answer::Retry : Answer::Cancel};
        faultvfs::arm(f.op, n, f.code, f.sticky);
        run.scan();
        faultvfs::disarm();
        if (!faultvfs::fired())
            return false;

        const std::string where = std::string(GetParam() ? "job mode, " : "separate mode, ") + f.label + " at " +
                                  faultvfs::name(f.op) + " " + std::to_string(n);
        EXPECT_EQ(run.integrity(), QStringLiteral("ok")) << where;
        const Counts c = run.counts();
        const bool isWhole = c == whole;
        bool isAbsent = true;
        for (const auto& [table, rows] : c)
            isAbsent = isAbsent && rows == 0;
        ++(isWhole ? m_whole : m_absent);
        EXPECT_TRUE(isWhole || isAbsent) << where << ": half a job, e.g. Teiledaten " << c.at("Teiledaten") << " of "
                                         << whole.at("Teiledaten");
        bool leftForNextCycle = false;
        for (const char* ext : run.files()) {
            const bool inBackup = QFile::exists(run.backup(ext));
            const bool inServer = QFile::exists(run.server(ext));
            const bool setAside = QFile::exists(run.server(ext, ".$er"));
            EXPECT_EQ(int(inBackup) + int(inServer) + int(setAside), 1) << where << ": " << ext;
            if (isWhole) {
                EXPECT_TRUE(inBackup) << where << ": " << ext;
            }
            if (isAbsent) {
                EXPECT_FALSE(inBackup) << where << ": " << ext << " backed up, its rows gone";
            }
            leftForNextCycle = leftForNextCycle || inServer;
        }
        if (isAbsent) {
            EXPECT_TRUE(namesTheFault(run.errorLog())) << where << ": " << run.errorLog().toStdString();
        }

        if (leftForNextCycle) {
            ++m_readAgain;
            run.scan();
            EXPECT_EQ(run.counts(), whole) << where << ": the next cycle";
            EXPECT_EQ(run.integrity(), QStringLiteral("ok")) << where << ": the next cycle";
        }
        return true;
    }

    void walk(const Fault& f)
    {
        const Counts whole = complete();
        m_whole = m_absent = m_readAgain = 0;
        int n = 1;
        while (runWith(f, n, whole) && !HasFailure())
            ++n;
        ASSERT_GT(n, 1) << f.label << " " << faultvfs::name(f.op) << ": never met";
        std::printf("[ walk     ] %s %s: %d runs, job whole %d, absent %d (read again by the next cycle %d)\n", f.label,
                    faultvfs::name(f.op), n - 1, m_whole, m_absent, m_readAgain);
    }

    int m_whole = 0, m_absent = 0, m_readAgain = 0;
};

TEST_P(DatabaseFaults, EveryWriteFailingLeavesTheJobWholeOrAbsent)
{
    walk({Op::Write, SQLITE_FULL, false, "disk full"});
    walk({Op::Write, SQLITE_IOERR, false, "I/O error"});
}

TEST_P(DatabaseFaults, ADiskThatStaysFullLeavesTheJobAbsentAndItsFilesForLater)
{
    walk({Op::Write, SQLITE_FULL, true, "disk full for good"});
}

TEST_P(DatabaseFaults, EverySyncFailingLeavesTheJobWholeOrAbsent)
{
    walk({Op::Sync, SQLITE_IOERR, false, "I/O error"});
    walk({Op::Sync, SQLITE_FULL, false, "disk full"});
}

TEST_P(DatabaseFaults, EveryLockRefusedLeavesTheJobWholeOrAbsent)
{
    walk({Op::Lock, SQLITE_BUSY, false, "busy"});
    walk({Op::Lock, SQLITE_IOERR, false, "I/O error"});
    walk({Op::Lock, SQLITE_FULL, false, "disk full"});
}

INSTANTIATE_TEST_SUITE_P(Modes, DatabaseFaults, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? std::string("JobMode") : std::string("SeparateMode");
                         });

} // namespace
