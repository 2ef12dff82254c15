#include "manager/ServerManagerService.h"

#include "ManagerBus.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>

#include <algorithm>

namespace {

// A server may sit in a message box for a while before its reply comes.
constexpr int kCallBackTimeoutMs = 120000;

} // namespace

ServerManagerService::ServerManagerService(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus), m_watcher(this)
{
    m_watcher.setConnection(m_bus);
    m_watcher.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&m_watcher, &QDBusServiceWatcher::serviceUnregistered, this, &ServerManagerService::forget);
}

bool ServerManagerService::publish(QString* message)
{
    if (!m_bus.registerObject(managerbus::path(), this, QDBusConnection::ExportAllSlots)) {
        *message = QStringLiteral("cannot export %1 on the session bus").arg(managerbus::path());
        return false;
    }
    if (!m_bus.registerService(managerbus::service())) {
        *message =
            QStringLiteral("a server manager is already running on this session bus (%1)").arg(managerbus::service());
        return false;
    }
    *message = QStringLiteral("server manager running as %1 on the session bus").arg(managerbus::service());
    return true;
}

const ServerRegistration* ServerManagerService::find(const QString& title) const
{
    const auto it = std::find_if(m_registrations.begin(), m_registrations.end(),
                                 [&](const ServerRegistration& r) { return r.title == title; });
    return it == m_registrations.end() ? nullptr : &*it;
}

int ServerManagerService::PrevInstance(const QString& title)
{
    return find(title) != nullptr ? 1 : 0;
}

void ServerManagerService::Connect(const QString& title, const QStringList& names, const QStringList& methods,
                                   const QDBusObjectPath& callback, const QVariantMap& collection)
{
    const QString sender = message().service();
    if (title.isEmpty() || names.size() != methods.size() || callback.path().isEmpty()) {
        sendErrorReply(managerbus::errorInvalidRegistration(),
                       QStringLiteral("Connect needs a title and as many method names as command names"));
        return;
    }
    const ServerRegistration* existing = find(title);
    if (existing != nullptr && existing->busName != sender) {
        sendErrorReply(managerbus::errorTitleTaken(),
                       QStringLiteral("a server is registered under the title \"%1\" already").arg(title));
        return;
    }
    // A server that connects again replaces its registration.
    std::erase_if(m_registrations, [&](const ServerRegistration& r) { return r.title == title; });
    m_registrations.push_back(ServerRegistration{title, names, methods, sender, callback.path(), collection});

    // The watch is in place before the look at the name, and the bus answers
    // in order: a server that vanished in between is noticed either way.
    m_watcher.addWatchedService(sender);
    if (!m_bus.interface()->isServiceRegistered(sender).value())
        forget(sender);
}

void ServerManagerService::disConnect()
{
    forget(message().service());
}

void ServerManagerService::forget(const QString& busName)
{
    std::erase_if(m_registrations, [&](const ServerRegistration& r) { return r.busName == busName; });
    m_watcher.removeWatchedService(busName);
}

QStringList ServerManagerService::List(QStringList& clientPaths, QStringList& busNames)
{
    QStringList titles;
    for (const ServerRegistration& r : m_registrations) {
        titles << r.title;
        clientPaths << r.clientPath();
        busNames << r.busName;
    }
    return titles;
}

void ServerManagerService::Invoke(const QString& title, const QString& name)
{
    const ServerRegistration* r = find(title);
    if (r == nullptr) {
        sendErrorReply(managerbus::errorUnknownTitle(),
                       QStringLiteral("no server registered under the title \"%1\"").arg(title));
        return;
    }
    const auto index = r->names.indexOf(name);
    if (index < 0) {
        sendErrorReply(managerbus::errorUnknownCommand(),
                       QStringLiteral("the server \"%1\" has no command \"%2\"").arg(title, name));
        return;
    }
    // The answer waits for the server's; the manager serves others meanwhile.
    setDelayedReply(true);
    const QDBusMessage request = message();
    const QDBusMessage call = QDBusMessage::createMethodCall(r->busName, r->callbackPath,
                                                             managerbus::callBackInterface(), r->methods.at(index));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallBackTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, request](QDBusPendingCallWatcher* w) {
        if (w->isError())
            m_bus.send(request.createErrorReply(managerbus::errorServerFailed(), w->error().message()));
        else
            m_bus.send(request.createReply());
        w->deleteLater();
    });
}
