// Starting with the window: which command lines run headless, when a display
// is there, and the executable run with its window on the offscreen platform.
#include "ExecutablePlant.h"
#include "TestSupport.h"
#include "gui/WindowFrontend.h"
#include "shell/CommandLine.h"

#include <gtest/gtest.h>

#include <csignal>

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

class WindowedExecutable : public ExecutablePlant {
protected:
    void SetUp() override { writeConfig(1500, "\"Extension\",\"$tx\"\n\"JobLoadMode\",0\n"); }

    ProcessRun runWith(const QStringList& args, const QMap<QString, QString>& setEnv, const QStringList& unsetEnv = {})
    {
        QProcessEnvironment env = environment();
        for (auto it = setEnv.begin(); it != setEnv.end(); ++it)
            env.insert(it.key(), it.value());
        for (const QString& name : unsetEnv)
            env.remove(name);
        return run(QStringLiteral(VOV_SERVER_EXE), args, env);
    }
};

TEST_F(WindowedExecutable, WithoutADisplayItSaysToUseHeadlessAndEnds)
{
    const ProcessRun r =
        runWith({configPath(), QStringLiteral("--once")}, {},
                {QStringLiteral("DISPLAY"), QStringLiteral("WAYLAND_DISPLAY"), QStringLiteral("QT_QPA_PLATFORM")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err.count(u'\n'), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("--headless"))) << r.err.toStdString();
    EXPECT_FALSE(r.err.contains(QStringLiteral("Start Server")));
}

TEST_F(WindowedExecutable, ABrokenJobBecomesAnErrorCopyWithTheWindowOpen)
{
    initDatabase();
    const QByteArray broken = crlf({"KB 001L65000T12Z", "KTN0001L12350"});
    writeJob(QStringLiteral("B7.$tx"), broken);
    const ProcessRun r = runWith({configPath(), QStringLiteral("--once"), QStringLiteral("--answer-failed=cancel")},
                                 {{QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen")}});
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    // Once each, though the note is added below the start line in the box.
    EXPECT_EQ(r.err.count(QStringLiteral(": Start Server")), 1) << r.err.toStdString();
    EXPECT_EQ(r.err.count(QStringLiteral("No notification area")), 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("Wrong ID: <Z>"))) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("[question] $TX-VOV Server"))) << r.err.toStdString();
    EXPECT_FALSE(QFile::exists(root() + QStringLiteral("/In/B7.$tx")));
    EXPECT_EQ(readFileBytes(root() + QStringLiteral("/In/B7.$tx.$er")), broken);
}

// SIGTERM and SIGINT end the server with its window as they end it headless:
// between two cycles, with exit code 0.
TEST_F(WindowedExecutable, SigtermAndSigintEndIt)
{
    for (const int sig : {SIGTERM, SIGINT}) {
        QProcessEnvironment env = environment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess p;
        p.setReadChannel(QProcess::StandardError);
        start(p, QStringLiteral(VOV_SERVER_EXE), {configPath()}, env);
        QByteArray started;
        while (!started.contains(": Start Server") && p.waitForReadyRead(20000))
            started += p.readAllStandardError();
        ASSERT_TRUE(started.contains(": Start Server")) << started.constData();
        ASSERT_EQ(::kill(static_cast<pid_t>(p.processId()), sig), 0);
        ASSERT_TRUE(p.waitForFinished(5000)) << "still running after signal " << sig;
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
    }
}

} // namespace
