#include "gui/WindowFrontend.h"

#include "config/Configuration.h"
#include "config/ServerContext.h"
#include "shell/CommandLine.h"

#include <QApplication>
#include <QSystemTrayIcon>

#include <cstdio>

void MainWindowControl::showNormalAndRaise()
{
    m_window.showNormal();
    m_window.raise();
    m_window.activateWindow();
}

void MainWindowControl::hide()
{
    if (m_notificationArea)
        m_window.hide();
    else
        m_window.showMinimized();
}

void MainWindowControl::hideIfMinimised()
{
    // Without a notification area a hidden window could not be opened again.
    if (!m_notificationArea || !m_window.isMinimized())
        return;
    m_window.hide();
    m_window.setWindowState(m_window.windowState() & ~Qt::WindowMinimized);
}

void WindowErrorBox::setText(const QString& text)
{
    m_window.setErrorText(text);
}

QString notificationToolTip(const QString& programTitle)
{
    constexpr int kTipField = 64; // characters, the terminator included
    return (programTitle + QStringLiteral("  PROD-Server (Übertragung der Produktionsdaten)")).left(kTipField - 1);
}

WindowFrontend::WindowFrontend(bool notificationArea)
{
    m_control.setNotificationAreaAvailable(notificationArea);
    connect(&m_window, &frmPROD::exitRequested, qApp, &QCoreApplication::quit);
}

WindowFrontend::~WindowFrontend()
{
    // The icon leaves the notification area with the window.
    if (m_icon)
        m_icon->hide();
}

OperatorPrompt& WindowFrontend::prompt(const LaunchOptions& options, OperatorPrompt& policy)
{
    m_prompt.answerByPolicy(&policy, options.answerExistsGiven, options.answerFailedGiven);
    return m_prompt;
}

void WindowFrontend::attach(ServerContext& ctx)
{
    m_ctx = &ctx;
    m_window.bindTo(ctx);
}

void WindowFrontend::installNotificationIcon(const QString& programTitle)
{
    m_iconTitle = programTitle;
    if (!m_control.notificationAreaAvailable() || m_icon)
        return;
    m_icon = new QSystemTrayIcon(m_window.windowIcon(), this);
    m_icon->setToolTip(notificationToolTip(programTitle));
    // A left click opens the window; the other buttons do nothing.
    connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_control.showNormalAndRaise();
    });
    m_icon->show();
}

void WindowFrontend::finishLoad()
{
    if (m_ctx)
        editControls(*m_ctx, false);
    m_window.showFields();
    m_control.hide();
    if (!m_ctx || m_control.notificationAreaAvailable())
        return;
    // Said once below the start line; the window keeps it in view until the
    // area comes.
    const QString note = QStringLiteral("No notification area on this desktop: the window stays minimised in the "
                                        "task bar until there is one.");
    addToErrorBox(*m_ctx, note);
    m_window.setLastingNote(note);
    if (m_areaThere)
        m_areaWatch.start();
}

void WindowFrontend::watchNotificationArea(std::function<bool()> areaThere)
{
    m_areaThere = std::move(areaThere);
    m_areaWatch.setInterval(5000);
    connect(&m_areaWatch, &QTimer::timeout, this, [this] {
        if (m_areaThere())
            notificationAreaAppeared();
    });
}

void WindowFrontend::notificationAreaAppeared()
{
    m_areaWatch.stop();
    if (m_control.notificationAreaAvailable())
        return;
    m_control.setNotificationAreaAvailable(true);
    m_window.setLastingNote(QString());
    if (!m_iconTitle.isEmpty())
        installNotificationIcon(m_iconTitle);
    if (m_window.isMinimized())
        m_control.hide();
    if (m_ctx)
        writeTotxtError(*m_ctx, timeStamp(m_ctx->clock) + QStringLiteral(": Notification area is there again") +
                                    (m_icon ? QStringLiteral("; the server sits in it.") : QStringLiteral(".")));
}

bool displayAvailable(const QString& qpaPlatform, const QString& display, const QString& waylandDisplay)
{
    const QStringList platforms = qpaPlatform.split(u';', Qt::SkipEmptyParts);
    for (const QString& p : platforms) {
        const QString name = p.section(u':', 0, 0).trimmed();
        if (name != QLatin1String("xcb") && !name.startsWith(QLatin1String("wayland")))
            return true;
    }
    return !display.isEmpty() || !waylandDisplay.isEmpty();
}

int runWithWindow(int argc, char** argv)
{
    if (!displayAvailable(qEnvironmentVariable("QT_QPA_PLATFORM"), qEnvironmentVariable("DISPLAY"),
                          qEnvironmentVariable("WAYLAND_DISPLAY"))) {
        std::fprintf(stderr, "serverquirnel: no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
                             "not set); start it with --headless to run without a window\n");
        return 1;
    }
    QApplication app(argc, argv);
    // Message boxes and the hidden window come and go; only File -> Exit
    // (or a signal) ends the server.
    QApplication::setQuitOnLastWindowClosed(false);
    WindowFrontend frontend(QSystemTrayIcon::isSystemTrayAvailable());
    frontend.watchNotificationArea(&QSystemTrayIcon::isSystemTrayAvailable);
    return runServer(app, frontend);
}
