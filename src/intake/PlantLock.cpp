#include "intake/PlantLock.h"

#include "platform/FileOps.h"
#include "platform/ProcessLock.h"

#include <QLockFile>

PlantLock::PlantLock() = default;

PlantLock::~PlantLock()
{
    unlock();
}

QString PlantLock::lockPath(const QString& clientDir)
{
    return fileops::joinPath(clientDir, QStringLiteral("prog.mdb.server-lock"));
}

void PlantLock::unlock()
{
    if (m_lock)
        m_lock->unlock();
    m_lock.reset();
    m_dir.clear();
}

bool PlantLock::lock(const QString& clientDir, QString* holder)
{
    if (m_lock && m_dir == clientDir)
        return true;
    unlock();
    if (clientDir.isEmpty() || !fileops::isDirectory(clientDir))
        return true;

    auto lock = std::make_unique<QLockFile>(fileops::nativePath(lockPath(clientDir)));
    // Held for the life of the server; a lock whose process is gone is stale.
    if (takeProcessLock(*lock)) {
        m_lock = std::move(lock);
        m_dir = clientDir;
        return true;
    }
    if (lock->error() != QLockFile::LockFailedError)
        return true; // cannot be written: neither can the job database
    if (holder) {
        qint64 pid = 0;
        QString host;
        QString app;
        if (lock->getLockInfo(&pid, &host, &app))
            *holder = QStringLiteral("process %1 on %2").arg(pid).arg(host);
        else
            *holder = QStringLiteral("another server");
    }
    return false;
}
