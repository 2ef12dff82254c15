#include "intake/SettleGuard.h"

#include "platform/FileOps.h"

#include <QDateTime>
#include <QFileInfo>
#include <QThread>

namespace {

// Entries of files not looked at for this long (taken, renamed, deleted) are
// dropped, so the table never grows with the server's age.
constexpr qint64 kForgetAfterMs = 10 * 60 * 1000;

bool readState(const QString& path, qint64* size, qint64* modifiedMs)
{
    const QFileInfo info(fileops::nativePath(path));
    if (!info.exists())
        return false;
    *size = info.size();
    *modifiedMs = info.lastModified().toMSecsSinceEpoch();
    return true;
}

} // namespace

SettleGuard::SettleGuard(int settleMs, bool waitWithinCall) : m_settleMs(settleMs), m_waitWithinCall(waitWithinCall) {}

bool SettleGuard::settled(const QString& path, qint64 size, qint64 modifiedMs, qint64 nowMs)
{
    if (m_settleMs <= 0)
        return true;
    forgetOldEntries(nowMs);
    auto it = m_seen.find(path);
    if (it == m_seen.end()) {
        m_seen.insert(path, Seen{size, modifiedMs, nowMs, nowMs});
        return false;
    }
    Seen& seen = *it;
    if (seen.size != size || seen.modifiedMs != modifiedMs) {
        // Changed since the last look: the change happened at the file's
        // time stamp if that is plausible, else now.
        const bool plausible = modifiedMs > seen.lastLookMs && modifiedMs <= nowMs;
        seen = Seen{size, modifiedMs, plausible ? modifiedMs : nowMs, nowMs};
        return nowMs - seen.stableSinceMs >= m_settleMs;
    }
    seen.lastLookMs = nowMs;
    return nowMs - seen.stableSinceMs >= m_settleMs;
}

bool SettleGuard::operator()(const QString& path)
{
    if (m_settleMs <= 0)
        return true;
    qint64 size = 0;
    qint64 modified = 0;
    if (!readState(path, &size, &modified))
        return false;
    qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (settled(path, size, modified, now))
        return true;
    if (!m_waitWithinCall)
        return false;
    const qint64 waitMs = m_settleMs - (now - m_seen.value(path).stableSinceMs);
    if (waitMs > 0)
        QThread::msleep(static_cast<unsigned long>(waitMs));
    if (!readState(path, &size, &modified))
        return false;
    now = QDateTime::currentMSecsSinceEpoch();
    return settled(path, size, modified, now);
}

void SettleGuard::forgetOldEntries(qint64 nowMs)
{
    for (auto it = m_seen.begin(); it != m_seen.end();) {
        if (nowMs - it->lastLookMs > kForgetAfterMs)
            it = m_seen.erase(it);
        else
            ++it;
    }
}
