// The server as a plant service: the status line of a cycle, and the built
// server's messages to the service manager (on a notify socket of the test's
// own), SIGHUP and a stop during an import, on one plant.
#include "shell/ServiceNotifier.h"

#include "ExecutablePlant.h"

#include <QRegularExpression>

#include <tuple>

namespace {

// A failed job names the file and what became of it; jobs follow one another,
// a job's steel rows apart (the notify run pins a plain import).
TEST(StatusText, NamesFailedJobsAndTheRowsOfEachJob)
{
    CycleReport report;
    report.startedMs = QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0)).toMSecsSinceEpoch();
    report.durationMs = 1500;
    for (const auto& [kind, job, result, rows] :
         {std::tuple{FileKind::Production, "B7", ImportResult::NotStarted, RowsWritten{}},
          {FileKind::Production, "C2", ImportResult::Loaded, RowsWritten{1, 2, 10, 4, 0}},
          {FileKind::Steel, "C2", ImportResult::Loaded, RowsWritten{1, 1, 2, 0, 0}}}) {
        ImportOutcome& o = report.files.emplace_back();
        o.kind = kind;
        o.jobName = QLatin1String(job);
        o.result = result;
        o.rows = rows;
    }
    EXPECT_EQ(cycleStatusText(report).toStdString(),
              "Job B7 failed: production data job database could not be opened; Imported job C2 (2 bars, 10 pieces, "
              "4 machining, 0 print rows; steel: 1 bars, 2 pieces, 0 machining) at 10:30:01");
}

const QByteArray kGoodJob = crlf({
    "KB 001L65000T12TFWeiss RAL 9016      BBlendrahmen 70      E1",
    "KTN0001FW001011KA1001  PPos01TBRGG+4500+4500L12350W0500150Q0035000350",
    "KRN0005L10100AR",
});

// A plant tree with the executable in its Server folder and a notify socket
// of its own; the server built with libsystemd.
class ServiceRun : public ExecutablePlant {
protected:
    void SetUp() override
    {
        if (!ServiceNotifier::builtWithSystemd())
            GTEST_SKIP() << "built without libsystemd";
        m_env.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path);
        writeConfig(1000, "\"Extension\",\"$tx\"\n");
    }
    Running& serve(const QStringList& args) { return start(installExecutable(), args, m_env); }

    NotifySocket notify{root() + QStringLiteral("/notify.sock")};
    QProcessEnvironment m_env = environment();
};

