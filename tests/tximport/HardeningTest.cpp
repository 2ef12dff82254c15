// Faults of the plant that must neither block the queue, nor lose a job file,
// nor set aside a file that was never wrong: the scan cycle with the real
// importers on a temporary plant. The file system under it misbehaves too:
// links among the job files, a backup folder that cannot be made,
// a server directory that is gone for a while,
// a job database that is gone. No job file is lost.
#include "ImportHelpers.h"

#include <QRegularExpression>
#include <QTemporaryDir>

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
    int jobs(const char* table = "LosNamen") const { return plant.count(table, QString()); }
    std::string box() const { return plant.errorBox.text().toStdString(); }

    readertest::ScanPlant plant;
    ScanCycle scan{plant.ctx, plant.importer};
};

// Only regular files are job files, and a link is never followed, whatever
// it leads to: a link to a device (reading would never end), a
// directory, and a link to a file private to its owner are named once and
// never read, while the good job beside them is imported. Nothing of the
// linked files reaches the logs or the database.
TEST_F(Hardening, OnlyRegularFilesAreJobFilesAndLinksAreNeverFollowed)
{
    QTemporaryDir elsewhere;
    // A job file private to its owner, elsewhere.
    const QByteArray secretJob = crlf({"KB 001L65000T12TFSECRET-BAR", "KTN0001L12350W0100100"});
    const QString job = elsewhere.path() + QStringLiteral("/job");
    QFile f(job);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(secretJob) == secretJob.size());
    f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    f.close();
    const auto link = [&](const QString& to, const char* name) {
        ASSERT_TRUE(QFile::link(to, plant.serverDir() + u'/' + QLatin1String(name)));
    };
    link(QStringLiteral("/dev/zero"), "A0.$tx");
    QDir(plant.serverDir()).mkdir(QStringLiteral("A2.$tx"));
    link(job, "A3.$tx");
    plant.writeJobFile(QStringLiteral("B1.$tx"), kJob);

    EXPECT_EQ(cycle(), "A0.$tx A3.$tx");
    EXPECT_TRUE(plant.inBackup(QStringLiteral("B1.$tx")));
    EXPECT_EQ(jobs(), 1);
    const QByteArray logged = plant.errorLog();
    EXPECT_TRUE(logged.contains("Not a regular file, never read: A0.$tx, A2.$tx, A3.$tx"));
    cycle();
    EXPECT_EQ(plant.errorLog(), logged) << "named once only";

    EXPECT_FALSE(plant.errorLog().contains("SECRET"));
    EXPECT_EQ(readFileBytes(job), secretJob);
    EXPECT_FALSE(QFile::permissions(job) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) << "still private";
}

// Configurations in which a loaded file would be moved onto itself: the
// file is never deleted, whatever the backup steps do.
TEST_F(Hardening, NoConfigurationMakesAJobFileVanish)
{
    plant.ctx.settings.backupDir = plant.serverDir() + QStringLiteral("/");
    plant.writeJobFile(QStringLiteral("A1.$tx"), kJob);
    cycle();
    EXPECT_EQ(readFileBytes(plant.programDir() + QStringLiteral("/prog.bak/A1.$tx")), kJob);

    // The server directory is prog.bak itself.
    plant.ctx.settings.backupDir.clear();
    plant.ctx.settings.serverDir = plant.programDir() + QStringLiteral("/prog.bak");
    plant.prompt.yesNoCancelAnswers = {Answer::No};
    cycle();
    EXPECT_EQ(readFileBytes(plant.programDir() + QStringLiteral("/prog.bak/A1.$tx")), kJob);
}

// prog.bak cannot be made: nothing is imported (it would be imported again
// at every cycle), the folder is named once, and the file waits.
TEST_F(Hardening, AnUnusableBackupFolderStopsImportsInsteadOfRepeatingThem)
{
    QDir().mkpath(plant.programDir());
    QFile blocker(plant.programDir() + QStringLiteral("/prog.bak"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    plant.writeJobFile(QStringLiteral("A1.$tx"), kJob);

    EXPECT_EQ(cycle(), "A1.$tx");
    EXPECT_EQ(cycle(), "A1.$tx");
    EXPECT_EQ(jobs(), 0);
    EXPECT_NE(box().find("prog.bak cannot be made"), std::string::npos) << box();

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
    const auto said = [&] {
        QStringList texts = plant.errorBox.history.filter(QRegularExpression(QStringLiteral("\\S")));
        plant.errorBox.history.clear();
        return texts;
    };
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
        const QStringList started = said();
        ASSERT_EQ(started.size(), 1) << started.join(QStringLiteral("\n---\n")).toStdString();
        EXPECT_TRUE(started[0].contains(database ? QStringLiteral("Job: A2\r\nopenDB: Could not find file")
                                                 : QStringLiteral("ERROR Server VOV ScanDir\r\nPath not found")))
            << started[0].toStdString();

        ASSERT_TRUE(QDir().rename(away + QStringLiteral(".away"), away));
        EXPECT_EQ(cycle(), "");
        scan.runOnce();
        const QStringList ended = said();
        ASSERT_EQ(ended.size(), 1) << ended.join(QStringLiteral("\n---\n")).toStdString();
        EXPECT_EQ(ended[0],
                  QStringLiteral("05.12.2026 10:30:00: %1 %2 is there again; job files are read again.")
                      .arg(database ? QStringLiteral("Job database") : QStringLiteral("Server directory"), away));
        EXPECT_EQ(jobs(), database ? 2 : 1);
    }
    EXPECT_TRUE(plant.prompt.asked.empty());
    EXPECT_TRUE(plant.errorLog().contains("openDB: Could not find file"));
}

} // namespace
