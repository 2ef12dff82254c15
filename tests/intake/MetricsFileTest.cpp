#include "intake/MetricsFile.h"

#include "TestPlant.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <map>

namespace {

// Reads a Prometheus text file back: "name{labels}" -> value; comment lines
// must be HELP or TYPE, every sample line must parse.
std::map<std::string, double> parseMetrics(const QByteArray& text)
{
    static const QRegularExpression sample(QStringLiteral(R"(^([a-z_]+(\{[^}]*\})?) (-?[0-9.eE+]+)$)"));
    std::map<std::string, double> values;
    for (const QByteArray& raw : text.split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.isEmpty())
            continue;
        if (line.startsWith(u'#')) {
            EXPECT_TRUE(line.startsWith(QStringLiteral("# HELP ")) || line.startsWith(QStringLiteral("# TYPE ")))
                << line.toStdString();
            continue;
        }
        const auto m = sample.match(line);
        EXPECT_TRUE(m.hasMatch()) << line.toStdString();
        if (m.hasMatch())
            values[m.captured(1).toStdString()] = m.captured(3).toDouble();
    }
    return values;
}

ImportOutcome outcome(FileKind kind, const char* job, ImportResult result, RowsWritten rows = {})
{
    ImportOutcome o;
    o.kind = kind;
    o.jobName = QString::fromLatin1(job);
    o.path = o.jobName + QStringLiteral(".$tx");
    o.result = result;
    o.fileRead = true;
    o.rows = rows;
    return o;
}

class MetricsFileTest : public ::testing::Test {
protected:
    MetricsFileTest()
    {
        plant.ctx.settings.Extension = QStringLiteral("$tx");
        plant.ctx.settings.ExtensionEtikett = QStringLiteral("$et");
    }
    QString path() const { return plant.root() + QStringLiteral("/metrics/serverquirnel.prom"); }

    TestPlant plant;
};

TEST_F(MetricsFileTest, CountsGoodAndFailedJobsAndIsReadBack)
{
    QDir().mkpath(plant.root() + QStringLiteral("/metrics"));
    plant.writeJobFile(QStringLiteral("w1.$tx"), "x");
    plant.writeJobFile(QStringLiteral("w2.$TX"), "x");
    plant.writeJobFile(QStringLiteral("w2.$et"), "x");

    MetricsFile metrics(plant.ctx, path(), QStringLiteral("1.2.3"));
    ASSERT_TRUE(metrics.start());
    auto v = parseMetrics(readFileBytes(path()));
    EXPECT_EQ(v["serverquirnel_build_info{version=\"1.2.3\"}"], 1);
    EXPECT_EQ(v["serverquirnel_scan_cycles_total"], 0);

    CycleReport good;
    good.startedMs = 1'765'000'000'000;
    good.durationMs = 1250;
    good.files = {outcome(FileKind::Production, "A1", ImportResult::Loaded, {1, 2, 10, 4, 3}),
                  outcome(FileKind::Label, "A1", ImportResult::Loaded, {0, 0, 0, 0, 10}),
                  outcome(FileKind::Steel, "A1", ImportResult::Loaded, {1, 1, 2, 0, 0})};
    metrics.cycleFinished(good);
    CycleReport failed;
    failed.startedMs = good.startedMs + 5000;
    failed.durationMs = 250;
    failed.files = {outcome(FileKind::Production, "B7", ImportResult::SetAside),
                    outcome(FileKind::Label, "C1", ImportResult::GivenUp)};
    metrics.cycleFinished(failed);
    CycleReport idle;
    idle.startedMs = failed.startedMs + 5000;
    idle.durationMs = 3;
    metrics.cycleFinished(idle);

    v = parseMetrics(readFileBytes(path()));
    // One sample per rule: a failed or given-up file counts as failed of its
    // kind; print rows are summed over the job's files; waiting files are
    // matched without case; the last import's duration is that of the last
    // cycle that had files.
    const std::map<std::string, double> expected{
        {"serverquirnel_files_imported_total{kind=\"steel\"}", 1},
        {"serverquirnel_files_failed_total{kind=\"production\"}", 1},
        {"serverquirnel_files_failed_total{kind=\"label\"}", 1},
        {"serverquirnel_rows_written_total{family=\"production\",table=\"Teiledaten\"}", 10},
        {"serverquirnel_rows_written_total{family=\"steel\",table=\"StahlTeiledaten\"}", 2},
        {"serverquirnel_rows_written_total{family=\"print\",table=\"Druckdaten\"}", 13},
        {"serverquirnel_files_waiting{kind=\"production\"}", 2},
        {"serverquirnel_scan_cycles_total", 3},
        {"serverquirnel_last_import_duration_seconds", 0.25},
        {"serverquirnel_last_cycle_timestamp_seconds", (idle.startedMs + 3) / 1000.0},
    };
    for (const auto& [name, value] : expected)
        EXPECT_DOUBLE_EQ(v[name], value) << name;
    EXPECT_FALSE(QFile::exists(path() + QStringLiteral(".tmp")));
    EXPECT_TRUE(QFile::permissions(path()) & QFileDevice::ReadOther);

    const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
    if (!promtool.isEmpty()) {
        QProcess p;
        p.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
        p.write(readFileBytes(path()));
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardOutput().toStdString() << p.readAllStandardError().toStdString();
    }
}

TEST_F(MetricsFileTest, UnwritablePathIsReportedOnceAndTheServerRunsOn)
{
    MetricsFile metrics(plant.ctx, plant.root() + QStringLiteral("/missing/dir/m.prom"), QStringLiteral("1.0.0"));
    EXPECT_FALSE(metrics.start());
    EXPECT_EQ(plant.errorBox.changes, 1);
    EXPECT_TRUE(plant.errorBox.text().contains(QStringLiteral("/missing/dir/m.prom")))
        << plant.errorBox.text().toStdString();
    CycleReport report;
    report.files = {outcome(FileKind::Production, "A1", ImportResult::Loaded)};
    metrics.cycleFinished(report);
    metrics.cycleFinished(report);
    EXPECT_EQ(plant.errorBox.changes, 1);
    EXPECT_EQ(metrics.state().filesImported[0], 2);
}

} // namespace
