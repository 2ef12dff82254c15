#include "intake/ScanCycle.h"

#include "config/ServerContext.h"
#include "intake/ErrorLog.h"
#include "intake/FileHandling.h"
#include "intake/JobImporter.h"
#include "intake/JobFiles.h"
#include "intake/PlantLock.h"
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
        writeTotxtError(ctx, timeStamp(ctx.clock) + kCrLf + title + kCrLf + WrapText(err.description, kErrorWrapWidth));
}

// Separate mode: one file of a kind, handed to its importer; then the file
// is ended as its outcome says.
void scanKind(ServerContext& ctx, JobImporter& importer, CycleReport* report, const QString& title,
              const QString& extension, const std::function<ImportOutcome(const QString&)>& import)
{
    if (!directoriesConfigured(ctx))
        return;
    runScan(ctx, title, [&](PendingError& err) {
        const QString name = FirstWritableFile(ctx.settings.serverDir, extension, &err, ctx.fileSettled);
        if (err.pending() || name.isEmpty())
            return;
        const ImportOutcome outcome = import(serverFile(ctx, name));
        endFile(ctx, importer, outcome);
        if (report)
            report->files.push_back(outcome);
    });
}

// Rolls the job's transaction back unless the job was ended: a failure
// that escapes an importer leaves nothing of the job in the database.
class OpenJob {
public:
    explicit OpenJob(JobImporter& importer) : m_importer(importer) { m_importer.beginJob(); }
    ~OpenJob()
    {
        if (!m_ended)
            m_importer.rollBackJob();
    }
    OpenJob(const OpenJob&) = delete;
    OpenJob& operator=(const OpenJob&) = delete;
    void ended() { m_ended = true; }

private:
    JobImporter& m_importer;
    bool m_ended = false;
};

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

void ScanProductionData(ServerContext& ctx, JobImporter& importer, CycleReport* report)
{
    scanKind(ctx, importer, report, kTitleScanDir, productionExtension(ctx),
             [&](const QString& path) { return importer.ImportProductionData(path, false); });
}

void ScanLabelData(ServerContext& ctx, JobImporter& importer, CycleReport* report)
{
    if (ctx.settings.ExtensionEtikett.isEmpty())
        return;
    scanKind(ctx, importer, report, kTitleLabel, ctx.settings.ExtensionEtikett,
             [&](const QString& path) { return importer.ReadLabelFile(path); });
}

void ScanSteelData(ServerContext& ctx, JobImporter& importer, CycleReport* report)
{
    if (ctx.settings.ExtensionStahl.isEmpty())
        return;
    scanKind(ctx, importer, report, kTitleSteel, ctx.settings.ExtensionStahl,
             [&](const QString& path) { return importer.ImportProductionData(path, true); });
}

void ScanJob(ServerContext& ctx, JobImporter& importer, CycleReport* report)
{
    if (!directoriesConfigured(ctx))
        return;
    runScan(ctx, kTitleScanDir, [&](PendingError& err) {
        const QString name = FirstWritableFile(ctx.settings.serverDir, productionExtension(ctx), &err, ctx.fileSettled);
        if (err.pending() || name.isEmpty())
            return;

        OpenJob job(importer);
        std::vector<ImportOutcome> files;
        files.push_back(importer.ImportProductionData(serverFile(ctx, name), false));

        // The job's other files are read by name without looking for them
        // first; a missing one is the importer's to report.
        const Settings& s = ctx.settings;
        const QString jobName = files.front().jobName;
        if (!failsJob(files.back()) && !s.ExtensionEtikett.isEmpty())
            files.push_back(importer.ReadLabelFile(serverFile(ctx, jobName + u'.' + s.ExtensionEtikett)));
        if (!failsJob(files.back()) && !s.ExtensionStahl.isEmpty())
            files.push_back(importer.ImportProductionData(serverFile(ctx, jobName + u'.' + s.ExtensionStahl), true));

        endJob(ctx, importer, files);
        job.ended();
        if (report)
            report->files.insert(report->files.end(), files.begin(), files.end());
    });
}

ScanCycle::ScanCycle(ServerContext& ctx, JobImporter& importer) : m_ctx(ctx), m_importer(importer)
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

    // A minimised server leaves the task bar; the icon or the manager opens it.
    m_ctx.window->hideIfMinimised();

    CycleReport report;
    const bool plantIsOurs = this->plantIsOurs();
    report.startedMs = m_ctx.clock.now().toMSecsSinceEpoch();
    QElapsedTimer elapsed;
    elapsed.start();
    if (!plantIsOurs) {
        // another server works on this plant: nothing is read
    } else if (m_ctx.settings.jobMode()) {
        ScanJob(m_ctx, m_importer, &report);
    } else {
        ScanProductionData(m_ctx, m_importer, &report);
        ScanLabelData(m_ctx, m_importer, &report);
        ScanSteelData(m_ctx, m_importer, &report);
    }
    report.durationMs = elapsed.elapsed();
    ++m_cycles;
    m_running = false;

    const int interval = m_ctx.settings.scanInterval;
    if (interval > 0) {
        m_ctx.tmrLoad.setInterval(interval);
        m_ctx.tmrLoad.start();
    }
    Q_EMIT cycleFinished(report);
}

bool ScanCycle::plantIsOurs()
{
    if (!m_plantLock)
        return true;
    const QString& clientDir = m_ctx.settings.clientDir;
    QString holder;
    if (m_plantLock->lock(clientDir, &holder)) {
        m_refusedPlant.clear();
        return true;
    }
    if (m_refusedPlant != clientDir) {
        writeTotxtError(m_ctx, timeStamp(m_ctx.clock) + kCrLf + kTitleScanDir + kCrLf +
                                   WrapText(QStringLiteral("Another server (%1) works on the job database in %2; "
                                                           "no job is read here until it ends.")
                                                .arg(holder, clientDir),
                                            kErrorWrapWidth));
        m_refusedPlant = clientDir;
    }
    return false;
}
