#pragma once

#include "gui/MessageBoxPrompt.h"
#include "gui/frmPROD.h"
#include "platform/ErrorBox.h"
#include "platform/WindowControl.h"
#include "shell/StartUp.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QSystemTrayIcon;

// The window as the server's start-up, scan cycle and remote control see it.
class MainWindowControl final : public WindowControl {
public:
    explicit MainWindowControl(frmPROD& window) : m_window(window) {}

    void showNormalAndRaise() override;
    // Hidden when the notification area can bring it back; otherwise it
    // stays minimised in the task bar.
    void hide() override;
    void hideIfMinimised() override;
    [[nodiscard]] bool exists() const override { return true; }

    void setNotificationAreaAvailable(bool available) { m_notificationArea = available; }
    [[nodiscard]] bool notificationAreaAvailable() const { return m_notificationArea; }

private:
    frmPROD& m_window;
    bool m_notificationArea = true;
};

// The error box on the window's text field.
class WindowErrorBox final : public ErrorBox {
public:
    WindowErrorBox(frmPROD& window, WindowControl& control) : m_window(window), m_control(control) {}

private:
    void setText(const QString& text) override;
    void bringToFront() override { m_control.showNormalAndRaise(); }

    frmPROD& m_window;
    WindowControl& m_control;
};

// The notification-area tip: the program title followed by the server's
// description, cut to the 63 characters the tip field holds before its
// terminator.
QString notificationToolTip(const QString& programTitle);

// Everything the window brings to the start-up (see Frontend).
class WindowFrontend final : public QObject, public Frontend {
    Q_OBJECT
public:
    // notificationArea: whether the desktop has one (normally asked of the
    // system; tests choose).
    explicit WindowFrontend(bool notificationArea);
    ~WindowFrontend() override;

    ErrorBox& errorBox() override { return m_errorBox; }
    WindowControl& window() override { return m_control; }
    OperatorPrompt& prompt(const LaunchOptions& options, OperatorPrompt& policy) override;
    void attach(ServerContext& ctx) override;
    void installNotificationIcon(const QString& programTitle) override;
    void finishLoad() override;

    // Without a notification area at start-up, areaThere is asked every few
    // seconds until it says yes (a desktop whose panel starts after the
    // server); then notificationAreaAppeared() runs.
    void watchNotificationArea(std::function<bool()> areaThere);
    // The notification area is there now: the icon goes into it (when one
    // was wanted), the window hides there, and that is said once, with the
    // time.
    void notificationAreaAppeared();

    frmPROD& mainWindow() { return m_window; }
    MessageBoxPrompt& messageBoxes() { return m_prompt; }
    // Null until installed.
    QSystemTrayIcon* notificationIcon() const { return m_icon; }

private:
    ServerContext* m_ctx = nullptr;
    frmPROD m_window;
    MainWindowControl m_control{m_window};
    WindowErrorBox m_errorBox{m_window, m_control};
    MessageBoxPrompt m_prompt;
    QSystemTrayIcon* m_icon = nullptr;
    QString m_iconTitle; // the icon's title, when one is wanted
    std::function<bool()> m_areaThere;
    QTimer m_areaWatch;
};

// Whether a window can be opened. The window system's platform plugin
// (QT_QPA_PLATFORM, possibly a ";"-separated list) decides: xcb and wayland,
// the default, need a display; the others (offscreen, vnc, ...) do not.
bool displayAvailable(const QString& qpaPlatform, const QString& display, const QString& waylandDisplay);

// Starts the server with its window: checks for a display (without one:
// a line on standard error naming --headless, exit code 1), makes the
// widget application and runs the server on it.
int runWithWindow(int argc, char** argv);
