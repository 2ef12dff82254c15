// Runs the built executable headless on temporary plant trees and checks
// what it leaves behind: standard error (the error box), the settings store
// file, the configuration file, the job database, backups and error copies.
#include "ExecutablePlant.h"
#include "TestSupport.h"
#include "platform/ProcessLock.h"

#include <QDirIterator>
#include <QSettings>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

class EndToEnd : public ExecutablePlant {
protected:
    void writeConfig(int jobLoadMode)
    {
        ExecutablePlant::writeConfig(1500, "\"BackupPath\",\"~apppath~\\Backup\"\n\"AutoFreigabe\",\" 1\"\n"
                                           "\"Extension\",\"$tx\"\n\"ExtensionEtikett\",\"$et\"\n"
                                           "\"ExtensionStahl\",\"$sx\"\n\"Printertyp\",\" 4\"\n\"GenLoadID\",1\n"
                                           "\"JobLoadMode\"," +
                                               QByteArray::number(jobLoadMode) + "\n");
    }
    QString settingsValue(const QString& key) const
    {
        return QSettings(root() + QStringLiteral("/config/Lorvane-Application/Server VOV - Produktionsdaten.conf"),
                         QSettings::IniFormat)
            .value(QStringLiteral("Settings/") + key)
            .toString();
    }

    // Every file of the plant and the settings store with its bytes and
    // modification time (the running server's locks left out).
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> files;
        QDirIterator it(root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            if (path.contains(QStringLiteral("lock")) || path.contains(QStringLiteral("/xdg/")) ||
                path.endsWith(QStringLiteral("/Server/serverquirnel")))
                continue;
            files.insert(path, readFileBytes(path) + '@' +
                                   QByteArray::number(QFileInfo(path).lastModified().toMSecsSinceEpoch()));
        }
        return files;
    }

    ProcessRun runOnce(const QStringList& extra = {})
    {
        return run(QStringList{configPath(), QStringLiteral("--headless"), QStringLiteral("--once")} + extra);
    }

    // Rows of a table of the job database (all, or of one job).
    qlonglong count(const char* table, const char* job = nullptr) const
    {
        QString sql = QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table);
        if (job)
            sql += QStringLiteral(" WHERE LosName='%1'").arg(QLatin1String(job));
        return queryValue(client() + QStringLiteral("/prog.mdb"), sql).toLongLong();
    }

    static QStringList sampleFiles()
    {
        return QDir(QStringLiteral(VOV_EXAMPLES_DIR "/In")).entryList(QDir::Files, QDir::Name);
    }
    // The sample plant's jobs in a fresh plant (job mode 1, separate 0).
    void deliverSamples(int jobLoadMode)
    {
        for (const char* d : {"/In", "/Client", "/Server/prog.bak"})
            QDir(root() + QLatin1String(d)).removeRecursively();
        QDir(root()).mkpath(QStringLiteral("In"));
        QDir(root()).mkpath(QStringLiteral("Client"));
        writeConfig(jobLoadMode);
        initDatabase();
        for (const QString& name : sampleFiles())
            writeJob(name, readFileBytes(QStringLiteral(VOV_EXAMPLES_DIR "/In/") + name));
    }
    void drain()
    {
        for (int run = 0; run < 8 && !QDir(in()).entryList(QDir::Files).isEmpty(); ++run) {
            const ProcessRun r = runOnce();
            ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        }
    }
    // Rows per table, the backups and the files still waiting.
    QString outcome() const
    {
        QString s;
        for (const char* t : {"LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten", "Druckdaten", "StahlTeiledaten"})
            s += QString::number(count(t)) + u' ';
        s += QDir(server() + QStringLiteral("/prog.bak")).entryList(QDir::Files, QDir::Name).join(u',');
        return s + u'|' + QDir(in()).entryList(QDir::Files, QDir::Name).join(u',');
    }
};

TEST_F(EndToEnd, MissingConfigurationIsReportedAndWrittenFromTheFields)
{
    // No argument: the configuration beside the (copied) executable is used.
    const ProcessRun r = run({QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("ZEzad Read Configdatei : "))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral(": Start Server")));
    const QByteArray written = readFileBytes(configPath());
    EXPECT_EQ(written.count("\r\n"), 20);
    EXPECT_TRUE(written.startsWith("\"ServerPath\",\"\"\r\n")) << written.constData();
}

