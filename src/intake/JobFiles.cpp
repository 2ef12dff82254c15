#include "intake/JobFiles.h"

#include "config/ServerContext.h"
#include "intake/ErrorLog.h"
#include "intake/FileHandling.h"
#include "intake/JobImporter.h"
#include "intake/ImportLedger.h"
#include "platform/FileOps.h"
#include "platform/OperatorPrompt.h"
#include "platform/PendingError.h"

#include <QFileInfo>

namespace {

const ImportOutcome* fileOfKind(const std::vector<ImportOutcome>& files, FileKind kind)
{
    for (const ImportOutcome& o : files) {
        if (o.kind == kind)
            return &o;
    }
    return nullptr;
}

// The job's transaction could not be committed: nothing of it is in the
// database. Reported and asked about like a failed file.
void reportFailedCommit(ServerContext& ctx, ImportOutcome& production, const PendingError& err)
{
    WriteErrorLog(ctx, QStringLiteral("Job: ") + fileops::fileName(production.path) + QStringLiteral("\r\n") +
                           WrapText(err.description, kErrorWrapWidth));
    production.result = ImportResult::Failed;
    production.errorNumber = err.number;
    production.errorText = err.description;
    askAboutFailedFile(ctx, production);
}

LedgerEntry entryOf(const ImportOutcome& o, LedgerOutcome outcome)
{
    return ledgerEntry(o.path, o.jobName, o.kind, outcome);
}

// The files to back up after the job committed: its production data and
// whatever else was read for it. Their ledger rows were committed with the
// job, so the moves are made from the ledger; a file the ledger did not
// take (its row could not be written) is moved directly.
void backUpJob(ServerContext& ctx, const std::vector<ImportOutcome>& files)
{
    settleLedger(ctx);
    for (const ImportOutcome& o : files) {
        if ((o.kind == FileKind::Production || o.fileRead) && QFileInfo::exists(o.path))
            BackupFile(ctx, o.path);
    }
    SetReleaseFlag(ctx);
}

// Failed files become error copies through the ledger, so that a server
// stopped on the way finishes the moves at its next start; when the
// ledger cannot be written they are moved directly.
void setAside(ServerContext& ctx, const std::vector<const ImportOutcome*>& files)
{
    std::vector<LedgerEntry> entries;
    for (const ImportOutcome* o : files)
        entries.push_back(entryOf(*o, LedgerOutcome::SetAside));
    if (!setAsideThroughLedger(ctx, entries)) {
        for (const ImportOutcome* o : files)
            MakeErrorCopy(ctx, o->path, false);
    }
    // A file the ledger did not take (gone, or its row not written) is
    // handled directly: an old error copy of it still goes.
    for (size_t i = 0; i < files.size(); ++i) {
        if (!entries[i].file.known() || QFileInfo::exists(files[i]->path))
            MakeErrorCopy(ctx, files[i]->path, false);
    }
}

// The failing file's answer decides for all files of the job.
void rollBackJob(ServerContext& ctx, JobImporter& importer, const std::vector<ImportOutcome>& files,
                 const ImportOutcome& failing)
{
    importer.rollBackJob();

    const bool cancelled = failing.result == ImportResult::GivenUp;
    // A file whose database could not be opened for a fault of the machine
    // was never wrong, nor is a job that met one: the job's files stay to
    // be read again, as they do after Retry (or when never asked about).
    const bool retry = failing.result == ImportResult::ReadAgain || failing.result == ImportResult::Failed ||
                       (failing.result == ImportResult::NotStarted && failing.infrastructureFault());
    const ImportOutcome& production = files.front();
    const QString& job = production.jobName;

    std::vector<const ImportOutcome*> errorCopies{&production};
    if (!cancelled)
        importer.DeleteLos(job, false);
    if (const ImportOutcome* label = fileOfKind(files, FileKind::Label);
        label && !ctx.settings.ExtensionEtikett.isEmpty()) {
        if (label->fileRead)
            importer.DeletePrintData(job);
        errorCopies.push_back(label);
    }
    if (const ImportOutcome* steel = fileOfKind(files, FileKind::Steel);
        steel && !ctx.settings.ExtensionStahl.isEmpty()) {
        if (steel->fileRead)
            importer.DeleteLos(job, true);
        errorCopies.push_back(steel);
    }
    if (!retry)
        setAside(ctx, errorCopies);
}

} // namespace

