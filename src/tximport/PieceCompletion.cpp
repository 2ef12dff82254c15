#include "tximport/Records.h"

#include "platform/Text.h"
#include "tximport/ReaderFrame.h"

#include <limits>

// End of a piece record: the steel names of the piece and of its bar are
// brought into line, the piece gets its load identifier and is stored.
// Nothing here is reported: what the steel steps leave pending is cleared,
// and a refused load identifier switches load identifiers off for the job.

namespace tx {

namespace {

bool isNullOrEmpty(const QVariant& v)
{
    return v.isNull() || v.toString().isEmpty();
}

// Compared like the database values always were: Null is neither 0 nor
// anything else.
bool equalsNumber(const QVariant& v, double n)
{
    return !v.isNull() && text::val(v.toString()) == n;
}

void emptyPieceSteelNames(ImportContext& ctx)
{
    db::Recordset& pieces = ctx.conn.pieces;
    for (const char* column : {"StahlNr", "StahlNr1", "StahlNr2"})
        pieces.setField(QString::fromLatin1(column), QStringLiteral(""), ctx.err);
    storeAndReopen(pieces, ctx.err);
}

// The piece has a steel selection and a steel name: the bar learns the
// name; a second steel keeps its own name.
void alignSteelNames(ImportContext& ctx, const QVariant& selection, const QString& steelName)
{
    db::Recordset& bars = ctx.conn.bars;
    db::Recordset& pieces = ctx.conn.pieces;
    PendingError& err = ctx.err;
    const QString stahlName = QStringLiteral("StahlName");
    const QString stahlNr2 = QStringLiteral("StahlNr2");

    if (isNullOrEmpty(bars.field(stahlName, err)))
        bars.setField(stahlName, steelName, err);
    if (equalsNumber(selection, 2))
        bars.setField(stahlName, steelName, err);
    storeAndReopen(bars, err);

    if (!selection.isNull() && text::val(selection.toString()) > 10) {
        if (isNullOrEmpty(pieces.field(stahlNr2, err)))
            pieces.setField(stahlNr2, steelName, err);
        storeAndReopen(pieces, err);
    }
    const QVariant second = pieces.field(QStringLiteral("Stahlanwahl2"), err);
    const QVariant nr2 = pieces.field(stahlNr2, err);
    if (equalsNumber(second, 0) && !isNullOrEmpty(nr2)) {
        pieces.setField(stahlNr2, QStringLiteral(""), err);
        storeAndReopen(pieces, err);
    }
}

void writePieceLoadID(ImportContext& ctx)
{
    qint16& loadID = ctx.conn.pieceLoadID;
    if (loadID < 0)
        return;
    ctx.conn.pieces.setField(QStringLiteral("LoadID"), QVariant(static_cast<int>(loadID)), ctx.err);
    if (ctx.err.pending())
        loadID = -1;
    else if (loadID < std::numeric_limits<qint16>::max())
        ++loadID;
}

} // namespace

void completePiece(ImportContext& ctx)
{
    db::Recordset& pieces = ctx.conn.pieces;
    const QString steelName = toText(ctx.pieceSteelName);
    const QVariant selection = pieces.field(QStringLiteral("Stahlanwahl"), ctx.err);
    const bool hasSelection = !steelName.isEmpty() && !selection.isNull() && !equalsNumber(selection, 0);

    if (!ctx.steelMode) {
        if (!hasSelection && !steelName.isEmpty())
            emptyPieceSteelNames(ctx);
        else if (hasSelection)
            alignSteelNames(ctx, selection, text::trimBlanks(steelName));
    }

    ctx.err.clear();
    writePieceLoadID(ctx);
    pieces.update(ctx.err);
    if (ctx.ownBarRow) {
        ctx.barNumber.clear();
        ctx.conn.bars.update(ctx.err);
    }
}

} // namespace tx
