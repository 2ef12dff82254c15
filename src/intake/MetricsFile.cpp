#include "intake/MetricsFile.h"

#include "config/ServerContext.h"
#include "platform/FileOps.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace {

const char* const kKindLabels[] = {"production", "label", "steel"};

QString number(double v)
{
    return QString::number(v, 'f', 3);
}

void header(QString& out, const char* name, const char* type, const char* help)
{
    out += QStringLiteral("# HELP %1 %2\n# TYPE %1 %3\n")
               .arg(QLatin1String(name), QLatin1String(help), QLatin1String(type));
}

void perKind(QString& out, const char* name, const std::array<qint64, 3>& values)
{
    for (int k = 0; k < 3; ++k)
        out += QStringLiteral("%1{kind=\"%2\"} %3\n")
                   .arg(QLatin1String(name), QLatin1String(kKindLabels[k]))
                   .arg(values[k]);
}

QString escapeLabel(QString v)
{
    return v.replace(u'\\', QStringLiteral("\\\\"))
        .replace(u'"', QStringLiteral("\\\""))
        .replace(u'\n', QStringLiteral("\\n"));
}

} // namespace

void MetricsState::add(const CycleReport& report)
{
    ++cycles;
    lastCycleSeconds = report.durationMs / 1000.0;
    lastCycleEndSeconds = (report.startedMs + report.durationMs) / 1000.0;
    if (!report.files.empty())
        lastImportSeconds = lastCycleSeconds;
    for (const ImportOutcome& f : report.files) {
        const auto k = static_cast<size_t>(f.kind);
        ++(f.failed() ? filesFailed[k] : filesImported[k]);
        RowsWritten& family = rows[f.kind == FileKind::Steel ? 1 : 0];
        family.jobs += f.rows.jobs;
        family.bars += f.rows.bars;
        family.pieces += f.rows.pieces;
        family.machining += f.rows.machining;
        printRows += f.rows.printRows;
    }
}

QString renderMetrics(const MetricsState& s)
{
    QString out;
    header(out, "serverquirnel_build_info", "gauge", "Version of the running server.");
    out += QStringLiteral("serverquirnel_build_info{version=\"%1\"} 1\n").arg(escapeLabel(s.version));
    header(out, "serverquirnel_files_imported_total", "counter", "Job files read to their end and backed up.");
    perKind(out, "serverquirnel_files_imported_total", s.filesImported);
    header(out, "serverquirnel_files_failed_total", "counter",
           "Job files that failed (error copy, retry, given up, database not opened).");
    perKind(out, "serverquirnel_files_failed_total", s.filesFailed);

    header(out, "serverquirnel_rows_written_total", "counter", "Rows added or overwritten in the job database.");
    static const char* const kTables[2][4] = {
        {"LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten"},
        {"StahlLosNamen", "StahlStabdaten", "StahlTeiledaten", "StahlWerkzeugdaten"}};
    static const char* const kFamilies[2] = {"production", "steel"};
    for (int f = 0; f < 2; ++f) {
        const RowsWritten& r = s.rows[f];
        const int counts[4] = {r.jobs, r.bars, r.pieces, r.machining};
        for (int t = 0; t < 4; ++t)
            out += QStringLiteral("serverquirnel_rows_written_total{family=\"%1\",table=\"%2\"} %3\n")
                       .arg(QLatin1String(kFamilies[f]), QLatin1String(kTables[f][t]))
                       .arg(counts[t]);
    }
    out +=
        QStringLiteral("serverquirnel_rows_written_total{family=\"print\",table=\"Druckdaten\"} %1\n").arg(s.printRows);

    header(out, "serverquirnel_files_waiting", "gauge", "Job files in the server directory after the last cycle.");
    perKind(out, "serverquirnel_files_waiting", s.waiting);
    header(out, "serverquirnel_scan_cycles_total", "counter", "Scan cycles run.");
    out += QStringLiteral("serverquirnel_scan_cycles_total %1\n").arg(s.cycles);
    header(out, "serverquirnel_last_cycle_duration_seconds", "gauge", "Duration of the last scan cycle.");
    out += QStringLiteral("serverquirnel_last_cycle_duration_seconds %1\n").arg(number(s.lastCycleSeconds));
    header(out, "serverquirnel_last_import_duration_seconds", "gauge", "Duration of the last cycle that read a file.");
    out += QStringLiteral("serverquirnel_last_import_duration_seconds %1\n").arg(number(s.lastImportSeconds));
    header(out, "serverquirnel_last_cycle_timestamp_seconds", "gauge", "End of the last scan cycle (Unix time).");
    out += QStringLiteral("serverquirnel_last_cycle_timestamp_seconds %1\n").arg(number(s.lastCycleEndSeconds));
    return out;
}

MetricsFile::MetricsFile(ServerContext& ctx, QString path, QString version) : m_ctx(ctx), m_path(std::move(path))
{
    m_state.version = std::move(version);
}

bool MetricsFile::start()
{
    if (m_path.isEmpty())
        return false;
    QString error;
    m_enabled = write(&error);
    if (!m_enabled)
        writeTotxtError(m_ctx, QStringLiteral("Metrics file %1 cannot be written (%2); the server runs without "
                                              "metrics. Check the directory and its rights, then restart.")
                                   .arg(m_path, error));
    return m_enabled;
}

void MetricsFile::cycleFinished(const CycleReport& report)
{
    m_state.add(report);
    if (!m_enabled)
        return;
    countWaitingFiles();
    QString error;
    if (write(&error)) {
        m_failureReported = false;
    } else if (!m_failureReported) {
        // Once per cause: the next success re-arms the report.
        m_failureReported = true;
        writeTotxtError(m_ctx, QStringLiteral("Metrics file %1 cannot be written (%2)").arg(m_path, error));
    }
}

bool MetricsFile::write(QString* error)
{
    // The file is replaced by renaming a new one over it: over a device,
    // pipe, socket or directory that would destroy what stands there, and a
    // link would be followed to wherever it leads.
    if (!fileops::isRegularFileOrNothing(m_path)) {
        *error = QStringLiteral("not a regular file; a link, device, pipe, socket or directory is never replaced");
        return false;
    }
    QSaveFile file(m_path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    file.write(renderMetrics(m_state).toUtf8());
    // Readable by the collector, which runs as its own user.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

void MetricsFile::countWaitingFiles()
{
    const Settings& s = m_ctx.settings;
    const QString extensions[3] = {s.Extension.isEmpty() ? QStringLiteral("$tx") : s.Extension, s.ExtensionEtikett,
                                   s.ExtensionStahl};
    QDir dir(fileops::nativePath(s.serverDir));
    for (int k = 0; k < 3; ++k) {
        m_state.waiting[k] = 0;
        if (s.serverDir.isEmpty() || extensions[k].isEmpty() || !dir.exists())
            continue;
        m_state.waiting[k] =
            dir.entryList({QStringLiteral("*.") + extensions[k]}, QDir::Files | QDir::NoSymLinks).size();
    }
}
