#include "platform/ProcessLock.h"

#include <QDateTime>
#include <QFileInfo>
#include <QLockFile>

namespace {

// A process writes its id within microseconds of creating the file.
constexpr qint64 kUnwrittenLockMs = 2000;

} // namespace

bool takeProcessLock(QLockFile& lock)
{
    lock.setStaleLockTime(0);
    if (lock.tryLock(0))
        return true;
    if (lock.error() != QLockFile::LockFailedError)
        return false;
    qint64 pid = 0;
    QString host;
    QString app;
    if (lock.getLockInfo(&pid, &host, &app))
        return false; // a live process holds it
    const QDateTime written = QFileInfo(lock.fileName()).lastModified();
    if (!written.isValid() || written.msecsTo(QDateTime::currentDateTime()) < kUnwrittenLockMs)
        return false;
    return lock.removeStaleLockFile() && lock.tryLock(0);
}
