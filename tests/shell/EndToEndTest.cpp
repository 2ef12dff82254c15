// Runs the built executable headless on temporary plant trees and checks
// what it leaves behind: standard error (the error box), the settings store
// file, the configuration file, the job database, backups and error copies.
#include "ExecutablePlant.h"
#include "platform/ProcessLock.h"

#include <QSettings>
#include <QSysInfo>

namespace {

class EndToEnd : public ExecutablePlant {
protected:
    QSettings settings() const { return QSettings(root() + kSettingsFile, QSettings::IniFormat); }
    const QString kSettingsFile = QStringLiteral("/config/Lorvane-Application/Server VOV - Produktionsdaten.conf");

    void resetToSamples(int jobLoadMode)
    {
        for (const char* d : {"In", "Client", "Server/prog.bak"})
            QDir(root() + u'/' + QLatin1String(d)).removeRecursively();
        for (const char* d : {"In", "Client"})
            QDir(root()).mkpath(QLatin1String(d));
        deliverSamples(jobLoadMode);
        initDatabase();
    }
    // Rows per table, the backups and the files still waiting.
    QString outcome() const
    {
        QString s;
        for (const char* t : {"LosNamen", "Stabdaten", "Teiledaten", "Werkzeugdaten", "Druckdaten", "StahlTeiledaten"})
            s += QString::number(count(t)) + u' ';
        return s + backedUp().join(u',') + u'|' + waiting().join(u',');
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
            ASSERT_TRUE(copy.open(QIODevice::ReadWrite) &&
                        copy.setFileTime(QFileInfo(bak + name).lastModified(), QFileDevice::FileModificationTime));
        }
    }
};

// A refused copy ends before ": Start Server" and changes nothing: not the
// release flag, the configuration file, the server directory (an old error
// copy it would purge, a job it would read) or the logs. Refused by the lock
// of its runtime directory, and by the plant's own lock when a server started
// with another runtime directory works on the same plant.
TEST_F(EndToEnd, SecondCopyEndsBeforeStartingAndChangesNothing)
{
    writeSampleConfig(0);
    initDatabase();
    Running& first =
        start(installExecutable(), {configPath(), QStringLiteral("--headless")}, environment(QStringLiteral("run2")));
    ASSERT_TRUE(first.waitForError(QStringLiteral(": Start Server"))) << first.errorBox().toStdString();
    settings().setValue(QStringLiteral("Settings/ProdServerAktiv"), "1");
    writeJob(QStringLiteral("A1.$tx.$er"), "old error copy");
    QFile old(in() + QStringLiteral("/A1.$tx.$er"));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite) &&
                old.setFileTime(QDateTime::currentDateTime().addDays(-8), QFileDevice::FileModificationTime));
    const QMap<QString, QByteArray> before = snapshot();
    const QString byPlantLock = QStringLiteral("Another server (process %1 on %2) works on the job database in %3")
                                    .arg(first.processId())
                                    .arg(QSysInfo::machineHostName(), client());
    const QString byRuntimeLock = QStringLiteral("is running already (process %1 on ").arg(::getpid());
    ProcessLock held(root() + QStringLiteral("/run/Server VOV - Produktionsdaten.lock"));
    for (const QString& refusal : {byPlantLock, byRuntimeLock}) {
        if (refusal == byRuntimeLock) { // the runtime directory's lock, held by another process
            first.end(SIGKILL);
            ASSERT_EQ(held.tryLock(), ProcessLock::Result::Taken);
        }
        const ProcessRun r = runOnce();
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_TRUE(r.err.contains(refusal)) << r.err.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral(": Start Server"))) << r.err.toStdString();
        EXPECT_EQ(snapshot(), before);
    }
    // The killed server's plant lock keeps nobody out, not even for a moment.
    // Without arguments the configuration beside the executable is used; the
    // server built without the window needs no display: a command line meant
    // for the window gets one line saying so and runs as --headless.
    held.unlock();
    const ProcessRun r = run(installExecutable(), {QStringLiteral("--once")}, withoutDisplay());
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_EQ(r.err.count(QStringLiteral("no window")), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral(": Start Server"))) << r.err.toStdString();
}

