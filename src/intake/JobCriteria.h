#pragma once

#include "platform/db/Criteria.h"

#include <QString>

// The rows of a job are found by its name in LosName. The job database was
// always searched with the name put between single quotes, so a job name
// with a quote in it never finds anything: every search with its criteria
// fails with the syntax error of the criteria text, wherever the job's
// rows are opened (openDB, the print data). This is the one place that
// rule is kept.
inline db::Criteria jobCriteria(const QString& jobName)
{
    db::Criteria criteria(QStringLiteral("LosName"), jobName);
    if (jobName.contains(QLatin1Char('\'')))
        criteria.refuse();
    return criteria;
}
