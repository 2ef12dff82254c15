#pragma once

#include "platform/db/JobDatabaseUrl.h"

#include <QString>

#include <memory>

class ProcessLock;
struct PendingError;

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
//
// With the job database in a schema of a PostgreSQL server the plant is
// the schema: the server holds the schema's advisory lock on a connection
// of its own (db::PlantAdvisoryLock). That lock goes with its connection,
// which a restart of the database server or a lost network ends; claim()
// takes it again, and is asked before every connection that may write.
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

    enum class Claim {
        Ours,          // this server holds the schema's lock (now, or still)
        HeldElsewhere, // another session holds it; text names it
        Unreachable    // the database server cannot be asked; text says why
    };
    // Makes sure this server holds the lock of the job database's schema:
    // asks whether the lock's connection still holds it, and when not (the
    // connection was lost, or it is the first claim) connects anew and
    // takes it.
    Claim claim(const JobDatabaseUrl& server, QString* text = nullptr);
    // claim() for a connection that may write: false, with the fault of
    // the machine raised into err, when this server does not hold the lock.
    bool claimForWriting(const JobDatabaseUrl& server, PendingError& err);

    // True when the plant held now was let go in order by the server before.
    [[nodiscard]] bool previousStopWasClean() const { return m_previousStopClean; }
    // What this server found out about the job database of the plant it holds.
    void setDatabaseSound(bool sound) { m_databaseSound = sound; }

    static QString lockPath(const QString& clientDir);
    static QString cleanStopMarkerPath(const QString& clientDir);

private:
    struct SchemaLock;
    std::unique_ptr<SchemaLock> m_schemaLock;
    std::unique_ptr<ProcessLock> m_lock;
    QString m_dir;
    bool m_previousStopClean = false;
    bool m_databaseSound = false;
};
