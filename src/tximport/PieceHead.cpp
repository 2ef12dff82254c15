#include "tximport/Records.h"

#include "config/ServerContext.h"
#include "intake/JobState.h"
#include "platform/Text.h"
#include "tximport/ReaderFrame.h"

// "KTN" piece record: the head (piece number, the piece's row, its bar),
// the sub-field loop with compartment "F", commission "K", position "P" and
// piece type "T", and the hand-over to the other sub-field handlers and to
// the completion.
//
//   KTN nnnn <sub-fields>      nnnn the piece number as it stands

namespace tx {

namespace {

const QString kLosName = QStringLiteral("LosName");
const QString kTeileNr = QStringLiteral("TeileNr");
const QString kStabNr = QStringLiteral("StabNr");

void addPieceRow(ImportContext& ctx)
{
    db::Row& pieces = ctx.conn.piece;
    pieces = ctx.conn.newRow(QStringLiteral("Teiledaten"), ctx.err);
    ++ctx.outcome.rows.pieces;
    pieces.set(kLosName, ctx.jobName, ctx.err);
    pieces.set(kTeileNr, toText(ctx.pieceNumber), ctx.err);
}

// Steel data of a job being overridden: the steel piece is found again
// (or added when it is new).
void findOrAddSteelPiece(ImportContext& ctx)
{
    db::Row found = ctx.findPiece(ctx.pieceNumber, ctx.err);
    if (!found.isNull())
        ctx.conn.piece = found;
    else
        addPieceRow(ctx);
}

// The PVC piece a steel piece belongs to: its own number, unless the
// production-data file of the job linked the steel number to another one.
QVariant pvcPieceNumber(const ImportContext& ctx)
{
    QVariant number = toText(ctx.pieceNumber);
    if (ctx.job.pvcPieceNumbers.isEmpty())
        return number;
    bool found = false;
    const QString linked = ctx.job.pvcPieceNumbers.find(text::shortestDecimal(text::val(ctx.pieceNumber)), &found);
    if (found) {
        QByteArray rest = text::toCp1252(linked);
        number = toText(text::nextToken(rest, ';'));
    }
    return number;
}

// A bar is current: the piece joins it.
void joinCurrentBar(ImportContext& ctx)
{
    db::Row& pieces = ctx.conn.piece;
    PendingError& err = ctx.err;
    pieces.set(kStabNr, toText(ctx.barNumber), err);
    if (ctx.steelMode) {
        pieces.set(QStringLiteral("PVCLosName"), ctx.jobName, err);
        // Nothing selected in the list means no default to write.
        const SteelDefault saDefault = ctx.server.settings.steelDefault;
        if (saDefault != SteelDefault::NotChosen && saDefault != SteelDefault::SwitchOff)
            pieces.set(QStringLiteral("Stahlanwahl"), static_cast<int>(saDefault), err);
        pieces.set(QStringLiteral("Stahllaufbahn"), 1, err);
        pieces.set(QStringLiteral("PVCTeileNr"), pvcPieceNumber(ctx), err);
        pieces.set(QStringLiteral("StahlName"), ctx.job.BarProfileName, err);
    }
    ctx.ownBarRow = false;
}

// Override: the piece's own bar from the job's earlier delivery becomes
// current, so that the piece does not get a second one.
bool findOwnBar(ImportContext& ctx)
{
    PendingError notABarNumber; // such a bar is then added, and refused there
    db::Row found = ctx.findBar(ctx.pieceNumber, notABarNumber);
    if (found.isNull())
        return false;
    ctx.conn.bar = found;
    meetFoundBar(ctx, BarKind::OwnBar);
    return true;
}

// No bar is current: the piece gets a bar row of its own, numbered like the
// piece; it is the current bar until the end of this record.
void takeOwnBar(ImportContext& ctx)
{
    const bool found = ctx.conn.override && findOwnBar(ctx);
    if (!found) {
        db::Row& bars = ctx.conn.bar;
        bars = ctx.conn.newRow(QStringLiteral("Stabdaten"), ctx.err);
        ++ctx.outcome.rows.bars;
        bars.set(kLosName, ctx.jobName, ctx.err);
        bars.set(kStabNr, toText(ctx.pieceNumber), ctx.err);
        store(ctx, bars, ctx.err);
    }
    ctx.conn.piece.set(kStabNr, toText(ctx.pieceNumber), ctx.err);
    ctx.barNumber = ctx.pieceNumber;
    ctx.ownBarRow = true;
}

Flow readHead(ImportContext& ctx)
{
    consume(ctx, 2); // "KT"
    ctx.pieceNumber = peek(ctx, 2, 4);
    ctx.token = ctx.pieceNumber;
    consume(ctx, 5);
    if (text::val(ctx.pieceNumber) == 0.0)
        return wrongPieceNumberReport(ctx);

    db::Row& pieces = ctx.conn.piece;
    if (ctx.steelMode && ctx.conn.override) {
        findOrAddSteelPiece(ctx);
    } else {
        addPieceRow(ctx);
        if (ctx.err.pending())
            return failureExit(ctx);
        if (ctx.steelMode && ctx.server.settings.AutoFreigabe) {
            pieces.setFrom(QStringLiteral("Freigabe"), ctx.conn.job, ctx.err);
            pieces.set(QStringLiteral("ID"), ctx.carry.nextPieceID, ctx.err);
            ++ctx.carry.nextPieceID;
        }
    }

    if (!ctx.barNumber.isEmpty())
        joinCurrentBar(ctx);
    else
        takeOwnBar(ctx);

    // Stored once before the sub-fields, as a piece that exists; its
    // INSERT waits for the values the sub-fields bring.
    if (!store(ctx, pieces, ctx.err) || ctx.err.pending())
        return failureExit(ctx);

    ++ctx.pieceCount;
    ctx.saSeen = false;
    ctx.sbSeen = false;
    ctx.ggSeen = false;
    ctx.angleIdsGiven = false;
    return Flow::Next;
}

// "F": compartment, optionally with trolley ("FW") or trolley and shelf
// ("FS"); the compartment has 4 digits or 3 by the plant's setting.
void readCompartment(ImportContext& ctx)
{
    db::Row& pieces = ctx.conn.piece;
    PendingError& err = ctx.err;
    const int width = ctx.server.settings.FachNum4Digit ? 4 : 3;
    const char second = ctx.buf.size() > 1 ? ctx.buf.at(1) : '\0';
    if (second == 'W') {
        consume(ctx, 2);
        pieces.set(QStringLiteral("WagenNr"), text::val(cut(ctx, 3)), err);
        pieces.set(QStringLiteral("FachNr"), text::val(cut(ctx, width)), err);
    } else if (second == 'S') {
        consume(ctx, 2);
        cut(ctx, 3); // not used
        pieces.set(QStringLiteral("WagenNr"), text::val(cut(ctx, 3)), err);
        pieces.set(QStringLiteral("FachNr"), text::val(cut(ctx, width)), err);
        const double shelf = text::val(cut(ctx, 3));
        const double stored = pieces.get(QStringLiteral("FachNr"), err).toDouble();
        pieces.set(QStringLiteral("FachNr"), stored + 1000.0 * shelf, err);
    } else {
        consume(ctx, 1);
        pieces.set(QStringLiteral("FachNr"), text::val(cut(ctx, width)), err);
    }
}

// One pass of the piece's sub-field loop.
Flow readSubField(ImportContext& ctx)
{
    db::Row& pieces = ctx.conn.piece;
    switch (ctx.buf.at(0)) {
    case 'F':
        readCompartment(ctx);
        return Flow::Next;
    case 'K':
        consume(ctx, 1);
        pieces.set(QStringLiteral("Kommission"), toText(cut(ctx, 7)), ctx.err);
        return Flow::Next;
    case 'P':
        consume(ctx, 1);
        pieces.set(QStringLiteral("Position"), toText(cut(ctx, 5)), ctx.err);
        return Flow::Next;
    case 'T':
        consume(ctx, 1);
        pieces.set(QStringLiteral("TeileTyp"), toText(cut(ctx, 2)), ctx.err);
        return Flow::Next;
    case 'G':
        return readAngleField(ctx);
    case 'L':
        return readLengthField(ctx);
    case 'S':
        return readSteelField(ctx);
    case 'D':
        return readLabelField(ctx);
    default:
        return readMachiningOrTailField(ctx);
    }
}

} // namespace

Flow readPieceRecord(ImportContext& ctx)
{
    if (readHead(ctx) == Flow::Stop)
        return Flow::Stop;
    while (!ctx.buf.isEmpty()) {
        ctx.err.clear();
        setColumn(ctx);
        const Flow flow = readSubField(ctx);
        if (flow == Flow::Stop)
            return Flow::Stop;
        if (flow == Flow::EndOfRecord)
            break;
    }
    completePiece(ctx);
    return Flow::EndOfRecord;
}

} // namespace tx
