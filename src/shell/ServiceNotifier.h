#pragma once

#include "intake/ImportOutcome.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

// Tells the service manager (systemd's notify protocol) how the server is
// doing: ready, reloading, the outcome of every scan cycle with a watchdog
// ping, stopping. Without NOTIFY_SOCKET in the environment, or in a build
// without libsystemd, every message goes nowhere.
class ServiceNotifier : public QObject {
public:
    using Sink = std::function<void(const QByteArray& message)>;

    // sink: where messages go; empty: sd_notify.
    explicit ServiceNotifier(Sink sink = {});

    // Whether this build talks to the service manager at all.
    static bool builtWithSystemd();

    // Ready, with the status line to show until the next cycle.
    void ready(const QString& status);
    void reloading();
    void cycleFinished(const CycleReport& report);
    void stopping();

    // With the watchdog on and no scan cycles to ping it (scan interval 0),
    // the event loop feeds it while scanningOff() holds.
    void keepWatchdogFedWhile(std::function<bool()> scanningOff);

private:
    void send(const QByteArray& message);

    Sink m_sink;
    QTimer m_keepAlive;
};

// The one-line status after a cycle: "Idle; last scan at hh:mm:ss", or per
// job of the cycle "Job B7 failed: ..." or "Imported job A1 (2 bars,
// 8 pieces, 5 machining, 8 print rows; steel: 1 bars, 3 pieces, 0 machining)":
// the rows the production-data file wrote, the print rows of the label-data
// file, and those of the steel-data file apart (only when the job had one).
QString cycleStatusText(const CycleReport& report);
