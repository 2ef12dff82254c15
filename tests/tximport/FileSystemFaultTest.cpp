// The file system under the plant misbehaves: a backup folder on another
// file system, a disk that fills while a job file is copied, a server
// directory that vanishes in the middle of a cycle, error logs that cannot
// be written. No job file is lost or half-copied, and the plant goes on.
#include "JobPlant.h"

#include "intake/FileHandling.h"
#include "intake/JobFiles.h"
#include "intake/ScanCycle.h"
#include "platform/FileOps.h"
#include "tximport/PlantImporter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

const QByteArray kJob = crlf({"KB 001L65000T12", "KTN0001L12350D1", "KTN0002L12350D1"});
const QByteArray kBrokenJob = crlf({"KB 001L65000T12", "KTN0001L12350D1", "KTN0000L12350D1"});

dev_t deviceOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

// A separate-mode plant with the real importer.
class FileSystemFaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        plant.createJobDatabase();
        Settings& s = plant.ctx.settings;
        s.JobLoadMode = LoadMode::Separate;
        s.Extension = QStringLiteral("$tx");
        s.AutoFreigabe = true;
    }

    int rows(const QString& job, const char* table = "Teiledaten") const
    {
        return queryValue(plant.jobDatabasePath(),
                          QStringLiteral("SELECT COUNT(*) FROM %1 WHERE LosName='%2'").arg(QLatin1String(table), job))
            .toInt();
    }

    QString bak() const { return plant.ctx.programDir + QStringLiteral("/prog.bak"); }

    JobPlant plant;
    PlantImporter importer{plant.ctx, plant.job};
};

// A small file system of its own that a test can fill; skipped where the
// test may not mount one.
class SmallDisk {
public:
    explicit SmallDisk(const char* size)
    {
        m_path = m_dir.path() + QStringLiteral("/disk");
        QDir().mkpath(m_path);
        const QByteArray options = QByteArray("size=") + size;
        m_mounted = ::mount("tmpfs", QFile::encodeName(m_path).constData(), "tmpfs", 0, options.constData()) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_path).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    [[nodiscard]] bool mounted() const { return m_mounted; }
    [[nodiscard]] QString path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
    bool m_mounted = false;
};

