// The server as a plant service: the status line after a cycle, a reload,
// and the built executable with its messages to the service manager (on a
// notify socket of the test's own), SIGHUP and a stop during an import.
#include "shell/ServiceNotifier.h"

#include "ExecutablePlant.h"
#include "RecordingImporter.h"
#include "TestPlant.h"
#include "config/Configuration.h"
#include "intake/ScanCycle.h"
#include "shell/CommandLine.h"
#include "shell/PlantService.h"


#include <optional>

namespace {

ImportOutcome file(FileKind kind, const char* job, ImportResult result, RowsWritten rows = {})
{
    ImportOutcome o;
    o.kind = kind;
    o.jobName = QString::fromLatin1(job);
    o.result = result;
    o.rows = rows;
    return o;
}

// One line per cycle: idle, the rows of a job's files (its steel rows apart
// from its production rows), a failed job naming the file and what became
// of it, separate-mode jobs one after the other.
TEST(StatusText, OneLinePerCycle)
{
    const std::pair<std::vector<ImportOutcome>, const char*> cases[] = {
        {{}, "Idle; last scan at 10:30:01"},
        {{file(FileKind::Production, "A1", ImportResult::Loaded, {1, 2, 10, 4, 0}),
          file(FileKind::Label, "A1", ImportResult::Loaded, {0, 0, 0, 0, 10}),
          file(FileKind::Steel, "A1", ImportResult::Loaded, {1, 1, 2, 0, 0})},
         "Imported job A1 (2 bars, 10 pieces, 4 machining, 10 print rows; steel: 1 bars, 2 pieces, 0 machining) "
         "at 10:30:01"},
        {{file(FileKind::Production, "B7", ImportResult::NotStarted),
          file(FileKind::Label, "C2", ImportResult::Loaded, {0, 0, 0, 0, 1})},
         "Job B7 failed: production data job database could not be opened; "
         "Imported job C2 (0 bars, 0 pieces, 0 machining, 1 print rows) at 10:30:01"},
    };
    for (const auto& [files, expected] : cases) {
        CycleReport report;
        report.files = files;
        report.startedMs = QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0)).toMSecsSinceEpoch();
        report.durationMs = 1500;
        EXPECT_EQ(cycleStatusText(report).toStdString(), expected);
    }
}

const QByteArray kDirs = "\"ServerPath\",\"~apppath~\\In\"\r\n\"ClientPath\",\"~apppath~\\Client\"\r\n";

// SIGHUP applies only a file that reads cleanly and keeps the server a
// server directory and a scan interval; any other file leaves the running
// settings, is named with the reason once, and is not rewritten.
TEST(PlantServiceTest, ReloadAppliesOnlyAFileThatKeepsThePlantRunning)
{
    static const char kBinary[] = {'\x7f', 'E', 'L', 'F', 2, 1, 0, 0, '\r', '\n', '"', ',', '\xff', 0};
    struct Case {
        const char* name;
        std::optional<QByteArray> file; // none: missing
        const char* reason;             // none: applied
    };
    const Case cases[] = {
        {"clean file", kDirs + "\"RefreshZyklus\",\"5000\"\r\n", nullptr},
        {"interval abc", kDirs + "\"RefreshZyklus\",\"abc\"\r\n", "no scan interval"},
        {"no server directory", "\"ClientPath\",\"~apppath~\\Client\"\r\n\"RefreshZyklus\",\"5000\"\r\n",
         "no server directory"},
        {"binary", QByteArray(kBinary, sizeof kBinary), "no configuration key"},
        {"missing", std::nullopt, "File not found"},
    };
    const auto writeFile = &PlantTree::writeFile;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestPlant plant;
        RecordingImporter importer;
        ScanCycle cycle(plant.ctx, importer);
        PlantService service(plant.ctx, cycle, LaunchOptions{});
        const QString config = plant.ctx.ConfigFilePath;
        writeFile(config, kDirs + "\"RefreshZyklus\",\"3000\"\r\n\"Steeldata\",1\r\n");
        ReadConfiguration(plant.ctx);
        ASSERT_EQ(plant.ctx.settings.scanInterval, 3000);
        const QString serverDir = plant.ctx.settings.serverDir;

        QFile::remove(config);
        if (c.file)
            writeFile(config, *c.file);
        const int boxChanges = plant.errorBox.changes;
        service.reloadConfiguration();

        const QString box = plant.errorBox.text();
        EXPECT_EQ(plant.errorBox.changes, boxChanges + 1) << box.toStdString();
        if (!c.reason) {
            EXPECT_EQ(plant.ctx.settings.scanInterval, 5000);
            EXPECT_EQ(plant.ctx.settings.Steeldata, TriState::Cleared);
            EXPECT_FALSE(box.contains(QStringLiteral("Not applied"))) << box.toStdString();
            continue;
        }
        EXPECT_EQ(plant.ctx.settings.scanInterval, 3000);
        EXPECT_EQ(plant.ctx.tmrLoad.interval(), 3000);
        EXPECT_EQ(plant.ctx.settings.serverDir, serverDir);
        EXPECT_EQ(plant.ctx.settings.Steeldata, TriState::Ticked);
        EXPECT_EQ(plant.ctx.form.txtRefresh, QStringLiteral("3000"));
        EXPECT_TRUE(box.contains(QStringLiteral("Not applied")) && box.contains(QLatin1String(c.reason)))
            << box.toStdString();
        EXPECT_EQ(QFile::exists(config), c.file.has_value());
        if (c.file) {
            EXPECT_EQ(readFileBytes(config), *c.file) << "the operator's file is left as it is";
        }
    }
}

