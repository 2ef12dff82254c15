// Piece sub-field "S": the steel reinforcement of a PVC piece. "SA" assigns a
// steel (the first of a piece, or a second one by the double-steel setting),
// "SB" names it, any other "S" is the short form. In the steel-data file the
// same fields describe the steel piece itself and point back to its PVC
// piece.

#include "tximport/Records.h"

#include "config/ServerContext.h"
#include "intake/JobState.h"
#include "platform/Text.h"
#include "tximport/ReaderFrame.h"

#include <cmath>

namespace tx {
namespace {

QVariant numberOf(const QByteArray& field)
{
    return numberValue(text::val(field));
}

// Arithmetic and comparisons on column values follow the database's Null
// rules: anything combined with Null is Null, and a comparison with Null is
// never true. A double-steel piece whose first steel carried no selection
// therefore keeps a Null selection.
QVariant plus(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull())
        return {};
    return numberValue(a.toDouble() + b.toDouble());
}

QVariant tensPlus(const QVariant& tens, const QVariant& ones)
{
    if (tens.isNull() || ones.isNull())
        return {};
    return numberValue(tens.toDouble() * 10.0 + ones.toDouble());
}

bool isNonZero(const QVariant& v)
{
    return !v.isNull() && v.toDouble() != 0.0;
}
bool isZero(const QVariant& v)
{
    return !v.isNull() && v.toDouble() == 0.0;
}
bool differs(const QVariant& v, double number)
{
    return !v.isNull() && v.toDouble() != number;
}

// The PVC piece-number list and the running counter grow only when the
// planning system numbers steel pieces apart from the PVC pieces and the
// files of a job are read together.
bool pvcListEnabled(const ImportContext& ctx)
{
    return ctx.server.settings.ConvToPvcNum && ctx.server.settings.jobMode();
}

bool steelSwitchedOff(const ImportContext& ctx)
{
    return ctx.server.settings.steelDefault == SteelDefault::SwitchOff;
}

// A selection that asks for steel (3 is the "no steel here" code).
void noteSteelSelection(ImportContext& ctx, double selection)
{
    if (selection > 0 && selection != 3)
        ctx.job.jobHasSteelData = true;
}

void appendPvcEntry(ImportContext& ctx, const QVariant& steelNumber)
{
    ctx.job.pvcPieceNumbers.append(text::shortestDecimal(steelNumber.toDouble()), toText(ctx.pieceNumber));
}

QVariant get(ImportContext& ctx, const char* column)
{
    return ctx.conn.piece.get(column, ctx.err);
}

void set(ImportContext& ctx, const char* column, const QVariant& value)
{
    ctx.conn.piece.set(column, value, ctx.err);
}

// "S" + selection + length + steel number.
Flow readShortForm(ImportContext& ctx)
{
    ctx.token = peek(ctx, 2, 1);
    consume(ctx, 2);
    const double selection = text::val(ctx.token);
    set(ctx, "Stahlanwahl", numberValue(selection));
    noteSteelSelection(ctx, selection);
    set(ctx, "Stahllaenge", tenths(cut(ctx, 5)));
    set(ctx, "Stahlnummer", numberOf(cut(ctx, 3)));

    // Steel pieces counted in the order of the PVC pieces: where a PVC
    // piece's number is not its place in that count, the steel-data file
    // needs the entry to find its PVC piece.
    if (!ctx.steelMode && pvcListEnabled(ctx) && isNonZero(get(ctx, "Stahlanwahl"))) {
        if (text::val(ctx.pieceNumber) != ctx.steelCounter)
            appendPvcEntry(ctx, QVariant(ctx.steelCounter));
        ++ctx.steelCounter;
    }
    return Flow::Next;
}

// "SB" + designation.
Flow readDesignation(ImportContext& ctx)
{
    ctx.token = peek(ctx, 3, 8);
    const QByteArray trimmed = text::trimBlanks(ctx.token);
    const QString designation = toText(trimmed);
    consume(ctx, 10);
    if (!ctx.sbSeen) {
        set(ctx, "StahlBezeichnung", designation);
        if (ctx.steelMode)
            return Flow::Next;
        set(ctx, "StahlNr", designation);
        set(ctx, "StahlNr1", designation);
        ctx.pieceSteelName = trimmed;
        ctx.sbSeen = true;
        return Flow::Next;
    }
    const QString first = get(ctx, "StahlBezeichnung").toString();
    set(ctx, "StahlBezeichnung", first + QLatin1Char('+') + designation);
    set(ctx, "StahlNr2", designation);
    return Flow::Next;
}

// First "SA" of a piece in the production-data file.
void readFirstSteel(ImportContext& ctx)
{
    ctx.token = peek(ctx, 3, 1);
    consume(ctx, 3);
    if (!steelSwitchedOff(ctx)) {
        const double selection = text::val(ctx.token);
        set(ctx, "Stahlanwahl", numberValue(selection));
        noteSteelSelection(ctx, selection);
    }
    set(ctx, "Stahllaufbahn", numberOf(cut(ctx, 1)));
    set(ctx, "StahlTeileNr", numberOf(cut(ctx, 4)));
    set(ctx, "Stahllaenge", tenths(cut(ctx, 5)));
    set(ctx, "Stahleinschubtiefe", tenths(cut(ctx, 5)));
    set(ctx, "Stahlnummer", toText(cut(ctx, 3)));

    if (pvcListEnabled(ctx) && isNonZero(get(ctx, "Stahlanwahl"))) {
        const QVariant steelPiece = get(ctx, "StahlTeileNr");
        if (differs(steelPiece, text::val(ctx.pieceNumber)))
            appendPvcEntry(ctx, steelPiece);
    }
}

// First "SA" of a piece in the steel-data file: the steel piece's own
// lengths, and the PVC piece it belongs to.
void readFirstSteelPiece(ImportContext& ctx)
{
    ctx.token = peek(ctx, 3, 1);
    consume(ctx, 3);
    const QVariant selection = numberOf(ctx.token);
    set(ctx, "Stahlanwahl", selection);
    set(ctx, "Stahlanwahl1", selection);
    set(ctx, "Stahllaufbahn", numberOf(cut(ctx, 1)));
    const double pvcPiece = text::val(cut(ctx, 4));
    if (pvcPiece > 0)
        set(ctx, "PVCTeileNr", numberValue(pvcPiece));
    set(ctx, "TeileLaenge1", tenths(cut(ctx, 5)));
    const QVariant depth = tenths(cut(ctx, 5));
    set(ctx, "Stahleinschubtiefe", depth);
    set(ctx, "Stahleinschubtiefe1", depth);
    cut(ctx, 3);
}

// Second "SA" with double steel data: the second steel gets columns of its
// own and the piece's main columns describe both together.
Flow readSecondSteel(ImportContext& ctx)
{
    ctx.token = peek(ctx, 3, 1);
    consume(ctx, 3);
    set(ctx, "Stahlanwahl2", numberOf(ctx.token));
    if (ctx.err.pending())
        return failureExit(ctx);
    set(ctx, "Stahllaufbahn2", numberOf(cut(ctx, 1)));
    set(ctx, "StahlTeileNr2", numberOf(cut(ctx, 4)));
    set(ctx, ctx.steelMode ? "TeileLaenge2" : "Stahllaenge2", tenths(cut(ctx, 5)));
    set(ctx, "Stahleinschubtiefe2", tenths(cut(ctx, 5)));
    const QByteArray steelNumber = cut(ctx, 3);

    if (ctx.steelMode) {
        set(ctx, "Stahlanwahl", tensPlus(get(ctx, "Stahlanwahl2"), get(ctx, "Stahlanwahl1")));
        if (isZero(get(ctx, "TeileLaenge")))
            set(ctx, "TeileLaenge", plus(get(ctx, "TeileLaenge1"), get(ctx, "TeileLaenge2")));
        return Flow::Next;
    }

    if (steelSwitchedOff(ctx))
        set(ctx, "Stahlanwahl2", 0);
    set(ctx, "Stahlnummer2", numberOf(steelNumber));
    set(ctx, "Stahlanwahl1", get(ctx, "Stahlanwahl"));
    set(ctx, "StahlTeileNr1", get(ctx, "StahlTeileNr"));
    set(ctx, "Stahllaenge1", get(ctx, "Stahllaenge"));
    set(ctx, "Stahleinschubtiefe1", get(ctx, "Stahleinschubtiefe"));
    set(ctx, "Stahlnummer1", get(ctx, "Stahlnummer"));
    set(ctx, "Stahlanwahl", tensPlus(get(ctx, "Stahlanwahl2"), get(ctx, "Stahlanwahl1")));
    set(ctx, "Stahllaenge", plus(get(ctx, "Stahllaenge1"), get(ctx, "Stahllaenge2")));
    set(ctx, "StahlTeileNr", 0);
    set(ctx, "Stahleinschubtiefe", 0);

    if (pvcListEnabled(ctx) && isNonZero(get(ctx, "Stahlanwahl"))) {
        const QVariant steelPiece = get(ctx, "StahlTeileNr2");
        if (differs(steelPiece, text::val(ctx.pieceNumber)))
            appendPvcEntry(ctx, steelPiece);
    }
    return Flow::Next;
}

// "SA" + selection + lane + number + length + depth + steel number.
Flow readAssignment(ImportContext& ctx)
{
    if (!ctx.saSeen) {
        if (ctx.steelMode)
            readFirstSteelPiece(ctx);
        else
            readFirstSteel(ctx);
        ctx.saSeen = true;
        return Flow::Next;
    }
    switch (ctx.server.settings.Steeldata) {
    case TriState::Ticked: {
        // Single steel data: the second selection goes into the tens.
        const double selection = text::val(peek(ctx, 3, 1));
        set(ctx, "Stahlanwahl", plus(get(ctx, "Stahlanwahl"), numberValue(10.0 * selection)));
        consume(ctx, 21);
        return Flow::Next;
    }
    case TriState::Greyed:
        return readSecondSteel(ctx);
    default:
        // No double steel data: the second steel is passed over.
        consume(ctx, 21);
        return Flow::Next;
    }
}

} // namespace

Flow readSteelField(ImportContext& ctx)
{
    const QByteArray form = peek(ctx, 2, 1);
    if (form == "A")
        return readAssignment(ctx);
    if (form == "B")
        return readDesignation(ctx);
    return readShortForm(ctx);
}

} // namespace tx
