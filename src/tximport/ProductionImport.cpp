#include "tximport/ProductionImport.h"

#include "config/ServerContext.h"
#include "intake/ImportLedger.h"
#include "intake/JobState.h"
#include "platform/FileOps.h"
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
    QFile f;
    if (fileops::openRegularFile(f, path) != fileops::OpenResult::Opened)
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

bool JobFile::open(const QString& path, PendingError& err)
{
    close();
    m_lfLines = !containsCarriageReturn(path);
    if (!m_lfLines)
        return m_lines.open(path, err);
    return raiseUnlessOpened(fileops::openRegularFile(m_lfFile, path), err);
}

bool JobFile::atEnd()
{
    if (m_lfLines)
        return !m_lfFile.isOpen() || m_lfFile.atEnd();
    return m_lines.atEnd();
}

QByteArray JobFile::readLine()
{
    if (!m_lfLines)
        return m_lines.readLine();
    if (!m_lfFile.isOpen())
        return {};
    QByteArray line = m_lfFile.readLine();
    if (line.endsWith('\n'))
        line.chop(1);
    return line;
}

void JobFile::close()
{
    m_lines.close();
    if (m_lfFile.isOpen())
        m_lfFile.close();
    m_lfLines = false;
}

bool openJobFile(ImportContext& ctx)
{
    return ctx.file.open(ctx.path, ctx.err);
}

bool atEndOfJobFile(ImportContext& ctx)
{
    return ctx.file.atEnd();
}

bool readNextLine(ImportContext& ctx)
{
    ++ctx.lineNumber;
    if (ctx.file.atEnd()) {
        ctx.buf.clear();
        return false;
    }
    ctx.buf = text::trimLeadingBlanks(ctx.file.readLine());
    return true;
}

void closeJobFile(ImportContext& ctx)
{
    ctx.file.close();
}

namespace {

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
    ctx.outcome.kind = steelMode ? FileKind::Steel : FileKind::Production;
    ctx.outcome.path = path;
    ctx.outcome.jobName = ctx.jobName;
    if (!steelMode) {
        ctx.job.resetForNewJob(ctx.jobName);
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
        if (ctx.buf.startsWith("KTN")) {
            const qint64 lineBefore = ctx.lineNumber;
            if (readPieceRecord(ctx) == Flow::Stop)
                return Flow::Stop;
            // A "C" at the end of the piece looked at the next line and found
            // no continuation there: that line is a record of its own and
            // goes through all the tests from the first (a bar record after a
            // piece would otherwise be dropped, and its pieces land on the
            // previous bar).
            if (ctx.lineNumber != lineBefore)
                continue;
        }
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

void stopExit(ImportContext& ctx);

// A file imported in a transaction of its own (separate mode) writes its
// ledger row into it; in job mode the scan cycle writes the job's rows.
void recordFileInLedger(ImportContext& ctx)
{
    if (!ctx.conn.ownsDatabase || !ctx.conn.database.isOpen())
        return;
    const LedgerEntry entry = ledgerEntry(ctx.path, ctx.jobName, ctx.outcome.kind,
                                          ctx.loadCancelled ? LedgerOutcome::SetAside : LedgerOutcome::Loaded);
    PendingError err;
    ctx.outcome.ledgered =
        entry.file.known() && recordInLedger(ctx.conn.database, {entry}, ctx.server.clock.now(), err);
}

// Normal end: the file is read (or the operator cancelled the job).
void endNormally(ImportContext& ctx)
{
    ctx.err.clear();
    closeJobFile(ctx);

    // The bars the job had that the overriding import did not bring go, and
    // steel pieces that it did not attach again to a PVC piece belong to
    // nothing any more.
    if (!ctx.loadCancelled && ctx.conn.override)
        removeBarsNotMet(ctx);
    if (ctx.steelMode && !ctx.loadCancelled && ctx.conn.override) {
        PendingError ignored;
        ctx.conn.database.deleteWhere(ctx.conn.table(QStringLiteral("Teiledaten")),
                                      {{QStringLiteral("LosName"), ctx.jobName}, {QStringLiteral("PVCTeileNr"), 0}},
                                      ignored);
    }

    // The print data share the import's connection: their recordset goes
    // first, then the connection commits (which also releases its locks).
    // The file is backed up only when its rows are safely in the database.
    closePrintData(ctx);
    recordFileInLedger(ctx);
    PendingError commit;
    if (!ctx.conn.commit(commit)) {
        ctx.outcome.ledgered = false;
        ctx.err = commit;
        if (failureExit(ctx) == Flow::Stop && !ctx.endNormally) {
            stopExit(ctx);
            return;
        }
    }
    ctx.conn.close();
    ctx.outcome.result = ctx.loadCancelled ? ImportResult::GivenUp : ImportResult::Loaded;
    ctx.err.clear();
}

// Stop exit: a report was written; the file failed, and the scan cycle asks
// whether it is read again (Retry) or set aside (Cancel). Nothing the file
// wrote stays: its transaction is rolled back (in job mode the scan cycle
// rolls back the whole job).
void stopExit(ImportContext& ctx)
{
    // Whichever report was written: a fault of the machine met on the way
    // keeps the file for a later cycle under the default policy.
    if (ctx.conn.database.machineFault() != 0)
        ctx.outcome.machineFault = ctx.conn.database.machineFault();
    ctx.outcome.result = ImportResult::Failed;
    ctx.outcome.errorText = ctx.errorText;

    closePrintData(ctx);
    ctx.conn.close();
    closeJobFile(ctx);
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

ImportOutcome ImportProductionData(ServerContext& server, JobState& job, ImportCarry& carry, ProfileCache& profiles,
                                   const QString& path, bool steelMode, db::Database* jobTransaction)
{
    ImportContext ctx(server, job, carry, profiles, jobTransaction);
    prepare(ctx, path, steelMode);

    if (const int failure = openDB(server, job, carry, ctx.conn, ctx.jobName, steelMode, ctx.loadCancelled);
        failure > 0) {
        // openDB has reported; nothing is read.
        ctx.conn.close();
        ctx.outcome.result = ImportResult::NotStarted;
        ctx.outcome.errorNumber = failure;
        return ctx.outcome;
    }

    ctx.lineNumber = 0;
    ctx.pieceCount = 0;
    ctx.steelCounter = 1;
    closeJobFile(ctx);

    if (ctx.loadCancelled) {
        finish(ctx, Flow::Next);
        return ctx.outcome;
    }

    if (!openJobFile(ctx)) {
        finish(ctx, failureExit(ctx));
        return ctx.outcome;
    }
    ctx.outcome.fileRead = true;

    if (!ctx.conn.override) {
        addJobRow(server, ctx.conn, ctx.jobName, ctx.err);
        ++ctx.outcome.rows.jobs;
    } else {
        noteOldBars(ctx);
    }

    finish(ctx, readLines(ctx));
    return ctx.outcome;
}

} // namespace tx
