// The lock a server holds for its life: a second holder is refused, and a
// lock left behind by a killed process never shuts the plant out.
#include "platform/ProcessLock.h"

#include <QDateTime>
#include <QFile>
#include <QLockFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ProcessLock : public ::testing::Test {
protected:
    QString path() const { return m_dir.path() + QStringLiteral("/server.lock"); }

    // A lock file as a process killed right after creating it leaves it.
    void leaveUnwrittenLock(qint64 ageMs)
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.close();
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addMSecs(-ageMs), QFileDevice::FileModificationTime));
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(ProcessLock, IsHeldByOneHolderAtATime)
{
    QLockFile first(path());
    ASSERT_TRUE(takeProcessLock(first));
    QLockFile second(path());
    EXPECT_FALSE(takeProcessLock(second));
    EXPECT_EQ(second.error(), QLockFile::LockFailedError);
    first.unlock();
    EXPECT_TRUE(takeProcessLock(second));
}

TEST_F(ProcessLock, ALockFileKilledBeforeItsProcessIdWasWrittenIsTakenOver)
{
    leaveUnwrittenLock(10'000);
    QLockFile lock(path());
    EXPECT_TRUE(takeProcessLock(lock));
    qint64 pid = 0;
    QString host, app;
    EXPECT_TRUE(lock.getLockInfo(&pid, &host, &app));
}

TEST_F(ProcessLock, ALockFileBeingWrittenRightNowIsLeftToItsProcess)
{
    leaveUnwrittenLock(0);
    QLockFile lock(path());
    EXPECT_FALSE(takeProcessLock(lock));
    EXPECT_TRUE(QFile::exists(path()));
}

} // namespace
