// The file system under the plant misbehaves: a backup folder on another
// file system, a disk that fills while a job file is copied, a server
// directory that vanishes in the middle of a cycle, error logs that cannot
// be written. No job file is lost or half-copied, and the plant goes on.
#include "ImportHelpers.h"

#include "intake/FileHandling.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

const QByteArray kJob = crlf({"KB 001L65000T12", "KTN0001L12350D1", "KTN0002L12350D1"});

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A separate-mode plant with the real importer.
class FileSystemFaults : public ::testing::Test {
protected:
    void SetUp() override { plant.ctx.settings.AutoFreigabe = true; }
    QString bak() const { return plant.ctx.programDir + QStringLiteral("/prog.bak"); }

    readertest::ScanPlant plant;
};

TEST_F(FileSystemFaults, BackupOnAnotherFileSystemIsCopiedWholeAndTheSourceRemoved)
{
    const auto deviceOf = [](const QString& path) {
        struct stat st {};
        return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
    };
    QTemporaryDir other(QStringLiteral("/dev/shm/vov-faults-XXXXXX"));
    if (!other.isValid() || deviceOf(other.path()) == deviceOf(plant.serverDir()))
        GTEST_SKIP() << "no second file system beside " << plant.serverDir().toStdString();
    plant.ctx.programDir = other.path();

    const QString job = plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
    ASSERT_EQ(::chmod(QFile::encodeName(job).constData(), 0640), 0);
    ScanProductionData(plant.ctx, plant.importer);

    EXPECT_EQ(plant.count("Teiledaten"), 2);
    EXPECT_FALSE(QFile::exists(job));
    EXPECT_EQ(entries(bak()), QStringList{QStringLiteral("J1.$tx")}); // no temporary left
    EXPECT_EQ(readFileBytes(bak() + QStringLiteral("/J1.$tx")), kJob);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(bak() + QStringLiteral("/J1.$tx")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(FileSystemFaults, ADiskThatFillsWhileCopyingKeepsTheOriginalAndNoPartialCopy)
{
    // A small file system of its own, where the test may mount one.
    QTemporaryDir dir;
    const QString disk = dir.path() + QStringLiteral("/disk");
    QDir().mkpath(disk);
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small file system is not permitted here";
    const std::shared_ptr<void> unmount(nullptr,
                                        [&](void*) { ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH); });
    plant.ctx.programDir = disk;                                     // prog.bak on the small disk
    plant.ctx.settings.backupDir = disk + QStringLiteral("/extra/"); // and the extra backup
    QDir().mkpath(plant.ctx.settings.backupDir);

    // A job too large for the disk: the lines of one bar, many times.
    QByteArray big = "KB 001L65000T12\r\n";
    for (int i = 1; big.size() < 200 * 1024; ++i)
        big += QStringLiteral("KTN%1L12350D1\r\n").arg(i % 10000, 4, 10, QLatin1Char('0')).toLatin1();
    const QString job = plant.writeJobFile(QStringLiteral("BIG.$tx"), big);

    BackupFile(plant.ctx, job);
    EXPECT_EQ(readFileBytes(job), big);
    EXPECT_EQ(entries(bak()), QStringList());
    EXPECT_EQ(entries(plant.ctx.settings.backupDir), QStringList());

    // The space the partial copies took is free again: a small job still goes.
    const QString small = plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
    BackupFile(plant.ctx, small);
    EXPECT_FALSE(QFile::exists(small));
    EXPECT_EQ(readFileBytes(bak() + QStringLiteral("/J1.$tx")), kJob);
    EXPECT_EQ(readFileBytes(plant.ctx.settings.backupDir + QStringLiteral("J1.$tx")), kJob);
}

// The server directory is removed (by the planning system's clean-up, an
// unmounted share) after the cycle listed it and before it read the file.
// (A directory that stays gone for cycles: Hardening.LastingCondition.)
TEST_F(FileSystemFaults, AServerDirectoryThatVanishesMidCycleLosesNothingOfOurs)
{
    plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
    plant.ctx.fileSettled = [&](const QString&) {
        QDir(plant.serverDir()).removeRecursively();
        return true;
    };
    CycleReport report;
    ScanProductionData(plant.ctx, plant.importer, &report);
    EXPECT_EQ(plant.count("Teiledaten"), 0);
    EXPECT_FALSE(plant.inBackup(QStringLiteral("J1.$tx")));
    EXPECT_TRUE(plant.store.value(QStringLiteral("ProdServerAktiv")).isEmpty());
}

// Removed while the operator is asked whether to override the job: the
// file was open and is read to its end; its rows are whole, and nothing is
// left half.
TEST_F(FileSystemFaults, AServerDirectoryThatVanishesDuringAQuestionLeavesTheJobWholeOrAbsent)
{
    class RemovingPrompt final : public OperatorPrompt {
    public:
        QString dir;
        int asked = 0;
        int askYesNoCancel(const QString&, const QString&) override
        {
            ++asked;
            QDir(dir).removeRecursively();
            return Answer::No; // override
        }
        int askRetryCancel(const QString&, const QString&) override { return Answer::Cancel; }
        void showMessage(const QString&, const QString&) override {}
    };
    plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
    ScanProductionData(plant.ctx, plant.importer);
    ASSERT_EQ(plant.count("Teiledaten"), 2);

    RemovingPrompt prompt;
    prompt.dir = plant.serverDir();
    ServerContext ctx{plant.clock, prompt, plant.store, plant.errorBox};
    ctx.programDir = plant.ctx.programDir;
    ctx.settings = plant.ctx.settings;
    PlantImporter second{ctx, plant.job};
    plant.writeJobFile(QStringLiteral("J1.$tx"),
                       crlf({"KB 001L65000T12", "KTN0001L12350D1", "KTN0002L12350D1", "KTN0003L12350D1"}));
    ScanProductionData(ctx, second);
    ASSERT_EQ(prompt.asked, 1);
    const int pieces = plant.count("Teiledaten");
    EXPECT_TRUE(pieces == 3 || pieces == 0) << pieces;
    EXPECT_EQ(plant.count("LosNamen"), pieces == 3 ? 1 : 0);
}

// error.dat and $TXerror.dat cannot be written (a folder stands where each
// file should be): the failure still reaches the error box, the file is
// still set aside, and the next job still loads.
TEST_F(FileSystemFaults, ErrorLogsThatCannotBeWrittenStopNothing)
{
    for (const char* log : {"error.dat", "$TXerror.dat"})
        ASSERT_TRUE(QDir().mkpath(plant.clientDir() + u'/' + QLatin1String(log)));
    plant.writeJobFile(QStringLiteral("BAD.$tx"), crlf({"KB 001L65000T12", "KTN0001L12350D1", "KTN0000L12350D1"}));
    ScanProductionData(plant.ctx, plant.importer);
    EXPECT_TRUE(plant.errorBox.text().contains(QStringLiteral("BAD"))) << plant.errorBox.text().toStdString();
    EXPECT_TRUE(plant.inServer(QStringLiteral("BAD.$tx.$er")));
    EXPECT_EQ(plant.count("Teiledaten", QStringLiteral("BAD")), 0);

    plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
    ScanProductionData(plant.ctx, plant.importer);
    EXPECT_EQ(plant.count("Teiledaten"), 2);
    EXPECT_TRUE(plant.inBackup(QStringLiteral("J1.$tx")));
}

} // namespace
