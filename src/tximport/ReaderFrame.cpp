#include "tximport/ReaderFrame.h"

#include "config/ServerContext.h"
#include "intake/ErrorLog.h"
#include "intake/JobState.h"
#include "platform/Text.h"

#include <cmath>

namespace tx {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

QString number(qint64 n)
{
    return QString::number(n);
}

// "Job: <file>" CRLF <body>, through the error log; the error box and both
// log files show it.
void writeReport(ImportContext& ctx, const QString& body)
{
    WriteErrorLog(ctx.server, QStringLiteral("Job: ") + ctx.fileName + kCrLf + body);
}

// The position block shared by the number and failure reports.
QString positionBlock(const ImportContext& ctx)
{
    return QStringLiteral("Line:") + number(ctx.lineNumber) + kCrLf + QStringLiteral("Col: ") + number(ctx.column) +
           kCrLf + QStringLiteral("Sel: ") + toText(ctx.token) + kCrLf + QStringLiteral("Buf:") + toText(ctx.buf);
}

} // namespace

void setColumn(ImportContext& ctx)
{
    ctx.column = ctx.lineLength - static_cast<int>(ctx.buf.size()) + 1;
}

void consume(ImportContext& ctx, int n)
{
    if (n <= 0)
        return;
    if (n >= ctx.buf.size())
        ctx.buf.clear();
    else
        ctx.buf.remove(0, n);
}

QByteArray peek(const ImportContext& ctx, int start, int length)
{
    return text::mid(ctx.buf, start, length);
}

QByteArray cut(ImportContext& ctx, int n)
{
    ctx.token = text::mid(ctx.buf, 1, n);
    consume(ctx, n);
    return ctx.token;
}

QVariant tenths(const QByteArray& field)
{
    const double v = text::val(field);
    if (v <= 0.0)
        return QVariant(0);
    return QVariant(v / 10.0);
}

QVariant numberValue(double v)
{
    if (std::abs(v) < 1e15 && v == std::trunc(v))
        return QVariant(static_cast<qint64>(v));
    return QVariant(v);
}

QString toText(const QByteArray& field)
{
    return text::fromCp1252(field);
}

bool store(ImportContext& ctx, db::Row& row, PendingError& err)
{
    return ctx.conn.database.store(row, err);
}

Flow wrongIdReport(ImportContext& ctx, WrongIdForm form)
{
    const QString shown =
        form == WrongIdForm::WholeRest ? toText(ctx.buf) : toText(text::mid(ctx.buf, 1, 20)) + QStringLiteral(" ... ");
    ctx.errorText = QStringLiteral("Line: ") + number(ctx.lineNumber) + kCrLf + QStringLiteral("Col: ") +
                    number(ctx.column) + kCrLf + QStringLiteral("Wrong ID: <") + shown + QStringLiteral(">");
    writeReport(ctx, ctx.errorText);
    return Flow::Stop;
}

Flow wrongPieceNumberReport(ImportContext& ctx)
{
    const QString piece = toText(ctx.pieceNumber);
    writeReport(ctx, QStringLiteral("Wrong PieceNo.:") + piece + kCrLf + positionBlock(ctx));
    // The box has always read "Wromg" here; operators' notes quote it.
    ctx.errorText = QStringLiteral("Wromg PieceNo.:") + piece;
    return Flow::Stop;
}

Flow wrongBarNumberReport(ImportContext& ctx)
{
    const QString bar = toText(ctx.barNumber);
    writeReport(ctx, QStringLiteral("Wrong BarNo.:") + bar + kCrLf + positionBlock(ctx) + kCrLf +
                         WrapText(ctx.err.description, kErrorWrapWidth));
    ctx.errorText = QStringLiteral("Wrong BarNo.:") + bar + kCrLf + ctx.err.description;
    return Flow::Stop;
}

Flow wrongRestPieceNumberReport(ImportContext& ctx, const QByteArray& numberField)
{
    const QString rest = toText(numberField);
    writeReport(ctx, QStringLiteral("Wrong RestPieceNo.:") + rest + kCrLf + positionBlock(ctx));
    ctx.errorText = QStringLiteral("Wromg RestPieceNo.:") + rest;
    return Flow::Stop;
}

Flow failureExit(ImportContext& ctx)
{
    // A steel-data file of a job without steel data may fail silently in
    // job mode: the job is complete without it.
    if (ctx.steelMode && ctx.server.settings.jobMode() && !ctx.job.jobHasSteelData) {
        ctx.endNormally = true;
        return Flow::Stop;
    }
    ctx.errorText = ctx.err.description;
    ctx.outcome.errorNumber = ctx.err.number;
    writeReport(ctx, QStringLiteral("Piece:") + number(ctx.pieceCount) + kCrLf + positionBlock(ctx) + kCrLf +
                         WrapText(ctx.err.description, kErrorWrapWidth));
    return Flow::Stop;
}

bool stopsAtCheckPoint(ImportContext& ctx)
{
    if (!ctx.err.pending())
        return false;
    failureExit(ctx);
    return true;
}

Pass checkPoint(ImportContext& ctx)
{
    return stopsAtCheckPoint(ctx) ? Pass::Stop : Pass::Next;
}

Pass readSubFields(ImportContext& ctx, Pass (*readSubField)(ImportContext&))
{
    while (!ctx.buf.isEmpty()) {
        ctx.err.clear();
        setColumn(ctx);
        const Pass pass = readSubField(ctx);
        if (pass != Pass::Next)
            return pass;
    }
    return Pass::Next;
}

Flow failWith(ImportContext& ctx, const QString& description)
{
    ctx.err.raise(ctx.err.pending() ? ctx.err.number : ErrorNumber::DatabaseGeneric, description);
    return failureExit(ctx);
}

} // namespace tx
