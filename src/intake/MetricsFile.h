#pragma once

#include "intake/ImportOutcome.h"

#include <QString>

#include <array>

struct ServerContext;

// What the metrics file shows, gathered over the life of the server.
struct MetricsState {
    // Indexed by FileKind.
    std::array<qint64, 3> filesImported{};
    std::array<qint64, 3> filesFailed{};
    // Rows written: jobs, bars, pieces, machining per family (plain tables
    // for production data, "Stahl" tables for steel data), print rows.
    std::array<RowsWritten, 2> rows{}; // [0] production, [1] steel
    qint64 printRows = 0;
    qint64 cycles = 0;
    double lastCycleSeconds = 0;
    double lastCycleEndSeconds = 0;  // epoch seconds; 0: no cycle yet
    double lastImportSeconds = 0;    // duration of the last cycle that read a file
    std::array<qint64, 3> waiting{}; // files in the server directory, per kind
    QString version;

    void add(const CycleReport& report);
};

// Prometheus text exposition format.
QString renderMetrics(const MetricsState& state);

// Writes the metrics after every cycle into one file, replaced as a whole
// (written beside it under a temporary name, then renamed), so node_exporter's
// textfile collector never reads half a file.
class MetricsFile {
public:
    MetricsFile(ServerContext& ctx, QString path, QString version);

    // First write at start; a path that cannot be written, or where anything
    // but a regular file stands (a link is not followed), is reported once in
    // the error box and the server runs on without metrics.
    bool start();
    void cycleFinished(const CycleReport& report);

    [[nodiscard]] const MetricsState& state() const { return m_state; }
    [[nodiscard]] bool enabled() const { return m_enabled; }

private:
    bool write(QString* error);
    void countWaitingFiles();

    ServerContext& m_ctx;
    QString m_path;
    MetricsState m_state;
    bool m_enabled = false;
    bool m_failureReported = false;
};
