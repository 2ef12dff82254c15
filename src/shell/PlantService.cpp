#include "shell/PlantService.h"

#include "Version.h"
#include "config/Configuration.h"
#include "config/ServerContext.h"
#include "config/SettingsCheck.h"
#include "intake/ScanCycle.h"
#include "platform/FileOps.h"
#include "shell/CommandLine.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QThread>
#include <QTimer>

#include <algorithm>

PlantService::PlantService(ServerContext& ctx, ScanCycle& cycle, const LaunchOptions& options)
    : m_ctx(ctx), m_cycle(cycle)
{
    if (options.settleMs > 0) {
        // A single cycle has no later cycle to look again: it waits instead.
        auto guard = std::make_shared<SettleGuard>(options.settleMs, options.once);
        m_ctx.fileSettled = [this, guard](const QString& path) { return jobSettled(*guard, path); };
    }
    if (!options.metricsFile.isEmpty())
        m_metrics = std::make_unique<MetricsFile>(ctx, options.metricsFile, QStringLiteral(VOV_VERSION));

    connect(&cycle, &ScanCycle::cycleFinished, this, [this](const CycleReport& report) {
        m_notifier.cycleFinished(report);
        if (m_metrics)
            m_metrics->cycleFinished(report);
        if (m_reloadPending) {
            m_reloadPending = false;
            reloadNow();
        }
        if (m_stopPending)
            stopWhenIdle();
    });
    m_notifier.keepWatchdogFedWhile([this]() { return m_ctx.settings.scanInterval <= 0; });
}

bool PlantService::jobSettled(SettleGuard& guard, const QString& path) const
{
    bool settled = guard(path);
    // In job mode the label-data and steel-data files are read by name right
    // after the production-data file: the job waits until they have settled
    // too. All are looked at, so that their settle times run together.
    const Settings& s = m_ctx.settings;
    if (s.separateMode())
        return settled;
    const QString dir = QFileInfo(path).path();
    for (const QString& extension : {s.ExtensionEtikett, s.ExtensionStahl}) {
        if (extension.isEmpty())
            continue;
        const QString other = fileops::joinPath(dir, fileops::baseName(path) + u'.' + extension);
        if (QFileInfo::exists(other) && !guard(other))
            settled = false;
    }
    return settled;
}

PlantService::~PlantService()
{
    m_ctx.fileSettled = nullptr;
    m_notifier.stopping();
}

void PlantService::started()
{
    reportSettingsProblems(m_ctx);
    if (m_metrics)
        m_metrics->start();
    m_notifier.ready(QStringLiteral("Started; waiting for the first scan"));
}

void PlantService::reloadConfiguration()
{
    if (m_cycle.running()) {
        m_reloadPending = true;
        return;
    }
    reloadNow();
}

// A running plant keeps running: a file that cannot be read as a whole, or
// that would leave the server without a server directory or a scan
// interval, is not applied, and it is left as the operator wrote it.
void PlantService::reloadNow()
{
    m_notifier.reloading();
    const QString note = timeStamp(m_ctx.clock) + QStringLiteral(": Reload Configuration ") + m_ctx.ConfigFilePath;
    const ConfigurationCandidate candidate = readConfigurationCandidate(m_ctx);
    if (!candidate.refusal.isEmpty()) {
        writeTotxtError(m_ctx, note + QStringLiteral("\r\nNot applied (%1); the server runs on with its settings "
                                                     "as they were. Correct the file and reload again.")
                                          .arg(candidate.refusal));
        m_notifier.ready(QStringLiteral("Configuration in %1 not applied (%2); running settings kept")
                             .arg(m_ctx.ConfigFilePath, candidate.refusal));
        return;
    }
    writeTotxtError(m_ctx, note);
    applyConfigurationCandidate(m_ctx, candidate);
    reportSettingsProblems(m_ctx);
    m_notifier.ready(QStringLiteral("Configuration read again from ") + m_ctx.ConfigFilePath);
}

void PlantService::stop(int exitCode)
{
    m_stopPending = true;
    m_exitCode = std::max(m_exitCode, exitCode); // a later SIGTERM does not hide why the server ends
    stopWhenIdle();
}

void PlantService::stopWhenIdle()
{
    // A running cycle re-arms the timer when it ends; no new one starts.
    m_ctx.tmrLoad.stop();
    if (m_cycle.running())
        return; // the cycle's end comes back here
    // An open message box runs a nested event loop; look again shortly.
    if (QThread::currentThread()->loopLevel() > 1) {
        constexpr int kLookAgainMs = 100;
        QTimer::singleShot(kLookAgainMs, this, &PlantService::stopWhenIdle);
        return;
    }
    QCoreApplication::exit(m_exitCode);
}
