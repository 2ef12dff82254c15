#include "intake/ScanCycle.h"

#include "intake/FileHandling.h"
#include "intake/ImportLedger.h"
#include "intake/SettleGuard.h"
#include "platform/db/Database.h"

#include "RecordingImporter.h"
#include "TestPlant.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <tuple>

namespace {

class ScanTest : public ::testing::Test {
protected:
    ScanTest()
    {
        plant.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
        plant.ctx.settings.ExtensionStahl = QStringLiteral("$sx");
    }
    void write(std::initializer_list<const char*> files)
    {
        for (const char* f : files)
            plant.writeJobFile(QLatin1String(f), "x");
    }
    // Runs one cycle; the importer calls it made.
    std::string cycle()
    {
        importer.calls.clear();
        scan.runOnce();
        return importer.calls.join(u' ').toStdString();
    }
    std::string box() const { return plant.errorBox.text().toStdString(); }

    TestPlant plant;
    RecordingImporter importer;
    ScanCycle scan{plant.ctx, importer};
};

// Each kind's first file by name that matches its extension in any case and may be written.
TEST_F(ScanTest, SeparateModeTakesTheFirstWritableFileOfEachKind)
{
    write({"a.$tx", "b.$tx", "c.$tx", "a.$tx.$er", "a.txt", "l.$ET", "s.$sx"});
    makeReadOnly(plant.serverDir() + QStringLiteral("/a.$tx"));
    plant.ctx.settings.Extension = QStringLiteral("$TX");
    EXPECT_EQ(cycle(), "ImportProductionData(b.$tx,0) ReadLabelFile(l.$ET) ImportProductionData(s.$sx,1)");
    plant.ctx.settings.Extension.clear(); // "$tx" is the default; b.$tx went to the backup
    plant.ctx.settings.ExtensionEtikett.clear();
    plant.ctx.settings.ExtensionStahl.clear();
    EXPECT_EQ(cycle(), "ImportProductionData(c.$tx,0)");
    // prog.bak as the server directory would import the backups again: it is not read, and that is said once.
    plant.ctx.settings.serverDir = plant.programDir() + QStringLiteral("/prog.bak/");
    EXPECT_EQ(cycle() + cycle(), "");
    EXPECT_EQ(plant.errorBox.text().count(QStringLiteral("is the backup")), 1) << box();
}

TEST_F(ScanTest, FailuresAreReportedUnderTheProcedureTitleAndTheNextKindIsStillRead)
{
    plant.ctx.settings.serverDir = plant.root() + QStringLiteral("/unplugged");
    ScanProductionData(plant.ctx, importer);
    EXPECT_EQ(box(), "05.12.2026 10:30:00\r\nERROR Server VOV ScanDir\r\nPath not found");
    ScanLabelData(plant.ctx, importer);
    EXPECT_EQ(box(), "05.12.2026 10:30:00\r\nERROR Server VOV Etikett ScanDir\r\nPath not found");
    ScanSteelData(plant.ctx, importer);
    EXPECT_EQ(box(), "05.12.2026 10:30:00\r\nERROR Server VOV Steel ScanDir\r\nPath not found");

    // Headless, a cycle's reports are held back only while a fault of the
    // machine goes on; a failure after a good cycle is written.
    plant.ctx.settings.serverDir = plant.serverDir();
    plant.prompt.byPolicy = true;
    write({"a.$tx"});
    cycle();
    write({"b.$tx", "b.$sx"});
    importer.throwing = QStringLiteral("b.$tx");
    EXPECT_EQ(cycle(), "ImportProductionData(b.$tx,0) ImportProductionData(b.$sx,1)");
    EXPECT_EQ(box(), "05.12.2026 10:30:00\r\nERROR Server VOV ScanDir\r\nimporter broke");
}

TEST_F(ScanTest, TimerRunsTheCycleWhichReArmsItOnlyWithAPositiveScanInterval)
{
    plant.ctx.settings.scanInterval = 2000;
    plant.ctx.tmrLoad.start(1);
    for (QDeadlineTimer deadline(5000); scan.cyclesRun() == 0 && !deadline.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_EQ(scan.cyclesRun(), 1);
    EXPECT_EQ(plant.ctx.tmrLoad.isActive() ? plant.ctx.tmrLoad.interval() : 0, 2000);
    plant.ctx.settings.scanInterval = 0;
    cycle();
    EXPECT_FALSE(plant.ctx.tmrLoad.isActive());
}

TEST_F(ScanTest, SingleCycleWaitsWithinTheCycleForAFreshFile)
{
    constexpr int kSettleMs = 400;
    auto guard = std::make_shared<SettleGuard>(kSettleMs, true);
    plant.ctx.fileSettled = [guard](const QString& path) { return (*guard)(path); };
    plant.writeJobFile(QStringLiteral("b.$tx"), "KB 001L65000T12\r\n");

    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(cycle(), "ImportProductionData(b.$tx,0)");
    EXPECT_GE(timer.elapsed(), kSettleMs);
}

// The calls that read all three files of job1, and those that undo it after a failure.
const std::string kReadsJob1 =
    "beginJob ImportProductionData(job1.$tx,0) ReadLabelFile(job1.$et) ImportProductionData(job1.$sx,1) ";
const std::string kUndoesJob1 = "rollBackJob DeleteLos(job1,0) DeletePrintData(job1) DeleteLos(job1,1)";

class JobModeTest : public ScanTest {
protected:
    JobModeTest()
    {
        plant.ctx.settings.JobLoadMode = LoadMode::Job;
        plant.ctx.settings.AutoFreigabe = true;
        write({"job1.$tx", "job1.$et", "job1.$sx"});
    }
    // "<server directory files> | <backups>"
    std::string files() const
    {
        const auto list = [](const QString& dir) { return QDir(dir).entryList(QDir::Files, QDir::Name).join(u' '); };
        return (list(plant.serverDir()) + " | " + list(plant.programDir() + "/prog.bak")).toStdString();
    }
};

TEST_F(JobModeTest, MissingLabelFileIsStillAskedForAndAnEmptySteelExtensionSkipsSteel)
{
    QFile::remove(plant.serverDir() + QStringLiteral("/job1.$et"));
    plant.ctx.settings.ExtensionStahl.clear();
    EXPECT_EQ(cycle(), "beginJob ImportProductionData(job1.$tx,0) ReadLabelFile(job1.$et) commitJob");
    EXPECT_EQ(files(), "job1.$sx | job1.$tx");
}

// Cancel at the job-exists question keeps the job in the database and sets
// only the job file aside; a failed job is rolled back, and Retry keeps its
// files while Cancel sets them all aside.
TEST_F(JobModeTest, FailedOrCancelledJobIsRolledBackAndRetryKeepsItsFilesWhileCancelSetsThemAside)
{
    importer.cancelAtExistsQuestion = true;
    EXPECT_EQ(cycle(), "beginJob ImportProductionData(job1.$tx,0) rollBackJob");
    EXPECT_EQ(files(), "job1.$et job1.$sx job1.$tx.$er | ");
    importer.cancelAtExistsQuestion = false;
    write({"job1.$tx"});
    importer.failing = QStringLiteral("job1.$et");
    plant.prompt.retryCancelAnswers = {Answer::Retry};
    EXPECT_EQ(cycle(), "beginJob ImportProductionData(job1.$tx,0) ReadLabelFile(job1.$et) rollBackJob "
                       "DeleteLos(job1,0) DeletePrintData(job1)");
    EXPECT_EQ(files(), "job1.$et job1.$sx job1.$tx job1.$tx.$er | ");
    importer.failing = QStringLiteral("job1.$sx");
    plant.prompt.retryCancelAnswers = {Answer::Cancel};
    EXPECT_EQ(cycle(), kReadsJob1 + kUndoesJob1);
    EXPECT_EQ(files(), "job1.$et.$er job1.$sx.$er job1.$tx.$er | ");
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerAktiv")), QString());
}

// The job is committed before any file moves; a commit that fails is asked
// about like a failed file, and a failure that escapes an importer rolls the
// job back and leaves every file in place.
TEST_F(JobModeTest, CommitComesBeforeTheBackupAndAFailedCommitOrAnEscapeRollsBack)
{
    importer.failCommit = true;
    plant.prompt.retryCancelAnswers = {Answer::Retry};
    EXPECT_EQ(cycle(), kReadsJob1 + "commitJob " + kUndoesJob1);
    EXPECT_EQ(files(), "job1.$et job1.$sx job1.$tx | ");
    ASSERT_EQ(plant.prompt.asked.size(), 1u);
    EXPECT_EQ(plant.prompt.asked[0].text.toStdString(),
              "Job: job1.$tx not correct loaded!!\r\n\r\nDisk or network error.\r\n");

    importer.failCommit = false;
    importer.throwing = QStringLiteral("job1.$et");
    EXPECT_EQ(cycle(), "beginJob ImportProductionData(job1.$tx,0) ReadLabelFile(job1.$et) rollBackJob");
    EXPECT_EQ(files(), "job1.$et job1.$sx job1.$tx | ");

    importer.throwing.clear();
    EXPECT_EQ(cycle(), kReadsJob1 + "commitJob");
    EXPECT_EQ(files(), " | job1.$et job1.$sx job1.$tx");
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerAktiv")), QStringLiteral("1"));
}

// A job's settled ledger rows go with the job's row; rows of files set
// aside belong to no job and go with the error copies, after seven days.
TEST(ImportLedgerTest, RowsGoWithTheirJobAndSetAsideRowsAfterAWeek)
{
    TestPlant plant;
    plant.createJobDatabase();
    db::Database database;
    PendingError err;
    ASSERT_TRUE(database.open(plant.jobDatabasePath(), err, db::Database::Transaction::AutoCommit));
    ASSERT_TRUE(database.execute(QStringLiteral("INSERT INTO LosNamen (LosName) VALUES ('J1')"), {}, err));
    const auto take = [&](const char* file, const char* job, LedgerOutcome outcome, const QDateTime& at) {
        const QString path = plant.writeJobFile(QLatin1String(file), file);
        ASSERT_TRUE(
            recordInLedger(database, {ledgerEntry(path, QLatin1String(job), FileKind::Production, outcome)}, at, err));
    };
    const QDateTime now = plant.clock.now();
    take("J1.$tx", "J1", LedgerOutcome::Loaded, now.addDays(-30));
    take("X1.$tx", "X1", LedgerOutcome::SetAside, now.addDays(-8));
    take("X2.$tx", "X2", LedgerOutcome::SetAside, now.addDays(-6));
    settleLedger(plant.ctx);
    ASSERT_TRUE(database.execute(QStringLiteral("DELETE FROM LosNamen WHERE LosName = 'J1'"), {}, err));
    PurgeOldErrorCopies(plant.ctx, nullptr);
    EXPECT_EQ(queryRows(plant.jobDatabasePath(), QStringLiteral("SELECT FileName FROM ImportLedger")),
              QList<QVariantList>{{QStringLiteral("X2.$tx")}});
}

TEST(SettleRule, TakesAFileOnlyAfterItStayedTheSameForTheSettleTime)
{
    // Each look at the file: its size, its time stamp, the time of the look, whether the guard takes it then.
    const struct {
        int settleMs;
        std::vector<std::tuple<qint64, qint64, qint64, bool>> looks;
    } cases[] = {
        // off: taken at once
        {0, {{10, 0, 1000, true}}},
        // unchanged: settled after the time from the first look (an old file too: the writer's clock may be off)
        {2000, {{10, 0, 10000, false}, {10, 0, 11500, false}, {10, 0, 12000, true}, {10, 0, 13000, true}}},
        // a change is dated by a plausible stamp: seen at 11500, made at 11000, taken from 13000 on
        {2000, {{10, 0, 10000, false}, {20, 11000, 11500, false}, {20, 11000, 12900, false}, {20, 11000, 13000, true}}},
        // a stamp in the future is not believed: the change counts from the look
        {2000, {{10, 0, 10000, false}, {20, 99000, 11000, false}, {20, 99000, 12900, false}, {20, 99000, 13000, true}}},
        // nor is one before the last look
        {2000, {{10, 0, 10000, false}, {30, 5000, 14000, false}, {30, 5000, 16000, true}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "case " << &c - cases);
        SettleGuard guard(c.settleMs);
        for (const auto& [size, modifiedMs, nowMs, settled] : c.looks)
            EXPECT_EQ(guard.settled(QStringLiteral("/in/a.$tx"), size, modifiedMs, nowMs), settled) << "at " << nowMs;
        // Another file is judged on its own.
        EXPECT_EQ(guard.settled(QStringLiteral("/in/b.$tx"), 1, 0, 1'000'000), c.settleMs <= 0);
    }
}

} // namespace
