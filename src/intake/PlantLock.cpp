#include "intake/PlantLock.h"

#include "platform/FileOps.h"
#include "platform/ProcessLock.h"

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

    auto lock = std::make_unique<ProcessLock>(fileops::nativePath(lockPath(clientDir)));
    switch (lock->tryLock()) {
    case ProcessLock::Result::Taken:
        m_lock = std::move(lock);
        m_dir = clientDir;
        return true;
    case ProcessLock::Result::Failed:
        return true; // cannot be written: neither can the job database
    case ProcessLock::Result::Held:
        break;
    }
    if (holder)
        *holder = lock->holder();
    return false;
}
