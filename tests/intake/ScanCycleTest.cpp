#include "intake/ScanCycle.h"

#include "RecordingImporter.h"
#include "TestSupport.h"
#include "platform/PendingError.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

void makeReadOnly(const QString& path)
{
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

// ---- the listing rule ------------------------------------------------------

struct ListingCase {
    std::vector<const char*> files; // a leading '!' marks a read-only file
    const char* extension;
    const char* picked;
};

class FirstWritableFileTest : public ::testing::TestWithParam<ListingCase> {
protected:
    TestPlant plant;
};

TEST_P(FirstWritableFileTest, PicksTheFirstFileThatMayBeWritten)
{
    for (const char* f : GetParam().files) {
        const bool readOnly = f[0] == '!';
        const QString path = plant.writeJobFile(QLatin1String(readOnly ? f + 1 : f), "x");
        if (readOnly)
            makeReadOnly(path);
    }
    PendingError err;
    EXPECT_EQ(FirstWritableFile(plant.serverDir(), QLatin1String(GetParam().extension), &err),
              QLatin1String(GetParam().picked));
    EXPECT_FALSE(err.pending());
}

INSTANTIATE_TEST_SUITE_P(
    Table, FirstWritableFileTest,
    ::testing::Values(ListingCase{{"a.$tx", "b.$tx"}, "$tx", "a.$tx"},
                      ListingCase{{"!a.$tx", "b.$tx"}, "$tx", "b.$tx"},
                      ListingCase{{"!a.$tx", "!b.$tx"}, "$tx", ""},
                      ListingCase{{}, "$tx", ""},
                      ListingCase{{"A.$TX"}, "$tx", "A.$TX"},
                      ListingCase{{"a.$tx"}, "$TX", "a.$tx"},
                      ListingCase{{"a.$tx.$er", "a.txt", "a.$et", "$tx"}, "$tx", ""},
                      ListingCase{{"job.$et", "job.$tx"}, "$et", "job.$et"}));

TEST(FirstWritableFile, MissingDirectoryIsPathNotFound)
{
    TestPlant plant;
    PendingError err;
    EXPECT_EQ(FirstWritableFile(plant.root() + QStringLiteral("/gone"), QStringLiteral("$tx"), &err), QString());
    EXPECT_EQ(err.number, ErrorNumber::PathNotFound);
    EXPECT_EQ(err.description, QStringLiteral("Path not found"));
}

// ---- separate mode -------------------------------------------------------

class ScanTest : public ::testing::Test {
protected:
    ScanTest()
    {
        plant.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
        plant.ctx.settings.ExtensionStahl = QStringLiteral("$sx");
    }
    QString inServer(const QString& name) const { return plant.serverDir() + u'/' + name; }
    QString bak(const QString& name) const { return plant.programDir() + QStringLiteral("/prog.bak/") + name; }
    bool inServerDir(const char* name) const { return QFileInfo::exists(inServer(QLatin1String(name))); }
    bool backedUp(const char* name) const { return QFileInfo::exists(bak(QLatin1String(name))); }
    QString scanError(const char* title, const char* description) const
    {
        return QStringLiteral("05.12.2026 10:30:00\r\n") + QLatin1String(title) + QStringLiteral("\r\n")
               + QLatin1String(description);
    }

    TestPlant plant;
    JobState& job = plant.job;
    RecordingImporter importer{plant.job};
};

TEST_F(ScanTest, SeparateModeTakesOneFileOfEachKind)
{
    makeReadOnly(plant.writeJobFile(QStringLiteral("a.$tx"), "x"));
    plant.writeJobFile(QStringLiteral("b.$tx"), "x");
    plant.writeJobFile(QStringLiteral("c.$tx"), "x");
    plant.writeJobFile(QStringLiteral("l.$ET"), "x");
    plant.writeJobFile(QStringLiteral("s.$sx"), "x");
    ScanCycle cycle(plant.ctx, job, importer);

    cycle.runOnce();

    EXPECT_EQ(importer.calls, (QStringList{QStringLiteral("ImportProductionData(b.$tx,0)"),
                                           QStringLiteral("ReadLabelFile(l.$ET)"),
                                           QStringLiteral("ImportProductionData(s.$sx,1)")}));
    EXPECT_EQ(cycle.cyclesRun(), 1);
}

TEST_F(ScanTest, EmptyExtensionsUseTheDefaultAndSkipTheirKinds)
{
    plant.ctx.settings.Extension.clear();
    plant.ctx.settings.ExtensionEtikett.clear();
    plant.ctx.settings.ExtensionStahl.clear();
    plant.writeJobFile(QStringLiteral("a.$et"), "x");
    plant.writeJobFile(QStringLiteral("a.$sx"), "x");
    plant.writeJobFile(QStringLiteral("a.$tx"), "x");
    ScanCycle cycle(plant.ctx, job, importer);

    cycle.runOnce();

    EXPECT_EQ(importer.calls, QStringList{QStringLiteral("ImportProductionData(a.$tx,0)")});
}

TEST_F(ScanTest, NothingHappensWithoutBothDirectories)
{
    for (QString Settings::*dir : {&Settings::clientDir, &Settings::serverDir}) {
        TestPlant p;
        p.writeJobFile(QStringLiteral("a.$tx"), "x");
        p.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
        p.ctx.settings.*dir = QString();
        RecordingImporter rec(p.job);
        ScanProductionData(p.ctx, rec);
        ScanLabelData(p.ctx, rec);
        ScanSteelData(p.ctx, rec);
        p.ctx.settings.JobLoadMode = 1;
        ScanJob(p.ctx, p.job, rec);
        EXPECT_TRUE(rec.calls.isEmpty());
        EXPECT_EQ(p.errorBox.changes, 0);
    }
}

struct ScanErrorCase {
    void (*scan)(ServerContext&, JobState&, JobImporter&);
    const char* title;
};

class ScanErrorTest : public ScanTest, public ::testing::WithParamInterface<ScanErrorCase> {};

TEST_P(ScanErrorTest, UnreachableServerDirectoryIsReportedUnderTheProcedureTitle)
{
    plant.ctx.settings.serverDir = plant.root() + QStringLiteral("/unplugged");
    GetParam().scan(plant.ctx, job, importer);
    EXPECT_EQ(plant.errorBox.text(), scanError(GetParam().title, "Path not found"));
    EXPECT_TRUE(importer.calls.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Procedures, ScanErrorTest,
    ::testing::Values(
        ScanErrorCase{[](ServerContext& c, JobState&, JobImporter& i) { ScanProductionData(c, i); },
                      "ERROR Server VOV ScanDir"},
        ScanErrorCase{[](ServerContext& c, JobState&, JobImporter& i) { ScanLabelData(c, i); },
                      "ERROR Server VOV Etikett ScanDir"},
        ScanErrorCase{[](ServerContext& c, JobState&, JobImporter& i) { ScanSteelData(c, i); },
                      "ERROR Server VOV Steel ScanDir"},
        ScanErrorCase{[](ServerContext& c, JobState& j, JobImporter& i) { ScanJob(c, j, i); },
                      "ERROR Server VOV ScanDir"}));

TEST_F(ScanTest, FailureEscapingAnImporterDoesNotStopTheNextKind)
{
    plant.writeJobFile(QStringLiteral("a.$tx"), "x");
    plant.writeJobFile(QStringLiteral("a.$sx"), "x");
    importer.throwing.insert(QStringLiteral("a.$tx"));
    ScanCycle cycle(plant.ctx, job, importer);

    cycle.runOnce();

    EXPECT_EQ(importer.calls, (QStringList{QStringLiteral("ImportProductionData(a.$tx,0)"),
                                           QStringLiteral("ImportProductionData(a.$sx,1)")}));
    EXPECT_EQ(plant.errorBox.text(), scanError("ERROR Server VOV ScanDir", "importer broke"));
}

// ---- the timer -----------------------------------------------------------

TEST_F(ScanTest, CycleStopsTheTimerAndReArmsItWithTheScanInterval)
{
    ScanCycle cycle(plant.ctx, job, importer);
    for (const int interval : {2000, 0}) {
        plant.ctx.settings.scanInterval = interval;
        plant.ctx.tmrLoad.setInterval(1100);
        plant.ctx.tmrLoad.start();
        cycle.runOnce();
        EXPECT_EQ(plant.ctx.tmrLoad.isActive(), interval > 0);
        if (interval > 0) {
            EXPECT_EQ(plant.ctx.tmrLoad.interval(), interval);
        }
    }
}

TEST_F(ScanTest, TimerRunsTheCycle)
{
    plant.writeJobFile(QStringLiteral("a.$tx"), "x");
    ScanCycle cycle(plant.ctx, job, importer);
    plant.ctx.tmrLoad.setInterval(1);
    plant.ctx.tmrLoad.start();

    QElapsedTimer waited;
    waited.start();
    while (cycle.cyclesRun() == 0 && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    EXPECT_EQ(cycle.cyclesRun(), 1);
    EXPECT_FALSE(plant.ctx.tmrLoad.isActive()); // scan interval 0: stays stopped
    EXPECT_EQ(importer.calls, QStringList{QStringLiteral("ImportProductionData(a.$tx,0)")});
}

// ---- job mode ------------------------------------------------------------

class JobModeTest : public ScanTest {
protected:
    JobModeTest()
    {
        plant.ctx.settings.JobLoadMode = 1;
        plant.ctx.form.chkAutoFreigabe = 1;
        plant.writeJobFile(QStringLiteral("job1.$tx"), "x");
        plant.writeJobFile(QStringLiteral("job1.$et"), "x");
        plant.writeJobFile(QStringLiteral("job1.$sx"), "x");
    }
    void runCycle()
    {
        ScanCycle cycle(plant.ctx, job, importer);
        cycle.runOnce();
    }
};

TEST_F(JobModeTest, LoadedJobIsBackedUpTogetherAndReleased)
{
    plant.writeJobFile(QStringLiteral("orphan.$et"), "x");

    runCycle();

    EXPECT_EQ(importer.calls, (QStringList{QStringLiteral("ImportProductionData(job1.$tx,0)"),
                                           QStringLiteral("ReadLabelFile(job1.$et)"),
                                           QStringLiteral("ImportProductionData(job1.$sx,1)")}));
    for (const char* f : {"job1.$tx", "job1.$et", "job1.$sx"}) {
        EXPECT_TRUE(backedUp(f)) << f;
        EXPECT_FALSE(inServerDir(f)) << f;
    }
    EXPECT_TRUE(inServerDir("orphan.$et"));
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerAktiv")), QStringLiteral("1"));
}

TEST_F(JobModeTest, MissingCompanionFilesAreAskedForButOnlyExistingOnesMoved)
{
    QFile::remove(inServer(QStringLiteral("job1.$et")));
    plant.ctx.settings.ExtensionStahl.clear();

    runCycle();

    EXPECT_EQ(importer.calls, (QStringList{QStringLiteral("ImportProductionData(job1.$tx,0)"),
                                           QStringLiteral("ReadLabelFile(job1.$et)")}));
    EXPECT_TRUE(backedUp("job1.$tx"));
    EXPECT_TRUE(inServerDir("job1.$sx"));
}

TEST_F(JobModeTest, FailedLabelDataWithCancelRollsBackAndMakesErrorCopies)
{
    importer.failing.insert(QStringLiteral("job1.$et"));
    importer.failAnswer = Answer::Cancel;

    runCycle();

    EXPECT_EQ(importer.calls, (QStringList{QStringLiteral("ImportProductionData(job1.$tx,0)"),
                                           QStringLiteral("ReadLabelFile(job1.$et)"), QStringLiteral("DeleteLos(job1,0)"),
                                           QStringLiteral("DeletePrintData(job1)")}));
    EXPECT_TRUE(inServerDir("job1.$tx.$er"));
    EXPECT_TRUE(inServerDir("job1.$et.$er"));
    EXPECT_FALSE(inServerDir("job1.$tx"));
    EXPECT_FALSE(inServerDir("job1.$et"));
    EXPECT_TRUE(inServerDir("job1.$sx")); // never read
    EXPECT_FALSE(backedUp("job1.$tx"));
    EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerAktiv")), QString());
}

TEST_F(JobModeTest, FailedLabelDataWithRetryRollsBackButKeepsTheFiles)
{
    importer.failing.insert(QStringLiteral("job1.$et"));
    importer.failAnswer = Answer::Retry;

    runCycle();

    EXPECT_EQ(importer.calls, (QStringList{QStringLiteral("ImportProductionData(job1.$tx,0)"),
                                           QStringLiteral("ReadLabelFile(job1.$et)"), QStringLiteral("DeleteLos(job1,0)"),
                                           QStringLiteral("DeletePrintData(job1)")}));
    for (const char* f : {"job1.$tx", "job1.$et", "job1.$sx"})
        EXPECT_TRUE(inServerDir(f)) << f;
    EXPECT_FALSE(inServerDir("job1.$tx.$er"));
    EXPECT_FALSE(inServerDir("job1.$et.$er"));

    // The next cycle reads the same job again.
    importer.failing.clear();
    importer.calls.clear();
    runCycle();
    EXPECT_EQ(importer.calls.value(0), QStringLiteral("ImportProductionData(job1.$tx,0)"));
    EXPECT_TRUE(backedUp("job1.$tx"));
}

TEST_F(JobModeTest, FailedSteelDataRollsBackAllThreeKinds)
{
    importer.failing.insert(QStringLiteral("job1.$sx"));

    runCycle();

    EXPECT_EQ(importer.calls,
              (QStringList{QStringLiteral("ImportProductionData(job1.$tx,0)"), QStringLiteral("ReadLabelFile(job1.$et)"),
                           QStringLiteral("ImportProductionData(job1.$sx,1)"), QStringLiteral("DeleteLos(job1,0)"),
                           QStringLiteral("DeletePrintData(job1)"), QStringLiteral("DeleteLos(job1,1)")}));
    for (const char* f : {"job1.$tx.$er", "job1.$et.$er", "job1.$sx.$er"})
        EXPECT_TRUE(inServerDir(f)) << f;
}

TEST_F(JobModeTest, CancelAtTheJobExistsQuestionKeepsTheJobInTheDatabase)
{
    importer.cancelAtExistsQuestion = true;

    runCycle();

    EXPECT_EQ(importer.calls, QStringList{QStringLiteral("ImportProductionData(job1.$tx,0)")});
    EXPECT_TRUE(inServerDir("job1.$tx.$er"));
    EXPECT_TRUE(inServerDir("job1.$et"));
    EXPECT_TRUE(inServerDir("job1.$sx"));
}

} // namespace
