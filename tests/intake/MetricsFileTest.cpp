#include "intake/MetricsFile.h"

#include "TestPlant.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <functional>
#include <iostream>
#include <map>
#include <tuple>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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

// The file is replaced by a rename: where anything but a regular file stands
// (a link is not followed) nothing is written, the path is named once, and
// what stands there is left exactly as it was.
TEST_F(MetricsFileTest, WritesOnlyWhereARegularFileOrNothingStands)
{
    const QString target = plant.root() + QStringLiteral("/elsewhere.prom");
    {
        QFile f(target);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("kept\n");
    }
    const auto node = [](const QString& p) {
        struct stat st {};
        EXPECT_EQ(::lstat(QFile::encodeName(p).constData(), &st), 0) << p.toStdString();
        return std::tuple(st.st_mode, st.st_ino, st.st_rdev, st.st_size);
    };
    const struct {
        const char* name;
        std::function<bool(const QByteArray&)> make;
    } cases[] = {
        {"fifo", [](const QByteArray& p) { return ::mkfifo(p.constData(), 0644) == 0; }},
        {"link",
         [&](const QByteArray& p) { return ::symlink(QFile::encodeName(target).constData(), p.constData()) == 0; }},
        {"directory", [](const QByteArray& p) { return ::mkdir(p.constData(), 0755) == 0; }},
        {"device", [](const QByteArray& p) { return ::mknod(p.constData(), S_IFCHR | 0666, makedev(1, 3)) == 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = plant.root() + u'/' + QLatin1String(c.name);
        const bool made = c.make(QFile::encodeName(path));
        if (!made && QLatin1String(c.name) == QLatin1String("device")) {
            std::cout << "[  SKIPPED ] the device case: mknod needs root (CAP_MKNOD)\n";
            continue;
        }
        ASSERT_TRUE(made);
        const auto before = node(path);
        const int boxChanges = plant.errorBox.changes;

        MetricsFile metrics(plant.ctx, path, QStringLiteral("1.0.0"));
        EXPECT_FALSE(metrics.start());
        metrics.cycleFinished(CycleReport{});
        metrics.cycleFinished(CycleReport{});

        EXPECT_EQ(node(path), before);
        EXPECT_EQ(plant.errorBox.changes, boxChanges + 1);
        EXPECT_TRUE(plant.errorBox.text().contains(path)) << plant.errorBox.text().toStdString();
        EXPECT_TRUE(plant.errorBox.text().contains(QStringLiteral("not a regular file")))
            << plant.errorBox.text().toStdString();
    }
    EXPECT_EQ(readFileBytes(target), QByteArray("kept\n"));
}

} // namespace