TEST_F(FileSystemFaults, BackupOnAnotherFileSystemIsCopiedWholeAndTheSourceRemoved)
{
    QTemporaryDir other(QStringLiteral("/dev/shm/vov-faults-XXXXXX"));
    if (!other.isValid() || deviceOf(other.path()) == deviceOf(plant.serverDir()))
        GTEST_SKIP() << "no second file system beside " << plant.serverDir().toStdString();
    plant.ctx.programDir = other.path();

    const QString job = plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
    ASSERT_EQ(::chmod(QFile::encodeName(job).constData(), 0640), 0);
    ScanProductionData(plant.ctx, importer);

    EXPECT_EQ(rows(QStringLiteral("J1")), 2);
    EXPECT_FALSE(QFile::exists(job));
    EXPECT_EQ(entries(bak()), QStringList{QStringLiteral("J1.$tx")}); // no temporary left
    EXPECT_EQ(readFileBytes(bak() + QStringLiteral("/J1.$tx")), kJob);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(bak() + QStringLiteral("/J1.$tx")).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(FileSystemFaults, ADiskThatFillsWhileCopyingKeepsTheOriginalAndNoPartialCopy)
{
    SmallDisk disk("64k");
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small file system is not permitted here";
    plant.ctx.programDir = disk.path();                                     // prog.bak on the small disk
    plant.ctx.settings.backupDir = disk.path() + QStringLiteral("/extra/"); // and the extra backup
    QDir().mkpath(plant.ctx.settings.backupDir);

    // A job too large for the disk: the lines of one bar, many times.
    QByteArray big = "KB 001L65000T12\r\n";
    for (int i = 1; big.size() < 200 * 1024; ++i)
        big += QStringLiteral("KTN%1L12350D1\r\n").arg(i % 10000, 4, 10, QLatin1Char('0')).toLatin1();
    const QString job = plant.writeJobFile(QStringLiteral("BIG.$tx"), big);

    BackupFile(plant.ctx, job);
    EXPECT_EQ(readFileBytes(job), big);
    EXPECT_TRUE(entries(bak()).isEmpty()) << entries(bak()).join(u' ').toStdString();
    EXPECT_TRUE(entries(plant.ctx.settings.backupDir).isEmpty())
        << entries(plant.ctx.settings.backupDir).join(u' ').toStdString();

    // The space the partial copies took is free again: a small job still goes.
    const QString small = plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
    BackupFile(plant.ctx, small);
    EXPECT_FALSE(QFile::exists(small));
    EXPECT_EQ(readFileBytes(bak() + QStringLiteral("/J1.$tx")), kJob);
    EXPECT_EQ(readFileBytes(plant.ctx.settings.backupDir + QStringLiteral("J1.$tx")), kJob);
}

// The server directory is removed (by the planning system's clean-up, an
// unmounted share) after the cycle listed it and before it read the file.
TEST_F(FileSystemFaults, AServerDirectoryThatVanishesMidCycleLosesNothingOfOursAndComesBack)
{
    plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
    plant.ctx.fileSettled = [&](const QString&) {
        QDir(plant.serverDir()).removeRecursively();
        return true;
    };
    CycleReport report;
    ScanProductionData(plant.ctx, importer, &report);
    EXPECT_EQ(rows(QStringLiteral("J1")), 0);
    EXPECT_FALSE(QFile::exists(bak() + QStringLiteral("/J1.$tx")));
    EXPECT_TRUE(plant.store.value(QStringLiteral("ProdServerAktiv")).isEmpty());

    // While it is gone, cycles read nothing and break nothing.
    plant.ctx.fileSettled = {};
    report = {};
    ScanProductionData(plant.ctx, importer, &report);
    EXPECT_TRUE(report.files.empty());

    // Back again, the plant goes on.
    QDir().mkpath(plant.serverDir());
    plant.writeJobFile(QStringLiteral("J2.$tx"), kJob);
    ScanProductionData(plant.ctx, importer);
    EXPECT_EQ(rows(QStringLiteral("J2")), 2);
    EXPECT_TRUE(QFile::exists(bak() + QStringLiteral("/J2.$tx")));
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
    ScanProductionData(plant.ctx, importer);
    ASSERT_EQ(rows(QStringLiteral("J1")), 2);

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
    const int pieces = rows(QStringLiteral("J1"));
    EXPECT_TRUE(pieces == 3 || pieces == 0) << pieces;
    EXPECT_EQ(rows(QStringLiteral("J1"), "LosNamen"), pieces == 3 ? 1 : 0);
}

// error.dat and $TXerror.dat cannot be written (a folder stands where each
// file should be): the failure still reaches the error box, the file is
// still set aside, and the next job still loads.
TEST_F(FileSystemFaults, ErrorLogsThatCannotBeWrittenStopNothing)
{
    for (const char* log : {"error.dat", "$TXerror.dat"})
        ASSERT_TRUE(QDir().mkpath(plant.clientDir() + u'/' + QLatin1String(log)));
    plant.writeJobFile(QStringLiteral("BAD.$tx"), kBrokenJob);
    ScanProductionData(plant.ctx, importer);
    EXPECT_TRUE(plant.errorBox.text().contains(QStringLiteral("BAD"))) << plant.errorBox.text().toStdString();
    EXPECT_TRUE(QFile::exists(plant.serverDir() + QStringLiteral("/BAD.$tx.$er")));
    EXPECT_EQ(rows(QStringLiteral("BAD")), 0);

    plant.writeJobFile(QStringLiteral("J1.$tx"), kJob);
    ScanProductionData(plant.ctx, importer);
    EXPECT_EQ(rows(QStringLiteral("J1")), 2);
    EXPECT_TRUE(QFile::exists(bak() + QStringLiteral("/J1.$tx")));
}

} // namespace
