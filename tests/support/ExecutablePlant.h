#pragma once

// A temporary plant tree for running the built executables: Server (program
// and configuration), In, Client, Backup, Profil, and the private XDG
// folders (config, xdg, data, run) the process environment points at.
// PlantTree is one such tree (a test of several machines makes more);
// ExecutablePlant is the fixture with one.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

struct ProcessRun {
    int exitCode = -1;
    QString out;
    QString err;
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

    QString root() const { return m_dir.path(); }
    QString server() const { return root() + QStringLiteral("/Server"); }
    QString in() const { return root() + QStringLiteral("/In"); }
    QString client() const { return root() + QStringLiteral("/Client"); }
    QString configPath() const { return server() + QStringLiteral("/ServerQuirnel.zezad"); }

    // The configuration with the plant's folders, the scan interval and the
    // further lines given ("key",value pairs, one a line, LF or CR LF).
    void writeConfig(int refreshMs, QByteArray more = {})
    {
        writeFile(configPath(), "\"ServerPath\",\"~apppath~\\In\"\r\n\"ClientPath\",\"~apppath~\\Client\"\r\n"
                                "\"RefreshZyklus\",\"" +
                                    QByteArray::number(refreshMs) + "\"\r\n" +
                                    more.replace("\r\n", "\n").replace("\n", "\r\n"));
    }
    void writeJob(const QString& name, const QByteArray& content) { writeFile(in() + u'/' + name, content); }
    static void writeFile(const QString& path, const QByteArray& content)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    // The executable copied alone into the plant's Server folder.
    QString installExecutable() const
    {
        const QString target = server() + QStringLiteral("/serverquirnel");
        if (!QFile::exists(target)) {
            EXPECT_TRUE(QFile::copy(QStringLiteral(VOV_SERVER_EXE), target));
        }
        return target;
    }

    // The settings store, the lock and the registration go to the plant's own
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

    void start(QProcess& p, const QString& exe, const QStringList& args, const QProcessEnvironment& env) const
    {
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(root());
        p.start(exe, args);
        ASSERT_TRUE(p.waitForStarted());
    }
    ProcessRun run(const QString& exe, const QStringList& args, const QProcessEnvironment& env) const
    {
        QProcess p;
        start(p, exe, args, env);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardOutput()),
                QString::fromLocal8Bit(p.readAllStandardError())};
    }
    ProcessRun run(const QStringList& args) const { return run(installExecutable(), args, environment()); }

    void initDatabase() const
    {
        const ProcessRun r = run({QStringLiteral("--init-db"), client()});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();
    }

private:
    QTemporaryDir m_dir;
};

class ExecutablePlant : public ::testing::Test, public PlantTree {};
