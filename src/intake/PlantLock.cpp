#include "intake/PlantLock.h"

#include "platform/FileOps.h"
#include "platform/ProcessLock.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>

PlantLock::PlantLock() = default;

PlantLock::~PlantLock()
{
    unlock();
}

QString PlantLock::lockPath(const QString& clientDir)
{
    return fileops::joinPath(clientDir, QStringLiteral("prog.mdb.server-lock"));
}

QString PlantLock::cleanStopMarkerPath(const QString& clientDir)
{
    return fileops::joinPath(clientDir, QStringLiteral("prog.mdb.clean-stop"));
}

void PlantLock::unlock()
{
    // Written while the lock is still held, so that the next server finds
    // it as soon as it can take the plant.
    if (m_lock && m_databaseSound)
        fileops::writeDurably(cleanStopMarkerPath(m_dir), QStringLiteral("stopped in order by process %1 at %2\n")
                                                              .arg(QCoreApplication::applicationPid())
                                                              .arg(QDateTime::currentDateTime().toString(Qt::ISODate))
                                                              .toUtf8());
    m_lock.reset();
    m_dir.clear();
    m_previousStopClean = false;
    m_databaseSound = false;
}

bool PlantLock::lock(const QString& clientDir, QString* holder)
{
    if (m_lock && m_dir == clientDir)
        return true;
    unlock();
    if (clientDir.isEmpty() || !QFileInfo(clientDir).isDir())
        return true;

    auto lock = std::make_unique<ProcessLock>(fileops::nativePath(lockPath(clientDir)));
    switch (lock->tryLock()) {
    case ProcessLock::Result::Taken:
        m_lock = std::move(lock);
        m_dir = clientDir;
        // Gone for good before this server writes anything: should it stop
        // without leaving a new one, the next server checks.
        m_previousStopClean = fileops::removeDurably(cleanStopMarkerPath(clientDir));
        m_databaseSound = m_previousStopClean;
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
