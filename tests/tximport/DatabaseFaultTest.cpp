// A job database whose file system fails: every write, sync and lock of one
// import is failed in turn (a full disk, an I/O error, a lock refused), and
// after each the job is either all there with its files in the backup, or
// not there at all with its files still in the server directory or set
// aside, and the failure was reported with the engine's own words.
#include "FaultVfs.h"
#include "ImportHelpers.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

using faultvfs::Op;
using readertest::ScanPlant;

const char* const kJobTables[] = {"LosNamen",       "Stabdaten",       "Teiledaten",
                                  "Werkzeugdaten",  "Druckdaten",      "StahlLosNamen",
                                  "StahlStabdaten", "StahlTeiledaten", "StahlWerkzeugdaten"};

struct Fault {
    Op op;
    int code;
    bool sticky;
    const char* label;
};

// One job-mode import of the sample job A1001 (production, label and steel
// data through ScanJob) on a fresh plant.
class FaultRun : public ScanPlant {
public:
    FaultRun()
    {
        createProfileDatabase({{12, QStringLiteral("BR70-AD")}, {15, QStringLiteral("FL76-MD")}});
        wholeJobs(LoadMode::Job);
        for (const QString& name : kFiles)
            writeJobFile(name, readFileBytes(QStringLiteral(VOV_TEST_DATA_DIR "/../../examples/plant/In/") + name));
    }
    void scan() { ScanJob(ctx, importer); }
    std::vector<int> counts() const
    {
        std::vector<int> c;
        for (const char* table : kJobTables)
            c.push_back(count(table, QStringLiteral("A1001")));
        return c;
    }
    QString integrity() const { return queryValue(jobDatabasePath(), "PRAGMA integrity_check").toString(); }
    const QStringList kFiles{QStringLiteral("A1001.$tx"), QStringLiteral("A1001.$et"), QStringLiteral("A1001.$sx")};
};

class DatabaseFaults : public ::testing::TestWithParam<Fault> {
protected:
    void SetUp() override { ASSERT_TRUE(faultvfs::install()); }
    void TearDown() override { faultvfs::disarm(); }

    // Fails the n-th op of one import; false when the import never met it.
    // Checks the invariant, then lets the plant run one more cycle on a
    // healthy disk: a file left for that cycle must then import whole.
    bool runWith(const Fault& f, int n, const std::vector<int>& whole)
    {
        FaultRun run;
        // Half the runs answer Retry, half Cancel.
        run.prompt.retryCancelAnswers = {n % 2 ? Answer::Retry : Answer::Cancel};
        faultvfs::arm(f.op, n, f.code, f.sticky);
        run.scan();
        faultvfs::disarm();
        if (!faultvfs::fired())
            return false;

        SCOPED_TRACE(std::string(f.label) + " at " + faultvfs::name(f.op) + " " + std::to_string(n));
        EXPECT_EQ(run.integrity(), QStringLiteral("ok"));
        const std::vector<int> c = run.counts();
        const bool isWhole = c == whole;
        const bool isAbsent = c == std::vector<int>(c.size(), 0);
        EXPECT_TRUE(isWhole || isAbsent) << "half a job, e.g. Teiledaten " << c[2] << " of " << whole[2];
        bool leftForNextCycle = false;
        for (const QString& name : run.kFiles) {
            const bool inBackup = run.inBackup(name), inServer = run.inServer(name);
            EXPECT_EQ(int(inBackup) + int(inServer) + int(run.inServer(name + ".$er")), 1) << name.toStdString();
            EXPECT_TRUE(!isWhole || inBackup) << name.toStdString();
            EXPECT_TRUE(!isAbsent || !inBackup) << name.toStdString() << " backed up, its rows gone";
            leftForNextCycle = leftForNextCycle || inServer;
        }
        // The engine's words for each fault, as the store layer passes them on.
        const QString log = QString::fromLatin1(run.errorLog());
        EXPECT_TRUE(!isAbsent || log.contains(QStringLiteral("database or disk is full")) ||
                    log.contains(QStringLiteral("disk I/O error")) || log.contains(QStringLiteral("currently locked")))
            << log.toStdString();
        if (leftForNextCycle) {
            run.scan();
            EXPECT_EQ(run.counts(), whole) << "the next cycle";
            EXPECT_EQ(run.integrity(), QStringLiteral("ok")) << "the next cycle";
        }
        return true;
    }
};

TEST_P(DatabaseFaults, EveryFaultLeavesTheJobWholeOrAbsent)
{
    const Fault& f = GetParam();
    FaultRun clean; // the job as a fault-free import leaves it
    clean.scan();
    const std::vector<int> whole = clean.counts();
    EXPECT_TRUE(whole[3] > 0 && whole[4] > 0 && whole[7] > 0); // Werkzeugdaten, Druckdaten, StahlTeiledaten
    for (const QString& name : clean.kFiles)
        EXPECT_TRUE(clean.inBackup(name)) << name.toStdString();
    int n = 1;
    while (runWith(f, n, whole) && !HasFailure())
        ++n;
    ASSERT_GT(n, 1) << f.label << " " << faultvfs::name(f.op) << ": never met";
}

INSTANTIATE_TEST_SUITE_P(Walks, DatabaseFaults,
                         ::testing::Values(Fault{Op::Write, SQLITE_IOERR, false, "WriteIoError"},
                                           Fault{Op::Write, SQLITE_FULL, true, "DiskFullForGood"},
                                           Fault{Op::Sync, SQLITE_FULL, false, "SyncDiskFull"},
                                           Fault{Op::Lock, SQLITE_BUSY, false, "LockBusy"},
                                           Fault{Op::Lock, SQLITE_IOERR, false, "LockIoError"}),
                         [](const auto& info) { return std::string(info.param.label); });

} // namespace