// A refused copy ends before ": Start Server" and changes nothing: not the
// release flag, the configuration file, the server directory (an old error
// copy it would purge, a job it would read) or the logs. Refused by the lock
// of its runtime directory, and by the plant's own lock when a server started
// with another runtime directory works on the same plant.
TEST_F(EndToEnd, SecondCopyEndsBeforeStartingAndChangesNothing)
{
    writeConfig(0);
    initDatabase();
    QProcess first;
    first.setReadChannel(QProcess::StandardError);
    start(first, installExecutable(), {configPath(), QStringLiteral("--headless")},
          environment(QStringLiteral("run2")));
    QByteArray started;
    while (!started.contains(": Start Server") && first.waitForReadyRead(10000))
        started += first.readAllStandardError();
    ASSERT_TRUE(started.contains(": Start Server")) << started.constData();

    QSettings(root() + QStringLiteral("/config/Lorvane-Application/Server VOV - Produktionsdaten.conf"),
              QSettings::IniFormat)
        .setValue(QStringLiteral("Settings/ProdServerAktiv"), "1");
    writeJob(QStringLiteral("A1.$tx.$er"), "old error copy");
    {
        QFile old(in() + QStringLiteral("/A1.$tx.$er"));
        ASSERT_TRUE(old.open(QIODevice::ReadWrite));
        old.setFileTime(QDateTime::currentDateTime().addDays(-8), QFileDevice::FileModificationTime);
    }
    const QMap<QString, QByteArray> before = snapshot();

    // The plant's lock: a different runtime directory does not help.
    ProcessRun r = runOnce();
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Another server (process %1 on %2) works on the job database in %3")
                                   .arg(first.processId())
                                   .arg(QSysInfo::machineHostName(), client())))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral(": Start Server"))) << r.err.toStdString();
    EXPECT_EQ(snapshot(), before);

    // The runtime directory's lock, held by another process.
    ::kill(pid_t(first.processId()), SIGKILL);
    ASSERT_TRUE(first.waitForFinished(10000));
    ProcessLock held(root() + QStringLiteral("/run/Server VOV - Produktionsdaten.lock"));
    ASSERT_EQ(held.tryLock(), ProcessLock::Result::Taken);
    r = runOnce();
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("is running already (process %1 on ").arg(::getpid())))
        << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral(": Start Server"))) << r.err.toStdString();
    EXPECT_EQ(snapshot(), before);

    // The killed server's plant lock keeps nobody out, not even for a moment.
    held.unlock();
    r = runOnce();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral(": Start Server"))) << r.err.toStdString();
}

// An installed program (here a copy in a folder its user may not write to)
// started without the plant's configuration or without --program-dir says
// what to pass and ends with exit code 2, writing nothing anywhere, though
// every folder it would write to is open to it.
TEST_F(EndToEnd, AnInstalledProgramWithoutThePlantsFoldersWritesNothing)
{
    const bool asRoot = ::geteuid() == 0;
    const QString setpriv = QStandardPaths::findExecutable(QStringLiteral("setpriv"));
    if (asRoot && setpriv.isEmpty())
        GTEST_SKIP() << "as root the run needs setpriv to become an unprivileged user";
    writeConfig(0);
    const auto all = QFileDevice::Permissions(0x7777);
    const auto readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                          QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    const QString folder = root() + QStringLiteral("/Installed");
    ASSERT_TRUE(QDir(root()).mkpath(QStringLiteral("Installed")));
    const QString exe = folder + QStringLiteral("/serverquirnel");
    ASSERT_TRUE(QFile::copy(QStringLiteral(VOV_SERVER_EXE), exe));
    ASSERT_TRUE(QFile::setPermissions(root(), readOnly | QFileDevice::WriteOwner));
    for (const char* d : {"/Server", "/In", "/Client", "/config", "/xdg", "/run"})
        ASSERT_TRUE(QFile::setPermissions(root() + QLatin1String(d), all));
    ASSERT_TRUE(QFile::setPermissions(folder, readOnly));
    const QMap<QString, QByteArray> before = snapshot();

    const QStringList cases[] = {
        {},
        {configPath()},
        {QStringLiteral("--program-dir=") + server()},
    };
    for (const QStringList& arguments : cases) {
        const QStringList args = arguments + QStringList{QStringLiteral("--headless"), QStringLiteral("--once")};
        const ProcessRun r = asRoot ? run(setpriv,
                                          QStringList{QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                                      QStringLiteral("--clear-groups"), exe} +
                                              args,
                                          environment())
                                    : run(exe, args, environment());
        EXPECT_EQ(r.exitCode, 2) << args.join(u' ').toStdString() << ": " << r.err.toStdString();
        EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QStringLiteral("--program-dir")) && r.err.contains(QStringLiteral("configuration")))
            << r.err.toStdString();
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("serverquirnel")});
    for (const char* d : {"/config", "/xdg", "/run"})
        EXPECT_TRUE(QDir(root() + QLatin1String(d)).isEmpty()) << d;
    EXPECT_EQ(snapshot(), before);
    QFile::setPermissions(folder, all);
}

