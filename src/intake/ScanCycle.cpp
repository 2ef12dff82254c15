#include "intake/ScanCycle.h"

#include "config/JobDatabaseLocation.h"
#include "config/ServerContext.h"
#include "intake/ErrorLog.h"
#include "intake/FileHandling.h"
#include "intake/JobImporter.h"
#include "intake/JobFiles.h"
#include "intake/ImportLedger.h"
#include "intake/PlantLock.h"
#include "platform/Clock.h"
#include "platform/FileOps.h"
#include "platform/PendingError.h"
#include "platform/db/Database.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

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
template <typename Steps> void runScan(ServerContext& ctx, const QString& title, Steps&& steps)
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

// Names the files with a job file's name that are not regular files, and
// so are never read, once each in the error log (logged, so that the note
// outlives the imports of the same cycle).
void noteNotRegular(ServerContext& ctx, const QString& title, ScanQueue* queue, const QStringList& names)
{
    if (!queue)
        return;
    QStringList fresh;
    for (const QString& n : names) {
        if (!queue->reportedNotRegular.contains(n)) {
            queue->reportedNotRegular.insert(n);
            fresh << n;
        }
    }
    if (!fresh.isEmpty())
        WriteErrorLog(
            ctx, title + kCrLf +
                     WrapText(QStringLiteral("Not a regular file, never read: ") + fresh.join(QStringLiteral(", ")),
                              kErrorWrapWidth));
}

// The next file of a kind: the listing resumes after the file the kind's
// last cycle took; special files are named once.
QString nextFile(ServerContext& ctx, const QString& title, const QString& extension, FileKind kind, ScanQueue* queue,
                 PendingError& err)
{
    QStringList notRegular;
    const QString name = FirstWritableFile(ctx.settings.serverDir, extension, &err, ctx.fileSettled,
                                           queue ? queue->resumeAfter[int(kind)] : QString(), &notRegular);
    noteNotRegular(ctx, title, queue, notRegular);
    return name;
}

// A job's label-data and steel-data files are read by name. The importers
// do not open one that is not a regular file (a link above all); it is
// named here like one the listing passes over.
void noteJobFilesNotRegular(ServerContext& ctx, ScanQueue* queue, const QString& jobName)
{
    QStringList notRegular;
    for (const QString& extension : {ctx.settings.ExtensionEtikett, ctx.settings.ExtensionStahl}) {
        const QString name = jobName + u'.' + extension;
        if (!extension.isEmpty() && !fileops::isRegularFileOrNothing(serverFile(ctx, name)))
            notRegular << name;
    }
    noteNotRegular(ctx, kTitleScanDir, queue, notRegular);
}

// After a file was tried: the next cycle of its kind starts after it. A
// file that stays in the server directory (to be read again) a second time
// is named, under the report of its failure.
void noteTried(ServerContext& ctx, ScanQueue* queue, FileKind kind, const QString& name)
{
    if (!queue)
        return;
    queue->resumeAfter[int(kind)] = name;
    storeResumePoint(ctx, kind, name);
    if (!QFileInfo::exists(serverFile(ctx, name))) {
        queue->stayed.remove(name);
        return;
    }
    if (queue->stayed.contains(name))
        addToErrorBox(ctx, name + QStringLiteral(" keeps failing and stays in the server directory; the files "
                                                 "waiting behind it are read first."));
    queue->stayed.insert(name);
}

// What an importer returned for a file. A file that failed is asked about
// at once, before anything else is said or done about it or its job.
ImportOutcome answered(ServerContext& ctx, ImportOutcome outcome)
{
    askAboutFailedFile(ctx, outcome);
    return outcome;
}

