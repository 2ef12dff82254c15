#include "shell/ServerManagerLink.h"

#include "config/ServerContext.h"
#include "platform/Clock.h"
#include "platform/WindowControl.h"
#include "ManagerBus.h"

#include "callbackadaptor.h"
#include "servermanagerproxy.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusObjectPath>
#include <QThread>
#include <QTimer>

namespace {

// A hung manager must not hold the start for long.
constexpr int kManagerCallTimeoutMs = 10000;
// While a message box runs its own event loop, the stop waits this long
// between two looks.
constexpr int kStopRetryMs = 100;

// The class name the server has always registered with; the manager only
// keeps it.
const QString kClientClass = QStringLiteral("projServerTamsik.clsCallBack");

} // namespace

clsCallBack::clsCallBack(ServerContext& ctx, WindowControl& window, QObject* parent)
    : QObject(parent), m_ctx(ctx), m_window(window)
{
    new CallBackAdaptor(this);
}

void clsCallBack::serverStart()
{
    if (m_window.exists()) {
        m_window.showNormalAndRaise();
        return;
    }
    writeTotxtError(m_ctx, timeStamp(m_ctx.clock) + QStringLiteral(": serverStart: no window to show (headless)"));
}

void clsCallBack::serverStop()
{
    // The reply goes out when this returns; the end comes from the main
    // event loop, so a scan cycle is never cut short.
    m_stopRequested = true;
    QTimer::singleShot(0, this, &clsCallBack::exitWhenNoMessageBoxIsOpen);
}

void clsCallBack::serverRestart() {}

void clsCallBack::exitWhenNoMessageBoxIsOpen()
{
    // Inside an open message box the thread runs a nested event loop;
    // QCoreApplication::exit would end that loop too and take the box's
    // answer away from the importer. Wait until only the main loop runs.
    if (QThread::currentThread()->loopLevel() > 1) {
        QTimer::singleShot(kStopRetryMs, this, &clsCallBack::exitWhenNoMessageBoxIsOpen);
        return;
    }
    m_window.hide();
    QCoreApplication::exit(0);
}

ServerManagerLink::ServerManagerLink(ServerContext& ctx, WindowControl& window) : m_ctx(ctx), m_window(window) {}

ServerManagerLink::~ServerManagerLink()
{
    DisconnectServerManager();
}

int ServerManagerLink::ConnectServerManager(QString& title)
{
    if (title.isEmpty())
        return NoManager;
    QDBusConnection bus = QDBusConnection::sessionBus();
    // Only a running manager counts: asking for its name must not start one.
    if (!bus.isConnected() || bus.interface() == nullptr ||
        !bus.interface()->isServiceRegistered(managerbus::service()).value())
        return NoManager;

    ServerManagerProxy manager(managerbus::service(), managerbus::path(), bus);
    manager.setTimeout(kManagerCallTimeoutMs);
    QDBusPendingReply<int> previous = manager.PrevInstance(title);
    previous.waitForFinished();
    if (!previous.isError() && previous.value() > 0)
        return PrevInstance;

    if (!m_callBack) {
        m_callBack = std::make_unique<clsCallBack>(m_ctx, m_window);
        bus.registerObject(managerbus::serverCallBackPath(), m_callBack.get());
    }
    const QStringList names{QStringLiteral("Start"), QStringLiteral("Stop"), QStringLiteral("Restart")};
    const QStringList methods{QStringLiteral("serverStart"), QStringLiteral("serverStop"),
                              QStringLiteral("serverRestart")};
    QVariantMap collection;
    collection.insert(QStringLiteral("ClientClass"), kClientClass);
    collection.insert(QStringLiteral("ClientPath"), m_ctx.ConfigFilePath);

    QDBusPendingReply<> reply =
        manager.Connect(title, names, methods, QDBusObjectPath(managerbus::serverCallBackPath()), collection);
    reply.waitForFinished();
    m_connected = true;
    if (reply.isError()) {
        const QString description = reply.error().message();
        if (m_window.exists())
            m_ctx.prompt.showMessage(QStringLiteral("Server ") + title, description);
        else
            writeTotxtError(m_ctx, timeStamp(m_ctx.clock) + QStringLiteral(": Server manager: ") + description);
    }
    return Connected;
}

void ServerManagerLink::DisconnectServerManager()
{
    if (m_callBack) {
        QDBusConnection::sessionBus().unregisterObject(managerbus::serverCallBackPath());
        m_callBack.reset();
    }
    if (!m_connected)
        return;
    m_connected = false;
    // A blocking call: the reply to a serverStop that led here leaves first,
    // the bus keeps the order of one connection's messages.
    ServerManagerProxy manager(managerbus::service(), managerbus::path(), QDBusConnection::sessionBus());
    manager.setTimeout(kManagerCallTimeoutMs);
    manager.disConnect().waitForFinished();
}