TEST_F(EndToEnd, InitDbCreatesOnceAndRefusesAnExistingFile)
{
    initDatabase();
    const QByteArray before = readFileBytes(client() + QStringLiteral("/prog.mdb"));
    EXPECT_FALSE(before.isEmpty());
    const ProcessRun again = run({QStringLiteral("--init-db"), client()});
    EXPECT_NE(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains(QStringLiteral("exists"))) << again.err.toStdString();
    EXPECT_EQ(readFileBytes(client() + QStringLiteral("/prog.mdb")), before);
}

const QByteArray kGoodJob = crlf({
    "KB 001L65000T12TFWeiss RAL 9016      BBlendrahmen 70      E1",
    "KTN0001FW001011KA1001  PPos01TBRGG+4500+4500L12350W0500150Q0035000350",
    "KTN0002FW001012KA1001  PPos01TBRGG+4500+4500L12350WB 3,1200,55,12;",
    "KRN0005L10100AR",
});

// The paths of the configuration are taken from ~apppath~ (the Server
// folder's parent) and published in the settings store.
TEST_F(EndToEnd, SeparateModeImportsAJobBacksItUpAndSetsTheReleaseFlag)
{
    writeConfig(0);
    initDatabase();
    writeJob(QStringLiteral("A1.$tx"), kGoodJob);
    const ProcessRun r = runOnce();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral(": Start Server"))) << r.err.toStdString();
    EXPECT_EQ(settingsValue(QStringLiteral("ProdServerPfad")), root() + QStringLiteral("/In"));
    EXPECT_EQ(count("LosNamen", "A1"), 1);
    EXPECT_EQ(count("Stabdaten", "A1"), 1);
    EXPECT_EQ(count("Teiledaten", "A1"), 2);
    EXPECT_EQ(count("Werkzeugdaten", "A1"), 2);
    EXPECT_FALSE(QFile::exists(in() + QStringLiteral("/A1.$tx")));
    EXPECT_EQ(readFileBytes(server() + QStringLiteral("/prog.bak/A1.$tx")), kGoodJob);
    EXPECT_EQ(readFileBytes(root() + QStringLiteral("/Backup/A1.$tx")), kGoodJob);
    EXPECT_EQ(settingsValue(QStringLiteral("ProdServerAktiv")), QStringLiteral("1"));
}

// The server built without the window needs no display: a command line
// meant for the window gets one line saying so and imports as --headless.
TEST_F(EndToEnd, WithoutHeadlessTheWindowlessServerSaysSoOnceAndImports)
{
    writeConfig(0);
    initDatabase();
    writeJob(QStringLiteral("A1.$tx"), kGoodJob);
    QProcessEnvironment env = environment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    const ProcessRun r = run(installExecutable(), {configPath(), QStringLiteral("--once")}, env);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count(QStringLiteral("no window")), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral(": Start Server"))) << r.err.toStdString();
    EXPECT_EQ(count("LosNamen", "A1"), 1);
    EXPECT_FALSE(QFile::exists(in() + QStringLiteral("/A1.$tx")));
}

