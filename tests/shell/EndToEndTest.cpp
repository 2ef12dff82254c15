// Runs the built executable headless on temporary plant trees and checks
// what it leaves behind: standard error (the error box), the settings store
// file, the configuration file, the job database, backups and error copies.
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#include <gtest/gtest.h>

#include <csignal>

namespace {

struct RunResult {
    int exitCode = -1;
    QString stdErr;
};

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        QDir r(root());
        for (const char* d : {"Server", "In", "Client", "Backup", "Profil", "config", "run"})
            r.mkpath(QString::fromLatin1(d));
        QFile::setPermissions(root() + QStringLiteral("/run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    QString root() const { return m_dir.path(); }
    QString server() const { return root() + QStringLiteral("/Server"); }
    QString in() const { return root() + QStringLiteral("/In"); }
    QString client() const { return root() + QStringLiteral("/Client"); }
    QString configPath() const { return server() + QStringLiteral("/ServerQuirnel.zezad"); }
    QString settingsFile() const
    {
        return root() + QStringLiteral("/config/Lorvane-Application/Server VOV - Produktionsdaten.conf");
    }

    // The executable copied alone into the plant's Server folder.
    QString installExecutable()
    {
        const QString target = server() + QStringLiteral("/serverquirnel");
        QFile::remove(target);
        EXPECT_TRUE(QFile::copy(QStringLiteral(VOV_SERVER_EXE), target));
        return target;
    }

    void writeConfig(int jobLoadMode)
    {
        QByteArray lines = "\"ServerPath\",\"~apppath~\\In\"\n\"ClientPath\",\"~apppath~\\Client\"\n"
                           "\"BackupPath\",\"~apppath~\\Backup\"\n\"RefreshZyklus\",\"1500\"\n\"AutoFreigabe\",\" 1\"\n"
                           "\"Extension\",\"$tx\"\n\"ExtensionEtikett\",\"$et\"\n\"ExtensionStahl\",\"$sx\"\n"
                           "\"Printertyp\",\" 4\"\n\"GenLoadID\",1\n\"JobLoadMode\",";
        lines += QByteArray::number(jobLoadMode) + "\n";
        QFile f(configPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(lines.replace("\n", "\r\n"));
    }

    void writeJob(const QString& name, const QByteArray& content)
    {
        QFile f(in() + QLatin1Char('/') + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root() + QStringLiteral("/run"));
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), root() + QStringLiteral("/xdg")); // machine-wide store
        env.insert(QStringLiteral("XDG_DATA_HOME"), root() + QStringLiteral("/data"));
        // no server manager: the lock file decides
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   QStringLiteral("unix:path=") + root() + QStringLiteral("/no-bus"));
        return env;
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

    RunResult run(const QString& exe, const QStringList& args)
    {
        QProcess p;
        p.setProcessEnvironment(environment());
        p.setWorkingDirectory(root());
        p.start(exe, args);
        EXPECT_TRUE(p.waitForFinished(60000));
        RunResult r;
        r.exitCode = p.exitCode();
        r.stdErr = QString::fromLocal8Bit(p.readAllStandardError());
        return r;
    }

    RunResult runOnce(const QStringList& extra = {})
    {
        const QString exe = installExecutable();
        QStringList args{configPath(), QStringLiteral("--headless"), QStringLiteral("--once")};
        args << extra;
        return run(exe, args);
    }

    void initDatabase()
    {
        const RunResult r = run(QStringLiteral(VOV_SERVER_EXE), {QStringLiteral("--init-db"), client()});
        ASSERT_EQ(r.exitCode, 0) << r.stdErr.toStdString();
    }

    qlonglong count(const QString& sql)
    {
        const QString name = QUuid::createUuid().toString();
        qlonglong n = -1;
        {
            QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            d.setDatabaseName(client() + QStringLiteral("/prog.mdb"));
            if (d.open()) {
                QSqlQuery q(d);
                if (q.exec(sql) && q.next())
                    n = q.value(0).toLongLong();
            }
            d.close();
        }
        QSqlDatabase::removeDatabase(name);
        return n;
    }

    QString settingsValue(const QString& key)
    {
        QSettings s(settingsFile(), QSettings::IniFormat);
        return s.value(QStringLiteral("Settings/") + key).toString();
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(EndToEnd, MissingConfigurationIsReportedAndWrittenFromTheFields)
{
    // No argument: the configuration beside the (copied) executable is used.
    const QString exe = installExecutable();
    const RunResult r = run(exe, {QStringLiteral("--headless"), QStringLiteral("--once")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral("ZEzad Read Configdatei : "))) << r.stdErr.toStdString();
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral(": Start Server")));
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
    QProcessEnvironment env = environment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root() + QStringLiteral("/run2"));
    QDir(root()).mkpath(QStringLiteral("run2"));
    QFile::setPermissions(root() + QStringLiteral("/run2"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    first.setProcessEnvironment(env);
    first.setReadChannel(QProcess::StandardError);
    first.start(installExecutable(), {configPath(), QStringLiteral("--headless")});
    ASSERT_TRUE(first.waitForStarted());
    QByteArray started;
    while (!started.contains(": Start Server") && first.waitForReadyRead(10000))
        started += first.readAllStandardError();
    ASSERT_TRUE(started.contains(": Start Server")) << started.constData();

    QSettings(settingsFile(), QSettings::IniFormat).setValue(QStringLiteral("Settings/ProdServerAktiv"), "1");
    writeJob(QStringLiteral("A1.$tx.$er"), "old error copy");
    {
        QFile old(in() + QStringLiteral("/A1.$tx.$er"));
        ASSERT_TRUE(old.open(QIODevice::ReadWrite));
        old.setFileTime(QDateTime::currentDateTime().addDays(-8), QFileDevice::FileModificationTime);
    }
    const QMap<QString, QByteArray> before = snapshot();

    // The plant's lock: a different runtime directory does not help.
    RunResult r = runOnce();
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral("works on the job database in ") + client()))
        << r.stdErr.toStdString();
    EXPECT_FALSE(r.stdErr.contains(QStringLiteral(": Start Server"))) << r.stdErr.toStdString();
    EXPECT_EQ(snapshot(), before);