// Separate mode: one file of a kind, handed to its importer; then the file
// is ended as its outcome says.
void scanKind(ServerContext& ctx, JobImporter& importer, CycleReport* report, ScanQueue* queue, FileKind kind,
              const QString& title, const QString& extension,
              const std::function<ImportOutcome(const QString&)>& import)
{
    if (!directoriesConfigured(ctx))
        return;
    runScan(ctx, title, [&](PendingError& err) {
        const QString name = nextFile(ctx, title, extension, kind, queue, err);
        if (err.pending() || name.isEmpty())
            return;
        const ImportOutcome outcome = answered(ctx, import(serverFile(ctx, name)));
        endFile(ctx, importer, outcome);
        noteTried(ctx, queue, kind, name);
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

// A file of the job that the listing saw and that went before it was read.
ImportOutcome vanishedFile(ServerContext& ctx, FileKind kind, const QString& path, const QString& jobName)
{
    WriteErrorLog(ctx, QStringLiteral("Job: ") + fileops::fileName(path) + kCrLf +
                           WrapText(QStringLiteral("File not found. It was in the server directory when the "
                                                   "job was listed; the job's files stay and are read again."),
                                    kErrorWrapWidth));
    ImportOutcome o;
    o.kind = kind;
    o.path = path;
    o.jobName = jobName;
    o.result = ImportResult::ReadAgain;
    o.errorNumber = ErrorNumber::FileNotFound;
    o.machineFault = ErrorNumber::FileNotFound;
    return o;
}

// Whether the server directory can be listed; the fault raised when not.
bool listable(const QString& serverDir, PendingError& err)
{
    const QFileInfo info(fileops::nativePath(serverDir));
    if (!info.isDir())
        err.raise(ErrorNumber::PathNotFound, QStringLiteral("Path not found"));
    else if (!info.isReadable() || !info.isExecutable())
        err.raise(ErrorNumber::PermissionDenied, QStringLiteral("Permission denied"));
    return !err.pending();
}

// The fault of the machine for which a file of the cycle stayed in the
// server directory (its error number), 0 when none did.
int faultFilesStayedFor(const CycleReport& report)
{
    for (const ImportOutcome& o : report.files) {
        const bool stayed = o.result == ImportResult::ReadAgain || o.result == ImportResult::NotStarted;
        if (stayed && o.infrastructureFault())
            return o.machineFault != 0 ? o.machineFault : o.errorNumber;
    }
    return 0;
}

} // namespace

QString FirstWritableFile(const QString& serverDir, const QString& extension, PendingError* err,
                          const std::function<bool(const QString&)>& settled, const QString& resumeAfter,
                          QStringList* notRegular)
{
    PendingError fault;
    if (!listable(serverDir, fault)) {
        if (err)
            *err = fault;
        return {};
    }
    QDir dir(fileops::nativePath(serverDir));
    // Extensions match regardless of case, as they always did on the plant's
    // machines ("$TX" finds a.$tx). Sorted by name so that a backlog drains
    // in a predictable order. Everything with a matching name is listed
    // (links, devices and pipes too) so that what is not a regular file can
    // be named instead of silently passed over.
    dir.setNameFilters({QStringLiteral("*.") + extension});
    dir.setFilter(QDir::Files | QDir::Dirs | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    dir.setSorting(QDir::Name);
    QStringList names = dir.entryList();
    // Resume after the file the last cycle took, wrapping around.
    if (!resumeAfter.isEmpty()) {
        const auto after = std::find_if(names.begin(), names.end(), [&](const QString& n) {
            return QString::compare(n, resumeAfter, Qt::CaseInsensitive) > 0;
        });
        std::rotate(names.begin(), after, names.end());
    }
    for (const QString& name : names) {
        const QString path = fileops::joinPath(serverDir, name);
        // A file gone since the listing is simply not a candidate; a
        // read-only one is never picked up. Reading a device or a pipe may
        // never end, and a link would let whoever may write the server
        // directory have any file the server can read copied into the logs.
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink())
            continue;
        if (!fileops::isRegularFile(path)) {
            if (notRegular)
                *notRegular << name;
            continue;
        }
        if (!fileops::isReadOnly(path) && (!settled || settled(path)))
            return name;
    }
    return {};
}

void ScanProductionData(ServerContext& ctx, JobImporter& importer, CycleReport* report, ScanQueue* queue)
{
    scanKind(ctx, importer, report, queue, FileKind::Production, kTitleScanDir, productionExtension(ctx),
             [&](const QString& path) { return importer.ImportProductionData(path, false); });
}

void ScanLabelData(ServerContext& ctx, JobImporter& importer, CycleReport* report, ScanQueue* queue)
{
    if (ctx.settings.ExtensionEtikett.isEmpty())
        return;
    scanKind(ctx, importer, report, queue, FileKind::Label, kTitleLabel, ctx.settings.ExtensionEtikett,
             [&](const QString& path) { return importer.ReadLabelFile(path); });
}

void ScanSteelData(ServerContext& ctx, JobImporter& importer, CycleReport* report, ScanQueue* queue)
{
    if (ctx.settings.ExtensionStahl.isEmpty())
        return;
    scanKind(ctx, importer, report, queue, FileKind::Steel, kTitleSteel, ctx.settings.ExtensionStahl,
             [&](const QString& path) { return importer.ImportProductionData(path, true); });
}

void ScanJob(ServerContext& ctx, JobImporter& importer, CycleReport* report, ScanQueue* queue)
{
    if (!directoriesConfigured(ctx))
        return;
    runScan(ctx, kTitleScanDir, [&](PendingError& err) {
        const QString name = nextFile(ctx, kTitleScanDir, productionExtension(ctx), FileKind::Production, queue, err);
        if (err.pending() || name.isEmpty())
            return;

        // The job's other files as the listing found them.
        const Settings& s = ctx.settings;
        const QString jobName = fileops::baseName(name);
        const QString labelPath = serverFile(ctx, jobName + u'.' + s.ExtensionEtikett);
        const QString steelPath = serverFile(ctx, jobName + u'.' + s.ExtensionStahl);
        const bool labelListed = !s.ExtensionEtikett.isEmpty() && QFileInfo::exists(labelPath);
        const bool steelListed = !s.ExtensionStahl.isEmpty() && QFileInfo::exists(steelPath);

        OpenJob job(importer);
        std::vector<ImportOutcome> files;
        files.push_back(answered(ctx, importer.ImportProductionData(serverFile(ctx, name), false)));

        // The job's other files are read by name without looking for them
        // first; a missing one is the importer's to report, unless it was
        // there when the folder was listed: then something on the machine
        // took it away, and the job waits for the next cycle.
        noteJobFilesNotRegular(ctx, queue, jobName);
        if (!failsJob(files.back()) && !s.ExtensionEtikett.isEmpty())
            files.push_back(labelListed && !QFileInfo::exists(labelPath)
                                ? vanishedFile(ctx, FileKind::Label, labelPath, jobName)
                                : answered(ctx, importer.ReadLabelFile(labelPath)));
        if (!failsJob(files.back()) && !s.ExtensionStahl.isEmpty())
            files.push_back(steelListed && !QFileInfo::exists(steelPath)
                                ? vanishedFile(ctx, FileKind::Steel, steelPath, jobName)
                                : answered(ctx, importer.ImportProductionData(steelPath, true)));

        endJob(ctx, importer, files);
        job.ended();
        noteTried(ctx, queue, FileKind::Production, name);
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
    Q_EMIT cycleStarted();

    // A minimised server leaves the task bar; the icon or the manager opens it.
    m_ctx.window->hideIfMinimised();

    CycleReport report;
    const bool canWork = plantIsOurs() && serverDirectoryUsable() && serverDirectoryThere() && backupFolderUsable() &&
                         jobDatabaseThere() && jobDatabaseUsable();
    report.startedMs = m_ctx.clock.now().toMSecsSinceEpoch();
    QElapsedTimer elapsed;
    elapsed.start();
    // The last cycle left files for a fault of the machine, answered by
    // policy: this cycle's reports are held, and dropped if it ends the
    // same way (the fault was said once), written if anything else happens.
    if (m_stayedForFault != 0 && m_ctx.prompt.answersByPolicy())
        m_ctx.reports.hold();
    if (canWork)
        settleTakenFiles();
    if (!canWork) {
        // said why in the error box: nothing is read
    } else if (m_ctx.settings.jobMode()) {
        ScanJob(m_ctx, m_importer, &report, &m_queue);
        noteJobDatabaseAway(report);
    } else {
        // A job database that cannot be opened fails every kind alike: the
        // first file says so, the others wait with it.
        ScanProductionData(m_ctx, m_importer, &report, &m_queue);
        noteJobDatabaseAway(report);
        if (m_databaseAway.isEmpty())
            ScanLabelData(m_ctx, m_importer, &report, &m_queue);
        noteJobDatabaseAway(report);
        if (m_databaseAway.isEmpty())
            ScanSteelData(m_ctx, m_importer, &report, &m_queue);
        noteJobDatabaseAway(report);
    }
    report.durationMs = elapsed.elapsed();
    const std::vector<Report> held = m_ctx.reports.stopHolding();
    // A full disk may show as "full" in one cycle and as an I/O error of
    // the next open: any fault of the machine that goes on counts as the same.
    const int fault = faultFilesStayedFor(report);
    if (fault == 0 || m_stayedForFault == 0) {
        for (const Report& r : held)
            m_ctx.reports.send(r);
    }
    m_stayedForFault = fault;
    // An import that met a damaged database: check it again before the next.
    for (const ImportOutcome& o : report.files) {
        if (o.errorNumber == ErrorNumber::DamagedDatabase)
            noteDatabaseDamaged(true);
    }
    ++m_cycles;
    m_running = false;

    const int interval = m_ctx.settings.scanInterval;
    if (interval > 0) {
        m_ctx.tmrLoad.setInterval(interval);
        m_ctx.tmrLoad.start();
    }
    Q_EMIT cycleFinished(report);
}

// Before the folder is listed, the files the ledger holds as taken but not
// yet moved (a server stopped between the commit and the last move) leave
// the server directory as their rows say, without being read again. The
// first cycle also brings an older job database's ledger up to date and
// takes up the listing where the last process left it.
void ScanCycle::settleTakenFiles()
{
    if (m_ledgerDatabase != m_ctx.settings.clientDir) {
        m_ledgerDatabase = m_ctx.settings.clientDir;
        prepareLedger();
    }
    const QStringList moved = settleLedger(m_ctx);
    if (!moved.isEmpty())
        WriteErrorLog(m_ctx, kTitleScanDir + kCrLf +
                                 WrapText(QStringLiteral("The server was stopped before the files of a job it had "
                                                         "taken were moved; they were moved now: ") +
                                              moved.join(QStringLiteral(", ")),
                                          kErrorWrapWidth));
}

void ScanCycle::prepareLedger()
{
    db::Database database;
    PendingError err;
    if (m_ctx.settings.clientDir.isEmpty() || !openJobDatabase(m_ctx, database, err))
        return;
    bool created = false;
    bool present = true;
    if (!m_ctx.jobDatabaseServer) {
        if (ensureLedgerTables(database, created, err) && created && database.commit(err))
            sayInErrorBox(QStringLiteral("The job database %1 had no import ledger; it was "
                                         "added (the tables ImportLedger and ImportQueue).")
                              .arg(jobDatabaseName(m_ctx)));
    } else if (hasLedgerTables(database, present, err) && !present) {
        // A schema made by --init-db has them; one made otherwise is not
        // changed behind its owner's back.
        sayInErrorBox(QStringLiteral("The job database %1 has no import ledger (the tables ImportLedger and "
                                     "ImportQueue); jobs cannot be recorded there. Make the schema with "
                                     "serverquirnel --init-db URL.")
                          .arg(jobDatabaseName(m_ctx)));
    }
    // The resume points on the same connection (a commit above closed it).
    if (!database.isOpen() && !openJobDatabase(m_ctx, database, err, db::Database::Transaction::AutoCommit))
        return;
    for (FileKind kind : {FileKind::Production, FileKind::Label, FileKind::Steel}) {
        if (m_queue.resumeAfter[int(kind)].isEmpty())
            m_queue.resumeAfter[int(kind)] = storedResumePoint(database, kind);
    }
}

// A server directory that is prog.bak, or lies inside it, would import the
// backups again at every cycle: nothing is read there (said once).
bool ScanCycle::serverDirectoryUsable()
{
    const QString& serverDir = m_ctx.settings.serverDir;
    if (m_ctx.programDir.isEmpty() || serverDir.isEmpty())
        return true;
    const QString bak =
        QDir::cleanPath(QFileInfo(fileops::nativePath(fileops::joinPath(m_ctx.programDir, QStringLiteral("prog.bak"))))
                            .absoluteFilePath());
    QFileInfo dir(fileops::nativePath(serverDir));
    const QString canonical =
        dir.canonicalFilePath().isEmpty() ? QDir::cleanPath(dir.absoluteFilePath()) : dir.canonicalFilePath();
    const QString bakCanonical =
        QFileInfo(bak).canonicalFilePath().isEmpty() ? bak : QFileInfo(bak).canonicalFilePath();
    const bool inside = canonical == bakCanonical || canonical.startsWith(bakCanonical + u'/');
    if (!inside) {
        m_refusedServerDir.clear();
        return true;
    }
    if (m_refusedServerDir != serverDir) {
        sayInErrorBox(QStringLiteral("The server directory %1 is the backup folder %2 or lies "
                                     "inside it; nothing is read there. Choose another server "
                                     "directory.")
                          .arg(serverDir, bak));
        m_refusedServerDir = serverDir;
    }
    return false;
}

// A server directory that cannot be listed (not there, e.g. a share not
// mounted, or not readable) is said once, as the scan reports it, and no
// scan runs while it lasts; when it can be listed again that is said once,
// with the time.
bool ScanCycle::serverDirectoryThere()
{
    const QString& serverDir = m_ctx.settings.serverDir;
    if (!directoriesConfigured(m_ctx))
        return true;
    PendingError err;
    if (listable(serverDir, err)) {
        if (!m_serverDirAway.isEmpty())
            writeTotxtError(m_ctx, timeStamp(m_ctx.clock) + QStringLiteral(": Server directory %1 is there again; "
                                                                           "job files are read again.")
                                                                .arg(m_serverDirAway));
        m_serverDirAway.clear();
        m_serverDirFault.clear();
        return true;
    }
    if (m_serverDirAway != serverDir || m_serverDirFault != err.description)
        sayInErrorBox(err.description);
    m_serverDirAway = serverDir;
    m_serverDirFault = err.description;
    return false;
}

namespace {

// Whether the job database can be opened and read; why not, when not.
bool jobDatabaseOpens(const ServerContext& ctx, PendingError& err)
{
    db::Database database;
    if (!openJobDatabase(ctx, database, err, db::Database::Transaction::AutoCommit))
        return false;
    (void)database.hasRows(QStringLiteral("LosNamen"), err);
    return !err.pending();
}

// A job database file that is not there (a server's schema is never
// "missing" in this sense: it cannot be reached, or is not usable).
bool jobDatabaseFileMissing(const ServerContext& ctx)
{
    return !ctx.jobDatabaseServer && !QFileInfo::exists(jobDatabaseFile(ctx));
}

} // namespace

// A job database that an import could not open (missing, or not to be
// opened for a fault of the machine) is said once, by the import that met
// it, as it reports it. While it lasts no file is taken: each would fail the
// same way and say so again. When it opens again that is said once, with
// the time, and the intake goes on.
bool ScanCycle::jobDatabaseThere()
{
    if (!directoriesConfigured(m_ctx))
        return true;
    if (m_databaseAway.isEmpty())
        return true; // one that goes is found when an import meets it
    const QString path = jobDatabaseName(m_ctx);
    PendingError err;
    if (m_databaseAway != path || jobDatabaseOpens(m_ctx, err)) {
        if (m_databaseAway == path)
            writeTotxtError(m_ctx, timeStamp(m_ctx.clock) +
                                       QStringLiteral(": Job database %1 %2; job files are read again.")
                                           .arg(path, m_databaseMissing ? QStringLiteral("is there again")
                                                                        : QStringLiteral("can be opened again")));
        m_databaseAway.clear();
        // Its ledger is brought up to date as at the first cycle.
        m_ledgerDatabase.clear();
        return true;
    }
    return false;
}

void ScanCycle::noteJobDatabaseAway(const CycleReport& report)
{
    if (!m_databaseAway.isEmpty() || !directoriesConfigured(m_ctx))
        return;
    const auto notOpened = std::find_if(report.files.begin(), report.files.end(), [](const ImportOutcome& o) {
        return o.result == ImportResult::NotStarted && o.infrastructureFault();
    });
    if (notOpened == report.files.end())
        return;
    // Lasting only when the database still fails to open the same way (not
    // a lock that passed, nor a fault of another step).
    PendingError err;
    if (jobDatabaseOpens(m_ctx, err) || err.number != notOpened->errorNumber)
        return;
    m_databaseAway = jobDatabaseName(m_ctx);
    m_databaseMissing = jobDatabaseFileMissing(m_ctx);
}

// A note of the scan cycle about the plant as a whole: the time, the
// title and the wrapped text replace the error box's text.
void ScanCycle::sayInErrorBox(const QString& text)
{
    writeTotxtError(m_ctx, timeStamp(m_ctx.clock) + kCrLf + kTitleScanDir + kCrLf + WrapText(text, kErrorWrapWidth));
}

bool ScanCycle::plantIsOurs()
{
    if (!m_plantLock)
        return true;
    if (m_ctx.jobDatabaseServer) {
        QString text;
        switch (m_plantLock->claim(*m_ctx.jobDatabaseServer, &text)) {
        case PlantLock::Claim::Ours:
            return true;
        case PlantLock::Claim::Unreachable:
            return true; // nothing is written without the lock; the job database's checks say it once
        case PlantLock::Claim::HeldElsewhere:
            break;
        }
        sayInErrorBox(QStringLiteral("Another server (%1) works on the job database %2; this server ends.")
                          .arg(text, jobDatabaseName(m_ctx)));
        Q_EMIT plantLost();
        return false;
    }
    const QString& clientDir = m_ctx.settings.clientDir;
    QString holder;
    if (m_plantLock->lock(clientDir, &holder)) {
        m_refusedPlant.clear();
        return true;
    }
    if (m_refusedPlant != clientDir) {
        sayInErrorBox(QStringLiteral("Another server (%1) works on the job database in %2; "
                                     "no job is read here until it ends.")
                          .arg(holder, clientDir));
        m_refusedPlant = clientDir;
    }
    return false;
}

// Every file read is moved into prog.bak afterwards; when that cannot be
// done the file would stay and be imported again at every cycle. So nothing
// is read until the folder exists (or can be made) and can be written.
bool ScanCycle::backupFolderUsable()
{
    if (m_ctx.programDir.isEmpty())
        return true;
    const QString bak = fileops::joinPath(m_ctx.programDir, QStringLiteral("prog.bak"));
    if (!QFileInfo(bak).isDir())
        QDir().mkpath(fileops::nativePath(bak));
    const QFileInfo info(fileops::nativePath(bak));
    if (info.isDir() && info.isWritable()) {
        m_unusableBackup.clear();
        return true;
    }
    if (m_unusableBackup != bak) {
        sayInErrorBox(QStringLiteral("The backup folder %1 cannot be made or written; no job "
                                     "file is read until it can (the files wait in the "
                                     "server directory).")
                          .arg(bak));
        m_unusableBackup = bak;
    }
    return false;
}

void ScanCycle::noteDatabaseDamaged(bool damaged)
{
    m_databaseDamaged = damaged;
    if (m_plantLock)
        m_plantLock->setDatabaseSound(!damaged);
}

// A damaged job database is found by a check of the whole file when the
// server takes a plant that the server before did not let go in order (a
// crash, a kill, a power cut, or no server before), and whenever an import
// met the damage; until the check passes again (the file repaired or
// replaced) no file is taken, so none is set aside. After a clean stop the
// file is as that server left it, and the check, which reads every page of
// every stored job, is spared.
bool ScanCycle::jobDatabaseUsable()
{
    // A database server keeps its own files sound: there is no file here to check.
    if (m_ctx.jobDatabaseServer)
        return true;
    const QString& clientDir = m_ctx.settings.clientDir;
    if (m_lookedAtPlant == clientDir && !m_databaseDamaged)
        return true;
    const QString path = jobDatabaseFile(m_ctx);
    if (clientDir.isEmpty() || !QFileInfo::exists(path))
        return true; // a missing database is the import's to report (once: jobDatabaseThere)
    const bool firstLook = m_lookedAtPlant != clientDir;
    m_lookedAtPlant = clientDir;
    if (firstLook && !m_databaseDamaged && m_plantLock && m_plantLock->previousStopWasClean())
        return true;
    PendingError err;
    const bool sound = db::checkDatabase(fileops::nativePath(path), err);
    if (sound || err.number != ErrorNumber::DamagedDatabase) {
        noteDatabaseDamaged(false);
        return true;
    }
    if (!m_databaseDamaged)
        sayInErrorBox(QStringLiteral("The job database %1 is damaged (%2). No job file is "
                                     "taken until it is repaired or replaced; the files "
                                     "wait in the server directory.")
                          .arg(path, err.description));
    noteDatabaseDamaged(true);
    return false;
}
