// The real server manager and real servers (headless) on a private session
// bus started by the fixture: registration, single instance through the
// manager, start/stop/restart, a killed server, no manager, a manager that
// refuses the registration.
#include "ExecutablePlant.h"
#include "ManagerBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>

namespace {

const QString kTitle = QStringLiteral("VOV - Produktionsdaten");

// Turns the event loop until the condition holds or the time is up.
bool waitFor(const std::function<bool()>& condition, int ms = 5000)
{
    QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

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
        m_daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=" VOV_TEST_DATA_DIR "/dbus/session.conf"),
                        QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        ASSERT_TRUE(m_daemon.waitForStarted());
        ASSERT_TRUE(waitFor([&] { return m_daemon.canReadLine(); }));
        m_address = QString::fromLocal8Bit(m_daemon.readLine()).trimmed();
        m_bus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(m_address, root()));
        ASSERT_TRUE(m_bus->isConnected()) << m_address.toStdString();
    }

    void TearDown() override
    {
        for (auto& p : m_children) {
            p->kill();
            p->waitForFinished();
        }
        if (m_bus)
            QDBusConnection::disconnectFromBus(root());
        m_daemon.kill();
        m_daemon.waitForFinished();
    }

    QProcess* spawn(const QString& exe, const QStringList& args, const QString& runDir = QStringLiteral("run"),
                    const QString& busAddress = {})
    {
        m_children.push_back(std::make_unique<QProcess>());
        QProcess* p = m_children.back().get();
        start(*p, exe, args, environment(runDir, busAddress.isEmpty() ? m_address : busAddress));
        return p;
    }

    QProcess* startServer(const QString& runDir = QStringLiteral("run"), const QString& busAddress = {})
    {
        return spawn(QStringLiteral(VOV_SERVER_EXE), {configPath(), QStringLiteral("--headless")}, runDir, busAddress);
    }

    void startManager()
    {
        spawn(QStringLiteral(VOV_MANAGER_EXE), {QStringLiteral("serve")});
        ASSERT_TRUE(waitFor([&] { return registered(managerbus::service()); }));
    }

    bool registered(const QString& name) const { return m_bus->interface()->isServiceRegistered(name).value(); }

    ProcessRun manager(const QStringList& args, const QString& busAddress = {})
    {
        return run(QStringLiteral(VOV_MANAGER_EXE), args,
                   environment(QStringLiteral("run"), busAddress.isEmpty() ? m_address : busAddress));
    }

    // The server's standard error so far (the headless error box).
    static QString errorBox(QProcess* server)
    {
        server->setProperty("seen", server->property("seen").toString() +
                                        QString::fromLocal8Bit(server->readAllStandardError()));
        return server->property("seen").toString();
    }

    static bool finished(QProcess* p) { return p->state() == QProcess::NotRunning; }

    QString m_address;
    std::unique_ptr<QDBusConnection> m_bus;

    std::vector<std::unique_ptr<QProcess>> m_children;

private:
    QProcess m_daemon;
};

TEST_F(ManagerBus, ManagedServerIsListedKeptSingleAndObeysStartRestartStop)
{
    startManager();
    QProcess* server = startServer();
    ASSERT_TRUE(waitFor([&] { return errorBox(server).contains(QStringLiteral(": Start Server")); }))
        << errorBox(server).toStdString();

    // list: title, client path (the configuration file), the server's bus name
    ProcessRun listed = manager({QStringLiteral("list")});
    ASSERT_EQ(listed.exitCode, 0) << listed.err.toStdString();
    const QStringList fields = listed.out.trimmed().split(QLatin1Char('\t'));
    ASSERT_EQ(fields.size(), 3) << listed.out.toStdString();
    EXPECT_EQ(fields.at(0), kTitle);
    EXPECT_EQ(fields.at(1), configPath());
    EXPECT_TRUE(fields.at(2).startsWith(QLatin1Char(':'))) << fields.at(2).toStdString();
    EXPECT_EQ(listed.out.count(QLatin1Char('\n')), 1);

    // A second server with the same title but its own runtime directory (it
    // cannot see the first one's lock file) ends before starting.
    QProcess* second = startServer(QStringLiteral("run2"));
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitCode(), 2);
    EXPECT_FALSE(errorBox(second).contains(QStringLiteral(": Start Server"))) << errorBox(second).toStdString();

    // start on a headless server: a line in the error box
    EXPECT_EQ(manager({QStringLiteral("start"), kTitle}).exitCode, 0);
    EXPECT_TRUE(waitFor([&] { return errorBox(server).contains(QStringLiteral("serverStart")); }));

    // restart changes nothing; the title may also come as separate words
    EXPECT_EQ(manager({QStringLiteral("restart"), QStringLiteral("VOV"), QStringLiteral("-"),
                       QStringLiteral("Produktionsdaten")})
                  .exitCode,
              0);
    QThread::msleep(200);
    EXPECT_FALSE(finished(server));
    EXPECT_EQ(manager({QStringLiteral("list")}).out, listed.out);

    // A client calling the callback object with wrong arguments gets an
    // error reply; the server runs on.
    QDBusMessage wrong = QDBusMessage::createMethodCall(fields.at(2), managerbus::serverCallBackPath(),
                                                        managerbus::callBackInterface(), QStringLiteral("serverStop"));
    wrong << 1 << QStringLiteral("x");
    EXPECT_EQ(m_bus->call(wrong).type(), QDBusMessage::ErrorMessage);
    QThread::msleep(200);
    EXPECT_FALSE(finished(server));

    // stop ends the server in order with exit code 0; the title leaves the list
    EXPECT_EQ(manager({QStringLiteral("stop"), kTitle}).exitCode, 0);
    ASSERT_TRUE(server->waitForFinished(10000));
    EXPECT_EQ(server->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(server->exitCode(), 0);
    ProcessRun after = manager({QStringLiteral("list")});
    EXPECT_EQ(after.exitCode, 0);
    EXPECT_TRUE(after.out.isEmpty()) << after.out.toStdString();
    ProcessRun unknown = manager({QStringLiteral("stop"), kTitle});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(kTitle)) << unknown.err.toStdString();
}

