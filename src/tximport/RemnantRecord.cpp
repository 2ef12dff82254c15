#include "tximport/Records.h"

#include "config/ServerContext.h"
#include "etimport/PrintData.h"
#include "intake/JobState.h"
#include "platform/Text.h"
#include "tximport/ReaderFrame.h"

#include <cmath>

// "KR" remnant record: what is left of the current bar (piece number,
// length, mark) and the label printed for it. It writes into the current
// bar row; only a remnant label adds a print-data row.

namespace tx {

namespace {

// The remnant's own piece number as a 16-bit integer; false when the row
// holds none.
bool remnantPieceNumber(ImportContext& ctx, int* piece)
{
    const QVariant v = ctx.conn.bar.get(QStringLiteral("ResteTeileNr"), ctx.err);
    if (v.isNull()) {
        ctx.err.raise(94, QStringLiteral("Invalid use of Null"));
        return false;
    }
    bool ok = false;
    const double n = text::strictNumber(text::toCp1252(v.toString()), &ok);
    if (!ok || std::abs(n) > 32767.5) {
        ctx.err.raise(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
        return false;
    }
    *piece = static_cast<int>(std::nearbyint(n));
    return true;
}

// "D" with a printer number: a print row "Label(Rest):" for the remnant.
// The print data of the job are prepared once per import.
Pass writeRemnantLabel(ImportContext& ctx)
{
    if (!ctx.printPrepared) {
        bool cancelled = false;
        if (et::PreparePrintData(ctx.server, ctx.print, &ctx.conn.database, ctx.jobName, true, cancelled, 0) > 0) {
            failWith(ctx, QStringLiteral("Opening printdata table in database?"));
            return Pass::Stop;
        }
        ctx.printPrepared = true;
    }
    int piece = 0;
    if (remnantPieceNumber(ctx, &piece))
        et::WritePrintRow(ctx.print, ctx.jobName, piece, 0, et::PlaceholderRemnantLabel, ctx.err);
    return Pass::Next;
}

// "DE" in job mode: a remnant label whose number is not that of the piece
// after the last piece read is entered in the label list, so that the
// label-data file finds it. A remnant that has its own piece number needs
// no entry: its label goes by that number.
void extendLabelList(ImportContext& ctx)
{
    db::Row& bars = ctx.conn.bar;
    PendingError& err = ctx.err;
    const QVariant printer = bars.get(QStringLiteral("ResteEtkDruckerNr"), err);
    if (ctx.server.settings.separateMode() || printer.isNull() || printer.toDouble() == 0.0)
        return;
    const QVariant restPiece = bars.get(QStringLiteral("ResteTeileNr"), err);
    if (restPiece.isNull() || text::val(restPiece.toString()) != 0.0)
        return;
    const double next = text::val(ctx.pieceNumber) + 1.0;
    const double label = bars.get(QStringLiteral("ResteEtkNr"), err).toDouble();
    if (label != next)
        ctx.job.labelList.append(text::shortestDecimal(label), text::shortestDecimal(next));
}

void readLabelData(ImportContext& ctx)
{
    db::Row& bars = ctx.conn.bar;
    PendingError& err = ctx.err;
    consume(ctx, 2);
    const double track = text::val(cut(ctx, 1));
    const double printer = text::val(cut(ctx, 1));
    const double label = text::val(cut(ctx, 4));
    const QVariant position = tenths(cut(ctx, 5));
    bars.set(QStringLiteral("ResteEtkLaufbahn"), track, err);
    bars.set(QStringLiteral("ResteEtkDruckerNr"), printer, err);
    bars.set(QStringLiteral("ResteEtkNr"), label, err);
    bars.set(QStringLiteral("ResteEtkPosition"), position, err);
    if (printer != 0.0)
        ctx.job.jobHasLabelData = true;
    extendLabelList(ctx);
}

Pass readSubField(ImportContext& ctx)
{
    db::Row& bars = ctx.conn.bar;
    const char second = ctx.buf.size() > 1 ? ctx.buf.at(1) : '\0';
    switch (ctx.buf.at(0)) {
    case 'N': {
        consume(ctx, 1);
        const QByteArray number = cut(ctx, 4);
        bars.set(QStringLiteral("ResteTeileNr"), toText(number), ctx.err);
        if (text::val(number) == 0.0) {
            wrongRestPieceNumberReport(ctx, number);
            return Pass::Stop;
        }
        return Pass::Next;
    }
    case 'L':
        consume(ctx, 1);
        bars.set(QStringLiteral("ResteLaenge"), tenths(cut(ctx, 5)), ctx.err);
        return checkPoint(ctx);
    case 'A':
        consume(ctx, 1);
        bars.set(QStringLiteral("ResteKennung"), toText(cut(ctx, 1)), ctx.err);
        return Pass::Next;
    case 'D':
        if (second == 'E') {
            readLabelData(ctx);
            return Pass::Next;
        }
        consume(ctx, 1);
        if (text::val(cut(ctx, 1)) > 0.0)
            return writeRemnantLabel(ctx);
        return Pass::Next;
    default:
        return Pass::Leave;
    }
}

} // namespace

Flow readRemnantRecord(ImportContext& ctx)
{
    consume(ctx, 2); // "KR"
    switch (readSubFields(ctx, readSubField)) {
    case Pass::Stop:
        return Flow::Stop;
    case Pass::Leave:
        // Only a line feed ends the sub-fields; anything else is a format error.
        if (ctx.buf.at(0) != '\n')
            return wrongIdReport(ctx, WrongIdForm::Short);
        consume(ctx, 1);
        break;
    case Pass::Next:
        break;
    }
    ctx.err.clear();
    // The bar stays open for editing: piece records that follow on the same
    // bar write their steel names into it.
    store(ctx, ctx.conn.bar, ctx.err);
    return Flow::EndOfRecord;
}

} // namespace tx
