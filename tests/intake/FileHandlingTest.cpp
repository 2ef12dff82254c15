#include "intake/ErrorLog.h"
#include "intake/FileHandling.h"

#include "RecordingImporter.h"
#include "TestPlant.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <tuple>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

class FileHandlingTest : public ::testing::Test {
protected:
    QString write(const char* name, const QByteArray& bytes) { return plant.writeJobFile(QLatin1String(name), bytes); }
    QString bak(const char* name) const
    {
        return plant.programDir() + QStringLiteral("/prog.bak/") + QLatin1String(name);
    }

    TestPlant plant;
};

TEST_F(FileHandlingTest, BackupAndErrorCopyReplaceTheOldOnesUnlessABackupIsReadOnly)
{
    // prog.bak is created; a backup directory that does not exist is skipped.
    plant.ctx.settings.backupDir = plant.root() + QStringLiteral("/NotThere/");
    const QString file = write("a.$tx", "old");
    BackupFile(plant.ctx, file);
    EXPECT_EQ(readFileBytes(bak("a.$tx")), QByteArray("old"));
    EXPECT_FALSE(QFileInfo::exists(plant.root() + QStringLiteral("/NotThere")));

    // A newer file replaces the backup, goes to the backup directory and drops a stale error copy.
    write("a.$tx", "new");
    makeReadOnly(write("a.$tx.$er", "failed before"));
    QDir().mkpath(plant.root() + QStringLiteral("/Extra"));
    plant.ctx.settings.backupDir = plant.root() + QStringLiteral("/Extra/");
    BackupFile(plant.ctx, file);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(file + QStringLiteral(".$er")));
    EXPECT_EQ(readFileBytes(bak("a.$tx")), QByteArray("new"));
    EXPECT_EQ(readFileBytes(plant.root() + QStringLiteral("/Extra/a.$tx")), QByteArray("new"));

    // A read-only old backup is kept, and so the file stays in the server directory.
    makeReadOnly(bak("a.$tx"));
    write("a.$tx", "newer");
    BackupFile(plant.ctx, file);
    EXPECT_EQ(readFileBytes(file), QByteArray("newer"));
    EXPECT_EQ(readFileBytes(bak("a.$tx")), QByteArray("new"));

    // An error copy replaces an old copy, even a read-only one; with keep only the old copy goes.
    const QString copy = write("a.$tx.$er", "older");
    MakeErrorCopy(plant.ctx, file, true);
    EXPECT_EQ(readFileBytes(file), QByteArray("newer"));
    EXPECT_FALSE(QFileInfo::exists(copy));
    makeReadOnly(write("a.$tx.$er", "older"));
    MakeErrorCopy(plant.ctx, file, false);
    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(readFileBytes(copy), QByteArray("newer"));
}

// prog.bak on a file system of its own: the file is copied whole (mode
// kept) and then removed; on one that fills during the copy, the original
// stays and no partial copy is left, and the next file still goes. Skipped
// where no tmpfs may be mounted.
TEST_F(FileHandlingTest, ABackupOnAnotherFileSystemIsWholeOrAbsentAndTheOriginalIsKept)
{
    QTemporaryDir disk;
    const QByteArray mountPoint = QFile::encodeName(disk.path());
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "mounting a small file system is not permitted here";
    plant.ctx.programDir = disk.path();
    const auto entries = [&] {
        return QDir(disk.path() + QStringLiteral("/prog.bak")).entryList(QDir::Files | QDir::Hidden);
    };

    const QByteArray big = QByteArray("KTN0001L12350D1\r\n").repeated(12'100); // over 200 KiB
    const QString bigFile = write("BIG.$tx", big);
    BackupFile(plant.ctx, bigFile);
    EXPECT_EQ(readFileBytes(bigFile), big);
    EXPECT_TRUE(entries().isEmpty()) << entries().join(u' ').toStdString();

    const QString job = write("J1.$tx", "KB 001L65000T12\r\n");
    ASSERT_EQ(::chmod(QFile::encodeName(job).constData(), 0640), 0);
    BackupFile(plant.ctx, job);
    EXPECT_FALSE(QFileInfo::exists(job));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("J1.$tx")});
    EXPECT_EQ(readFileBytes(disk.path() + QStringLiteral("/prog.bak/J1.$tx")), QByteArray("KB 001L65000T12\r\n"));
    EXPECT_EQ(QFileInfo(disk.path() + QStringLiteral("/prog.bak/J1.$tx")).permissions() & 0x7777, 0x6640);
    ::umount2(mountPoint.constData(), MNT_DETACH);
}

