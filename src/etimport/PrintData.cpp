#include "etimport/PrintData.h"

#include "config/ServerContext.h"
#include "intake/ErrorLog.h"
#include "intake/JobCriteria.h"
#include "platform/OperatorPrompt.h"

#include <vector>

namespace et {

namespace {

const QString PrintTable = QStringLiteral("Druckdaten");

QString jobDatabasePath(const ServerContext& ctx)
{
    return ctx.settings.clientDir + QStringLiteral("/prog.mdb");
}

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
    if (!database.execute(QStringLiteral("SELECT 1 FROM Druckdaten WHERE LosName = ? AND "
                                         "(coalesce(Tintendruckdaten, '') <> '' OR "
                                         "(coalesce(Etikettendaten, '') <> '' AND "
                                         "Etikettendaten <> ? || TeileNr AND Etikettendaten <> ? || TeileNr)) "
                                         "LIMIT 1"),
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
        if (!shared->isOpen() && !shared->open(jobDatabasePath(ctx), err, db::Database::Transaction::PerCall))
            return false;
        print.JobDatabase = shared;
    } else {
        print.ownDatabase = std::make_unique<db::Database>();
        print.JobDatabase = print.ownDatabase.get();
        if (!print.JobDatabase->open(jobDatabasePath(ctx), err, db::Database::Transaction::PerCall))
            return false;
    }
    const db::Criteria criteria = jobCriteria(job);
    if (!print.JobDatabase->openRecordset(print.PrintRecordset, PrintTable, criteria, err))
        return false;

    bool existing = !print.PrintRecordset.eof();
    if (existing && !skipQuestion && !holdsLabelText(*print.JobDatabase, job, existing, err))
        return false;
    if (existing) {
        switch (existingRowsAnswer(ctx, job, skipQuestion, presetAnswer)) {
        case Answer::Yes:
            print.PrintRecordset.close();
            if (print.JobDatabase->deleteWhere(PrintTable, criteria, err) < 0)
                return false;
            break;
        case Answer::Cancel:
            cancelled = true;
            break;
        default: // No: later writes find the rows and overwrite their columns
            break;
        }
    }

    // Open again so that the recordset sees the rows as they are now.
    print.PrintRecordset.close();
    return print.JobDatabase->openRecordset(print.PrintRecordset, PrintTable, criteria, err);
}

} // namespace

void PrintData::close()
{
    PrintRecordset.close();
    ownDatabase.reset(); // rolls back what was not committed
    JobDatabase = nullptr;
}

bool PrintData::commit(PendingError& err)
{
    PrintRecordset.close();
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
    db::Recordset& rs = print.PrintRecordset;
    if (!rs.findFirst(jobCriteria(job).and_(QStringLiteral("TeileNr"), piece), err))
        return;
    if (rs.noMatch()) {
        if (!rs.addNew(err) || !rs.setField(QStringLiteral("LosName"), job, err) ||
            !rs.setField(QStringLiteral("TeileNr"), piece, err))
            return;
    } else if (!rs.edit(err)) {
        return;
    }
    const QString column = target == 1 ? QStringLiteral("Tintendruckdaten") : QStringLiteral("Etikettendaten");
    if (!rs.setField(column, text, err) || !rs.update(err))
        return;
    // The row just written stays current, opened for editing; that edit is
    // never stored and is dropped by the next find or close.
    if (rs.moveTo(rs.lastModified(), err))
        rs.edit(err);
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
    if (database.open(jobDatabasePath(ctx), err, db::Database::Transaction::PerCall) &&
        database.deleteWhere(PrintTable, jobCriteria(job), err) >= 0)
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
    if (database.open(jobDatabasePath(ctx), err, db::Database::Transaction::PerCall)) {
        database.executeFixed(QStringLiteral("DELETE FROM Druckdaten WHERE NOT EXISTS "
                                             "(SELECT 1 FROM LosNamen WHERE LosNamen.LosName = Druckdaten.LosName)"),
                              err);
        if (!err.pending())
            (void)database.commit(err);
    }
}

} // namespace et
