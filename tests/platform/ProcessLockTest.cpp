// The lock a server holds for its life: one holder at a time, named when it
// refuses; whatever a dead holder left in the file never keeps the next one
// out, and a child process never keeps the lock alive.
#include "platform/ProcessLock.h"

#include <QFile>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QString holderOf(qint64 pid)
{
    return QStringLiteral("process %1 on %2").arg(pid).arg(QSysInfo::machineHostName());
}

// Whatever a killed holder may have left in the lock file (or no file) is
// taken at once, and the new holder is named.
TEST(ProcessLock, ALeftBehindLockIsTakenAtOnceAndNamesTheNewHolder)
{
    const char* const leftBehind[] = {nullptr, "", "\x01\xfe garbage\n\n\n", "4711\nsome-other-host\n",
                                      "2147483646\nlocalhost\n"};
    for (const char* content : leftBehind) {
        SCOPED_TRACE(content ? content : "no file");
        QTemporaryDir dir;
        const QString path = dir.path() + QStringLiteral("/server.lock");
        if (content) {
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        ProcessLock lock(path);
        ASSERT_EQ(lock.tryLock(), ProcessLock::Result::Taken);
        ProcessLock second(path);
        EXPECT_EQ(second.tryLock(), ProcessLock::Result::Held);
        EXPECT_EQ(second.holder(), holderOf(::getpid()));
    }
}

// A forked child holds the lock until it is killed; killing it is enough.
TEST(ProcessLock, IsRefusedWhileItsHolderLivesAndFreeTheMomentItIsKilled)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/server.lock");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ProcessLock lock(path);
        const char taken = lock.tryLock() == ProcessLock::Result::Taken ? '1' : '0';
        [[maybe_unused]] const auto n = ::write(ready[1], &taken, 1);
        for (;;)
            ::pause();
    }
    struct Reaper {
        pid_t pid;
        ~Reaper()
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reaper{child};
    char taken = 0;
    ASSERT_EQ(::read(ready[0], &taken, 1), 1);
    ASSERT_EQ(taken, '1');

    ProcessLock lock(path);
    EXPECT_EQ(lock.tryLock(), ProcessLock::Result::Held);
    EXPECT_EQ(lock.holder(), holderOf(child));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(lock.tryLock(), ProcessLock::Result::Taken);
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
