#pragma once

#include <QString>

// Names on the session bus shared by the server manager and the servers it
// manages. The interfaces themselves are the introspection files in dbus/.
namespace managerbus {
inline QString service() { return QStringLiteral("com.quenmark.ServerManager"); }
inline QString path() { return QStringLiteral("/com/quenmark/ServerManager"); }
inline QString interface() { return QStringLiteral("com.quenmark.ServerManager"); }
inline QString callBackInterface() { return QStringLiteral("com.quenmark.ServerManager.CallBack"); }
// Where this server exports its clsCallBack object.
inline QString serverCallBackPath() { return QStringLiteral("/com/quenmark/ServerQuirnel/CallBack"); }
// Error names the manager answers with.
inline QString errorUnknownTitle() { return QStringLiteral("com.quenmark.ServerManager.Error.UnknownTitle"); }
inline QString errorTitleTaken() { return QStringLiteral("com.quenmark.ServerManager.Error.TitleTaken"); }
inline QString errorInvalidRegistration()
{
    return QStringLiteral("com.quenmark.ServerManager.Error.InvalidRegistration");
}
inline QString errorUnknownCommand() { return QStringLiteral("com.quenmark.ServerManager.Error.UnknownCommand"); }
inline QString errorServerFailed() { return QStringLiteral("com.quenmark.ServerManager.Error.ServerFailed"); }
} // namespace managerbus
