// Faults of the plant that must neither block the queue, nor lose a job file,
// nor set aside a file that was never wrong: the scan cycle with the real
// importers on a temporary plant. The file system under it misbehaves too: a
// backup folder on another file system, a disk that fills while a job file
// is copied, a server directory that vanishes in the middle of a cycle,
// error logs that cannot be written. No job file is lost or half-copied.
#include "ImportHelpers.h"

#include "intake/FileHandling.h"
#include "platform/OperatorPrompt.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray kJob = crlf({"KB 001L65000T12", "KTN0001L12350W0100100"});
const QByteArray kTwoPieces = crlf({"KB 001L65000T12", "KTN0001L12350D1", "KTN0002L12350D1"});

QStringList entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
}

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
    QString bak() const { return plant.ctx.programDir + QStringLiteral("/prog.bak"); }

    readertest::ScanPlant plant;
    ScanCycle scan{plant.ctx, plant.importer};
};

// A job that fails in openDB at every cycle (a quote in its name) stays, as
// it must; the cycles after it take the files behind it.
TEST_F(Hardening, AFileThatKeepsFailingDoesNotHoldUpTheQueue)
{
    plant.writeJobFile(QStringLiteral("A'B.$tx"), kJob);
    plant.writeJobFile(QStringLiteral("B1.$tx"), kJob);
    plant.writeJobFile(QStringLiteral("C1.$tx"), kJob);
    EXPECT_EQ(cycle(), "A'B.$tx B1.$tx C1.$tx");
    EXPECT_EQ(cycle(), "A'B.$tx C1.$tx");
    EXPECT_EQ(cycle(), "A'B.$tx");
    EXPECT_EQ(cycle(), "A'B.$tx"); // A'B again, and it says so
    EXPECT_NE(box().find("A'B.$tx keeps failing"), std::string::npos) << box();
    EXPECT_NE(box().find("openDB: Syntax error"), std::string::npos) << box();
    EXPECT_EQ(jobs(), 2);
}

