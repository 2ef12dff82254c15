#pragma once

#include "StepImporter.h"
#include "TestSupport.h"
#include "config/ServerContext.h"
#include "gui/WindowFrontend.h"
#include "intake/JobImporter.h"

#include <QAction>
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

// The window on a context of its own: the configuration file in
// <tmp>/Server, the window's error box (its texts also kept in shown), a
// scripted or the message-box prompt.
class WindowTest : public ::testing::Test {
protected:
    explicit WindowTest(bool notificationArea = true, bool messageBoxes = false)
        : frontend(notificationArea),
          ctx(clock, messageBoxes ? static_cast<OperatorPrompt&>(frontend.messageBoxes()) : scripted, store,
              frontend.errorBox())
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
    ScriptedPrompt scripted;
    WindowFrontend frontend;
    MemoryErrorBox shown; // what the window's error box was given
    ServerContext ctx;
};

// What a test saw of a message box before answering it.
struct SeenBox {
    bool found = false;
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    Qt::WindowModality modality = Qt::NonModal;
};

// Runs ask(), which opens a modal box; a timer finds the box, records it,
// runs whileOpen() with the box still open, then clicks answer.
inline SeenBox answerModalBox(QMessageBox::StandardButton answer, const std::function<void()>& ask,
                              const std::function<void()>& whileOpen = {})
{
    SeenBox seen;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll.stop();
        seen = {true,
                box->windowTitle(),
                box->text(),
                box->icon(),
                box->standardButtons(),
                box->standardButton(box->defaultButton()),
                box->windowModality()};
        if (whileOpen)
            whileOpen();
        box->button(answer)->click();
    });
    poll.start(20);
    ask();
    return seen;
}
