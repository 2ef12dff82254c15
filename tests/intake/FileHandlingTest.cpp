#include "intake/FileHandling.h"

#include "RecordingImporter.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

class FileHandlingTest : public ::testing::Test {
protected:
    QString bak(const QString& name) const { return plant.programDir() + QStringLiteral("/prog.bak/") + name; }
    QString inServer(const QString& name) const { return plant.serverDir() + u'/' + name; }
    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static void makeReadOnly(const QString& path)
    {
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
    }
    static void setModified(const QString& path, const QDateTime& at)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(at, QFileDevice::FileModificationTime));
    }

    TestPlant plant;
    JobState job;
    RecordingImporter importer{job};
};

TEST_F(FileHandlingTest, BackupReplacesTheOldBackupAndDropsAStaleErrorCopy)
{
    const QString file = plant.writeJobFile(QStringLiteral("a.$tx"), "new");
    QDir().mkpath(plant.programDir() + QStringLiteral("/prog.bak"));
    writeFile(bak(QStringLiteral("a.$tx")), "old");
    writeFile(inServer(QStringLiteral("a.$tx.$er")), "failed before");
    makeReadOnly(inServer(QStringLiteral("a.$tx.$er")));
    QDir().mkpath(plant.root() + QStringLiteral("/Extra"));
    plant.ctx.settings.backupDir = plant.root() + QStringLiteral("/Extra/");

    BackupFile(plant.ctx, file);

    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_FALSE(QFileInfo::exists(inServer(QStringLiteral("a.$tx.$er"))));
    EXPECT_EQ(readFileBytes(bak(QStringLiteral("a.$tx"))), QByteArray("new"));
    EXPECT_EQ(readFileBytes(plant.root() + QStringLiteral("/Extra/a.$tx")), QByteArray("new"));
}

TEST_F(FileHandlingTest, BackupCreatesProgBakAndSkipsAMissingBackupDirectory)
{
    const QString file = plant.writeJobFile(QStringLiteral("b.$et"), "labels");
    plant.ctx.settings.backupDir = plant.root() + QStringLiteral("/NotThere/");

    BackupFile(plant.ctx, file);

    EXPECT_EQ(readFileBytes(bak(QStringLiteral("b.$et"))), QByteArray("labels"));
    EXPECT_FALSE(QFileInfo::exists(plant.root() + QStringLiteral("/NotThere")));
}

TEST_F(FileHandlingTest, ReadOnlyOldBackupKeepsTheFileInTheServerDirectory)
{
    const QString file = plant.writeJobFile(QStringLiteral("a.$tx"), "new");
    QDir().mkpath(plant.programDir() + QStringLiteral("/prog.bak"));
    writeFile(bak(QStringLiteral("a.$tx")), "old");
    makeReadOnly(bak(QStringLiteral("a.$tx")));

    BackupFile(plant.ctx, file);

    EXPECT_EQ(readFileBytes(file), QByteArray("new"));
    EXPECT_EQ(readFileBytes(bak(QStringLiteral("a.$tx"))), QByteArray("old"));
}

TEST_F(FileHandlingTest, ErrorCopyReplacesAnOldCopy)
{
    const QString file = plant.writeJobFile(QStringLiteral("a.$tx"), "broken");
    writeFile(inServer(QStringLiteral("a.$tx.$er")), "older");
    makeReadOnly(inServer(QStringLiteral("a.$tx.$er")));

    MakeErrorCopy(plant.ctx, file, false);

    EXPECT_FALSE(QFileInfo::exists(file));
    EXPECT_EQ(readFileBytes(inServer(QStringLiteral("a.$tx.$er"))), QByteArray("broken"));
}

TEST_F(FileHandlingTest, ErrorCopyWithKeepOnlyRemovesTheOldCopy)
{
    const QString file = plant.writeJobFile(QStringLiteral("a.$tx"), "retry me");
    writeFile(inServer(QStringLiteral("a.$tx.$er")), "older");

    MakeErrorCopy(plant.ctx, file, true);

    EXPECT_EQ(readFileBytes(file), QByteArray("retry me"));
    EXPECT_FALSE(QFileInfo::exists(inServer(QStringLiteral("a.$tx.$er"))));
}

TEST_F(FileHandlingTest, ReleaseFlagFollowsTheAutoReleaseBox)
{
    for (const auto& [box, flag] : {std::pair{1, "1"}, std::pair{0, "0"}}) {
        plant.ctx.form.chkAutoFreigabe = box;
        SetReleaseFlag(plant.ctx);
        EXPECT_EQ(plant.store.value(QStringLiteral("ProdServerAktiv")), QLatin1String(flag));
    }
}

TEST_F(FileHandlingTest, PurgeDeletesErrorCopiesOlderThanSevenDays)
{
    const QDateTime now = plant.clock.now();
    const struct {
        const char* name;
        int daysOld;
        bool kept;
    } files[] = {
        {"old.$tx.$er", 8, false},
        {"OLD2.$TX.$ER", 8, false},
        {"recent.$tx.$er", 6, true},
        {"job.$tx", 30, true}, // not an error copy
    };
    for (const auto& f : files) {
        plant.writeJobFile(QLatin1String(f.name), "x");
        setModified(inServer(QLatin1String(f.name)), now.addDays(-f.daysOld));
    }

    PurgeOldErrorCopies(plant.ctx, &importer);

    for (const auto& f : files)
        EXPECT_EQ(QFileInfo::exists(inServer(QLatin1String(f.name))), f.kept) << f.name;
    EXPECT_EQ(importer.calls, QStringList{QStringLiteral("DeleteOrphanPrintData")});
}

TEST_F(FileHandlingTest, PurgeWithoutServerDirectoryStillCleansPrintData)
{
    plant.writeJobFile(QStringLiteral("old.$tx.$er"), "x");
    setModified(inServer(QStringLiteral("old.$tx.$er")), plant.clock.now().addDays(-30));
    plant.ctx.settings.serverDir.clear();

    PurgeOldErrorCopies(plant.ctx, &importer);
    PurgeOldErrorCopies(plant.ctx, nullptr);

    EXPECT_TRUE(QFileInfo::exists(inServer(QStringLiteral("old.$tx.$er"))));
    EXPECT_EQ(importer.calls, QStringList{QStringLiteral("DeleteOrphanPrintData")});
}

} // namespace
