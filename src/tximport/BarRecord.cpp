#include "tximport/Records.h"

#include "config/ServerContext.h"
#include "platform/Text.h"
#include "tximport/ReaderFrame.h"

#include <limits>

// "KB" bar record: a new bar of the job (or, when overriding, a bar found
// again) with its raw length, profile, colour, designation and track.
//
//   KB x nnn <sub-fields>      x not read, nnn the bar number as it stands

namespace tx {

namespace {

const QString kLosName = QStringLiteral("LosName");
const QString kStabNr = QStringLiteral("StabNr");

QString profileNumberColumn(const ImportContext& ctx)
{
    return ctx.steelMode ? QStringLiteral("StahlNr") : QStringLiteral("ProfilNr");
}

// Override: the bar's row, when the job already has it, becomes current.
bool findExistingBar(ImportContext& ctx)
{
    db::Row found = ctx.findBar(ctx.barNumber, ctx.err);
    if (found.isNull())
        return false;
    ctx.conn.bar = found;
    meetFoundBar(ctx, BarKind::Listed);
    return true;
}

// A new row, stored at once (the pieces refer to it); its values follow.
Flow addBar(ImportContext& ctx)
{
    db::Row& bars = ctx.conn.bar;
    bars = ctx.conn.newRow(QStringLiteral("Stabdaten"), ctx.err);
    ++ctx.outcome.rows.bars;
    bars.set(kLosName, ctx.jobName, ctx.err);
    bars.set(kStabNr, toText(ctx.barNumber), ctx.err);
    bars.set(QStringLiteral("ResteTeileNr"), QVariant(0), ctx.err);
    store(ctx, bars, ctx.err);
    if (ctx.err.pending() || text::val(ctx.barNumber) == 0.0)
        return wrongBarNumberReport(ctx);

    if (!ctx.steelMode && ctx.server.settings.AutoFreigabe) {
        PendingError& err = ctx.err;
        bars.setFrom(QStringLiteral("Freigabe"), ctx.conn.job, err);
        bars.set(QStringLiteral("ID"), ctx.carry.nextBarID, err);
        ++ctx.carry.nextBarID;
    }
    return Flow::Next;
}

// "T" followed by a profile number: the number, then its name from the
// profile database (the number itself when it has none).
void readProfileNumber(ImportContext& ctx)
{
    const int width = ctx.server.settings.ProfNum3Digit ? 3 : 2;
    consume(ctx, 1);
    const QByteArray number = cut(ctx, width);
    db::Row& bars = ctx.conn.bar;
    bars.set(profileNumberColumn(ctx), toText(text::trimBlanks(number)), ctx.err);
    ctx.err.clear();
    const QString name = LookupProfileName(ctx.server, ctx.profiles, toText(number));
    bars.set(profileNameColumn(ctx), text::trimBlanks(name), ctx.err);
}

Pass readSubField(ImportContext& ctx)
{
    db::Row& bars = ctx.conn.bar;
    const char letter = ctx.buf.at(0);
    const char second = ctx.buf.size() > 1 ? ctx.buf.at(1) : '\0';
    switch (letter) {
    case 'L':
        consume(ctx, 1);
        bars.set(QStringLiteral("Rohlaenge"), tenths(cut(ctx, 5)), ctx.err);
        return checkPoint(ctx);
    case 'R':
        consume(ctx, 7);
        return Pass::Next;
    case 'E':
        consume(ctx, 1);
        bars.set(QStringLiteral("Laufbahn"), toText(cut(ctx, 1)), ctx.err);
        return Pass::Next;
    case 'A':
        consume(ctx, 3);
        return Pass::Next;
    case 'B':
        consume(ctx, 1);
        bars.set(QStringLiteral("Bezeichnung"), toText(cut(ctx, 20)), ctx.err);
        return Pass::Next;
    case 'T':
        if (!readBarNameOrColour(ctx, second))
            readProfileNumber(ctx);
        return checkPoint(ctx);
    case 'S':
        // Only the "SB" form exists. Anything else after an "S" would leave
        // the line unread; it is a format error like an unknown letter.
        if (second != 'B')
            break;
        consume(ctx, 2);
        {
            const QByteArray name = text::trimBlanks(cut(ctx, 8));
            if (!ctx.steelMode)
                bars.set(QStringLiteral("StahlName"), toText(name), ctx.err);
        }
        return Pass::Next;
    case 'P':
        consume(ctx, second == 'B' ? 10 : 4);
        return Pass::Next;
    case ' ':
        consume(ctx, 1);
        return Pass::Next;
    case '\n':
        consume(ctx, 1);
        return Pass::Leave;
    default:
        break;
    }
    // Unknown letter: the whole rest of the line goes into the report; the
    // bar row is kept as far as it was read.
    wrongIdReport(ctx, WrongIdForm::WholeRest);
    ctx.buf.clear();
    store(ctx, bars, ctx.err);
    return Pass::Stop;
}

// End of the record: the bar's load identifier. A table without the
// column switches load identifiers off for the rest of the file.
void finishBar(ImportContext& ctx)
{
    db::Row& bars = ctx.conn.bar;
    if (ctx.conn.barLoadID >= 0) {
        ctx.err.clear();
        bars.set(QStringLiteral("LoadID"), QVariant(static_cast<int>(ctx.conn.barLoadID)), ctx.err);
        if (ctx.err.pending())
            ctx.conn.barLoadID = -1;
        else if (ctx.conn.barLoadID < std::numeric_limits<qint16>::max())
            ++ctx.conn.barLoadID;
    }
    // The bar stays the current row, open for editing, while its pieces
    // are read: they write further columns into it.
    store(ctx, bars, ctx.err);
    ctx.err.clear();
}

} // namespace

Flow readBarRecord(ImportContext& ctx)
{
    consume(ctx, 2); // "KB"
    ctx.barNumber = peek(ctx, 2, 3);
    ctx.token = ctx.barNumber;
    consume(ctx, 4);
    if (ctx.barNumber.isEmpty())
        return wrongBarNumberReport(ctx);

    if (!(ctx.conn.override && findExistingBar(ctx))) {
        if (addBar(ctx) == Flow::Stop)
            return Flow::Stop;
    }

    // After "L" and "T" a refused write ends the import.
    if (readSubFields(ctx, readSubField) == Pass::Stop)
        return Flow::Stop;
    finishBar(ctx);
    return Flow::EndOfRecord;
}

QString profileNameColumn(const ImportContext& ctx)
{
    return ctx.steelMode ? QStringLiteral("StahlName") : QStringLiteral("ProfilName");
}

bool readBarNameOrColour(ImportContext& ctx, char second)
{
    if (second == 'B') {
        consume(ctx, 2);
        ctx.conn.bar.set(profileNameColumn(ctx), toText(text::trimBlanks(cut(ctx, 8))), ctx.err);
        return true;
    }
    if (second == 'F') {
        consume(ctx, 2);
        ctx.conn.bar.set(QStringLiteral("Farbe"), toText(text::trimBlanks(cut(ctx, 20))), ctx.err);
        return true;
    }
    return false;
}

} // namespace tx
