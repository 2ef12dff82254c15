// Faults of the plant that must neither block the queue, nor lose a job file,
// nor set aside a file that was never wrong: the scan cycle with the real
// importers on a temporary plant whose file system misbehaves.
#include "ImportHelpers.h"

#include <QRegularExpression>

#include <utility>

#include <gtest/gtest.h>

namespace {

const QByteArray kJob = crlf({"KB 001L65000T12", "KTN0001L12350W0100100"});

class Hardening : public ::testing::Test {
protected:
    // One cycle; returns the server directory's files afterwards.
    QString cycle()
    {
        scan.runOnce();
        return plant.serverFiles();
    }
    int jobs() const { return queryValue(plant.jobDatabasePath(), "SELECT COUNT(*) FROM LosNamen").toInt(); }

    readertest::ScanPlant plant;
    ScanCycle scan{plant.ctx, plant.importer};
};

// Only regular files are job files, and a link is never followed, whatever
// it leads to: a link to a device (reading would never end), a
// directory, and a link to a file private to its owner are named once and
// never read, while the good job beside them is imported. The file linked
// to stays as it was.
TEST_F(Hardening, OnlyRegularFilesAreJobFilesAndLinksAreNeverFollowed)
{
    // A job file private to its owner, outside the server directory.
    const QByteArray secretJob = crlf({"KB 001L65000T12TFPRIVATE-BAR", "KTN0001L12350W0100100"});
    const QString job = plant.root() + QStringLiteral("/job");
    ASSERT_TRUE(QFile::rename(plant.writeJobFile(QStringLiteral("job"), secretJob), job));
    QFile::setPermissions(job, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), plant.serverDir() + QStringLiteral("/A0.$tx")));
    QDir(plant.serverDir()).mkdir(QStringLiteral("A2.$tx"));
    ASSERT_TRUE(QFile::link(job, plant.serverDir() + QStringLiteral("/A3.$tx")));
    plant.writeJobFile(QStringLiteral("B1.$tx"), kJob);

    EXPECT_EQ(cycle(), "A0.$tx A3.$tx");
    EXPECT_TRUE(plant.inBackup(QStringLiteral("B1.$tx")));
    EXPECT_EQ(jobs(), 1);
    const QByteArray logged = plant.errorLog();
    EXPECT_TRUE(logged.contains("Not a regular file, never read: A0.$tx, A2.$tx, A3.$tx"));
    cycle();
    EXPECT_EQ(plant.errorLog(), logged) << "named once only";

    EXPECT_EQ(readFileBytes(job), secretJob);
    EXPECT_FALSE(QFile::permissions(job) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) << "still private";
}

// An extra backup folder that is the server directory: copying the loaded
// file there would replace the file itself; it is never deleted.
TEST_F(Hardening, NoConfigurationMakesAJobFileVanish)
{
    plant.ctx.settings.backupDir = plant.serverDir() + QStringLiteral("/");
    plant.writeJobFile(QStringLiteral("A1.$tx"), kJob);
    cycle();
    EXPECT_EQ(readFileBytes(plant.programDir() + QStringLiteral("/prog.bak/A1.$tx")), kJob);
}

// prog.bak cannot be made: nothing is imported (it would be imported again
// at every cycle), the folder is named once, and the file waits.
TEST_F(Hardening, AnUnusableBackupFolderStopsImportsInsteadOfRepeatingThem)
{
    // A file where the folder should be.
    ASSERT_TRUE(QFile::rename(plant.writeJobFile(QStringLiteral("blocker"), QByteArray()),
                              plant.programDir() + QStringLiteral("/prog.bak")));
    plant.writeJobFile(QStringLiteral("A1.$tx"), kJob);

    EXPECT_EQ(cycle(), "A1.$tx");
    EXPECT_EQ(cycle(), "A1.$tx");
    EXPECT_EQ(jobs(), 0);
    EXPECT_TRUE(plant.errorBox.text().contains(QStringLiteral("prog.bak cannot be made")))
        << plant.errorBox.text().toStdString();

    QFile::remove(plant.programDir() + QStringLiteral("/prog.bak"));
    EXPECT_EQ(cycle(), "");
    EXPECT_EQ(jobs(), 1);
    EXPECT_TRUE(plant.inBackup(QStringLiteral("A1.$tx")));
}

// A server directory that is gone (a share not mounted) and a job database
// that is gone are said once however many cycles they last, in both modes:
// the first report as the scan or the import writes it, and once, with the
// time, when they are back; the waiting job is then read.
TEST_F(Hardening, AMissingServerDirectoryOrDatabaseIsSaidOnceWhenItStartsAndOnceWhenItEnds)
{
    plant.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
    // What the cycles said, blank texts (an import clearing the box) left out.
    const auto said = [&] { return std::exchange(plant.errorBox.history, {}).filter(QRegularExpression("\\S")); };
    for (const bool database : {false, true}) {
        SCOPED_TRACE(database ? "job database, job mode" : "server directory, separate mode");
        plant.ctx.settings.JobLoadMode = database ? LoadMode::Job : LoadMode::Separate;
        const QString job = database ? QStringLiteral("A2") : QStringLiteral("A1");
        plant.writeJobFile(job + QStringLiteral(".$tx"), crlf({"KB 001L65000T12", "KTN0001L12350D1"}));
        plant.writeJobFile(job + QStringLiteral(".$et"), crlf({"ED 0001 label"}));
        const QString away = database ? plant.jobDatabasePath() : plant.serverDir();
        ASSERT_TRUE(QDir().rename(away, away + QStringLiteral(".away")));
        for (int i = 0; i < 3; ++i)
            scan.runOnce();
        EXPECT_EQ(said(), QStringList{database ? QStringLiteral("05.12.2026 10:30:00:  ------------\r\nJob: A2\r\n"
                                                                "openDB: Could not find file '%1'.")
                                                     .arg(away)
                                               : QStringLiteral("05.12.2026 10:30:00\r\nERROR Server VOV ScanDir\r\n"
                                                                "Path not found")});

        ASSERT_TRUE(QDir().rename(away + QStringLiteral(".away"), away));
        EXPECT_EQ(cycle(), "");
        scan.runOnce();
        EXPECT_EQ(said(),
                  QStringList{
                      QStringLiteral("05.12.2026 10:30:00: %1 %2 is there again; job files are read again.")
                          .arg(database ? QStringLiteral("Job database") : QStringLiteral("Server directory"), away)});
        EXPECT_EQ(jobs(), database ? 2 : 1);
    }
    EXPECT_TRUE(plant.prompt.asked.empty());
    EXPECT_TRUE(plant.errorLog().contains("openDB: Could not find file"));
}

} // namespace