    // The runtime directory's lock, held by the first server too.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(10000));
    QLockFile held(root() + QStringLiteral("/run/Server VOV - Produktionsdaten.lock"));
    ASSERT_TRUE(held.tryLock(0));
    r = runOnce();
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_FALSE(r.stdErr.contains(QStringLiteral(": Start Server"))) << r.stdErr.toStdString();
    EXPECT_EQ(snapshot(), before);
}

TEST_F(EndToEnd, InitDbCreatesOnceAndRefusesAnExistingFile)
{
    initDatabase();
    const QByteArray before = readFileBytes(client() + QStringLiteral("/prog.mdb"));
    EXPECT_FALSE(before.isEmpty());
    const RunResult again = run(QStringLiteral(VOV_SERVER_EXE), {QStringLiteral("--init-db"), client()});
    EXPECT_NE(again.exitCode, 0);
    EXPECT_TRUE(again.stdErr.contains(QStringLiteral("exists"))) << again.stdErr.toStdString();
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
    const RunResult r = runOnce();
    EXPECT_EQ(r.exitCode, 0) << r.stdErr.toStdString();
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral(": Start Server"))) << r.stdErr.toStdString();
    EXPECT_EQ(settingsValue(QStringLiteral("ProdServerPfad")), root() + QStringLiteral("/In"));
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM LosNamen WHERE LosName='A1'")), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM Stabdaten WHERE LosName='A1'")), 1);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM Teiledaten WHERE LosName='A1'")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM Werkzeugdaten WHERE LosName='A1'")), 2);
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
    const RunResult r = runOnce({QStringLiteral("--answer-failed=cancel")});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral("Wrong ID: <Z>"))) << r.stdErr.toStdString();
    EXPECT_FALSE(QFile::exists(in() + QStringLiteral("/B7.$tx")));
    EXPECT_EQ(readFileBytes(in() + QStringLiteral("/B7.$tx.$er")), broken);
    const QByteArray last = readFileBytes(client() + QStringLiteral("/$TXerror.dat"));
    EXPECT_TRUE(last.startsWith("\"Job: B7.$tx\r\nLine: 1\r\nCol: 16\r\nWrong ID: <Z>")) << last.constData();
    const QByteArray log = readFileBytes(client() + QStringLiteral("/error.dat"));
    EXPECT_TRUE(log.contains(" ------------\r\nJob: B7.$tx\r\n")) << log.constData();
    // the job is deleted again: nothing half-written stays
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM LosNamen WHERE LosName='B7'")), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM Stabdaten WHERE LosName='B7'")), 0);
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
    const RunResult r = runOnce();
    EXPECT_EQ(r.exitCode, 0) << r.stdErr.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM Teiledaten WHERE LosName='J5'")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM Druckdaten WHERE LosName='J5'")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM StahlTeiledaten WHERE LosName='J5'")), 1);
    for (const char* name : {"J5.$tx", "J5.$et", "J5.$sx"}) {
        EXPECT_FALSE(QFile::exists(in() + QLatin1Char('/') + QLatin1String(name))) << name;
        EXPECT_TRUE(QFile::exists(server() + QStringLiteral("/prog.bak/") + QLatin1String(name))) << name;
    }
    EXPECT_EQ(settingsValue(QStringLiteral("ProdServerAktiv")), QStringLiteral("1"));
}

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
        p.setProcessEnvironment(environment());
        p.start(exe, {configPath(), QStringLiteral("--headless"), QStringLiteral("--once"),
                      QStringLiteral("--answer-failed=cancel")});
        ASSERT_TRUE(p.waitForStarted());
        finished = p.waitForFinished(delayMs);
        if (!finished) {
            ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
            p.waitForFinished();
            ++kills;
        } else if (p.exitCode() == 2) {
            // Killed before it wrote its process id, the last copy left an
            // empty lock that counts as held for two seconds: wait it out.
            finished = false;
            QThread::msleep(2100);
        }
        ASSERT_EQ(count(QStringLiteral("SELECT COUNT(*) FROM Stabdaten")) +
                      count(QStringLiteral("SELECT COUNT(*) FROM Teiledaten")) +
                      count(QStringLiteral("SELECT COUNT(*) FROM LosNamen")),
                  0)
            << "after " << delayMs << " ms";
        const bool waiting = QFile::exists(in() + QStringLiteral("/BIG.$tx"));
        const bool setAside = QFile::exists(in() + QStringLiteral("/BIG.$tx.$er"));
        ASSERT_TRUE(waiting != setAside) << "after " << delayMs << " ms";
        ASSERT_EQ(readFileBytes(in() + (waiting ? QStringLiteral("/BIG.$tx") : QStringLiteral("/BIG.$tx.$er"))), job);
    }
    EXPECT_TRUE(finished);
    EXPECT_GT(kills, 2);
    EXPECT_TRUE(QFile::exists(in() + QStringLiteral("/BIG.$tx.$er")));
}
