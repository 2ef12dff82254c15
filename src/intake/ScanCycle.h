#pragma once

#include "intake/ImportOutcome.h"

#include <QObject>
#include <QString>

#include <functional>

struct ServerContext;
struct JobState;
struct PendingError;
class JobImporter;

// Lists the server directory for "*.<extension>" (case-insensitive) and
// returns the name of the first file that is not read-only, or an empty
// string. A directory that does not exist raises "Path not found", one that
// cannot be listed "Permission denied" into err (when given). A file that
// settled (when given) refuses is passed over like a read-only one.
QString FirstWritableFile(const QString& serverDir, const QString& extension, PendingError* err = nullptr,
                          const std::function<bool(const QString&)>& settled = {});

void ScanProductionData(ServerContext& ctx, JobImporter& importer);
void ScanLabelData(ServerContext& ctx, JobImporter& importer);
void ScanSteelData(ServerContext& ctx, JobImporter& importer);
void ScanJob(ServerContext& ctx, JobState& job, JobImporter& importer);

// The scan timer's event: stop tmrLoad, run the scans of the mode, re-arm.
class ScanCycle : public QObject {
    Q_OBJECT
public:
    ScanCycle(ServerContext& ctx, JobState& job, JobImporter& importer);
    // One cycle, as the timer runs it.
    void runOnce();
    int cyclesRun() const { return m_cycles; }
    // True while a cycle runs (an operator question may run the event loop
    // inside a cycle).
    bool running() const { return m_running; }

Q_SIGNALS:
    // At the end of every cycle, after the timer was re-armed.
    void cycleFinished(const CycleReport& report);

private:
    ServerContext& m_ctx;
    JobState& m_job;
    JobImporter& m_importer;
    int m_cycles = 0;
    bool m_running = false;
};
