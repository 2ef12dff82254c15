#include "etimport/PrintData.h"

#include "config/JobDatabaseLocation.h"
#include "config/ServerContext.h"
#include "intake/ErrorLog.h"
#include "intake/JobName.h"
#include "platform/OperatorPrompt.h"
#include "platform/db/DbErrors.h"

#include <vector>

namespace et {

namespace {

const QString PrintTable = QStringLiteral("Druckdaten");

int reportFailure(ServerContext& ctx, const QString& job, const QString& procedure, const PendingError& err)
{
    WriteErrorLog(ctx, QStringLiteral("Job: ") + job + QStringLiteral("\r\n") + procedure + QStringLiteral(": ") +
                           WrapText(err.description, kErrorWrapWidth));
    return err.number;
}

// The answer to "the job already has print data": delete, keep or give up.
int existingRowsAnswer(ServerContext& ctx, const QString& job, bool skipQuestion, int presetAnswer)
{
    if (skipQuestion)
        return Answer::Yes;
    // The label-data file of a job passes the answer given to the job's
    // production-data file, so one job asks once.
    if (presetAnswer != 0)
        return presetAnswer;
    return ctx.prompt.askYesNoCancel(QStringLiteral("$ET-VOV Server"),
                                     QStringLiteral("Printdata: ") + job + QStringLiteral(" exists !") +
                                         QStringLiteral("\r\n") +
                                         QStringLiteral("Delete Data = Yes / Override Data = No"));
}

// Whether a row of the job holds text a label-data file wrote: ink-jet
// text, or label text other than the placeholder of its piece.
bool holdsLabelText(db::Database& database, const QString& job, bool& found, PendingError& err)
{
    std::vector<QVariantList> rows;
    // The piece number is made text by CAST: PostgreSQL joins text to text only.
    if (!database.execute(QStringLiteral("SELECT 1 FROM \"Druckdaten\" WHERE \"LosName\" = ? AND "
                                         "(coalesce(\"Tintendruckdaten\", '') <> '' OR "
                                         "(coalesce(\"Etikettendaten\", '') <> '' AND "
                                         "\"Etikettendaten\" <> ? || CAST(\"TeileNr\" AS TEXT) AND "
                                         "\"Etikettendaten\" <> ? || CAST(\"TeileNr\" AS TEXT))) LIMIT 1"),
                          {job, PlaceholderLabel, PlaceholderRemnantLabel}, err, &rows))
        return false;
    found = !rows.empty();
    return true;
}

bool openPrintRows(ServerContext& ctx, PrintData& print, db::Database* shared, const QString& job, bool skipQuestion,
                   bool& cancelled, int presetAnswer, PendingError& err)
{
    if (shared) {
        // The job's transaction (job mode), opened by the first file that needs it.
        if (!shared->isOpen() && !openJobDatabase(ctx, *shared, err))
            return false;
        print.JobDatabase = shared;
    } else {
        print.ownDatabase = std::make_unique<db::Database>();
        print.JobDatabase = print.ownDatabase.get();
        if (!openJobDatabase(ctx, *print.JobDatabase, err))
            return false;
    }
    // The table is looked for before the job's rows.
    (void)print.JobDatabase->newRow(PrintTable, err);
    if (err.pending() || !jobNameSearchable(job, err))
        return false;
    print.job = job;
    bool hasRows = !print.JobDatabase->firstRow(PrintTable, jobRows(job), err).isNull();
    if (err.pending())
        return false;
    bool existing = hasRows;
    if (existing && !skipQuestion && !holdsLabelText(*print.JobDatabase, job, existing, err))
        return false;
    if (existing) {
        switch (existingRowsAnswer(ctx, job, skipQuestion, presetAnswer)) {
        case Answer::Yes:
            if (print.JobDatabase->deleteWhere(PrintTable, jobRows(job), err) < 0)
                return false;
            hasRows = false;
            break;
        case Answer::Cancel:
            cancelled = true;
            break;
        default: // No: later writes find the rows and overwrite their columns
            break;
        }
    }
    print.keptRows = hasRows;
    return true;
}

// The piece's row: one this import wrote, one an earlier delivery wrote,
// or a new one.
db::Row printRow(PrintData& print, const QString& job, int piece, PendingError& err)
{
    if (const auto it = print.rows.constFind(piece); it != print.rows.cend())
        return it.value();
    db::Row row;
    if (print.keptRows) {
        PendingError failed;
        row = print.JobDatabase->firstRow(
            PrintTable, {{QStringLiteral("LosName"), job}, {QStringLiteral("TeileNr"), piece}}, failed);
        if (failed.pending()) {
            err = failed;
            return {};
        }
        if (!row.isNull())
            return row;
    }
    row = print.JobDatabase->newRow(PrintTable, err);
    if (row.set(QStringLiteral("LosName"), job, err) && row.set(QStringLiteral("TeileNr"), piece, err))
        return row;
    return {};
}

} // namespace

void PrintData::close()
{
    rows.clear();
    keptRows = false;
    ownDatabase.reset(); // rolls back what was not committed
    JobDatabase = nullptr;
}

bool PrintData::commit(PendingError& err)
{
    const bool committed = !ownDatabase || ownDatabase->commit(err);
    close();
    return committed;
}

int PreparePrintData(ServerContext& ctx, PrintData& print, db::Database* shared, const QString& job, bool skipQuestion,
                     bool& cancelled, int presetAnswer)
{
    print.close();
    cancelled = false;
    PendingError err;
    if (openPrintRows(ctx, print, shared, job, skipQuestion, cancelled, presetAnswer, err))
        return 0;
    // A shared connection belongs to the import that handed it in.
    print.close();
    return reportFailure(ctx, job, QStringLiteral("openDBPrint"), err);
}

void writePrintText(PrintData& print, const QString& job, int piece, int target, const QString& text, PendingError& err)
{
    if (!print.JobDatabase) {
        db::error::objectInvalid(err);
        return;
    }
    db::Row row = printRow(print, job, piece, err);
    if (row.isNull())
        return;
    const QString column = target == 1 ? QStringLiteral("Tintendruckdaten") : QStringLiteral("Etikettendaten");
    if (!row.set(column, text, err) || !print.JobDatabase->store(row, err))
        return;
    print.rows.insert(piece, row);
}

void WritePrintRow(PrintData& print, const QString& job, int piece, int target, const QString& text, PendingError& err)
{
    if (piece <= 0)
        return;
    writePrintText(print, job, piece, target, text + QString::number(piece), err);
}

int DeletePrintData(ServerContext& ctx, const QString& job)
{
    PendingError err;
    db::Database database;
    if (openJobDatabase(ctx, database, err) && jobNameSearchable(job, err) &&
        database.deleteWhere(PrintTable, jobRows(job), err) >= 0)
        (void)database.commit(err);
    if (err.pending())
        return reportFailure(ctx, job, QStringLiteral("DeleteLosPrint"), err);
    return 0;
}

void DeleteOrphanPrintData(ServerContext& ctx)
{
    if (ctx.settings.JobLoadMode != LoadMode::JobPurgingPrintData)
        return;
    // Print rows whose job is gone from LosNamen (a job deleted by the
    // machine's control or by a roll-back that could not reach the print
    // data). Failures leave the table as it was and are not reported.
    PendingError err;
    db::Database database;
    if (openJobDatabase(ctx, database, err)) {
        database.executeFixed(
            QStringLiteral("DELETE FROM \"Druckdaten\" WHERE NOT EXISTS (SELECT 1 FROM "
                           "\"LosNamen\" WHERE \"LosNamen\".\"LosName\" = \"Druckdaten\".\"LosName\")"),
            err);
        if (!err.pending())
            (void)database.commit(err);
    }
}

} // namespace et
