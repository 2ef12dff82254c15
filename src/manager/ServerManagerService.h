#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

// One server known to the manager.
struct ServerRegistration {
    QString title;
    QStringList names;   // operator commands: "Start", "Stop", "Restart"
    QStringList methods; // the callback method called for names[i]
    QString busName;     // the server's connection (its unique name)
    QString callbackPath;
    QVariantMap collection; // "ClientClass", "ClientPath"
    [[nodiscard]] QString clientPath() const { return collection.value(QStringLiteral("ClientPath")).toString(); }
};

// The server manager on the bus. Registrations live as long as the
// manager, and end with "disConnect" or when the server's connection goes
// away, so that a killed server never blocks its title.
class ServerManagerService : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.quenmark.ServerManager")
public:
    explicit ServerManagerService(const QDBusConnection& bus, QObject* parent = nullptr);

    // Exports the object and takes the manager's bus name; false with a
    // message when the name is taken or the object cannot be exported.
    bool publish(QString* message);

    [[nodiscard]] const std::vector<ServerRegistration>& registrations() const { return m_registrations; }

public Q_SLOTS:
    int PrevInstance(const QString& title);
    void Connect(const QString& title, const QStringList& names, const QStringList& methods,
                 const QDBusObjectPath& callback, const QVariantMap& collection);
    void disConnect();
    QStringList List(QStringList& clientPaths, QStringList& busNames);
    void Invoke(const QString& title, const QString& name);

private:
    void forget(const QString& busName);
    [[nodiscard]] const ServerRegistration* find(const QString& title) const;

    QDBusConnection m_bus;
    QDBusServiceWatcher m_watcher;
    std::vector<ServerRegistration> m_registrations; // in the order they came
};
