#include "intake/MetricsFile.h"

#include "TestPlant.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <functional>
#include <tuple>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// A file's outcome as the metrics count it: by kind, result and rows written.
ImportOutcome outcome(FileKind kind, ImportResult result, RowsWritten rows = {})
{
    ImportOutcome o;
    o.kind = kind;
    o.result = result;
    o.rows = rows;
    return o;
}

class MetricsFileTest : public ::testing::Test {
protected:
    QString path() const { return plant.root() + QStringLiteral("/metrics/serverquirnel.prom"); }

    TestPlant plant;
};

// One sample per rule: a failed or given-up file counts as failed of its
// kind; print rows are summed over the job's files; waiting files are
// matched without case; the last import's duration is that of the last
// cycle that had files. The file is replaced whole and readable by all.
TEST_F(MetricsFileTest, CountsGoodAndFailedJobs)
{
    QDir().mkpath(plant.root() + QStringLiteral("/metrics"));
    for (const char* waiting : {"w1.$tx", "w2.$TX", "w2.$et"})
        plant.writeJobFile(QLatin1String(waiting), "x");
    MetricsFile metrics(plant.ctx, path(), QStringLiteral("1.2.3"));
    ASSERT_TRUE(metrics.start());
    EXPECT_TRUE(readFileBytes(path()).contains("\nserverquirnel_scan_cycles_total 0\n"));

    const auto finished = [&](qint64 startedMs, qint64 durationMs, std::vector<ImportOutcome> files) {
        metrics.cycleFinished({std::move(files), startedMs, durationMs});
    };
    finished(1'765'000'000'000, 1250,
             {outcome(FileKind::Production, ImportResult::Loaded, {1, 2, 10, 4, 3}),
              outcome(FileKind::Label, ImportResult::Loaded, {0, 0, 0, 0, 10}),
              outcome(FileKind::Steel, ImportResult::Loaded, {1, 1, 2, 0, 0})});
    finished(1'765'000'005'000, 250,
             {outcome(FileKind::Production, ImportResult::SetAside), outcome(FileKind::Label, ImportResult::GivenUp)});
    finished(1'765'000'010'000, 3, {}); // an idle cycle

    const QByteArray text = readFileBytes(path());
    for (const char* line : {
             "serverquirnel_build_info{version=\"1.2.3\"} 1",
             "serverquirnel_files_imported_total{kind=\"steel\"} 1",
             "serverquirnel_files_failed_total{kind=\"production\"} 1",
             "serverquirnel_files_failed_total{kind=\"label\"} 1",
             "serverquirnel_rows_written_total{family=\"production\",table=\"Teiledaten\"} 10",
             "serverquirnel_rows_written_total{family=\"steel\",table=\"StahlTeiledaten\"} 2",
             "serverquirnel_rows_written_total{family=\"print\",table=\"Druckdaten\"} 13",
             "serverquirnel_files_waiting{kind=\"production\"} 2",
             "serverquirnel_scan_cycles_total 3",
             "serverquirnel_last_import_duration_seconds 0.250",
             "serverquirnel_last_cycle_timestamp_seconds 1765000010.003",
         })
        EXPECT_TRUE(text.contains(QByteArray("\n") + line + "\n")) << line << "\n" << text.constData();
    for (const QByteArray& line : text.split('\n'))
        EXPECT_TRUE(!line.startsWith('#') || line.startsWith("# HELP ") || line.startsWith("# TYPE ")) << line.data();
    EXPECT_FALSE(QFile::exists(path() + QStringLiteral(".tmp")));
    EXPECT_TRUE(QFile::permissions(path()) & QFileDevice::ReadOther);
}

// The file is replaced by a rename: where anything but a regular file stands
// (a link is not followed) nothing is written, the path is named once, and
// what stands there is left exactly as it was. A path that cannot be written
// is named once too; the server runs on and still counts.
TEST_F(MetricsFileTest, WritesOnlyWhereARegularFileOrNothingStandsAndRunsOnWithout)
{
    const QString target = plant.root() + QStringLiteral("/elsewhere.prom");
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::WriteOnly) && kept.write("kept\n") == 5);
    kept.close();
    const auto node = [](const QString& p) {
        struct stat st {};
        const bool found = ::lstat(QFile::encodeName(p).constData(), &st) == 0;
        return std::tuple(found, st.st_mode, st.st_ino, st.st_rdev, st.st_size);
    };
    const struct {
        const char *name, *why;
        std::function<bool(const QByteArray&)> make;
    } cases[] = {
        {"fifo", "not a regular file", [](const QByteArray& p) { return ::mkfifo(p.constData(), 0644) == 0; }},
        {"link", "not a regular file",
         [&](const QByteArray& p) { return ::symlink(QFile::encodeName(target).constData(), p.constData()) == 0; }},
        {"missing/m.prom", "", [](const QByteArray&) { return true; }},
    };
    const CycleReport report{.files = {outcome(FileKind::Production, ImportResult::Loaded)}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = plant.root() + u'/' + QLatin1String(c.name);
        ASSERT_TRUE(c.make(QFile::encodeName(path)));
        const auto before = node(path);
        const int boxChanges = plant.errorBox.changes;

        MetricsFile metrics(plant.ctx, path, QStringLiteral("1.0.0"));
        EXPECT_FALSE(metrics.start());
        metrics.cycleFinished(report);
        metrics.cycleFinished(report);

        EXPECT_EQ(node(path), before);
        EXPECT_EQ(plant.errorBox.changes, boxChanges + 1);
        const QString said = plant.errorBox.text();
        EXPECT_TRUE(said.contains(path) && said.contains(QLatin1String(c.why))) << said.toStdString();
        EXPECT_EQ(metrics.state().filesImported[0], 2);
    }
    EXPECT_EQ(readFileBytes(target), QByteArray("kept\n"));
}

} // namespace
