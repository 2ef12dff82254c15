#pragma once

#include "intake/MetricsFile.h"
#include "intake/SettleGuard.h"
#include "shell/ServiceNotifier.h"

#include <QObject>

#include <memory>

struct ServerContext;
struct LaunchOptions;
class ScanCycle;

// What running unattended as a plant service adds around the scan cycle:
// the settle guard for the listing, the service manager's notifications,
// the metrics file, and reloading the configuration on request. Created
// after ": Start Server" and before the first cycle; destroying it tells
// the service manager that the server stops.
class PlantService : public QObject {
public:
    PlantService(ServerContext& ctx, ScanCycle& cycle, const LaunchOptions& options);
    ~PlantService() override;

    // Ready: after the start line, with the signal handlers in place.
    void started();

    // The configuration file is read again and applied when it reads cleanly
    // and names a server directory and a scan interval; otherwise the running
    // settings stay and the error box says why. Asked for during a cycle (an
    // operator question keeps the event loop going), it waits for the cycle's
    // end, so a cycle never sees its settings change under it.
    void reloadConfiguration();

    // SIGTERM / SIGINT: the server ends (exit code 0) between two cycles.
    // A cycle in progress ends first, and an open message box is answered
    // first: ending the event loop under it would take the answer away from
    // the import that asked.
    void stop(int exitCode = 0);

private:
    void reloadNow();
    void stopWhenIdle();
    bool jobSettled(SettleGuard& guard, const QString& path) const;

    ServerContext& m_ctx;
    ScanCycle& m_cycle;
    ServiceNotifier m_notifier;
    std::unique_ptr<MetricsFile> m_metrics;
    bool m_reloadPending = false;
    bool m_stopPending = false;
    int m_exitCode = 0;
};
