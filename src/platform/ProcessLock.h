#pragma once

#include <QString>

// A lock that a process holds on a file for as long as it lives: an
// open-file-description write lock over the whole file. The kernel drops it
// when the process ends, however it ends, so a lock is never stale and there
// is nothing to wait for: a file that a killed holder left behind, empty,
// half written or naming a process on another host, is simply taken. Works
// on a network file system that passes locks on (NFSv4).
//
// The holder writes its process id and host into the file for people to
// read; whether the lock is held is never decided by that text. The file
// descriptor is not inherited by child processes.
class ProcessLock {
public:
    explicit ProcessLock(const QString& path);
    ~ProcessLock();
    ProcessLock(const ProcessLock&) = delete;
    ProcessLock& operator=(const ProcessLock&) = delete;

    enum class Result {
        Taken,  // this object holds the lock
        Held,   // another open file holds it; holder() names it
        Failed, // the file cannot be made or opened; errorString() says why
    };
    // Takes the lock without waiting; Taken again when already held here.
    Result tryLock();
    // Lets go of the lock; the file stays, emptied.
    void unlock();

    [[nodiscard]] bool isLocked() const { return m_fd >= 0; }
    [[nodiscard]] QString path() const { return m_path; }
    // After Held: "process <pid> on <host>" as the holder wrote it, or
    // "another process" while it has not written it yet.
    [[nodiscard]] QString holder() const { return m_holder; }
    [[nodiscard]] QString errorString() const { return m_error; }

private:
    QString m_path;
    int m_fd = -1;
    QString m_holder;
    QString m_error;
};
