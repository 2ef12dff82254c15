#include "tximport/JobDatabase.h"

#include "config/JobDatabaseLocation.h"
#include "config/ServerContext.h"
#include "intake/ErrorLog.h"
#include "intake/JobName.h"
#include "intake/JobState.h"
#include "platform/OperatorPrompt.h"

#include <limits>

namespace tx {

namespace {

QString tablePrefix(bool steelMode)
{
    return steelMode ? QStringLiteral("Stahl") : QString();
}

// "Job: <job>\r\n<procedure>: <description wrapped at 75>" into the error
// log; returns the error number for the caller to hand on.
int reportFailure(ServerContext& ctx, const QString& jobName, const QString& procedure, const PendingError& err)
{
    WriteErrorLog(ctx, QStringLiteral("Job: ") + jobName + QStringLiteral("\r\n") + procedure + QStringLiteral(": ") +
                           WrapText(err.description, kErrorWrapWidth));
    return err.number;
}

// Largest value of a numeric column + 1, starting from `start` (rows with
// no value are passed over, so a column without values yields start + 1).
// Raises Overflow when the next value does not fit into `limit`.
bool nextAfterLargest(db::Database& database, const QString& table, const QString& column, qint64 start, qint64 limit,
                      qint64& next, PendingError& err)
{
    const QVariant largest = database.maxOf(table, column, err);
    if (err.pending())
        return false;
    qint64 value = start;
    if (!largest.isNull()) {
        const double v = largest.toDouble();
        if (v > static_cast<double>(value))
            value = static_cast<qint64>(v);
    }
    if (value + 1 > limit) {
        err.raise(ErrorNumber::Overflow, QStringLiteral("Overflow"));
        return false;
    }
    next = value + 1;
    return true;
}

constexpr qint64 LongMax = std::numeric_limits<qint32>::max();
constexpr qint64 IntegerMax = std::numeric_limits<qint16>::max();

// The job-exists question: an answer from an earlier file of the same job
// is applied again without asking.
bool decideExistingJob(ServerContext& ctx, JobState& job, JobConnection& conn, const QString& jobName, bool steelMode,
                       bool& loadCancelled, PendingError& err)
{
    int answer = job.ReplaceAnswer;
    if (answer == 0) {
        const QString title =
            steelMode ? QStringLiteral("$TX-VOV Server - Steel -") : QStringLiteral("$TX-VOV Server - PVC -");
        answer = ctx.prompt.askYesNoCancel(title, jobName + QStringLiteral(" exists !") + QStringLiteral("\r\n") +
                                                      QStringLiteral("Delete Job = Yes / Override Job = No"));
    }
    switch (answer) {
    case Answer::Yes:
        // The job is written again from scratch; its bars, pieces and
        // machining rows go with the job row (cascading deletes).
        if (!conn.database.remove(conn.job, err))
            return false;
        job.ReplaceAnswer = Answer::Yes;
        break;
    case Answer::No:
        conn.override = true;
        job.ReplaceAnswer = Answer::No;
        break;
    default:
        loadCancelled = true;
        job.ReplaceAnswer = 0;
        break;
    }
    return true;
}

// Load identifier of the next bar or piece: largest LoadID + 1 (0 for a
// table whose rows carry none), or -1 when load identifiers are not kept.
bool loadIdentifier(ServerContext& ctx, db::Database& database, const QString& table, bool tableHasRows, qint16& loadID,
                    PendingError& err)
{
    loadID = -1;
    if (!ctx.settings.GenLoadID)
        return true;
    if (!tableHasRows) {
        loadID = 0;
        return true;
    }
    qint64 next = 0;
    if (!nextAfterLargest(database, table, QStringLiteral("LoadID"), -1, IntegerMax, next, err))
        return false;
    loadID = static_cast<qint16>(next);
    return true;
}

bool openTables(ServerContext& ctx, JobState& job, ImportCarry& carry, JobConnection& conn, const QString& jobName,
                bool steelMode, bool& loadCancelled, PendingError& err)
{
    // A job's transaction may be open already (job mode, a later file).
    if (!conn.database.isOpen() && !openJobDatabase(ctx, conn.database, err))
        return false;

    // The job row.
    const QString jobTable = conn.table(QStringLiteral("LosNamen"));
    conn.job = conn.database.newRow(jobTable, err);
    if (err.pending() || !jobNameSearchable(jobName, err))
        return false;
    conn.job = conn.database.firstRow(jobTable, jobRows(jobName), err);
    if (err.pending())
        return false;
    conn.override = false;
    loadCancelled = false;
    if (!conn.job.isNull() && !decideExistingJob(ctx, job, conn, jobName, steelMode, loadCancelled, err))
        return false;

    // Release number of the new job row.
    conn.nextJobID = 0;
    const bool jobsHaveRows = conn.database.hasRows(jobTable, err);
    if (err.pending())
        return false;
    if (jobsHaveRows && ctx.settings.AutoFreigabe) {
        qint64 next = 0;
        if (!nextAfterLargest(conn.database, jobTable, QStringLiteral("ID"), 0, LongMax, next, err))
            return false;
        conn.nextJobID = static_cast<qint32>(next);
    }

    // Bars: release number and load identifier. An empty table keeps the
    // counter the previous import of this program run reached.
    const QString barTable = conn.table(QStringLiteral("Stabdaten"));
    const bool barsHaveRows = conn.database.hasRows(barTable, err);
    if (err.pending())
        return false;
    if (!loadIdentifier(ctx, conn.database, barTable, barsHaveRows, conn.barLoadID, err))
        return false;
    if (barsHaveRows) {
        carry.nextBarID = 0;
        if (ctx.settings.AutoFreigabe) {
            qint64 next = 0;
            if (!nextAfterLargest(conn.database, barTable, QStringLiteral("ID"), 0, LongMax, next, err))
                return false;
            carry.nextBarID = static_cast<qint32>(next);
        }
    }

    // Pieces: the same; release numbers only for steel pieces.
    const QString pieceTable = conn.table(QStringLiteral("Teiledaten"));
    const bool piecesHaveRows = conn.database.hasRows(pieceTable, err);
    if (err.pending())
        return false;
    if (!loadIdentifier(ctx, conn.database, pieceTable, piecesHaveRows, conn.pieceLoadID, err))
        return false;
    if (piecesHaveRows) {
        carry.nextPieceID = 0;
        if (steelMode && ctx.settings.AutoFreigabe) {
            qint64 next = 0;
            if (!nextAfterLargest(conn.database, pieceTable, QStringLiteral("ID"), 0, LongMax, next, err))
                return false;
            carry.nextPieceID = static_cast<qint32>(next);
        }
    }

    // Older job databases lack the angle-identifier columns; they are then
    // simply not written.
    conn.angleIdColumns = conn.database.hasColumn(pieceTable, QStringLiteral("AngleOnCutID")) &&
                          conn.database.hasColumn(pieceTable, QStringLiteral("AngleOffCutID"));

    // The machining table must be there before the first row is read.
    (void)conn.newRow(QStringLiteral("Werkzeugdaten"), err);
    return !err.pending();
}

} // namespace

void JobConnection::close()
{
    job = bar = piece = machining = db::Row();
    if (ownsDatabase)
        database.close();
}

bool JobConnection::commit(PendingError& err)
{
    job = bar = piece = machining = db::Row();
    return !ownsDatabase || !database.isOpen() || database.commit(err);
}

int openDB(ServerContext& ctx, JobState& job, ImportCarry& carry, JobConnection& conn, const QString& jobName,
           bool steelMode, bool& loadCancelled)
{
    conn.close();
    conn.prefix = tablePrefix(steelMode);
    conn.override = false;
    conn.nextJobID = 0;
    conn.barLoadID = -1;
    conn.pieceLoadID = -1;
    conn.angleIdColumns = false;

    PendingError err;
    if (openTables(ctx, job, carry, conn, jobName, steelMode, loadCancelled, err))
        return 0;
    // Nothing stays open; what was changed before the failure (a job row
    // deleted after Yes) is rolled back with the rest of the import.
    conn.close();
    return reportFailure(ctx, jobName, QStringLiteral("openDB"), err);
}

void addJobRow(ServerContext& ctx, JobConnection& conn, const QString& jobName, PendingError& err)
{
    // Each step goes on after a failure of the one before; the reader
    // looks at the pending error at its own check points.
    conn.job = conn.newRow(QStringLiteral("LosNamen"), err);
    conn.job.set(QStringLiteral("LosName"), jobName, err);
    if (ctx.settings.AutoFreigabe) {
        conn.job.set(QStringLiteral("Freigabe"), ctx.clock.now(), err);
        conn.job.set(QStringLiteral("ID"), conn.nextJobID, err);
    }
    conn.database.store(conn.job, err);
}

void DeleteLos(ServerContext& ctx, const QString& jobName, bool steelMode)
{
    PendingError err;
    db::Database database;
    if (openJobDatabase(ctx, database, err) && jobNameSearchable(jobName, err) &&
        database.deleteWhere(tablePrefix(steelMode) + QStringLiteral("LosNamen"), jobRows(jobName), err) >= 0)
        (void)database.commit(err);
    if (err.pending())
        reportFailure(ctx, jobName, QStringLiteral("DeleteLos"), err);
}

} // namespace tx
