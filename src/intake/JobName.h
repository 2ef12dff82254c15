#pragma once

#include "platform/PendingError.h"
#include "platform/db/Database.h"

#include <QString>

// The rows of a job are found by its name in LosName. The job database was
// always searched with the name put between single quotes, so a job name
// with a quote in it never finds anything: every search for the job's rows
// fails with the syntax error of that search text, wherever the job's rows
// are looked for (openDB, the print data, deleting the job). This is the
// one place that rule is kept.
inline bool jobNameSearchable(const QString& jobName, PendingError& err)
{
    if (!jobName.contains(QLatin1Char('\'')))
        return true;
    err.raise(ErrorNumber::SyntaxInQueryExpression,
              QStringLiteral("Syntax error (missing operator) in query expression 'LosName='%1''.").arg(jobName));
    return false;
}

// The rows of a job.
inline db::Where jobRows(const QString& jobName)
{
    return {{QStringLiteral("LosName"), jobName}};
}
