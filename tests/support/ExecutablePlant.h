#pragma once

// Running the built executables (server, manager, a session bus) on a
// temporary plant tree: Server, In, Client, Backup, Profil, and the private
// XDG folders the process environment points at. ExecutablePlant is the
// fixture with one tree. Every process a tree starts is killed with it.

#include "TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

struct ProcessRun {
    int exitCode = -1; // -1 also for a crash
    QString out;
    QString err;
};

// Turns the event loop until the condition holds or the time is up.
inline bool waitUntil(const std::function<bool()>& condition, int ms = 20000, int pollMs = 10)
{
    for (QDeadlineTimer deadline(ms); !condition(); QThread::msleep(pollMs)) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, pollMs);
    }
    return true;
}

// A started executable; its standard error (the headless error box) is
// gathered as it comes.
class Running : public QProcess {
public:
    QString errorBox() { return m_err += QString::fromLocal8Bit(readAllStandardError()); }
    bool waitForError(const QString& text, int ms = 20000)
    {
        return waitUntil([&] { return errorBox().contains(text); }, ms);
    }
    bool signal(int sig) { return ::kill(pid_t(processId()), sig) == 0; }
    // Sends the signal (0: none) and waits for the end.
    ProcessRun end(int sig = SIGTERM, int ms = 30000)
    {
        if (sig && state() != NotRunning)
            signal(sig);
        EXPECT_TRUE(state() == NotRunning || waitForFinished(ms));
        return {exitStatus() == NormalExit ? exitCode() : -1, QString::fromLocal8Bit(readAllStandardOutput()),
                errorBox()};
    }

private:
    QString m_err;
};

// A datagram socket that stands in for the service manager (NOTIFY_SOCKET).
class NotifySocket {
public:
    explicit NotifySocket(const QString& path) : path(path)
    {
        sockaddr_un addr{.sun_family = AF_UNIX, .sun_path = {}};
        std::strncpy(addr.sun_path, path.toLocal8Bit().constData(), sizeof(addr.sun_path) - 1);
        EXPECT_EQ(::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    }
    ~NotifySocket() { ::close(m_fd); }

    // The messages so far, waiting up to ms for one containing until.
    QStringList messages(int ms = 0, const char* until = nullptr)
    {
        waitUntil(
            [&] {
                char buf[4096];
                for (ssize_t n; (n = ::recv(m_fd, buf, sizeof(buf), MSG_DONTWAIT)) > 0;)
                    received << QString::fromUtf8(buf, n);
                return !until || received.join(u'|').contains(QLatin1String(until));
            },
            ms, 20);
        return received;
    }

    const QString path;
    QStringList received;

private:
    int m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
};

class PlantTree {
public:
    PlantTree()
    {
        for (const char* d : {"Server", "In", "Client", "Backup", "Profil", "config", "xdg", "run", "run2"})
            QDir(root()).mkpath(QLatin1String(d));
        for (const char* d : {"/run", "/run2"})
            QFile::setPermissions(root() + QLatin1String(d),
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }
    ~PlantTree()
    {
        for (auto it = m_children.rbegin(); it != m_children.rend(); ++it) {
            (*it)->kill();
            (*it)->waitForFinished();
        }
    }

    QString root() const { return m_dir.path(); }
    QString server() const { return root() + QStringLiteral("/Server"); }
    QString in() const { return root() + QStringLiteral("/In"); }
    QString client() const { return root() + QStringLiteral("/Client"); }
    QString configPath() const { return server() + QStringLiteral("/ServerQuirnel.zezad"); }
    QString jobDatabase() const { return client() + QStringLiteral("/prog.mdb"); }

    // The plant's folders, the scan interval and further "key",value lines.
    void writeConfig(int refreshMs, QByteArray more = {})
    {
        writeFile(configPath(), "\"ServerPath\",\"~apppath~\\In\"\r\n\"ClientPath\",\"~apppath~\\Client\"\r\n"
                                "\"RefreshZyklus\",\"" +
                                    QByteArray::number(refreshMs) + "\"\r\n" +
                                    more.replace("\r\n", "\n").replace("\n", "\r\n"));
    }
    // The sample plant's configuration (job mode 1, separate 0).
    void writeSampleConfig(int jobLoadMode, int refreshMs = 1500)
    {
        writeConfig(refreshMs, "\"BackupPath\",\"~apppath~\\Backup\"\n\"AutoFreigabe\",\" 1\"\n"
                               "\"Extension\",\"$tx\"\n\"ExtensionEtikett\",\"$et\"\n"
                               "\"ExtensionStahl\",\"$sx\"\n\"Printertyp\",\" 4\"\n\"GenLoadID\",1\n"
                               "\"JobLoadMode\"," +
                                   QByteArray::number(jobLoadMode) + "\n");
    }
    void writeJob(const QString& name, const QByteArray& content) { writeFile(in() + u'/' + name, content); }
    static void writeFile(const QString& path, const QByteArray& content)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }
    QStringList waiting() const { return QDir(in()).entryList(QDir::Files); }
    QStringList backedUp() const { return QDir(server() + QStringLiteral("/prog.bak")).entryList(QDir::Files); }

