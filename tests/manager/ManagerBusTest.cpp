// The real server manager and a real server (headless) on a private session
// bus started by the fixture: registration, single instance through the
// manager, start and stop, and a client without a bus.
#include "ExecutablePlant.h"
#include "ManagerBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QStandardPaths>

namespace {

const QString kTitle = QStringLiteral("VOV - Produktionsdaten");

class ManagerBus : public ExecutablePlant {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty())
            GTEST_SKIP() << "dbus-daemon is not installed";
        writeConfig(1100);
        m_address = startSessionBus(QStringLiteral(VOV_TEST_DATA_DIR "/dbus/session.conf"));
        ASSERT_FALSE(m_address.isEmpty());
        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, root()));
        ASSERT_TRUE(m_bus->isConnected()) << m_address.toStdString();
    }
    void TearDown() override
    {
        if (m_bus)
            QDBusConnection::disconnectFromBus(root());
    }

    // A server (the built one, not a copy) on the test's bus.
    Running& server(const QString& runDir)
    {
        return start(QStringLiteral(VOV_SERVER_EXE), {configPath(), QStringLiteral("--headless")},
                     environment(runDir, m_address));
    }
    ProcessRun manager(const QStringList& args, const QString& bus = {})
    {
        return run(QStringLiteral(VOV_MANAGER_EXE), args,
                   environment(QStringLiteral("run"), bus.isEmpty() ? m_address : bus));
    }

    QString m_address;
    std::unique_ptr<QDBusConnection> m_bus;
};

TEST_F(ManagerBus, ManagedServerIsListedKeptSingleAndObeysStartAndStop)
{
    // Without a bus the client says so with exit code 2.
    const ProcessRun noBus =
        manager({QStringLiteral("list")}, QStringLiteral("unix:path=") + root() + "/no-such-socket");
    EXPECT_EQ(noBus.exitCode, 2);
    EXPECT_EQ(noBus.err.count(QLatin1Char('\n')), 1) << noBus.err.toStdString();

    start(QStringLiteral(VOV_MANAGER_EXE), {QStringLiteral("serve")}, environment(QStringLiteral("run"), m_address));
    ASSERT_TRUE(
        waitUntil([&] { return m_bus->interface()->isServiceRegistered(managerbus::service()).value(); }, 5000));
    Running& server = this->server(QStringLiteral("run"));
    ASSERT_TRUE(server.waitForError(QStringLiteral(": Start Server"), 5000)) << server.errorBox().toStdString();

    // list: title, client path (the configuration file), the server's bus name
    const ProcessRun list = manager({QStringLiteral("list")});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    const QStringList fields = list.out.trimmed().split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 3) << list.out.toStdString();
    EXPECT_EQ(fields.at(0), kTitle);
    EXPECT_EQ(fields.at(1), configPath());
    EXPECT_TRUE(fields.at(2).startsWith(QLatin1Char(':'))) << fields.at(2).toStdString();
    EXPECT_EQ(list.out.count(QLatin1Char('\n')), 1);

    // A second server with the same title but its own runtime directory (it
    // cannot see the first one's lock file) ends before starting.
    const ProcessRun second = this->server(QStringLiteral("run2")).end(0, 10000);
    EXPECT_EQ(second.exitCode, 2);
    EXPECT_FALSE(second.err.contains(QStringLiteral(": Start Server"))) << second.err.toStdString();

    // start on a headless server: a line in the error box
    EXPECT_EQ(manager({QStringLiteral("start"), kTitle}).exitCode, 0);
    EXPECT_TRUE(server.waitForError(QStringLiteral("serverStart"), 5000));

    // stop ends the server in order with exit code 0; the title leaves the list
    EXPECT_EQ(manager({QStringLiteral("stop"), kTitle}).exitCode, 0);
    EXPECT_EQ(server.end(0, 10000).exitCode, 0);
    const ProcessRun after = manager({QStringLiteral("list")});
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_TRUE(after.out.isEmpty()) << after.out.toStdString();
    const ProcessRun unknown = manager({QStringLiteral("stop"), kTitle});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(kTitle)) << unknown.err.toStdString();
}

} // namespace
