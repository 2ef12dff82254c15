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
//
// A server that lets go of a plant in order (it stops, or its settings
// move it to another plant) leaves a marker beside the job database, and
// the next server to take the plant removes it. A plant taken without the
// marker was left by a server that crashed, was killed or lost its power
// while it worked, or never had a server: only then is its job database
// worth the whole-file check.
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
    // Lets go of the plant in order: the marker is left when the job
    // database is known to be sound (checked, or taken over from a clean
    // stop, and met no damage since).
    void unlock();
    [[nodiscard]] QString lockedDir() const { return m_dir; }

    // True when the plant held now was let go in order by the server before.
    [[nodiscard]] bool previousStopWasClean() const { return m_previousStopClean; }
    // What this server found out about the job database of the plant it holds.
    void setDatabaseSound(bool sound) { m_databaseSound = sound; }

    static QString lockPath(const QString& clientDir);
    static QString cleanStopMarkerPath(const QString& clientDir);

private:
    std::unique_ptr<ProcessLock> m_lock;
    QString m_dir;
    bool m_previousStopClean = false;
    bool m_databaseSound = false;
};
