// Piece sub-fields "W" (machining operations), "Q" (cut heights), "B" (bar
// code), "E" (skipped), "C" (the piece record goes on in the next line),
// "A" and "X" (profile, colour and designation of a bar made for the
// piece), the separators, and the Wrong ID report for any other letter.

#include "tximport/Records.h"

#include "config/ServerContext.h"
#include "platform/Text.h"
#include "tximport/ReaderFrame.h"

#include <cmath>
#include <limits>

namespace tx {
namespace {

// The strict number conversion: a field that is not wholly a number leaves
// a conversion error pending for the next check point.
bool strictValue(ImportContext& ctx, const QByteArray& field, double* value)
{
    bool ok = false;
    *value = text::strictNumber(field, &ok);
    if (!ok)
        ctx.err.raise(ErrorNumber::TypeMismatch, QStringLiteral("Type mismatch"));
    return ok;
}

// The strict conversion to a long integer (rounded half to even).
bool strictLong(ImportContext& ctx, const QByteArray& field, qint32* value)
{
    double v = 0;
    if (!strictValue(ctx, field, &v))
        return false;
    const double rounded = std::nearbyint(v);
    if (rounded < std::numeric_limits<qint32>::min() || rounded > std::numeric_limits<qint32>::max()) {
        ctx.err.raise(ErrorNumber::Overflow, QStringLiteral("Overflow"));
        return false;
    }
    *value = static_cast<qint32>(rounded);
    return true;
}

// Every operation gets its row at once, keyed to the job, piece and bar;
// the values follow in the open row.
void addMachiningRow(ImportContext& ctx)
{
    db::Row& rs = ctx.conn.machining;
    rs = ctx.conn.newRow(QStringLiteral("Werkzeugdaten"), ctx.err);
    ++ctx.outcome.rows.machining;
    rs.set(QStringLiteral("LosName"), ctx.jobName, ctx.err);
    rs.set(QStringLiteral("TeileNr"), toText(ctx.pieceNumber), ctx.err);
    rs.set(QStringLiteral("StabNr"), toText(ctx.barNumber), ctx.err);
    store(ctx, rs, ctx.err);
}

// "W" + machining number (2) + position in tenths (5).
Flow readFixedMachining(ImportContext& ctx)
{
    db::Row& rs = ctx.conn.machining;
    addMachiningRow(ctx);
    rs.set(QStringLiteral("BearbNr"), QVariant(text::val(peek(ctx, 2, 2))), ctx.err);
    ctx.token = peek(ctx, 4, 5);
    double position = 0;
    if (strictValue(ctx, ctx.token, &position)) {
        if (position <= 0)
            rs.set(QStringLiteral("WerkzPos"), 0, ctx.err);
        else
            rs.set(QStringLiteral("WerkzPos"), QVariant(text::val(ctx.token) / 10.0), ctx.err);
    }
    consume(ctx, 8);
    if (ctx.err.pending())
        return failureExit(ctx);
    store(ctx, rs, ctx.err);
    return Flow::Next;
}

// Where the two further values of a "WB" list go, by the plant's choice of
// list layout.
struct AdditionalColumns {
    const char* second;
    const char* third;
};

AdditionalColumns additionalColumns(MachiningLayout layout)
{
    switch (layout) {
    case MachiningLayout::ZOffsetYOffset:
        return {"ZOffset", "YOffset"};
    case MachiningLayout::ZOffsetTiefe:
        return {"ZOffset", "Tiefe"};
    case MachiningLayout::YOffsetZOffset:
        return {"YOffset", "ZOffset"};
    case MachiningLayout::YOffsetTiefe:
        return {"YOffset", "Tiefe"};
    case MachiningLayout::TiefeZOffset:
        return {"Tiefe", "ZOffset"};
    case MachiningLayout::TiefeYOffset:
        return {"Tiefe", "YOffset"};
    case MachiningLayout::NotChosen:
        break;
    }
    return {"YOffset", "ZOffset"};
}

// The separator of the next list value: "," while there is one, else the
// rest of the list is the value.
char listSeparator(const QByteArray& list)
{
    return list.contains(',') ? ',' : ';';
}

// One further value of a "WB" list, in tenths, into the given column.
bool readListValue(ImportContext& ctx, QByteArray& list, const char* column)
{
    ctx.token = text::nextToken(list, listSeparator(list));
    double v = 0;
    if (strictValue(ctx, ctx.token, &v))
        ctx.conn.machining.set(column, QVariant(v / 10.0), ctx.err);
    return !ctx.err.pending();
}

// "WB" + one character + "number,x,value 2,value 3;".
Flow readListMachining(ImportContext& ctx)
{
    db::Row& rs = ctx.conn.machining;
    addMachiningRow(ctx);
    consume(ctx, 3);
    QByteArray list = text::nextToken(ctx.buf, ';');

    ctx.token = text::nextToken(list, ',');
    qint32 number = 0;
    if (strictLong(ctx, ctx.token, &number))
        rs.set(QStringLiteral("BearbNr"), number, ctx.err);
    if (ctx.err.pending())
        return failureExit(ctx);

    ctx.token = text::nextToken(list, listSeparator(list));
    double x = 0;
    if (strictValue(ctx, ctx.token, &x)) {
        if (x <= 0)
            rs.set(QStringLiteral("WerkzPos"), 0, ctx.err);
        else
            rs.set(QStringLiteral("WerkzPos"), QVariant(x / 10.0), ctx.err);
    }
    if (ctx.err.pending())
        return failureExit(ctx);

    const AdditionalColumns columns = additionalColumns(ctx.server.settings.machiningLayout);
    if (!list.isEmpty()) {
        if (!readListValue(ctx, list, columns.second))
            return failureExit(ctx);
        if (!list.isEmpty() && !readListValue(ctx, list, columns.third))
            return failureExit(ctx);
    }
    // Anything after the third value is not ours to read.
    store(ctx, rs, ctx.err);
    return Flow::Next;
}

Flow readMachining(ImportContext& ctx)
{
    if (peek(ctx, 2, 1) == "B")
        return readListMachining(ctx);
    return readFixedMachining(ctx);
}

// "Q" + leading and trailing cut height, tenths.
Flow readCutHeights(ImportContext& ctx)
{
    db::Row& piece = ctx.conn.piece;
    piece.set(QStringLiteral("KappHoeheAnschnitt"), tenths(peek(ctx, 2, 5)), ctx.err);
    piece.set(QStringLiteral("KappHoeheAbschnitt"), tenths(peek(ctx, 7, 5)), ctx.err);
    consume(ctx, 11);
    return Flow::Next;
}

// "B" + one character + bar code (20).
Flow readBarcode(ImportContext& ctx)
{
    const QString code = toText(text::trimBlanks(peek(ctx, 3, 20)));
    ctx.conn.piece.set(QStringLiteral("Barcode"), code, ctx.err);
    ctx.conn.piece.set(QStringLiteral("PrintBarcode"), code, ctx.err);
    consume(ctx, 22);
    return Flow::Next;
}

bool isOneOf(const QByteArray& two, std::initializer_list<const char*> forms)
{
    for (const char* f : forms) {
        if (two == f)
            return true;
    }
    return false;
}

// "C": the piece record goes on in the next line, which then begins "KT".
Flow readContinuation(ImportContext& ctx)
{
    consume(ctx, 1);
    if (!ctx.buf.isEmpty() && ctx.buf.at(0) != '\n') {
        const Flow flow = wrongIdReport(ctx, WrongIdForm::WholeRest);
        ctx.buf.clear();
        return flow;
    }
    if (!ctx.buf.isEmpty())
        consume(ctx, 1);
    else if (!ctx.file.atEnd())
        ctx.buf = text::trimLeadingBlanks(ctx.file.readLine());
    ++ctx.lineNumber;

    const qsizetype lineFeed = ctx.buf.indexOf('\n');
    if (lineFeed >= 0)
        ctx.buf = text::trimLeadingBlanks(ctx.buf.mid(lineFeed + 1));

    // Anything but a continuation line is a record of its own: leave it to
    // the record dispatch.
    if (!ctx.buf.startsWith("KT"))
        return Flow::EndOfRecord;

    ctx.lineLength = static_cast<int>(ctx.buf.size());
    consume(ctx, 2);
    // Continuation lines of machining data are written "KTW" + sub-fields;
    // the "W" belongs to the line, not to a sub-field.
    const QByteArray two = peek(ctx, 1, 2);
    if (!isOneOf(two, {"WB", "BI", "GG", "DE", "SB", "SA"}) && two.startsWith('W'))
        consume(ctx, 1);
    return Flow::Next;
}

// "A" + profile (or steel) number or "B" + name, then the colour, for the
// bar that was made for this piece alone.
Flow readBarProfile(ImportContext& ctx)
{
    QByteArray name;
    if (peek(ctx, 2, 1) == "B") {
        name = peek(ctx, 3, 8);
        consume(ctx, 10);
    } else {
        const QByteArray fourth = peek(ctx, 4, 1);
        const bool threeDigits =
            ctx.server.settings.ProfNum3Digit && fourth.size() == 1 && fourth.at(0) >= '0' && fourth.at(0) <= '9';
        const int width = threeDigits ? 3 : 2;
        name = peek(ctx, 2, width);
        consume(ctx, width + 1);
    }
    ctx.token = name;
    if (ctx.ownBarRow) {
        ctx.conn.bar.set(ctx.steelMode ? QStringLiteral("StahlName") : QStringLiteral("ProfilName"),
                         toText(text::trimBlanks(name)), ctx.err);
    }
    const QByteArray colour = cut(ctx, 2);
    if (ctx.ownBarRow)
        ctx.conn.bar.set(QStringLiteral("Farbe"), toText(text::trimBlanks(colour)), ctx.err);
    return Flow::Next;
}

// "X" + designation (20, written as it stands) of the piece's own bar.
Flow readBarDesignation(ImportContext& ctx)
{
    ctx.err.clear();
    const QByteArray designation = peek(ctx, 2, 20);
    consume(ctx, 21);
    if (ctx.ownBarRow)
        ctx.conn.bar.set(QStringLiteral("Bezeichnung"), toText(designation), ctx.err);
    return Flow::Next;
}

} // namespace

Flow readMachiningOrTailField(ImportContext& ctx)
{
    if (ctx.buf.isEmpty())
        return Flow::EndOfRecord;
    switch (ctx.buf.at(0)) {
    case 'W':
        return readMachining(ctx);
    case 'Q':
        return readCutHeights(ctx);
    case 'B':
        return readBarcode(ctx);
    case 'E':
        consume(ctx, 2);
        return Flow::Next;
    case 'C':
        return readContinuation(ctx);
    case 'A':
        return readBarProfile(ctx);
    case 'X':
        return readBarDesignation(ctx);
    case ' ':
        consume(ctx, 1);
        return Flow::Next;
    case '\n':
        consume(ctx, 1);
        return Flow::EndOfRecord;
    default:
        return wrongIdReport(ctx, WrongIdForm::Short);
    }
}

} // namespace tx
