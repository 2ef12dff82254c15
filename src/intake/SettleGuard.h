#pragma once

#include <QHash>
#include <QString>

// Some planning systems write job files in place, without the read-only flag
// that normally keeps a half-written file from being taken. The guard lets
// the listing take such a file only once its size and modification time have
// stayed the same for a settle time.
//
// Stability is judged from the guard's own observations (a writer on another
// machine may have a clock that is off), except that a change seen between
// two looks is dated by the file's time stamp when that lies between them:
// so a file that stops growing is taken within one scan interval plus the
// settle time.
class SettleGuard {
public:
    // waitWithinCall: a file not yet settled is looked at again after the
    // rest of the settle time, within the same call (for a single cycle).
    explicit SettleGuard(int settleMs, bool waitWithinCall = false);

    // True when the file may be taken now; reads size and time from disk.
    bool operator()(const QString& path);

    // The rule itself, with the file's state and the current time given.
    bool settled(const QString& path, qint64 size, qint64 modifiedMs, qint64 nowMs);

    [[nodiscard]] int settleMs() const { return m_settleMs; }

private:
    struct Seen {
        qint64 size = -1;
        qint64 modifiedMs = 0;
        qint64 stableSinceMs = 0; // since when size and time are as recorded
        qint64 lastLookMs = 0;
    };
    void forgetOldEntries(qint64 nowMs);

    int m_settleMs;
    bool m_waitWithinCall;
    QHash<QString, Seen> m_seen;
};
