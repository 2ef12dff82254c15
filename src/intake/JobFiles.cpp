#include "intake/JobFiles.h"

#include "config/ServerContext.h"
#include "intake/ErrorLog.h"
#include "intake/FileHandling.h"
#include "intake/JobImporter.h"
#include "intake/MoveJournal.h"
#include "platform/FileOps.h"
#include "platform/OperatorPrompt.h"
#include "platform/PendingError.h"

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
// database. Reported like a failed file, and the operator decides.
void reportFailedCommit(ServerContext& ctx, ImportOutcome& production, const PendingError& err)
{
    const QString fileName = fileops::fileName(production.path);
    WriteErrorLog(ctx, QStringLiteral("Job: ") + fileName + QStringLiteral("\r\n") +
                           WrapText(err.description, kErrorWrapWidth));
    production.errorNumber = err.number;
    const int answer = ctx.prompt.askAfterFailure(QStringLiteral("$TX-VOV Server"),
                                                  QStringLiteral("Job: ") + fileName +
                                                      QStringLiteral(" not correct loaded!!\r\n\r\n") +
                                                      err.description + QStringLiteral("\r\n"),
                                                  production.infrastructureFault());
    production.result = resultOfFailedFile(answer);
}

void backUpJob(ServerContext& ctx, const std::vector<ImportOutcome>& files)
{
    std::vector<PlannedMove> moves;
    for (const ImportOutcome& o : files) {
        if (o.kind == FileKind::Production || o.fileRead)
            moves.push_back({MoveTo::Backup, o.path});
    }
    noteMoves(ctx, moves);
    for (const PlannedMove& m : moves)
        BackupFile(ctx, m.path);
    SetReleaseFlag(ctx);
    movesMade(ctx);
}

std::vector<PlannedMove> errorCopiesOf(const std::vector<ImportOutcome>& files)
{
    std::vector<PlannedMove> moves;
    for (const ImportOutcome& o : files)
        moves.push_back({MoveTo::ErrorCopy, o.path});
    return moves;
}

// The failing file's answer decides for all files of the job.
void rollBackJob(ServerContext& ctx, JobImporter& importer, const std::vector<ImportOutcome>& files,
                 const ImportOutcome& failing)
{
    importer.rollBackJob();

    const bool cancelled = failing.result == ImportResult::GivenUp;
    // A file whose database could not be opened for a fault of the machine
    // was never wrong: the job's files stay to be read again.
    const bool retry = failing.result == ImportResult::ReadAgain ||
                       (failing.result == ImportResult::NotStarted && failing.infrastructureFault());
    const ImportOutcome& production = files.front();
    const QString& job = production.jobName;

    if (!retry)
        noteMoves(ctx, errorCopiesOf(files));
    if (!cancelled)
        importer.DeleteLos(job, false);
    if (!retry)
        MakeErrorCopy(ctx, production.path, false);
    if (const ImportOutcome* label = fileOfKind(files, FileKind::Label);
        label && !ctx.settings.ExtensionEtikett.isEmpty()) {
        if (label->fileRead)
            importer.DeletePrintData(job);
        if (!retry)
            MakeErrorCopy(ctx, label->path, false);
    }
    if (const ImportOutcome* steel = fileOfKind(files, FileKind::Steel);
        steel && !ctx.settings.ExtensionStahl.isEmpty()) {
        if (steel->fileRead)
            importer.DeleteLos(job, true);
        if (!retry)
            MakeErrorCopy(ctx, steel->path, false);
    }
    if (!retry)
        movesMade(ctx);
}

} // namespace

ImportResult resultOfFailedFile(int answer)
{
    return answer == Answer::Cancel ? ImportResult::SetAside : ImportResult::ReadAgain;
}

void endFile(ServerContext& ctx, JobImporter& importer, const ImportOutcome& outcome)
{
    const bool label = outcome.kind == FileKind::Label;
    const bool keep = outcome.result == ImportResult::ReadAgain;
    switch (outcome.result) {
    case ImportResult::Loaded:
        BackupFile(ctx, outcome.path);
        if (!label)
            SetReleaseFlag(ctx);
        break;
    case ImportResult::GivenUp:
        MakeErrorCopy(ctx, outcome.path, false);
        break;
    case ImportResult::ReadAgain:
    case ImportResult::SetAside:
        // What the file wrote before is deleted again: the print data before
        // the label file's error copy, the job after a production or steel
        // file's.
        if (label) {
            importer.DeletePrintData(outcome.jobName);
            MakeErrorCopy(ctx, outcome.path, keep);
        } else {
            MakeErrorCopy(ctx, outcome.path, keep);
            importer.DeleteLos(outcome.jobName, outcome.kind == FileKind::Steel);
        }
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
        PendingError err;
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
