#include "intake/ScanCycle.h"

#include "config/ServerContext.h"
#include "intake/ErrorLog.h"
#include "intake/FileHandling.h"
#include "intake/JobImporter.h"
#include "intake/JobState.h"
#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "platform/PendingError.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <exception>
#include <functional>

// The scan cycle looks into the server directory, hands at most one file of
// each kind to the importers, and in job mode ends the job: its files are
// backed up together or rolled back together.

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kDefaultExtension = QStringLiteral("$tx");
const QString kTitleScanDir = QStringLiteral("ERROR Server VOV ScanDir");
const QString kTitleLabel = QStringLiteral("ERROR Server VOV Etikett ScanDir");
const QString kTitleSteel = QStringLiteral("ERROR Server VOV Steel ScanDir");
constexpr int kWrapWidth = 75;
// A failure that escapes an importer.
constexpr int kAutomationError = 440;

// Nothing is scanned unless both the job database's directory and the
// server directory are configured.
bool directoriesConfigured(const ServerContext& ctx)
{
    return !ctx.settings.clientDir.isEmpty() && !ctx.settings.serverDir.isEmpty();
}

QString productionExtension(const ServerContext& ctx)
{
    return ctx.settings.Extension.isEmpty() ? kDefaultExtension : ctx.settings.Extension;
}

QString serverFile(const ServerContext& ctx, const QString& name)
{
    return fileops::joinPath(ctx.settings.serverDir, name);
}

// Runs the steps of one scan procedure. Its first failure ends it and
// replaces the error box's text with the time, the procedure's title and the
// wrapped description; the next procedure of the cycle still runs.
template <typename Steps>
void runScan(ServerContext& ctx, const QString& title, Steps&& steps)
{
    PendingError err;
    try {
        steps(err);
    } catch (const std::exception& e) {
        err.raise(kAutomationError, QString::fromLocal8Bit(e.what()));
    } catch (...) {
        err.raise(kAutomationError, QStringLiteral("Automation error"));
    }
    if (err.number > 0)
        writeTotxtError(ctx, timeStamp(ctx.clock) + kCrLf + title + kCrLf + WrapText(err.description, kWrapWidth));
}

// Separate mode: one file of a kind, handed to its importer, which ends the
// file itself (backup or error copy).
void scanKind(ServerContext& ctx, const QString& title, const QString& extension,
              const std::function<void(const QString&)>& import)
{
    if (!directoriesConfigured(ctx))
        return;
    runScan(ctx, title, [&](PendingError& err) {
        const QString name = FirstWritableFile(ctx.settings.serverDir, extension, &err, ctx.fileSettled);
        if (!err.pending() && !name.isEmpty())
            import(serverFile(ctx, name));
    });
}

void backUpJob(ServerContext& ctx, const JobState& job)
{
    BackupFile(ctx, job.CurrentJobFile);
    if (job.LabelDataLoaded)
        BackupFile(ctx, job.CurrentLabelFile);
    if (job.SteelDataLoaded)
        BackupFile(ctx, job.CurrentSteelFile);
    SetReleaseFlag(ctx);
}

// Takes a failed job out of the job database again. With Retry the files
// keep their names and the job is read again by a later cycle; otherwise
// they become error copies.
void rollBackJob(ServerContext& ctx, const JobState& job, JobImporter& importer)
{
    if (!job.LoadCancelled)
        importer.DeleteLos(job.CurrentJobName, false);
    if (!job.RetryRequested)
        MakeErrorCopy(ctx, job.CurrentJobFile, false);
    if (!ctx.settings.ExtensionEtikett.isEmpty() && !job.CurrentLabelFile.isEmpty()) {
        if (job.LabelDataLoaded)
            importer.DeletePrintData(job.CurrentJobName);
        if (!job.RetryRequested)
            MakeErrorCopy(ctx, job.CurrentLabelFile, false);
    }
    if (!ctx.settings.ExtensionStahl.isEmpty() && !job.CurrentSteelFile.isEmpty()) {
        if (job.SteelDataLoaded)
            importer.DeleteLos(job.CurrentJobName, true);
        if (!job.RetryRequested)
            MakeErrorCopy(ctx, job.CurrentSteelFile, false);
    }
}

} // namespace

