#pragma once

#include "StepImporter.h"
#include "TestSupport.h"
#include "config/ServerContext.h"
#include "gui/WindowFrontend.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

// The window on a context of its own: the configuration file in
// <tmp>/Server, the window's error box (its texts also kept in shown) and
// its message boxes.
class WindowTest : public ::testing::Test {
protected:
    WindowTest() : frontend(true), ctx(clock, frontend.messageBoxes(), store, frontend.errorBox())
    {
        QDir(dir.path()).mkpath(QStringLiteral("Server"));
        ctx.programDir = dir.path() + QStringLiteral("/Server");
        ctx.ConfigFilePath = ctx.programDir + QStringLiteral("/ServerQuirnel.zezad");
        ctx.reports.addSink(shown);
        ctx.window = &frontend.window();
        frontend.attach(ctx);
    }

    frmPROD& window() { return frontend.mainWindow(); }
    template <typename T> T* field(const char* name) { return window().findChild<T*>(QLatin1String(name)); }
    QAction* menu(const char* name) { return field<QAction>(name); }

    QTemporaryDir dir;
    FixedClock clock{QDateTime(QDate(2026, 12, 5), QTime(10, 30, 0))};
    MemorySettingsStore store;
    WindowFrontend frontend;
    MemoryErrorBox shown; // what the window's error box was given
    ServerContext ctx;
};

// What the operator sees of a message box: title, text, icon, buttons,
// default button and whether it blocks the whole application.
inline QString boxLooks(const QString& title, const QString& text, int icon, int buttons, int defaultButton,
                        bool applicationModal)
{
    const QString modality = applicationModal ? QStringLiteral("application modal") : QStringLiteral("not modal");
    return QStringLiteral("%1|%2|%3|%4|%5|%6")
        .arg(title, text, QString::number(icon), QString::number(buttons), QString::number(defaultButton), modality);
}

// Runs ask(), which opens a modal box; a timer finds the box, notes how it
// looks, runs whileOpen() with the box still open, then clicks answer.
// Empty when no box came.
inline QString answerModalBox(QMessageBox::StandardButton answer, const std::function<void()>& ask,
                              const std::function<void()>& whileOpen = {})
{
    QString seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        seen = boxLooks(box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                        box->standardButton(box->defaultButton()), box->windowModality() == Qt::ApplicationModal);
        if (whileOpen)
            whileOpen();
        box->button(answer)->click();
    });
    poll.start(20);
    ask();
    return seen;
}
