#pragma once

#include "intake/ImportOutcome.h"

#include <QObject>
#include <QSet>
#include <QString>

#include <functional>

struct ServerContext;
struct PendingError;
class JobImporter;
class PlantLock;

// Lists the server directory for "*.<extension>" (case-insensitive) and
// returns the name of the first file that is not read-only, or an empty
// string. A directory that does not exist raises "Path not found", one that
// cannot be listed "Permission denied" into err (when given). A file that
// settled (when given) refuses is passed over like a read-only one. Only
// regular files are job files: anything else with a matching name (a link,
// whatever it leads to, a directory, a device, a pipe) is passed over and
// named in notRegular (when given). The listing runs in name order, starting
// after resumeAfter and wrapping around to the names before it.
QString FirstWritableFile(const QString& serverDir, const QString& extension, PendingError* err = nullptr,
                          const std::function<bool(const QString&)>& settled = {}, const QString& resumeAfter = {},
                          QStringList* notRegular = nullptr);

// What the scans carry from one cycle to the next. Each kind's listing
// resumes after the file its last cycle took, so a file that stays in the
// server directory after a failure (to be read again) cannot keep the files
// behind it waiting for ever; and a special file is named only once.
struct ScanQueue {
    QString resumeAfter[3]; // by FileKind
    QSet<QString> stayed;   // files that stayed in the server directory after their cycle
    QSet<QString> reportedNotRegular;
};

// The scans of one cycle; each appends the files it read, with their
// outcomes, to the report (when given).
void ScanProductionData(ServerContext& ctx, JobImporter& importer, CycleReport* report = nullptr,
                        ScanQueue* queue = nullptr);
void ScanLabelData(ServerContext& ctx, JobImporter& importer, CycleReport* report = nullptr,
                   ScanQueue* queue = nullptr);
void ScanSteelData(ServerContext& ctx, JobImporter& importer, CycleReport* report = nullptr,
                   ScanQueue* queue = nullptr);
void ScanJob(ServerContext& ctx, JobImporter& importer, CycleReport* report = nullptr, ScanQueue* queue = nullptr);

// The scan timer's event: stop tmrLoad, run the scans of the mode, re-arm.
class ScanCycle : public QObject {
    Q_OBJECT
public:
    ScanCycle(ServerContext& ctx, JobImporter& importer);
    // One cycle, as the timer runs it.
    void runOnce();
    int cyclesRun() const { return m_cycles; }
    // The lock of the plant this server works on; a cycle first makes sure
    // it holds the lock of the configured client directory (the settings
    // may have changed) and reads nothing while another server holds it.
    void setPlantLock(PlantLock* lock) { m_plantLock = lock; }
    // True while a cycle runs (an operator question may run the event loop
    // inside a cycle).
    bool running() const { return m_running; }

Q_SIGNALS:
    // At the start of every cycle, before anything is looked at.
    void cycleStarted();
    // At the end of every cycle, after the timer was re-armed: the files
    // read and how each ended.
    void cycleFinished(const CycleReport& report);
    // The schema of the job database on a server is held by another server
    // (this one's lock went with a lost connection and was taken meanwhile):
    // this server is to end.
    void plantLost();

private:
    ServerContext& m_ctx;
    JobImporter& m_importer;
    bool plantIsOurs();
    void sayInErrorBox(const QString& text);

    bool serverDirectoryUsable();
    bool backupFolderUsable();
    void settleTakenFiles();
    void prepareLedger();
    bool jobDatabaseUsable();
    void noteDatabaseDamaged(bool damaged);
    bool serverDirectoryThere();
    bool jobDatabaseThere();
    void noteJobDatabaseAway(const CycleReport& report);

    ScanQueue m_queue;
    PlantLock* m_plantLock = nullptr;
    QString m_unusableBackup;   // reported once
    QString m_refusedServerDir; // reported once
    QString m_ledgerDatabase;   // the client directory whose ledger was prepared
    int m_stayedForFault = 0;   // the fault of the machine the last cycle left files for
    QString m_lookedAtPlant;    // client directory whose job database was checked, or trusted after a clean stop
    bool m_databaseDamaged = false;
    // Lasting conditions, said once when they start and once when they end:
    // the server directory that cannot be listed and why, the job database
    // that is missing or cannot be opened.
    QString m_serverDirAway, m_serverDirFault;
    QString m_databaseAway;
    bool m_databaseMissing = false;
    QString m_refusedPlant; // reported once
    int m_cycles = 0;
    bool m_running = false;
};
