#include "tximport/ImportContext.h"

#include "intake/JobName.h"
#include "platform/Text.h"

namespace tx {

namespace {

db::Row findNumbered(ImportContext& ctx, const QString& table, const QString& column, const QByteArray& field,
                     PendingError& err)
{
    const QString number = text::fromCp1252(field);
    const QVariant value = text::searchNumber(number);
    if (!value.isValid()) {
        err.raise(ErrorNumber::SyntaxInQueryExpression,
                  QStringLiteral("Syntax error (missing operator) in query expression 'LosName='%1' and %2=%3'.")
                      .arg(ctx.jobName, column, number));
        return {};
    }
    db::Where where = ctx.jobWhere();
    where.emplace_back(column, value);
    return ctx.conn.database.firstRow(ctx.conn.table(table), where, err);
}

} // namespace

db::Where ImportContext::jobWhere() const
{
    return jobRows(jobName);
}

db::Row ImportContext::findBar(const QByteArray& barNo, PendingError& err)
{
    return findNumbered(*this, QStringLiteral("Stabdaten"), QStringLiteral("StabNr"), barNo, err);
}

db::Row ImportContext::findPiece(const QByteArray& pieceNo, PendingError& err)
{
    return findNumbered(*this, QStringLiteral("Teiledaten"), QStringLiteral("TeileNr"), pieceNo, err);
}

} // namespace tx
