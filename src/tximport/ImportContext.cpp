#include "tximport/ImportContext.h"

#include "intake/JobCriteria.h"
#include "platform/Text.h"

namespace tx {

// Bar and piece numbers as they stand in the file (leading zeros
// included), compared numerically by the store; one that is no number
// makes the criteria fail where they are used.
db::Criteria ImportContext::jobCriteria() const
{
    return ::jobCriteria(jobName);
}

db::Criteria ImportContext::barCriteria(const QByteArray& barNo) const
{
    return jobCriteria().andNumberText(QStringLiteral("StabNr"), text::fromCp1252(barNo));
}

db::Criteria ImportContext::pieceCriteria(const QByteArray& pieceNo) const
{
    return jobCriteria().andNumberText(QStringLiteral("TeileNr"), text::fromCp1252(pieceNo));
}

} // namespace tx