void askAboutFailedFile(ServerContext& ctx, ImportOutcome& outcome)
{
    if (outcome.result != ImportResult::Failed)
        return;
    const QString title = outcome.kind == FileKind::Label
                              ? QStringLiteral("$TX-VOV Server (") + ctx.settings.ExtensionEtikett + u')'
                              : QStringLiteral("$TX-VOV Server");
    const int answer = ctx.prompt.askAfterFailure(title,
                                                  QStringLiteral("Job: ") + fileops::fileName(outcome.path) +
                                                      QStringLiteral(" not correct loaded!!\r\n\r\n") +
                                                      outcome.errorText + QStringLiteral("\r\n"),
                                                  outcome.infrastructureFault());
    outcome.result = answer == Answer::Cancel ? ImportResult::SetAside : ImportResult::ReadAgain;
}

void endFile(ServerContext& ctx, JobImporter& importer, const ImportOutcome& outcome)
{
    const bool label = outcome.kind == FileKind::Label;
    const bool keep = outcome.result == ImportResult::ReadAgain || outcome.result == ImportResult::Failed;
    switch (outcome.result) {
    case ImportResult::Loaded:
        // Its ledger row went in with its rows: moved from the ledger.
        if (outcome.ledgered)
            settleLedger(ctx);
        if (QFileInfo::exists(outcome.path))
            BackupFile(ctx, outcome.path);
        if (!label)
            SetReleaseFlag(ctx);
        break;
    case ImportResult::GivenUp:
        if (outcome.ledgered)
            settleLedger(ctx);
        if (QFileInfo::exists(outcome.path))
            MakeErrorCopy(ctx, outcome.path, false);
        break;
    case ImportResult::Failed: // never asked about: the file stays, as after Retry
    case ImportResult::ReadAgain:
        // What the file wrote before is deleted again; the file stays.
        if (label)
            importer.DeletePrintData(outcome.jobName);
        MakeErrorCopy(ctx, outcome.path, keep);
        if (!label)
            importer.DeleteLos(outcome.jobName, outcome.kind == FileKind::Steel);
        break;
    case ImportResult::SetAside:
        // What the file wrote before is deleted again, then the file
        // becomes an error copy.
        if (label)
            importer.DeletePrintData(outcome.jobName);
        else
            importer.DeleteLos(outcome.jobName, outcome.kind == FileKind::Steel);
        setAside(ctx, {&outcome});
        break;
    case ImportResult::NotStarted:
        break;
    }
}

bool failsJob(const ImportOutcome& outcome)
{
    if (outcome.kind == FileKind::Label && outcome.result == ImportResult::NotStarted)
        return false;
    return outcome.failed();
}

void endJob(ServerContext& ctx, JobImporter& importer, std::vector<ImportOutcome>& files)
{
    if (files.empty())
        return;
    if (files.front().result == ImportResult::NotStarted) {
        // The job database could not be opened for the production data
        // (openDB has reported): nothing of the job was read or written.
        // Its files stay together for a later cycle, as a file does in
        // separate mode; setting the production data aside alone would
        // leave its label and steel data waiting for ever.
        importer.rollBackJob();
        return;
    }
    if (!failsJob(files.back())) {
        std::vector<LedgerEntry> ledger;
        for (const ImportOutcome& o : files) {
            if (o.kind == FileKind::Production || o.fileRead)
                ledger.push_back(entryOf(o, LedgerOutcome::Loaded));
        }
        PendingError err;
        PendingError ledgerErr;
        (void)importer.recordInJob(ledger, ledgerErr);
        if (importer.commitJob(err)) {
            backUpJob(ctx, files);
            return;
        }
        reportFailedCommit(ctx, files.front(), err);
        rollBackJob(ctx, importer, files, files.front());
        return;
    }
    rollBackJob(ctx, importer, files, files.back());
}
