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

// A value read back as the leading-number rule reads its text; a whole
// number (what the integer columns give back) is that number already.
double numberOf(const QVariant& v)
{
    if (v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong)
        return double(v.toLongLong());
    return text::val(v.toString());
}

// Compared like the database values always were: Null is neither 0 nor
// anything else.
bool equalsNumber(const QVariant& v, double n)
{
    return !v.isNull() && numberOf(v) == n;
}

void emptyPieceSteelNames(ImportContext& ctx)
{
    db::Row& pieces = ctx.conn.piece;
    for (const char* column : {"StahlNr", "StahlNr1", "StahlNr2"})
        pieces.set(column, QStringLiteral(""), ctx.err);
    store(ctx, pieces, ctx.err);
}

// The piece has a steel selection and a steel name: the bar learns the
// name; a second steel keeps its own name.
void alignSteelNames(ImportContext& ctx, const QVariant& selection, const QString& steelName)
{
    db::Row& bars = ctx.conn.bar;
    db::Row& pieces = ctx.conn.piece;
    PendingError& err = ctx.err;
    const QString stahlName = QStringLiteral("StahlName");
    const QString stahlNr2 = QStringLiteral("StahlNr2");

    if (isNullOrEmpty(bars.get(stahlName, err)))
        bars.set(stahlName, steelName, err);
    if (equalsNumber(selection, 2))
        bars.set(stahlName, steelName, err);
    store(ctx, bars, err);

    if (!selection.isNull() && numberOf(selection) > 10) {
        if (isNullOrEmpty(pieces.get(stahlNr2, err)))
            pieces.set(stahlNr2, steelName, err);
        store(ctx, pieces, err);
    }
    const QVariant second = pieces.get(QStringLiteral("Stahlanwahl2"), err);
    const QVariant nr2 = pieces.get(stahlNr2, err);
    if (equalsNumber(second, 0) && !isNullOrEmpty(nr2)) {
        pieces.set(stahlNr2, QStringLiteral(""), err);
        store(ctx, pieces, err);
    }
}

void writePieceLoadID(ImportContext& ctx)
{
    qint16& loadID = ctx.conn.pieceLoadID;
    if (loadID < 0)
        return;
    ctx.conn.piece.set(QStringLiteral("LoadID"), QVariant(static_cast<int>(loadID)), ctx.err);
    if (ctx.err.pending())
        loadID = -1;
    else if (loadID < std::numeric_limits<qint16>::max())
        ++loadID;
}

} // namespace

void completePiece(ImportContext& ctx)
{
    db::Row& pieces = ctx.conn.piece;
    const QString steelName = toText(ctx.pieceSteelName);
    const QVariant selection = pieces.get(QStringLiteral("Stahlanwahl"), ctx.err);
    const bool hasSelection = !steelName.isEmpty() && !selection.isNull() && !equalsNumber(selection, 0);

    if (!ctx.steelMode) {
        if (!hasSelection && !steelName.isEmpty())
            emptyPieceSteelNames(ctx);
        else if (hasSelection)
            alignSteelNames(ctx, selection, text::trimBlanks(steelName));
    }

    ctx.err.clear();
    writePieceLoadID(ctx);
    store(ctx, pieces, ctx.err);
    if (ctx.ownBarRow) {
        ctx.barNumber.clear();
        store(ctx, ctx.conn.bar, ctx.err);
    }
}

} // namespace tx
