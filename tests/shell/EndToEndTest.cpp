// Runs the built executable headless on temporary plant trees and checks
// what it leaves behind: standard error (the error box), the settings store
// file, the configuration file, the job database, backups and error copies.
#include "ExecutablePlant.h"
#include "TestSupport.h"
#include "platform/ProcessLock.h"

#include <QDirIterator>
#include <QSettings>
#include <QSysInfo>

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