// Links standing where a backup or an error copy goes are replaced, never
// written through: the files they lead to keep their bytes and rights.
TEST_F(FileHandlingTest, BackupsAndErrorCopiesNeverWriteThroughALink)
{
    QDir().mkpath(plant.programDir() + QStringLiteral("/prog.bak"));
    QDir().mkpath(plant.root() + QStringLiteral("/Extra"));
    plant.ctx.settings.backupDir = plant.root() + QStringLiteral("/Extra/");
    const QString places[] = {bak("a.$tx"), plant.root() + QStringLiteral("/Extra/a.$tx"),
                              plant.serverDir() + QStringLiteral("/b.$tx.$er")};
    QStringList targets;
    for (const QString& place : places) {
        targets << plant.writeJobFile(QStringLiteral("private%1").arg(targets.size()), "private");
        ASSERT_TRUE(QFile::setPermissions(targets.last(), QFileDevice::ReadOwner));
        ASSERT_TRUE(QFile::link(targets.last(), place));
    }

    BackupFile(plant.ctx, write("a.$tx", "job a"));
    MakeErrorCopy(plant.ctx, write("b.$tx", "job b"), false);

    EXPECT_EQ(QList({readFileBytes(places[0]), readFileBytes(places[1]), readFileBytes(places[2])}),
              QList<QByteArray>({"job a", "job a", "job b"}));
    for (const QString& target : targets) {
        EXPECT_EQ(readFileBytes(target), QByteArray("private")) << target.toStdString();
        EXPECT_EQ(QFile::permissions(target) & (QFileDevice::WriteOwner | QFileDevice::ReadOther), 0)
            << target.toStdString();
    }
}

TEST_F(FileHandlingTest, PurgeDeletesErrorCopiesOlderThanSevenDaysAndCleansPrintData)
{
    const struct {
        const char* name;
        int daysOld;
        bool kept;
    } files[] = {
        {"old.$tx.$er", 8, false}, {"OLD2.$TX.$ER", 8, false}, {"recent.$tx.$er", 6, true}, {"job.$tx", 30, true}};
    for (const auto& f : files) {
        QFile file(write(f.name, "x"));
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(plant.clock.now().addDays(-f.daysOld), QFileDevice::FileModificationTime));
    }
    RecordingImporter importer;
    PurgeOldErrorCopies(plant.ctx, &importer);
    for (const auto& f : files)
        EXPECT_EQ(QFileInfo::exists(plant.serverDir() + u'/' + QLatin1String(f.name)), f.kept) << f.name;
    EXPECT_EQ(importer.calls, QStringList{QStringLiteral("DeleteOrphanPrintData")});

    // Without a server directory only the print data is cleaned.
    plant.clock.advanceSeconds(30 * 24 * 3600);
    plant.ctx.settings.serverDir.clear();
    PurgeOldErrorCopies(plant.ctx, &importer);
    PurgeOldErrorCopies(plant.ctx, nullptr);
    EXPECT_TRUE(QFileInfo::exists(plant.serverDir() + QStringLiteral("/recent.$tx.$er")));
    EXPECT_EQ(importer.calls.size(), 2);
}

// A break inside a word runs on to the next blank; a blank at the break starts
// the next line; a CR LF ends a line wherever it stands.
TEST(WrapText, Wraps)
{
    const std::tuple<const char*, int, const char*> cases[] = {
        {"no width", 0, "no width"},
        {"xxxxxxxxxxxx", 5, "xxxxxxxxxxxx"},
        {"aaaa bbbb cccc", 5, "aaaa bbbb \r\ncccc"},
        {"abcde fghij klmno", 5, "abcde\r\n fghij \r\nklmno"},
        {"ab\r\ncdefgh ijklmn", 4, "ab\r\ncdefgh \r\nijklmn"},
    };
    for (const auto& [text, width, wrapped] : cases)
        EXPECT_EQ(WrapText(QString::fromUtf8(text), width), QString::fromUtf8(wrapped)) << text << " " << width;
}

TEST(WriteErrorLog, WritesBothLogsInWindows1252WithCrLfAndShowsEachEntry)
{
    TestPlant plant;
    WriteErrorLog(plant.ctx, QStringLiteral("Job: a.$tx\r\nKB: Stab f\u00FCr Zeile 3"));
    EXPECT_EQ(readFileBytes(plant.clientDir() + QStringLiteral("/$TXerror.dat")),
              QByteArray("\"Job: a.$tx\r\nKB: Stab f\xFCr Zeile 3\"\r\n"));

    plant.clock.advanceSeconds(61);
    WriteErrorLog(plant.ctx, QStringLiteral("second"));
    EXPECT_EQ(readFileBytes(plant.clientDir() + QStringLiteral("/$TXerror.dat")), QByteArray("\"second\"\r\n"));
    EXPECT_EQ(readFileBytes(plant.clientDir() + QStringLiteral("/error.dat")),
              QByteArray("\"05.12.2026 10:30:00:  ------------\r\nJob: a.$tx\r\nKB: Stab f\xFCr Zeile 3\"\r\n"
                         "\"05.12.2026 10:31:01:  ------------\r\nsecond\"\r\n"));
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("05.12.2026 10:31:01:  ------------\r\nsecond"));
    EXPECT_EQ(plant.errorBox.broughtToFront, 2);

    // Without the client directory the entry is still shown.
    plant.ctx.settings.clientDir = plant.root() + QStringLiteral("/gone");
    WriteErrorLog(plant.ctx, QStringLiteral("lost"));
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("05.12.2026 10:31:01:  ------------\r\nlost"));
    EXPECT_FALSE(QFileInfo::exists(plant.root() + QStringLiteral("/gone")));
}

} // namespace
