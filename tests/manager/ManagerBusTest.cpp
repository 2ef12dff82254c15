// The real server manager and real servers (headless) on a private session
// bus started by the fixture: registration, single instance through the
// manager, start/stop/restart, a killed server, no manager, a manager that
// refuses the registration.
#include "ExecutablePlant.h"
#include "ManagerBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStandardPaths>
#include <QVariantMap>

namespace {

const QString kTitle = QStringLiteral("VOV - Produktionsdaten");

// A manager that lets every server in but refuses the registration itself;
// it records what the server handed over.
class RefusingManager : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quenmark.ServerManager")
public:
    QString title;
    QStringList names;
    QStringList methods;
    QString callbackPath;
    QVariantMap collection;
    int disConnects = 0;

public Q_SLOTS:
    int PrevInstance(const QString&) { return 0; }
    void Connect(const QString& t, const QStringList& n, const QStringList& m, const QDBusObjectPath& cb,
                 const QVariantMap& c)
    {
        title = t;
        names = n;
        methods = m;
        callbackPath = cb.path();
        collection = c;
        sendErrorReply(QStringLiteral("com.quenmark.ServerManager.Error.Refused"),
                       QStringLiteral("refused by the test"));
    }
    void disConnect() { ++disConnects; }
};

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

    // A server (the built one, not a copy) on the given bus, once started.
    Running& server(const QString& runDir = QStringLiteral("run"), const QString& bus = {})
    {
        return start(QStringLiteral(VOV_SERVER_EXE), {configPath(), QStringLiteral("--headless")},
                     environment(runDir, bus.isEmpty() ? m_address : bus));
    }
    Running& startedServer(const QString& runDir = QStringLiteral("run"), const QString& bus = {})
    {
        Running& s = server(runDir, bus);
        EXPECT_TRUE(s.waitForError(QStringLiteral(": Start Server"), 5000)) << s.errorBox().toStdString();
        return s;
    }
    Running& startManager()
    {
        Running& m = start(QStringLiteral(VOV_MANAGER_EXE), {QStringLiteral("serve")},
                           environment(QStringLiteral("run"), m_address));
        EXPECT_TRUE(
            waitUntil([&] { return m_bus->interface()->isServiceRegistered(managerbus::service()).value(); }, 5000));
        return m;
    }
    ProcessRun manager(const QStringList& args, const QString& bus = {})
    {
        return run(QStringLiteral(VOV_MANAGER_EXE), args,
                   environment(QStringLiteral("run"), bus.isEmpty() ? m_address : bus));
    }
    QString listed() { return manager({QStringLiteral("list")}).out; }

    QString m_address;
    std::unique_ptr<QDBusConnection> m_bus;
};

TEST_F(ManagerBus, ManagedServerIsListedKeptSingleAndObeysStartRestartStop)
{
    startManager();
    Running& server = startedServer();

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

    // restart changes nothing; the title may also come as separate words
    EXPECT_EQ(manager({QStringLiteral("restart"), QStringLiteral("VOV"), QStringLiteral("-"),
                       QStringLiteral("Produktionsdaten")})
                  .exitCode,
              0);
    QThread::msleep(200);
    EXPECT_FALSE(server.finished());
    EXPECT_EQ(listed(), list.out);

    // A client calling the callback object with wrong arguments gets an
    // error reply; the server runs on.
    QDBusMessage wrong = QDBusMessage::createMethodCall(fields.at(2), managerbus::serverCallBackPath(),
                                                        managerbus::callBackInterface(), QStringLiteral("serverStop"));
    wrong << 1 << QStringLiteral("x");
    EXPECT_EQ(m_bus->call(wrong).type(), QDBusMessage::ErrorMessage);
    QThread::msleep(200);
    EXPECT_FALSE(server.finished());

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

// A killed server frees its title within a second. Servers outlive their
// manager, and a new manager knows none of them.
TEST_F(ManagerBus, AKilledServerOrManagerLeavesNoTitleBehind)
{
    Running& manager1 = startManager();
    Running& killed = server();
    ASSERT_TRUE(waitUntil([&] { return listed().startsWith(kTitle); }, 5000));
    killed.end(SIGKILL, 5000);
    EXPECT_TRUE(waitUntil([&] { return listed().isEmpty(); }, 1000));

    Running& next = startedServer(QStringLiteral("run2"));
    EXPECT_TRUE(listed().startsWith(kTitle));
    manager1.end(SIGKILL, 5000);

    startManager();
    EXPECT_TRUE(listed().isEmpty());
    EXPECT_EQ(manager({QStringLiteral("stop"), kTitle}).exitCode, 1);
    EXPECT_FALSE(next.finished());
    // its unload still ends in order, the gone manager notwithstanding
    EXPECT_EQ(next.end(SIGTERM, 5000).exitCode, 0);
}

TEST_F(ManagerBus, WithoutManagerOrBusTheLockFileDecides)
{
    // A bus without a manager, and no bus at all: the clients say so with 2.
    const QString noBus = QStringLiteral("unix:path=") + root() + QStringLiteral("/no-such-socket");
    for (const QString& address : {m_address, noBus}) {
        SCOPED_TRACE(address.toStdString());
        const ProcessRun list = manager({QStringLiteral("list")}, address);
        EXPECT_EQ(list.exitCode, 2);
        EXPECT_EQ(list.err.count(QLatin1Char('\n')), 1) << list.err.toStdString();
        EXPECT_EQ(manager({QStringLiteral("stop"), kTitle}, address).exitCode, 2);

        // The first server runs on its lock; a second one in the same runtime
        // directory ends before starting.
        Running& first = startedServer(QStringLiteral("run"), address);
        const ProcessRun second = server(QStringLiteral("run"), address).end(0, 10000);
        EXPECT_EQ(second.exitCode, 2);
        EXPECT_FALSE(second.err.contains(QStringLiteral(": Start Server")));
        EXPECT_EQ(first.end(SIGTERM, 10000).exitCode, 0);
    }
}

TEST_F(ManagerBus, RefusedRegistrationIsReportedAndTheServerRuns)
{
    RefusingManager fake;
    ASSERT_TRUE(m_bus->registerObject(managerbus::path(), &fake, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(m_bus->registerService(managerbus::service()));

    Running& server = startedServer();
    EXPECT_TRUE(server.errorBox().contains(QStringLiteral(": Server manager: refused by the test")))
        << server.errorBox().toStdString();
    EXPECT_FALSE(server.finished());

    // what the server handed over
    EXPECT_EQ(fake.title, kTitle);
    EXPECT_EQ(fake.names, (QStringList{QStringLiteral("Start"), QStringLiteral("Stop"), QStringLiteral("Restart")}));
    EXPECT_EQ(fake.methods, (QStringList{QStringLiteral("serverStart"), QStringLiteral("serverStop"),
                                         QStringLiteral("serverRestart")}));
    EXPECT_EQ(fake.callbackPath, managerbus::serverCallBackPath());
    EXPECT_EQ(fake.collection.value(QStringLiteral("ClientClass")).toString(),
              QStringLiteral("projServerTamsik.clsCallBack"));
    EXPECT_EQ(fake.collection.value(QStringLiteral("ClientPath")).toString(), configPath());

    // unloading says disConnect
    server.terminate();
    EXPECT_TRUE(waitUntil([&] { return server.finished(); }, 10000));
    EXPECT_EQ(server.exitCode(), 0);
    EXPECT_EQ(fake.disConnects, 1);
}

} // namespace

#include "ManagerBusTest.moc"