TEST_F(EndToEnd, BrokenJobBecomesAnErrorCopyAndIsLogged)
{
    writeConfig(0);
    initDatabase();
    const QByteArray broken = crlf({"KB 001L65000T12Z", "KTN0001L12350"});
    writeJob(QStringLiteral("B7.$tx"), broken);
    const ProcessRun r = runOnce({QStringLiteral("--answer-failed=cancel")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("Wrong ID: <Z>"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(in() + QStringLiteral("/B7.$tx")));
    EXPECT_EQ(readFileBytes(in() + QStringLiteral("/B7.$tx.$er")), broken);
    const QByteArray last = readFileBytes(client() + QStringLiteral("/$TXerror.dat"));
    EXPECT_TRUE(last.startsWith("\"Job: B7.$tx\r\nLine: 1\r\nCol: 16\r\nWrong ID: <Z>")) << last.constData();
    const QByteArray log = readFileBytes(client() + QStringLiteral("/error.dat"));
    EXPECT_TRUE(log.contains(" ------------\r\nJob: B7.$tx\r\n")) << log.constData();
    // the job is deleted again: nothing half-written stays
    EXPECT_EQ(count("LosNamen", "B7"), 0);
    EXPECT_EQ(count("Stabdaten", "B7"), 0);
}

TEST_F(EndToEnd, JobModeReadsTheThreeFilesAndBacksThemUpTogether)
{
    writeConfig(1);
    initDatabase();
    writeJob(QStringLiteral("J5.$tx"), kGoodJob);
    const QByteArray label = crlf({"ED 0000 PRNTyp=4 ETKTyp=0", "ED 0001 ^XA^FDpiece one^XZ", "ED 0002 ^XA^FDtwo^XZ"});
    writeJob(QStringLiteral("J5.$et"), label);
    const QByteArray steel = crlf({"KB 001L60000TBST 4711 ", "KTN0001SA1100011180000250101L11800"});
    writeJob(QStringLiteral("J5.$sx"), steel);
    const ProcessRun r = runOnce();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(count("Teiledaten", "J5"), 2);
    EXPECT_EQ(count("Druckdaten", "J5"), 2);
    EXPECT_EQ(count("StahlTeiledaten", "J5"), 1);
    for (const char* name : {"J5.$tx", "J5.$et", "J5.$sx"}) {
        EXPECT_FALSE(QFile::exists(in() + QLatin1Char('/') + QLatin1String(name))) << name;
        EXPECT_TRUE(QFile::exists(server() + QStringLiteral("/prog.bak/") + QLatin1String(name))) << name;
    }
    EXPECT_EQ(settingsValue(QStringLiteral("ProdServerAktiv")), QStringLiteral("1"));
}

// The whole-file check of the job database runs at the first cycle only when
// the server before did not stop in order; a database damaged since is then
// not looked at before an import meets the damage.
struct StopBefore {
    const char* name;
    enum { NoServer, Clean, Killed } stop;
    bool checked;
};

class DatabaseCheck : public EndToEnd, public ::testing::WithParamInterface<StopBefore> {
protected:
    void runAndKill()
    {
        QProcess server;
        server.setReadChannel(QProcess::StandardError);
        start(server, installExecutable(), {configPath(), QStringLiteral("--headless")}, environment());
        QByteArray started;
        while (!started.contains(": Start Server") && server.waitForReadyRead(10000))
            started += server.readAllStandardError();
        ::kill(pid_t(server.processId()), SIGKILL);
        server.waitForFinished();
    }
    // Damaged past the header: it opens, and only reading it all tells.
    void damageDatabase()
    {
        const QString db = client() + QStringLiteral("/prog.mdb");
        QByteArray bytes = readFileBytes(db);
        for (qsizetype i = 4096; i < bytes.size(); i += 7)
            bytes[i] = char(0x5a);
        writeFile(db, bytes);
    }
};

TEST_P(DatabaseCheck, RunsAtTheFirstCycleUnlessTheServerBeforeStoppedInOrder)
{
    writeConfig(1000);
    initDatabase();
    if (GetParam().stop == StopBefore::Clean)
        EXPECT_EQ(runOnce().exitCode, 0);
    else if (GetParam().stop == StopBefore::Killed)
        runAndKill();
    damageDatabase();
    const ProcessRun r = runOnce();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err.contains(QStringLiteral("is damaged")), GetParam().checked) << r.err.toStdString();
}

const StopBefore kStops[] = {
    {"FirstStartEver", StopBefore::NoServer, true},
    {"AfterACleanStop", StopBefore::Clean, false},
    {"AfterAKill", StopBefore::Killed, true},
};
INSTANTIATE_TEST_SUITE_P(Stops, DatabaseCheck, ::testing::ValuesIn(kStops),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

// A large job that ends in a broken line is killed at moments spread over
// its import and the stop exit, then read again: after every kill no row of
// it is visible and its file is in the server directory or an error copy,
// never gone; the run that gets to the end sets it aside with nothing kept.
TEST_F(EndToEnd, KilledAnywhereInAFailingImportLeavesNoRowAndKeepsTheFile)
{
    writeConfig(0);
    initDatabase();
    QByteArray job;
    for (int bar = 1; bar <= 600; ++bar) {
        job += QStringLiteral("KB %1L65000T12\r\n").arg(bar, 3, 10, QLatin1Char('0')).toLatin1();
        for (int p = 1; p <= 8; ++p)
            job += QStringLiteral("KTN%1L01000W0100100\r\n").arg((bar - 1) * 8 + p, 4, 10, QLatin1Char('0')).toLatin1();
    }
    job += "KTN0000\r\n";
    writeJob(QStringLiteral("BIG.$tx"), job);
    const QString exe = installExecutable();

    int kills = 0;
    bool finished = false;
    for (int delayMs = 10; !finished && delayMs < 60000; delayMs = std::max(delayMs + 10, delayMs * 5 / 4)) {
        QProcess p;
        start(p, exe,
              {configPath(), QStringLiteral("--headless"), QStringLiteral("--once"),
               QStringLiteral("--answer-failed=cancel")},
              environment());
        finished = p.waitForFinished(delayMs);
        if (!finished) {
            ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
            p.waitForFinished();
            ++kills;
        } else {
            ASSERT_EQ(p.exitCode(), 0) << "a killed copy's locks keep nobody out";
        }
        ASSERT_EQ(count("Stabdaten") + count("Teiledaten") + count("LosNamen"), 0) << "after " << delayMs << " ms";
        const bool waiting = QFile::exists(in() + QStringLiteral("/BIG.$tx"));
        const bool setAside = QFile::exists(in() + QStringLiteral("/BIG.$tx.$er"));
        ASSERT_TRUE(waiting != setAside) << "after " << delayMs << " ms";
        ASSERT_EQ(readFileBytes(in() + (waiting ? QStringLiteral("/BIG.$tx") : QStringLiteral("/BIG.$tx.$er"))), job);
    }
    EXPECT_TRUE(finished);
    EXPECT_GT(kills, 2);
    EXPECT_TRUE(QFile::exists(in() + QStringLiteral("/BIG.$tx.$er")));
}

namespace {

// The sample plant's jobs, killed with the real server at its N-th rename
// (the settings store's writes, then the moves of a job's files after its
// commit, then the release flag), N = 1, 2, ... until a run gets through.
// In job mode, where a kill fell between two moves of a job, the planning
// system delivers the files already moved again, unchanged (in separate
// mode each file's move is its own end, and a file delivered again after
// it is a new delivery). The runs after every
// kill end as if there had been none: every file once in prog.bak, every
// job complete, no file taken twice.
class KilledAtARename : public EndToEnd, public ::testing::WithParamInterface<int> {
protected:
    // One run with the N-th rename killed; true when it was killed.
    bool runKilledAtRename(int n)
    {
        QProcess p;
        start(p, QStringLiteral("strace"),
              {QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-e"),
               QStringLiteral("inject=rename,renameat,renameat2:signal=SIGKILL:when=%1").arg(n), installExecutable(),
               configPath(), QStringLiteral("--headless"), QStringLiteral("--once")},
              environment());
        EXPECT_TRUE(p.waitForFinished(60000));
        return p.exitStatus() == QProcess::CrashExit || p.exitCode() != 0;
    }
    // A job's files partly in prog.bak, partly still waiting: those moved
    // are delivered again as they were.
    void redeliverHalfMovedJobs()
    {
        const QString bak = server() + QStringLiteral("/prog.bak/");
        for (const QString& name : sampleFiles()) {
            const QString job = QFileInfo(name).completeBaseName();
            const bool jobWaits = !QDir(in()).entryList({job + QStringLiteral(".*")}, QDir::Files).isEmpty();
            if (!jobWaits || !QFile::exists(bak + name) || QFile::exists(in() + u'/' + name))
                continue;
            ASSERT_TRUE(QFile::copy(bak + name, in() + u'/' + name));
            QFile copy(in() + u'/' + name);
            ASSERT_TRUE(copy.open(QIODevice::ReadWrite));
            copy.setFileTime(QFileInfo(bak + name).lastModified(), QFileDevice::FileModificationTime);
        }
    }
};

TEST_P(KilledAtARename, TheRunsAfterAnyKillEndAsIfThereHadBeenNone)
{
    if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty())
        GTEST_SKIP() << "strace is not installed";
    deliverSamples(GetParam());
    drain();
    const QString expected = outcome();
    ASSERT_EQ(expected.section(u'|', 1), QString());

    int kills = 0;
    for (int n = 1; n < 40; ++n) {
        deliverSamples(GetParam());
        if (!runKilledAtRename(n))
            break;
        ++kills;
        if (GetParam() == 1)
            redeliverHalfMovedJobs();
        drain();
        ASSERT_EQ(outcome().toStdString(), expected.toStdString()) << "killed at rename " << n;
        EXPECT_EQ(queryValue(client() + QStringLiteral("/prog.mdb"),
                             QStringLiteral("SELECT count(*) FROM (SELECT FileName FROM ImportLedger "
                                            "GROUP BY FileName HAVING count(*) > 1)"))
                      .toInt(),
                  0)
            << "a file was taken twice after the kill at rename " << n;
    }
    EXPECT_GT(kills, 3);
}

INSTANTIATE_TEST_SUITE_P(SeparateAndJobMode, KilledAtARename, ::testing::Values(0, 1));

} // namespace

// A value the server cannot read makes it rewrite the configuration. The
// server is killed (by strace) at its first write to the file or at the
// step that puts a new file in its place, whichever comes first: the file is
// then the old one or the whole new one, never an empty or a partial one,
// which would leave the next start without its plant.
TEST_F(EndToEnd, KilledWhileRewritingTheConfigurationLeavesAWholeFile)
{
    const QString strace = QStandardPaths::findExecutable(QStringLiteral("strace"));
    if (strace.isEmpty() ||
        run(strace, {QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("true")}, environment())
                .exitCode != 0)
        GTEST_SKIP() << "strace is not installed or may not trace here";
    ExecutablePlant::writeConfig(1500, "\"Printertyp\",\" 7\"\n");
    const QByteArray old = readFileBytes(configPath());

    const ProcessRun r =
        run(strace,
            {QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-P"),
             configPath(), QStringLiteral("-e"),
             QStringLiteral("inject=write,pwrite64,writev,linkat,rename,renameat,renameat2:signal=SIGKILL"),
             installExecutable(), configPath(), QStringLiteral("--headless"), QStringLiteral("--once")},
            environment());
    EXPECT_TRUE(r.err.contains(QStringLiteral("ZEzad Read Configdatei : "))) << r.err.toStdString();
    const QByteArray now = readFileBytes(configPath());
    if (r.exitCode == 0) {
        EXPECT_EQ(now.count("\r\n"), 20) << "not killed: the whole new file";
    } else {
        EXPECT_EQ(now, old) << "killed while it wrote: the old file";
    }
}

namespace {

// Faults of the machine, met by the real server on the sample plant in job
// mode: a job database its user may not write, and a disk without room for
// the job. The server reads the first job, meets the fault and keeps every
// file of the plant in the server directory (none set aside, the label and
// steel data included), says so once however many cycles meet it, and
// imports the jobs once the fault is gone.
class MachineFault : public EndToEnd, public ::testing::WithParamInterface<const char*> {
protected:
    void TearDown() override
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), client()});
    }
    // Makes the fault; false when this machine cannot make it.
    bool makeFault()
    {
        if (QByteArray(GetParam()) == "read-only database") {
            QFile::setPermissions(client() + QStringLiteral("/prog.mdb"),
                                  QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther);
            if (::geteuid() != 0)
                return true;
            // Root writes anyway: the server runs as an unprivileged user.
            m_runAs = {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                       QStringLiteral("--clear-groups")};
            return QProcess::execute(QStringLiteral("chown"),
                                     {QStringLiteral("-R"), QStringLiteral("65534:65534"), root()}) == 0 &&
                   QFile::setPermissions(root(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                     QFileDevice::ExeOther);
        }
        // A small file system for the client directory, filled up but for
        // a few pages after the empty job database was made.
        if (::geteuid() != 0 || QProcess::execute(QStringLiteral("mount"),
                                                  {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                   QStringLiteral("size=1m"), QStringLiteral("tmpfs"), client()}) != 0)
            return false;
        m_mounted = true;
        initDatabase();
        QFile filler(client() + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly))
            return false;
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        filler.close();
        filler.resize(filler.size() - 10 * 4096);
        return true;
    }
    void removeFault()
    {
        QFile::remove(client() + QStringLiteral("/filler"));
        QFile::setPermissions(client() + QStringLiteral("/prog.mdb"), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    // The server with the scan interval of the configuration, ended by
    // SIGTERM after the given time.
    ProcessRun runFor(int ms)
    {
        QProcess p;
        QStringList args{installExecutable(), configPath(), QStringLiteral("--headless")};
        if (!m_runAs.isEmpty())
            start(p, QStringLiteral("setpriv"), m_runAs + args, environment());
        else
            start(p, args.takeFirst(), args, environment());
        QThread::msleep(ms);
        ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
        EXPECT_TRUE(p.waitForFinished(30000));
        return {p.exitCode(), {}, QString::fromLocal8Bit(p.readAllStandardError())};
    }

    QStringList m_runAs;
    bool m_mounted = false;
};

TEST_P(MachineFault, KeepsEveryFileSaysItOnceAndImportsWhenItIsGone)
{
    const QString fault = QString::fromLatin1(GetParam());
    if (fault.startsWith(QStringLiteral("full")) && ::geteuid() != 0)
        GTEST_SKIP() << "a small file system for the client directory needs root";
    deliverSamples(1);
    ExecutablePlant::writeConfig(1100, "\"AutoFreigabe\",\" 1\"\n\"Extension\",\"$tx\"\n\"ExtensionEtikett\",\"$et\"\n"
                                       "\"ExtensionStahl\",\"$sx\"\n\"Printertyp\",\" 4\"\n\"JobLoadMode\",1\n");
    if (!makeFault())
        GTEST_SKIP() << "this machine cannot make a " << GetParam();
    const QStringList waiting = QDir(in()).entryList(QDir::Files, QDir::Name);

    // Two or three cycles: the first meets the fault with A1001, the next
    // with A1002 (the listing goes on after a file that stayed), and only
    // the first is said.
    const ProcessRun r = runFor(3500);
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(QDir(in()).entryList(QDir::Files, QDir::Name), waiting) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Job: A1001"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("Job: A1002"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("-> Cancel"))) << r.err.toStdString();

    removeFault();
    drain();
    EXPECT_EQ(QDir(in()).entryList(QDir::Files), QStringList());
    EXPECT_EQ(count("LosNamen"), 2);
    EXPECT_EQ(QDir(server() + QStringLiteral("/prog.bak")).entryList(QDir::Files, QDir::Name), waiting);
}

INSTANTIATE_TEST_SUITE_P(Faults, MachineFault, ::testing::Values("read-only database", "full disk"));

} // namespace

