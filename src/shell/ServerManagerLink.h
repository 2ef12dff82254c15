#pragma once

#include <QObject>
#include <QString>

#include <memory>

struct ServerContext;
class WindowControl;
class QDBusConnection;

// The object the server manager calls back on: serverStart shows the window,
// serverStop ends the server in order, serverRestart does nothing. Calls
// arrive on the window's thread between scan cycles, or while an importer
// waits in a message box.
class clsCallBack : public QObject {
    Q_OBJECT
public:
    clsCallBack(ServerContext& ctx, WindowControl& window, QObject* parent = nullptr);

    [[nodiscard]] bool stopRequested() const { return m_stopRequested; }

public Q_SLOTS:
    void serverStart();
    void serverStop();
    void serverRestart();

private:
    void exitWhenNoMessageBoxIsOpen();

    ServerContext& m_ctx;
    WindowControl& m_window;
    bool m_stopRequested = false;
};

// The server's link to the server manager on the session bus.
class ServerManagerLink {
public:
    // Results of ConnectServerManager.
    static constexpr int Connected = 0;
    static constexpr int PrevInstance = 1; // a server with this title is registered already
    static constexpr int NoManager = 2;    // no session bus or no manager on it

    ServerManagerLink(ServerContext& ctx, WindowControl& window);
    ~ServerManagerLink();
    ServerManagerLink(const ServerManagerLink&) = delete;
    ServerManagerLink& operator=(const ServerManagerLink&) = delete;

    // "PrevInstance", then "Connect" with the title, the command and method
    // names, the exported callback object and the collection ("ClientClass",
    // "ClientPath" = the configuration file). A failing "Connect" is shown
    // (headless: in the error box) and the server runs on (result 0). With
    // result 2 the caller falls back to the notification icon and the
    // lock-file single-instance test.
    int ConnectServerManager(QString& title);
    // Window unload: "disConnect" when connected; harmless otherwise.
    void DisconnectServerManager();

    [[nodiscard]] bool isConnected() const { return m_connected; }
    [[nodiscard]] clsCallBack* callBack() const { return m_callBack.get(); }

private:
    ServerContext& m_ctx;
    WindowControl& m_window;
    std::unique_ptr<clsCallBack> m_callBack;
    bool m_connected = false;
};
