#include "tximport/ImportContext.h"

#include "platform/Text.h"
#include "platform/db/Criteria.h"

namespace tx {

// Criteria as the job database has always been searched: the job name
// quoted, bar and piece numbers as they stand in the file (leading zeros
// included), compared numerically by the store.
QString ImportContext::jobCriteria() const
{
    return QStringLiteral("LosName=") + db::quoted(jobName);
}

QString ImportContext::barCriteria(const QByteArray& barNo) const
{
    return jobCriteria() + QStringLiteral(" and StabNr=") + text::fromCp1252(barNo);
}

QString ImportContext::pieceCriteria(const QByteArray& pieceNo) const
{
    return jobCriteria() + QStringLiteral(" and TeileNr=") + text::fromCp1252(pieceNo);
}

} // namespace tx