// The listing of each kind goes on after the file its last cycle took, in
// the next process too: a file that keeps failing and stays (Retry) does
// not come first in every --once run. And a server directory inside
// prog.bak is never read: its files would be imported at every cycle.
TEST_F(EndToEnd, RepeatedRunsTakeTheFilesInTurnAndNeverReadTheBackupFolder)
{
    writeConfig(0);
    initDatabase();
    writeJob(QStringLiteral("A0.$tx"), "KTN0000\r\n"); // fails, and stays with Retry
    writeJob(QStringLiteral("B1.$tx"), kGoodJob);
    writeJob(QStringLiteral("C2.$tx"), kGoodJob);
    for (int run = 0; run < 3; ++run)
        ASSERT_EQ(runOnce({QStringLiteral("--answer-failed=retry")}).exitCode, 0);
    EXPECT_EQ(QDir(in()).entryList(QDir::Files), QStringList{QStringLiteral("A0.$tx")});
    EXPECT_EQ(count("LosNamen"), 2);

    writeFile(configPath(),
              "\"ServerPath\",\"" + QFile::encodeName(server()) +
                  "/prog.bak\"\r\n\"ClientPath\",\"~apppath~\\Client\"\r\n\"RefreshZyklus\",\"1500\"\r\n");
    const ProcessRun r = runOnce();
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.err.contains(QStringLiteral("nothing is read there"))) << r.err.toStdString();
    EXPECT_EQ(count("LosNamen"), 2);
}
