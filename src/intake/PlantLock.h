#pragma once

#include <QString>

#include <memory>

class ProcessLock;

// One plant, one server. Two servers on the same job database would roll
// back and move each other's jobs, so a server holds a lock file beside the
// job database for as long as it works on that plant; whoever starts a
// second one, with whatever runtime directory, it finds the lock taken.
// The lock dies with its process, so a server that was killed leaves
// nothing that keeps the next one out.
class PlantLock {
public:
    PlantLock();
    ~PlantLock();
    PlantLock(const PlantLock&) = delete;
    PlantLock& operator=(const PlantLock&) = delete;

    // Takes the lock of the plant whose job database lives in clientDir,
    // giving up one held for another plant. True when this server may work
    // there: it holds the lock, or there is no such directory (no plant,
    // nothing to guard; nothing can be imported there either). False when
    // another server holds it; holder then says which.
    bool lock(const QString& clientDir, QString* holder = nullptr);
    void unlock();
    [[nodiscard]] QString lockedDir() const { return m_dir; }

    static QString lockPath(const QString& clientDir);

private:
    std::unique_ptr<ProcessLock> m_lock;
    QString m_dir;
};
