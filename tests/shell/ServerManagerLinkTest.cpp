#include "shell/ServerManagerLink.h"

#include "TestPlant.h"
#include "platform/WindowControl.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

class CountingWindow final : public WindowControl {
public:
    void showNormalAndRaise() override { ++shown; }
    void hide() override { ++hidden; }
    [[nodiscard]] bool exists() const override { return true; }
    int shown = 0;
    int hidden = 0;
};

TEST(CallBack, StartShowsTheWindowOrLogsWithoutOneAndRestartDoesNothing)
{
    TestPlant plant;
    CountingWindow window;
    clsCallBack withWindow(plant.ctx, window);
    withWindow.serverStart();
    withWindow.serverRestart();
    EXPECT_EQ(window.shown, 1);
    EXPECT_EQ(plant.errorBox.changes, 0);
    EXPECT_FALSE(withWindow.stopRequested());

    NoWindow none;
    clsCallBack headless(plant.ctx, none);
    headless.serverStart();
    EXPECT_EQ(plant.errorBox.text(), QStringLiteral("05.12.2026 10:30:00: serverStart: no window to show (headless)"));
}

TEST(CallBack, StopWaitsForAnOpenMessageBoxThenEndsTheMainLoopWithZero)
{
    TestPlant plant;
    CountingWindow window;
    clsCallBack callBack(plant.ctx, window);

    // The main loop runs a cycle that waits in a message box (a nested loop)
    // when the stop arrives: the box keeps its answer, the end comes after.
    int boxAnswer = -1;
    QTimer::singleShot(0, [&] {
        callBack.serverStop();
        QEventLoop messageBox;
        QTimer::singleShot(300, &messageBox, [&] { messageBox.exit(4); });
        boxAnswer = messageBox.exec();
    });
    QObject guard;
    QTimer::singleShot(5000, &guard, [] { QCoreApplication::exit(99); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(boxAnswer, 4);
    EXPECT_TRUE(callBack.stopRequested());
    EXPECT_EQ(window.hidden, 1);
}

} // namespace
