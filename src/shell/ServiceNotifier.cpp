#include "shell/ServiceNotifier.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <vector>

#ifdef VOV_HAVE_SYSTEMD
#include <systemd/sd-daemon.h>
#endif

namespace {

QString kindWord(FileKind kind)
{
    switch (kind) {
    case FileKind::Production:
        return QStringLiteral("production data");
    case FileKind::Label:
        return QStringLiteral("label data");
    case FileKind::Steel:
        return QStringLiteral("steel data");
    }
    return {};
}

QString resultWords(ImportResult result)
{
    switch (result) {
    case ImportResult::Loaded:
        return QStringLiteral("loaded");
    case ImportResult::Failed:
        return QStringLiteral("failed");
    case ImportResult::ReadAgain:
        return QStringLiteral("read again next cycle");
    case ImportResult::SetAside:
        return QStringLiteral("set aside as error copy");
    case ImportResult::GivenUp:
        return QStringLiteral("given up at the job-exists question");
    case ImportResult::NotStarted:
        return QStringLiteral("job database could not be opened");
    }
    return {};
}

QString countsText(const RowsWritten& r)
{
    return QStringLiteral("%1 bars, %2 pieces, %3 machining").arg(r.bars).arg(r.pieces).arg(r.machining);
}

// Rows of one job: production data (bars, pieces, machining) with the print
// rows its label data wrote, and apart from them, when the job had a steel
// file, the rows of the steel tables.
struct JobRows {
    RowsWritten production;
    RowsWritten steel;
    bool hadSteel = false;

    void add(const ImportOutcome& f)
    {
        RowsWritten& into = f.kind == FileKind::Steel ? steel : production;
        hadSteel = hadSteel || f.kind == FileKind::Steel;
        into.bars += f.rows.bars;
        into.pieces += f.rows.pieces;
        into.machining += f.rows.machining;
        production.printRows += f.rows.printRows;
    }
    [[nodiscard]] QString text() const
    {
        QString t = countsText(production) + QStringLiteral(", %1 print rows").arg(production.printRows);
        if (hadSteel)
            t += QStringLiteral("; steel: ") + countsText(steel);
        return t;
    }
};

} // namespace

QString cycleStatusText(const CycleReport& report)
{
    const QString at =
        QDateTime::fromMSecsSinceEpoch(report.startedMs + report.durationMs).toString(QStringLiteral("HH:mm:ss"));
    if (report.files.empty())
        return QStringLiteral("Idle; last scan at %1").arg(at);

    // The files of one job (job mode reads up to three) make one sentence.
    std::vector<QString> jobs;
    for (const ImportOutcome& f : report.files) {
        if (std::find(jobs.begin(), jobs.end(), f.jobName) == jobs.end())
            jobs.push_back(f.jobName);
    }
    QStringList parts;
    for (const QString& job : jobs) {
        JobRows rows;
        QStringList failures;
        for (const ImportOutcome& f : report.files) {
            if (f.jobName != job)
                continue;
            if (f.failed())
                failures << QStringLiteral("%1 %2").arg(kindWord(f.kind), resultWords(f.result));
            rows.add(f);
        }
        if (failures.isEmpty())
            parts << QStringLiteral("Imported job %1 (%2)").arg(job, rows.text());
        else
            parts << QStringLiteral("Job %1 failed: %2").arg(job, failures.join(QStringLiteral(", ")));
    }
    return parts.join(QStringLiteral("; ")) + QStringLiteral(" at %1").arg(at);
}

ServiceNotifier::ServiceNotifier(Sink sink) : m_sink(std::move(sink)) {}

bool ServiceNotifier::builtWithSystemd()
{
#ifdef VOV_HAVE_SYSTEMD
    return true;
#else
    return false;
#endif
}

void ServiceNotifier::ready(const QString& status)
{
    send("READY=1\nSTATUS=" + status.toUtf8());
}

void ServiceNotifier::reloading()
{
    send("RELOADING=1\nSTATUS=Reading the configuration file again");
}

void ServiceNotifier::cycleFinished(const CycleReport& report)
{
    send("STATUS=" + cycleStatusText(report).toUtf8() + "\nWATCHDOG=1");
}

void ServiceNotifier::stopping()
{
    send("STOPPING=1\nSTATUS=Stopping");
}

void ServiceNotifier::keepWatchdogFedWhile(std::function<bool()> scanningOff)
{
#ifdef VOV_HAVE_SYSTEMD
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return;
    // Twice per watchdog period, as systemd advises.
    m_keepAlive.setInterval(static_cast<int>(std::max<uint64_t>(usec / 2000, 100)));
    connect(&m_keepAlive, &QTimer::timeout, this, [this, scanningOff = std::move(scanningOff)]() {
        if (scanningOff())
            send("WATCHDOG=1");
    });
    m_keepAlive.start();
#else
    (void)scanningOff;
#endif
}

void ServiceNotifier::send(const QByteArray& message)
{
    if (m_sink) {
        m_sink(message);
        return;
    }
#ifdef VOV_HAVE_SYSTEMD
    sd_notify(0, message.constData());
#endif
}
