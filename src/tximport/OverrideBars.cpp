#include "tximport/Records.h"

// What an overriding import does to the bars the job already has, so that
// delivering a job again never doubles a piece: the saw would cut it twice.

namespace tx {

namespace {

const QString kStabNr = QStringLiteral("StabNr");

// Production data: the bar's pieces are deleted. Steel data: its steel
// pieces are only detached from their PVC pieces; the import attaches again
// those it finds again and deletes the rest at its end. A piece's own bar
// carries just the steel piece of its number, found again as it is. The
// machining rows go in every case: the file brings them again. A failure
// here is not reported: the pieces then stay as they were.
void removeOldPieces(ImportContext& ctx, const db::Where& bar, BarKind kind)
{
    PendingError ignored;
    db::Database& database = ctx.conn.database;
    database.deleteWhere(ctx.conn.table(QStringLiteral("Werkzeugdaten")), bar, ignored);
    const QString pieces = ctx.conn.table(QStringLiteral("Teiledaten"));
    if (!ctx.steelMode)
        database.deleteWhere(pieces, bar, ignored);
    else if (kind == BarKind::Listed)
        database.updateWhere(pieces, QStringLiteral("PVCTeileNr"), QVariant(0), bar, ignored);
}

} // namespace

void noteOldBars(ImportContext& ctx)
{
    ctx.oldBarsNotMet.clear();
    PendingError ignored;
    for (const QVariant& bar :
         ctx.conn.database.distinctOf(ctx.conn.table(QStringLiteral("Stabdaten")), kStabNr, ctx.jobWhere(), ignored))
        ctx.oldBarsNotMet.insert(bar.toDouble());
}

void meetFoundBar(ImportContext& ctx, BarKind kind)
{
    PendingError ignored;
    const QVariant bar = ctx.conn.bar.get(kStabNr, ignored);
    if (bar.isNull() || !ctx.oldBarsNotMet.remove(bar.toDouble()))
        return;
    db::Where where = ctx.jobWhere();
    where.emplace_back(kStabNr, bar);
    removeOldPieces(ctx, where, kind);
}

void removeBarsNotMet(ImportContext& ctx)
{
    PendingError ignored;
    for (const double bar : std::as_const(ctx.oldBarsNotMet)) {
        db::Where criteria = ctx.jobWhere();
        criteria.emplace_back(kStabNr, bar);
        removeOldPieces(ctx, criteria, BarKind::Listed);
        ctx.conn.database.deleteWhere(ctx.conn.table(QStringLiteral("Stabdaten")), criteria, ignored);
    }
    ctx.oldBarsNotMet.clear();
}

} // namespace tx