    // Every file of the tree with its bytes and modification time; locks, the
    // published paths and the copied executable left out.
    QMap<QString, QByteArray> snapshot() const
    {
        QMap<QString, QByteArray> files;
        for (QDirIterator it(root(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories); it.hasNext();) {
            const QString path = it.next();
            if (path.contains(QStringLiteral("lock")) || path.contains(QStringLiteral("/xdg/")) ||
                path.endsWith(QStringLiteral("/Server/serverquirnel")))
                continue;
            files.insert(path, readFileBytes(path) + '@' +
                                   QByteArray::number(QFileInfo(path).lastModified().toMSecsSinceEpoch()));
        }
        return files;
    }
    // The executable copied alone into the plant's Server folder.
    QString installExecutable() const
    {
        const QString target = server() + QStringLiteral("/serverquirnel");
        EXPECT_TRUE(QFile::exists(target) || QFile::copy(QStringLiteral(VOV_SERVER_EXE), target));
        return target;
    }

    // The settings store, the lock and the registration in the plant's own
    // folders; no session bus unless one is given.
    QProcessEnvironment environment(const QString& runDir = QStringLiteral("run"), const QString& bus = {}) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root() + u'/' + runDir);
        env.insert(QStringLiteral("XDG_CONFIG_DIRS"), root() + QStringLiteral("/xdg"));
        env.insert(QStringLiteral("XDG_DATA_HOME"), root() + QStringLiteral("/data"));
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                   bus.isEmpty() ? QStringLiteral("unix:path=") + root() + QStringLiteral("/no-bus") : bus);
        env.remove(QStringLiteral("NOTIFY_SOCKET"));
        env.remove(QStringLiteral("WATCHDOG_USEC"));
        return env;
    }

    // No display; the given platform plugin, or none.
    QProcessEnvironment withoutDisplay(const char* platform = nullptr) const
    {
        QProcessEnvironment env = environment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        if (platform)
            env.insert(QStringLiteral("QT_QPA_PLATFORM"), QLatin1String(platform));
        return env;
    }

    Running& start(const QString& exe, const QStringList& args, const QProcessEnvironment& env)
    {
        Running& p = *m_children.emplace_back(std::make_unique<Running>());
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(root());
        p.start(exe, args);
        EXPECT_TRUE(p.waitForStarted()) << exe.toStdString();
        return p;
    }
    ProcessRun run(const QString& exe, const QStringList& args, const QProcessEnvironment& env)
    {
        return start(exe, args, env).end(0, 60000);
    }
    ProcessRun run(const QStringList& args) { return run(installExecutable(), args, environment()); }
    ProcessRun runOnce(const QStringList& extra = {})
    {
        return run(QStringList{configPath(), QStringLiteral("--headless"), QStringLiteral("--once")} + extra);
    }
    // Single cycles until the server directory is empty.
    void drain(const QStringList& extra = {})
    {
        for (int run = 0; run < 8 && !waiting().isEmpty(); ++run) {
            const ProcessRun r = runOnce(extra);
            ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
        }
        ASSERT_EQ(waiting(), QStringList());
    }

    void initDatabase()
    {
        const ProcessRun r = run({QStringLiteral("--init-db"), client()});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }
    // Rows of a table of prog.mdb.
    qlonglong count(const char* table) const
    {
        return queryValue(jobDatabase(), QStringLiteral("SELECT COUNT(*) FROM ") + QLatin1String(table)).toLongLong();
    }

    static QStringList sampleFiles() { return QDir(QStringLiteral(VOV_EXAMPLES_DIR "/In")).entryList(QDir::Files); }
    // The sample plant's configuration and its jobs.
    void deliverSamples(int jobLoadMode, int refreshMs = 1500)
    {
        writeSampleConfig(jobLoadMode, refreshMs);
        for (const QString& name : sampleFiles())
            writeJob(name, readFileBytes(QStringLiteral(VOV_EXAMPLES_DIR "/In/") + name));
    }

private:
    QTemporaryDir m_dir;
    std::vector<std::unique_ptr<Running>> m_children;
};

class ExecutablePlant : public ::testing::Test, public PlantTree {};
