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

// What a killed holder may have left in the lock file (nullptr: no file).
struct LeftBehind {
    const char* name;
    const char* content;
};

class LeftBehindLock : public ::testing::TestWithParam<LeftBehind> {};

TEST_P(LeftBehindLock, IsTakenAtOnceAndNamesTheNewHolder)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/server.lock");
    if (GetParam().content) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(GetParam().content);
    }
    ProcessLock lock(path);
    ASSERT_EQ(lock.tryLock(), ProcessLock::Result::Taken);
    ProcessLock second(path);
    EXPECT_EQ(second.tryLock(), ProcessLock::Result::Held);
    EXPECT_EQ(second.holder(), holderOf(::getpid()));
}

const LeftBehind kLeftBehind[] = {
    {"NoFile", nullptr},
    {"Empty", ""},
    {"Garbage", "\x01\xfe garbage\n\n\n"},
    {"AnotherHost", "4711\nsome-other-host\n"},
    {"ADeadProcessOfThisHost", "2147483646\nlocalhost\n"},
};
INSTANTIATE_TEST_SUITE_P(Files, LeftBehindLock, ::testing::ValuesIn(kLeftBehind),
                         [](const auto& info) { return std::string(info.param.name); });

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
