// Piece sub-fields "G" (mitre angles of the two cuts) and "L" (piece length).

#include "tximport/Records.h"

#include "config/ServerContext.h"
#include "platform/Text.h"
#include "tximport/ReaderFrame.h"

#include <cmath>

namespace tx {
namespace {

// An explicit angle: hundredths of a degree in the file. An exact zero is
// "no mitre", which the angle conversion turns into a square cut.
QVariant explicitAngle(const ImportContext& ctx, const QByteArray& field)
{
    const double v = text::val(field);
    if (v == 0.0)
        return QVariant(ctx.server.settings.WinkelKonverter ? 90 : 0);
    return numberValue(v / 100.0);
}

// Cuts one explicit angle off the front: a sign and four digits, or four
// digits.
QByteArray cutExplicitAngle(ImportContext& ctx)
{
    const char first = ctx.buf.isEmpty() ? '\0' : ctx.buf.at(0);
    return cut(ctx, first == '+' || first == '-' ? 5 : 4);
}

// Angle codes the control knows: 1 is a 45 degree mitre, 2 a square cut,
// any other code c is handed on as the special angle 400 + c.
QVariant convertedCode(const QVariant& code)
{
    const double c = code.toDouble();
    if (c == 1.0)
        return QVariant(45);
    if (c == 2.0)
        return QVariant(90);
    return numberValue(400.0 + c);
}

// "GG" + on-angle + off-angle.
Flow readExplicitAngles(ImportContext& ctx)
{
    db::Row& piece = ctx.conn.piece;
    consume(ctx, 2);
    piece.set(QStringLiteral("AnGehrung"), explicitAngle(ctx, cutExplicitAngle(ctx)), ctx.err);
    piece.set(QStringLiteral("AbGehrung"), explicitAngle(ctx, cutExplicitAngle(ctx)), ctx.err);
    if (ctx.err.pending())
        return failureExit(ctx);
    ctx.ggSeen = true;
    if (ctx.conn.angleIdColumns && !ctx.angleIdsGiven) {
        piece.set(QStringLiteral("AngleOnCutID"), 0, ctx.err);
        piece.set(QStringLiteral("AngleOffCutID"), 0, ctx.err);
    }
    return Flow::Next;
}

// "G" + on-cut code + off-cut code. The codes go into the angle columns
// (unless explicit angles were given) and into the angle-ID columns where
// the database has them.
Flow readAngleCodes(ImportContext& ctx)
{
    db::Row& piece = ctx.conn.piece;
    const QString onCode = toText(peek(ctx, 2, 1));
    ctx.token = peek(ctx, 2, 1);
    if (!ctx.ggSeen)
        piece.set(QStringLiteral("AnGehrung"), onCode, ctx.err);
    if (ctx.err.pending())
        return failureExit(ctx);
    consume(ctx, 2);
    if (ctx.conn.angleIdColumns) {
        piece.set(QStringLiteral("AngleOnCutID"), onCode, ctx.err);
        ctx.angleIdsGiven = true;
    }

    const QString offCode = toText(peek(ctx, 1, 1));
    ctx.token = peek(ctx, 1, 1);
    if (!ctx.ggSeen)
        piece.set(QStringLiteral("AbGehrung"), offCode, ctx.err);
    if (ctx.err.pending())
        return failureExit(ctx);
    consume(ctx, 1);
    if (ctx.conn.angleIdColumns) {
        piece.set(QStringLiteral("AngleOffCutID"), offCode, ctx.err);
        ctx.angleIdsGiven = true;
    }
    if (ctx.err.pending())
        return failureExit(ctx);

    if (ctx.angleIdsGiven && ctx.server.settings.WinkelIDKonverter) {
        const QVariant on = piece.get(QStringLiteral("AngleOnCutID"), ctx.err);
        const QVariant off = piece.get(QStringLiteral("AngleOffCutID"), ctx.err);
        piece.set(QStringLiteral("AnGehrung"), convertedCode(on), ctx.err);
        piece.set(QStringLiteral("AbGehrung"), convertedCode(off), ctx.err);
    }
    return Flow::Next;
}

} // namespace

Flow readAngleField(ImportContext& ctx)
{
    const QByteArray form = peek(ctx, 2, 1);
    if (form == "G")
        return readExplicitAngles(ctx);
    // Angle data the machine does not use: skipped by their fixed widths.
    if (form == "A") {
        consume(ctx, 18);
        return Flow::Next;
    }
    if (form == "E") {
        consume(ctx, 19);
        return Flow::Next;
    }
    if (form == "P") {
        consume(ctx, 6);
        return Flow::Next;
    }
    return readAngleCodes(ctx);
}

Flow readLengthField(ImportContext& ctx)
{
    ctx.token = peek(ctx, 2, 5);
    const QVariant length = tenths(ctx.token);
    ctx.conn.piece.set(QStringLiteral("TeileLaenge"), length, ctx.err);
    // A bar made for this piece alone is exactly as long as the piece.
    if (ctx.ownBarRow)
        ctx.conn.bar.set(QStringLiteral("Rohlaenge"), length, ctx.err);
    if (ctx.err.pending())
        return failureExit(ctx);
    consume(ctx, 6);
    return Flow::Next;
}

} // namespace tx