TEST_F(ServiceRun, TellsTheServiceManagerItsStatesReadsTheConfigurationAgainAtSighupAndStopsAfterAnImport)
{
    // A single cycle: ready, the status line of the cycle (the rows of the
    // job's files) with a watchdog ping, stopping.
    initDatabase();
    writeJob(QStringLiteral("A1.$tx"), kGoodJob);
    const ProcessRun once = serve({configPath(), QStringLiteral("--headless"), QStringLiteral("--once")}).end(0);
    ASSERT_EQ(once.exitCode, 0) << once.err.toStdString();
    const QString told = notify.messages(5000, "STOPPING=1").join(u'|');
    static const QRegularExpression three(
        QStringLiteral(R"(^READY=1\n[^|]*\|STATUS=Imported job A1 \(1 bars, 1 pieces, )"
                       R"(1 machining, 0 print rows\) at \d\d:\d\d:\d\d\nWATCHDOG=1\|)"
                       R"(STOPPING=1\n[^|]*$)"));
    EXPECT_TRUE(three.match(told).hasMatch()) << told.toStdString();
    notify.received.clear();

    // With a scan interval of a minute a new job waits; after the
    // configuration is changed to 1.1 s and SIGHUP sent, it is taken at once.
    // SIGHUP applies only a file that reads cleanly.
    writeConfig(60000, "\"Extension\",\"$tx\"\n");
    Running& p = serve({configPath(), QStringLiteral("--headless")});
    ASSERT_TRUE(notify.messages(20000, "READY=1").join(u'|').contains(QStringLiteral("READY=1")));
    writeJob(QStringLiteral("H1.$tx"), kGoodJob);
    QThread::msleep(2500);
    EXPECT_EQ(waiting(), QStringList{QStringLiteral("H1.$tx")}) << "taken before the reload";

    // A file that does not read cleanly is not applied (the job still waits),
    // is named with the reason once, and is left as the operator wrote it.
    writeConfig(1100, "\"Extension\",\"$tx\"\n\"Steeldata\",x\n");
    const QByteArray unclean = readFileBytes(configPath());
    ASSERT_TRUE(p.signal(SIGHUP));
    EXPECT_TRUE(p.waitForError(QStringLiteral("\"Steeldata\": Type mismatch"), 5000)) << p.errorBox().toStdString();
    QThread::msleep(2500);
    EXPECT_EQ(waiting(), QStringList{QStringLiteral("H1.$tx")}) << "taken after a reload that was not applied";
    EXPECT_EQ(p.errorBox().count(QStringLiteral("Not applied")), 1) << p.errorBox().toStdString();
    EXPECT_EQ(readFileBytes(configPath()), unclean);

    writeConfig(1100, "\"Extension\",\"$tx\"\n");
    ASSERT_TRUE(p.signal(SIGHUP));
    EXPECT_TRUE(waitUntil([&] { return waiting().isEmpty(); }, 15000, 100)) << "not taken after the reload";
    EXPECT_EQ(backedUp(), (QStringList{QStringLiteral("A1.$tx"), QStringLiteral("H1.$tx")}));
    EXPECT_TRUE(notify.messages(3000, "Imported job H1").join(u'|').contains(QStringLiteral("RELOADING=1")));

    // A stop that arrives while a long import runs is said at once, and once
    // however often it is sent; the import is finished and backed up, and the
    // server ends with exit code 0.
    QByteArray job;
    for (int bar = 1; bar <= 999; ++bar) {
        job += "KB " + QByteArray::number(bar).rightJustified(3, '0') +
               "L65000T12TFWeiss RAL 9016      BBlendrahmen 70      E1\r\n";
        for (int p = 1; p <= 40; ++p)
            job += "KTN" + QByteArray::number(((bar - 1) * 40 + p) % 9999 + 1).rightJustified(4, '0') +
                   "FW001011KA1001  PPos01TBRGG+4500+4500L12350W0500150Q0035000350\r\n";
    }
    const QString jobPath = in() + QStringLiteral("/BIG.$tx");
    writeFile(root() + QStringLiteral("/BIG.$tx"), job); // moved in whole: the server polls
    ASSERT_TRUE(QFile::rename(root() + QStringLiteral("/BIG.$tx"), jobPath));
    // The import runs while the job file is open.
    const QString fds = QStringLiteral("/proc/%1/fd").arg(p.processId());
    const auto importing = [&] {
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::Files | QDir::System)) {
            if (fd.symLinkTarget() == QFileInfo(jobPath).canonicalFilePath())
                return true;
        }
        return false;
    };
    ASSERT_TRUE(waitUntil(importing, 20000, 1)) << "the import was not seen";
    for (const int sig : {SIGTERM, SIGTERM, SIGINT})
        ASSERT_TRUE(p.signal(sig));

    const ProcessRun r = p.end(0);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.count(QStringLiteral("the server ends when the import in progress is done")), 1)
        << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral(": Reload Configuration"))) << r.err.toStdString();
    EXPECT_TRUE(notify.messages(3000, "STOPPING=1").last().startsWith(QStringLiteral("STOPPING=1")));
    EXPECT_EQ(waiting(), QStringList());
    EXPECT_EQ(readFileBytes(server() + QStringLiteral("/prog.bak/BIG.$tx")), job);
    EXPECT_EQ(count("Teiledaten"), 999 * 40 + 2); // with A1's and H1's piece
}

} // namespace