const QByteArray kGoodJob = crlf({
    "KB 001L65000T12TFWeiss RAL 9016      BBlendrahmen 70      E1",
    "KTN0001FW001011KA1001  PPos01TBRGG+4500+4500L12350W0500150Q0035000350",
    "KRN0005L10100AR",
});

// A plant tree with the executable in its Server folder and a notify socket
// of its own.
class ServiceRun : public ExecutablePlant {
protected:
    void SetUp() override
    {
        m_env.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path);
        writeConfig(1000, "\"Extension\",\"$tx\"\n");
    }
    Running& serve(const QStringList& args) { return start(installExecutable(), args, m_env); }

    NotifySocket notify{root() + QStringLiteral("/notify.sock")};
    QProcessEnvironment m_env = environment();
};

TEST_F(ServiceRun, TellsTheServiceManagerReadyStatusWatchdogAndStopping)
{
    if (!ServiceNotifier::builtWithSystemd())
        GTEST_SKIP() << "built without libsystemd";
    initDatabase();
    writeJob(QStringLiteral("A1.$tx"), kGoodJob);
    const ProcessRun r = serve({configPath(), QStringLiteral("--headless"), QStringLiteral("--once")}).end(0);
    ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    const QStringList got = notify.messages(5000, "STOPPING=1");
    ASSERT_EQ(got.size(), 3) << got.join(u'|').toStdString();
    EXPECT_TRUE(got[0].startsWith(QStringLiteral("READY=1"))) << got[0].toStdString();
    EXPECT_TRUE(got[1].contains(QStringLiteral("WATCHDOG=1")) && got[1].contains(QStringLiteral("STATUS=")))
        << got[1].toStdString();
    EXPECT_TRUE(got[2].startsWith(QStringLiteral("STOPPING=1"))) << got[2].toStdString();
}

// With a scan interval of a minute a new job waits; after the configuration
// is changed to 1.1 s and SIGHUP sent, it is taken at once.
TEST_F(ServiceRun, SighupReadsTheConfigurationAgainBetweenCycles)
{
    const bool systemd = ServiceNotifier::builtWithSystemd();
    writeConfig(60000, "\"Extension\",\"$tx\"\n");
    initDatabase();
    Running& p = serve({configPath(), QStringLiteral("--headless")});
    if (systemd) {
        ASSERT_TRUE(notify.messages(20000, "READY=1").join(u'|').contains(QStringLiteral("READY=1")));
    } else {
        // No readiness message: the start line, then time for the signal handlers.
        ASSERT_TRUE(p.waitForError(QStringLiteral(": Start Server")));
        QThread::msleep(1000);
    }
    writeJob(QStringLiteral("H1.$tx"), kGoodJob);
    QThread::msleep(2500);
    EXPECT_EQ(waiting(), QStringList{QStringLiteral("H1.$tx")}) << "taken before the reload";

    writeConfig(1100, "\"Extension\",\"$tx\"\n");
    ASSERT_EQ(::kill(p.pid(), SIGHUP), 0);
    EXPECT_TRUE(waitUntil([&] { return waiting().isEmpty(); }, 15000, 100)) << "not taken after the reload";
    EXPECT_EQ(backedUp(), QStringList{QStringLiteral("H1.$tx")});
    if (systemd) {
        EXPECT_TRUE(notify.messages(3000, "Imported job H1").join(u'|').contains(QStringLiteral("RELOADING=1")));
    }
    const ProcessRun r = p.end(SIGTERM);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral(": Reload Configuration"))) << r.err.toStdString();
    if (systemd) {
        EXPECT_TRUE(notify.messages(3000, "STOPPING=1").last().startsWith(QStringLiteral("STOPPING=1")));
    }
}

// A stop that arrives while a long import runs is said at once, and once
// however often it is sent; the import is finished and backed up, and the
// server ends with exit code 0.
TEST_F(ServiceRun, AStopDuringAnImportIsSaidOnceAndTheJobIsFinished)
{
    QByteArray job;
    for (int bar = 1; bar <= 999; ++bar) {
        job += QStringLiteral("KB %1L65000T12TFWeiss RAL 9016      BBlendrahmen 70      E1\r\n")
                   .arg(bar, 3, 10, QLatin1Char('0'))
                   .toLatin1();
        for (int p = 1; p <= 40; ++p)
            job += QStringLiteral("KTN%1FW001011KA1001  PPos01TBRGG+4500+4500L12350W0500150Q0035000350\r\n")
                       .arg(((bar - 1) * 40 + p) % 9999 + 1, 4, 10, QLatin1Char('0'))
                       .toLatin1();
    }
    const QString jobPath = in() + QStringLiteral("/BIG.$tx");
    initDatabase();
    writeJob(QStringLiteral("BIG.$tx"), job);
    Running& p = serve({configPath(), QStringLiteral("--headless")});
    // The import runs while the job file is open.
    const QString fds = QStringLiteral("/proc/%1/fd").arg(p.pid());
    const auto importing = [&] {
        for (const QFileInfo& fd : QDir(fds).entryInfoList(QDir::Files | QDir::System)) {
            if (fd.symLinkTarget() == QFileInfo(jobPath).canonicalFilePath())
                return true;
        }
        return false;
    };
    ASSERT_TRUE(waitUntil(importing, 20000, 1)) << "the import was not seen";
    for (const int sig : {SIGTERM, SIGTERM, SIGINT})
        ASSERT_EQ(::kill(p.pid(), sig), 0);

    const ProcessRun r = p.end(0);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.count(QStringLiteral("the server ends when the import in progress is done")), 1)
        << r.err.toStdString();
    EXPECT_EQ(waiting(), QStringList());
    EXPECT_EQ(readFileBytes(server() + QStringLiteral("/prog.bak/BIG.$tx")), job);
    EXPECT_EQ(count("Teiledaten"), 999 * 40);
}

} // namespace
