#pragma once

#include <QDateTime>
#include <QString>

// Time source; tests swap in a fixed clock.
class Clock {
public:
    virtual ~Clock() = default;
    [[nodiscard]] virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    [[nodiscard]] QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// The current date, a blank and the current time, in the formats the logs
// have always used ("05.12.2026 18:17:43").
QString timeStamp(const Clock& clock);
