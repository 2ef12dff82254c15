// Piece sub-field "D": the label printed for a piece. The short form names
// only the printer and books a placeholder print row that the label-data
// file fills later; "DE" carries lane, printer, label number and position.

#include "tximport/Records.h"

#include "config/ServerContext.h"
#include "etimport/PrintData.h"
#include "intake/JobState.h"
#include "platform/Text.h"
#include "tximport/ReaderFrame.h"

#include <cmath>

namespace tx {
namespace {

// A column value as it would be spelled in a list entry: numbers in their
// shortest decimal form, text as it stands.
QString spelled(const QVariant& v)
{
    if (v.typeId() == QMetaType::QString)
        return v.toString();
    return text::shortestDecimal(v.toDouble());
}

// Piece numbers of the print table are 16-bit integers.
int printPieceNumber(const QByteArray& pieceNumber)
{
    return static_cast<int>(std::nearbyint(text::val(pieceNumber)));
}

// "D" + printer.
Flow readShortLabel(ImportContext& ctx)
{
    ctx.token = peek(ctx, 2, 1);
    consume(ctx, 2);
    const double printer = text::val(ctx.token);
    if (printer <= 0)
        return Flow::Next;

    db::Row& piece = ctx.conn.piece;
    piece.set(QStringLiteral("EtikettDruckerNr"), numberValue(printer), ctx.err);
    ctx.job.jobHasLabelData = true;
    piece.set(QStringLiteral("EtikettNr"), toText(ctx.pieceNumber), ctx.err);

    // The first labelled piece of the file replaces the job's earlier print
    // rows; the label-data file fills the rows booked here.
    if (!ctx.printPrepared) {
        bool cancelled = false;
        const int rc = et::PreparePrintData(ctx.server, ctx.print, &ctx.conn.database, ctx.jobName, true, cancelled, 0);
        if (rc > 0)
            return failWith(ctx, QStringLiteral("Opening printdata table in database?"));
        ctx.printPrepared = true;
    }
    et::WritePrintRow(ctx.print, ctx.jobName, printPieceNumber(ctx.pieceNumber), 0, et::PlaceholderLabel, ctx.err);
    return Flow::Next;
}

// "DE" + lane + printer + label number + position.
Flow readFullLabel(ImportContext& ctx)
{
    db::Row& piece = ctx.conn.piece;
    ctx.errorText = toText(peek(ctx, 1, 8));

    ctx.token = peek(ctx, 3, 1);
    consume(ctx, 3);
    piece.set(QStringLiteral("EtikettLaufbahn"), numberValue(text::val(ctx.token)), ctx.err);

    const double printer = text::val(cut(ctx, 1));
    piece.set(QStringLiteral("EtikettDruckerNr"), numberValue(printer), ctx.err);
    if (printer != 0)
        ctx.job.jobHasLabelData = true;

    const QByteArray labelNumber = cut(ctx, 4);
    // A label meant for another piece is a planning error: the texts are
    // compared as they stand, so "0012" and "12" differ.
    const QVariant printerBack = piece.get(QStringLiteral("EtikettDruckerNr"), ctx.err);
    const bool printed = !printerBack.isNull() && printerBack.toDouble() != 0;
    if (printed && ctx.server.settings.CompareDEandKTN == TriState::Ticked && labelNumber != ctx.pieceNumber) {
        const QString description = ctx.errorText + QStringLiteral("... <Wrong piece number> KTN") +
                                    toText(ctx.pieceNumber) + QStringLiteral("...");
        ctx.errorText = description;
        return failWith(ctx, description);
    }
    piece.set(QStringLiteral("EtikettNr"), toText(labelNumber), ctx.err);
    piece.set(QStringLiteral("EtikettPosition"), tenths(cut(ctx, 5)), ctx.err);

    // Labels numbered apart from their pieces are listed, so that the
    // label-data file finds the piece of each label.
    if (ctx.server.settings.ConvToPvcNum && ctx.server.settings.jobMode()) {
        const QVariant printerNow = piece.get(QStringLiteral("EtikettDruckerNr"), ctx.err);
        const QVariant label = piece.get(QStringLiteral("EtikettNr"), ctx.err);
        const bool labelled = !printerNow.isNull() && printerNow.toDouble() != 0;
        if (labelled && !label.isNull() && label.toDouble() != text::val(ctx.pieceNumber))
            ctx.job.labelList.append(spelled(label), toText(ctx.pieceNumber));
    }
    return Flow::Next;
}

} // namespace

Flow readLabelField(ImportContext& ctx)
{
    if (peek(ctx, 2, 1) == "E")
        return readFullLabel(ctx);
    return readShortLabel(ctx);
}

} // namespace tx
