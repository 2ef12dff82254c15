#include "platform/ProcessLock.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// The lock a server holds for its life stays out of the programs it starts: a lock let go is free
// while such a program still runs. Refusal with the holder named, and a lock left behind by a killed
// server, are driven by the shell tests (a second copy, the kill runs).
TEST(ProcessLock, IsNotInheritedByChildProcesses)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/server.lock");
    ProcessLock lock(path);
    ASSERT_EQ(lock.tryLock(), ProcessLock::Result::Taken);
    QProcess sleeper;
    sleeper.start(QStringLiteral("sleep"), {QStringLiteral("30")});
    ASSERT_TRUE(sleeper.waitForStarted());
    ProcessLock second(path);
    EXPECT_EQ(second.tryLock(), ProcessLock::Result::Held);
    lock.unlock();
    EXPECT_EQ(second.tryLock(), ProcessLock::Result::Taken);
    sleeper.kill();
    sleeper.waitForFinished();
}

} // namespace