QString FirstWritableFile(const QString& serverDir, const QString& extension, PendingError* err,
                          const std::function<bool(const QString&)>& settled)
{
    const QString dirPath = fileops::nativePath(serverDir);
    const QFileInfo info(dirPath);
    if (!info.isDir()) {
        if (err)
            err->raise(ErrorNumber::PathNotFound, QStringLiteral("Path not found"));
        return {};
    }
    QDir dir(dirPath);
    if (!info.isReadable() || !info.isExecutable()) {
        if (err)
            err->raise(ErrorNumber::PermissionDenied, QStringLiteral("Permission denied"));
        return {};
    }
    // Extensions match regardless of case, as they always did on the plant's
    // machines ("$TX" finds a.$tx). Sorted by name so that a backlog drains
    // in a predictable order.
    dir.setNameFilters({QStringLiteral("*.") + extension});
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name);
    const QStringList names = dir.entryList();
    for (const QString& name : names) {
        const QString path = fileops::joinPath(serverDir, name);
        // A file gone since the listing is simply not a candidate; a
        // read-only one is never picked up.
        if (fileops::exists(path) && !fileops::isReadOnly(path) && (!settled || settled(path)))
            return name;
    }
    return {};
}

void ScanProductionData(ServerContext& ctx, JobImporter& importer)
{
    scanKind(ctx, kTitleScanDir, productionExtension(ctx),
             [&](const QString& path) { importer.ImportProductionData(path, false); });
}

void ScanLabelData(ServerContext& ctx, JobImporter& importer)
{
    if (ctx.settings.ExtensionEtikett.isEmpty())
        return;
    scanKind(ctx, kTitleLabel, ctx.settings.ExtensionEtikett,
             [&](const QString& path) { importer.ReadLabelFile(path); });
}

void ScanSteelData(ServerContext& ctx, JobImporter& importer)
{
    if (ctx.settings.ExtensionStahl.isEmpty())
        return;
    scanKind(ctx, kTitleSteel, ctx.settings.ExtensionStahl,
             [&](const QString& path) { importer.ImportProductionData(path, true); });
}

void ScanJob(ServerContext& ctx, JobState& job, JobImporter& importer)
{
    if (!directoriesConfigured(ctx))
        return;
    runScan(ctx, kTitleScanDir, [&](PendingError& err) {
        const QString name = FirstWritableFile(ctx.settings.serverDir, productionExtension(ctx), &err, ctx.fileSettled);
        if (err.pending() || name.isEmpty())
            return;

        // The importer resets the job state and names the job after the file.
        importer.ImportProductionData(serverFile(ctx, name), false);

        // The job's other files are read by name without looking for them
        // first; a missing one is the importer's to report.
        const Settings& s = ctx.settings;
        if (!job.LoadFailed && !s.ExtensionEtikett.isEmpty())
            importer.ReadLabelFile(serverFile(ctx, job.CurrentJobName + u'.' + s.ExtensionEtikett));
        if (!job.LoadFailed && !s.ExtensionStahl.isEmpty())
            importer.ImportProductionData(serverFile(ctx, job.CurrentJobName + u'.' + s.ExtensionStahl), true);

        if (!job.LoadFailed)
            backUpJob(ctx, job);
        else
            rollBackJob(ctx, job, importer);
    });
}

ScanCycle::ScanCycle(ServerContext& ctx, JobState& job, JobImporter& importer)
    : m_ctx(ctx), m_job(job), m_importer(importer)
{
    connect(&m_ctx.tmrLoad, &QTimer::timeout, this, &ScanCycle::runOnce);
}

void ScanCycle::runOnce()
{
    // The timer is stopped while a cycle runs, so cycles never overlap, not
    // even while an importer waits for the operator.
    m_ctx.tmrLoad.stop();
    if (m_running)
        return; // the running cycle re-arms the timer when it ends
    m_running = true;
    CycleReport report;
    report.startedMs = m_ctx.clock.now().toMSecsSinceEpoch();
    QElapsedTimer elapsed;
    elapsed.start();

    if (m_ctx.settings.JobLoadMode != 0) {
        ScanJob(m_ctx, m_job, m_importer);
    } else {
        ScanProductionData(m_ctx, m_importer);
        ScanLabelData(m_ctx, m_importer);
        ScanSteelData(m_ctx, m_importer);
    }
    ++m_cycles;
    m_running = false;

    const int interval = m_ctx.settings.scanInterval;
    if (interval > 0) {
        m_ctx.tmrLoad.setInterval(interval);
        m_ctx.tmrLoad.start();
    }
    report.durationMs = elapsed.elapsed();
    Q_EMIT cycleFinished(report);
}