// Only regular files are job files, and a link is never followed, whatever
// it leads to: a link to a device or a pipe (reading would never end), a
// directory, and a link to a file private to its owner are named once and
// never read, while the good job beside them is imported. In job mode a
// label-data or steel-data file read by name that is a link counts as
// missing. Nothing of the linked files reaches the logs or the database.
TEST_F(Hardening, OnlyRegularFilesAreJobFilesAndLinksAreNeverFollowed)
{
    QTemporaryDir elsewhere;
    const auto privateFile = [&](const char* name, const QByteArray& bytes) {
        const QString path = elsewhere.path() + u'/' + QLatin1String(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        return path;
    };
    const QByteArray secretJob = crlf({"KB 001L65000T12TFSECRET-BAR", "KTN0001L12350W0100100"});
    const QString job = privateFile("job", secretJob);
    const QString label = privateFile("label", "ED 0000 SECRET-LABEL\r\n");
    const auto link = [&](const QString& to, const char* name) {
        ASSERT_TRUE(QFile::link(to, plant.serverDir() + u'/' + QLatin1String(name)));
    };
    const QString fifo = plant.root() + QStringLiteral("/pipe");
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    link(QStringLiteral("/dev/zero"), "A0.$tx");
    link(fifo, "A1.$tx");
    QDir(plant.serverDir()).mkdir(QStringLiteral("A2.$tx"));
    link(job, "A3.$tx");
    plant.writeJobFile(QStringLiteral("B1.$tx"), kJob);

    EXPECT_EQ(cycle(), "A0.$tx A1.$tx A3.$tx");
    EXPECT_TRUE(plant.inBackup(QStringLiteral("B1.$tx")));
    EXPECT_EQ(jobs(), 1);
    const QByteArray logged = plant.errorLog();
    EXPECT_TRUE(logged.contains("Not a regular file, never read: A0.$tx, A1.$tx, A2.$tx, A3.$tx"));
    cycle();
    EXPECT_EQ(plant.errorLog(), logged) << "named once only";

    plant.ctx.settings.JobLoadMode = LoadMode::Job;
    plant.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
    plant.ctx.settings.ExtensionStahl = QStringLiteral("$sx");
    const struct {
        const char* jobFile;
        const char* linkName;
        const QString& to;
    } byName[] = {{"C1.$tx", "C1.$et", label}, {"D1.$tx", "D1.$sx", job}};
    int loaded = jobs();
    for (const auto& c : byName) {
        SCOPED_TRACE(c.linkName);
        plant.writeJobFile(QLatin1String(c.jobFile), kJob);
        link(c.to, c.linkName);
        cycle();
        EXPECT_TRUE(QFileInfo(plant.serverDir() + u'/' + QLatin1String(c.linkName)).isSymLink()) << "stays";
        EXPECT_EQ(jobs(), ++loaded);
        EXPECT_TRUE(plant.errorLog().contains(QByteArray("Not a regular file, never read: ") + c.linkName));
    }
    EXPECT_EQ(jobs("StahlLosNamen") + jobs("Druckdaten"), 0);
    EXPECT_FALSE(plant.errorLog().contains("SECRET"));
    EXPECT_EQ(readFileBytes(job), secretJob);
    EXPECT_FALSE(QFile::permissions(label) & (QFileDevice::ReadGroup | QFileDevice::ReadOther)) << "still private";
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

// A failed file tells the operator whether it was the machine or the file
// (a job database that cannot be opened: LastingCondition). The file's own
// fault: Cancel is the policy's answer, the file is set aside.
TEST_F(Hardening, AFaultOfTheFileIsNotAFaultOfTheMachine)
{
    plant.ctx.settings.JobLoadMode = LoadMode::Job;
    PolicyPrompt policy(Answer::No, PolicyPrompt::AutoRetryCancel, nullptr);
    EXPECT_EQ(policy.askAfterFailure(QStringLiteral("t"), QStringLiteral("x"), true), Answer::Retry);
    EXPECT_EQ(policy.askAfterFailure(QStringLiteral("t"), QStringLiteral("x"), false), Answer::Cancel);
    plant.writeJobFile(QStringLiteral("A1.$tx"), crlf({"KB 001L65000T12", "KTN0000"}));
    EXPECT_EQ(cycle(), "A1.$tx.$er");
    ASSERT_EQ(plant.prompt.asked.size(), 1u);
    EXPECT_FALSE(plant.prompt.asked[0].infrastructureFault);
}

// A damaged job database is found before any file is taken; the files wait
// until it is replaced.
TEST_F(Hardening, ADamagedDatabaseStopsTheIntakeUntilItIsReplaced)
{
    const QString db = plant.jobDatabasePath();
    const QByteArray sound = readFileBytes(db);
    QByteArray broken = sound;
    for (qsizetype i = 4096; i < broken.size(); i += 7)
        broken[i] = char(0x5a);
    {
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(broken);
    }
    plant.writeJobFile(QStringLiteral("A1.$tx"), kJob);
    EXPECT_EQ(cycle(), "A1.$tx");
    EXPECT_NE(box().find("is damaged"), std::string::npos) << box();
    EXPECT_EQ(cycle(), "A1.$tx");

    {
        QFile f(db);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(sound);
    }
    EXPECT_EQ(cycle(), "");
    EXPECT_EQ(jobs(), 1);
}

using FileSystemFaults = Hardening;

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

    const QString job = plant.writeJobFile(QStringLiteral("J1.$tx"), kTwoPieces);
    ASSERT_EQ(::chmod(QFile::encodeName(job).constData(), 0640), 0);
    ScanProductionData(plant.ctx, plant.importer);

    EXPECT_EQ(plant.count("Teiledaten"), 2);
    EXPECT_FALSE(QFile::exists(job));
    EXPECT_EQ(entries(bak()), QStringList{QStringLiteral("J1.$tx")}); // no temporary left
    EXPECT_EQ(readFileBytes(bak() + QStringLiteral("/J1.$tx")), kTwoPieces);
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
    const QString small = plant.writeJobFile(QStringLiteral("J1.$tx"), kTwoPieces);
    BackupFile(plant.ctx, small);
    EXPECT_FALSE(QFile::exists(small));
    EXPECT_EQ(readFileBytes(bak() + QStringLiteral("/J1.$tx")), kTwoPieces);
    EXPECT_EQ(readFileBytes(plant.ctx.settings.backupDir + QStringLiteral("J1.$tx")), kTwoPieces);
}

// The server directory is removed (by the planning system's clean-up, an
// unmounted share) after the cycle listed it and before it read the file.
// (A directory that stays gone for cycles: LastingCondition.)
TEST_F(FileSystemFaults, AServerDirectoryThatVanishesMidCycleLosesNothingOfOurs)
{
    plant.writeJobFile(QStringLiteral("J1.$tx"), kTwoPieces);
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
    plant.writeJobFile(QStringLiteral("J1.$tx"), kTwoPieces);
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

    plant.writeJobFile(QStringLiteral("J1.$tx"), kTwoPieces);
    ScanProductionData(plant.ctx, plant.importer);
    EXPECT_EQ(plant.count("Teiledaten"), 2);
    EXPECT_TRUE(plant.inBackup(QStringLiteral("J1.$tx")));
}

// A server directory that is gone (a share not mounted) and a job database
// that is gone are said once however many cycles they last, in both modes:
// the first report as the scan or the import writes it, and once, with the
// time, when they are back; the waiting job is then read.
struct LastingCase {
    const char* name;
    bool database; // else the server directory
    int loadMode;
    const char* said;
};

void PrintTo(const LastingCase& c, std::ostream* os)
{
    *os << c.name;
}

class LastingCondition : public Hardening, public ::testing::WithParamInterface<LastingCase> {};

TEST_P(LastingCondition, IsSaidOnceWhenItStartsAndOnceWhenItEnds)
{
    const LastingCase& c = GetParam();
    plant.ctx.settings.JobLoadMode = static_cast<LoadMode>(c.loadMode);
    plant.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
    plant.writeJobFile(QStringLiteral("A1.$tx"), crlf({"KB 001L65000T12", "KTN0001L12350D1"}));
    plant.writeJobFile(QStringLiteral("A1.$et"), crlf({"ED 0001 label"}));
    const QString away = c.database ? plant.jobDatabasePath() : plant.serverDir();
    ASSERT_TRUE(QDir().rename(away, away + QStringLiteral(".away")));
    // What the cycles said, blank texts (an import clearing the box) left out.
    const auto said = [&] {
        QStringList texts = plant.errorBox.history.filter(QRegularExpression(QStringLiteral("\\S")));
        plant.errorBox.history.clear();
        return texts;
    };

    for (int i = 0; i < 3; ++i)
        scan.runOnce();
    const QStringList started = said();
    ASSERT_EQ(started.size(), 1) << started.join(QStringLiteral("\n---\n")).toStdString();
    EXPECT_TRUE(started[0].contains(QLatin1String(c.said))) << started[0].toStdString();

    ASSERT_TRUE(QDir().rename(away + QStringLiteral(".away"), away));
    EXPECT_EQ(cycle(), "");
    scan.runOnce();
    const QStringList ended = said();
    ASSERT_EQ(ended.size(), 1) << ended.join(QStringLiteral("\n---\n")).toStdString();
    EXPECT_EQ(ended[0],
              QStringLiteral("05.12.2026 10:30:00: %1 %2 is there again; job files are read again.")
                  .arg(c.database ? QStringLiteral("Job database") : QStringLiteral("Server directory"), away));
    EXPECT_EQ(jobs(), 1);
    EXPECT_TRUE(plant.prompt.asked.empty());
    if (c.database) {
        EXPECT_TRUE(plant.errorLog().contains("openDB: Could not find file"));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, LastingCondition,
    ::testing::Values(LastingCase{"ServerDirectorySeparateMode", false, 0,
                                  "ERROR Server VOV ScanDir\r\nPath not found"},
                      LastingCase{"ServerDirectoryJobMode", false, 1, "ERROR Server VOV ScanDir\r\nPath not found"},
                      LastingCase{"JobDatabaseSeparateMode", true, 0, "Job: A1\r\nopenDB: Could not find file"},
                      LastingCase{"JobDatabaseJobMode", true, 1, "Job: A1\r\nopenDB: Could not find file"}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
