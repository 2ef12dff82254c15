#include "tximport/Records.h"

#include "config/ServerContext.h"
#include "intake/JobState.h"
#include "platform/Text.h"
#include "tximport/ReaderFrame.h"

#include <cmath>

// "KS" bar selection record: makes a bar of the job the current bar for
// the piece records that follow. A bar the job does not have yet is created
// from the record's own sub-fields.
//
//   KS x nnn <sub-fields>      x not read, nnn the bar number

namespace tx {

namespace {

// The bar number as a 16-bit integer, rounded like the database engine's
// integer conversion (halves to even).
bool barNumberValue(const QByteArray& field, int* value)
{
    bool ok = false;
    const double v = text::strictNumber(field, &ok);
    if (!ok || std::abs(v) > 32767.5)
        return false;
    *value = static_cast<int>(std::nearbyint(v));
    return true;
}

Pass readSubField(ImportContext& ctx)
{
    db::Row& bars = ctx.conn.bar;
    const char second = ctx.buf.size() > 1 ? ctx.buf.at(1) : '\0';
    switch (ctx.buf.at(0)) {
    case 'L':
        consume(ctx, 1);
        bars.set(QStringLiteral("Rohlaenge"), tenths(cut(ctx, 5)), ctx.err);
        return checkPoint(ctx);
    case 'B':
        consume(ctx, 3);
        return Pass::Next;
    case 'T':
        if (!readBarNameOrColour(ctx, second)) {
            consume(ctx, 1);
            const int width = ctx.server.settings.ProfNum3Digit ? 3 : 2;
            bars.set(profileNameColumn(ctx), toText(text::trimBlanks(cut(ctx, width))), ctx.err);
        }
        return checkPoint(ctx);
    default:
        // Only "L", "B" and "T" belong to this record; a blank or a line
        // feed included, anything else is a format error.
        wrongIdReport(ctx, WrongIdForm::Short);
        return Pass::Stop;
    }
}

Flow addSelectedBar(ImportContext& ctx)
{
    db::Row& bars = ctx.conn.bar;
    consume(ctx, 4);
    bars = ctx.conn.newRow(QStringLiteral("Stabdaten"), ctx.err);
    ++ctx.outcome.rows.bars;
    bars.set(QStringLiteral("LosName"), ctx.jobName, ctx.err);
    bars.set(QStringLiteral("StabNr"), toText(ctx.barNumber), ctx.err);
    if (ctx.err.pending())
        return failureExit(ctx);

    if (readSubFields(ctx, readSubField) == Pass::Stop)
        return Flow::Stop;

    ctx.err.clear();
    store(ctx, bars, ctx.err);
    ctx.job.BarProfileName = bars.get(profileNameColumn(ctx), ctx.err).toString();
    return Flow::Next;
}

Flow selectFoundBar(ImportContext& ctx)
{
    db::Row& bars = ctx.conn.bar;
    const QVariant name = bars.get(profileNameColumn(ctx), ctx.err);
    ctx.job.BarProfileName = name.toString();
    // The bar record that defined the bar gave it no profile: its pieces
    // would be cut without one.
    if (name.isNull() && !ctx.err.pending())
        ctx.err.raise(94, QStringLiteral("Invalid use of Null"));
    if (ctx.err.pending()) {
        ctx.err.description = QStringLiteral("Missing profil data in KB-Data");
        return failureExit(ctx);
    }
    if (ctx.conn.override)
        meetFoundBar(ctx, BarKind::Listed);
    return Flow::Next;
}

} // namespace

Flow readBarSelectionRecord(ImportContext& ctx)
{
    ctx.pieceSteelName.clear();
    consume(ctx, 2); // "KS"
    ctx.barNumber = peek(ctx, 2, 3);
    ctx.token = ctx.barNumber;

    // A bar number that is not a number cannot select a bar: reported as a
    // wrong bar number, with the conversion error.
    int number = 0;
    if (!barNumberValue(ctx.barNumber, &number)) {
        ctx.err.raise(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
        return wrongBarNumberReport(ctx);
    }

    db::Row found = ctx.conn.database.firstRow(
        ctx.conn.table(QStringLiteral("Stabdaten")),
        {{QStringLiteral("LosName"), ctx.jobName}, {QStringLiteral("StabNr"), qlonglong(number)}}, ctx.err);
    if (!found.isNull())
        ctx.conn.bar = found;
    const Flow flow = found.isNull() ? addSelectedBar(ctx) : selectFoundBar(ctx);
    if (flow == Flow::Stop)
        return Flow::Stop;

    const qsizetype lf = ctx.buf.indexOf('\n');
    if (lf < 0)
        ctx.buf.clear();
    else
        ctx.buf.remove(0, lf + 1);
    return Flow::EndOfRecord;
}

} // namespace tx
