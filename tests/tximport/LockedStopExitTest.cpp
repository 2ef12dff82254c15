// The job database is held locked by another writer from the moment a
// failed import is asked about until the failure has been dealt with: the
// deletes after the failure cannot run. That is reported, nothing of the
// job is visible, and the file is set aside as the operator answered.
#include "FaultVfs.h"
#include "JobPlant.h"

#include "intake/ScanCycle.h"
#include "tximport/PlantImporter.h"

#include <QDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

namespace {

TEST(LockedStopExit, TheFailureIsReportedNothingStaysAndTheFileIsSetAside)
{
    JobPlant plant;
    plant.createJobDatabase();
    plant.ctx.programDir = plant.programDir();
    plant.ctx.settings.Extension = QStringLiteral("$tx");
    plant.writeJobFile(QStringLiteral("J1.$tx"),
                       crlf({"KB 001L65000T12", "KTN0001L12350W0100100", "KTN0002L12350W0100100", "KTN0000L12350D1"}));
    ASSERT_TRUE(faultvfs::install());
    // Every lock from the question on is refused as "busy", whatever the
    // busy timeout waits.
    plant.prompt.onFailureQuestion = [] { faultvfs::arm(faultvfs::Op::Lock, 1, SQLITE_BUSY, true); };
    PlantImporter importer(plant.ctx, plant.job);

    ScanCycle(plant.ctx, importer).runOnce();
    const bool refused = faultvfs::fired();
    faultvfs::disarm();

    EXPECT_TRUE(refused);
    ASSERT_EQ(plant.prompt.asked.size(), 1u);
    EXPECT_EQ(QDir(plant.serverDir()).entryList(QDir::Files), QStringList{QStringLiteral("J1.$tx.$er")});
    EXPECT_EQ(queryValue(plant.jobDatabasePath(), QStringLiteral("SELECT COUNT(*) FROM LosNamen")).toInt(), 0);
    EXPECT_EQ(queryValue(plant.jobDatabasePath(), QStringLiteral("SELECT COUNT(*) FROM Teiledaten")).toInt(), 0);
    const std::string log = readFileBytes(plant.clientDir() + QStringLiteral("/error.dat")).toStdString();
    EXPECT_NE(log.find("DeleteLos: "), std::string::npos) << log;
}

} // namespace
