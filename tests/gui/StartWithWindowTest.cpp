// Starting with the window: which command lines run headless, when a display
// is there, and the executable run with its window on the offscreen platform.
#include "TestSupport.h"
#include "gui/WindowFrontend.h"
#include "shell/CommandLine.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(StartMode, OnlyTheServerItselfOpensAWindow)
{
    const std::pair<QStringList, bool> cases[] = {
        {{}, false},
        {{QStringLiteral("/plant/Server/Line1.zezad"), QStringLiteral("--once")}, false},
        {{QStringLiteral("--headless")}, true},
        {{QStringLiteral("--init-db"), QStringLiteral("/plant/Client")}, true},
        {{QStringLiteral("/REGSERVER")}, true},
        {{QStringLiteral("-regserver"), QStringLiteral("a.zezad")}, true},
    };
    for (const auto& [args, headless] : cases)
        EXPECT_EQ(runsHeadless(parseLaunchOptions(args)), headless) << args.join(u' ').toStdString();
}

TEST(StartMode, AWindowNeedsADisplayUnlessThePlatformDrawsWithoutOne)
{
    // QT_QPA_PLATFORM, DISPLAY, WAYLAND_DISPLAY -> a window can be opened
    const std::tuple<const char*, const char*, const char*, bool> cases[] = {
        {"", "", "", false},
        {"", ":0", "", true},
        {"", "", "wayland-0", true},
        {"xcb", "", "", false},
        {"wayland", "", "", false},
        {"offscreen", "", "", true},
        {"xcb;offscreen", "", "", true},
        {"vnc:size=800x600", "", "", true},
    };
    for (const auto& [platform, display, wayland, available] : cases)
        EXPECT_EQ(displayAvailable(QLatin1String(platform), QLatin1String(display), QLatin1String(wayland)), available)
            << platform << "|" << display << "|" << wayland;
}

struct ProcessRun {
    int exitCode = -1;
    QString stdErr;
};

class WindowedExecutable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        for (const char* d : {"Server", "In", "Client", "config", "run"})
            QDir(root()).mkpath(QLatin1String(d));
        QFile::setPermissions(root() + QStringLiteral("/run"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QFile f(root() + QStringLiteral("/Server/ServerQuirnel.zezad"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("\"ServerPath\",\"~apppath~\\In\"\r\n\"ClientPath\",\"~apppath~\\Client\"\r\n"
                "\"RefreshZyklus\",\"1500\"\r\n\"Extension\",\"$tx\"\r\n\"JobLoadMode\",0\r\n");
    }
    QString root() const { return m_dir.path(); }

    ProcessRun run(const QStringList& args, const QMap<QString, QString>& setEnv, const QStringList& unsetEnv = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), root() + QStringLiteral("/config"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), root() + QStringLiteral("/run"));
        for (auto it = setEnv.begin(); it != setEnv.end(); ++it)
            env.insert(it.key(), it.value());
        for (const QString& name : unsetEnv)
            env.remove(name);
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(root());
        p.start(QStringLiteral(VOV_SERVER_EXE), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        return {p.exitCode(), QString::fromLocal8Bit(p.readAllStandardError())};
    }

private:
    QTemporaryDir m_dir;
};

TEST_F(WindowedExecutable, WithoutADisplayItSaysToUseHeadlessAndEnds)
{
    const ProcessRun r =
        run({root() + QStringLiteral("/Server/ServerQuirnel.zezad"), QStringLiteral("--once")}, {},
            {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("QT_QPA_PLATFORM")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.stdErr.count(u'\n'), 1) << r.stdErr.toStdString();
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral("--headless"))) << r.stdErr.toStdString();
    EXPECT_FALSE(r.stdErr.contains(QStringLiteral("Start Server")));
}

TEST_F(WindowedExecutable, ABrokenJobBecomesAnErrorCopyWithTheWindowOpen)
{
    ASSERT_EQ(run({QStringLiteral("--init-db"), root() + QStringLiteral("/Client")}, {}).exitCode, 0);
    const QByteArray broken = crlf({"KB 001L65000T12Z", "KTN0001L12350"});
    QFile job(root() + QStringLiteral("/In/B7.$tx"));
    ASSERT_TRUE(job.open(QIODevice::WriteOnly));
    job.write(broken);
    job.close();

    const ProcessRun r = run({root() + QStringLiteral("/Server/ServerQuirnel.zezad"), QStringLiteral("--once"),
                              QStringLiteral("--answer-failed=cancel")},
                             {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}});
    EXPECT_EQ(r.exitCode, 0) << r.stdErr.toStdString();
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral(": Start Server"))) << r.stdErr.toStdString();
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral("Wrong ID: <Z>"))) << r.stdErr.toStdString();
    EXPECT_TRUE(r.stdErr.contains(QStringLiteral("[question] $TX-VOV Server"))) << r.stdErr.toStdString();
    EXPECT_FALSE(QFile::exists(root() + QStringLiteral("/In/B7.$tx")));
    EXPECT_EQ(readFileBytes(root() + QStringLiteral("/In/B7.$tx.$er")), broken);
}

} // namespace
