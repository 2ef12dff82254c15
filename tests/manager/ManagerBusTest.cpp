// The real server manager and a real server (headless) on a private session
// bus the test starts: registration, start and stop through the manager,
// and a client without a manager or a bus.
#include "ExecutablePlant.h"

#include <QRegularExpression>
#include <QStandardPaths>

namespace {

const QString kTitle = QStringLiteral("VOV - Produktionsdaten");

using ManagerBus = ExecutablePlant;

TEST_F(ManagerBus, ManagedServerIsListedAndObeysStartAndStop)
{
    if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
        GTEST_SKIP() << "dbus-daemon is not installed";
    writeConfig(1100);
    Running& daemon = start(QStringLiteral("dbus-daemon"),
                            {QStringLiteral("--config-file=" VOV_TEST_DATA_DIR "/dbus/session.conf"),
                             QStringLiteral("--nofork"), QStringLiteral("--print-address=1")},
                            environment());
    ASSERT_TRUE(waitUntil([&] { return daemon.canReadLine(); }, 5000));
    const QString bus = QString::fromLocal8Bit(daemon.readLine()).trimmed();
    const auto manager = [&](const QStringList& args, const QString& address) {
        return run(QStringLiteral(VOV_MANAGER_EXE), args, environment(QStringLiteral("run"), address));
    };

    // Without a manager on the bus, and without a bus, the client says so
    // with exit code 2.
    for (const QString& address : {bus, QStringLiteral("unix:path=") + root() + QStringLiteral("/no-such-socket")}) {
        const ProcessRun none = manager({QStringLiteral("list")}, address);
        EXPECT_EQ(none.exitCode, 2);
        EXPECT_EQ(none.err.count(QLatin1Char('\n')), 1) << none.err.toStdString();
    }
    start(QStringLiteral(VOV_MANAGER_EXE), {QStringLiteral("serve")}, environment(QStringLiteral("run"), bus));
    ASSERT_TRUE(waitUntil([&] { return manager({QStringLiteral("list")}, bus).exitCode == 0; }, 5000));
    // A server (the built one, not a copy) on the test's bus.
    Running& first = start(QStringLiteral(VOV_SERVER_EXE), {configPath(), QStringLiteral("--headless")},
                           environment(QStringLiteral("run"), bus));
    ASSERT_TRUE(first.waitForError(QStringLiteral(": Start Server"), 5000)) << first.errorBox().toStdString();

    // list: title, client path (the configuration file), the server's bus name
    const ProcessRun list = manager({QStringLiteral("list")}, bus);
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    const QRegularExpression line(u'^' + QRegularExpression::escape(kTitle + u'\t' + configPath()) +
                                  QStringLiteral("\t:[^\t\n]+\n\\z"));
    EXPECT_TRUE(line.match(list.out).hasMatch()) << list.out.toStdString();

    // start on a headless server: a line in the error box
    EXPECT_EQ(manager({QStringLiteral("start"), kTitle}, bus).exitCode, 0);
    EXPECT_TRUE(first.waitForError(QStringLiteral("serverStart"), 5000));

    // stop ends the server in order with exit code 0; the title leaves the list
    EXPECT_EQ(manager({QStringLiteral("stop"), kTitle}, bus).exitCode, 0);
    EXPECT_EQ(first.end(0, 10000).exitCode, 0);
    const ProcessRun after = manager({QStringLiteral("list")}, bus);
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_TRUE(after.out.isEmpty()) << after.out.toStdString();
    const ProcessRun unknown = manager({QStringLiteral("stop"), kTitle}, bus);
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(kTitle)) << unknown.err.toStdString();
}

} // namespace