// The sample plant's jobs imported with their rows; then killed with the
// real server at its N-th rename (the settings store's writes, then the
// moves of a job's files after its commit, then the release flag), N = 1,
// 2, ... until a run gets through. In job mode, where a kill fell between
// two moves of a job, the planning system delivers the files already moved
// again, unchanged (in separate mode each file's move is its own end, and
// a file delivered again after it is a new delivery). The runs after every
// kill end as if there had been none: every file once in prog.bak, every
// job complete, no file taken twice.
class SamplePlant : public EndToEnd, public ::testing::WithParamInterface<int> {};

TEST_P(SamplePlant, ImportsItsRowsAndTheRunsAfterAKillAtAnyRenameEndAsIfThereHadBeenNone)
{
    resetToSamples(GetParam());
    drain();
    const QString expected = outcome();
    EXPECT_EQ(expected, QStringLiteral("2 4 12 12 12 11 ") + sampleFiles().join(u',') + u'|');
    EXPECT_EQ(settings().value(QStringLiteral("Settings/ProdServerAktiv")).toString(), QStringLiteral("1"));
    // The paths are taken from ~apppath~ (the Server folder's parent) and
    // published; each file is kept as it came in prog.bak and the backup path.
    EXPECT_EQ(settings().value(QStringLiteral("Settings/ProdServerPfad")).toString(), in());
    for (const QString& name : sampleFiles()) {
        const QByteArray delivered = readFileBytes(QStringLiteral(VOV_EXAMPLES_DIR "/In/") + name);
        EXPECT_EQ(readFileBytes(server() + QStringLiteral("/prog.bak/") + name), delivered) << name.toStdString();
        EXPECT_EQ(readFileBytes(root() + QStringLiteral("/Backup/") + name), delivered) << name.toStdString();
    }
    // --init-db leaves an existing job database alone.
    QByteArray database = readFileBytes(jobDatabase());
    const ProcessRun again = run({QStringLiteral("--init-db"), client()});
    EXPECT_NE(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains(QStringLiteral("exists"))) << again.err.toStdString();
    EXPECT_EQ(readFileBytes(jobDatabase()), database);
    // The whole job database is checked at the first cycle only after a server
    // that did not stop in order: damage past the header goes unseen here.
    for (qsizetype i = 4096; i < database.size(); i += 7)
        database[i] = char(0x5a);
    writeFile(jobDatabase(), database);
    const ProcessRun unchecked = runOnce();
    EXPECT_FALSE(unchecked.err.contains(QStringLiteral("is damaged"))) << unchecked.err.toStdString();
    // Without the marker of an orderly stop (as after a kill) it is checked, and the damage is said.
    ASSERT_TRUE(QFile::remove(client() + QStringLiteral("/prog.mdb.clean-stop")));
    const ProcessRun checked = runOnce();
    EXPECT_EQ(checked.err.count(QStringLiteral("is damaged")), 1) << checked.err.toStdString();
    if (QProcess::execute(QStringLiteral("strace"),
                          {QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("true")}) != 0)
        GTEST_SKIP() << "strace is not installed or may not trace here";

    int kills = 0;
    for (int n = 1; n < 40; ++n) {
        resetToSamples(GetParam());
        const ProcessRun killed =
            run(QStringLiteral("strace"),
                {QStringLiteral("-f"), QStringLiteral("-o"), QStringLiteral("/dev/null"), QStringLiteral("-e"),
                 QStringLiteral("inject=rename,renameat,renameat2:signal=SIGKILL:when=%1").arg(n), installExecutable(),
                 configPath(), QStringLiteral("--headless"), QStringLiteral("--once")},
                environment());
        if (killed.exitCode == 0)
            break;
        ++kills;
        if (GetParam() == 1)
            redeliverHalfMovedJobs();
        drain();
        ASSERT_EQ(outcome().toStdString(), expected.toStdString()) << "killed at rename " << n;
        EXPECT_EQ(queryValue(jobDatabase(), QStringLiteral("SELECT count(*) FROM (SELECT FileName FROM ImportLedger "
                                                           "GROUP BY FileName HAVING count(*) > 1)"))
                      .toInt(),
                  0)
            << "a file was taken twice after the kill at rename " << n;
    }
    EXPECT_GT(kills, 3);
}

INSTANTIATE_TEST_SUITE_P(SeparateAndJobMode, SamplePlant, ::testing::Values(0, 1));

} // namespace
