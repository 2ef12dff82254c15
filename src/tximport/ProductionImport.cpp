#include "tximport/ProductionImport.h"

#include "config/ServerContext.h"
#include "intake/FileHandling.h"
#include "intake/JobState.h"
#include "platform/Text.h"
#include "tximport/ImportContext.h"
#include "tximport/ReaderFrame.h"
#include "tximport/Records.h"

#include <QFileInfo>

namespace tx {

// ---------------------------------------------------------------------------
// The job file
//
// Job files end their lines in CR LF (or CR); a bare LF inside a line
// separates records that share the line, and the record loop below relies
// on it. A file that has no CR at all comes from a system that ends its
// lines in LF only: read as one long line, the last record test would drop
// every record that follows a piece record in the same line. Such a file is
// therefore read with its lines ending at LF. A file with CR keeps the
// exact behaviour.
// ---------------------------------------------------------------------------

namespace {

bool containsCarriageReturn(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return true; // the real open reports the failure
    constexpr qint64 kBlock = 64 * 1024;
    for (;;) {
        const QByteArray block = f.read(kBlock);
        if (block.isEmpty())
            return false;
        if (block.contains('\r'))
            return true;
    }
}

} // namespace

bool openJobFile(ImportContext& ctx)
{
    closeJobFile(ctx);
    ctx.lfLines = !containsCarriageReturn(ctx.path);
    if (!ctx.lfLines)
        return ctx.file.open(ctx.path, ctx.err);
    ctx.lfFile.setFileName(ctx.path);
    if (ctx.lfFile.open(QIODevice::ReadOnly))
        return true;
    if (!QFileInfo::exists(ctx.path))
        ctx.err.raise(ErrorNumber::FileNotFound, QStringLiteral("File not found"));
    else
        ctx.err.raise(ErrorNumber::PermissionDenied, QStringLiteral("Permission denied"));
    return false;
}

bool atEndOfJobFile(ImportContext& ctx)
{
    if (ctx.lfLines)
        return !ctx.lfFile.isOpen() || ctx.lfFile.atEnd();
    return ctx.file.atEnd();
}

bool readNextLine(ImportContext& ctx)
{
    ++ctx.lineNumber;
    if (atEndOfJobFile(ctx)) {
        ctx.buf.clear();
        return false;
    }
    QByteArray line;
    if (ctx.lfLines) {
        line = ctx.lfFile.readLine();
        if (line.endsWith('\n'))
            line.chop(1);
    } else {
        line = ctx.file.readLine();
    }
    ctx.buf = text::trimLeadingBlanks(line);
    return true;
}

void closeJobFile(ImportContext& ctx)
{
    ctx.file.close();
    if (ctx.lfFile.isOpen())
        ctx.lfFile.close();
}

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Cuts the line buffer after its first line feed, or empties it.
void cutAfterLineFeed(ImportContext& ctx)
{
    const qsizetype lf = ctx.buf.indexOf('\n');
    if (lf < 0)
        ctx.buf.clear();
    else
        ctx.buf.remove(0, lf + 1);
}

void closePrintData(ImportContext& ctx)
{
    if (ctx.printPrepared) {
        ctx.print.close();
        ctx.printPrepared = false;
    }
}

// Start of an import: names, the current-job state.
void prepare(ImportContext& ctx, const QString& path, bool steelMode)
{
    const QFileInfo info(path);
    ctx.path = path;
    ctx.steelMode = steelMode;
    ctx.jobName = info.completeBaseName();
    ctx.fileName = info.fileName();
    ctx.keptJobName = ctx.jobName;
    if (steelMode) {
        ctx.job.CurrentSteelFile = path;
    } else {
        ctx.job.resetForNewJob(ctx.jobName, path);
        writeTotxtError(ctx.server, QStringLiteral(" "));
    }
}

// The record tests, in their fixed order, on what is left of the line.
Flow readRecords(ImportContext& ctx)
{
    while (!ctx.buf.isEmpty()) {
        ctx.lineLength = static_cast<int>(ctx.buf.size());
        ctx.column = 1;
        ctx.errorText = QStringLiteral("Format error !!");
        ctx.ownBarRow = false;

        if (ctx.buf.startsWith("KB") && readBarRecord(ctx) == Flow::Stop)
            return Flow::Stop;
        if (ctx.buf.startsWith("KO"))
            cutAfterLineFeed(ctx);
        if (ctx.buf.startsWith("KTN") && readPieceRecord(ctx) == Flow::Stop)
            return Flow::Stop;
        if (ctx.buf.startsWith("KS") && readBarSelectionRecord(ctx) == Flow::Stop)
            return Flow::Stop;
        if (ctx.buf.startsWith("KR") && readRemnantRecord(ctx) == Flow::Stop)
            return Flow::Stop;
        if (ctx.buf.startsWith("OP")) {
            cutAfterLineFeed(ctx);
        } else {
            cutAfterLineFeed(ctx);
            ctx.buf = text::trimLeadingBlanks(ctx.buf);
        }
    }
    return Flow::Next;
}

Flow readLines(ImportContext& ctx)
{
    while (!atEndOfJobFile(ctx)) {
        ctx.err.clear();
        readNextLine(ctx);
        if (readRecords(ctx) == Flow::Stop)
            return Flow::Stop;
    }
    return Flow::Next;
}

// Normal end: the file is read (or the operator cancelled the job).
void endNormally(ImportContext& ctx)
{
    ctx.err.clear();
    closeJobFile(ctx);

    // Steel pieces that the overriding import did not attach again to a PVC
    // piece belong to nothing any more.
    if (ctx.steelMode && !ctx.job.LoadCancelled && ctx.conn.override) {
        PendingError ignored;
        ctx.conn.database.deleteWhere(ctx.conn.table(QStringLiteral("Teiledaten")),
                                      ctx.jobCriteria() + QStringLiteral(" and PVCTeileNr=0"), ignored);
    }

    // The print data share the import's connection: their recordset goes
    // first, then the connection commits.
    closePrintData(ctx);
    ctx.conn.database.releaseLocks();
    ctx.conn.close();

    if (ctx.server.settings.JobLoadMode == 0) {
        if (!ctx.job.LoadCancelled) {
            BackupFile(ctx.server, ctx.path);
            SetReleaseFlag(ctx.server);
        } else {
            MakeErrorCopy(ctx.server, ctx.path, false);
        }
    }
    ctx.err.clear();
}

// Stop exit: a report was written; the operator decides whether the file
// is read again (Retry) or set aside (Cancel). What was written stays
// written; in separate mode the job row is deleted again, and the database
// removes the job's bars, pieces and machining rows with it.
void stopExit(ImportContext& ctx)
{
    const int answer = ctx.server.prompt.askRetryCancel(
        QStringLiteral("$TX-VOV Server"),
        QStringLiteral("Job: ") + ctx.fileName + QStringLiteral(" not correct loaded!!") + kCrLf + kCrLf
            + ctx.errorText + kCrLf);
    ctx.job.RetryRequested = answer != Answer::Cancel;

    closePrintData(ctx);
    ctx.conn.database.releaseLocks();
    ctx.conn.close();
    closeJobFile(ctx);

    if (ctx.server.settings.JobLoadMode == 0) {
        MakeErrorCopy(ctx.server, ctx.path, ctx.job.RetryRequested);
        DeleteLos(ctx.server, ctx.keptJobName, ctx.steelMode);
    }
    ctx.job.LoadFailed = true;
    ctx.err.clear();
}

void finish(ImportContext& ctx, Flow flow)
{
    if (flow == Flow::Stop && !ctx.endNormally)
        stopExit(ctx);
    else
        endNormally(ctx);
}

} // namespace

void ImportProductionData(ServerContext& server, JobState& job, ImportCarry& carry, ProfileCache& profiles,
                          const QString& path, bool steelMode)
{
    ImportContext ctx(server, job, carry, profiles);
    prepare(ctx, path, steelMode);

    if (openDB(server, job, carry, ctx.conn, ctx.jobName, steelMode) > 0) {
        // openDB has reported; nothing is read.
        ctx.conn.close();
        job.LoadFailed = true;
        return;
    }

    ctx.lineNumber = 0;
    ctx.pieceCount = 0;
    ctx.steelCounter = 1;
    closeJobFile(ctx);

    if (job.LoadCancelled) {
        job.LoadFailed = true;
        finish(ctx, Flow::Next);
        return;
    }

    if (!openJobFile(ctx)) {
        finish(ctx, failureExit(ctx));
        return;
    }

    if (!ctx.conn.override)
        addJobRow(server, ctx.conn, ctx.jobName, ctx.err);
    if (steelMode)
        job.SteelDataLoaded = true;

    finish(ctx, readLines(ctx));
}

} // namespace tx
