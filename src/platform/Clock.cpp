#include "platform/Clock.h"

QString timeStamp(const Clock& clock)
{
    const QDateTime t = clock.now();
    return t.toString(QStringLiteral("dd.MM.yyyy")) + QLatin1Char(' ') + t.toString(QStringLiteral("HH:mm:ss"));
}