TEST_F(ManagerBus, KilledServerFreesItsTitleWithinASecond)
{
    startManager();
    QProcess* server = startServer();
    ASSERT_TRUE(waitFor([&] { return manager({QStringLiteral("list")}).out.startsWith(kTitle); }));
    ::kill(static_cast<pid_t>(server->processId()), SIGKILL);
    ASSERT_TRUE(server->waitForFinished(5000));
    EXPECT_TRUE(waitFor([&] { return manager({QStringLiteral("list")}).out.isEmpty(); }, 1000));

    QProcess* next = startServer(QStringLiteral("run2"));
    EXPECT_TRUE(waitFor([&] { return errorBox(next).contains(QStringLiteral(": Start Server")); }))
        << errorBox(next).toStdString();
    EXPECT_TRUE(manager({QStringLiteral("list")}).out.startsWith(kTitle));
}

TEST_F(ManagerBus, ServersOutliveTheirManagerAndANewManagerKnowsNoneOfThem)
{
    startManager();
    QProcess* manager1 = m_children.back().get();
    QProcess* server = startServer();
    ASSERT_TRUE(waitFor([&] { return manager({QStringLiteral("list")}).out.startsWith(kTitle); }));
    ::kill(static_cast<pid_t>(manager1->processId()), SIGKILL);
    ASSERT_TRUE(manager1->waitForFinished(5000));

    startManager();
    EXPECT_TRUE(manager({QStringLiteral("list")}).out.isEmpty());
    EXPECT_EQ(manager({QStringLiteral("stop"), kTitle}).exitCode, 1);
    EXPECT_FALSE(finished(server));
    // its unload still ends in order, the gone manager notwithstanding
    server->terminate();
    ASSERT_TRUE(server->waitForFinished(5000));
    EXPECT_EQ(server->exitCode(), 0);
}

TEST_F(ManagerBus, WithoutManagerOrBusTheLockFileDecides)
{
    // A bus without a manager, and no bus at all: the clients say so with 2.
    const QString noBus = QStringLiteral("unix:path=") + root() + QStringLiteral("/no-such-socket");
    for (const QString& address : {m_address, noBus}) {
        SCOPED_TRACE(address.toStdString());
        ProcessRun listed = manager({QStringLiteral("list")}, address);
        EXPECT_EQ(listed.exitCode, 2);
        EXPECT_EQ(listed.err.count(QLatin1Char('\n')), 1) << listed.err.toStdString();
        EXPECT_EQ(manager({QStringLiteral("stop"), kTitle}, address).exitCode, 2);

        // The first server runs on its lock; a second one in the same runtime
        // directory ends before starting.
        QProcess* first = startServer(QStringLiteral("run"), address);
        ASSERT_TRUE(waitFor([&] { return errorBox(first).contains(QStringLiteral(": Start Server")); }))
            << errorBox(first).toStdString();
        QProcess* second = startServer(QStringLiteral("run"), address);
        ASSERT_TRUE(second->waitForFinished(10000));
        EXPECT_EQ(second->exitCode(), 2);
        EXPECT_FALSE(errorBox(second).contains(QStringLiteral(": Start Server")));
        first->terminate();
        ASSERT_TRUE(first->waitForFinished(10000));
        EXPECT_EQ(first->exitCode(), 0);
    }
}

TEST_F(ManagerBus, RefusedRegistrationIsReportedAndTheServerRuns)
{
    RefusingManager fake;
    ASSERT_TRUE(m_bus->registerObject(managerbus::path(), &fake, QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(m_bus->registerService(managerbus::service()));

    QProcess* server = startServer();
    ASSERT_TRUE(waitFor([&] { return errorBox(server).contains(QStringLiteral(": Start Server")); }))
        << errorBox(server).toStdString();
    EXPECT_TRUE(errorBox(server).contains(QStringLiteral(": Server manager: refused by the test")))
        << errorBox(server).toStdString();
    EXPECT_FALSE(finished(server));

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
    server->terminate();
    EXPECT_TRUE(waitFor([&] { return finished(server); }, 10000));
    EXPECT_EQ(server->exitCode(), 0);
    EXPECT_EQ(fake.disConnects, 1);
}

} // namespace

#include "ManagerBusTest.moc"
