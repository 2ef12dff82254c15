// The lock a server holds for its life: one holder at a time, named when it
// refuses; whatever a dead holder left in the file never keeps the next one
// out, and a child process never keeps the lock alive.
#include "platform/ProcessLock.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

TEST(ProcessLock, ALeftBehindLockIsTakenAtOnceAndNamesTheNewHolder)
{
    for (const char* content : {static_cast<const char*>(nullptr), "\x01\xfe garbage\n\n\n", "4711\nother-host\n"}) {
        SCOPED_TRACE(content ? content : "no file");
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/server.lock");
        QFile f(path);
        ASSERT_TRUE(!content || (f.open(QIODevice::WriteOnly) && f.write(content) > 0));
        f.close();
        ProcessLock lock(path);
        ASSERT_EQ(lock.tryLock(), ProcessLock::Result::Taken);
        ProcessLock second(path);
        EXPECT_EQ(second.tryLock(), ProcessLock::Result::Held);
        EXPECT_EQ(second.holder(), QStringLiteral("process %1 on %2").arg(::getpid()).arg(QSysInfo::machineHostName()));
    }
}

// The descriptor stays out of the programs a server starts: a lock let go
// is free while such a program still runs.
TEST(ProcessLock, IsNotInheritedByChildProcesses)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/server.lock");
    ProcessLock lock(path);
    ASSERT_EQ(lock.tryLock(), ProcessLock::Result::Taken);
    QProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(sleeper.waitForStarted());
    lock.unlock();
    ProcessLock next(path);
    EXPECT_EQ(next.tryLock(), ProcessLock::Result::Taken);
    sleeper.kill();
    sleeper.waitForFinished();
}

} // namespace
